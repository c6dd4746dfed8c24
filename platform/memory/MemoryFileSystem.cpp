#include "platform/memory/MemoryFileSystem.h"

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>

#include "platform/Text.h"

namespace tamrisk {
namespace {

// Win32 error codes the file calls give.
constexpr long kFileNotFound = 2;
constexpr long kPathNotFound = 3;
constexpr long kAccessDenied = 5;
constexpr long kReadFault = 30;
constexpr long kSharingViolation = 32;
constexpr long kInvalidName = 123;
constexpr long kNameTooLong = 206;
constexpr long kDiskFull = 112;
constexpr std::size_t kMaxPath = 260;  // MAX_PATH, terminating NUL included
constexpr int kMaxLinkHops = 63;
constexpr std::size_t kShortcutPathCapacity = 260;
// A whole-file read asks for the file in pieces of this size, as the Win32 backend does.
constexpr std::size_t kReadPiece = 65536;

std::string SystemMessage(long code) {
  switch (code) {
    case kFileNotFound: return "The system cannot find the file specified.";
    case kPathNotFound: return "The system cannot find the path specified.";
    case kAccessDenied: return "Access is denied.";
    case kReadFault: return "The system cannot read from the specified device.";
    case kSharingViolation: return "The process cannot access the file because it is being used by another process.";
    case kInvalidName: return "The filename, directory name, or volume label syntax is incorrect.";
    case kNameTooLong: return "The filename or extension is too long.";
    case kDiskFull: return "There is not enough space on the disk.";
    default: return "The parameter is incorrect.";
  }
}

bool Fail(long code, std::string* error) {
  if (error) *error = SystemMessage(code);
  return false;
}

bool HasWildcards(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

bool MatchFrom(std::string_view mask, std::string_view name) {
  std::size_t m = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || AsciiUpperChar(mask[m]) == AsciiUpperChar(name[n]))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == '*') {
      star = m++;
      resume = n;
    } else if (star != std::string_view::npos) {
      m = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

// An absolute, normalised path: drive letter and levels below its root.
struct ParsedPath {
  char drive = 0;
  std::vector<std::string> levels;
  bool trailingSlash = false;

  std::string Text() const {
    std::string text{drive, ':', '\\'};
    for (std::size_t i = 0; i < levels.size(); ++i) {
      if (i > 0) text += '\\';
      text += levels[i];
    }
    return text;
  }
};

struct FsNode {
  std::string name;
  bool folder = false;
  std::uint32_t attributes = 0;
  std::string contents;
  std::optional<std::uint64_t> size;
  LocalDateTime lastWrite;
  bool undeletable = false;
  bool writeProtected = false;                // folder: nothing new can be made in it
  bool unreadable = false;                    // folder: nothing in it can be looked at
  int holds = 0;                              // ReadAndHold's holders: no writing or deleting meanwhile
  std::optional<ParsedPath> link;             // reparse folder: where paths through it continue
  std::optional<std::string> shortcutTarget;  // registered shell link
  FsNode* parent = nullptr;
  std::vector<std::unique_ptr<FsNode>> children;  // sorted by CompareNoCase

  std::uint64_t Size() const { return folder ? 0 : size.value_or(contents.size()); }
};

FsNode* FindChild(const FsNode& folder, std::string_view name) {
  auto it = std::lower_bound(
      folder.children.begin(), folder.children.end(), name,
      [](const std::unique_ptr<FsNode>& n, std::string_view v) { return CompareNoCase(n->name, v) < 0; });
  if (it != folder.children.end() && CompareNoCase((*it)->name, name) == 0) return it->get();
  return nullptr;
}

FsNode* AddChild(FsNode& folder, std::string_view name, bool isFolder, const LocalDateTime& when) {
  auto node = std::make_unique<FsNode>();
  node->name = std::string(name);
  node->folder = isFolder;
  node->attributes = isFolder ? fileattr::Directory : fileattr::Archive;
  node->lastWrite = when;
  node->parent = &folder;
  FsNode* raw = node.get();
  auto it = std::lower_bound(
      folder.children.begin(), folder.children.end(), name,
      [](const std::unique_ptr<FsNode>& n, std::string_view v) { return CompareNoCase(n->name, v) < 0; });
  folder.children.insert(it, std::move(node));
  return raw;
}

void RemoveChild(FsNode& node) {
  auto& siblings = node.parent->children;
  siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                [&](const std::unique_ptr<FsNode>& n) { return n.get() == &node; }),
                 siblings.end());
}

// Removes what may be removed; false when something stayed. A reparse folder goes without its target.
bool DeleteNode(FsNode& node) {
  if (node.undeletable || node.holds > 0) return false;
  if (node.folder && !node.link) {
    std::vector<FsNode*> children;
    for (auto& child : node.children) children.push_back(child.get());
    bool all = true;
    for (FsNode* child : children) all = DeleteNode(*child) && all;
    if (!all) return false;
  }
  RemoveChild(node);
  return true;
}

struct Drive {
  unsigned type = drivetype::Fixed;
  std::optional<std::size_t> freeSpace;  // bytes writes may still add; nullopt: no limit
  std::unique_ptr<FsNode> root;
};

struct Match {
  std::string name;
  FsNode* node;
};

}  // namespace

