// What the restore dialog lists of a backup folder: the files named as the repair names its backups
// (NewBackupFileName), newest stamp first, with the texts of their sizes and the parts of their dates
// that do not depend on the user's locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/System.h"

namespace tamrisk {

// The size in kilobytes, rounded up, digits grouped in threes with "," whatever the locale:
// 1,048,576 bytes give "1,024 KB".
std::string BackupSizeText(std::uint64_t bytes);

// True for the names the repair gives its backups: "Backup", the 14 digits of a date and time and
// ".reg" (in any letter case), as Backup20240131235959.reg. A name with a folder is judged by its
// last part. Other files in the folder, whoever put them there, are not backups.
bool IsBackupFileName(std::string_view name);

// Negative when a lists before b: names in descending order, ignoring ASCII letter case.
int CompareBackupNames(const std::string& a, const std::string& b);

// The folder with one "\" at its end.
std::string WithTrailingBackslash(std::string folder);

// The backup files of a folder (not its subfolders), in the list's order.
std::vector<FileEntry> BackupFilesIn(FileSystem& files, const std::string& folder);

// The time a file's date shows: seconds count in twos, as file dates do.
LocalDateTime BackupListedTime(LocalDateTime when);
// A listed time of exactly midnight shows the date alone.
bool ShowsDateOnly(const LocalDateTime& listed);

}  // namespace tamrisk
