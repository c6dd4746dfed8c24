// The restore of a backup file: only a file the repair could have written is imported (the program
// may run as an administrator, and anyone may put files in its folder), and afterwards every key and
// value in it is held against the registry, because the registry editor reports nothing back. The
// restore dialog and the main window's undo both go through here.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/System.h"
#include "repair/RegFile.h"
#include "scan/Phrase.h"

namespace tamrisk {

struct RestoreResult {
  enum class Status {
    Restored,    // every key and value of the file is back
    NotEnded,    // the editor could not start, or was stopped before it ended
    Unreadable,  // the file could not be read: nothing was imported
    Refused,     // not a backup the repair could have written: nothing was imported
    Declined,    // a file not on record that the user chose not to import: nothing was imported
    Incomplete,  // some entries are not in the registry as the file has them
  };
  Status status = Status::Restored;
  std::string error;              // Unreadable: the system's text
  std::optional<TextId> refusal;  // Refused: why the file is not a backup
  RestoreCheck check;
  // Bytes at the file's end left out: a write the repair was killed in (BackupRecord.h), whose
  // entries had not been deleted. The rest of the file, on record, was restored.
  std::size_t droppedBytes = 0;
};

// Asked about a file that reads as a backup but whose bytes are not on record (BackupRecord.h): a file
// someone else put in the backup folder, or a backup written before the record was kept. True imports
// it; the file is as parsed.
using UnrecordedFileConfirm = std::function<bool(const RegFile& file)>;

// A backup on record only up to its last whole write (the repair was killed in the next) has that
// part imported, from a copy in the user's temporary folder, and the rest left out (droppedBytes).
// Otherwise: reads the file and refuses it unless it is named as the repair names its backups and holds nothing
// the repair does not write (it must read as a registry file, and delete nothing). A file whose bytes
// are not on record is imported only when confirmUnrecorded says so: never without one, as when nobody
// watches. Then starts "regedit /s path" through runImport (true when the editor ended by itself) and
// checks what the file holds against the registry. REGEDIT4 text is decoded with ansiToUtf16, as the
// editor reads it.
RestoreResult RestoreBackupFile(const Platform& platform, const std::string& path,
                                const std::function<bool(const std::string& commandLine)>& runImport,
                                const AnsiDecoder& ansiToUtf16, const UnrecordedFileConfirm& confirmUnrecorded = {});

// What a message box says about a restore that did not put everything back, or left out the end of
// the file, naming the file; none when it put back all, or when the editor did not end (that was said
// already).
std::optional<Phrase> RestoreFailurePhrase(const RestoreResult& result, const std::string& path);

// One line for a status bar: what the undo of a repair from path came to.
Phrase UndoSummaryPhrase(const RestoreResult& result, const std::string& path);

}  // namespace tamrisk
