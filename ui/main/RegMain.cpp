#include "ui/main/RegMain.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
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
#include "ui/common/Language.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {

TfrmHivora* frmHivora = nullptr;

namespace {

constexpr char kProductTitle[] = "Varkon Tamrisk 1.1";

// The designed window size and the places of the controls whose left and top stay put (pixels at
// 96 DPI, scaled by the window's DPI).
constexpr int kDesignedWidth = 684;
constexpr int kDesignedHeight = 520;
constexpr int kTreeLeft = 6, kTreeTop = 192;
constexpr int kListTop = 48;
// The splitter between the tree and the list; the tree is never narrower than designed (the task
// links above it would be cut) and leaves the list at least its minimum.
constexpr int kSplitterWidth = 5;
constexpr int kMinListWidth = 300;
constexpr int kReasonPaneHeight = 20;
constexpr int kMinKeyColumnWidth = 60;
// Beside the text of the first status panel: its borders and the gap before the second.
constexpr int kStatusPanelMargin = 20;
// Column widths from a hand-edited file are kept within these.
constexpr int kMinColumnWidth = 20, kMaxColumnWidth = 2000;

// A category's name in English for a report, else in the window's language.
std::string CategoryNameIn(bool english, CategoryCode code) {
  const std::string name = CategoryName(code);
  return english ? name : ShownEngineText(IDS_CATEGORY_FIRST + static_cast<UINT>(NumberOf(code)), name);
}

void AppendNotice(std::string& text, const std::string& notice, const char* separator) {
  if (!notice.empty()) text.append(text.empty() ? "" : separator).append(notice);
}

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
    ShowStandardError(Prompts(), Handle(), SettingsReadError(SettingsFilePath(platform_), OptionsSetting.Unreadable));
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

void TfrmHivora::PlaceTaskControls() {
  PlaceScaled(tasksLabel_, {8, 58, 180, 16}, dpi_);
  PlaceScaled(scanButton_, {14, 80, 175, 20}, dpi_);
  PlaceScaled(repairButton_, {14, 102, 175, 20}, dpi_);
  PlaceScaled(restoreButton_, {14, 124, 175, 20}, dpi_);
  PlaceScaled(sectionsLabel_, {8, 172, 183, 16}, dpi_);
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
      results_.FitKeyColumn(Scaled(kMinKeyColumnWidth, dpi_));
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

void TfrmHivora::ApplyPaneLayout(const PaneLayout& layout) {
  treeWidth_ = layout.treeWidth;
  results_.SetColumnWidth(ResultsListView::colProblem,
                          Scaled(std::clamp(layout.problemWidth, kMinColumnWidth, kMaxColumnWidth), dpi_));
  results_.SetColumnWidth(ResultsListView::colValue,
                          Scaled(std::clamp(layout.valueWidth, kMinColumnWidth, kMaxColumnWidth), dpi_));
}

// Moved to a monitor of another scale, or the scale changed: everything designed is sized again for the
// new DPI, in the place the system suggests, with the splitter and columns as wide as they were.
void TfrmHivora::ChangeDpi(int dpi, const RECT& suggested) {
  const PaneLayout layout = CurrentLayout();
  dpi_ = dpi;
  MainFonts fonts;
  fonts.Create(dpi_);
  const HFONT normal = MainFonts::Of(fonts.normal), bold = MainFonts::Of(fonts.bold);
  for (HWND control : {tree_.Handle(), results_.Handle(), reasonPane_, statusBar_}) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(normal), TRUE);
  }
  for (HWND label : {tasksLabel_, sectionsLabel_})
    ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(bold), TRUE);
  for (HWND link : {scanButton_, repairButton_, restoreButton_}) {
    ::SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(MainFonts::Of(fonts.link)), TRUE);
  }
  banner_.Layout(fonts, dpi_);
  fonts_ = std::move(fonts);  // the old fonts go once nothing draws with them
  PlaceTaskControls();
  ::SendMessageW(tree_.Handle(), TVM_SETINDENT, static_cast<WPARAM>(Scaled(12, dpi_)), 0);
  ApplyPaneLayout(layout);
  ::SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  LayoutControls();
  UpdateCounts();
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

void TfrmHivora::FormResize() { LayoutControls(); }

