// The memory file system where Wine cannot stage the case: drive types, reparse loops, locked and
// read-only files, the current folder, call counts and the shell-link object failing.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/memory/MemoryFileSystem.h"
#include "testkit/TestKit.h"

namespace tamrisk {
namespace {

using Names = std::vector<std::string>;

Names NamesOf(const std::vector<FileEntry>& entries) {
  Names names;
  for (const auto& entry : entries) names.push_back(entry.name);
  return names;
}

TEST(WildcardMatchTest, MatchesAsFindFirstFileDoes) {
  struct Case {
    const char* mask;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"*", "anything.txt", true},
      {"*.*", "noext", true},
      {"*.*", "a.b.c", true},
      {"*.txt", "A.TXT", true},
      {"*.txt", "a.txt.bak", false},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"a?", "a", false},
      {"*b*", "abc", true},
      {"*b", "abcb", true},
      {"a*c*e", "abXcYe", true},
      {"a*c*e", "abXcY", false},
      {"setup.*", "setup", true},
      {"setup.*", "setupx", false},
      {"file.txt", "FILE.TXT", true},
      {"?", ".", true},
      {"??", "..", true},
      {"", "", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WildcardMatch(c.mask, c.name), c.matches) << c.mask << " vs " << c.name;
  }
}

TEST(MemoryFileSystemDrives, TypesComeFromTheTestAndMissingDrivesHoldNothing) {
  MemoryFileSystem files;
  EXPECT_EQ(files.DriveType('C'), drivetype::NoRootDir);
  files.AddFile("D:\\setup.exe");
  files.SetDriveType('e', drivetype::CdRom);
  EXPECT_EQ(files.DriveType('d'), drivetype::Fixed);  // made by its first file
  EXPECT_EQ(files.DriveType('E'), drivetype::CdRom);
  EXPECT_TRUE(files.PathIsFolder("E:\\"));
  EXPECT_TRUE(files.PathIsFile("d:\\SETUP.EXE"));
  files.SetDriveType('D', drivetype::NoRootDir);
  EXPECT_FALSE(files.PathIsFile("D:\\setup.exe"));
  EXPECT_FALSE(files.MakeFolder("D:\\new"));
}

TEST(MemoryFileSystemLinks, PathsRunThroughReparsePointsEvenInALoop) {
  MemoryFileSystem files;
  files.AddFile("C:\\Users\\me\\file.txt", "data");
  files.AddLink("C:\\Users\\me\\Loop", "C:\\Users");
  files.AddLink("C:\\Users\\me\\Broken", "C:\\Nowhere");
  files.AddLink("C:\\Self", "C:\\Self");

  EXPECT_TRUE(files.PathIsFile("C:\\Users\\me\\Loop\\me\\Loop\\me\\file.txt"));
  EXPECT_EQ(files.Attributes("C:\\Users\\me\\Loop"), fileattr::Directory | fileattr::ReparsePoint);
  const auto listing = files.ListFolder("C:\\Users\\me\\Loop\\me\\*");
  EXPECT_EQ(NamesOf(listing), (Names{"Broken", "file.txt", "Loop"}));
  EXPECT_EQ(listing[2].attributes, fileattr::Directory | fileattr::ReparsePoint);

  EXPECT_TRUE(files.PathIsFolder("C:\\Users\\me\\Broken"));  // the link itself is there
  EXPECT_FALSE(files.PathIsFile("C:\\Users\\me\\Broken\\x.txt"));
  EXPECT_TRUE(files.ListFolder("C:\\Users\\me\\Broken\\*").empty());
  EXPECT_FALSE(files.PathIsFile("C:\\Self\\x"));  // gives up instead of looping for ever

  EXPECT_TRUE(files.MakeFolder("C:\\Users\\me\\Loop\\made"));
  EXPECT_TRUE(files.PathIsFolder("C:\\Users\\made"));
  EXPECT_TRUE(files.ShellDelete("C:\\Users\\me\\Loop", false));  // the link goes, not what it leads to
  EXPECT_TRUE(files.PathIsFile("C:\\Users\\me\\file.txt"));
  EXPECT_FALSE(files.PathIsFolder("C:\\Users\\me\\Loop"));
}

TEST(MemoryFileSystemPaths, RelativePathsCountFromTheCurrentFolder) {
  MemoryFileSystem files;
  test::SeedFiles(files, {"C:\\Work\\here.txt", "C:\\top.txt", "D:\\other.txt", "C:\\Work\\Sub\\"});
  files.SetCurrentFolder("C:\\Work");
  struct Case {
    const char* path;
    bool isFile;
  };
  const Case cases[] = {
      {"here.txt", true},    {".\\here.txt", true}, {"Sub\\..\\here.txt", true},
      {"..\\top.txt", true}, {"\\top.txt", true},   {"C:here.txt", true},
      {"D:other.txt", true}, {"top.txt", false},    {"\\\\server\\share\\x", false},
  };
  for (const auto& c : cases) EXPECT_EQ(files.PathIsFile(c.path), c.isFile) << c.path;
  EXPECT_TRUE(files.PathIsFolder("Sub"));
  EXPECT_TRUE(files.PathIsFolder("C:"));
  EXPECT_FALSE(files.PathIsFile("C:\\Work\\" + std::string(260, 'x')));  // beyond MAX_PATH
}

