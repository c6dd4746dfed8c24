// The category tree of the main window: the toggle rules of a press on a state icon, what does not
// toggle, and the ticks restored from and saved to the settings file.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

constexpr int kRoot = 1, kFiles = 2, kLocalMachine = 3, kCurrentUser = 4, kUsers = 5, kSoftware = 6, kFonts = 7;
constexpr int U = 1, C = 2;  // unchecked, checked

std::string UncheckedSettings() {
  std::string text = "[TreeViewNodeCheck]\r\n";
  for (int code = 1; code <= TNodeChecks::Last; ++code) text += std::to_string(code) + "=0\r\n";
  return text;
}

class MainWindowTree : public ::testing::Test {
 protected:
  void SetUp() override { memory.files.AddFolder(memory.system.ExecutableFolder()); }

  std::unique_ptr<TfrmHivora> Open(const std::string& settings) {
    if (!settings.empty()) WriteSettings(memory.platform, memory.files, settings);
    return MakeMainWindow(memory.platform, prompt);
  }

  // A press at the middle of a node's state icon, or of its caption.
  static POINT PointOf(TfrmHivora& form, int code, bool onStateIcon) {
    HTREEITEM node = form.Tree().NodeOf(CategoryCode{code});
    ::SendMessageW(form.Tree().Handle(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(node));
    // Wine's tree scrolls sideways to a caption's start, past its state icon.
    ::SendMessageW(form.Tree().Handle(), WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0);
    // TVM_GETITEMRECT takes the item's handle in the rectangle it fills.
    RECT label{};
    std::memcpy(&label, &node, sizeof node);
    ::SendMessageW(form.Tree().Handle(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&label));
    POINT at{onStateIcon ? label.left - 8 : (label.left + label.right) / 2, (label.top + label.bottom) / 2};
    TVHITTESTINFO hit{};
    hit.pt = at;
    ::SendMessageW(form.Tree().Handle(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    EXPECT_EQ(hit.hItem, node);
    EXPECT_EQ((hit.flags & TVHT_ONITEMSTATEICON) != 0, onStateIcon);
    return at;
  }

  static void Press(TfrmHivora& form, int code, UINT button = WM_LBUTTONDOWN, bool onStateIcon = true) {
    const POINT at = PointOf(form, code, onStateIcon);
    const UINT up = button == WM_RBUTTONDOWN ? WM_RBUTTONUP : button == WM_MBUTTONDOWN ? WM_MBUTTONUP : WM_LBUTTONUP;
    // The release is queued first, so a control that waits for it after the press finds it at once.
    ::PostMessageW(form.Tree().Handle(), up, 0, MAKELPARAM(at.x, at.y));
    ::SendMessageW(form.Tree().Handle(), button, button == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON,
                   MAKELPARAM(at.x, at.y));
    PumpMessages();
    // Close a pop-up the right button may have opened.
    ::SendMessageW(form.Handle(), WM_CANCELMODE, 0, 0);
  }

  static std::vector<int> Expect(std::initializer_list<std::pair<int, int>> states, int others) {
    std::vector<int> expected(TNodeChecks::Last, others);
    for (const auto& [code, state] : states) expected[static_cast<std::size_t>(code - 1)] = state;
    return expected;
  }

  MemoryPlatform memory;
  ScriptedPrompt prompt;
};

TEST_F(MainWindowTree, PressesOnStateIconsFollowTheGroupRules) {
  struct Step {
    const char* what;
    int code;
    UINT button;
    std::vector<int> expected;
  };
  const std::vector<Step> steps = {
      {"a member of Files and Folders checks its group and the root", kCurrentUser, WM_LBUTTONDOWN,
       Expect({{kRoot, C}, {kFiles, C}, {kCurrentUser, C}}, U)},
      {"a second member keeps them checked", kUsers, WM_RBUTTONDOWN,
       Expect({{kRoot, C}, {kFiles, C}, {kCurrentUser, C}, {kUsers, C}}, U)},
      {"a category outside the group", kFonts, WM_MBUTTONDOWN,
       Expect({{kRoot, C}, {kFiles, C}, {kCurrentUser, C}, {kUsers, C}, {kFonts, C}}, U)},
      {"unchecking one of two members leaves the group checked", kUsers, WM_LBUTTONDOWN,
       Expect({{kRoot, C}, {kFiles, C}, {kCurrentUser, C}, {kFonts, C}}, U)},
      {"the last member unchecks its group; the root stays for Windows Fonts", kCurrentUser, WM_LBUTTONDOWN,
       Expect({{kRoot, C}, {kFonts, C}}, U)},
      {"the last category unchecks the root", kFonts, WM_LBUTTONDOWN, Expect({}, U)},
      {"a group node passes its state to its members", kFiles, WM_LBUTTONDOWN,
       Expect({{kRoot, C}, {kFiles, C}, {kLocalMachine, C}, {kCurrentUser, C}, {kUsers, C}}, U)},
      {"and takes it back from all of them", kFiles, WM_RBUTTONDOWN, Expect({}, U)},
      {"the root checks every node", kRoot, WM_LBUTTONDOWN, Expect({}, C)},
      {"a category under a fully checked root", kSoftware, WM_LBUTTONDOWN, Expect({{kSoftware, U}}, C)},
      {"the root unchecks every node", kRoot, WM_LBUTTONDOWN, Expect({}, U)},
  };
  auto form = Open(UncheckedSettings());
  ASSERT_EQ(TreeStates(*form), Expect({}, U));
  for (const Step& step : steps) {
    Press(*form, step.code, step.button);
    EXPECT_EQ(TreeStates(*form), step.expected) << step.what;
  }
}

TEST_F(MainWindowTree, CaptionsKeysAndCollapsesChangeNothing) {
  auto form = Open(UncheckedSettings());
  HWND tree = form->Tree().Handle();
  Press(*form, kFiles, WM_LBUTTONDOWN, /*onStateIcon=*/false);
  Press(*form, kSoftware, WM_RBUTTONDOWN, /*onStateIcon=*/false);
  EXPECT_EQ(TreeStates(*form), Expect({}, U)) << "a press on a caption";

  ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(form->Tree().NodeOf(CategoryCode::FilesAndFolders)));
  for (WPARAM key : {WPARAM{VK_SPACE}, WPARAM{VK_RETURN}, WPARAM{VK_LEFT}, WPARAM{VK_SUBTRACT}}) {
    ::SendMessageW(tree, WM_KEYDOWN, key, 0);
    ::SendMessageW(tree, WM_CHAR, key == VK_SPACE ? ' ' : 0, 0);
    ::SendMessageW(tree, WM_KEYUP, key, 0);
  }
  const POINT caption = PointOf(*form, kFiles, false);
  ::SendMessageW(tree, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(caption.x, caption.y));
  PumpMessages();
  EXPECT_EQ(TreeStates(*form), Expect({}, U)) << "keys and a double click on a caption";
  for (int code : {kRoot, kFiles}) {
    const auto state = ::SendMessageW(tree, TVM_GETITEMSTATE,
                                      reinterpret_cast<WPARAM>(form->Tree().NodeOf(CategoryCode{code})), TVIS_EXPANDED);
    EXPECT_TRUE(state & TVIS_EXPANDED) << "node " << code << " collapsed";
  }
}

TEST_F(MainWindowTree, StoredTicksAreRestoredAsTheyStandAndSavedOnClose) {
  // Group flags that disagree with their members are shown as stored.
  auto form = Open(
      "[TreeViewNodeCheck]\r\n1=0\r\n2=1\r\n3=0\r\n4=0\r\n5=0\r\n6=1\r\n7=0\r\n8=abc\r\n9=0x0\r\n"
      "10=0\r\n11=0\r\n12=0\r\n13=0\r\n14=0\r\n15=0\r\n16=0\r\n17=0\r\n18=0\r\n19=0\r\n20=0\r\n"
      "21=0\r\n");
  // Codes 22 and up are missing from the file: ticked.
  EXPECT_EQ(
      TreeStates(*form),
      Expect({{kRoot, U}, {kFiles, C}, {kSoftware, C}, {8, C}, {22, C}, {23, C}, {24, C}, {25, C}, {26, C}, {27, C}},
             U));

  Press(*form, kSoftware);
  ::SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  ASSERT_EQ(form->Handle(), nullptr);
  const std::string file = memory.system.ExecutableFolder() + "options.ini";
  std::string stored;
  for (int code = 1; code <= TNodeChecks::Last; ++code) {
    stored += memory.ini.ReadString(file, "TreeViewNodeCheck", std::to_string(code), "?");
  }
  // The press on Software Locations left the root checked (Help Files, Applications and the categories
  // the file did not name still are).
  EXPECT_EQ(stored, "110000010000000000000111111");
  EXPECT_EQ(memory.ini.ReadString(file, "Window", "Width", ""), "684");
  EXPECT_TRUE(prompt.calls.empty());
}

}  // namespace
}  // namespace tamrisk::test
