// TfrmBackupHint: the modal window that waits for a program started by RunCommandWithHint. It
// polls the process on its timer, moves its bar meanwhile, and offers Stop.
#pragma once

#include <string>

#include "platform/System.h"
#include "ui/common/ModalDialog.h"

namespace tamrisk {

class TfrmBackupHint final : public ModalDialog {
 public:
  TfrmBackupHint(Prompt& prompt, Shell& shell);

  // Filled by the caller before ShowModal. The window never closes the process's handles.
  ProcessInfo Process;
  std::string HintText;

  // The modal result: IDOK when the program ended by itself, IDCANCEL when it was stopped or the
  // window was closed.

  // The timer's step for a bar position: shrinking steps, none above 500.
  static int BackupBarStep(int position);

  void Timer1Timer();
  void bStopClick();
  // The bar's position as the timer counts it; it may pass the bar's range by one.
  int Position() const { return position_; }

 private:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void FormCreate();

  Shell& shell_;
  int position_ = 0;
};

}  // namespace tamrisk
