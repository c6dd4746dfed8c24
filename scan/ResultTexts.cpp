#include "scan/ResultTexts.h"

namespace tamrisk {
namespace {

std::string TextUpToLastBackslash(const std::string& text) {
  const std::size_t cut = text.rfind('\\');
  return cut == std::string::npos ? std::string() : text.substr(0, cut);
}

}  // namespace

std::string RegeditKeyText(const ProblemRow& row) {
  switch (row.kind) {
    case rkKey:
    case rkValueInColumn:
    case rkDefaultValue: return row.registryKey;
    case rkValueInPath: return TextUpToLastBackslash(row.registryKey);
    case rkSubkeyInColumn: return row.registryKey + "\\" + row.value;
    case rkShortcutFile: break;
  }
  return {};
}

std::string FileExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t separator = path.find_last_of("\\/:");
  if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return {};
  return path.substr(dot);
}

}  // namespace tamrisk
