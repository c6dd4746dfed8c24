#include "scan/ScanTask.h"

#include <charconv>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "scan/PathTests.h"

namespace tamrisk {

int CategoryCodeOf(const std::string& text) {
  int code = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, code);
  return (ec == std::errc() && ptr == end && !text.empty()) ? code : 0;
}

std::string BreakKeyText(const std::string& text) {
  if (text.size() <= 53) return text;
  // Shown for every key a walk passes: built in one allocation.
  std::string broken;
  broken.reserve(text.size() + 2);
  broken.append(text, 0, 52).append("\r\n").append(text, 52);
  return broken;
}

const std::vector<TScanTaskThread::Category>& TScanTaskThread::DispatchTable() {
  static const std::vector<Category> table = {
      {3, "Scanning Files and Folders - HKEY_LOCAL_MACHINE...", &TScanTaskThread::ScanLocalMachineFiles,
       "Files and Folders - HKEY_LOCAL_MACHINE"},
      {4, "Scanning Files and Folders - HKEY_CURRENT_USER...", &TScanTaskThread::ScanCurrentUserFiles,
       "Files and Folders - HKEY_CURRENT_USER"},
      {5, "Scanning Files and Folders - HKEY_USERS...", &TScanTaskThread::ScanUsersFiles,
       "Files and Folders - HKEY_USERS"},
      {6, "Scanning Software Locations...", &TScanTaskThread::ScanSoftwareLocations, "Software Locations"},
      {7, "Scanning Windows Fonts...", &TScanTaskThread::ScanWindowsFonts, "Windows Fonts"},
      {8, "Scanning Invalid Help Files...", &TScanTaskThread::ScanHelpFiles, "Invalid Help Files"},
      {9, "Scanning Shared DLLs...", &TScanTaskThread::ScanSharedDlls, "Shared DLLs"},
      {10, "Scanning Startup Programs...", &TScanTaskThread::ScanStartupPrograms, "Startup Programs"},
      {11, "Scanning Add/Remove Programs...", &TScanTaskThread::ScanAddRemovePrograms, "Add/Remove Programs"},
      {12, "Scanning File Extensions...", &TScanTaskThread::ScanFileExtensions, "File Extensions"},
      {13, "Scanning Custom Controls...", &TScanTaskThread::ScanCustomControls, "Custom Controls"},
      {14, "Scanning Software Locations...", &TScanTaskThread::ScanObsoleteSoftware, "Obsolete Software"},
      {15, "Scanning Windows Services...", &TScanTaskThread::ScanWindowsServices, "Windows Services"},
      {16, "Scanning Start Menu...", &TScanTaskThread::ScanStartMenu, "Start Menu"},
      {17, "Scanning Shortcuts...", &TScanTaskThread::ScanShortcuts, "Shortcuts"},
      {18, "Scanning Sound and Appevents...", &TScanTaskThread::ScanSoundEvents, "Sound and Appevents"},
      {19, "Scanning Invalid ActiveX...", &TScanTaskThread::ScanActiveX, "Invalid ActiveX"},
      {20, "Scanning MRU and History Lists...", &TScanTaskThread::ScanMruLists, "MRU and History Lists"},
      {21, "Scanning Installer...", &TScanTaskThread::ScanInstaller, "Installer"},
      {22, nullptr, &TScanTaskThread::ScanApplications, "Applications"},
      {23, "Scanning Firewall Rules...", &TScanTaskThread::ScanFirewallRules, "Firewall Rules"},
      {24, "Scanning MUI Cache...", &TScanTaskThread::ScanMuiCache, "MUI Cache"},
      {25, "Scanning Compatibility Settings...", &TScanTaskThread::ScanCompatibilitySettings, "Compatibility Settings"},
      {26, "Scanning Shell Extensions...", &TScanTaskThread::ScanShellExtensions, "Shell Extensions"},
      {27, "Scanning Per-User Programs...", &TScanTaskThread::ScanPerUserPrograms, "Per-User Programs"},
  };
  return table;
}

