// The standard find box (FindTextW) over the results list: modeless and owned by the main window.
// A search it asks for reaches the owner as the registered FINDMSGSTRING message; the program's
// message loop hands the box its keystrokes, so Tab and Enter work in it.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <array>
#include <optional>

#include "scan/ResultFind.h"

namespace tamrisk {

class FindBox {
 public:
  FindBox();
  ~FindBox();
  // The box holds the address of request_ while it is open.
  FindBox(const FindBox&) = delete;
  FindBox& operator=(const FindBox&) = delete;

  // Opens the box over owner with the last text, or brings the open box forward.
  void Show(HWND owner);
  HWND Handle() const { return box_; }

  bool IsFindMessage(UINT message) const { return message != 0 && message == findMessage_; }
  // On the box's message: the search it asks for (kept as the last one); nullopt when the box closed.
  std::optional<FindQuery> TakeRequest();
  // The last search asked for in the box.
  const std::optional<FindQuery>& LastQuery() const { return last_; }

  // IsDialogMessage for the open box: true when the message was the box's and is done with.
  bool TranslateDialogMessage(MSG& message);

 private:
  std::array<wchar_t, 256> text_{};
  FINDREPLACEW request_{};
  HWND box_ = nullptr;
  const UINT findMessage_;
  std::optional<FindQuery> last_;
};

}  // namespace tamrisk
