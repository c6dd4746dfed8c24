#include "ui/main/RegMain.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <stdexcept>
#include <thread>

#include "platform/Text.h"
#include "platform/win32/Wide.h"
#include "repair/Repair.h"
#include "unattended/Report.h"
#include "scan/IgnoreFilter.h"
#include "settings/Schedule.h"
#include "ui/dialogs/About.h"
#include "ui/dialogs/BackupHint.h"
#include "ui/dialogs/Options.h"
#include "ui/dialogs/RegProgressHint.h"
#include "ui/dialogs/Restore.h"
#include "ui/main/WindowText.h"
#include "ui/res/resource.h"

namespace tamrisk {

TfrmHivora* frmHivora = nullptr;

namespace {

constexpr wchar_t kBannerClass[] = L"TamriskBanner";
constexpr char kProductTitle[] = "Varkon Tamrisk 1.1";

// The designed window size and the places of the controls whose left and top stay put.
constexpr int kDesignedWidth = 684;
constexpr int kDesignedHeight = 520;
constexpr int kBannerHeight = 50;
constexpr int kTreeLeft = 6, kTreeTop = 192, kTreeWidth = 183;
constexpr int kListLeft = 194, kListTop = 48;

constexpr COLORREF kLinkColour = RGB(0, 84, 166);
constexpr COLORREF kLinkPressedColour = RGB(0, 48, 110);

// Stored states of a walk's visited node; mode numbers of WalkCategoryTree.
constexpr int kWalkCollect = -1;
constexpr int kWalkStore = 99;
constexpr int kWalkRestore = 100;

// The banner: a blue band with the program's icon; its labels are its children and draw on it.
LRESULT CALLBACK BannerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = ::BeginPaint(window, &paint);
      RECT client{};
      ::GetClientRect(window, &client);
      const int height = client.bottom > 0 ? client.bottom : 1;
      for (int y = 0; y < client.bottom; ++y) {
        // From a deep blue at the top to a lighter one at the bottom.
        const int r = 20 + 30 * y / height, g = 70 + 60 * y / height, b = 140 + 70 * y / height;
        win32::UniqueGdiObject brush(::CreateSolidBrush(RGB(r, g, b)));
        RECT line{client.left, y, client.right, y + 1};
        ::FillRect(dc, &line, static_cast<HBRUSH>(brush.get()));
      }
      if (HICON icon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TAMRISK),
                                                       IMAGE_ICON, 32, 32, LR_SHARED))) {
        ::DrawIconEx(dc, 12, (kBannerHeight - 32) / 2, icon, 32, 32, 0, nullptr, DI_NORMAL);
      }
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetBkMode(dc, TRANSPARENT);
      ::SetTextColor(dc, RGB(255, 255, 255));
      return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    }
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

void RegisterBannerClass(HINSTANCE instance) {
  WNDCLASSEXW banner{};
  banner.cbSize = sizeof banner;
  banner.lpfnWndProc = BannerProcedure;
  banner.hInstance = instance;
  banner.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  banner.lpszClassName = kBannerClass;
  ::RegisterClassExW(&banner);  // a second window of the process finds it registered already
}

HWND MakeChild(HWND parent, const wchar_t* className, const std::string& text, DWORD style, int id, HFONT font,
               DWORD exStyle = 0) {
  HWND child = ::CreateWindowExW(exStyle, className, win32::Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0,
                                 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 ::GetModuleHandleW(nullptr), nullptr);
  if (!child) throw std::runtime_error("Cannot create the control " + win32::Utf8(className));
  if (font) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return child;
}

