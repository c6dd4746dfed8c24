// TfrmRestore: lists the backup files of a folder and puts one back into the registry by having the
// registry editor import it silently. It also deletes backup files and opens the folder in the shell.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/System.h"
#include "repair/BackupListing.h"
#include "repair/VerifiedRestore.h"
#include "ui/common/ModalDialog.h"

namespace tamrisk {

// Starts a command line and waits for it behind the backup hint window; true when the program
// ended by itself (the main window's RunCommandWithHint).
using CommandRunner = std::function<bool(const std::string& commandLine, const std::string& hintText)>;

// Restores a backup file through runImport and checks that everything came back (RestoreBackupFile);
// when not, a message box over owner says so. The restore command and the main window's undo use it.
RestoreResult RestoreVerified(const Platform& platform, Prompt& prompt, HWND owner,
                              const std::function<bool(const std::string& commandLine)>& runImport,
                              const std::string& path);

// This window's turn to repair or restore. Null when another process is repairing or restoring: a
// message box over owner then says who, and that it can be done once that has finished.
std::unique_ptr<RepairTurn> TakeRepairTurnOrSay(const Platform& platform, Prompt& prompt, HWND owner);

// A file's local last-write time as the short date, a blank and the long time of the user's locale.
// Seconds count in twos, as file dates do; a time of exactly midnight shows the date alone.
std::string BackupDateText(const LocalDateTime& when);

// One line on what a restore from the file name came to, for the dialog and the main window's
// status bar: how many entries came back and whether the file was deleted or kept.
std::string RestoreSummaryText(const RestoreResult& result, const std::string& name, bool fileDeleted);

class TfrmRestore final : public ModalDialog {
 public:
  TfrmRestore(const Platform& platform, Prompt& prompt, CommandRunner runCommand);

  // What the last restore of this dialog came to (RestoreSummaryText); "" when none was done.
  std::string LastResult;

  // Negative when a lists before b: names in descending order, ignoring ASCII letter case.
  static int ListView1Compare(const std::string& a, const std::string& b);

  void FormCreate();
  void FormShow();
  void bBrowseFolderClick();
  void bOpenDirectoryClick();
  void aRestoreExecute();
  void aDeleteExecute();
  // Restore and Delete are enabled only while a row is selected.
  bool aRestoreUpdate() const;

  // What the list shows, for callers that drive the open dialog.
  std::string FolderText() const;
  int RowCount() const;
  int SelectedIndex() const;
  std::string CellText(int row, int column) const;
  void SelectRow(int row);

  enum Column { colFile = 0, colDate = 1, colSize = 2 };

 private:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  bool OnNotify(const NMHDR& header) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  // Lists the backup files of the folder that eFolder shows, in the list's order.
  void ListFolder();
  void AddRow(const FileEntry& file);
  std::string SelectedPath() const;
  void DeleteSelected();
  void UpdateActions();
  // The Date column as wide as its widest date, the file names taking what is left.
  void FitDateColumn();
  HWND List() const;

  Platform platform_;
  CommandRunner runCommand_;
};

}  // namespace tamrisk
