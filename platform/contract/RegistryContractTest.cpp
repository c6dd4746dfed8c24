// Registry behaviour the engine relies on, checked against every backend (memory natively, advapi32
// under Wine). Everything happens below the environment's scratch key in HKEY_CURRENT_USER.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryAccess.h"
#include "platform/Text.h"
#include "platform/contract/ContractBackends.h"

namespace tamrisk {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr long kBadPathname = 161;

Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }
// String data as the wide registry functions hold it: UTF-16LE, without and with its NUL.
Bytes U(std::string_view text) {
  Bytes data = Utf16BytesOf(text);
  data.resize(data.size() - 2);
  return data;
}
Bytes Sz(std::string_view text) { return Utf16BytesOf(text); }

// Names and text outside any one code page: Greek, Hebrew, CJK and a character outside the BMP.
constexpr const char* kGreek = "\xCE\x94\xCE\xB5\xCE\xB4\xCE\xBF\xCE\xBC\xCE\xAD\xCE\xBD\xCE\xB1";
constexpr const char* kHebrew = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";
constexpr const char* kCjk = "\xE6\x96\x87\xE4\xBB\xB6";
constexpr const char* kEmoji = "\xF0\x9F\x98\x80";
const std::string kWorldPath = std::string("C:\\") + kGreek + "\\" + kHebrew + " " + kCjk + " " + kEmoji + ".exe";

class RegistryContract : public ::testing::Test {
 protected:
  std::unique_ptr<ContractEnvironment> env_ = MakeContractEnvironment();
  RegistryBackend& registry_ = env_->Registry();
  const std::string scratch_ = env_->ScratchKey();

  // Opens (or with create, makes) a path below the scratch key; "" is the scratch key itself.
  KeyHandle Open(const std::string& sub, bool create = false, std::uint32_t access = rights::AllAccess) {
    const std::string path = sub.empty() ? scratch_ : scratch_ + "\\" + sub;
    KeyHandle handle = 0;
    const KeyHandle root = RootHandle(RootKey::CurrentUser);
    const long rc =
        create ? registry_.CreateKey(root, path, access, handle) : registry_.OpenKey(root, path, access, handle);
    EXPECT_EQ(rc, status::Success) << path;
    return handle;
  }

  // A RegistryAccess on HKEY_CURRENT_USER with the scratch key (or a key below it) current.
  std::unique_ptr<RegistryAccess> AccessAt(const std::string& sub = "") {
    auto access = std::make_unique<RegistryAccess>(registry_, RootKey::CurrentUser);
    EXPECT_TRUE(access->OpenPath("\\" + scratch_ + (sub.empty() ? "" : "\\" + sub), true));
    return access;
  }

  std::vector<std::string> EnumAll(KeyHandle key, bool subkeys) {
    std::vector<std::string> names;
    std::string name;
    for (std::uint32_t i = 0;; ++i) {
      const long rc = subkeys ? registry_.EnumKey(key, i, name) : registry_.EnumValue(key, i, name);
      if (rc != status::Success) {
        EXPECT_EQ(rc, status::NoMoreItems);
        break;
      }
      names.push_back(name);
    }
    return names;
  }
};

TEST_F(RegistryContract, NamesIgnoreCaseAndKeepTheirStoredCase) {
  BackendKey inner(registry_, Open("MixedCase\\Inner", true));
  BackendKey again(registry_, Open("MIXEDCASE\\inner"));
  ASSERT_NE(again.get(), 0u);
  BackendKey recreated(registry_, Open("mixedcase", true));

  auto access = AccessAt();
  EXPECT_EQ(access->ListSubkeys(), std::vector<std::string>{"MixedCase"});
  EXPECT_TRUE(access->HasSubkey("MIXEDCASE\\INNER"));

  access->WriteText("ValueName", "first");
  access->WriteRaw("VALUENAME", regtype::Dword, {7, 0, 0, 0});
  EXPECT_EQ(access->ListValues(), std::vector<std::string>{"ValueName"});
  EXPECT_EQ(access->ValueKind("valuename"), DataKind::Integer);
  EXPECT_EQ(access->ReadNumber("vALUEnAME"), 7);
}

