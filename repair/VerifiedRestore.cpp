#include "repair/VerifiedRestore.h"

#include <memory>
#include <optional>

#include "repair/BackupListing.h"
#include "settings/RegGlobal.h"

namespace tamrisk {

namespace {

// Why the file at path is no backup the repair could have written; "" when it could be one.
std::string RefusalReason(const std::string& path, const std::optional<RegFile>& file) {
  if (!IsBackupFileName(path)) return "its name is not \"Backup\", a date and time and \".reg\"";
  if (!file) return "it is not a registry file";
  if (file->deletes) return "it deletes registry entries";
  return {};
}

}  // namespace

RestoreResult RestoreBackupFile(const Platform& platform, const std::string& path,
                                const std::function<bool(const std::string& commandLine)>& runImport,
                                const AnsiDecoder& ansiToUtf16) {
  RestoreResult result;
  std::string bytes;
  // Held until the import has ended, so that the editor imports what was checked here.
  const std::unique_ptr<FileHold> hold = platform.files.ReadAndHold(path, bytes, &result.error);
  if (!hold) {
    result.status = RestoreResult::Status::Unreadable;
    return result;
  }
  const std::optional<RegFile> file = ParseRegFile(bytes, ansiToUtf16);
  result.error = RefusalReason(path, file);
  if (!result.error.empty()) {
    result.status = RestoreResult::Status::Refused;
    return result;
  }
  if (!runImport(RegeditCommand(platform, "/s \"" + path + "\""))) {
    result.status = RestoreResult::Status::NotEnded;
    return result;
  }
  result.check = CheckRestored(platform.registry, *file);
  if (result.check.missing != 0) result.status = RestoreResult::Status::Incomplete;
  return result;
}

std::string RestoreFailureText(const RestoreResult& result, const std::string& path) {
  switch (result.status) {
    case RestoreResult::Status::Unreadable:
      return "The backup file could not be read, so nothing was restored:\r\n" + path +
             (result.error.empty() ? "" : "\r\n" + result.error);
    case RestoreResult::Status::Refused:
      return "This file is not a backup of Tamrisk (" + result.error + "), so it was not restored:\r\n" + path;
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
    case RestoreResult::Status::Unreadable: return "Undo not done, " + name + " could not be read";
    case RestoreResult::Status::Refused: return "Undo refused, " + name + " is not a backup of Tamrisk";
    case RestoreResult::Status::Incomplete:
      return "Undo incomplete: " + std::to_string(result.check.missing) + " entries did not come back, " + name +
             " kept";
  }
  return {};
}

}  // namespace tamrisk
