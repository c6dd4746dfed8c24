// The engine's English texts of a row as the window shows them, in its language.
#pragma once

#include <string>

#include "repair/RepairTexts.h"

namespace tamrisk {

std::string ShownProblem(const std::string& problem);
// A reason one of the scanners' patterns made, or the repair's reason for a row it kept; any other
// reason as it is.
std::string ShownReason(const std::string& reason);
// What the repair, its backup or the undo say.
std::string ShownPhrase(const Phrase& phrase);

}  // namespace tamrisk
