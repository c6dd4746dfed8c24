#include "ui/dialogs/Options.h"

#include <commctrl.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "platform/Text.h"
#include "platform/win32/TaskScheduler.h"
#include "scan/IgnoreFilter.h"
#include "ui/dialogs/RegAddRegistry.h"
#include "ui/main/WindowText.h"
#include "ui/res/options_ids.h"

namespace tamrisk {
namespace {

constexpr UINT kUnticked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kTicked = INDEXTOSTATEIMAGEMASK(2);

constexpr std::initializer_list<int> kGeneralControls = {IDC_OPT_FOLDERGROUP, IDC_OPT_OUTPUTFOLDER, IDC_OPT_BROWSE,
                                                         IDC_OPT_DELETEBACKUPFILE, IDC_OPT_INCLUDEREMOVEMEDIA,
                                                         IDC_OPT_INCLUDECDDRIVE};
// The lists are not here: only the one of the inner page in front is shown.
constexpr std::initializer_list<int> kIgnoreListControls = {IDC_OPT_IGNORELABEL, IDC_OPT_LISTPAGES, IDC_OPT_ADD,
                                                            IDC_OPT_EDIT, IDC_OPT_REMOVE};

// ---- The two ignore lists as the options record holds them ----

// The counted part of a list: entries 0 to count - 1, as every reader walks it.
std::size_t CountedEntries(std::int32_t count, const std::vector<std::string>& list) {
  return std::min(static_cast<std::size_t>(std::max<std::int32_t>(count, 0)), list.size());
}

std::vector<std::string> CountedList(std::int32_t count, const std::vector<std::string>& list) {
  return {list.begin(), list.begin() + static_cast<std::ptrdiff_t>(CountedEntries(count, list))};
}

void AddCountedEntry(std::int32_t& count, std::vector<std::string>& list, const std::string& entry) {
  // Entries past the count are read by nobody and saved by nobody; the new one goes right after the
  // counted ones so that it is seen.
  list.resize(CountedEntries(count, list));
  const bool known =
      std::any_of(list.begin(), list.end(), [&](const std::string& each) { return EqualsNoCase(each, entry); });
  if (!known) list.push_back(entry);
  count = static_cast<std::int32_t>(list.size());
}

// ---- The check-box lists "Values" and "Keys" ----

void InitItemsList(HWND list, int columnWidth) {
  ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  InsertListColumn(list, 0, "Items", columnWidth);
}

int ItemCount(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

void AppendItem(HWND list, const std::string& text) {
  InsertListItem(list, ItemCount(list), text, kUnticked, LVIS_STATEIMAGEMASK);
}

bool IsItemTicked(HWND list, int index) {
  const auto state = static_cast<UINT>(
      ::SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_STATEIMAGEMASK));
  return (state & LVIS_STATEIMAGEMASK) == kTicked;
}

int SelectedItem(HWND list) {
  return static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::vector<std::string> ItemTexts(HWND list) {
  std::vector<std::string> texts;
  const int count = ItemCount(list);
  for (int i = 0; i < count; ++i) texts.push_back(ListItemText(list, i));
  return texts;
}

void FillItems(HWND list, const std::vector<std::string>& texts) {
  ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (const std::string& text : texts) AppendItem(list, text);
}

// ---- Tab controls ----

int TabInFront(HWND tabs) { return static_cast<int>(::SendMessageW(tabs, TCM_GETCURSEL, 0, 0)); }

}  // namespace

std::optional<std::string> IgnoreValueEntryOf(const ProblemRow& row) {
  const std::optional<RowTarget> target = TargetOf(row);
  if (!target || target->value.empty()) return std::nullopt;
  return target->key + "\\" + target->value;
}

std::optional<std::string> IgnoreKeyEntryOf(const ProblemRow& row) {
  const std::optional<RowTarget> target = TargetOf(row);
  if (!target) return std::nullopt;
  // A value straight under a root names the root itself; as a key entry it would hide a whole hive.
  std::string key = target->key;
  while (!key.empty() && key.back() == '\\') key.pop_back();
  if (key.find('\\') == std::string::npos) return std::nullopt;
  return target->key;
}

void AddIgnoreValue(TOptionsSetting& options, const std::string& entry) {
  AddCountedEntry(options.IgnoreValueCount, options.IgnoreValues, entry);
}

void AddIgnoreKey(TOptionsSetting& options, const std::string& entry) {
  AddCountedEntry(options.IgnoreKeyCount, options.IgnoreKeys, entry);
}

TfrmOptions::TfrmOptions(Prompt& prompt, const Platform& platform, TOptionsSetting& options,
                         TaskScheduler* scheduler)
    : ModalDialog(prompt, IDD_OPTIONS),
      platform_(platform),
      options_(options),
      systemScheduler_(scheduler ? nullptr : std::make_unique<win32::Win32TaskScheduler>()),
      schedule_(prompt, platform_, scheduler ? *scheduler : *systemScheduler_) {}

bool TfrmOptions::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_INITDIALOG:
      FormCreate();
      FormShow();
      result = TRUE;
      return true;
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    default:
      return false;
  }
}

