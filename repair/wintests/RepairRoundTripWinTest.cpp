// The repair on the real registry: every entry it deletes must come back with the same names, type and
// bytes when "regedit /s" imports the backup file, and an entry the editor would not give back exactly
// is not deleted. Keys, values and files carry the test's unique name.
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
#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"
#include "repair/Repair.h"
#include "scan/ProblemRow.h"
#include "testkit/ScanHarness.h"
#include "testkit/TestKit.h"
#include "testkit/WinFixture.h"

namespace tamrisk {
namespace {

using win32::Utf8;
using win32::Wide;

constexpr const char* kRoot = "HKEY_CURRENT_USER\\";
// Greek, Hebrew, CJK, a character outside the BMP, and a lone surrogate as names and data may hold it.
constexpr const char* kGreek = "\u0394ata";
constexpr const char* kHebrew = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";
constexpr const char* kCjk = "\xE6\x96\x87\xE4\xBB\xB6";
constexpr const char* kEmoji = "\xF0\x9F\x98\x80";
constexpr const char* kLone = "\xED\xA0\x80";

struct Data {
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> bytes;
  friend bool operator==(const Data&, const Data&) = default;
};

// Every value of every key below a key.
using Snapshot = std::map<std::string, std::map<std::string, Data>>;

std::ostream& operator<<(std::ostream& out, const Data& data) {
  out << "type " << data.type << " [";
  for (const std::uint8_t b : data.bytes) out << ' ' << static_cast<int>(b);
  return out << " ]";
}

using test::Bytes;
std::vector<std::uint8_t> Sz(std::string_view text) { return test::TextBytes(text); }

std::vector<std::uint8_t> Counting(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return bytes;
}

win32::UniqueRegKey OpenKey(const std::string& path, REGSAM rights = KEY_READ) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(path).c_str(), 0, rights, &key) != ERROR_SUCCESS) return {};
  return win32::UniqueRegKey(key);
}

