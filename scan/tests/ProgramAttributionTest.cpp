// Which program a row belongs to: told from the uninstall entries of both views and every user, by
// the row's own entry, the folder of the path that failed, or its vendor and product key; never
// guessed where a folder is shared or two programs fit.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "scan/ProgramAttribution.h"
#include "scan/Reasons.h"
#include "testkit/ScanHarness.h"
#include "testkit/TestKit.h"

namespace tamrisk {

void PrintTo(const ProgramRef& program, std::ostream* os) {
  *os << program.name << " (" << static_cast<int>(program.state) << ")";
}

namespace {

using namespace test;

constexpr char kUninstall[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kUninstall32[] = "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kUserUninstall[] = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kBobUninstall[] = "HKU\\S-1-5-21-2\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string At(const char* list, const char* entry) { return std::string(list) + entry; }

// A 64-bit Windows with user ann (current) and bob, and these programs:
//   Pin 1.0 (64-bit, installed), Pintail 2.1 (32-bit, its folder deleted), Wing (32-bit, named by
//   %ProgramFiles%), Notely (ann's own), Sketcher (bob's, in a profile ann cannot look into),
//   Acme Draw and Acme Paint (one shared folder), Wren Studio 3 (in its vendor's folder), Tooly and
//   Driverpack (only shared places).
void SeedMachine(MemoryPlatform& env) {
  env.LayOut64BitWindows();
  env.SetCurrentUserSid("S-1-5-21-1");
  for (const auto& [name, value] : {std::pair{"USERPROFILE", "C:\\Users\\ann"},
                                    {"APPDATA", "C:\\Users\\ann\\AppData\\Roaming"},
                                    {"LOCALAPPDATA", "C:\\Users\\ann\\AppData\\Local"},
                                    {"TEMP", "C:\\Users\\ann\\AppData\\Local\\Temp"},
                                    {"ProgramData", "C:\\ProgramData"}}) {
    env.system.SetVariable(name, value);
  }
  Seed(env.registry,
       {Str(At(kUninstall, "Pin"), "DisplayName", "Pin 1.0"),
        Str(At(kUninstall, "Pin"), "Publisher", "Pin Corp."),
        Str(At(kUninstall, "Pin"), "InstallLocation", "C:\\Program Files\\Pin\\"),
        Str(At(kUninstall32, "Pintail"), "DisplayName", "Pintail 2.1"),
        Str(At(kUninstall32, "Pintail"), "Publisher", "Pintail Software Ltd"),
        Str(At(kUninstall32, "Pintail"), "UninstallString", "\"C:\\Program Files (x86)\\Pintail\\uninst.exe\" /S"),
        Str(At(kUninstall32, "Wing"), "DisplayName", "Wing"),
        ExpandStr(At(kUninstall32, "Wing"), "InstallLocation", "%ProgramFiles%\\Wing"),
        Str(At(kUserUninstall, "Notely"), "DisplayName", "Notely"),
        Str(At(kUserUninstall, "Notely"), "DisplayIcon", "C:\\Users\\ann\\AppData\\Local\\Notely\\notely.exe,0"),
        Str(At(kUserUninstall, "Notely"), "UninstallString", "C:\\Users\\ann\\AppData\\Local\\Temp\\nsu1\\un.exe"),
        Str(At(kBobUninstall, "Sketcher"), "DisplayName", "Sketcher"),
        Str(At(kBobUninstall, "Sketcher"), "InstallLocation", "C:\\Users\\bob\\AppData\\Local\\Programs\\Sketcher"),
        Str(At(kBobUninstall, "Sketcher"), "DisplayIcon", "C:\\Users\\bob\\AppData\\Roaming\\sk.ico"),
        Str(At(kUninstall, "Draw"), "DisplayName", "Acme Draw"),
        Str(At(kUninstall, "Draw"), "Publisher", "Acme"),
        Str(At(kUninstall, "Draw"), "InstallLocation", "C:\\Program Files\\Acme"),
        Str(At(kUninstall, "Paint"), "DisplayName", "Acme Paint"),
        Str(At(kUninstall, "Paint"), "Publisher", "Acme"),
        Str(At(kUninstall, "Paint"), "InstallLocation", "c:\\program files\\acme\\"),
        Str(At(kUninstall, "{T00}"), "DisplayName", "Tooly"),
        Str(At(kUninstall, "{T00}"), "UninstallString", "MsiExec.exe /X{T00}"),
        Str(At(kUninstall, "{T00}"), "DisplayIcon", "C:\\Windows\\Installer\\{T00}\\tooly.ico"),
        Str(At(kUninstall, "{T00}"), "InstallLocation", "C:\\Program Files\\"),
        Str(At(kUninstall, "Drv"), "DisplayName", "Driverpack"),
        Str(At(kUninstall, "Drv"), "UninstallString", "C:\\Windows\\System32\\drvuninst.exe"),
        ExpandStr(At(kUninstall, "Drv"), "InstallLocation", "%CommonProgramFiles%\\Driverpack"),
        Str(At(kUninstall, "Wren"), "DisplayName", "Wren Studio 3"),
        Str(At(kUninstall, "Wren"), "Publisher", "Wren Software Ltd"),
        Str(At(kUninstall, "Wren"), "InstallLocation", "C:\\Program Files\\Wren"),
        Str(At(kUninstall, "Netty"), "DisplayName", "Netty"),
        Str(At(kUninstall, "Netty"), "InstallLocation", "N:\\Apps\\Netty")});
  env.files.SetDriveType('n', drivetype::Remote);
  SeedFiles(env.files, {"C:\\Program Files\\Pin\\pin.exe", "C:\\Program Files (x86)\\Wing\\",
                        "C:\\Users\\ann\\AppData\\Local\\Notely\\notely.exe", "C:\\Program Files\\Acme\\",
                        "C:\\Users\\bob\\", "C:\\Program Files\\Wren\\wren.exe"});
  env.files.SetUnreadable("C:\\Users\\bob");
}

ProblemRow RowAt(const std::string& registryKey, RowKind kind, Phrase reason) {
  return ProblemRow(false, ProblemId::InvalidFileOrFolder, registryKey, "", kind, std::move(reason));
}

using reason::FileNotFound;
Phrase FolderNotFound(const std::string& path) { return reason::Gone({path, MissingPath::Folder}); }

constexpr char kClass[] = "HKEY_CLASSES_ROOT\\CLSID\\{A}\\InprocServer32";
constexpr ProgramState kInstalled = ProgramState::Installed;
constexpr ProgramState kFolderDeleted = ProgramState::FolderDeleted;

struct AttributionCase {
  const char* what;
  ProblemRow row;
  std::optional<ProgramRef> expected;
};

const AttributionCase kCases[] = {
    // A network drive is not looked at: its folder counts as there.
    {"program on a network drive",
     RowAt(kClass, rkKey, FileNotFound("N:\\Apps\\Netty\\n.dll")),
     {{"Netty", kInstalled}}},
    // By the folder of the path that failed.
    {"64-bit program",
     RowAt(kClass, rkKey, FileNotFound("C:\\Program Files\\Pin\\pin.dll")),
     {{"Pin 1.0", kInstalled}}},
    {"32-bit program whose folder is gone",
     RowAt(kClass, rkKey, FileNotFound("C:\\Program Files (x86)\\Pintail\\a.dll")),
     {{"Pintail 2.1", kFolderDeleted}}},
    {"32-bit entry naming %ProgramFiles%",
     RowAt(kClass, rkKey, FileNotFound("C:\\Program Files (x86)\\Wing\\w.dll")),
     {{"Wing", kInstalled}}},
    {"per-user program",
     RowAt(kClass, rkKey, FileNotFound("C:\\Users\\ann\\AppData\\Local\\Notely\\x\\a.dll")),
     {{"Notely", kInstalled}}},
    {"another user's program, its folder not to be looked at",
     RowAt(kClass, rkKey, FileNotFound("C:\\Users\\bob\\AppData\\Local\\Programs\\Sketcher\\s.exe")),
     {{"Sketcher", kInstalled}}},
    {"letter case and trailing backslash",
     RowAt(kClass, rkKey, FolderNotFound("c:\\PROGRAM FILES\\pin\\")),
     {{"Pin 1.0", kInstalled}}},
    {"shortcut target",
     RowAt("C:\\Users\\ann\\Desktop\\Pin.lnk", rkShortcutFile,
           reason::ShortcutTargetNotFound("C:\\Program Files\\Pin\\pin2.exe")),
     {{"Pin 1.0", kInstalled}}},
    {"lookalike folder name", RowAt(kClass, rkKey, FileNotFound("C:\\Program Files\\Pinball\\a.dll")), std::nullopt},
    {"lookalike folder name, 32-bit",
     RowAt(kClass, rkKey, FileNotFound("C:\\Program Files (x86)\\Pintail Extras\\a.dll")), std::nullopt},
    {"folder two programs share", RowAt(kClass, rkKey, FileNotFound("C:\\Program Files\\Acme\\a.dll")), std::nullopt},
    {"system folder", RowAt(kClass, rkKey, FileNotFound("C:\\Windows\\System32\\drvuninst.exe")), std::nullopt},
    {"Windows Installer cache", RowAt(kClass, rkKey, FileNotFound("C:\\Windows\\Installer\\{T00}\\tooly.ico")),
     std::nullopt},
    {"Program Files itself", RowAt(kClass, rkKey, FileNotFound("C:\\Program Files\\gone.exe")), std::nullopt},
    {"common files", RowAt(kClass, rkKey, FileNotFound("C:\\Program Files\\Common Files\\Driverpack\\d.dll")),
     std::nullopt},
    {"temporary folder", RowAt(kClass, rkKey, FileNotFound("C:\\Users\\ann\\AppData\\Local\\Temp\\nsu1\\un.exe")),
     std::nullopt},
    {"another user's application data", RowAt(kClass, rkKey, FileNotFound("C:\\Users\\bob\\AppData\\Roaming\\sk.ico")),
     std::nullopt},
    {"no path", RowAt(kClass, rkKey, reason::ClassNotRegistered("{B}")), std::nullopt},
    // The program's own uninstall entry, whole or a value of it.
    {"its uninstall entry",
     RowAt("HKEY_LOCAL_MACHINE\\" + At(kUninstall32, "Pintail").substr(5), rkKey, Phrase{}),
     {{"Pintail 2.1", kFolderDeleted}}},
    {"a value of its per-user entry, under HKEY_USERS",
     RowAt("HKEY_USERS\\S-1-5-21-1\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Notely\\DisplayIcon",
           rkValueInPath, Phrase{}),
     {{"Notely", kInstalled}}},
    {"an entry naming no folder of its own",
     RowAt("HKEY_LOCAL_MACHINE\\" + At(kUninstall, "{T00}").substr(5), rkKey, Phrase{}), std::nullopt},
    // By its vendor and product key.
    {"vendor key, 32-bit view",
     RowAt("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Pintail Software\\Pintail\\Path", rkValueInPath,
           FileNotFound("D:\\elsewhere.exe")),
     {{"Pintail 2.1", kFolderDeleted}}},
    {"vendor key of another user",
     RowAt("HKEY_USERS\\S-1-5-21-2\\Software\\Pin Corp\\Pin\\Settings\\Last", rkValueInPath, Phrase{}),
     {{"Pin 1.0", kInstalled}}},
    {"vendor key picks one of a shared folder's programs",
     RowAt("HKEY_LOCAL_MACHINE\\Software\\Acme\\Acme Draw\\Plugin", rkValueInPath,
           FileNotFound("C:\\Program Files\\Acme\\p.dll")),
     {{"Acme Draw", kInstalled}}},
    {"vendor key naming neither of a shared folder's programs",
     RowAt("HKEY_LOCAL_MACHINE\\Software\\Acme\\Acme Sculpt\\Plugin", rkValueInPath,
           FileNotFound("C:\\Program Files\\Acme\\p.dll")),
     std::nullopt},
    // A program in its vendor's folder: what lies in a folder below belongs to another product, maybe.
    {"straight in the vendor's folder",
     RowAt("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Wren", rkValueInPath,
           FileNotFound("C:\\Program Files\\Wren\\wrenhelper.exe")),
     {{"Wren Studio 3", kInstalled}}},
    {"below the vendor's folder",
     RowAt("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Chirp", rkValueInPath,
           FileNotFound("C:\\Program Files\\Wren\\Chirp\\chirp.exe")),
     std::nullopt},
    {"below the vendor's folder, with the uninstalled product's key",
     RowAt("HKEY_LOCAL_MACHINE\\Software\\Wren Software\\Chirp\\Dir", rkValueInPath,
           FolderNotFound("C:\\Program Files\\Wren\\Chirp\\")),
     {{"Chirp", ProgramState::Uninstalled}}},
    {"vendor alone", RowAt("HKEY_LOCAL_MACHINE\\Software\\Acme\\Path", rkValueInPath, Phrase{}), std::nullopt},
    // A product whose uninstall entry is gone: only a gone folder of its name tells it.
    {"uninstalled, its folder named",
     RowAt("HKEY_CURRENT_USER\\Software\\Oldco\\Oldie\\InstallDir", rkValueInPath,
           FolderNotFound("C:\\Program Files\\Oldie\\")),
     {{"Oldie", ProgramState::Uninstalled}}},
    {"uninstalled, only a file named",
     RowAt("HKEY_CURRENT_USER\\Software\\Oldco\\Oldie\\Exe", rkValueInPath,
           FileNotFound("C:\\Program Files\\Oldie\\oldie.exe")),
     std::nullopt},
    {"uninstalled, another folder named",
     RowAt("HKEY_CURRENT_USER\\Software\\Oldco\\Oldie\\LastDir", rkValueInPath,
           FolderNotFound("D:\\Documents\\Letters\\")),
     std::nullopt},
    {"a product of that name is installed",
     RowAt("HKEY_CURRENT_USER\\Software\\Other\\Notely\\Dir", rkValueInPath, FolderNotFound("D:\\Notely\\")),
     std::nullopt},
    {"Windows' own keys",
     RowAt("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Oldie\\Dir", rkValueInPath, FolderNotFound("C:\\Oldie\\")),
     std::nullopt},
};

TEST(ProgramAttributionTest, TellsTheProgramOnlyWhenOneFits) {
  MemoryPlatform env;
  SeedMachine(env);
  const ProgramIndex index = ProgramIndex::Build(env.platform);
  for (const AttributionCase& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Attribute(c.row, index), c.expected);
  }
}

// Run as the system account, whose own profile lies in the system folder, the users' profiles are
// still told apart from the programs in them.
TEST(ProgramAttributionTest, UsersProfilesAreSharedPlacesForTheSystemAccountToo) {
  MemoryPlatform env;
  SeedMachine(env);
  const std::string systemProfile = "C:\\Windows\\System32\\config\\systemprofile";
  env.system.SetVariable("USERPROFILE", systemProfile);
  env.system.SetVariable("APPDATA", systemProfile + "\\AppData\\Roaming");
  env.system.SetVariable("PUBLIC", "C:\\Users\\Public");
  const ProgramIndex index = ProgramIndex::Build(env.platform);
  EXPECT_EQ(Attribute(RowAt(kClass, rkKey, FileNotFound("C:\\Users\\bob\\AppData\\Roaming\\sk.ico")), index),
            std::nullopt);
  EXPECT_EQ(
      Attribute(RowAt(kClass, rkKey, FileNotFound("C:\\Users\\bob\\AppData\\Local\\Programs\\Sketcher\\s.exe")), index),
      (ProgramRef{"Sketcher", kInstalled}));
}

// The rows the scanners make, reasons and all, reach the programs above.
TEST(ProgramAttributionTest, AttributesTheScannersRows) {
  MemoryPlatform env;
  SeedMachine(env);
  Seed(env.registry, {Str("HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\pt.exe", "",
                          "C:\\Program Files (x86)\\Pintail\\pt.exe"),
                      Str("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "PinHelper",
                          "\"C:\\Program Files\\Pin\\helper.exe\" /min")});
  const ProgramIndex index = ProgramIndex::Build(env.platform);
  std::vector<std::string> attributed;
  for (const ProblemRow& row : RunScan(env.platform, {"6", "10", "21"}).rows) {
    const std::optional<ProgramRef> program = Attribute(row, index);
    if (program) attributed.push_back(row.registryKey + " -> " + program->name);
  }
  EXPECT_EQ(attributed,
            (std::vector<std::string>{
                "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\pt.exe -> "
                "Pintail 2.1",
                "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\PinHelper -> Pin 1.0",
                "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pintail -> "
                "Pintail 2.1"}));
}

// The index reads the uninstall keys and nothing else, and looks at each program's folders once.
TEST(ProgramAttributionTest, IndexReadsOnlyTheUninstallEntries) {
  MemoryPlatform env;
  SeedMachine(env);
  Seed(env.registry, {Str("HKLM\\Software\\Vendor\\Big\\Deep\\Deeper", "Path", "C:\\x.exe")});
  env.registry.ResetCalls();
  env.files.ResetCalls();
  const ProgramIndex index = ProgramIndex::Build(env.platform);
  EXPECT_EQ(index.Programs().size(), 11u);
  EXPECT_LE(env.registry.Calls().opens, 24u);
  EXPECT_LE(env.files.Calls().existence, 11u);
  EXPECT_EQ(env.registry.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace tamrisk
