// The repair walk over the results list, the backup folder question and the backup file name.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "repair/BackupRecord.h"
#include "repair/RegFile.h"
#include "repair/Repair.h"
#include "repair/VerifiedRestore.h"
#include "testkit/ScanHarness.h"
#include "testkit/TestKit.h"

namespace tamrisk {
namespace {

constexpr const char* kFolder = "C:\\Tamrisk\\Backup";
constexpr const char* kBackup = "C:\\Tamrisk\\Backup\\Backup20240102030405.reg";

constexpr const char* kRefused = "kept: refused, it would delete more than this entry";

using test::kRegFileHeader;

ProblemRow Checked(const std::string& key, const std::string& value, RowKind kind) {
  return ProblemRow{true, ProblemId::InvalidFileOrFolder, key, value, kind};
}
ProblemRow Unchecked(const std::string& key, const std::string& value, RowKind kind) {
  return ProblemRow{false, ProblemId::InvalidFileOrFolder, key, value, kind};
}

class RepairTest : public ::testing::Test {
 protected:
  void SetUp() override { env_.files.AddFolder(kFolder); }

  void Repair() { summary_ = RepairRows(env_.platform, results_, kBackup); }
  std::string Backup() const { return test::Utf8OfUtf16File(env_.files.Contents(kBackup).value_or("")); }
  MemoryRegistry& Reg() { return env_.registry; }

