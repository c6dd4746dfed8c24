#include "repair/VerifiedRestore.h"

#include <memory>
#include <optional>

#include "repair/BackupListing.h"
#include "repair/BackupRecord.h"
#include "settings/RegGlobal.h"

namespace tamrisk {

namespace {

// Why the file at path is no backup the repair could have written; none when it could be one.
std::optional<RepairText> RefusalReason(const std::string& path, const std::optional<RegFile>& file) {
  if (!IsBackupFileName(path)) return RepairText::NameIsNoBackupName;
  if (!file) return RepairText::NotARegistryFile;
  if (file->deletes) return RepairText::DeletesEntries;
  return std::nullopt;
}

}  // namespace

RestoreResult RestoreBackupFile(const Platform& platform, const std::string& path,
                                const std::function<bool(const std::string& commandLine)>& runImport,
                                const AnsiDecoder& ansiToUtf16, const UnrecordedFileConfirm& confirmUnrecorded) {
  RestoreResult result;
  std::string bytes;
  // Held until the import has ended, so that the editor imports what was checked here.
  const std::unique_ptr<FileHold> hold = platform.files.ReadAndHold(path, bytes, &result.error);
  if (!hold) {
    result.status = RestoreResult::Status::Unreadable;
    return result;
  }
  const std::optional<RegFile> file = ParseRegFile(bytes, ansiToUtf16);
  result.refusal = RefusalReason(path, file);
  if (result.refusal) {
    result.status = RestoreResult::Status::Refused;
    return result;
  }
  if (!IsRecordedBackup(platform.registry, bytes)) {
    if (!confirmUnrecorded) {
      result.refusal = RepairText::NotOnRecord;
      result.status = RestoreResult::Status::Refused;
      return result;
    }
    if (!confirmUnrecorded(*file)) {
      result.status = RestoreResult::Status::Declined;
      return result;
    }
  }
  if (!runImport(RegeditCommand(platform, "/s \"" + path + "\""))) {
    result.status = RestoreResult::Status::NotEnded;
    return result;
  }
  result.check = CheckRestored(platform.registry, *file);
  if (result.check.missing != 0) result.status = RestoreResult::Status::Incomplete;
  return result;
}

std::optional<Phrase> RestoreFailurePhrase(const RestoreResult& result, const std::string& path) {
  switch (result.status) {
    case RestoreResult::Status::Unreadable:
      if (result.error.empty()) return Phrase{RepairText::RestoreUnreadable, {path}};
      return Phrase{RepairText::RestoreUnreadableBecause, {path, result.error}};
    case RestoreResult::Status::Refused: return Phrase{RepairText::RestoreRefused, {Phrase{*result.refusal, {}}, path}};
    case RestoreResult::Status::Incomplete:
      return Phrase{RepairText::RestoreIncomplete,
                    {std::to_string(result.check.missing), result.check.firstMissingKey, path}};
    default: return std::nullopt;
  }
}

Phrase UndoSummaryPhrase(const RestoreResult& result, const std::string& path) {
  const std::string name = path.substr(path.rfind('\\') + 1);
  switch (result.status) {
    case RestoreResult::Status::Restored: break;
    case RestoreResult::Status::NotEnded: return {RepairText::UndoNotEnded, {name}};
    case RestoreResult::Status::Unreadable: return {RepairText::UndoUnreadable, {name}};
    case RestoreResult::Status::Refused:
    case RestoreResult::Status::Declined: return {RepairText::UndoRefused, {name}};
    case RestoreResult::Status::Incomplete:
      return {RepairText::UndoIncomplete, {std::to_string(result.check.missing), name}};
  }
  return {RepairText::Undone, {name}};
}

}  // namespace tamrisk
