// What the in-process window tests share: a prompt that answers from a script, a main window on a
// class name of the test's own, message pumping, and a timer that acts inside modal loops.
#pragma once

#include <windows.h>

#include <chrono>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/System.h"
#include "platform/memory/MemoryPlatform.h"
#include "ui/common/Language.h"
#include "platform/win32/Win32System.h"
#include "ui/common/Prompt.h"
#include "ui/main/RegMain.h"

namespace tamrisk::test {

// The real shell but for the repair lock, which is the test's own: window tests that repair or
// restore run side by side under one wineserver, and would otherwise find each other working.
class OwnRepairLockShell final : public Shell {
 public:
  explicit OwnRepairLockShell(Shell& inner) : inner_(inner) {}
  std::unique_ptr<RepairTurn> TakeRepairTurn(bool, RepairHolder&) override { return std::make_unique<RepairTurn>(); }
  bool Open(std::uintptr_t owner, const std::string& file, const std::string& parameters, const std::string& directory,
            int show) override {
    return inner_.Open(owner, file, parameters, directory, show);
  }
  bool StartHidden(const std::string& commandLine, ProcessInfo& info) override {
    return inner_.StartHidden(commandLine, info);
  }
  bool HasEnded(const ProcessInfo& info) override { return inner_.HasEnded(info); }
  void Terminate(const ProcessInfo& info) override { inner_.Terminate(info); }
  void Release(ProcessInfo& info) override { inner_.Release(info); }
  std::optional<std::string> PickFolder(std::uintptr_t owner, const std::string& title,
                                        const std::string& startPath) override {
    return inner_.PickFolder(owner, title, startPath);
  }

 private:
  Shell& inner_;
};

// The real system with OwnRepairLockShell.
struct Win32TestPlatform {
  win32::Win32Platform system;
  OwnRepairLockShell shell{system.shell};
  Platform platform{system.registry, system.files, system.system, system.ini, shell};
};

struct PromptCall {
  std::string text;
  std::string caption;
  UINT style = 0;
};

// Records every message box and answers from a queue (IDOK, or IDNO for a Yes/No box, when empty).
class ScriptedPrompt final : public Prompt {
 public:
  int Message(HWND owner, const std::string& text, const std::string& caption, UINT style) override;
  std::optional<std::string> SaveFileName(HWND owner, const std::string& title, const std::string& filter) override;

  std::deque<int> answers;
  std::deque<std::optional<std::string>> fileAnswers;
  std::vector<PromptCall> calls;
};

// Registers the common controls once per process.
void InitControls();

// A main window on a class of the test's own that never posts WM_QUIT.
std::unique_ptr<TfrmHivora> MakeMainWindow(const Platform& platform, Prompt& prompt, int showCommand = SW_SHOW);

// A main window on a fresh memory platform, with DpiOverride at dpi: for the tests run at 96 and 144.
struct MainWindowAtDpi {
  explicit MainWindowAtDpi(int dpi);
  DpiOverride scale;
  MemoryPlatform memory;
  ScriptedPrompt prompt;
  std::unique_ptr<TfrmHivora> form;
};

// Dispatches what is queued for this thread.
void PumpMessages();
// Pumps until done() holds or the time is up; the last answer of done().
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Runs tick every few milliseconds on this thread, also inside modal loops, until destroyed.
class ThreadTicker {
 public:
  explicit ThreadTicker(std::function<void()> tick, UINT intervalMs = 5);
  ~ThreadTicker();
  ThreadTicker(const ThreadTicker&) = delete;
  ThreadTicker& operator=(const ThreadTicker&) = delete;

 private:
  UINT_PTR timer_ = 0;
};

// Calls seen with each window of this thread that has just handled WM_INITDIALOG: laid out, not yet
// shown. A dialog that closes before a ThreadTicker could tick is still seen.
class DialogInitWatch {
 public:
  explicit DialogInitWatch(std::function<void(HWND)> seen);
  ~DialogInitWatch();
  DialogInitWatch(const DialogInitWatch&) = delete;
  DialogInitWatch& operator=(const DialogInitWatch&) = delete;

 private:
  HHOOK hook_ = nullptr;
};

// The first top-level window of this thread for which wanted holds, or nullptr.
HWND FindThreadWindowWhere(const std::function<bool(HWND)>& wanted);
// A window of this thread with the caption, or nullptr.
HWND FindThreadWindow(const std::string& caption);

// The text of a status bar panel.
std::string PanelText(HWND statusBar, int panel);

// Sends a command as a menu item or button would.
void SendCommand(HWND window, int id);

// Category states of the tree by code, 1 to TNodeChecks::Last.
std::vector<int> TreeStates(TfrmHivora& form);

// Ticks of the tree as options.ini stores them: the listed codes checked, every other one not.
std::string Ticks(std::initializer_list<int> checked);

// The row told as belonging to this program.
inline ProblemRow OfProgram(ProblemRow row, const std::string& name, ProgramState state) {
  row.program = ProgramRef{name, state};
  return row;
}

// Sets options.ini of the platform (executable folder + "options.ini") to these lines.
void WriteSettings(const Platform& platform, FileSystem& files, const std::string& text);

// While it lives, the window speaks language (SetUiLanguage); then the language before it again.
class Speaking {
 public:
  explicit Speaking(LANGID language) : previous_(UiLanguage()) { SetUiLanguage(language); }
  ~Speaking() { SetUiLanguage(previous_); }
  Speaking(const Speaking&) = delete;
  Speaking& operator=(const Speaking&) = delete;

 private:
  LANGID previous_;
};

// A window nobody sees, owning a dialog in place of the main window.
class HiddenOwner {
 public:
  HiddenOwner()
      : window_(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr)) {}
  ~HiddenOwner() { ::DestroyWindow(window_); }
  HiddenOwner(const HiddenOwner&) = delete;
  HiddenOwner& operator=(const HiddenOwner&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_;
};

}  // namespace tamrisk::test
