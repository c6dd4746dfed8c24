// TfrmRegProgressHint: the modal "Scanning" window. It starts the scan worker when it is made, so
// the scan runs while the main window readies its list and the window comes up, shows its caption, current key,
// progress and the number of problems found so far, hands the rows it finds to its host (the main window), and closes
// when the worker says the scan is over or when the user stops it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scan/ScanTask.h"
#include "ui/common/ModalDialog.h"
#include "ui/dialogs/ProgressSink.h"
#include "ui/dialogs/ScanHost.h"
#include "ui/dialogs/ShownRowCount.h"

namespace tamrisk {

class TfrmRegProgressHint final : public ModalDialog {
 public:
  // Starts the scan; a scan that cannot start throws from here, to the main window's command.
  TfrmRegProgressHint(ScanHost& owner, const std::vector<CategoryCode>& codes);
  ~TfrmRegProgressHint() override;
  // Runs the window modally over the main window until the scan ends or is stopped.
  INT_PTR ShowModal();

  // The timer's step for a bar position: shrinking steps, none from 999 on.
  static int ScanBarStep(int position);
  // Where the bar stands (0 to 1000) with the first settled of codes done and the category after
  // them at inCategory (0 to 1000) of its own way: each category takes its weight's part of the bar.
  static int BarPosition(const std::vector<CategoryCode>& codes, std::size_t settled, int inCategory);

  int Position() const { return position_; }
  // How many of the codes, from the first, were scanned to their end (or ended by a failure) before
  // the window closed; all of them unless the scan was stopped.
  std::size_t SettledCount() const { return settled_; }
  // How many of the codes the worker began; one more than settled while it was in a category.
  std::size_t StartedCount() const { return started_; }
  bool Stopped() const { return stopped_; }
  // What the list will show of the rows handed to the host so far, as the window shows it.
  std::size_t FoundCount() const { return found_.Count(); }
  void Timer1Timer();
  void bStopClick();

 private:
  bool OnInit() override;
  // The worker's end-of-scan notice, or the close box.
  void OnClose() override;
  bool OnCommand(int id, int code) override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void FormShow();
  // The worker's category steps since the last look, on the bar.
  void ShowSteps();
  // started_ and settled_ as the worker has them now.
  void TakeSteps();
  // Shows the latest caption and key and appends the rows found since the last take.
  void TakeScanData();
  void SetPosition(int position);
  void ShowFoundCount();
  // The engine's English caption of a category as the window's language says it.
  static std::string ShownCaption(const ProgressSink::Caption& caption);
  // Takes every row the worker handed over so far, then closes the window with result.
  void EndScan(INT_PTR result);

  ScanHost& owner_;
  std::vector<CategoryCode> codes_;
  std::shared_ptr<ProgressSink> sink_;
  std::shared_ptr<TScanTaskThread> worker_;
  int position_ = 0;
  // How far the timer moved the bar through the category being scanned, 0 to 1000.
  int inCategory_ = 0;
  ShownRowCount found_;
  // The worker's category steps as last taken: each start begins the next code, each finish (or
  // failure) settles it.
  std::size_t started_ = 0;
  std::size_t settled_ = 0;
  bool stopped_ = false;
};

}  // namespace tamrisk
