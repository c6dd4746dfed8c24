// Where the main window opens from the stored bounds, including bounds that no monitor shows any
// more, and what its close stores: its bounds, the splitter and the column widths, all at 96 DPI.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

class MainWindowPlacement : public ::testing::Test {
 protected:
  void SetUp() override { memory.files.AddFolder(memory.system.ExecutableFolder()); }

  std::string Stored(const std::string& key) {
    return memory.ini.ReadString(memory.system.ExecutableFolder() + "options.ini", "Window", key, "");
  }

  MemoryPlatform memory;
  ScriptedPrompt prompt;
};

TEST_F(MainWindowPlacement, OpensAtTheStoredBoundsOrCentredWhenNoneCanBeSeen) {
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN), screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  struct Case {
    const char* what;
    std::string window;
    RECT expected;
  };
  const std::vector<Case> cases = {
      {"nothing stored",
       "",
       {(screenWidth - 684) / 2, (screenHeight - 520) / 2, (screenWidth - 684) / 2 + 684,
        (screenHeight - 520) / 2 + 520}},
      {"stored", "State=1\r\nLeft=10\r\nTop=20\r\nWidth=700\r\nHeight=500\r\n", {10, 20, 710, 520}},
      {"partly off screen, as stored", "Left=-100\r\nTop=50\r\nWidth=700\r\nHeight=500\r\n", {-100, 50, 600, 550}},
      {"size alone centres the designed size",
       "Width=700\r\nHeight=500\r\n",
       {(screenWidth - 684) / 2, (screenHeight - 520) / 2, (screenWidth - 684) / 2 + 700,
        (screenHeight - 520) / 2 + 500}},
      {"wholly off every monitor",
       "State=2\r\nLeft=-32000\r\nTop=-32000\r\nWidth=700\r\nHeight=500\r\n",
       {(screenWidth - 700) / 2, (screenHeight - 500) / 2, (screenWidth - 700) / 2 + 700,
        (screenHeight - 500) / 2 + 500}},
  };
  for (const Case& c : cases) {
    WriteSettings(memory.platform, memory.files, c.window.empty() ? "" : "[Window]\r\n" + c.window);
    auto form = MakeMainWindow(memory.platform, prompt);
    RECT frame{};
    ::GetWindowRect(form->Handle(), &frame);
    EXPECT_EQ(frame.left, c.expected.left) << c.what;
    EXPECT_EQ(frame.top, c.expected.top) << c.what;
    EXPECT_EQ(frame.right, c.expected.right) << c.what;
    EXPECT_EQ(frame.bottom, c.expected.bottom) << c.what;
    EXPECT_FALSE(::IsZoomed(form->Handle())) << c.what;
  }
}

// Counts the SC_MAXIMIZE commands this thread's windows take from their queue.
class MaximizeWatch {
 public:
  MaximizeWatch() : hook_(::SetWindowsHookExW(WH_GETMESSAGE, Record, nullptr, ::GetCurrentThreadId())) { Count() = 0; }
  ~MaximizeWatch() { ::UnhookWindowsHookEx(hook_); }
  static int& Count() {
    static int count = 0;
    return count;
  }

 private:
  static LRESULT CALLBACK Record(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_SYSCOMMAND &&
        (message->wParam & 0xFFF0) == SC_MAXIMIZE) {
      ++Count();
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }
  HHOOK hook_;
};

TEST_F(MainWindowPlacement, MaximizedStateAsksForMaximizingOnceShownAndIsStored) {
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN), screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  for (const char* state : {"1", "3"}) {
    WriteSettings(memory.platform, memory.files,
                  std::string("[Window]\r\nState=") + state + "\r\nLeft=-32000\r\nTop=5\r\n");
    MaximizeWatch watch;
    auto form = MakeMainWindow(memory.platform, prompt);
    PumpMessages();
    const bool maximized = std::string(state) == "3";
    EXPECT_EQ(MaximizeWatch::Count(), maximized ? 1 : 0) << "State " << state;
    if (!maximized) continue;
    // The stored bounds stay unread: the designed size, centred, is what the window returns to.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    ::GetWindowPlacement(form->Handle(), &placement);
    EXPECT_EQ(placement.rcNormalPosition.left, (screenWidth - 684) / 2);
    EXPECT_EQ(placement.rcNormalPosition.top, (screenHeight - 520) / 2);
    EXPECT_EQ(placement.rcNormalPosition.right - placement.rcNormalPosition.left, 684);

    ::ShowWindow(form->Handle(), SW_MAXIMIZE);
    ::SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(Stored("State"), "3");
  }
}

TEST_F(MainWindowPlacement, CloseStoresTheBoundsAndTheMinimisedWindowsRestoredBounds) {
  WriteSettings(memory.platform, memory.files, "[Window]\r\nLeft=40\r\nTop=30\r\nWidth=690\r\nHeight=510\r\n");
  auto form = MakeMainWindow(memory.platform, prompt);
  ::MoveWindow(form->Handle(), 50, 60, 700, 530, TRUE);
  ::ShowWindow(form->Handle(), SW_MINIMIZE);
  PumpMessages();
  ::SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(Stored("State"), "2");
  EXPECT_EQ(Stored("Left") + "," + Stored("Top") + "," + Stored("Width") + "," + Stored("Height"), "50,60,700,530");
  EXPECT_TRUE(prompt.calls.empty());
}

