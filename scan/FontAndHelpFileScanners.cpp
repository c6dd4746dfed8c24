// Windows Fonts and Invalid Help Files scanners (codes 7 and 8). Each reads fixed keys under
// HKEY_LOCAL_MACHINE; the help keys in both registry views (the Fonts key is one for both).
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/RegistryAccess.h"
#include "scan/ProblemNames.h"
#include "platform/Text.h"
#include "scan/Reasons.h"
#include "scan/RegistryViews.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

constexpr char kMachine[] = "HKEY_LOCAL_MACHINE";
constexpr char kFonts9x[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";
constexpr char kFontsNt[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr const char* kHelpKeys[] = {"Software\\Microsoft\\Windows\\Help", "Software\\Microsoft\\Windows\\Html Help"};

// Windows 95, 98 and Me keep their fonts outside the "Windows NT" branch.
bool IsWindows9xFamily(int versionCode) {
  return versionCode == 1 || versionCode == 2 || versionCode == 3 || versionCode == 4 || versionCode == 8;
}

// Upper-cased names of the files (not folders) in the folder, hidden and system ones included.
void AddFileNames(FileSystem& files, const std::string& folder, std::unordered_set<std::string>& names) {
  // Without a known folder a mask of "\*" would list the current drive's root instead.
  if (folder.empty()) return;
  const std::string prefix = folder.back() == '\\' ? folder : folder + "\\";
  for (const FileEntry& entry : files.ListFolder(prefix + "*")) {
    if ((entry.attributes & fileattr::Directory) == 0) names.insert(AsciiUpper(entry.name));
  }
}

// Wine keeps the fonts it ships in a folder of its own, which its processes see as "\??\Z:\..." in
// WINEDATADIR, and registers them by bare name; "" outside Wine.
std::string WineFontsFolder(SystemInfo& system) {
  constexpr std::string_view kNtPrefix = "\\??\\";
  const std::optional<std::string> data = system.ExpandEnvironment("%WINEDATADIR%", 1024);
  if (!data || data->empty() || data->front() == '%') return {};
  std::string_view folder(data->c_str());
  if (folder.substr(0, kNtPrefix.size()) == kNtPrefix) folder.remove_prefix(kNtPrefix.size());
  return std::string(folder) + "\\fonts";
}

// The bare file names a font value may hold: the files of the Fonts folder, and of Wine's own fonts
// folder under Wine. nullopt when the Fonts folder is unknown or lists no file: every Windows keeps
// its fonts there, so an empty listing means it could not be read, and judging by it would call
// every font missing.
std::optional<std::unordered_set<std::string>> InstalledFontFiles(const Platform& env) {
  std::unordered_set<std::string> names;
  AddFileNames(env.files, env.system.SpecialFolder(csidl::Fonts), names);
  if (names.empty()) return std::nullopt;
  AddFileNames(env.files, WineFontsFolder(env.system), names);
  return names;
}

// A drive letter and ":\", or a UNC path ("\\server\share\...").
bool IsFullPath(const std::string& text) {
  const bool drive = text.size() >= 3 && AsciiUpperChar(text[0]) >= 'A' && AsciiUpperChar(text[0]) <= 'Z' &&
                     text[1] == ':' && text[2] == '\\';
  return drive || (text.size() > 2 && text[0] == '\\' && text[1] == '\\');
}

// Why the font's file is missing; nothing when it is there. A full path names the file itself (per-user
// fonts on Windows 10, fonts Wine finds on the host); a bare name is a file of the Fonts folder.
std::optional<Phrase> MissingFontReason(const Platform& platform, const std::unordered_set<std::string>& installed,
                                        const std::string& file) {
  if (IsFullPath(file)) {
    if (!FileMissing(platform, file, Readers::Native)) return std::nullopt;
    return reason::FileNotFound(file);
  }
  if (installed.count(AsciiUpper(file)) != 0) return std::nullopt;
  return reason::FontNotInFontsFolder(file);
}

}  // namespace

void TScanTaskThread::ScanWindowsFonts() {
  const std::string key = IsWindows9xFamily(WindowsVersionCode(Env())) ? kFonts9x : kFontsNt;
  const std::optional<std::unordered_set<std::string>> installed = InstalledFontFiles(Env());
  if (!installed) return;

  RegistryAccess registry(Env().registry, RootKey::LocalMachine);
  registry.SetAccess(rights::Read);
  if (!registry.OpenPath(key, false)) return;
  ShowCurrentKey(key);
  for (const std::string& name : registry.ListValues()) {
    CheckStop();
    const std::optional<std::string> file = registry.ReadTextValue(name);
    if (!file) continue;
    if (std::optional<Phrase> why = MissingFontReason(Env(), *installed, *file)) {
      AppendValueProblem(ProblemId::FontsIssue, kMachine, key, name, *file, std::move(*why));
    }
  }
}

void TScanTaskThread::ScanHelpFiles() {
  std::vector<std::string> keys;
  for (const char* key : kHelpKeys) {
    for (std::string& path : SoftwareKeyInBothViews(Env().registry, key)) keys.push_back(std::move(path));
  }
  for (const std::string& key : keys) {
    RegistryAccess registry(Env().registry, RootKey::LocalMachine);
    registry.SetAccess(rights::Read);
    if (!registry.OpenPath(key, false)) continue;
    ShowCurrentKey(key);
    for (const std::string& name : registry.ListValues()) {
      CheckStop();
      std::optional<std::string> folder = registry.ReadTextValue(name);
      if (!folder) continue;
      if (!folder->empty() && folder->back() != '\\') *folder += '\\';
      const std::string file = *folder + name;
      if (FileMissing(Env(), file, ReadersOf(kMachine, key))) {
        AppendValueProblem(ProblemId::InvalidHelpFiles, kMachine, key, name, file, reason::FileNotFound(file));
      }
    }
  }
}

}  // namespace tamrisk
