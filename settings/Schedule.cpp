#include "settings/Schedule.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <stdexcept>
#include <string_view>

#include "platform/Text.h"
#include "settings/RegGlobal.h"
#include "settings/TaskXml.h"

namespace tamrisk {
namespace {

// The scheduler's element names for the days of the week, Sunday first as dayOfWeek counts.
constexpr std::array<std::string_view, 7> kDayElements = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                          "Thursday", "Friday", "Saturday"};

constexpr char kCleanSwitch[] = "-cleanonce";
constexpr char kReportSwitch[] = "-report";

std::string FolderOf(const std::string& program) {
  const std::size_t slash = program.find_last_of('\\');
  if (slash == std::string::npos) return {};
  // "C:\Tamrisk.exe" runs in "C:\", not in "C:".
  return program.substr(0, slash == 2 && program[1] == ':' ? slash + 1 : slash);
}

std::string StartBoundary(const LocalDateTime& day, int hour, int minute) {
  return std::to_string(day.year) + "-" + TwoDigits(day.month) + "-" + TwoDigits(day.day) + "T" + TwoDigits(hour) +
         ":" + TwoDigits(minute) + ":00";
}

std::string UserIdElement(const std::string& indent, const TaskTarget& target) {
  return target.userSid.empty() ? std::string() : indent + "<UserId>" + XmlEscaped(target.userSid) + "</UserId>\n";
}

// The account never logs on interactively: its "At logon" task runs at anybody's logon.
std::string LogonTriggerUserId(const TaskTarget& target) {
  return TaskLogonOf(target) == TaskLogon::ServiceAccount ? std::string() : UserIdElement("      ", target);
}

// Who the task runs as and with which rights: those of the program that registers it.
std::string PrincipalXml(const TaskTarget& target) {
  const bool system = TaskLogonOf(target) == TaskLogon::ServiceAccount;
  return "    <Principal id=\"Author\">\n" + UserIdElement("      ", target) + "      <LogonType>" +
         (system ? "ServiceAccount" : "InteractiveToken") + "</LogonType>\n      <RunLevel>" +
         (system || target.elevated ? "HighestAvailable" : "LeastPrivilege") + "</RunLevel>\n    </Principal>\n";
}

std::string TriggerXml(const Schedule& schedule, const TaskTarget& target) {
  switch (schedule.kind) {
    case ScheduleKind::Daily:
    case ScheduleKind::Weekly: {
      std::string xml =
          "    <CalendarTrigger>\n"
          "      <StartBoundary>" +
          StartBoundary(target.now, schedule.hour, schedule.minute) +
          "</StartBoundary>\n"
          "      <Enabled>true</Enabled>\n";
      if (schedule.kind == ScheduleKind::Daily) {
        xml +=
            "      <ScheduleByDay>\n"
            "        <DaysInterval>1</DaysInterval>\n"
            "      </ScheduleByDay>\n";
      } else {
        xml +=
            "      <ScheduleByWeek>\n"
            "        <DaysOfWeek>\n"
            "          <" +
            std::string(kDayElements.at(static_cast<std::size_t>(schedule.dayOfWeek))) +
            " />\n"
            "        </DaysOfWeek>\n"
            "        <WeeksInterval>1</WeeksInterval>\n"
            "      </ScheduleByWeek>\n";
      }
      return xml + "    </CalendarTrigger>\n";
    }
    case ScheduleKind::AtLogon:
      // Without a user the trigger would fire at anybody's logon, which only administrators may set.
      return "    <LogonTrigger>\n"
             "      <Enabled>true</Enabled>\n" +
             LogonTriggerUserId(target) + "    </LogonTrigger>\n";
    default: throw std::invalid_argument("No task is registered for this schedule");
  }
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  for (;;) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) return words;
    text.remove_prefix(start);
    const std::size_t end = std::min(text.find_first_of(" \t"), text.size());
    words.push_back(text.substr(0, end));
    text.remove_prefix(end);
  }
}

