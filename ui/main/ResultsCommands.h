// The commands on the results list, in the Edit menu, the list's pop-up menu and the File menu:
// select all or none, all or none of the selected row's type, open the registry editor at the row,
// ignore its value or key, find a row, and save the results.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "platform/System.h"
#include "scan/ProblemRow.h"
#include "ui/common/Prompt.h"
#include "ui/main/FindBox.h"
#include "ui/main/ResultsListView.h"

namespace tamrisk {

inline constexpr char kRegeditKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";

class ResultsCommands {
 public:
  // countsChanged runs after each command that changes the rows or their check boxes, ignoreListsChanged
  // after an entry was added to an ignore list.
  ResultsCommands(const Platform& platform, Prompt& prompt, ResultsListView& results,
                  std::function<void()> countsChanged, std::function<void()> ignoreListsChanged);
  ResultsCommands(const ResultsCommands&) = delete;
  ResultsCommands& operator=(const ResultsCommands&) = delete;

  // The window that owns the boxes, the pop-up menu and the registry editor.
  void SetOwner(HWND owner) { owner_ = owner; }
  // What the last scan left out ("" for a whole scan); Save Results writes it under the rows.
  void SetScanNote(std::string note) { scanNote_ = std::move(note); }

  // Runs the command with this menu id; false when it is none of these. A disabled action does not
  // run, whatever sends its command.
  bool Run(int id);

  void aSelectAllExecute();
  void aSelectAllTypeExecute();
  void aSelectNoneExecute();
  void aSelectNoneTypeExecute();
  // Ticks the rows of the selected row's program and unticks every other row.
  void aTickProgramExecute();
  // Shows the rows under a heading per program, or back as one list.
  void aByProgramExecute();
  void aOpenRegeditExecute();
  void aIgnoreValueExecute();
  void aIgnoreKeyExecute();
  void miSaveResultsClick();
  // Opens the find box; "Find Next" repeats its last search, or opens it when there was none.
  void aFindExecute();
  void aFindNextExecute();
  bool aSelectAllTypeUpdate() const;
  // Offered when the selected row belongs to a program.
  bool aTickProgramUpdate() const;
  bool aOpenRegeditUpdate() const;
  // Offered when the selected row names a value (or a key) the ignore lists can hold.
  bool aIgnoreValueUpdate() const;
  bool aIgnoreKeyUpdate() const;

  // Enables and greys the actions' items of a menu by the selected row.
  void UpdateActionStates(HMENU menu) const;
  // The list's pop-up menu at a screen point, or beside the selected row for -1 (the keyboard).
  void ShowListMenu(LPARAM where);

  // The find box's registered message to the owner: runs the search it asks for. False for any
  // other message.
  bool HandleFindMessage(UINT message);
  // For the message loop: the open find box's keystrokes.
  bool TranslateFindBoxMessage(MSG& message) { return findBox_.TranslateDialogMessage(message); }

 private:
  std::optional<ProblemRow> SelectedRow() const;
  // The ignore-list entry for the selected row; nullopt when no row is selected or it has none.
  std::optional<std::string> SelectedValueEntry() const;
  std::optional<std::string> SelectedKeyEntry() const;
  void CheckRowsOfSelectedType(bool checked);
  void DropIgnoredRows();
  // Selects and shows the next row the query finds, or says that none does.
  void FindNext(const FindQuery& query);

  const Platform& platform_;
  Prompt& prompt_;
  ResultsListView& results_;
  std::function<void()> countsChanged_;
  std::function<void()> ignoreListsChanged_;
  HWND owner_ = nullptr;
  std::string scanNote_;
  FindBox findBox_;
};

}  // namespace tamrisk
