#include "ui/main/ResultsCommands.h"

#include <commctrl.h>

#include <cstdint>

#include "platform/Text.h"
#include "unattended/Report.h"
#include "scan/IgnoreEntries.h"
#include "scan/IgnoreFilter.h"
#include "scan/ResultFind.h"
#include "scan/ResultTexts.h"
#include "settings/IgnoreListEdit.h"
#include "settings/RegGlobal.h"
#include "ui/common/UiHandles.h"
#include "ui/res/resource.h"
#include "ui/common/Language.h"
#include "ui/common/ShownTexts.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {
namespace {

// Wine's ntdll names its version; Windows' has no such export.
bool RunsOnWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

ResultsCommands::ResultsCommands(const Platform& platform, Prompt& prompt, ResultsListView& results,
                                 std::function<void()> countsChanged, std::function<void()> ignoreListsChanged)
    : platform_(platform),
      prompt_(prompt),
      results_(results),
      countsChanged_(std::move(countsChanged)),
      ignoreListsChanged_(std::move(ignoreListsChanged)) {}

bool ResultsCommands::Run(int id) {
  using Self = ResultsCommands;
  struct Action {
    int id;
    bool (Self::*enabled)() const;  // null: always
    void (Self::*execute)();
  };
  static constexpr Action kActions[] = {
      {IDM_SELECTALL, nullptr, &Self::aSelectAllExecute},
      {IDM_SELECTNONE, nullptr, &Self::aSelectNoneExecute},
      {IDM_SELECTALLTYPE, &Self::aSelectAllTypeUpdate, &Self::aSelectAllTypeExecute},
      {IDM_SELECTNONETYPE, &Self::aSelectAllTypeUpdate, &Self::aSelectNoneTypeExecute},
      {IDM_TICKPROGRAM, &Self::aTickProgramUpdate, &Self::aTickProgramExecute},
      {IDM_BYPROGRAM, nullptr, &Self::aByProgramExecute},
      {IDM_OPENREGEDIT, &Self::aOpenRegeditUpdate, &Self::aOpenRegeditExecute},
      {IDM_IGNOREVALUE, &Self::aIgnoreValueUpdate, &Self::aIgnoreValueExecute},
      {IDM_IGNOREKEY, &Self::aIgnoreKeyUpdate, &Self::aIgnoreKeyExecute},
      {IDM_SAVERESULTS, nullptr, &Self::miSaveResultsClick},
      {IDM_FIND, nullptr, &Self::aFindExecute},
      {IDM_FINDNEXT, nullptr, &Self::aFindNextExecute},
  };
  for (const Action& action : kActions) {
    if (action.id != id) continue;
    if (!action.enabled || (this->*action.enabled)()) (this->*action.execute)();
    return true;
  }
  return false;
}

std::optional<ProblemRow> ResultsCommands::SelectedRow() const {
  const int selected = results_.SelectedIndex();
  if (selected < 0) return std::nullopt;
  return results_.Row(static_cast<std::size_t>(selected));
}

void ResultsCommands::aSelectAllExecute() {
  results_.SetAllChecked(true);
  countsChanged_();
}

void ResultsCommands::aSelectNoneExecute() {
  results_.SetAllChecked(false);
  countsChanged_();
}

void ResultsCommands::CheckRowsOfSelectedType(bool checked) {
  const std::optional<ProblemRow> selected = SelectedRow();
  if (!selected) return;
  const std::size_t count = results_.RowCount();
  for (std::size_t i = 0; i < count; ++i) {
    if (results_.ProblemOf(i) == selected->problem) results_.SetChecked(i, checked);
  }
  countsChanged_();
}

void ResultsCommands::aSelectAllTypeExecute() { CheckRowsOfSelectedType(true); }

void ResultsCommands::aSelectNoneTypeExecute() { CheckRowsOfSelectedType(false); }

bool ResultsCommands::aSelectAllTypeUpdate() const { return results_.SelectedIndex() >= 0; }

bool ResultsCommands::aTickProgramUpdate() const {
  const std::optional<ProblemRow> selected = SelectedRow();
  return selected && selected->program;
}

void ResultsCommands::aTickProgramExecute() {
  const std::optional<ProblemRow> selected = SelectedRow();
  if (!selected || !selected->program) return;
  results_.CheckOnly([&](const ProblemRow& row) { return row.program == selected->program; });
  countsChanged_();
}

void ResultsCommands::aByProgramExecute() {
  results_.ShowByProgram(!results_.ByProgram());
  UpdateActionStates(::GetMenu(owner_));
}

bool ResultsCommands::aOpenRegeditUpdate() const {
  const std::optional<ProblemRow> selected = SelectedRow();
  return selected && selected->kind != rkShortcutFile;
}

void ResultsCommands::aOpenRegeditExecute() {
  const std::optional<ProblemRow> selected = SelectedRow();
  if (!selected) return;
  WriteUserRegistryText(platform_, kRegeditKey, "LastKey", RegeditKeyText(*selected));
  // "-m" opens a second window where one is open already (the running one would only come forward,
  // at its own key); Wine's editor refuses the switch and exits without a word.
  const bool newWindow = ::FindWindowW(L"RegEdit_RegEdit", nullptr) != nullptr && !RunsOnWine();
  if (!platform_.shell.Open(reinterpret_cast<std::uintptr_t>(owner_), RegeditPath(platform_), newWindow ? "-m" : "", "",
                            SW_SHOW)) {
    ShowCannotOpen(prompt_, owner_, UiText(IDS_THE_REGISTRY_EDITOR), ::GetLastError());
  }
}

std::optional<std::string> ResultsCommands::SelectedValueEntry() const {
  const std::optional<ProblemRow> selected = SelectedRow();
  return selected ? IgnoreValueEntryOf(*selected) : std::nullopt;
}

std::optional<std::string> ResultsCommands::SelectedKeyEntry() const {
  const std::optional<ProblemRow> selected = SelectedRow();
  return selected ? IgnoreKeyEntryOf(*selected) : std::nullopt;
}

bool ResultsCommands::aIgnoreValueUpdate() const { return SelectedValueEntry().has_value(); }

bool ResultsCommands::aIgnoreKeyUpdate() const { return SelectedKeyEntry().has_value(); }

void ResultsCommands::aIgnoreValueExecute() {
  const std::optional<std::string> entry = SelectedValueEntry();
  if (!entry) return;
  AddIgnoreValue(OptionsSetting, *entry);
  DropIgnoredRows();
}

void ResultsCommands::aIgnoreKeyExecute() {
  const std::optional<std::string> entry = SelectedKeyEntry();
  if (!entry) return;
  AddIgnoreKey(OptionsSetting, *entry);
  DropIgnoredRows();
}

// The enlarged lists take out every row they now cover, as after a scan.
void ResultsCommands::DropIgnoredRows() {
  ignoreListsChanged_();
  ApplyIgnoreLists(results_, IgnoreListsOf(platform_, IgnoredValues(), IgnoredKeys()));
  countsChanged_();
  UpdateActionStates(::GetMenu(owner_));
}

void ResultsCommands::miSaveResultsClick() {
  const std::optional<std::string> chosen =
      prompt_.SaveFileName(owner_, UiText(IDS_SAVE_RESULTS), UiText(IDS_CSV_FILTER));
  if (!chosen) return;
  std::string file = *chosen;
  if (!EndsWithNoCase(file, ".csv")) file += ".csv";
  // The file dialog does not ask; an existing file is replaced only on the user's word.
  if (platform_.files.PathIsFile(file) &&
      prompt_.Message(owner_, UiFormat(IDS_FILE_EXISTS_REPLACE, {file}), kMessageCaption,
                      MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
    return;
  }
  std::string error;
  if (!WriteReport(platform_, file, results_.Rows(), &error, scanNote_)) {
    prompt_.Message(
        owner_, error.empty() ? UiFormat(IDS_CANNOT_WRITE, {file}) : UiFormat(IDS_CANNOT_WRITE_BECAUSE, {file, error}),
        kMessageCaption, MB_OK | MB_ICONERROR);
  }
}

void ResultsCommands::aFindExecute() { findBox_.Show(owner_); }

void ResultsCommands::aFindNextExecute() {
  if (findBox_.LastQuery()) {
    FindNext(*findBox_.LastQuery());
  } else {
    aFindExecute();
  }
}

bool ResultsCommands::HandleFindMessage(UINT message) {
  if (!findBox_.IsFindMessage(message)) return false;
  if (const std::optional<FindQuery> query = findBox_.TakeRequest()) FindNext(*query);
  return true;
}

void ResultsCommands::FindNext(const FindQuery& query) {
  const int current = results_.SelectedIndex();
  // The problem and the reason as the window shows them, in its language: what the user types.
  const std::optional<std::size_t> found = FindNextRow(
      results_.Rows(), current >= 0 ? std::optional<std::size_t>(static_cast<std::size_t>(current)) : std::nullopt,
      query, ShownWording());
  if (found) {
    results_.Select(static_cast<int>(*found));
    return;
  }
  // Over the box while it is open, so the answer shows where the user looks.
  HWND over = findBox_.Handle() ? findBox_.Handle() : owner_;
  prompt_.Message(over, UiFormat(IDS_CANNOT_FIND, {query.text}), kMessageCaption, MB_OK | MB_ICONINFORMATION);
}

void ResultsCommands::UpdateActionStates(HMENU menu) const {
  if (!menu) return;
  const auto enable = [menu](UINT id, bool enabled) {
    ::EnableMenuItem(menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  };
  const bool typeEnabled = aSelectAllTypeUpdate();
  enable(IDM_SELECTALLTYPE, typeEnabled);
  enable(IDM_SELECTNONETYPE, typeEnabled);
  enable(IDM_TICKPROGRAM, aTickProgramUpdate());
  ::CheckMenuItem(menu, IDM_BYPROGRAM, MF_BYCOMMAND | (results_.ByProgram() ? MF_CHECKED : MF_UNCHECKED));
  enable(IDM_OPENREGEDIT, aOpenRegeditUpdate());
  enable(IDM_IGNOREVALUE, aIgnoreValueUpdate());
  enable(IDM_IGNOREKEY, aIgnoreKeyUpdate());
  enable(IDM_SELECTALL, true);
  enable(IDM_SELECTNONE, true);
}

void ResultsCommands::ShowListMenu(LPARAM where) {
  POINT at{static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where))};
  if (where == -1) {
    // From the keyboard: beside the selected row, or the list's corner.
    RECT row{LVIR_BOUNDS, 0, 0, 0};
    const int selected = results_.SelectedIndex();
    if (selected < 0 || !::SendMessageW(results_.Handle(), LVM_GETITEMRECT,
                                        static_cast<WPARAM>(results_.LineOfRow(static_cast<std::size_t>(selected))),
                                        reinterpret_cast<LPARAM>(&row))) {
      row = RECT{0, 0, 0, 0};
    }
    at = POINT{row.left + 16, row.bottom};
    ::ClientToScreen(results_.Handle(), &at);
  }
  const UniqueMenu menu(LoadUiMenu(IDR_LISTPOPUP));
  if (!menu) return;
  HMENU popup = ::GetSubMenu(menu.get(), 0);
  UpdateActionStates(popup);
  ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, owner_, nullptr);
}

}  // namespace tamrisk
