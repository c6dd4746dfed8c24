// The scan workers the main window started: the current scan's, and any stopped one still winding
// down. They use the platform, which goes away with the program, so the window waits for them.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "scan/ScanTask.h"

namespace tamrisk {

class ScanWorkers {
 public:
  // The worker of the scan that starts now; workers that ended are forgotten.
  void Note(const std::shared_ptr<TScanTaskThread>& worker);
  // The current scan's worker, or null before the first scan starts.
  const std::shared_ptr<TScanTaskThread>& Current() const { return current_; }
  void ForgetCurrent() { current_.reset(); }
  // True when no worker is running any more (waiting up to timeoutMs).
  bool WaitForAll(DWORD timeoutMs) const;
  // Asks every worker still running to stop and waits for it, however long its current call takes.
  void EndAll();

 private:
  std::vector<std::shared_ptr<TScanTaskThread>> workers_;
  std::shared_ptr<TScanTaskThread> current_;
};

}  // namespace tamrisk