TEST_F(RegistryContract, SubkeysEnumerateSortedIgnoringCase) {
  struct Case {
    std::vector<std::string> created;
    std::vector<std::string> listed;
  };
  const Case cases[] = {
      {{"b", "A", "c", "a1", "aa", "Ab", "0", "Zed"}, {"0", "A", "a1", "aa", "Ab", "b", "c", "Zed"}},
      // Letters fold to lower case before comparing, so "[" and "_" come before every letter (Wine's
      // order; Windows's own hives put them after "Z").
      {{"Zed", "_x", "~", "[x", "a"}, {"[x", "_x", "a", "Zed", "~"}},
      // Other characters by their UTF-16 code units.
      {{kEmoji, kCjk, "b", kHebrew, kGreek, std::string(kCjk) + "x"},
       {"b", kGreek, kHebrew, kCjk, std::string(kCjk) + "x", kEmoji}},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string parent = "order" + std::to_string(n++);
    for (const auto& name : c.created) registry_.CloseKey(Open(parent + "\\" + name, true));
    BackendKey key(registry_, Open(parent));
    EXPECT_EQ(EnumAll(key.get(), true), c.listed);
    EXPECT_EQ(AccessAt(parent)->ListSubkeys(), c.listed);
  }
}

TEST_F(RegistryContract, ValuesListOnceEachWithTheDefaultAsEmptyName) {
  auto access = AccessAt();
  for (const char* name : {"zeta", kEmoji, "Alpha", "", kHebrew, "mid"}) access->WriteText(name, "x");
  const std::vector<std::string> expected = env_->ValuesListInCreationOrder()
                                                ? std::vector<std::string>{"zeta", kEmoji, "Alpha", "", kHebrew, "mid"}
                                                : std::vector<std::string>{"", "Alpha", "mid", "zeta", kHebrew, kEmoji};
  EXPECT_EQ(access->ListValues(), expected);
  EXPECT_EQ(access->QueryKeyInfo().valueCount, 6u);
  EXPECT_EQ(access->ReadText(""), "x");
}

// One value of every type and of the sizes that test a backend's buffers, names in any language.
struct TypedValue {
  std::string name;
  std::uint32_t type;
  Bytes data;
};

std::vector<TypedValue> ValuesOfEveryType() {
  Bytes large(100000);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<std::uint8_t>(i * 7);
  return {
      {"sz", regtype::String, B(std::string_view("text\0", 5))},
      {"sz-large", regtype::String, Sz(std::string(3000, 'x') + kCjk)},
      {"sz-odd", regtype::String, {'a', 0, 'b'}},
      {"sz-empty", regtype::String, {}},
      {"expand", regtype::ExpandString, B(std::string_view("%SystemRoot%\\x\0", 15))},
      {"binary", regtype::Binary, {0, 1, 2, 0xFF, 0x80}},
      {"binary-empty", regtype::Binary, {}},
      {"binary-large", regtype::Binary, large},
      {"dword", regtype::Dword, {0x78, 0x56, 0x34, 0x12}},
      {"dword-big", regtype::DwordBigEndian, {0x12, 0x34, 0x56, 0x78}},
      {"multi", regtype::MultiString, B(std::string_view("a\0bc\0\0", 6))},
      {"qword", regtype::Qword, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"none-empty", regtype::None, {}},
      {"none", regtype::None, {9, 8, 7}},
      {"resources", regtype::ResourceList, {0, 0, 0, 0}},
      {"type99", 99, B("abc")},
      {"type-big", 0x12345, {1}},
      {kGreek, regtype::String, Sz(kWorldPath)},
      {kHebrew, regtype::ExpandString, Sz(std::string("%") + kHebrew + "%\\" + kCjk)},
      {kCjk, regtype::MultiString, U(std::string(kGreek) + '\0' + kEmoji + '\0' + '\0')},
      {kEmoji, regtype::String, U(kEmoji)},                        // without its NUL
      {std::string(16383, 'n'), regtype::String, Sz(kWorldPath)},  // the longest name
  };
}

