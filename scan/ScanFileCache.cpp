#include "scan/ScanFileCache.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Text.h"

namespace tamrisk {
namespace {

// Past this many bytes a path may reach MAX_PATH in the system's units.
constexpr std::size_t kLongPath = 240;
// Paths without a drive root ("C", "C:", "C.exe": prefixes the path test tries) count from the
// current folder, which holds still during a scan; their answers are remembered as they are.
constexpr std::size_t kShortRelative = 5;
constexpr std::size_t kRelativeAnswers = 64;
// Names asked one by one in a folder that gives no listing, at most.
constexpr std::size_t kAskedPerFolder = 4096;

enum class Question { IsFile, IsFolder };

constexpr bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Characters Win32 reads in a way a listing does not show: wildcards (the DOS ones too), "/" for
// "\", ":" before a stream name, and characters no name may hold.
bool SpecialChar(char c) {
  switch (c) {
    case '*':
    case '?':
    case '<':
    case '>':
    case '"':
    case '/':
    case ':':
    case '|': return true;
    default: return static_cast<unsigned char>(c) < 0x20;
  }
}

// A name whose case the system folds exactly as this cache does (ASCII letters only), and that no
// 8.3 short name of another entry can match.
bool FoldsAsListed(std::string_view name) {
  return std::none_of(name.begin(), name.end(),
                      [](char c) { return static_cast<unsigned char>(c) >= 0x80 || c == '~'; });
}

// "CON", "NUL", "COM1" and the like name a device in any folder and with any extension.
bool DeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"}) {
    if (EqualsNoCase(stem, device)) return true;
  }
  if (stem.size() < 4 || stem.size() > 5) return false;
  if (!StartsWithNoCase(stem, "COM") && !StartsWithNoCase(stem, "LPT")) return false;
  const char digit = stem[3];  // a digit, or the first byte of a superscript one
  return (stem.size() == 4 && digit >= '0' && digit <= '9') || static_cast<unsigned char>(digit) >= 0x80;
}

// NTFS keeps its own files ("$MFT", "$Extend") in a drive's root, unlisted but found by name.
bool MayBeHiddenInRoot(std::string_view name) { return !name.empty() && name.front() == '$'; }

// A folder name Win32 takes as it is: no special character, and no final "." or " " (Win32 drops a
// folder name's final dot, which covers "." and ".." too).
bool PlainFolderName(std::string_view name) {
  return !name.empty() && name.back() != '.' && name.back() != ' ' &&
         std::none_of(name.begin(), name.end(), SpecialChar);
}

std::string_view DropTrailingDotsAndSpaces(std::string_view name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
  return name;
}

// Whether the names of rest ("\" or "/" between them) may lead out of the folder before them, as
// ".." does, or name a device, which is there whatever the folder.
bool MayLeaveTheFolder(std::string_view rest) {
  std::string_view last;
  for (std::size_t start = 0; start <= rest.size();) {
    std::size_t end = rest.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = rest.size();
    last = rest.substr(start, end - start);
    if (last.find('.') != std::string_view::npos && DropTrailingDotsAndSpaces(last).empty()) return true;
    start = end + 1;
  }
  return DeviceName(last.substr(0, last.find(':')));
}

// A path below a drive root: "X:\" and the plain folder names that follow it, each followed by "\",
// then the rest. The cache can judge the rest from a listing when it is one plain name (Win32 drops its
// trailing dots and spaces, which may not leave it empty) or nothing at all, when the question is
// about the folder. Otherwise it can only tell that the path names nothing because the folder is not
// there, so paths that may lead out of the folder are not taken at all.
struct ParsedPath {
  std::string_view folder;
  std::string_view name;  // the last name, trailing dots and spaces dropped
  bool plain;             // false: only a missing folder can answer
};

std::optional<ParsedPath> ParsePath(std::string_view path) {
  if (path.size() < 3 || !IsAsciiLetter(path[0]) || path[1] != ':' || path[2] != '\\') return std::nullopt;
  std::size_t start = 3;
  for (std::size_t end = path.find('\\', start); end != std::string_view::npos; end = path.find('\\', start)) {
    if (!PlainFolderName(path.substr(start, end - start))) break;
    start = end + 1;
  }
  const std::string_view rest = path.substr(start);
  const std::string_view name = DropTrailingDotsAndSpaces(rest);
  const bool plainName = rest.find('\\') == std::string_view::npos &&
                         std::none_of(rest.begin(), rest.end(), SpecialChar) && (rest.empty() || !name.empty());
  if (plainName && !DeviceName(name)) return ParsedPath{path.substr(0, start), name, true};
  if (MayLeaveTheFolder(rest)) return std::nullopt;
  return ParsedPath{path.substr(0, start), rest, false};
}

}  // namespace

