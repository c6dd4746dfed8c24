// Just enough XML for task definitions: a reader that keeps elements and their text (attributes,
// comments and processing instructions are skipped, namespace prefixes dropped) and the escaping
// the writer needs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamrisk {

struct XmlElement {
  std::string name;  // local name, without a namespace prefix
  std::string text;  // the character data directly inside, entities resolved
  std::vector<XmlElement> children;

  // The first child of that name, or nullptr.
  const XmlElement* Child(std::string_view localName) const;
  // The text of the first child of that name with surrounding white space removed; nullopt when
  // there is no such child.
  std::optional<std::string> ChildText(std::string_view localName) const;
};

// The document's root element; nullopt when the text is not well-formed as far as this reader looks.
std::optional<XmlElement> ParseXml(std::string_view xml);

// The text with "&", "<" and ">" as entities, ready to stand between tags.
std::string XmlEscaped(std::string_view text);

}  // namespace tamrisk
