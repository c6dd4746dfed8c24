// The CSV of the results list and the headless -report run.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "settings/RegGlobal.h"
#include "scan/Reasons.h"
#include "unattended/Report.h"

namespace tamrisk {
namespace {

// UTF-8 after its byte-order mark.
constexpr const char* kHeader = "\xEF\xBB\xBFProblem,Registry key,Value,Kind,Reason,Program\r\n";

TEST(ReportCsv, QuotesOnlyTheFieldsThatNeedItAndDisarmsFormulas) {
  struct Case {
    const char* label;
    std::string value;
    std::string field;
  };
  const std::vector<Case> cases = {
      {"plain", "C:\\App\\app.exe /min", "C:\\App\\app.exe /min"},
      {"empty", "", ""},
      {"comma", "rundll32 x.dll,Entry", "\"rundll32 x.dll,Entry\""},
      {"quote", "\"C:\\App\\app.exe\" %1", "\"\"\"C:\\App\\app.exe\"\" %1\""},
      {"line feed", "a\nb", "\"a\nb\""},
      {"carriage return", "a\rb", "\"a\rb\""},
      {"text in any language stays", "C:\\\u0394ata\\\xE6\x96\x87 \xF0\x9F\x98\x80",
       "C:\\\u0394ata\\\xE6\x96\x87 \xF0\x9F\x98\x80"},
      // A spreadsheet would run these as formulas.
      {"equals sign", "=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
      {"plus sign", "+1", "'+1"},
      {"minus sign", "-cmd", "'-cmd"},
      {"at sign", "@SUM(A1)", "'@SUM(A1)"},
      {"sign later in the text", "a=b-c", "a=b-c"},
  };
  // The reason quotes registry text too, so it is written as carefully.
  for (const Case& c : cases) {
    const std::vector<ProblemRow> rows = {
        {true, ProblemId::FontsIssue, "HKEY_CURRENT_USER\\Software\\X", c.value, rkValueInColumn, Verbatim(c.value)}};
    EXPECT_EQ(FormatReportCsv(rows), std::string(kHeader) + "Fonts Issue,HKEY_CURRENT_USER\\Software\\X," + c.field +
                                         ",rkValueInColumn," + c.field + ",\r\n")
        << c.label;
  }
}

TEST(ReportCsv, OneLinePerRowInListOrderWithTheKindsName) {
  std::vector<ProblemRow> rows = {
      {true, ProblemId::ObsoleteSoftwareKey, "HKEY_CURRENT_USER\\Software", "Old, Corp", rkSubkeyInColumn,
       reason::NoValuesBelow()},
      {false, ProblemId::MissingShortcutReference, "C:\\Desk\\a.lnk", "C:\\gone.exe", rkShortcutFile,
       reason::ShortcutTargetNotFound("C:\\gone.exe")},
      {true, ProblemId::FontsIssue, "HKEY_LOCAL_MACHINE\\Fonts\\A", "a.ttf", rkValueInPath},
      {true, ProblemId::InvalidFileOrFolder, "HKEY_LOCAL_MACHINE\\Software\\Pintail\\Path", "C:\\Pintail\\",
       rkValueInPath, reason::Gone({"C:\\Pintail\\", MissingPath::Folder})},
      {true, ProblemId::CustomControlsIssue, "HKEY_CLASSES_ROOT\\CLSID\\{1}", "", rkKey},
      {true, ProblemId::MissingSharedDlls, "HKEY_LOCAL_MACHINE\\SharedDlls", "C:\\x.dll", rkValueInColumn},
      {true, ProblemId::SoftwareLocationsIssue, "HKEY_LOCAL_MACHINE\\App Paths\\a.exe", "C:\\a.exe", rkDefaultValue},
  };
  rows[3].program = ProgramRef{"Pintail Draw, 2.0", ProgramState::FolderDeleted};
  EXPECT_EQ(FormatReportCsv(rows),
            std::string(kHeader) +
                "Obsolete Software Key,HKEY_CURRENT_USER\\Software,\"Old, Corp\",rkSubkeyInColumn,"
                "no values below this key,\r\n"
                "Missing ShortCut reference,C:\\Desk\\a.lnk,C:\\gone.exe,rkShortcutFile,"
                "shortcut target not found: C:\\gone.exe,\r\n"
                "Fonts Issue,HKEY_LOCAL_MACHINE\\Fonts\\A,a.ttf,rkValueInPath,,\r\n"
                "Invalid File or Folder,HKEY_LOCAL_MACHINE\\Software\\Pintail\\Path,C:\\Pintail\\,rkValueInPath,"
                "folder not found: C:\\Pintail\\,\"Pintail Draw, 2.0 (folder deleted)\"\r\n"
                "Custom Controls Issue,HKEY_CLASSES_ROOT\\CLSID\\{1},,rkKey,,\r\n"
                "Missing Shared Dlls,HKEY_LOCAL_MACHINE\\SharedDlls,C:\\x.dll,rkValueInColumn,,\r\n"
                "Software Locations Issue,HKEY_LOCAL_MACHINE\\App Paths\\a.exe,C:\\a.exe,rkDefaultValue,,\r\n");
  EXPECT_EQ(FormatReportCsv({}), kHeader);
}

class ReportRun : public ::testing::Test {
 protected:
  static constexpr const char* kIni = "C:\\Program Files\\Tamrisk\\options.ini";
  static constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

  void SetUp() override {
    env_.files.AddFolder("C:\\Program Files\\Tamrisk");
    env_.files.AddFolder("C:\\Reports");
  }
  // Only the given categories ticked.
  void Tick(const std::vector<int>& codes) {
    for (int code = 1; code <= TNodeChecks::Last; ++code) {
      const bool ticked = std::find(codes.begin(), codes.end(), code) != codes.end();
      env_.ini.WriteString(kIni, "TreeViewNodeCheck", std::to_string(code), ticked ? "1" : "0");
    }
  }
  std::string Report(const std::string& file = "C:\\Reports\\out.csv") const {
    return env_.files.Contents(file).value_or("<no file>");
  }

  MemoryPlatform env_;
};

TEST_F(ReportRun, ScansTheTickedCategoriesAndDropsIgnoredRows) {
  Tick({10});
  env_.ini.WriteString(kIni, "IgnoreValue", "Count", "1");
  env_.ini.WriteString(kIni, "IgnoreValue", "Value1", std::string("HKEY_CURRENT_USER\\") + kRun + "\\Ignored");
  env_.registry.SetString(RootKey::CurrentUser, kRun, "Tool", "C:\\Gone\\tool.exe /min");
  env_.registry.SetString(RootKey::CurrentUser, kRun, "Ignored", "C:\\Gone\\ignored.exe");
  env_.registry.SetString(RootKey::CurrentUser, kRun, "Pair", "\"C:\\Gone\\a b.exe\",x");
  env_.registry.SetString(RootKey::CurrentUser, kRun, "Present", "C:\\Program Files\\Tamrisk\\options.ini");
  const std::string iniBefore = env_.files.Contents(kIni).value();

  EXPECT_EQ(RunReport(env_.platform, "C:\\Reports\\out.csv"), 0);
  const std::string key = std::string("HKEY_CURRENT_USER\\") + kRun;
  EXPECT_EQ(Report(),
            std::string(kHeader) + "Missing Startup Programs," + key +
                "\\Tool,C:\\Gone\\tool.exe /min,rkValueInPath,file not found: C:\\Gone\\tool.exe,\r\n"
                "Missing Startup Programs," +
                key + "\\Pair,\"\"\"C:\\Gone\\a b.exe\"\",x\",rkValueInPath,file not found: C:\\Gone\\a b.exe,\r\n");
  // Nothing repaired, nothing saved.
  EXPECT_TRUE(env_.registry.GetValue(RootKey::CurrentUser, kRun, "Tool"));
  EXPECT_EQ(env_.files.Contents(kIni).value(), iniBefore);
}

// A row left by a program whose folder is gone names it in the last column, and the log counts it.
TEST_F(ReportRun, RowsNameTheProgramTheyBelongToAndTheLogCountsThePrograms) {
  Tick({10});
  const std::string uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pintail";
  env_.registry.SetString(RootKey::LocalMachine, uninstall, "DisplayName", "Pintail Draw");
  env_.registry.SetString(RootKey::LocalMachine, uninstall, "InstallLocation", "C:\\Program Files\\Pintail");
  env_.registry.SetString(RootKey::CurrentUser, kRun, "Pintail", "C:\\Program Files\\Pintail\\pin.exe");
  env_.registry.SetString(RootKey::CurrentUser, kRun, "Tool", "C:\\Gone\\tool.exe");
  EXPECT_EQ(RunReport(env_.platform, "C:\\Reports\\out.csv"), 0);
  const std::string report = Report();
  EXPECT_NE(report.find("\\Pintail,C:\\Program Files\\Pintail\\pin.exe,rkValueInPath,file not found: "
                        "C:\\Program Files\\Pintail\\pin.exe,Pintail Draw (folder deleted)\r\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("tool.exe,\r\n"), std::string::npos) << "a row of no program leaves the column empty";
  const std::string log = env_.files.Contents("C:\\Program Files\\Tamrisk\\Tamrisk.log").value_or("");
  EXPECT_NE(log.find("  found 2  programs 1  exit 0"), std::string::npos) << log;
}

TEST_F(ReportRun, NothingTickedGivesTheHeaderAlone) {
  Tick({});
  env_.registry.SetString(RootKey::CurrentUser, kRun, "Tool", "C:\\Gone\\tool.exe");
  EXPECT_EQ(RunReport(env_.platform, "C:\\Reports\\out.csv"), 0);
  EXPECT_EQ(Report(), kHeader);
}

TEST_F(ReportRun, AFileThatCannotBeWrittenGivesOneAndIsLogged) {
  Tick({});
  EXPECT_EQ(RunReport(env_.platform, "C:\\NoSuchFolder\\out.csv"), 1);
  EXPECT_FALSE(env_.files.Exists("C:\\NoSuchFolder\\out.csv"));
  const std::string log = env_.files.Contents("C:\\Program Files\\Tamrisk\\Tamrisk.log").value_or("");
  EXPECT_NE(log.find("-report  categories none  found 0  exit 1  error: "), std::string::npos) << log;
}

TEST_F(ReportRun, SettingsThatCannotBeReadWholeWriteNoReportAndGiveOne) {
  Tick({10});
  env_.registry.SetString(RootKey::CurrentUser, kRun, "Tool", "C:\\Gone\\tool.exe");
  env_.files.AddFile(kIni, env_.files.Contents(kIni).value() + std::string(1, '\0'));
  EXPECT_EQ(RunReport(env_.platform, "C:\\Reports\\out.csv"), 1);
  EXPECT_FALSE(env_.files.Exists("C:\\Reports\\out.csv"));
  const std::string log = env_.files.Contents("C:\\Program Files\\Tamrisk\\Tamrisk.log").value_or("");
  EXPECT_NE(log.find("exit 1  error: Unable to read C:\\Program Files\\Tamrisk\\options.ini: its text is damaged"),
            std::string::npos)
      << log;
}

TEST_F(ReportRun, AnIncompleteScanStillWritesWhatItFoundAndGivesTwo) {
  Tick({9, 10});
  env_.registry.SetString(RootKey::CurrentUser, kRun, "Tool", "C:\\Gone\\tool.exe");
  env_.registry.SetDword(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
                         "C:\\Program Files\\Tamrisk\\options.ini", 1);
  env_.registry.FailReads(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
                          "C:\\Program Files\\Tamrisk\\options.ini");
  EXPECT_EQ(RunReport(env_.platform, "C:\\Reports\\out.csv", true), 2);
  EXPECT_NE(Report().find(ProblemName(ProblemId::MissingStartupPrograms)), std::string::npos)
      << "the category after the failure ran";
  EXPECT_TRUE(
      Report().ends_with("\r\nScan incomplete: Shared DLLs. These categories ended on a failure; what they "
                         "found before it is listed.\r\n"))
      << Report();
  const std::string log = env_.files.Contents("C:\\Program Files\\Tamrisk\\Tamrisk.log").value_or("");
  EXPECT_NE(log.find("-report  scheduled  categories 9,10  found 1  incomplete: Shared DLLs  exit 2\r\n"),
            std::string::npos)
      << log;
}

// A scheduled report goes to the backup folder under its old name, or to the options' report folder
// (made when missing) with the computer's name, so many machines can share one folder.
TEST_F(ReportRun, AScheduledReportGoesToTheReportFolderWithTheComputersName) {
  Tick({});
  const std::string backup = "C:\\Program Files\\Tamrisk\\Backup\\Report20240517102030.csv";
  EXPECT_EQ(RunReport(env_.platform, "", true), 0);
  EXPECT_TRUE(env_.files.Exists(backup));

  env_.ini.WriteString(kIni, "Options", "ReportDirectory", "D:\\Collected\\Tamrisk");
  env_.files.AddFolder("D:\\Collected");
  env_.system.SetComputerName("PC42");
  EXPECT_EQ(RunReport(env_.platform, "", true), 0);
  EXPECT_NE(Report("D:\\Collected\\Tamrisk\\Report20240517102030-PC42.csv"), "<no file>");
}

}  // namespace
}  // namespace tamrisk
