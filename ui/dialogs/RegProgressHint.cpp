#include "ui/dialogs/RegProgressHint.h"

#include <commctrl.h>

#include "settings/RegGlobal.h"
#include "ui/main/RegMain.h"
#include "ui/main/WindowText.h"
#include "ui/res/resource.h"

namespace tamrisk {
namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 500;
// The pace at which the worker's rows, caption and key reach the window, however fast it walks.
constexpr UINT_PTR kDisplayTimer = 2;
constexpr UINT kDisplayInterval = 250;

constexpr int kBarMaximum = 1000;

}  // namespace

TfrmRegProgressHint::TfrmRegProgressHint(TfrmHivora& owner, const std::vector<std::string>& codes)
    : ModalDialog(owner.Prompts(), IDD_REGPROGRESSHINT), owner_(owner), codes_(codes) {}

TfrmRegProgressHint::~TfrmRegProgressHint() {
  if (sink_) sink_->Close();
  if (worker_ && !worker_->Ended()) worker_->RequestStop();
}

INT_PTR TfrmRegProgressHint::ShowModal() {
  const INT_PTR result = ModalDialog::ShowModal(owner_.Handle());
  if (failure_) std::rethrow_exception(failure_);
  return result;
}

int TfrmRegProgressHint::ScanBarStep(int position) {
  if (position <= 200) return 10;
  if (position <= 400) return 5;
  if (position <= 700) return 3;
  if (position <= 800) return 2;
  if (position <= 998) return 1;
  return 0;
}

bool TfrmRegProgressHint::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_INITDIALOG:
      FormShow();
      result = TRUE;
      return true;
    case WM_WINDOWPOSCHANGING:
      // An unattended run never shows this window, not even when the modal loop first goes idle.
      if (hidden_) reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
      return false;
    case WM_STARTSCAN:
      try {
        StartScan();
      } catch (...) {
        // Nothing would ever close the window; an unattended run would wait for ever.
        failure_ = std::current_exception();
        EndScan(IDCANCEL);
      }
      return true;
    case WM_SCANSTEP:
      if (wParam == ProgressSink::kStepStart) {
        StartCategory();
      } else {
        FinishCategory();
      }
      return true;
    case WM_TIMER:
      if (wParam == kTimer1) Timer1Timer();
      if (wParam == kDisplayTimer) TakeScanData();
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_STOP || LOWORD(wParam) == IDCANCEL) bStopClick();
      return true;
    case WM_CLOSE:
      // The worker's end-of-scan notice, or the close box: closing while the scan runs counts as
      // Stop, so the worker never outlives the controls it reports to.
      if (sink_ && sink_->EndedByWorker()) {
        EndScan(IDCANCEL);
      } else {
        bStopClick();
      }
      return true;
    case WM_DESTROY:
      if (sink_) sink_->Close();
      if (worker_ && !worker_->Ended()) worker_->RequestStop();
      return false;
    default:
      return false;
  }
}

void TfrmRegProgressHint::FormShow() {
  hidden_ = owner_.CleanOnce;
  SetClientSize(361, 166);
  PlaceItem(IDC_SCANTASK, 20, 16, 321, 16);
  PlaceItem(IDC_SCANKEY, 20, 40, 321, 31);
  PlaceItem(IDC_PROGRESS, 20, 86, 321, 18);
  PlaceItem(IDC_STOP, 266, 124, 75, 25);
  ::SendMessageW(Item(IDC_PROGRESS), PBM_SETRANGE32, 0, kBarMaximum);
  CentreOn(owner_.Handle());
  sink_ = std::make_shared<ProgressSink>(Handle());
  ::PostMessageW(Handle(), WM_STARTSCAN, 0, 0);
}

void TfrmRegProgressHint::StartScan() {
  if (owner_.CleanOnce) {
    hidden_ = true;
    ::ShowWindow(Handle(), SW_HIDE);
  }
  worker_ = std::make_shared<TScanTaskThread>(owner_.Env(), sink_, OptionsSetting.IncludeRemoveMedia,
                                              OptionsSetting.IncludeCDdrive);
  worker_->Categories = codes_;
  owner_.NoteScanWorker(worker_);
  ::SetTimer(Handle(), kDisplayTimer, kDisplayInterval, nullptr);
  worker_->Start();
}

void TfrmRegProgressHint::StartCategory() {
  if (sink_->IsClosed()) return;
  SetPosition(0);
  ::SetTimer(Handle(), kTimer1, kTimer1Interval, nullptr);
}

void TfrmRegProgressHint::FinishCategory() {
  if (sink_->IsClosed() || (worker_ && worker_->StopRequested())) return;
  ::KillTimer(Handle(), kTimer1);
  SetPosition(kBarMaximum);
}

void TfrmRegProgressHint::SetPosition(int position) {
  position_ = position;
  ::SendMessageW(Item(IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void TfrmRegProgressHint::Timer1Timer() { SetPosition(position_ + ScanBarStep(position_)); }

void TfrmRegProgressHint::TakeScanData() {
  if (!sink_ || sink_->IsClosed()) return;
  ProgressSink::Pending pending = sink_->TakePending();
  if (pending.caption) SetText(Item(IDC_SCANTASK), *pending.caption);
  if (pending.key) SetText(Item(IDC_SCANKEY), *pending.key);
  owner_.Results().AppendRows(pending.rows);
}

void TfrmRegProgressHint::bStopClick() {
  if (worker_) worker_->RequestStop();
  EndScan(IDOK);
}

void TfrmRegProgressHint::EndScan(INT_PTR result) {
  // Every row the worker handed over before this moment belongs in the list; nothing after it.
  TakeScanData();
  if (sink_) sink_->Close();
  ::KillTimer(Handle(), kTimer1);
  ::KillTimer(Handle(), kDisplayTimer);
  EndModal(result);
}

}  // namespace tamrisk
