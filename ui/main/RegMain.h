// TfrmHivora: the main window. It holds the banner, the category tree and the results list (whose
// commands are ResultsCommands), runs scans behind the progress window and repairs. Its menu commands
// that start other windows and programs are in RegMainMenus.cpp, the repair and its undo in
// RegMainRepair.cpp, the list's notifications in RegMainResults.cpp, the layout and the splitter in
// RegMainLayout.cpp, the keyboard focus in RegMainFocus.cpp and the status bar in RegMainStatus.cpp.
// The unattended clean-once run has no window (unattended/CleanOnce.h).
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/System.h"
#include "scan/ScanOutcome.h"
#include "scan/ScanTask.h"
#include "settings/RegGlobal.h"
#include "ui/common/Dpi.h"
#include "ui/common/Prompt.h"
#include "ui/common/WindowBase.h"
#include "ui/dialogs/ScanHost.h"
#include "ui/main/Banner.h"
#include "ui/main/CategoryTree.h"
#include "ui/main/ResultsCommands.h"
#include "ui/main/ResultsListView.h"
#include "ui/main/ScanWorkers.h"

namespace tamrisk {

// A second start finds the running program by this class name.
inline constexpr char kMainWindowClass[] = "Varkon Tamrisk Made by Varkon Software";
// A second start asks the running window to come forward.
inline constexpr UINT WM_SHOWINSTANCE = 9232;

// How a run starts the main window.
struct MainWindowStart {
  // In-process tests give their own, so a program started meanwhile never mistakes them for itself.
  std::string className = kMainWindowClass;
  // Closing the window posts WM_QUIT with the exit code.
  bool endsProgram = true;
};

class TfrmHivora final : public WindowBase, public ScanHost {
 public:
  TfrmHivora(const Platform& platform, Prompt& prompt, MainWindowStart start = {});
  ~TfrmHivora() override;

  // Creates the window (FormCreate), then shows it (FormShow). Throws when the window cannot be made.
  void Create(int showCommand);

  // Category codes of the last scan; made by the first scan.
  std::optional<std::vector<CategoryCode>> ScanCodes;
  // The program RunCommandWithHint started last.
  ProcessInfo BackupProcess;
  // The backup file of the current repair.
  std::string BackupFileName;

  // Handlers.
  void FormCreate();
  void FormShow();
  void FormResize();
  void FormClose();
  // True when the press toggled a check box.
  bool tvRegistryMouseDown(POINT point);
  void bScanRegistryClick();
  void bRepairRegistryClick();
  void bRestoreRegistryClick();
  // Restores the current repair's backup file with the verified restore.
  void miUndoRepairClick();
  // Whether the current repair's backup file is there to undo it with.
  bool CanUndoRepair();
  void miExitClick();
  void miBackupFullRegistryClick();
  // Says where the full registry went and how large it is, or why it is not there.
  void ReportFullBackup(const std::string& file, bool ended);
  void miWindowsBackupClick();
  void miOptionsClick();
  void miHelpClick();
  void miHomePageClick();
  void miAboutClick();
  void lvRegistryDataClick();

  void UpdateCounts();
  void LayoutControls();
  // Visits node, its subtree and each following sibling with its subtree: -1 collects the checked
  // codes into ScanCodes, 1 and 2 set every state, 99 stores the states in OptionsSetting and 100
  // restores them from it.
  void WalkCategoryTree(HTREEITEM node, int mode);
  // Starts a hidden process and waits for it behind the backup hint window; true when it ended by
  // itself.
  bool RunCommandWithHint(const std::string& commandLine, const std::string& hintText);

  // Opens a program or page through the shell, or says with the system's reason why it could not.
  void OpenOrSay(const std::string& what, const std::string& file, const std::string& parameters);

  // For the message loop, before a message is dispatched: the find box's keystrokes and the menu's
  // keys (Ctrl+F, F3). True when the message is done with.
  bool PreTranslateMessage(MSG& message);

  // What tests reach.
  ResultsListView& Results() { return results_; }
  CategoryTree& Tree() { return tree_; }
  HWND StatusBar() const { return statusBar_; }
  // The line under the list that shows why the selected row is listed.
  HWND ReasonPane() const { return reasonPane_; }
  HWND Control(int id) const { return ::GetDlgItem(Handle(), id); }
  // True when no scan worker is running any more (waiting up to timeoutMs).
  bool WaitForScanWorker(DWORD timeoutMs) { return workers_.WaitForAll(timeoutMs); }
  // How the last scan ended: where a stop left it and which categories a failure ended.
  const ScanOutcome& LastScanOutcome() const { return outcome_; }