bool TfrmOptions::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDOK: bOKClick(); return true;
    case IDCANCEL: EndModal(IDCANCEL); return true;  // Cancel, Escape and the close box
    case IDC_OPT_BROWSE: bBrowseClick(); return true;
    case IDC_OPT_ADD: bAddClick(); return true;
    case IDC_OPT_EDIT:
      if (bEditUpdate()) bEditClick();
      return true;
    case IDC_OPT_REMOVE: bRemoveClick(); return true;
    default: return false;
  }
}

bool TfrmOptions::OnNotify(const NMHDR& header) {
  switch (header.idFrom) {
    case IDC_OPT_PAGES:
      if (header.code == TCN_SELCHANGE) ShowPage(static_cast<Page>(TabInFront(header.hwndFrom)));
      return true;
    case IDC_OPT_LISTPAGES:
      if (header.code == TCN_SELCHANGE) ShowListPage(static_cast<ListPage>(TabInFront(header.hwndFrom)));
      return true;
    case IDC_OPT_VALUES:
    case IDC_OPT_KEYS:
      if (header.code == LVN_ITEMCHANGED) bEditUpdate();
      return false;
    default:
      return false;
  }
}

void TfrmOptions::FormCreate() {
  SetClientSize(455, 356);
  InsertTab(Item(IDC_OPT_PAGES), pgGeneral, "General");
  InsertTab(Item(IDC_OPT_PAGES), pgIgnoreLists, "Ignore Lists");
  InsertTab(Item(IDC_OPT_PAGES), pgSchedule, "Schedule");
  InsertTab(Item(IDC_OPT_LISTPAGES), pgValues, "Values");
  InsertTab(Item(IDC_OPT_LISTPAGES), pgKeys, "Keys");
  PlaceControls();  // after the tabs: a page's area depends on its tab row
  InitItemsList(Item(IDC_OPT_VALUES), 360);
  InitItemsList(Item(IDC_OPT_KEYS), 320);
  // The tab controls lie under their pages' controls, the outer one lowest.
  ::SetWindowPos(Item(IDC_OPT_LISTPAGES), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::SetWindowPos(Item(IDC_OPT_PAGES), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // The Schedule page is a dialog of its own over the outer tab control's page area.
  RECT schedulePage{};
  ::GetWindowRect(Item(IDC_OPT_PAGES), &schedulePage);
  ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&schedulePage), 2);
  ::SendMessageW(Item(IDC_OPT_PAGES), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&schedulePage));
  schedule_.Create(Handle(), schedulePage);
  CentreOn(::GetWindow(Handle(), GW_OWNER));
}

