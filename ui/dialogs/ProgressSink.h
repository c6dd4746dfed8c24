// The scan progress window's ScanSink: hands the worker's reports to the window thread.
//   - The category steps are sent (the worker waits until the window thread has run them).
//   - Rows are queued in the order found; the caption and the current key are kept as the latest
//     only. The window takes them on its own timer, so the worker never waits for the display and
//     the window thread appends rows in batches instead of repainting the list for each one.
//   - The end-of-scan notice is posted; the window takes the remaining rows before it closes.
//   - Once the window has closed, everything is dropped. The worker holds the sink through a
//     shared_ptr, so it may outlive the window safely.
#pragma once

#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "scan/ScanSink.h"

namespace tamrisk {

// Sent by the worker to the progress window; wParam is kStepStart or kStepFinish.
inline constexpr UINT WM_SCANSTEP = WM_APP + 1;

class ProgressSink final : public ScanSink {
 public:
  static constexpr WPARAM kStepStart = 0;
  static constexpr WPARAM kStepFinish = 1;

  explicit ProgressSink(HWND window) : window_(window) {}

  // Worker side.
  void StartCategory() override;
  void FinishCategory() override;
  void ShowTask(const std::string& caption) override;
  void ShowCurrentKey(const std::string& text) override;
  void AppendProblem(const ProblemRow& row) override;
  void ScanEnded() override;

  // Window side.
  // What arrived since the last take; a caption or key only when a new one came.
  struct Pending {
    std::vector<ProblemRow> rows;
    std::optional<std::string> caption;
    std::optional<std::string> key;
  };
  Pending TakePending();
  // From now on nothing reaches the window.
  void Close();
  bool IsClosed() const;
  // Whether the end-of-scan notice came from the worker.
  bool EndedByWorker() const;

 private:
  void Step(WPARAM step);

  HWND window_;
  mutable std::mutex mutex_;
  bool closed_ = false;
  bool ended_ = false;
  Pending pending_;
};

}  // namespace tamrisk
