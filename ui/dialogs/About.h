// TAboutBox: the product's name, its version and the date it was built.
#pragma once

#include <string>

#include "ui/dialogs/ModalDialog.h"

namespace tamrisk {

class TAboutBox final : public ModalDialog {
 public:
  explicit TAboutBox(Prompt& prompt);

  // "Version 1.1"
  static std::string VersionText();
  // "Built on 2024-05-17"
  static std::string BuildText();

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void FormCreate();
};

}  // namespace tamrisk
