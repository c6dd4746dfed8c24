#include "ui/main/RegMain.h"

#include <commctrl.h>

#include <exception>
#include <stdexcept>

#include "platform/Text.h"
#include "platform/win32/Wide.h"
#include "scan/IgnoreFilter.h"
#include "scan/RegistryViews.h"
#include "ui/common/ChildWindow.h"
#include "ui/common/Dpi.h"
#include "ui/common/UiHandles.h"
#include "ui/common/WindowText.h"
#include "ui/dialogs/RegProgressHint.h"
#include "ui/main/WindowPlacement.h"
#include "ui/res/resource.h"

namespace tamrisk {

TfrmHivora* frmHivora = nullptr;

namespace {

constexpr char kProductTitle[] = "Varkon Tamrisk 1.1";

// The designed window size and the places of the controls whose left and top stay put (pixels at
// 96 DPI, scaled by the window's DPI).
constexpr int kDesignedWidth = 684;
constexpr int kDesignedHeight = 520;
constexpr int kTreeLeft = 6, kTreeTop = 192, kTreeWidth = 183;
constexpr int kListLeft = 194, kListTop = 48;
constexpr int kRegistryKeyWidth = 300, kValueWidth = 150;

bool CleanOnceRequested(const std::vector<std::string>& arguments) {
  return !arguments.empty() && EqualsNoCase(arguments.front(), "-cleanonce");
}

std::string IncompleteNotice(const std::vector<int>& codes) {
  std::string names;
  for (const int code : codes) names += (names.empty() ? "" : ", ") + TScanTaskThread::CategoryName(code);
  return names.empty() ? names : "Scan incomplete: " + names;
}

}  // namespace

TfrmHivora::TfrmHivora(const Platform& platform, Prompt& prompt, MainWindowStart start)
    : WindowBase(CleanOnceRequested(start.arguments) ? unattended_ : prompt),
      platform_(platform),
      start_(std::move(start)),
      instance_(::GetModuleHandleW(nullptr)),
      commands_(platform_, Prompts(), results_, [this] { UpdateCounts(); }) {}

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
  UniqueMenu menu(::LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_MAINMENU)));
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
  // A run started hidden, minimised without activation or by a scheduler may never be activated.
  PostCleanOnceOnce();
}

