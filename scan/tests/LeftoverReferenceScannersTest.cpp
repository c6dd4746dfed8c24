// The scanners of the references Windows keeps to a program by its path (codes 23 to 27: firewall
// rules, the shell's name cache, compatibility settings, shell extension handlers, per-user
// installs) on the memory platform: one table of entries, each alone in a registry, and the rows
// each gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "testkit/ScanHarness.h"
#include "testkit/TestKit.h"

namespace tamrisk {
namespace {

using namespace test;

const std::string kRules =
    "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules";
const std::string kMui = "Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache";
const std::string kCompat = "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\";
const std::string kLayers = kCompat + "Layers";
const std::string kWowLayers = "Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
const std::string kStore = kCompat + "Compatibility Assistant\\Store";
const std::string kMenus = "HKCR\\*\\shellex\\ContextMenuHandlers\\";
const std::string kOverlays = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers";
const std::string kUser = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const char* kMachine = "HKEY_LOCAL_MACHINE\\";
const char* kCurrentUser = "HKEY_CURRENT_USER\\";
const char* kClasses = "HKEY_CLASSES_ROOT\\";

std::string Rule(const std::string& fields) { return "v2.10|Action=Allow|Active=TRUE|Dir=In|" + fields + "|"; }

// A class whose in-process server is file.
RegRow Server(const std::string& classes, const std::string& id, const std::string& file) {
  return Str(classes + "CLSID\\" + id + "\\InprocServer32", "", file);
}

struct Case {
  const char* label;
  const char* code;
  std::vector<RegRow> seed;
  std::vector<std::string> rows;  // "Registry key|Value" of each row, in scan order
};

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      // ---- 23: firewall rules ----
      {"a rule for a missing program",
       "23",
       {Str("HKLM\\" + kRules, "{R1}", Rule("App=C:\\Gone App\\app.exe|Name=Gone"))},
       {kMachine + kRules + "|{R1}"}},
      {"a rule for a program that is there",
       "23",
       {Str("HKLM\\" + kRules, "{R1}", Rule("app=C:\\Apps\\here.exe"))},
       {}},
      {"rules that name no program",
       "23",
       {Str("HKLM\\" + kRules, "{R1}", Rule("App=System|Name=x")), Str("HKLM\\" + kRules, "{R2}", Rule("Name=x")),
        Str("HKLM\\" + kRules, "{R3}", Rule("App=|Name=x"))},
       {}},
      {"Windows' own rules",
       "23",
       {Str("HKLM\\" + kRules, "{R1}", Rule("App=C:\\Gone\\app.exe|Name=@FirewallAPI.dll,-1")),
        Str("HKLM\\" + kRules, "{R2}", Rule("App=C:\\Gone\\app.exe|Name=x|EmbedCtxt=@FirewallAPI.dll,-2")),
        Str("HKLM\\" + kRules, "{R3}", Rule("App=%SystemRoot%\\system32\\gone.exe"))},
       {}},
      {"a program named through a variable, and one on an untested drive",
       "23",
       {Str("HKLM\\" + kRules, "{R1}", Rule("App=%ProgramFiles%\\Gone\\app.exe")),
        Str("HKLM\\" + kRules, "{R2}", Rule("App=D:\\Gone\\app.exe"))},
       {kMachine + kRules + "|{R1}"}},
      {"a rule the user allowed at the prompt, named with a path",
       "23",
       {Str("HKLM\\" + kRules, "TCP Query User{X}C:\\gone\\app.exe", Rule("App=C:\\gone\\app.exe"))},
       {kMachine + kRules + "|TCP Query User{X}C:\\gone\\app.exe"}},
      // ---- 24: the shell's name cache ----
      {"both names of a missing program",
       "24",
       {Str("HKCU\\" + kMui, "C:\\Gone\\app.exe.FriendlyAppName", "App"),
        Str("HKCU\\" + kMui, "C:\\Gone\\app.exe.ApplicationCompany", "Vendor")},
       {kCurrentUser + kMui + "|C:\\Gone\\app.exe.FriendlyAppName",
        kCurrentUser + kMui + "|C:\\Gone\\app.exe.ApplicationCompany"}},
      {"names of a program that is there, of Windows and of another form",
       "24",
       {Str("HKCU\\" + kMui, "C:\\Apps\\here.exe.FriendlyAppName", "Here"),
        Str("HKCU\\" + kMui, "C:\\Windows\\gone.exe.FriendlyAppName", "Win"),
        Str("HKCU\\" + kMui, "@C:\\Gone\\res.dll,-1", "Text"), Str("HKCU\\" + kMui, "C:\\Gone\\app.exe", "Bare"),
        Str("HKCU\\" + kMui, ".FriendlyAppName", "Nothing")},
       {}},
      // C:\Gone.exe is there: a command line "C:\Gone Away\app.exe" would be taken for it.
      {"the whole path is tested, never a cut of it",
       "24",
       {Str("HKCU\\" + kMui, "C:\\Gone Away\\app.exe.FriendlyAppName", "App")},
       {kCurrentUser + kMui + "|C:\\Gone Away\\app.exe.FriendlyAppName"}},
      // ---- 25: compatibility settings ----
      {"layers of the user and of the machine in both views, and the assistant's store",
       "25",
       {Str("HKCU\\" + kLayers, "C:\\Gone\\app.exe", "~ RUNASADMIN"),
        Raw("HKCU\\" + kStore, "C:\\Gone\\old.exe", regtype::Binary, Bytes("x")),
        Str("HKLM\\" + kLayers, "C:\\Gone\\app.exe", "WINXPSP3"), Str("HKLM\\" + kWowLayers, "C:\\Gone\\x86.exe", "")},
       {kCurrentUser + kLayers + "|C:\\Gone\\app.exe", kCurrentUser + kStore + "|C:\\Gone\\old.exe",
        kMachine + kLayers + "|C:\\Gone\\app.exe", kMachine + kWowLayers + "|C:\\Gone\\x86.exe"}},
      {"settings of programs that are there, of Windows, and names that are no such path",
       "25",
       {Str("HKCU\\" + kLayers, "C:\\Apps\\here.exe", "~ HIGHDPIAWARE"),
        Str("HKCU\\" + kLayers, "C:\\Windows\\gone.exe", "WIN7RTM"),
        Str("HKCU\\" + kLayers, "SIGN.MEDIA=1A2B setup.exe", "WIN98"),
        Str("HKCU\\" + kLayers, "\\\\server\\share\\app.exe", "WIN98"),
        Str("HKCU\\" + kLayers, "C:\\Apps\\here.exe\"", "WIN98")},
       {}},
      // ---- 26: shell extension handlers ----
      {"handlers whose server is gone or whose class is not registered",
       "26",
       {Str(kMenus + "Gone", "", "{G}"), Server("HKCR\\", "{G}", "C:\\Gone\\ext.dll"),
        Key("HKCR\\Directory\\shellex\\PropertySheetHandlers\\{U}"),
        Str("HKCR\\Directory\\Background\\shellex\\ContextMenuHandlers\\Bg", "", "{U}"),
        Str("HKCR\\txtfile\\shellex\\DragDropHandlers\\Drop", "", "{G}"),
        Str("HKCR\\.pdn\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}", "", "{G}"),
        Str("HKCR\\.pdn\\ShellEx\\{8895b1c6-b41f-4c1c-a562-0d564250836f}", "", "{H}"),
        Server("HKCR\\", "{H}", "C:\\Apps\\here.dll"),
        Str("HKCR\\.pdn\\ShellEx\\{bb2e617c-0920-11d1-9a0b-00c04fc2d6c1}", "", "not a class"),
        Str("HKLM\\" + kOverlays + "\\ Overlay", "", "{G}")},
       {kClasses + std::string("*\\shellex\\ContextMenuHandlers\\Gone|{G}"),
        kClasses + std::string(".pdn\\shellex\\{e357fccd-a995-4576-b01f-234630154e96}|{G}"),
        kClasses + std::string("Directory\\shellex\\PropertySheetHandlers\\{U}|{U}"),
        kClasses + std::string("txtfile\\shellex\\DragDropHandlers\\Drop|{G}"),
        kClasses + std::string("Directory\\Background\\shellex\\ContextMenuHandlers\\Bg|{U}"),
        kMachine + kOverlays + "\\ Overlay|{G}"}},
      {"handlers that can be loaded, of Windows, or that name no class",
       "26",
       {Str(kMenus + "Here", "", "{H}"), Server("HKCR\\", "{H}", "C:\\Apps\\here.dll"), Str(kMenus + "Bare", "", "{B}"),
        Server("HKCR\\", "{B}", "bare.dll"), Str(kMenus + "Win", "", "{W}"),
        Server("HKCR\\", "{W}", "%SystemRoot%\\system32\\gone.dll"), Str(kMenus + "Local", "", "{L}"),
        Str("HKCR\\CLSID\\{L}\\LocalServer32", "", "C:\\Gone\\server.exe"), Str(kMenus + "Off", "", "-{U}"),
        Key(kMenus + "Nothing")},
       {}},
      // Windows shares *\shellex between the views; a handler in the 32-bit copy is 32-bit programs'.
      {"a handler is judged in its own view",
       "26",
       {Str(kMenus + "Narrow", "", "{N}"), Server("HKCR\\Wow6432Node\\", "{N}", "C:\\Apps\\here.dll"),
        Str("HKCR\\Wow6432Node\\*\\shellex\\ContextMenuHandlers\\Wide", "", "{H}"),
        Server("HKCR\\", "{H}", "C:\\Apps\\here.dll")},
       {kClasses + std::string("Wow6432Node\\*\\shellex\\ContextMenuHandlers\\Wide|{H}")}},
      // ---- 27: per-user installs ----
      {"a user's App Paths and uninstall entries get the machine's checks",
       "27",
       {Str("HKCU\\" + kUser + "App Paths\\app.exe", "", "C:\\Users\\me\\Gone\\app.exe"),
        Str("HKCU\\" + kUser + "App Paths\\here.exe", "", "C:\\Apps\\here.exe"),
        Key("HKCU\\" + kUser + "Uninstall\\Empty"), Key("HKCU\\" + kUser + "Uninstall\\{PRODUCT}"),
        Str("HKCU\\" + kUser + "Uninstall\\Gone", "UninstallString", "\"C:\\Gone\\uninst.exe\" /S"),
        Str("HKCU\\" + kUser + "Uninstall\\Gone", "DisplayIcon", "C:\\Apps\\here.exe,0"),
        Str("HKCU\\" + kUser + "Uninstall\\Gone", "InstallLocation", "C:\\Gone")},
       {kCurrentUser + kUser + "App Paths\\app.exe|C:\\Users\\me\\Gone\\app.exe",
        kCurrentUser + kUser + "Uninstall|Empty",
        kCurrentUser + kUser + "Uninstall\\Gone\\UninstallString|\"C:\\Gone\\uninst.exe\" /S"}},
  };
  return cases;
}

