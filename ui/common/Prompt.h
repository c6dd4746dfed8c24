// Message boxes and file pickers go through Prompt, so tests can answer them without a modal box.
#pragma once

#include <windows.h>

#include <exception>
#include <optional>
#include <string>

namespace tamrisk {

// Caption of every message box the program shows.
inline constexpr char kMessageCaption[] = "Varkon Tamrisk";

class Prompt {
 public:
  virtual ~Prompt() = default;
  // A message box: the button the user pressed (IDOK, IDYES, IDNO, ...).
  virtual int Message(HWND owner, const std::string& text, const std::string& caption, UINT style) = 0;
  // The save-file dialog with a filter written "Description|*.EXT|..."; nullopt when cancelled.
  virtual std::optional<std::string> SaveFileName(HWND owner, const std::string& title, const std::string& filter) = 0;
};

class Win32Prompt final : public Prompt {
 public:
  int Message(HWND owner, const std::string& text, const std::string& caption, UINT style) override;
  std::optional<std::string> SaveFileName(HWND owner, const std::string& title, const std::string& filter) override;
};

// The standard error box: the error's text with an error icon and OK.
void ShowStandardError(Prompt& prompt, HWND owner, const std::string& text);
// The same for the exception being handled (call it in a catch block): a failure the engine words
// (WordedError) in the window's language, any other in its own words.
void ShowCurrentError(Prompt& prompt, HWND owner);

// Says that what (a program, a page) could not be opened, with the system's reason for the error code
// of the failed call: "Cannot start the registry editor: The system cannot find the file specified."
void ShowCannotOpen(Prompt& prompt, HWND owner, const std::string& what, unsigned long errorCode);

}  // namespace tamrisk
