// The unattended switches' arguments, checked before a scan: each wrong form named, the right ones
// let through, and the refusal's line in the run log.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "unattended/RunLog.h"
#include "unattended/SwitchArguments.h"

namespace tamrisk::test {
namespace {

TEST(SwitchArguments, WrongArgumentsAreNamedBeforeAnythingIsScanned) {
  MemoryPlatform memory;
  memory.files.AddFolder("C:\\Reports");
  struct Case {
    std::vector<std::string> arguments;
    std::optional<std::string> error;
  };
  const std::vector<Case> cases = {
      {{"-report", "C:\\Reports\\today.csv"}, std::nullopt},
      {{"-REPORT", "today.csv"}, std::nullopt},
      {{"-report", "-scheduled"}, std::nullopt},
      {{"-cleanonce"}, std::nullopt},
      {{"-CleanOnce", "-scheduled"}, std::nullopt},
      {{}, std::nullopt},
      {{"-report"}, "-report needs the file to write: Tamrisk.exe -report FILE."},
      {{"-report", "-sheduled"}, "Unknown argument for -report: -sheduled."},
      {{"-report", "C:\\My", "Reports\\a.csv"},
       "-report takes one file, not \"Reports\\a.csv\" as well; put a name with spaces in quotes."},
      {{"-report", "C:\\Gone\\a.csv"}, "The folder of the report does not exist: C:\\Gone."},
      {{"-cleanonce", "now"}, "Unknown argument for -cleanonce: now."},
      {{"-cleanonce", "-scheduled", "-scheduled"}, "Unknown argument for -cleanonce: -scheduled."},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& argument : c.arguments) shown += argument + " ";
    EXPECT_EQ(UnattendedArgumentError(c.arguments, memory.files), c.error) << shown;
  }

  memory.files.AddFolder(memory.system.ExecutableFolder());
  const std::vector<std::string> arguments = {"-report"};
  EXPECT_EQ(RefuseUnattendedArguments(memory.platform, arguments, *UnattendedArgumentError(arguments, memory.files)),
            1);
  std::string log;
  ASSERT_TRUE(memory.files.ReadFile(RunLogPath(memory.platform), log));
  EXPECT_NE(log.find("-report"), std::string::npos) << log;
  EXPECT_NE(log.find("-report needs the file to write: Tamrisk.exe -report FILE. Nothing was scanned."),
            std::string::npos)
      << log;
}

}  // namespace
}  // namespace tamrisk::test