// Each value reads back as written, by name and by index with its data (in one buffer lent to every
// call: larger values than it first holds, then smaller ones, whichever order the backend lists them).
TEST_F(RegistryContract, EveryTypeKeepsItsBytes) {
  const std::vector<TypedValue> cases = ValuesOfEveryType();
  BackendKey key(registry_, Open("types", true));
  for (const auto& c : cases) ASSERT_EQ(registry_.SetValue(key.get(), c.name, c.type, c.data), status::Success);

  auto access = AccessAt("types");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 20));
    std::uint32_t type = 0, size = 0;
    Bytes data{0xEE};
    ASSERT_EQ(registry_.QueryValue(key.get(), c.name, type, data), status::Success);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(data, c.data);
    ASSERT_EQ(registry_.QueryValueInfo(key.get(), c.name, type, size), status::Success);
    EXPECT_EQ(size, c.data.size());
    EXPECT_EQ(access->ValueSize(c.name), static_cast<long long>(c.data.size()));
    ASSERT_TRUE(access->ReadRaw(c.name, type, data));
    EXPECT_EQ(data, c.data);
  }

  Bytes lent;
  std::string name;
  std::uint32_t index = 0;
  for (std::uint32_t type = 0;; ++index) {
    const long rc = registry_.EnumValueData(key.get(), index, name, type, lent);
    if (rc != status::Success) {
      EXPECT_EQ(rc, status::NoMoreItems);
      break;
    }
    const auto c = std::find_if(cases.begin(), cases.end(), [&](const TypedValue& v) { return v.name == name; });
    ASSERT_NE(c, cases.end()) << name;
    SCOPED_TRACE(c->name.substr(0, 20));
    EXPECT_EQ(type, c->type);
    EXPECT_EQ(lent, c->data);
  }
  EXPECT_EQ(index, cases.size());
}

// read() gives expected, or (with no expected value) raises a RegistryError saying error.
template <typename Read, typename T>
void ExpectReadOrRaise(Read read, const std::optional<T>& expected, const std::string& error) {
  if (expected) {
    EXPECT_EQ(read(), *expected);
    return;
  }
  try {
    read();
    ADD_FAILURE() << "the read did not raise";
  } catch (const RegistryError& e) {
    EXPECT_EQ(std::string(e.what()), error);
  }
}

TEST_F(RegistryContract, ReadsFollowTheValueKind) {
  struct Case {
    const char* name;
    std::uint32_t type;
    Bytes data;
    DataKind kind;
    std::optional<std::string> text;     // nullopt: ReadText raises "Invalid data type"
    std::optional<std::int32_t> number;  // nullopt: ReadNumber raises "Invalid data type"
  };
  const Case cases[] = {
      {"plain", regtype::String, Sz("abc"), DataKind::String, "abc", std::nullopt},
      {"unterminated", regtype::String, U("abc"), DataKind::String, "abc", std::nullopt},
      {"inner-nul", regtype::String, U(std::string_view("ab\0cd\0", 6)), DataKind::String, "ab", std::nullopt},
      {"odd length", regtype::String, {'a', 0, 'b'}, DataKind::String, "a", std::nullopt},
      {"empty", regtype::String, {}, DataKind::String, "", std::nullopt},
      {"world", regtype::String, Sz(kWorldPath), DataKind::String, kWorldPath, std::nullopt},
      {"expand", regtype::ExpandString, Sz("%X%\\y"), DataKind::ExpandString, "%X%\\y", std::nullopt},
      {"dword", regtype::Dword, {0xFE, 0xFF, 0xFF, 0xFF}, DataKind::Integer, std::nullopt, -2},
      {"binary", regtype::Binary, {1, 2}, DataKind::Binary, std::nullopt, std::nullopt},
      {"multi", regtype::MultiString, U(std::string_view("a\0\0", 3)), DataKind::Unknown, std::nullopt, std::nullopt},
      {"qword", regtype::Qword, {1, 0, 0, 0, 0, 0, 0, 0}, DataKind::Unknown, std::nullopt, std::nullopt},
  };
  auto access = AccessAt();
  for (const auto& c : cases) access->WriteRaw(c.name, c.type, c.data);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string invalid = std::string("Invalid data type for '") + c.name + "'";
    EXPECT_EQ(access->ValueKind(c.name), c.kind);
    ExpectReadOrRaise([&] { return access->ReadText(c.name); }, c.text, invalid);
    ExpectReadOrRaise([&] { return access->ReadNumber(c.name); }, c.number, invalid);
  }
}

