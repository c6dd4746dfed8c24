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

// The definition without the element named tag, from "<tag" to "</tag>".
std::string WithoutElement(std::string xml, const std::string& tag) {
  const std::size_t start = xml.find("<" + tag);
  const std::size_t end = xml.find("</" + tag + ">", start);
  if (start == std::string::npos || end == std::string::npos) return xml;
  return xml.erase(start, end + tag.size() + 3 - start);
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

void MemoryTaskScheduler::RegisterTask(const std::string& name, const std::string& xml, TaskLogon logon) {
  ThrowIfRefusing();
  lastLogon_ = logon;
  tasks_[KeyOf(name)] = dropping_ ? WithoutElement(WithoutElement(xml, "Triggers"), "Actions") : xml;
  ++changes_;
}

void MemoryTaskScheduler::DeleteTask(const std::string& name) {
  ThrowIfRefusing();
  if (tasks_.erase(KeyOf(name)) != 0) ++changes_;
}

}  // namespace tamrisk