bool WildcardMatch(std::string_view mask, std::string_view name) {
  if (MatchFrom(mask, name)) return true;
  // As with DOS wildcards, a final ".*" may also match the end of the name.
  return mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" && MatchFrom(mask.substr(0, mask.size() - 2), name);
}

struct MemoryFileSystem::Impl {
  mutable std::mutex mutex;
  std::map<char, Drive> drives;
  ParsedPath currentFolder{'C', {}, true};
  LocalDateTime clock{2024, 1, 2, 3, 4, 5};
  bool failShortcutObject = false;
  std::size_t readsUntilFailure = 0;  // 0: none fails
  std::vector<std::string> recycled;
  FileSystemCalls calls;
  std::vector<std::string>* journal = nullptr;  // changes in order, when a test asks

  void Journal(const char* change, const std::string& path) {
    if (journal) journal->push_back(std::string(change) + " " + path);
  }

  // The path made absolute against the current folder ("" for paths that are not modelled).
  std::string Absolute(const std::string& path) const {
    const bool hasDrive = path.size() >= 2 && path[1] == ':' &&
                          ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (hasDrive) {
      const char drive = AsciiUpperChar(path[0]);
      const std::string rest = path.substr(2);
      if (!rest.empty() && rest.front() == '\\') return std::string{drive, ':'} + rest;
      const std::string base = drive == currentFolder.drive ? currentFolder.Text() : std::string{drive, ':', '\\'};
      return base + "\\" + rest;
    }
    if (path.rfind("\\\\", 0) == 0) return "";  // network and device paths are not modelled
    if (path.front() == '\\') return std::string{currentFolder.drive, ':'} + path;
    return currentFolder.Text() + "\\" + path;
  }

  // The levels of an absolute path: empty and "." levels drop, ".." climbs, a level's single final
  // dot drops, and (without a trailing "\") the last level loses its trailing dots and spaces.
  static void SplitLevels(const std::string& full, ParsedPath& parsed) {
    std::size_t start = 2;
    while (start <= full.size()) {
      std::size_t end = full.find('\\', start);
      if (end == std::string::npos) end = full.size();
      std::string level = full.substr(start, end - start);
      start = end + 1;
      if (level.empty() || level == ".") continue;
      if (level == "..") {
        if (!parsed.levels.empty()) parsed.levels.pop_back();
        continue;
      }
      if (level.size() >= 2 && level.back() == '.' && level[level.size() - 2] != '.') level.pop_back();
      parsed.levels.push_back(level);
    }
    if (!parsed.trailingSlash && !parsed.levels.empty()) {
      std::string& last = parsed.levels.back();
      while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
      if (last.empty()) parsed.levels.pop_back();
    }
    if (parsed.levels.empty()) parsed.trailingSlash = true;
  }

  // Win32 path normalisation: "/" is "\", then as Absolute and SplitLevels say; wildcards only in
  // the last level, and only where the call takes a mask.
  long Parse(std::string_view input, bool wildcardInLast, ParsedPath& out) const {
    std::string path(input);
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.empty()) return kPathNotFound;
    const std::string full = Absolute(path);
    if (full.empty()) return kPathNotFound;