INT_PTR TfrmHivora::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (commands_.HandleFindMessage(message)) return 0;
  switch (message) {
    case WM_CREATE:
      // A window without its controls is no use: CreateWindowEx fails.
      return ShowingErrors(Prompts(), Handle(), [this] { CreateControls(); }) ? 0 : -1;
    case WM_SIZE:
      if (statusBar_) ::SendMessageW(statusBar_, WM_SIZE, 0, 0);
      FormResize();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) FormActivate();
      return ::DefWindowProcW(Handle(), message, wParam, lParam);
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
    case WM_SHOWINSTANCE: ShowInstance(); return 0;
    case WM_CLEANONCE: RunCleanOnce(); return 0;
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
  // No horizontal scroll bar, and as narrow an indent as the system allows, so more of the hives'
  // names fit the designed width.
  HWND tree = MakeChild(Handle(), WC_TREEVIEWW, "", TVS_HASLINES | TVS_SHOWSELALWAYS | TVS_NOHSCROLL | WS_TABSTOP,
                        IDC_REGISTRYTREE, font, WS_EX_CLIENTEDGE);
  ::SendMessageW(tree, TVM_SETINDENT, static_cast<WPARAM>(Scaled(12, dpi_)), 0);
  tree_.Attach(tree, instance_);
  ::SetWindowSubclass(tree, TreeProcedure, 0, reinterpret_cast<DWORD_PTR>(this));

  HWND list = MakeChild(Handle(), WC_LISTVIEWW, "", LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | WS_TABSTOP,
                        IDC_REGISTRYDATA, font, WS_EX_CLIENTEDGE);
  results_.Attach(list, Prompts(), [this] { lvRegistryDataClick(); });
  commands_.SetOwner(Handle());

  statusBar_ = MakeChild(Handle(), STATUSCLASSNAMEW, "", SBARS_SIZEGRIP, IDC_STATUSBAR, font);
  // The last panel reaches to the right edge, so its text is not cut at 50 pixels.
  const int edges[] = {Scaled(200, dpi_), -1};
  ::SendMessageW(statusBar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
  // The banner lies under the list, which reaches two pixels into it.
  ::SetWindowPos(banner_.Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TfrmHivora::CreateTaskControls() {
  const HFONT bold = MainFonts::Of(fonts_.bold);
  tasksLabel_ = MakeChild(Handle(), WC_STATICW, "Tasks", SS_NOPREFIX, IDC_TASKS, bold);
  scanButton_ = MakeLinkButton(Handle(), "Scan registry issue", IDC_SCANREGISTRY, fonts_);
  repairButton_ = MakeLinkButton(Handle(), "Repair registry issue", IDC_REPAIRREGISTRY, fonts_);
  restoreButton_ = MakeLinkButton(Handle(), "Restore previous registry ", IDC_RESTOREREGISTRY, fonts_);
  sectionsLabel_ = MakeChild(Handle(), WC_STATICW, "Select the sections to scan", SS_NOPREFIX, IDC_SECTIONS, bold);
  PlaceScaled(tasksLabel_, {8, 58, 180, 16}, dpi_);
  PlaceScaled(scanButton_, {14, 80, 175, 20}, dpi_);
  PlaceScaled(repairButton_, {14, 102, 175, 20}, dpi_);
  PlaceScaled(restoreButton_, {14, 124, 175, 20}, dpi_);
  PlaceScaled(sectionsLabel_, {8, 172, 183, 16}, dpi_);
}

void TfrmHivora::DestroyWindowParts() {
  ::RemoveWindowSubclass(tree_.Handle(), TreeProcedure, 0);
  workers_.EndAll();
  if (start_.endsProgram) ::PostQuitMessage(exitCode_);
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
      ShowingErrors(self->Prompts(), self->Handle(), [&] { self->tvRegistryMouseDown(point); });
      break;
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
  CleanOnce = false;
  ScanCodes.reset();
  OptionsSetting.IgnoreValues.clear();
  OptionsSetting.IgnoreKeys.clear();
  RECT frame{};
  ::GetWindowRect(Handle(), &frame);
  const WindowMetrics metrics{frame.right - frame.left, frame.bottom - frame.top, ::GetSystemMetrics(SM_CXSCREEN),
                              ::GetSystemMetrics(SM_CYSCREEN)};
  PlaceWindow(Handle(), LoadOptions(platform_, metrics));
  SetText(Handle(), kProductTitle);
  const int version = WindowsVersionCode(platform_);
  if (version == 1 || version == 3 || version == 8) {
    ::DeleteMenu(::GetMenu(Handle()), IDM_WINDOWSBACKUP, MF_BYCOMMAND);
  }
  commands_.UpdateActionStates(::GetMenu(Handle()));
  UpdateUndoState(::GetMenu(Handle()));
}

void TfrmHivora::FormShow() {
  if (OptionsSetting.WindowState == wsMaximized) ::PostMessageW(Handle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  WalkCategoryTree(tree_.Root(), CategoryTree::kWalkRestore);
  LayoutControls();
  // The tree was filled while it had no height; start it at its top.
  ::SendMessageW(tree_.Handle(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(tree_.Root()));
}

void TfrmHivora::FormActivate() { PostCleanOnceOnce(); }

void TfrmHivora::PostCleanOnceOnce() {
  // Once only, from the first activation or from the window's creation, whichever comes first: a
  // window activated again must not scan and repair a second time.
  if (activated_) return;
  activated_ = true;
  if (CleanOnceRequested(start_.arguments)) {
    CleanOnce = true;
    ::PostMessageW(Handle(), WM_CLEANONCE, 0, 0);
  }
}

void TfrmHivora::FormResize() { LayoutControls(); }

void TfrmHivora::LayoutControls() {
  if (!statusBar_) return;
  RECT client{};
  ::GetClientRect(Handle(), &client);
  RECT status{};
  ::GetWindowRect(statusBar_, &status);
  const int statusHeight = status.bottom - status.top;
  const auto scaled = [this](int value) { return Scaled(value, dpi_); };
  Place(banner_.Handle(), 0, 0, client.right, scaled(kBannerHeight));
  Place(tree_.Handle(), scaled(kTreeLeft), scaled(kTreeTop), scaled(kTreeWidth),
        client.bottom - scaled(kTreeTop) - statusHeight);
  Place(results_.Handle(), scaled(kListLeft), scaled(kListTop), client.right - scaled(kListLeft),
        client.bottom - scaled(kListTop) - statusHeight);
  Place(statusBar_, 0, client.bottom - statusHeight, client.right, statusHeight);
}

void TfrmHivora::FormClose() {
  ScanCodes.reset();
  WalkCategoryTree(tree_.Root(), CategoryTree::kWalkStore);
  SaveOptions(platform_, tree_.Checks(), SnapshotOf(Handle()));
  OptionsSetting.IgnoreValues.clear();
  OptionsSetting.IgnoreKeys.clear();
}

void TfrmHivora::CloseWindow() {
  if (closing_) return;
  closing_ = true;
  try {
    FormClose();
  } catch (const std::exception& error) {
    // The settings written so far stay; the window closes all the same, so a read-only settings
    // file cannot keep the user from ending the program.
    ShowStandardError(Prompts(), Handle(), error.what());
    if (CleanOnce) exitCode_ = 1;
  }
  if (CleanOnce) LogCleanOnce();
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

void TfrmHivora::tvRegistryMouseDown(POINT point) { tree_.PressAt(point); }

// ---- Scan, repair and clean-once ----

void TfrmHivora::bScanRegistryClick() {
  if (ScanCodes) {
    ScanCodes->clear();
  } else {
    ScanCodes.emplace();
  }
  WalkCategoryTree(tree_.Root(), CategoryTree::kWalkCollect);
  if (results_.RowCount() == 0) {
    results_.SetColumnWidth(ResultsListView::colRegistryKey, Scaled(kRegistryKeyWidth, dpi_));
    results_.SetColumnWidth(ResultsListView::colValue, Scaled(kValueWidth, dpi_));
  }
  if (ScanCodes->empty()) return;
  results_.Clear();
  tree_.StartCounts(*ScanCodes);
  incomplete_.clear();
  actionNotice_.clear();
  workers_.ForgetCurrent();
  {
    TfrmRegProgressHint progress(*this, *ScanCodes);
    progress.ShowModal();
  }
  if (workers_.Current() && !workers_.Current()->StopRequested()) {
    incomplete_ = workers_.Current()->IncompleteCategories();
  }
  commands_.aSelectAllExecute();
  if (results_.RowCount() > 0) {
    results_.FitColumnsToText();
    DropDuplicateRows(results_, platform_.system.CurrentUserSid());
    ApplyIgnoreLists(results_, IgnoreListsOf(platform_, IgnoredValues(), IgnoredKeys()));
  }
  UpdateCounts();
}

// ---- The results list ----

void TfrmHivora::UpdateCounts() {
  const std::string found = std::string(" ").append(std::to_string(results_.RowCount())).append(" problems found");
  const std::string selected =
      std::string(" ").append(std::to_string(results_.CheckedCount())).append(" problems selected for repairing");
  ::SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(win32::Wide(found).c_str()));
  // What the last repair or undo did comes first, where the designed width does not cut it; a scan
  // that could not finish every category must not pass for a complete one.
  statusCounts_ = actionNotice_.empty() ? selected : " " + actionNotice_ + "   " + selected;
  const std::string incomplete = IncompleteNotice(incomplete_);
  if (!incomplete.empty()) statusCounts_.append("    ").append(incomplete);
  ShowSelectedReason();
  tree_.ShowCounts(results_.Rows());
}

void TfrmHivora::lvRegistryDataClick() { UpdateCounts(); }

}  // namespace tamrisk
