// A test of the scanners on the real registry and files of the Wine prefix: fixtures imported with
// "regedit /s", files made in a folder of the test's own, a headless scan. Every entry carries the
// test's unique name and only the rows naming it are looked at, as other tests share the prefix.
// Windows only.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Win32System.h"
#include "testkit/ScanHarness.h"
#include "testkit/WinFixture.h"

namespace tamrisk::test {

class RealScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = UniqueName("h3");
    folder_ = FreshFolder(name_);
  }

  void TearDown() override {
    for (const auto& [root, key] : keys_) DeleteKeyTree(root, key);
    for (const auto& [where, value] : values_) {
      win32::UniqueRegKey opened;
      if (::RegOpenKeyExA(ToHkey(where.first), where.second.c_str(), 0, KEY_SET_VALUE, opened.put()) == ERROR_SUCCESS) {
        ::RegDeleteValueA(opened.get(), value.c_str());
      }
    }
    for (const std::string& file : files_) ::DeleteFileA(file.c_str());
    RemoveFolder(folder_);
  }

  // Registry editor text with "$N" standing for the test's name and "$F" for its folder.
  void Import(const std::string& fixture) { ASSERT_TRUE(ImportReg(FillFixture(fixture, name_, folder_))); }
  // A file made in the test's folder; its path.
  std::string File(const std::string& name) {
    const std::string path = folder_ + "\\" + name;
    EXPECT_TRUE(WriteTextFile(path, "x"));
    return path;
  }
  std::string InFolder(const std::string& name) const { return folder_ + "\\" + name; }
  // Entries the test adds to keys and folders other tests share: only they are removed afterwards.
  void OwnKey(RootKey root, const std::string& key) { keys_.emplace_back(root, key); }
  void OwnValue(RootKey root, const std::string& key, const std::string& value) {
    values_.push_back({{root, key}, value});
  }
  void OwnFile(const std::string& path) { files_.push_back(path); }

  // Rows without their reasons (WithoutReasons).
  ScanResult Scan(const std::vector<std::string>& codes) {
    return WithoutReasons(RunScan(system_.platform, codes, "c"));
  }

  win32::Win32Platform system_;
  std::string name_;
  std::string folder_;

 private:
  std::vector<std::pair<RootKey, std::string>> keys_;
  std::vector<std::pair<std::pair<RootKey, std::string>, std::string>> values_;
  std::vector<std::string> files_;
};

}  // namespace tamrisk::test

#endif