  MemoryPlatform env_;
  VectorResults results_;
  RepairSummary summary_;
};

// The row with its reason in words (compare with ReasonsInEnglish of the repaired rows).
ProblemRow KeptAs(ProblemRow row, const std::string& reason) {
  row.reason = Verbatim(reason);
  return row;
}

TEST_F(RepairTest, EveryKindRemovesWhatItNames) {
  Reg().SetString(RootKey::CurrentUser, "Software\\Run", "Tool", "C:\\gone\\tool.exe");
  Reg().SetString(RootKey::CurrentUser, "Software\\Run", "Keep", "C:\\kept.exe");
  Reg().SetDword(RootKey::LocalMachine, "Software\\SharedDlls", "C:\\gone\\x.dll", 0);
  Reg().SetString(RootKey::LocalMachine, "Software\\Classes\\.xyz", "", "");
  Reg().SetString(RootKey::LocalMachine, "Software\\App Paths\\a.exe", "", "C:\\gone\\a.exe");
  Reg().SetString(RootKey::LocalMachine, "Software\\App Paths\\a.exe", "Path", "C:\\gone");
  Reg().SetString(RootKey::ClassesRoot, "CLSID\\{1}\\InprocServer32", "", "C:\\gone\\x.ocx");
  Reg().SetString(RootKey::ClassesRoot, "CLSID\\{1}\\LocalServer32", "", "C:\\kept.exe");
  results_.rows = {
      Checked("HKEY_CURRENT_USER\\Software\\Run\\Tool", "C:\\gone\\tool.exe", rkValueInPath),
      Checked("HKEY_LOCAL_MACHINE\\Software\\SharedDlls", "C:\\gone\\x.dll", rkValueInColumn),
      Checked("HKEY_LOCAL_MACHINE\\Software\\Classes", ".xyz", rkSubkeyInColumn),
      Checked("HKEY_LOCAL_MACHINE\\Software\\App Paths\\a.exe", "C:\\gone\\a.exe", rkDefaultValue),
      Checked("HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32", "C:\\gone\\x.ocx", rkKey),
  };
  Repair();

  EXPECT_TRUE(results_.rows.empty());
  EXPECT_EQ(summary_, (RepairSummary{5, 0, kBackup}));
  EXPECT_FALSE(Reg().GetValue(RootKey::CurrentUser, "Software\\Run", "Tool"));
  EXPECT_TRUE(Reg().GetValue(RootKey::CurrentUser, "Software\\Run", "Keep"));
  EXPECT_FALSE(Reg().GetValue(RootKey::LocalMachine, "Software\\SharedDlls", "C:\\gone\\x.dll"));
  EXPECT_FALSE(Reg().KeyExists(RootKey::LocalMachine, "Software\\Classes\\.xyz"));
  EXPECT_FALSE(Reg().GetValue(RootKey::LocalMachine, "Software\\App Paths\\a.exe", ""));
  EXPECT_TRUE(Reg().GetValue(RootKey::LocalMachine, "Software\\App Paths\\a.exe", "Path"));
  EXPECT_FALSE(Reg().KeyExists(RootKey::ClassesRoot, "CLSID\\{1}\\InprocServer32"));
  // Sections in the order the rows were handled: from the last row up.
  EXPECT_EQ(Backup(), std::string(kRegFileHeader) +
                          "\r\n[HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32]\r\n@=\"C:\\\\gone\\\\x.ocx\"\r\n"
                          "\r\n[HKEY_LOCAL_MACHINE\\Software\\App Paths\\a.exe]\r\n@=\"C:\\\\gone\\\\a.exe\"\r\n"
                          "\r\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\.xyz]\r\n@=\"\"\r\n"
                          "\r\n[HKEY_LOCAL_MACHINE\\Software\\SharedDlls]\r\n\"C:\\\\gone\\\\x.dll\"=dword:00000000\r\n"
                          "\r\n[HKEY_CURRENT_USER\\Software\\Run]\r\n\"Tool\"=\"C:\\\\gone\\\\tool.exe\"\r\n");
}

// A value or key inside a key that is also a row is in that key's section, once, whichever row comes
// first; both rows leave.
TEST_F(RepairTest, AnEntryInsideAKeyRowIsBackedUpOnceWithTheKey) {
  const ProblemRow key = Checked("HKEY_CURRENT_USER\\Software\\Vendor", "", rkKey);
  const std::vector<ProblemRow> inside = {
      Checked("HKEY_CURRENT_USER\\Software\\Vendor\\Run\\Tool", "t", rkValueInPath),
      Checked("HKEY_CURRENT_USER\\Software\\Vendor\\Run", "", rkKey),
      key,
  };
  for (const ProblemRow& row : inside) {
    for (const bool keyFirst : {true, false}) {
      SCOPED_TRACE(row.location.key + (keyFirst ? ", key row first" : ", key row last"));
      MemoryPlatform env;
      env.files.AddFolder(kFolder);
      env.registry.SetString(RootKey::CurrentUser, "Software\\Vendor\\Run", "Tool", "t");
      VectorResults results(keyFirst ? std::vector<ProblemRow>{key, row} : std::vector<ProblemRow>{row, key});
      RepairRows(env.platform, results, kBackup);
      EXPECT_TRUE(results.rows.empty());
      EXPECT_FALSE(env.registry.KeyExists(RootKey::CurrentUser, "Software\\Vendor"));
      EXPECT_EQ(test::Utf8OfUtf16File(env.files.Contents(kBackup).value_or("")),
                std::string(kRegFileHeader) +
                    "\r\n[HKEY_CURRENT_USER\\Software\\Vendor]\r\n"
                    "\r\n[HKEY_CURRENT_USER\\Software\\Vendor\\Run]\r\n\"Tool\"=\"t\"\r\n");
    }
  }
}

TEST_F(RepairTest, RowsThatAreNotRepairedKeepTheirPlaces) {
  for (const char* name : {"A", "B", "C", "D"}) Reg().SetString(RootKey::CurrentUser, "Software\\Run", name, name);
  Reg().SetString(RootKey::CurrentUser, "Software\\Vendor", "v", "1");
  const std::vector<ProblemRow> stay = {
      Unchecked("HKEY_CURRENT_USER\\Software\\Run\\A", "", rkValueInPath),
      Checked("NoBackslash", "", rkKey),                                     // no root to split off
      Checked("HKEY_CURRENT_USER\\Software", "", rkKey),                     // one level below the root
      Checked("HKEY_CURRENT_USER", "Software", rkSubkeyInColumn),            // the same, written another way
      Checked("HKEY_CURRENT_USER\\Software\\Vendor", "", rkSubkeyInColumn),  // no subkey name
      Unchecked("HKEY_CURRENT_USER\\Software\\Run\\C", "", rkValueInPath),
      // The system's calls end a name at its first NUL: this would delete value "A".
      Checked("HKEY_CURRENT_USER\\Software\\Run", std::string("A\0hidden", 8), rkValueInColumn),
  };
  results_.rows = {stay[0], stay[1], Checked("HKEY_CURRENT_USER\\Software\\Run\\B", "", rkValueInPath), stay[2],
                   stay[3], stay[4], Checked("HKEY_CURRENT_USER\\Software\\Run\\D", "", rkValueInPath), stay[5],
                   stay[6]};
  Repair();
  EXPECT_EQ(
      test::ReasonsInEnglish(results_.rows),
      (std::vector<ProblemRow>{stay[0], KeptAs(stay[1], kRefused), KeptAs(stay[2], kRefused), KeptAs(stay[3], kRefused),
                               KeptAs(stay[4], kRefused), stay[5], KeptAs(stay[6], kRefused)}));
  EXPECT_EQ(summary_, (RepairSummary{2, 5, kBackup}));
  EXPECT_TRUE(Reg().GetValue(RootKey::CurrentUser, "Software\\Run", "A"));
  EXPECT_FALSE(Reg().GetValue(RootKey::CurrentUser, "Software\\Run", "B"));
  EXPECT_TRUE(Reg().GetValue(RootKey::CurrentUser, "Software\\Run", "C"));
  EXPECT_FALSE(Reg().GetValue(RootKey::CurrentUser, "Software\\Run", "D"));
  EXPECT_TRUE(Reg().GetValue(RootKey::CurrentUser, "Software\\Vendor", "v"));
}

TEST_F(RepairTest, RowsWhoseEntryIsGoneLeaveWithoutAFile) {
  results_.rows = {
      Checked("HKEY_CURRENT_USER\\Software\\Gone", "", rkKey),
      Checked("HKEY_CURRENT_USER\\Software\\Gone\\Value", "", rkValueInPath),
      Checked("HKEY_NOWHERE\\Software\\X", "", rkKey),
      Checked("C:\\Users\\Me\\Desktop\\Gone.lnk", "C:\\gone.exe", rkShortcutFile),
  };
  Repair();
  EXPECT_TRUE(results_.rows.empty());
  EXPECT_EQ(summary_, (RepairSummary{4, 0, ""}));
  EXPECT_FALSE(env_.files.Exists(kBackup));
}

TEST_F(RepairTest, AnEntryThatCannotBeBackedUpStaysInTheList) {
  Reg().SetString(RootKey::CurrentUser, "Software\\App\\Locked", "v", "1");
  Reg().DenyRights(RootKey::CurrentUser, "Software\\App\\Locked", 0x1);
  Reg().SetString(RootKey::CurrentUser, "Software\\Other", "w", "2");
  // A .reg file cannot carry a NUL in a name, and by name the system would read another value.
  Reg().SetString(RootKey::CurrentUser, "Software\\Nul\\Below", std::string("A\0hidden", 8), "h");
  const ProblemRow locked = KeptAs(Checked("HKEY_CURRENT_USER\\Software\\App", "", rkKey), "no values below this key");
  const ProblemRow nul = KeptAs(Checked("HKEY_CURRENT_USER\\Software\\Nul", "", rkKey), "no values below this key");
  results_.rows = {locked, nul, Checked("HKEY_CURRENT_USER\\Software\\Other\\w", "", rkValueInPath)};
  Repair();
  const std::string kept = "kept: not backed up faithfully; no values below this key";
  EXPECT_EQ(test::ReasonsInEnglish(results_.rows), (std::vector<ProblemRow>{KeptAs(locked, kept), KeptAs(nul, kept)}));
  EXPECT_EQ(summary_, (RepairSummary{1, 2, kBackup}));
  EXPECT_TRUE(Reg().KeyExists(RootKey::CurrentUser, "Software\\App\\Locked"));
  EXPECT_TRUE(Reg().GetValue(RootKey::CurrentUser, "Software\\Nul\\Below", std::string("A\0hidden", 8)));
  EXPECT_EQ(Backup(), std::string(kRegFileHeader) + "\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"w\"=\"2\"\r\n");
}

// A standard user reads the machine's keys but may not change them: nothing of them is backed up,
// and the rows say who can remove them.
TEST_F(RepairTest, EntriesThisUserMayNotChangeSayTheyNeedAnAdministrator) {
  constexpr std::uint32_t kWriteRights = 0x2 | 0x4 | 0x10000;  // set value, create subkey, delete
  Reg().SetString(RootKey::LocalMachine, "Software\\Vendor\\Old", "v", "1");
  Reg().SetString(RootKey::LocalMachine, "Software\\Run", "Tool", "C:\\gone\\tool.exe");
  Reg().DenyRights(RootKey::LocalMachine, "Software\\Vendor\\Old", kWriteRights);
  Reg().DenyRights(RootKey::LocalMachine, "Software\\Run", kWriteRights);
  const ProblemRow key = KeptAs(Checked("HKEY_LOCAL_MACHINE\\Software\\Vendor\\Old", "", rkKey), "no values");
  const ProblemRow value =
      KeptAs(Checked("HKEY_LOCAL_MACHINE\\Software\\Run", "Tool", rkValueInColumn), "file not found");
  results_.rows = {key, value};
  Repair();
  EXPECT_EQ(test::ReasonsInEnglish(results_.rows),
            (std::vector<ProblemRow>{KeptAs(key, "kept: needs an administrator; no values"),
                                     KeptAs(value, "kept: needs an administrator; file not found")}));
  EXPECT_EQ(summary_, (RepairSummary{0, 2, ""}));
  EXPECT_TRUE(Reg().GetValue(RootKey::LocalMachine, "Software\\Run", "Tool"));
}

// The whole backup reaches the file, or nothing is deleted: not a value, not a shortcut. A file cut
// short does not stay behind looking like a backup, and an earlier repair's file of the same name
// keeps exactly what it held.
TEST_F(RepairTest, ABackupThatCannotBeWrittenWholeDeletesNothing) {
  const struct {
    const char* label;
    void (*prepare)(MemoryFileSystem& files);
    const char* why;
    bool keptThere;  // what was at the backup's name before stays
  } cases[] = {
      {"a folder where the file should go", [](MemoryFileSystem& files) { files.AddFolder(kBackup); },
       "Access is denied.", true},
      {"a folder this user may not write in", [](MemoryFileSystem& files) { files.SetWriteProtected(kFolder); },
       "Access is denied.", false},
      {"a disk that fills up part-way", [](MemoryFileSystem& files) { files.SetFreeSpace('C', 100); },
       "There is not enough space on the disk.", false},
      {"an earlier repair's file on a disk that fills up",
       [](MemoryFileSystem& files) {
         files.WriteFile(kBackup, "earlier backup");
         files.SetFreeSpace('C', 100);
       },
       "There is not enough space on the disk.", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    MemoryPlatform env;
    env.files.AddFolder(kFolder);
    env.files.AddShortcut("C:\\Desk\\Gone.lnk", "C:\\gone.exe");
    env.registry.SetString(RootKey::CurrentUser, "Software\\Run", "A", "a");
    env.registry.SetString(RootKey::CurrentUser, "Software\\Old\\App", "B", "b");
    RecordBackup(env.registry, Sha256Hex("earlier backup"), "Backup.reg");
    c.prepare(env.files);
    std::string before, after;
    env.files.ReadFile(kBackup, before);
    const std::vector<ProblemRow> rows = {Checked("HKEY_CURRENT_USER\\Software\\Run\\A", "", rkValueInPath),
                                          Checked("HKEY_CURRENT_USER\\Software\\Old", "", rkKey),
                                          Checked("C:\\Desk\\Gone.lnk", "", rkShortcutFile)};
    VectorResults results(rows);
    try {
      RepairRows(env.platform, results, kBackup);
      ADD_FAILURE() << "no error";
    } catch (const RepairError& error) {
      EXPECT_EQ(std::string(error.what()), std::string("The backup file ") + kBackup +
                                               " could not be written: " + c.why + " Nothing was deleted.");
    }
    EXPECT_EQ(results.rows, rows);
    EXPECT_TRUE(env.registry.GetValue(RootKey::CurrentUser, "Software\\Run", "A"));
    EXPECT_TRUE(env.registry.GetValue(RootKey::CurrentUser, "Software\\Old\\App", "B"));
    EXPECT_TRUE(env.files.Exists("C:\\Desk\\Gone.lnk"));
    EXPECT_EQ(env.files.Exists(kBackup), c.keptThere);
    env.files.ReadFile(kBackup, after);
    EXPECT_EQ(after, before);
    EXPECT_EQ(env.registry.OpenHandleCount(), 0u);
  }
}

// The backup reaches the disk whole before the first deletion; the program keys the repair emptied
// go the same way, in a second write.
TEST_F(RepairTest, TheBackupIsFlushedBeforeTheFirstDeletion) {
  env_.files.AddShortcut("C:\\Desk\\Gone.lnk", "C:\\gone.exe");
  test::Seed(Reg(),
             {test::Str("HKCU\\Software\\Microsoft\\Run", "Tool", "t"), test::Str("HKCU\\Software\\Old\\App", "v", "1"),
              test::Str("HKLM\\Software\\Vendor\\Program", "Path", "C:\\gone\\a.exe")});
  results_.rows = {Checked("HKEY_CURRENT_USER\\Software\\Microsoft\\Run", "Tool", rkValueInColumn),
                   Checked("HKEY_CURRENT_USER\\Software\\Old\\App", "", rkKey),
                   Checked("C:\\Desk\\Gone.lnk", "", rkShortcutFile),
                   Checked("HKEY_LOCAL_MACHINE\\Software\\Vendor\\Program", "Path", rkValueInColumn)};
  std::vector<std::string> journal;
  env_.files.JournalChanges(&journal);
  Reg().JournalChanges(&journal);
  summary_ = RepairRows(env_.platform, results_, kBackup, ScopeAfterScan({CategoryCode::ObsoleteSoftware}, {}));

  const std::string backup = kBackup;
  EXPECT_EQ(journal, (std::vector<std::string>{
                         "append " + backup, "flush " + backup, "delete value Path", "delete key Software\\Old\\App",
                         "delete value Tool", "delete C:\\Desk\\Gone.lnk", "append " + backup, "flush " + backup,
                         "delete key Software\\Old", "delete key Program", "delete key Software\\Vendor"}));
  EXPECT_EQ(summary_, (RepairSummary{4, 0, kBackup, 2}));
}

// A file system whose append streams pass through hooks: append gets each append (its number from 1,
// the data and the real stream) and says how it went; afterFlush runs after each flush.
class HookedAppends final : public ForwardingFileSystem {
 public:
  using Append = std::function<bool(int number, std::string_view contents, AppendStream& inner, std::string* error)>;
  HookedAppends(FileSystem& inner, Append append, std::function<void()> afterFlush = {})
      : ForwardingFileSystem(inner), append_(std::move(append)), afterFlush_(std::move(afterFlush)) {}
  std::unique_ptr<AppendStream> OpenForAppend(const std::string& path, std::string* error) override {
    std::unique_ptr<AppendStream> inner = Inner().OpenForAppend(path, error);
    return inner ? std::make_unique<Stream>(std::move(inner), *this) : nullptr;
  }

 private:
  class Stream final : public AppendStream {
   public:
    Stream(std::unique_ptr<AppendStream> inner, HookedAppends& owner) : inner_(std::move(inner)), owner_(owner) {}
    bool Append(std::string_view contents, std::string* error) override {
      return owner_.append_(++owner_.appends_, contents, *inner_, error);
    }
    bool Flush(std::string* error) override {
      const bool flushed = inner_->Flush(error);
      if (owner_.afterFlush_) owner_.afterFlush_();
      return flushed;
    }

   private:
    std::unique_ptr<AppendStream> inner_;
    HookedAppends& owner_;
  };
  Append append_;
  std::function<void()> afterFlush_;
  int appends_ = 0;
};

const HookedAppends::Append kPassAppends = [](int, std::string_view contents, AppendStream& inner, std::string* error) {
  return inner.Append(contents, error);
};

// Every key and value below the roots a test uses, with its data: what a restore must give back. The
// record of the backups written is the repair's own bookkeeping and is left out.
std::map<std::string, std::optional<RegValue>> Snapshot(const MemoryRegistry& registry, RootKey root,
                                                        const std::string& path = "Software") {
  std::map<std::string, std::optional<RegValue>> entries{{path, std::nullopt}};
  for (const std::string& name : registry.ValueNames(root, path)) {
    entries[path + "\\" + name + "="] = registry.GetValue(root, path, name);
  }
  for (const std::string& name : registry.SubkeyNames(root, path)) {
    if (std::string(kBackupRecordKey).starts_with(path + "\\" + name + "\\")) continue;
    entries.merge(Snapshot(registry, root, path + "\\" + name));
  }
  return entries;
}

// Another program changes the registry between the backup's read and the deletion (here: as the
// backup reaches the disk). What changed is not in the backup, so it stays, with its row kept and
// saying why; the rest goes, and the backup restores what went.
TEST_F(RepairTest, AnEntryChangedAfterTheBackupReadItIsKeptAndNothingIsLost) {
  const std::string kChanged = "kept: changed since it was backed up";
  struct Case {
    const char* what;
    std::function<void(MemoryRegistry&)> change;
    std::string keptKey;  // the row kept
  };
  const Case cases[] = {
      {"a value written into the key",
       [](MemoryRegistry& r) { r.SetString(RootKey::CurrentUser, "Software\\Old\\App", "New", "n"); },
       "HKEY_CURRENT_USER\\Software\\Old"},
      {"a subkey made below it",
       [](MemoryRegistry& r) { r.CreateKey(RootKey::CurrentUser, "Software\\Old\\App\\Deep\\Fresh"); },
       "HKEY_CURRENT_USER\\Software\\Old"},
      {"the value's data changed",
       [](MemoryRegistry& r) { r.SetString(RootKey::CurrentUser, "Software\\Run", "A", "new"); },
       "HKEY_CURRENT_USER\\Software\\Run"},
      {"the key made anew",
       [](MemoryRegistry& r) {
         r.DeleteKey(RootHandle(RootKey::CurrentUser), "Software\\Old\\App\\Deep");
         r.DeleteKey(RootHandle(RootKey::CurrentUser), "Software\\Old\\App");
         r.DeleteKey(RootHandle(RootKey::CurrentUser), "Software\\Old");
         r.SetString(RootKey::CurrentUser, "Software\\Old", "Other", "o");
       },
       "HKEY_CURRENT_USER\\Software\\Old"},
  };
  const std::vector<test::RegRow> seed = {
      test::Str("HKCU\\Software\\Run", "A", "a"), test::Str("HKCU\\Software\\Run", "B", "b"),
      test::Str("HKCU\\Software\\Old\\App", "", "x"), test::Str("HKCU\\Software\\Old\\App\\Deep", "v", "y")};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform env;
    env.files.AddFolder(kFolder);
    test::Seed(env.registry, seed);
    bool changed = false;
    HookedAppends files(env.files, kPassAppends, [&] {
      if (!std::exchange(changed, true)) c.change(env.registry);
    });
    const Platform platform{env.registry, files, env.system, env.ini, env.shell};
    VectorResults results({Checked("HKEY_CURRENT_USER\\Software\\Run", "A", rkValueInColumn),
                           Checked("HKEY_CURRENT_USER\\Software\\Old", "", rkKey),
                           Checked("HKEY_CURRENT_USER\\Software\\Run", "B", rkValueInColumn)});
    const RepairSummary summary = RepairRows(platform, results, kBackup);
    EXPECT_EQ(summary.kept, 1u);
    ASSERT_EQ(results.rows.size(), 1u);
    EXPECT_EQ(results.rows[0].registryKey, c.keptKey);
    EXPECT_EQ(Worded(results.rows[0].reason).rfind(kChanged, 0), 0u) << Worded(results.rows[0].reason);
    // Every key and value there was after the change is still there or in the backup, as it was.
    MemoryRegistry expected;
    test::Seed(expected, seed);
    c.change(expected);
    const std::optional<RegFile> backup = ParseRegFile(env.files.Contents(kBackup).value_or(""), test::Cp1252);
    ASSERT_TRUE(backup);
    std::map<std::string, std::optional<RegValue>> kept = Snapshot(env.registry, RootKey::CurrentUser);
    for (const RegFileKey& key : backup->keys) {
      kept.try_emplace(key.path, std::nullopt);
      for (const RegFileValue& value : key.values) {
        kept.try_emplace(key.path + "\\" + value.name + "=", RegValue{value.type, value.data});
      }
    }
    for (const auto& [entry, value] : Snapshot(expected, RootKey::CurrentUser)) {
      const auto found = kept.find(entry);
      EXPECT_TRUE(found != kept.end() && found->second == value) << entry << " was lost";
    }
  }
}

// A repair killed at any deletion (the process ended there) leaves a backup that, imported as the
// registry editor would, gives back exactly the registry from before: what was deleted comes back,
// and what was not yet deleted is written over with what it already holds.
TEST_F(RepairTest, KilledAtAnyDeletionTheBackupPutsEverythingBack) {
  struct Killed {};
  class KillingRegistry final : public test::ForwardingRegistry {
   public:
    KillingRegistry(RegistryBackend& inner, int deletions) : ForwardingRegistry(inner), left_(deletions) {}
    long DeleteKey(KeyHandle p, const std::string& s) override {
      Tick();
      return ForwardingRegistry::DeleteKey(p, s);
    }
    long DeleteValue(KeyHandle k, const std::string& n) override {
      Tick();
      return ForwardingRegistry::DeleteValue(k, n);
    }
    bool Finished() const { return left_ >= 0; }

   private:
    void Tick() {
      if (left_-- == 0) throw Killed{};
    }
    int left_;
  };
  for (int deletions = 0;; ++deletions) {
    SCOPED_TRACE("killed after " + std::to_string(deletions) + " deletions");
    MemoryPlatform env;
    env.files.AddFolder(kFolder);
    test::Seed(env.registry,
               {test::Str("HKCU\\Software\\Run", "A", "a"), test::Str("HKCU\\Software\\Run", "B", "b"),
                test::Dword("HKCU\\Software\\Run", "Kept", 1), test::Str("HKCU\\Software\\Old\\App", "", "x"),
                test::Str("HKCU\\Software\\Old\\App\\Deep", "v", "y"), test::Key("HKCU\\Software\\Old\\Empty"),
                test::Str("HKCU\\Software\\Vendor\\Tool", "Path", "C:\\gone\\t.exe")});
    const auto before = Snapshot(env.registry, RootKey::CurrentUser);
    KillingRegistry killing(env.registry, deletions);
    const Platform platform{killing, env.files, env.system, env.ini, env.shell};
    VectorResults results({Checked("HKEY_CURRENT_USER\\Software\\Run", "A", rkValueInColumn),
                           Checked("HKEY_CURRENT_USER\\Software\\Old", "", rkKey),
                           Checked("HKEY_CURRENT_USER\\Software\\Run", "B", rkValueInColumn),
                           Checked("HKEY_CURRENT_USER\\Software\\Vendor\\Tool", "Path", rkValueInColumn)});
    try {
      RepairRows(platform, results, kBackup, ScopeAfterScan({CategoryCode::ObsoleteSoftware}, {}));
    } catch (const Killed&) {
    }
    const std::optional<RegFile> backup = ParseRegFile(env.files.Contents(kBackup).value_or(""), test::Cp1252);
    ASSERT_TRUE(backup);
    for (const RegFileKey& key : backup->keys) {
      env.registry.CreateKey(key.root, key.path);
      for (const RegFileValue& value : key.values)
        env.registry.SetValue(key.root, key.path, value.name, value.type, value.data);
    }
    EXPECT_EQ(Snapshot(env.registry, RootKey::CurrentUser), before);
    if (killing.Finished()) break;
  }
}

TEST_F(RepairTest, ShortcutsGoToTheRecycleBinOneFileAtATime) {
  env_.files.AddShortcut("C:\\Desk\\Gone.lnk", "C:\\gone.exe");
  env_.files.AddShortcut("C:\\Desk\\Other.lnk", "C:\\gone.exe");
  env_.files.AddFolder("C:\\Desk\\Folder.lnk");
  const ProblemRow wildcard = Checked("C:\\Desk\\*.lnk", "", rkShortcutFile);
  const ProblemRow folder = Checked("C:\\Desk\\Folder.lnk", "", rkShortcutFile);
  results_.rows = {wildcard, folder, Checked("C:\\Desk\\Gone.lnk", "C:\\gone.exe", rkShortcutFile)};
  Repair();
  EXPECT_EQ(test::ReasonsInEnglish(results_.rows),
            (std::vector<ProblemRow>{KeptAs(wildcard, kRefused), KeptAs(folder, kRefused)}));
  EXPECT_EQ(env_.files.RecycledPaths(), std::vector<std::string>{"C:\\Desk\\Gone.lnk"});
  EXPECT_FALSE(env_.files.Exists("C:\\Desk\\Gone.lnk"));
  EXPECT_TRUE(env_.files.Exists("C:\\Desk\\Other.lnk"));
  EXPECT_TRUE(env_.files.Exists("C:\\Desk\\Folder.lnk"));
  EXPECT_FALSE(env_.files.Exists(kBackup));
}

TEST_F(RepairTest, AShortcutThatCannotBeDeletedStays) {
  env_.files.AddShortcut("C:\\Desk\\Locked.lnk", "C:\\gone.exe");
  env_.files.SetUndeletable("C:\\Desk\\Locked.lnk");
  const ProblemRow row = KeptAs(Checked("C:\\Desk\\Locked.lnk", "C:\\gone.exe", rkShortcutFile), "target gone");
  const ProblemRow kept = KeptAs(row, "kept: still present after deletion; target gone");
  results_.rows = {row};
  Repair();
  EXPECT_EQ(test::ReasonsInEnglish(results_.rows), std::vector<ProblemRow>{kept});
  EXPECT_EQ(summary_, (RepairSummary{0, 1, ""}));
  // Kept again, it says why once.
  Repair();
  EXPECT_EQ(test::ReasonsInEnglish(results_.rows), std::vector<ProblemRow>{kept});
}

TEST_F(RepairTest, ASecondRepairInTheSameSecondAppendsWithoutASecondHeader) {
  Reg().SetString(RootKey::CurrentUser, "Software\\Run", "A", "a");
  Reg().SetString(RootKey::CurrentUser, "Software\\Run", "B", "b");
  results_.rows = {Checked("HKEY_CURRENT_USER\\Software\\Run\\A", "", rkValueInPath)};
  Repair();
  results_.rows = {Checked("HKEY_CURRENT_USER\\Software\\Run\\B", "", rkValueInPath)};
  Repair();
  EXPECT_EQ(Backup(), std::string(kRegFileHeader) +
                          "\r\n[HKEY_CURRENT_USER\\Software\\Run]\r\n\"A\"=\"a\"\r\n"
                          "\r\n[HKEY_CURRENT_USER\\Software\\Run]\r\n\"B\"=\"b\"\r\n");
}

TEST(BackupFolder, AMissingFolderIsMadeOnlyWhenTheUserAgrees) {
  MemoryPlatform env;
  env.files.AddFolder("C:\\Program");
  std::vector<std::string> questions;
  const auto answer = [&](bool yes) {
    return [&questions, yes](const Phrase& question) {
      questions.push_back(Worded(question));
      return yes;
    };
  };

  EXPECT_FALSE(EnsureBackupFolder(env.platform, "C:\\Program\\Backup\\Deep", answer(false)));
  EXPECT_FALSE(env.files.PathIsFolder("C:\\Program\\Backup"));
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0], "C:\\Program\\Backup\\Deep,The backup directory does not exist.\r\ncreates a new directory?");

