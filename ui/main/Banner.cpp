#include "ui/main/Banner.h"

#include <commctrl.h>

#include "platform/win32/Wide.h"
#include "ui/common/ChildWindow.h"
#include "ui/common/Dpi.h"
#include "ui/common/UiHandles.h"
#include "ui/common/WindowText.h"
#include "ui/res/resource.h"
#include "ui/common/Language.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {
namespace {

constexpr wchar_t kBannerClass[] = L"TamriskBanner";

constexpr COLORREF kLinkColour = RGB(0, 84, 166);
constexpr COLORREF kLinkPressedColour = RGB(0, 48, 110);

void PaintBanner(HWND window) {
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
  const int dpi = DpiOf(window);
  const int side = Scaled(32, dpi);
  if (HICON icon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TAMRISK),
                                                   IMAGE_ICON, side, side, LR_SHARED))) {
    ::DrawIconEx(dc, Scaled(12, dpi), (Scaled(kBannerHeight, dpi) - side) / 2, icon, side, side, 0, nullptr, DI_NORMAL);
  }
  ::EndPaint(window, &paint);
}

// The band's labels are its children and draw on it.
LRESULT CALLBACK BannerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: PaintBanner(window); return 0;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetBkMode(dc, TRANSPARENT);
      ::SetTextColor(dc, RGB(255, 255, 255));
      return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    }
    default: return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

void MainFonts::Create(int dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW base{};
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    base = metrics.lfMessageFont;
  } else {
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof base, &base);
  }
  // The system's metrics are at its own DPI; a window on a monitor of another scale needs them at its.
  base.lfHeight = ::MulDiv(base.lfHeight, dpi, SystemDpi());
  normal.reset(::CreateFontIndirectW(&base));
  LOGFONTW boldFont = base;
  boldFont.lfWeight = FW_BOLD;
  bold.reset(::CreateFontIndirectW(&boldFont));
  LOGFONTW titleFont = boldFont;
  titleFont.lfHeight = -Scaled(20, dpi);
  title.reset(::CreateFontIndirectW(&titleFont));
  LOGFONTW linkFont = base;
  linkFont.lfUnderline = TRUE;
  link.reset(::CreateFontIndirectW(&linkFont));
}

void Banner::RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSEXW banner{};
  banner.cbSize = sizeof banner;
  banner.lpfnWndProc = BannerProcedure;
  banner.hInstance = instance;
  banner.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  banner.lpszClassName = kBannerClass;
  ::RegisterClassExW(&banner);
}

void Banner::Create(HWND parent, const MainFonts& fonts, int dpi) {
  band_ = MakeChild(parent, kBannerClass, "", WS_CLIPSIBLINGS, IDC_BANNER, nullptr);
  title_ = MakeChild(band_, WC_STATICW, "Tamrisk", SS_NOPREFIX, IDC_TITLE, nullptr);
  titleHint_ = MakeChild(band_, WC_STATICW, UiText(IDS_TITLE_HINT), SS_NOPREFIX, IDC_TITLEHINT, nullptr);
  Layout(fonts, dpi);
}

void Banner::Layout(const MainFonts& fonts, int dpi) {
  ::SendMessageW(title_, WM_SETFONT, reinterpret_cast<WPARAM>(MainFonts::Of(fonts.title)), TRUE);
  ::SendMessageW(titleHint_, WM_SETFONT, reinterpret_cast<WPARAM>(MainFonts::Of(fonts.normal)), TRUE);
  PlaceScaled(title_, {54, 5, 400, 24}, dpi);
  PlaceScaled(titleHint_, {56, 29, 560, 16}, dpi);
}

HWND MakeLinkButton(HWND parent, const std::string& caption, int id, const MainFonts& fonts) {
  return MakeChild(parent, WC_BUTTONW, caption, BS_OWNERDRAW | WS_TABSTOP, id, MainFonts::Of(fonts.link));
}

void DrawLinkButton(const DRAWITEMSTRUCT& item, const MainFonts& fonts) {
  if (item.CtlType != ODT_BUTTON) return;
  RECT box = item.rcItem;
  ::FillRect(item.hDC, &box, ::GetSysColorBrush(COLOR_BTNFACE));
  const std::wstring text = win32::Wide(TextOf(item.hwndItem));
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  ::SetBkMode(item.hDC, TRANSPARENT);
  ::SetTextColor(item.hDC, disabled ? ::GetSysColor(COLOR_GRAYTEXT) : pressed ? kLinkPressedColour : kLinkColour);
  {
    const SelectedObject font(item.hDC, fonts.link.get());
    RECT textBox = box;
    textBox.left += Scaled(4, DpiOf(item.hwndItem));
    ::DrawTextW(item.hDC, text.c_str(), -1, &textBox, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  if (item.itemState & ODS_FOCUS) {
    RECT focus = box;
    ::InflateRect(&focus, -1, -1);
    ::DrawFocusRect(item.hDC, &focus);
  }
}

}  // namespace tamrisk