TEST_F(MainWindowPlacement, TheSplitterAndTheColumnWidthsAreStoredAndComeBack) {
  WriteSettings(memory.platform, memory.files, "");
  const auto placeOf = [](HWND child) {
    RECT box{};
    ::GetWindowRect(child, &box);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&box), 2);
    return box;
  };
  auto form = MakeMainWindow(memory.platform, prompt);
  const RECT tree = placeOf(form->Tree().Handle());
  EXPECT_EQ(tree.right - tree.left, 183) << "the designed width when nothing is stored";
  // The Value column as the fitted Problem column left it.
  const int valueWidth = form->Results().ColumnWidth(ResultsListView::colValue);
  // Room for every column: in a narrow list the Program column gives way to the key.
  ::MoveWindow(form->Handle(), 0, 0, 1200, 520, TRUE);

  // A drag of the splitter, 100 pixels to the right; then the Problem column made wider.
  const int y = (tree.top + tree.bottom) / 2;
  ::SendMessageW(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(tree.right + 2, y));
  ::SendMessageW(form->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(tree.right + 102, y));
  ::SendMessageW(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(tree.right + 102, y));
  const auto expectShared = [&](TfrmHivora& window, const char* when) {
    const RECT dragged = placeOf(window.Tree().Handle()), list = placeOf(window.Results().Handle());
    EXPECT_EQ(dragged.right - dragged.left, 283) << when;
    EXPECT_EQ(list.left, dragged.right + 5) << when;
  };
  expectShared(*form, "after the drag");
  form->Results().SetColumnWidth(ResultsListView::colProblem, 140);
  form->Results().SetColumnWidth(ResultsListView::colProgram, 90);
  ::SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(
      Stored("TreeWidth") + "," + Stored("ProblemWidth") + "," + Stored("ValueWidth") + "," + Stored("ProgramWidth"),
      "283,140," + std::to_string(valueWidth) + ",90");

  auto again = MakeMainWindow(memory.platform, prompt);
  expectShared(*again, "opened again");
  EXPECT_EQ(again->Results().ColumnWidth(ResultsListView::colProblem), 140);
  EXPECT_EQ(again->Results().ColumnWidth(ResultsListView::colValue), valueWidth);
  EXPECT_EQ(again->Results().ColumnWidth(ResultsListView::colProgram), 90);

  // However far it is dragged, the list keeps its least width and the tree its designed one.
  for (const int to : {-500, 5000}) {
    ::SendMessageW(again->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(tree.right + 102, y));
    ::SendMessageW(again->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to, y));
    ::SendMessageW(again->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(to, y));
    RECT client{};
    ::GetClientRect(again->Handle(), &client);
    const RECT dragged = placeOf(again->Tree().Handle()), list = placeOf(again->Results().Handle());
    EXPECT_GE(dragged.right - dragged.left, 183) << to;
    EXPECT_GE(list.right - list.left, 300) << to;
    ::SendMessageW(again->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(dragged.right + 2, y));
    ::SendMessageW(again->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(tree.right + 102, y));
    ::SendMessageW(again->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(tree.right + 102, y));
  }
}

// The place is kept at 96 DPI like the splitter and the columns: saved at 96 and opened at 144 the
// window is as large on the screen, and every column as readable, as it was. A move to a monitor of
// another scale (WM_DPICHANGED) sizes it all again at that scale.
TEST_F(MainWindowPlacement, APlaceSavedAt96DpiOpensAt144WithEveryColumnReadable) {
  WriteSettings(memory.platform, memory.files, "");
  const auto widths = [](TfrmHivora& form) {
    std::vector<int> columns;
    for (const auto column : {ResultsListView::colProblem, ResultsListView::colRegistryKey, ResultsListView::colValue,
                              ResultsListView::colProgram}) {
      columns.push_back(form.Results().ColumnWidth(column));
    }
    return columns;
  };
  const auto frameOf = [](HWND window) {
    RECT frame{};
    ::GetWindowRect(window, &frame);
    return frame;
  };
  std::vector<int> at96;
  {
    const DpiOverride scale(96);
    auto form = MakeMainWindow(memory.platform, prompt);
    ::MoveWindow(form->Handle(), 40, 30, 700, 500, TRUE);
    at96 = widths(*form);
    ::SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  }
  EXPECT_EQ(Stored("Left") + "," + Stored("Top") + "," + Stored("Width") + "," + Stored("Height"), "40,30,700,500");

  const DpiOverride scale(144);
  auto form = MakeMainWindow(memory.platform, prompt);
  const RECT frame = frameOf(form->Handle());
  EXPECT_EQ(frame.left, 60);
  EXPECT_EQ(frame.right - frame.left, 1050);
  EXPECT_EQ(frame.bottom - frame.top, 750);
  const std::vector<int> at144 = widths(*form);
  for (std::size_t column = 0; column < at96.size(); ++column) {
    EXPECT_GE(at144[column], Scaled(at96[column], 144) - 4) << "column " << column;
  }
  const std::string key = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  EXPECT_EQ(form->Results().KeyAsShown(key).rfind("HKEY_LOCAL_MACHINE\\", 0), 0u) << form->Results().KeyAsShown(key);

  // Moved to a 96 DPI monitor: the size the system suggests, and the columns back at their widths.
  const DpiOverride moved(96);
  RECT suggested{frame.left, frame.top, frame.left + 700, frame.top + 500};
  ::SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  const RECT after = frameOf(form->Handle());
  EXPECT_EQ(after.right - after.left, 700);
  EXPECT_EQ(after.bottom - after.top, 500);
  EXPECT_EQ(widths(*form), at96);
}
}  // namespace
}  // namespace tamrisk::test
