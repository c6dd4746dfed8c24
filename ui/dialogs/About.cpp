#include "ui/dialogs/About.h"

#include "BuildInfo.h"
#include "ui/res/about_ids.h"
#include "ui/common/Language.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {

TAboutBox::TAboutBox(Prompt& prompt) : ModalDialog(prompt, IDD_ABOUT) {}

std::string TAboutBox::VersionText() { return UiFormat(IDS_VERSION, {TAMRISK_VERSION_TEXT}); }

std::string TAboutBox::BuildText() { return UiFormat(IDS_BUILT_ON, {TAMRISK_BUILD_DATE}); }

bool TAboutBox::OnInit() {
  FormCreate();
  return true;
}

bool TAboutBox::OnCommand(int id, int) {
  if (id != IDOK) return false;
  EndModal(IDOK);
  return true;
}

void TAboutBox::FormCreate() {
  SetItemText(IDC_ABOUT_PRODUCT, kMessageCaption);
  SetItemText(IDC_ABOUT_VERSION, VersionText());
  SetItemText(IDC_ABOUT_BUILD, BuildText());
  CentreOnOwner();
}

}  // namespace tamrisk
