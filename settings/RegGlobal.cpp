#include "settings/RegGlobal.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string_view>

#include "platform/RegistryAccess.h"
#include "platform/Text.h"

namespace tamrisk {

TOptionsSetting OptionsSetting;

SettingsWriteError::SettingsWriteError(const std::string& path)
    : WordedError({TextId::SettingsNotWritten, {path}}), path_(path) {}

SettingsReadError::SettingsReadError(const std::string& path, const std::string& why)
    : WordedError({TextId::SettingsNotRead, {path, why}}) {}

namespace {

constexpr std::size_t kMaxValueChars = 2047;

bool IsUtf16Text(std::string_view bytes) { return bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE"; }

// A NUL anywhere, or an odd number of bytes behind a UTF-16LE byte-order mark.
bool IsDamagedIniText(std::string_view bytes) {
  if (!IsUtf16Text(bytes)) return bytes.find('\0') != std::string_view::npos;
  if (bytes.size() % 2 != 0) return true;
  for (std::size_t i = 2; i < bytes.size(); i += 2) {
    if (bytes[i] == '\0' && bytes[i + 1] == '\0') return true;
  }
  return false;
}

// Why path, which is there, cannot be read whole; contents get what was read. A missing file reads
// as empty, and so does a folder of that name, which holds no settings (and which no save can
// replace: that says it cannot write there).
std::optional<std::string> UnreadableBecause(const Platform& platform, const std::string& path, std::string& contents) {
  contents.clear();
  const PathKind kind = platform.files.KindOf(path);
  if (kind == PathKind::Nothing || kind == PathKind::Folder) return std::nullopt;
  std::string error;
  if (!platform.files.ReadFile(path, contents, &error)) {
    return error.empty() ? std::string("the file cannot be read") : error;
  }
  if (IsDamagedIniText(contents)) return std::string("its text is damaged (it holds NUL characters)");
  return std::nullopt;
}

// Saves only over a file whose settings were read, and that can still be read whole.
void CheckSafeToSave(const Platform& platform, const TOptionsSetting* options) {
  const std::string path = SettingsFilePath(platform);
  if (options && !options->Unreadable.empty()) throw SettingsReadError(path, options->Unreadable);
  std::string contents;
  if (const std::optional<std::string> why = UnreadableBecause(platform, path, contents)) {
    throw SettingsReadError(path, *why);
  }
}

std::optional<std::int32_t> ParseHex(std::string_view digits) {
  std::uint32_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [ptr, ec] = std::from_chars(digits.data(), end, value, 16);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return static_cast<std::int32_t>(value);  // "0xFFFFFFFF" is -1, as a 32-bit integer stores it
}

std::optional<std::int32_t> ParseDecimal(std::string_view digits) {
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  if (digits.empty() || digits.front() == '+') return std::nullopt;
  std::int32_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [ptr, ec] = std::from_chars(digits.data(), end, value, 10);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// Decimal, or hexadecimal after "0x"/"0X"; nullopt for anything else.
std::optional<std::int32_t> ParseIniInteger(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return ParseHex(text.substr(2));
  }
  return ParseDecimal(text);
}

// One settings file, read and written key by key through the ini service. One that could not be read
// whole gives every fallback.
class SettingsFile {
 public:
  explicit SettingsFile(const Platform& platform, bool readable = true)
      : ini_(platform.ini), path_(SettingsFilePath(platform)), readable_(readable) {}

  std::string ReadText(const std::string& section, const std::string& key, const std::string& fallback) const {
    return readable_ ? ini_.ReadString(path_, section, key, fallback, kMaxValueChars) : fallback;
  }
  std::int32_t ReadInteger(const std::string& section, const std::string& key, std::int32_t fallback) const {
    return ParseIniInteger(ReadText(section, key, "")).value_or(fallback);
  }
  bool ReadBool(const std::string& section, const std::string& key, bool fallback) const {
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
  }

  void WriteText(const std::string& section, const std::string& key, const std::string& value) const {
    if (!ini_.WriteString(path_, section, key, value)) throw SettingsWriteError(path_);
  }
  void WriteInteger(const std::string& section, const std::string& key, std::int64_t value) const {
    WriteText(section, key, std::to_string(value));
  }
  void WriteBool(const std::string& section, const std::string& key, bool value) const {
    WriteText(section, key, value ? "1" : "0");
  }

 private:
  IniFile& ini_;
  std::string path_;
  bool readable_;
};

void LoadList(const SettingsFile& file, const std::string& section, const std::string& prefix, std::int32_t& count,
              std::vector<std::string>& list) {
  count = std::min(file.ReadInteger(section, "Count", 0), kMaxIgnoreEntries);
  list.clear();
  for (std::int32_t n = 1; n <= count; ++n) list.push_back(file.ReadText(section, prefix + std::to_string(n), ""));
}

// Numbered keys beyond the count, left by an earlier and longer list, stay in the file unread.
void SaveList(const SettingsFile& file, const std::string& section, const std::string& prefix, std::int32_t count,
              const std::vector<std::string>& list) {
  // The count never claims entries the list does not hold.
  const std::int64_t written = std::min<std::int64_t>(count, static_cast<std::int64_t>(list.size()));
  file.WriteInteger(section, "Count", written);
  for (std::int64_t n = 1; n <= written; ++n) {
    file.WriteText(section, prefix + std::to_string(n), list[static_cast<std::size_t>(n - 1)]);
  }
}

WindowBounds LoadBounds(const SettingsFile& file, const WindowMetrics& window) {
  // Left and top are applied before width and height, so their defaults centre the designed size.
  WindowBounds bounds;
  bounds.left = file.ReadInteger("Window", "Left", (window.screenWidth - window.width) / 2);
  bounds.top = file.ReadInteger("Window", "Top", (window.screenHeight - window.height) / 2);
  bounds.width = file.ReadInteger("Window", "Width", window.width);
  bounds.height = file.ReadInteger("Window", "Height", window.height);
  return bounds;
}

// Entries 0 to count - 1 of a stored list; the count may disagree with the list in a hand-edited file.
std::vector<std::string> FirstEntries(const std::vector<std::string>& list, std::int32_t count) {
  const std::size_t n = std::min(static_cast<std::size_t>(std::max<std::int32_t>(count, 0)), list.size());
  return std::vector<std::string>(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(n));
}

}  // namespace

std::string SettingsFolder(const Platform& platform) {
  const std::string own = platform.system.ExecutableFolder();
  if (platform.files.FolderIsWritable(own)) return own;
  std::string local = platform.system.SpecialFolder(csidl::LocalAppData);
  if (local.empty()) return own;
  if (local.back() != '\\') local += '\\';
  local += "Tamrisk\\";
  MakeFolderPath(platform.files, local);
  return local;
}

std::string SettingsFilePath(const Platform& platform) { return SettingsFolder(platform) + "options.ini"; }

namespace {

// The ticks' keys are written in the order of their codes, as files before the table had them.
std::vector<const CategoryRow*> RowsByCode() {
  std::vector<const CategoryRow*> rows;
  for (int number = TNodeChecks::First; number <= TNodeChecks::Last; ++number) {
    if (const std::optional<CategoryCode> code = CategoryCodeOf(number)) rows.push_back(CategoryOf(*code));
  }
  return rows;
}

std::optional<WindowBounds> LoadFrom(const Platform& platform, const SettingsFile& file, const WindowMetrics& window,
                                     TOptionsSetting& options) {
  const std::string defaultFolder = SettingsFolder(platform) + "Backup";
  options.OutputDirectory = file.ReadText("Options", "OutputDirectory", defaultFolder);
  // An empty entry would send backups to the root of whatever drive is current.
  if (options.OutputDirectory.empty()) options.OutputDirectory = defaultFolder;
  options.ReportDirectory = file.ReadText("Options", "ReportDirectory", "");
  options.DeleteBackupFile = file.ReadBool("Options", "DeleteBackupFile", true);
  options.IncludeRemoveMedia = file.ReadBool("Options", "IncludeRemoveMedia", false);
  options.IncludeCDdrive = file.ReadBool("Options", "IncludeCDdrive", false);
  options.Language = file.ReadText("Options", "Language", "");
  for (const CategoryRow* row : RowsByCode()) {
    options.TreeViewNodeCheck[row->code] = file.ReadBool("TreeViewNodeCheck", row->optionsKey, true);
  }
  LoadList(file, "IgnoreValue", "Value", options.IgnoreValueCount, options.IgnoreValues);
  LoadList(file, "IgnoreKey", "Key", options.IgnoreKeyCount, options.IgnoreKeys);
  constexpr std::int32_t kShowMaximized = 3;
  if (file.ReadInteger("Window", "State", 1) == kShowMaximized) {
    options.WindowState = wsMaximized;  // the stored bounds stay unread
    return std::nullopt;
  }
  options.WindowState = wsNormal;
  return LoadBounds(file, window);
}

}  // namespace

std::optional<WindowBounds> LoadOptions(const Platform& platform, const WindowMetrics& window,
                                        TOptionsSetting& options) {
  const std::string path = SettingsFilePath(platform);
  std::string before, after;
  std::optional<std::string> unreadable = UnreadableBecause(platform, path, before);
  std::optional<WindowBounds> bounds = LoadFrom(platform, SettingsFile(platform, !unreadable), window, options);
  // The profile functions open the file again for each key: one changed, locked or made meanwhile
  // may have given some keys their defaults. (It is not held open meanwhile: the profile functions
  // may want to share it otherwise.)
  if (!unreadable && (UnreadableBecause(platform, path, after) || after != before)) {
    unreadable = "it changed while it was read";
  }
  if (unreadable) bounds = LoadFrom(platform, SettingsFile(platform, false), window, options);
  options.Unreadable = unreadable.value_or("");
  return bounds;
}

std::string StoredLanguage(const Platform& platform) {
  return SettingsFile(platform).ReadText("Options", "Language", "");
}

void SaveOptionsWithoutWindow(const Platform& platform, const TOptionsSetting& options) {
  CheckSafeToSave(platform, &options);
  const SettingsFile file(platform);
  file.WriteText("Options", "OutputDirectory", options.OutputDirectory);
  file.WriteBool("Options", "DeleteBackupFile", options.DeleteBackupFile);
  file.WriteBool("Options", "IncludeRemoveMedia", options.IncludeRemoveMedia);
  file.WriteBool("Options", "IncludeCDdrive", options.IncludeCDdrive);
  file.WriteText("Options", "Language", options.Language);
  for (const CategoryRow* row : RowsByCode()) {
    file.WriteBool("TreeViewNodeCheck", row->optionsKey, options.TreeViewNodeCheck[row->code]);
  }
  SaveList(file, "IgnoreValue", "Value", options.IgnoreValueCount, options.IgnoreValues);
  SaveList(file, "IgnoreKey", "Key", options.IgnoreKeyCount, options.IgnoreKeys);
}

void SaveOptions(const Platform& platform, const TNodeChecks& treeChecks, const WindowSnapshot& window,
                 TOptionsSetting& options) {
  options.TreeViewNodeCheck = treeChecks;
  SaveOptionsWithoutWindow(platform, options);
  const SettingsFile file(platform);
  if (window.showCommand) file.WriteInteger("Window", "State", *window.showCommand);
  file.WriteInteger("Window", "Left", window.bounds.left);
  file.WriteInteger("Window", "Top", window.bounds.top);
  file.WriteInteger("Window", "Width", window.bounds.width);
  file.WriteInteger("Window", "Height", window.bounds.height);
}

PaneLayout LoadPaneLayout(const Platform& platform) {
  const SettingsFile file(platform);
  PaneLayout layout;
  layout.treeWidth = file.ReadInteger("Window", "TreeWidth", layout.treeWidth);
  layout.problemWidth = file.ReadInteger("Window", "ProblemWidth", layout.problemWidth);
  layout.valueWidth = file.ReadInteger("Window", "ValueWidth", layout.valueWidth);
  layout.programWidth = file.ReadInteger("Window", "ProgramWidth", layout.programWidth);
  layout.byProgram = file.ReadInteger("Window", "ByProgram", 0) != 0;
  return layout;
}

void SavePaneLayout(const Platform& platform, const PaneLayout& layout) {
  CheckSafeToSave(platform, nullptr);
  const SettingsFile file(platform);
  file.WriteInteger("Window", "TreeWidth", layout.treeWidth);
  file.WriteInteger("Window", "ProblemWidth", layout.problemWidth);
  file.WriteInteger("Window", "ValueWidth", layout.valueWidth);
  file.WriteInteger("Window", "ProgramWidth", layout.programWidth);
  file.WriteInteger("Window", "ByProgram", layout.byProgram ? 1 : 0);
}

std::vector<std::string> IgnoredValues(const TOptionsSetting& options) {
  return FirstEntries(options.IgnoreValues, options.IgnoreValueCount);
}

std::vector<std::string> IgnoredKeys(const TOptionsSetting& options) {
  return FirstEntries(options.IgnoreKeys, options.IgnoreKeyCount);
}

std::string TwoDigits(int n) {
  std::string text = n < 10 ? "0" : "";
  text += std::to_string(n);
  return text;
}

bool ShellDeleteFile(const Platform& platform, const std::string& path) {
  return platform.files.ShellDelete(path, false);
}

void WriteUserRegistryText(const Platform& platform, const std::string& key, const std::string& name,
                           const std::string& text) {
  RegistryAccess registry(platform.registry);
  registry.SelectRoot(RootKey::CurrentUser);
  if (registry.OpenPath(key, true)) registry.WriteText(name, text);
  registry.ClosePath();
}

bool SelectDirectory(const Platform& platform, std::uintptr_t owner, const std::string& title, std::string& path) {
  path.clear();
  const std::optional<std::string> chosen = platform.shell.PickFolder(owner, title, "");
  if (!chosen) return false;
  path = *chosen;
  return true;
}

std::string RegeditPath(const Platform& platform) {
  const std::string windows = platform.system.WindowsFolder();
  return windows.empty() ? std::string() : windows + "regedit.exe";
}

std::string RegeditCommand(const Platform& platform, const std::string& switches) {
  return "\"" + RegeditPath(platform) + "\" " + switches;
}

}  // namespace tamrisk