struct ScanFileCache::Impl {
  // What is at a path: a folder, nothing (and so nothing below it either), a file, or what only the
  // system can judge.
  enum class State : std::uint8_t { Present, Missing, File, Unsure };

  struct Entry {
    std::uint32_t offset;  // of the name in Folder::names
    std::uint16_t length;
    bool folder;
    std::uint32_t child = 0;  // 1 + its index in Folder::subfolders, once a path went through it
  };

  struct Folder;
  // What the system said of a name the listing could not judge.
  struct Asked {
    State state;
    std::unique_ptr<Folder> folder;  // made when a path goes through it
  };

  struct Folder {
    bool listingTried = false;
    bool listed = false;     // entries hold every name in the folder
    bool exactOnly = false;  // names beyond ASCII, or equal but for case: only a name as listed is sure
    std::string names;
    std::vector<Entry> entries;  // by name, case folded
    std::vector<std::unique_ptr<Folder>> subfolders;
    std::unordered_map<std::string, Asked> asked;  // by name as asked

    std::string_view NameOf(const Entry& entry) const {
      return std::string_view(names).substr(entry.offset, entry.length);
    }
  };

  struct Where {
    State state;
    Folder* folder;  // the folder when Present
  };

  // What a listing says of a name: its entry, or (sure, no entry) that nothing of that name is there.
  struct Lookup {
    Entry* entry = nullptr;
    bool sure = false;
  };

  explicit Impl(FileSystem& f) : files(f) {}

  FileSystem& files;
  std::mutex mutex;
  std::array<std::unique_ptr<Asked>, 26> roots;
  std::string lastFolderText;  // the folder part of the previous question, and where it led
  Where lastWhere{State::Unsure, nullptr};
  std::vector<std::pair<std::string, bool>> relativeAnswers[2];

  static State StateOf(PathKind kind) {
    switch (kind) {
      case PathKind::Folder: return State::Present;
      case PathKind::Nothing: return State::Missing;
      case PathKind::File: return State::File;
      default: return State::Unsure;
    }
  }

  bool Ask(Question question, const std::string& path) {
    return question == Question::IsFile ? files.PathIsFile(path) : files.PathIsFolder(path);
  }

  void Clear() {
    for (auto& root : roots) root.reset();
    lastFolderText.clear();
    lastWhere = {State::Unsure, nullptr};
    for (auto& answers : relativeAnswers) answers.clear();
  }

  bool AnswerRelative(Question question, const std::string& path) {
    auto& answers = relativeAnswers[static_cast<int>(question)];
    for (const auto& [text, answer] : answers) {
      if (text == path) return answer;
    }
    const bool answer = Ask(question, path);
    if (answers.size() < kRelativeAnswers) answers.emplace_back(path, answer);
    return answer;
  }

  void List(Folder& folder, std::string_view folderText) {
    if (folder.listingTried) return;
    folder.listingTried = true;
    std::string mask(folderText);
    mask += '*';
    std::vector<FileEntry> found = files.ListFolder(mask);
    // An empty listing may as well be a folder that refuses to be listed: its names are asked one by one.
    if (found.empty()) return;
    std::size_t bytes = 0;
    for (const FileEntry& entry : found) bytes += entry.name.size();
    folder.names.reserve(bytes);
    folder.entries.reserve(found.size());
    for (const FileEntry& entry : found) {
      folder.entries.push_back({static_cast<std::uint32_t>(folder.names.size()),
                                static_cast<std::uint16_t>(entry.name.size()),
                                (entry.attributes & fileattr::Directory) != 0});
      folder.names += entry.name;
      if (!FoldsAsListed(entry.name)) folder.exactOnly = true;
    }
    std::sort(folder.entries.begin(), folder.entries.end(),
              [&](const Entry& a, const Entry& b) { return CompareNoCase(folder.NameOf(a), folder.NameOf(b)) < 0; });
    for (std::size_t i = 1; i < folder.entries.size(); ++i) {
      if (CompareNoCase(folder.NameOf(folder.entries[i - 1]), folder.NameOf(folder.entries[i])) == 0) {
        folder.exactOnly = true;  // two names equal but for case, as a case-sensitive Unix folder may hold
      }
    }
    folder.listed = true;
  }

