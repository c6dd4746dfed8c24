// The arguments of the unattended switches, checked before anything is scanned: a run that cannot
// do what it was asked should say so at once, not after a scan of every category.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/System.h"

namespace tamrisk {

// What is wrong with the arguments of "-report" or "-cleanonce" (the first argument, any letter
// case): a missing or unknown argument, one too many, or a report file in a folder that does not
// exist. nullopt when they are right, and for any other start.
std::optional<std::string> UnattendedArgumentError(const std::vector<std::string>& arguments, FileSystem& files);

// Appends the run log's line of a run refused for its arguments and gives its exit code, 1.
int RefuseUnattendedArguments(const Platform& platform, const std::vector<std::string>& arguments,
                              const std::string& why);

}  // namespace tamrisk
