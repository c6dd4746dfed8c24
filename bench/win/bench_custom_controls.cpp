// Times the class ID scan (code 13) through the engine against a bare advapi32 walk over the same
// keys (both views' CLSID), on the prefix it runs in. It seeds extra CLSID entries first and removes them at the end.
//
//   bench_custom_controls [entries=5000] [repeats=5]
//
// Prints the median of each measurement and the median of the per-run ratios (engine / bare).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"
#include "scan/ScanTask.h"

namespace {

using tamrisk::win32::UniqueRegKey;
using tamrisk::win32::Wide;
using Clock = std::chrono::steady_clock;

constexpr wchar_t kClassesClsid[] = L"Software\\Classes\\CLSID";

// What the progress window's sink does with the flood of key texts: keep only the latest.
class LatestKeySink final : public tamrisk::ScanSink {
 public:
  void StartCategory(tamrisk::CategoryCode) override {}
  void FinishCategory() override {}
  void ShowTask(const std::string&) override {}
  void ShowCurrentKey(const std::string& text) override {
    std::lock_guard lock(mutex_);
    latest_ = text;
    ++shown_;
  }
  void AppendProblem(const tamrisk::ProblemRow&) override {
    std::lock_guard lock(mutex_);
    ++rows_;
  }
  void ScanEnded() override {}
  long Shown() const { return shown_; }
  long Rows() const { return rows_; }

 private:
  std::mutex mutex_;
  std::string latest_;
  long shown_ = 0;
  long rows_ = 0;
};

std::string SeedName(unsigned long run, int index) {
  char name[64];
  std::snprintf(name, sizeof name, "{7A3B0000-%04lX-4000-8000-%012X}", run & 0xFFFF, index);
  return name;
}

bool SetText(HKEY key, const wchar_t* name, const std::string& text) {
  const std::vector<std::uint8_t> data = tamrisk::Utf16BytesOf(text);
  return ::RegSetValueExW(key, name, 0, REG_SZ, data.data(), static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

// A registration like the ones programs leave: a class with an in-process server. Most servers exist;
// one in ten is gone from an existing folder and one in fifty lives in a folder that is gone.
std::string ServerPath(int index, const std::string& systemFolder) {
  if (index % 50 == 0) return "C:\\Program Files\\Tamrisk Bench Gone\\server" + std::to_string(index) + ".dll";
  if (index % 10 == 0) return systemFolder + "\\tamrisk-bench-gone-" + std::to_string(index) + ".dll";
  return systemFolder + "\\ole32.dll";
}

bool SeedEntries(unsigned long run, int count) {
  wchar_t systemFolder[MAX_PATH] = {};
  ::GetSystemDirectoryW(systemFolder, MAX_PATH);
  const std::string system = tamrisk::win32::Utf8(systemFolder);
  for (int i = 0; i < count; ++i) {
    const std::wstring path = std::wstring(kClassesClsid) + L"\\" + Wide(SeedName(run, i));
    UniqueRegKey entry, server;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, entry.put(),
                          nullptr) != ERROR_SUCCESS) {
      return false;
    }
    if (::RegCreateKeyExW(entry.get(), L"InprocServer32", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, server.put(),
                          nullptr) != ERROR_SUCCESS) {
      return false;
    }
    if (!SetText(entry.get(), L"", "Tamrisk bench class " + std::to_string(i)) ||
        !SetText(server.get(), L"", ServerPath(i, system)) || !SetText(server.get(), L"ThreadingModel", "Both")) {
      return false;
    }
  }
  return true;
}

void RemoveEntries(unsigned long run, int count) {
  UniqueRegKey clsid;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClassesClsid, 0, KEY_ALL_ACCESS, clsid.put()) != ERROR_SUCCESS) return;
  for (int i = 0; i < count; ++i) {
    const std::wstring name = Wide(SeedName(run, i));
    ::RegDeleteTreeW(clsid.get(), name.c_str());
    ::RegDeleteKeyW(clsid.get(), name.c_str());
  }
}

