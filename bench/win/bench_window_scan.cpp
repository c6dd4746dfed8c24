// A scan of every category through the main window and its progress window, against the headless
// scan of -report (the same categories, each entry listed once), on the same registry and files in
// one run. The window's handing over of rows and keys must not slow the scan: the target is a ratio
// of at most 1.05. The steps the main
// window takes after the scan (tick all, fit the columns, ignore lists, counts) are reported apart.
// The working set at the end of the first scan through the window, and the peak so far, are printed
// too: the scan finds each seeded key twice (under HKEY_CURRENT_USER and again under HKEY_USERS) and
// the window lists it once, so 1,500 seeded keys make a scan that finds some 3,000 problems (target
// under 64 MB).
// After the rounds, the list is filled with 10,000 rows to time what a user does with a long list:
// a header click sorting it by each column both ways (with the repaint), and the counts the tree
// shows after a scan (target: neither felt, well under 100 ms).
// Usage: bench_window_scan.exe [rounds] [seeded keys, default 500]   (run under Wine, with a display)
// Under Xvfb with no window manager, Wine waits up to 2 s for a window manager whenever a window is
// hidden; set HKEY_CURRENT_USER\Software\Wine\X11 Driver "Managed"="N" in the prefix first, or
// that wait is counted as part of the scan.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"
#include "settings/RegGlobal.h"
#include "ui/main/RegMain.h"
#include "ui/common/WindowText.h"
#include "ui/res/resource.h"
#include "unattended/HeadlessScan.h"

namespace {

using namespace tamrisk;
using Clock = std::chrono::steady_clock;

constexpr char kSeedKey[] = "Software\\TamriskBenchWindowScan";
constexpr int kDefaultSeededKeys = 500;

// Defaults for every read and a sink for every write: the bench leaves no options.ini behind.
class DefaultsIni final : public IniFile {
 public:
  std::string ReadString(const std::string&, const std::string&, const std::string&, const std::string& fallback,
                         std::size_t) override {
    return fallback;
  }
  bool WriteString(const std::string&, const std::string&, const std::string&, const std::string&) override {
    return true;
  }
};

// Answers every question with its default and prints the text instead of showing a box.
class ConsolePrompt final : public Prompt {
 public:
  int Message(HWND, const std::string& text, const std::string&, UINT style) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return (style & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
  }
  std::optional<std::string> SaveFileName(HWND, const std::string&, const std::string&) override {
    return std::nullopt;
  }
};

// Stale references for the scan to find, under HKEY_CURRENT_USER.
void SeedStaleEntries(int count) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, win32::Wide(kSeedKey).c_str());
  for (int i = 0; i < count; ++i) {
    const std::string key = std::string(kSeedKey) + "\\App" + std::to_string(i);
    HKEY handle = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, win32::Wide(key).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                          nullptr) != ERROR_SUCCESS) {
      continue;
    }
    const std::string path = "C:\\Program Files\\Gone" + std::to_string(i) + "\\app.exe";
    const std::vector<std::uint8_t> data = Utf16BytesOf(path);
    ::RegSetValueExW(handle, L"Path", 0, REG_SZ, data.data(), static_cast<DWORD>(data.size()));
    ::RegCloseKey(handle);
  }
}

// Every category ticked, as the window's tree has them with a default options.ini.
TOptionsSetting AllTicked() {
  TOptionsSetting options;
  options.TreeViewNodeCheck.Fill(true);
  return options;
}

double Seconds(Clock::duration elapsed) { return std::chrono::duration<double>(elapsed).count(); }

// The scan of -report: the same categories, each entry listed once, no window.
double TimeHeadlessScan(const Platform& platform, std::size_t& rows) {
  const auto start = Clock::now();
  const HeadlessScan scan = ScanStoredCategories(platform, AllTicked());
  const double elapsed = Seconds(Clock::now() - start);
  rows = scan.rows.size();
  return elapsed;
}