  EXPECT_TRUE(EnsureBackupFolder(env.platform, "C:\\Program\\Backup\\Deep", answer(true)));
  EXPECT_TRUE(env.files.PathIsFolder("C:\\Program\\Backup\\Deep"));
  EXPECT_EQ(questions.size(), 2u);

  // Once it exists nobody is asked; an empty list then makes no file either.
  EXPECT_TRUE(EnsureBackupFolder(env.platform, "C:\\Program\\Backup\\Deep", answer(false)));
  EXPECT_EQ(questions.size(), 2u);
  VectorResults empty;
  RepairRows(env.platform, empty, NewBackupFileName(env.platform, "C:\\Program\\Backup\\Deep"));
  EXPECT_EQ(env.files.ListFolder("C:\\Program\\Backup\\Deep\\*").size(), 0u);
}

TEST(BackupFolder, AFolderThatCannotBeMadeIsAnError) {
  MemoryPlatform env;
  env.files.AddFolder("C:\\Program");
  try {
    EnsureBackupFolder(env.platform, "Q:\\Backup", [](const Phrase&) { return true; });
    FAIL() << "no error";
  } catch (const RepairError& error) {
    EXPECT_STREQ(error.what(), "Cannot create Q:\\Backup");
  }
}

TEST(RepairSummaryText, SaysWhatHappenedAndNamesTheBackupFile) {
  const struct {
    RepairSummary summary;
    const char* text;
  } cases[] = {
      {{3, 1, kBackup}, "Repaired 3 problems, kept 1 (Backup20240102030405.reg)"},
      {{1, 0, ""}, "Repaired 1 problem, kept 0"},
      {{0, 2, "Backup.reg"}, "Repaired 0 problems, kept 2 (Backup.reg)"},
  };
  for (const auto& c : cases) EXPECT_EQ(RepairSummaryText(c.summary), c.text);
}