// The bare walk: open each key below its parent, read its default value, list and descend. Wide
// calls, as the engine's: names outside the ANSI code page open as they are.
long BareWalk(HKEY parent, const wchar_t* name) {
  UniqueRegKey key;
  if (::RegOpenKeyExW(parent, name, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0;
  BYTE data[1024];
  DWORD type = 0, size = sizeof data;
  ::RegQueryValueExW(key.get(), nullptr, nullptr, &type, data, &size);
  std::vector<std::wstring> children;
  wchar_t child[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(std::size(child));
    if (::RegEnumKeyExW(key.get(), index, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    children.emplace_back(child, length);
  }
  long keys = 1;
  for (const std::wstring& c : children) keys += BareWalk(key.get(), c.c_str());
  return keys;
}

struct EngineRun {
  double seconds;
  long keys;
  long rows;
  std::string drives;
};

EngineRun TimeEngine(tamrisk::win32::Win32Platform& system) {
  auto sink = std::make_shared<LatestKeySink>();
  auto task = std::make_shared<tamrisk::TScanTaskThread>(system.platform, sink, false, false);
  if (task->TestedDrives.empty()) task->TestedDrives = "c";
  task->Categories = {tamrisk::CategoryCode::CustomControls};
  const auto start = Clock::now();
  task->Execute();
  const std::chrono::duration<double> elapsed = Clock::now() - start;
  return {elapsed.count(), sink->Shown(), sink->Rows(), task->TestedDrives};
}

double TimeBare(long& keys) {
  const auto start = Clock::now();
  // The classes of both views, as the scan reads them: 32-bit programs register theirs in a copy.
  keys = BareWalk(HKEY_CLASSES_ROOT, L"CLSID") + BareWalk(HKEY_CLASSES_ROOT, L"Wow6432Node\\CLSID");
  const std::chrono::duration<double> elapsed = Clock::now() - start;
  return elapsed.count();
}

double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const std::size_t mid = samples.size() / 2;
  return samples.size() % 2 ? samples[mid] : (samples[mid - 1] + samples[mid]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(0, std::atoi(argv[1])) : 5000;
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const unsigned long run = ::GetCurrentProcessId();

  if (!SeedEntries(run, count)) {
    std::fprintf(stderr, "could not seed the CLSID entries\n");
    RemoveEntries(run, count);
    return 1;
  }

  tamrisk::win32::Win32Platform system;
  std::vector<double> engine, bare, ratios;
  long engineKeys = 0, bareKeys = 0, rows = 0;
  // One untimed pass each so both start with a warm registry and file cache.
  const std::string drives = TimeEngine(system).drives;
  TimeBare(bareKeys);
  for (int i = 0; i < repeats; ++i) {
    const EngineRun result = TimeEngine(system);
    engine.push_back(result.seconds);
    engineKeys = result.keys;
    rows = result.rows;
    bare.push_back(TimeBare(bareKeys));
    // Each pair runs back to back, so its ratio is steadier than the ratio of medians on a busy machine.
    ratios.push_back(engine.back() / bare.back());
  }
  RemoveEntries(run, count);

  const double engineMedian = Median(engine);
  const double bareMedian = Median(bare);
  std::printf("seeded entries:   %d (x2 keys)\n", count);
  std::printf("keys walked:      engine %ld, bare %ld\n", engineKeys, bareKeys);
  std::printf("rows reported:    %ld (tested drives \"%s\")\n", rows, drives.c_str());
  std::printf("engine (median):  %.3f s over %d runs\n", engineMedian, repeats);
  std::printf("bare (median):    %.3f s over %d runs\n", bareMedian, repeats);
  std::printf("ratio (median of pairs): %.2f (target <= 1.30)\n", Median(ratios));
  return engineKeys == bareKeys ? 0 : 2;
}
