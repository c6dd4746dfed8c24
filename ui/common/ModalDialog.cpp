#include "ui/common/ModalDialog.h"

#include "ui/common/DialogTemplate.h"
#include "ui/common/Dpi.h"
#include "ui/common/WindowText.h"
#include "ui/common/Language.h"

namespace tamrisk {

INT_PTR ModalDialog::ShowModal(HWND owner) {
  template_ = UiDialogResource(templateId_);
  if (template_.empty()) return -1;
  return ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(template_.data()),
                                   owner, DialogProcedure, reinterpret_cast<LPARAM>(static_cast<WindowBase*>(this)));
}

INT_PTR ModalDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: LayOutFromTemplate(); return OnInit() ? TRUE : FALSE;
    case WM_COMMAND: return HandleCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY: return OnNotify(*reinterpret_cast<const NMHDR*>(lParam)) ? TRUE : FALSE;
    case WM_TIMER: OnTimer(wParam); return TRUE;
    case WM_CLOSE: OnClose(); return TRUE;
    default: {
      INT_PTR result = FALSE;
      return OnMessage(message, wParam, lParam, result) ? result : FALSE;
    }
  }
}

bool ModalDialog::HandleCommand(int id, int code) {
  if (OnCommand(id, code)) return true;
  if (id != IDCANCEL) return false;
  EndModal(IDCANCEL);  // Cancel, Escape and the close box
  return true;
}

void ModalDialog::EndModal(INT_PTR result) { ::EndDialog(Handle(), result); }

std::string ModalDialog::ItemText(int id) const { return TextOf(Item(id)); }

void ModalDialog::SetItemText(int id, std::string_view text) { SetText(Item(id), text); }

void ModalDialog::EnableItem(int id, bool enabled) { ::EnableWindow(Item(id), enabled ? TRUE : FALSE); }

bool ModalDialog::IsChecked(int id) const { return IsButtonChecked(Item(id)); }

void ModalDialog::SetChecked(int id, bool checked) { SetButtonChecked(Item(id), checked); }

void ModalDialog::SetUpList(int id, std::initializer_list<ListColumn> columns, bool checkBoxes) {
  SetUpReportList(Item(id), columns, checkBoxes);
}

void ModalDialog::SetClientSize(int width, int height) {
  RECT frame{0, 0, width, height};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_EXSTYLE)));
  ::SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ModalDialog::PlaceItem(int id, int left, int top, int width, int height) {
  ::SetWindowPos(Item(id), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

int ModalDialog::Scaled(int value) const { return tamrisk::Scaled(value, DpiOf(Handle())); }

// The dialog manager took the template's numbers for dialog units; they are pixels at 96 DPI.
void ModalDialog::LayOutFromTemplate() {
  const TemplateGeometry geometry = ReadTemplateGeometry(template_);
  const int dpi = DpiOf(Handle());
  SetClientSize(tamrisk::Scaled(geometry.width, dpi), tamrisk::Scaled(geometry.height, dpi));
  PlaceTemplateItems(Handle(), geometry, dpi);
}

void ModalDialog::CentreOn(HWND owner) {
  RECT area{};
  if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
    ::GetWindowRect(owner, &area);
  } else {
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  RECT box{};
  ::GetWindowRect(Handle(), &box);
  const int width = box.right - box.left, height = box.bottom - box.top;
  ::SetWindowPos(Handle(), nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tamrisk