    ParsedPath parsed;
    parsed.drive = full[0];
    parsed.trailingSlash = path.back() == '\\';
    SplitLevels(full, parsed);
    for (std::size_t i = 0; i < parsed.levels.size(); ++i) {
      const bool last = i + 1 == parsed.levels.size();
      if (HasWildcards(parsed.levels[i]) && !(last && wildcardInLast)) return kInvalidName;
    }
    if (parsed.Text().size() >= kMaxPath) return kNameTooLong;
    out = std::move(parsed);
    return 0;
  }

  // The folder whose entries a path through node continues in.
  FsNode* Through(FsNode* node, int& hops) const {
    while (node != nullptr && node->link) {
      if (++hops > kMaxLinkHops) return nullptr;
      FsNode* target = nullptr;
      if (Resolve(*node->link, node->link->levels.size(), target, hops) != 0 || !target->folder) return nullptr;
      node = target;
    }
    return node;
  }

  long Resolve(const ParsedPath& path, std::size_t count, FsNode*& out, int& hops) const {
    auto drive = drives.find(path.drive);
    if (drive == drives.end()) return kPathNotFound;
    FsNode* node = drive->second.root.get();
    for (std::size_t i = 0; i < count; ++i) {
      if (!node->folder) return kPathNotFound;
      FsNode* folder = Through(node, hops);
      if (folder == nullptr) return kPathNotFound;
      if (folder->unreadable) return kAccessDenied;
      node = FindChild(*folder, path.levels[i]);
      if (node == nullptr) return i + 1 == count ? kFileNotFound : kPathNotFound;
    }
    out = node;
    return 0;
  }

  long Resolve(const ParsedPath& path, std::size_t count, FsNode*& out) const {
    int hops = 0;
    return Resolve(path, count, out, hops);
  }

  // The folder that is to hold path's last level, through reparse points.
  long ParentFolder(const ParsedPath& path, FsNode*& out) const {
    FsNode* parent = nullptr;
    if (long rc = Resolve(path, path.levels.size() - 1, parent); rc != 0) {
      return rc == kAccessDenied ? kAccessDenied : kPathNotFound;
    }
    int hops = 0;
    out = parent->folder ? Through(parent, hops) : nullptr;
    return out != nullptr ? 0 : kPathNotFound;
  }

  // The entries FindFirstFileW/FindNextFileW give for a mask, "." and ".." included.
  long Find(const std::string& mask, std::vector<Match>& found) const {
    ParsedPath path;
    if (long rc = Parse(mask, true, path); rc != 0) return rc;
    if (path.trailingSlash) return kFileNotFound;
    FsNode* folder = nullptr;
    if (long rc = ParentFolder(path, folder); rc != 0) return rc;
    if (folder->unreadable) return kAccessDenied;
    const std::string& pattern = path.levels.back();
    if (folder->parent != nullptr) {
      if (WildcardMatch(pattern, ".")) found.push_back({".", folder});
      if (WildcardMatch(pattern, "..")) found.push_back({"..", folder->parent});
    }
    for (auto& child : folder->children) {
      if (WildcardMatch(pattern, child->name)) found.push_back({child->name, child.get()});
    }
    return found.empty() ? kFileNotFound : 0;
  }

  std::optional<std::uint32_t> AttributesOf(const std::string& text) const {
    ParsedPath path;
    FsNode* node = nullptr;
    if (Parse(text, false, path) != 0 || Resolve(path, path.levels.size(), node) != 0) return std::nullopt;
    if (path.trailingSlash && !node->folder) return std::nullopt;
    return node->attributes;
  }

  // Fixture helpers: parse or throw, and make missing drives and folders.
  ParsedPath MustParse(const std::string& text) const {
    ParsedPath path;
    if (Parse(text, false, path) != 0) throw std::invalid_argument("bad fixture path: " + text);
    return path;
  }

  FsNode& Ensure(const ParsedPath& path, std::size_t count) {
    Drive& drive = drives[path.drive];
    if (!drive.root) {
      drive.root = std::make_unique<FsNode>();
      drive.root->folder = true;
      drive.root->attributes = fileattr::Directory;
    }
    FsNode* node = drive.root.get();
    for (std::size_t i = 0; i < count; ++i) {
      int hops = 0;
      FsNode* folder = Through(node, hops);
      if (folder == nullptr || !folder->folder) throw std::invalid_argument("not a folder in " + path.Text());
      FsNode* child = FindChild(*folder, path.levels[i]);
      node = child != nullptr ? child : AddChild(*folder, path.levels[i], true, clock);
    }
    return *node;
  }

  FsNode& Existing(const std::string& text) const {
    FsNode* node = nullptr;
    const ParsedPath path = MustParse(text);
    if (Resolve(path, path.levels.size(), node) != 0) throw std::invalid_argument("no such fixture path: " + text);
    return *node;
  }

  long FileToRead(const std::string& text, FsNode*& node);
  long ReadPieces(const FsNode& node, std::string& contents);

  bool Write(const std::string& text, std::string_view contents, bool append, std::string* error) {
    ++calls.changes;
    ParsedPath path;
    if (long rc = Parse(text, false, path); rc != 0) return Fail(rc, error);
    if (path.trailingSlash) return Fail(path.levels.empty() ? kAccessDenied : kInvalidName, error);
    FsNode* folder = nullptr;
    if (long rc = ParentFolder(path, folder); rc != 0) return Fail(rc, error);
    FsNode* file = FindChild(*folder, path.levels.back());
    if (file == nullptr && folder->writeProtected) return Fail(kAccessDenied, error);
    if (file == nullptr) file = AddChild(*folder, path.levels.back(), false, clock);
    if (file->folder || (file->attributes & fileattr::ReadOnly)) return Fail(kAccessDenied, error);
    if (file->holds > 0) return Fail(kSharingViolation, error);
    if (!append || !contents.empty()) Journal(append ? "append" : "write", text);
    std::optional<std::size_t>& freeSpace = drives.at(path.drive).freeSpace;
    const bool fits = !freeSpace || contents.size() <= *freeSpace;
    const std::string_view stored = fits ? contents : contents.substr(0, *freeSpace);
    if (freeSpace) *freeSpace -= stored.size();
    if (!fits && !append) {
      RemoveChild(*file);
      return Fail(kDiskFull, error);
    }
    if (append) {
      file->contents.append(stored);
    } else {
      file->contents.assign(stored);
    }
    file->size.reset();
    file->lastWrite = clock;
    return fits || Fail(kDiskFull, error);
  }

  // An append that fails part-way takes back what it stored, as the Win32 stream cuts the file back.
  bool AppendWhole(const std::string& text, std::string_view contents, std::string* error) {
    ParsedPath path;
    FsNode* file = nullptr;
    const bool existed = Parse(text, false, path) == 0 && Resolve(path, path.levels.size(), file) == 0 && !file->folder;
    const std::size_t before = existed ? file->contents.size() : 0;
    if (Write(text, contents, true, error)) return true;
    if (existed && file->contents.size() > before) {
      if (std::optional<std::size_t>& freeSpace = drives.at(path.drive).freeSpace) {
        *freeSpace += file->contents.size() - before;
      }
      file->contents.resize(before);
    }
    return false;
  }
};

