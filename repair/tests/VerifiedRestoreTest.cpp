// The check after a restore: a backup file that could not be read back whole is never taken for
// restored, so it is kept.
#include "repair/VerifiedRestore.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/memory/MemoryPlatform.h"
#include "repair/RegBackup.h"

namespace tamrisk {
namespace {

constexpr const char* kBackup = "C:\\Backup\\Backup20240102030405.reg";

TEST(VerifiedRestore, AReadThatFailsPartWayKeepsTheBackupAndSaysWhy) {
  MemoryPlatform env;
  // Every entry of the file is in the registry, so the part before the failure would check out.
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Restored]\r\n";
  for (int i = 0; i < 3000; ++i) {
    text += "\"v" + std::to_string(i) + "\"=\"x\"\r\n";
    env.registry.SetString(RootKey::CurrentUser, "Software\\Restored", "v" + std::to_string(i), "x");
  }
  env.files.AddFile(kBackup, RegFileBytes(text, true));
  const auto decode = [](std::string_view bytes) { return std::u16string(bytes.begin(), bytes.end()); };
  const auto imported = [](const std::string&) { return true; };
  ASSERT_EQ(RestoreBackupFile(env.platform, kBackup, imported, decode).status, RestoreResult::Status::Restored);

  env.files.FailRead(2);  // the file is over 64 KiB: its second piece
  const RestoreResult result = RestoreBackupFile(env.platform, kBackup, imported, decode);
  EXPECT_EQ(result.status, RestoreResult::Status::Unreadable);
  EXPECT_EQ(RestoreFailureText(result, kBackup),
            std::string("The backup file could not be read back to check the restore, so it was kept:\r\n") + kBackup +
                "\r\nThe system cannot read from the specified device.");
  EXPECT_EQ(UndoSummaryText(result, kBackup), "Undo not checked, Backup20240102030405.reg kept");
}

}  // namespace
}  // namespace tamrisk
