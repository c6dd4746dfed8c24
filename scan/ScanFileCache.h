// The file system as one scan sees it. Registry texts name the same folders thousands of times, and
// a stale one mostly points into a folder that is gone, where the path test tries every prefix of
// the text. This decorator answers PathIsFile, PathIsFolder and KindOf from what the scan has learnt: for
// each folder on the way whether it is there, and for an existing folder one listing of it. Where a
// listing cannot give the system's own answer exactly (wildcards, short names, names beyond ASCII,
// "..", devices, very long paths, ...) it asks the system. Anything that changes files empties it.
#pragma once

#include <memory>
#include <string>

#include "platform/System.h"

namespace tamrisk {

class ScanFileCache final : public ForwardingFileSystem {
 public:
  explicit ScanFileCache(FileSystem& files);
  ~ScanFileCache() override;
  ScanFileCache(const ScanFileCache&) = delete;
  ScanFileCache& operator=(const ScanFileCache&) = delete;

  bool PathIsFile(const std::string& path) override;
  bool PathIsFolder(const std::string& path) override;
  PathKind KindOf(const std::string& path) override;
  bool MakeFolder(const std::string& path) override;
  bool ShellDelete(const std::string& path, bool toRecycleBin) override;
  bool WriteFile(const std::string& path, std::string_view contents, std::string* error = nullptr) override;
  bool AppendFile(const std::string& path, std::string_view contents, std::string* error = nullptr) override;
  std::unique_ptr<AppendStream> OpenForAppend(const std::string& path, std::string* error = nullptr) override;

  // Forgets all it has learnt; the next question goes to the system again.
  void Clear();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// platform with files in place of its file system.
Platform WithFiles(const Platform& platform, FileSystem& files);

}  // namespace tamrisk