  // The progress window's host.
  HWND ScanOwner() const override { return Handle(); }
  Prompt& ScanPrompt() override { return Prompts(); }
  const Platform& ScanPlatform() const override { return platform_; }
  void TakeScanRows(const std::vector<ProblemRow>& rows) override { results_.AppendRows(rows); }
  void NoteScanWorker(const std::shared_ptr<TScanTaskThread>& worker) override { workers_.Note(worker); }

 private:
  static LRESULT CALLBACK TreeProcedure(HWND tree, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR self);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT HandleNotify(NMHDR& header);
  // The results list's notifications (RegMainResults.cpp).
  LRESULT ListNotify(NMHDR& header);
  // The second status panel: the counts and notices of UpdateCounts; the reason pane: the selected
  // row's reason.
  void ShowSelectedReason();
  void FitFirstStatusPanel(const std::string& text);
  // The splitter between the tree and the list: the mouse messages of the window's own client area
  // that move it. True when the message is done with.
  bool HandleSplitter(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnSplitter(POINT point) const;
  // The keyboard: which control has it when the window is activated or a scan ends, and Tab.
  void RememberFocus();
  HWND DefaultFocus() const;
  void FocusContent();
  void FocusAfterScan();
  bool MoveFocusByTab(const MSG& message);
  // The key column takes what the other columns leave of the list's width.
  void FitKeyColumn();
  void ShowScanRunning();
  // The layout as the settings store it: the splitter and the column widths at 96 DPI.
  PaneLayout CurrentLayout() const;
  void HandleCommand(int id);
  void RegisterWindowClass() const;
  void UpdateUndoState(HMENU menu);
  void CreateControls();
  void CreateTaskControls();
  void PlaceTaskControls();
  // The splitter and the column widths from their stored form, at the window's DPI.
  void ApplyPaneLayout(const PaneLayout& layout);
  // Whether options.ini holds a width the user gave the Problem column.
  bool StoresProblemWidth() const;
  void ChangeDpi(int dpi, const RECT& suggested);
  void ShowInstance();
  void CloseWindow();
  // Writes options.ini but the window's place as soon as a setting changes, so that a window that is
  // killed or crashes keeps it; the close writes the place and the ticks once more.
  void SaveSettingsNow();
  void DestroyWindowParts();

  Platform platform_;
  MainWindowStart start_;
  HINSTANCE instance_ = nullptr;
  Banner banner_;
  HWND tasksLabel_ = nullptr;
  HWND scanButton_ = nullptr;
  HWND repairButton_ = nullptr;
  HWND restoreButton_ = nullptr;
  HWND sectionsLabel_ = nullptr;
  HWND statusBar_ = nullptr;
  HWND reasonPane_ = nullptr;
  CategoryTree tree_;
  ResultsListView results_;
  ResultsCommands commands_;
  MainFonts fonts_;
  // The DPI the window was made at; its designed sizes are scaled by it.
  int dpi_ = kDesignDpi;
  // The tree's width at 96 DPI, as the splitter left it; the list takes the rest.
  int treeWidth_ = PaneLayout{}.treeWidth;
  // The splitter's place in the client area, from the last layout, and whether it is being dragged.
  RECT splitter_{};
  bool dragging_ = false;
  // The control that had the keyboard when the window was last deactivated.
  HWND lastFocus_ = nullptr;
  ScanWorkers workers_;
  // The codes of the scan whose rows the list shows; a scan with nothing ticked leaves them, as it
  // leaves the rows, so the repair of those rows keeps their scope.
  std::vector<CategoryCode> listedCodes_;
  // How the last scan ended: where a stop left it and what a failure ended.
  ScanOutcome outcome_;
  // What the last scan left out, for the status bar, in the window's language.
  std::string ScanNotice() const;
  // What the last repair or undo came to, for the status bar; cleared by a scan.
  std::string actionNotice_;
  // The second status panel's text before the selected row's reason.
  std::string statusCounts_;
  // Loaded from the resources on first use; the system frees it with the program.
  HACCEL accelerators_ = nullptr;
  bool closing_ = false;
};

// The program's one main window, set by the program's entry while it runs.
extern TfrmHivora* frmHivora;

}  // namespace tamrisk
