#include "platform/memory/MemorySystem.h"

#include <functional>
#include <string_view>

#include "platform/Text.h"

namespace tamrisk {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

struct IniLine {
  std::string text;    // without its line break
  std::string ending;  // "\r\n", "\n" or "" for a last line without one
};

std::vector<IniLine> SplitLines(const std::string& contents) {
  std::vector<IniLine> lines;
  std::size_t start = 0;
  while (start < contents.size()) {
    std::size_t end = contents.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back({contents.substr(start), ""});
      break;
    }
    const bool crlf = end > start && contents[end - 1] == '\r';
    lines.push_back({contents.substr(start, end - start - (crlf ? 1 : 0)), crlf ? "\r\n" : "\n"});
    start = end + 1;
  }
  return lines;
}

std::optional<std::string_view> SectionOf(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  const std::size_t close = line.find(']');
  return TrimBlanks(close == std::string_view::npos ? line : line.substr(0, close));
}

// Key of a "key=value" line; comments and lines without "=" hold none.
std::optional<std::string_view> KeyOf(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() == ';' || line.front() == '[') return std::nullopt;
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return TrimBlanks(line.substr(0, equals));
}

std::string_view ValueOf(std::string_view line) { return TrimBlanks(line.substr(line.find('=') + 1)); }

// The first maxChars characters (UTF-16 units) of a text.
std::string FirstChars(std::string_view text, std::size_t maxChars) {
  if (text.size() <= maxChars) return std::string(text);
  return Utf16ToUtf8(Utf8ToUtf16(text).substr(0, maxChars));
}

// Index of the first section of that name, as only the first one counts.
std::size_t FindSection(const std::vector<IniLine>& lines, std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (auto name = SectionOf(lines[i].text); name && EqualsNoCase(*name, section)) return i;
  }
  return lines.size();
}

}  // namespace

std::optional<std::string> MemorySystemInfo::ExpandEnvironment(const std::string& text, std::size_t bufferSize) {
  std::lock_guard lock(mutex_);
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '%') {
      out += text[i++];
      continue;
    }
    const std::size_t close = text.find('%', i + 1);
    if (close == std::string::npos) {
      out.append(text, i, std::string::npos);
      break;
    }
    const std::string name = text.substr(i + 1, close - i - 1);
    auto found = name.empty() ? variables_.end() : variables_.find(AsciiUpper(name));
    if (found != variables_.end()) {
      out += found->second.second;
    } else {
      out.append(text, i, close - i + 1);  // an unknown reference stays, both signs included
    }
    i = close + 1;
  }
  if (Utf16Length(out) + 1 > bufferSize) return std::nullopt;
  return out;
}

std::string MemorySystemInfo::SpecialFolder(int csidl) {
  std::lock_guard lock(mutex_);
  auto it = specialFolders_.find(csidl);
  return it == specialFolders_.end() ? std::string() : it->second;
}

VersionInfo MemorySystemInfo::Version() {
  std::lock_guard lock(mutex_);
  return version_;
}

std::string MemorySystemInfo::CurrentUserSid() {
  std::lock_guard lock(mutex_);
  return sid_;
}

std::string MemorySystemInfo::ComputerName() {
  std::lock_guard lock(mutex_);
  return computerName_;
}

void MemorySystemInfo::SetComputerName(const std::string& name) {
  std::lock_guard lock(mutex_);
  computerName_ = name;
}

bool MemorySystemInfo::ProcessIsElevated() {
  std::lock_guard lock(mutex_);
  return elevated_;
}

void MemorySystemInfo::SetElevated(bool elevated) {
  std::lock_guard lock(mutex_);
  elevated_ = elevated;
}

std::string MemorySystemInfo::ExecutableFolder() {
  std::lock_guard lock(mutex_);
  return executableFolder_;
}

LocalDateTime MemorySystemInfo::Now() {
  std::lock_guard lock(mutex_);
  return now_;
}

void MemorySystemInfo::SetVariable(const std::string& name, const std::string& value) {
  std::lock_guard lock(mutex_);
  variables_[AsciiUpper(name)] = {name, value};
}

void MemorySystemInfo::RemoveVariable(const std::string& name) {
  std::lock_guard lock(mutex_);
  variables_.erase(AsciiUpper(name));
}

