#include "unattended/SwitchArguments.h"

#include "platform/Text.h"
#include "settings/Schedule.h"
#include "unattended/RunLog.h"

namespace tamrisk {
namespace {

bool IsSwitch(const std::string& argument) {
  return !argument.empty() && (argument.front() == '-' || argument.front() == '/');
}

std::optional<std::string> ReportArgumentError(const std::vector<std::string>& arguments, FileSystem& files) {
  if (arguments.size() < 2) return "-report needs the file to write: Tamrisk.exe -report FILE.";
  const std::string& file = arguments[1];
  if (IsSwitch(file) && !EqualsNoCase(file, "-scheduled")) return "Unknown argument for -report: " + file + ".";
  if (arguments.size() > 2) {
    return "-report takes one file, not \"" + arguments[2] + "\" as well; put a name with spaces in quotes.";
  }
  const std::size_t slash = file.find_last_of("\\/");
  if (IsSwitch(file) || slash == std::string::npos || slash == 0) return std::nullopt;
  const std::string folder = file.substr(0, slash);
  // "C:" alone is the drive's current folder, which is there.
  if (folder.size() > 2 && !files.PathIsFolder(folder))
    return "The folder of the report does not exist: " + folder + ".";
  return std::nullopt;
}

std::optional<std::string> CleanOnceArgumentError(const std::vector<std::string>& arguments) {
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (i == 1 && EqualsNoCase(arguments[i], "-scheduled")) continue;
    return "Unknown argument for -cleanonce: " + arguments[i] + ".";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> UnattendedArgumentError(const std::vector<std::string>& arguments, FileSystem& files) {
  if (arguments.empty()) return std::nullopt;
  if (EqualsNoCase(arguments.front(), "-report")) return ReportArgumentError(arguments, files);
  if (EqualsNoCase(arguments.front(), "-cleanonce")) return CleanOnceArgumentError(arguments);
  return std::nullopt;
}

int RefuseUnattendedArguments(const Platform& platform, const std::vector<std::string>& arguments,
                              const std::string& why) {
  RunLogEntry log;
  log.mode = EqualsNoCase(arguments.front(), "-report") ? "-report" : "-cleanonce";
  log.scheduled = IsScheduledRun(arguments);
  log.exitCode = 1;
  log.error = why + " Nothing was scanned.";
  AppendRunLog(platform, log);
  return log.exitCode;
}

}  // namespace tamrisk