void Place(HWND control, int left, int top, int width, int height) {
  ::SetWindowPos(control, nullptr, left, top, width > 0 ? width : 0, height > 0 ? height : 0,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string TextUpToLastBackslash(const std::string& text) {
  const std::size_t cut = text.rfind('\\');
  return cut == std::string::npos ? std::string() : text.substr(0, cut);
}

// Destroys a menu loaded for one pop-up.
struct MenuOwner {
  HMENU menu;
  ~MenuOwner() {
    if (menu) ::DestroyMenu(menu);
  }
};

}  // namespace

std::string RegeditKeyText(const ProblemRow& row) {
  switch (row.kind) {
    case rkKey:
    case rkValueInColumn:
    case rkDefaultValue:
      return row.registryKey;
    case rkValueInPath:
      return TextUpToLastBackslash(row.registryKey);
    case rkSubkeyInColumn:
      return row.registryKey + "\\" + row.value;
    case rkShortcutFile:
      break;
  }
  return {};
}

namespace {

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
    : platform_(platform),
      prompt_(CleanOnceRequested(start.arguments) ? unattended_ : prompt),
      start_(std::move(start)),
      instance_(::GetModuleHandleW(nullptr)) {}

TfrmHivora::~TfrmHivora() {
  if (window_) ::DestroyWindow(window_);
  if (frmHivora == this) frmHivora = nullptr;
}

void TfrmHivora::RegisterWindowClass() const {
  const std::wstring className = win32::Wide(start_.className);
  WNDCLASSEXW main{};
  main.cbSize = sizeof main;
  main.lpfnWndProc = WindowProcedure;
  main.hInstance = instance_;
  main.hIcon = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TAMRISK), IMAGE_ICON, 32, 32, LR_SHARED));
  main.hIconSm = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TAMRISK), IMAGE_ICON, 16, 16, LR_SHARED));
  main.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  main.lpszClassName = className.c_str();
  if (!::RegisterClassExW(&main) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw std::runtime_error("Cannot register the main window class");
  }
  RegisterBannerClass(instance_);
}

void TfrmHivora::Create(int showCommand) {
  RegisterWindowClass();
  HMENU menu = ::LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_MAINMENU));
  window_ = ::CreateWindowExW(0, win32::Wide(start_.className).c_str(), L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                              CW_USEDEFAULT, CW_USEDEFAULT, kDesignedWidth, kDesignedHeight, nullptr, menu, instance_,
                              this);
  if (!window_) {
    if (menu) ::DestroyMenu(menu);
    throw std::runtime_error("Cannot create the main window");
  }
  FormCreate();
  FormShow();
  ::ShowWindow(window_, showCommand);
  ::UpdateWindow(window_);
  // A run started hidden, minimised without activation or by a scheduler may never be activated.
  PostCleanOnceOnce();
}

LRESULT CALLBACK TfrmHivora::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TfrmHivora*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<TfrmHivora*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
  LRESULT result = 0;
  try {
    result = self->HandleMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    ShowStandardError(self->prompt_, window, error.what());
  } catch (...) {
    ShowStandardError(self->prompt_, window, "Unexpected error.");
  }
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
  }
  return result;
}

LRESULT TfrmHivora::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      try {
        CreateFonts();
        CreateControls();
      } catch (const std::exception& error) {
        ShowStandardError(prompt_, window_, error.what());
        return -1;  // CreateWindowEx fails
      }
      return 0;
    case WM_SIZE:
      if (statusBar_) ::SendMessageW(statusBar_, WM_SIZE, 0, 0);
      FormResize();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) FormActivate();
      return ::DefWindowProcW(window_, message, wParam, lParam);
    case WM_COMMAND:
      HandleCommand(LOWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return HandleNotify(*reinterpret_cast<NMHDR*>(lParam));
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) == results_.Handle()) {
        ShowListMenu(lParam);
        return 0;
      }
      return ::DefWindowProcW(window_, message, wParam, lParam);
    case WM_INITMENUPOPUP:
      UpdateActionStates(reinterpret_cast<HMENU>(wParam));
      return 0;
    case WM_DRAWITEM:
      DrawLinkButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_SHOWINSTANCE:
      ShowInstance();
      return 0;
    case WM_CLEANONCE:
      RunCleanOnce();
      return 0;
    case WM_CLOSE:
      CloseWindow();
      return 0;
    case WM_DESTROY:
      ::RemoveWindowSubclass(tree_.Handle(), TreeProcedure, 0);
      EndScanWorkers();
      if (start_.endsProgram) ::PostQuitMessage(exitCode_);
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

void TfrmHivora::CreateFonts() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW base{};
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    base = metrics.lfMessageFont;
  } else {
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof base, &base);
  }
  font_.reset(::CreateFontIndirectW(&base));
  LOGFONTW bold = base;
  bold.lfWeight = FW_BOLD;
  boldFont_.reset(::CreateFontIndirectW(&bold));
  LOGFONTW title = bold;
  title.lfHeight = -20;
  titleFont_.reset(::CreateFontIndirectW(&title));
  LOGFONTW link = base;
  link.lfUnderline = TRUE;
  linkFont_.reset(::CreateFontIndirectW(&link));
}

