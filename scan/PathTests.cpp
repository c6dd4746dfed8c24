#include "scan/PathTests.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/RegistryAccess.h"
#include "platform/Text.h"

namespace tamrisk {
namespace {

constexpr std::size_t kExpandBufferBytes = 1024;
constexpr std::string_view kDriveRoot = ":\\";

// Where a command line may end its program path.
constexpr bool IsSeparator(char c) {
  switch (c) {
    case ' ':
    case '*':
    case ',':
    case '/':
    case ':':
    case '<':
    case '>':
    case '?':
    case '|': return true;
    default: return false;
  }
}

bool OnTestedDrive(std::string_view path, std::string_view drives) {
  if (path.empty()) return false;
  const char letter = AsciiLowerChar(path.front());
  for (const char drive : drives) {
    if (AsciiLowerChar(drive) == letter) return true;
  }
  return false;
}

// The first ":\" of the text follows its first character, as in "C:\".
bool RootedAtDrive(std::string_view path) { return path.find(kDriveRoot) == 1; }

// Windows' Trim: spaces and control characters at both ends.
std::string_view TrimControl(std::string_view text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The expansion ExpandFolderVariable would return when it names a folder.
std::string ExpansionCandidate(const Platform& platform, const std::string& text) {
  std::optional<std::string> expanded = platform.system.ExpandEnvironment(text, kExpandBufferBytes);
  if (!expanded) return text;
  const std::string_view whole = *expanded;
  const std::string_view trimmed = TrimControl(whole.substr(0, whole.find('\0')));
  if (trimmed.size() == whole.size()) return std::move(*expanded);
  return std::string(trimmed);
}

// Class keys that 64-bit Windows keeps apart for each view; every other class key both views share.
constexpr std::string_view kClassKeysPerView[] = {"CLSID", "DirectShow", "Interface", "Media Type", "MediaFoundation"};
constexpr std::string_view kClassesKey = "Software\\Classes\\";

Readers ClassKeyReaders(std::string_view belowClasses) {
  const std::string_view first = belowClasses.substr(0, belowClasses.find('\\'));
  for (const std::string_view separate : kClassKeysPerView) {
    if (EqualsNoCase(first, separate)) return Readers::Native;
  }
  return Readers::NativeAndWow64;
}

bool HasStep(std::string_view path, std::string_view step) {
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    if (EqualsNoCase(path.substr(start, end - start), step)) return true;
    start = end + 1;
  }
  return false;
}

// The variables a 32-bit program's environment gives other folders.
constexpr std::pair<std::string_view, std::string_view> kWow64Variables[] = {
    {"%ProgramFiles%", "%ProgramFiles(x86)%"},
    {"%CommonProgramFiles%", "%CommonProgramFiles(x86)%"},
};

// The system folder as a 32-bit program sees it, in place: System32 is SysWOW64 to it, and Sysnative
// the real System32. True when path lay in either.
bool RedirectSystemFolder(const Platform& platform, std::string& path) {
  std::string windows = platform.system.WindowsFolder();
  if (windows.empty()) return false;
  if (windows.back() != '\\') windows += '\\';
  if (!StartsWithNoCase(path, windows)) return false;
  const std::string_view below = std::string_view(path).substr(windows.size());
  for (const auto& [from, to] : {std::pair<std::string_view, std::string_view>{"System32", "SysWOW64"},
                                 std::pair<std::string_view, std::string_view>{"Sysnative", "System32"}}) {
    if (!StartsWithNoCase(below, from)) continue;
    if (below.size() != from.size() && below[from.size()] != '\\') continue;
    path.replace(windows.size(), from.size(), to);
    return true;
  }
  return false;
}

// The path to look for on disk once the text has passed every test that needs no file system: the
// drive letter, the ":\" after it and, in the plain form, no second path. Anchored texts are cut
// right after the anchor. nullopt when the text is not testable.
std::optional<std::string> TestablePath(std::string_view path, const std::string& anchor, std::string_view drives) {
  if (!anchor.empty()) {
    const std::size_t at = FindNoCase(path, anchor);
    if (at == std::string_view::npos) return std::nullopt;
    // In the text's own letter case, as the reason quotes it; the anchor matched it ignoring case.
    std::string cut(path.substr(0, at + anchor.size()));
    if (!OnTestedDrive(cut, drives) || !RootedAtDrive(cut)) return std::nullopt;
    return cut;
  }
  if (!OnTestedDrive(path, drives) || !RootedAtDrive(path)) return std::nullopt;
  // A text that names a second path ("C:\a.exe C:\b.txt") is not tested.
  if (path.find(kDriveRoot, 3) != std::string_view::npos) return std::nullopt;
  return std::string(path);
}

// Whether a command line's program path exists: it may end at any separator, with or without ".exe".
bool PresentFromFolder(FileSystem& files, const std::string& path, std::size_t folderLength, bool acceptFolder) {
  std::string prefix = path.substr(0, folderLength);
  for (std::size_t i = folderLength; i < path.size(); ++i) {
    const char ch = path[i];
    if (IsSeparator(ch)) {
      if (files.PathIsFile(prefix)) return true;
      if (acceptFolder && files.PathIsFolder(prefix)) return true;
      if (files.PathIsFile(prefix + ".exe")) return true;
    }
    prefix += ch;
  }
  return files.PathIsFile(path) || (acceptFolder && files.PathIsFolder(path));
}

// The folder part is gone too: any prefix that is a file, or a program before a separator, counts.
bool PresentFromStart(FileSystem& files, const std::string& path) {
  std::string prefix;
  prefix.reserve(path.size() + 4);
  for (const char ch : path) {
    if (IsSeparator(ch) && files.PathIsFile(prefix + ".exe")) return true;
    prefix += ch;
    if (files.PathIsFile(prefix)) return true;
  }
  return false;
}

bool PlainPathMissing(FileSystem& files, const std::string& path, bool acceptFolder) {
  const std::size_t folderLength = path.rfind('\\') + 1;  // RootedAtDrive guarantees a "\"
  const bool folderExists = files.PathIsFolder(path.substr(0, folderLength));
  if (folderExists && folderLength == path.size()) return false;  // "C:\Data\" and the folder is there
  if (folderExists) return !PresentFromFolder(files, path, folderLength, acceptFolder);
  return !PresentFromStart(files, path);
}

// The path a reason names: an anchored path and a folder ("C:\Gone\") as tested; of a command line
// the part up to the first separator that ends a name with an extension ("C:\Gone\app.exe" of
// "C:\Gone\app.exe /s"), else the whole. Runs only for a text found missing.
MissingPath Named(std::string path, bool anchored, bool acceptFolder) {
  if (anchored) return {std::move(path), MissingPath::File};
  if (path.back() == '\\') return {std::move(path), MissingPath::Folder};
  std::size_t nameStart = kDriveRoot.size() + 1;  // after "C:\"
  for (std::size_t i = nameStart; i < path.size(); ++i) {
    if (path[i] == '\\') nameStart = i + 1;
    if (IsSeparator(path[i]) && path.find('.', nameStart) < i) {
      path.resize(i);
      return {std::move(path), MissingPath::File};
    }
  }
  const bool hasExtension = path.find('.', nameStart) != std::string::npos;
  return {std::move(path), acceptFolder && !hasExtension ? MissingPath::FileOrFolder : MissingPath::File};
}

std::optional<MissingPath> TestedPathMissing(const Platform& platform, std::string path, bool anchored,
                                             bool acceptFolder) {
  // An anchored path names one file; an existing folder there does not count.
  const bool missing =
      anchored ? !platform.files.PathIsFile(path) : PlainPathMissing(platform.files, path, acceptFolder);
  if (!missing) return std::nullopt;
  return Named(std::move(path), anchored, acceptFolder);
}

// The path a text with a leading variable names, once expanded; nullopt when it names none to test.
std::optional<std::string> VariablePathToTest(const Platform& platform, std::string_view text,
                                              const std::string& anchor, const std::string& drives) {
  const std::string_view afterPercent = text.substr(1);
  if (afterPercent.empty()) return std::nullopt;
  const std::size_t close = afterPercent.find('%');
  if (close == std::string_view::npos) return std::nullopt;  // no closing "%": not a path we can judge
  const std::string reference(text.substr(0, close + 2));
  const std::string candidate = ExpansionCandidate(platform, reference);
  // A reference that stays unexpanded, or expands to a text that starts with "%", is never tested.
  if (candidate.empty() || candidate.front() == '%') return std::nullopt;
  // The plain form's path begins with the expansion, so its drive letter is known already.
  if (anchor.empty() && !OnTestedDrive(candidate, drives)) return std::nullopt;
  // Judge the would-be path before asking the file system whether the variable names a folder: a
  // path that fails these tests is not missing whatever the folder test says.
  std::optional<std::string> path =
      TestablePath(candidate + std::string(afterPercent.substr(close + 1)), anchor, drives);
  if (!path || !platform.files.PathIsFolder(candidate)) return std::nullopt;
  return path;
}

// The path on disk a registry text names, quotes dropped and a leading variable expanded; nullopt
// for a text that names no path on the tested drives.
std::optional<std::string> PathToTest(const Platform& platform, std::string_view path, const std::string& anchor,
                                      const std::string& drives) {
  if (path.empty()) return std::nullopt;
  if (path.front() == '"') {
    path.remove_prefix(1);
    if (path.empty()) return std::nullopt;
    path = path.substr(0, path.find('"'));  // a quoted program followed by "%1" gives the program alone
  }
  if (!path.empty() && path.front() == '%') return VariablePathToTest(platform, path, anchor, drives);
  return TestablePath(path, anchor, drives);
}

// Pre-order search for the next key whose subkeyName holds a non-empty text valueName.
std::string SearchTree(const Platform& platform, RootKey root, const std::string& path, const std::string& subkeyName,
                       const std::string& valueName, std::string& lastFound) {
  // A value that cannot be read raises: the search, and its caller, did not finish.
  std::vector<std::string> children;
  {
    RegistryAccess registry(platform.registry, root);
    registry.SetAccess(rights::Read);
    if (!registry.OpenPath(path, false)) return {};
    children = registry.ListSubkeys();
    if (registry.OpenPath(subkeyName, false)) {
      std::optional<std::string> text = registry.ReadTextValue(valueName);
      if (text && !text->empty()) {
        if (lastFound.empty()) {
          lastFound = path;
          return std::move(*text);
        }
        if (lastFound == path) lastFound.clear();  // the previous match: the next one further on is wanted
      }
    }
  }
  for (const std::string& child : children) {
    std::string found = SearchTree(platform, root, path + "\\" + child, subkeyName, valueName, lastFound);
    if (!found.empty()) return found;
  }
  return {};
}

bool OnlyValueIsEmptyDefault(RegistryAccess& registry) {
  const std::vector<std::string> names = registry.ListValues();
  if (names.size() != 1 || !names.front().empty()) return false;
  const std::optional<std::string> text = registry.ReadTextValue("");
  return text && text->empty();
}

// A path the system cannot look at (access denied, a sharing violation, a device that does not
// answer) may well be there: it is never missing. A folder where a file should be still is.
bool CannotLookAt(const Platform& platform, const std::string& path) {
  return platform.files.KindOf(path) == PathKind::Unknown;
}

// MissingReference under the one reading the text gives as it stands.
std::optional<MissingPath> MissingAsWritten(const Platform& platform, std::string_view text, const std::string& anchor,
                                            const std::string& drives, bool acceptFolder) {
  std::optional<std::string> path = PathToTest(platform, text, anchor, drives);
  if (!path) return std::nullopt;
  return TestedPathMissing(platform, std::move(*path), !anchor.empty(), acceptFolder);
}

}  // namespace

std::string ComputeTestedDrives(FileSystem& files, bool includeRemoveMedia, bool includeCDdrive) {
  std::string drives = includeRemoveMedia ? "ab" : "";
  for (char letter = 'c'; letter <= 'z'; ++letter) {
    const unsigned type = files.DriveType(letter);
    if (type == drivetype::CdRom) {
      if (!includeCDdrive) continue;
      drives += letter;  // with removable media on as well it is added again, which does no harm
    }
    if (includeRemoveMedia || type == drivetype::Fixed) drives += letter;
  }
  return drives;
}

std::optional<MissingPath> MissingReference(const Platform& platform, const std::string& text,
                                            const std::string& anchor, const std::string& drives, bool acceptFolder,
                                            Readers readers) {
  std::optional<MissingPath> gone = MissingAsWritten(platform, text, anchor, drives, acceptFolder);
  if (!gone) return std::nullopt;
  if (readers == Readers::NativeAndWow64) {
    const std::optional<std::string> wow64 = Wow64Reading(platform, text);
    if (wow64 && !MissingAsWritten(platform, *wow64, anchor, drives, acceptFolder)) return std::nullopt;
  }
  if (CannotLookAt(platform, gone->path)) return std::nullopt;
  return gone;
}

Reference JudgeReference(const Platform& platform, const std::string& text, const std::string& drives,
                         bool acceptFolder, Readers readers) {
  if (MissingReference(platform, text, "", drives, acceptFolder, readers)) return Reference::Missing;
  return NamesTestedPath(platform, text, drives) ? Reference::Present : Reference::NotAPath;
}

bool NamesTestedPath(const Platform& platform, const std::string& text, const std::string& drives) {
  return PathToTest(platform, text, "", drives).has_value();
}

bool ReferenceMissing(const Platform& platform, const std::string& text, const std::string& anchor,
                      const std::string& drives, bool acceptFolder, Readers readers) {
  return MissingReference(platform, text, anchor, drives, acceptFolder, readers).has_value();
}

Readers ReadersOf(std::string_view rootName, std::string_view path) {
  if (HasStep(path, "Wow6432Node")) return Readers::NativeAndWow64;
  if (EqualsNoCase(rootName, "HKEY_CLASSES_ROOT")) return ClassKeyReaders(path);
  if (StartsWithNoCase(path, kClassesKey)) return ClassKeyReaders(path.substr(kClassesKey.size()));
  if (EqualsNoCase(rootName, "HKEY_USERS")) {
    const std::size_t slash = path.find('\\');
    const std::string_view hive = path.substr(0, slash);
    if (EndsWithNoCase(hive, "_Classes")) {
      return ClassKeyReaders(slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1));
    }
    const std::string_view below = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    if (StartsWithNoCase(below, kClassesKey)) return ClassKeyReaders(below.substr(kClassesKey.size()));
    return Readers::NativeAndWow64;
  }
  // The 64-bit view of the machine's software, and the system's own hives, which 64-bit Windows reads.
  if (EqualsNoCase(rootName, "HKEY_LOCAL_MACHINE")) return Readers::Native;
  return Readers::NativeAndWow64;
}