MemoryFileSystem::MemoryFileSystem() : impl_(std::make_unique<Impl>()) {}
MemoryFileSystem::~MemoryFileSystem() = default;

bool MemoryFileSystem::PathIsFile(const std::string& path) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.existence;
  std::vector<Match> found;
  if (impl_->Find(path, found) != 0) return false;
  return !found.front().node->folder;
}

bool MemoryFileSystem::PathIsFolder(const std::string& path) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.existence;
  const auto attributes = impl_->AttributesOf(path);
  return attributes && (*attributes & fileattr::Directory);
}

std::optional<std::uint32_t> MemoryFileSystem::Attributes(const std::string& path) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.existence;
  return impl_->AttributesOf(path);
}

bool MemoryFileSystem::MakeFolder(const std::string& text) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.changes;
  ParsedPath path;
  if (impl_->Parse(text, false, path) != 0 || path.levels.empty()) return false;
  FsNode* folder = nullptr;
  if (impl_->ParentFolder(path, folder) != 0) return false;
  if (FindChild(*folder, path.levels.back()) != nullptr || folder->writeProtected) return false;
  AddChild(*folder, path.levels.back(), true, impl_->clock);
  return true;
}

std::vector<FileEntry> MemoryFileSystem::ListFolder(const std::string& mask) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.listings;
  std::vector<Match> found;
  std::vector<FileEntry> entries;
  if (impl_->Find(mask, found) != 0) return entries;
  for (const auto& match : found) {
    if (match.name == "." || match.name == "..") continue;
    entries.push_back(FileEntry{match.name, match.node->attributes, match.node->Size(), match.node->lastWrite});
  }
  return entries;
}

