#include "platform/System.h"

namespace tamrisk {
namespace {

class AppendFileStream final : public AppendStream {
 public:
  AppendFileStream(FileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}
  bool Append(std::string_view contents, std::string* error) override {
    return files_.AppendFile(path_, contents, error);
  }

 private:
  FileSystem& files_;
  std::string path_;
};

}  // namespace

std::unique_ptr<AppendStream> FileSystem::OpenForAppend(const std::string& path, std::string* error) {
  if (!AppendFile(path, {}, error)) return nullptr;  // made when missing, as an open would
  return std::make_unique<AppendFileStream>(*this, path);
}

PathKind FileSystem::KindOf(const std::string& path) {
  const std::optional<std::uint32_t> attributes = Attributes(path);
  if (!attributes) return PathKind::Unknown;
  return (*attributes & fileattr::Directory) ? PathKind::Folder : PathKind::File;
}

bool MakeFolderPath(FileSystem& files, const std::string& path) {
  std::string target = path;
  if (!target.empty() && target.back() == '\\') target.pop_back();
  if (target.size() < 3 || files.PathIsFolder(target)) return true;
  const std::size_t slash = target.find_last_of('\\');
  if (slash != std::string::npos && !MakeFolderPath(files, target.substr(0, slash))) return false;
  return files.MakeFolder(target) || files.PathIsFolder(target);
}

}  // namespace tamrisk
