// Every text of the main window and the dialogs fits its control in every language, at 96 and at
// 144 DPI: a one-line control holds its text on its line, a wrapping one within its lines; so do the
// restore's results, the status bar's counts and the problem names in their column. German and
// French run about a third longer than English, so a layout made for English cuts them off.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "platform/memory/MemoryTaskScheduler.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"
#include "ui/common/Dpi.h"
#include "ui/common/Language.h"
#include "ui/common/UiHandles.h"
#include "ui/common/WindowText.h"
#include "ui/dialogs/About.h"
#include "ui/dialogs/Options.h"
#include "ui/dialogs/RegAddRegistry.h"
#include "ui/dialogs/RegProgressHint.h"
#include "ui/dialogs/Restore.h"
#include "ui/common/ShownTexts.h"
#include "ui/res/restore_ids.h"
#include "scan/ProblemNames.h"
#include "ui/res/resource.h"
#include "ui/res/strings_ids.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

// The room a control takes beside its text: a push button's edges, a check box's box and gap, a
// group box's frame either side of its caption. Designed at 96 DPI.
constexpr int kPushButtonEdges = 8;
constexpr int kCheckBoxRoom = 20;
constexpr int kGroupBoxRoom = 16;

std::string ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, static_cast<int>(std::size(name)));
  return win32::Utf8(name);
}

// The control's font as it is at dpi: a dialog's font comes from its template at the system's DPI,
// while the DPI the test sets scales only the places, so it is scaled here by fontScale.
win32::UniqueGdiObject FontAt(HWND control, int fontScaleNumerator, int fontScaleDenominator) {
  auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
  LOGFONTW shape{};
  ::GetObjectW(font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT), sizeof(shape), &shape);
  shape.lfHeight = ::MulDiv(shape.lfHeight, fontScaleNumerator, fontScaleDenominator);
  return win32::UniqueGdiObject(::CreateFontIndirectW(&shape));
}

struct Fit {
  int dpi;
  int fontScaleNumerator;  // dialogs: dpi; the main window, whose fonts follow its DPI: 1
  int fontScaleDenominator;
};

// Says which control of window does not hold its text.
void ExpectTextsFit(HWND window, const Fit& fit, const std::string& where) {
  std::vector<HWND> children;
  ::EnumChildWindows(
      window,
      [](HWND child, LPARAM data) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) {
    const std::string text = TextOf(child);
    const std::string type = ClassOf(child);
    if (text.empty() || (type != "Static" && type != "Button")) continue;
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(child, GWL_STYLE));
    RECT client{};
    ::GetClientRect(child, &client);
    int room = 0;
    bool wraps = false;
    UINT flags = DT_CALCRECT;
    if (type == "Static") {
      const DWORD kind = style & SS_TYPEMASK;
      if (kind != SS_LEFT && kind != SS_CENTER && kind != SS_RIGHT && kind != SS_LEFTNOWORDWRAP) continue;
      wraps = kind != SS_LEFTNOWORDWRAP && (style & SS_ENDELLIPSIS) == 0;
      if (style & SS_NOPREFIX) flags |= DT_NOPREFIX;
    } else {
      switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON: room = kPushButtonEdges; break;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: room = kCheckBoxRoom; break;
        case BS_GROUPBOX: room = kGroupBoxRoom; break;
        case BS_OWNERDRAW: break;
        default: continue;
      }
    }
    const int width = client.right - Scaled(room, fit.dpi);
    const win32::UniqueGdiObject font = FontAt(child, fit.fontScaleNumerator, fit.fontScaleDenominator);
    const WindowDc dc(child);
    const SelectedObject selected(dc.get(), font.get());
    const std::wstring wide = win32::Wide(text);
    RECT needed{0, 0, width, 0};
    ::DrawTextW(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &needed,
                flags | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    const int lineHeight = wraps ? needed.bottom : 0;
    EXPECT_LE(needed.right, width) << where << ": \"" << text << "\" is " << needed.right << " wide, its control "
                                   << width;
    if (wraps) {
      EXPECT_LE(lineHeight, client.bottom)
          << where << ": \"" << text << "\" takes " << lineHeight << " pixels of height, its control " << client.bottom;
    }
  }
}

// Shows a dialog, checks it once it is up (after fill, when given, has put texts in) and closes it
// with the command given.
void CheckDialog(HWND owner, const Fit& fit, const std::string& where, int closeCommand,
                 const std::function<void()>& show, const std::function<void(HWND)>& fill = {}) {
  bool seen = false;
  ThreadTicker look([&] {
    HWND box = FindThreadWindowWhere([&](HWND window) {
      return ::IsWindowVisible(window) && ::GetWindow(window, GW_OWNER) == owner && ClassOf(window) == "#32770";
    });
    if (!box || seen) return;
    seen = true;
    if (fill) fill(box);
    ExpectTextsFit(box, fit, where);
    ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(closeCommand), 0);
  });
  show();
  EXPECT_TRUE(seen) << where << " did not come up";
}