void TfrmHivora::CreateControls() {
  const auto font = static_cast<HFONT>(font_.get());
  const auto bold = static_cast<HFONT>(boldFont_.get());
  banner_ = MakeChild(window_, kBannerClass, "", WS_CLIPSIBLINGS, IDC_BANNER, nullptr);
  title_ = MakeChild(banner_, WC_STATICW, "Tamrisk", SS_NOPREFIX, IDC_TITLE, static_cast<HFONT>(titleFont_.get()));
  titleHint_ = MakeChild(banner_, WC_STATICW, "Scan and repair your registry to improve PC performance", SS_NOPREFIX,
                         IDC_TITLEHINT, font);
  Place(title_, 54, 5, 400, 24);
  Place(titleHint_, 56, 29, 560, 16);

  tasksLabel_ = MakeChild(window_, WC_STATICW, "Tasks", SS_NOPREFIX, IDC_TASKS, bold);
  scanButton_ = MakeChild(window_, WC_BUTTONW, "Scan registry issue", BS_OWNERDRAW | WS_TABSTOP, IDC_SCANREGISTRY,
                          static_cast<HFONT>(linkFont_.get()));
  repairButton_ = MakeChild(window_, WC_BUTTONW, "Repair registry issue", BS_OWNERDRAW | WS_TABSTOP,
                            IDC_REPAIRREGISTRY, static_cast<HFONT>(linkFont_.get()));
  restoreButton_ = MakeChild(window_, WC_BUTTONW, "Restore previous registry ", BS_OWNERDRAW | WS_TABSTOP,
                             IDC_RESTOREREGISTRY, static_cast<HFONT>(linkFont_.get()));
  sectionsLabel_ = MakeChild(window_, WC_STATICW, "Select the sections to scan", SS_NOPREFIX, IDC_SECTIONS, bold);
  Place(tasksLabel_, 8, 58, 180, 16);
  Place(scanButton_, 14, 80, 175, 20);
  Place(repairButton_, 14, 102, 175, 20);
  Place(restoreButton_, 14, 124, 175, 20);
  Place(sectionsLabel_, 8, 172, 183, 16);

  // No horizontal scroll bar, and as narrow an indent as the system allows, so more of the hives'
  // names fit the designed width.
  HWND tree = MakeChild(window_, WC_TREEVIEWW, "", TVS_HASLINES | TVS_SHOWSELALWAYS | TVS_NOHSCROLL | WS_TABSTOP,
                        IDC_REGISTRYTREE, font, WS_EX_CLIENTEDGE);
  ::SendMessageW(tree, TVM_SETINDENT, 12, 0);
  tree_.Attach(tree, instance_);
  ::SetWindowSubclass(tree, TreeProcedure, 0, reinterpret_cast<DWORD_PTR>(this));

  HWND list = MakeChild(window_, WC_LISTVIEWW, "",
                        LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP, IDC_REGISTRYDATA,
                        font, WS_EX_CLIENTEDGE);
  results_.Attach(list, [this] { lvRegistryDataClick(); });

  statusBar_ = MakeChild(window_, STATUSCLASSNAMEW, "", SBARS_SIZEGRIP, IDC_STATUSBAR, font);
  // The last panel reaches to the right edge, so its text is not cut at 50 pixels.
  const int edges[] = {200, -1};
  ::SendMessageW(statusBar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
  // The banner lies under the list, which reaches two pixels into it.
  ::SetWindowPos(banner_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

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
      try {
        self->tvRegistryMouseDown(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      } catch (const std::exception& error) {
        ShowStandardError(self->prompt_, self->window_, error.what());
      }
      break;
    }
    default:
      break;
  }
  return ::DefSubclassProc(tree, message, wParam, lParam);
}

LRESULT TfrmHivora::HandleNotify(NMHDR& header) {
  if (header.hwndFrom == tree_.Handle()) {
    if (header.code == TVN_ITEMEXPANDINGW) {
      // tvRegistryCollapsing: the tree always stays expanded.
      const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
      return (change.action & TVE_COLLAPSE) ? TRUE : FALSE;
    }
    return 0;
  }
  if (header.hwndFrom == results_.Handle()) {
    switch (header.code) {
      case LVN_GETDISPINFOW:
        results_.FillDisplayInfo(reinterpret_cast<NMLVDISPINFOW&>(header));
        break;
      case NM_CLICK:
        lvRegistryDataClick();
        break;
      case LVN_ITEMCHANGED:
      case LVN_ODSTATECHANGED:
        // The selection may have changed: the actions that need a selected row follow it.
        UpdateActionStates(::GetMenu(window_));
        break;
      default:
        break;
    }
  }
  return 0;
}

void TfrmHivora::HandleCommand(int id) {
  switch (id) {
    case IDC_SCANREGISTRY: bScanRegistryClick(); break;
    case IDC_REPAIRREGISTRY: bRepairRegistryClick(); break;
    case IDC_RESTOREREGISTRY: bRestoreRegistryClick(); break;
    case IDM_BACKUPFULLREGISTRY: miBackupFullRegistryClick(); break;
    case IDM_WINDOWSBACKUP: miWindowsBackupClick(); break;
    case IDM_EXIT: miExitClick(); break;
    case IDM_OPTIONS: miOptionsClick(); break;
    case IDM_HELP: miHelpClick(); break;
    case IDM_HOMEPAGE: miHomePageClick(); break;
    case IDM_ABOUT: miAboutClick(); break;
    case IDM_SELECTALL: aSelectAllExecute(); break;
    case IDM_SELECTNONE: aSelectNoneExecute(); break;
    // A disabled action does not run, whatever sends its command.
    case IDM_SELECTALLTYPE:
      if (aSelectAllTypeUpdate()) aSelectAllTypeExecute();
      break;
    case IDM_SELECTNONETYPE:
      if (aSelectAllTypeUpdate()) aSelectNoneTypeExecute();
      break;
    case IDM_OPENREGEDIT:
      if (aOpenRegeditUpdate()) aOpenRegeditExecute();
      break;
    case IDM_IGNOREVALUE:
      if (aIgnoreValueUpdate()) aIgnoreValueExecute();
      break;
    case IDM_IGNOREKEY:
      if (aIgnoreKeyUpdate()) aIgnoreKeyExecute();
      break;
    case IDM_SAVERESULTS: miSaveResultsClick(); break;
    default:
      break;
  }
}

// ---- Creation, showing, placement and closing ----

void TfrmHivora::FormCreate() {
  CleanOnce = false;
  ScanCodes.reset();
  OptionsSetting.IgnoreValues.clear();
  OptionsSetting.IgnoreKeys.clear();
  RECT frame{};
  ::GetWindowRect(window_, &frame);
  const WindowMetrics metrics{frame.right - frame.left, frame.bottom - frame.top, ::GetSystemMetrics(SM_CXSCREEN),
                              ::GetSystemMetrics(SM_CYSCREEN)};
  PlaceWindow(LoadOptions(platform_, metrics));
  SetText(window_, kProductTitle);
  const int version = WindowsVersionCode(platform_);
  if (version == 1 || version == 3 || version == 8) {
    ::DeleteMenu(::GetMenu(window_), IDM_WINDOWSBACKUP, MF_BYCOMMAND);
  }
  UpdateActionStates(::GetMenu(window_));
}

void TfrmHivora::PlaceWindow(const std::optional<WindowBounds>& bounds) {
  if (!bounds) {
    // Kept at the designed size, centred, and maximized once shown.
    RECT frame{};
    ::GetWindowRect(window_, &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    ::SetWindowPos(window_, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  WindowBounds placed = *bounds;
  const RECT wanted{placed.left, placed.top, placed.left + placed.width, placed.top + placed.height};
  if (!::MonitorFromRect(&wanted, MONITOR_DEFAULTTONULL)) {
    // Bounds wholly off every monitor (one since removed, or a minimised window's) would open the
    // window where nobody can reach it: centre it on the primary monitor instead, at its size.
    MONITORINFO primary{};
    primary.cbSize = sizeof primary;
    ::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary);
    const RECT& area = primary.rcMonitor;
    placed.left = area.left + (area.right - area.left - placed.width) / 2;
    placed.top = area.top + (area.bottom - area.top - placed.height) / 2;
  }
  ::SetWindowPos(window_, nullptr, placed.left, placed.top, placed.width, placed.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmHivora::FormShow() {
  if (OptionsSetting.WindowState == wsMaximized) ::PostMessageW(window_, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  WalkCategoryTree(tree_.Root(), kWalkRestore);
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
    ::PostMessageW(window_, WM_CLEANONCE, 0, 0);
  }
}

void TfrmHivora::FormResize() { LayoutControls(); }

void TfrmHivora::LayoutControls() {
  if (!statusBar_) return;
  RECT client{};
  ::GetClientRect(window_, &client);
  RECT status{};
  ::GetWindowRect(statusBar_, &status);
  const int statusHeight = status.bottom - status.top;
  Place(banner_, 0, 0, client.right, kBannerHeight);
  Place(tree_.Handle(), kTreeLeft, kTreeTop, kTreeWidth, client.bottom - kTreeTop - statusHeight);
  Place(results_.Handle(), kListLeft, kListTop, client.right - kListLeft, client.bottom - kListTop - statusHeight);
  Place(statusBar_, 0, client.bottom - statusHeight, client.right, statusHeight);
}

WindowSnapshot TfrmHivora::Snapshot() const {
  WindowSnapshot snapshot;
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  const bool placed = ::GetWindowPlacement(window_, &placement) != 0;
  if (placed) snapshot.showCommand = static_cast<int>(placement.showCmd);
  RECT frame{};
  if (placed && ::IsIconic(window_)) {
    // A minimised window's rectangle is its icon, far off screen; keep the bounds it returns to.
    // Those are in work-area coordinates.
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    frame = placement.rcNormalPosition;
    ::OffsetRect(&frame, work.left, work.top);
  } else {
    ::GetWindowRect(window_, &frame);
  }
  snapshot.bounds = {frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top};
  return snapshot;
}

void TfrmHivora::FormClose() {
  ScanCodes.reset();
  WalkCategoryTree(tree_.Root(), kWalkStore);
  SaveOptions(platform_, tree_.Checks(), Snapshot());
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
    ShowStandardError(prompt_, window_, error.what());
    if (CleanOnce) exitCode_ = 1;
  }
  if (CleanOnce) LogCleanOnce();
  ::DestroyWindow(window_);
}

void TfrmHivora::miExitClick() { ::PostMessageW(window_, WM_CLOSE, 0, 0); }

void TfrmHivora::ShowInstance() {
  ::ShowWindow(window_, SW_SHOW);
  if (::IsIconic(window_)) ::ShowWindow(window_, SW_RESTORE);
  ::SetForegroundWindow(window_);
}

void TfrmHivora::NoteScanWorker(const std::shared_ptr<TScanTaskThread>& worker) {
  std::erase_if(workers_, [](const std::shared_ptr<TScanTaskThread>& each) { return each->Ended(); });
  workers_.push_back(worker);
  scanWorker_ = worker;
}

bool TfrmHivora::WaitForScanWorker(DWORD timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (const std::shared_ptr<TScanTaskThread>& worker : workers_) {
    while (!worker->Ended()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  return true;
}

void TfrmHivora::EndScanWorkers() {
  for (const std::shared_ptr<TScanTaskThread>& worker : workers_) worker->RequestStop();
  while (!WaitForScanWorker(1000)) {
  }
  workers_.clear();
  scanWorker_.reset();
}

// ---- The category tree ----

void TfrmHivora::WalkCategoryTree(HTREEITEM node, int mode) {
  tree_.ForEachFrom(node, [&](HTREEITEM each) {
    const int code = tree_.CodeOf(each);
    const bool stored = code >= TNodeChecks::First && code <= TNodeChecks::Last;
    switch (mode) {
      case kWalkCollect:
        if (tree_.StateOf(each) == CategoryTree::kChecked && ScanCodes) ScanCodes->push_back(std::to_string(code));
        break;
      case CategoryTree::kUnchecked:
      case CategoryTree::kChecked:
        tree_.SetState(each, mode);
        break;
      case kWalkStore:
        if (stored) OptionsSetting.TreeViewNodeCheck[code] = tree_.StateOf(each) == CategoryTree::kChecked;
        break;
      case kWalkRestore:
        if (stored) {
          tree_.SetState(each, OptionsSetting.TreeViewNodeCheck[code] ? CategoryTree::kChecked
                                                                      : CategoryTree::kUnchecked);
        }
        break;
      default:
        break;
    }
  });
}

void TfrmHivora::tvRegistryMouseDown(POINT point) { tree_.PressAt(point); }

// ---- Scan, repair and clean-once ----

void TfrmHivora::bScanRegistryClick() {
  if (ScanCodes) {
    ScanCodes->clear();
  } else {
    ScanCodes.emplace();
  }
  WalkCategoryTree(tree_.Root(), kWalkCollect);
  if (results_.RowCount() == 0) {
    results_.SetColumnWidth(ResultsListView::colRegistryKey, 300);
    results_.SetColumnWidth(ResultsListView::colValue, 150);
  }
  if (ScanCodes->empty()) return;
  results_.Clear();
  incomplete_.clear();
  scanWorker_.reset();
  {
    TfrmRegProgressHint progress(*this, *ScanCodes);
    progress.ShowModal();
  }
  if (scanWorker_ && !scanWorker_->StopRequested()) incomplete_ = scanWorker_->IncompleteCategories();
  aSelectAllExecute();
  if (results_.RowCount() > 0) {
    results_.FitColumnsToText();
    ApplyIgnoreLists(results_, IgnoreListsOf(platform_, IgnoredValues(), IgnoredKeys()));
  }
  UpdateCounts();
}

void TfrmHivora::bRepairRegistryClick() {
  const auto askYesNo = [this](const std::string& question) {
    return prompt_.Message(window_, question, kMessageCaption, MB_YESNO | MB_ICONINFORMATION) == IDYES;
  };
  if (!EnsureBackupFolder(platform_, OptionsSetting.OutputDirectory, askYesNo)) return;
  if (results_.RowCount() == 0) return;
  BackupFileName = NewBackupFileName(platform_, OptionsSetting.OutputDirectory);
  RepairRows(platform_, results_, BackupFileName);
  UpdateCounts();
}

void TfrmHivora::RunCleanOnce() {
  try {
    ::ShowWindow(window_, SW_HIDE);
    bScanRegistryClick();
    cleanOnceLog_.categories = ScanCodes.value_or(std::vector<std::string>{});
    cleanOnceLog_.found = results_.RowCount();
    bRepairRegistryClick();
    if (!incomplete_.empty()) exitCode_ = 2;
  } catch (const std::exception& error) {
    // Nobody watches a clean-once run: the error goes to the log, and the run ends with a failure
    // code instead of staying alive hidden.
    ShowStandardError(prompt_, window_, error.what());
    exitCode_ = 1;
  }
  // A repair that failed part-way has still removed the rows below the one it failed at.
  cleanOnceLog_.kept = std::min(results_.RowCount(), cleanOnceLog_.found);
  cleanOnceLog_.repaired = cleanOnceLog_.found - cleanOnceLog_.kept;
  CloseWindow();
}

void TfrmHivora::LogCleanOnce() {
  cleanOnceLog_.mode = "-cleanonce";
  cleanOnceLog_.scheduled = IsScheduledRun(start_.arguments);
  if (!BackupFileName.empty() && platform_.files.PathIsFile(BackupFileName)) cleanOnceLog_.backupFile = BackupFileName;
  for (const int code : incomplete_) cleanOnceLog_.incomplete.push_back(TScanTaskThread::CategoryName(code));
  cleanOnceLog_.exitCode = exitCode_;
  cleanOnceLog_.error = unattended_.Errors();
  AppendRunLog(platform_, cleanOnceLog_);
}

// ---- The results list ----

void TfrmHivora::UpdateCounts() {
  const std::string found = std::string(" ").append(std::to_string(results_.RowCount())).append(" problems found");
  const std::string selected =
      std::string(" ").append(std::to_string(results_.CheckedCount())).append(" problems selected for repairing");
  ::SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(win32::Wide(found).c_str()));
  // A scan that could not finish every category must not pass for a complete one.
  const std::string notice = IncompleteNotice(incomplete_);
  const std::string second = notice.empty() ? selected : selected + "    " + notice;
  ::SendMessageW(statusBar_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(win32::Wide(second).c_str()));
}

void TfrmHivora::lvRegistryDataClick() { UpdateCounts(); }

void TfrmHivora::aSelectAllExecute() {
  results_.SetAllChecked(true);
  UpdateCounts();
}

void TfrmHivora::aSelectNoneExecute() {
  results_.SetAllChecked(false);
  UpdateCounts();
}

void TfrmHivora::CheckRowsOfSelectedType(bool checked) {
  const int selected = results_.SelectedIndex();
  if (selected < 0) return;
  const std::string problem = results_.ProblemText(static_cast<std::size_t>(selected));
  const std::size_t count = results_.RowCount();
  for (std::size_t i = 0; i < count; ++i) {
    if (results_.ProblemText(i) == problem) results_.SetChecked(i, checked);
  }
  UpdateCounts();
}

void TfrmHivora::aSelectAllTypeExecute() { CheckRowsOfSelectedType(true); }

void TfrmHivora::aSelectNoneTypeExecute() { CheckRowsOfSelectedType(false); }

bool TfrmHivora::aSelectAllTypeUpdate() const { return results_.SelectedIndex() >= 0; }

bool TfrmHivora::aOpenRegeditUpdate() const {
  const int selected = results_.SelectedIndex();
  return selected >= 0 && results_.KindOf(static_cast<std::size_t>(selected)) != rkShortcutFile;
}

void TfrmHivora::aOpenRegeditExecute() {
  const int selected = results_.SelectedIndex();
  if (selected < 0) return;
  WriteUserRegistryText(platform_, kRegeditKey, "LastKey",
                        RegeditKeyText(results_.Row(static_cast<std::size_t>(selected))));
  platform_.shell.Open(reinterpret_cast<std::uintptr_t>(window_), RegeditPath(platform_), "-m", "", SW_SHOW);
}

bool TfrmHivora::aIgnoreValueUpdate() const {
  const int selected = results_.SelectedIndex();
  return selected >= 0 && IgnoreValueEntryOf(results_.Row(static_cast<std::size_t>(selected))).has_value();
}

bool TfrmHivora::aIgnoreKeyUpdate() const {
  const int selected = results_.SelectedIndex();
  return selected >= 0 && IgnoreKeyEntryOf(results_.Row(static_cast<std::size_t>(selected))).has_value();
}

void TfrmHivora::aIgnoreValueExecute() {
  const int selected = results_.SelectedIndex();
  if (selected < 0) return;
  const std::optional<std::string> entry = IgnoreValueEntryOf(results_.Row(static_cast<std::size_t>(selected)));
  if (!entry) return;
  AddIgnoreValue(OptionsSetting, *entry);
  DropIgnoredRows();
}

void TfrmHivora::aIgnoreKeyExecute() {
  const int selected = results_.SelectedIndex();
  if (selected < 0) return;
  const std::optional<std::string> entry = IgnoreKeyEntryOf(results_.Row(static_cast<std::size_t>(selected)));
  if (!entry) return;
  AddIgnoreKey(OptionsSetting, *entry);
  DropIgnoredRows();
}

// The enlarged lists take out every row they now cover, as after a scan.
void TfrmHivora::DropIgnoredRows() {
  ApplyIgnoreLists(results_, IgnoreListsOf(platform_, IgnoredValues(), IgnoredKeys()));
  UpdateCounts();
  UpdateActionStates(::GetMenu(window_));
}

void TfrmHivora::miSaveResultsClick() {
  const std::optional<std::string> chosen =
      prompt_.SaveFileName(window_, "Save Results", "Comma-separated values (*.csv)|*.CSV");
  if (!chosen) return;
  std::string file = *chosen;
  if (!EndsWithNoCase(file, ".csv")) file += ".csv";
  // The file dialog does not ask; an existing file is replaced only on the user's word.
  if (platform_.files.PathIsFile(file) &&
      prompt_.Message(window_, file + " already exists. Do you want to replace it?", kMessageCaption,
                      MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
    return;
  }
  std::string error;
  if (!WriteReport(platform_, file, results_.Rows(), &error)) {
    prompt_.Message(window_, "Cannot write " + file + (error.empty() ? "." : ": " + error), kMessageCaption,
                    MB_OK | MB_ICONERROR);
  }
}

void TfrmHivora::UpdateActionStates(HMENU menu) const {
  if (!menu) return;
  const UINT typeState = MF_BYCOMMAND | (aSelectAllTypeUpdate() ? MF_ENABLED : MF_GRAYED);
  ::EnableMenuItem(menu, IDM_SELECTALLTYPE, typeState);
  ::EnableMenuItem(menu, IDM_SELECTNONETYPE, typeState);
  ::EnableMenuItem(menu, IDM_OPENREGEDIT, MF_BYCOMMAND | (aOpenRegeditUpdate() ? MF_ENABLED : MF_GRAYED));
  ::EnableMenuItem(menu, IDM_IGNOREVALUE, MF_BYCOMMAND | (aIgnoreValueUpdate() ? MF_ENABLED : MF_GRAYED));
  ::EnableMenuItem(menu, IDM_IGNOREKEY, MF_BYCOMMAND | (aIgnoreKeyUpdate() ? MF_ENABLED : MF_GRAYED));
  ::EnableMenuItem(menu, IDM_SELECTALL, MF_BYCOMMAND | MF_ENABLED);
  ::EnableMenuItem(menu, IDM_SELECTNONE, MF_BYCOMMAND | MF_ENABLED);
}

void TfrmHivora::ShowListMenu(LPARAM where) {
  POINT at{static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where))};
  if (where == -1) {
    // From the keyboard: beside the selected row, or the list's corner.
    RECT row{LVIR_BOUNDS, 0, 0, 0};
    const int selected = results_.SelectedIndex();
    if (selected < 0 ||
        !::SendMessageW(results_.Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&row))) {
      row = RECT{0, 0, 0, 0};
    }
    at = POINT{row.left + 16, row.bottom};
    ::ClientToScreen(results_.Handle(), &at);
  }
  MenuOwner menu{::LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_LISTPOPUP))};
  if (!menu.menu) return;
  HMENU popup = ::GetSubMenu(menu.menu, 0);
  UpdateActionStates(popup);
  ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
}

void TfrmHivora::DrawLinkButton(const DRAWITEMSTRUCT& item) const {
  if (item.CtlType != ODT_BUTTON) return;
  RECT box = item.rcItem;
  ::FillRect(item.hDC, &box, ::GetSysColorBrush(COLOR_BTNFACE));
  const std::wstring text = win32::Wide(TextOf(item.hwndItem));
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  ::SetBkMode(item.hDC, TRANSPARENT);
  ::SetTextColor(item.hDC, disabled ? ::GetSysColor(COLOR_GRAYTEXT) : pressed ? kLinkPressedColour : kLinkColour);
  HGDIOBJ old = ::SelectObject(item.hDC, linkFont_.get());
  RECT textBox = box;
  textBox.left += 4;
  ::DrawTextW(item.hDC, text.c_str(), -1, &textBox, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  ::SelectObject(item.hDC, old);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = box;
    ::InflateRect(&focus, -1, -1);
    ::DrawFocusRect(item.hDC, &focus);
  }
}

// ---- Commands that hand work to other windows and programs ----

bool TfrmHivora::RunCommandWithHint(const std::string& commandLine, const std::string& hintText) {
  if (!platform_.shell.StartHidden(commandLine, BackupProcess)) {
    prompt_.Message(window_, "Please check if Regedit.exe exists.", kMessageCaption, MB_OK | MB_ICONINFORMATION);
    return false;
  }
  INT_PTR result = IDCANCEL;
  try {
    TfrmBackupHint hint(prompt_, platform_.shell);
    hint.Process = BackupProcess;
    hint.HintText = hintText;
    result = hint.ShowModal(window_);
  } catch (...) {
    platform_.shell.Release(BackupProcess);
    throw;
  }
  platform_.shell.Release(BackupProcess);
  return result == IDOK;
}

namespace {

// The extension of a path's file name, from its last "."; empty when the name has none.
std::string FileExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t separator = path.find_last_of("\\/:");
  if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return {};
  return path.substr(dot);
}

}  // namespace

