// Runs categories through a real TScanTaskThread, synchronously, and collects what it reported.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/System.h"
#include "platform/memory/MemoryPlatform.h"
#include "scan/ProblemRow.h"
#include "scan/ScanSink.h"
#include "scan/ScanTask.h"

namespace tamrisk {

// Rows in test failure messages (found by argument-dependent lookup).
void PrintTo(const ProblemRow& row, std::ostream* os);

}  // namespace tamrisk

namespace tamrisk::test {

struct ScanResult {
  std::vector<ProblemRow> rows;    // as reported, reasons included
  std::vector<std::string> tasks;  // captions in the order shown
  std::string lastKey;             // last current-key text, as broken for display
  long keysShown = 0;              // current-key texts shown
  int started = 0;
  int finished = 0;
  bool ended = false;
  std::vector<int> incomplete;  // codes a failure ended
};

// A row as a scan reports it (unticked).
ProblemRow Row(ProblemId problem, const std::string& key, const std::string& value, RowKind kind, Phrase reason = {});
// The row with its tick set.
ProblemRow Ticked(ProblemRow row, bool ticked = true);

// Rows in key-and-value order: value order within a key is the registry's own, so such rows compare
// as sets.
std::vector<ProblemRow> Sorted(std::vector<ProblemRow> rows);

// Codes as tests write them, in decimal as options.ini does; a text that is no decimal number is 0,
// which no category has.
std::vector<CategoryCode> Codes(const std::vector<std::string>& texts);
std::vector<int> Numbers(const std::vector<CategoryCode>& codes);

// Scans the codes (decimal texts) with TestedDrives set to drives.
ScanResult RunScan(const Platform& platform, const std::vector<std::string>& codes, const std::string& drives = "c");

// The rows with their reasons cleared, so that expectations of what a scanner finds name the four
// columns alone (one table test checks the reasons). Every row a scanner reports says why it is
// listed: a row without a reason fails the running test.
std::vector<ProblemRow> WithoutReasons(std::vector<ProblemRow> rows);
ScanResult WithoutReasons(ScanResult result);

// The rows with each reason replaced by its English words, for comparing with rows written with
// their reasons as text (Verbatim).
std::vector<ProblemRow> ReasonsInEnglish(std::vector<ProblemRow> rows);

// A test of scanners on the memory backends: fill env, then Scan.
class MemoryScanTest : public ::testing::Test {
 protected:
  // Rows without their reasons (WithoutReasons).
  ScanResult Scan(const std::vector<std::string>& codes, const std::string& drives = "c") {
    return WithoutReasons(RunScan(env.platform, codes, drives));
  }
  // A worker (tested drive C:) for calling one scanner step directly; it reports to sink.
  std::shared_ptr<TScanTaskThread> Task() {
    auto task = std::make_shared<TScanTaskThread>(env.platform, sink, false, false);
    task->TestedDrives = "c";
    return task;
  }

  MemoryPlatform env;
  std::shared_ptr<HeadlessSink> sink = std::make_shared<HeadlessSink>();
};

// Only the rows whose Value column contains marker (ignoring case).
std::vector<ProblemRow> ValuesMentioning(const std::vector<ProblemRow>& rows, const std::string& marker);

// Fixture text with every "$N" replaced by name and every "$F" by folder written as REGEDIT4 string
// data (each "\" doubled).
std::string FillFixture(std::string text, const std::string& name, const std::string& folder);

// Only the rows whose Registry key column contains marker (ignoring case): lets a test on a shared,
// real registry look at its own entries alone.
std::vector<ProblemRow> RowsMentioning(const std::vector<ProblemRow>& rows, const std::string& marker);

}  // namespace tamrisk::test