// The scanners' reads give nothing for a value they cannot use: another type, a number of another
// size, a text longer than any path or command line. A text stops at its first NUL, wherever that is.
TEST_F(RegistryContract, ScannerReadsPassOverWhatTheyCannotUse) {
  const std::string longest(kMaxUsableTextUnits, 'x');
  Bytes afterNul = Sz("abc");
  afterNul.resize(afterNul.size() + 2 * kMaxUsableTextUnits, 'x');
  struct Case {
    const char* name;
    std::uint32_t type;
    Bytes data;
    std::optional<std::string> text;
    std::optional<std::int32_t> number;
  };
  const Case cases[] = {
      {"plain", regtype::String, Sz("abc"), "abc", std::nullopt},
      {"unterminated", regtype::String, U("abc"), "abc", std::nullopt},
      {"odd length", regtype::String, {'a', 0, 'b'}, "a", std::nullopt},
      {"empty", regtype::String, {}, "", std::nullopt},
      {"expand", regtype::ExpandString, Sz("%X%\\y"), "%X%\\y", std::nullopt},
      {"longest", regtype::String, U(longest), longest, std::nullopt},
      {"too long", regtype::ExpandString, Sz(longest + "x"), std::nullopt, std::nullopt},
      {"long after its NUL", regtype::String, afterNul, "abc", std::nullopt},
      {"dword", regtype::Dword, {0xFE, 0xFF, 0xFF, 0xFF}, std::nullopt, -2},
      {"dword of 2 bytes", regtype::Dword, {1, 0}, std::nullopt, std::nullopt},
      {"dword of 8 bytes", regtype::Dword, {1, 0, 0, 0, 0, 0, 0, 0}, std::nullopt, std::nullopt},
      {"dword of 0 bytes", regtype::Dword, {}, std::nullopt, std::nullopt},
      {"big-endian dword", regtype::DwordBigEndian, {0, 0, 0, 1}, std::nullopt, std::nullopt},
      {"binary", regtype::Binary, Sz("abc"), std::nullopt, std::nullopt},
      {"multi", regtype::MultiString, U(std::string_view("a\0\0", 3)), std::nullopt, std::nullopt},
  };
  auto access = AccessAt();
  for (const auto& c : cases) access->WriteRaw(c.name, c.type, c.data);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(access->ReadTextValue(c.name), c.text);
    EXPECT_EQ(access->ReadNumberValue(c.name), c.number);
  }
  // A walk's read by index gives the same, each value once.
  std::string name;
  std::optional<std::string> text;
  Bytes buffer;
  std::uint32_t index = 0;
  for (; access->ReadTextValueAt(index, name, text, buffer); ++index) {
    const auto c = std::find_if(std::begin(cases), std::end(cases), [&](const Case& c) { return c.name == name; });
    ASSERT_NE(c, std::end(cases)) << name;
    EXPECT_EQ(text, c->text) << name;
  }
  EXPECT_EQ(index, std::size(cases));
  EXPECT_EQ(access->ReadTextValue("missing"), std::nullopt);
  EXPECT_EQ(access->ReadNumberValue("missing"), std::nullopt);
}

