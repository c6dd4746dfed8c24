#include "ui/dialogs/Restore.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include "platform/Text.h"
#include "platform/win32/Wide.h"
#include "repair/Repair.h"
#include "settings/RegGlobal.h"
#include "ui/common/WindowText.h"
#include "ui/res/restore_ids.h"
#include "ui/common/Language.h"
#include "ui/common/ShownTexts.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {
namespace {

// Posted to itself once the dialog is set up, so the folder is listed (and a missing one reported)
// from the dialog's own message loop.
constexpr UINT WM_RESTORESHOW = WM_APP + 1;

// Keeps a window disabled while another modal window, owned elsewhere, runs over it.
class DisabledWhile {
 public:
  explicit DisabledWhile(HWND window) : window_(window) { ::EnableWindow(window_, FALSE); }
  ~DisabledWhile() {
    ::EnableWindow(window_, TRUE);
    ::SetActiveWindow(window_);
  }
  DisabledWhile(const DisabledWhile&) = delete;
  DisabledWhile& operator=(const DisabledWhile&) = delete;

 private:
  HWND window_;
};

// Text of a REGEDIT4 file, in the ANSI code page, as the registry editor reads it.
std::u16string AnsiCodePageText(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  std::u16string text(static_cast<std::size_t>(std::max(length, 0)), u'\0');
  if (length > 0) {
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(text.data()), length);
  }
  return text;
}

}  // namespace

RestoreResult RestoreVerified(const Platform& platform, Prompt& prompt, HWND owner,
                              const std::function<bool(const std::string&)>& runImport, const std::string& path) {
  // Most lines of a file's entries the warning about a file not on record shows.
  constexpr std::size_t kShownLines = 24;
  const UnrecordedFileConfirm confirm = [&](const RegFile& file) {
    const Phrase question{TextId::UnrecordedImportQuestion, {path, DescribeRegFile(file, kShownLines)}};
    return prompt.Message(owner, ShownPhrase(question), kMessageCaption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) ==
           IDYES;
  };
  const RestoreResult result = RestoreBackupFile(platform, path, runImport, AnsiCodePageText, confirm);
  const std::optional<Phrase> failure = RestoreFailurePhrase(result, path);
  if (failure) prompt.Message(owner, ShownPhrase(*failure), kMessageCaption, MB_OK | MB_ICONWARNING);
  return result;
}

std::unique_ptr<RepairTurn> TakeRepairTurnOrSay(const Platform& platform, Prompt& prompt, HWND owner) {
  RepairHolder holder = RepairHolder::AnotherProgram;
  std::unique_ptr<RepairTurn> turn = platform.shell.TakeRepairTurn(false, holder);
  if (!turn) {
    prompt.Message(owner, UiFormat(IDS_REPAIR_AGAIN_LATER, {ShownPhrase(RepairBusyPhrase(holder))}), kMessageCaption,
                   MB_OK | MB_ICONINFORMATION);
  }
  return turn;
}

std::string BackupDateText(const LocalDateTime& lastWrite) {
  const LocalDateTime when = BackupListedTime(lastWrite);
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(when.year);
  time.wMonth = static_cast<WORD>(when.month);
  time.wDay = static_cast<WORD>(when.day);
  time.wHour = static_cast<WORD>(when.hour);
  time.wMinute = static_cast<WORD>(when.minute);
  time.wSecond = static_cast<WORD>(when.second);
  // The user's locale may write dates and times in its own script.
  wchar_t date[128] = {};
  if (::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, std::size(date)) == 0) return {};
  if (ShowsDateOnly(when)) return win32::Utf8(date);
  wchar_t clock[128] = {};
  if (::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, std::size(clock)) == 0) return win32::Utf8(date);
  return win32::Utf8(date) + " " + win32::Utf8(clock);
}

