// Scans from the main window through the progress window: what an empty selection leaves alone,
// that every row found reaches the list in order, that a stop keeps the rows found so far; and that
// the window neither repairs nor restores while another process does.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <string>
#include <thread>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "platform/win32/Handles.h"
#include "scan/ScanOutcome.h"
#include "testkit/ScanHarness.h"
#include "testkit/TestKit.h"
#include "ui/common/WindowText.h"
#include "ui/res/resource.h"
#include "ui/tests/UiTestSupport.h"
#include "unattended/Report.h"

namespace tamrisk::test {
namespace {

using test::Seed;
using test::Str;

constexpr char kStopKey[] = "HKLM\\Software\\TamriskStop";
constexpr int kStaleKeys = 300;

// Holds the walk at one key open until the test lets it go, so a stop lands part-way through the
// scan whatever the machine's speed.
class GatedRegistry final : public RegistryBackend {
 public:
  GatedRegistry(RegistryBackend& inner, int gateAt)
      : inner_(inner), gateAt_(gateAt), released_(::CreateEventW(nullptr, TRUE, gateAt <= 0, nullptr)) {}
  bool Reached() const { return opens_.load() >= gateAt_; }
  void Release() { ::SetEvent(released_.get()); }

  long OpenKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) override {
    if (++opens_ == gateAt_) ::WaitForSingleObject(released_.get(), 20000);
    return inner_.OpenKey(parent, subkey, rights, result);
  }
  long CreateKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) override {
    return inner_.CreateKey(parent, subkey, rights, result);
  }
  long CloseKey(KeyHandle key) override { return inner_.CloseKey(key); }
  long EnumKey(KeyHandle key, std::uint32_t index, std::string& name) override {
    return inner_.EnumKey(key, index, name);
  }
  long EnumValue(KeyHandle key, std::uint32_t index, std::string& name) override {
    return inner_.EnumValue(key, index, name);
  }
  long QueryValueInfo(KeyHandle key, const std::string& name, std::uint32_t& type, std::uint32_t& size) override {
    return inner_.QueryValueInfo(key, name, type, size);
  }
  long QueryValue(KeyHandle key, const std::string& name, std::uint32_t& type,
                  std::vector<std::uint8_t>& data) override {
    return inner_.QueryValue(key, name, type, data);
  }
  long QueryInfoKey(KeyHandle key, KeyInfo& info) override { return inner_.QueryInfoKey(key, info); }
  long SetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override {
    return inner_.SetValue(key, name, type, data);
  }
  long DeleteKey(KeyHandle parent, const std::string& subkey) override { return inner_.DeleteKey(parent, subkey); }
  long DeleteValue(KeyHandle key, const std::string& name) override { return inner_.DeleteValue(key, name); }

 private:
  RegistryBackend& inner_;
  const int gateAt_;
  std::atomic<int> opens_{0};
  win32::UniqueHandle released_;
};

std::vector<ProblemRow> Unchecked(std::vector<ProblemRow> rows) {
  for (ProblemRow& row : rows) row.checked = false;
  return rows;
}

class MainWindowScan : public ::testing::Test {
 protected:
  // rows are all of a scan's rows, or (stopped part-way) the first of them in scan order.
  static void ExpectFirstRowsOf(const std::vector<ProblemRow>& all, const std::vector<ProblemRow>& rows,
                                bool stoppedPartWay) {
    if (!stoppedPartWay) {
      EXPECT_EQ(rows, all);
      return;
    }
    EXPECT_GE(rows.size(), 1u);
    EXPECT_LT(rows.size(), all.size()) << "the scan was not stopped part-way";
    EXPECT_EQ(rows, std::vector<ProblemRow>(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(rows.size())));
  }

  void SetUp() override {
    memory.files.AddFolder(memory.system.ExecutableFolder() + "Backup");
    memory.files.AddFolder("C:\\Windows");
    memory.files.AddFolder("C:\\Out");
  }

  void SeedStaleKeys() {
    std::vector<test::RegRow> rows;
    for (int i = 0; i < kStaleKeys; ++i) {
      const std::string n = std::to_string(1000 + i);
      rows.push_back(Str(std::string(kStopKey) + "\\App" + n, "Path", "C:\\Missing\\app" + n + ".exe"));
    }
    Seed(memory.registry, rows);
  }

  MemoryPlatform memory;
  ScriptedPrompt prompt;
};

