// RegGlobal: the options record of the whole process, its file "options.ini" in the settings folder,
// and the small operations several windows share.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/System.h"
#include "scan/Categories.h"
#include "scan/Phrase.h"

namespace tamrisk {

enum TWindowState { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

// Check states of the category tree, indexed by the node's code. A file written before a category was
// added has no key for it, and the category comes ticked like every missing key.
class TNodeChecks {
 public:
  static constexpr int First = 1;
  static constexpr int Last = kHighestCategoryCode;

  // Throws std::out_of_range for an index outside First to Last.
  bool& operator[](CategoryCode code) { return checks_.at(Slot(NumberOf(code))); }
  bool operator[](CategoryCode code) const { return checks_.at(Slot(NumberOf(code))); }
  // By the number as options.ini and the tree view's image index hold it.
  bool& operator[](int index) { return checks_.at(Slot(index)); }
  bool operator[](int index) const { return checks_.at(Slot(index)); }
  void Fill(bool checked) { checks_.fill(checked); }
  friend bool operator==(const TNodeChecks&, const TNodeChecks&) = default;

 private:
  static std::size_t Slot(int index) { return static_cast<std::size_t>(index - First); }
  std::array<bool, Last - First + 1> checks_{};
};

struct TOptionsSetting {
  std::string OutputDirectory;
  // Where a scheduled report goes, with the computer's name in its file name ("" for the backup
  // folder); a share's UNC path lets one folder collect the reports of many machines. An
  // administrator's key: read, never written back, so the save leaves it as it is in the file.
  std::string ReportDirectory;
  bool DeleteBackupFile = false;
  bool IncludeRemoveMedia = false;
  bool IncludeCDdrive = false;
  // The window's language by its code ("de"); empty for the language of the user's Windows.
  std::string Language;
  TNodeChecks TreeViewNodeCheck;
  // Each count travels with its list: readers walk entries 0 to count - 1.
  std::int32_t IgnoreValueCount = 0;
  std::vector<std::string> IgnoreValues;
  std::int32_t IgnoreKeyCount = 0;
  std::vector<std::string> IgnoreKeys;
  TWindowState WindowState = wsNormal;
  // Why options.ini, which is there, could not be read whole ("" when it was read, or is missing):
  // the members above then hold their defaults, and no save writes them over the user's file.
  std::string Unreadable;

  friend bool operator==(const TOptionsSetting&, const TOptionsSetting&) = default;
};

// The one options record of the process; touched by the window thread only.
extern TOptionsSetting OptionsSetting;

// The main window's bounds in screen pixels.
struct WindowBounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const WindowBounds&, const WindowBounds&) = default;
};

// What the load needs to know of the main window: its designed size and the screen's size.
struct WindowMetrics {
  int width = 0;
  int height = 0;
  int screenWidth = 0;
  int screenHeight = 0;
};

// What the save stores of the main window.
struct WindowSnapshot {
  std::optional<int> showCommand;  // GetWindowPlacement's show command; nullopt when the call failed
  WindowBounds bounds;             // current left, top, width and height
};

// How the main window shares its width, in pixels at 96 DPI: the category tree's width (the splitter)
// and the widths of the Problem and Value columns; the Registry key column takes what is left.
struct PaneLayout {
  int treeWidth = 183;
  int problemWidth = 120;
  int valueWidth = 150;
  int programWidth = 120;
  bool byProgram = false;  // the results under a heading per program
  friend bool operator==(const PaneLayout&, const PaneLayout&) = default;
};

// A key of "options.ini" that could not be written: "Unable to write to <file>".
class SettingsWriteError : public WordedError {
 public:
  explicit SettingsWriteError(const std::string& path);
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// "options.ini" is there but cannot be read whole: a sharing violation, access denied, or damaged
// text. Its settings are unknown, so nothing may act on defaults in their place or save over them.
class SettingsReadError : public WordedError {
 public:
  SettingsReadError(const std::string& path, const std::string& why);
};

// Most entries an ignore list is read with; a damaged "Count" cannot make the load run for ever.
constexpr std::int32_t kMaxIgnoreEntries = 10000;

// The folder of options.ini, Tamrisk.log and the default Backup folder, with its trailing "\": the
// program's own folder when this process may write there (a portable copy, a folder of the user's
// own), otherwise %LOCALAPPDATA%\Tamrisk\, made when missing (a standard user's run of a copy in
// Program Files). The program's folder also when the local application data folder is unknown.
std::string SettingsFolder(const Platform& platform);

// SettingsFolder + "options.ini".
std::string SettingsFilePath(const Platform& platform);

// Fills options from "options.ini"; every missing or malformed key gives its default, and so does a
// missing file. A file that is there but cannot be read whole (locked, access denied, or damaged: a
// NUL in its text, as a power loss leaves a file being written, or UTF-16 cut in half) gives every
// default and sets options.Unreadable, and so does a file that changed while it was read (it is read
// whole before and after the keys). Returns the
// bounds the main window opens at, or nullopt when it keeps its designed size, is centred when
// first shown and is then maximized (options.WindowState is then wsMaximized).
std::optional<WindowBounds> LoadOptions(const Platform& platform, const WindowMetrics& window,
                                        TOptionsSetting& options = OptionsSetting);

// Copies the tree's check states into options, then writes every section in order. Throws
// SettingsReadError, writing nothing, when options.Unreadable is set or the file cannot be read whole
// now; SettingsWriteError at the first key that cannot be written, keys written before it staying.
void SaveOptions(const Platform& platform, const TNodeChecks& treeChecks, const WindowSnapshot& window,
                 TOptionsSetting& options = OptionsSetting);

// The pane layout stored beside the window's place; each missing or malformed key gives its default.
PaneLayout LoadPaneLayout(const Platform& platform);
// Throws as SaveOptions does (SettingsReadError when the file cannot be read whole now).
void SavePaneLayout(const Platform& platform, const PaneLayout& layout);

// The stored language choice alone, read before the window exists: its menus are made with it.
std::string StoredLanguage(const Platform& platform);

// What SaveOptions writes but the window's place, for a run that has no window: the place stored
// stays as it is. Throws as SaveOptions does.
void SaveOptionsWithoutWindow(const Platform& platform, const TOptionsSetting& options);

// The entries of the ignore lists in use: 0 to count - 1 of each.
std::vector<std::string> IgnoredValues(const TOptionsSetting& options = OptionsSetting);
std::vector<std::string> IgnoredKeys(const TOptionsSetting& options = OptionsSetting);

// "07" for 7, "12" for 12.
std::string TwoDigits(int n);

// Deletes one file outright (not to the recycle bin), silently; true when the shell reports success.
bool ShellDeleteFile(const Platform& platform, const std::string& path);

// The registry editor by its full path in the Windows folder ("" when that folder is unknown), and
// a command line that starts it with switches.
std::string RegeditPath(const Platform& platform);
std::string RegeditCommand(const Platform& platform, const std::string& switches);

// Stores a text value below HKEY_CURRENT_USER, making the key when missing. Writes nothing when the
// key cannot be opened or made; a failed write throws RegistryError.
void WriteUserRegistryText(const Platform& platform, const std::string& key, const std::string& name,
                           const std::string& text);

// The folder picker as the options and restore dialogs use it: path is emptied first and receives
// the chosen folder when the user confirms.
bool SelectDirectory(const Platform& platform, std::uintptr_t owner, const std::string& title, std::string& path);

}  // namespace tamrisk
