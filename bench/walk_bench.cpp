// The hive walk (code 4) over generated trees in the memory registry: time should grow with the
// number of keys, the keys held open at once with the depth of the tree (for each of the walk's
// threads), and the heap with the depth and the rows found but not yet listed.
//
// Counters: keys walked, ns per key (wall time: the walk runs on several threads), peak open keys, and the walk's peak
// heap above what was live before it started (the tree itself excluded), measured by counting every operator
// new/delete; registry calls per key and allocations per value (three values a key) show where the time goes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "scan/ScanTask.h"

namespace {

std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};
std::atomic<long long> allocations{0};

void NoteAllocation(long long size) {
  const long long now = liveBytes.fetch_add(size, std::memory_order_relaxed) + size;
  long long peak = peakBytes.load(std::memory_order_relaxed);
  while (now > peak && !peakBytes.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}

// Each block carries its size in front, so a delete knows how much it frees.
constexpr std::size_t kHeader = alignof(std::max_align_t);

}  // namespace

void* operator new(std::size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  NoteAllocation(static_cast<long long>(size));
  allocations.fetch_add(1, std::memory_order_relaxed);
  return static_cast<char*>(block) + kHeader;
}

void operator delete(void* pointer) noexcept {
  if (pointer == nullptr) return;
  char* block = static_cast<char*>(pointer) - kHeader;
  liveBytes.fetch_sub(static_cast<long long>(*reinterpret_cast<std::size_t*>(block)), std::memory_order_relaxed);
  std::free(block);
}

void operator delete(void* pointer, std::size_t) noexcept { operator delete(pointer); }

namespace {

using namespace tamrisk;

// Counts what the walk shows and reports, and notes the open keys while each key is shown (its
// ancestors are open then too). Rows are counted, not kept, so they do not count as walk memory.
// The walk's threads all show keys.
class CountingSink final : public ScanSink {
 public:
  explicit CountingSink(const MemoryRegistry& registry) : registry_(registry) {}
  void StartCategory(CategoryCode) override {}
  void FinishCategory() override {}
  void ShowTask(const std::string&) override {}
  void ShowCurrentKey(const std::string&) override {
    ++keys;
    const std::size_t open = registry_.OpenHandleCount();
    std::size_t peak = peakOpen.load();
    while (open > peak && !peakOpen.compare_exchange_weak(peak, open)) {
    }
  }
  void AppendProblem(const ProblemRow&) override { ++rows; }
  void ScanEnded() override {}

  std::atomic<long> keys{0};
  std::atomic<long> rows{0};
  std::atomic<std::size_t> peakOpen{0};

 private:
  const MemoryRegistry& registry_;
};

// The memory registry with every call counted.
class CountingRegistry final : public RegistryBackend {
 public:
  explicit CountingRegistry(RegistryBackend& inner) : inner_(inner) {}
  long OpenKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) override {
    return Count(inner_.OpenKey(parent, subkey, rights, result));
  }
  long CreateKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) override {
    return Count(inner_.CreateKey(parent, subkey, rights, result));
  }
  long CloseKey(KeyHandle key) override { return Count(inner_.CloseKey(key)); }
  long EnumKey(KeyHandle key, std::uint32_t index, std::string& name) override {
    return Count(inner_.EnumKey(key, index, name));
  }
  long EnumValue(KeyHandle key, std::uint32_t index, std::string& name) override {
    return Count(inner_.EnumValue(key, index, name));
  }
  long EnumValueData(KeyHandle key, std::uint32_t index, std::string& name, std::uint32_t& type,
                     std::vector<std::uint8_t>& data) override {
    return Count(inner_.EnumValueData(key, index, name, type, data));
  }
  long QueryValueInfo(KeyHandle key, const std::string& name, std::uint32_t& type, std::uint32_t& size) override {
    return Count(inner_.QueryValueInfo(key, name, type, size));
  }
  long QueryValue(KeyHandle key, const std::string& name, std::uint32_t& type,
                  std::vector<std::uint8_t>& data) override {
    return Count(inner_.QueryValue(key, name, type, data));
  }
  long QueryInfoKey(KeyHandle key, KeyInfo& info) override { return Count(inner_.QueryInfoKey(key, info)); }
  long SetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override {
    return Count(inner_.SetValue(key, name, type, data));
  }
  long DeleteKey(KeyHandle parent, const std::string& subkey) override {
    return Count(inner_.DeleteKey(parent, subkey));
  }
  long DeleteValue(KeyHandle key, const std::string& name) override { return Count(inner_.DeleteValue(key, name)); }

  std::atomic<long long> calls{0};

 private:
  long Count(long rc) {
    ++calls;
    return rc;
  }
  RegistryBackend& inner_;
};