  static Lookup Find(Folder& folder, std::string_view name, bool atRoot) {
    auto it =
        std::lower_bound(folder.entries.begin(), folder.entries.end(), name,
                         [&](const Entry& e, std::string_view n) { return CompareNoCase(folder.NameOf(e), n) < 0; });
    const auto first = it;
    for (; it != folder.entries.end() && CompareNoCase(folder.NameOf(*it), name) == 0; ++it) {
      if (folder.NameOf(*it) == name) return {&*it, true};
    }
    if (folder.exactOnly || !FoldsAsListed(name)) return {};
    if (first != it) return {&*first, true};
    if (atRoot && MayBeHiddenInRoot(name)) return {};
    return {nullptr, true};
  }

  static Where WhereOf(Asked& asked) {
    if (asked.state == State::Present && !asked.folder) asked.folder = std::make_unique<Folder>();
    return {asked.state, asked.folder.get()};
  }

  Where Root(std::string_view rootText) {
    std::unique_ptr<Asked>& root = roots[static_cast<std::size_t>(AsciiUpperChar(rootText[0]) - 'A')];
    if (!root) root = std::make_unique<Asked>(Asked{StateOf(files.KindOf(std::string(rootText))), nullptr});
    return WhereOf(*root);
  }

  // What the system says of name in folder (whose path is folderText, ending with "\"), asked once;
  // null past kAskedPerFolder names.
  Asked* AskOnce(Folder& folder, std::string_view folderText, std::string_view name) {
    const std::string key(name);
    if (const auto found = folder.asked.find(key); found != folder.asked.end()) return &found->second;
    if (folder.asked.size() >= kAskedPerFolder) return nullptr;
    const State state = StateOf(files.KindOf(std::string(folderText) + key));
    return &folder.asked.emplace(key, Asked{state, nullptr}).first->second;
  }

  // Where the folder name below parent (whose path is parentText) leads.
  Where Child(Folder& parent, std::string_view parentText, std::string_view name) {
    List(parent, parentText);
    if (parent.listed) {
      const Lookup lookup = Find(parent, name, parentText.size() == 3);
      if (lookup.entry != nullptr) {
        Entry& entry = *lookup.entry;
        if (!entry.folder) return {State::File, nullptr};
        if (entry.child == 0) {
          parent.subfolders.push_back(std::make_unique<Folder>());
          entry.child = static_cast<std::uint32_t>(parent.subfolders.size());
        }
        return {State::Present, parent.subfolders[entry.child - 1].get()};
      }
      if (lookup.sure) return {State::Missing, nullptr};
    }
    Asked* asked = AskOnce(parent, parentText, name);
    return asked != nullptr ? WhereOf(*asked) : Where{State::Unsure, nullptr};
  }

  // Where folderText ("X:\" and folder names, each followed by "\") leads. The path test asks about
  // one folder many times in a row and then about one below it, so the last answer is the start.
  Where Resolve(std::string_view folderText) {
    std::size_t done = 0;
    Where where{State::Unsure, nullptr};
    if (!lastFolderText.empty() && folderText.substr(0, lastFolderText.size()) == lastFolderText) {
      where = lastWhere;
      done = lastFolderText.size();
      if (done == folderText.size() || where.state != State::Present) return where;
    } else {
      where = Root(folderText.substr(0, 3));
      done = 3;
    }
    while (where.state == State::Present && done < folderText.size()) {
      const std::size_t end = folderText.find('\\', done);
      where = Child(*where.folder, folderText.substr(0, done), folderText.substr(done, end - done));
      done = end + 1;
    }
    lastFolderText.assign(folderText);
    lastWhere = where;
    return where;
  }

