#include "ui/main/CategoryTree.h"

#include <array>
#include <charconv>
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

struct NodeSpec {
  int code;
  int level;
};

// In tree order; each node's parent is the nearest node above it one level up.
constexpr NodeSpec kNodes[] = {
    {1, 0},   // My Computers
    {2, 1},   // Files and Folders
    {3, 2},   // HKEY_LOCAL_MACHINE
    {4, 2},   // HKEY_CURRENT_USER
    {5, 2},   // HKEY_USERS
    {6, 1},   // Software Locations
    {7, 1},   // Windows Fonts
    {8, 1},   // Invalid Help Files
    {9, 1},   // Shared DLLs
    {10, 1},  // Startup Programs
    {11, 1},  // Add/Remove Programs
    {27, 1},  // Per-User Programs
    {12, 1},  // File Extensions
    {13, 1},  // Custom Controls
    {26, 1},  // Shell Extensions
    {14, 1},  // Obsolete Software
    {15, 1},  // Windows Services
    {23, 1},  // Firewall Rules
    {16, 1},  // Start Menu
    {17, 1},  // Shortcuts
    {18, 1},  // Sound and Appevents
    {19, 1},  // Invalid ActiveX
    {20, 1},  // MRU and History Lists
    {24, 1},  // MUI Cache
    {25, 1},  // Compatibility Settings
    {21, 1},  // Installer
    {22, 1},  // Applications
};

constexpr std::size_t kCodeSlots = TNodeChecks::Last + 1;

// A node's caption without a count, in the window's language.
std::string BareCaption(const NodeSpec& node) { return UiText(IDS_NODE_FIRST + static_cast<UINT>(node.code)); }

bool IsCode(int code) { return code >= TNodeChecks::First && code <= TNodeChecks::Last; }

// The caption is asked for (TVN_GETDISPINFOW) by the node's place in kNodes, held in its lParam:
// a count shown is then one text width measured, without the layout a new text costs each time.
HTREEITEM InsertNode(HWND tree, HTREEITEM parent, const NodeSpec& layout, std::size_t place) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE | TVIF_PARAM;
  insert.item.pszText = LPSTR_TEXTCALLBACKW;
  insert.item.lParam = static_cast<LPARAM>(place);
  insert.item.iImage = layout.code;
  insert.item.iSelectedImage = layout.code;
  insert.item.state = INDEXTOSTATEIMAGEMASK(CategoryTree::kUnchecked);
  insert.item.stateMask = TVIS_STATEIMAGEMASK;
  return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

}  // namespace

void CategoryTree::Attach(HWND tree, HINSTANCE resources) {
  tree_ = tree;
  stateImages_ = LoadCheckBoxImages(resources, CheckImagesFor::tree);
  ::SendMessageW(tree_, TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(stateImages_.get()));

  for (const NodeSpec& layout : kNodes) captions_.push_back(BareCaption(layout));
  HTREEITEM parents[3] = {};
  for (const NodeSpec& layout : kNodes) {
    HTREEITEM node = InsertNode(tree_, layout.level > 0 ? parents[layout.level - 1] : nullptr, layout, nodes_.size());
    if (!node) throw std::runtime_error("Cannot fill the category tree");
    parents[layout.level] = node;
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

HTREEITEM CategoryTree::NodeOf(int code) const {
  HTREEITEM found = nullptr;
  ForEachFrom(Root(), [&](HTREEITEM node) {
    if (!found && CodeOf(node) == code) found = node;
  });
  return found;
}

int CategoryTree::CodeOf(HTREEITEM node) const {
  TVITEMW item{};
  item.mask = TVIF_HANDLE | TVIF_IMAGE;
  item.hItem = node;
  ::SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return item.iImage;
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

void CategoryTree::Walk(HTREEITEM node, int mode, std::vector<std::string>* collected) {
  ForEachFrom(node, [&](HTREEITEM each) {
    const int code = CodeOf(each);
    const bool stored = code >= TNodeChecks::First && code <= TNodeChecks::Last;
    switch (mode) {
      case kWalkCollect:
        if (StateOf(each) == kChecked && collected) collected->push_back(std::to_string(code));
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
    const int code = CodeOf(node);
    if (code >= TNodeChecks::First && code <= TNodeChecks::Last) checks[code] = StateOf(node) == kChecked;
  });
  return checks;
}

void CategoryTree::StartCounts(const std::vector<std::string>& codes) {
  scanned_.fill(false);
  stoppedIn_ = 0;
  for (const std::string& text : codes) {
    int code = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (error == std::errc() && end == text.data() + text.size() && IsCode(code)) {
      scanned_[static_cast<std::size_t>(code)] = true;
    }
  }
  std::vector<std::string> bare;
  for (const NodeSpec& node : kNodes) bare.push_back(BareCaption(node));
  ShowCaptions(bare);
}

void CategoryTree::StopCounts(int stoppedIn, const std::vector<int>& notReached) {
  for (const int code : notReached) {
    if (IsCode(code)) scanned_[static_cast<std::size_t>(code)] = false;
  }
  stoppedIn_ = stoppedIn;
}

bool CategoryTree::IsGroup(int code) const {
  const HTREEITEM node = NodeOf(code);
  return node && Next(node, TVGN_CHILD);
}

void CategoryTree::ShowCounts(const std::vector<ProblemRow>& rows) {
  std::array<std::size_t, kCodeSlots> found{};
  for (const ProblemRow& row : rows) {
    if (IsCode(row.category)) ++found[static_cast<std::size_t>(row.category)];
  }
  // From the last node up, so each group has its members' sums before its own parent takes them.
  constexpr std::size_t kCount = std::size(kNodes);
  std::array<std::size_t, kCount> sums{};
  std::array<bool, kCount> counted{};
  std::vector<std::string> captions(kCount);
  for (std::size_t i = kCount; i-- > 0;) {
    const auto code = static_cast<std::size_t>(kNodes[i].code);
    if (scanned_[code]) {
      sums[i] += found[code];
      counted[i] = true;
    }
    for (std::size_t parent = i; parent-- > 0;) {
      if (kNodes[parent].level != kNodes[i].level - 1) continue;
      sums[parent] += sums[i];
      counted[parent] = counted[parent] || counted[i];
      break;
    }
    captions[i] = BareCaption(kNodes[i]);
    if (counted[i]) {
      captions[i] = UiFormat(kNodes[i].code == stoppedIn_ ? IDS_NODE_COUNT_STOPPED : IDS_NODE_COUNT,
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
