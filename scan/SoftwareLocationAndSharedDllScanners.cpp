// Software Locations (App Paths) and Shared DLLs scanners (codes 6 and 9). Each reads one fixed key
// under HKEY_LOCAL_MACHINE.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/RegistryAccess.h"
#include "platform/Text.h"
#include "scan/PathTests.h"
#include "scan/Reasons.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

constexpr char kMachine[] = "HKEY_LOCAL_MACHINE\\";
constexpr char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

// App Paths names the subkeys after the program; names with another extension are not programs.
bool IsProgramName(const std::string& name) {
  return name.find('.') == std::string::npos || EndsWithNoCase(name, ".EXE");
}

}  // namespace

void TScanTaskThread::ScanSoftwareLocations() {
  RegistryAccess registry(Env().registry, RootKey::LocalMachine);
  registry.SetAccess(rights::Read);
  if (!registry.OpenPath(kAppPaths, false)) return;
  const std::vector<std::string> names = registry.ListSubkeys();
  for (const std::string& name : names) {
    CheckStop();
    if (!IsProgramName(name)) continue;
    const std::string path = std::string(kAppPaths) + "\\" + name;
    registry.ClosePath();
    if (!registry.OpenPath(path, false)) continue;
    ShowCurrentKey(path);
    const std::optional<std::string> target = registry.ReadTextValue("");
    if (!target || target->empty()) continue;
    // Only the program the subkey is named after is tested; its other values (search paths) are not.
    if (const std::optional<MissingPath> gone = MissingReference(Env(), *target, name, TestedDrives, true)) {
      AppendProblem("Software Locations Issue", kMachine + path, *target, rkKey, reason::Gone(*gone));
    }
  }
}

void TScanTaskThread::ScanSharedDlls() {
  RegistryAccess registry(Env().registry, RootKey::LocalMachine);
  registry.SetAccess(rights::Read);
  if (!registry.OpenPath(kSharedDlls, false)) return;
  ShowCurrentKey(kSharedDlls);
  for (const std::string& name : registry.ListValues()) {
    CheckStop();
    if (registry.ValueKind(name) != DataKind::Integer) continue;
    // The count is read only for a file that exists; a zero count is as stale as a missing file, and
    // an entry whose count is not a four-byte number is passed over.
    std::string why;
    if (!Env().files.PathIsFile(name)) {
      why = reason::FileNotFound(name);
    } else {
      const std::optional<std::int32_t> count = registry.ReadNumberValue(name);
      if (!count || *count != 0) continue;
      why = reason::CountIsZero();
    }
    AppendProblem("Missing Shared Dlls", kMachine + std::string(kSharedDlls), name, rkValueInColumn, std::move(why));
  }
}

}  // namespace tamrisk
