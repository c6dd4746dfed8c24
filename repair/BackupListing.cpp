#include "repair/BackupListing.h"

#include <algorithm>

#include "platform/Text.h"

namespace tamrisk {

std::string BackupSizeText(std::uint64_t bytes) {
  const std::uint64_t kilobytes = bytes / 1024 + (bytes % 1024 > 0 ? 1 : 0);
  const std::string digits = std::to_string(kilobytes);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped.push_back(',');
    grouped.push_back(digits[i]);
  }
  return grouped + " KB";
}

bool IsBackupFileName(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot != std::string::npos && AsciiUpper(std::string_view(name).substr(dot)) == ".REG";
}

int CompareBackupNames(const std::string& a, const std::string& b) {
  // Descending: the later name first. With the repair's stamped names the newest backup leads.
  return AsciiUpper(b).compare(AsciiUpper(a));
}

std::string WithTrailingBackslash(std::string folder) {
  if (folder.empty() || folder.back() != '\\') folder.push_back('\\');
  return folder;
}

std::vector<FileEntry> BackupFilesIn(FileSystem& files, const std::string& folder) {
  std::vector<FileEntry> backups;
  for (FileEntry& entry : files.ListFolder(WithTrailingBackslash(folder) + "*")) {
    if ((entry.attributes & fileattr::Directory) == 0 && IsBackupFileName(entry.name)) {
      backups.push_back(std::move(entry));
    }
  }
  std::stable_sort(backups.begin(), backups.end(),
                   [](const FileEntry& a, const FileEntry& b) { return CompareBackupNames(a.name, b.name) < 0; });
  return backups;
}

LocalDateTime BackupListedTime(LocalDateTime when) {
  when.second -= when.second % 2;
  return when;
}

bool ShowsDateOnly(const LocalDateTime& listed) { return listed.hour == 0 && listed.minute == 0 && listed.second == 0; }

}  // namespace tamrisk