TEST(BackupFileName, StampsTheLocalTimeWithTwoDigitParts) {
  MemoryPlatform env;
  env.system.SetNow({2006, 12, 31, 23, 59, 59});
  EXPECT_EQ(NewBackupFileName(env.platform, "C:\\App\\Backup"), "C:\\App\\Backup\\Backup20061231235959.reg");
  env.system.SetNow({2024, 1, 2, 3, 4, 5});
  EXPECT_EQ(NewBackupFileName(env.platform, "C:\\App\\Backup\\"), "C:\\App\\Backup\\Backup20240102030405.reg");
}

// A repair after a scan that judged obsolete software leaves no program key it emptied: the key goes
// into the same backup. Nothing else goes: a key still holding a value, one Windows keeps, one the
// ignore lists name, one the repair did not touch, or any key when that category was not scanned.
struct EmptiedCase {
  const char* label;
  std::vector<std::string> codes;
  std::vector<std::string> ignoredKeys;
  const char* row;         // the value the repair deletes, as key + "\" + name
  const char* emptiedKey;  // the program key, below HKEY_LOCAL_MACHINE
  bool removed;
};

const EmptiedCase kEmptiedCases[] = {
    {"the vendor's key emptied", {"3", "14"}, {}, "Software\\Vendor\\Program\\Path", "Software\\Vendor", true},
    {"in the 32-bit view", {"14"}, {}, "Software\\Wow6432Node\\Vendor\\Path", "Software\\Wow6432Node\\Vendor", true},
    {"obsolete software not scanned", {"3"}, {}, "Software\\Vendor\\Program\\Path", "Software\\Vendor", false},
    {"the ignore lists keep it",
     {"14"},
     {"Software\\Vendor"},
     "Software\\Vendor\\Program\\Path",
     "Software\\Vendor",
     false},
    {"a key Windows keeps", {"14"}, {}, "Software\\Microsoft\\Gone\\Path", "Software\\Microsoft", false},
};

