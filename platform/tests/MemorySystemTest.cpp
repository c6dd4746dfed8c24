// Environment expansion, the ini-file format and the fake shell of the memory platform.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/memory/MemoryFileSystem.h"
#include "platform/memory/MemorySystem.h"

namespace tamrisk {
namespace {

TEST(MemorySystemInfoTest, ExpandsAsExpandEnvironmentStringsDoes) {
  MemorySystemInfo system;
  system.SetVariable("SystemRoot", "C:\\WINDOWS");
  system.SetVariable("Empty", "");
  system.SetVariable("Nested", "%SystemRoot%\\x");
  struct Case {
    const char* text;
    std::size_t buffer;
    std::optional<std::string> expanded;
  };
  const Case cases[] = {
      {"%SYSTEMROOT%\\system32", 1024, "C:\\WINDOWS\\system32"},
      {"%Empty%x", 1024, "x"},
      {"%Nested%", 1024, "%SystemRoot%\\x"},  // one pass only
      {"%Unknown%%SystemRoot%", 1024, "%Unknown%C:\\WINDOWS"},
      {"%%SystemRoot%", 1024, "%%SystemRoot%"},
      {"%SystemRoot%", 11, "C:\\WINDOWS"},  // ten characters and the NUL
      {"%SystemRoot%", 10, std::nullopt},
      {"", 0, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(system.ExpandEnvironment(c.text, c.buffer), c.expanded) << c.text << " in " << c.buffer;
  }
  system.RemoveVariable("SYSTEMROOT");
  EXPECT_EQ(system.ExpandEnvironment("%SystemRoot%", 1024), "%SystemRoot%");
}

class MemoryIniFileTest : public ::testing::Test {
 protected:
  MemoryIniFileTest() { files_.AddFolder("C:\\App"); }

  std::string Read(const std::string& section, const std::string& key, const std::string& fallback = "dflt",
                   std::size_t maxChars = 2047) {
    return ini_.ReadString(kFile, section, key, fallback, maxChars);
  }
  std::string File() { return files_.Contents(kFile).value_or("<missing>"); }

  static constexpr const char* kFile = "C:\\App\\options.ini";
  MemoryFileSystem files_;
  MemoryIniFile ini_{files_};
};

TEST_F(MemoryIniFileTest, ReadsValuesAsGetPrivateProfileStringDoes) {
  files_.AddFile(kFile,
                 "; comment\r\n"
                 "  [ Sp ]  \r\n"
                 "  k1  =  v1  \r\n"
                 "k2='single'\r\n"
                 "k3=\"unbalanced\r\n"
                 "k4=\"a\" b \"\r\n"
                 "noeq\r\n"
                 "k5 = \" x \" \r\n"
                 "[Sp]\r\n"
                 "k6=second section of that name\r\n"
                 "[Other]\n"
                 "lf=only\n"
                 "k7=a=b\n"
                 "empty=\n");
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"Sp", "k1", "v1"},           {"sp", "K1", "v1"},          {" Sp ", " k1 ", "v1"},  {"Sp", "k2", "single"},
      {"Sp", "k3", "\"unbalanced"}, {"Sp", "k4", "a\" b "},      {"Sp", "noeq", "dflt"},  {"Sp", "k5", " x "},
      {"Sp", "k6", "dflt"},         {"Sp", "; comment", "dflt"}, {"Other", "lf", "only"}, {"Other", "k7", "a=b"},
      {"Other", "empty", ""},       {"Missing", "k1", "dflt"},   {"Other", "k1", "dflt"},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(c.section, c.key), c.expected) << c.section << "/" << c.key;
  EXPECT_EQ(Read("Sp", "k1", "d", 1), "v");
  EXPECT_EQ(Read("Sp", "missing", "  spaced default  "), "  spaced default");
  EXPECT_EQ(Read("Sp", "missing", "defaultlong", 3), "def");
  EXPECT_EQ(ini_.ReadString("C:\\App\\none.ini", "Sp", "k1", "d"), "d");
}

TEST_F(MemoryIniFileTest, WritesKeyByKeyInPlace) {
  ASSERT_TRUE(ini_.WriteString(kFile, "Options", "Key1", "v1"));
  EXPECT_EQ(File(), "[Options]\r\nKey1=v1\r\n");
  ASSERT_TRUE(ini_.WriteString(kFile, "Second", "A", "x"));
  ASSERT_TRUE(ini_.WriteString(kFile, "options", "KEY1", "v1b"));  // keeps the stored spelling
  ASSERT_TRUE(ini_.WriteString(kFile, "Options", "Key2", "two"));  // after the section's last key
  EXPECT_EQ(File(), "[Options]\r\nKey1=v1b\r\nKey2=two\r\n[Second]\r\nA=x\r\n");
  EXPECT_EQ(Read("OPTIONS", "key2"), "two");
}

TEST_F(MemoryIniFileTest, KeepsForeignLinesAndMendsAMissingLineBreak) {
  files_.AddFile(kFile, "; keep me\n[A]\nx=1\n\n[B]\ny=2");
  ASSERT_TRUE(ini_.WriteString(kFile, "A", "z", "3"));
  ASSERT_TRUE(ini_.WriteString(kFile, "B", "w", "4"));
  ASSERT_TRUE(ini_.WriteString(kFile, "C", "v", "5"));
  EXPECT_EQ(File(), "; keep me\n[A]\nx=1\nz=3\r\n\n[B]\ny=2\r\nw=4\r\n[C]\r\nv=5\r\n");
}

TEST_F(MemoryIniFileTest, AWriteIntoAMissingFolderFails) {
  EXPECT_FALSE(ini_.WriteString("C:\\Nowhere\\options.ini", "S", "k", "v"));
  EXPECT_FALSE(files_.Exists("C:\\Nowhere"));
}

TEST(MemoryShellTest, RecordsLaunchesAndRunsFakeProcesses) {
  MemoryShell shell;
  EXPECT_TRUE(shell.Open(7, "regedit.exe", "-m", "C:\\", 1));
  shell.SetOpenResult(false);
  EXPECT_FALSE(shell.Open(0, "help.chm", "", "", 5));
  ASSERT_EQ(shell.Opens().size(), 2u);
  EXPECT_EQ(shell.Opens()[0].parameters, "-m");

  ProcessInfo first, second;
  ASSERT_TRUE(shell.StartHidden("Regedit /e \"C:\\all.reg\"", first));
  ASSERT_TRUE(shell.StartHidden("Regedit /s \"C:\\b.reg\"", second));
  EXPECT_NE(first.process, second.process);
  EXPECT_FALSE(shell.HasEnded(first));
  shell.EndProcess(0);
  EXPECT_TRUE(shell.HasEnded(first));
  shell.Terminate(second);
  EXPECT_TRUE(shell.HasEnded(second));
  shell.Release(first);
  EXPECT_EQ(first.process, 0u);
  EXPECT_FALSE(shell.HasEnded(first));  // a released handle no longer answers
  const auto processes = shell.Processes();
  EXPECT_TRUE(processes[0].released);
  EXPECT_FALSE(processes[0].terminated);
  EXPECT_TRUE(processes[1].terminated);

  shell.SetStartResult(false);
  ProcessInfo failed;
  EXPECT_FALSE(shell.StartHidden("missing.exe", failed));
  shell.SetStartResult(true);
  shell.SetProcessesEndAtOnce(true);
  ProcessInfo quick;
  ASSERT_TRUE(shell.StartHidden("quick.exe", quick));
  EXPECT_TRUE(shell.HasEnded(quick));
}

TEST(MemoryShellTest, FolderPickerAnswersFromTheQueueThenCancels) {
  MemoryShell shell;
  shell.QueueFolderAnswer("C:\\Chosen");
  shell.QueueFolderAnswer(std::nullopt);
  EXPECT_EQ(shell.PickFolder(1, "Please select the directory to add", ""), "C:\\Chosen");
  EXPECT_EQ(shell.PickFolder(1, "again", "C:\\Start"), std::nullopt);
  EXPECT_EQ(shell.PickFolder(1, "nothing queued", ""), std::nullopt);
  ASSERT_EQ(shell.FolderPicks().size(), 3u);
  EXPECT_EQ(shell.FolderPicks()[1].startPath, "C:\\Start");
}

}  // namespace
}  // namespace tamrisk
