// The main window's keyboard: which control has it when the window is activated or a scan ends, and
// Tab between the controls.
#include "ui/main/RegMain.h"

namespace tamrisk {

void TfrmHivora::RememberFocus() {
  HWND focus = ::GetFocus();
  lastFocus_ = focus && ::IsChild(Handle(), focus) ? focus : nullptr;
}

HWND TfrmHivora::DefaultFocus() const { return results_.RowCount() > 0 ? results_.Handle() : tree_.Handle(); }

void TfrmHivora::FocusContent() {
  const bool usable =
      lastFocus_ && ::IsChild(Handle(), lastFocus_) && ::IsWindowVisible(lastFocus_) && ::IsWindowEnabled(lastFocus_);
  ::SetFocus(usable ? lastFocus_ : DefaultFocus());
}

// After a scan the keys act on the rows at once: the list has the focus and its first row the
// selection (the tree when nothing was found).
void TfrmHivora::FocusAfterScan() {
  lastFocus_ = nullptr;
  if (results_.RowCount() > 0 && results_.SelectedIndex() < 0) results_.Select(0);
  if (::GetActiveWindow() == Handle()) ::SetFocus(DefaultFocus());
}

// Tab and Shift+Tab move between the window's controls, as in a dialog.
bool TfrmHivora::MoveFocusByTab(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.wParam != VK_TAB || ::GetKeyState(VK_CONTROL) < 0) return false;
  HWND focus = ::GetFocus();
  if (!focus || !::IsChild(Handle(), focus)) return false;
  if (HWND next = ::GetNextDlgTabItem(Handle(), focus, ::GetKeyState(VK_SHIFT) < 0)) ::SetFocus(next);
  return true;
}

}  // namespace tamrisk
