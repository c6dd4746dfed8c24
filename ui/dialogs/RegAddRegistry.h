// TfrmRegAddRegistry: edits one ignore-list entry for the options dialog. OK is offered only for a
// text that names a registry root somewhere ("HKEY_"); the registry editor can be started beside it
// to look a key up.
#pragma once

#include <string>

#include "platform/System.h"
#include "ui/common/ModalDialog.h"

namespace tamrisk {

class TfrmRegAddRegistry final : public ModalDialog {
 public:
  TfrmRegAddRegistry(Prompt& prompt, const Platform& platform);

  // Filled by the caller before ShowModal; after IDOK it holds the text exactly as typed.
  std::string RegistryKey;

  // Whether a text may be confirmed: upper-cased, it holds "HKEY_" anywhere.
  static bool AcceptsEntry(const std::string& text);

  // Enables aOK (bOK) by the text of eRegistryKey; the answer is the new state.
  bool aOKUpdate();
  void aOKExecute();
  void bLaunchRegeditClick();

 private:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  void FormCreate();
  std::string EnteredText() const;

  Platform platform_;
};

}  // namespace tamrisk
