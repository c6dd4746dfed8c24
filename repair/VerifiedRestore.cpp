#include "repair/VerifiedRestore.h"

#include <optional>

#include "settings/RegGlobal.h"

namespace tamrisk {

RestoreResult RestoreBackupFile(const Platform& platform, const std::string& path,
                                const std::function<bool(const std::string& commandLine)>& runImport,
                                const AnsiDecoder& ansiToUtf16) {
  RestoreResult result;
  if (!runImport(RegeditCommand(platform, "/s \"" + path + "\""))) {
    result.status = RestoreResult::Status::NotEnded;
    return result;
  }
  std::string bytes;
  std::optional<RegFile> file;
  if (platform.files.ReadFile(path, bytes, &result.error)) file = ParseRegFile(bytes, ansiToUtf16);
  if (!file) {
    result.status = RestoreResult::Status::Unreadable;
    return result;
  }
  result.check = CheckRestored(platform.registry, *file);
  if (result.check.missing != 0) result.status = RestoreResult::Status::Incomplete;
  return result;
}

std::string RestoreFailureText(const RestoreResult& result, const std::string& path) {
  switch (result.status) {
    case RestoreResult::Status::Unreadable:
      return "The backup file could not be read back to check the restore, so it was kept:\r\n" + path +
             (result.error.empty() ? "" : "\r\n" + result.error);
    case RestoreResult::Status::Incomplete:
      return std::to_string(result.check.missing) + " entries of the backup did not come back, the first in " +
             result.check.firstMissingKey + ".\r\nThe backup file was kept:\r\n" + path;
    default: return {};
  }
}

std::string UndoSummaryText(const RestoreResult& result, const std::string& path) {
  const std::string name = path.substr(path.rfind('\\') + 1);
  switch (result.status) {
    case RestoreResult::Status::Restored: return "Undone: " + name + " restored";
    case RestoreResult::Status::NotEnded: return "Undo did not finish, " + name + " kept";
    case RestoreResult::Status::Unreadable: return "Undo not checked, " + name + " kept";
    case RestoreResult::Status::Incomplete:
      return "Undo incomplete: " + std::to_string(result.check.missing) + " entries did not come back, " + name +
             " kept";
  }
  return {};
}

}  // namespace tamrisk