TEST(MemoryFileSystemChanges, LockedFilesStayAndReadOnlyFilesRefuseWrites) {
  MemoryFileSystem files;
  test::SeedFiles(files, {"C:\\Data\\locked.dat", "C:\\Data\\free.dat", "C:\\Data\\Inner\\x.dat"});
  files.SetUndeletable("C:\\Data\\locked.dat");
  files.AddFile("C:\\ro.txt", "old", fileattr::ReadOnly | fileattr::Archive);

  EXPECT_FALSE(files.ShellDelete("C:\\Data\\locked.dat", false));
  EXPECT_FALSE(files.ShellDelete("C:\\Data", false));  // what could go went
  EXPECT_TRUE(files.Exists("C:\\Data\\locked.dat"));
  EXPECT_FALSE(files.Exists("C:\\Data\\free.dat"));
  EXPECT_FALSE(files.Exists("C:\\Data\\Inner"));

  std::string error;
  EXPECT_FALSE(files.WriteFile("C:\\ro.txt", "new", &error));
  EXPECT_EQ(error, "Access is denied.");
  EXPECT_FALSE(files.AppendFile("C:\\ro.txt", "more"));
  EXPECT_EQ(files.Contents("C:\\ro.txt"), "old");
  // The shell deletes a read-only file when asked not to confirm.
  EXPECT_TRUE(files.ShellDelete("C:\\ro.txt", true));
  EXPECT_EQ(files.RecycledPaths(), Names{"C:\\ro.txt"});
}

TEST(MemoryFileSystemChanges, FailuresCarryTheSystemMessage) {
  MemoryFileSystem files;
  test::SeedFiles(files, {"C:\\Dir\\", "C:\\file.txt"});
  struct Case {
    const char* path;
    const char* message;
  };
  const Case cases[] = {
      {"C:\\Dir\\missing.txt", "The system cannot find the file specified."},
      {"C:\\Nowhere\\x.txt", "The system cannot find the path specified."},
      {"C:\\file.txt\\x.txt", "The system cannot find the path specified."},
      {"Q:\\x.txt", "The system cannot find the path specified."},
      {"C:\\Dir", "Access is denied."},
      {"C:\\Dir\\*.txt", "The filename, directory name, or volume label syntax is incorrect."},
  };
  for (const auto& c : cases) {
    std::string contents, error;
    EXPECT_FALSE(files.ReadFile(c.path, contents, &error)) << c.path;
    EXPECT_EQ(error, c.message) << c.path;
  }
  std::string error;
  EXPECT_FALSE(files.WriteFile("C:\\Nowhere\\x.txt", "x", &error));
  EXPECT_EQ(error, "The system cannot find the path specified.");
}

TEST(MemoryFileSystemListing, ReportsTheSizesAndTimesTheTestSet) {
  MemoryFileSystem files;
  files.AddFile("C:\\Logs\\big.log", "tiny");
  files.SetSize("C:\\Logs\\big.log", 5'000'000'000ULL);
  files.SetLastWrite("C:\\Logs\\big.log", {2001, 2, 3, 4, 5, 6});
  files.SetClock({2030, 12, 31, 23, 59, 58});
  ASSERT_TRUE(files.WriteFile("C:\\Logs\\new.log", "abc"));
  const auto entries = files.ListFolder("C:\\Logs\\*.log");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].size, 5'000'000'000ULL);
  EXPECT_EQ(entries[0].lastWrite, (LocalDateTime{2001, 2, 3, 4, 5, 6}));
  EXPECT_EQ(entries[1].size, 3u);
  EXPECT_EQ(entries[1].lastWrite, (LocalDateTime{2030, 12, 31, 23, 59, 58}));
}

TEST(MemoryFileSystemCounting, CountsCallsButNotInspection) {
  MemoryFileSystem files;
  test::SeedFiles(files, {"C:\\a.txt"});
  EXPECT_EQ(files.Calls().Total(), 0u);
  files.PathIsFile("C:\\a.txt");
  files.PathIsFolder("C:\\");
  files.Attributes("C:\\a.txt");
  files.ListFolder("C:\\*");
  files.DriveType('C');
  files.Exists("C:\\a.txt");
  files.Contents("C:\\a.txt");
  const FileSystemCalls calls = files.Calls();
  EXPECT_EQ(calls.existence, 3u);
  EXPECT_EQ(calls.listings, 1u);
  EXPECT_EQ(calls.driveTypes, 1u);
  EXPECT_EQ(calls.Total(), 5u);
  files.ResetCalls();
  EXPECT_EQ(files.Calls().Total(), 0u);
}

TEST(MemoryFileSystemShortcuts, TargetsComeFromRegisteredLinksOnly) {
  MemoryFileSystem files;
  files.AddShortcut("C:\\Menu\\App.lnk", "C:\\App\\app.exe");
  files.AddShortcut("C:\\Menu\\Long.lnk", "C:\\" + std::string(300, 'x'));
  files.AddFile("C:\\Menu\\Plain.lnk", "text");
  EXPECT_EQ(files.ShortcutTarget("c:\\menu\\app.LNK"), "C:\\App\\app.exe");
  EXPECT_EQ(files.ShortcutTarget("C:\\Menu\\Long.lnk").size(), 260u);  // GetPath's buffer
  EXPECT_EQ(files.ShortcutTarget("C:\\Menu\\Plain.lnk"), "");
  ASSERT_TRUE(files.ShellDelete("C:\\Menu\\App.lnk", false));
  EXPECT_EQ(files.ShortcutTarget("C:\\Menu\\App.lnk"), "");
  files.FailShortcutObject();
  EXPECT_THROW(files.ShortcutTarget("C:\\Menu\\Plain.lnk"), std::runtime_error);
  EXPECT_EQ(files.Calls().shortcuts, 5u);
}

}  // namespace
}  // namespace tamrisk
