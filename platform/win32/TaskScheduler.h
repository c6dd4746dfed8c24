// The system's Task Scheduler through its 2.0 COM objects (ITaskService on this computer, its root
// folder "\"): tasks are registered, read back and deleted as XML definitions, which Windows and Wine
// both take through ITaskFolder::RegisterTask and give back through IRegisteredTask::get_Xml.
#pragma once

#include <optional>
#include <string>

#include "platform/TaskScheduler.h"

namespace tamrisk::win32 {

class Win32TaskScheduler final : public TaskScheduler {
 public:
  std::optional<std::string> ReadTask(const std::string& name) override;
  void RegisterTask(const std::string& name, const std::string& xml, TaskLogon logon) override;
  void DeleteTask(const std::string& name) override;
};

// The system's text for a COM result, also the Task Scheduler's own results; "Error 0x8004131F." when
// neither knows it.
std::string ComErrorText(long result);

}  // namespace tamrisk::win32
