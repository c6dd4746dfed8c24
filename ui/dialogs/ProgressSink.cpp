#include "ui/dialogs/ProgressSink.h"

namespace tamrisk {

void ProgressSink::PostStep() {
  if (stepPosted_ || !window_) return;
  stepPosted_ = ::PostMessageW(window_, WM_SCANSTEP, 0, 0) != FALSE;
}

void ProgressSink::StartCategory(CategoryCode code) {
  std::lock_guard lock(mutex_);
  if (closed_) return;
  category_ = code;
  steps_.settled = steps_.started++;
  // The key line starts empty for each category, until it shows a key of its own.
  pending_.key = std::string();
  PostStep();
}

void ProgressSink::FinishCategory() {
  std::lock_guard lock(mutex_);
  if (closed_) return;
  steps_.settled = steps_.started;
  PostStep();
}

void ProgressSink::ShowTask(const std::string& caption) {
  std::lock_guard lock(mutex_);
  if (closed_) return;
  pending_.caption = Caption{category_, caption};
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
  if (window_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
}

void ProgressSink::Attach(HWND window) {
  std::lock_guard lock(mutex_);
  window_ = window;
  if (closed_) return;
  if (steps_.started > 0) PostStep();
  if (ended_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
}

ProgressSink::Steps ProgressSink::TakeSteps() {
  std::lock_guard lock(mutex_);
  stepPosted_ = false;
  return steps_;
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
