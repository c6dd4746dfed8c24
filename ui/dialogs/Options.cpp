#include "ui/dialogs/Options.h"

#include <commctrl.h>

#include <algorithm>
#include <initializer_list>
#include <span>
#include <vector>

#include "platform/Text.h"
#include "platform/win32/TaskScheduler.h"
#include "platform/win32/Wide.h"
#include "settings/IgnoreListEdit.h"
#include "ui/dialogs/RegAddRegistry.h"
#include "ui/common/WindowText.h"
#include "ui/res/options_ids.h"
#include "ui/common/Language.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {
namespace {

constexpr UINT kUnticked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kTicked = INDEXTOSTATEIMAGEMASK(2);

constexpr std::initializer_list<int> kGeneralControls = {
    IDC_OPT_FOLDERGROUP,      IDC_OPT_OUTPUTFOLDER,       IDC_OPT_BROWSE,
    IDC_OPT_DELETEBACKUPFILE, IDC_OPT_INCLUDEREMOVEMEDIA, IDC_OPT_INCLUDECDDRIVE,
    IDC_OPT_LANGUAGELABEL,    IDC_OPT_LANGUAGE,           IDC_OPT_LANGUAGENOTE};
// The lists are not here: only the one of the inner page in front is shown.
constexpr std::initializer_list<int> kIgnoreListControls = {IDC_OPT_IGNORELABEL, IDC_OPT_LISTPAGES, IDC_OPT_ADD,
                                                            IDC_OPT_EDIT, IDC_OPT_REMOVE};

// ---- The check-box lists "Values" and "Keys" ----

// An entry is a whole key path and value name, often wider than the list: its column takes the widest
// entry, so the list scrolls sideways to show it whole, and never less than the list's width.
void FitEntriesColumn(HWND list) {
  ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE);
  RECT client{};
  ::GetClientRect(list, &client);
  const auto width = static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
  if (width < client.right) ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(client.right, 0));
}

void AppendItem(HWND list, const std::string& text) {
  InsertListItem(list, ListItemCount(list), text, kUnticked, LVIS_STATEIMAGEMASK);
  FitEntriesColumn(list);
}

bool IsItemTicked(HWND list, int index) {
  const auto state =
      static_cast<UINT>(::SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_STATEIMAGEMASK));
  return (state & LVIS_STATEIMAGEMASK) == kTicked;
}

std::vector<std::string> ItemTexts(HWND list) {
  std::vector<std::string> texts;
  const int count = ListItemCount(list);
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

TfrmOptions::TfrmOptions(Prompt& prompt, const Platform& platform, TOptionsSetting& options, TaskScheduler* scheduler)
    : ModalDialog(prompt, IDD_OPTIONS),
      platform_(platform),
      options_(options),
      systemScheduler_(scheduler ? nullptr : std::make_unique<win32::Win32TaskScheduler>()),
      schedule_(prompt, platform_, scheduler ? *scheduler : *systemScheduler_) {}

bool TfrmOptions::OnInit() {
  FormCreate();
  FormShow();
  return true;
}

bool TfrmOptions::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDOK: bOKClick(); return true;
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
    default: return false;
  }
}

void TfrmOptions::FormCreate() {
  InsertTab(Item(IDC_OPT_PAGES), pgGeneral, UiText(IDS_TAB_GENERAL));
  InsertTab(Item(IDC_OPT_PAGES), pgIgnoreLists, UiText(IDS_TAB_IGNORE_LISTS));
  InsertTab(Item(IDC_OPT_PAGES), pgSchedule, UiText(IDS_TAB_SCHEDULE));
  InsertTab(Item(IDC_OPT_LISTPAGES), pgValues, UiText(IDS_TAB_VALUES));
  InsertTab(Item(IDC_OPT_LISTPAGES), pgKeys, UiText(IDS_TAB_KEYS));
  FitListsToTheirPage();  // after the tabs: a page's area depends on its tab row
  const std::string items = UiText(IDS_COLUMN_ITEMS);
  SetUpList(IDC_OPT_VALUES, {{items.c_str(), 360}}, true);
  SetUpList(IDC_OPT_KEYS, {{items.c_str(), 320}}, true);
  // An entry cut at the list's edge shows whole as its tip, too.
  for (int list : {IDC_OPT_VALUES, IDC_OPT_KEYS}) {
    ::SendMessageW(Item(list), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_LABELTIP, LVS_EX_LABELTIP);
  }
  // The tab controls lie under their pages' controls, the outer one lowest.
  ::SetWindowPos(Item(IDC_OPT_LISTPAGES), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::SetWindowPos(Item(IDC_OPT_PAGES), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // The Schedule page is a dialog of its own over the outer tab control's page area.
  schedule_.Create(Handle(), PageArea(IDC_OPT_PAGES));
  CentreOnOwner();
}

RECT TfrmOptions::PageArea(int tabs) const {
  RECT area{};
  ::GetWindowRect(Item(tabs), &area);
  ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&area), 2);
  ::SendMessageW(Item(tabs), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  return area;
}

void TfrmOptions::FitListsToTheirPage() {
  const RECT page = PageArea(IDC_OPT_LISTPAGES);
  const int edge = Scaled(2);
  for (int list : {IDC_OPT_VALUES, IDC_OPT_KEYS}) {
    PlaceItem(list, page.left + edge, page.top + edge, page.right - page.left - 2 * edge,
              page.bottom - page.top - 2 * edge);
  }
}

void TfrmOptions::FormShow() {
  SetItemText(IDC_OPT_OUTPUTFOLDER, options_.OutputDirectory);
  SetChecked(IDC_OPT_DELETEBACKUPFILE, options_.DeleteBackupFile);
  SetChecked(IDC_OPT_INCLUDEREMOVEMEDIA, options_.IncludeRemoveMedia);
  SetChecked(IDC_OPT_INCLUDECDDRIVE, options_.IncludeCDdrive);
  FillLanguages();
  FillItems(Item(IDC_OPT_VALUES), CountedList(options_.IgnoreValueCount, options_.IgnoreValues));
  FillItems(Item(IDC_OPT_KEYS), CountedList(options_.IgnoreKeyCount, options_.IgnoreKeys));
  schedule_.Load();  // the registered task, not options.ini, says what is scheduled
  ShowListPage(pgValues);
  ShowPage(pgGeneral);
}

// The first entry follows Windows; the others are UiLanguages() in order.
void TfrmOptions::FillLanguages() {
  HWND box = Item(IDC_OPT_LANGUAGE);
  ::SendMessageW(box, CB_RESETCONTENT, 0, 0);
  ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::Wide(UiText(IDS_WINDOWS_LANGUAGE)).c_str()));
  int selected = 0, index = 1;
  for (const UiLanguageInfo& language : UiLanguages()) {
    ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::Wide(language.name).c_str()));
    if (options_.Language == language.code) selected = index;
    ++index;
  }
  ::SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