bool IsTrue(const std::optional<std::string>& flag) { return !flag || *flag == "true" || *flag == "1"; }

bool ParseNumber(std::string_view text, int& value) {
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && ptr == text.data() + text.size();
}

// "2024-05-17T21:15:00", with or without fractions and a zone: hour and minute.
bool ParseStartTime(const std::string& boundary, Schedule& schedule) {
  const std::size_t t = boundary.find('T');
  if (t == std::string::npos || boundary.size() < t + 6 || boundary[t + 3] != ':') return false;
  int hour = 0, minute = 0;
  if (!ParseNumber(std::string_view(boundary).substr(t + 1, 2), hour) ||
      !ParseNumber(std::string_view(boundary).substr(t + 4, 2), minute) || hour > 23 || minute > 59) {
    return false;
  }
  schedule.hour = hour;
  schedule.minute = minute;
  return true;
}

bool IsOne(const std::optional<std::string>& interval) { return !interval || *interval == "1"; }

// Daily, Weekly or AtLogon from the trigger element; Other for anything else.
ScheduleKind ReadTrigger(const XmlElement& trigger, Schedule& schedule) {
  if (!IsTrue(trigger.ChildText("Enabled"))) return ScheduleKind::Other;
  if (trigger.name == "LogonTrigger") return ScheduleKind::AtLogon;
  if (trigger.name != "CalendarTrigger") return ScheduleKind::Other;
  const std::optional<std::string> start = trigger.ChildText("StartBoundary");
  if (!start || !ParseStartTime(*start, schedule)) return ScheduleKind::Other;
  if (const XmlElement* byDay = trigger.Child("ScheduleByDay")) {
    return IsOne(byDay->ChildText("DaysInterval")) ? ScheduleKind::Daily : ScheduleKind::Other;
  }
  const XmlElement* byWeek = trigger.Child("ScheduleByWeek");
  const XmlElement* days = byWeek ? byWeek->Child("DaysOfWeek") : nullptr;
  if (!days || !IsOne(byWeek->ChildText("WeeksInterval")) || days->children.size() != 1) return ScheduleKind::Other;
  for (std::size_t day = 0; day < kDayElements.size(); ++day) {
    if (days->children.front().name == kDayElements[day]) {
      schedule.dayOfWeek = static_cast<int>(day);
      return ScheduleKind::Weekly;
    }
  }
  return ScheduleKind::Other;
}

// Sets reportOnly from the action's argument line; false when it is neither of the two.
bool ReadAction(const XmlElement& actions, Schedule& schedule) {
  if (actions.children.size() != 1 || actions.children.front().name != "Exec") return false;
  const std::string arguments = actions.children.front().ChildText("Arguments").value_or("");
  const std::vector<std::string_view> words = Words(arguments);
  if (words.size() != 2 || !EqualsNoCase(words[1], kScheduledSwitch)) return false;
  schedule.reportOnly = EqualsNoCase(words[0], kReportSwitch);
  return schedule.reportOnly || EqualsNoCase(words[0], kCleanSwitch);
}

}  // namespace

Schedule Normalised(Schedule schedule) {
  const Schedule defaults;
  if (schedule.kind != ScheduleKind::Daily && schedule.kind != ScheduleKind::Weekly) {
    schedule.hour = defaults.hour;
    schedule.minute = defaults.minute;
  }
  if (schedule.kind != ScheduleKind::Weekly) schedule.dayOfWeek = defaults.dayOfWeek;
  if (schedule.kind == ScheduleKind::Off || schedule.kind == ScheduleKind::Other) schedule.reportOnly = false;
  return schedule;
}

std::string ScheduledArguments(bool reportOnly) {
  return std::string(reportOnly ? kReportSwitch : kCleanSwitch) + " " + kScheduledSwitch;
}

