#include "platform/memory/MemoryTaskScheduler.h"

#include <cctype>

namespace tamrisk {
namespace {

// Task names ignore letter case, as the scheduler's do.
std::string KeyOf(const std::string& name) {
  std::string key = name;
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

}  // namespace

void MemoryTaskScheduler::ThrowIfRefusing() const {
  if (refusal_) throw TaskSchedulerError(*refusal_);
}

std::optional<std::string> MemoryTaskScheduler::ReadTask(const std::string& name) {
  ThrowIfRefusing();
  const auto found = tasks_.find(KeyOf(name));
  if (found == tasks_.end()) return std::nullopt;
  return found->second;
}

void MemoryTaskScheduler::RegisterTask(const std::string& name, const std::string& xml) {
  ThrowIfRefusing();
  tasks_[KeyOf(name)] = xml;
  ++changes_;
}

void MemoryTaskScheduler::DeleteTask(const std::string& name) {
  ThrowIfRefusing();
  if (tasks_.erase(KeyOf(name)) != 0) ++changes_;
}

}  // namespace tamrisk
