#include "repair/VerifiedRestore.h"

#include <memory>
#include <optional>

#include "repair/BackupListing.h"
#include "repair/BackupRecord.h"
#include "settings/RegGlobal.h"

namespace tamrisk {

namespace {

// Why the file at path is no backup the repair could have written; none when it could be one.
std::optional<TextId> RefusalReason(const std::string& path, const std::optional<RegFile>& file) {
  if (!IsBackupFileName(path)) return TextId::NameIsNoBackupName;
  if (!file) return TextId::NotARegistryFile;
  if (file->deletes) return TextId::DeletesEntries;
  return std::nullopt;
}

// Imports the file at importPath, which holds what file was parsed from, and checks it.
void ImportAndCheck(const Platform& platform, const std::string& importPath, const RegFile& file,
                    const std::function<bool(const std::string& commandLine)>& runImport, RestoreResult& result) {
  if (!runImport(RegeditCommand(platform, "/s \"" + importPath + "\""))) {
    result.status = RestoreResult::Status::NotEnded;
    return;
  }
  result.check = CheckRestored(platform.registry, file);
  if (result.check.missing != 0) result.status = RestoreResult::Status::Incomplete;
}

// The part of a backup on record, imported from a copy in this user's temporary folder (which others
// cannot write, unlike the backup folder) and held there while the editor reads it.
void RestoreRecordedPart(const Platform& platform, const std::string& path, std::string_view part,
                         const std::function<bool(const std::string& commandLine)>& runImport,
                         const AnsiDecoder& ansiToUtf16, RestoreResult& result) {
  const std::optional<RegFile> file = ParseRegFile(part, ansiToUtf16);
  const std::optional<std::string> temp = platform.system.ExpandEnvironment("%TEMP%", 32768);
  if (!file || file->deletes) {
    result.refusal = file ? TextId::DeletesEntries : TextId::NotARegistryFile;
    result.status = RestoreResult::Status::Refused;
    return;
  }
  if (!temp || temp->find('%') != std::string::npos) {
    result.error = "The temporary folder is not known.";
    result.status = RestoreResult::Status::Unreadable;
    return;
  }
  const std::string copy = WithTrailingBackslash(*temp) + "Tamrisk-" + path.substr(path.rfind('\\') + 1);
  std::string held;
  std::unique_ptr<FileHold> hold;
  if (platform.files.WriteFile(copy, part, &result.error)) hold = platform.files.ReadAndHold(copy, held, &result.error);
  if (!hold || held != part) {
    result.status = RestoreResult::Status::Unreadable;
  } else {
    ImportAndCheck(platform, copy, *file, runImport, result);
  }
  hold.reset();
  platform.files.ShellDelete(copy, false);
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
  const bool recorded = IsRecordedBackup(platform.registry, bytes);
  if (const std::size_t part = recorded ? 0 : RecordedPrefixLength(platform.registry, bytes);
      part > 0 && IsBackupFileName(path)) {
    result.droppedBytes = bytes.size() - part;
    RestoreRecordedPart(platform, path, std::string_view(bytes).substr(0, part), runImport, ansiToUtf16, result);
    return result;
  }
  const std::optional<RegFile> file = ParseRegFile(bytes, ansiToUtf16);
  result.refusal = RefusalReason(path, file);
  if (!result.refusal && !recorded && !confirmUnrecorded) result.refusal = TextId::NotOnRecord;
  if (result.refusal) {
    result.status = RestoreResult::Status::Refused;
    return result;
  }
  if (!recorded && !confirmUnrecorded(*file)) {
    result.status = RestoreResult::Status::Declined;
    return result;
  }
  ImportAndCheck(platform, path, *file, runImport, result);
  return result;
}

std::optional<Phrase> RestoreFailurePhrase(const RestoreResult& result, const std::string& path) {
  if (result.status == RestoreResult::Status::Restored && result.droppedBytes > 0) {
    return Phrase{TextId::RestoreDroppedCutEnd, {std::to_string(result.droppedBytes), path}};
  }
  switch (result.status) {
    case RestoreResult::Status::Unreadable:
      if (result.error.empty()) return Phrase{TextId::RestoreUnreadable, {path}};
      return Phrase{TextId::RestoreUnreadableBecause, {path, result.error}};
    case RestoreResult::Status::Refused: return Phrase{TextId::RestoreRefused, {Phrase{*result.refusal, {}}, path}};
    case RestoreResult::Status::Incomplete:
      return Phrase{TextId::RestoreIncomplete,
                    {std::to_string(result.check.missing), result.check.firstMissingKey, path}};
    default: return std::nullopt;
  }
}

Phrase UndoSummaryPhrase(const RestoreResult& result, const std::string& path) {
  const std::string name = path.substr(path.rfind('\\') + 1);
  switch (result.status) {
    case RestoreResult::Status::Restored: break;
    case RestoreResult::Status::NotEnded: return {TextId::UndoNotEnded, {name}};
    case RestoreResult::Status::Unreadable: return {TextId::UndoUnreadable, {name}};
    case RestoreResult::Status::Refused:
    case RestoreResult::Status::Declined: return {TextId::UndoRefused, {name}};
    case RestoreResult::Status::Incomplete:
      return {TextId::UndoIncomplete, {std::to_string(result.check.missing), name}};
  }
  return {TextId::Undone, {name}};
}

}  // namespace tamrisk