std::optional<Data> ReadValue(const std::string& path, const std::string& name) {
  const win32::UniqueRegKey key = OpenKey(path);
  if (!key) return std::nullopt;
  const std::wstring wideName = Wide(name);
  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  Data data{type, std::vector<std::uint8_t>(size)};
  if (::RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type, data.bytes.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  data.bytes.resize(size);
  return data;
}

void AddToSnapshot(const std::string& path, Snapshot& snapshot) {
  const win32::UniqueRegKey key = OpenKey(path);
  ASSERT_TRUE(key) << path;
  auto& values = snapshot[path];
  std::wstring name(16384, L'\0');
  for (DWORD i = 0;; ++i) {
    DWORD length = static_cast<DWORD>(name.size());
    if (::RegEnumValueW(key.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::string utf8 = Utf8(std::wstring_view(name.data(), length));
    values[utf8] = ReadValue(path, utf8).value();
  }
  std::vector<std::string> subkeys;
  for (DWORD i = 0;; ++i) {
    DWORD length = static_cast<DWORD>(name.size());
    if (::RegEnumKeyExW(key.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.push_back(Utf8(std::wstring_view(name.data(), length)));
  }
  for (const std::string& subkey : subkeys) AddToSnapshot(path + "\\" + subkey, snapshot);
}

Snapshot Take(const std::string& path) {
  Snapshot snapshot;
  AddToSnapshot(path, snapshot);
  return snapshot;
}

// Through the backend, which stores string data exactly as given, terminated or not. Without a name
// only the key is made.
void SetValue(const std::string& path, const std::optional<std::string>& name, DWORD type = REG_NONE,
              const std::vector<std::uint8_t>& bytes = {}) {
  win32::Win32Registry registry;
  RegistryAccess access(registry, RootKey::CurrentUser);
  ASSERT_TRUE(access.OpenPath(path, true)) << path;
  if (name) access.WriteRaw(*name, type, bytes);
}

ProblemRow Checked(const std::string& key, const std::string& value, RowKind kind) {
  return ProblemRow{true, ProblemId::InvalidFileOrFolder, key, value, kind};
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
    EXPECT_EQ(exitCode, 0u);
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
  const std::string world = std::string("C:\\") + kGreek + "\\" + kHebrew + " " + kCjk + " " + kEmoji + ".exe";
  return {
      {"string with backslashes and quotes", "path \\ \"quoted\"", REG_SZ, Sz("C:\\Dir\\\"x\" \\\\srv\\")},
      {"empty string", "empty", REG_SZ, Sz("")},
      {"string of no bytes", "nothing", REG_SZ, {}},
      {"default value", "", REG_SZ, Sz("default text")},
      {"string with a line break", "lines", REG_SZ, Sz("one\r\ntwo\nthree")},
      {"string with an inner NUL", "inner nul", REG_SZ, Sz(std::string("a\0b", 3))},
      {"string of odd length after its NUL", "odd", REG_SZ, {0, 0, 0x41}},
      {"text in any language", std::string(kHebrew) + " " + kEmoji, REG_SZ, Sz(world)},
      {"lone surrogates in name and data", std::string("n") + kLone, REG_SZ, Sz(std::string("d") + kLone)},
      {"expandable string", "expand", REG_EXPAND_SZ, Sz("%SystemRoot%\\x.dll")},
      {"expandable string in any language", kCjk, REG_EXPAND_SZ, Sz(std::string("%") + kGreek + "%\\" + kCjk)},
      {"multi-string", "multi", REG_MULTI_SZ, Sz(std::string("one\0two\0", 8))},
      {"multi-string in any language", kGreek, REG_MULTI_SZ, Sz(std::string(kHebrew) + '\0' + kEmoji + '\0')},
      {"empty multi-string", "multi empty", REG_MULTI_SZ, Sz("")},
      {"multi-string of no bytes", "multi nothing", REG_MULTI_SZ, {}},
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
      {"binary of 100 KB", "bin100k", REG_BINARY, Counting(100 * 1024)},
      {"name with = and brackets", "a=b [c]", REG_SZ, Sz("v")},
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
  SetValue(tree, "", REG_SZ, Sz("top"));
  SetValue(tree, "dword", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF});
  SetValue(tree + "\\Child one", "multi", REG_MULTI_SZ, Sz(std::string("a\0b\0", 4)));
  SetValue(tree + "\\Child one\\Grand]child", "bin", REG_BINARY, Counting(60));
  SetValue(tree + "\\Child one\\Grand]child\\ spaced ", "text", REG_SZ, Sz("q\"\\"));
  SetValue(tree + "\\Child two", "expand", REG_EXPAND_SZ, Sz("%TEMP%"));
  SetValue(tree + "\\" + kGreek + "\\" + kCjk + " " + kEmoji, kHebrew, REG_SZ, Sz(kCjk));
  SetValue(tree + "\\" + kGreek + "\\k" + kLone, std::string("v") + kLone, REG_DWORD, {1, 0, 0, 0});
  SetValue(tree + "\\Empty", std::nullopt);
  const Snapshot before = Take(tree);
  ASSERT_EQ(before.size(), 9u);

  VectorResults results({Checked(kRoot + tree, "C:\\gone.exe", rkKey)});
  Repair(results);
  EXPECT_TRUE(results.rows.empty());
  EXPECT_FALSE(OpenKey(tree));

  Restore();
  EXPECT_EQ(Take(tree), before);
}

TEST_F(RepairRoundTripWin, EveryRowKindRestoresTheWholeKey) {
  SetValue(key_ + "\\Run", "Tool", REG_SZ, Sz("C:\\gone\\tool.exe /min"));
  SetValue(key_ + "\\Run", "Keep", REG_SZ, Sz("C:\\kept.exe"));
  SetValue(key_ + "\\Dlls", "C:\\gone\\x.dll", REG_DWORD, {0, 0, 0, 0});
  SetValue(key_ + "\\Classes\\.xyz", "", REG_SZ, Sz(""));
  SetValue(key_ + "\\App", "", REG_SZ, Sz("C:\\gone\\app.exe"));
  SetValue(key_ + "\\App", "Other", REG_SZ, Sz("stays"));
  SetValue(key_ + "\\Clsid\\{1}\\InprocServer32", "", REG_SZ, Sz("C:\\gone\\x.ocx"));
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

// String data the registry editor would change on import (it adds a NUL unit, or crashes on a single
// byte) is neither deleted nor backed up, and neither is a key that holds such a value.
TEST_F(RepairRoundTripWin, ValuesTheEditorWouldChangeStayListed) {
  const std::vector<ValueCase> cases = {
      {"string without its NUL", "unending", REG_SZ, Bytes(std::string("a\0b\0", 4))},
      {"string of one byte", "one byte", REG_SZ, {0x41}},
      {"string of odd length", "odd", REG_SZ, {0x41, 0, 0x42}},
      {"expandable string without its NUL", "expand", REG_EXPAND_SZ, Bytes(std::string("%\\0A\\0", 4))},
      {"multi-string without its last NUL", "multi", REG_MULTI_SZ, {0x41, 0, 0, 0, 0x42, 0}},
  };
  for (const ValueCase& c : cases) SetValue(key_ + "\\Values", c.name, c.type, c.bytes);
  SetValue(key_ + "\\Holder\\Inner", "unending", REG_SZ, {0x41, 0});
  SetValue(key_ + "\\Holder", "fine", REG_SZ, Sz("fine"));
  const Snapshot before = Take(key_);

  VectorResults results({Checked(kRoot + key_ + "\\Holder", "", rkKey)});
  for (const ValueCase& c : cases) results.rows.push_back(Checked(kRoot + key_ + "\\Values", c.name, rkValueInColumn));
  std::vector<ProblemRow> kept = results.rows;
  for (ProblemRow& row : kept) row.reason = Verbatim("kept: not backed up faithfully");
  Repair(results);
  EXPECT_EQ(test::ReasonsInEnglish(results.rows), kept);
  EXPECT_EQ(Take(key_), before);
  EXPECT_EQ(::GetFileAttributesW(Wide(backup_).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(RepairRoundTripWin, ShortcutRowDeletesOnlyThatShortcut) {
  const std::string shortcut = folder_ + "\\Gone.lnk";
  ASSERT_TRUE(test::MakeShortcut(shortcut, "C:\\" + name_ + "\\missing.exe"));
  ASSERT_TRUE(test::WriteTextFile(folder_ + "\\Other.lnk", "x"));
  VectorResults results({Checked(shortcut, "C:\\" + name_ + "\\missing.exe", rkShortcutFile),
                         Checked(folder_ + "\\*.lnk", "", rkShortcutFile)});
  Repair(results);
  ASSERT_EQ(results.rows.size(), 1u);  // the wildcard row deletes nothing
  EXPECT_EQ(::GetFileAttributesW(Wide(shortcut).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(::GetFileAttributesW(Wide(folder_ + "\\Other.lnk").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(::GetFileAttributesW(Wide(backup_).c_str()), INVALID_FILE_ATTRIBUTES);  // no backup for files
}

}  // namespace
}  // namespace tamrisk