TEST_F(RepairTest, AProgramKeyTheRepairEmptiedGoesIntoTheSameBackup) {
  for (const EmptiedCase& c : kEmptiedCases) {
    SCOPED_TRACE(c.label);
    MemoryPlatform env;
    env.files.AddFolder(kFolder);
    const std::string row = c.row;
    const std::string key = row.substr(0, row.rfind('\\'));
    env.registry.SetString(RootKey::LocalMachine, key, "Path", "C:\\gone\\a.exe");
    test::Seed(env.registry, {test::Key("HKLM\\Software\\Untouched\\Empty")});
    VectorResults results({Checked("HKEY_LOCAL_MACHINE\\" + row, "C:\\gone\\a.exe", rkValueInPath)});
    const RepairScope scope = ScopeAfterScan(test::Codes(c.codes), IgnoreLists{{}, c.ignoredKeys, ""});
    const RepairSummary summary = RepairRows(env.platform, results, kBackup, scope);

    EXPECT_EQ(summary.repaired, 1u);
    EXPECT_EQ(summary.emptiedKeys, c.removed ? 1u : 0u);
    EXPECT_EQ(env.registry.KeyExists(RootKey::LocalMachine, c.emptiedKey), !c.removed);
    EXPECT_TRUE(env.registry.KeyExists(RootKey::LocalMachine, "Software\\Untouched\\Empty"));
    const std::string backup = test::Utf8OfUtf16File(env.files.Contents(kBackup).value_or(""));
    EXPECT_EQ(backup.find("[HKEY_LOCAL_MACHINE\\" + std::string(c.emptiedKey) + "]") != std::string::npos, c.removed);
  }
}

