// Message boxes and file pickers go through Prompt, so tests can answer them without a modal box.
#pragma once

#include <windows.h>

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

// Nobody watches an unattended run: no box is shown. A question is answered Yes (the user asked for
// unattended repairs with backups, and the only question is whether to make the backup folder);
// every other message is kept, the errors for the run's log.
class UnattendedPrompt final : public Prompt {
 public:
  int Message(HWND owner, const std::string& text, const std::string& caption, UINT style) override;
  std::optional<std::string> SaveFileName(HWND, const std::string&, const std::string&) override { return {}; }
  // The errors shown so far, joined; "" when none.
  const std::string& Errors() const { return errors_; }

 private:
  std::string errors_;
};

// The standard error box: the error's text with an error icon and OK.
void ShowStandardError(Prompt& prompt, HWND owner, const std::string& text);

}  // namespace tamrisk
