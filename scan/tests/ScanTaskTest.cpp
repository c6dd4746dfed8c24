// The category loop of the scan worker: order, code parsing, stop requests, failures and the
// end-of-scan notice, with scripted scanners in place of the real ones.
#include "scan/ScanTask.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "testkit/ScanHarness.h"

namespace tamrisk {
namespace {

// A worker whose scanners are scripts: each code appends one row naming it unless a script for that
// code says otherwise.
class ScriptedTask final : public TScanTaskThread {
 public:
  using Script = std::function<void(ScriptedTask&)>;
  ScriptedTask(const Platform& platform, std::shared_ptr<ScanSink> sink)
      : TScanTaskThread(platform, sink, false, false) {}

  std::map<int, Script> scripts;
  std::vector<int> codesRun;

 protected:
  void RunCategory(CategoryCode category) override {
    const int code = NumberOf(category);
    codesRun.push_back(code);
    if (const auto script = scripts.find(code); script != scripts.end()) {
      script->second(*this);
      return;
    }
    AppendProblem(ProblemId::InvalidFileOrFolder, rkKey,
                  {"HKEY_LOCAL_MACHINE", "Code" + std::to_string(code), "", false}, "", Verbatim("scripted"));
  }
};

class ScanTaskTest : public ::testing::Test {
 protected:
  std::shared_ptr<ScriptedTask> MakeTask(std::vector<std::string> codes) {
    auto task = std::make_shared<ScriptedTask>(memory.platform, sink);
    task->Categories = test::Codes(codes);
    return task;
  }
  std::vector<std::string> RowKeys() const {
    std::vector<std::string> keys;
    for (const ProblemRow& row : sink->Rows()) keys.push_back(row.registryKey);
    return keys;
  }

