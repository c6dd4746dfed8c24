// PreorderWork: runs a tree of tasks on the calling thread and on helper threads, and hands what
// each task found to the calling thread in the order one thread working through the tree depth-first
// would have found it.
//
// Under Wine every registry call is a round trip to the one wineserver, and a single walking thread
// leaves both the server and itself waiting on the other most of the time; two threads walking keep
// the server busy. The rows, however, must come out exactly as a single walk lists them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace tamrisk {

// Threads that walk one registry tree. On two cores under Wine, three walked the hives in 0.3 of one
// thread's time, two in 0.5, four no faster than three.
inline constexpr int kRegistryWalkThreads = 3;

template <typename Task, typename Item>
class PreorderWork {
 public:
  // What one task leaves: its items, then the subtasks whose items follow them, in order.
  struct Output {
    std::vector<Item> items;
    std::vector<Task> subtasks;
  };
  // Runs one task, on any of the threads. When it throws, the items it added before are still
  // delivered, its subtasks are dropped, and Run rethrows once everything before it is delivered.
  using Runner = std::function<void(Task&, Output&)>;
  // Takes one item, on the thread that called Run, in depth-first order.
  using Deliverer = std::function<void(Item&)>;

  // Starts one helper thread running body; tests give one that fails.
  using ThreadStarter = std::function<std::thread(std::function<void()> body)>;

  PreorderWork(Runner run, Deliverer deliver, int threads, ThreadStarter start = StartThread)
      : run_(std::move(run)),
        deliver_(std::move(deliver)),
        threads_(threads < 1 ? 1 : threads),
        start_(std::move(start)) {}
  PreorderWork(const PreorderWork&) = delete;
  PreorderWork& operator=(const PreorderWork&) = delete;

  // Works through root and everything it leads to. Returns when every item is delivered, or throws
  // the first failure in depth-first order (of a task or of the deliverer) once the items before it
  // are delivered, or the failure to start a helper thread; helper threads have ended either way.
  void Run(Task root) {
    Node top(std::move(root));
    {
      std::lock_guard lock(mutex_);
      abandon_ = false;
      ready_.clear();
    }
    // The root on this thread first: a task that leads nowhere (a walk of one key) needs no helpers.
    Execute(top);
    std::optional<Helpers> helpers;
    if (HasReady()) helpers.emplace(*this);
    Deliver(top);
  }

 private:
  struct Node {
    explicit Node(Task t) : task(std::move(t)) {}
    Task task;
    std::vector<Item> items;
    std::vector<std::unique_ptr<Node>> children;
    std::exception_ptr failure;
    bool done = false;
  };

  // The helper threads of one Run; on every way out they are told to stop and are joined, so no
  // helper outlives the nodes it works on. A helper that cannot start raises, once the ones started
  // before it are joined.
  class Helpers {
   public:
    explicit Helpers(PreorderWork& work) : work_(work) {
      try {
        threads_.reserve(static_cast<std::size_t>(work.threads_ - 1));
        for (int i = 1; i < work.threads_; ++i) threads_.push_back(work.start_([this] { work_.HelpUntilAbandoned(); }));
      } catch (...) {
        StopAndJoin();
        throw;
      }
    }
    ~Helpers() { StopAndJoin(); }
    Helpers(const Helpers&) = delete;
    Helpers& operator=(const Helpers&) = delete;

   private:
    void StopAndJoin() {
      {
        std::lock_guard lock(work_.mutex_);
        work_.abandon_ = true;
        work_.ready_.clear();
      }
      work_.changed_.notify_all();
      for (std::thread& thread : threads_) thread.join();
      threads_.clear();
    }

    PreorderWork& work_;
    std::vector<std::thread> threads_;
  };

  void HelpUntilAbandoned() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return abandon_ || !ready_.empty(); });
      if (abandon_) return;
      Node* node = TakeReady();
      lock.unlock();
      Execute(*node);
      lock.lock();
    }
  }

  bool HasReady() {
    std::lock_guard lock(mutex_);
    return !ready_.empty();
  }

  // The next task in depth-first order; called with the lock held and ready_ not empty.
  Node* TakeReady() {
    Node* node = ready_.back();
    ready_.pop_back();
    return node;
  }

  void Execute(Node& node) {
    Output out;
    std::exception_ptr failure;
    try {
      run_(node.task, out);
    } catch (...) {
      failure = std::current_exception();
    }
    std::vector<std::unique_ptr<Node>> children;
    if (!failure) {
      children.reserve(out.subtasks.size());
      for (Task& task : out.subtasks) children.push_back(std::make_unique<Node>(std::move(task)));
    }
    {
      std::lock_guard lock(mutex_);
      node.items = std::move(out.items);
      node.children = std::move(children);
      node.failure = failure;
      node.done = true;
      // Reversed, so the first subtask is the next one taken.
      for (auto child = node.children.rbegin(); child != node.children.rend(); ++child) ready_.push_back(child->get());
    }
    changed_.notify_all();
  }

  // On the calling thread: delivers the tree in depth-first order as its nodes finish, running
  // ready tasks itself while the next node to deliver is not done.
  void Deliver(Node& top) {
    struct Place {
      Node* node;
      std::size_t next;  // the child to deliver next
    };
    std::vector<Place> path{{&top, 0}};
    std::unique_lock lock(mutex_);
    while (!path.empty()) {
      Node* node = path.back().node;
      if (!node->done) {
        if (!ready_.empty()) {
          Node* task = TakeReady();
          lock.unlock();
          Execute(*task);
          lock.lock();
        } else {
          changed_.wait(lock);
        }
        continue;
      }
      if (path.back().next == 0) DeliverItems(*node, lock);
      if (path.back().next < node->children.size()) {
        Node* child = node->children[path.back().next++].get();
        path.push_back({child, 0});
        continue;
      }
      // Everything below node is delivered: its memory can go.
      path.pop_back();
      if (!path.empty()) path.back().node->children[path.back().next - 1].reset();
    }
  }

  // Hands node's items over outside the lock, then rethrows its failure.
  void DeliverItems(Node& node, std::unique_lock<std::mutex>& lock) {
    std::vector<Item> items = std::move(node.items);
    node.items.clear();
    const std::exception_ptr failure = node.failure;
    lock.unlock();
    for (Item& item : items) deliver_(item);
    if (failure) std::rethrow_exception(failure);
    lock.lock();
  }

  static std::thread StartThread(std::function<void()> body) { return std::thread(std::move(body)); }

  Runner run_;
  Deliverer deliver_;
  int threads_;
  ThreadStarter start_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Node*> ready_;  // tasks not yet started; the next at the back
  bool abandon_ = false;
};

}  // namespace tamrisk
