// The start of TamriskUnhardened.exe, the control of the planted-library test: the program as it was
// before its start restricted where libraries load from.
#include "ui/main/SafeStart.h"

namespace tamrisk {

void HardenProcessStart() {}

}  // namespace tamrisk
