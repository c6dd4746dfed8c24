#include "ui/dialogs/ProgressSink.h"

namespace tamrisk {

void ProgressSink::Step(WPARAM step) {
  HWND window = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    window = window_;
  }
  // Not under the lock: the window thread takes it while handling the step. A window destroyed
  // in between makes the call return at once.
  ::SendMessageW(window, WM_SCANSTEP, step, 0);
}

void ProgressSink::StartCategory() { Step(kStepStart); }

void ProgressSink::FinishCategory() { Step(kStepFinish); }

void ProgressSink::ShowTask(const std::string& caption) {
  std::lock_guard lock(mutex_);
  if (closed_) return;
  pending_.caption = caption;
}

void ProgressSink::ShowCurrentKey(const std::string& text) {
  std::lock_guard lock(mutex_);
  if (closed_) return;
  pending_.key = text;
}

void ProgressSink::AppendProblem(const ProblemRow& row) {
  std::lock_guard lock(mutex_);
  if (closed_) return;
  pending_.rows.push_back(row);
}

void ProgressSink::ScanEnded() {
  std::lock_guard lock(mutex_);
  if (closed_) return;
  ended_ = true;
  ::PostMessageW(window_, WM_CLOSE, 0, 0);
}

ProgressSink::Pending ProgressSink::TakePending() {
  std::lock_guard lock(mutex_);
  Pending taken = std::move(pending_);
  pending_ = {};
  return taken;
}

void ProgressSink::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  pending_ = {};
}

bool ProgressSink::IsClosed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

bool ProgressSink::EndedByWorker() const {
  std::lock_guard lock(mutex_);
  return ended_;
}

}  // namespace tamrisk
