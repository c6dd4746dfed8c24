// TfrmOptions: the options dialog. Its "General" page holds the backup folder and the three
// switches, its "Ignore Lists" page the two ignore lists, its "Schedule" page the scheduled task. It
// works on copies in its controls; only OK writes them back into the options record, and only in
// memory, and registers a changed schedule with the Task Scheduler.
#pragma once

#include <memory>
#include <string>

#include "platform/System.h"
#include "platform/TaskScheduler.h"
#include "settings/RegGlobal.h"
#include "ui/common/ModalDialog.h"
#include "ui/dialogs/RegAddRegistry.h"
#include "ui/dialogs/SchedulePage.h"

namespace tamrisk {

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
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  bool OnNotify(const NMHDR& header) override;
  void FormCreate();
  // The area of a tab control's pages, in the dialog's client pixels.
  RECT PageArea(int tabs) const;
  // Each ignore list fills the inner tab control's page area.
  void FitListsToTheirPage();
  void FillLanguages();
  // The code of the language chosen in the list; empty for Windows' language.
  std::string ChosenLanguage() const;
  // The list the entry dialog edits for: the page in front.
  TfrmRegAddRegistry::List EntryList() const;
  HWND ListInFront() const;

  Platform platform_;
  TOptionsSetting& options_;
  std::unique_ptr<TaskScheduler> systemScheduler_;
  SchedulePage schedule_;
};

}  // namespace tamrisk