unsigned MemoryFileSystem::DriveType(char letter) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.driveTypes;
  auto drive = impl_->drives.find(AsciiUpperChar(letter));
  return drive == impl_->drives.end() ? drivetype::NoRootDir : drive->second.type;
}

bool MemoryFileSystem::ShellDelete(const std::string& text, bool toRecycleBin) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.changes;
  impl_->Journal("delete", text);
  if (toRecycleBin) impl_->recycled.push_back(text);
  ParsedPath path;
  if (impl_->Parse(text, true, path) != 0 || path.levels.empty()) return false;
  if (HasWildcards(path.levels.back())) {
    std::vector<Match> found;
    if (impl_->Find(text, found) != 0) return false;
    bool all = true;
    bool any = false;
    for (const auto& match : found) {
      if (match.name == "." || match.name == "..") continue;
      any = true;
      all = DeleteNode(*match.node) && all;
    }
    return any && all;
  }
  FsNode* node = nullptr;
  if (impl_->Resolve(path, path.levels.size(), node) != 0) return false;
  if (path.trailingSlash && !node->folder) return false;
  return DeleteNode(*node);
}

std::string MemoryFileSystem::ShortcutTarget(const std::string& shortcutPath) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.shortcuts;
  if (impl_->failShortcutObject) throw std::runtime_error("The shell link object could not be created.");
  ParsedPath path;
  FsNode* node = nullptr;
  if (impl_->Parse(shortcutPath, false, path) != 0 || impl_->Resolve(path, path.levels.size(), node) != 0) return {};
  if (node->folder || !node->shortcutTarget) return {};
  return node->shortcutTarget->substr(0, kShortcutPathCapacity);
}

// The file's contents one piece at a time, and a last read that finds the end; any of them may be
// the one set to fail, which gives its error code and nothing.
long MemoryFileSystem::Impl::ReadPieces(const FsNode& node, std::string& contents) {
  contents.clear();
  for (std::size_t at = 0;; at += kReadPiece) {
    if (readsUntilFailure != 0 && --readsUntilFailure == 0) {
      contents.clear();
      return kReadFault;
    }
    if (at >= node.contents.size()) return 0;
    contents.append(node.contents, at, kReadPiece);
  }
}

// The file a read of text finds, or the error code of the failed read.
long MemoryFileSystem::Impl::FileToRead(const std::string& text, FsNode*& node) {
  ++calls.reads;
  ParsedPath path;
  if (long rc = Parse(text, false, path); rc != 0) return rc;
  if (long rc = Resolve(path, path.levels.size(), node); rc != 0) return rc;
  if (node->folder) return kAccessDenied;
  if (path.trailingSlash) return kInvalidName;
  return 0;
}

bool MemoryFileSystem::ReadFile(const std::string& text, std::string& contents, std::string* error) {
  std::lock_guard lock(impl_->mutex);
  FsNode* node = nullptr;
  if (long rc = impl_->FileToRead(text, node); rc != 0) return Fail(rc, error);
  if (long rc = impl_->ReadPieces(*node, contents); rc != 0) return Fail(rc, error);
  return true;
}

class MemoryFileSystem::Hold final : public FileHold {
 public:
  Hold(Impl& impl, FsNode& node) : impl_(impl), node_(node) { ++node_.holds; }
  ~Hold() override {
    std::lock_guard lock(impl_.mutex);
    --node_.holds;
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  Impl& impl_;
  FsNode& node_;
};

std::unique_ptr<FileHold> MemoryFileSystem::ReadAndHold(const std::string& text, std::string& contents,
                                                        std::string* error) {
  std::lock_guard lock(impl_->mutex);
  FsNode* node = nullptr;
  long rc = impl_->FileToRead(text, node);
  if (rc == 0) rc = impl_->ReadPieces(*node, contents);
  if (rc != 0) {
    Fail(rc, error);
    return nullptr;
  }
  return std::make_unique<Hold>(*impl_, *node);
}

bool MemoryFileSystem::WriteFile(const std::string& path, std::string_view contents, std::string* error) {
  std::lock_guard lock(impl_->mutex);
  return impl_->Write(path, contents, false, error);
}

bool MemoryFileSystem::AppendFile(const std::string& path, std::string_view contents, std::string* error) {
  std::lock_guard lock(impl_->mutex);
  return impl_->Write(path, contents, true, error);
}

// Each append is stored at once, as WriteFile hands it to the system, or not at all; a flush is counted and
// journalled, so tests can see that a backup reached the disk before anything was deleted.
class MemoryAppendStream final : public AppendStream {
 public:
  MemoryAppendStream(std::function<bool(std::string_view, std::string*)> append, std::function<void()> flushed)
      : append_(std::move(append)), flushed_(std::move(flushed)) {}
  bool Append(std::string_view contents, std::string* error) override { return append_(contents, error); }
  bool Flush(std::string* /*error*/) override {
    flushed_();
    return true;
  }