TEST_F(RegistryContract, ReadBytesHonoursCapacityAndKind) {
  auto access = AccessAt();
  access->WriteRaw("bin", regtype::Binary, {1, 2, 3, 4});
  access->WriteRaw("none", regtype::None, {5});
  access->WriteText("text", "abc");
  std::uint8_t buffer[8] = {};
  EXPECT_EQ(access->ReadBytes("bin", buffer, 4), 4u);
  EXPECT_EQ(buffer[3], 4);
  EXPECT_EQ(access->ReadBytes("none", buffer, 1), 1u);
  EXPECT_EQ(access->ReadBytes("missing", buffer, 8), 0u);
  EXPECT_THROW(
      {
        try {
          access->ReadBytes("bin", buffer, 3);
        } catch (const RegistryError& e) {
          EXPECT_STREQ(e.what(), "Failed to get data for 'bin'");
          throw;
        }
      },
      RegistryError);
  EXPECT_THROW(access->ReadBytes("text", buffer, 8), RegistryError);
}

TEST_F(RegistryContract, MissingValuesReadAsAbsent) {
  auto access = AccessAt();
  EXPECT_FALSE(access->HasValue("nothing"));
  EXPECT_EQ(access->ValueKind("nothing"), DataKind::Unknown);
  EXPECT_EQ(access->ValueSize("nothing"), -1);
  EXPECT_EQ(access->ReadText("nothing"), "");
  EXPECT_FALSE(access->RemoveValue("nothing"));
  EXPECT_THROW(access->ReadNumber("nothing"), RegistryError);
  EXPECT_FALSE(access->HasValue(""));  // no default value until one is set

  BackendKey key(registry_, Open(""));
  std::uint32_t type = 0, size = 0;
  Bytes data;
  EXPECT_EQ(registry_.QueryValue(key.get(), "nothing", type, data), status::FileNotFound);
  EXPECT_EQ(registry_.QueryValueInfo(key.get(), "nothing", type, size), status::FileNotFound);
  EXPECT_EQ(registry_.DeleteValue(key.get(), "nothing"), status::FileNotFound);
}

TEST_F(RegistryContract, PathsCountFromTheRootOrTheCurrentKey) {
  RegistryAccess access(registry_, RootKey::CurrentUser);
  ASSERT_TRUE(access.OpenPath("\\" + scratch_ + "\\a", true));
  ASSERT_TRUE(access.OpenPath("b", true));  // below a
  EXPECT_EQ(access.CurrentPath(), scratch_ + "\\a\\b");
  access.WriteText("here", "b");

  EXPECT_TRUE(access.HasSubkey("\\" + scratch_ + "\\a"));
  EXPECT_FALSE(access.HasSubkey("a"));  // that would be a\b\a
  EXPECT_FALSE(access.OpenPath("missing", false));
  EXPECT_FALSE(access.OpenPath("\\" + scratch_ + "\\missing", false));
  EXPECT_EQ(access.CurrentPath(), scratch_ + "\\a\\b");
  EXPECT_EQ(access.ReadText("here"), "b");

  access.ClosePath();
  EXPECT_TRUE(access.HasSubkey(scratch_ + "\\a\\b"));  // from the root once nothing is open
  ASSERT_TRUE(access.OpenPath(scratch_ + "\\A\\B\\", false));
  EXPECT_EQ(access.ReadText("here"), "b");
}

