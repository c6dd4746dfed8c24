// Firewall Rules, MUI Cache and Compatibility Settings scanners (codes 23 to 25): references Windows
// keeps to a program by its path after the program's folder is gone. Each tests the whole path the
// entry holds; entries of programs in the Windows folder are Windows' own and never listed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryAccess.h"
#include "scan/ProblemNames.h"
#include "platform/Text.h"
#include "scan/PathTests.h"
#include "scan/Reasons.h"
#include "scan/RegistryViews.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

constexpr char kFirewallRules[] =
    "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules";
constexpr char kMuiCache[] = "Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache";
constexpr char kLayers[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
constexpr char kAssistantStore[] =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility Assistant\\Store";
constexpr char kAssistantPersisted[] =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility Assistant\\Persisted";
constexpr std::string_view kMuiSuffixes[] = {".FriendlyAppName", ".ApplicationCompany"};

// The missing program path names, unless it is one of Windows' own.
std::optional<MissingPath> MissingProgram(const TScanTaskThread& task, const std::string& path, Readers readers) {
  std::optional<MissingPath> gone = MissingWholePath(task.Env(), path, task.TestedDrives, readers);
  if (gone && InWindowsFolder(task.Env(), gone->path)) return std::nullopt;
  return gone;
}

// The text of field in a rule "v2.10|Action=Allow|App=C:\x\app.exe|Name=x|"; nullopt without it.
std::optional<std::string> RuleField(std::string_view rule, std::string_view field) {
  while (!rule.empty()) {
    const std::size_t bar = rule.find('|');
    const std::string_view part = rule.substr(0, bar);
    const std::size_t equals = part.find('=');
    if (equals != std::string_view::npos && EqualsNoCase(part.substr(0, equals), field)) {
      return std::string(part.substr(equals + 1));
    }
    if (bar == std::string_view::npos) break;
    rule.remove_prefix(bar + 1);
  }
  return std::nullopt;
}

// Windows names its own rules by a resource string ("@FirewallAPI.dll,-28502"), which it may ship
// for programs of features that are not installed.
bool IsWindowsRule(const std::string& rule) {
  for (const char* field : {"Name", "EmbedCtxt"}) {
    const std::optional<std::string> text = RuleField(rule, field);
    if (text && !text->empty() && text->front() == '@') return true;
  }
  return false;
}

// The program path a value name of the shell's name cache holds, or nullopt for a name of another form.
std::optional<std::string> MuiCacheProgram(const std::string& name) {
  for (const std::string_view suffix : kMuiSuffixes) {
    if (name.size() > suffix.size() && EndsWithNoCase(name, suffix)) return name.substr(0, name.size() - suffix.size());
  }
  return std::nullopt;
}

// Lists each value of the key whose name programOf reads as a missing program's path.
template <typename ProgramOf>
void ScanValueNames(TScanTaskThread& task, RootKey root, const std::string& path, ProblemId problem,
                    ProgramOf programOf) {
  RegistryAccess registry(task.Env().registry, root);
  registry.SetAccess(rights::Read);
  if (!registry.OpenPath(path, false)) return;
  task.ShowCurrentKey(path);
  const Readers readers = ReadersOf(RootName(root), path);
  for (const std::string& name : registry.ListValues()) {
    task.CheckStop();
    const std::optional<std::string> program = programOf(name);
    if (const std::optional<MissingPath> gone = program ? MissingProgram(task, *program, readers) : std::nullopt) {
      task.AppendProblem(problem, rkValueInColumn, {RootName(root), path, name, true}, "", reason::Gone(*gone));
    }
  }
}

}  // namespace

void TScanTaskThread::ScanFirewallRules() {
  RegistryAccess registry(Env().registry, RootKey::LocalMachine);
  registry.SetAccess(rights::Read);
  if (!registry.OpenPath(kFirewallRules, false)) return;
  ShowCurrentKey(kFirewallRules);
  // A machine keeps hundreds of rules: each is read with its name, one registry call.
  std::string name;
  std::optional<std::string> rule;
  std::vector<std::uint8_t> buffer;
  for (std::uint32_t i = 0; registry.ReadTextValueAt(i, name, rule, buffer); ++i) {
    CheckStop();
    if (!rule || IsWindowsRule(*rule)) continue;
    const std::optional<std::string> program = RuleField(*rule, "App");
    if (const std::optional<MissingPath> gone =
            program ? MissingProgram(*this, *program, Readers::Native) : std::nullopt) {
      AppendProblem(ProblemId::FirewallRuleIssue, rkValueInColumn, {"HKEY_LOCAL_MACHINE", kFirewallRules, name, true},
                    "", reason::Gone(*gone));
    }
  }
}

void TScanTaskThread::ScanMuiCache() {
  ScanValueNames(*this, RootKey::CurrentUser, kMuiCache, ProblemId::MuiCacheIssue, MuiCacheProgram);
}

// The layers a user or an administrator chose on a program's Compatibility tab, and what the
// Program Compatibility Assistant noted of the programs it watched: each value is named by the path.
void TScanTaskThread::ScanCompatibilitySettings() {
  const auto whole = [](const std::string& name) { return std::optional<std::string>(name); };
  const ProblemId problem = ProblemId::CompatibilitySettingIssue;
  for (const char* path : {kLayers, kAssistantStore, kAssistantPersisted})
    ScanValueNames(*this, RootKey::CurrentUser, path, problem, whole);
  for (const std::string& path : SoftwareKeyInBothViews(Env().registry, kLayers))
    ScanValueNames(*this, RootKey::LocalMachine, path, problem, whole);
}

}  // namespace tamrisk