TEST(LeftoverReferenceScannersTest, EachCategoryListsWhatIsGoneAndLeavesTheRest) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(std::string("code ") + c.code + ": " + c.label);
    MemoryPlatform env;
    SeedFiles(env.files, {"C:\\Windows\\", "C:\\Apps\\here.exe", "C:\\Apps\\here.dll", "C:\\Gone.exe"});
    env.system.SetVariable("ProgramFiles", "C:\\Program Files");
    env.system.SetVariable("SystemRoot", "C:\\Windows");
    Seed(env.registry, c.seed);
    std::vector<std::string> rows;
    for (const ProblemRow& row : RunScan(env.platform, {c.code}).rows)
      rows.push_back(row.registryKey + "|" + row.value);
    EXPECT_EQ(rows, c.rows);
  }
}

// Where the views share the class IDs (the 32-bit copy a link), a 32-bit handler's class is found there.
TEST(LeftoverReferenceScannersTest, A32BitHandlerFindsItsClassWhereTheViewsShareThem) {
  MemoryPlatform env;
  SeedFiles(env.files, {"C:\\Apps\\here.dll"});
  Seed(env.registry, {Str("HKCR\\Wow6432Node\\*\\shellex\\ContextMenuHandlers\\Narrow", "", "{H}"),
                      Server("HKCR\\", "{H}", "C:\\Apps\\here.dll"), Key("HKCR\\Wow6432Node\\CLSID")});
  env.registry.MarkLink(RootKey::ClassesRoot, "Wow6432Node\\CLSID");
  EXPECT_EQ(RunScan(env.platform, {"26"}).rows, std::vector<ProblemRow>{});
}

// The classes are looked through in runs on several threads; the rows still come in the order of the
// class list, those at the runs' edges included, in both views.
TEST(LeftoverReferenceScannersTest, HandlersOfManyClassesAreListedInTheClassesOrder) {
  MemoryPlatform env;
  std::vector<RegRow> seed;
  std::vector<std::string> rows;
  for (const std::string view : {"", "Wow6432Node\\"}) {
    for (int i = 0; i < 300; ++i) {
      const std::string name = "Class" + std::to_string(1000 + i);  // listed in the order made
      seed.push_back(Key("HKCR\\" + view + name));
      if (i % 64 != 0 && i % 64 != 63 && i % 64 != 1) continue;
      const std::string handler = view + name + "\\shellex\\ContextMenuHandlers\\Menu";
      seed.push_back(Str("HKCR\\" + handler, "", "{U}"));
      rows.push_back(kClasses + handler + "|{U}");
    }
  }
  Seed(env.registry, seed);
  std::vector<std::string> found;
  for (const ProblemRow& row : RunScan(env.platform, {"26"}).rows) found.push_back(row.registryKey + "|" + row.value);
  EXPECT_EQ(found, rows);
}

}  // namespace
}  // namespace tamrisk
