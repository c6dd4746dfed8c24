#include "scan/ProblemRow.h"

namespace tamrisk {

const char* RowKindName(RowKind kind) {
  switch (kind) {
    case rkKey: return "rkKey";
    case rkValueInPath: return "rkValueInPath";
    case rkValueInColumn: return "rkValueInColumn";
    case rkSubkeyInColumn: return "rkSubkeyInColumn";
    case rkShortcutFile: return "rkShortcutFile";
    case rkDefaultValue: return "rkDefaultValue";
  }
  return "";
}

}  // namespace tamrisk