 private:
  std::function<bool(std::string_view, std::string*)> append_;
  std::function<void()> flushed_;
};

std::unique_ptr<AppendStream> MemoryFileSystem::OpenForAppend(const std::string& path, std::string* error) {
  if (!AppendFile(path, {}, error)) return nullptr;  // made when missing, as an open would
  return std::make_unique<MemoryAppendStream>(
      [this, path](std::string_view contents, std::string* why) {
        std::lock_guard lock(impl_->mutex);
        return impl_->AppendWhole(path, contents, why);
      },
      [this, path] {
        std::lock_guard lock(impl_->mutex);
        ++impl_->calls.flushes;
        impl_->Journal("flush", path);
      });
}

PathKind MemoryFileSystem::KindOf(const std::string& text) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.existence;
  ParsedPath path;
  FsNode* node = nullptr;
  long rc = impl_->Parse(text, false, path);
  if (rc == 0) rc = impl_->Resolve(path, path.levels.size(), node);
  if (rc == kFileNotFound || rc == kPathNotFound) return PathKind::Nothing;
  if (rc != 0) return PathKind::Unknown;
  if (path.trailingSlash && !node->folder) return PathKind::Nothing;  // "file.txt\" names no folder
  return node->folder ? PathKind::Folder : PathKind::File;
}

void MemoryFileSystem::SetDriveType(char letter, unsigned type) {
  std::lock_guard lock(impl_->mutex);
  const char drive = AsciiUpperChar(letter);
  if (type == drivetype::NoRootDir) {
    impl_->drives.erase(drive);
    return;
  }
  impl_->Ensure(ParsedPath{drive, {}, true}, 0);
  impl_->drives[drive].type = type;
}

void MemoryFileSystem::AddFolder(const std::string& text, std::uint32_t attributes) {
  std::lock_guard lock(impl_->mutex);
  const ParsedPath path = impl_->MustParse(text);
  FsNode& node = impl_->Ensure(path, path.levels.size());
  if (!node.folder) throw std::invalid_argument("a file is in the way: " + text);
  if (!path.levels.empty()) node.attributes = attributes | fileattr::Directory;
}

void MemoryFileSystem::AddFile(const std::string& text, std::string contents, std::uint32_t attributes) {
  std::lock_guard lock(impl_->mutex);
  const ParsedPath path = impl_->MustParse(text);
  if (path.levels.empty() || path.trailingSlash) throw std::invalid_argument("not a file path: " + text);
  FsNode& folder = impl_->Ensure(path, path.levels.size() - 1);
  int hops = 0;
  FsNode* parent = impl_->Through(&folder, hops);
  if (parent == nullptr || !parent->folder) throw std::invalid_argument("no folder to hold " + text);
  FsNode* file = FindChild(*parent, path.levels.back());
  if (file == nullptr) file = AddChild(*parent, path.levels.back(), false, impl_->clock);
  if (file->folder) throw std::invalid_argument("a folder is in the way: " + text);
  file->contents = std::move(contents);
  file->attributes = attributes & ~fileattr::Directory;
  file->size.reset();
}

void MemoryFileSystem::AddLink(const std::string& text, const std::string& target) {
  std::lock_guard lock(impl_->mutex);
  const ParsedPath path = impl_->MustParse(text);
  ParsedPath to = impl_->MustParse(target);
  to.trailingSlash = false;
  FsNode& node = impl_->Ensure(path, path.levels.size());
  if (path.levels.empty() || !node.folder || !node.children.empty()) {
    throw std::invalid_argument("link over a used path: " + text);
  }
  node.attributes = fileattr::Directory | fileattr::ReparsePoint;
  node.link = std::move(to);
}

