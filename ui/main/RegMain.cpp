#include "ui/main/RegMain.h"

#include <commctrl.h>

#include <exception>
#include <stdexcept>

#include "platform/Text.h"
#include "platform/win32/Wide.h"
#include "scan/AfterScan.h"
#include "scan/ScanOutcome.h"
#include "ui/common/ChildWindow.h"
#include "ui/common/Dpi.h"
#include "ui/common/UiHandles.h"
#include "ui/common/WindowText.h"
#include "ui/common/ShownTexts.h"
#include "ui/dialogs/RegProgressHint.h"
#include "ui/main/WindowPlacement.h"
#include "ui/res/resource.h"
#include "ui/common/Language.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {

TfrmHivora* frmHivora = nullptr;

namespace {

constexpr char kProductTitle[] = "Varkon Tamrisk 1.1";

// The designed window size (pixels at 96 DPI, scaled by the window's DPI).
constexpr int kDesignedWidth = 684;
constexpr int kDesignedHeight = 520;

}  // namespace

TfrmHivora::TfrmHivora(const Platform& platform, Prompt& prompt, MainWindowStart start)
    : WindowBase(prompt),
      platform_(platform),
      start_(std::move(start)),
      instance_(::GetModuleHandleW(nullptr)),
      commands_(
          platform_, Prompts(), results_, [this] { UpdateCounts(); }, [this] { SaveSettingsNow(); }) {}

TfrmHivora::~TfrmHivora() {
  if (Handle()) ::DestroyWindow(Handle());
  if (frmHivora == this) frmHivora = nullptr;
}

void TfrmHivora::RegisterWindowClass() const {
  const std::wstring className = win32::Wide(start_.className);
  WNDCLASSEXW main{};
  main.cbSize = sizeof main;
  main.lpfnWndProc = WindowProcedure;
  main.hInstance = instance_;
  main.hIcon =
      static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TAMRISK), IMAGE_ICON, 32, 32, LR_SHARED));
  main.hIconSm =
      static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TAMRISK), IMAGE_ICON, 16, 16, LR_SHARED));
  main.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  main.lpszClassName = className.c_str();
  if (!::RegisterClassExW(&main) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw std::runtime_error("Cannot register the main window class");
  }
  Banner::RegisterWindowClass(instance_);
}

void TfrmHivora::Create(int showCommand) {
  RegisterWindowClass();
  UniqueMenu menu(LoadUiMenu(IDR_MAINMENU));
  // The window's DPI is the system's until it exists.
  const int dpi = DpiOf(nullptr);
  if (!::CreateWindowExW(0, win32::Wide(start_.className).c_str(), L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                         CW_USEDEFAULT, CW_USEDEFAULT, Scaled(kDesignedWidth, dpi), Scaled(kDesignedHeight, dpi),
                         nullptr, menu.get(), instance_, static_cast<WindowBase*>(this))) {
    throw std::runtime_error("Cannot create the main window");
  }
  menu.release();  // the window's own now, destroyed with it
  FormCreate();
  FormShow();
  ::ShowWindow(Handle(), showCommand);
  ::UpdateWindow(Handle());
  // Defaults stand in for settings that are there but could not be read: the user must know.
  if (!OptionsSetting.Unreadable.empty()) {
    const SettingsReadError unread(SettingsFilePath(platform_), OptionsSetting.Unreadable);
    ShowStandardError(Prompts(), Handle(), ShownPhrase(unread.phrase()));
  }
}

