// Sound and Appevents and MRU and History Lists scanners (codes 18 and 20).
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryAccess.h"
#include "scan/ProblemNames.h"
#include "platform/Text.h"
#include "scan/PathTests.h"
#include "scan/Reasons.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

constexpr const char* kMruPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";
constexpr ProblemId kMruProblem = ProblemId::MissingMruFile;

// The scheme keys that name a sound file.
bool IsSchemeName(const std::string& name) {
  const std::string lower = AsciiLower(name);
  return lower == ".current" || lower == ".default" || lower == "utopia0";
}

// A history entry is tested only when it starts with a tested drive and its root ("C:\").
bool IsTestedDrivePath(const std::string& text, const std::string& drives) {
  return text.find(":\\") == 1 && AsciiUpper(drives).find(AsciiUpperChar(text.front())) != std::string::npos;
}

// The history stores file names without their extension; the extension subkeys say which to try.
bool FoundWithAnyExtension(FileSystem& files, const std::string& text, const std::vector<std::string>& extensions) {
  return std::any_of(extensions.begin(), extensions.end(), [&](const std::string& extension) {
    return extension != "*" && files.PathIsFile(text + "." + extension);
  });
}

}  // namespace

void TScanTaskThread::ScanSoundEvents() { ScanSoundKey("HKEY_Current_User", "AppEvents\\Schemes\\Apps", ""); }

void TScanTaskThread::ScanSoundKey(const std::string& rootName, const std::string& path, const std::string& name) {
  const std::optional<RootKey> root = RootFromName(rootName);
  if (!root) return;
  CheckStop();
  RegistryAccess access(Env().registry, *root);
  access.SetAccess(rights::Read);
  const std::string keyPath = path + name;
  if (!access.OpenPath(keyPath, false)) return;
  const std::optional<std::string> sound = IsSchemeName(name) ? access.ReadTextValue("") : std::nullopt;
  if (sound) {
    ShowCurrentKey(keyPath);
    if (const std::optional<MissingPath> gone =
            MissingReference(Env(), *sound, "", TestedDrives, false, ReadersOf(rootName, keyPath))) {
      AppendProblem(ProblemId::MissingSoundFile, rkDefaultValue, {RootName(*root), keyPath, "", true}, *sound,
                    reason::Gone(*gone));
    }
  }
  for (const std::string& subkey : access.ListSubkeys()) ScanSoundKey(rootName, keyPath + "\\", subkey);
}

void TScanTaskThread::ScanMruLists() {
  std::vector<std::string> extensions;
  {
    RegistryAccess history(Env().registry, RootKey::CurrentUser);
    if (!history.OpenPath(kMruPath, false)) return;
    ShowCurrentKey(kMruPath);
    extensions = history.ListSubkeys();
    for (const std::string& name : history.ListValues()) {
      const std::optional<std::string> text = history.ReadTextValue(name);
      if (!text || !IsTestedDrivePath(*text, TestedDrives)) continue;
      if (FoundWithAnyExtension(Env().files, *text, extensions)) continue;
      if (Env().files.KindOf(*text) == PathKind::Unknown) continue;  // cannot be looked at: not gone
      AppendValueProblem(kMruProblem, "HKEY_CURRENT_USER", kMruPath, name, *text,
                         reason::FileNotFoundWithAnyExtension(*text));
    }
  }
  for (const std::string& extension : extensions) {
    WalkRegistryTree("HKEY_CURRENT_USER", std::string(kMruPath) + "\\" + extension, TestedDrives, "", kMruProblem);
  }
}

}  // namespace tamrisk