TEST_F(MainWindowScan, NothingTickedLeavesRowsAndCountsAsTheyWere) {
  WriteSettings(memory.platform, memory.files, Ticks({}));
  auto form = MakeMainWindow(memory.platform, prompt);
  form->Results().AppendRows({{false, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Software\\Old", "x", rkKey}});
  SendCommand(form->Handle(), IDM_SELECTNONE);

  bool progressShown = false;
  ThreadTicker watch([&] { progressShown = progressShown || FindThreadWindow("Scanning") != nullptr; });
  SendCommand(form->Handle(), IDC_SCANREGISTRY);
  EXPECT_FALSE(progressShown);
  EXPECT_EQ(form->Results().RowCount(), 1u);
  EXPECT_EQ(PanelText(form->StatusBar(), 0), " 1 problems found");
  EXPECT_EQ(PanelText(form->StatusBar(), 1), " 0 problems selected for repairing");
  ASSERT_TRUE(form->ScanCodes.has_value());
  EXPECT_TRUE(form->ScanCodes->empty());
}

TEST_F(MainWindowScan, OnlyTheRootTickedClearsTheListAndFindsNothing) {
  WriteSettings(memory.platform, memory.files, Ticks({1}));
  auto form = MakeMainWindow(memory.platform, prompt);
  form->Results().AppendRows({{false, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Software\\Old", "x", rkKey}});
  SendCommand(form->Handle(), IDC_SCANREGISTRY);
  EXPECT_EQ(*form->ScanCodes, std::vector<CategoryCode>{CategoryCode::MyComputers});
  EXPECT_EQ(form->Results().RowCount(), 0u);
  EXPECT_EQ(PanelText(form->StatusBar(), 0), " 0 problems found");
  EXPECT_EQ(PanelText(form->StatusBar(), 1), " 0 problems selected for repairing");
}

TEST_F(MainWindowScan, RowsReachTheListInOrderAndAStopKeepsThoseFoundSoFar) {
  SeedStaleKeys();
  const std::vector<ProblemRow> all = RowsMentioning(RunScan(memory.platform, {"3"}).rows, "TamriskStop");
  ASSERT_EQ(all.size(), static_cast<std::size_t>(kStaleKeys)) << "the hive scan must report every stale key";

  enum class Ending { ByItself, StopButton, CloseBox };
  for (Ending ending : {Ending::ByItself, Ending::StopButton, Ending::CloseBox}) {
    SCOPED_TRACE(static_cast<int>(ending));
    GatedRegistry gated(memory.registry, ending == Ending::ByItself ? 0 : 60);
    Platform platform{gated, memory.files, memory.system, memory.ini, memory.shell};
    // Startup Programs comes after the gate: a stop never reaches it.
    WriteSettings(platform, memory.files, Ticks({1, 2, 3, 10}));
    auto form = MakeMainWindow(platform, prompt);

    bool stopped = false;
    std::string statusWhileScanning;
    ThreadTicker stopper([&] {
      HWND progress = FindThreadWindow("Scanning");
      if (progress && statusWhileScanning.empty()) {
        statusWhileScanning = PanelText(form->StatusBar(), 0) + "|" + PanelText(form->StatusBar(), 1);
      }
      if (ending == Ending::ByItself || stopped || !progress || !gated.Reached()) return;
      // While the walk waits at the gate, the window shows how many problems it has listed so far.
      const std::size_t listed = form->Results().RowCount();
      if (listed == 0 || TextOf(::GetDlgItem(progress, IDC_SCANCOUNT)) != "Problems found: " + std::to_string(listed)) {
        return;
      }
      stopped = true;
      if (ending == Ending::StopButton) {
        ::SendMessageW(::GetDlgItem(progress, IDC_STOP), BM_CLICK, 0, 0);
      } else {
        ::SendMessageW(progress, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      gated.Release();
    });
    SendCommand(form->Handle(), IDC_SCANREGISTRY);
    EXPECT_EQ(*form->ScanCodes, test::Codes({"1", "2", "3", "10"}));
    if (ending != Ending::ByItself) {
      EXPECT_EQ(statusWhileScanning, "Scanning...|") << "no count of an earlier scan";
    }
    ASSERT_TRUE(form->WaitForScanWorker(20000));
    const std::size_t listed = form->Results().RowCount();
    PumpUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(form->Results().RowCount(), listed) << "no row may arrive after the window closed";

    const std::vector<ProblemRow> rows = Unchecked(form->Results().Rows());
    EXPECT_EQ(stopped, ending != Ending::ByItself);
    ExpectFirstRowsOf(all, rows, ending != Ending::ByItself);
    EXPECT_EQ(form->Results().CheckedCount(), rows.size()) << "every row is ticked after the scan";
    EXPECT_EQ(PanelText(form->StatusBar(), 0),
              std::string(" ").append(std::to_string(rows.size())).append(" problems found"));

    // A stopped scan says where it stopped: in the status bar, in the tree (nothing counted for the
    // category never reached) and under the rows of the saved results.
    const std::string count = std::to_string(rows.size());
    const bool stop = ending != Ending::ByItself;
    const ScanOutcome& outcome = form->LastScanOutcome();
    EXPECT_EQ(outcome.stop, stop ? std::optional<ScanOutcome::Stop>(ScanOutcome::Stop{CategoryCode::LocalMachineFiles,
                                                                                      {CategoryCode::StartupPrograms}})
                                 : std::nullopt);
    const auto caption = [&](int code) { return form->Tree().CaptionOf(form->Tree().NodeOf(CategoryCode{code})); };
    EXPECT_EQ(caption(3), "HKEY_LOCAL_MACHINE (" + count + (stop ? ", stopped)" : ")"));
    EXPECT_EQ(caption(10), stop ? "Startup Programs" : "Startup Programs (0)");
    EXPECT_EQ(PanelText(form->StatusBar(), 1),
              " " + count + " problems selected for repairing" +
                  (stop ? "    Scan stopped in Files and Folders - HKEY_LOCAL_MACHINE" : ""));
    const std::string file = "C:\\Out\\scan" + std::to_string(static_cast<int>(ending)) + ".csv";
    prompt.fileAnswers.push_back(file);
    SendCommand(form->Handle(), IDM_SAVERESULTS);
    const std::string saved = memory.files.Contents(file).value_or("");
    EXPECT_EQ(saved, FormatReportCsv(form->Results().Rows(), ScanOutcomeNote(outcome)));
    ::SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  }
  EXPECT_TRUE(prompt.calls.empty());
}

TEST_F(MainWindowScan, AnErrorEscapingACommandIsShownAndTheWindowStays) {
  WriteSettings(memory.platform, memory.files, "[Options]\r\nOutputDirectory=Q:\\Nowhere\\Backup\r\n");
  auto form = MakeMainWindow(memory.platform, prompt);
  form->Results().AppendRows({{true, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Software\\Kept", "x", rkKey}});
  prompt.answers = {IDYES};
  SendCommand(form->Handle(), IDC_REPAIRREGISTRY);
  ASSERT_EQ(prompt.calls.size(), 2u);
  EXPECT_EQ(prompt.calls[0].style, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
  EXPECT_EQ(prompt.calls[1].text, "Cannot create Q:\\Nowhere\\Backup");
  EXPECT_EQ(prompt.calls[1].style & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_TRUE(::IsWindow(form->Handle()));
  EXPECT_EQ(form->Results().RowCount(), 1u);
}

TEST_F(MainWindowScan, ACategoryEndedByAFailureIsNamedInTheStatusBar) {
  constexpr char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
  memory.files.AddFile("C:\\Windows\\used.dll");
  memory.registry.SetDword(RootKey::LocalMachine, kSharedDlls, "C:\\Windows\\used.dll", 1);
  memory.registry.FailReads(RootKey::LocalMachine, kSharedDlls, "C:\\Windows\\used.dll");
  Seed(memory.registry, {Str("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Gone", "C:\\Gone\\a.exe")});
  WriteSettings(memory.platform, memory.files, Ticks({9, 10}));

  auto window = MakeMainWindow(memory.platform, prompt);
  SendCommand(window->Handle(), IDC_SCANREGISTRY);
  EXPECT_EQ(window->LastScanOutcome().incomplete, std::vector<CategoryCode>{CategoryCode::SharedDlls});
  EXPECT_EQ(PanelText(window->StatusBar(), 1), " 1 problems selected for repairing    Scan incomplete: Shared DLLs");
}

// A scan click with nothing ticked leaves the list as it was, and a repair of its rows keeps the scope
// of the scan that found them: after Obsolete Software, the program key the repair empties goes too.
TEST_F(MainWindowScan, ARepairKeepsTheScopeOfTheScanThatListedItsRows) {
  WriteSettings(memory.platform, memory.files, Ticks({14}));
  auto form = MakeMainWindow(memory.platform, prompt);
  SendCommand(form->Handle(), IDC_SCANREGISTRY);
  memory.registry.SetString(RootKey::LocalMachine, "Software\\Vendor\\Program", "Path", "C:\\gone\\a.exe");
  form->Results().AppendRows(
      {Ticked(Row(ProblemId::InvalidFileOrFolder, "HKEY_LOCAL_MACHINE\\Software\\Vendor\\Program\\Path",
                  "C:\\gone\\a.exe", rkValueInPath))});
  form->WalkCategoryTree(form->Tree().Root(), CategoryTree::kUnchecked);
  SendCommand(form->Handle(), IDC_SCANREGISTRY);
  ASSERT_TRUE(form->ScanCodes->empty());
  SendCommand(form->Handle(), IDC_REPAIRREGISTRY);
  EXPECT_FALSE(memory.registry.GetValue(RootKey::LocalMachine, "Software\\Vendor\\Program", "Path"));
  EXPECT_FALSE(memory.registry.KeyExists(RootKey::LocalMachine, "Software\\Vendor"));
}

TEST_F(MainWindowScan, WhileAnUnattendedRunRepairsTheWindowSaysSoAndNeitherRepairsNorRestores) {
  Seed(memory.registry, {Str("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Gone", "C:\\Gone\\a.exe")});
  WriteSettings(memory.platform, memory.files, Ticks({10}));
  auto form = MakeMainWindow(memory.platform, prompt);
  SendCommand(form->Handle(), IDC_SCANREGISTRY);
  ASSERT_EQ(form->Results().RowCount(), 1u);

  struct Case {
    RepairHolder holder;
    const char* says;
  };
  for (const Case& c : {Case{RepairHolder::UnattendedRun, "An unattended run of Tamrisk (-cleanonce) is repairing"},
                        Case{RepairHolder::AnotherProgram, "Another Tamrisk is repairing or restoring"}}) {
    memory.shell.SetRepairLockHolder(c.holder);
    prompt.calls.clear();
    bool restoreOpened = false;
    ThreadTicker watch([&] { restoreOpened = restoreOpened || FindThreadWindow("Varkon Tamrisk") != nullptr; });
    SendCommand(form->Handle(), IDC_REPAIRREGISTRY);
    SendCommand(form->Handle(), IDC_RESTOREREGISTRY);
    EXPECT_FALSE(restoreOpened) << "the restore dialog opened";
    ASSERT_EQ(prompt.calls.size(), 2u);
    for (const PromptCall& call : prompt.calls) {
      EXPECT_EQ(call.text.rfind(c.says, 0), 0u) << call.text;
      EXPECT_NE(call.text.find("can start again when it has finished"), std::string::npos) << call.text;
    }
    EXPECT_EQ(form->Results().RowCount(), 1u);
    EXPECT_TRUE(
        memory.registry.GetValue(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Gone"));
    EXPECT_TRUE(memory.files.ListFolder(memory.system.ExecutableFolder() + "Backup\\*.reg").empty());
  }

  // Once it has ended, the same click repairs, and holds the lock only while it does.
  memory.shell.SetRepairLockHolder(std::nullopt);
  prompt.calls.clear();
  SendCommand(form->Handle(), IDC_REPAIRREGISTRY);
  EXPECT_TRUE(prompt.calls.empty());
  EXPECT_EQ(form->Results().RowCount(), 0u);
  EXPECT_EQ(memory.shell.RepairTurnsTaken(), 1u);
  EXPECT_FALSE(memory.shell.RepairTurnHeld());
}

TEST_F(MainWindowScan, ClosingWaitsForEveryStartedWorkerHeldInsideACall) {
  SeedStaleKeys();
  GatedRegistry gated(memory.registry, 60);
  Platform platform{gated, memory.files, memory.system, memory.ini, memory.shell};
  WriteSettings(platform, memory.files, Ticks({1, 2, 3}));
  auto form = MakeMainWindow(platform, prompt);
  bool stopped = false;
  {
    ThreadTicker stopper([&] {
      HWND progress = FindThreadWindow("Scanning");
      if (stopped || !progress || !gated.Reached()) return;
      stopped = true;
      ::SendMessageW(::GetDlgItem(progress, IDC_STOP), BM_CLICK, 0, 0);
    });
    SendCommand(form->Handle(), IDC_SCANREGISTRY);  // stopped; its worker is still held in the registry
  }
  ASSERT_TRUE(stopped);
  SendCommand(form->Handle(), IDC_SCANREGISTRY);  // a second scan, which ends by itself
  EXPECT_FALSE(form->WaitForScanWorker(0)) << "the first worker is still inside its call";

  std::atomic<bool> released{false};
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    released = true;
    gated.Release();
  });
  ::SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(released.load()) << "the window closed while a worker could still use the platform";
  releaser.join();
}

}  // namespace
}  // namespace tamrisk::test
