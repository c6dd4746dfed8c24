// A whole session with the keyboard alone: the keys are posted to the control that has the focus and
// go through the program's own message loop (its accelerators and Tab, then TranslateMessage), so
// the menus open by their access keys as a user's Alt+letter opens them.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "testkit/TestKit.h"
#include "ui/common/WindowText.h"
#include "ui/res/options_ids.h"
#include "ui/res/resource.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

class KeyboardSession : public ::testing::Test {
 protected:
  void SetUp() override {
    memory.files.AddFolder("C:\\Windows");
    memory.files.AddFolder(memory.system.ExecutableFolder() + "Backup");
    std::vector<RegRow> stale;
    for (const char* name : {"Alpha", "Beta", "Gamma"}) {
      stale.push_back(Str(std::string("HKLM\\Software\\TamriskKeys\\") + name, "Path",
                          std::string("C:\\Missing\\") + name + ".exe"));
    }
    Seed(memory.registry, stale);
    WriteSettings(memory.platform, memory.files, Ticks({1, 2, 3}));
    form = MakeMainWindow(memory.platform, prompt);
    ::SetForegroundWindow(form->Handle());
    PumpAsTheProgramDoes();
  }

  // What the program's message loop does with each message.
  void PumpAsTheProgramDoes() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (form->PreTranslateMessage(message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }

  // Keys as the keyboard hands them to the focused control: each a press and a release, with Alt
  // held for the first (a menu bar's access key) or Ctrl held for all (the accelerators). A key is
  // queued only when the thread has nothing else to do, as a keyboard's input comes after what was
  // posted (the characters TranslateMessage made of the key before it), and inside any modal loop
  // (a menu, the progress window, a dialog) that is running then.
  enum class Held { none, alt, control };
  void Press(std::initializer_list<WPARAM> keys, Held held = Held::none) {
    std::deque<WPARAM> pending(keys);
    bool first = true;
    ThreadTicker keyboard([&] {
      if (pending.empty() || ::GetQueueStatus(QS_ALLPOSTMESSAGE) != 0) return;
      HWND focus = ::GetFocus();
      if (!focus) {
        // Brought back as Focus() does; the key goes at a later tick.
        ::SetForegroundWindow(::GetLastActivePopup(form->Handle()));
        return;
      }
      HoldControl(held == Held::control);
      const bool alt = held == Held::alt && first;
      const LPARAM flags = alt ? (1 | (1 << 29)) : 1;
      ::PostMessageW(focus, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, pending.front(), flags);
      ::PostMessageW(focus, alt ? WM_SYSKEYUP : WM_KEYUP, pending.front(), flags | (1u << 30) | (1u << 31));
      pending.pop_front();
      first = false;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pending.empty() && std::chrono::steady_clock::now() < deadline) {
      PumpAsTheProgramDoes();
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    PumpAsTheProgramDoes();
    HoldControl(false);
    EXPECT_TRUE(pending.empty()) << "keys left over";
  }

  // The control that has the keyboard. Windows of tests running beside this one take the foreground
  // now and then; the window (or its dialog) is brought back first, as a user's click on its title
  // would, and hands the keyboard to the control that had it.
  HWND Focus() {
    if (!::GetFocus()) {
      ::SetForegroundWindow(::GetLastActivePopup(form->Handle()));
      PumpUntil([] { return ::GetFocus() != nullptr; }, std::chrono::seconds(5));
    }
    return ::GetFocus();
  }

  static void HoldControl(bool held) {
    BYTE state[256] = {};
    ::GetKeyboardState(state);
    state[VK_CONTROL] = held ? 0x80 : 0;
    ::SetKeyboardState(state);
  }

  void Type(const std::string& text) {
    for (const char c : text) ::PostMessageW(Focus(), WM_CHAR, static_cast<WPARAM>(c), 1);
    PumpAsTheProgramDoes();
  }

  std::vector<bool> RowTicks() const {
    std::vector<bool> states;
    for (std::size_t i = 0; i < form->Results().RowCount(); ++i) states.push_back(form->Results().IsChecked(i));
    return states;
  }

  MemoryPlatform memory;
  ScriptedPrompt prompt;
  std::unique_ptr<TfrmHivora> form;
};

TEST_F(KeyboardSession, ScanMoveTickRepairFindAndOptionsByKeysAlone) {
  HWND list = form->Results().Handle();
  EXPECT_EQ(Focus(), form->Tree().Handle()) << "the list is empty: the tree has the keyboard";
  Press({VK_TAB});
  EXPECT_NE(Focus(), form->Tree().Handle()) << "Tab moves on";
  EXPECT_TRUE(::IsChild(form->Handle(), Focus()));

  // Action > Scan registry issue.
  Press({'A', 'S'}, Held::alt);
  ASSERT_TRUE(form->WaitForScanWorker(20000));
  PumpUntil([&] { return form->Results().RowCount() == 3; });
  ASSERT_EQ(form->Results().RowCount(), 3u);
  EXPECT_EQ(Focus(), list) << "after a scan the rows have the keyboard";
  EXPECT_EQ(form->Results().SelectedIndex(), 0);
  EXPECT_EQ(TextOf(form->ReasonPane()), Worded(form->Results().Row(0).reason));

  // Down moves, Space unticks and ticks again.
  Press({VK_DOWN});
  EXPECT_EQ(form->Results().SelectedIndex(), 1);
  Press({VK_SPACE});
  EXPECT_EQ(RowTicks(), (std::vector<bool>{true, false, true}));
  Press({VK_DOWN, VK_SPACE, VK_SPACE, VK_SPACE});
  EXPECT_EQ(RowTicks(), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(PanelText(form->StatusBar(), 1), " 1 problems selected for repairing");

  // Ctrl+F finds a row by its key; Escape closes the box.
  Press({'F'}, Held::control);
  HWND box = FindThreadWindow("Find");
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(::IsChild(box, Focus())) << "the box takes the keyboard";
  Type("gamma");
  Press({VK_RETURN});
  EXPECT_EQ(form->Results().Row(static_cast<std::size_t>(form->Results().SelectedIndex())).registryKey,
            "HKEY_LOCAL_MACHINE\\Software\\TamriskKeys\\Gamma\\Path");
  Press({VK_ESCAPE});
  EXPECT_EQ(FindThreadWindow("Find"), nullptr);

  // Action > Repair registry issue: only the ticked row goes.
  Press({'A', 'R'}, Held::alt);
  EXPECT_EQ(form->Results().RowCount(), 2u);
  EXPECT_FALSE(memory.registry.GetValue(RootKey::LocalMachine, "Software\\TamriskKeys\\Alpha", "Path"));
  EXPECT_TRUE(memory.registry.GetValue(RootKey::LocalMachine, "Software\\TamriskKeys\\Beta", "Path"));

  // Edit > Options opens the options; Escape closes them, and the keyboard is back on the list.
  bool optionsSeen = false;
  DialogInitWatch watch([&](HWND dialog) { optionsSeen |= ::GetDlgItem(dialog, IDC_OPT_OUTPUTFOLDER) != nullptr; });
  Press({'E', 'P', VK_ESCAPE}, Held::alt);
  EXPECT_TRUE(optionsSeen);
  PumpAsTheProgramDoes();
  EXPECT_EQ(Focus(), list);
  EXPECT_TRUE(prompt.calls.empty()) << prompt.calls.front().text;
}

}  // namespace
}  // namespace tamrisk::test
