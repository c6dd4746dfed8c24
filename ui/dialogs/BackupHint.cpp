#include "ui/dialogs/BackupHint.h"

#include <commctrl.h>

#include "ui/main/WindowText.h"
#include "ui/res/resource.h"

namespace tamrisk {
namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 500;
constexpr int kBarMaximum = 500;

}  // namespace

TfrmBackupHint::TfrmBackupHint(Prompt& prompt, Shell& shell) : ModalDialog(prompt, IDD_BACKUPHINT), shell_(shell) {}

int TfrmBackupHint::BackupBarStep(int position) {
  if (position <= 300) return 10;
  if (position <= 400) return 5;
  if (position <= 450) return 3;
  if (position <= 490) return 2;
  if (position <= 500) return 1;
  return 0;
}

bool TfrmBackupHint::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
  switch (message) {
    case WM_INITDIALOG:
      FormCreate();
      result = TRUE;
      return true;
    case WM_TIMER:
      if (wParam == kTimer1) Timer1Timer();
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_STOP) {
        bStopClick();
      } else if (LOWORD(wParam) == IDCANCEL) {
        // Escape or the close box: the wait ends, the program runs on.
        EndModal(IDCANCEL);
      }
      return true;
    case WM_CLOSE:
      EndModal(IDCANCEL);
      return true;
    case WM_DESTROY:
      ::KillTimer(Handle(), kTimer1);
      return false;
    default:
      return false;
  }
}

void TfrmBackupHint::FormCreate() {
  SetClientSize(362, 132);
  PlaceItem(IDC_HINT, 20, 20, 322, 16);
  PlaceItem(IDC_PROGRESS, 20, 48, 322, 18);
  PlaceItem(IDC_STOP, 267, 88, 75, 25);
  ::SendMessageW(Item(IDC_PROGRESS), PBM_SETRANGE32, 0, kBarMaximum);
  position_ = 0;
  ::SendMessageW(Item(IDC_PROGRESS), PBM_SETPOS, 0, 0);
  SetText(Handle(), kMessageCaption);
  SetText(Item(IDC_HINT), HintText);
  CentreOn(::GetWindow(Handle(), GW_OWNER));
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
