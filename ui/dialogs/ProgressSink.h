// The scan progress window's ScanSink: hands the worker's reports to the window thread.
//   - The category steps are sent (the worker waits until the window thread has run them).
//   - Rows and captions are queued and announced with one posted message until the window has
//     taken them, so rows reach the list in the order found.
//   - The current key is only stored; the window shows the latest on its own timer, so the worker
//     never waits for the display.
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

// Private messages of the progress window.
inline constexpr UINT WM_SCANSTEP = WM_APP + 1;  // wParam: kStepStart or kStepFinish
inline constexpr UINT WM_SCANDATA = WM_APP + 2;  // rows or a caption are waiting in the sink

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
  struct Pending {
    std::vector<ProblemRow> rows;
    std::optional<std::string> caption;
  };
  Pending TakePending();
  // The latest key text not shown yet.
  std::optional<std::string> TakeKey();
  // From now on nothing reaches the window.
  void Close();
  bool IsClosed() const;
  // Whether the end-of-scan notice came from the worker.
  bool EndedByWorker() const;

 private:
  void Step(WPARAM step);
  // Caller holds mutex_.
  void AnnounceLocked();

  HWND window_;
  mutable std::mutex mutex_;
  bool closed_ = false;
  bool announced_ = false;
  bool ended_ = false;
  Pending pending_;
  std::optional<std::string> key_;
};

}  // namespace tamrisk
