// Times the three hive scans (codes 3, 4 and 5) through the engine against a bare walk of the same
// subtrees (HKEY_LOCAL_MACHINE\Software, HKEY_CURRENT_USER, HKEY_USERS) that only opens each key and
// reads its string values. Seeds HKEY_CURRENT_USER\Software\TamriskBench first and removes it at the end.
//
//   bench_hive_walk [keys=20000] [runs=5] [every=100]
//
// Every "every"-th key names a missing program. Each such text costs the path test about one
// existence test per character (its folder is missing too), so the density moves the ratio.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"
#include "scan/ScanSink.h"
#include "scan/ScanTask.h"

namespace {

using namespace tamrisk;
using Clock = std::chrono::steady_clock;
using win32::Wide;

constexpr const char* kBenchKey = "Software\\TamriskBench";
constexpr int kFanOut = 10;

bool SetText(HKEY key, const wchar_t* name, const std::string& text) {
  const std::vector<std::uint8_t> data = Utf16BytesOf(text);
  return ::RegSetValueExW(key, name, 0, REG_SZ, data.data(), static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

// Key i hangs below key (i - 1) / kFanOut, so the tree is about log10(keys) levels deep. Every key has
// a title, a path (every "every"-th names a missing program, the others are plain text) and a number.
bool SeedTree(int keys, int every) {
  std::vector<std::string> paths;
  paths.reserve(static_cast<std::size_t>(keys));
  for (int i = 0; i < keys; ++i) {
    const std::string parent = i == 0 ? kBenchKey : paths[static_cast<std::size_t>((i - 1) / kFanOut)];
    paths.push_back(parent + "\\Item" + std::to_string(i));
    HKEY raw = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, Wide(paths.back()).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw,
                          nullptr) != ERROR_SUCCESS) {
      return false;
    }
    win32::UniqueRegKey key(raw);
    const std::string path =
        i % every == 0 ? "C:\\TamriskBenchGone\\app" + std::to_string(i) + ".exe" : "not a path " + std::to_string(i);
    const DWORD number = static_cast<DWORD>(i);
    if (!SetText(raw, L"Title", "Bench item " + std::to_string(i)) || !SetText(raw, L"Path", path) ||
        ::RegSetValueExW(raw, L"Size", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number) !=
            ERROR_SUCCESS) {
      return false;
    }
  }
  return true;
}

void RemoveTree() {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, Wide(kBenchKey).c_str());
  ::RegDeleteKeyW(HKEY_CURRENT_USER, Wide(kBenchKey).c_str());
}

// The least a walk that tests string values must do: open the key below its parent, list the values
// and read the strings, list the subkeys, recurse. Wide calls, as the engine's: names outside the
// ANSI code page open as they are.
struct BareWalk {
  long keys = 0;
  long strings = 0;
  std::vector<wchar_t> name = std::vector<wchar_t>(16384);
  std::vector<BYTE> data = std::vector<BYTE>(4096);

