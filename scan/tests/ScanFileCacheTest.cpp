// The scan's file cache: the system's own answers with far fewer questions, and the system asked
// wherever a listing cannot tell exactly.
#include "scan/ScanFileCache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "scan/PathTests.h"
#include "testkit/ScanHarness.h"

namespace tamrisk {
namespace {

const std::string kLongFolder = "C:\\Base\\Long\\";
// Paths of 250 characters: short enough for the system, long enough that the cache asks it.
const std::string kLongFile = kLongFolder + std::string(250 - kLongFolder.size(), 'f');
const std::string kLongMissing = kLongFolder + std::string(250 - kLongFolder.size(), 'm');

// Names the system finds but its listings do not show: NTFS's own files in a drive's root, 8.3
// short names, and names the system matches by folding case beyond ASCII.
const std::vector<std::string> kUnlisted = {"$Extend", "APP~1.EXE", "gon\xC3\xA8.exe", "cafe", "secret.txt"};

class UnlistedNames final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  std::vector<FileEntry> ListFolder(const std::string& mask) override {
    std::vector<FileEntry> entries = Inner().ListFolder(mask);
    std::erase_if(entries, [](const FileEntry& e) {
      return std::find(kUnlisted.begin(), kUnlisted.end(), e.name) != kUnlisted.end();
    });
    return entries;
  }
};

class ScanFileCacheTest : public ::testing::Test {
 protected:
  ScanFileCacheTest() {
    memory.files.SetDriveType('c', drivetype::Fixed);
    for (const char* file : {"C:\\Base\\Tools\\app.exe", "C:\\Base\\Tools\\tool", "C:\\Base\\Tools\\APP~1.EXE",
                             "C:\\Base\\Tools\\gon\xC3\xA8.exe", "C:\\Base\\Tools\\secret.txt",
                             "C:\\Base\\Intl\\Caf\xC3\xA9\\menu.txt", "C:\\Base\\Intl\\cafe", "C:\\$Extend"}) {
      memory.files.AddFile(file);
    }
    memory.files.AddFile(kLongFile);
    memory.files.AddFolder("C:\\Base\\Empty");
  }

  // ReferenceMissing as a scan asks it, through the cache.
  bool Missing(const std::string& text) { return ReferenceMissing(cached, text, "", "c", false); }

