#include "ui/main/FindBox.h"

#include <stdexcept>

#include "platform/win32/Wide.h"

namespace tamrisk {

FindBox::FindBox() : findMessage_(::RegisterWindowMessageW(FINDMSGSTRINGW)) {}

FindBox::~FindBox() {
  // Closed with its owner, or by the user, the box is gone already.
  if (box_ && ::IsWindow(box_)) ::DestroyWindow(box_);
}

void FindBox::Show(HWND owner) {
  if (box_ && ::IsWindow(box_)) {
    ::SetActiveWindow(box_);
    return;
  }
  request_ = FINDREPLACEW{};
  request_.lStructSize = sizeof request_;
  request_.hwndOwner = owner;
  // Whole words mean little in key paths; up and down and letter case are offered.
  request_.Flags = FR_HIDEWHOLEWORD;
  if (!last_ || last_->down) request_.Flags |= FR_DOWN;
  if (last_ && last_->matchCase) request_.Flags |= FR_MATCHCASE;
  request_.lpstrFindWhat = text_.data();
  request_.wFindWhatLen = static_cast<WORD>(text_.size());
  box_ = ::FindTextW(&request_);
  if (!box_) throw std::runtime_error("Cannot open the find box");
}

std::optional<FindQuery> FindBox::TakeRequest() {
  if (request_.Flags & FR_DIALOGTERM) {
    box_ = nullptr;
    return std::nullopt;
  }
  if ((request_.Flags & FR_FINDNEXT) == 0) return std::nullopt;
  last_ = FindQuery{win32::Utf8(text_.data()), (request_.Flags & FR_MATCHCASE) != 0, (request_.Flags & FR_DOWN) != 0};
  return last_;
}

bool FindBox::TranslateDialogMessage(MSG& message) { return box_ && ::IsDialogMessageW(box_, &message); }

}  // namespace tamrisk
