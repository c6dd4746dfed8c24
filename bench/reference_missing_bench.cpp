// ReferenceMissing over a generated corpus of registry texts on the memory platform. Most registry
// texts cannot name a file on a tested drive; those must be turned away without a single file-system
// call, cheaply. The program checks the call count before it measures and fails when it is not 0.
// The texts that are looked up run twice: straight on the file system, and through the file cache a
// scan puts in front of it; fs_calls_per_text counts the calls of one pass, as in one scan.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "scan/PathTests.h"
#include "scan/ScanFileCache.h"

namespace tamrisk {
namespace {

constexpr std::size_t kCorpusSize = 120000;
constexpr const char* kDrives = "c";

// Why a text is in the corpus: the first group can never name a tested path.
enum class Shape {
  // Turned away by the drive-letter, ":\" or second-path tests.
  Word,
  Number,
  Guid,
  RelativeCommand,
  Url,
  UncPath,
  UntestedDrive,
  QuotedUntestedDrive,
  DriveRelative,
  TwoPaths,
  VariableOnUntestedDrive,
  Empty,
  // Paths on drive C: that are looked up.
  ProgramWithArguments,
  QuotedProgram,
  VariablePath,
  MissingProgram,
  FolderPath,
  // Programs in folders that are gone, as most stale texts of real registries are.
  MissingFolder,
  QuotedMissingFolder,
};

bool TurnedAway(Shape shape) { return shape <= Shape::Empty; }

const char* ShapeName(Shape shape) {
  static const char* const names[] = {
      "word",
      "number",
      "guid",
      "relative command",
      "url",
      "unc path",
      "untested drive",
      "quoted untested drive",
      "drive relative",
      "two paths",
      "variable on untested drive",
      "empty",
      "program with arguments",
      "quoted program",
      "variable path",
      "missing program",
      "folder path",
      "missing folder",
      "quoted missing folder",
  };
  return names[static_cast<int>(shape)];
}

struct Text {
  std::string text;
  Shape shape;
};

class CorpusBuilder {
 public:
  explicit CorpusBuilder(MemoryPlatform& memory) : memory_(memory) {
    memory_.files.SetDriveType('c', drivetype::Fixed);
    memory_.files.SetDriveType('d', drivetype::Fixed);
    memory_.files.AddFolder("C:\\Windows\\System32");
    memory_.files.AddFolder("D:\\Data");
    memory_.system.SetVariable("SystemRoot", "C:\\Windows");
    memory_.system.SetVariable("ProgramFiles", "C:\\Program Files");
    memory_.system.SetVariable("DataRoot", "D:\\Data");
    for (int i = 0; i < 200; ++i)
      memory_.files.AddFile("C:\\Windows\\System32\\" + Word() + std::to_string(i) + ".dll");
  }

  std::vector<Text> Build(std::size_t count) {
    std::vector<Text> corpus;
    corpus.reserve(count);
    while (corpus.size() < count) corpus.push_back(Next());
    return corpus;
  }

 private:
  Text Next() {
    // Weights follow what a registry walk meets: mostly names, numbers, GUIDs and the like.
    static const std::vector<std::pair<Shape, int>> weights = {
        {Shape::Word, 20},
        {Shape::Number, 12},
        {Shape::Guid, 12},
        {Shape::RelativeCommand, 6},
        {Shape::Url, 3},
        {Shape::UncPath, 2},
        {Shape::UntestedDrive, 6},
        {Shape::QuotedUntestedDrive, 3},
        {Shape::DriveRelative, 1},
        {Shape::TwoPaths, 2},
        {Shape::VariableOnUntestedDrive, 2},
        {Shape::Empty, 3},
        {Shape::ProgramWithArguments, 10},
        {Shape::QuotedProgram, 8},
        {Shape::VariablePath, 5},
        {Shape::MissingProgram, 4},
        {Shape::FolderPath, 1},
        {Shape::MissingFolder, 3},
        {Shape::QuotedMissingFolder, 2},
    };
    int total = 0;
    for (const auto& w : weights) total += w.second;
    int pick = Uniform(total);
    for (const auto& [shape, weight] : weights) {
      if (pick < weight) return {Make(shape), shape};
      pick -= weight;
    }
    return {"", Shape::Empty};
  }

