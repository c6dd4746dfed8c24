// The texts the repair, its backup and the undo word for the user, numbered so that the window can
// show them in its own language: "%1", "%2", ... stand for the arguments. The log and the rows keep
// the English.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tamrisk {

enum class RepairText : int {
  BackupFolderQuestion,
  CannotCreateFolder,
  BackupNotWritten,
  BackupNotWrittenBecause,
  NothingDeleted,
  EmptiedKeysKept,
  RepairedOne,
  RepairedMany,
  RemovedEmptiedKey,
  RemovedEmptiedKeys,
  WithBackupFile,
  Kept,
  KeptThen,
  KeptRefused,
  KeptNotBackedUp,
  KeptNeedsAdministrator,
  KeptStillPresent,
  UnattendedRunRepairing,
  AnotherTamriskRepairing,
  RestoreUnreadable,
  RestoreUnreadableBecause,
  RestoreRefused,
  NameIsNoBackupName,
  NotARegistryFile,
  DeletesEntries,
  RestoreIncomplete,
  Undone,
  UndoNotEnded,
  UndoUnreadable,
  UndoRefused,
  UndoIncomplete,
  NotOnRecord,
  UnrecordedImportQuestion,
  KeptChangedSinceBackup,
  RestoreDroppedCutEnd,
  SummaryThenError,
  RepairLockDenied,
  RepairLockNameTaken,
};

struct RepairTextPattern {
  RepairText id;
  const char* english;
};
// Every pattern, in the order of RepairText.
std::span<const RepairTextPattern> RepairTextPatterns();

struct Phrase;
// Plain text (a path, a count, the system's words), or a phrase of its own. Not explicit, so that a
// phrase lists its arguments as they are: {RepairText::CannotCreateFolder, {folder}}.
struct PhraseArgument {
  PhraseArgument(std::string text) : text(std::move(text)) {}
  PhraseArgument(Phrase phrase);
  std::string text;
  std::vector<Phrase> phrase;  // none or one
};

// A text as its pattern and arguments, so that each language can word it.
struct Phrase {
  RepairText id;
  std::vector<PhraseArgument> arguments;
};

// A pattern in some language, given the English one; English itself when empty.
using Wording = std::function<std::string(RepairText id, std::string_view english)>;

// The phrase with its arguments filled in, the phrases among them worded the same way.
std::string Worded(const Phrase& phrase, const Wording& wording = {});

}  // namespace tamrisk