TEST_F(RegistryContract, SubkeyArgumentsParseAsAdvapi32Does) {
  BackendKey scratch(registry_, Open(""));
  BackendKey child(registry_, Open("child", true));
  KeyHandle handle = 0;

  EXPECT_EQ(registry_.OpenKey(scratch.get(), "\\child", rights::AllAccess, handle), kBadPathname);
  EXPECT_EQ(registry_.CreateKey(scratch.get(), "\\made", rights::AllAccess, handle), kBadPathname);
  EXPECT_EQ(registry_.OpenKey(RootHandle(RootKey::CurrentUser), "\\" + scratch_, rights::AllAccess, handle),
            kBadPathname);

  ASSERT_EQ(registry_.OpenKey(scratch.get(), "child\\", rights::AllAccess, handle), status::Success);
  BackendKey trailing(registry_, handle);

  // No subkey: a new handle to the same key, but a predefined root comes back as itself.
  ASSERT_EQ(registry_.OpenKey(child.get(), "", rights::AllAccess, handle), status::Success);
  BackendKey same(registry_, handle);
  EXPECT_NE(same.get(), child.get());
  ASSERT_EQ(registry_.SetValue(same.get(), "v", regtype::String, B(std::string_view("1\0", 2))), status::Success);
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(registry_.QueryValueInfo(child.get(), "v", type, size), status::Success);
  ASSERT_EQ(registry_.OpenKey(RootHandle(RootKey::CurrentUser), "", rights::AllAccess, handle), status::Success);
  EXPECT_EQ(handle, RootHandle(RootKey::CurrentUser));
  EXPECT_EQ(registry_.CloseKey(RootHandle(RootKey::CurrentUser)), status::Success);
}

TEST_F(RegistryContract, RemoveSubkeyTakesTheWholeTree) {
  auto access = AccessAt();
  for (const char* path : {"tree\\a\\b\\c", "tree\\a\\d", "tree\\e"}) {
    RegistryAccess maker(registry_, RootKey::CurrentUser);
    ASSERT_TRUE(maker.OpenPath("\\" + scratch_ + "\\" + path, true));
    maker.WriteText("v", path);
  }
  BackendKey scratch(registry_, Open(""));
  EXPECT_EQ(registry_.DeleteKey(scratch.get(), "tree"), status::AccessDenied);  // has subkeys
  EXPECT_EQ(registry_.DeleteKey(scratch.get(), "nothing"), status::FileNotFound);

  EXPECT_TRUE(access->RemoveSubkey("tree"));
  EXPECT_FALSE(access->HasSubkey("tree"));
  EXPECT_TRUE(access->ListSubkeys().empty());
  EXPECT_FALSE(access->RemoveSubkey("tree"));
}

TEST_F(RegistryContract, KeyDeletedThroughAnotherHandleReportsKeyDeleted) {
  BackendKey parent(registry_, Open("", true));
  BackendKey victim(registry_, Open("victim", true));
  ASSERT_EQ(registry_.SetValue(victim.get(), "v", regtype::String, B(std::string_view("x\0", 2))), status::Success);
  RegistryAccess reader(registry_, RootKey::CurrentUser);
  ASSERT_TRUE(reader.OpenPath("\\" + scratch_ + "\\victim", false));

  ASSERT_EQ(registry_.DeleteKey(parent.get(), "victim"), status::Success);

  const KeyHandle h = victim.get();
  std::uint32_t type = 0, size = 0;
  Bytes data;
  std::string name;
  KeyInfo info;
  KeyHandle other = 0;
  EXPECT_EQ(registry_.QueryValue(h, "v", type, data), status::KeyDeleted);
  EXPECT_EQ(registry_.QueryValueInfo(h, "v", type, size), status::KeyDeleted);
  EXPECT_EQ(registry_.SetValue(h, "w", regtype::String, {0}), status::KeyDeleted);
  EXPECT_EQ(registry_.DeleteValue(h, "v"), status::KeyDeleted);
  EXPECT_EQ(registry_.EnumKey(h, 0, name), status::KeyDeleted);
  EXPECT_EQ(registry_.EnumValue(h, 0, name), status::KeyDeleted);
  EXPECT_EQ(registry_.QueryInfoKey(h, info), status::KeyDeleted);
  EXPECT_EQ(registry_.OpenKey(h, "", rights::AllAccess, other), status::KeyDeleted);
  EXPECT_EQ(registry_.CreateKey(h, "sub", rights::AllAccess, other), status::KeyDeleted);

  EXPECT_FALSE(reader.HasValue("v"));
  EXPECT_TRUE(reader.ListValues().empty());
  EXPECT_THROW(reader.ReadText("v"), RegistryError);
  reader.ClosePath();

  EXPECT_EQ(registry_.CloseKey(victim.release()), status::Success);
  EXPECT_EQ(registry_.CloseKey(h), status::InvalidHandle);  // already closed
}

