#include "ui/dialogs/RegProgressHint.h"

#include <commctrl.h>

#include "scan/IgnoreFilter.h"
#include "settings/RegGlobal.h"
#include "ui/common/WindowText.h"
#include "ui/dialogs/BarSteps.h"
#include "ui/res/resource.h"
#include "ui/common/Language.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {
namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 500;
// The pace at which the worker's rows, caption and key reach the window, however fast it walks.
constexpr UINT_PTR kDisplayTimer = 2;
constexpr UINT kDisplayInterval = 250;

constexpr int kBarMaximum = 1000;

}  // namespace

TfrmRegProgressHint::TfrmRegProgressHint(ScanHost& owner, const std::vector<CategoryCode>& codes)
    : ModalDialog(owner.ScanPrompt(), IDD_REGPROGRESSHINT),
      owner_(owner),
      codes_(codes),
      sink_(std::make_shared<ProgressSink>()),
      worker_(std::make_shared<TScanTaskThread>(owner.ScanPlatform(), sink_, OptionsSetting.IncludeRemoveMedia,
                                                OptionsSetting.IncludeCDdrive)),
      found_(IgnoreListsOf(owner.ScanPlatform(), IgnoredValues(), IgnoredKeys())) {
  worker_->Categories = codes_;
  owner_.NoteScanWorker(worker_);
  worker_->Start();
}

TfrmRegProgressHint::~TfrmRegProgressHint() {
  sink_->Close();
  if (!worker_->Ended()) worker_->RequestStop();
}

INT_PTR TfrmRegProgressHint::ShowModal() { return ModalDialog::ShowModal(owner_.ScanOwner()); }

bool TfrmRegProgressHint::OnInit() {
  FormShow();
  return true;
}

bool TfrmRegProgressHint::OnCommand(int id, int) {
  if (id != IDC_STOP && id != IDCANCEL) return false;
  bStopClick();
  return true;
}

void TfrmRegProgressHint::OnTimer(UINT_PTR id) {
  if (id == kTimer1) Timer1Timer();
  if (id == kDisplayTimer) TakeScanData();
}

// The worker's end-of-scan notice, or the close box: closing while the scan runs counts as Stop, so
// the worker never outlives the controls it reports to.
void TfrmRegProgressHint::OnClose() {
  if (sink_->EndedByWorker()) {
    EndScan(IDCANCEL);
    settled_ = codes_.size();
  } else {
    bStopClick();
  }
}

bool TfrmRegProgressHint::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR&) {
  switch (message) {
    case WM_SCANSTEP: ShowSteps(); return true;
    case WM_DESTROY:
      sink_->Close();
      if (!worker_->Ended()) worker_->RequestStop();
      return false;
    default: return false;
  }
}

void TfrmRegProgressHint::FormShow() {
  ::SendMessageW(Item(IDC_PROGRESS), PBM_SETRANGE32, 0, kBarMaximum);
  ShowFoundCount();
  CentreOn(owner_.ScanOwner());
  ::SetTimer(Handle(), kDisplayTimer, kDisplayInterval, nullptr);
  sink_->Attach(Handle());
}

std::string TfrmRegProgressHint::ShownCaption(const ProgressSink::Caption& caption) {
  if (caption.text != CategoryCaption(caption.category)) return caption.text;
  return ShownEngineText(IDS_CAPTION_FIRST + static_cast<UINT>(NumberOf(caption.category)), caption.text);
}

int TfrmRegProgressHint::BarPosition(const std::vector<CategoryCode>& codes, std::size_t settled, int inCategory) {
  long long total = 0, done = 0, current = 0;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const int weight = CategoryWeight(codes[i]);
    total += weight;
    if (i < settled) done += weight;
    if (i == settled) current = weight;
  }
  if (total == 0) return settled >= codes.size() ? kBarMaximum : 0;
  return static_cast<int>((done * kBarMaximum + current * inCategory) / total);
}

// Where the worker is: a category begun since the last look starts the bar's creep afresh; one
// left stops it. Its rows go to the list before anything more is shown.
void TfrmRegProgressHint::ShowSteps() {
  if (sink_->IsClosed()) return;
  TakeScanData();
  const std::size_t shownStarted = started_;
  TakeSteps();
  if (started_ != shownStarted) inCategory_ = 0;
  if (settled_ < started_) {
    ::SetTimer(Handle(), kTimer1, kTimer1Interval, nullptr);
  } else {
    ::KillTimer(Handle(), kTimer1);
    inCategory_ = 0;
  }
  SetPosition(BarPosition(codes_, settled_, inCategory_));
}

void TfrmRegProgressHint::TakeSteps() {
  const ProgressSink::Steps steps = sink_->TakeSteps();
  started_ = steps.started;
  settled_ = steps.settled;
}

void TfrmRegProgressHint::SetPosition(int position) {
  position_ = position;
  ::SendMessageW(Item(IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

int TfrmRegProgressHint::ScanBarStep(int position) {
  return StepOfStage(position, {{200, 10}, {400, 5}, {700, 3}, {800, 2}, {998, 1}});
}

// Within a category the bar creeps on through its part, slowing down, never past it.
void TfrmRegProgressHint::Timer1Timer() {
  inCategory_ += ScanBarStep(inCategory_);
  SetPosition(BarPosition(codes_, settled_, inCategory_));
}

void TfrmRegProgressHint::TakeScanData() {
  if (sink_->IsClosed()) return;
  ProgressSink::Pending pending = sink_->TakePending();
  if (pending.caption) SetItemText(IDC_SCANTASK, ShownCaption(*pending.caption));
  if (pending.key) SetItemText(IDC_SCANKEY, *pending.key);
  if (pending.rows.empty()) return;
  found_.Add(pending.rows);
  ShowFoundCount();
  owner_.TakeScanRows(pending.rows);
}

void TfrmRegProgressHint::ShowFoundCount() {
  SetItemText(IDC_SCANCOUNT, UiFormat(IDS_PROBLEMS_FOUND, {std::to_string(found_.Count())}));
}

void TfrmRegProgressHint::bStopClick() {
  worker_->RequestStop();
  stopped_ = true;
  EndScan(IDOK);
}

void TfrmRegProgressHint::EndScan(INT_PTR result) {
  // Every row the worker handed over before this moment belongs in the list, and where it was is
  // where the scan stopped; nothing after it.
  TakeScanData();
  TakeSteps();
  sink_->Close();
  ::KillTimer(Handle(), kTimer1);
  ::KillTimer(Handle(), kDisplayTimer);
  EndModal(result);
}

}  // namespace tamrisk
