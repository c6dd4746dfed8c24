#include "scan/ScanTask.h"

#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "scan/PathTests.h"

namespace tamrisk {
std::string BreakKeyText(const std::string& text) {
  if (text.size() <= 53) return text;
  // Shown for every key a walk passes: built in one allocation.
  std::string broken;
  broken.reserve(text.size() + 2);
  broken.append(text, 0, 52).append("\r\n").append(text, 52);
  return broken;
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

void TScanTaskThread::RunCategory(CategoryCode code) {
  const CategoryRow* category = CategoryOf(code);
  if (category == nullptr || category->scan == nullptr) return;
  if (category->caption != nullptr) ShowTask(category->caption);
  category->scan(*this);
}

// A failure a scanner did not catch ends that category only: the rows it found stay, the scan goes
// on with the next category, and the run is marked incomplete so nobody takes the list for whole.
bool TScanTaskThread::RunCategoryGuarded(CategoryCode code) {
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

std::vector<CategoryCode> TScanTaskThread::IncompleteCategories() const {
  std::lock_guard<std::mutex> lock(incompleteMutex_);
  return incomplete_;
}

void TScanTaskThread::Execute() {
  bool notify = true;
  try {
    for (const CategoryCode code : Categories) {
      if (StopRequested()) {
        notify = false;
        break;
      }
      sink_->StartCategory(code);
      category_ = code;
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
