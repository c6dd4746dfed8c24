// Startup Programs and Add/Remove Programs scanners (codes 10 and 11). The machine's keys are read in
// both registry views: 32-bit programs write theirs under Software\Wow6432Node.
#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

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

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kStartupReg[] = "Software\\Microsoft\\Shared Tools\\MSConfig\\startupreg";
constexpr ProblemId kStartupProblem = ProblemId::MissingStartupPrograms;

// A plain (unanchored) test: does the text name a program or file that is gone?
std::optional<MissingPath> MissingCommand(const TScanTaskThread& task, const std::string& text, Readers readers) {
  return MissingReference(task.Env(), text, "", task.TestedDrives, false, readers);
}

// MSConfig's list of disabled startup entries. A failure here ends the category like any other, so
// it is marked incomplete; the rows found before it stay.
void ScanMsConfigStartup(TScanTaskThread& task, const std::string& startupReg) {
  RegistryAccess registry(task.Env().registry, RootKey::LocalMachine);
  registry.SetAccess(rights::Read);
  if (!registry.OpenPath(startupReg, false)) return;
  task.ShowCurrentKey(startupReg);
  for (const std::string& name : registry.ListSubkeys()) {
    task.CheckStop();
    if (!registry.OpenPath(name, false)) continue;
    const std::optional<std::string> command = registry.ReadTextValue("command");
    const Readers readers = ReadersOf("HKEY_LOCAL_MACHINE", startupReg);
    if (const std::optional<MissingPath> gone = command ? MissingCommand(task, *command, readers) : std::nullopt) {
      task.AppendProblem(kStartupProblem, rkKey, {"HKEY_LOCAL_MACHINE", startupReg + "\\" + name, "", false}, *command,
                         reason::Gone(*gone));
    }
    // Back to startupreg for the next name; if it has gone, relative opens would start at the root.
    registry.ClosePath();
    if (!registry.OpenPath(startupReg, false)) return;
  }
}

// Where an uninstall entry points at its uninstaller.
constexpr std::string_view kUninstallerValues[] = {"UninstallString", "QuietUninstallString"};

bool IsUninstallerValue(std::string_view name) {
  return std::any_of(std::begin(kUninstallerValues), std::end(kUninstallerValues),
                     [&](std::string_view uninstaller) { return EqualsNoCase(name, uninstaller); });
}

// What the repair may do with one uninstall entry.
enum class UninstallVerdict {
  Intact,  // its uninstaller is there: never touched, whatever else it names
  Ghost,   // its uninstaller is gone and nothing it names is there: it goes whole
  Values,  // neither: its values are judged one by one
};

// The verdict on the open entry, and the text and reason of its missing uninstaller for a ghost.
struct UninstallJudgement {
  UninstallVerdict verdict = UninstallVerdict::Values;
  std::string uninstaller;
  Phrase reason;
};

UninstallJudgement JudgeUninstallEntry(TScanTaskThread& task, RegistryAccess& entry, Readers readers) {
  UninstallJudgement judgement;
  std::optional<MissingPath> gone;
  for (const std::string_view name : kUninstallerValues) {
    const std::optional<std::string> text = entry.ReadTextValue(std::string(name));
    if (!text) continue;
    std::optional<MissingPath> missing = MissingReference(task.Env(), *text, "", task.TestedDrives, false, readers);
    if (!missing && NamesTestedPath(task.Env(), *text, task.TestedDrives)) return {UninstallVerdict::Intact, {}, {}};
    if (missing && !gone) {
      gone = std::move(missing);
      judgement.uninstaller = *text;
    }
  }
  if (!gone) return judgement;  // no uninstaller this program can test: its values are judged
  // What keys below the entry hold is not looked at here, so an entry with any goes no further.
  if (entry.QueryKeyInfo().subkeyCount != 0) return judgement;
  for (const std::string& name : entry.ListValues()) {
    if (IsUninstallerValue(name)) continue;
    const std::optional<std::string> text = entry.ReadTextValue(name);
    if (text && JudgeReference(task.Env(), *text, task.TestedDrives, true, readers) == Reference::Present)
      return judgement;  // it still names something that is there
  }
  judgement.verdict = UninstallVerdict::Ghost;
  judgement.reason = reason::Gone(*gone);
  return judgement;
}

}  // namespace

