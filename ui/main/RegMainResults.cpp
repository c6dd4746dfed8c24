// The main window's side of the results list: the list's notifications, the selected row's reason
// in the status bar, and the keys the message loop hands over.
#include "ui/main/RegMain.h"

#include <commctrl.h>

#include "platform/win32/Wide.h"
#include "ui/common/WindowText.h"
#include "ui/common/ShownTexts.h"
#include "ui/res/resource.h"

namespace tamrisk {

LRESULT TfrmHivora::ListNotify(NMHDR& header) {
  switch (header.code) {
    case NM_CLICK: lvRegistryDataClick(); break;
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
      // The selection may have changed: the actions that need a selected row follow it, and so
      // does the reason shown.
      commands_.UpdateActionStates(::GetMenu(Handle()));
      ShowSelectedReason();
      break;
    default: results_.HandleNotify(header); break;
  }
  return 0;
}

void TfrmHivora::ShowSelectedReason() {
  ::SendMessageW(statusBar_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(win32::Wide(statusCounts_).c_str()));
  SetText(reasonPane_, ShownPhrase(results_.SelectedReason()));
}

bool TfrmHivora::PreTranslateMessage(MSG& message) {
  if (commands_.TranslateFindBoxMessage(message)) return true;
  // Only keys pressed in this window: other windows of the thread keep theirs.
  if (message.hwnd != Handle() && !::IsChild(Handle(), message.hwnd)) return false;
  if (MoveFocusByTab(message)) return true;
  if (!accelerators_) accelerators_ = ::LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(IDR_ACCELERATORS));
  return accelerators_ && ::TranslateAcceleratorW(Handle(), accelerators_, &message);
}

}  // namespace tamrisk
