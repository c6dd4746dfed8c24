// Times the repair of 1,000 checked rows (backup file included) against "regedit /s" of a file that
// deletes the same entries, on the prefix it runs in. Both start from the same freshly seeded entries
// under a key of their own below HKEY_CURRENT_USER, which is removed at the end.
//
//   bench_repair [repeats=3]
//
// Prints the median of each measurement and their ratio (repair / regedit).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"
#include "repair/Repair.h"

namespace {

using tamrisk::ProblemRow;
using tamrisk::win32::UniqueHandle;
using tamrisk::win32::UniqueRegKey;
using tamrisk::win32::Wide;
using Clock = std::chrono::steady_clock;

// 1,000 rows: 200 keys with a few values and a subkey, 600 values of mixed types, 200 default values.
constexpr int kKeys = 200;
constexpr int kValues = 600;
constexpr int kDefaults = 200;

std::string Numbered(const char* prefix, int n) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%04d", prefix, n);
  return text;
}

HKEY CreateKey(const std::string& path) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, Wide(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    std::fprintf(stderr, "cannot create %s\n", path.c_str());
    std::exit(2);
  }
  return key;
}

void SetText(HKEY key, const std::string& name, const std::string& text, DWORD type = REG_SZ) {
  const std::vector<std::uint8_t> data = tamrisk::Utf16BytesOf(text);
  ::RegSetValueExW(key, Wide(name).c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
}

void SetDword(HKEY key, const std::string& name, DWORD value) {
  ::RegSetValueExW(key, Wide(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void SetBinary(HKEY key, const std::string& name, std::size_t size) {
  std::vector<BYTE> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<BYTE>(i * 13);
  ::RegSetValueExW(key, Wide(name).c_str(), 0, REG_BINARY, bytes.data(), static_cast<DWORD>(size));
}

void Seed(const std::string& base) {
  for (int i = 0; i < kKeys; ++i) {
    const std::string path = base + "\\Keys\\" + Numbered("K", i);
    UniqueRegKey key(CreateKey(path));
    SetText(key.get(), "", "C:\\Gone\\" + Numbered("app", i) + ".exe");
    SetText(key.get(), "Path", "C:\\Gone\\\"quoted\"\\dir");
    SetDword(key.get(), "Count", static_cast<DWORD>(i));
    SetBinary(key.get(), "Blob", 40);
    UniqueRegKey sub(CreateKey(path + "\\Sub"));
    SetText(sub.get(), "Inner", "x", REG_EXPAND_SZ);
  }
  UniqueRegKey values(CreateKey(base + "\\Values"));
  for (int i = 0; i < kValues; ++i) {
    const std::string name = Numbered("V", i);
    switch (i % 4) {
      case 0: SetText(values.get(), name, "C:\\Gone\\" + name + ".dll"); break;
      case 1: SetDword(values.get(), name, static_cast<DWORD>(-i)); break;
      case 2: SetText(values.get(), name, "%SystemRoot%\\" + name, REG_EXPAND_SZ); break;
      default: SetBinary(values.get(), name, 30); break;
    }
  }
  for (int i = 0; i < kDefaults; ++i) {
    UniqueRegKey key(CreateKey(base + "\\Defaults\\" + Numbered("D", i)));
    SetText(key.get(), "", "C:\\Gone\\" + Numbered("default", i) + ".exe");
    SetText(key.get(), "Keep", "stays");
  }
}

std::vector<ProblemRow> Rows(const std::string& base) {
  const std::string full = "HKEY_CURRENT_USER\\" + base;
  std::vector<ProblemRow> rows;
  for (int i = 0; i < kKeys; ++i)
    rows.push_back(
        {true, tamrisk::ProblemId::InvalidFileOrFolder, full + "\\Keys\\" + Numbered("K", i), "", tamrisk::rkKey});
  for (int i = 0; i < kValues; ++i) {
    rows.push_back(
        {true, tamrisk::ProblemId::InvalidFileOrFolder, full + "\\Values", Numbered("V", i), tamrisk::rkValueInColumn});
  }
  for (int i = 0; i < kDefaults; ++i) {
    rows.push_back({true, tamrisk::ProblemId::InvalidFileOrFolder, full + "\\Defaults\\" + Numbered("D", i), "",
                    tamrisk::rkDefaultValue});
  }
  return rows;
}

// The same deletions as a file for the registry editor.
std::string DeletionFile(const std::string& base) {
  const std::string full = "HKEY_CURRENT_USER\\" + base;
  std::string text = "REGEDIT4\r\n";
  for (int i = 0; i < kKeys; ++i) {
    text += "\r\n[-";
    text += full;
    text += "\\Keys\\";
    text += Numbered("K", i);
    text += "]\r\n";
  }
  text += "\r\n[";
  text += full;
  text += "\\Values]\r\n";
  for (int i = 0; i < kValues; ++i) {
    text += '"';
    text += Numbered("V", i);
    text += "\"=-\r\n";
  }
  for (int i = 0; i < kDefaults; ++i) {
    text += "\r\n[";
    text += full;
    text += "\\Defaults\\";
    text += Numbered("D", i);
    text += "]\r\n@=-\r\n";
  }
  return text;
}

bool WriteWhole(const std::string& path, const std::string& text) {
  UniqueHandle file(
      ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return false;
  }
  DWORD written = 0;
  return ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

bool RunAndWait(const std::string& commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring line = Wide(commandLine);
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  UniqueHandle processHandle(process.hProcess);
  UniqueHandle threadHandle(process.hThread);
  return ::WaitForSingleObject(processHandle.get(), 120000) == WAIT_OBJECT_0;
}

// Entries still there out of the 1,000 the rows name.
int Remaining(const std::string& base) {
  int left = 0;
  for (int i = 0; i < kKeys; ++i) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(base + "\\Keys\\" + Numbered("K", i)).c_str(), 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
      ::RegCloseKey(key);
      ++left;
    }
  }
  for (int i = 0; i < kValues; ++i) {
    if (::RegGetValueW(HKEY_CURRENT_USER, Wide(base + "\\Values").c_str(), Wide(Numbered("V", i)).c_str(), RRF_RT_ANY,
                       nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      ++left;
    }
  }
  for (int i = 0; i < kDefaults; ++i) {
    if (::RegGetValueW(HKEY_CURRENT_USER, Wide(base + "\\Defaults\\" + Numbered("D", i)).c_str(), nullptr, RRF_RT_ANY,
                       nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      ++left;
    }
  }
  return left;
}

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const std::string base = "Software\\TamriskBenchRepair" + std::to_string(::GetCurrentProcessId());
  const std::string folder = "C:\\tamrisk-bench-repair-" + std::to_string(::GetCurrentProcessId());
  ::CreateDirectoryW(Wide(folder).c_str(), nullptr);
  const std::string deletions = folder + "\\delete.reg";
  if (!WriteWhole(deletions, DeletionFile(base))) {
    std::fprintf(stderr, "cannot write %s\n", deletions.c_str());
    return 2;
  }

  tamrisk::win32::Win32Platform system;
  std::vector<double> repairTimes, regeditTimes;
  int failures = 0;
  for (int round = 0; round < repeats; ++round) {
    Seed(base);
    const std::string backup = folder + "\\Backup" + std::to_string(round) + ".reg";
    tamrisk::VectorResults results(Rows(base));
    const auto repairStart = Clock::now();
    tamrisk::RepairRows(system.platform, results, backup);
    repairTimes.push_back(Milliseconds(Clock::now() - repairStart));
    if (!results.rows.empty() || Remaining(base) != 0) ++failures;
    ::DeleteFileW(Wide(backup).c_str());

    Seed(base);
    const auto regeditStart = Clock::now();
    if (!RunAndWait("regedit /s \"" + deletions + "\"")) ++failures;
    regeditTimes.push_back(Milliseconds(Clock::now() - regeditStart));
    if (Remaining(base) != 0) ++failures;
  }

  ::RegDeleteTreeW(HKEY_CURRENT_USER, Wide(base).c_str());
  ::RegDeleteKeyW(HKEY_CURRENT_USER, Wide(base).c_str());
  ::DeleteFileW(Wide(deletions).c_str());
  ::RemoveDirectoryW(Wide(folder).c_str());

  const double repair = Median(repairTimes), regedit = Median(regeditTimes);
  std::printf("entries: %d (keys %d, values %d, default values %d), repeats: %d\n", kKeys + kValues + kDefaults, kKeys,
              kValues, kDefaults, repeats);
  std::printf("repair with backup: %.1f ms\n", repair);
  std::printf("regedit /s deletion: %.1f ms\n", regedit);
  std::printf("ratio (repair / regedit): %.2f (target at most 2)\n", repair / regedit);
  if (failures != 0) std::printf("FAILED: %d round(s) left entries behind\n", failures);
  return failures == 0 ? 0 : 1;
}
