#include "scan/ProblemRow.h"

#include <utility>

namespace tamrisk {
namespace {

std::string Joined(const std::string& key, const std::string& name) { return key.empty() ? name : key + "\\" + name; }

}  // namespace

const char* RowKindName(RowKind kind) {
  switch (kind) {
    case rkKey: return "rkKey";
    case rkValueInPath: return "rkValueInPath";
    case rkValueInColumn: return "rkValueInColumn";
    case rkSubkeyInColumn: return "rkSubkeyInColumn";
    case rkShortcutFile: return "rkShortcutFile";
    case rkDefaultValue: return "rkDefaultValue";
  }
  return "";
}

RegLocation LocationOfColumns(const std::string& registryKey, const std::string& value, RowKind kind) {
  if (kind == rkShortcutFile) return {"", registryKey, "", false};
  const std::size_t slash = registryKey.find('\\');
  if (slash == std::string::npos) return {};  // no root and path: the row names no entry
  std::string root = registryKey.substr(0, slash);
  std::string rest = registryKey.substr(slash + 1);
  switch (kind) {
    case rkKey: return {std::move(root), std::move(rest), "", false};
    case rkValueInPath: {
      // The value's name is the text after the last "\"; the key is the text before it.
      const std::size_t last = rest.rfind('\\');
      if (last == std::string::npos) return {std::move(root), "", std::move(rest), true};
      return {std::move(root), rest.substr(0, last), rest.substr(last + 1), true};
    }
    case rkValueInColumn: return {std::move(root), std::move(rest), value, true};
    // Without a subkey name the row would name its parent: it names no key then (the repair refuses it).
    case rkSubkeyInColumn: return {std::move(root), value.empty() ? std::string() : Joined(rest, value), "", false};
    case rkDefaultValue: return {std::move(root), std::move(rest), "", true};
    case rkShortcutFile: break;
  }
  return {};
}

Phrase ProgramPhrase(const ProgramRef& program) {
  TextId state = TextId::ProgramInstalled;
  if (program.state == ProgramState::FolderDeleted) state = TextId::ProgramFolderDeleted;
  if (program.state == ProgramState::Uninstalled) state = TextId::ProgramUninstalled;
  return {TextId::ProgramWithState, {program.name, Phrase{state, {}}}};
}

ProblemRow RegistryRow(ProblemId problem, RowKind kind, RegLocation where, std::string info, Phrase reason) {
  ProblemRow row;
  row.problem = problem;
  const std::string rootAndKey = Joined(where.rootName, where.key);
  if (kind == rkValueInPath && where.value.find('\\') != std::string::npos) kind = rkValueInColumn;
  switch (kind) {
    case rkKey:
    case rkDefaultValue:
      row.registryKey = rootAndKey;
      row.value = std::move(info);
      break;
    case rkValueInPath:
      row.registryKey = rootAndKey + "\\" + where.value;
      row.value = std::move(info);
      break;
    case rkValueInColumn:
      row.registryKey = rootAndKey;
      row.value = where.value;
      break;
    case rkSubkeyInColumn: {
      const std::size_t last = rootAndKey.rfind('\\');
      row.registryKey = rootAndKey.substr(0, last);
      row.value = last == std::string::npos ? std::string() : rootAndKey.substr(last + 1);
      break;
    }
    case rkShortcutFile:
      row.registryKey = where.key;
      row.value = std::move(info);
      break;
  }
  row.kind = kind;
  row.reason = std::move(reason);
  row.location = std::move(where);
  return row;
}

}  // namespace tamrisk
