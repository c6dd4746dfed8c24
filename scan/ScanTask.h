// TScanTaskThread: runs the scanner of each category code in order on a worker thread and reports
// through a ScanSink. Owned through shared_ptr so the progress window can ask for a stop at any time
// until it closes, also after the worker has ended by itself.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/RegistryAccess.h"
#include "platform/System.h"
#include "scan/Categories.h"
#include "scan/ProblemRow.h"
#include "scan/ScanFileCache.h"
#include "scan/ScanSink.h"

namespace tamrisk {

// Thrown out of a scanner when a stop was requested; deliberately not a std::exception, so nothing
// that handles failures takes a stop for one.
struct ScanStopped {};

// The current-key text as the progress window shows it: a line break before the 53rd character of a
// text longer than 53 characters.
std::string BreakKeyText(const std::string& text);

class TScanTaskThread : public std::enable_shared_from_this<TScanTaskThread> {
 public:
  // Runs on the window thread: reads the drive options and fixes TestedDrives.
  TScanTaskThread(const Platform& platform, std::shared_ptr<ScanSink> sink, bool includeRemoveMedia,
                  bool includeCDdrive);
  virtual ~TScanTaskThread() = default;
  TScanTaskThread(const TScanTaskThread&) = delete;
  TScanTaskThread& operator=(const TScanTaskThread&) = delete;

  // The categories to scan, in order; filled before the start.
  std::vector<CategoryCode> Categories;
  std::string TestedDrives;

  // Starts Execute on a thread of its own; the thread keeps the object alive until it ends.
  void Start();
  // The body: every category in order, then the end-of-scan notice.
  void Execute();
  void RequestStop() { stop_.store(true); }
  bool StopRequested() const { return stop_.load(); }
  bool Ended() const { return ended_.load(); }
  // Codes of the categories a failure ended before they finished, in scan order.
  std::vector<CategoryCode> IncompleteCategories() const;

  const std::string& TaskCaption() const { return taskCaption_; }
  const Platform& Env() const { return platform_; }
  // The category being scanned (worker thread only).
  CategoryCode Category() const { return category_; }

  // Services every scanner uses.
  void ShowTask(const std::string& text);
  // Throws ScanStopped once a stop has been requested, so long walks end promptly.
  void ShowCurrentKey(const std::string& text);
  // A row naming where, of the kind given; info is the Value column's text where it holds no name
  // (RegistryRow). reason: why the row is listed, from scan/Reasons.h.
  void AppendProblem(ProblemId problem, RowKind kind, RegLocation where, std::string info, Phrase reason);
  // The row of the value name in key (below the root rootName) whose data is text.
  void AppendValueProblem(ProblemId problem, const std::string& rootName, const std::string& key,
                          const std::string& name, const std::string& text, Phrase reason);
  // For scanner loops that show no key: throws ScanStopped once a stop has been requested.
  void CheckStop() const;

  // Files and folders (codes 3 to 5, FileScanners.cpp) and the walk they share with codes 19 to 21.
  void ScanLocalMachineFiles();
  void ScanCurrentUserFiles();
  void ScanUsersFiles();
  void WalkRegistryTree(const std::string& rootName, const std::string& path, const std::string& drives,
                        const std::string& extensionFilter, ProblemId problem);
  // Codes 6 to 27, in the files named after their categories ("...Scanners.cpp"): SoftwareLocation-
  // AndSharedDll 6 and 9, FontAndHelpFile 7 and 8, StartupAndUninstall 10 and 11, Class 12, 13 and 19,
  // ObsoleteSoftwareAndService 14 and 15, StartMenuAndShortcut 16 and 17, SoundAndHistory 18 and 20,
  // InstallerAndApplication 21 and 22, FirewallAndShellCache 23 to 25, ShellExtensionAndPerUser 26
  // and 27.
  void ScanSoftwareLocations();  // 6
  void ScanWindowsFonts();       // 7
  void ScanHelpFiles();          // 8
  void ScanSharedDlls();         // 9
  void ScanStartupPrograms();    // 10
  void ScanRunKey(const std::string& rootName, const std::string& path);
  void ScanAddRemovePrograms();  // 11
  void ScanFileExtensions();     // 12
  void ScanCustomControls();     // 13
  void ScanClassKey(const std::string& rootName, const std::string& path);
  void ScanObsoleteSoftware();       // 14
  void ScanWindowsServices();        // 15
  void ScanStartMenu();              // 16
  void ScanShortcuts();              // 17
  void ScanSoundEvents();            // 18
  void ScanActiveX();                // 19
  void ScanMruLists();               // 20
  void ScanInstaller();              // 21
  void ScanApplications();           // 22
  void ScanFirewallRules();          // 23
  void ScanMuiCache();               // 24
  void ScanCompatibilitySettings();  // 25
  void ScanShellExtensions();        // 26
  void ScanPerUserPrograms();        // 27

 protected:
  // Shows the category's caption and runs its scanner (nothing for a group or a code outside the
  // table). Tests of the category loop replace it with scripted scanners.
  virtual void RunCategory(CategoryCode code);

 private:
  // RunCategory; false when a failure ended the category (recorded as incomplete).
  bool RunCategoryGuarded(CategoryCode code);
  // Recursive and per-root steps of codes 14, 17 and 18.
  void ScanSoftwareSubkeys(const std::string& rootName, const std::string& path);
  void ScanShortcutFolder(const std::string& folder);
  std::string GetShortcutTarget(const std::string& shortcutPath);
  void ScanSoundKey(const std::string& rootName, const std::string& path, const std::string& name);

  ScanFileCache files_;  // every file test of the scan goes through it; emptied when the scan ends
  Platform platform_;    // the caller's services, with files_ for the files
  std::shared_ptr<ScanSink> sink_;
  std::string taskCaption_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> ended_{false};
  CategoryCode category_{};  // the code being scanned, for the rows it finds (worker thread only)
  mutable std::mutex incompleteMutex_;
  std::vector<CategoryCode> incomplete_;
};

}  // namespace tamrisk
