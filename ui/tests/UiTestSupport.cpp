#include "ui/tests/UiTestSupport.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <thread>

#include "testkit/WinFixture.h"

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
                                      ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
}

std::unique_ptr<TfrmHivora> MakeMainWindow(const Platform& platform, Prompt& prompt,
                                           std::vector<std::string> arguments, int showCommand) {
  InitControls();
  MainWindowStart start;
  start.arguments = std::move(arguments);
  start.className = UniqueName("TamriskMain");
  start.endsProgram = false;
  auto form = std::make_unique<TfrmHivora>(platform, prompt, start);
  form->Create(showCommand);
  PumpMessages();
  return form;
}

void PumpMessages() {
  MSG message{};
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
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

HWND FindThreadWindow(const std::string& caption) {
  struct Search {
    std::string caption;
    HWND found = nullptr;
  } search{caption};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        auto* wanted = reinterpret_cast<Search*>(data);
        char text[256] = {};
        ::GetWindowTextA(window, text, sizeof text);
        if (wanted->caption == text) {
          wanted->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string PanelText(HWND statusBar, int panel) {
  const auto length = LOWORD(::SendMessageA(statusBar, SB_GETTEXTLENGTHA, static_cast<WPARAM>(panel), 0));
  std::string text(length + 1u, '\0');
  ::SendMessageA(statusBar, SB_GETTEXTA, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(text.data()));
  text.resize(length);
  return text;
}

void SendCommand(HWND window, int id) { ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

std::vector<int> TreeStates(TfrmHivora& form) {
  std::vector<int> states;
  for (int code = 1; code <= 22; ++code) states.push_back(form.Tree().StateOf(form.Tree().NodeOf(code)));
  return states;
}

void WriteSettings(const Platform& platform, FileSystem& files, const std::string& text) {
  files.WriteFile(platform.system.ExecutableFolder() + "options.ini", text);
}

}  // namespace tamrisk::test
