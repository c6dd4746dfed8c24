// The reason each category gives for its rows: one registry with an entry for every category and
// every kind of finding, one expected reason each. The other scanner tests compare rows without their
// reasons (and fail on a row that has none); this table checks what the reasons say.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "scan/Reasons.h"
#include "testkit/ScanHarness.h"
#include "testkit/TestKit.h"

namespace tamrisk {
namespace {

using namespace test;

constexpr char kWindows[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\";
constexpr char kUserWindows[] = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\";

class ScanReasonsTest : public MemoryScanTest {
 protected:
  void SetUp() override {
    SeedFiles(env.files, {"C:\\Apps\\here.dll", "C:\\Windows\\Fonts\\arial.ttf", "C:\\Desk\\", "C:\\Docs\\"});
    env.system.SetSpecialFolder(csidl::Fonts, "C:\\Windows\\Fonts");
    env.system.SetSpecialFolder(csidl::Desktop, "C:\\Desk");
    env.system.SetSpecialFolder(csidl::Programs, "C:\\Menu\\Programs");
    env.system.SetVersion({2, 6, 1});
    env.files.AddShortcut("C:\\Desk\\gone.lnk", "C:\\Gone\\app.exe");
    const std::string w = kWindows;
    const std::string u = kUserWindows;
    Seed(env.registry,
         {
             Str("HKLM\\Software\\Vendor", "Path", "C:\\Gone\\app.exe /s"),
             Str("HKCU\\Software\\Vendor", "Dir", "C:\\Gone\\"),
             Str("HKU\\S-1-5-21\\Software\\Vendor", "Data", "C:\\Gone\\Data"),
             Str(w + "App Paths\\gone.exe", "", "\"C:\\Gone\\gone.exe\" -x"),
             Str("HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Gone Font", "gone.ttf"),
             Str("HKLM\\Software\\Microsoft\\Windows\\Help", "gone.hlp", "C:\\Gone"),
             Dword(w + "SharedDlls", "C:\\Apps\\here.dll", 0),
             Dword(w + "SharedDlls", "C:\\Gone\\x.dll", 1),
             Str(u + "Run", "Tool", "\"C:\\Gone\\tool.exe\" /min"),
             Key(w + "Uninstall\\EmptyEntry"),
             Str(w + "Uninstall\\App", "UninstallString", "\"C:\\Gone\\uninst.exe\" /S"),
             Str("HKLM\\Software\\Classes\\.unused", "", ""),
             Key(u + "Explorer\\FileExts\\.unknown"),
             Str("HKCR\\CLSID\\{Gone}\\InprocServer32", "", "C:\\Gone\\control.dll"),
             Key("HKCU\\Software\\Leftover"),
             Str("HKLM\\SYSTEM\\CurrentControlSet\\Services\\GoneSvc", "ImagePath", "C:\\Gone\\svc.exe -k"),
             Key(u + "Explorer\\MenuOrder\\Start Menu2\\Programs\\Old Games"),
             Str("HKCU\\AppEvents\\Schemes\\Apps\\.Default\\Ding\\.Current", "", "C:\\Media\\gone.wav"),
             Str("HKCR\\TypeLib\\{Lib}\\1.0\\0\\win32", "", "C:\\Gone\\lib.dll"),
             Str(u + "Explorer\\ComDlg32\\OpenSaveMRU", "a", "C:\\Docs\\gone"),
             Key(u + "Explorer\\ComDlg32\\OpenSaveMRU\\txt"),
             Str(w + "Installer\\Folders", "C:\\Gone\\Folder\\", ""),
             Key(w + "App Management\\ARPCache\\Stale"),
             Str("HKLM\\Software\\Classes\\Applications\\tool.exe\\shell\\open\\command", "", "C:\\Gone\\tool.exe %1"),
             Str("HKLM\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules",
                 "{Rule}", "v2.10|Action=Allow|App=C:\\Gone\\fw.exe|Name=x|"),
             Str("HKCU\\Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache",
                 "C:\\Gone\\mui.exe.FriendlyAppName", "Mui"),
             Str("HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers",
                 "C:\\Gone\\compat.exe", "~ RUNASADMIN"),
             Str("HKCR\\*\\shellex\\ContextMenuHandlers\\Unregistered", "", "{Unregistered}"),
             Str("HKCR\\*\\shellex\\ContextMenuHandlers\\ServerGone", "", "{Gone}"),
             Str(u + "App Paths\\user.exe", "", "C:\\Gone\\user.exe"),
         });
  }
};

TEST_F(ScanReasonsTest, EveryCategoryNamesWhatFailed) {
  struct Case {
    const char* code;
    const char* marker;  // in the row's registry key or value
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"3", "Vendor\\Path", "file not found: C:\\Gone\\app.exe"},
      {"4", "Vendor\\Dir", "folder not found: C:\\Gone\\"},
      {"5", "Vendor\\Data", "file or folder not found: C:\\Gone\\Data"},
      {"6", "App Paths\\gone.exe", "file not found: C:\\Gone\\gone.exe"},
      {"7", "Gone Font", "not in the Fonts folder: gone.ttf"},
      {"8", "gone.hlp", "file not found: C:\\Gone\\gone.hlp"},
      {"9", "here.dll", "count is 0"},
      {"9", "x.dll", "file not found: C:\\Gone\\x.dll"},
      {"10", "Run\\Tool", "file not found: C:\\Gone\\tool.exe"},
      {"11", "EmptyEntry", "no values below this key"},
      {"12", ".unused", "nothing but an empty default value"},
      {"12", ".unknown", "extension not registered: .unknown"},
      {"13", "{Gone}", "file not found: C:\\Gone\\control.dll"},
      {"14", "Leftover", "no values below this key"},
      {"15", "GoneSvc", "file not found: C:\\Gone\\svc.exe"},
      {"16", "Old Games", "Programs folder not found: Old Games"},
      {"17", "gone.lnk", "shortcut target not found: C:\\Gone\\app.exe"},
      {"18", "Ding", "file not found: C:\\Media\\gone.wav"},
      {"19", "{Lib}", "file not found: C:\\Gone\\lib.dll"},
      {"20", "OpenSaveMRU\\a", "file not found with any listed extension: C:\\Docs\\gone"},
      {"21", "Uninstall\\App", "file not found: C:\\Gone\\uninst.exe"},  // the whole entry goes
      {"21", "Gone\\Folder", "folder not found: C:\\Gone\\Folder\\"},
      {"21", "Stale", "uninstall entry not found: Stale"},
      {"22", "Applications\\tool.exe", "file not found: C:\\Gone\\tool.exe"},
      {"23", "{Rule}", "file not found: C:\\Gone\\fw.exe"},
      {"24", "mui.exe", "file not found: C:\\Gone\\mui.exe"},
      {"25", "compat.exe", "file not found: C:\\Gone\\compat.exe"},
      {"26", "Unregistered", "class not registered: {Unregistered}"},
      {"26", "ServerGone", "file not found: C:\\Gone\\control.dll"},
      {"27", "user.exe", "file not found: C:\\Gone\\user.exe"},
  };
  for (const Case& c : cases) {
    const std::vector<ProblemRow> rows = RunScan(env.platform, {c.code}).rows;
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const ProblemRow& r) {
      return (r.registryKey + "|" + r.value).find(c.marker) != std::string::npos;
    });
    ASSERT_NE(row, rows.end()) << c.code << " " << c.marker << ": " << ::testing::PrintToString(rows);
    EXPECT_EQ(Worded(row->reason), c.reason) << c.code << " " << c.marker;
  }
}

}  // namespace
}  // namespace tamrisk
