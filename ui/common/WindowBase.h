// Base of every window class of the program, dialogs and the main window alike. The window keeps
// `this` (in GWLP_USERDATA for a window, DWLP_USER for a dialog), and the one trampoline runs each
// message's handler inside try/catch, so no exception unwinds through user32: an escaping error is
// shown in the standard error box and the window stays.
#pragma once

#include <windows.h>

#include <exception>

#include "ui/common/Prompt.h"
#include "ui/common/Language.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {

class WindowBase {
 public:
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

  HWND Handle() const { return window_; }

 protected:
  explicit WindowBase(Prompt& prompt) : prompt_(prompt) {}
  virtual ~WindowBase() = default;

  // For CreateWindowExW, with a WindowBase* as its creation parameter.
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // For the dialog functions, with a WindowBase* as their init parameter.
  static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // One message for the window: the procedure's answer.
  virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  // The answer when the handler threw, after the error box.
  virtual INT_PTR AnswerAfterError(UINT) const { return 0; }

  Prompt& Prompts() const { return prompt_; }

 private:
  static INT_PTR Route(WindowBase* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam, int slot);

  Prompt& prompt_;
  HWND window_ = nullptr;
};

// Runs work; an exception it throws is shown in the standard error box over owner instead. For the
// procedures of subclassed controls, which must let no exception through either. False when it threw.
template <typename Work>
bool ShowingErrors(Prompt& prompt, HWND owner, Work&& work) {
  try {
    work();
    return true;
  } catch (const std::exception& error) {
    ShowStandardError(prompt, owner, error.what());
  } catch (...) {
    ShowStandardError(prompt, owner, UiText(IDS_UNEXPECTED_ERROR));
  }
  return false;
}

}  // namespace tamrisk