void TfrmHivora::LayoutControls() {
  if (!statusBar_) return;
  RECT client{};
  ::GetClientRect(Handle(), &client);
  RECT status{};
  ::GetWindowRect(statusBar_, &status);
  const int statusHeight = status.bottom - status.top;
  const auto scaled = [this](int value) { return Scaled(value, dpi_); };
  const int widest = ::MulDiv(client.right, kDesignDpi, dpi_) - kTreeLeft - kSplitterWidth - kMinListWidth;
  treeWidth_ = std::max(PaneLayout{}.treeWidth, std::min(treeWidth_, widest));
  const int treeRight = scaled(kTreeLeft + treeWidth_);
  const int listLeft = scaled(kTreeLeft + treeWidth_ + kSplitterWidth);
  const int listBottom = client.bottom - statusHeight - scaled(kReasonPaneHeight);
  splitter_ = RECT{treeRight, scaled(kListTop), listLeft, client.bottom - statusHeight};
  Place(banner_.Handle(), 0, 0, client.right, scaled(kBannerHeight));
  Place(tree_.Handle(), scaled(kTreeLeft), scaled(kTreeTop), treeRight - scaled(kTreeLeft),
        client.bottom - scaled(kTreeTop) - statusHeight);
  Place(results_.Handle(), listLeft, scaled(kListTop), client.right - listLeft, listBottom - scaled(kListTop));
  Place(reasonPane_, listLeft + scaled(2), listBottom, client.right - listLeft - scaled(2), scaled(kReasonPaneHeight));
  Place(statusBar_, 0, client.bottom - statusHeight, client.right, statusHeight);
  results_.FitKeyColumn(scaled(kMinKeyColumnWidth));
  // The status bar moves its size grip, but leaves the grip's old dots over its text.
  ::InvalidateRect(statusBar_, nullptr, TRUE);
}

// ---- The keyboard ----

void TfrmHivora::RememberFocus() {
  HWND focus = ::GetFocus();
  lastFocus_ = focus && ::IsChild(Handle(), focus) ? focus : nullptr;
}

HWND TfrmHivora::DefaultFocus() const { return results_.RowCount() > 0 ? results_.Handle() : tree_.Handle(); }

void TfrmHivora::FocusContent() {
  const bool usable =
      lastFocus_ && ::IsChild(Handle(), lastFocus_) && ::IsWindowVisible(lastFocus_) && ::IsWindowEnabled(lastFocus_);
  ::SetFocus(usable ? lastFocus_ : DefaultFocus());
}

// After a scan the keys act on the rows at once: the list has the focus and its first row the
// selection (the tree when nothing was found).
void TfrmHivora::FocusAfterScan() {
  lastFocus_ = nullptr;
  if (results_.RowCount() > 0 && results_.SelectedIndex() < 0) results_.Select(0);
  if (::GetActiveWindow() == Handle()) ::SetFocus(DefaultFocus());
}

// Tab and Shift+Tab move between the window's controls, as in a dialog.
bool TfrmHivora::MoveFocusByTab(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.wParam != VK_TAB || ::GetKeyState(VK_CONTROL) < 0) return false;
  HWND focus = ::GetFocus();
  if (!focus || !::IsChild(Handle(), focus)) return false;
  if (HWND next = ::GetNextDlgTabItem(Handle(), focus, ::GetKeyState(VK_SHIFT) < 0)) ::SetFocus(next);
  return true;
}

bool TfrmHivora::OnSplitter(POINT point) const { return ::PtInRect(&splitter_, point) != FALSE; }

bool TfrmHivora::HandleSplitter(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  switch (message) {
    case WM_SETCURSOR: {
      if (reinterpret_cast<HWND>(wParam) != Handle() || LOWORD(lParam) != HTCLIENT) return false;
      POINT cursor{};
      ::GetCursorPos(&cursor);
      ::ScreenToClient(Handle(), &cursor);
      if (!dragging_ && !OnSplitter(cursor)) return false;
      ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_SIZEWE)));
      return true;
    }
    case WM_LBUTTONDOWN:
      if (!OnSplitter(point)) return false;
      dragging_ = true;
      ::SetCapture(Handle());
      return true;
    case WM_MOUSEMOVE:
      if (!dragging_) return false;
      // The middle of the splitter follows the mouse.
      treeWidth_ = ::MulDiv(point.x, kDesignDpi, dpi_) - kTreeLeft - kSplitterWidth / 2;
      LayoutControls();
      return true;
    case WM_LBUTTONUP:
      if (!dragging_) return false;
      ::ReleaseCapture();
      return true;
    case WM_CAPTURECHANGED: dragging_ = false; return false;
    default: return false;
  }
}

PaneLayout TfrmHivora::CurrentLayout() const {
  const auto designed = [this](int width) { return ::MulDiv(width, kDesignDpi, dpi_); };
  return PaneLayout{treeWidth_, designed(results_.ColumnWidth(ResultsListView::colProblem)),
                    designed(results_.ColumnWidth(ResultsListView::colValue))};
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
  } catch (const std::exception& error) {
    // The setting holds for this run all the same; the close tries to write it again.
    ShowStandardError(Prompts(), Handle(), error);
  }
}

