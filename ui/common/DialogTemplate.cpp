#include "ui/common/DialogTemplate.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "ui/common/ChildWindow.h"

namespace tamrisk {
namespace {

constexpr std::uint16_t kExtendedSignature = 0xFFFF;
constexpr std::uint16_t kOrdinalMark = 0xFFFF;
constexpr std::uint32_t kSetFont = 0x40;  // DS_SETFONT, also part of DS_SHELLFONT

// Reads the template's little-endian fields in order, never past its end.
class TemplateReader {
 public:
  explicit TemplateReader(std::span<const std::byte> bytes) : bytes_(bytes) {}

  template <typename T>
  T Take() {
    Need(sizeof(T));
    T value;
    std::memcpy(&value, bytes_.data() + at_, sizeof(T));
    at_ += sizeof(T);
    return value;
  }

  void Skip(std::size_t count) {
    Need(count);
    at_ += count;
  }

  // A name or ordinal field: 0 for none, 0xFFFF and an ordinal, or a string ending in 0.
  void SkipNameOrOrdinal() {
    const auto first = Take<std::uint16_t>();
    if (first == kOrdinalMark) {
      Skip(sizeof(std::uint16_t));
    } else if (first != 0) {
      SkipString();
    }
  }

  // The rest of a UTF-16 string ending in 0.
  void SkipString() {
    while (Take<std::uint16_t>() != 0) {
    }
  }

  // Items start on a DWORD boundary of the template.
  void AlignToDword() { Skip((4 - at_ % 4) % 4); }

 private:
  void Need(std::size_t count) const {
    if (count > bytes_.size() - at_) throw std::runtime_error("The dialog template ends early");
  }

  std::span<const std::byte> bytes_;
  std::size_t at_ = 0;
};

}  // namespace

const TemplateItem& TemplateGeometry::ItemOf(int id) const {
  for (const TemplateItem& item : items) {
    if (item.id == id) return item;
  }
  throw std::runtime_error("The dialog template has no item " + std::to_string(id));
}

TemplateGeometry ReadTemplateGeometry(std::span<const std::byte> bytes) {
  TemplateReader reader(bytes);
  const auto version = reader.Take<std::uint16_t>();
  if (version != 1 || reader.Take<std::uint16_t>() != kExtendedSignature) {
    throw std::runtime_error("Not an extended dialog template");
  }
  reader.Skip(2 * sizeof(std::uint32_t));  // help id, extended style
  const auto style = reader.Take<std::uint32_t>();
  const auto count = reader.Take<std::uint16_t>();
  reader.Skip(2 * sizeof(std::int16_t));  // where the dialog opens: the program centres its dialogs
  TemplateGeometry geometry;
  geometry.width = reader.Take<std::int16_t>();
  geometry.height = reader.Take<std::int16_t>();
  reader.SkipNameOrOrdinal();  // menu
  reader.SkipNameOrOrdinal();  // window class
  reader.SkipString();         // caption
  if (style & kSetFont) {
    reader.Skip(2 * sizeof(std::uint16_t) + 2);  // point size, weight, italic, character set
    reader.SkipString();                         // typeface
  }
  geometry.items.reserve(count);
  for (std::uint16_t index = 0; index < count; ++index) {
    reader.AlignToDword();
    reader.Skip(3 * sizeof(std::uint32_t));  // help id, extended style, style
    TemplateItem item{};
    item.left = reader.Take<std::int16_t>();
    item.top = reader.Take<std::int16_t>();
    item.width = reader.Take<std::int16_t>();
    item.height = reader.Take<std::int16_t>();
    item.id = static_cast<int>(reader.Take<std::int32_t>());
    reader.SkipNameOrOrdinal();                 // window class
    reader.SkipNameOrOrdinal();                 // text, or an icon's resource ordinal
    reader.Skip(reader.Take<std::uint16_t>());  // creation data, counted in bytes
    geometry.items.push_back(item);
  }
  return geometry;
}

void PlaceTemplateItems(HWND dialog, const TemplateGeometry& geometry, int dpi) {
  for (const TemplateItem& item : geometry.items) {
    if (HWND control = ::GetDlgItem(dialog, item.id)) {
      PlaceScaled(control, {item.left, item.top, item.width, item.height}, dpi);
    }
  }
}

}  // namespace tamrisk