std::string RestoreSummaryText(const RestoreResult& result, const std::string& name, bool fileDeleted) {
  const std::string file = UiText(fileDeleted ? IDS_FILE_DELETED : IDS_FILE_KEPT);
  const std::string entries = std::to_string(result.check.entries);
  switch (result.status) {
    case RestoreResult::Status::Restored: return UiFormat(IDS_RESTORED, {entries, name, file});
    case RestoreResult::Status::NotEnded: return UiFormat(IDS_RESTORE_NOT_ENDED, {name, file});
    case RestoreResult::Status::Unreadable: return UiFormat(IDS_RESTORE_UNREADABLE, {name});
    case RestoreResult::Status::Refused:
    case RestoreResult::Status::Declined: return UiFormat(IDS_RESTORE_REFUSED, {name});
    case RestoreResult::Status::Incomplete:
      return UiFormat(IDS_RESTORE_INCOMPLETE, {name, std::to_string(result.check.missing), entries, file});
  }
  return {};
}

TfrmRestore::TfrmRestore(const Platform& platform, Prompt& prompt, CommandRunner runCommand)
    : ModalDialog(prompt, IDD_RESTORE), platform_(platform), runCommand_(std::move(runCommand)) {}

int TfrmRestore::ListView1Compare(const std::string& a, const std::string& b) { return CompareBackupNames(a, b); }

bool TfrmRestore::OnInit() {
  FormCreate();
  ::PostMessageW(Handle(), WM_RESTORESHOW, 0, 0);
  return true;
}

bool TfrmRestore::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR&) {
  if (message != WM_RESTORESHOW) return false;
  FormShow();
  return true;
}

bool TfrmRestore::OnNotify(const NMHDR& header) {
  if (header.hwndFrom != List()) return false;
  if (header.code == LVN_ITEMCHANGED) {
    UpdateActions();
  } else if (header.code == NM_DBLCLK) {
    aRestoreExecute();
  }
  return true;
}

bool TfrmRestore::OnCommand(int id, int) {
  switch (id) {
    case IDC_RESTORE_BROWSE: bBrowseFolderClick(); return true;
    case IDC_RESTORE_OPENDIR: bOpenDirectoryClick(); return true;
    case IDC_RESTORE_RESTORE: aRestoreExecute(); return true;
    case IDC_RESTORE_DELETE: aDeleteExecute(); return true;
    case IDC_RESTORE_CLOSE: EndModal(IDCANCEL); return true;
    default: return false;
  }
}

void TfrmRestore::FormCreate() {
  SetText(Handle(), kMessageCaption);
  const std::string file = UiText(IDS_COLUMN_BACKUP_FILE), date = UiText(IDS_COLUMN_DATE),
                    size = UiText(IDS_COLUMN_SIZE);
  SetUpList(IDC_RESTORE_LIST, {{file.c_str(), 190}, {date.c_str(), 110}, {size.c_str(), 92}});
  CentreOnOwner();
  UpdateActions();
}

void TfrmRestore::FormShow() {
  SetItemText(IDC_RESTORE_FOLDER, OptionsSetting.OutputDirectory);
  ListFolder();
}

void TfrmRestore::bBrowseFolderClick() {
  std::string folder;
  if (!SelectDirectory(platform_, reinterpret_cast<std::uintptr_t>(Handle()), UiText(IDS_PICK_FOLDER), folder)) return;
  SetItemText(IDC_RESTORE_FOLDER, folder);
  ::SendMessageW(List(), LVM_DELETEALLITEMS, 0, 0);
  UpdateActions();
  ListFolder();
}

void TfrmRestore::bOpenDirectoryClick() {
  platform_.shell.Open(reinterpret_cast<std::uintptr_t>(Handle()), FolderText(), "", "", SW_SHOW);
}