void TfrmHivora::CloseWindow() {
  if (closing_) return;
  closing_ = true;
  try {
    FormClose();
  } catch (const std::exception& error) {
    // The settings written so far stay; the window closes all the same, so a read-only settings
    // file cannot keep the user from ending the program.
    ShowStandardError(Prompts(), Handle(), error);
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
  workers_.ForgetCurrent();
  // The worker starts at once and walks while the list and the tree are readied for it; its rows
  // reach the list only once the progress window is up.
  TfrmRegProgressHint progress(*this, *ScanCodes);
  results_.Clear();
  tree_.StartCounts(*ScanCodes);
  incomplete_.clear();
  actionNotice_.clear();
  ShowScanRunning();
  progress.ShowModal();
  // Categories a failure ended before a stop are as incomplete as those of a scan that ran through.
  if (workers_.Current()) incomplete_ = workers_.Current()->IncompleteCategories();
  stop_.reset();
  if (progress.Stopped() && progress.SettledCount() < ScanCodes->size()) {
    stop_ = StopAfter(*ScanCodes, progress.SettledCount(), progress.StartedCount() > progress.SettledCount());
    tree_.StopCounts(stop_->stoppedIn, stop_->notReached);
  }
  commands_.SetScanNote(ScanNotice(true));
  commands_.aSelectAllExecute();
  if (results_.RowCount() > 0) {
    DropDuplicateRows(results_, platform_.system.CurrentUserSid());
    ApplyIgnoreLists(results_, IgnoreListsOf(platform_, IgnoredValues(), IgnoredKeys()));
  }
  UpdateCounts();
  FocusAfterScan();
}

// The last scan's counts are gone with its rows; until the new ones are in, the bar says why.
void TfrmHivora::ShowScanRunning() {
  const std::string running = UiText(IDS_SCAN_RUNNING);
  ::SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(win32::Wide(running).c_str()));
  FitFirstStatusPanel(running);
  statusCounts_.clear();
  ShowSelectedReason();
}

// ---- The results list ----

void TfrmHivora::UpdateCounts() {
  const std::string found = UiFormat(IDS_PROBLEMS_FOUND_STATUS, {std::to_string(results_.RowCount())});
  const std::string selected = UiFormat(IDS_PROBLEMS_SELECTED, {std::to_string(results_.CheckedCount())});
  ::SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(win32::Wide(found).c_str()));
  FitFirstStatusPanel(found);
  // What the last repair or undo did comes first, where the designed width does not cut it; a scan
  // that could not finish every category must not pass for a complete one.
  statusCounts_ = actionNotice_.empty() ? selected : " " + actionNotice_ + "   " + selected;
  AppendNotice(statusCounts_, ScanNotice(false), "    ");
  ShowSelectedReason();
  tree_.ShowCounts(results_.Rows());
  // Rows may have brought the list's vertical scroll bar.
  results_.FitKeyColumn(Scaled(kMinKeyColumnWidth, dpi_));
}

void TfrmHivora::lvRegistryDataClick() { UpdateCounts(); }

// The first panel as wide as its count, so the second has the room for what a repair, a restore or a
// stopped scan did.
void TfrmHivora::FitFirstStatusPanel(const std::string& text) {
  const WindowDc dc(statusBar_);
  if (!dc.get()) return;
  const SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(statusBar_, WM_GETFONT, 0, 0)));
  const std::wstring wide = win32::Wide(text);
  SIZE extent{};
  if (!::GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &extent)) return;
  const int edges[] = {extent.cx + Scaled(kStatusPanelMargin, dpi_), -1};
  ::SendMessageW(statusBar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
}

TfrmHivora::ScanStop TfrmHivora::StopAfter(const std::vector<CategoryCode>& codes, std::size_t settled,
                                           bool inCategory) {
  ScanStop stop;
  for (std::size_t i = settled; i < codes.size(); ++i) {
    const CategoryCode code = codes[i];
    // A group has no scanner: being in it is being between categories, and it is no category left out.
    if (IsGroup(code)) continue;
    if (i == settled && inCategory) {
      stop.stoppedIn = code;
    } else {
      stop.notReached.push_back(code);
    }
  }
  return stop;
}

std::string TfrmHivora::ScanNotice(bool forReport) const {
  // A saved report stays English whatever the window speaks.
  const LANGID language = forReport ? EnglishLanguage() : UiLanguage();
  const auto say = [language](UINT id, const std::string& argument) {
    return FormatText(TextIn(language, id), {argument});
  };
  const auto names = [forReport, language](const std::vector<CategoryCode>& codes) {
    const std::string separator = TextIn(language, IDS_LIST_SEPARATOR);
    std::string text;
    for (const CategoryCode code : codes) text += (text.empty() ? "" : separator) + CategoryNameIn(forReport, code);
    return text;
  };
  std::string notice;
  if (stop_) {
    if (stop_->stoppedIn) {
      notice = say(IDS_SCAN_STOPPED_IN, CategoryNameIn(forReport, *stop_->stoppedIn));
    } else if (stop_->notReached.empty()) {
      notice = TextIn(language, IDS_SCAN_STOPPED);
    } else {
      notice = say(IDS_SCAN_STOPPED_BEFORE, CategoryNameIn(forReport, stop_->notReached.front()));
    }
    if (forReport && !stop_->notReached.empty()) notice += say(IDS_NOT_SCANNED, names(stop_->notReached));
  }
  if (!incomplete_.empty()) {
    AppendNotice(notice, say(IDS_SCAN_INCOMPLETE, names(incomplete_)), forReport ? "; " : "    ");
  }
  return notice;
}

}  // namespace tamrisk
