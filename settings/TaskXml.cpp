#include "settings/TaskXml.h"

#include <charconv>

#include "platform/Text.h"

namespace tamrisk {
namespace {

// Deeper nesting than any task definition has is taken as malformed, so a hostile file cannot
// exhaust the stack.
constexpr int kMaxDepth = 64;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// A character reference's code point as UTF-8, through the program's one conversion from UTF-16.
void AppendCodePoint(std::string& out, std::uint32_t code) {
  std::u16string units;
  if (code < 0x10000) {
    units += static_cast<char16_t>(code);
  } else {
    units += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
    units += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
  }
  out += Utf16ToUtf8(units);
}

class Reader {
 public:
  explicit Reader(std::string_view xml) : xml_(xml) {}

  std::optional<XmlElement> Document() {
    if (xml_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    if (!SkipMisc()) return std::nullopt;
    XmlElement root;
    if (!Element(root, 0) || !SkipMisc() || pos_ != xml_.size()) return std::nullopt;
    return root;
  }

 private:
  bool At(std::string_view prefix) const { return xml_.substr(pos_, prefix.size()) == prefix; }

  // Moves past the first occurrence of end; false when there is none.
  bool SkipPast(std::string_view end) {
    const std::size_t found = xml_.find(end, pos_);
    if (found == std::string_view::npos) return false;
    pos_ = found + end.size();
    return true;
  }

  // White space, comments, processing instructions and a document type between elements.
  bool SkipMisc() {
    for (;;) {
      while (pos_ < xml_.size() && IsSpace(xml_[pos_])) ++pos_;
      if (At("<?")) {
        if (!SkipPast("?>")) return false;
      } else if (At("<!--")) {
        if (!SkipPast("-->")) return false;
      } else if (At("<!DOCTYPE")) {
        if (!SkipPast(">")) return false;
      } else {
        return true;
      }
    }
  }

  std::string_view Name() {
    const std::size_t start = pos_;
    while (pos_ < xml_.size() && !IsSpace(xml_[pos_]) && xml_[pos_] != '>' && xml_[pos_] != '/' && xml_[pos_] != '=') {
      ++pos_;
    }
    return xml_.substr(start, pos_ - start);
  }

  static std::string LocalName(std::string_view qualified) {
    const std::size_t colon = qualified.rfind(':');
    return std::string(colon == std::string_view::npos ? qualified : qualified.substr(colon + 1));
  }

  // Skips the attributes; true at the end of the start tag, with selfClosing set for "/>".
  bool Attributes(bool& selfClosing) {
    for (;;) {
      while (pos_ < xml_.size() && IsSpace(xml_[pos_])) ++pos_;
      if (At("/>")) {
        pos_ += 2;
        selfClosing = true;
        return true;
      }
      if (At(">")) {
        ++pos_;
        selfClosing = false;
        return true;
      }
      if (Name().empty()) return false;
      while (pos_ < xml_.size() && IsSpace(xml_[pos_])) ++pos_;
      if (!At("=")) return false;
      ++pos_;
      while (pos_ < xml_.size() && IsSpace(xml_[pos_])) ++pos_;
      if (pos_ >= xml_.size() || (xml_[pos_] != '"' && xml_[pos_] != '\'')) return false;
      const char quote[2] = {xml_[pos_++], '\0'};
      if (!SkipPast(quote)) return false;
    }
  }

  bool Entity(std::string& out) {
    const std::size_t end = xml_.find(';', pos_);
    if (end == std::string_view::npos) return false;
    const std::string_view name = xml_.substr(pos_ + 1, end - pos_ - 1);
    pos_ = end + 1;
    if (name == "lt")
      out += '<';
    else if (name == "gt")
      out += '>';
    else if (name == "amp")
      out += '&';
    else if (name == "quot")
      out += '"';
    else if (name == "apos")
      out += '\'';
    else if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x';
      const std::string_view digits = name.substr(hex ? 2 : 1);
      std::uint32_t code = 0;
      const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
      // XML has no characters for NUL and the surrogates.
      if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size() || code == 0 ||
          (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        return false;
      }
      AppendCodePoint(out, code);
    } else {
      return false;
    }
    return true;
  }

  bool Element(XmlElement& element, int depth) {
    if (depth > kMaxDepth || !At("<")) return false;
    ++pos_;
    const std::string_view qualified = Name();
    if (qualified.empty()) return false;
    element.name = LocalName(qualified);
    bool selfClosing = false;
    if (!Attributes(selfClosing)) return false;
    if (selfClosing) return true;
    for (;;) {
      if (pos_ >= xml_.size()) return false;
      if (At("</")) {
        pos_ += 2;
        if (Name() != qualified) return false;
        while (pos_ < xml_.size() && IsSpace(xml_[pos_])) ++pos_;
        if (!At(">")) return false;
        ++pos_;
        return true;
      }
      if (At("<!--")) {
        if (!SkipPast("-->")) return false;
      } else if (At("<![CDATA[")) {
        const std::size_t start = pos_ + 9;
        if (!SkipPast("]]>")) return false;
        element.text.append(xml_.substr(start, pos_ - 3 - start));
      } else if (At("<?")) {
        if (!SkipPast("?>")) return false;
      } else if (At("<")) {
        element.children.emplace_back();
        if (!Element(element.children.back(), depth + 1)) return false;
      } else if (At("&")) {
        if (!Entity(element.text)) return false;
      } else {
        element.text += xml_[pos_++];
      }
    }
  }

  std::string_view xml_;
  std::size_t pos_ = 0;
};

}  // namespace

const XmlElement* XmlElement::Child(std::string_view localName) const {
  for (const XmlElement& child : children) {
    if (child.name == localName) return &child;
  }
  return nullptr;
}

std::optional<std::string> XmlElement::ChildText(std::string_view localName) const {
  const XmlElement* child = Child(localName);
  if (!child) return std::nullopt;
  return std::string(Trimmed(child->text));
}

std::optional<XmlElement> ParseXml(std::string_view xml) { return Reader(xml).Document(); }

std::string XmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace tamrisk
