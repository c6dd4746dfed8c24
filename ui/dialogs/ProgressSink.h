// The scan progress window's ScanSink: hands the worker's reports to the window thread without
// ever making the worker wait for it.
//   - The worker may start before the window exists: what it reports waits here, and the notes are
//     posted once the window is attached.
//   - The category steps are counted here and a note is posted; the window reads the counts when it
//     takes the note, and once more when it closes, so a stop knows exactly where the worker was.
//   - Rows are queued in the order found; the caption and the current key are kept as the latest
//     only. The window takes them on its own timer and with each step note, and appends rows in
//     batches instead of repainting the list for each one.
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

// Posted by the worker to the progress window when a category starts or finishes.
inline constexpr UINT WM_SCANSTEP = WM_APP + 1;

class ProgressSink final : public ScanSink {
 public:
  // Worker side.
  void StartCategory(CategoryCode code) override;
  void FinishCategory() override;
  void ShowTask(const std::string& caption) override;
  void ShowCurrentKey(const std::string& text) override;
  void AppendProblem(const ProblemRow& row) override;
  void ScanEnded() override;

  // Window side.
  // The window the notes go to; those due before it came are posted now.
  void Attach(HWND window);
  // Categories the worker began, and how many of them, from the first, it left: scanned to the end
  // or ended by a failure. started is settled + 1 while it is in one.
  struct Steps {
    std::size_t started = 0;
    std::size_t settled = 0;
  };
  // Also marks the last step note as taken, so the next step posts another.
  Steps TakeSteps();
  // A caption with the category that showed it.
  struct Caption {
    CategoryCode category;
    std::string text;
  };
  // What arrived since the last take; a caption or key only when a new one came.
  struct Pending {
    std::vector<ProblemRow> rows;
    std::optional<Caption> caption;
    std::optional<std::string> key;
  };
  Pending TakePending();
  // From now on nothing reaches the window.
  void Close();
  bool IsClosed() const;
  // Whether the end-of-scan notice came from the worker.
  bool EndedByWorker() const;

 private:
  // Under the lock: posts a step note unless one is still waiting for the window.
  void PostStep();

  HWND window_ = nullptr;
  mutable std::mutex mutex_;
  bool closed_ = false;
  bool ended_ = false;
  bool stepPosted_ = false;
  CategoryCode category_{};  // the one the worker began last
  Steps steps_;
  Pending pending_;
};

}  // namespace tamrisk
