// Base of the program's modal dialogs: the caller fills plain fields, calls ShowModal, reads the
// fields back. When the dialog opens, its client area and every item take the sizes and places its
// template gives (pixels at 96 DPI) scaled to its DPI, before OnInit. The messages reach typed
// handlers through the trampoline of WindowBase, which keeps exceptions out of user32; Cancel,
// Escape and the close box end the dialog with IDCANCEL unless a handler takes them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "ui/common/Prompt.h"
#include "ui/common/WindowBase.h"
#include "ui/common/WindowText.h"

namespace tamrisk {

class ModalDialog : public WindowBase {
 public:
  // Runs the dialog from its template until it ends; the modal result (-1 when it cannot open).
  INT_PTR ShowModal(HWND owner);

 protected:
  ModalDialog(Prompt& prompt, int templateId) : WindowBase(prompt), templateId_(templateId) {}

  // WM_INITDIALOG; true lets the dialog manager set the focus.
  virtual bool OnInit() { return true; }
  // WM_COMMAND; true when handled. IDCANCEL, when not handled, ends the dialog.
  virtual bool OnCommand(int, int) { return false; }
  // WM_NOTIFY; true when handled.
  virtual bool OnNotify(const NMHDR&) { return false; }
  virtual void OnTimer(UINT_PTR) {}
  // WM_CLOSE; ends the dialog with IDCANCEL unless overridden.
  virtual void OnClose() { EndModal(IDCANCEL); }
  // Any other message: true when handled, result then being the procedure's answer.
  virtual bool OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

  void EndModal(INT_PTR result);
  HWND Item(int id) const { return ::GetDlgItem(Handle(), id); }
  std::string ItemText(int id) const;
  void SetItemText(int id, std::string_view text);
  void EnableItem(int id, bool enabled);
  bool IsChecked(int id) const;
  void SetChecked(int id, bool checked);
  // A report list with full-row selection (and check boxes when asked), and the columns as given.
  void SetUpList(int id, std::initializer_list<ListColumn> columns, bool checkBoxes = false);
  void PlaceItem(int id, int left, int top, int width, int height);
  // A designed size or place (pixels at 96 DPI) at the dialog's DPI.
  int Scaled(int value) const;
  // Centres the dialog on owner, or on the screen when owner is null.
  void CentreOn(HWND owner);
  // Centres the dialog on the window that owns it.
  void CentreOnOwner() { CentreOn(::GetWindow(Handle(), GW_OWNER)); }

 private:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) final;
  INT_PTR AnswerAfterError(UINT message) const final { return message == WM_INITDIALOG ? TRUE : FALSE; }
  bool HandleCommand(int id, int code);
  void LayOutFromTemplate();
  void SetClientSize(int width, int height);

  int templateId_;
  std::span<const std::byte> template_;  // the one ShowModal opened
};

}  // namespace tamrisk
