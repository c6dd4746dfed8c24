// The system's task scheduler as the program uses it: tasks in the root folder, by name, as the
// scheduler's XML task definitions. A Win32 backend (the Task Scheduler 2.0 COM objects) and an
// in-memory one.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace tamrisk {

// The scheduler could not be reached or refused: what() is the system's text for the failure.
class TaskSchedulerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How a task logs on when it runs.
enum class TaskLogon {
  Interactive,     // with the registering user's token, while that user is logged on
  ServiceAccount,  // as the local system account, with no logon and no password
};

class TaskScheduler {
 public:
  virtual ~TaskScheduler() = default;
  // The registered task's definition as the scheduler gives it back; nullopt when there is none.
  virtual std::optional<std::string> ReadTask(const std::string& name) = 0;
  // Creates the task or replaces the one of that name: for the current user with the interactive
  // logon, or for the local system account.
  virtual void RegisterTask(const std::string& name, const std::string& xml, TaskLogon logon) = 0;
  // A task that is not there counts as deleted.
  virtual void DeleteTask(const std::string& name) = 0;
};

}  // namespace tamrisk
