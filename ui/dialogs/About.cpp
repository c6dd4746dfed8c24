#include "ui/dialogs/About.h"

#include "BuildInfo.h"
#include "ui/main/WindowText.h"
#include "ui/res/restore_ids.h"

namespace tamrisk {

TAboutBox::TAboutBox(Prompt& prompt) : ModalDialog(prompt, IDD_ABOUT) {}

std::string TAboutBox::VersionText() { return std::string("Version ") + TAMRISK_VERSION_TEXT; }

std::string TAboutBox::BuildText() { return std::string("Built on ") + TAMRISK_BUILD_DATE; }

bool TAboutBox::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
  switch (message) {
    case WM_INITDIALOG:
      FormCreate();
      result = TRUE;
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndModal(LOWORD(wParam));
      return true;
    case WM_CLOSE:
      EndModal(IDCANCEL);
      return true;
    default:
      return false;
  }
}

void TAboutBox::FormCreate() {
  SetText(Item(IDC_ABOUT_PRODUCT), kMessageCaption);
  SetText(Item(IDC_ABOUT_VERSION), VersionText());
  SetText(Item(IDC_ABOUT_BUILD), BuildText());
  CentreOn(::GetWindow(Handle(), GW_OWNER));
}

}  // namespace tamrisk