std::optional<std::string> Wow64Reading(const Platform& platform, std::string_view text) {
  const bool quoted = !text.empty() && text.front() == '"';
  const std::string_view body = quoted ? text.substr(1) : text;
  bool changed = false;
  std::string path;
  if (!body.empty() && body.front() == '%') {
    const std::size_t close = body.find('%', 1);
    if (close == std::string_view::npos) return std::nullopt;
    std::string variable(body.substr(0, close + 1));
    for (const auto& [native, wow64] : kWow64Variables) {
      if (!EqualsNoCase(variable, native)) continue;
      variable = wow64;
      changed = true;
    }
    path = ExpansionCandidate(platform, variable);
    if (path.empty() || path.front() == '%') return std::nullopt;
    path.append(body.substr(close + 1));
  } else {
    path.assign(body);
  }
  if (!RedirectSystemFolder(platform, path) && !changed) return std::nullopt;
  return quoted ? "\"" + path : path;
}

bool FileMissing(const Platform& platform, const std::string& path, Readers readers) {
  if (platform.files.PathIsFile(path)) return false;
  if (readers == Readers::NativeAndWow64) {
    const std::optional<std::string> wow64 = Wow64Reading(platform, path);
    if (wow64 && platform.files.PathIsFile(*wow64)) return false;
  }
  return !CannotLookAt(platform, path);
}