TEST_F(RegistryContract, NameLengthLimits) {
  BackendKey scratch(registry_, Open(""));
  const std::string longest(16383, 'v');
  EXPECT_EQ(registry_.SetValue(scratch.get(), longest, regtype::String, {0}), status::Success);
  EXPECT_EQ(registry_.SetValue(scratch.get(), std::string(16384, 'w'), regtype::String, {0}), status::InvalidParameter);
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(registry_.QueryValueInfo(scratch.get(), longest, type, size), status::Success);

  // Key names up to 255 characters (UTF-16 units, whatever their UTF-8 length), and every sibling of a
  // long one still listed.
  std::string longCjk, longEmoji;
  for (int i = 0; i < 255; ++i) longCjk += kCjk + 3;  // U+4EF6, three bytes
  for (int i = 0; i < 127; ++i) longEmoji += kEmoji;  // two units each
  const std::string longKey(255, 'k');
  KeyHandle handle = 0;
  for (const std::string& name : {std::string("a"), longKey, longCjk, longEmoji + "x", std::string("z")}) {
    ASSERT_EQ(registry_.CreateKey(scratch.get(), name, rights::AllAccess, handle), status::Success) << name.size();
    registry_.CloseKey(handle);
    ASSERT_EQ(registry_.OpenKey(scratch.get(), name, rights::AllAccess, handle), status::Success) << name.size();
    registry_.CloseKey(handle);
  }
  std::vector<std::string> listed{"a", longKey, "z", longCjk, longEmoji + "x"};
  // Windows refuses a longer name; Wine takes it, and then it is listed like any other.
  if (registry_.CreateKey(scratch.get(), longKey + "k", rights::AllAccess, handle) == status::Success) {
    registry_.CloseKey(handle);
    listed.insert(listed.begin() + 2, longKey + "k");
  }
  EXPECT_EQ(EnumAll(scratch.get(), true), listed);
  auto access = AccessAt();
  EXPECT_EQ(access->ListSubkeys(), listed);
  EXPECT_GE(access->QueryKeyInfo().maxSubkeyNameLength, 255u);
}

TEST_F(RegistryContract, HandleRightsLimitWhatItMayDo) {
  BackendKey full(registry_, Open("", true));
  ASSERT_EQ(registry_.SetValue(full.get(), "v", regtype::String, {'a', 0}), status::Success);
  std::uint32_t type = 0, size = 0;

  BackendKey probe(registry_, Open("", false, rights::QueryEnumerate));
  EXPECT_EQ(registry_.QueryValueInfo(probe.get(), "v", type, size), status::Success);
  EXPECT_EQ(registry_.SetValue(probe.get(), "w", regtype::String, {0}), status::AccessDenied);
  EXPECT_EQ(registry_.DeleteValue(probe.get(), "v"), status::AccessDenied);

  BackendKey none(registry_, Open("", false, 0));
  EXPECT_EQ(registry_.QueryValueInfo(none.get(), "v", type, size), status::AccessDenied);

  RegistryAccess reader(registry_, RootKey::CurrentUser);
  reader.SetAccess(rights::Read);
  ASSERT_TRUE(reader.OpenPath("\\" + scratch_, false));
  EXPECT_EQ(reader.ReadText("v"), "a");
  try {
    reader.WriteText("w", "x");
    ADD_FAILURE() << "write through a read-only key succeeded";
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'w'");
  }
}