INT_PTR TfrmHivora::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (commands_.HandleFindMessage(message)) return 0;
  if (HandleSplitter(message, wParam, lParam)) return TRUE;
  switch (message) {
    case WM_CREATE:
      // A window without its controls is no use: CreateWindowEx fails.
      return ShowingErrors(Prompts(), Handle(), [this] { CreateControls(); }) ? 0 : -1;
    case WM_SIZE:
      if (statusBar_) ::SendMessageW(statusBar_, WM_SIZE, 0, 0);
      FormResize();
      return 0;
    case WM_COMMAND: HandleCommand(LOWORD(wParam)); return 0;
    case WM_NOTIFY: return HandleNotify(*reinterpret_cast<NMHDR*>(lParam));
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) == results_.Handle()) {
        commands_.ShowListMenu(lParam);
        return 0;
      }
      return ::DefWindowProcW(Handle(), message, wParam, lParam);
    case WM_INITMENUPOPUP:
      commands_.UpdateActionStates(reinterpret_cast<HMENU>(wParam));
      UpdateUndoState(reinterpret_cast<HMENU>(wParam));
      return 0;
    case WM_DRAWITEM: DrawLinkButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), fonts_); return TRUE;
    case WM_ACTIVATE:
      // The control that had the keyboard gets it back when the window is active again.
      if (LOWORD(wParam) == WA_INACTIVE) RememberFocus();
      return ::DefWindowProcW(Handle(), message, wParam, lParam);
    case WM_SETFOCUS: FocusContent(); return 0;
    case WM_DPICHANGED: ChangeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam)); return 0;
    case WM_SHOWINSTANCE: ShowInstance(); return 0;
    case WM_CLOSE: CloseWindow(); return 0;
    case WM_DESTROY: DestroyWindowParts(); return 0;
    default: return ::DefWindowProcW(Handle(), message, wParam, lParam);
  }
}

void TfrmHivora::CreateControls() {
  dpi_ = DpiOf(Handle());
  fonts_.Create(dpi_);
  const HFONT font = MainFonts::Of(fonts_.normal);
  banner_.Create(Handle(), fonts_, dpi_);
  CreateTaskControls();
  // As narrow an indent as the system allows, so more of the names fit; a caption wider than the tree
  // can still be scrolled into view.
  HWND tree = MakeChild(Handle(), WC_TREEVIEWW, "", TVS_HASLINES | TVS_SHOWSELALWAYS | WS_TABSTOP, IDC_REGISTRYTREE,
                        font, WS_EX_CLIENTEDGE);
  ::SendMessageW(tree, TVM_SETINDENT, static_cast<WPARAM>(Scaled(12, dpi_)), 0);
  tree_.Attach(tree, instance_);
  ::SetWindowSubclass(tree, TreeProcedure, 0, reinterpret_cast<DWORD_PTR>(this));

  HWND list = MakeChild(Handle(), WC_LISTVIEWW, "", LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | WS_TABSTOP,
                        IDC_REGISTRYDATA, font, WS_EX_CLIENTEDGE);
  results_.Attach(list, Prompts(), [this] { lvRegistryDataClick(); });
  commands_.SetOwner(Handle());

  reasonPane_ = MakeChild(Handle(), WC_STATICW, "", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS | SS_CENTERIMAGE,
                          IDC_REASONPANE, font);
  statusBar_ = MakeChild(Handle(), STATUSCLASSNAMEW, "", SBARS_SIZEGRIP, IDC_STATUSBAR, font);
  // The last panel reaches to the right edge, so its text is not cut at 50 pixels.
  const int edges[] = {Scaled(200, dpi_), -1};
  ::SendMessageW(statusBar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
  // The banner lies under the list, which reaches two pixels into it.
  ::SetWindowPos(banner_.Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TfrmHivora::CreateTaskControls() {
  const HFONT bold = MainFonts::Of(fonts_.bold);
  tasksLabel_ = MakeChild(Handle(), WC_STATICW, UiText(IDS_TASKS), SS_NOPREFIX, IDC_TASKS, bold);
  scanButton_ = MakeLinkButton(Handle(), UiText(IDS_LINK_SCAN), IDC_SCANREGISTRY, fonts_);
  repairButton_ = MakeLinkButton(Handle(), UiText(IDS_LINK_REPAIR), IDC_REPAIRREGISTRY, fonts_);
  restoreButton_ = MakeLinkButton(Handle(), UiText(IDS_LINK_RESTORE), IDC_RESTOREREGISTRY, fonts_);
  sectionsLabel_ = MakeChild(Handle(), WC_STATICW, UiText(IDS_SECTIONS), SS_NOPREFIX, IDC_SECTIONS, bold);
  PlaceTaskControls();
}

void TfrmHivora::DestroyWindowParts() {
  ::RemoveWindowSubclass(tree_.Handle(), TreeProcedure, 0);
  workers_.EndAll();
  if (start_.endsProgram) ::PostQuitMessage(0);
}

// The tree's presses toggle its check boxes; an error they raise is shown, never let through.
LRESULT CALLBACK TfrmHivora::TreeProcedure(HWND tree, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR data) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
      auto* self = reinterpret_cast<TfrmHivora*>(data);
      const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      bool toggled = false;
      ShowingErrors(self->Prompts(), self->Handle(), [&] { toggled = self->tvRegistryMouseDown(point); });
      if (!toggled) break;
      // A tick does not select its node: the tree would scroll sideways to show a long caption
      // whole, taking the other check boxes out of view.
      ::SetFocus(tree);
      return 0;
    }
    default: break;
  }
  return ::DefSubclassProc(tree, message, wParam, lParam);
}