void SeedValues(MemoryRegistry& registry, const std::string& path, long index) {
  registry.SetString(RootKey::CurrentUser, path, "Title", "Item " + std::to_string(index));
  registry.SetString(RootKey::CurrentUser, path, "Path",
                     index % 100 == 0 ? "C:\\Gone\\app" + std::to_string(index) + ".exe" : "C:\\Apps\\app.exe");
  registry.SetDword(RootKey::CurrentUser, path, "Size", static_cast<std::uint32_t>(index));
}

// keys keys below HKEY_CURRENT_USER\Tree, key i under key (i - 1) / 10: about log10(keys) levels.
void SeedBushyTree(MemoryPlatform& env, long keys) {
  std::vector<std::string> paths;
  paths.reserve(static_cast<std::size_t>(keys));
  for (long i = 0; i < keys; ++i) {
    paths.push_back((i == 0 ? std::string("Tree") : paths[static_cast<std::size_t>((i - 1) / 10)]) + "\\K" +
                    std::to_string(i));
    SeedValues(env.registry, paths.back(), i);
  }
}

// keys keys as chains of depth levels below HKEY_CURRENT_USER\Comb.
void SeedComb(MemoryPlatform& env, long keys, long depth) {
  for (long chain = 0, index = 0; index < keys; ++chain) {
    std::string path = "Comb\\C" + std::to_string(chain);
    for (long level = 0; level < depth && index < keys; ++level, ++index) {
      path += "\\L" + std::to_string(level);
      SeedValues(env.registry, path, index);
    }
  }
}

std::shared_ptr<CountingSink> RunWalk(MemoryPlatform& env, CountingRegistry& registry) {
  auto sink = std::make_shared<CountingSink>(env.registry);
  const Platform platform{registry, env.files, env.system, env.ini, env.shell};
  auto task = std::make_shared<TScanTaskThread>(platform, sink, false, false);
  task->TestedDrives = "c";
  task->Categories = {CategoryCode::CurrentUserFiles};
  task->Execute();
  return sink;
}

void Walk(benchmark::State& state, MemoryPlatform& env) {
  env.files.AddFile("C:\\Apps\\app.exe");
  // The memory registry builds its subkey index lazily on the first listing; that is the fake's
  // memory, not the walk's, so one walk runs before anything is measured.
  CountingRegistry registry(env.registry);
  RunWalk(env, registry);
  long long peakHeap = 0;
  long long callsPerWalk = 0, allocationsPerWalk = 0;
  for (auto _ : state) {
    peakBytes.store(liveBytes.load());
    const long long before = liveBytes.load();
    const long long callsBefore = registry.calls, allocationsBefore = allocations.load();
    const std::shared_ptr<CountingSink> sink = RunWalk(env, registry);
    peakHeap = std::max(peakHeap, peakBytes.load() - before);
    callsPerWalk = registry.calls - callsBefore;
    allocationsPerWalk = allocations.load() - allocationsBefore;
    state.counters["keys"] = static_cast<double>(sink->keys.load());
    state.counters["rows"] = static_cast<double>(sink->rows.load());
    state.counters["peak_open_keys"] = static_cast<double>(sink->peakOpen.load());
  }
  const double keys = state.counters["keys"];
  state.counters["ns_per_key"] = benchmark::Counter(keys * static_cast<double>(state.iterations()) * 1e-9,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["peak_walk_heap_bytes"] = static_cast<double>(peakHeap);
  state.counters["registry_calls_per_key"] = static_cast<double>(callsPerWalk) / keys;
  state.counters["allocs_per_value"] = static_cast<double>(allocationsPerWalk) / (3 * keys);
}

void BM_WalkBushyTree(benchmark::State& state) {
  MemoryPlatform env;
  SeedBushyTree(env, state.range(0));
  Walk(state, env);
}

void BM_WalkComb(benchmark::State& state) {
  MemoryPlatform env;
  SeedComb(env, state.range(0), state.range(1));
  Walk(state, env);
}

}  // namespace

// Same fan-out (10), ten times the keys: one level deeper.
BENCHMARK(BM_WalkBushyTree)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
// Same size, ten and a hundred levels deep.
BENCHMARK(BM_WalkComb)
    ->Args({100000, 10})
    ->Args({100000, 100})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

BENCHMARK_MAIN();