// When the progress window of the running scan is destroyed. A thread timer, which the progress
// window's own message loop dispatches, finds the window and puts a window procedure in front of its
// own. No message hook: under Wine a hook makes every message the window sends a round trip to the
// wineserver (0.25 ms each), and that would be counted against the window.
struct ProgressWatch {
  Clock::time_point gone;
  HWND window = nullptr;
  WNDPROC procedure = nullptr;
};

ProgressWatch& Watch() {
  static ProgressWatch watch;
  return watch;
}

LRESULT CALLBACK NoteProgressGone(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ProgressWatch& watch = Watch();
  const WNDPROC procedure = watch.procedure;
  if (message == WM_DESTROY && window == watch.window) {
    watch.gone = Clock::now();
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
    watch.window = nullptr;
  }
  return ::CallWindowProcW(procedure, window, message, wParam, lParam);
}

BOOL CALLBACK WatchIfProgress(HWND window, LPARAM found) {
  if (TextOf(window) != "Scanning") return TRUE;
  ProgressWatch& watch = Watch();
  watch.window = window;
  watch.procedure = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NoteProgressGone)));
  *reinterpret_cast<bool*>(found) = true;
  return FALSE;
}

VOID CALLBACK LookForProgressWindow(HWND, UINT, UINT_PTR timer, DWORD) {
  bool found = false;
  ::EnumThreadWindows(::GetCurrentThreadId(), WatchIfProgress, reinterpret_cast<LPARAM>(&found));
  if (found) ::KillTimer(nullptr, timer);
}

struct WindowTimes {
  double scan = 0;   // the click until the progress window has gone: the scan behind the window
  double total = 0;  // with the steps after it: tick all, fit the columns, ignore lists, counts
};

// "Scan registry issue" with every category ticked.
WindowTimes WindowScan(TfrmHivora& form, std::size_t& rows) {
  const UINT_PTR timer = ::SetTimer(nullptr, 0, USER_TIMER_MINIMUM, LookForProgressWindow);
  const auto start = Clock::now();
  ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(IDC_SCANREGISTRY, BN_CLICKED), 0);
  const auto end = Clock::now();
  ::KillTimer(nullptr, timer);  // in case no progress window came
  rows = form.Results().RowCount();
  return {Seconds(Watch().gone - start), Seconds(end - start)};
}

void Pump() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Fastest(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

void PrintWorkingSet(std::size_t rows) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters))) return;
  constexpr double kMegabyte = 1024.0 * 1024.0;
  std::printf("working set at the end of a window scan of %zu rows: %.1f MB, peak %.1f MB (target under 64 MB)\n", rows,
              static_cast<double>(counters.WorkingSetSize) / kMegabyte,
              static_cast<double>(counters.PeakWorkingSetSize) / kMegabyte);
}

// Other work on the shared machine adds time to single rounds of either kind; the medians of the
// alternating rounds are the figure, the fastest rounds a check on it. The median ratio.
double PrintRatios(const std::vector<double>& headless, const std::vector<double>& window,
                   const std::vector<double>& windowTotal) {
  const double ratio = Median(window) / Median(headless);
  std::printf("median: headless %.3f s, window %.3f s, ratio %.3f (target at most 1.05)\n", Median(headless),
              Median(window), ratio);
  std::printf("fastest: headless %.3f s, window %.3f s, ratio %.3f\n", Fastest(headless), Fastest(window),
              Fastest(window) / Fastest(headless));
  std::printf("with the steps after the scan: median %.3f s, ratio %.3f\n", Median(windowTotal),
              Median(windowTotal) / Median(headless));
  return ratio;
}

// 10,000 rows made from the scan's rows, each with a key of its own and a category.
std::vector<ProblemRow> ManyRows(const std::vector<ProblemRow>& found) {
  constexpr std::size_t kRows = 10000;
  std::vector<ProblemRow> rows;
  rows.reserve(kRows);
  for (std::size_t i = 0; i < kRows; ++i) {
    ProblemRow row = found.empty() ? ProblemRow{} : found[i % found.size()];
    row.registryKey += "\\Copy" + std::to_string(i);
    row.value = "C:\\Gone\\app" + std::to_string(kRows - i) + ".exe";
    row.category = static_cast<CategoryCode>(3 + static_cast<int>(i % 20));
    row.location = LocationOfColumns(row.registryKey, row.value, row.kind);
    rows.push_back(std::move(row));
  }
  return rows;
}

