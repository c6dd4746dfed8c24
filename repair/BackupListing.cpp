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

bool IsBackupFileName(std::string_view name) {
  constexpr std::string_view kPrefix = "BACKUP", kExtension = ".REG";
  constexpr std::size_t kStampDigits = 14;
  if (const std::size_t slash = name.rfind('\\'); slash != std::string_view::npos) name.remove_prefix(slash + 1);
  if (name.size() != kPrefix.size() + kStampDigits + kExtension.size()) return false;
  const std::string upper = AsciiUpper(name);
  const std::string_view stamp = std::string_view(upper).substr(kPrefix.size(), kStampDigits);
  return upper.starts_with(kPrefix) && upper.ends_with(kExtension) &&
         std::all_of(stamp.begin(), stamp.end(), [](char c) { return c >= '0' && c <= '9'; });
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