std::optional<MissingPath> MissingWholePath(const Platform& platform, const std::string& path,
                                            const std::string& drives, Readers readers) {
  std::string whole = path;
  if (!whole.empty() && whole.front() == '%') {
    std::optional<std::string> expanded = platform.system.ExpandEnvironment(whole, kExpandBufferBytes);
    if (!expanded) return std::nullopt;
    whole = expanded->substr(0, expanded->find('\0'));
  }
  if (!OnTestedDrive(whole, drives) || !RootedAtDrive(whole)) return std::nullopt;
  // Characters no file name holds: an unexpanded variable, a command line, a second drive.
  if (whole.find_first_of("%\"<>|*?", 2) != std::string::npos || whole.find(':', 2) != std::string::npos) {
    return std::nullopt;
  }
  if (platform.files.PathIsFile(whole) || platform.files.PathIsFolder(whole)) return std::nullopt;
  if (readers == Readers::NativeAndWow64) {
    const std::optional<std::string> wow64 = Wow64Reading(platform, path);
    if (wow64 && (platform.files.PathIsFile(*wow64) || platform.files.PathIsFolder(*wow64))) return std::nullopt;
  }
  if (CannotLookAt(platform, whole)) return std::nullopt;
  return MissingPath{std::move(whole), MissingPath::File};
}