// A header click on each column, twice (up, then down), each through the window and painted.
void TimeSortAndCounts(TfrmHivora& form) {
  const std::vector<ProblemRow> rows = ManyRows(form.Results().Rows());
  form.Results().Clear();
  form.Results().AppendRows(rows);
  form.Results().Select(0);
  Pump();
  std::vector<double> sorts;
  for (int column = 0; column < 3; ++column) {
    for (int click = 0; click < 2; ++click) {
      NMLISTVIEW header{};
      header.hdr = NMHDR{form.Results().Handle(), IDC_REGISTRYDATA, LVN_COLUMNCLICK};
      header.iItem = -1;
      header.iSubItem = column;
      const auto start = Clock::now();
      ::SendMessageW(form.Handle(), WM_NOTIFY, IDC_REGISTRYDATA, reinterpret_cast<LPARAM>(&header));
      ::UpdateWindow(form.Results().Handle());
      sorts.push_back(Seconds(Clock::now() - start) * 1000);
    }
  }
  form.Tree().StartCounts(StoredCategories(AllTicked()));
  Pump();
  const auto start = Clock::now();
  form.UpdateCounts();
  const auto counted = Clock::now();
  ::UpdateWindow(form.Tree().Handle());
  const auto painted = Clock::now();
  std::printf("sorting %zu rows by a header click: median %.1f ms, slowest %.1f ms (each column both ways, painted)\n",
              rows.size(), Median(sorts), *std::max_element(sorts.begin(), sorts.end()));
  std::printf("counts of %zu rows in the tree and the status bar: %.1f ms, then painting the tree %.1f ms\n",
              rows.size(), Seconds(counted - start) * 1000, Seconds(painted - counted) * 1000);
}

struct RoundTimes {
  std::vector<double> headless, window, windowTotal;
};

// Headless and window scans in turn, the order alternating so neither kind always runs second.
RoundTimes TimeRounds(const Platform& platform, TfrmHivora& form, int rounds) {
  std::size_t headlessRows = 0, windowRows = 0;
  RoundTimes t;
  for (int round = 0; round < rounds; ++round) {
    WindowTimes times;
    if (round % 2 == 0) {
      t.headless.push_back(TimeHeadlessScan(platform, headlessRows));
      times = WindowScan(form, windowRows);
    } else {
      times = WindowScan(form, windowRows);
      t.headless.push_back(TimeHeadlessScan(platform, headlessRows));
    }
    t.window.push_back(times.scan);
    t.windowTotal.push_back(times.total);
    std::printf("round %d: headless %.3f s (%zu rows), window %.3f s, with the steps after it %.3f s (%zu rows)\n",
                round + 1, t.headless.back(), headlessRows, times.scan, times.total, windowRows);
  }
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const int seeded = argc > 2 ? std::max(0, std::atoi(argv[2])) : kDefaultSeededKeys;
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  win32::Win32Platform system;
  DefaultsIni ini;
  Platform platform{system.registry, system.files, system.system, ini, system.shell};
  ConsolePrompt prompt;
  SeedStaleEntries(seeded);

  MainWindowStart start;
  start.className = "TamriskBenchWindowScan";
  start.endsProgram = false;
  TfrmHivora form(platform, prompt, start);
  form.Create(SW_SHOWNOACTIVATE);
  Pump();

  // One scan of each to warm the registry and file caches.
  std::size_t headlessRows = 0, windowRows = 0;
  TimeHeadlessScan(platform, headlessRows);
  WindowScan(form, windowRows);
  PrintWorkingSet(windowRows);

  const RoundTimes times = TimeRounds(platform, form, rounds);
  TimeSortAndCounts(form);
  const double ratio = PrintRatios(times.headless, times.window, times.windowTotal);

  ::SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  SeedStaleEntries(0);
  return ratio <= 1.05 ? 0 : 2;
}