// What the restore's result line can say, in the window's language, with a backup file's name.
std::vector<std::string> RestoreResults() {
  const std::string name = "Backup20240131235959.reg", kept = UiText(IDS_FILE_KEPT);
  return {UiFormat(IDS_RESTORED, {"12345", name, UiText(IDS_FILE_DELETED)}),
          UiFormat(IDS_RESTORED, {"12345", name, kept}),
          UiFormat(IDS_RESTORE_NOT_ENDED, {name, kept}),
          UiFormat(IDS_RESTORE_UNREADABLE, {name}),
          UiFormat(IDS_RESTORE_REFUSED, {name}),
          UiFormat(IDS_RESTORE_INCOMPLETE, {name, "123", "12345", kept})};
}

// The status bar's panels hold their texts at the window's designed size: the counts of a large
// scan, the problem names' column included.
void ExpectStatusFits(TfrmHivora& form, const std::string& where) {
  form.Results().AppendRows(std::vector<ProblemRow>(
      12345, ProblemRow{true, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Software\\A", "x", rkValueInColumn}));
  SendCommand(form.Handle(), IDM_SELECTALL);
  HWND bar = form.StatusBar();
  const WindowDc dc(bar);
  const SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(bar, WM_GETFONT, 0, 0)));
  for (int panel = 0; panel < 2; ++panel) {
    RECT box{};
    ::SendMessageW(bar, SB_GETRECT, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(&box));
    const std::wstring text = win32::Wide(PanelText(bar, panel));
    SIZE size{};
    ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    EXPECT_LE(size.cx, box.right - box.left) << where << "status panel " << panel << ": " << PanelText(bar, panel);
  }
  // The Problem column shows every problem name whole: the label's room in the first row (after
  // the check box) holds it with the control's padding.
  HWND list = form.Results().Handle();
  RECT label{};
  label.left = LVIR_LABEL;
  ::SendMessageW(list, LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&label));
  const WindowDc listDc(list);
  const SelectedObject listFont(listDc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
  for (std::size_t number = 0; number < kProblemNames.size(); ++number) {
    const ProblemId problem = static_cast<ProblemId>(number);
    const std::wstring text = win32::Wide(ShownProblem(problem));
    SIZE size{};
    ::GetTextExtentPoint32W(listDc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    EXPECT_LE(size.cx + 12, label.right - label.left) << where << ShownProblem(problem);
  }
}

TEST(LanguageFit, EveryTextFitsInEveryLanguageAtBothDpis) {
  InitControls();
  const WindowDc screen(nullptr);
  const int systemDpi = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
  for (const UiLanguageInfo& language : UiLanguages()) {
    for (const int dpi : {96, 144}) {
      const std::string at = std::string(language.code) + " at " + std::to_string(dpi) + " DPI: ";
      const Speaking speaking(language.id);
      const DpiOverride scale(dpi);
      const Fit dialogs{dpi, dpi, systemDpi};
      MemoryPlatform memory;
      memory.files.AddFolder(memory.system.ExecutableFolder());
      ScriptedPrompt prompt;
      auto form = MakeMainWindow(memory.platform, prompt);
      ExpectTextsFit(form->Handle(), Fit{dpi, 1, 1}, at + "main window");

      MemoryTaskScheduler scheduler;
      TOptionsSetting options;
      CheckDialog(form->Handle(), dialogs, at + "Options", IDCANCEL, [&] {
        TfrmOptions dialog(prompt, memory.platform, options, &scheduler);
        dialog.ShowModal(form->Handle());
      });
      for (const auto list : {TfrmRegAddRegistry::List::Values, TfrmRegAddRegistry::List::Keys}) {
        CheckDialog(form->Handle(), dialogs, at + "ignore-list entry", IDCANCEL, [&] {
          TfrmRegAddRegistry dialog(prompt, memory.platform);
          dialog.ForList = list;
          dialog.ShowModal(form->Handle());
        });
      }
      // The restore's result line with each of its results, naming a backup file.
      for (const std::string& result : RestoreResults()) {
        CheckDialog(
            form->Handle(), dialogs, at + "restore", IDCANCEL,
            [&] {
              TfrmRestore dialog(memory.platform, prompt, [](const std::string&, const std::string&) { return false; });
              dialog.ShowModal(form->Handle());
            },
            [&](HWND box) { SetText(::GetDlgItem(box, IDC_RESTORE_STATUS), result); });
      }
      ExpectStatusFits(*form, at);
      CheckDialog(form->Handle(), dialogs, at + "About", IDOK, [&] { TAboutBox(prompt).ShowModal(form->Handle()); });
      {
        // A scan of no category ends at once; its window is checked as soon as it is laid out.
        bool seen = false;
        const DialogInitWatch look([&](HWND box) {
          if (::GetWindow(box, GW_OWNER) != form->Handle()) return;
          seen = true;
          ExpectTextsFit(box, dialogs, at + "scan progress");
        });
        TfrmRegProgressHint progress(*form, {});
        progress.ShowModal();
        form->WaitForScanWorker(5000);
        EXPECT_TRUE(seen) << at << "scan progress did not come up";
      }
      CheckDialog(form->Handle(), dialogs, at + "backup progress", IDC_STOP,
                  [&] { form->RunCommandWithHint("Regedit /e \"C:\\all.reg\"", UiText(IDS_BACKING_UP_REGISTRY)); });
    }
  }
}

}  // namespace
}  // namespace tamrisk::test
