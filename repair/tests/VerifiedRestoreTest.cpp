// The checked restore: which files it imports at all (a program run as an administrator must not
// import a .reg file someone else put in its folder), what it says of those it refuses, and that the
// file cannot be swapped while the registry editor reads it.
#include "repair/VerifiedRestore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "repair/BackupRecord.h"
#include "repair/RegBackup.h"
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
    bool recorded = true;  // its bytes are on record as a backup this account wrote
  };
  const std::string ours = Regedit5(kBack);
  const std::string notBack = Regedit5("[HKEY_CURRENT_USER\\Software\\TamriskBack]\r\n\"Gone\"=\"x\"\r\n");
  const std::string kName = "its name is not \"Backup\", a date and time and \".reg\"";
  const std::string kNotReg = "it is not a registry file";
  const std::string kDeletes = "it deletes registry entries";
  const std::string kNoRecord = "Tamrisk has no record of writing it";
  const std::string kVictim = "[-HKEY_LOCAL_MACHINE\\Software\\Victim]";
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
      // The registry editor ends a line at a lone CR, and reads a key line wherever a line begins.
      {"a key deleted behind a lone CR", kStamped, Regedit5(std::string(kBack) + "\"a\"=\"x\"\r" + kVictim + "\r\n"),
       Status::Refused, kDeletes.c_str()},
      {"a value cut short by a lone CR", kStamped, Regedit5(std::string(kBack) + "\"a\"=\"x\r" + kVictim + "\"\r\n"),
       Status::Refused, kNotReg.c_str()},
      {"a NUL before a key deleted", kStamped, Regedit5(std::string(kBack) + std::string(1, '\0') + kVictim + "\r\n"),
       Status::Refused, kNotReg.c_str()},
      {"a key deleted after blanks", kStamped, Regedit5(std::string(kBack) + " \t" + kVictim + "\r\n"), Status::Refused,
       kDeletes.c_str()},
      {"a key deleted inside hex data", kStamped,
       Regedit5(std::string(kBack) + "\"b\"=hex:01,\\\r\n" + kVictim + "\r\n"), Status::Refused, kNotReg.c_str()},
      {"the default value deleted", kStamped, Regedit5(std::string(kBack) + "@=-\r\n"), Status::Refused,
       kDeletes.c_str()},
      {"a value deleted with blanks", kStamped, Regedit5(std::string(kBack) + "\"Here\" = -\r\n"), Status::Refused,
       kDeletes.c_str()},
      {"a backup not on record", kStamped, ours, Status::Refused, kNoRecord.c_str(), true, false},
      {"no file", "", "", Status::Unreadable},
  };
  for (const Case& c : cases) {
    MemoryPlatform memory;
    memory.registry.SetString(RootKey::CurrentUser, "Software\\TamriskBack", "Here", "x");
    memory.files.AddFolder("C:\\Backups");
    const std::string path = "C:\\Backups\\" + (c.name.empty() ? std::string(kStamped) : c.name);
    if (!c.name.empty()) memory.files.AddFile(path, c.contents);
    if (c.recorded) RecordBackup(memory.registry, Sha256Hex(c.contents), kStamped);
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

// The record holds SHA-256 digests: the published test vectors, whole and fed in pieces.
TEST(BackupRecord, Sha256GivesThePublishedDigests) {
  const std::pair<std::string, const char*> vectors[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000, 'a'), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
  };
  for (const auto& [text, digest] : vectors) {
    EXPECT_EQ(Sha256Hex(text), digest) << text.size();
    Sha256 pieces;
    for (std::size_t at = 0; at < text.size(); at += 7) pieces.Update(std::string_view(text).substr(at, 7));
    EXPECT_EQ(pieces.HexDigest(), digest) << text.size();
  }
}

// A backup the repair wrote is on record and restores without a question. A file not on record (one
// planted in the folder, or a backup from before the record) is imported only when the user agrees
// after seeing what it adds; a file changed by one byte is no longer the one on record.
TEST(VerifiedRestore, AFileNotOnRecordIsImportedOnlyWhenTheUserAgreesToWhatItAdds) {
  MemoryPlatform env;
  const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  env.registry.SetString(RootKey::CurrentUser, run, "Gone", "C:\\Gone\\a.exe");
  env.files.AddFolder("C:\\Backups");
  const std::string path = std::string("C:\\Backups\\") + kStamped;
  env.registry.SetString(RootKey::CurrentUser, "Software\\TamriskOther", "V", "w");
  {
    RegBackup backup(env.platform, path);
    EXPECT_EQ(backup.RemoveValueWithBackup("HKEY_CURRENT_USER", run, "Gone"), RemoveOutcome::Removed);
    ASSERT_TRUE(backup.AppendToBackup(RootKey::CurrentUser, "Software\\TamriskOther", "", true));
  }
  std::vector<std::string> asked;
  std::vector<bool> answers;
  const auto restore = [&] {
    return RestoreBackupFile(
               env.platform, path, [](const std::string&) { return true; }, Cp1252,
               [&](const RegFile& file) {
                 asked.push_back(DescribeRegFile(file, 10));
                 const bool yes = answers.front();
                 answers.erase(answers.begin());
                 return yes;
               })
        .status;
  };
  EXPECT_NE(restore(), RestoreResult::Status::Declined);
  EXPECT_TRUE(asked.empty()) << "the repair's own backup, written in two parts, is on record";

  std::string bytes = env.files.Contents(path).value();
  const std::size_t data = bytes.find(std::string("a\0.\0e\0x\0e\0", 10));
  ASSERT_NE(data, std::string::npos);
  bytes[data] = 'b';
  env.files.AddFile(path, bytes);
  answers = {false, true};
  EXPECT_EQ(restore(), RestoreResult::Status::Declined);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "HKEY_CURRENT_USER\\" + run +
                          "\r\n    \"Gone\" = \"C:\\Gone\\b.exe\"\r\n"
                          "HKEY_CURRENT_USER\\Software\\TamriskOther\r\n    \"V\" = \"w\"\r\n");
  EXPECT_NE(restore(), RestoreResult::Status::Declined);
  EXPECT_EQ(asked.size(), 2u);
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
