// The engine's English texts of a row as the window shows them, in its language.
#pragma once

#include <string>

namespace tamrisk {

std::string ShownProblem(const std::string& problem);
// A reason one of the scanners' patterns made; any other reason as it is.
std::string ShownReason(const std::string& reason);

}  // namespace tamrisk
