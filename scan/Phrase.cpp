#include "scan/Phrase.h"

#include <array>
#include <iterator>

#include "platform/Text.h"

namespace tamrisk {
namespace {

using enum TextId;

constexpr std::array<TextPattern, 58> kPatterns = {{
    {FolderNotFound, "folder not found: %1"},
    {FileOrFolderNotFound, "file or folder not found: %1"},
    {FileNotFound, "file not found: %1"},
    {FileNotFoundWithAnyExtension, "file not found with any listed extension: %1"},
    {NotInFontsFolder, "not in the Fonts folder: %1"},
    {ShortcutTargetNotFound, "shortcut target not found: %1"},
    {CountIsZero, "count is 0"},
    {NoValuesBelow, "no values below this key"},
    {OnlyAnEmptyDefault, "nothing but an empty default value"},
    {ExtensionNotRegistered, "extension not registered: %1"},
    {ProgramsFolderNotFound, "Programs folder not found: %1"},
    {ClassNotRegistered, "class not registered: %1"},
    {UninstallEntryNotFound, "uninstall entry not found: %1"},
    {BackupFolderQuestion, "%1,The backup directory does not exist.\r\ncreates a new directory?"},
    {CannotCreateFolder, "Cannot create %1"},
    {BackupNotWritten, "The backup file %1 could not be written."},
    {BackupNotWrittenBecause, "The backup file %1 could not be written: %2"},
    {NothingDeleted, "%1 Nothing was deleted."},
    {EmptiedKeysKept, "%1 The emptied program keys were kept."},
    {RepairedOne, "Repaired %1 problem, kept %2"},
    {RepairedMany, "Repaired %1 problems, kept %2"},
    {RemovedEmptiedKey, "%1, removed %2 emptied program key"},
    {RemovedEmptiedKeys, "%1, removed %2 emptied program keys"},
    {WithBackupFile, "%1 (%2)"},
    {Kept, "kept: %1"},
    {KeptThen, "kept: %1; %2"},
    {KeptRefused, "refused, it would delete more than this entry"},
    {KeptNotBackedUp, "not backed up faithfully"},
    {KeptNeedsAdministrator, "needs an administrator"},
    {KeptStillPresent, "still present after deletion"},
    {UnattendedRunRepairing, "An unattended run of Tamrisk (-cleanonce) is repairing the registry."},
    {AnotherTamriskRepairing, "Another Tamrisk is repairing or restoring the registry."},
    {RestoreUnreadable, "The backup file could not be read, so nothing was restored:\r\n%1"},
    {RestoreUnreadableBecause, "The backup file could not be read, so nothing was restored:\r\n%1\r\n%2"},
    {RestoreRefused, "This file is not a backup of Tamrisk (%1), so it was not restored:\r\n%2"},
    {NameIsNoBackupName, "its name is not \"Backup\", a date and time and \".reg\""},
    {NotARegistryFile, "it is not a registry file"},
    {DeletesEntries, "it deletes registry entries"},
    {RestoreIncomplete,
     "%1 entries of the backup did not come back, the first in %2.\r\nThe backup file was kept:\r\n%3"},
    {Undone, "Undone: %1 restored"},
    {UndoNotEnded, "Undo did not finish, %1 kept"},
    {UndoUnreadable, "Undo not done, %1 could not be read"},
    {UndoRefused, "Undo refused, %1 is not a backup of Tamrisk"},
    {UndoIncomplete, "Undo incomplete: %1 entries did not come back, %2 kept"},
    {NotOnRecord, "Tamrisk has no record of writing it"},
    {UnrecordedImportQuestion,
     "Tamrisk did not write this file, or wrote it before it kept a record of its backups. Anyone who can write "
     "in the backup folder may have put it there:\r\n%1\r\n\r\nImporting it adds these entries to the registry, "
     "or changes them:\r\n%2\r\nImport it only if you know where it came from. Import it?"},
    {KeptChangedSinceBackup, "changed since it was backed up"},
    {RestoreDroppedCutEnd,
     "The backup was restored, but for its last %1 bytes: the repair was stopped while it wrote them, before it "
     "deleted anything they hold, so they were left out:\r\n%2"},
    {SummaryThenError, "%1. %2"},
    {RepairLockDenied,
     "The repair lock %1 was made by an account that keeps this one out, so whether another repair is under way "
     "cannot be told."},
    {RepairLockNameTaken,
     "Another program holds an object named %1 that is not Tamrisk's repair lock, so whether another repair is "
     "under way cannot be told."},
    {SettingsNotWritten, "Unable to write to %1"},
    {SettingsNotRead, "Unable to read %1: %2"},
    {ProgramWithState, "%1 (%2)"},
    {ProgramInstalled, "installed"},
    {ProgramFolderDeleted, "folder deleted"},
    {ProgramUninstalled, "uninstalled"},
    {TextId::Verbatim, "%1"},
}};

constexpr bool InIdOrder() {
  for (std::size_t i = 0; i < kPatterns.size(); ++i) {
    if (kPatterns[i].id != static_cast<TextId>(i)) return false;
  }
  return true;
}
static_assert(InIdOrder(), "a pattern is looked up by its id");

// The first text of each family, in the order of TextFamily.
constexpr TextId kFirstOf[] = {FolderNotFound, BackupFolderQuestion, SettingsNotWritten, ProgramWithState,
                               TextId::Verbatim};

std::string Argument(const PhraseArgument& argument, const Wording& wording) {
  return argument.phrase.empty() ? argument.text : Worded(argument.phrase.front(), wording);
}

}  // namespace

TextPlace PlaceOf(TextId id) {
  std::size_t family = 0;
  while (family + 1 < std::size(kFirstOf) && id >= kFirstOf[family + 1]) ++family;
  return {static_cast<TextFamily>(family), static_cast<int>(id) - static_cast<int>(kFirstOf[family])};
}

std::span<const TextPattern> TextPatterns() { return kPatterns; }

PhraseArgument::PhraseArgument(Phrase phrase) : phrase{std::move(phrase)} {}

bool operator==(const Phrase& a, const Phrase& b) { return a.id == b.id && a.arguments == b.arguments; }

bool operator==(const PhraseArgument& a, const PhraseArgument& b) { return a.text == b.text && a.phrase == b.phrase; }

Phrase Verbatim(std::string text) { return {TextId::Verbatim, {std::move(text)}}; }

const Wording& English() {
  static const Wording english;
  return english;
}

std::string Worded(const Phrase& phrase, const Wording& wording) {
  // A verbatim text is its argument, in every language; the default phrase says nothing.
  if (phrase.id == TextId::Verbatim)
    return phrase.arguments.empty() ? std::string() : Argument(phrase.arguments.front(), wording);
  const std::string pattern = wording.Pattern(phrase.id, kPatterns[static_cast<std::size_t>(phrase.id)].english);
  std::vector<std::string> texts;
  for (const PhraseArgument& argument : phrase.arguments) texts.push_back(Argument(argument, wording));
  const std::vector<std::string_view> views(texts.begin(), texts.end());
  return FillArguments(pattern, views);
}

}  // namespace tamrisk
