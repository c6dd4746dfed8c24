// Every category passes over a registry value it cannot use and goes on with the next one. Each place
// a scanner reads gets the same malformed values, between good entries that must still be reported;
// the category must finish, and quickly: a 1 MB text is never walked character by character.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/memory/MemoryPlatform.h"
#include "testkit/ScanHarness.h"
#include "testkit/TestKit.h"

namespace tamrisk {
namespace {

using namespace test;

constexpr char kGood[] = "Good";  // in the key or value column of every good entry's row

struct Malformed {
  const char* tag;  // in the value's name or key; no tag holds another
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  bool readAsText;  // usable text after all: whatever it names may be reported
};

// What the text would name if it were read: a missing program, which every path test reports.
std::string GoneText(const std::string& tag) { return "C:\\Gone\\" + tag + ".exe"; }

std::vector<std::uint8_t> WithoutNul(std::vector<std::uint8_t> bytes) {
  bytes.resize(bytes.size() - 2);
  return bytes;
}

// 1 MB of string data: a path in a missing folder whose name goes on and on.
std::vector<std::uint8_t> HugeText() {
  const std::string folder = "C:\\Gone\\";
  return TextBytes(folder + std::string(512 * 1024 - 1 - folder.size(), 'x'));
}

const std::vector<Malformed>& MalformedValues() {
  static const std::vector<Malformed> values = {
      {"MalBinary", regtype::Binary, TextBytes(GoneText("MalBinary")), false},
      {"MalMultiString", regtype::MultiString, TextBytes(GoneText("MalMultiString") + '\0'), false},
      {"MalDword4", regtype::Dword, {1, 0, 0, 0}, false},
      {"MalDword2", regtype::Dword, {1, 0}, false},
      {"MalDword8", regtype::Dword, {1, 0, 0, 0, 0, 0, 0, 0}, false},
      {"MalDword0", regtype::Dword, {}, false},
      {"MalNoNul", regtype::String, WithoutNul(TextBytes(GoneText("MalNoNul"))), true},
      {"MalOddLength", regtype::String,
       [] {
         std::vector<std::uint8_t> bytes = TextBytes(GoneText("MalOddLength"));
         bytes.push_back('x');
         return bytes;
       }(),
       true},
      {"MalEmptyText", regtype::String, {}, true},
      {"MalHugeText", regtype::ExpandString, HugeText(), false},
  };
  return values;
}

// Where a category reads values: "$T" in key and name stands for a tag. Beside the malformed values
// go two good entries of goodText, tagged "Good" (seeded before them) and "ZGood" (after them).
struct Place {
  std::string key;
  std::string name;
  std::optional<std::string> goodText;  // nullopt: the good entries are of another shape
};

struct CategoryCase {
  int code;
  std::vector<Place> places;
  std::size_t goodRows;
  std::vector<RegRow> otherGood = {};   // "ZGood" ones seeded after the malformed values
  std::vector<std::string> files = {};  // "$T" stands for each tag, "Good" and "ZGood" included
  void (*prepare)(MemoryPlatform&) = nullptr;
};

void PrintTo(const CategoryCase& c, std::ostream* os) { *os << "code " << c.code; }

std::string Fill(std::string text, const std::string& tag) {
  for (std::size_t at = text.find("$T"); at != std::string::npos; at = text.find("$T", at + tag.size())) {
    text.replace(at, 2, tag);
  }
  return text;
}

const std::string kMachineWindows = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\";
const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kMenuOrder =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs";
const std::string kMru = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";
constexpr char kGoneExe[] = "C:\\Gone\\$T.exe";

const std::vector<CategoryCase> kCategories = {
    {3, {{"HKLM\\Software\\Malformed", "$T", kGoneExe}}, 2},
    {4, {{"HKCU\\Software\\Malformed", "$T", kGoneExe}}, 2},
    {5, {{"HKU\\S-1-5-21-7\\Software\\Malformed", "$T", kGoneExe}}, 2},
    {6, {{kMachineWindows + "App Paths\\$T.exe", "", kGoneExe}}, 2},
    {7,
     {{"HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "$T", "$T.ttf"}},
     2,
     {},
     {"C:\\Windows\\Fonts\\arial.ttf"},
     [](MemoryPlatform& env) { env.system.SetSpecialFolder(csidl::Fonts, "C:\\Windows\\Fonts"); }},
    {8,
     {{"HKLM\\Software\\Microsoft\\Windows\\Help", "$T.hlp", "C:\\Gone"},
      {"HKLM\\Software\\Microsoft\\Windows\\Html Help", "$T.chm", "C:\\Gone"}},
     4},
    // The count is read only for a file that exists: every name here does.
    {9,
     {{kMachineWindows + "SharedDlls", "C:\\Here\\$T.dll", std::nullopt}},
     2,
     {Dword(kMachineWindows + "SharedDlls", "C:\\Here\\Good.dll", 0),
      Dword(kMachineWindows + "SharedDlls", "C:\\Here\\ZGood.dll", 0)},
     {"C:\\Here\\$T.dll"}},
    {10,
     {{"HKCU\\" + kRun, "$T", kGoneExe},
      {"HKLM\\" + kRun + "Once", "$T", kGoneExe},
      {"HKLM\\Software\\Microsoft\\Shared Tools\\MSConfig\\startupreg\\$T", "command", kGoneExe}},
     6},
    // An entry that holds nothing but an empty default text is empty.
    {11, {{kMachineWindows + "Uninstall\\$T", "", ""}}, 2},
    {12, {{"HKLM\\Software\\Classes\\.$T", "", ""}}, 2},
    {13, {{"HKCR\\CLSID\\{$T}\\InprocServer32", "", "C:\\Gone\\$T.dll"}}, 2},
    // Counts values and reads none: a key holding a malformed value is not empty.
    {14,
     {{"HKCU\\Software\\$T", "Data", std::nullopt}},
     2,
     {Key("HKCU\\Software\\Good"), Key("HKCU\\Software\\ZGood")}},
    {15, {{"HKLM\\SYSTEM\\CurrentControlSet\\Services\\$T", "ImagePath", kGoneExe}}, 2},
    // Judges the order key's subkeys; the values beside them are never read.
    {16, {{kMenuOrder, "$T", std::nullopt}}, 2, {Key(kMenuOrder + "\\Good"), Key(kMenuOrder + "\\ZGood")}},
    // Reads shortcut files, not the registry.
    {17,
     {},
     2,
     {},
     {},
     [](MemoryPlatform& env) {
       env.system.SetSpecialFolder(csidl::StartMenu, "C:\\Menu");
       env.files.AddShortcut("C:\\Menu\\Good.lnk", "C:\\Gone\\good.exe");
       env.files.AddShortcut("C:\\Menu\\ZGood.lnk", "C:\\Gone\\zgood.exe");
     }},
    {18, {{"HKCU\\AppEvents\\Schemes\\Apps\\.Default\\$T\\.Current", "", "C:\\Gone\\$T.wav"}}, 2},
    {19, {{"HKCR\\TypeLib\\{$T}\\1.0\\0\\win32", "", "C:\\Gone\\$T.dll"}}, 2},
    // The history's own values (tried with each extension subkey) and those of its extension subkeys.
    {20, {{kMru, "$T", "C:\\Gone\\$T"}, {kMru + "\\txt", "$T", "C:\\Gone\\$T.txt"}}, 4},
    // The uninstall entries' values; Installer\Folders is judged by its value names alone.
    {21, {{kMachineWindows + "Uninstall\\$T", "UninstallString", kGoneExe}}, 2},
    {22, {{"HKLM\\Software\\Classes\\Applications\\$T.exe\\shell\\open\\command", "", kGoneExe}}, 2},
};

std::vector<RegRow> GoodEntries(const CategoryCase& c) {
  std::vector<RegRow> rows = c.otherGood;
  for (const Place& place : c.places) {
    if (!place.goodText) continue;
    for (const char* tag : {"Good", "ZGood"}) {
      rows.push_back(Str(Fill(place.key, tag), Fill(place.name, tag), Fill(*place.goodText, tag)));
    }
  }
  return rows;
}

bool Mentions(const ProblemRow& row, const std::string& text) {
  return FindNoCase(row.registryKey, text) != std::string::npos || FindNoCase(row.value, text) != std::string::npos;
}

std::size_t CountMentioning(const std::vector<ProblemRow>& rows, const std::string& text) {
  std::size_t count = 0;
  for (const ProblemRow& row : rows) count += Mentions(row, text) ? 1 : 0;
  return count;
}

class MalformedValuesTest : public ::testing::TestWithParam<CategoryCase> {};

TEST_P(MalformedValuesTest, APassesOverWhatItCannotUseAndReportsTheGoodEntriesAroundIt) {
  const CategoryCase& c = GetParam();
  MemoryPlatform env;
  if (c.prepare != nullptr) c.prepare(env);
  for (const std::string& file : c.files) {
    for (const char* tag : {"Good", "ZGood"}) SeedFiles(env.files, {Fill(file, tag)});
    for (const Malformed& value : MalformedValues()) SeedFiles(env.files, {Fill(file, value.tag)});
  }
  const auto late = [](const RegRow& row) {
    return FindNoCase(row.key + "\\" + row.name.value_or(""), "ZGood") != std::string::npos;
  };
  for (const RegRow& row : GoodEntries(c)) {
    if (!late(row)) Seed(env.registry, {row});
  }
  for (const Place& place : c.places) {
    for (const Malformed& value : MalformedValues()) {
      Seed(env.registry, {Raw(Fill(place.key, value.tag), Fill(place.name, value.tag), value.type, value.data)});
    }
  }
  for (const RegRow& row : GoodEntries(c)) {
    if (late(row)) Seed(env.registry, {row});
  }

  const auto start = std::chrono::steady_clock::now();
  const test::ScanResult result = test::RunScan(env.platform, {std::to_string(c.code)}, "c");
  const auto elapsed = std::chrono::steady_clock::now() - start;

  EXPECT_EQ(result.incomplete, std::vector<int>{});
  EXPECT_EQ(result.finished, 1);
  EXPECT_EQ(CountMentioning(result.rows, kGood), c.goodRows) << testing::PrintToString(result.rows);
  for (const Malformed& value : MalformedValues()) {
    if (!value.readAsText) {
      EXPECT_EQ(CountMentioning(result.rows, value.tag), 0u) << value.tag;
    }
  }
  EXPECT_LT(elapsed, std::chrono::seconds(3));
}

INSTANTIATE_TEST_SUITE_P(EveryCategory, MalformedValuesTest, ::testing::ValuesIn(kCategories),
                         [](const ::testing::TestParamInfo<CategoryCase>& info) {
                           return "Code" + std::to_string(info.param.code);
                         });

}  // namespace
}  // namespace tamrisk
