// The category tree: one node per category code, the code in the node's image index, and a state
// image (1 not selected, 2 selected) that only a mouse press on the icon toggles. After a scan the
// nodes show how many of the listed rows each category found.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "scan/Categories.h"
#include "scan/ProblemRow.h"
#include "settings/RegGlobal.h"
#include "ui/common/UiHandles.h"

namespace tamrisk {

class CategoryTree {
 public:
  static constexpr int kUnchecked = 1;
  static constexpr int kChecked = 2;
  // Modes of Walk besides kUnchecked and kChecked, which set every state.
  static constexpr int kWalkCollect = -1;   // the checked codes into collected
  static constexpr int kWalkStore = 99;     // the states into OptionsSetting
  static constexpr int kWalkRestore = 100;  // the states from OptionsSetting

  CategoryTree() = default;
  CategoryTree(const CategoryTree&) = delete;
  CategoryTree& operator=(const CategoryTree&) = delete;

  // Fills the tree view with a node per code, fully expanded and not selected.
  void Attach(HWND tree, HINSTANCE resources);
  HWND Handle() const { return tree_; }

  HTREEITEM Root() const;
  // The node whose code is code, or nullptr.
  HTREEITEM NodeOf(CategoryCode code) const;
  CategoryCode CodeOf(HTREEITEM node) const;
  int StateOf(HTREEITEM node) const;
  void SetState(HTREEITEM node, int state);
  // 0 for the root, 1 for its children, 2 for theirs.
  int LevelOf(HTREEITEM node) const;

  // Pre-order from node: the node, its subtree, then each following sibling with its subtree.
  void ForEachFrom(HTREEITEM node, const std::function<void(HTREEITEM)>& visit) const;

  // The check toggle for a mouse press at a point of the tree's client area. Presses beside every
  // state icon change nothing and give false.
  bool PressAt(POINT point);
  // Toggles one node and applies the group rules.
  void Toggle(HTREEITEM node);

  // Visits node, its subtree and each following sibling with its subtree in one of the modes above.
  void Walk(HTREEITEM node, int mode, std::vector<CategoryCode>* collected);

  // State 2 gives true, anything else false.
  TNodeChecks Checks() const;

  // A new scan: every node shows its bare caption again, and the counts shown from now on are those
  // of these codes.
  void StartCounts(const std::vector<CategoryCode>& codes);
  // A stopped scan: the category it stopped in counts what it found so far and says so, "Shortcuts
  // (3, stopped)"; the categories it never reached count nothing and show their bare captions.
  void StopCounts(std::optional<CategoryCode> stoppedIn, const std::vector<CategoryCode>& notReached);
  // Each scanned category's node shows how many of the rows it found, "Startup Programs (4)", and
  // each group the sum over its scanned members; the other nodes show their bare captions, as all do
  // before the first scan. Only changed captions are set.
  void ShowCounts(const std::vector<ProblemRow>& rows);
  // The caption a node shows now.
  std::string CaptionOf(HTREEITEM node) const;
  // The control asks its parent for the captions (TVN_GETDISPINFOW); the parent hands that here.
  void FillDisplayInfo(NMTVDISPINFOW& info) const;

 private:
  HTREEITEM Next(HTREEITEM node, UINT relation) const;
  // 2 when at least one child of parent is selected, else 1.
  void UpdateGroup(HTREEITEM parent);

  // One caption per node, in tree order; only the changed ones are set.
  void ShowCaptions(const std::vector<std::string>& captions);

  HWND tree_ = nullptr;
  UniqueImageList stateImages_;
  // Per node in tree order: its handle and the caption it shows.
  std::vector<HTREEITEM> nodes_;
  std::vector<std::string> captions_;
  // By code: whether the last scan took it.
  std::array<bool, kHighestCategoryCode + 1> scanned_{};
  // The category a stopped scan stopped in; none when it was not stopped in one.
  std::optional<CategoryCode> stoppedIn_;
};

}  // namespace tamrisk
