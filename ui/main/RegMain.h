// TfrmHivora: the main window. It holds the category tree, the results list and the commands on
// them, runs scans behind the progress window, and runs the unattended clean-once mode.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/System.h"
#include "platform/win32/Handles.h"
#include "unattended/RunLog.h"
#include "scan/ScanTask.h"
#include "settings/RegGlobal.h"
#include "ui/main/CategoryTree.h"
#include "ui/main/Prompt.h"
#include "ui/main/ResultsListView.h"

namespace tamrisk {

// A second start finds the running program by this class name.
inline constexpr char kMainWindowClass[] = "Varkon Tamrisk Made by Varkon Software";
// A second start asks the running window to come forward.
inline constexpr UINT WM_SHOWINSTANCE = 9232;
// The main window to itself: scan and repair unattended, then close.
inline constexpr UINT WM_CLEANONCE = 9233;

inline constexpr char kRegeditKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";

// How a run starts the main window.
struct MainWindowStart {
  // The command-line arguments after the program's name.
  std::vector<std::string> arguments;
  // In-process tests give their own, so a program started meanwhile never mistakes them for itself.
  std::string className = kMainWindowClass;
  // Closing the window posts WM_QUIT with the exit code.
  bool endsProgram = true;
};

// The key the registry editor opens at for a row: its "Registry key" text, cut or extended by kind.
std::string RegeditKeyText(const ProblemRow& row);

class TfrmHivora {
 public:
  TfrmHivora(const Platform& platform, Prompt& prompt, MainWindowStart start = {});
  ~TfrmHivora();
  TfrmHivora(const TfrmHivora&) = delete;
  TfrmHivora& operator=(const TfrmHivora&) = delete;

  // Creates the window (FormCreate), then shows it (FormShow). Throws when the window cannot be made.
  void Create(int showCommand);
  HWND Handle() const { return window_; }
  // 0; for a clean-once run 1 when it failed and 2 when its scan was incomplete.
  int ExitCode() const { return exitCode_; }

  // Category codes of the last scan, as decimal texts; made by the first scan.
  std::optional<std::vector<std::string>> ScanCodes;
  // The program RunCommandWithHint started last.
  ProcessInfo BackupProcess;
  // The backup file of the current repair.
  std::string BackupFileName;
  bool CleanOnce = false;

  // Handlers.
  void FormCreate();
  void FormShow();
  void FormActivate();
  void FormResize();
  void FormClose();
  void tvRegistryMouseDown(POINT point);
  void bScanRegistryClick();
  void bRepairRegistryClick();
  void bRestoreRegistryClick();
  void miExitClick();
  void miBackupFullRegistryClick();
  void miWindowsBackupClick();
  void miOptionsClick();
  void miSaveResultsClick();
  void miHelpClick();
  void miHomePageClick();
  void miAboutClick();
  void lvRegistryDataClick();
  void aSelectAllExecute();
  void aSelectAllTypeExecute();
  void aSelectNoneExecute();
  void aSelectNoneTypeExecute();
  void aOpenRegeditExecute();
  void aIgnoreValueExecute();
  void aIgnoreKeyExecute();
  bool aSelectAllTypeUpdate() const;
  bool aOpenRegeditUpdate() const;
  // Offered when the selected row names a value (or a key) the ignore lists can hold.
  bool aIgnoreValueUpdate() const;
  bool aIgnoreKeyUpdate() const;

  void UpdateCounts();
  void LayoutControls();
  // Visits node, its subtree and each following sibling with its subtree: -1 collects the checked
  // codes into ScanCodes, 1 and 2 set every state, 99 stores the states in OptionsSetting and 100
  // restores them from it.
  void WalkCategoryTree(HTREEITEM node, int mode);
  // Starts a hidden process and waits for it behind the backup hint window; true when it ended by
  // itself.
  bool RunCommandWithHint(const std::string& commandLine, const std::string& hintText);

  // What the progress window and tests reach.
  const Platform& Env() const { return platform_; }
  Prompt& Prompts() { return prompt_; }
  ResultsListView& Results() { return results_; }
  CategoryTree& Tree() { return tree_; }
  HWND StatusBar() const { return statusBar_; }
  // The progress window hands over its worker, so the window can wait for a stopped scan to wind
  // down before the platform it uses goes away.
  void NoteScanWorker(const std::shared_ptr<TScanTaskThread>& worker);
  // True when no scan worker is running any more (waiting up to timeoutMs).
  bool WaitForScanWorker(DWORD timeoutMs);
  // Codes of the categories the last scan could not finish.
  const std::vector<int>& IncompleteCategories() const { return incomplete_; }

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK TreeProcedure(HWND tree, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR self);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleNotify(NMHDR& header);
  void HandleCommand(int id);
  void RegisterWindowClass() const;
  void CreateFonts();
  void CreateControls();
  void PlaceWindow(const std::optional<WindowBounds>& bounds);
  WindowSnapshot Snapshot() const;
  void ShowInstance();
  void PostCleanOnceOnce();
  void RunCleanOnce();
  void LogCleanOnce();
  void CloseWindow();
  // Asks every worker still running to stop and waits for it, however long its current call takes:
  // it uses the platform, which goes away with the program.
  void EndScanWorkers();
  void CheckRowsOfSelectedType(bool checked);
  void DropIgnoredRows();
  void UpdateActionStates(HMENU menu) const;
  void ShowListMenu(LPARAM where);
  void DrawLinkButton(const DRAWITEMSTRUCT& item) const;

  Platform platform_;
  // A clean-once run shows no box: its questions are answered and its errors go to the log.
  UnattendedPrompt unattended_;
  Prompt& prompt_;
  MainWindowStart start_;
  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  HWND banner_ = nullptr;
  HWND title_ = nullptr;
  HWND titleHint_ = nullptr;
  HWND tasksLabel_ = nullptr;
  HWND scanButton_ = nullptr;
  HWND repairButton_ = nullptr;
  HWND restoreButton_ = nullptr;
  HWND sectionsLabel_ = nullptr;
  HWND statusBar_ = nullptr;
  CategoryTree tree_;
  ResultsListView results_;
  win32::UniqueGdiObject font_;
  win32::UniqueGdiObject boldFont_;
  win32::UniqueGdiObject titleFont_;
  win32::UniqueGdiObject linkFont_;
  std::vector<std::shared_ptr<TScanTaskThread>> workers_;
  std::shared_ptr<TScanTaskThread> scanWorker_;  // the current scan's
  std::vector<int> incomplete_;
  RunLogEntry cleanOnceLog_;
  bool activated_ = false;
  bool closing_ = false;
  int exitCode_ = 0;
};

// The program's one main window, set by the program's entry while it runs.
extern TfrmHivora* frmHivora;

}  // namespace tamrisk
