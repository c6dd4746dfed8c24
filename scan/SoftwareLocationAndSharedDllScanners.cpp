// Software Locations (App Paths) and Shared DLLs scanners (codes 6 and 9). Each reads one fixed key
// under HKEY_LOCAL_MACHINE, and its copy for 32-bit programs.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/RegistryAccess.h"
#include "scan/ProblemNames.h"
#include "platform/Text.h"
#include "scan/PathTests.h"
#include "scan/ProgramEntries.h"
#include "scan/Reasons.h"
#include "scan/RegistryViews.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

constexpr char kMachine[] = "HKEY_LOCAL_MACHINE";
constexpr char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

// App Paths names the subkeys after the program; names with another extension are not programs.
bool IsProgramName(const std::string& name) {
  return name.find('.') == std::string::npos || EndsWithNoCase(name, ".EXE");
}

void ScanSharedDllKey(TScanTaskThread& task, const std::string& sharedDlls) {
  RegistryAccess registry(task.Env().registry, RootKey::LocalMachine);
  registry.SetAccess(rights::Read);
  if (!registry.OpenPath(sharedDlls, false)) return;
  task.ShowCurrentKey(sharedDlls);
  for (const std::string& name : registry.ListValues()) {
    task.CheckStop();
    if (registry.ValueKind(name) != DataKind::Integer) continue;
    // The count is read only for a file that exists; a zero count is as stale as a missing file, and
    // an entry whose count is not a four-byte number is passed over.
    Phrase why;
    if (FileMissing(task.Env(), name, ReadersOf(kMachine, sharedDlls))) {
      why = reason::FileNotFound(name);
    } else {
      const std::optional<std::int32_t> count = registry.ReadNumberValue(name);
      if (!count || *count != 0) continue;
      why = reason::CountIsZero();
    }
    task.AppendProblem(ProblemId::MissingSharedDlls, rkValueInColumn, {kMachine, sharedDlls, name, true}, "",
                       std::move(why));
  }
}

}  // namespace

// One App Paths key: each program's entry is listed when the program its default value names is
// missing. The value is read as a command line, like every other category's: the entry's own name
// is not looked for in the path, as a program may be registered under any name.
void ScanAppPathsKey(TScanTaskThread& task, RootKey root, const std::string& appPaths, ProblemId problem) {
  RegistryAccess registry(task.Env().registry, root);
  registry.SetAccess(rights::Read);
  if (!registry.OpenPath(appPaths, false)) return;
  const std::vector<std::string> names = registry.ListSubkeys();
  for (const std::string& name : names) {
    task.CheckStop();
    if (!IsProgramName(name)) continue;
    const std::string path = appPaths + "\\" + name;
    registry.ClosePath();
    if (!registry.OpenPath(path, false)) continue;
    task.ShowCurrentKey(path);
    const std::optional<std::string> target = registry.ReadTextValue("");
    if (!target || target->empty()) continue;
    // Only the program is tested; the entry's other values (search paths) are not.
    if (const std::optional<MissingPath> gone =
            MissingReference(task.Env(), *target, "", task.TestedDrives, false, ReadersOf(RootName(root), path))) {
      task.AppendProblem(problem, rkKey, {RootName(root), path, "", false}, *target, reason::Gone(*gone));
    }
  }
}

void TScanTaskThread::ScanSoftwareLocations() {
  for (const std::string& appPaths : SoftwareKeyInBothViews(Env().registry, kAppPathsKey))
    ScanAppPathsKey(*this, RootKey::LocalMachine, appPaths, ProblemId::SoftwareLocationsIssue);
}

void TScanTaskThread::ScanSharedDlls() {
  for (const std::string& sharedDlls : SoftwareKeyInBothViews(Env().registry, kSharedDlls))
    ScanSharedDllKey(*this, sharedDlls);
}

}  // namespace tamrisk