void TfrmRestore::ListFolder() {
  const std::string folder = FolderText();
  if (!platform_.files.PathIsFolder(folder)) {
    Prompts().Message(Handle(), UiText(IDS_BACKUP_FOLDER_MISSING), kMessageCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  for (const FileEntry& file : BackupFilesIn(platform_.files, folder)) AddRow(file);
  FitDateColumn();
  UpdateActions();
}

void TfrmRestore::FitDateColumn() {
  if (RowCount() == 0) return;
  ::SendMessageW(List(), LVM_SETCOLUMNWIDTH, colDate, MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
  RECT client{};
  ::GetClientRect(List(), &client);
  const auto width = [this](int column) {
    return static_cast<int>(::SendMessageW(List(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
  };
  // A vertical scroll bar may come with more rows; its width stays free.
  const int rest = client.right - ::GetSystemMetrics(SM_CXVSCROLL) - width(colDate) - width(colSize);
  if (rest > 0) ::SendMessageW(List(), LVM_SETCOLUMNWIDTH, colFile, MAKELPARAM(rest, 0));
}

void TfrmRestore::AddRow(const FileEntry& file) {
  const int index = InsertListItem(List(), RowCount(), file.name);
  if (index < 0) return;
  SetListItemText(List(), index, colDate, BackupDateText(file.lastWrite));
  SetListItemText(List(), index, colSize, BackupSizeText(file.size));
}

std::string TfrmRestore::SelectedPath() const {
  return WithTrailingBackslash(FolderText()) + CellText(SelectedIndex(), colFile);
}

void TfrmRestore::aRestoreExecute() {
  if (SelectedIndex() < 0) return;
  const std::string name = CellText(SelectedIndex(), colFile);
  // Each restore on the user's word: after one, the next row is selected and Enter would restore it.
  if (Prompts().Message(Handle(), UiFormat(IDS_RESTORE_QUESTION, {name}), kMessageCaption,
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
    return;
  }
  const std::unique_ptr<RepairTurn> turn = TakeRepairTurnOrSay(platform_, Prompts(), Handle());
  if (!turn) return;
  const std::string path = SelectedPath();
  const RestoreResult result = RestoreVerified(
      platform_, Prompts(), Handle(),
      [this](const std::string& command) {
        // The hint window belongs to the main window; this dialog must take no input meanwhile.
        DisabledWhile disabled(Handle());
        return runCommand_(command, UiText(IDS_RESTORING_REGISTRY));
      },
      path);
  // The only copy of what a repair removed goes only when all of it is back.
  if (result.status == RestoreResult::Status::Restored && OptionsSetting.DeleteBackupFile) DeleteSelected();
  LastResult = RestoreSummaryText(result, name, !platform_.files.PathIsFile(path));
  SetItemText(IDC_RESTORE_STATUS, LastResult);
}

void TfrmRestore::aDeleteExecute() {
  if (SelectedIndex() < 0) return;
  DeleteSelected();
}

void TfrmRestore::DeleteSelected() {
  const int selected = SelectedIndex();
  const std::string path = SelectedPath();
  ShellDeleteFile(platform_, path);
  // A file that could not be removed keeps its row; it must not look deleted.
  if (platform_.files.PathIsFile(path)) return;
  ::SendMessageW(List(), LVM_DELETEITEM, static_cast<WPARAM>(selected), 0);
  const int remaining = RowCount();
  if (remaining > 0) SelectRow(std::min(selected, remaining - 1));
  UpdateActions();
}

bool TfrmRestore::aRestoreUpdate() const { return SelectedIndex() >= 0; }

void TfrmRestore::UpdateActions() {
  const bool enabled = aRestoreUpdate();
  EnableItem(IDC_RESTORE_RESTORE, enabled);
  EnableItem(IDC_RESTORE_DELETE, enabled);
}

HWND TfrmRestore::List() const { return Item(IDC_RESTORE_LIST); }

std::string TfrmRestore::FolderText() const { return ItemText(IDC_RESTORE_FOLDER); }

int TfrmRestore::RowCount() const { return ListItemCount(List()); }

int TfrmRestore::SelectedIndex() const { return SelectedListItem(List()); }

std::string TfrmRestore::CellText(int row, int column) const { return ListItemText(List(), row, column); }

void TfrmRestore::SelectRow(int row) {
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
  ::SendMessageW(List(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

}  // namespace tamrisk
