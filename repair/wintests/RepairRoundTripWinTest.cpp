// The repair on the real registry: every entry it deletes must come back with the same type and bytes
// when "regedit /s" imports the backup file. Keys, values and files carry the test's unique name.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Win32System.h"
#include "repair/Repair.h"
#include "scan/ProblemRow.h"
#include "testkit/WinFixture.h"

namespace tamrisk {
namespace {

constexpr const char* kRoot = "HKEY_CURRENT_USER\\";

struct Data {
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> bytes;
  friend bool operator==(const Data&, const Data&) = default;
};

// Every value of every key below a key, as the A functions show them.
using Snapshot = std::map<std::string, std::map<std::string, Data>>;

std::ostream& operator<<(std::ostream& out, const Data& data) {
  out << "type " << data.type << " [";
  for (const std::uint8_t b : data.bytes) out << ' ' << static_cast<int>(b);
  return out << " ]";
}

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> Counting(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return bytes;
}

win32::UniqueRegKey OpenKey(const std::string& path, REGSAM rights = KEY_READ) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, rights, &key) != ERROR_SUCCESS) return {};
  return win32::UniqueRegKey(key);
}

std::optional<Data> ReadValue(const std::string& path, const std::string& name) {
  const win32::UniqueRegKey key = OpenKey(path);
  if (!key) return std::nullopt;
  DWORD type = 0, size = 0;
  if (::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  Data data{type, std::vector<std::uint8_t>(size)};
  if (::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, data.bytes.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  data.bytes.resize(size);
  return data;
}

void AddToSnapshot(const std::string& path, Snapshot& snapshot) {
  const win32::UniqueRegKey key = OpenKey(path);
  ASSERT_TRUE(key) << path;
  auto& values = snapshot[path];
  char name[16384];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (::RegEnumValueA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    values[name] = ReadValue(path, name).value();
  }
  std::vector<std::string> subkeys;
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (::RegEnumKeyExA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(name);
  }
  for (const std::string& subkey : subkeys) AddToSnapshot(path + "\\" + subkey, snapshot);
}

Snapshot Take(const std::string& path) {
  Snapshot snapshot;
  AddToSnapshot(path, snapshot);
  return snapshot;
}

void SetValue(const std::string& path, const std::string& name, DWORD type, const std::vector<std::uint8_t>& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  win32::UniqueRegKey owner(key);
  ASSERT_EQ(::RegSetValueExA(key, name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS)
      << name;
}

ProblemRow Checked(const std::string& key, const std::string& value, RowKind kind) {
  return ProblemRow{true, "Test Issue", key, value, kind};
}

class RepairRoundTripWin : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = test::UniqueName("h6");
    key_ = "Software\\" + name_;
    folder_ = test::FreshFolder(name_);
    backup_ = folder_ + "\\Backup.reg";
  }
  void TearDown() override {
    test::DeleteKeyTree(RootKey::CurrentUser, key_);
    test::RemoveFolder(folder_);
  }

  void Repair(VectorResults& results) { RepairRows(system_.platform, results, backup_); }

  void Restore() {
    unsigned long exitCode = 1;
    ASSERT_TRUE(test::RunAndWait("regedit /s \"" + backup_ + "\"", 60000, &exitCode));
  }

  win32::Win32Platform system_;
  std::string name_, key_, folder_, backup_;
};

struct ValueCase {
  const char* label;
  std::string name;
  DWORD type;
  std::vector<std::uint8_t> bytes;
};

std::vector<ValueCase> ValueCases() {
  const std::int32_t minusTwo = -2;
  std::vector<std::uint8_t> negative(4);
  std::memcpy(negative.data(), &minusTwo, 4);
  return {
      {"string with backslashes and quotes", "path \\ \"quoted\"", REG_SZ, Bytes(std::string("C:\\Dir\\\"x\" \\\\srv\\") + '\0')},
      {"empty string", "empty", REG_SZ, Bytes(std::string(1, '\0'))},
      {"string of no bytes", "nothing", REG_SZ, {}},
      {"default value", "", REG_SZ, Bytes(std::string("default text") + '\0')},
      {"string with a line break", "lines", REG_SZ, Bytes(std::string("one\r\ntwo\nthree") + '\0')},
      {"string with an inner NUL", "inner nul", REG_SZ, Bytes(std::string("a\0b\0", 4))},
      {"string with an ANSI letter", "ansi", REG_SZ, Bytes(std::string("caf\xe9") + '\0')},
      {"expandable string", "expand", REG_EXPAND_SZ, Bytes(std::string("%SystemRoot%\\x.dll") + '\0')},
      {"multi-string", "multi", REG_MULTI_SZ, Bytes(std::string("one\0two\0\0", 9))},
      {"dword", "dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
      {"negative dword", "negative", REG_DWORD, negative},
      {"dword of two bytes", "short dword", REG_DWORD, {0x01, 0x02}},
      {"qword", "qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 0x88}},
      {"none, empty", "none", REG_NONE, {}},
      {"none with bytes", "none bytes", REG_NONE, {0xAB, 0xCD}},
      {"big-endian dword", "big endian", REG_DWORD_BIG_ENDIAN, {0, 0, 1, 2}},
      {"binary of 0 bytes", "bin0", REG_BINARY, {}},
      {"binary of 25 bytes", "bin25", REG_BINARY, Counting(25)},
      {"binary of 26 bytes", "bin26", REG_BINARY, Counting(26)},
      {"binary of 27 bytes", "bin27", REG_BINARY, Counting(27)},
      {"binary of 51 bytes", "bin51", REG_BINARY, Counting(51)},
      {"binary of 1000 bytes", "bin1000", REG_BINARY, Counting(1000)},
      {"name with = and brackets", "a=b [c]", REG_SZ, Bytes(std::string("v") + '\0')},
  };
}

TEST_F(RepairRoundTripWin, EveryValueTypeComesBackFromTheBackup) {
  const std::vector<ValueCase> cases = ValueCases();
  for (const ValueCase& c : cases) SetValue(key_, c.name, c.type, c.bytes);
  const Snapshot before = Take(key_);
  ASSERT_EQ(before.at(key_).size(), cases.size());

  VectorResults results;
  for (const ValueCase& c : cases) {
    results.rows.push_back(c.name.empty() ? Checked(kRoot + key_, "", rkDefaultValue)
                                          : Checked(kRoot + key_, c.name, rkValueInColumn));
  }
  Repair(results);
  EXPECT_TRUE(results.rows.empty());
  for (const ValueCase& c : cases) EXPECT_FALSE(ReadValue(key_, c.name)) << c.label << " was not deleted";

  Restore();
  const Snapshot after = Take(key_);
  for (const ValueCase& c : cases) {
    const std::optional<Data> restored = ReadValue(key_, c.name);
    ASSERT_TRUE(restored) << c.label << " did not come back";
    EXPECT_EQ(*restored, before.at(key_).at(c.name)) << c.label;
  }
  EXPECT_EQ(after, before);
}

TEST_F(RepairRoundTripWin, NestedKeysComeBackWithEveryValue) {
  const std::string tree = key_ + "\\Tree";
  SetValue(tree, "", REG_SZ, Bytes(std::string("top") + '\0'));
  SetValue(tree, "dword", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF});
  SetValue(tree + "\\Child one", "multi", REG_MULTI_SZ, Bytes(std::string("a\0b\0\0", 5)));
  SetValue(tree + "\\Child one\\Grand]child", "bin", REG_BINARY, Counting(60));
  SetValue(tree + "\\Child one\\Grand]child\\ spaced ", "text", REG_SZ, Bytes(std::string("q\"\\") + '\0'));
  SetValue(tree + "\\Child two", "expand", REG_EXPAND_SZ, Bytes(std::string("%TEMP%") + '\0'));
  HKEY empty = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, (tree + "\\Empty").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &empty, nullptr),
            ERROR_SUCCESS);
  ::RegCloseKey(empty);
  const Snapshot before = Take(tree);
  ASSERT_EQ(before.size(), 6u);

  VectorResults results({Checked(kRoot + tree, "C:\\gone.exe", rkKey)});
  Repair(results);
  EXPECT_TRUE(results.rows.empty());
  EXPECT_FALSE(OpenKey(tree));

  Restore();
  EXPECT_EQ(Take(tree), before);
}

