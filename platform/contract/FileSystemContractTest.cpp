// File-system and environment behaviour the engine relies on, checked against every backend.
// Everything happens inside the environment's scratch folder on drive C:.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/System.h"
#include "platform/Text.h"
#include "platform/contract/ContractBackends.h"

namespace tamrisk {
namespace {

// A folder named in Greek and files named in Hebrew, CJK and a character outside the BMP.
constexpr const char* kGreekFolder = "\u0394ata";
const std::string kWorldFile =
    std::string("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xE6\x96\x87\xE4\xBB\xB6 \xF0\x9F\x98\x80") + ".exe";

class FileSystemContract : public ::testing::Test {
 protected:
  std::unique_ptr<ContractEnvironment> env_ = MakeContractEnvironment();
  FileSystem& files_ = env_->Files();
  const std::string scratch_ = env_->ScratchFolder();

  std::string At(const std::string& sub) const { return scratch_ + "\\" + sub; }

  void Write(const std::string& sub, const std::string& contents = "") {
    std::string error;
    ASSERT_TRUE(files_.WriteFile(At(sub), contents, &error)) << sub << ": " << error;
  }
  void Folder(const std::string& sub) { ASSERT_TRUE(files_.MakeFolder(At(sub))) << sub; }

  std::vector<std::string> Names(const std::string& mask) {
    std::vector<std::string> names;
    for (const auto& entry : files_.ListFolder(mask)) names.push_back(entry.name);
    return names;
  }

