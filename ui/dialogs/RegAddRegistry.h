// TfrmRegAddRegistry: edits one ignore-list entry for the options dialog. It says what the list takes
// and offers OK only for such a text: a value entry names a registry root somewhere ("HKEY_"); a key
// entry may be any part of a key path. The registry editor can be started beside it to look a key up.
#pragma once

#include <string>

#include "platform/System.h"
#include "ui/common/ModalDialog.h"

namespace tamrisk {

class TfrmRegAddRegistry final : public ModalDialog {
 public:
  TfrmRegAddRegistry(Prompt& prompt, const Platform& platform);

  enum class List { Values, Keys };

  // Filled by the caller before ShowModal; after IDOK it holds the text exactly as typed.
  std::string RegistryKey;
  // The list the entry is for.
  List ForList = List::Values;

  // Whether a text may be confirmed: for values, upper-cased it holds "HKEY_" anywhere; for keys,
  // it holds anything but blanks and backslashes (a part of a key path covers that key wherever it is).
  static bool AcceptsEntry(const std::string& text, List list);
  // What the dialog says the list takes.
  static std::string HintFor(List list);

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
