// TAboutBox: the product's name, its version and the date it was built.
#pragma once

#include <string>

#include "ui/common/ModalDialog.h"

namespace tamrisk {

class TAboutBox final : public ModalDialog {
 public:
  explicit TAboutBox(Prompt& prompt);

  // "Version 1.1"
  static std::string VersionText();
  // "Built on 2024-05-17"
  static std::string BuildText();

 private:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  void FormCreate();
};

}  // namespace tamrisk
