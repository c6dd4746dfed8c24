#include "scan/ScanSink.h"

namespace tamrisk {

void HeadlessSink::StartCategory(CategoryCode) {
  std::lock_guard lock(mutex_);
  ++started_;
}

void HeadlessSink::FinishCategory() {
  std::lock_guard lock(mutex_);
  ++finished_;
}

void HeadlessSink::ShowTask(const std::string& caption) {
  std::lock_guard lock(mutex_);
  tasks_.push_back(caption);
}

void HeadlessSink::ShowCurrentKey(const std::string& text) {
  std::lock_guard lock(mutex_);
  lastKey_ = text;
  ++keysShown_;
}

void HeadlessSink::AppendProblem(const ProblemRow& row) {
  std::lock_guard lock(mutex_);
  rows_.push_back(row);
}

void HeadlessSink::ScanEnded() {
  std::lock_guard lock(mutex_);
  ended_ = true;
}

std::vector<ProblemRow> HeadlessSink::Rows() const {
  std::lock_guard lock(mutex_);
  return rows_;
}
std::vector<std::string> HeadlessSink::Tasks() const {
  std::lock_guard lock(mutex_);
  return tasks_;
}
std::string HeadlessSink::LastKey() const {
  std::lock_guard lock(mutex_);
  return lastKey_;
}
int HeadlessSink::Started() const {
  std::lock_guard lock(mutex_);
  return started_;
}
int HeadlessSink::Finished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}
bool HeadlessSink::Ended() const {
  std::lock_guard lock(mutex_);
  return ended_;
}
long HeadlessSink::KeysShown() const {
  std::lock_guard lock(mutex_);
  return keysShown_;
}

}  // namespace tamrisk