void MemorySystemInfo::SetSpecialFolder(int csidl, const std::string& path) {
  std::lock_guard lock(mutex_);
  specialFolders_[csidl] = path;
}

void MemorySystemInfo::SetVersion(const VersionInfo& version) {
  std::lock_guard lock(mutex_);
  version_ = version;
}

void MemorySystemInfo::SetCurrentUserSid(const std::string& sid) {
  std::lock_guard lock(mutex_);
  sid_ = sid;
}

void MemorySystemInfo::SetExecutableFolder(const std::string& folder) {
  std::lock_guard lock(mutex_);
  executableFolder_ = folder;
}

void MemorySystemInfo::SetNow(const LocalDateTime& now) {
  std::lock_guard lock(mutex_);
  now_ = now;
}

std::string MemoryIniFile::ReadString(const std::string& file, const std::string& section, const std::string& key,
                                      const std::string& fallback, std::size_t maxChars) {
  std::string contents;
  if (files_.ReadFile(file, contents)) {
    const auto lines = SplitLines(contents);
    const std::string_view wantedKey = TrimBlanks(key);
    for (std::size_t i = FindSection(lines, TrimBlanks(section)) + 1; i < lines.size(); ++i) {
      if (SectionOf(lines[i].text)) break;
      auto name = KeyOf(lines[i].text);
      if (!name || !EqualsNoCase(*name, wantedKey)) continue;
      std::string_view value = ValueOf(lines[i].text);
      // One pair of matching quotes around a value is not part of it.
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
      return FirstChars(value, maxChars);
    }
  }
  // Trailing blanks of the default are dropped, as Windows does.
  std::string_view result = fallback;
  const std::size_t last = result.find_last_not_of(" \t");
  result = last == std::string_view::npos ? std::string_view() : result.substr(0, last + 1);
  return FirstChars(result, maxChars);
}

bool MemoryIniFile::WriteString(const std::string& file, const std::string& section, const std::string& key,
                                const std::string& value) {
  std::string contents;
  // A missing file is made; one that cannot be read is left alone, as it would be lost.
  if (!files_.ReadFile(file, contents) && files_.KindOf(file) != PathKind::Nothing) return false;
  auto lines = SplitLines(contents);
  const std::string_view sectionName = TrimBlanks(section);
  const std::string_view keyName = TrimBlanks(key);
  const std::size_t header = FindSection(lines, sectionName);
  if (header == lines.size()) {
    // A new section goes at the end of the file.
    if (!lines.empty() && lines.back().ending.empty()) lines.back().ending = "\r\n";
    lines.push_back({"[" + std::string(sectionName) + "]", "\r\n"});
    lines.push_back({std::string(keyName) + "=" + value, "\r\n"});
  } else {
    std::size_t insertAt = header + 1;
    bool replaced = false;
    for (std::size_t i = header + 1; i < lines.size() && !SectionOf(lines[i].text); ++i) {
      if (auto name = KeyOf(lines[i].text); name && EqualsNoCase(*name, keyName)) {
        // The key keeps the spelling it already has in the file.
        lines[i].text = std::string(*name) + "=" + value;
        replaced = true;
        break;
      }
      if (!TrimBlanks(lines[i].text).empty()) insertAt = i + 1;
    }
    if (!replaced) {
      // A new key goes after the last line of its section that is not blank.
      if (lines[insertAt - 1].ending.empty()) lines[insertAt - 1].ending = "\r\n";
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                   IniLine{std::string(keyName) + "=" + value, "\r\n"});
    }
  }
  std::string out;
  for (const auto& line : lines) out += line.text + line.ending;
  return files_.WriteFile(file, out);
}

namespace {

class MemoryTurn final : public RepairTurn {
 public:
  explicit MemoryTurn(std::function<void()> release) : release_(std::move(release)) {}
  ~MemoryTurn() override { release_(); }

 private:
  std::function<void()> release_;
};

}  // namespace

