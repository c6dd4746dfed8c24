// The categories of the scan and the nodes of the category tree, one row each: everything the tree,
// the scan, the progress window, the settings and the repair know about a category comes from here.
// A new category is a code, a row, its scanner, and its texts in the language files.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tamrisk {

class TScanTaskThread;

// A node's code: its tree node's image index, its tick's key in options.ini, and the number the
// language files add to their first text ids. The numbers are stored, so they never change.
enum class CategoryCode : int {
  MyComputers = 1,
  FilesAndFolders = 2,
  LocalMachineFiles = 3,
  CurrentUserFiles = 4,
  UsersFiles = 5,
  SoftwareLocations = 6,
  WindowsFonts = 7,
  HelpFiles = 8,
  SharedDlls = 9,
  StartupPrograms = 10,
  AddRemovePrograms = 11,
  FileExtensions = 12,
  CustomControls = 13,
  ObsoleteSoftware = 14,
  WindowsServices = 15,
  StartMenu = 16,
  Shortcuts = 17,
  SoundEvents = 18,
  ActiveX = 19,
  MruLists = 20,
  Installer = 21,
  Applications = 22,
  FirewallRules = 23,
  MuiCache = 24,
  CompatibilitySettings = 25,
  ShellExtensions = 26,
  PerUserPrograms = 27,
  EndOfCodes  // a new code goes above, so this stays one past the highest
};

inline constexpr int kHighestCategoryCode = static_cast<int>(CategoryCode::EndOfCodes) - 1;

struct CategoryRow {
  CategoryCode code;
  std::optional<CategoryCode> parent;   // the node above it in the tree; none for the root
  const char* name;                     // English, for messages and reports
  const char* caption;                  // shown while it runs; nullptr: the caption before it stays
  void (*scan)(TScanTaskThread& task);  // nullptr for a group, which only gathers the nodes below it
  int weight;                           // its usual share of a scan's time, in tens of milliseconds
  bool hiveWalk;                        // walks a whole hive: its rows yield to the other categories'
  const char* optionsKey;               // its tick's key in options.ini's [TreeViewNodeCheck]
};

// Every node, in the tree's order: a parent comes before its children.
std::span<const CategoryRow> CategoryTable();
// The row of code; nullptr for a number no node has.
const CategoryRow* CategoryOf(CategoryCode code);
// The code of a stored or shown number; none for a number no node has.
std::optional<CategoryCode> CategoryCodeOf(int number);
inline int NumberOf(CategoryCode code) { return static_cast<int>(code); }
// The decimal text of each code, in numbered order, as the run log writes them.
std::vector<std::string> CodeTexts(std::vector<CategoryCode> codes);

// "Shared DLLs"; "Category N" for a number no node has.
std::string CategoryName(CategoryCode code);
// The caption shown while the category runs; "" for none.
std::string CategoryCaption(CategoryCode code);
// A group only gathers the nodes below it: it has no scanner, and a scan in it is between categories.
bool IsGroup(CategoryCode code);
bool IsHiveWalk(CategoryCode code);
// The weight of a scanned category; 1 for a number no node has, which runs nothing but still steps.
int CategoryWeight(CategoryCode code);

}  // namespace tamrisk
