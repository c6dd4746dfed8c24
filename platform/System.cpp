#include "platform/System.h"

namespace tamrisk {
namespace {

class AppendFileStream final : public AppendStream {
 public:
  AppendFileStream(FileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}
  bool Append(std::string_view contents, std::string* error) override {
    return files_.AppendFile(path_, contents, error);
  }
  // Each append opened and closed the file; a backend that can flush a file overrides OpenForAppend.
  bool Flush(std::string* /*error*/) override { return true; }

 private:
  FileSystem& files_;
  std::string path_;
};

}  // namespace

std::unique_ptr<AppendStream> FileSystem::OpenForAppend(const std::string& path, std::string* error) {
  if (!AppendFile(path, {}, error)) return nullptr;  // made when missing, as an open would
  return std::make_unique<AppendFileStream>(*this, path);
}

std::unique_ptr<FileHold> FileSystem::ReadAndHold(const std::string& path, std::string& contents, std::string* error) {
  if (!ReadFile(path, contents, error)) return nullptr;
  return std::make_unique<FileHold>();
}

PathKind FileSystem::KindOf(const std::string& path) {
  const std::optional<std::uint32_t> attributes = Attributes(path);
  if (!attributes) return PathKind::Unknown;
  return (*attributes & fileattr::Directory) ? PathKind::Folder : PathKind::File;
}

bool FileSystem::FolderIsWritable(const std::string& folder) { return PathIsFolder(folder); }

std::string SystemInfo::ComputerName() { return {}; }

bool SystemInfo::ProcessIsElevated() { return false; }

bool MakeFolderPath(FileSystem& files, const std::string& path) {
  std::string target = path;
  if (!target.empty() && target.back() == '\\') target.pop_back();
  if (target.size() < 3 || files.PathIsFolder(target)) return true;
  const std::size_t slash = target.find_last_of('\\');
  if (slash != std::string::npos && !MakeFolderPath(files, target.substr(0, slash))) return false;
  return files.MakeFolder(target) || files.PathIsFolder(target);
}

namespace {

int Windows9xCode(const VersionInfo& version) {
  if (version.major == 4 && version.minor == 0) return 1;
  if (version.major == 4 && version.minor == 10) return 3;
  if (version.major == 4 && version.minor == 90) return 8;
  return 10;
}

int WindowsNtCode(const VersionInfo& version) {
  switch (version.major) {
    case 3: return 5;
    case 4: return 6;
    case 5:
      if (version.minor == 0) return 7;
      if (version.minor == 1) return 9;
      return 10;
    default: return 10;
  }
}

}  // namespace

int WindowsVersionCode(const Platform& platform) {
  constexpr std::uint32_t kPlatformNt = 2;
  const VersionInfo version = platform.system.Version();
  return version.platformId == kPlatformNt ? WindowsNtCode(version) : Windows9xCode(version);
}

}  // namespace tamrisk
