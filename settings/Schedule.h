// Scheduled cleaning: the one task "Tamrisk scheduled clean" in the Task Scheduler's root folder,
// what the options' Schedule page shows of it, and how a scheduled run is recognised.
//
// The task runs the program's full path, in the program's folder, with one of two argument lines:
//   -cleanonce -scheduled   repairs as -cleanonce does;
//   -report -scheduled      reports as -report does, into the backup folder: "-scheduled" stands in
//                           place of the file, and the run names the file when it starts,
//                           backup folder + "\Report" + YYYYMMDDhhmmss + ".csv".
// "-scheduled" after the first argument only marks the run as started by the task.
#pragma once

#include <string>
#include <vector>

#include "platform/System.h"
#include "platform/TaskScheduler.h"

namespace tamrisk {

inline constexpr char kScheduledTaskName[] = "Tamrisk scheduled clean";
inline constexpr char kScheduledSwitch[] = "-scheduled";

// Other: a task of that name is registered, but with a schedule or a command the page does not offer
// (changed in the Task Scheduler, say). It is left as it is until another kind is chosen.
enum class ScheduleKind { Off, Daily, Weekly, AtLogon, Other };

struct Schedule {
  ScheduleKind kind = ScheduleKind::Off;
  int hour = 12;  // Daily and Weekly, local time
  int minute = 0;
  int dayOfWeek = 1;        // Weekly: 0 Sunday to 6 Saturday
  bool reportOnly = false;  // every kind but Off and Other

  friend bool operator==(const Schedule&, const Schedule&) = default;
};

// The schedule with the fields its kind does not use at their defaults, so that two schedules that
// register the same task compare equal.
Schedule Normalised(Schedule schedule);

// The local system account, as a management agent's install runs.
inline constexpr char kSystemSid[] = "S-1-5-18";

// What the task runs and for whom: the account and rights of the program that registers it, so that
// the scheduled run has the same rights and, by the settings rule (SettingsFolder), the same
// options.ini as the window that scheduled it.
struct TaskTarget {
  std::string program;    // the program's full path; its folder is the task's working folder
  std::string userSid;    // the current user, whose logon starts an "At logon" task; "" when unknown
  LocalDateTime now;      // the schedule starts on this day
  bool elevated = false;  // the program runs with an administrator's full rights, and so does the task
};

// This process's target: its account, its elevation and the time now.
TaskTarget TaskTargetOf(const Platform& platform, const std::string& program);

// The local system account runs its task without a logon; any other account with its interactive token.
TaskLogon TaskLogonOf(const TaskTarget& target);

// "-cleanonce -scheduled" or "-report -scheduled".
std::string ScheduledArguments(bool reportOnly);

// The task definition for a schedule of kind Daily, Weekly or AtLogon: start when available, run for
// an hour at most. The principal: the local system account as a service account with the highest
// rights; any other user with the interactive logon, at the highest rights when the target is
// elevated (an administrator's window) and the least otherwise. Throws std::invalid_argument for Off
// and Other.
std::string ScheduledTaskXml(const Schedule& schedule, const TaskTarget& target);

// What a registered definition shows on the page: Other unless it has exactly one enabled trigger the
// page offers and exactly one program action with one of the two argument lines.
Schedule ScheduleOfTask(const std::string& xml);

// The registered task read back: Off when there is none. Throws TaskSchedulerError.
Schedule ReadSchedule(TaskScheduler& scheduler);
// Registers or replaces the task, or deletes it for Off. Throws TaskSchedulerError, and
// std::invalid_argument for Other.
void ApplySchedule(TaskScheduler& scheduler, const Schedule& schedule, const TaskTarget& target);

// True when an argument after the first is "-scheduled" (any letter case).
bool IsScheduledRun(const std::vector<std::string>& arguments);
// The file a scheduled "-report" run writes: folder + "\Report" + YYYYMMDDhhmmss + ".csv", with "-" and
// the computer's name before ".csv" when one is given (reports of many machines in one folder).
std::string ScheduledReportFile(const std::string& folder, const LocalDateTime& now, const std::string& computer = "");

}  // namespace tamrisk
