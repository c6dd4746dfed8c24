// Codes 23 to 27 on the real registry of the Wine prefix, through to the repair and the checked
// restore: each row kind they give (a value named by a path, a rule named by a path, a handler's key,
// an uninstall entry, a value below one) is found, deleted into the backup file, and comes back from
// it with the same names, types and bytes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/RegistryAccess.h"
#include "repair/Repair.h"
#include "repair/VerifiedRestore.h"
#include "scan/ProblemRow.h"
#include "testkit/RealScanTest.h"
#include "testkit/ScanHarness.h"
#include "testkit/WinFixture.h"

namespace tamrisk {
namespace {

constexpr char kRules[] =
    "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules";
constexpr char kMui[] = "Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache";
constexpr char kLayers[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
constexpr char kMenus[] = "Software\\Classes\\*\\shellex\\ContextMenuHandlers";
constexpr char kUser[] = "Software\\Microsoft\\Windows\\CurrentVersion\\";

// Every value of a key and its subtree, or of one value: "key|name" -> type and bytes.
using Snapshot = std::map<std::string, std::tuple<std::uint32_t, std::vector<std::uint8_t>>>;

void AddKey(RegistryBackend& backend, RootKey root, const std::string& path, Snapshot& out) {
  RegistryAccess access(backend, root);
  access.SetAccess(rights::Read);
  if (!access.OpenPath(path, false)) return;
  out[path + "|"];  // the key itself, also when it holds nothing
  for (const std::string& name : access.ListValues()) {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (access.ReadRaw(name, type, data)) out[path + "|" + name] = {type, data};
  }
  for (const std::string& subkey : access.ListSubkeys()) AddKey(backend, root, path + "\\" + subkey, out);
}

// What a row names, as it is in the registry now (nothing when it is gone).
Snapshot Take(RegistryBackend& backend, const ProblemRow& row) {
  Snapshot out;
  const RootKey root = RootFromName(row.location.rootName).value();
  if (!row.location.namesValue) {
    AddKey(backend, root, row.location.key, out);
    return out;
  }
  RegistryAccess access(backend, root);
  access.SetAccess(rights::Read);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  if (access.OpenPath(row.location.key, false) && access.ReadRaw(row.location.value, type, data)) {
    out[row.location.key + "|" + row.location.value] = {type, data};
  }
  return out;
}

// The backup is a registry editor 5.00 file: the code page is never needed.
std::u16string Widened(std::string_view bytes) { return std::u16string(bytes.begin(), bytes.end()); }

// Each row's entry, by the row's texts.
std::map<std::string, Snapshot> Entries(RegistryBackend& backend, const std::vector<ProblemRow>& rows) {
  std::map<std::string, Snapshot> entries;
  for (const ProblemRow& row : rows) entries[row.registryKey + " | " + row.value] = Take(backend, row);
  return entries;
}

class LeftoverReferenceRoundTripWin : public test::RealScanTest {
 protected:
  // The rows of codes 23 to 27 that name this test's entries.
  std::vector<ProblemRow> OwnRows() {
    std::vector<ProblemRow> own;
    for (const ProblemRow& row : test::RunScan(system_.platform, {"23", "24", "25", "26", "27"}).rows) {
      if ((row.registryKey + "|" + row.value).find(name_) != std::string::npos) own.push_back(row);
    }
    return own;
  }
};

TEST_F(LeftoverReferenceRoundTripWin, EveryRowKindIsRepairedAndComesBackFromTheBackup) {
  OwnValue(RootKey::LocalMachine, kRules, name_ + "-rule");
  for (const char* suffix : {".FriendlyAppName", ".ApplicationCompany"}) {
    OwnValue(RootKey::CurrentUser, kMui, folder_ + "\\gone\\app.exe" + suffix);
  }
  OwnValue(RootKey::CurrentUser, kLayers, folder_ + "\\gone\\app.exe");
  OwnValue(RootKey::LocalMachine, kLayers, folder_ + "\\gone\\app.exe");
  OwnKey(RootKey::LocalMachine, std::string(kMenus) + "\\" + name_);
  for (const std::string& entry :
       {"Uninstall\\" + name_, "Uninstall\\" + name_ + "-empty", "App Paths\\" + name_ + ".exe"}) {
    OwnKey(RootKey::CurrentUser, kUser + entry);
  }
  Import(R"reg(REGEDIT4

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\SharedAccess\Parameters\FirewallPolicy\FirewallRules]
"$N-rule"="v2.10|Action=Allow|Active=TRUE|Dir=In|App=$F\\gone\\app.exe|Name=$N|"

[HKEY_CURRENT_USER\Software\Classes\Local Settings\Software\Microsoft\Windows\Shell\MuiCache]
"$F\\gone\\app.exe.FriendlyAppName"="App"
"$F\\gone\\app.exe.ApplicationCompany"="Vendor"

[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags\Layers]
"$F\\gone\\app.exe"="~ RUNASADMIN"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags\Layers]
"$F\\gone\\app.exe"="WINXPSP3"

[HKEY_LOCAL_MACHINE\Software\Classes\*\shellex\ContextMenuHandlers\$N]
@="{$N}"
"Flags"=dword:00000003

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\$N]
"DisplayName"="$N"
"UninstallString"="\"$F\\gone\\uninst.exe\" /S"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\$N-empty]

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\App Paths\$N.exe]
@="$F\\gone\\app.exe"
"Path"="$F\\gone"
)reg");

  VectorResults results(OwnRows());
  std::map<int, int> perCategory;
  for (ProblemRow& row : results.rows) {
    ++perCategory[NumberOf(row.category)];
    row.checked = true;
  }
  ASSERT_EQ(perCategory, (std::map<int, int>{{23, 1}, {24, 2}, {25, 2}, {26, 1}, {27, 3}}))
      << ::testing::PrintToString(results.rows);

  const std::map<std::string, Snapshot> before = Entries(system_.registry, results.rows);
  for (const auto& [row, entry] : before) EXPECT_FALSE(entry.empty()) << row;
  const std::string backup = NewBackupFileName(system_.platform, folder_);
  const RepairSummary summary = RepairRows(system_.platform, results, backup);
  EXPECT_EQ(summary.repaired, before.size());
  EXPECT_EQ(summary.kept, 0u) << ::testing::PrintToString(results.rows);
  EXPECT_EQ(OwnRows(), std::vector<ProblemRow>{}) << "a scan after the repair finds nothing of them";

  const auto import = [](const std::string& commandLine) { return test::RunAndWait(commandLine); };
  const RestoreResult restored = RestoreBackupFile(system_.platform, backup, import, Widened);
  EXPECT_EQ(restored.status, RestoreResult::Status::Restored) << restored.error;
  EXPECT_EQ(Entries(system_.registry, OwnRows()), before);
}

}  // namespace
}  // namespace tamrisk
