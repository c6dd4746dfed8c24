// End to end on a real user hive (../shared/realdata): loaded under a key of its own, scanned, every
// row and then the whole key repaired, the backup imported with "regedit /s": the editor's export of
// the key must come back unchanged. Real hives hold what hand-made fixtures rarely do (MRU lists,
// binary blobs of 100 KB, strings of every type and shape), so this is where the backup writer meets
// them all at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/RegistryAccess.h"
#include "platform/win32/Win32System.h"
#include "repair/Repair.h"
#include "scan/ProblemRow.h"
#include "testkit/ScanHarness.h"
#include "testkit/TestKit.h"
#include "testkit/WinFixture.h"

#ifndef TAMRISK_REAL_HIVE
#error "TAMRISK_REAL_HIVE names the unpacked real hive sample"
#endif

namespace tamrisk {
namespace {

// The build's Linux path of the unpacked sample, as Wine shows it on drive Z:.
std::string SamplePath() {
  std::string path = std::string("Z:") + TAMRISK_REAL_HIVE;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// The sample's text with every key moved from HKEY_CURRENT_USER to below key.
std::string RerootedSample(const std::string& key) {
  const std::string raw = test::ReadTextFile(SamplePath());
  std::string text = test::Utf8OfUtf16File(raw.size() >= 2 ? raw.substr(2) : raw);  // without the BOM
  const std::string from = "\n[HKEY_CURRENT_USER", to = from + "\\" + key;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

TEST(RealHive, RepairingEverythingAndRestoringTheBackupGivesBackTheSameExport) {
  if (!win32::Win32FileSystem().PathIsFile(SamplePath())) {
    GTEST_SKIP() << "no real hive sample at " << SamplePath()
                 << ": it is unpacked from ../shared/realdata/ntuser-sample.reg.xz beside the checkout";
  }
  const std::string name = test::UniqueName("realhive");
  const std::string key = "Software\\" + name, fullKey = "HKEY_CURRENT_USER\\" + key;
  const std::string folder = test::FreshFolder(name);
  const std::string backup = folder + "\\Backup.reg";
  struct Cleanup {
    std::string key, folder;
    ~Cleanup() {
      test::DeleteKeyTree(RootKey::CurrentUser, key);
      test::RemoveFolder(folder);
    }
  } cleanup{key, folder};

  const std::string sample = RerootedSample(key);
  ASSERT_EQ(sample.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u) << "no sample at " << SamplePath();
  ASSERT_TRUE(test::ImportReg(sample));
  const std::string before = test::ExportKey(fullKey);
  ASSERT_NE(before.find("[" + fullKey + "\\AppEvents]"), std::string::npos);

  win32::Win32Platform system;
  VectorResults results(test::RowsMentioning(test::RunScan(system.platform, {"4"}).rows, name));
  EXPECT_GT(results.rows.size(), 10u) << "the hive names files this machine does not have";
  // Every row ticked, and last (the list is repaired from the bottom up) the whole key.
  for (ProblemRow& row : results.rows) row.checked = true;
  results.rows.insert(results.rows.begin(), ProblemRow{true, ProblemId::InvalidFileOrFolder, fullKey, "", rkKey});
  RepairRows(system.platform, results, backup);
  EXPECT_TRUE(results.rows.empty()) << results.rows.size() << " rows could not be repaired";
  EXPECT_FALSE(RegistryAccess(system.registry, RootKey::CurrentUser).HasSubkey(key)) << "the key is still there";

  unsigned long exitCode = 1;
  ASSERT_TRUE(test::RunAndWait("regedit /s \"" + backup + "\"", 60000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  const std::string after = test::ExportKey(fullKey);
  const std::size_t differs =
      std::mismatch(before.begin(), before.end(), after.begin(), after.end()).first - before.begin();
  EXPECT_TRUE(after == before) << "the export differs after the restore, first at: "
                               << before.substr(before.rfind('\n', differs) + 1, 300);
}

}  // namespace
}  // namespace tamrisk