void TfrmHivora::miBackupFullRegistryClick() {
  const std::optional<std::string> chosen =
      prompt_.SaveFileName(window_, "Save full registry", "Registry backup files (*.reg)|*.REG");
  if (!chosen) return;
  std::string file = *chosen;
  if (AsciiUpper(FileExtension(file)) != ".REG") file += ".reg";
  if (platform_.files.PathIsFile(file) &&
      prompt_.Message(window_, file + " has existed,overite it?", kMessageCaption,
                      MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2) != IDYES) {
    return;
  }
  // Neither a finished nor a stopped export is reported.
  RunCommandWithHint(RegeditCommand(platform_, "/e \"" + file + "\""), "Backup registry...");
}

void TfrmHivora::miWindowsBackupClick() {
  // By full path from the Windows folder, like the registry editor; no folder, no start.
  const std::string windows = platform_.system.WindowsFolder();
  if (windows.empty()) return;
  platform_.shell.Open(reinterpret_cast<std::uintptr_t>(window_), windows + "system32\\ntbackup.exe", "", "", SW_SHOW);
}

void TfrmHivora::miHelpClick() {
  platform_.shell.Open(reinterpret_cast<std::uintptr_t>(window_), platform_.system.ExecutableFolder() + "Hivora.chm",
                       "", "", SW_SHOW);
}

void TfrmHivora::miHomePageClick() {
  const std::string address = ResourceText(instance_, IDS_HOME_PAGE);
  if (address.empty()) return;
  platform_.shell.Open(reinterpret_cast<std::uintptr_t>(window_), address, "", "", SW_SHOW);
}

void TfrmHivora::bRestoreRegistryClick() {
  TfrmRestore restore(platform_, prompt_, [this](const std::string& commandLine, const std::string& hintText) {
    return RunCommandWithHint(commandLine, hintText);
  });
  restore.ShowModal(window_);
}

void TfrmHivora::miAboutClick() {
  TAboutBox about(prompt_);
  about.ShowModal(window_);
}

// The commands below belong to the full-backup, options and restore work, which hooks in here.
void TfrmHivora::miOptionsClick() {
  TfrmOptions options(prompt_, platform_);
  options.ShowModal(window_);
}

}  // namespace tamrisk
