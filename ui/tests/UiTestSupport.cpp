#include "ui/tests/UiTestSupport.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "platform/win32/Wide.h"
#include "testkit/WinFixture.h"
#include "ui/common/WindowText.h"

namespace tamrisk::test {
namespace {

std::function<void()>& TickHandler() {
  static std::function<void()> handler;
  return handler;
}

void CALLBACK TickProcedure(HWND, UINT, UINT_PTR, DWORD) {
  if (TickHandler()) TickHandler()();
}

}  // namespace

int ScriptedPrompt::Message(HWND, const std::string& text, const std::string& caption, UINT style) {
  calls.push_back({text, caption, style});
  if (!answers.empty()) {
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return (style & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
}

std::optional<std::string> ScriptedPrompt::SaveFileName(HWND, const std::string&, const std::string&) {
  if (fileAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = fileAnswers.front();
  fileAnswers.pop_front();
  return answer;
}

void InitControls() {
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_DATE_CLASSES};
  ::InitCommonControlsEx(&controls);
}

std::unique_ptr<TfrmHivora> MakeMainWindow(const Platform& platform, Prompt& prompt, int showCommand) {
  InitControls();
  MainWindowStart start;
  start.className = UniqueName("TamriskMain");
  start.endsProgram = false;
  auto form = std::make_unique<TfrmHivora>(platform, prompt, start);
  form->Create(showCommand);
  PumpMessages();
  return form;
}

MainWindowAtDpi::MainWindowAtDpi(int dpi) : scale(dpi) {
  memory.files.AddFolder(memory.system.ExecutableFolder());
  form = MakeMainWindow(memory.platform, prompt);
}

void PumpMessages() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    PumpMessages();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return done();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

ThreadTicker::ThreadTicker(std::function<void()> tick, UINT intervalMs) {
  TickHandler() = std::move(tick);
  timer_ = ::SetTimer(nullptr, 0, intervalMs, TickProcedure);
}

ThreadTicker::~ThreadTicker() {
  ::KillTimer(nullptr, timer_);
  TickHandler() = nullptr;
}

namespace {
std::function<void(HWND)>& DialogInitHandler() {
  static std::function<void(HWND)> handler;
  return handler;
}

LRESULT CALLBACK AfterDialogInit(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (code == HC_ACTION && message->message == WM_INITDIALOG && DialogInitHandler()) {
    DialogInitHandler()(message->hwnd);
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

DialogInitWatch::DialogInitWatch(std::function<void(HWND)> seen) {
  DialogInitHandler() = std::move(seen);
  hook_ = ::SetWindowsHookExW(WH_CALLWNDPROCRET, AfterDialogInit, nullptr, ::GetCurrentThreadId());
}

DialogInitWatch::~DialogInitWatch() {
  ::UnhookWindowsHookEx(hook_);
  DialogInitHandler() = nullptr;
}

HWND FindThreadWindowWhere(const std::function<bool(HWND)>& wanted) {
  struct Search {
    const std::function<bool(HWND)>& wanted;
    HWND found = nullptr;
  } search{wanted};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        auto* each = reinterpret_cast<Search*>(data);
        if (!each->wanted(window)) return TRUE;
        each->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindThreadWindow(const std::string& caption) {
  return FindThreadWindowWhere([&](HWND window) { return TextOf(window) == caption; });
}

std::string PanelText(HWND statusBar, int panel) {
  const auto length = LOWORD(::SendMessageW(statusBar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(panel), 0));
  std::wstring text(length + 1u, L'\0');
  ::SendMessageW(statusBar, SB_GETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(text.data()));
  text.resize(length);
  return win32::Utf8(text);
}

void SendCommand(HWND window, int id) { ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

std::vector<int> TreeStates(TfrmHivora& form) {
  std::vector<int> states;
  for (int code = 1; code <= TNodeChecks::Last; ++code)
    states.push_back(form.Tree().StateOf(form.Tree().NodeOf(CategoryCode{code})));
  return states;
}

std::string Ticks(std::initializer_list<int> checked) {
  std::string text = "[TreeViewNodeCheck]\r\n";
  for (int code = 1; code <= TNodeChecks::Last; ++code) {
    const bool on = std::find(checked.begin(), checked.end(), code) != checked.end();
    text += std::to_string(code) + (on ? "=1\r\n" : "=0\r\n");
  }
  return text;
}

void WriteSettings(const Platform& platform, FileSystem& files, const std::string& text) {
  files.WriteFile(platform.system.ExecutableFolder() + "options.ini", text);
}

}  // namespace tamrisk::test