LRESULT TfrmHivora::HandleNotify(NMHDR& header) {
  if (header.hwndFrom == tree_.Handle()) {
    if (header.code == TVN_GETDISPINFOW) tree_.FillDisplayInfo(reinterpret_cast<NMTVDISPINFOW&>(header));
    if (header.code == TVN_ITEMEXPANDINGW) {
      // tvRegistryCollapsing: the tree always stays expanded.
      const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
      return (change.action & TVE_COLLAPSE) ? TRUE : FALSE;
    }
    return 0;
  }
  if (header.hwndFrom == results_.Handle()) return ListNotify(header);
  // A Problem or Value column the user widened or narrowed: the key column takes up the difference.
  if (header.code == HDN_ITEMCHANGEDW && header.hwndFrom == ListView_GetHeader(results_.Handle())) {
    if (reinterpret_cast<const NMHEADERW&>(header).iItem == ResultsListView::colRegistryKey) {
      results_.KeyColumnResized();
    } else {
      FitKeyColumn();
    }
  }
  return 0;
}

void TfrmHivora::HandleCommand(int id) {
  switch (id) {
    case IDC_SCANREGISTRY: bScanRegistryClick(); break;
    case IDC_REPAIRREGISTRY: bRepairRegistryClick(); break;
    case IDC_RESTOREREGISTRY: bRestoreRegistryClick(); break;
    case IDM_UNDOREPAIR: miUndoRepairClick(); break;
    case IDM_BACKUPFULLREGISTRY: miBackupFullRegistryClick(); break;
    case IDM_WINDOWSBACKUP: miWindowsBackupClick(); break;
    case IDM_EXIT: miExitClick(); break;
    case IDM_OPTIONS: miOptionsClick(); break;
    case IDM_HELP: miHelpClick(); break;
    case IDM_HOMEPAGE: miHomePageClick(); break;
    case IDM_ABOUT: miAboutClick(); break;
    default: commands_.Run(id); break;
  }
}

// ---- Creation, showing, placement and closing ----

void TfrmHivora::FormCreate() {
  ScanCodes.reset();
  OptionsSetting.IgnoreValues.clear();
  OptionsSetting.IgnoreKeys.clear();
  RECT frame{};
  ::GetWindowRect(Handle(), &frame);
  // The settings hold the window's bounds at 96 DPI.
  const auto designed = [this](int pixels) { return ::MulDiv(pixels, kDesignDpi, dpi_); };
  const WindowMetrics metrics{designed(frame.right - frame.left), designed(frame.bottom - frame.top),
                              designed(::GetSystemMetrics(SM_CXSCREEN)), designed(::GetSystemMetrics(SM_CYSCREEN))};
  std::optional<WindowBounds> bounds = LoadOptions(platform_, metrics);
  if (bounds) bounds = ScaledBounds(*bounds, kDesignDpi, dpi_);
  PlaceWindow(Handle(), bounds);
  ApplyPaneLayout(LoadPaneLayout(platform_));
  // Until the user sets its width, the Problem column shows every problem name whole.
  if (!StoresProblemWidth()) results_.FitProblemColumn();
  SetText(Handle(), kProductTitle);
  const int version = WindowsVersionCode(platform_);
  if (version == 1 || version == 3 || version == 8) {
    ::DeleteMenu(::GetMenu(Handle()), IDM_WINDOWSBACKUP, MF_BYCOMMAND);
  }
  commands_.UpdateActionStates(::GetMenu(Handle()));
  UpdateUndoState(::GetMenu(Handle()));
}

