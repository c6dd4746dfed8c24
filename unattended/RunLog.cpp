#include "unattended/RunLog.h"

#include <cstdio>
#include <exception>
#include <set>

#include "settings/RegGlobal.h"

namespace tamrisk {
namespace {

std::string Joined(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  for (const std::string& item : items) {
    if (!text.empty()) text += separator;
    text += item;
  }
  return text;
}

// One line per run: a line break inside an error text would split it.
std::string OnOneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  }
  return text;
}

std::string Stamp(const LocalDateTime& when) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", when.year, when.month, when.day, when.hour,
                when.minute, when.second);
  return buffer;
}

}  // namespace

std::string RunLogPath(const Platform& platform) { return SettingsFolder(platform) + "Tamrisk.log"; }

std::string FormatRunLogLine(const LocalDateTime& when, const RunLogEntry& entry) {
  std::string line = Stamp(when) + "  " + entry.mode;
  if (entry.scheduled) line += "  scheduled";
  line += "  categories " + (entry.categories.empty() ? std::string("none") : Joined(entry.categories, ","));
  line += "  found " + std::to_string(entry.found);
  if (entry.programs > 0) line += "  programs " + std::to_string(entry.programs);
  if (entry.mode != "-report") {
    line += "  repaired " + std::to_string(entry.repaired) + "  kept " + std::to_string(entry.kept);
    if (entry.emptiedKeys > 0) line += "  emptied " + std::to_string(entry.emptiedKeys);
    line += "  backup " + (entry.backupFile.empty() ? std::string("none") : entry.backupFile);
  }
  if (!entry.incomplete.empty()) line += "  incomplete: " + Joined(entry.incomplete, ", ");
  line += "  exit " + std::to_string(entry.exitCode);
  if (!entry.error.empty()) line += "  error: " + OnOneLine(entry.error);
  return line + "\r\n";
}

std::size_t CountPrograms(const std::vector<ProblemRow>& rows) {
  std::set<std::string> names;
  for (const ProblemRow& row : rows) {
    if (row.program) names.insert(row.program->name);
  }
  return names.size();
}

bool AppendRunLog(const Platform& platform, const RunLogEntry& entry) {
  try {
    return platform.files.AppendFile(RunLogPath(platform), FormatRunLogLine(platform.system.Now(), entry));
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace tamrisk
