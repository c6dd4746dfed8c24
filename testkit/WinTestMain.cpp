#ifdef _WIN32

#include <cstdio>

#include <gtest/gtest.h>

// The Windows test program's entry. Its output goes to a pipe, where the C runtime would buffer it
// and a crashing test would take every line with it; unbuffered, a crash still shows which test ran,
// and scripts/wine-test can tell a program that never reached main from one that failed.
int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::setvbuf(stderr, nullptr, _IONBF, 0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#endif