bool InWindowsFolder(const Platform& platform, const std::string& path) {
  std::string windows = platform.system.WindowsFolder();
  if (windows.empty()) return false;
  if (windows.back() != '\\') windows += '\\';
  return StartsWithNoCase(path, windows);
}

std::string ExpandFolderVariable(const Platform& platform, const std::string& text) {
  std::string candidate = ExpansionCandidate(platform, text);
  if (platform.files.PathIsFolder(candidate)) return candidate;
  return text;
}

long CountKeyValues(const Platform& platform, RootKey root, const std::string& path, long limit, bool stopOnSubkeys,
                    bool countEmptyDefault) {
  long count = 0;
  std::vector<std::string> subkeys;
  {
    // Read rights suffice for counting; a key that only grants reading is not empty.
    RegistryAccess registry(platform.registry, root);
    registry.SetAccess(rights::Read);
    if (!registry.OpenPath(path, false)) return 0;
    const KeyInfo info = registry.QueryKeyInfo();
    count = static_cast<long>(info.valueCount);
    if (!countEmptyDefault && count == 1 && OnlyValueIsEmptyDefault(registry)) count = 0;
    if (limit != 0 && count >= limit) return count;
    const long subkeyCount = static_cast<long>(info.subkeyCount);
    if (stopOnSubkeys && limit != 0 && subkeyCount > limit) return subkeyCount;
    subkeys = registry.ListSubkeys();
  }
  for (const std::string& subkey : subkeys) {
    count += CountKeyValues(platform, root, path + "\\" + subkey, limit, stopOnSubkeys, countEmptyDefault);
    if (limit != 0 && count >= limit) return count;
  }
  return count;
}

std::string FindNextValueInTree(const Platform& platform, RootKey root, const std::string& path,
                                const std::string& subkeyName, const std::string& valueName, std::string& lastFound) {
  std::string found = SearchTree(platform, root, path, subkeyName, valueName, lastFound);
  // The iteration is over: leave the cursor empty even when its key vanished since the last call, so
  // that the next iteration starts from the first match.
  if (found.empty()) lastFound.clear();
  return found;
}

}  // namespace tamrisk
