// What the scan progress window needs of the window it runs over: no more, so that the dialogs do
// not depend on the main window.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/System.h"
#include "scan/ProblemRow.h"
#include "scan/ScanTask.h"
#include "ui/common/Prompt.h"

namespace tamrisk {

class ScanHost {
 public:
  // The window the progress window centres on and is owned by.
  virtual HWND ScanOwner() const = 0;
  virtual Prompt& ScanPrompt() = 0;
  virtual const Platform& ScanPlatform() const = 0;
  // Rows the scan found, in the order found.
  virtual void TakeScanRows(const std::vector<ProblemRow>& rows) = 0;
  // The progress window hands over its worker, so the host can wait for a stopped scan to wind down
  // before the platform it uses goes away.
  virtual void NoteScanWorker(const std::shared_ptr<TScanTaskThread>& worker) = 0;

 protected:
  ~ScanHost() = default;
};

}  // namespace tamrisk