  MemoryPlatform memory;
  std::shared_ptr<HeadlessSink> sink = std::make_shared<HeadlessSink>();
};

TEST_F(ScanTaskTest, EmptyListRunsNothingAndEndsAtOnce) {
  auto task = MakeTask({});
  task->Execute();
  EXPECT_TRUE(task->codesRun.empty());
  EXPECT_EQ(sink->Started(), 0);
  EXPECT_EQ(sink->Finished(), 0);
  EXPECT_TRUE(sink->Ended());
  EXPECT_TRUE(task->Ended());
}

TEST_F(ScanTaskTest, CodesRunInListOrderAndACodeGivenTwiceRunsTwiceAndRowsCarryTheirCode) {
  auto task = MakeTask({"6", "9", "6"});
  task->Execute();
  EXPECT_EQ(task->codesRun, (std::vector<int>{6, 9, 6}));
  EXPECT_EQ(RowKeys(), (std::vector<std::string>{"HKEY_LOCAL_MACHINE\\Code6", "HKEY_LOCAL_MACHINE\\Code9",
                                                 "HKEY_LOCAL_MACHINE\\Code6"}));
  EXPECT_EQ(sink->Started(), 3);
  EXPECT_EQ(sink->Finished(), 3);
  EXPECT_TRUE(sink->Ended());
  std::vector<int> categories;
  for (const ProblemRow& row : sink->Rows()) {
    EXPECT_FALSE(row.checked);
    categories.push_back(NumberOf(row.category));
  }
  EXPECT_EQ(categories, (std::vector<int>{6, 9, 6})) << "each row carries the code that found it";
}

TEST_F(ScanTaskTest, CodesOutsideTheTableRunNoScannerButMoveTheBar) {
  // The real dispatch: nothing is shown or found, yet each category starts and finishes.
  auto task = std::make_shared<TScanTaskThread>(memory.platform, sink, false, false);
  task->Categories = test::Codes({"0", "1", "2", "28", "-4"});
  task->Execute();
  EXPECT_TRUE(sink->Tasks().empty());
  EXPECT_TRUE(sink->Rows().empty());
  EXPECT_EQ(sink->Started(), 5);
  EXPECT_EQ(sink->Finished(), 5);
  EXPECT_TRUE(sink->Ended());
}

TEST_F(ScanTaskTest, StopDuringThirdOfFiveKeepsRowsAndSendsNoEndNotice) {
  auto task = MakeTask({"1", "2", "3", "4", "5"});
  bool rowAfterStopAccepted = true;
  task->scripts[3] = [&](ScriptedTask& self) {
    self.AppendProblem(ProblemId::InvalidFileOrFolder, rkKey, {"HKEY_LOCAL_MACHINE", "Before", "", false}, "",
                       Verbatim("scripted"));
    self.RequestStop();
    try {
      self.AppendProblem(ProblemId::InvalidFileOrFolder, rkKey, {"HKEY_LOCAL_MACHINE", "After", "", false}, "",
                         Verbatim("scripted"));
    } catch (const ScanStopped&) {
      rowAfterStopAccepted = false;
      throw;
    }
  };
  task->Execute();
  EXPECT_FALSE(rowAfterStopAccepted);
  EXPECT_EQ(task->codesRun, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(RowKeys(), (std::vector<std::string>{"HKEY_LOCAL_MACHINE\\Code1", "HKEY_LOCAL_MACHINE\\Code2",
                                                 "HKEY_LOCAL_MACHINE\\Before"}));
  EXPECT_EQ(sink->Finished(), 2);
  EXPECT_FALSE(sink->Ended());
  EXPECT_TRUE(task->Ended());
}

TEST_F(ScanTaskTest, ScannerThatIgnoresAStopFinishesButNothingFollows) {
  auto task = MakeTask({"1", "2", "3"});
  task->scripts[2] = [](ScriptedTask& self) {
    self.RequestStop();  // the scanner goes on regardless and returns normally
  };
  task->Execute();
  EXPECT_EQ(task->codesRun, (std::vector<int>{1, 2}));
  EXPECT_EQ(sink->Started(), 2);
  EXPECT_EQ(sink->Finished(), 1);  // the bar is left alone once a stop was asked for
  EXPECT_FALSE(sink->Ended());
}

TEST_F(ScanTaskTest, ServicesRefuseWorkAfterAStop) {
  auto task = MakeTask({});
  task->ShowTask("Scanning Windows Fonts...");
  task->RequestStop();
  EXPECT_THROW(task->ShowTask("Scanning Shortcuts..."), ScanStopped);
  EXPECT_THROW(task->ShowCurrentKey("HKEY_LOCAL_MACHINE\\Software"), ScanStopped);
  EXPECT_THROW(task->CheckStop(), ScanStopped);
  EXPECT_EQ(sink->Tasks(), (std::vector<std::string>{"Scanning Windows Fonts..."}));
  EXPECT_EQ(task->TaskCaption(), "Scanning Windows Fonts...");
  EXPECT_EQ(sink->KeysShown(), 0);
}

TEST_F(ScanTaskTest, FailureEndsOnlyItsCategoryAndMarksTheScanIncomplete) {
  struct Failure {
    const char* name;
    std::function<void()> raise;
  };
  const std::vector<Failure> failures = {
      {"registry read", [] { throw RegistryError("Failed to get data for 'Path'"); }},
      {"wrong type", [] { throw RegistryError("Invalid data type for 'Path'"); }},
      {"other std::exception", [] { throw std::out_of_range("index"); }},
      {"not a std::exception", [] { throw 42; }},
  };
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.name);
    sink = std::make_shared<HeadlessSink>();
    auto task = MakeTask({"1", "2", "3"});
    task->scripts[2] = [&](ScriptedTask& self) {
      self.AppendProblem(ProblemId::InvalidFileOrFolder, rkKey, {"HKEY_LOCAL_MACHINE", "Partial", "", false}, "",
                         Verbatim("scripted"));
      failure.raise();
    };
    task->Execute();
    EXPECT_EQ(task->codesRun, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(RowKeys(), (std::vector<std::string>{"HKEY_LOCAL_MACHINE\\Code1", "HKEY_LOCAL_MACHINE\\Partial",
                                                   "HKEY_LOCAL_MACHINE\\Code3"}));
    EXPECT_EQ(sink->Started(), 3);
    EXPECT_EQ(sink->Finished(), 2);  // not for the failed category
    EXPECT_TRUE(sink->Ended());
    EXPECT_EQ(test::Numbers(task->IncompleteCategories()), (std::vector<int>{2}));
  }
}

TEST_F(ScanTaskTest, WorkerStartedOnItsOwnThreadOutlivesItsCreator) {
  auto task = MakeTask({"6", "7"});
  std::weak_ptr<TScanTaskThread> watch = task;
  task->Start();
  task.reset();  // the progress window may let go; the thread keeps the worker alive
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!sink->Ended() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(sink->Ended());
  EXPECT_EQ(sink->Rows().size(), 2u);
  while (!watch.expired() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(watch.expired()) << "the worker frees itself when it ends";
}

TEST_F(ScanTaskTest, TestedDrivesAreFixedWhenTheWorkerIsMade) {
  memory.files.SetDriveType('c', drivetype::Fixed);
  memory.files.SetDriveType('d', drivetype::Fixed);
  memory.files.SetDriveType('e', drivetype::CdRom);
  EXPECT_EQ(TScanTaskThread(memory.platform, sink, false, false).TestedDrives, "cd");
  EXPECT_EQ(TScanTaskThread(memory.platform, sink, false, true).TestedDrives, "cde");
}

TEST(BreakKeyTextTest, BreaksOnceBeforeThe53rdCharacterOfLongerTexts) {
  const std::string long200(200, 'k');
  struct Case {
    std::size_t length;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {0, ""},
      {52, std::string(52, 'k')},
      {53, std::string(53, 'k')},
      {54, std::string(52, 'k') + "\r\n" + "kk"},
      {200, std::string(52, 'k') + "\r\n" + std::string(148, 'k')},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BreakKeyText(long200.substr(0, c.length)), c.expected) << c.length << " characters";
  }
}

TEST_F(ScanTaskTest, CurrentKeyIsShownBrokenForTheTwoLineLabel) {
  auto task = MakeTask({});
  const std::string key = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion";
  task->ShowCurrentKey(key);
  EXPECT_EQ(sink->LastKey(), key.substr(0, 52) + "\r\n" + key.substr(52));
}

}  // namespace
}  // namespace tamrisk