// A class key whose server, or a ProgID whose every command, the repair removed goes with it, unless
// it still holds or names something that is there.
TEST_F(RepairTest, AClassKeyTheRepairLeftAsAStubGoesIntoTheSameBackup) {
  const std::string clsid = "CLSID\\{1}";
  const std::string progId = "Applications\\gone.exe";
  const std::string mui = "Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache";
  struct Case {
    const char* label;
    std::string row;   // below HKEY_CLASSES_ROOT: a key row (a server), else a value row
    std::string stub;  // the key that goes, or must stay
    std::vector<std::pair<std::string, std::string>> rest;  // other values: key, and "name=text"
    bool removed;
  };
  const std::vector<Case> cases = {
      {"a class left with its name",
       clsid + "\\InprocServer32",
       clsid,
       {{clsid, "=Gone Control"}, {clsid + "\\InprocServer32", "ThreadingModel=Both"}},
       true},
      {"a class with a server left",
       clsid + "\\InprocServer32",
       clsid,
       {{clsid + "\\LocalServer32", "=C:\\kept.exe"}},
       false},
      {"a class naming a file that is there",
       clsid + "\\InprocServer32",
       clsid,
       {{clsid + "\\DefaultIcon", "=C:\\kept.exe,1"}},
       false},
      {"a class of the Windows folder",
       clsid + "\\InprocServer32",
       clsid,
       {{clsid + "\\DefaultIcon", "=%SystemRoot%\\x.dll"}},
       false},
      {"a class with a key a stub does not hold",
       clsid + "\\InprocServer32",
       clsid,
       {{clsid + "\\Extra", "=x"}},
       false},
      {"a ProgID whose last command went",
       progId + "\\shell\\open\\command",
       progId,
       {{progId, "FriendlyAppName=Gone"}},
       true},
      {"a ProgID with a command left",
       progId + "\\shell\\open\\command",
       progId,
       {{progId + "\\shell\\edit\\command", "=C:\\gone\\edit.exe"}},
       false},
      {"a verb of Windows' own folder class", "Directory\\shell\\gone\\command", "Directory", {}, false},
      {"the shell's name cache is no class",
       mui,
       "Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows",
       {{mui, "a=b"}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    MemoryPlatform env;
    env.files.AddFolder(kFolder);
    env.files.AddFile("C:\\kept.exe");
    env.files.AddFolder("C:\\Windows");
    env.system.SetVariable("SystemRoot", "C:\\Windows");
    const bool keyRow = c.row.ends_with("Server32");
    const RootKey root = c.row.starts_with("Software\\") ? RootKey::CurrentUser : RootKey::ClassesRoot;
    env.registry.SetString(root, c.row, keyRow ? "" : "gone", "C:\\gone\\x.exe");
    for (const auto& [key, value] : c.rest) {
      const std::size_t equals = value.find('=');
      env.registry.SetString(root, key, value.substr(0, equals), value.substr(equals + 1));
    }
    const std::string rootName = RootName(root) + "\\";
    VectorResults results({keyRow ? Checked(rootName + c.row, "C:\\gone\\x.exe", rkKey)
                                  : Checked(rootName + c.row, "gone", rkValueInColumn)});
    const RepairSummary summary = RepairRows(env.platform, results, kBackup);

    EXPECT_EQ(summary.repaired, 1u);
    EXPECT_EQ(summary.emptiedKeys, c.removed ? 1u : 0u);
    EXPECT_EQ(env.registry.KeyExists(root, c.stub), !c.removed);
    const std::string backup = test::Utf8OfUtf16File(env.files.Contents(kBackup).value_or(""));
    EXPECT_EQ(backup.find("[" + rootName + c.stub + "]") != std::string::npos, c.removed);
  }
}

// A backup of the emptied program keys that cannot be written keeps those keys, and the error keeps
// the summary of the rows repaired before, so that -cleanonce can tell this from a failed repair.
TEST_F(RepairTest, AFailedBackupOfTheEmptiedKeysKeepsTheSummaryOfTheRepair) {
  test::Seed(Reg(), {test::Str("HKCU\\Software\\Vendor\\Tool", "Path", "C:\\gone\\t.exe")});
  HookedAppends files(env_.files, [](int number, std::string_view contents, AppendStream& inner, std::string* error) {
    if (number < 2) return inner.Append(contents, error);
    *error = "The disk is full.";
    return false;
  });
  const Platform platform{env_.registry, files, env_.system, env_.ini, env_.shell};
  results_ = VectorResults({Checked("HKEY_CURRENT_USER\\Software\\Vendor\\Tool", "Path", rkValueInColumn)});
  try {
    RepairRows(platform, results_, kBackup, ScopeAfterScan({CategoryCode::ObsoleteSoftware}, {}));
    FAIL() << "no error";
  } catch (const EmptiedKeysKeptError& error) {
    EXPECT_EQ(error.Summary(), (RepairSummary{1, 0, kBackup, 0}));
    EXPECT_EQ(std::string(error.what()), std::string("Repaired 1 problem, kept 0 (Backup20240102030405.reg). The "
                                                     "backup file ") +
                                             kBackup +
                                             " could not be written: The disk is full. The emptied program "
                                             "keys were kept.");
  }
  EXPECT_TRUE(results_.rows.empty());
  EXPECT_TRUE(Reg().KeyExists(RootKey::CurrentUser, "Software\\Vendor\\Tool"));
}

// A repair killed while it appends its second batch (the emptied program keys) leaves a torn end after
// the first batch, whose entries are deleted. The restore puts back the part on record, says how much
// it left out, and the registry is as before: nothing of the torn batch had been deleted.
TEST_F(RepairTest, KilledWhileWritingTheEmptiedKeysTheRecordedPartRestoresEverything) {
  struct Killed {};
  for (std::size_t cut = 1;; cut += 7) {
    SCOPED_TRACE("the second write cut after " + std::to_string(cut) + " bytes");
    MemoryPlatform env;
    env.files.AddFolder(kFolder);
    env.files.AddFolder("C:\\Temp");
    env.system.SetVariable("TEMP", "C:\\Temp");
    test::Seed(env.registry, {test::Str("HKCU\\Software\\Vendor\\Tool", "Path", "C:\\gone\\t.exe"),
                              test::Str("HKCU\\Software\\Vendor\\Other", "Path", "C:\\gone\\u.exe"),
                              test::Str("HKCU\\Software\\Run", "A", "a")});
    const auto before = Snapshot(env.registry, RootKey::CurrentUser);
    std::size_t secondSize = 0;
    HookedAppends files(env.files, [&](int number, std::string_view contents, AppendStream& inner, std::string* error) {
      if (number < 2) return inner.Append(contents, error);
      secondSize = contents.size();
      inner.Append(contents.substr(0, std::min(cut, contents.size())), error);
      throw Killed{};
    });
    const Platform platform{env.registry, files, env.system, env.ini, env.shell};
    VectorResults results({Checked("HKEY_CURRENT_USER\\Software\\Vendor\\Tool", "Path", rkValueInColumn),
                           Checked("HKEY_CURRENT_USER\\Software\\Vendor\\Other", "Path", rkValueInColumn),
                           Checked("HKEY_CURRENT_USER\\Software\\Run", "A", rkValueInColumn)});
    EXPECT_THROW(RepairRows(platform, results, kBackup, ScopeAfterScan({CategoryCode::ObsoleteSoftware}, {})), Killed);
    ASSERT_GT(secondSize, 0u) << "the emptied keys were written";
    EXPECT_FALSE(env.registry.GetValue(RootKey::CurrentUser, "Software\\Run", "A")) << "the first batch went";
    EXPECT_TRUE(env.registry.KeyExists(RootKey::CurrentUser, "Software\\Vendor")) << "the torn batch stayed";

    std::vector<std::string> imported;
    const RestoreResult restored = RestoreBackupFile(
        env.platform, kBackup,
        [&](const std::string& command) {
          const std::string path =
              command.substr(command.find("/s \"") + 4, command.size() - command.find("/s \"") - 5);
          imported.push_back(path);
          const std::optional<RegFile> file = ParseRegFile(env.files.Contents(path).value_or(""), test::Cp1252);
          for (const RegFileKey& key : file.value().keys) {
            env.registry.CreateKey(key.root, key.path);
            for (const RegFileValue& v : key.values) env.registry.SetValue(key.root, key.path, v.name, v.type, v.data);
          }
          return true;
        },
        test::Cp1252);
    EXPECT_EQ(restored.status, RestoreResult::Status::Restored);
    EXPECT_EQ(restored.droppedBytes, std::min(cut, secondSize));
    EXPECT_EQ(imported, std::vector<std::string>{"C:\\Temp\\Tamrisk-Backup20240102030405.reg"}) << "a copy of the part";
    EXPECT_FALSE(env.files.Exists(imported.at(0))) << "the copy is deleted";
    EXPECT_EQ(Snapshot(env.registry, RootKey::CurrentUser), before);
    if (cut >= secondSize) break;
  }
}

}  // namespace
}  // namespace tamrisk
