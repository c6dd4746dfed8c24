// The template reader against templates built here, field by field, and against the dialog manager
// on every dialog of every language: what it reads is what the dialogs are laid out from.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <stdexcept>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/common/DialogTemplate.h"
#include "ui/common/Language.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

// Writes a template's fields as the resource compiler does, little-endian.
class TemplateBytes {
 public:
  TemplateBytes& Word(std::uint16_t value) { return Raw(&value, sizeof(value)); }
  TemplateBytes& Dword(std::uint32_t value) { return Raw(&value, sizeof(value)); }
  TemplateBytes& Short(std::int16_t value) { return Raw(&value, sizeof(value)); }
  TemplateBytes& Byte(std::uint8_t value) { return Raw(&value, sizeof(value)); }
  TemplateBytes& Text(std::u16string_view text) {
    for (char16_t unit : text) Word(unit);
    return Word(0);
  }
  TemplateBytes& Ordinal(std::uint16_t value) { return Word(0xFFFF).Word(value); }
  TemplateBytes& Align() {
    while (bytes.size() % 4 != 0) Byte(0);
    return *this;
  }
  TemplateBytes& Place(int left, int top, int width, int height) {
    return Short(static_cast<std::int16_t>(left))
        .Short(static_cast<std::int16_t>(top))
        .Short(static_cast<std::int16_t>(width))
        .Short(static_cast<std::int16_t>(height));
  }

  std::vector<std::byte> bytes;

 private:
  TemplateBytes& Raw(const void* data, std::size_t size) {
    const auto* from = static_cast<const std::byte*>(data);
    bytes.insert(bytes.end(), from, from + size);
    return *this;
  }
};

// A header with a menu ordinal, no class and a caption that leaves the first item off a DWORD
// boundary, with or without a font.
TemplateBytes Header(bool withFont, std::uint16_t items) {
  TemplateBytes t;
  t.Word(1).Word(0xFFFF).Dword(0).Dword(0).Dword(WS_POPUP | (withFont ? DS_SETFONT : 0)).Word(items);
  t.Place(-3, 5, 300, 200).Ordinal(101).Word(0).Text(u"Tams");
  if (withFont) t.Word(8).Word(FW_NORMAL).Byte(0).Byte(1).Text(u"MS Shell Dlg");
  return t;
}

// Three items: a class ordinal with a caption, a class name with no caption and creation data, and
// an icon's resource ordinal as the caption with the static id -1.
std::vector<std::byte> ThreeItems(bool withFont) {
  TemplateBytes t = Header(withFont, 3);
  t.Align().Dword(0).Dword(0).Dword(WS_CHILD).Place(10, -4, 50, 14).Dword(1).Ordinal(0x0080).Text(u"OK").Word(0);
  t.Align().Dword(7).Dword(WS_EX_CLIENTEDGE).Dword(WS_CHILD).Place(0, 20, 280, 150).Dword(0x12345);
  t.Text(u"SysListView32").Word(0).Word(6).Word(0xAAAA).Word(0xBBBB).Word(0xCCCC);
  t.Align().Dword(0).Dword(0).Dword(WS_CHILD | SS_ICON).Place(4, 4, 21, 20).Dword(0xFFFFFFFF).Ordinal(0x0082);
  t.Ordinal(100).Word(0);
  return t.bytes;
}

TEST(DialogTemplate, ReadsTheSizeAndEveryItemsIdAndPlace) {
  const std::vector<TemplateItem> expected = {{1, 10, -4, 50, 14}, {0x12345, 0, 20, 280, 150}, {-1, 4, 4, 21, 20}};
  for (const bool withFont : {true, false}) {
    const TemplateGeometry geometry = ReadTemplateGeometry(ThreeItems(withFont));
    EXPECT_EQ(geometry.width, 300) << withFont;
    EXPECT_EQ(geometry.height, 200) << withFont;
    ASSERT_EQ(geometry.items.size(), expected.size()) << withFont;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const TemplateItem& item = geometry.items[i];
      EXPECT_EQ(item.id, expected[i].id) << i;
      EXPECT_EQ(item.left, expected[i].left) << i;
      EXPECT_EQ(item.top, expected[i].top) << i;
      EXPECT_EQ(item.width, expected[i].width) << i;
      EXPECT_EQ(item.height, expected[i].height) << i;
    }
    EXPECT_EQ(geometry.ItemOf(0x12345).width, 280);
    EXPECT_THROW(geometry.ItemOf(2), std::runtime_error);
  }
}