TScanTaskThread::TScanTaskThread(const Platform& platform, std::shared_ptr<ScanSink> sink, bool includeRemoveMedia,
                                 bool includeCDdrive)
    : TestedDrives(ComputeTestedDrives(platform.files, includeRemoveMedia, includeCDdrive)),
      files_(platform.files),
      platform_(WithFiles(platform, files_)),
      sink_(std::move(sink)) {}

void TScanTaskThread::Start() {
  std::thread([self = shared_from_this()] { self->Execute(); }).detach();
}

const TScanTaskThread::Category* TScanTaskThread::CategoryOf(int code) {
  for (const Category& category : DispatchTable()) {
    if (category.code == code) return &category;
  }
  return nullptr;
}

void TScanTaskThread::RunCategory(int code) {
  const Category* category = CategoryOf(code);
  if (category == nullptr) return;
  if (category->caption != nullptr) ShowTask(category->caption);
  (this->*category->scanner)();
}

std::string TScanTaskThread::CategoryName(int code) {
  const Category* category = CategoryOf(code);
  return category != nullptr ? category->name : "Category " + std::to_string(code);
}

std::string TScanTaskThread::CategoryCaption(int code) {
  const Category* category = CategoryOf(code);
  return category != nullptr && category->caption != nullptr ? category->caption : "";
}

// A failure a scanner did not catch ends that category only: the rows it found stay, the scan goes
// on with the next category, and the run is marked incomplete so nobody takes the list for whole.
bool TScanTaskThread::RunCategoryGuarded(int code) {
  try {
    RunCategory(code);
    return true;
  } catch (const ScanStopped&) {
    throw;
  } catch (...) {
    std::lock_guard<std::mutex> lock(incompleteMutex_);
    incomplete_.push_back(code);
    return false;
  }
}

std::vector<int> TScanTaskThread::IncompleteCategories() const {
  std::lock_guard<std::mutex> lock(incompleteMutex_);
  return incomplete_;
}

void TScanTaskThread::Execute() {
  bool notify = true;
  try {
    for (const std::string& entry : Categories) {
      if (StopRequested()) {
        notify = false;
        break;
      }
      sink_->StartCategory();
      category_ = CategoryCodeOf(entry);
      const bool finished = RunCategoryGuarded(category_);
      if (finished && !StopRequested()) sink_->FinishCategory();
    }
  } catch (const ScanStopped&) {
    notify = false;
  } catch (...) {
    // A sink that failed: nothing more can be reported; the end notice below still goes out.
  }
  if (StopRequested()) notify = false;
  files_.Clear();  // what the next scan finds is its own
  ended_.store(true);
  if (notify) sink_->ScanEnded();
}

void TScanTaskThread::CheckStop() const {
  if (StopRequested()) throw ScanStopped{};
}

void TScanTaskThread::ShowTask(const std::string& text) {
  CheckStop();
  taskCaption_ = text;
  sink_->ShowTask(text);
}

void TScanTaskThread::ShowCurrentKey(const std::string& text) {
  CheckStop();
  sink_->ShowCurrentKey(BreakKeyText(text));
}

void TScanTaskThread::AppendProblem(ProblemId problem, RowKind kind, RegLocation where, std::string info,
                                    Phrase reason) {
  CheckStop();
  ProblemRow row = RegistryRow(problem, kind, std::move(where), std::move(info), std::move(reason));
  row.category = category_;
  sink_->AppendProblem(row);
}

void TScanTaskThread::AppendValueProblem(ProblemId problem, const std::string& rootName, const std::string& key,
                                         const std::string& name, const std::string& text, Phrase reason) {
  AppendProblem(problem, rkValueInPath, {rootName, key, name, true}, text, std::move(reason));
}

}  // namespace tamrisk
