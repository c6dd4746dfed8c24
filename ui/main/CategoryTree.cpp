#include "ui/main/CategoryTree.h"

#include <array>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/win32/Wide.h"
#include "ui/common/ChildWindow.h"
#include "ui/common/WindowText.h"

#include "ui/common/Language.h"
#include "ui/res/resource.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {
namespace {

constexpr std::size_t kCodeSlots = kHighestCategoryCode + 1;

// A node's caption without a count, in the window's language.
std::string BareCaption(CategoryCode code) { return UiText(IDS_NODE_FIRST + static_cast<UINT>(NumberOf(code))); }

bool IsCode(CategoryCode code) { return NumberOf(code) >= 1 && NumberOf(code) <= kHighestCategoryCode; }
std::size_t SlotOf(CategoryCode code) { return static_cast<std::size_t>(NumberOf(code)); }

// A node's place in the table, which is its place in nodes_ and captions_.
std::optional<std::size_t> PlaceOf(CategoryCode code) {
  const std::span<const CategoryRow> table = CategoryTable();
  for (std::size_t place = 0; place < table.size(); ++place) {
    if (table[place].code == code) return place;
  }
  return std::nullopt;
}

// The caption is asked for (TVN_GETDISPINFOW) by the node's place in the table, held in its lParam:
// a count shown is then one text width measured, without the layout a new text costs each time.
HTREEITEM InsertNode(HWND tree, HTREEITEM parent, CategoryCode code, std::size_t place) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE | TVIF_PARAM;
  insert.item.pszText = LPSTR_TEXTCALLBACKW;
  insert.item.lParam = static_cast<LPARAM>(place);
  insert.item.iImage = NumberOf(code);
  insert.item.iSelectedImage = NumberOf(code);
  insert.item.state = INDEXTOSTATEIMAGEMASK(CategoryTree::kUnchecked);
  insert.item.stateMask = TVIS_STATEIMAGEMASK;
  return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

}  // namespace

void CategoryTree::Attach(HWND tree, HINSTANCE resources) {
  tree_ = tree;
  stateImages_ = LoadCheckBoxImages(resources, CheckImagesFor::tree);
  ::SendMessageW(tree_, TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(stateImages_.get()));

  for (const CategoryRow& row : CategoryTable()) {
    captions_.push_back(BareCaption(row.code));
    HTREEITEM node = InsertNode(tree_, row.parent ? NodeOf(*row.parent) : nullptr, row.code, nodes_.size());
    if (!node) throw std::runtime_error("Cannot fill the category tree");
    nodes_.push_back(node);
  }
  ForEachFrom(Root(), [this](HTREEITEM node) {
    ::SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node));
  });
}

HTREEITEM CategoryTree::Next(HTREEITEM node, UINT relation) const {
  return reinterpret_cast<HTREEITEM>(::SendMessageW(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(node)));
}

HTREEITEM CategoryTree::Root() const { return Next(nullptr, TVGN_ROOT); }

HTREEITEM CategoryTree::NodeOf(CategoryCode code) const {
  const std::optional<std::size_t> place = PlaceOf(code);
  return place && *place < nodes_.size() ? nodes_[*place] : nullptr;
}

CategoryCode CategoryTree::CodeOf(HTREEITEM node) const {
  TVITEMW item{};
  item.mask = TVIF_HANDLE | TVIF_IMAGE;
  item.hItem = node;
  ::SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return static_cast<CategoryCode>(item.iImage);
}

int CategoryTree::StateOf(HTREEITEM node) const {
  const auto state =
      static_cast<UINT>(::SendMessageW(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(node), TVIS_STATEIMAGEMASK));
  return static_cast<int>((state & TVIS_STATEIMAGEMASK) >> 12);
}

