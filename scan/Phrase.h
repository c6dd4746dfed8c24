// The texts the engine words for the user, as data: a phrase is a text's id and its arguments, so
// that rows, the repair's outcomes and errors carry what they say, and each place that shows or
// writes it words it once: the window in its language, reports, the log and the console in English.
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scan/ProblemNames.h"

namespace tamrisk {

enum class TextId : int {
  // Why a scanner lists a row.
  FolderNotFound,
  FileOrFolderNotFound,
  FileNotFound,
  FileNotFoundWithAnyExtension,
  NotInFontsFolder,
  ShortcutTargetNotFound,
  CountIsZero,
  NoValuesBelow,
  OnlyAnEmptyDefault,
  ExtensionNotRegistered,
  ProgramsFolderNotFound,
  ClassNotRegistered,
  UninstallEntryNotFound,
  // What the repair, its backup and the undo say.
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
  // What the settings store says.
  SettingsNotWritten,
  SettingsNotRead,
  // Which program a row belongs to, and what became of it.
  ProgramWithState,
  ProgramInstalled,
  ProgramFolderDeleted,
  ProgramUninstalled,
  // A text of no pattern (a row some other code made), shown as it is in every language.
  Verbatim,
};

// Where a text's translations are numbered: the language files keep one range per family, each
// counted from its first text.
enum class TextFamily { Reason, Repair, Settings, Program, Verbatim };
struct TextPlace {
  TextFamily family;
  int index;  // within the family
};
TextPlace PlaceOf(TextId id);

struct TextPattern {
  TextId id;
  const char* english;  // "%1", "%2", ... stand for the arguments
};
// Every pattern, in the order of TextId.
std::span<const TextPattern> TextPatterns();

struct Phrase;
// Plain text (a path, a count, the system's words), or a phrase of its own. Not explicit, so that a
// phrase lists its arguments as they are: {TextId::CannotCreateFolder, {folder}}.
struct PhraseArgument {
  PhraseArgument(std::string text) : text(std::move(text)) {}
  PhraseArgument(Phrase phrase);
  std::string text;
  std::vector<Phrase> phrase;  // none or one
};

// A text as its pattern and arguments, so that each language can word it. The default is no text.
struct Phrase {
  TextId id = TextId::Verbatim;
  std::vector<PhraseArgument> arguments;

  friend bool operator==(const Phrase& a, const Phrase& b);
};
bool operator==(const PhraseArgument& a, const PhraseArgument& b);

// A text that is shown as it is.
Phrase Verbatim(std::string text);

// The words of one language for the engine's patterns and problem names; English unless a window
// gives its own.
class Wording {
 public:
  virtual ~Wording() = default;
  virtual std::string Pattern(TextId, std::string_view english) const { return std::string(english); }
  virtual std::string Problem(ProblemId id) const { return ProblemName(id); }
};
const Wording& English();

// The phrase with its arguments filled in, the phrases among them worded the same way.
std::string Worded(const Phrase& phrase, const Wording& wording = English());

// A failure that says what went wrong as a phrase: what() is the English (the log, the console),
// phrase() the same for the window to word in its language.
class WordedError : public std::runtime_error {
 public:
  explicit WordedError(Phrase phrase) : std::runtime_error(Worded(phrase)), phrase_(std::move(phrase)) {}
  const Phrase& phrase() const { return phrase_; }

 private:
  Phrase phrase_;
};

}  // namespace tamrisk