void TfrmOptions::PlaceControls() {
  PlaceItem(IDC_OPT_PAGES, 8, 8, 439, 304);
  PlaceItem(IDC_OPT_FOLDERGROUP, 20, 42, 415, 66);
  PlaceItem(IDC_OPT_OUTPUTFOLDER, 32, 68, 300, 22);
  PlaceItem(IDC_OPT_BROWSE, 342, 66, 81, 25);
  PlaceItem(IDC_OPT_DELETEBACKUPFILE, 24, 124, 410, 20);
  PlaceItem(IDC_OPT_INCLUDEREMOVEMEDIA, 24, 150, 410, 20);
  PlaceItem(IDC_OPT_INCLUDECDDRIVE, 24, 176, 410, 20);
  PlaceItem(IDC_OPT_IGNORELABEL, 20, 42, 415, 16);
  PlaceItem(IDC_OPT_LISTPAGES, 20, 62, 415, 204);
  // Each list fills the inner tab control's page area.
  RECT page{20, 62, 20 + 415, 62 + 204};
  ::SendMessageW(Item(IDC_OPT_LISTPAGES), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
  for (int list : {IDC_OPT_VALUES, IDC_OPT_KEYS}) {
    PlaceItem(list, page.left + 2, page.top + 2, page.right - page.left - 4, page.bottom - page.top - 4);
  }
  PlaceItem(IDC_OPT_ADD, 192, 276, 75, 25);
  PlaceItem(IDC_OPT_EDIT, 275, 276, 75, 25);
  PlaceItem(IDC_OPT_REMOVE, 358, 276, 75, 25);
  PlaceItem(IDOK, 291, 322, 75, 25);
  PlaceItem(IDCANCEL, 372, 322, 75, 25);
}

void TfrmOptions::FormShow() {
  SetText(Item(IDC_OPT_OUTPUTFOLDER), options_.OutputDirectory);
  SetTicked(IDC_OPT_DELETEBACKUPFILE, options_.DeleteBackupFile);
  SetTicked(IDC_OPT_INCLUDEREMOVEMEDIA, options_.IncludeRemoveMedia);
  SetTicked(IDC_OPT_INCLUDECDDRIVE, options_.IncludeCDdrive);
  FillItems(Item(IDC_OPT_VALUES), CountedList(options_.IgnoreValueCount, options_.IgnoreValues));
  FillItems(Item(IDC_OPT_KEYS), CountedList(options_.IgnoreKeyCount, options_.IgnoreKeys));
  schedule_.Load();  // the registered task, not options.ini, says what is scheduled
  ShowListPage(pgValues);
  ShowPage(pgGeneral);
}

void TfrmOptions::ShowPage(Page page) {
  ::SendMessageW(Item(IDC_OPT_PAGES), TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
  for (int id : kGeneralControls) ::ShowWindow(Item(id), page == pgGeneral ? SW_SHOW : SW_HIDE);
  for (int id : kIgnoreListControls) ::ShowWindow(Item(id), page == pgIgnoreLists ? SW_SHOW : SW_HIDE);
  const ListPage lists = ListPageInFront();
  ::ShowWindow(Item(IDC_OPT_VALUES), page == pgIgnoreLists && lists == pgValues ? SW_SHOW : SW_HIDE);
  ::ShowWindow(Item(IDC_OPT_KEYS), page == pgIgnoreLists && lists == pgKeys ? SW_SHOW : SW_HIDE);
  schedule_.Show(page == pgSchedule);
}

void TfrmOptions::ShowListPage(ListPage page) {
  ::SendMessageW(Item(IDC_OPT_LISTPAGES), TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
  const bool shown = PageInFront() == pgIgnoreLists;
  ::ShowWindow(Item(IDC_OPT_VALUES), shown && page == pgValues ? SW_SHOW : SW_HIDE);
  ::ShowWindow(Item(IDC_OPT_KEYS), shown && page == pgKeys ? SW_SHOW : SW_HIDE);
  bEditUpdate();
}

TfrmOptions::Page TfrmOptions::PageInFront() const {
  const int page = TabInFront(Item(IDC_OPT_PAGES));
  return page == pgIgnoreLists || page == pgSchedule ? static_cast<Page>(page) : pgGeneral;
}

TfrmOptions::ListPage TfrmOptions::ListPageInFront() const {
  return TabInFront(Item(IDC_OPT_LISTPAGES)) == pgKeys ? pgKeys : pgValues;
}

HWND TfrmOptions::ListInFront() const {
  return Item(ListPageInFront() == pgKeys ? IDC_OPT_KEYS : IDC_OPT_VALUES);
}

bool TfrmOptions::IsTicked(int id) const {
  return ::SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TfrmOptions::SetTicked(int id, bool ticked) {
  ::SendMessageW(Item(id), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TfrmOptions::bBrowseClick() {
  std::string folder;
  if (SelectDirectory(platform_, reinterpret_cast<std::uintptr_t>(Handle()), folder)) {
    SetText(Item(IDC_OPT_OUTPUTFOLDER), folder);
  }
}

void TfrmOptions::bOKClick() {
  const std::string folder = TextOf(Item(IDC_OPT_OUTPUTFOLDER));
  if (!platform_.files.PathIsFolder(folder)) {
    Prompts().Message(Handle(), folder + ",The backup directory does not exist.", kMessageCaption,
                      MB_OK | MB_ICONERROR);
    // The folder field may be on the page behind; it can take the focus only once it is shown.
    if (PageInFront() != pgGeneral) ShowPage(pgGeneral);
    ::SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_OPT_OUTPUTFOLDER)), TRUE);
    return;
  }
  // A schedule the Task Scheduler refuses keeps the dialog open with nothing stored.
  if (!schedule_.Apply()) {
    ShowPage(pgSchedule);
    return;
  }
  options_.OutputDirectory = folder;
  options_.DeleteBackupFile = IsTicked(IDC_OPT_DELETEBACKUPFILE);
  options_.IncludeRemoveMedia = IsTicked(IDC_OPT_INCLUDEREMOVEMEDIA);
  options_.IncludeCDdrive = IsTicked(IDC_OPT_INCLUDECDDRIVE);
  options_.IgnoreValues = ItemTexts(Item(IDC_OPT_VALUES));
  options_.IgnoreValueCount = static_cast<std::int32_t>(options_.IgnoreValues.size());
  options_.IgnoreKeys = ItemTexts(Item(IDC_OPT_KEYS));
  options_.IgnoreKeyCount = static_cast<std::int32_t>(options_.IgnoreKeys.size());
  EndModal(IDOK);
}

void TfrmOptions::bAddClick() {
  HWND list = ListInFront();
  TfrmRegAddRegistry entry(Prompts(), platform_);
  if (entry.ShowModal(Handle()) == IDOK) AppendItem(list, entry.RegistryKey);
}

void TfrmOptions::bEditClick() {
  HWND list = ListInFront();
  const int selected = SelectedItem(list);
  if (selected < 0) return;
  TfrmRegAddRegistry entry(Prompts(), platform_);
  entry.RegistryKey = ListItemText(list, selected);
  if (entry.ShowModal(Handle()) == IDOK) SetListItemText(list, selected, 0, entry.RegistryKey);
}

void TfrmOptions::bRemoveClick() {
  HWND list = ListInFront();
  for (int i = ItemCount(list); i-- > 0;) {
    if (IsItemTicked(list, i)) ::SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(i), 0);
  }
  bEditUpdate();
}

bool TfrmOptions::bEditUpdate() {
  const bool enabled = SelectedItem(ListInFront()) >= 0;
  ::EnableWindow(Item(IDC_OPT_EDIT), enabled);
  return enabled;
}

}  // namespace tamrisk