void CategoryTree::SetState(HTREEITEM node, int state) {
  TVITEMW item{};
  item.mask = TVIF_HANDLE | TVIF_STATE;
  item.hItem = node;
  item.state = INDEXTOSTATEIMAGEMASK(static_cast<UINT>(state));
  item.stateMask = TVIS_STATEIMAGEMASK;
  ::SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

int CategoryTree::LevelOf(HTREEITEM node) const {
  int level = 0;
  for (HTREEITEM parent = Next(node, TVGN_PARENT); parent; parent = Next(parent, TVGN_PARENT)) ++level;
  return level;
}

void CategoryTree::ForEachFrom(HTREEITEM node, const std::function<void(HTREEITEM)>& visit) const {
  for (; node; node = Next(node, TVGN_NEXT)) {
    visit(node);
    ForEachFrom(Next(node, TVGN_CHILD), visit);
  }
}

bool CategoryTree::PressAt(POINT point) {
  TVHITTESTINFO hit{};
  hit.pt = point;
  ::SendMessageW(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  if (!hit.hItem || (hit.flags & TVHT_ONITEMSTATEICON) == 0) return false;
  Toggle(hit.hItem);
  return true;
}

void CategoryTree::UpdateGroup(HTREEITEM parent) {
  bool anySelected = false;
  for (HTREEITEM child = Next(parent, TVGN_CHILD); child; child = Next(child, TVGN_NEXT)) {
    if (StateOf(child) == kChecked) anySelected = true;
  }
  SetState(parent, anySelected ? kChecked : kUnchecked);
}

void CategoryTree::Toggle(HTREEITEM node) {
  const int state = StateOf(node);
  if (state != kUnchecked && state != kChecked) return;
  const int toggled = state == kUnchecked ? kChecked : kUnchecked;
  SetState(node, toggled);
  switch (LevelOf(node)) {
    case 0: ForEachFrom(Root(), [&](HTREEITEM each) { SetState(each, toggled); }); break;
    case 1:
      for (HTREEITEM child = Next(node, TVGN_CHILD); child; child = Next(child, TVGN_NEXT)) SetState(child, toggled);
      UpdateGroup(Root());
      break;
    case 2:
      UpdateGroup(Next(node, TVGN_PARENT));
      UpdateGroup(Root());
      break;
    default: break;
  }
}

void CategoryTree::Walk(HTREEITEM node, int mode, std::vector<CategoryCode>* collected) {
  ForEachFrom(node, [&](HTREEITEM each) {
    const CategoryCode code = CodeOf(each);
    const bool stored = IsCode(code);
    switch (mode) {
      case kWalkCollect:
        if (StateOf(each) == kChecked && collected) collected->push_back(code);
        break;
      case kUnchecked:
      case kChecked: SetState(each, mode); break;
      case kWalkStore:
        if (stored) OptionsSetting.TreeViewNodeCheck[code] = StateOf(each) == kChecked;
        break;
      case kWalkRestore:
        if (stored) SetState(each, OptionsSetting.TreeViewNodeCheck[code] ? kChecked : kUnchecked);
        break;
      default: break;
    }
  });
}

TNodeChecks CategoryTree::Checks() const {
  TNodeChecks checks;
  ForEachFrom(Root(), [&](HTREEITEM node) {
    const CategoryCode code = CodeOf(node);
    if (IsCode(code)) checks[code] = StateOf(node) == kChecked;
  });
  return checks;
}

void CategoryTree::StartCounts(const std::vector<CategoryCode>& codes) {
  scanned_.fill(false);
  stoppedIn_.reset();
  for (const CategoryCode code : codes) {
    if (IsCode(code)) scanned_[SlotOf(code)] = true;
  }
  std::vector<std::string> bare;
  for (const CategoryRow& row : CategoryTable()) bare.push_back(BareCaption(row.code));
  ShowCaptions(bare);
}

void CategoryTree::StopCounts(std::optional<CategoryCode> stoppedIn, const std::vector<CategoryCode>& notReached) {
  for (const CategoryCode code : notReached) {
    if (IsCode(code)) scanned_[SlotOf(code)] = false;
  }
  stoppedIn_ = stoppedIn;
}

void CategoryTree::ShowCounts(const std::vector<ProblemRow>& rows) {
  std::array<std::size_t, kCodeSlots> found{};
  for (const ProblemRow& row : rows) {
    if (IsCode(row.category)) ++found[SlotOf(row.category)];
  }
  // From the last node up, so each group has its members' sums before its own parent takes them.
  const std::span<const CategoryRow> table = CategoryTable();
  std::vector<std::size_t> sums(table.size());
  std::vector<bool> counted(table.size());
  std::vector<std::string> captions(table.size());
  for (std::size_t i = table.size(); i-- > 0;) {
    const CategoryCode code = table[i].code;
    if (scanned_[SlotOf(code)]) {
      sums[i] += found[SlotOf(code)];
      counted[i] = true;
    }
    if (const std::optional<std::size_t> parent = table[i].parent ? PlaceOf(*table[i].parent) : std::nullopt) {
      sums[*parent] += sums[i];
      counted[*parent] = counted[*parent] || counted[i];
    }
    captions[i] = BareCaption(code);
    if (counted[i]) {
      captions[i] = UiFormat(code == stoppedIn_ ? IDS_NODE_COUNT_STOPPED : IDS_NODE_COUNT,
                             {captions[i], std::to_string(sums[i])});
    }
  }
  ShowCaptions(captions);
}

// Setting the callback again has the control measure the new caption; it draws it when asked.
void CategoryTree::ShowCaptions(const std::vector<std::string>& captions) {
  if (captions.size() != nodes_.size() || captions == captions_) return;
  for (std::size_t node = 0; node < nodes_.size(); ++node) {
    if (captions_[node] == captions[node]) continue;
    captions_[node] = captions[node];
    TVITEMW item{};
    item.mask = TVIF_HANDLE | TVIF_TEXT;
    item.hItem = nodes_[node];
    item.pszText = LPSTR_TEXTCALLBACKW;
    ::SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  ::InvalidateRect(tree_, nullptr, TRUE);
}

void CategoryTree::FillDisplayInfo(NMTVDISPINFOW& info) const {
  const auto place = static_cast<std::size_t>(info.item.lParam);
  if ((info.item.mask & TVIF_TEXT) == 0 || place >= captions_.size()) return;
  CopyToBuffer(captions_[place], info.item.pszText, info.item.cchTextMax);
}

std::string CategoryTree::CaptionOf(HTREEITEM node) const {
  wchar_t text[128] = {};
  TVITEMW item{};
  item.mask = TVIF_HANDLE | TVIF_TEXT;
  item.hItem = node;
  item.pszText = text;
  item.cchTextMax = static_cast<int>(std::size(text));
  ::SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return win32::Utf8(text);
}

}  // namespace tamrisk
