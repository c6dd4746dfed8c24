#include "unattended/InstallerSwitches.h"

#include <array>
#include <charconv>
#include <utility>

#include "platform/Text.h"

namespace tamrisk {
namespace {

std::optional<ScheduleKind> KindNamed(const std::string& name) {
  static constexpr std::array<std::pair<const char*, ScheduleKind>, 4> kKinds{{{"off", ScheduleKind::Off},
                                                                               {"daily", ScheduleKind::Daily},
                                                                               {"weekly", ScheduleKind::Weekly},
                                                                               {"logon", ScheduleKind::AtLogon}}};
  for (const auto& [text, kind] : kKinds) {
    if (EqualsNoCase(name, text)) return kind;
  }
  return std::nullopt;
}

// "H:MM" or "HH:MM", 00:00 to 23:59.
bool ReadTime(const std::string& text, int& hour, int& minute) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon > 2 || text.size() != colon + 3) return false;
  const auto number = [&](std::size_t from, std::size_t to, int& out) {
    const char* first = text.data() + from;
    const char* last = text.data() + to;
    const auto [end, code] = std::from_chars(first, last, out);
    return code == std::errc() && end == last;
  };
  return number(0, colon, hour) && number(colon + 1, text.size(), minute) && hour >= 0 && hour <= 23 && minute >= 0 &&
         minute <= 59;
}

std::string At(const std::vector<std::string>& values, std::size_t index) {
  return index < values.size() ? values[index] : std::string();
}

}  // namespace

std::optional<Schedule> ScheduleFromSwitches(const std::vector<std::string>& values, std::string& error) {
  if (values.size() > 3) {
    error = "Too many values for -setschedule.";
    return std::nullopt;
  }
  const std::optional<ScheduleKind> kind = KindNamed(At(values, 0));
  if (!kind) {
    error = "SCHEDULE must be off, daily, weekly or logon, not \"" + At(values, 0) + "\".";
    return std::nullopt;
  }
  Schedule schedule;
  schedule.kind = *kind;
  const std::string time = At(values, 1);
  if (!time.empty() && !ReadTime(time, schedule.hour, schedule.minute)) {
    error = "SCHEDULETIME must be HH:MM, 00:00 to 23:59, not \"" + time + "\".";
    return std::nullopt;
  }
  const std::string reportOnly = At(values, 2);
  if (!reportOnly.empty() && reportOnly != "0" && reportOnly != "1") {
    error = "REPORTONLY must be 1 or 0, not \"" + reportOnly + "\".";
    return std::nullopt;
  }
  schedule.reportOnly = reportOnly == "1";
  return Normalised(schedule);
}

int RunSetSchedule(TaskScheduler& scheduler, const std::vector<std::string>& values, const TaskTarget& target,
                   std::string& error) {
  const std::optional<Schedule> schedule = ScheduleFromSwitches(values, error);
  if (!schedule) return 1;
  try {
    ApplySchedule(scheduler, *schedule, target);
  } catch (const TaskSchedulerError& failure) {
    error = std::string("The Task Scheduler refused the schedule: ") + failure.what();
    return 1;
  }
  return 0;
}

int RunUninstall(const Platform& platform, TaskScheduler& scheduler, bool anotherVersionStays, std::string& error) {
  if (anotherVersionStays) return 0;
  try {
    scheduler.DeleteTask(kScheduledTaskName);
  } catch (const TaskSchedulerError& failure) {
    error = std::string("The scheduled task could not be deleted: ") + failure.what();
  }
  // Beside the program only: the files of a user whose settings went to their own folder stay theirs.
  const std::string folder = platform.system.ExecutableFolder();
  for (const char* name : {"options.ini", "Tamrisk.log"}) {
    const std::string file = folder + name;
    if (platform.files.PathIsFile(file) && !platform.files.ShellDelete(file, false) && error.empty()) {
      error = "Cannot delete " + file;
    }
  }
  const std::string backups = folder + "Backup";
  if (platform.files.PathIsFolder(backups) && platform.files.ListFolder(backups + "\\*").empty()) {
    platform.files.ShellDelete(backups, false);
  }
  return error.empty() ? 0 : 1;
}

}  // namespace tamrisk
