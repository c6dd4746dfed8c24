// Scheduled cleaning: the task definition for each schedule, what the page makes of definitions the
// Task Scheduler hands back (its own export format included), reading and applying through the
// scheduler, the scheduled run's switches, and the little XML reader underneath.
#include "settings/Schedule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "platform/memory/MemoryTaskScheduler.h"
#include "settings/RegGlobal.h"
#include "settings/TaskXml.h"

namespace tamrisk {
namespace {

const TaskTarget kTarget{
    "C:\\Program Files\\Tam & Risk\\Tamrisk.exe", "S-1-5-21-1-2-3-1001", {2024, 5, 17, 10, 20, 30}};

Schedule Make(ScheduleKind kind, int hour = 12, int minute = 0, int day = 1, bool reportOnly = false) {
  return {kind, hour, minute, day, reportOnly};
}

const XmlElement& Path(const XmlElement& root, std::initializer_list<const char*> names) {
  const XmlElement* at = &root;
  for (const char* name : names) {
    at = at->Child(name);
    if (!at) throw std::runtime_error(std::string("no element ") + name);
  }
  return *at;
}

TEST(ScheduledTaskXml, EachKindRegistersItsTriggerAndTheProgramWithItsSwitches) {
  struct Case {
    Schedule schedule;
    std::string trigger;        // the one element under Triggers
    std::string startBoundary;  // "" for none
    std::string day;            // the one element under DaysOfWeek, "" for none
    std::string arguments;
  };
  const std::vector<Case> cases = {
      {Make(ScheduleKind::Daily, 6, 5), "CalendarTrigger", "2024-05-17T06:05:00", "", "-cleanonce -scheduled"},
      {Make(ScheduleKind::Daily, 23, 59, 4, true), "CalendarTrigger", "2024-05-17T23:59:00", "", "-report -scheduled"},
      {Make(ScheduleKind::Weekly, 0, 0, 0), "CalendarTrigger", "2024-05-17T00:00:00", "Sunday",
       "-cleanonce -scheduled"},
      {Make(ScheduleKind::Weekly, 21, 15, 6, true), "CalendarTrigger", "2024-05-17T21:15:00", "Saturday",
       "-report -scheduled"},
      {Make(ScheduleKind::AtLogon, 8, 30, 3), "LogonTrigger", "", "", "-cleanonce -scheduled"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments + " " + c.trigger + " " + c.day);
    const std::string xml = ScheduledTaskXml(c.schedule, kTarget);
    const std::optional<XmlElement> task = ParseXml(xml);
    ASSERT_TRUE(task);
    const XmlElement& triggers = Path(*task, {"Triggers"});
    ASSERT_EQ(triggers.children.size(), 1u);
    const XmlElement& trigger = triggers.children.front();
    EXPECT_EQ(trigger.name, c.trigger);
    EXPECT_EQ(trigger.ChildText("StartBoundary").value_or(""), c.startBoundary);
    const XmlElement* days =
        trigger.Child("ScheduleByWeek") ? trigger.Child("ScheduleByWeek")->Child("DaysOfWeek") : nullptr;
    EXPECT_EQ(days ? days->children.at(0).name : "", c.day);
    EXPECT_EQ(trigger.Child("ScheduleByDay") != nullptr, c.schedule.kind == ScheduleKind::Daily);
    // Only the logon trigger names the user: a logon trigger without one fires at anybody's logon.
    EXPECT_EQ(trigger.ChildText("UserId").value_or(""), c.trigger == "LogonTrigger" ? kTarget.userSid : "");

    const XmlElement& exec = Path(*task, {"Actions", "Exec"});
    EXPECT_EQ(exec.ChildText("Command"), kTarget.program);
    EXPECT_EQ(exec.ChildText("Arguments"), c.arguments);
    EXPECT_EQ(exec.ChildText("WorkingDirectory"), "C:\\Program Files\\Tam & Risk");
    const XmlElement& settings = Path(*task, {"Settings"});
    EXPECT_EQ(settings.ChildText("StartWhenAvailable"), "true");
    EXPECT_EQ(settings.ChildText("ExecutionTimeLimit"), "PT1H");
    const XmlElement& principal = Path(*task, {"Principals", "Principal"});
    EXPECT_EQ(principal.ChildText("LogonType"), "InteractiveToken");
    EXPECT_EQ(principal.ChildText("UserId"), kTarget.userSid);

    // Read back, it is the schedule that was asked for.
    EXPECT_EQ(ScheduleOfTask(xml), Normalised(c.schedule));
  }
}

// The task runs as the account that scheduled it, with the rights its window has, so the settings
// rule finds the scheduled run the same options.ini: over (portable / installed in Program Files) ×
// (standard user / elevated administrator / SYSTEM, as a management agent's install runs). The run
// is modelled as the scheduler starts it: an administrator's or SYSTEM's task at the highest run
// level gets the full token, one at the least gets the limited one, which may not write in Program
// Files.
TEST(ScheduledTask, RunsWithTheRightsAndTheSettingsOfTheProgramThatScheduledIt) {
  constexpr const char* kUser = "S-1-5-21-1-2-3-1001";
  constexpr const char* kInstalled = "C:\\Program Files\\Tamrisk\\";
  constexpr const char* kPortable = "E:\\Tools\\Tamrisk\\";
  constexpr const char* kUserLocal = "C:\\Users\\ann\\AppData\\Local";
  constexpr const char* kSystemLocal = "C:\\Windows\\system32\\config\\systemprofile\\AppData\\Local";
  struct Case {
    const char* what;
    const char* program;
    const char* sid;
    bool elevated;
    const char* logonType;
    const char* runLevel;
    const char* settings;  // the folder of options.ini, for the window and for the scheduled run
  } cases[] = {
      {"portable, standard user", kPortable, kUser, false, "InteractiveToken", "LeastPrivilege", kPortable},
      {"portable, administrator", kPortable, kUser, true, "InteractiveToken", "HighestAvailable", kPortable},
      {"portable, SYSTEM", kPortable, kSystemSid, true, "ServiceAccount", "HighestAvailable", kPortable},
      {"installed, standard user", kInstalled, kUser, false, "InteractiveToken", "LeastPrivilege",
       "C:\\Users\\ann\\AppData\\Local\\Tamrisk\\"},
      {"installed, administrator", kInstalled, kUser, true, "InteractiveToken", "HighestAvailable", kInstalled},
      {"installed, SYSTEM", kInstalled, kSystemSid, true, "ServiceAccount", "HighestAvailable", kInstalled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto settingsFolder = [&](bool fullRights) {
      MemoryPlatform env;
      env.system.SetExecutableFolder(c.program);
      env.files.AddFolder(c.program);
      env.files.SetWriteProtected(c.program, c.program == kInstalled && !fullRights);
      const char* local = c.sid == kSystemSid ? kSystemLocal : kUserLocal;
      env.files.AddFolder(local);
      env.system.SetSpecialFolder(csidl::LocalAppData, local);
      return SettingsFolder(env.platform);
    };
    MemoryPlatform window;
    window.system.SetCurrentUserSid(c.sid);
    window.system.SetElevated(c.elevated);
    MemoryTaskScheduler scheduler;
    const TaskTarget target = TaskTargetOf(window.platform, std::string(c.program) + "Tamrisk.exe");
    ApplySchedule(scheduler, Make(ScheduleKind::AtLogon), target);
    const std::optional<XmlElement> task = ParseXml(scheduler.ReadTask(kScheduledTaskName).value_or(""));
    ASSERT_TRUE(task);
    const XmlElement& principal = Path(*task, {"Principals", "Principal"});
    EXPECT_EQ(principal.ChildText("UserId"), c.sid);
    EXPECT_EQ(principal.ChildText("LogonType"), c.logonType);
    EXPECT_EQ(principal.ChildText("RunLevel"), c.runLevel);
    const bool service = std::string(c.logonType) == "ServiceAccount";
    EXPECT_EQ(scheduler.LastLogon(), service ? TaskLogon::ServiceAccount : TaskLogon::Interactive);
    // SYSTEM never logs on: its logon trigger fires at anybody's logon.
    EXPECT_EQ(Path(*task, {"Triggers", "LogonTrigger"}).Child("UserId") != nullptr, !service);
    EXPECT_EQ(settingsFolder(c.elevated), c.settings) << "the window";
    const bool runFullRights = c.elevated && std::string(c.runLevel) == "HighestAvailable";
    EXPECT_EQ(settingsFolder(runFullRights), c.settings) << "the scheduled run";
  }
}

TEST(ScheduledTaskXml, OddTargetsAndSchedulesThatMakeNoTask) {
  // A program in a drive's root runs in the root; an unknown user leaves the user to the scheduler.
  const std::string xml = ScheduledTaskXml(Make(ScheduleKind::AtLogon), {"C:\\Tamrisk.exe", "", {2024, 1, 2}});
  const std::optional<XmlElement> task = ParseXml(xml);
  ASSERT_TRUE(task);
  EXPECT_EQ(Path(*task, {"Actions", "Exec"}).ChildText("WorkingDirectory"), "C:\\");
  EXPECT_FALSE(Path(*task, {"Triggers", "LogonTrigger"}).Child("UserId"));
  EXPECT_FALSE(Path(*task, {"Principals", "Principal"}).Child("UserId"));
  // Non-ASCII paths survive the trip.
  const TaskTarget accented{"D:\\Outils\\Pr\xC3\xA9sent <1>\\Tamrisk.exe", "", {2024, 1, 2}};
  const std::optional<XmlElement> again = ParseXml(ScheduledTaskXml(Make(ScheduleKind::Daily), accented));
  ASSERT_TRUE(again);
  EXPECT_EQ(Path(*again, {"Actions", "Exec"}).ChildText("Command"), accented.program);

  for (const Schedule& none : {Make(ScheduleKind::Off), Make(ScheduleKind::Other), Make(ScheduleKind::Daily, 24),
                               Make(ScheduleKind::Daily, 5, 60), Make(ScheduleKind::Weekly, 5, 0, 7)}) {
    EXPECT_THROW(ScheduledTaskXml(none, kTarget), std::invalid_argument);
  }
}

// A definition as the Task Scheduler exports one, with the parts a case changes.
std::string Exported(const std::string& triggers, const std::string& arguments = "-report -scheduled",
                     const std::string& taskEnabled = "true", const std::string& actionsExtra = "") {
  return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
         "<Task version=\"1.4\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
         "  <RegistrationInfo>\r\n    <Date>2024-05-17T10:20:30.1234567</Date>\r\n"
         "    <Author>PC\\user</Author>\r\n    <URI>\\Tamrisk scheduled clean</URI>\r\n  </RegistrationInfo>\r\n"
         "  <Triggers>\r\n" +
         triggers +
         "  </Triggers>\r\n"
         "  <Settings>\r\n    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\r\n"
         "    <IdleSettings>\r\n      <StopOnIdleEnd>true</StopOnIdleEnd>\r\n      <Enabled>false</Enabled>\r\n"
         "    </IdleSettings>\r\n    <StartWhenAvailable>true</StartWhenAvailable>\r\n"
         "    <Enabled>" +
         taskEnabled +
         "</Enabled>\r\n    <ExecutionTimeLimit>PT1H</ExecutionTimeLimit>\r\n"
         "  </Settings>\r\n"
         "  <Actions Context=\"Author\">\r\n    <Exec>\r\n"
         "      <Command>\"C:\\Program Files\\Tamrisk\\Tamrisk.exe\"</Command>\r\n"
         "      <Arguments>" +
         arguments +
         "</Arguments>\r\n"
         "      <WorkingDirectory>C:\\Program Files\\Tamrisk</WorkingDirectory>\r\n    </Exec>\r\n" +
         actionsExtra + "  </Actions>\r\n</Task>\r\n";
}

std::string Weekly(const std::string& days, const std::string& extra = "") {
  return "    <CalendarTrigger>\r\n      <StartBoundary>2023-11-02T21:15:00+01:00</StartBoundary>\r\n"
         "      <Enabled>true</Enabled>\r\n      <ScheduleByWeek>\r\n        <DaysOfWeek>\r\n" +
         days + "        </DaysOfWeek>\r\n" + extra + "      </ScheduleByWeek>\r\n    </CalendarTrigger>\r\n";
}

std::string Daily(const std::string& inner, const std::string& start = "2023-11-02T07:45:00.000",
                  const std::string& enabled = "") {
  return "    <CalendarTrigger>\r\n      <StartBoundary>" + start + "</StartBoundary>\r\n" + enabled +
         "      <ScheduleByDay>\r\n" + inner + "      </ScheduleByDay>\r\n    </CalendarTrigger>\r\n";
}

const std::string kLogon =
    "    <LogonTrigger>\r\n      <Enabled>true</Enabled>\r\n      <UserId>PC\\user</UserId>\r\n"
    "    </LogonTrigger>\r\n";

TEST(ScheduleOfTask, ReadsWhatTheSchedulerHandsBackAndCallsTheRestOther) {
  const Schedule other = Make(ScheduleKind::Other);
  struct Case {
    const char* what;
    std::string xml;
    Schedule expected;
  };
  const std::vector<Case> cases = {
      {"weekly", Exported(Weekly("          <Tuesday />\r\n", "        <WeeksInterval>1</WeeksInterval>\r\n")),
       Make(ScheduleKind::Weekly, 21, 15, 2, true)},
      {"weekly, interval left out", Exported(Weekly("<Friday/>")), Make(ScheduleKind::Weekly, 21, 15, 5, true)},
      {"daily", Exported(Daily("<DaysInterval>1</DaysInterval>"), "-cleanonce  -scheduled"),
       Make(ScheduleKind::Daily, 7, 45)},
      {"switches in any letter case", Exported(Daily(""), "-REPORT -Scheduled"),
       Make(ScheduleKind::Daily, 7, 45, 1, true)},
      {"at logon", Exported(kLogon, "-cleanonce -scheduled"), Make(ScheduleKind::AtLogon)},
      {"every second day", Exported(Daily("<DaysInterval>2</DaysInterval>")), other},
      {"every second week", Exported(Weekly("<Monday />", "<WeeksInterval>2</WeeksInterval>")), other},
      {"two days a week", Exported(Weekly("<Monday /><Thursday />")), other},
      {"no day", Exported(Weekly("")), other},
      {"monthly",
       Exported("<CalendarTrigger><StartBoundary>2023-11-02T07:45:00</StartBoundary><ScheduleByMonth/>"
                "</CalendarTrigger>"),
       other},
      {"no start", Exported(Daily("", "")), other},
      {"odd start", Exported(Daily("", "2023-11-02T25:00:00")), other},
      {"one run only", Exported("<TimeTrigger><StartBoundary>2023-11-02T07:45:00</StartBoundary></TimeTrigger>"),
       other},
      {"trigger switched off", Exported(Daily("", "2023-11-02T07:45:00", "<Enabled>false</Enabled>")), other},
      {"task switched off", Exported(kLogon, "-report -scheduled", "false"), other},
      {"two triggers", Exported(kLogon + Daily("")), other},
      {"no trigger", Exported(""), other},
      {"plain -cleanonce", Exported(kLogon, "-cleanonce"), other},
      {"a report to a file", Exported(kLogon, "-report C:\\r.csv"), other},
      {"another switch", Exported(kLogon, "-repair -scheduled"), other},
      {"a second action", Exported(kLogon, "-cleanonce -scheduled", "true", "<Exec><Command>x.exe</Command></Exec>"),
       other},
      {"what Wine keeps",
       "<Task version=\"1.2\"><RegistrationInfo/><Triggers/><Principals/><Settings>"
       "<Enabled>true</Enabled></Settings><Actions><Exec/></Actions></Task>",
       other},
      {"not a task", "<Job><Triggers/></Job>", other},
      {"malformed", Exported(kLogon).substr(0, 300), other},
      {"empty", "", other},
  };
  for (const Case& c : cases) EXPECT_EQ(ScheduleOfTask(c.xml), c.expected) << c.what;
}

TEST(ScheduleThroughTheScheduler, ApplyRegistersReplacesAndDeletesTheOneTask) {
  MemoryTaskScheduler scheduler;
  EXPECT_EQ(ReadSchedule(scheduler), Schedule{}) << "no task reads as Off";
  for (const Schedule& schedule :
       {Make(ScheduleKind::Weekly, 21, 15, 2, true), Make(ScheduleKind::AtLogon), Make(ScheduleKind::Daily, 6, 30)}) {
    ApplySchedule(scheduler, schedule, kTarget);
    EXPECT_EQ(ReadSchedule(scheduler), Normalised(schedule));
  }
  EXPECT_TRUE(scheduler.ReadTask("TAMRISK SCHEDULED CLEAN")) << "one task, under the one name";

  // A scheduler that refuses changes nothing and says why.
  scheduler.Refuse("Access is denied.");
  try {
    ApplySchedule(scheduler, Make(ScheduleKind::Off), kTarget);
    ADD_FAILURE() << "no error";
  } catch (const TaskSchedulerError& error) {
    EXPECT_STREQ(error.what(), "Access is denied.");
  }
  scheduler.Refuse(std::nullopt);
  EXPECT_EQ(ReadSchedule(scheduler), Make(ScheduleKind::Daily, 6, 30));

  EXPECT_THROW(ApplySchedule(scheduler, Make(ScheduleKind::Other), kTarget), std::invalid_argument);
  ApplySchedule(scheduler, Make(ScheduleKind::Off), kTarget);
  EXPECT_FALSE(scheduler.ReadTask(kScheduledTaskName));
  ApplySchedule(scheduler, Make(ScheduleKind::Off), kTarget);  // already off: nothing to delete, no error
  EXPECT_EQ(ReadSchedule(scheduler), Schedule{});
}

TEST(ScheduledRun, TheSwitchMarksTheRunAndTheReportIsNamedWhenItStarts) {
  struct Case {
    std::vector<std::string> arguments;
    bool scheduled;
  };
  for (const Case& c : std::vector<Case>{{{"-cleanonce", "-scheduled"}, true},
                                         {{"-report", "-SCHEDULED"}, true},
                                         {{"-cleanonce", "-x", "-Scheduled"}, true},
                                         {{"-scheduled"}, false},
                                         {{"-cleanonce"}, false},
                                         {{"-report", "C:\\-scheduled.csv"}, false},
                                         {{}, false}}) {
    EXPECT_EQ(IsScheduledRun(c.arguments), c.scheduled) << c.arguments.size();
  }
  EXPECT_EQ(ScheduledReportFile("C:\\Tamrisk\\Backup", {2024, 1, 2, 3, 4, 5}),
            "C:\\Tamrisk\\Backup\\Report20240102030405.csv");
  EXPECT_EQ(ScheduledReportFile("D:\\", {2024, 12, 31, 23, 59, 58}), "D:\\Report20241231235958.csv");
}

TEST(TaskXmlReader, KeepsElementsAndTextAndRefusesWhatIsNotWellFormed) {
  const std::optional<XmlElement> root = ParseXml(
      "<?xml version='1.0'?><!-- note --><t:Root xmlns:t='urn:x' a=\"1 > 0\">"
      "<t:A>x &amp; y &lt;&#65;&#x42;&#xE9;&#x1F600;&gt;</t:A><B><![CDATA[<raw> & ]]></B><!-- c "
      "--><C/><C>second</C></t:Root>\n");
  ASSERT_TRUE(root);
  EXPECT_EQ(root->name, "Root");
  EXPECT_EQ(root->ChildText("A"), "x & y <AB\xC3\xA9\xF0\x9F\x98\x80>");
  EXPECT_EQ(root->ChildText("B"), "<raw> &");
  EXPECT_EQ(root->ChildText("C"), "") << "the first of two";
  EXPECT_EQ(root->children.size(), 4u);
  EXPECT_FALSE(root->ChildText("D"));

  for (const char* bad : {"", "text", "<a>", "<a></b>", "<a><b></a></b>", "<a>&unknown;</a>", "<a>&#0;</a>",
                          "<a>&#xD800;</a>", "<a x=1></a>", "<a></a><b></b>", "<a><!-- open </a>"}) {
    EXPECT_FALSE(ParseXml(bad)) << bad;
  }
  std::string deep;
  for (int i = 0; i < 100; ++i) deep += "<a>";
  for (int i = 0; i < 100; ++i) deep += "</a>";
  EXPECT_FALSE(ParseXml(deep)) << "nesting far deeper than any task";
  EXPECT_EQ(XmlEscaped("a&b<c>\"d'"), "a&amp;b&lt;c&gt;\"d'");
}

}  // namespace
}  // namespace tamrisk