void MemoryFileSystem::AddShortcut(const std::string& shortcutPath, const std::string& target) {
  if (!Exists(shortcutPath)) AddFile(shortcutPath, "L");
  std::lock_guard lock(impl_->mutex);
  impl_->Existing(shortcutPath).shortcutTarget = target;
}

void MemoryFileSystem::SetAttributes(const std::string& path, std::uint32_t attributes) {
  std::lock_guard lock(impl_->mutex);
  FsNode& node = impl_->Existing(path);
  node.attributes = node.folder ? (attributes | fileattr::Directory) : (attributes & ~fileattr::Directory);
}

void MemoryFileSystem::SetLastWrite(const std::string& path, const LocalDateTime& when) {
  std::lock_guard lock(impl_->mutex);
  impl_->Existing(path).lastWrite = when;
}

void MemoryFileSystem::SetSize(const std::string& path, std::uint64_t size) {
  std::lock_guard lock(impl_->mutex);
  impl_->Existing(path).size = size;
}

bool MemoryFileSystem::FolderIsWritable(const std::string& text) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.existence;
  ParsedPath path;
  FsNode* node = nullptr;
  if (impl_->Parse(text, false, path) != 0 || impl_->Resolve(path, path.levels.size(), node) != 0) return false;
  return node->folder && !node->writeProtected;
}

void MemoryFileSystem::SetUnreadable(const std::string& folder, bool unreadable) {
  std::lock_guard lock(impl_->mutex);
  impl_->Existing(folder).unreadable = unreadable;
}

void MemoryFileSystem::SetWriteProtected(const std::string& folder, bool writeProtected) {
  std::lock_guard lock(impl_->mutex);
  impl_->Existing(folder).writeProtected = writeProtected;
}

void MemoryFileSystem::SetUndeletable(const std::string& path, bool undeletable) {
  std::lock_guard lock(impl_->mutex);
  impl_->Existing(path).undeletable = undeletable;
}

void MemoryFileSystem::FailRead(std::size_t n) {
  std::lock_guard lock(impl_->mutex);
  impl_->readsUntilFailure = n;
}

void MemoryFileSystem::FailShortcutObject(bool fail) {
  std::lock_guard lock(impl_->mutex);
  impl_->failShortcutObject = fail;
}

void MemoryFileSystem::SetCurrentFolder(const std::string& path) {
  std::lock_guard lock(impl_->mutex);
  impl_->currentFolder = impl_->MustParse(path);
}

void MemoryFileSystem::SetClock(const LocalDateTime& now) {
  std::lock_guard lock(impl_->mutex);
  impl_->clock = now;
}

bool MemoryFileSystem::Exists(const std::string& text) const {
  std::lock_guard lock(impl_->mutex);
  ParsedPath path;
  FsNode* node = nullptr;
  return impl_->Parse(text, false, path) == 0 && impl_->Resolve(path, path.levels.size(), node) == 0;
}

std::optional<std::string> MemoryFileSystem::Contents(const std::string& text) const {
  std::lock_guard lock(impl_->mutex);
  ParsedPath path;
  FsNode* node = nullptr;
  if (impl_->Parse(text, false, path) != 0 || impl_->Resolve(path, path.levels.size(), node) != 0 || node->folder) {
    return std::nullopt;
  }
  return node->contents;
}

std::vector<std::string> MemoryFileSystem::RecycledPaths() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->recycled;
}

void MemoryFileSystem::SetFreeSpace(char letter, std::optional<std::size_t> bytes) {
  std::lock_guard lock(impl_->mutex);
  const auto drive = impl_->drives.find(AsciiUpperChar(letter));
  if (drive == impl_->drives.end()) throw std::invalid_argument(std::string("no drive ") + letter);
  drive->second.freeSpace = bytes;
}

void MemoryFileSystem::JournalChanges(std::vector<std::string>* journal) {
  std::lock_guard lock(impl_->mutex);
  impl_->journal = journal;
}

FileSystemCalls MemoryFileSystem::Calls() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->calls;
}

void MemoryFileSystem::ResetCalls() {
  std::lock_guard lock(impl_->mutex);
  impl_->calls = FileSystemCalls{};
}

}  // namespace tamrisk
