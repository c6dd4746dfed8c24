#include "platform/System.h"

namespace tamrisk {

bool MakeFolderPath(FileSystem& files, const std::string& path) {
  std::string target = path;
  if (!target.empty() && target.back() == '\\') target.pop_back();
  if (target.size() < 3 || files.PathIsFolder(target)) return true;
  const std::size_t slash = target.find_last_of('\\');
  if (slash != std::string::npos && !MakeFolderPath(files, target.substr(0, slash))) return false;
  return files.MakeFolder(target) || files.PathIsFolder(target);
}

}  // namespace tamrisk