TEST(DialogTemplate, RefusesAPlainTemplateAndOneThatEndsEarly) {
  const std::vector<std::byte> whole = ThreeItems(true);
  for (std::size_t size = 0; size < whole.size(); ++size) {
    EXPECT_THROW(ReadTemplateGeometry(std::span(whole).first(size)), std::runtime_error) << size;
  }
  TemplateBytes plain;  // DLGTEMPLATE: the style comes first
  plain.Dword(WS_POPUP).Dword(0).Word(0).Place(0, 0, 100, 50).Word(0).Word(0).Text(u"");
  EXPECT_THROW(ReadTemplateGeometry(plain.bytes), std::runtime_error);
}

BOOL CALLBACK CollectDialogName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
  if (IS_INTRESOURCE(name)) reinterpret_cast<std::set<UINT>*>(found)->insert(LOWORD(name));
  return TRUE;
}

// The dialog manager's own layout of a template: nothing moved after it.
INT_PTR CALLBACK LeaveAsMade(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A size or place in dialog units in the dialog's pixels, each number on its own as the dialog
// manager converts them.
RECT InDialogUnits(HWND dialog, int left, int top, int width, int height) {
  RECT rect{left, top, width, height};
  ::MapDialogRect(dialog, &rect);
  return rect;
}

// Every dialog of every language, read as the dialog manager reads it: the same client size and
// item places (the numbers taken as dialog units there), each item found by a unique id.
TEST(DialogTemplate, ReadsEveryDialogOfEveryLanguageAsTheDialogManagerDoes) {
  InitControls();
  std::set<UINT> dialogs;
  ::EnumResourceNamesW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(5), CollectDialogName,
                       reinterpret_cast<LONG_PTR>(&dialogs));
  ASSERT_GE(dialogs.size(), 7U);
  const HiddenOwner owner;
  for (const UiLanguageInfo& language : UiLanguages()) {
    const Speaking speaking(language.id);
    for (const UINT id : dialogs) {
      const std::string what = std::string(language.code) + " dialog " + std::to_string(id);
      const std::span<const std::byte> resource = UiDialogResource(id);
      const TemplateGeometry geometry = ReadTemplateGeometry(resource);
      HWND dialog = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr),
                                                 reinterpret_cast<const DLGTEMPLATE*>(resource.data()), owner.get(),
                                                 LeaveAsMade, 0);
      ASSERT_NE(dialog, nullptr) << what;
      RECT client{};
      ::GetClientRect(dialog, &client);
      const RECT designed = InDialogUnits(dialog, 0, 0, geometry.width, geometry.height);
      EXPECT_EQ(client.right, designed.right) << what;
      EXPECT_EQ(client.bottom, designed.bottom) << what;
      std::set<int> ids;
      for (const TemplateItem& item : geometry.items) {
        EXPECT_TRUE(ids.insert(item.id).second) << what << ": id " << item.id << " twice";
        HWND control = ::GetDlgItem(dialog, item.id);
        ASSERT_NE(control, nullptr) << what << ": no item " << item.id;
        RECT box{};
        ::GetWindowRect(control, &box);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
        const RECT place = InDialogUnits(dialog, item.left, item.top, item.width, item.height);
        EXPECT_EQ(box.left, place.left) << what << ": item " << item.id;
        EXPECT_EQ(box.top, place.top) << what << ": item " << item.id;
        wchar_t type[32] = {};
        ::GetClassNameW(control, type, 32);
        const auto style = static_cast<DWORD>(::GetWindowLongPtrW(control, GWL_STYLE));
        if (std::wstring_view(type) == L"Static" && (style & SS_TYPEMASK) == SS_ICON) {
          // An icon sizes itself to its icon; the template must give it that room in pixels (an
          // ICON statement gives it none).
          EXPECT_GE(item.width, box.right - box.left) << what << ": item " << item.id;
          EXPECT_GE(item.height, box.bottom - box.top) << what << ": item " << item.id;
          continue;
        }
        EXPECT_EQ(box.right - box.left, place.right) << what << ": item " << item.id;
        // A drop-down list's height is its closed field's; the template gives the open list's.
        if (std::wstring_view(type) != L"ComboBox") {
          EXPECT_EQ(box.bottom - box.top, place.bottom) << what << ": item " << item.id;
        }
      }
      ::DestroyWindow(dialog);
    }
  }
}

}  // namespace
}  // namespace tamrisk::test
