// The Win32 services where the real system's behaviour decides: the repair lock across threads and
// processes, an ini file that cannot be read when it must be converted, and threads that read the
// registry and end.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32System.h"
#include "testkit/WinFixture.h"

namespace tamrisk {
namespace {

// Takes a turn on a thread of its own, which counts as another holder: the lock belongs to a thread.
std::unique_ptr<RepairTurn> TakeOnAnotherThread(win32::Win32Shell& shell, bool unattendedRun) {
  std::unique_ptr<RepairTurn> turn;
  std::thread([&] {
    RepairHolder holder = RepairHolder::AnotherProgram;
    turn = shell.TakeRepairTurn(unattendedRun, holder);
  }).join();
  return turn;
}

// An object of another kind under the lock's name (made by any program, to block repairs) is told
// apart from a repair under way, and the lock's own rights let this account take it afterwards.
TEST(RepairLockWin, ANameTakenByAnotherObjectIsNamedAsTheCause) {
  win32::Win32Shell shell;
  RepairHolder holder = RepairHolder::AnotherProgram;
  {
    const win32::UniqueHandle squatter(::CreateEventW(nullptr, TRUE, FALSE, win32::Wide(kRepairLockName).c_str()));
    ASSERT_TRUE(squatter);
    EXPECT_FALSE(shell.TakeRepairTurn(false, holder));
    EXPECT_EQ(holder, RepairHolder::LockNameTaken);
  }
  EXPECT_TRUE(shell.TakeRepairTurn(true, holder));
}

TEST(RepairLockWin, OneHolderAtATimeWhoIsNamedAndOneThatDiedLetsTheNextIn) {
  win32::Win32Shell shell;
  RepairHolder holder = RepairHolder::AnotherProgram;
  struct Case {
    bool unattendedRun;
    RepairHolder named;
  };
  for (const Case& c : {Case{true, RepairHolder::UnattendedRun}, Case{false, RepairHolder::AnotherProgram}}) {
    // Its thread has ended without releasing: the lock is abandoned while the turn lives, and taken.
    std::unique_ptr<RepairTurn> other = TakeOnAnotherThread(shell, c.unattendedRun);
    ASSERT_TRUE(other);
    EXPECT_EQ(win32::UnattendedRepairRunning(), c.unattendedRun);
    std::unique_ptr<RepairTurn> mine = shell.TakeRepairTurn(false, holder);
    EXPECT_TRUE(mine) << "a lock whose holder died stays taken";
    mine.reset();
    other.reset();
    EXPECT_FALSE(win32::UnattendedRepairRunning());
  }

  // A live holder on another thread keeps everyone else out until it lets go.
  std::unique_ptr<RepairTurn> held;
  HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const win32::UniqueHandle readyOwner(ready), doneOwner(done);
  std::thread holderThread([&] {
    RepairHolder unused = RepairHolder::AnotherProgram;
    held = shell.TakeRepairTurn(true, unused);
    ::SetEvent(ready);
    ::WaitForSingleObject(done, 20000);
    held.reset();
  });
  ::WaitForSingleObject(ready, 20000);
  ASSERT_TRUE(held);
  holder = RepairHolder::AnotherProgram;
  EXPECT_FALSE(shell.TakeRepairTurn(false, holder));
  EXPECT_EQ(holder, RepairHolder::UnattendedRun);
  ::SetEvent(done);
  holderThread.join();
  EXPECT_TRUE(shell.TakeRepairTurn(false, holder));
}

TEST(IniFileWin, AFileThatCannotBeReadIsNotRewrittenForTextOutsideTheCodePage) {
  const std::string folder = test::FreshFolder(test::UniqueName("ini"));
  const std::string path = folder + "\\options.ini";
  const std::string text = "[Options]\r\nOutputDirectory=C:\\Kept\r\n";
  ASSERT_TRUE(test::WriteTextFile(path, text));
  win32::Win32IniFile ini;
  {
    // Another program holds the file so that nobody may read it, while writing is still allowed.
    const win32::UniqueFileHandle holder(::CreateFileW(win32::Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                                       FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(ini.WriteString(path, "Options", "OutputDirectory", "C:\\\xCE\x94\xCE\xB1\xCF\x84\xCE\xB1"));
  }
  EXPECT_EQ(test::ReadTextFile(path), text);
  // Readable again, the same write converts the file and keeps what it held.
  EXPECT_TRUE(ini.WriteString(path, "Options", "OutputDirectory", "C:\\\xCE\x94\xCE\xB1\xCF\x84\xCE\xB1"));
  EXPECT_EQ(ini.ReadString(path, "Options", "OutputDirectory", "", 2047), "C:\\\xCE\x94\xCE\xB1\xCF\x84\xCE\xB1");
  test::RemoveFolder(folder);
}

// The scan's walks start and end helper threads every time; whatever a thread kept for its reads
// must be given back when it ends without touching memory already freed (scans crashed now and then
// as their threads ended).
TEST(Win32RegistryWin, ThreadsThatReadValuesEndCleanly) {
  win32::Win32Registry registry;
  HKEY environment = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Environment", 0, KEY_READ, &environment), ERROR_SUCCESS);
  win32::UniqueRegKey owner(environment);
  const auto key = reinterpret_cast<KeyHandle>(environment);
  // Small blocks taken and given back all the while, as the scan's other threads do: memory freed
  // too early is soon overwritten with text, and a thread that still used it crashes.
  std::atomic<bool> done{false};
  std::thread churn([&] {
    while (!done.load()) {
      std::vector<std::string> texts;
      for (int i = 0; i < 64; ++i) texts.emplace_back(40, 'A');
    }
  });
  for (int round = 0; round < 4000; ++round) {
    std::thread([&] {
      std::string name;
      std::uint32_t type = 0;
      std::vector<std::uint8_t> data;
      registry.EnumValue(key, 0, name);
      registry.EnumValueData(key, 0, name, type, data);
    }).join();
  }
  done.store(true);
  churn.join();
}

}  // namespace
}  // namespace tamrisk
