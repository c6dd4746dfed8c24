#include "scan/PreorderWork.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace tamrisk {
namespace {

// Node n of a tree of 1 + 4 + 16 + 64 + 256 nodes leads to 4n+1 .. 4n+4; each gives the item n.
constexpr int kFanOut = 4;
constexpr int kLastParent = 84;  // nodes above 84 are leaves

using Work = PreorderWork<int, int>;

void Preorder(int node, int stopAt, std::vector<int>& out) {
  out.push_back(node);
  if (node == stopAt || node > kLastParent) return;
  for (int child = kFanOut * node + 1; child <= kFanOut * node + kFanOut; ++child) {
    if (!out.empty() && out.back() == stopAt) return;
    Preorder(child, stopAt, out);
  }
}

// The items up to and including stopAt, as one thread walking depth-first finds them.
std::vector<int> ExpectedUpTo(int stopAt) {
  std::vector<int> out;
  Preorder(0, stopAt, out);
  return out;
}

// Runs the tree; the node failing throws after giving its item, and uneven delays shuffle which
// thread finishes first.
std::vector<int> RunTree(int threads, int failing, std::string* failure) {
  std::vector<int> delivered;
  Work work(
      [failing](int& node, Work::Output& out) {
        if (node % 7 == 3) std::this_thread::sleep_for(std::chrono::microseconds(50 * (node % 5)));
        out.items.push_back(node);
        if (node == failing) throw std::runtime_error("node " + std::to_string(node));
        if (node > kLastParent) return;
        for (int child = kFanOut * node + 1; child <= kFanOut * node + kFanOut; ++child) out.subtasks.push_back(child);
      },
      [&delivered](int& item) { delivered.push_back(item); }, threads);
  try {
    work.Run(0);
  } catch (const std::runtime_error& e) {
    *failure = e.what();
  }
  return delivered;
}

TEST(PreorderWork, DeliversInDepthFirstOrderAndStopsAtTheFirstFailureInThatOrder) {
  const std::vector<int> whole = ExpectedUpTo(-1);
  ASSERT_EQ(whole.size(), 341u);
  struct Case {
    int failing;  // -1: none
  };
  for (const Case& c : {Case{-1}, Case{0}, Case{2}, Case{21}, Case{340}}) {
    for (int threads : {1, 2, 3, 8}) {
      for (int round = 0; round < 5; ++round) {
        std::string failure;
        const std::vector<int> delivered = RunTree(threads, c.failing, &failure);
        const std::string where = "failing " + std::to_string(c.failing) + ", threads " + std::to_string(threads);
        EXPECT_EQ(delivered, ExpectedUpTo(c.failing)) << where;
        EXPECT_EQ(failure, c.failing < 0 ? "" : "node " + std::to_string(c.failing)) << where;
      }
    }
  }
}

TEST(PreorderWork, AFailingDelivererEndsTheRunAndItsHelpers) {
  std::atomic<int> ran{0};
  Work work(
      [&ran](int& node, Work::Output& out) {
        ++ran;
        out.items.push_back(node);
        if (node <= kLastParent) {
          for (int child = kFanOut * node + 1; child <= kFanOut * node + kFanOut; ++child)
            out.subtasks.push_back(child);
        }
      },
      [](int& item) {
        if (item == 5) throw std::runtime_error("stop");
      },
      3);
  EXPECT_THROW(work.Run(0), std::runtime_error);
  const int afterRun = ran.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ran.load(), afterRun) << "a helper still ran tasks after Run returned";
}

TEST(PreorderWork, AHelperThatCannotStartEndsTheRunOnceTheStartedOnesAreJoined) {
  // The third start fails, with the errors a thread start can give: the first two helpers are told to
  // stop and joined (an unjoined one would end the program), and Run raises the failure.
  for (const bool outOfMemory : {false, true}) {
    std::atomic<int> started{0};
    std::atomic<int> running{0};
    Work work(
        [](int& node, Work::Output& out) {
          out.items.push_back(node);
          if (node <= kLastParent) {
            for (int child = kFanOut * node + 1; child <= kFanOut * node + kFanOut; ++child)
              out.subtasks.push_back(child);
          }
        },
        [](int&) {}, 4,
        [&](std::function<void()> body) {
          if (++started == 3) {
            if (outOfMemory) throw std::bad_alloc();
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
          }
          return std::thread([&running, body = std::move(body)] {
            ++running;
            body();
            --running;
          });
        });
    if (outOfMemory) {
      EXPECT_THROW(work.Run(0), std::bad_alloc);
    } else {
      EXPECT_THROW(work.Run(0), std::system_error);
    }
    EXPECT_EQ(started.load(), 3);
    EXPECT_EQ(running.load(), 0) << "a started helper was still running after Run raised";
  }
}

}  // namespace
}  // namespace tamrisk
