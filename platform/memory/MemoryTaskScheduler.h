// In-memory task scheduler for tests: keeps each task's definition as it was registered, and can be
// made to refuse every call as an unreachable or unwilling scheduler does, or to drop parts of a task.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/TaskScheduler.h"

namespace tamrisk {

class MemoryTaskScheduler final : public TaskScheduler {
 public:
  std::optional<std::string> ReadTask(const std::string& name) override;
  void RegisterTask(const std::string& name, const std::string& xml, TaskLogon logon) override;
  void DeleteTask(const std::string& name) override;

  // While set, every call throws TaskSchedulerError with this text and changes nothing.
  void Refuse(std::optional<std::string> systemText) { refusal_ = std::move(systemText); }
  // While set, a registered task keeps neither its triggers nor its actions, as Wine 8's scheduler.
  void DropTriggersAndActions(bool dropping) { dropping_ = dropping; }
  // Registrations and deletions that went through.
  int Changes() const { return changes_; }
  // How the last registration asked the task to log on.
  TaskLogon LastLogon() const { return lastLogon_; }

 private:
  void ThrowIfRefusing() const;

  std::map<std::string, std::string> tasks_;  // upper-case name -> definition
  std::optional<std::string> refusal_;
  bool dropping_ = false;
  int changes_ = 0;
  TaskLogon lastLogon_ = TaskLogon::Interactive;
};

}  // namespace tamrisk