  std::string Make(Shape shape) {
    switch (shape) {
      case Shape::Word:
        return Pick({"Microsoft Corporation", "&Open", "Open with Notepad", "Display", "en-US", "Software Update",
                     "Enabled"}) +
               (Uniform(2) ? "" : " " + Word());
      case Shape::Number: return Uniform(2) ? std::to_string(Uniform(100000)) : "0x" + Hex(8);
      case Shape::Guid: return "{" + Hex(8) + "-" + Hex(4) + "-" + Hex(4) + "-" + Hex(4) + "-" + Hex(12) + "}";
      case Shape::RelativeCommand:
        return Pick({"rundll32.exe shell32.dll,Control_RunDLL " + Word() + ".cpl", "notepad.exe %1",
                     "msiexec /i {" + Hex(8) + "}", "explorer.exe /e," + Word()});
      case Shape::Url: return "http://www." + Word() + ".com/" + Word() + "/index.html";
      case Shape::UncPath: return "\\\\server\\" + Word() + "\\" + Word() + ".exe";
      case Shape::UntestedDrive: return "D:\\Games\\" + Word() + "\\" + Word() + ".exe -windowed";
      case Shape::QuotedUntestedDrive: return "\"D:\\Program Files\\" + Word() + "\\" + Word() + ".exe\" \"%1\"";
      case Shape::DriveRelative: return "C:" + Word() + ".tmp";
      case Shape::TwoPaths: return "C:\\Tools\\" + Word() + ".exe C:\\Data\\" + Word() + ".txt";
      case Shape::VariableOnUntestedDrive: return "%DataRoot%\\" + Word() + "\\" + Word() + ".dat";
      case Shape::Empty: return "";
      case Shape::ProgramWithArguments: return Program(true) + " /" + Word();
      case Shape::QuotedProgram: return "\"" + Program(true) + "\" \"%1\"";
      case Shape::VariablePath:
        return "%SystemRoot%\\System32\\" + Word() + std::to_string(Uniform(400)) + ".dll,-" +
               std::to_string(Uniform(300));
      case Shape::MissingProgram: return Program(false) + " -" + Word();
      case Shape::FolderPath: return "C:\\Program Files\\" + Word() + "\\";
      case Shape::MissingFolder: return GoneFolder() + "\\" + Word() + ".exe /" + Word();
      case Shape::QuotedMissingFolder: return "\"" + GoneFolder() + "\\bin\\" + Word() + ".exe\" \"%1\"";
    }
    return {};
  }

  // A program path on C:, made to exist on the memory file system when present is set.
  std::string Program(bool present) {
    const std::string folder = "C:\\Program Files\\" + Word() + " " + Word();
    const std::string path = folder + "\\" + Word() + ".exe";
    if (present) memory_.files.AddFile(path);
    return path;
  }

  // A vendor's folder that is not there, one of a few hundred.
  std::string GoneFolder() { return "C:\\Program Files\\" + Word() + " Gone" + std::to_string(Uniform(300)); }

  std::string Word() {
    static const std::vector<std::string> words = {"Adobe",  "Vendor", "Update", "Helper", "Acme",   "Setup",
                                                   "Player", "Agent",  "Tray",   "Sync",   "Viewer", "Studio"};
    return words[static_cast<std::size_t>(Uniform(static_cast<int>(words.size())))];
  }
  std::string Pick(const std::vector<std::string>& options) {
    return options[static_cast<std::size_t>(Uniform(static_cast<int>(options.size())))];
  }
  std::string Hex(int digits) {
    static const char* hex = "0123456789ABCDEF";
    std::string text;
    for (int i = 0; i < digits; ++i) text += hex[Uniform(16)];
    return text;
  }
  int Uniform(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

  MemoryPlatform& memory_;
  std::mt19937 random_{20240517};
};

struct Fixture {
  MemoryPlatform memory;
  std::vector<Text> corpus;
  std::vector<std::string> turnedAway;
  std::vector<std::string> looked;