std::string TfrmOptions::ChosenLanguage() const {
  const auto index = static_cast<int>(::SendMessageW(Item(IDC_OPT_LANGUAGE), CB_GETCURSEL, 0, 0));
  const std::span<const UiLanguageInfo> languages = UiLanguages();
  if (index < 1 || index > static_cast<int>(languages.size())) return {};
  return languages[static_cast<std::size_t>(index - 1)].code;
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

TfrmRegAddRegistry::List TfrmOptions::EntryList() const {
  return ListPageInFront() == pgKeys ? TfrmRegAddRegistry::List::Keys : TfrmRegAddRegistry::List::Values;
}

HWND TfrmOptions::ListInFront() const { return Item(ListPageInFront() == pgKeys ? IDC_OPT_KEYS : IDC_OPT_VALUES); }

void TfrmOptions::bBrowseClick() {
  std::string folder;
  if (SelectDirectory(platform_, reinterpret_cast<std::uintptr_t>(Handle()), UiText(IDS_PICK_FOLDER), folder)) {
    SetItemText(IDC_OPT_OUTPUTFOLDER, folder);
  }
}

void TfrmOptions::bOKClick() {
  const std::string folder = ItemText(IDC_OPT_OUTPUTFOLDER);
  if (!platform_.files.PathIsFolder(folder)) {
    Prompts().Message(Handle(), UiFormat(IDS_FOLDER_DOES_NOT_EXIST, {folder}), kMessageCaption, MB_OK | MB_ICONERROR);
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
  options_.DeleteBackupFile = IsChecked(IDC_OPT_DELETEBACKUPFILE);
  options_.IncludeRemoveMedia = IsChecked(IDC_OPT_INCLUDEREMOVEMEDIA);
  options_.IncludeCDdrive = IsChecked(IDC_OPT_INCLUDECDDRIVE);
  options_.Language = ChosenLanguage();
  options_.IgnoreValues = ItemTexts(Item(IDC_OPT_VALUES));
  options_.IgnoreValueCount = static_cast<std::int32_t>(options_.IgnoreValues.size());
  options_.IgnoreKeys = ItemTexts(Item(IDC_OPT_KEYS));
  options_.IgnoreKeyCount = static_cast<std::int32_t>(options_.IgnoreKeys.size());
  EndModal(IDOK);
}

void TfrmOptions::bAddClick() {
  HWND list = ListInFront();
  TfrmRegAddRegistry entry(Prompts(), platform_);
  entry.ForList = EntryList();
  if (entry.ShowModal(Handle()) == IDOK) AppendItem(list, entry.RegistryKey);
}

void TfrmOptions::bEditClick() {
  HWND list = ListInFront();
  const int selected = SelectedListItem(list);
  if (selected < 0) return;
  TfrmRegAddRegistry entry(Prompts(), platform_);
  entry.ForList = EntryList();
  entry.RegistryKey = ListItemText(list, selected);
  if (entry.ShowModal(Handle()) != IDOK) return;
  SetListItemText(list, selected, 0, entry.RegistryKey);
  FitEntriesColumn(list);
}

void TfrmOptions::bRemoveClick() {
  HWND list = ListInFront();
  for (int i = ListItemCount(list); i-- > 0;) {
    if (IsItemTicked(list, i)) ::SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(i), 0);
  }
  FitEntriesColumn(list);
  bEditUpdate();
}

bool TfrmOptions::bEditUpdate() {
  const bool enabled = SelectedListItem(ListInFront()) >= 0;
  EnableItem(IDC_OPT_EDIT, enabled);
  return enabled;
}

}  // namespace tamrisk
