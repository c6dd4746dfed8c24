// A problem row: one entry of the results list, and the model the list commands, the ignore filter,
// the repair and the report work on.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "scan/Categories.h"
#include "scan/Phrase.h"
#include "scan/ProblemNames.h"

namespace tamrisk {

// What a row names; the repair and the ignore filter act by it. The numbers are stored with the rows.
enum RowKind {
  rkKey = 0,             // Registry key = a key; the key and its subtree
  rkValueInPath = 1,     // Registry key = key + "\" + value name; that value
  rkValueInColumn = 2,   // Registry key = a key, Value = a value name of it
  rkSubkeyInColumn = 3,  // Registry key = a key, Value = the name of one of its subkeys
  rkShortcutFile = 4,    // Registry key = path of a ".lnk" file
  rkDefaultValue = 5,    // Registry key = a key; its default value
};

// "rkKey", "rkValueInPath", ...: the names the report writes.
const char* RowKindName(RowKind kind);

// What a row names, as data: the repair, the ignore filter and the duplicate check act on it rather
// than on the row's texts. A 32-bit program's entry is named by its path under Wow6432Node, which is
// where a 64-bit program reaches that view, so the path says the view as well.
struct RegLocation {
  std::string rootName;  // "HKEY_LOCAL_MACHINE", as the row names it; "" for a shortcut file, and
                         // with an empty key for a row that names no entry
  std::string key;       // the key below the root that the row names, or that holds its value; for a
                         // shortcut row the file's path
  std::string value;     // the value's name ("" for the default value) when namesValue
  bool namesValue = false;

  friend bool operator==(const RegLocation&, const RegLocation&) = default;
};

// The location a row's texts name, read as the list's columns are laid out for each kind: for rows
// that come as texts (tests, benchmarks). Scanners make the location first and the texts from it.
RegLocation LocationOfColumns(const std::string& registryKey, const std::string& value, RowKind kind);

enum class ProgramState {
  Installed,      // a folder of its own is there: the row is a broken reference of a program in use
  FolderDeleted,  // its uninstall entry is there, none of its own folders is
  Uninstalled,    // no uninstall entry is left
};

// The program a row belongs to, where that can be told (see ProgramAttribution).
struct ProgramRef {
  std::string name;
  ProgramState state = ProgramState::Installed;

  friend bool operator==(const ProgramRef&, const ProgramRef&) = default;
};

// "Pintail Draw (folder deleted)": the program and what became of it, as a row shows it.
Phrase ProgramPhrase(const ProgramRef& program);

struct ProblemRow {
  ProblemRow() = default;
  // The reason is optional here so that a row can be written in one line without it.
  ProblemRow(bool checked, ProblemId problem, std::string registryKey, std::string value, RowKind kind,
             Phrase reason = {})
      : checked(checked),
        problem(problem),
        registryKey(std::move(registryKey)),
        value(std::move(value)),
        kind(kind),
        reason(std::move(reason)),
        location(LocationOfColumns(this->registryKey, this->value, kind)) {}

  bool checked = false;
  ProblemId problem = ProblemId::InvalidFileOrFolder;
  std::string registryKey;
  std::string value;
  RowKind kind = rkKey;
  // Why the row is listed, in a few words with the text that failed ("file not found: C:\Gone\a.exe");
  // shown as the row's tip and in the report's last column.
  Phrase reason;
  // The code of the category whose scanner found the row; 0 for a row from elsewhere. The
  // tree counts by it. It says where the row came from, not what it names, so equality leaves it out.
  CategoryCode category{};
  // What the row names; see RegLocation.
  RegLocation location;
  // The program the row belongs to, told after the scan; like category, not part of equality.
  std::optional<ProgramRef> program;

  friend bool operator==(const ProblemRow& a, const ProblemRow& b) {
    return a.checked == b.checked && a.problem == b.problem && a.registryKey == b.registryKey && a.value == b.value &&
           a.kind == b.kind && a.reason == b.reason;
  }
};

// A row made from its location: the "Registry key" and "Value" texts follow from the kind. info is
// what the Value column shows where it holds no name (the data, or the text naming the missing
// target). An rkValueInPath row whose value name holds "\" becomes rkValueInColumn, since the text
// key + "\" + name would be read as another value. The row comes unticked, with no category.
ProblemRow RegistryRow(ProblemId problem, RowKind kind, RegLocation where, std::string info, Phrase reason);

// The results list as the engine sees it: the main window wraps its list view in one, tests and the
// headless runs use VectorResults.
class ResultsModel {
 public:
  virtual ~ResultsModel() = default;
  virtual std::size_t RowCount() const = 0;
  virtual ProblemRow Row(std::size_t index) const = 0;
  virtual void RemoveRow(std::size_t index) = 0;
  // Removes the rows whose flag is set (drop holds one per row, or fewer) and keeps the others in
  // their order, in one pass: removing thousands one at a time would move the rest each time.
  virtual void RemoveRows(const std::vector<bool>& drop) {
    for (std::size_t i = std::min(drop.size(), RowCount()); i-- > 0;) {
      if (drop[i]) RemoveRow(i);
    }
  }
  // Replaces the row's reason, as the repair does for a row it kept.
  virtual void SetReason(std::size_t index, const Phrase& reason) = 0;
  virtual void SetAllChecked(bool checked) = 0;
  // Gives each row its program (one per row, in order), in one pass.
  virtual void SetPrograms(std::vector<std::optional<ProgramRef>> programs) = 0;
};

class VectorResults final : public ResultsModel {
 public:
  VectorResults() = default;
  explicit VectorResults(std::vector<ProblemRow> rows) : rows(std::move(rows)) {}
  std::size_t RowCount() const override { return rows.size(); }
  ProblemRow Row(std::size_t index) const override { return rows.at(index); }
  void RemoveRow(std::size_t index) override { rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(index)); }
  void RemoveRows(const std::vector<bool>& drop) override {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (i < drop.size() && drop[i]) continue;
      if (kept != i) rows[kept] = std::move(rows[i]);
      ++kept;
    }
    rows.resize(kept);
  }
  void SetReason(std::size_t index, const Phrase& reason) override { rows.at(index).reason = reason; }
  void SetAllChecked(bool checked) override {
    for (ProblemRow& row : rows) row.checked = checked;
  }
  void SetPrograms(std::vector<std::optional<ProgramRef>> programs) override {
    for (std::size_t i = 0; i < rows.size() && i < programs.size(); ++i) rows[i].program = std::move(programs[i]);
  }

  std::vector<ProblemRow> rows;
};

}  // namespace tamrisk