  void Visit(HKEY parent, const wchar_t* subkey) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(parent, subkey, 0, KEY_READ, &raw) != ERROR_SUCCESS) return;
    win32::UniqueRegKey key(raw);
    ++keys;
    for (DWORD i = 0;; ++i) {
      DWORD nameLength = static_cast<DWORD>(name.size());
      DWORD type = 0;
      if (::RegEnumValueW(raw, i, name.data(), &nameLength, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) break;
      if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
      DWORD size = static_cast<DWORD>(data.size());
      LONG rc = ::RegQueryValueExW(raw, name.data(), nullptr, &type, data.data(), &size);
      if (rc == ERROR_MORE_DATA) {
        data.resize(size);
        rc = ::RegQueryValueExW(raw, name.data(), nullptr, &type, data.data(), &size);
      }
      if (rc == ERROR_SUCCESS) ++strings;
    }
    std::vector<std::wstring> subkeys;
    wchar_t child[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = static_cast<DWORD>(std::size(child));
      if (::RegEnumKeyExW(raw, i, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      subkeys.emplace_back(child, length);
    }
    for (const std::wstring& entry : subkeys) Visit(raw, entry.c_str());
  }
};

struct Timing {
  double seconds = 0;
  long count = 0;  // rows for the engine, keys for the bare walk
};

// With no tested drives the engine still walks and reads every string value but tests no path.
Timing RunEngine(const Platform& platform, const std::string& drives) {
  auto sink = std::make_shared<HeadlessSink>();
  auto task = std::make_shared<TScanTaskThread>(platform, sink, false, false);
  task->TestedDrives = drives;
  task->Categories = {CategoryCode::LocalMachineFiles, CategoryCode::CurrentUserFiles, CategoryCode::UsersFiles};
  const auto start = Clock::now();
  task->Execute();
  const std::chrono::duration<double> took = Clock::now() - start;
  return {took.count(), static_cast<long>(sink->Rows().size())};
}

Timing RunBare() {
  BareWalk walk;
  const auto start = Clock::now();
  walk.Visit(HKEY_LOCAL_MACHINE, L"Software");
  walk.Visit(HKEY_CURRENT_USER, L"");
  walk.Visit(HKEY_USERS, L"");
  const std::chrono::duration<double> took = Clock::now() - start;
  return {took.count(), walk.keys};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The three walks of a run follow one another closely (their order turning each run), so load from
// other programs on the machine falls on all three alike; each run gives its own ratios.
void TimeWalks(int runs) {
  win32::Win32Platform system;
  RunBare();  // warm the registry caches once for both
  const std::string drive = "c";
  RunEngine(system.platform, drive);

  std::vector<double> engine, untested, bare, ratio, untestedRatio;
  long rows = 0, visited = 0;
  for (int run = 0; run < runs; ++run) {
    Timing e, u, b;
    if (run % 2 == 0) {
      e = RunEngine(system.platform, drive);
      u = RunEngine(system.platform, "");
      b = RunBare();
    } else {
      b = RunBare();
      u = RunEngine(system.platform, "");
      e = RunEngine(system.platform, drive);
    }
    engine.push_back(e.seconds);
    untested.push_back(u.seconds);
    bare.push_back(b.seconds);
    ratio.push_back(e.seconds / b.seconds);
    untestedRatio.push_back(u.seconds / b.seconds);
    rows = e.count;
    visited = b.count;
    std::printf("run %d: engine %.3f s, engine testing no drive %.3f s, bare %.3f s, ratio %.2f\n", run + 1, e.seconds,
                u.seconds, b.seconds, ratio.back());
  }
  std::printf("keys walked by the bare walk: %ld; rows found by the engine: %ld\n", visited, rows);
  std::printf(
      "median of %d runs: engine (codes 3, 4, 5) %.3f s, bare walk %.3f s; median ratio %.2f (target <= 1.25)\n", runs,
      Median(engine), Median(bare), Median(ratio));
  std::printf("engine testing no drive (walk and reads only): median %.3f s, median ratio %.2f\n", Median(untested),
              Median(untestedRatio));
}

}  // namespace

int main(int argc, char** argv) {
  const int keys = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const int every = argc > 3 ? std::max(1, std::atoi(argv[3])) : 100;

  RemoveTree();
  const auto seedStart = Clock::now();
  if (!SeedTree(keys, every)) {
    std::fprintf(stderr, "could not seed HKEY_CURRENT_USER\\%s\n", kBenchKey);
    RemoveTree();
    return 1;
  }
  const std::chrono::duration<double> seeded = Clock::now() - seedStart;
  std::printf("seeded %d keys below HKEY_CURRENT_USER\\%s in %.2f s, every %d-th naming a missing file\n", keys,
              kBenchKey, seeded.count(), every);

  TimeWalks(runs);
  RemoveTree();
  return 0;
}
