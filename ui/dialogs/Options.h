// TfrmOptions: the options dialog. Its "General" page holds the backup folder and the three
// switches, its "Ignore Lists" page the two ignore lists, its "Schedule" page the scheduled task. It
// works on copies in its controls; only OK writes them back into the options record, and only in
// memory, and registers a changed schedule with the Task Scheduler.
//
// Also here: the ignore-list entries that the results list's "Ignore this value" and "Ignore this
// key" add for a row.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/System.h"
#include "platform/TaskScheduler.h"
#include "scan/ProblemRow.h"
#include "settings/RegGlobal.h"
#include "ui/dialogs/ModalDialog.h"
#include "ui/dialogs/SchedulePage.h"

namespace tamrisk {

// The value entry that covers exactly this row: its key path + "\" + value name, "@" for a default
// value. nullopt for rows that name a whole key and for rows the ignore lists never cover.
std::optional<std::string> IgnoreValueEntryOf(const ProblemRow& row);
// The key entry for the key the row names or whose value it names: that key's full path. nullopt for
// rows the ignore lists never cover.
std::optional<std::string> IgnoreKeyEntryOf(const ProblemRow& row);

// Append an entry after the counted ones and keep the count in step. An entry already counted
// (letter case aside, as the filter compares) is not added twice.
void AddIgnoreValue(TOptionsSetting& options, const std::string& entry);
void AddIgnoreKey(TOptionsSetting& options, const std::string& entry);

class TfrmOptions final : public ModalDialog {
 public:
  // Without a scheduler the dialog uses the system's Task Scheduler.
  TfrmOptions(Prompt& prompt, const Platform& platform, TOptionsSetting& options = OptionsSetting,
              TaskScheduler* scheduler = nullptr);

  // Page indexes of suiPageControl1 and suiPageControl2.
  enum Page { pgGeneral = 0, pgIgnoreLists = 1, pgSchedule = 2 };
  enum ListPage { pgValues = 0, pgKeys = 1 };

  void FormShow();
  void bBrowseClick();
  void bOKClick();
  void bAddClick();
  void bEditClick();
  void bRemoveClick();
  // Edit needs a selected row in the list in front.
  bool bEditUpdate();

  // Brings a page to the front, as a click on its tab does.
  void ShowPage(Page page);
  void ShowListPage(ListPage page);
  Page PageInFront() const;
  ListPage ListPageInFront() const;

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  bool OnCommand(int id, int code);
  bool OnNotify(const NMHDR& header);
  void FormCreate();
  void PlaceControls();
  HWND ListInFront() const;
  bool IsTicked(int id) const;
  void SetTicked(int id, bool ticked);

  Platform platform_;
  TOptionsSetting& options_;
  std::unique_ptr<TaskScheduler> systemScheduler_;
  SchedulePage schedule_;
};

}  // namespace tamrisk