TEST_F(RepairRoundTripWin, EveryRowKindRestoresTheWholeKey) {
  SetValue(key_ + "\\Run", "Tool", REG_SZ, Bytes(std::string("C:\\gone\\tool.exe /min") + '\0'));
  SetValue(key_ + "\\Run", "Keep", REG_SZ, Bytes(std::string("C:\\kept.exe") + '\0'));
  SetValue(key_ + "\\Dlls", "C:\\gone\\x.dll", REG_DWORD, {0, 0, 0, 0});
  SetValue(key_ + "\\Classes\\.xyz", "", REG_SZ, Bytes(std::string(1, '\0')));
  SetValue(key_ + "\\App", "", REG_SZ, Bytes(std::string("C:\\gone\\app.exe") + '\0'));
  SetValue(key_ + "\\App", "Other", REG_SZ, Bytes(std::string("stays") + '\0'));
  SetValue(key_ + "\\Clsid\\{1}\\InprocServer32", "", REG_SZ, Bytes(std::string("C:\\gone\\x.ocx") + '\0'));
  const Snapshot before = Take(key_);

  VectorResults results({
      Checked(kRoot + std::string("Software"), "", rkKey),  // never removed: one level below the root
      Checked(kRoot + key_ + "\\Run\\Tool", "C:\\gone\\tool.exe /min", rkValueInPath),
      Checked(kRoot + key_ + "\\Dlls", "C:\\gone\\x.dll", rkValueInColumn),
      Checked(kRoot + key_ + "\\Classes", ".xyz", rkSubkeyInColumn),
      Checked(kRoot + key_ + "\\App", "C:\\gone\\app.exe", rkDefaultValue),
      Checked(kRoot + key_ + "\\Clsid\\{1}\\InprocServer32", "C:\\gone\\x.ocx", rkKey),
  });
  Repair(results);
  ASSERT_EQ(results.rows.size(), 1u);
  EXPECT_EQ(results.rows[0].registryKey, "HKEY_CURRENT_USER\\Software");
  EXPECT_FALSE(ReadValue(key_ + "\\Run", "Tool"));
  EXPECT_TRUE(ReadValue(key_ + "\\Run", "Keep"));
  EXPECT_FALSE(OpenKey(key_ + "\\Classes\\.xyz"));
  EXPECT_FALSE(ReadValue(key_ + "\\App", ""));
  EXPECT_TRUE(ReadValue(key_ + "\\App", "Other"));

  Restore();
  EXPECT_EQ(Take(key_), before);
}

TEST_F(RepairRoundTripWin, ShortcutRowDeletesOnlyThatShortcut) {
  const std::string shortcut = folder_ + "\\Gone.lnk";
  ASSERT_TRUE(test::MakeShortcut(shortcut, "C:\\" + name_ + "\\missing.exe"));
  ASSERT_TRUE(test::WriteTextFile(folder_ + "\\Other.lnk", "x"));
  VectorResults results({Checked(shortcut, "C:\\" + name_ + "\\missing.exe", rkShortcutFile),
                         Checked(folder_ + "\\*.lnk", "", rkShortcutFile)});
  Repair(results);
  ASSERT_EQ(results.rows.size(), 1u);  // the wildcard row deletes nothing
  EXPECT_EQ(::GetFileAttributesA(shortcut.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(::GetFileAttributesA((folder_ + "\\Other.lnk").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(::GetFileAttributesA(backup_.c_str()), INVALID_FILE_ATTRIBUTES);  // no backup for files
}

}  // namespace
}  // namespace tamrisk
