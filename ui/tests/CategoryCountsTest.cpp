// The counts the category tree shows after a scan: per category and summed per group, following the
// list as rows are ignored and repaired (the repair in a sorted list), gone while a new scan runs,
// and the ticks left alone.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "settings/RegGlobal.h"
#include "testkit/TestKit.h"
#include "ui/common/WindowText.h"
#include "ui/res/resource.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

using test::Seed;
using test::Str;

constexpr char kRun[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Every node's caption by code.
std::map<int, std::string> Captions(TfrmHivora& form) {
  std::map<int, std::string> captions;
  for (int code = 1; code <= TNodeChecks::Last; ++code)
    captions[code] = form.Tree().CaptionOf(form.Tree().NodeOf(CategoryCode{code}));
  return captions;
}

// The captions of a tree that counts nothing, with these counts shown.
std::map<int, std::string> Expected(TfrmHivora& form, const std::map<int, std::size_t>& counts) {
  std::map<int, std::string> captions;
  for (int code = 1; code <= TNodeChecks::Last; ++code) {
    const std::string bare = form.Tree().CaptionOf(form.Tree().NodeOf(CategoryCode{code}));
    captions[code] = bare.substr(0, bare.find(" ("));
    if (const auto count = counts.find(code); count != counts.end()) {
      captions[code] += " (" + std::to_string(count->second) + ")";
    }
  }
  return captions;
}

int RowOf(TfrmHivora& form, const std::string& key) {
  for (std::size_t i = 0; i < form.Results().RowCount(); ++i) {
    if (form.Results().Row(i).registryKey == key) return static_cast<int>(i);
  }
  return -1;
}

// Sorts the list (so the repair meets the rows in another order than scanned), ticks only the row
// of key and repairs.
void RepairOnlyInSortedList(TfrmHivora& form, const std::string& key) {
  form.Results().SortBy(ResultsListView::colRegistryKey);
  form.Results().SortBy(ResultsListView::colRegistryKey);
  const int row = RowOf(form, key);
  ASSERT_GE(row, 0);
  SendCommand(form.Handle(), IDM_SELECTNONE);
  form.Results().SetChecked(static_cast<std::size_t>(row), true);
  SendCommand(form.Handle(), IDC_REPAIRREGISTRY);
}

TEST(CategoryCounts, FollowTheListThroughIgnoreAndRepairAndLeaveWhileANewScanRuns) {
  MemoryPlatform memory;
  ScriptedPrompt prompt;
  memory.files.AddFolder(memory.system.ExecutableFolder() + "Backup");
  OptionsSetting.IgnoreKeys.clear();
  Seed(memory.registry, {Str("HKLM\\Software\\TamriskCount\\A", "Path", "C:\\Missing\\a.exe"),
                         Str("HKLM\\Software\\TamriskCount\\B", "Path", "C:\\Missing\\b.exe"),
                         Str("HKCU\\Software\\TamriskCount\\C", "Path", "C:\\Missing\\c.exe"),
                         Str(kRun, "Tool", "C:\\Missing\\run.exe")});
  // HKEY_USERS (5) is not scanned: its node shows no count, nor do the other categories'.
  WriteSettings(memory.platform, memory.files, Ticks({1, 2, 3, 4, 10}));
  auto form = MakeMainWindow(memory.platform, prompt);
  const std::vector<int> ticks = TreeStates(*form);
  EXPECT_EQ(Captions(*form), Expected(*form, {})) << "no counts before the first scan";

  SendCommand(form->Handle(), IDC_SCANREGISTRY);
  EXPECT_EQ(Captions(*form), Expected(*form, {{1, 4}, {2, 3}, {3, 2}, {4, 1}, {10, 1}}));

  form->Results().Select(RowOf(*form, "HKEY_LOCAL_MACHINE\\Software\\TamriskCount\\B\\Path"));
  SendCommand(form->Handle(), IDM_IGNOREKEY);
  EXPECT_EQ(Captions(*form), Expected(*form, {{1, 3}, {2, 2}, {3, 1}, {4, 1}, {10, 1}})) << "after ignoring a key";

  // Only the row of A is repaired, in a sorted list; the unticked rows stay and keep counting.
  RepairOnlyInSortedList(*form, "HKEY_LOCAL_MACHINE\\Software\\TamriskCount\\A\\Path");
  EXPECT_EQ(form->Results().RowCount(), 2u);
  EXPECT_EQ(RowOf(*form, "HKEY_LOCAL_MACHINE\\Software\\TamriskCount\\A\\Path"), -1);
  EXPECT_FALSE(memory.registry.GetValue(RootKey::LocalMachine, "Software\\TamriskCount\\A", "Path").has_value());
  EXPECT_TRUE(memory.registry.GetValue(RootKey::CurrentUser, "Software\\TamriskCount\\C", "Path").has_value());
  EXPECT_TRUE(memory.registry.GetValue(RootKey::LocalMachine, "Software\\TamriskCount\\B", "Path").has_value());
  // A scanned category with no row left shows its 0.
  EXPECT_EQ(Captions(*form), Expected(*form, {{1, 2}, {2, 1}, {3, 0}, {4, 1}, {10, 1}})) << "after the repair";

  std::map<int, std::string> whileScanning;
  {
    const DialogInitWatch watch([&](HWND window) {
      if (TextOf(window) == "Scanning") whileScanning = Captions(*form);
    });
    SendCommand(form->Handle(), IDC_SCANREGISTRY);
  }
  EXPECT_EQ(whileScanning, Expected(*form, {})) << "the last scan's counts leave when the next starts";
  EXPECT_EQ(Captions(*form), Expected(*form, {{1, 2}, {2, 1}, {3, 0}, {4, 1}, {10, 1}})) << "after the new scan";
  EXPECT_EQ(TreeStates(*form), ticks);
  EXPECT_TRUE(prompt.calls.empty());
  OptionsSetting.IgnoreKeys.clear();
}

}  // namespace
}  // namespace tamrisk::test
