#include "ui/dialogs/RegAddRegistry.h"

#include "platform/Text.h"
#include "settings/RegGlobal.h"
#include "ui/res/options_ids.h"
#include "ui/common/Language.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {

TfrmRegAddRegistry::TfrmRegAddRegistry(Prompt& prompt, const Platform& platform)
    : ModalDialog(prompt, IDD_REGADDREGISTRY), platform_(platform) {}

bool TfrmRegAddRegistry::AcceptsEntry(const std::string& text, List list) {
  if (list == List::Values) return AsciiUpper(text).find("HKEY_") != std::string::npos;
  return text.find_first_not_of(" \\") != std::string::npos;
}

std::string TfrmRegAddRegistry::HintFor(List list) {
  return UiText(list == List::Values ? IDS_ADD_HINT_VALUE : IDS_ADD_HINT_KEY);
}

bool TfrmRegAddRegistry::OnInit() {
  FormCreate();
  return true;
}

bool TfrmRegAddRegistry::OnCommand(int id, int code) {
  switch (id) {
    case IDOK:
      // Enter reaches here even while OK is greyed.
      if (aOKUpdate()) aOKExecute();
      return true;
    case IDC_ADD_LAUNCHREGEDIT: bLaunchRegeditClick(); return true;
    case IDC_ADD_REGISTRYKEY:
      if (code == EN_CHANGE) aOKUpdate();
      return true;
    default: return false;
  }
}

void TfrmRegAddRegistry::FormCreate() {
  SetItemText(IDC_ADD_REGISTRYKEY, RegistryKey);
  SetItemText(IDC_ADD_HINT, HintFor(ForList));
  aOKUpdate();
  CentreOnOwner();
}

std::string TfrmRegAddRegistry::EnteredText() const { return ItemText(IDC_ADD_REGISTRYKEY); }

bool TfrmRegAddRegistry::aOKUpdate() {
  const bool enabled = AcceptsEntry(EnteredText(), ForList);
  EnableItem(IDOK, enabled);
  return enabled;
}

void TfrmRegAddRegistry::aOKExecute() {
  RegistryKey = EnteredText();
  EndModal(IDOK);
}

void TfrmRegAddRegistry::bLaunchRegeditClick() {
  // Started plainly beside the dialog; a missing editor shows nothing.
  platform_.shell.Open(reinterpret_cast<std::uintptr_t>(Handle()), RegeditPath(platform_), "", "", SW_SHOW);
}

}  // namespace tamrisk
