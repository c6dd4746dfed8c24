// Where a scan reports to. The progress window implements it by handing the data to the window
// thread; headless runs and tests collect directly.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "scan/Categories.h"
#include "scan/ProblemRow.h"

namespace tamrisk {

class ScanSink {
 public:
  virtual ~ScanSink() = default;
  // Both run on the window thread while the worker waits. A caption shown after a start is its code's.
  virtual void StartCategory(CategoryCode code) = 0;
  virtual void FinishCategory() = 0;
  virtual void ShowTask(const std::string& caption) = 0;
  // Text already broken into lines; a sink may show only the latest.
  virtual void ShowCurrentKey(const std::string& text) = 0;
  virtual void AppendProblem(const ProblemRow& row) = 0;
  // The end-of-scan notice (WM_CLOSE to the progress window).
  virtual void ScanEnded() = 0;
};

// Collects everything in order; used by -cleanonce, -report and the tests.
class HeadlessSink final : public ScanSink {
 public:
  void StartCategory(CategoryCode code) override;
  void FinishCategory() override;
  void ShowTask(const std::string& caption) override;
  void ShowCurrentKey(const std::string& text) override;
  void AppendProblem(const ProblemRow& row) override;
  void ScanEnded() override;

  std::vector<ProblemRow> Rows() const;
  std::vector<std::string> Tasks() const;
  std::string LastKey() const;
  int Started() const;
  int Finished() const;
  bool Ended() const;
  long KeysShown() const;

 private:
  mutable std::mutex mutex_;
  std::vector<ProblemRow> rows_;
  std::vector<std::string> tasks_;
  std::string lastKey_;
  int started_ = 0;
  int finished_ = 0;
  bool ended_ = false;
  long keysShown_ = 0;
};

}  // namespace tamrisk
