#include "scan/ScanTask.h"

#include <charconv>
#include <exception>
#include <thread>

#include "scan/PathTests.h"

namespace tamrisk {
namespace {

// Decimal text to a code; anything else counts as 0.
int CodeOf(const std::string& text) {
  int code = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, code);
  return (ec == std::errc() && ptr == end && !text.empty()) ? code : 0;
}

}  // namespace

std::string BreakKeyText(const std::string& text) {
  if (text.size() <= 53) return text;
  return text.substr(0, 52) + "\r\n" + text.substr(52);
}

const std::vector<TScanTaskThread::Category>& TScanTaskThread::DispatchTable() {
  static const std::vector<Category> table = {
      {3, "Scanning Files and Folders - HKEY_LOCAL_MACHINE...", &TScanTaskThread::ScanLocalMachineFiles},
      {4, "Scanning Files and Folders - HKEY_CURRENT_USER...", &TScanTaskThread::ScanCurrentUserFiles},
      {5, "Scanning Files and Folders - HKEY_USERS...", &TScanTaskThread::ScanUsersFiles},
      {6, "Scanning Software Locations...", &TScanTaskThread::ScanSoftwareLocations},
      {7, "Scanning Windows Fonts...", &TScanTaskThread::ScanWindowsFonts},
      {8, "Scanning Invalid Help Files...", &TScanTaskThread::ScanHelpFiles},
      {9, "Scanning Shared DLLs...", &TScanTaskThread::ScanSharedDlls},
      {10, "Scanning Startup Programs...", &TScanTaskThread::ScanStartupPrograms},
      {11, "Scanning Add/Remove Programs...", &TScanTaskThread::ScanAddRemovePrograms},
      {12, "Scanning File Extensions...", &TScanTaskThread::ScanFileExtensions},
      {13, "Scanning Custom Controls...", &TScanTaskThread::ScanCustomControls},
      {14, "Scanning Software Locations...", &TScanTaskThread::ScanObsoleteSoftware},
      {15, "Scanning Windows Services...", &TScanTaskThread::ScanWindowsServices},
      {16, "Scanning Start Menu...", &TScanTaskThread::ScanStartMenu},
      {17, "Scanning Shortcuts...", &TScanTaskThread::ScanShortcuts},
      {18, "Scanning Sound and Appevents...", &TScanTaskThread::ScanSoundEvents},
      {19, "Scanning Invalid ActiveX...", &TScanTaskThread::ScanActiveX},
      {20, "Scanning MRU and History Lists...", &TScanTaskThread::ScanMruLists},
      {21, "Scanning Installer...", &TScanTaskThread::ScanInstaller},
      {22, nullptr, &TScanTaskThread::ScanApplications},
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

void TScanTaskThread::RunCategory(int code) {
  for (const Category& category : DispatchTable()) {
    if (category.code == code) {
      (this->*category.scanner)();
      return;
    }
  }
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
      RunCategory(CodeOf(entry));
      if (!StopRequested()) sink_->FinishCategory();
    }
  } catch (const ScanStopped&) {
    notify = false;
  } catch (const std::exception&) {
    // A failure a scanner did not catch ends the scan in silence; the rows found so far stay.
  } catch (...) {
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

void TScanTaskThread::AppendProblem(const std::string& problem, const std::string& registryKey,
                                    const std::string& value, RowKind kind) {
  CheckStop();
  sink_->AppendProblem(ProblemRow{false, problem, registryKey, value, kind});
}

}  // namespace tamrisk
