// Obsolete Software and Windows Services scanners (codes 14 and 15).
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/RegistryAccess.h"
#include "scan/ProblemNames.h"
#include "platform/Text.h"
#include "scan/ObsoleteSoftware.h"
#include "scan/PathTests.h"
#include "scan/Reasons.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

constexpr const char* kServicesPath = "SYSTEM\\CurrentControlSet\\Services";

// Subkeys of Software (the user's and the machine's) that Windows, or Wine, makes and reads itself.
// Several are empty on a new system, yet they are no program's leftovers: code 14 never offers them.
constexpr std::array<std::string_view, 14> kSystemSoftwareKeys = {
    "Classes",                       // file types and COM classes; the user's own are merged into HKEY_CLASSES_ROOT
    "Clients",                       // the mail, browser and media programs Windows offers as defaults
    "Microsoft",                     // Windows itself and its components
    "Policies",                      // group policy settings: made empty at setup, read by Windows
    "RegisteredApplications",        // programs' capabilities listed for Default Programs (Vista and later)
    "Registered Applications",       // the same list as Wine names it
    "Wow6432Node",                   // the 32-bit programs' view of Software on 64-bit Windows and in Wine
    "ODBC",                          // the ODBC driver manager's drivers and data sources
    "Intel",                         // made by the Intel components that Windows setup installs
    "AppDataLow",                    // the user's key that low-integrity programs may write (Vista and later)
    "Program Groups",                // Windows 2000 and XP: the converted Program Manager groups
    "Secure",                        // Windows 2000 and XP: made empty at setup
    "Windows 3.1 Migration Status",  // Windows 2000 and XP: marks Windows 3.1 settings as taken over
    "Wine",                          // Wine's own settings
};

bool IsSystemSoftwareKey(const std::string& name) {
  return std::any_of(kSystemSoftwareKeys.begin(), kSystemSoftwareKeys.end(),
                     [&](std::string_view owned) { return EqualsNoCase(owned, name); });
}

// Opened with the same rights the count and a later repair use.
bool KeyOpens(const Platform& env, RootKey root, const std::string& path) {
  RegistryAccess access(env.registry, root);
  return access.OpenPath(path, false);
}

}  // namespace

const std::vector<SoftwareKey>& ObsoleteSoftwareKeys() {
  static const std::vector<SoftwareKey> keys = {{RootKey::CurrentUser, "Software"},
                                                {RootKey::LocalMachine, "Software"},
                                                {RootKey::LocalMachine, "Software\\Wow6432Node"}};
  return keys;
}

bool IsObsoleteSoftwareKey(const Platform& env, RootKey root, const std::string& softwarePath,
                           const std::string& name) {
  if (IsSystemSoftwareKey(name)) return false;
  const std::string subkey = softwarePath + "\\" + name;
  // A key this program cannot open would count as empty, yet its content could not be backed up
  // before the repair deletes it: leave it alone.
  if (!KeyOpens(env, root, subkey)) return false;
  return CountKeyValues(env, root, subkey, 1, true, true) < 1;
}

void TScanTaskThread::ScanObsoleteSoftware() {
  for (const SoftwareKey& software : ObsoleteSoftwareKeys())
    ScanSoftwareSubkeys(RootName(software.root), software.path);
}

void TScanTaskThread::ScanSoftwareSubkeys(const std::string& rootName, const std::string& path) {
  const std::optional<RootKey> root = RootFromName(rootName);
  if (!root) return;
  RegistryAccess software(Env().registry, *root);
  software.SetAccess(rights::Read);  // listing only; each program key is tried with a repair's rights
  if (!software.OpenPath(path, false)) return;
  for (const std::string& name : software.ListSubkeys()) {
    const std::string subkey = path + "\\" + name;
    ShowCurrentKey(subkey);
    if (IsObsoleteSoftwareKey(Env(), *root, path, name)) {
      AppendProblem(ProblemId::ObsoleteSoftwareKey, rkSubkeyInColumn, {RootName(*root), subkey, "", false}, "",
                    reason::NoValuesBelow());
    }
  }
}

void TScanTaskThread::ScanWindowsServices() {
  RegistryAccess services(Env().registry, RootKey::LocalMachine);
  services.SetAccess(rights::Read);
  if (!services.OpenPath(kServicesPath, false)) return;
  for (const std::string& name : services.ListSubkeys()) {
    const std::string path = std::string(kServicesPath) + "\\" + name;
    services.ClosePath();
    if (!services.OpenPath(path, false)) continue;
    ShowCurrentKey(path);
    const std::optional<std::string> image = services.ReadTextValue("ImagePath");
    if (const std::optional<MissingPath> gone =
            image ? MissingReference(Env(), *image, "", TestedDrives, true, ReadersOf("HKEY_LOCAL_MACHINE", path))
                  : std::nullopt) {
      AppendValueProblem(ProblemId::WindowsServiceIssue, "HKEY_LOCAL_MACHINE", path, "ImagePath", *image,
                         reason::Gone(*gone));
    }
  }
}

}  // namespace tamrisk