  MemoryPlatform memory;
  UnlistedNames system{memory.files};
  ScanFileCache cache{system};
  const Platform cached = WithFiles(memory.platform, cache);
};

// A path the cache answers, and whether it asks the system each time (or once, and then answers from
// what it remembers).
struct CacheCase {
  std::string path;
  bool asksEachTime;
};

const std::vector<CacheCase> kCacheCases = {
    {"C:\\Base\\Tools\\app.exe", false},
    {"c:\\BASE\\tools\\APP.EXE", false},
    {"C:\\Base\\Tools\\app.ex", false},
    {"C:\\Base\\Tools\\app.exe. .", false},  // trailing dots and spaces dropped
    {"C:\\Base\\Tools\\", false},
    {"C:\\Base\\Tools", false},
    {"C:\\", false},
    {"C:\\Base\\Gone\\Deeper\\x.exe", false},
    {"C:\\Base\\Gone\\", false},
    {"C:\\Base\\Gone\\x.exe /s /t:1", false},  // whatever follows a missing folder
    {"C:\\Base\\Gone\\*.exe", false},
    {"Q:\\x.exe", false},                     // no such drive
    {"C:\\Base\\Empty\\Gone\\x.exe", false},  // an empty folder gives no listing: asked once
    {"C:\\Base\\Empty\\x.exe", false},
    {kLongMissing, false},
    {kLongFile, true},  // may pass MAX_PATH in the system's units
    // Names the listing cannot judge are asked once.
    {"C:\\$Extend", false},
    {"C:\\Base\\Tools\\APP~1.EXE", false},
    {"C:\\Base\\Tools\\gon\xC3\xA8.exe", false},
    {"C:\\Base\\Intl\\Caf\xC3\xA9\\menu.txt", false},
    {"C:\\Base\\Intl\\CAF\xC3\x89\\menu.txt", false},
    {"C:\\Base\\Intl\\cafe", false},  // where listed names go beyond ASCII
    // What Win32 reads in its own way is asked each time.
    {"C:\\Base\\Tools\\app.exe\\x", true},  // below a file
    {"C:\\Base\\Gone\\..\\Tools\\app.exe", true},
    {"C:\\Base\\Gone\\x/..", true},
    {"C:\\Base\\Tools\\..", true},
    {"C:\\Base\\Tools/app.exe", true},
    {"C:\\Base\\\\Tools\\app.exe", true},
    {"C:\\Base\\Tools.\\app.exe", true},
    {"C:\\Base\\Tools \\app.exe", true},
    {"C:\\Base\\Tools\\a*.exe", true},
    {"C:\\Base\\Tools\\app.exe:Zone.Identifier", true},
    {"C:\\Base\\Tools\\nul.txt", true},  // a device in every folder
    {"C:\\Base\\Gone\\COM1", true},
};

TEST_F(ScanFileCacheTest, AnswersAsTheSystemAndAsksItWhereAListingCannotTell) {
  for (const CacheCase& c : kCacheCases) {
    cache.PathIsFile(c.path);
    cache.PathIsFolder(c.path);
  }
  for (const CacheCase& c : kCacheCases) {
    memory.files.ResetCalls();
    const bool isFile = cache.PathIsFile(c.path);
    const bool isFolder = cache.PathIsFolder(c.path);
    EXPECT_EQ(memory.files.Calls().Total() != 0, c.asksEachTime) << c.path;
    EXPECT_EQ(isFile, memory.files.PathIsFile(c.path)) << c.path;
    EXPECT_EQ(isFolder, memory.files.PathIsFolder(c.path)) << c.path;
  }
  // A plain name is taken from the listing alone.
  EXPECT_FALSE(cache.PathIsFile("C:\\Base\\Tools\\secret.txt"));
}

TEST_F(ScanFileCacheTest, EachFolderIsListedOnceAndAMissingFolderAskedOnce) {
  const auto texts = [](int from, int to) {
    std::vector<std::string> all;
    for (int i = from; i < to; ++i) {
      const std::string n = std::to_string(i);
      all.push_back("C:\\Base\\Gone" + std::to_string(i % 3) + "\\Sub\\app" + n + ".exe /s");
      all.push_back("C:\\Base\\Tools\\tool" + n + ".exe -x");
      all.push_back("\"C:\\Base\\Empty\\Vendor\\App\\app" + n + ".exe\" \"%1\"");
    }
    return all;
  };
  memory.files.ResetCalls();
  for (const std::string& text : texts(0, 10)) EXPECT_TRUE(Missing(text)) << text;
  const FileSystemCalls first = memory.files.Calls();
  EXPECT_EQ(first.listings, 4u);  // C:\, Base, Tools and the empty folder
  for (const std::string& text : texts(10, 100)) EXPECT_TRUE(Missing(text)) << text;
  const FileSystemCalls all = memory.files.Calls();
  EXPECT_EQ(all.listings, first.listings);
  EXPECT_EQ(all.existence, first.existence);
  // The drive, "C", "C.exe" and "C:", then the names asked in the empty folder: "V" to "Vendor".
  EXPECT_EQ(all.existence, 4u + 6u);
}

TEST_F(ScanFileCacheTest, ChangingFilesThroughItMakesItForget) {
  EXPECT_TRUE(Missing("C:\\Base\\Tools\\new.exe"));
  ASSERT_TRUE(cache.WriteFile("C:\\Base\\Tools\\new.exe", "x"));
  EXPECT_FALSE(Missing("C:\\Base\\Tools\\new.exe"));
  ASSERT_TRUE(cache.ShellDelete("C:\\Base\\Tools", false));
  EXPECT_TRUE(Missing("C:\\Base\\Tools\\new.exe"));
}

TEST(ScanFileCacheScanTest, EachScanAsksAsOftenForManyTextsAsForOneAndSeesFilesMadeBeforeIt) {
  MemoryPlatform memory;
  memory.files.AddFile("C:\\Base\\Tools\\app.exe");
  const auto scanWithTexts = [&](int count) {
    const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    for (int i = 0; i < count; ++i) {
      memory.registry.SetString(RootKey::CurrentUser, run, "App" + std::to_string(i),
                                "C:\\Base\\Gone\\Sub\\app" + std::to_string(i) + ".exe /min");
    }
    memory.files.ResetCalls();
    const std::size_t rows = test::RunScan(memory.platform, {"10"}).rows.size();
    const FileSystemCalls calls = memory.files.Calls();
    return std::pair{rows, calls.existence + calls.listings};
  };
  const auto [oneRow, callsForOne] = scanWithTexts(1);
  EXPECT_EQ(oneRow, 1u);
  EXPECT_LE(callsForOne, 8u);  // without the cache, about 40 for each text
  EXPECT_EQ(scanWithTexts(100), std::pair(std::size_t{100}, callsForOne));
  memory.files.AddFile("C:\\Base\\Gone\\Sub\\app7.exe");
  EXPECT_EQ(scanWithTexts(100).first, 99u);
}

}  // namespace
}  // namespace tamrisk