TEST_F(RegistryContract, KeyInfoCountsSubkeysAndValues) {
  auto access = AccessAt();
  ASSERT_TRUE(access->OpenPath("a", true));
  ASSERT_TRUE(access->OpenPath("\\" + scratch_ + "\\longer_name", true));
  ASSERT_TRUE(access->OpenPath("\\" + scratch_, false));
  access->WriteText("", "default");
  access->WriteText("v", "1");
  access->WriteRaw("value_long", regtype::Binary, Bytes(40, 1));
  const KeyInfo info = access->QueryKeyInfo();
  EXPECT_EQ(info.subkeyCount, 2u);
  EXPECT_EQ(info.maxSubkeyNameLength, 11u);
  EXPECT_EQ(info.valueCount, 3u);
  EXPECT_EQ(info.maxValueNameLength, 10u);
  EXPECT_GE(info.maxValueDataLength, 40u);
  EXPECT_NE(info.lastWriteTime, 0u);

  BackendKey key(registry_, Open(""));
  std::string name;
  EXPECT_EQ(registry_.EnumKey(key.get(), 2, name), status::NoMoreItems);
  EXPECT_EQ(registry_.EnumValue(key.get(), 3, name), status::NoMoreItems);
}

TEST_F(RegistryContract, CurrentUserIsTheUsersKeyOfItsSid) {
  const std::string sid = env_->System().CurrentUserSid();
  ASSERT_FALSE(sid.empty());
  AccessAt()->WriteText("seen", "both");
  RegistryAccess users(registry_, RootKey::Users);
  ASSERT_TRUE(users.OpenPath("\\" + sid + "\\" + scratch_, false));
  EXPECT_EQ(users.ReadText("seen"), "both");
}

TEST_F(RegistryContract, ClassesRootShowsMachineClasses) {
  // A key of its own below HKLM\Software\Classes, named after the scratch key.
  const std::string name = "TamriskContract." + scratch_.substr(scratch_.find_last_of('\\') + 1);
  RegistryAccess machine(registry_, RootKey::LocalMachine);
  struct Cleanup {
    RegistryAccess& machine;
    std::string path;
    ~Cleanup() { machine.RemoveSubkey(path); }
  } cleanup{machine, "\\Software\\Classes\\" + name};
  ASSERT_TRUE(machine.OpenPath("\\Software\\Classes\\" + name, true));
  machine.WriteText("", "from machine");
  machine.ClosePath();

  RegistryAccess classes(registry_, RootKey::ClassesRoot);
  EXPECT_TRUE(classes.HasSubkey(name));
  EXPECT_TRUE(classes.HasSubkey("\\" + name));
  ASSERT_TRUE(classes.OpenPath(name, false));
  EXPECT_EQ(classes.ReadText(""), "from machine");
  ASSERT_TRUE(classes.OpenPath("made", true));  // a new key goes to the machine's classes
  classes.ClosePath();
  EXPECT_TRUE(machine.HasSubkey("\\Software\\Classes\\" + name + "\\made"));

  KeyHandle handle = 0;  // HKEY_CLASSES_ROOT alone takes a leading backslash
  ASSERT_EQ(registry_.OpenKey(RootHandle(RootKey::ClassesRoot), "\\" + name, rights::Read, handle), status::Success);
  registry_.CloseKey(handle);
}

TEST_F(RegistryContract, DeniedRightsMakeAKeyTestableButNotOpenable) {
  if (!env_->CanDenyRights()) GTEST_SKIP() << "this backend cannot deny rights";
  auto access = AccessAt();
  ASSERT_TRUE(access->OpenPath("locked\\inner", true));
  ASSERT_TRUE(access->OpenPath("\\" + scratch_, false));
  env_->DenyRights(RootKey::CurrentUser, scratch_ + "\\locked", rights::AllAccess & ~rights::QueryEnumerate);

  EXPECT_TRUE(access->HasSubkey("locked"));
  EXPECT_FALSE(access->OpenPath("locked", false));
  EXPECT_EQ(access->CurrentPath(), scratch_);
  EXPECT_FALSE(access->RemoveSubkey("locked"));
  EXPECT_TRUE(access->HasSubkey("locked"));
}

}  // namespace
}  // namespace tamrisk