bool TfrmHivora::StoresProblemWidth() const {
  return !platform_.ini.ReadString(SettingsFilePath(platform_), "Window", "ProblemWidth", "").empty();
}

void TfrmHivora::FormShow() {
  if (OptionsSetting.WindowState == wsMaximized) ::PostMessageW(Handle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  WalkCategoryTree(tree_.Root(), CategoryTree::kWalkRestore);
  LayoutControls();
  // The tree was filled while it had no height; start it at its top.
  ::SendMessageW(tree_.Handle(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(tree_.Root()));
  // Wine's tree also scrolls sideways to the root's caption, past its check box.
  ::SendMessageW(tree_.Handle(), WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0);
}

void TfrmHivora::FormClose() {
  ScanCodes.reset();
  WalkCategoryTree(tree_.Root(), CategoryTree::kWalkStore);
  WindowSnapshot snapshot = SnapshotOf(Handle());
  snapshot.bounds = ScaledBounds(snapshot.bounds, dpi_, kDesignDpi);
  SaveOptions(platform_, tree_.Checks(), snapshot);
  SavePaneLayout(platform_, CurrentLayout());
  OptionsSetting.IgnoreValues.clear();
  OptionsSetting.IgnoreKeys.clear();
}

void TfrmHivora::SaveSettingsNow() {
  try {
    OptionsSetting.TreeViewNodeCheck = tree_.Checks();
    SaveOptionsWithoutWindow(platform_, OptionsSetting);
  } catch (const std::exception&) {
    // The setting holds for this run all the same; the close tries to write it again.
    ShowCurrentError(Prompts(), Handle());
  }
}

void TfrmHivora::CloseWindow() {
  if (closing_) return;
  closing_ = true;
  try {
    FormClose();
  } catch (const std::exception&) {
    // The settings written so far stay; the window closes all the same, so a read-only settings
    // file cannot keep the user from ending the program.
    ShowCurrentError(Prompts(), Handle());
  }
  ::DestroyWindow(Handle());
}

void TfrmHivora::miExitClick() { ::PostMessageW(Handle(), WM_CLOSE, 0, 0); }

void TfrmHivora::ShowInstance() {
  ::ShowWindow(Handle(), SW_SHOW);
  if (::IsIconic(Handle())) ::ShowWindow(Handle(), SW_RESTORE);
  ::SetForegroundWindow(Handle());
}

// ---- The category tree ----

void TfrmHivora::WalkCategoryTree(HTREEITEM node, int mode) {
  tree_.Walk(node, mode, ScanCodes ? &*ScanCodes : nullptr);
}

bool TfrmHivora::tvRegistryMouseDown(POINT point) { return tree_.PressAt(point); }

// ---- Scan and repair ----

void TfrmHivora::bScanRegistryClick() {
  if (ScanCodes) {
    ScanCodes->clear();
  } else {
    ScanCodes.emplace();
  }
  WalkCategoryTree(tree_.Root(), CategoryTree::kWalkCollect);
  if (ScanCodes->empty()) return;
  listedCodes_ = *ScanCodes;
  workers_.ForgetCurrent();
  // The worker starts at once and walks while the list and the tree are readied for it; its rows
  // reach the list only once the progress window is up.
  TfrmRegProgressHint progress(*this, *ScanCodes);
  results_.Clear();
  tree_.StartCounts(*ScanCodes);
  outcome_ = {};
  actionNotice_.clear();
  ShowScanRunning();
  progress.ShowModal();
  // Categories a failure ended before a stop are as incomplete as those of a scan that ran through.
  const std::shared_ptr<TScanTaskThread>& worker = workers_.Current();
  outcome_ = OutcomeOfScan(*ScanCodes, progress.StartedCount(), progress.SettledCount(), progress.Stopped(),
                           worker ? worker->IncompleteCategories() : std::vector<CategoryCode>{});
  if (outcome_.stop) tree_.StopCounts(outcome_.stop->stoppedIn, outcome_.stop->notReached);
  commands_.SetScanNote(ScanOutcomeNote(outcome_));
  SettleScanRows(platform_, results_, IgnoreListsOf(platform_, OptionsSetting));
  UpdateCounts();
  FocusAfterScan();
}

}  // namespace tamrisk
