// ReferenceMissing on real files of drive C: gives the answers it gives on the memory file system.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/memory/MemoryPlatform.h"
#include "platform/win32/Win32System.h"
#include "scan/PathTests.h"
#include "scan/ScanFileCache.h"
#include "scan/tests/ReferenceMissingCases.h"
#include "testkit/WinFixture.h"

namespace tamrisk {
namespace {

// The shared layout below base, on the real drive C: and on a memory file system.
class ReferenceLayout {
 public:
  ReferenceLayout() : base_(test::FreshFolder(test::UniqueName("refmissing"))) {
    memory_.files.SetDriveType('c', drivetype::Fixed);
    for (const std::string& folder : test::kReferenceFolders) {
      const std::string path = base_ + "\\" + folder;
      EXPECT_TRUE(MakeFolderPath(real_.files, path)) << path;
      memory_.files.AddFolder(path);
    }
    for (const std::string& file : test::kReferenceFiles) {
      const std::string path = base_ + "\\" + file;
      EXPECT_TRUE(test::WriteTextFile(path, "x")) << path;
      memory_.files.AddFile(path, "x");
    }
    const std::string fileTarget = test::WithBase(test::kFileVariableTarget, base_);
    ::SetEnvironmentVariableA(test::kBaseVariable, base_.c_str());
    ::SetEnvironmentVariableA(test::kFileVariable, fileTarget.c_str());
    memory_.system.SetVariable(test::kBaseVariable, base_);
    memory_.system.SetVariable(test::kFileVariable, fileTarget);
  }
  ~ReferenceLayout() {
    ::SetEnvironmentVariableA(test::kBaseVariable, nullptr);
    ::SetEnvironmentVariableA(test::kFileVariable, nullptr);
    test::RemoveFolder(base_);
  }
  ReferenceLayout(const ReferenceLayout&) = delete;
  ReferenceLayout& operator=(const ReferenceLayout&) = delete;

  const std::string& Base() const { return base_; }
  const Platform& Real() { return real_.platform; }
  const Platform& Memory() { return memory_.platform; }

 private:
  std::string base_;
  win32::Win32Platform real_;
  MemoryPlatform memory_;
};

TEST(PathTestsWinTest, ReferenceMissingAnswersAsOnTheMemoryFileSystem) {
  ReferenceLayout layout;
  ASSERT_EQ(layout.Base().substr(0, 3), "C:\\");
  // A scan's file cache over the real files gives the same answers, fresh or having seen every case.
  ScanFileCache seenAll(layout.Real().files);
  const Platform cachedOverAll = WithFiles(layout.Real(), seenAll);
  for (const test::ReferenceCase& c : test::kReferenceCases) {
    const std::string text = test::WithBase(c.text, layout.Base());
    const bool real = ReferenceMissing(layout.Real(), text, c.anchor, "c", c.acceptFolder);
    const bool memory = ReferenceMissing(layout.Memory(), text, c.anchor, "c", c.acceptFolder);
    ScanFileCache fresh(layout.Real().files);
    const bool cached = ReferenceMissing(WithFiles(layout.Real(), fresh), text, c.anchor, "c", c.acceptFolder);
    EXPECT_EQ(real, c.missing) << c.name << ": " << text;
    EXPECT_EQ(real, memory) << c.name << ": " << text;
    EXPECT_EQ(cached, real) << c.name << ": " << text;
    EXPECT_EQ(ReferenceMissing(cachedOverAll, text, c.anchor, "c", c.acceptFolder), real) << c.name << ": " << text;
  }
}

TEST(PathTestsWinTest, ExpandFolderVariableUsesTheProcessEnvironment) {
  ReferenceLayout layout;
  EXPECT_EQ(ExpandFolderVariable(layout.Real(), "%TAMRISK_REF_BASE%\\Sys"), layout.Base() + "\\Sys");
  EXPECT_EQ(ExpandFolderVariable(layout.Real(), "%TAMRISK_REF_FILE%"), "%TAMRISK_REF_FILE%");
  EXPECT_EQ(ExpandFolderVariable(layout.Real(), "%TAMRISK_NO_SUCH_VARIABLE%"), "%TAMRISK_NO_SUCH_VARIABLE%");
  const std::string folder = layout.Base() + "\\Sys";
  const auto padded = [&](std::size_t expandedLength) {
    return "%TAMRISK_REF_BASE%\\Sys" + std::string(expandedLength - folder.size(), ' ');
  };
  EXPECT_EQ(ExpandFolderVariable(layout.Real(), padded(1023)), folder);
  EXPECT_EQ(ExpandFolderVariable(layout.Real(), padded(1024)), padded(1024));
}

}  // namespace
}  // namespace tamrisk