  // A drive letter with nothing mounted on it, or 0 when every one from Q to Y is in use.
  char MissingDrive() {
    for (char letter = 'Q'; letter <= 'Y'; ++letter) {
      if (files_.DriveType(letter) == drivetype::NoRootDir) return letter;
    }
    return 0;
  }
};

// The settings folder's test: only an existing folder takes new files, and the probe leaves nothing.
TEST_F(FileSystemContract, OnlyAnExistingFolderIsWritableAndTheProbeLeavesNothing) {
  Write("file.txt");
  Folder("Dir");
  EXPECT_TRUE(files_.FolderIsWritable(At("Dir")));
  EXPECT_TRUE(files_.FolderIsWritable(At("Dir\\")));
  EXPECT_FALSE(files_.FolderIsWritable(At("missing")));
  EXPECT_FALSE(files_.FolderIsWritable(At("file.txt")));
  EXPECT_TRUE(files_.ListFolder(At("Dir\\*")).empty());
}

TEST_F(FileSystemContract, FilesAndFoldersAreToldApart) {
  Write("file.txt", "hello");
  Folder("Dir");
  Folder("Empty");
  Write("Dir\\inner.dat");
  struct Case {
    std::string path;
    bool isFile;
    bool isFolder;
  };
  const Case cases[] = {
      {At("file.txt"), true, false},
      {At("FILE.TXT"), true, false},
      {At("file.txt."), true, false},  // trailing dots and spaces are dropped
      {At("file.txt  "), true, false},
      {At("file.txt\\"), false, false},
      {At("Dir"), false, true},
      {At("dir\\"), false, true},  // folders answer with a trailing "\", searches do not
      {At("Dir\\..\\file.txt"), true, false},
      {At("missing\\..\\Dir"), false, true},
      {At("missing.txt"), false, false},
      {At("missing\\file.txt"), false, false},
      {At("file.txt\\inner"), false, false},
      // With wildcards the first entry found decides, and "." comes first in a folder.
      {At("*.txt"), true, false},
      {At("f?le.TXT"), true, false},
      {At("D*"), false, false},
      {At("*"), false, false},
      {At("Empty\\*"), false, false},
      {At("*.none"), false, false},
      {At("Dir\\*.dat"), true, false},
      {scratch_, false, true},
      {scratch_ + "\\", false, true},
      {"C:\\", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(files_.PathIsFile(c.path), c.isFile);
    EXPECT_EQ(files_.PathIsFolder(c.path), c.isFolder);
  }
  std::string forward = At("Dir");
  std::replace(forward.begin(), forward.end(), '\\', '/');
  EXPECT_TRUE(files_.PathIsFolder(forward));

  EXPECT_EQ(files_.Attributes(At("file.txt")), std::optional<std::uint32_t>(fileattr::Archive));
  ASSERT_TRUE(files_.Attributes(At("Dir")).has_value());
  EXPECT_TRUE(*files_.Attributes(At("Dir")) & fileattr::Directory);
  EXPECT_FALSE(files_.Attributes(At("missing")).has_value());
  EXPECT_FALSE(files_.Attributes(At("*.txt")).has_value());  // no wildcards here
}

// Only "not found" counts as Nothing: the file cache of a scan takes it to mean that nothing below
// exists either.
TEST_F(FileSystemContract, KindOfTellsNotFoundFromOtherFailures) {
  Write("file.txt");
  Folder("Dir");
  const std::pair<std::string, PathKind> cases[] = {
      {At("file.txt"), PathKind::File},
      {At("FILE.TXT."), PathKind::File},
      {At("Dir"), PathKind::Folder},
      {At("dir\\"), PathKind::Folder},
      {"C:\\", PathKind::Folder},
      {At("missing.txt"), PathKind::Nothing},
      {At("missing\\file.txt"), PathKind::Nothing},
      {At("file.txt\\inner"), PathKind::Nothing},
      {At("file.txt\\"), PathKind::Nothing},
      {At("*.txt"), PathKind::Unknown},
  };
  for (const auto& [path, kind] : cases) EXPECT_EQ(files_.KindOf(path), kind) << path;
  const char missing = MissingDrive();
  if (missing != 0) {
    EXPECT_EQ(files_.KindOf(std::string{missing, ':', '\\'}), PathKind::Nothing);
  }
}

// Below a folder the program cannot look into nothing is found, and nothing is "not found" either: the
// scan must never take such a path for missing.
TEST_F(FileSystemContract, NothingBelowAClosedFolderIsFoundOrMissing) {
  Folder("Closed");
  Write("Closed\\app.exe");
  Folder("Closed\\Sub");
  if (!env_->CloseFolder(At("Closed"))) GTEST_SKIP() << "folders cannot be closed here";
  for (const std::string name : {"app.exe", "gone.exe", "Sub", "Sub\\gone.exe"}) {
    const std::string path = At("Closed\\" + name);
    EXPECT_EQ(files_.KindOf(path), PathKind::Unknown) << path;
    EXPECT_FALSE(files_.PathIsFile(path)) << path;
    EXPECT_FALSE(files_.PathIsFolder(path)) << path;
  }
  EXPECT_TRUE(files_.ListFolder(At("Closed\\*")).empty());
  EXPECT_EQ(files_.KindOf(At("Closed")), PathKind::Folder);
}

// What a 32-bit program reads otherwise on 64-bit Windows are folders of their own, and a 64-bit
// program sees no Sysnative: the scan's 32-bit reading of a path relies on all three.
TEST_F(FileSystemContract, The32BitProgramsFoldersOfA64BitSystemAreFoldersOfTheirOwn) {
  SystemInfo& system = env_->System();
  const std::string windows = system.WindowsFolder();
  EXPECT_EQ(files_.KindOf(windows + "System32"), PathKind::Folder);
  EXPECT_EQ(files_.KindOf(windows + "SysWOW64"), PathKind::Folder);
  EXPECT_EQ(files_.KindOf(windows + "Sysnative"), PathKind::Nothing);
  for (const auto& [native, wow64] : {std::pair<const char*, const char*>{"%ProgramFiles%", "%ProgramFiles(x86)%"},
                                      {"%CommonProgramFiles%", "%CommonProgramFiles(x86)%"}}) {
    const std::optional<std::string> nativeFolder = system.ExpandEnvironment(native, 1024);
    const std::optional<std::string> wow64Folder = system.ExpandEnvironment(wow64, 1024);
    ASSERT_TRUE(nativeFolder && wow64Folder) << native;
    EXPECT_NE(*nativeFolder, *wow64Folder);
    EXPECT_EQ(files_.KindOf(*nativeFolder), PathKind::Folder) << *nativeFolder;
    EXPECT_EQ(files_.KindOf(*wow64Folder), PathKind::Folder) << *wow64Folder;
  }
}

TEST_F(FileSystemContract, NamesInAnyLanguageAreFoundListedAndFollowed) {
  Folder(kGreekFolder);
  const std::string file = std::string(kGreekFolder) + "\\" + kWorldFile;
  Write(file, "MZ");
  EXPECT_TRUE(files_.PathIsFolder(At(kGreekFolder)));
  EXPECT_TRUE(files_.PathIsFile(At(file)));
  EXPECT_TRUE(files_.PathIsFile(At(std::string(kGreekFolder) + "\\*.exe")));
  EXPECT_FALSE(files_.PathIsFile(At(std::string(kGreekFolder) + "\\app.exe")));
  EXPECT_EQ(Names(At(std::string(kGreekFolder) + "\\*")), std::vector<std::string>{kWorldFile});
  std::string contents;
  ASSERT_TRUE(files_.ReadFile(At(file), contents));
  EXPECT_EQ(contents, "MZ");

  env_->MakeShortcut(At("world.lnk"), At(file));
  EXPECT_EQ(files_.ShortcutTarget(At("world.lnk")), At(file));
  EXPECT_TRUE(files_.ShellDelete(At(kGreekFolder), false));
  EXPECT_FALSE(files_.PathIsFolder(At(kGreekFolder)));
}

TEST_F(FileSystemContract, IniFilesKeepTextInAnyLanguage) {
  IniFile& ini = env_->Ini();
  const std::string file = At("options.ini");
  const std::string world = std::string("C:\\") + kGreekFolder + "\\" + kWorldFile;
  Write("options.ini", "[Options]\r\nOld=kept\r\n");
  ASSERT_TRUE(ini.WriteString(file, "Options", "Plain", "ascii"));
  std::string contents;
  ASSERT_TRUE(files_.ReadFile(file, contents));
  EXPECT_EQ(contents.rfind("[Options]", 0), 0u) << "text the code page holds leaves the file as it is";
  ASSERT_TRUE(ini.WriteString(file, "Options", "Folder", world));
  EXPECT_EQ(ini.ReadString(file, "Options", "Folder", ""), world);
  EXPECT_EQ(ini.ReadString(file, "Options", "Old", ""), "kept");
  EXPECT_EQ(ini.ReadString(file, "Options", "Plain", ""), "ascii");
  EXPECT_EQ(ini.ReadString(file, "Options", "Folder", "", 4), "C:\\\xCE\x94");  // characters, not bytes
}

TEST_F(FileSystemContract, DrivesReportTheirType) {
  EXPECT_EQ(files_.DriveType('C'), drivetype::Fixed);
  EXPECT_EQ(files_.DriveType('c'), drivetype::Fixed);
  const char missing = MissingDrive();
  if (missing == 0) GTEST_SKIP() << "no free drive letter";
  const std::string root = std::string{missing, ':', '\\'};
  EXPECT_FALSE(files_.PathIsFolder(root));
  EXPECT_FALSE(files_.PathIsFile(root + "x.txt"));
  EXPECT_TRUE(files_.ListFolder(root + "*").empty());
  std::string error;
  EXPECT_FALSE(files_.WriteFile(root + "x.txt", "x", &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(FileSystemContract, ListingsComeSortedWithAttributesAndSizes) {
  for (const char* name : {"b", "A", "_x", "Zed", "[x", "a1", "aa", "Ab"}) Write(name);
  Folder("sub");
  Write("sized.bin", std::string("hello\0!", 7));

  // Upper-case order, as NTFS keeps names; "." and ".." are left out.
  EXPECT_EQ(Names(At("*")),
            (std::vector<std::string>{"A", "a1", "aa", "Ab", "b", "sized.bin", "sub", "Zed", "[x", "_x"}));
  EXPECT_EQ(Names(At("*.*")), Names(At("*")));
  EXPECT_EQ(Names(At("a*")), (std::vector<std::string>{"A", "a1", "aa", "Ab"}));
  EXPECT_EQ(Names(At("?")), (std::vector<std::string>{"A", "b"}));
  EXPECT_EQ(Names(At("sub")), std::vector<std::string>{"sub"});  // no wildcard: the entry itself
  EXPECT_TRUE(Names(At("sub\\*")).empty());
  EXPECT_TRUE(Names(At("missing\\*")).empty());
  EXPECT_TRUE(Names(scratch_ + "\\").empty());

  for (const auto& entry : files_.ListFolder(At("s*"))) {
    SCOPED_TRACE(entry.name);
    if (entry.name == "sub") {
      EXPECT_TRUE(entry.attributes & fileattr::Directory);
    } else {
      EXPECT_EQ(entry.attributes, fileattr::Archive);
      EXPECT_EQ(entry.size, 7u);
      EXPECT_GE(entry.lastWrite.year, 2000);
      EXPECT_GE(entry.lastWrite.month, 1);
    }
  }
}

TEST_F(FileSystemContract, MakeFolderPathMakesEachMissingLevel) {
  Write("file.txt");
  EXPECT_TRUE(MakeFolderPath(files_, At("x\\y\\z")));
  EXPECT_TRUE(files_.PathIsFolder(At("x\\y")));
  EXPECT_TRUE(files_.PathIsFolder(At("x\\y\\z")));
  EXPECT_TRUE(MakeFolderPath(files_, At("x\\y\\z")));
  EXPECT_TRUE(MakeFolderPath(files_, At("p\\q\\")));
  EXPECT_TRUE(files_.PathIsFolder(At("p\\q")));
  EXPECT_FALSE(MakeFolderPath(files_, At("file.txt\\sub")));
  EXPECT_TRUE(MakeFolderPath(files_, "C:"));

  EXPECT_FALSE(files_.MakeFolder(At("x")));               // exists
  EXPECT_FALSE(files_.MakeFolder(At("no\\such\\deep")));  // parent missing
}

TEST_F(FileSystemContract, ShellDeleteRemovesFilesFoldersAndMatches) {
  Write("gone.txt");
  Folder("tree");
  Folder("tree\\a");
  Write("tree\\a\\deep.txt");
  Write("tree\\b.txt");
  Write("one.tmp");
  Write("two.TMP");
  Write("keep.txt");

  EXPECT_TRUE(files_.ShellDelete(At("gone.txt"), false));
  EXPECT_FALSE(files_.PathIsFile(At("gone.txt")));
  EXPECT_FALSE(files_.ShellDelete(At("gone.txt"), false));
  EXPECT_TRUE(files_.ShellDelete(At("tree\\"), false));
  EXPECT_FALSE(files_.PathIsFolder(At("tree")));
  EXPECT_TRUE(files_.ShellDelete(At("*.tmp"), false));
  EXPECT_EQ(Names(At("*")), std::vector<std::string>{"keep.txt"});
  EXPECT_FALSE(files_.ShellDelete(At("missing\\x.txt"), false));
}

TEST_F(FileSystemContract, WholeFileReadsAndWrites) {
  std::string contents, error;
  Write("data.txt", "ab");
  ASSERT_TRUE(files_.AppendFile(At("data.txt"), "cd", &error)) << error;
  ASSERT_TRUE(files_.ReadFile(At("data.txt"), contents, &error)) << error;
  EXPECT_EQ(contents, "abcd");
  Write("data.txt", std::string("x\0y\r\nz", 6));
  ASSERT_TRUE(files_.ReadFile(At("DATA.TXT"), contents));
  EXPECT_EQ(contents, std::string("x\0y\r\nz", 6));

  ASSERT_TRUE(files_.AppendFile(At("new.log"), "line\r\n", &error)) << error;  // made when missing
  ASSERT_TRUE(files_.ReadFile(At("new.log"), contents));
  EXPECT_EQ(contents, "line\r\n");

  struct Failure {
    std::string path;
    bool write;
  };
  Folder("folder");
  const Failure failures[] = {
      {At("missing.txt"), false}, {At("no\\such\\file.txt"), false},
      {At("folder"), false},      {At("no\\such\\file.txt"), true},
      {At("folder"), true},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.path);
    error.clear();
    const bool ok = f.write ? files_.WriteFile(f.path, "x", &error) : files_.ReadFile(f.path, contents, &error);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.empty());
  }
}

TEST_F(FileSystemContract, AWholeFileReadThatFailsPartWayFailsWithTheSystemsText) {
  std::string contents = "before", error;
  EXPECT_FALSE(files_.ReadFile(env_->FileFailingPartWay(), contents, &error)) << contents.size() << " bytes";
  EXPECT_FALSE(error.empty());
}

TEST_F(FileSystemContract, ShortcutTargetsComeBack) {
  Write("target.exe", "MZ");
  Write("plain.lnk", "not a link");
  env_->MakeShortcut(At("tool.lnk"), At("target.exe"));
  ASSERT_TRUE(files_.PathIsFile(At("tool.lnk")));
  const std::string target = files_.ShortcutTarget(At("tool.lnk"));
  EXPECT_TRUE(EqualsNoCase(target, At("target.exe"))) << target;
  EXPECT_EQ(files_.ShortcutTarget(At("plain.lnk")), "");
  EXPECT_EQ(files_.ShortcutTarget(At("missing.lnk")), "");
}

TEST_F(FileSystemContract, EnvironmentReferencesExpand) {
  env_->SetEnvironmentVariable("TAMRISK_CONTRACT_DIR", "C:\\Tam");
  env_->SetEnvironmentVariable("TAMRISK_CONTRACT_WORLD", std::string("C:\\") + kGreekFolder);
  SystemInfo& system = env_->System();
  const struct {
    const char* text;
    const char* expanded;
  } cases[] = {
      {"%TAMRISK_CONTRACT_DIR%\\x.exe", "C:\\Tam\\x.exe"},
      {"%tamrisk_contract_dir%", "C:\\Tam"},
      {"%TAMRISK_CONTRACT_DIR%%TAMRISK_CONTRACT_DIR%", "C:\\TamC:\\Tam"},
      {"%TAMRISK_NO_SUCH_VARIABLE%\\x", "%TAMRISK_NO_SUCH_VARIABLE%\\x"},
      {"100%", "100%"},
      {"%TAMRISK_CONTRACT_DIR", "%TAMRISK_CONTRACT_DIR"},
      {"a%%b", "a%%b"},
      {"", ""},
      {"%TAMRISK_CONTRACT_WORLD%\\\xE6\x96\x87", "C:\\\u0394ata\\\xE6\x96\x87"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(system.ExpandEnvironment(c.text, 1024), std::optional<std::string>(c.expanded));
  }
  // The result and its NUL must fit the buffer.
  EXPECT_EQ(system.ExpandEnvironment("%TAMRISK_CONTRACT_DIR%", 7), std::optional<std::string>("C:\\Tam"));
  EXPECT_EQ(system.ExpandEnvironment("%TAMRISK_CONTRACT_DIR%", 6), std::nullopt);
  // The buffer counts characters, not bytes: "C:\" and four letters, one of them two bytes long.
  EXPECT_EQ(system.ExpandEnvironment("%TAMRISK_CONTRACT_WORLD%", 8), std::optional<std::string>("C:\\\u0394ata"));
  EXPECT_EQ(system.ExpandEnvironment("%TAMRISK_CONTRACT_WORLD%", 7), std::nullopt);

  const std::string folder = system.ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
}

}  // namespace
}  // namespace tamrisk
