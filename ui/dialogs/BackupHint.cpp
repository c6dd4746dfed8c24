#include "ui/dialogs/BackupHint.h"

#include <commctrl.h>

#include "ui/common/WindowText.h"
#include "ui/dialogs/BarSteps.h"
#include "ui/res/resource.h"

namespace tamrisk {
namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 500;
constexpr int kBarMaximum = 500;

}  // namespace

TfrmBackupHint::TfrmBackupHint(Prompt& prompt, Shell& shell) : ModalDialog(prompt, IDD_BACKUPHINT), shell_(shell) {}

int TfrmBackupHint::BackupBarStep(int position) {
  return StepOfStage(position, {{300, 10}, {400, 5}, {450, 3}, {490, 2}, {500, 1}});
}

bool TfrmBackupHint::OnInit() {
  FormCreate();
  return true;
}

// Escape or the close box (IDCANCEL, left to the base) ends the wait; the program runs on.
bool TfrmBackupHint::OnCommand(int id, int) {
  if (id != IDC_STOP) return false;
  bStopClick();
  return true;
}

void TfrmBackupHint::OnTimer(UINT_PTR id) {
  if (id == kTimer1) Timer1Timer();
}

bool TfrmBackupHint::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR&) {
  if (message == WM_DESTROY) ::KillTimer(Handle(), kTimer1);
  return false;
}

void TfrmBackupHint::FormCreate() {
  ::SendMessageW(Item(IDC_PROGRESS), PBM_SETRANGE32, 0, kBarMaximum);
  position_ = 0;
  ::SendMessageW(Item(IDC_PROGRESS), PBM_SETPOS, 0, 0);
  SetText(Handle(), kMessageCaption);
  SetItemText(IDC_HINT, HintText);
  CentreOnOwner();
  ::SetTimer(Handle(), kTimer1, kTimer1Interval, nullptr);
}

void TfrmBackupHint::Timer1Timer() {
  if (shell_.HasEnded(Process)) {
    EndModal(IDOK);
    return;
  }
  position_ += BackupBarStep(position_);
  ::SendMessageW(Item(IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void TfrmBackupHint::bStopClick() {
  shell_.Terminate(Process);
  EndModal(IDCANCEL);
}

}  // namespace tamrisk
