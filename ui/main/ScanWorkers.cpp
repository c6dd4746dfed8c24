#include "ui/main/ScanWorkers.h"

#include <chrono>
#include <thread>

namespace tamrisk {

void ScanWorkers::Note(const std::shared_ptr<TScanTaskThread>& worker) {
  std::erase_if(workers_, [](const std::shared_ptr<TScanTaskThread>& each) { return each->Ended(); });
  workers_.push_back(worker);
  current_ = worker;
}

bool ScanWorkers::WaitForAll(DWORD timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (const std::shared_ptr<TScanTaskThread>& worker : workers_) {
    while (!worker->Ended()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  return true;
}

void ScanWorkers::EndAll() {
  for (const std::shared_ptr<TScanTaskThread>& worker : workers_) worker->RequestStop();
  while (!WaitForAll(1000)) {
  }
  workers_.clear();
  current_.reset();
}

}  // namespace tamrisk