void ScanUninstallEntries(TScanTaskThread& task, RootKey root, const std::string& uninstall, ProblemId problem) {
  RegistryAccess list(task.Env().registry, root);
  list.SetAccess(rights::Read);
  if (!list.OpenPath(uninstall, false)) return;
  const std::string rootName = RootName(root);
  for (const std::string& name : list.ListSubkeys()) {
    task.CheckStop();
    const std::string path = uninstall + "\\" + name;
    RegistryAccess entry(task.Env().registry, root);
    entry.SetAccess(rights::Read);
    if (!entry.OpenPath(path, false)) continue;
    task.ShowCurrentKey(path);
    const UninstallJudgement judgement = JudgeUninstallEntry(task, entry, ReadersOf(rootName, path));
    if (judgement.verdict == UninstallVerdict::Ghost) {
      task.AppendProblem(problem, rkKey, {rootName, path, "", false}, judgement.uninstaller, judgement.reason);
    } else if (judgement.verdict == UninstallVerdict::Values) {
      task.WalkRegistryTree(rootName, path, task.TestedDrives, ".exe", problem);
    }
  }
}

void ScanEmptyUninstallEntries(TScanTaskThread& task, RootKey root, const std::string& uninstall, ProblemId problem) {
  RegistryAccess registry(task.Env().registry, root);
  registry.SetAccess(rights::Read);
  if (!registry.OpenPath(uninstall, false)) return;
  for (const std::string& name : registry.ListSubkeys()) {
    // Entries named by a product code belong to Windows Installer and are never judged here.
    if (!name.empty() && name.front() == '{') continue;
    const std::string path = uninstall + "\\" + name;
    task.ShowCurrentKey(path);
    if (CountKeyValues(task.Env(), root, path, 1, true, false) < 1) {
      task.AppendProblem(problem, rkSubkeyInColumn, {RootName(root), path, "", false}, "", reason::NoValuesBelow());
    }
  }
}

void TScanTaskThread::ScanStartupPrograms() {
  ScanRunKey("HKEY_CURRENT_USER", kRunKey);
  ScanRunKey("HKEY_CURRENT_USER", kRunOnceKey);
  for (const char* key : {kRunKey, kRunOnceKey}) {
    for (const std::string& path : SoftwareKeyInBothViews(Env().registry, key)) ScanRunKey("HKEY_LOCAL_MACHINE", path);
  }
  for (const std::string& path : SoftwareKeyInBothViews(Env().registry, kStartupReg)) ScanMsConfigStartup(*this, path);
}

void TScanTaskThread::ScanRunKey(const std::string& rootName, const std::string& path) {
  const std::optional<RootKey> root = RootFromName(rootName);
  if (!root) return;
  RegistryAccess registry(Env().registry, *root);
  registry.SetAccess(rights::Read);
  if (!registry.OpenPath(path, false)) return;
  ShowCurrentKey(path);
  const Readers readers = ReadersOf(rootName, path);
  for (const std::string& name : registry.ListValues()) {
    CheckStop();
    const std::optional<std::string> command = registry.ReadTextValue(name);
    if (const std::optional<MissingPath> gone = command ? MissingCommand(*this, *command, readers) : std::nullopt) {
      AppendValueProblem(kStartupProblem, RootName(*root), path, name, *command, reason::Gone(*gone));
    }
  }
}

void TScanTaskThread::ScanAddRemovePrograms() {
  for (const std::string& path : SoftwareKeyInBothViews(Env().registry, kUninstallKey))
    ScanEmptyUninstallEntries(*this, RootKey::LocalMachine, path, ProblemId::AddRemoveProgramsIssue);
}

}  // namespace tamrisk