  Fixture() {
    corpus = CorpusBuilder(memory).Build(kCorpusSize);
    for (const Text& t : corpus) (TurnedAway(t.shape) ? turnedAway : looked).push_back(t.text);
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

// File-system calls made for one pass over a list of texts, with a cache of its own when cached.
std::size_t CallsFor(const std::vector<std::string>& texts, bool cached) {
  Fixture& f = Shared();
  ScanFileCache cache(f.memory.files);
  const Platform platform = cached ? WithFiles(f.memory.platform, cache) : f.memory.platform;
  f.memory.files.ResetCalls();
  for (const std::string& text : texts) ReferenceMissing(platform, text, "", kDrives, false);
  return f.memory.files.Calls().Total();
}

// Each iteration tests one text; a cached run keeps one cache over all of them, as one long scan.
void RunOver(benchmark::State& state, const std::vector<std::string>& texts, bool cached = false) {
  Fixture& f = Shared();
  ScanFileCache cache(f.memory.files);
  const Platform platform = cached ? WithFiles(f.memory.platform, cache) : f.memory.platform;
  std::size_t i = 0;
  std::size_t missing = 0;
  for (auto _ : state) {
    missing += ReferenceMissing(platform, texts[i], "", kDrives, false) ? 1 : 0;
    if (++i == texts.size()) i = 0;
  }
  benchmark::DoNotOptimize(missing);
  state.SetItemsProcessed(state.iterations());
  state.counters["texts"] = static_cast<double>(texts.size());
  state.counters["fs_calls_per_text"] =
      static_cast<double>(CallsFor(texts, cached)) / static_cast<double>(texts.size());
}

std::vector<std::string> TextsOf(Shape shape) {
  std::vector<std::string> texts;
  for (const Text& t : Shared().corpus) {
    if (t.shape == shape) texts.push_back(t.text);
  }
  return texts;
}

std::vector<std::string> AllTexts() {
  std::vector<std::string> all;
  for (const Text& t : Shared().corpus) all.push_back(t.text);
  return all;
}

void BM_TurnedAwayTexts(benchmark::State& state) { RunOver(state, Shared().turnedAway); }
void BM_LookedUpTexts(benchmark::State& state) { RunOver(state, Shared().looked); }
void BM_LookedUpTextsCached(benchmark::State& state) { RunOver(state, Shared().looked, true); }
void BM_WholeCorpus(benchmark::State& state) { RunOver(state, AllTexts()); }
void BM_WholeCorpusCached(benchmark::State& state) { RunOver(state, AllTexts(), true); }

// One shape at a time: the turned-away texts with a leading variable pay for its expansion; the
// looked-up ones, straight and cached, show where the file-system calls go.
void BM_TurnedAwayShape(benchmark::State& state) {
  const auto shape = static_cast<Shape>(state.range(0));
  state.SetLabel(ShapeName(shape));
  RunOver(state, TextsOf(shape));
}

void BM_LookedUpShape(benchmark::State& state) {
  const auto shape = static_cast<Shape>(state.range(0));
  const bool cached = state.range(1) != 0;
  state.SetLabel(std::string(ShapeName(shape)) + (cached ? ", cached" : ""));
  RunOver(state, TextsOf(shape), cached);
}

BENCHMARK(BM_TurnedAwayTexts);
BENCHMARK(BM_TurnedAwayShape)->DenseRange(static_cast<int>(Shape::Word), static_cast<int>(Shape::Empty));
BENCHMARK(BM_LookedUpTexts);
BENCHMARK(BM_LookedUpTextsCached);
BENCHMARK(BM_LookedUpShape)
    ->ArgsProduct({benchmark::CreateDenseRange(static_cast<int>(Shape::ProgramWithArguments),
                                               static_cast<int>(Shape::QuotedMissingFolder), 1),
                   {0, 1}});
BENCHMARK(BM_WholeCorpus);
BENCHMARK(BM_WholeCorpusCached);

// Every turned-away text, shape by shape, must leave the file system alone.
bool CheckNoFileSystemCalls() {
  Fixture& f = Shared();
  bool ok = true;
  std::size_t turnedAway = 0;
  for (const Text& t : f.corpus) {
    if (!TurnedAway(t.shape)) continue;
    ++turnedAway;
    f.memory.files.ResetCalls();
    ReferenceMissing(f.memory.platform, t.text, "", kDrives, false);
    if (f.memory.files.Calls().Total() != 0) {
      std::fprintf(stderr, "file-system call for a text that cannot be tested: %s\n", t.text.c_str());
      ok = false;
    }
  }
  std::printf("corpus: %zu texts, %zu turned away without a file-system call: %s\n", f.corpus.size(), turnedAway,
              ok ? "yes" : "NO");
  return ok;
}

}  // namespace
}  // namespace tamrisk

int main(int argc, char** argv) {
  if (!tamrisk::CheckNoFileSystemCalls()) return 1;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
