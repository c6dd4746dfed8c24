// What the installer runs of the installed program: "-setschedule" registers the scheduled task from
// the package's SCHEDULE, SCHEDULETIME and REPORTONLY properties, and "-uninstall" takes away what the
// program made itself before the package removes its files. Neither shows a window.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/System.h"
#include "platform/TaskScheduler.h"
#include "settings/Schedule.h"

namespace tamrisk {

// The schedule "-setschedule KIND [HH:MM] [REPORTONLY]" asks for: KIND off, daily, weekly (on
// Mondays) or logon in any letter case; the time of a daily or weekly run, 12:00 when empty;
// REPORTONLY "1" to report instead of repairing, "" or "0" to repair. nullopt, with error, for
// anything else.
std::optional<Schedule> ScheduleFromSwitches(const std::vector<std::string>& values, std::string& error);

// Registers the task the values ask for, or deletes it for off, as the Schedule page's OK does. Exit
// code 0 when done, 1 (with error) when the values are wrong or the scheduler refuses.
int RunSetSchedule(TaskScheduler& scheduler, const std::vector<std::string>& values, const TaskTarget& target,
                   std::string& error);

// Deletes the scheduled task, and options.ini and Tamrisk.log beside the program with its Backup
// folder when that is empty: backups are never deleted. Does nothing while another version stays
// installed in the same place (a newer package removing the older one), which keeps them. Exit code 0
// when done, 1 (with error) when the task or a file is still there.
int RunUninstall(const Platform& platform, TaskScheduler& scheduler, bool anotherVersionStays, std::string& error);

}  // namespace tamrisk
