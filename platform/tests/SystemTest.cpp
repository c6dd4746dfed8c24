// The operations platform/System.h adds to the services, on the memory platform.
#include "platform/System.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/memory/MemoryPlatform.h"

namespace tamrisk {
namespace {

TEST(SystemTest, WindowsVersionCode) {
  struct Case {
    VersionInfo version;
    int code;
    const char* name;
  };
  const std::vector<Case> cases = {
      {{1, 4, 0}, 1, "95"},
      {{1, 4, 10}, 3, "98"},
      {{1, 4, 90}, 8, "Me"},
      {{1, 4, 3}, 10, "9x other"},
      {{0, 4, 0}, 1, "Win32s-like 4.0"},
      {{2, 3, 51}, 5, "NT 3.51"},
      {{2, 4, 0}, 6, "NT 4"},
      {{2, 5, 0}, 7, "2000"},
      {{2, 5, 1}, 9, "XP"},
      {{2, 5, 2}, 10, "2003"},
      {{2, 5, 3}, 10, "NT 5.3"},
      {{2, 6, 1}, 10, "7"},
      {{2, 10, 0}, 10, "10"},
      {{2, 2, 0}, 10, "NT 2"},
      {{0, 0, 0}, 10, "failed call"},
  };
  MemoryPlatform memory;
  for (const Case& c : cases) {
    memory.system.SetVersion(c.version);
    EXPECT_EQ(WindowsVersionCode(memory.platform), c.code) << c.name;
  }
}

}  // namespace
}  // namespace tamrisk