std::unique_ptr<RepairTurn> MemoryShell::TakeRepairTurn(bool unattendedRun, RepairHolder& holder) {
  std::lock_guard lock(mutex_);
  if (otherHolder_ || ownHolder_) {
    holder = otherHolder_ ? *otherHolder_ : *ownHolder_;
    return nullptr;
  }
  ownHolder_ = unattendedRun ? RepairHolder::UnattendedRun : RepairHolder::AnotherProgram;
  ++turnsTaken_;
  return std::make_unique<MemoryTurn>([this] {
    std::lock_guard release(mutex_);
    ownHolder_.reset();
  });
}

void MemoryShell::SetRepairLockHolder(std::optional<RepairHolder> holder) {
  std::lock_guard lock(mutex_);
  otherHolder_ = holder;
}

std::size_t MemoryShell::RepairTurnsTaken() const {
  std::lock_guard lock(mutex_);
  return turnsTaken_;
}

bool MemoryShell::RepairTurnHeld() const {
  std::lock_guard lock(mutex_);
  return ownHolder_.has_value();
}

bool MemoryShell::Open(std::uintptr_t owner, const std::string& file, const std::string& parameters,
                       const std::string& directory, int show) {
  std::lock_guard lock(mutex_);
  opens_.push_back({owner, file, parameters, directory, show});
  return openResult_;
}

bool MemoryShell::StartHidden(const std::string& commandLine, ProcessInfo& info) {
  std::lock_guard lock(mutex_);
  if (!startResult_) return false;
  FakeProcess process;
  process.commandLine = commandLine;
  process.info.process = nextHandle_;
  process.info.thread = nextHandle_ + 4;
  process.info.processId = nextId_;
  process.info.threadId = nextId_ + 4;
  process.ended = endAtOnce_;
  nextHandle_ += 8;
  nextId_ += 8;
  info = process.info;
  processes_.push_back(process);
  return true;
}

FakeProcess* MemoryShell::Lookup(const ProcessInfo& info) {
  for (auto& process : processes_) {
    if (process.info.process == info.process && !process.released) return &process;
  }
  return nullptr;
}

bool MemoryShell::HasEnded(const ProcessInfo& info) {
  std::lock_guard lock(mutex_);
  // A handle that is not open makes the wait fail, which is not WAIT_OBJECT_0.
  const FakeProcess* process = Lookup(info);
  return process != nullptr && process->ended;
}

void MemoryShell::Terminate(const ProcessInfo& info) {
  std::lock_guard lock(mutex_);
  if (FakeProcess* process = Lookup(info)) {
    if (!process->ended) process->terminated = true;
    process->ended = true;
  }
}

void MemoryShell::Release(ProcessInfo& info) {
  std::lock_guard lock(mutex_);
  if (FakeProcess* process = Lookup(info)) process->released = true;
  info = ProcessInfo{};
}

std::optional<std::string> MemoryShell::PickFolder(std::uintptr_t owner, const std::string& title,
                                                   const std::string& startPath) {
  std::lock_guard lock(mutex_);
  picks_.push_back({owner, title, startPath});
  if (folderAnswers_.empty()) return std::nullopt;
  auto answer = std::move(folderAnswers_.front());
  folderAnswers_.pop_front();
  return answer;
}

void MemoryShell::SetOpenResult(bool succeeds) {
  std::lock_guard lock(mutex_);
  openResult_ = succeeds;
}

void MemoryShell::SetStartResult(bool succeeds) {
  std::lock_guard lock(mutex_);
  startResult_ = succeeds;
}

void MemoryShell::SetProcessesEndAtOnce(bool atOnce) {
  std::lock_guard lock(mutex_);
  endAtOnce_ = atOnce;
}

void MemoryShell::EndProcess(std::size_t index) {
  std::lock_guard lock(mutex_);
  processes_.at(index).ended = true;
}

void MemoryShell::QueueFolderAnswer(std::optional<std::string> answer) {
  std::lock_guard lock(mutex_);
  folderAnswers_.push_back(std::move(answer));
}

std::vector<ShellOpenCall> MemoryShell::Opens() const {
  std::lock_guard lock(mutex_);
  return opens_;
}

std::vector<FakeProcess> MemoryShell::Processes() const {
  std::lock_guard lock(mutex_);
  return processes_;
}

std::vector<FolderPickCall> MemoryShell::FolderPicks() const {
  std::lock_guard lock(mutex_);
  return picks_;
}

}  // namespace tamrisk
