// What the options dialog tests share: a script that acts on the thread's dialogs from inside their
// modal loops, acting on controls as the user does, and the fixture with its starting options.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "ui/common/WindowText.h"
#include "ui/dialogs/Options.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {

constexpr char kOptionsCaption[] = "Options";
constexpr char kEntryCaption[] = "Add to Ignore List";

// Steps that act on the thread's dialogs from inside their modal loops, in order: each step waits
// until a window with its caption is up. A step whose window never comes, or a dialog still open
// after the last step, ends the dialogs in time, so a fault fails the test instead of hanging it.
class DialogScript {
 public:
  using Action = std::function<void(HWND)>;

  DialogScript& Then(const char* caption, Action action) {
    steps_.push_back({caption, std::move(action)});
    return *this;
  }

  // Shows a dialog with the steps acting on it and the dialogs it opens; the dialog's result.
  INT_PTR Run(const std::function<INT_PTR()>& show) {
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    ThreadTicker ticker([this] { Tick(); });
    const INT_PTR result = show();
    EXPECT_EQ(next_, steps_.size()) << "steps left when the dialog ended";
    EXPECT_FALSE(timedOut_) << "a step's window did not come up, or a dialog did not close";
    return result;
  }

 private:
  struct Step {
    const char* caption;
    Action action;
  };

  void Tick() {
    if (std::chrono::steady_clock::now() > deadline_) {
      for (const char* caption : {kEntryCaption, kOptionsCaption}) {
        if (HWND stuck = FindThreadWindow(caption)) {
          timedOut_ = true;
          ::EndDialog(stuck, -2);
        }
      }
      return;
    }
    if (next_ >= steps_.size()) return;
    HWND window = FindThreadWindow(steps_[next_].caption);
    if (!window || !::IsWindowVisible(window) || !::IsWindowEnabled(window)) return;
    // Counted before it acts: a step that opens a dialog lets the next steps run inside it.
    Step& step = steps_[next_++];
    step.action(window);
  }

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  bool timedOut_ = false;
};

// ---- Acting on controls as the user does ----

inline void Click(HWND dialog, int id) { ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Clicks a tab, so the tab control itself tells the dialog of the change.
inline void ClickTab(HWND dialog, int tabsId, int index) {
  HWND tabs = ::GetDlgItem(dialog, tabsId);
  RECT tab{};
  ::SendMessageW(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&tab));
  const LPARAM at = MAKELPARAM((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
  ::SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageW(tabs, WM_LBUTTONUP, 0, at);
}

inline void Type(HWND dialog, int id, const std::string& text) { SetText(::GetDlgItem(dialog, id), text); }

inline std::string TextOf(HWND dialog, int id) { return tamrisk::TextOf(::GetDlgItem(dialog, id)); }

inline bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != 0; }
inline bool Shown(HWND dialog, int id) { return ::IsWindowVisible(::GetDlgItem(dialog, id)) != 0; }
inline bool Ticked(HWND dialog, int id) { return IsButtonChecked(::GetDlgItem(dialog, id)); }
inline int TabInFront(HWND dialog, int id) {
  return static_cast<int>(::SendMessageW(::GetDlgItem(dialog, id), TCM_GETCURSEL, 0, 0));
}

inline void SetRowState(HWND dialog, int listId, int row, UINT state, UINT mask) {
  LVITEMW item{};
  item.state = state;
  item.stateMask = mask;
  ::SendMessageW(::GetDlgItem(dialog, listId), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

// As a click on the row's check box does.
inline void TickRow(HWND dialog, int listId, int row) {
  SetRowState(dialog, listId, row, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);
}

inline void SelectRow(HWND dialog, int listId, int row) {
  SetRowState(dialog, listId, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

struct ListRow {
  std::string text;
  bool ticked = false;
  friend bool operator==(const ListRow&, const ListRow&) = default;
};

inline std::vector<ListRow> RowsOf(HWND dialog, int listId) {
  HWND list = ::GetDlgItem(dialog, listId);
  std::vector<ListRow> rows;
  const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const auto state =
        static_cast<UINT>(::SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK));
    rows.push_back({ListItemText(list, i), state == INDEXTOSTATEIMAGEMASK(2)});
  }
  return rows;
}

inline std::vector<ListRow> Unticked(const std::vector<std::string>& texts) {
  std::vector<ListRow> rows;
  for (const std::string& text : texts) rows.push_back({text, false});
  return rows;
}

inline int ColumnWidth(HWND dialog, int listId) {
  return static_cast<int>(::SendMessageW(::GetDlgItem(dialog, listId), LVM_GETCOLUMNWIDTH, 0, 0));
}

inline SIZE ClientSize(HWND window) {
  RECT client{};
  ::GetClientRect(window, &client);
  return {client.right, client.bottom};
}

inline TOptionsSetting StartingOptions() {
  TOptionsSetting options;
  options.OutputDirectory = "C:\\Backup";
  options.DeleteBackupFile = true;
  options.IncludeRemoveMedia = false;
  options.IncludeCDdrive = true;
  options.TreeViewNodeCheck.Fill(true);
  options.IgnoreValues = {"HKEY_LOCAL_MACHINE\\Software\\A\\Run\\One", "HKEY_CURRENT_USER\\Software\\B\\@",
                          "HKEY_USERS\\.DEFAULT\\Software\\C\\Three"};
  options.IgnoreValueCount = 3;
  // The count decides: the third key lies past it and is nobody's entry.
  options.IgnoreKeys = {"HKEY_LOCAL_MACHINE\\Software\\Old", "Software\\Vendor", "HKEY_CLASSES_ROOT\\Stale"};
  options.IgnoreKeyCount = 2;
  return options;
}

class OptionsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    InitControls();
    memory.files.AddFolder("C:\\Backup");
    memory.files.AddFolder("C:\\Other");
    options = StartingOptions();
  }

  // Opens the dialog with the script acting on it; the dialog's result.
  INT_PTR Open(DialogScript& script) {
    TfrmOptions dialog(prompt, memory.platform, options);
    return script.Run([&] { return dialog.ShowModal(owner.get()); });
  }

  MemoryPlatform memory;
  ScriptedPrompt prompt;
  HiddenOwner owner;
  TOptionsSetting options;
};

}  // namespace tamrisk::test