std::string ScheduledTaskXml(const Schedule& schedule, const TaskTarget& target) {
  if (schedule.hour < 0 || schedule.hour > 23 || schedule.minute < 0 || schedule.minute > 59 ||
      schedule.dayOfWeek < 0 || schedule.dayOfWeek > 6) {
    throw std::invalid_argument("The time or day of the schedule is out of range");
  }
  const std::string trigger = TriggerXml(schedule, target);
  return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
         "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
         "  <RegistrationInfo>\n"
         "    <Description>Varkon Tamrisk's scheduled registry clean. Change it on the Schedule page of "
         "Tamrisk's options.</Description>\n"
         "  </RegistrationInfo>\n"
         "  <Triggers>\n" +
         trigger +
         "  </Triggers>\n"
         "  <Principals>\n" +
         PrincipalXml(target) +
         "  </Principals>\n"
         "  <Settings>\n"
         "    <StartWhenAvailable>true</StartWhenAvailable>\n"
         "    <ExecutionTimeLimit>PT1H</ExecutionTimeLimit>\n"
         "    <Enabled>true</Enabled>\n"
         "  </Settings>\n"
         "  <Actions Context=\"Author\">\n"
         "    <Exec>\n"
         "      <Command>" +
         XmlEscaped(target.program) +
         "</Command>\n"
         "      <Arguments>" +
         ScheduledArguments(schedule.reportOnly) +
         "</Arguments>\n"
         "      <WorkingDirectory>" +
         XmlEscaped(FolderOf(target.program)) +
         "</WorkingDirectory>\n"
         "    </Exec>\n"
         "  </Actions>\n"
         "</Task>\n";
}

Schedule ScheduleOfTask(const std::string& xml) {
  const Schedule other{ScheduleKind::Other};
  const std::optional<XmlElement> task = ParseXml(xml);
  if (!task || task->name != "Task") return other;
  const XmlElement* settings = task->Child("Settings");
  const XmlElement* triggers = task->Child("Triggers");
  const XmlElement* actions = task->Child("Actions");
  if ((settings && !IsTrue(settings->ChildText("Enabled"))) || !triggers || triggers->children.size() != 1 ||
      !actions) {
    return other;
  }
  Schedule schedule;
  schedule.kind = ReadTrigger(triggers->children.front(), schedule);
  if (schedule.kind == ScheduleKind::Other || !ReadAction(*actions, schedule)) return other;
  return Normalised(schedule);
}

Schedule ReadSchedule(TaskScheduler& scheduler) {
  const std::optional<std::string> xml = scheduler.ReadTask(kScheduledTaskName);
  return xml ? ScheduleOfTask(*xml) : Schedule{};
}

void ApplySchedule(TaskScheduler& scheduler, const Schedule& schedule, const TaskTarget& target) {
  if (schedule.kind == ScheduleKind::Off) {
    scheduler.DeleteTask(kScheduledTaskName);
  } else {
    scheduler.RegisterTask(kScheduledTaskName, ScheduledTaskXml(schedule, target), TaskLogonOf(target));
  }
}

TaskTarget TaskTargetOf(const Platform& platform, const std::string& program) {
  return {program, platform.system.CurrentUserSid(), platform.system.Now(), platform.system.ProcessIsElevated()};
}

TaskLogon TaskLogonOf(const TaskTarget& target) {
  return target.userSid == kSystemSid ? TaskLogon::ServiceAccount : TaskLogon::Interactive;
}

bool IsScheduledRun(const std::vector<std::string>& arguments) {
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (EqualsNoCase(arguments[i], kScheduledSwitch)) return true;
  }
  return false;
}

std::string ScheduledReportFile(const std::string& folder, const LocalDateTime& now, const std::string& computer) {
  std::string file = folder;
  if (file.empty() || file.back() != '\\') file += '\\';
  file += "Report" + std::to_string(now.year) + TwoDigits(now.month) + TwoDigits(now.day) + TwoDigits(now.hour) +
          TwoDigits(now.minute) + TwoDigits(now.second);
  if (!computer.empty()) file += "-" + computer;
  return file + ".csv";
}

}  // namespace tamrisk