  // The answer for a name in an existing folder.
  bool AnswerIn(Folder& folder, const ParsedPath& plain, Question question, const std::string& path) {
    const bool wantFolder = question == Question::IsFolder;
    // A long path may pass MAX_PATH in the system's own units, which makes the system say "no" to a
    // name that is there; only a "no" is sure then.
    const bool sureOfPresence = path.size() < kLongPath;
    if (plain.name.empty()) return sureOfPresence ? wantFolder : Ask(question, path);
    List(folder, plain.folder);
    if (folder.listed) {
      const Lookup lookup = Find(folder, plain.name, plain.folder.size() == 3);
      if (lookup.entry != nullptr) return sureOfPresence ? lookup.entry->folder == wantFolder : Ask(question, path);
      if (lookup.sure) return false;
    }
    const Asked* asked = sureOfPresence ? AskOnce(folder, plain.folder, plain.name) : nullptr;
    switch (asked != nullptr ? asked->state : State::Unsure) {
      case State::Present: return wantFolder;
      case State::Missing: return false;
      case State::File: return !wantFolder;
      default: return Ask(question, path);
    }
  }

  // What is at path, as KindOf says: from the cache where a folder on the way is missing or a listing
  // answers for the name, else from the system.
  PathKind Kind(const std::string& path) {
    const std::optional<ParsedPath> parsed = ParsePath(path);
    if (!parsed) return files.KindOf(path);
    const Where where = Resolve(parsed->folder);
    if (where.state == State::Missing) return PathKind::Nothing;
    if (where.state != State::Present || !parsed->plain || parsed->name.empty() || path.size() >= kLongPath) {
      return files.KindOf(path);
    }
    Folder& folder = *where.folder;
    List(folder, parsed->folder);
    if (folder.listed) {
      const Lookup lookup = Find(folder, parsed->name, parsed->folder.size() == 3);
      if (lookup.entry != nullptr) return lookup.entry->folder ? PathKind::Folder : PathKind::File;
      if (lookup.sure) return PathKind::Nothing;
    }
    const Asked* asked = AskOnce(folder, parsed->folder, parsed->name);
    switch (asked != nullptr ? asked->state : State::Unsure) {
      case State::Present: return PathKind::Folder;
      case State::Missing: return PathKind::Nothing;
      case State::File: return PathKind::File;
      default: return files.KindOf(path);
    }
  }

  bool Answer(Question question, const std::string& path) {
    const std::optional<ParsedPath> parsed = ParsePath(path);
    if (!parsed) {
      const bool relative = path.size() <= kShortRelative && path.find_first_of("\\/") == std::string::npos;
      return relative ? AnswerRelative(question, path) : Ask(question, path);
    }
    const Where where = Resolve(parsed->folder);
    if (where.state == State::Missing) return false;
    if (where.state != State::Present || !parsed->plain) return Ask(question, path);
    return AnswerIn(*where.folder, *parsed, question, path);
  }
};

Platform WithFiles(const Platform& platform, FileSystem& files) {
  return Platform{platform.registry, files, platform.system, platform.ini, platform.shell};
}

ScanFileCache::ScanFileCache(FileSystem& files) : ForwardingFileSystem(files), impl_(std::make_unique<Impl>(files)) {}
ScanFileCache::~ScanFileCache() = default;

bool ScanFileCache::PathIsFile(const std::string& path) {
  std::lock_guard lock(impl_->mutex);
  return impl_->Answer(Question::IsFile, path);
}

bool ScanFileCache::PathIsFolder(const std::string& path) {
  std::lock_guard lock(impl_->mutex);
  return impl_->Answer(Question::IsFolder, path);
}

PathKind ScanFileCache::KindOf(const std::string& path) {
  std::lock_guard lock(impl_->mutex);
  return impl_->Kind(path);
}

void ScanFileCache::Clear() {
  std::lock_guard lock(impl_->mutex);
  impl_->Clear();
}

// What changes files makes the cache forget.
bool ScanFileCache::MakeFolder(const std::string& path) {
  Clear();
  return ForwardingFileSystem::MakeFolder(path);
}

bool ScanFileCache::ShellDelete(const std::string& path, bool toRecycleBin) {
  Clear();
  return ForwardingFileSystem::ShellDelete(path, toRecycleBin);
}

bool ScanFileCache::WriteFile(const std::string& path, std::string_view contents, std::string* error) {
  Clear();
  return ForwardingFileSystem::WriteFile(path, contents, error);
}

bool ScanFileCache::AppendFile(const std::string& path, std::string_view contents, std::string* error) {
  Clear();
  return ForwardingFileSystem::AppendFile(path, contents, error);
}

std::unique_ptr<AppendStream> ScanFileCache::OpenForAppend(const std::string& path, std::string* error) {
  Clear();
  return ForwardingFileSystem::OpenForAppend(path, error);
}

}  // namespace tamrisk
