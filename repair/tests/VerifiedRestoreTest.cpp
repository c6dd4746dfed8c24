// The checked restore: which files it imports at all (a program run as an administrator must not
// import a .reg file someone else put in its folder), what it says of those it refuses, and that the
// file cannot be swapped while the registry editor reads it.
#include "repair/VerifiedRestore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "testkit/TestKit.h"

namespace tamrisk {
namespace {

using test::Cp1252;
using test::Utf16File;

constexpr char kBack[] = "[HKEY_CURRENT_USER\\Software\\TamriskBack]\r\n\"Here\"=\"x\"\r\n";
constexpr char kStamped[] = "Backup20240131235959.reg";

std::string Regedit4(const std::string& body) { return "REGEDIT4\r\n\r\n" + body; }
std::string Regedit5(const std::string& body) {
  return Utf16File("Windows Registry Editor Version 5.00\r\n\r\n" + body);
}

TEST(VerifiedRestore, ImportsOnlyABackupTheRepairCouldHaveWrittenAndNamesTheFileItRefuses) {
  using Status = RestoreResult::Status;
  struct Case {
    const char* what;
    std::string name;  // in C:\Backups; "" leaves the file out
    std::string contents;
    Status status;
    const char* reason = "";  // of a refusal
    bool editorEnds = true;
  };
  const std::string ours = Regedit5(kBack);
  const std::string notBack = Regedit5("[HKEY_CURRENT_USER\\Software\\TamriskBack]\r\n\"Gone\"=\"x\"\r\n");
  const std::string kName = "its name is not \"Backup\", a date and time and \".reg\"";
  const std::string kNotReg = "it is not a registry file";
  const std::string kDeletes = "it deletes registry entries";
  const std::vector<Case> cases{
      {"a backup of ours", kStamped, ours, Status::Restored},
      {"an older REGEDIT4 backup, its name in other letters", "bACKUP20240131235959.REG", Regedit4(kBack),
       Status::Restored},
      {"a value that did not come back", kStamped, notBack, Status::Incomplete},
      {"the editor stopped", kStamped, ours, Status::NotEnded, "", false},
      {"another name", "Run.reg", ours, Status::Refused, kName.c_str()},
      {"a stamp too short", "Backup2024013123595.reg", ours, Status::Refused, kName.c_str()},
      {"a letter in the stamp", "Backup2024013123595x.reg", ours, Status::Refused, kName.c_str()},
      {"a second extension", "Backup20240131235959.reg.reg", ours, Status::Refused, kName.c_str()},
      {"no registry file", kStamped, "garbage", Status::Refused, kNotReg.c_str()},
      {"a 5.00 header without its byte-order mark", kStamped, "Windows Registry Editor Version 5.00\r\n\r\n",
       Status::Refused, kNotReg.c_str()},
      {"a key deleted", kStamped, Regedit5(std::string(kBack) + "\r\n[-HKEY_LOCAL_MACHINE\\Software\\Victim]\r\n"),
       Status::Refused, kDeletes.c_str()},
      {"a value deleted", kStamped,
       Regedit4("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n\"Defender\"=-\r\n"),
       Status::Refused, kDeletes.c_str()},
      {"no file", "", "", Status::Unreadable},
  };
  for (const Case& c : cases) {
    MemoryPlatform memory;
    memory.registry.SetString(RootKey::CurrentUser, "Software\\TamriskBack", "Here", "x");
    memory.files.AddFolder("C:\\Backups");
    const std::string path = "C:\\Backups\\" + (c.name.empty() ? std::string(kStamped) : c.name);
    if (!c.name.empty()) memory.files.AddFile(path, c.contents);
    std::vector<std::string> imports;
    bool swappedDuringImport = false;
    const RestoreResult result = RestoreBackupFile(
        memory.platform, path,
        [&](const std::string& command) {
          imports.push_back(command);
          swappedDuringImport = memory.files.WriteFile(path, Regedit4("")) || memory.files.ShellDelete(path, false);
          return c.editorEnds;
        },
        Cp1252);
    EXPECT_EQ(result.status, c.status) << c.what;
    const bool imported = c.status != Status::Refused && c.status != Status::Unreadable;
    ASSERT_EQ(imports.size(), imported ? 1u : 0u) << c.what;
    if (imported) {
      EXPECT_EQ(imports[0], "\"C:\\Windows\\regedit.exe\" /s \"" + path + "\"") << c.what;
      EXPECT_FALSE(swappedDuringImport) << c.what << ": the file could be changed while the editor read it";
      EXPECT_TRUE(memory.files.WriteFile(path, c.contents)) << c.what << ": the file stayed held";
    }
    if (c.status == Status::Refused) {
      EXPECT_EQ(
          Worded(RestoreFailurePhrase(result, path).value()),
          "This file is not a backup of Tamrisk (" + std::string(c.reason) + "), so it was not restored:\r\n" + path)
          << c.what;
      EXPECT_EQ(memory.files.Contents(path), c.contents) << c.what;
    }
  }
}

TEST(VerifiedRestore, ABackupReadOnlyInPartIsNeitherImportedNorTakenForRestored) {
  MemoryPlatform env;
  // Every entry is in the registry, so the part before the failure would check out.
  std::string body = "[HKEY_CURRENT_USER\\Software\\TamriskBack]\r\n";
  for (int i = 0; i < 3000; ++i) {
    body += "\"v" + std::to_string(i) + "\"=\"x\"\r\n";
    env.registry.SetString(RootKey::CurrentUser, "Software\\TamriskBack", "v" + std::to_string(i), "x");
  }
  const std::string path = std::string("C:\\Backups\\") + kStamped;
  env.files.AddFile(path, Regedit5(body));
  env.files.FailRead(2);  // the file is over 64 KiB: its second piece
  bool imported = false;
  const RestoreResult result = RestoreBackupFile(
      env.platform, path, [&](const std::string&) { return imported = true; },
      [](std::string_view bytes) { return std::u16string(bytes.begin(), bytes.end()); });
  EXPECT_EQ(result.status, RestoreResult::Status::Unreadable);
  EXPECT_FALSE(imported);
  EXPECT_EQ(Worded(RestoreFailurePhrase(result, path).value()),
            "The backup file could not be read, so nothing was restored:\r\n" + path +
                "\r\nThe system cannot read from the specified device.");
  EXPECT_TRUE(env.files.Exists(path));
}

}  // namespace
}  // namespace tamrisk
