#include "scan/ProgramAttribution.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>

#include "platform/RegistryAccess.h"
#include "platform/Text.h"
#include "scan/ProgramEntries.h"
#include "scan/Reasons.h"
#include "scan/RegistryViews.h"

namespace tamrisk {
namespace {

constexpr std::size_t kExpandBufferUnits = 1024;

// Whether key is base or lies below it, on whole steps; both upper-cased.
bool WithinFolder(std::string_view key, std::string_view base) {
  return key.starts_with(base) && (key.size() == base.size() || key[base.size()] == '\\');
}

// The folder key one step up, or "" at the drive.
std::string ParentKey(const std::string& key) {
  const std::size_t slash = key.rfind('\\');
  return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

// A variable's value, or nullopt when it is not set.
std::optional<std::string> VariableValue(const Platform& platform, const std::string& name) {
  std::optional<std::string> value = platform.system.ExpandEnvironment("%" + name + "%", kExpandBufferUnits);
  if (!value || value->empty() || value->front() == '%') return std::nullopt;
  value->resize(std::min(value->size(), value->find('\0')));
  return value;
}

std::optional<std::string> VariableFolder(const Platform& platform, const std::string& name) {
  const std::optional<std::string> value = VariableValue(platform, name);
  return value ? FolderKey(*value) : std::nullopt;
}

// Company forms a publisher's name may end in, which a vendor's key usually leaves out.
constexpr std::array<std::string_view, 15> kCompanyForms = {"INC",         "LTD", "LLC",     "GMBH",    "CORP",
                                                            "CORPORATION", "CO",  "COMPANY", "LIMITED", "AG",
                                                            "SA",          "SRL", "BV",      "AB",      "PLC"};

// A name as vendor and product names compare: upper-cased, with points and commas as spaces, and one
// space between words.
std::string NameKey(std::string_view name) {
  std::string key;
  for (const char c : name) {
    const bool blank = c == ' ' || c == '.' || c == ',' || c == '\t';
    if (blank) {
      if (!key.empty() && key.back() != ' ') key += ' ';
    } else {
      key += AsciiUpperChar(c);
    }
  }
  if (!key.empty() && key.back() == ' ') key.pop_back();
  return key;
}

std::string_view LastWord(std::string_view key) {
  const std::size_t space = key.rfind(' ');
  return space == std::string_view::npos ? std::string_view() : key.substr(space + 1);
}

// The key without its last words while drop says so; never down to nothing.
std::string WithoutTrailing(std::string key, bool (*drop)(std::string_view)) {
  for (std::string_view last = LastWord(key); !last.empty() && drop(last); last = LastWord(key)) {
    key.resize(key.size() - last.size() - 1);
  }
  return key;
}

bool IsCompanyForm(std::string_view word) {
  return std::find(kCompanyForms.begin(), kCompanyForms.end(), word) != kCompanyForms.end();
}

// "2.1", "v3", "(x64)", "(64-bit": the words a display name adds to its product's name.
bool IsVersionWord(std::string_view word) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (digit(word.front()) || word.front() == '(' || word.back() == ')') return true;
  return word.size() > 1 && word.front() == 'V' && digit(word[1]);
}

// The name as it compares, and without the words drop says it may end in, when there are any.
std::vector<std::string> NameForms(std::string_view name, bool (*drop)(std::string_view)) {
  std::string key = NameKey(name);
  if (key.empty()) return {};
  std::string bare = WithoutTrailing(key, drop);
  if (bare == key) return {std::move(key)};
  return {std::move(key), std::move(bare)};
}

std::vector<std::string> VendorForms(std::string_view publisher) { return NameForms(publisher, IsCompanyForm); }
std::vector<std::string> ProductForms(std::string_view displayName) { return NameForms(displayName, IsVersionWord); }

std::string VendorProductKey(const std::string& vendor, const std::string& product) { return vendor + '\n' + product; }

// The program a command line or an icon names: the quoted part, else up to ".exe", else up to a
// ",index".
std::string ProgramOfCommand(std::string_view text) {
  if (!text.empty() && text.front() == '"') {
    text.remove_prefix(1);
    return std::string(text.substr(0, text.find('"')));
  }
  const std::size_t exe = FindNoCase(text, ".exe");
  if (exe != std::string_view::npos) return std::string(text.substr(0, exe + 4));
  return std::string(text.substr(0, text.find(',')));
}

}  // namespace

std::optional<std::string> FolderKey(std::string_view path) {
  while (!path.empty() && (path.front() == ' ' || path.front() == '"')) path.remove_prefix(1);
  while (!path.empty() && (path.back() == ' ' || path.back() == '"')) path.remove_suffix(1);
  std::string key = AsciiUpper(path);
  std::replace(key.begin(), key.end(), '/', '\\');
  while (key.size() > 2 && key.back() == '\\') key.pop_back();
  const bool driveRooted =
      key.size() >= 2 && key[0] >= 'A' && key[0] <= 'Z' && key[1] == ':' && (key.size() == 2 || key[2] == '\\');
  if (!driveRooted) return std::nullopt;
  return key;
}

SharedPlaces SharedPlaces::Of(const Platform& platform) {
  SharedPlaces places;
  const auto add = [&](std::vector<std::string>& to, const std::optional<std::string>& folder) {
    if (folder) to.push_back(*folder);
  };
  add(places.trees_, FolderKey(platform.system.WindowsFolder()));
  for (const char* name :
       {"SystemRoot", "windir", "TEMP", "TMP", "CommonProgramFiles", "CommonProgramFiles(x86)", "CommonProgramW6432"}) {
    add(places.trees_, VariableFolder(platform, name));
  }
  for (const char* name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "ProgramData", "ALLUSERSPROFILE",
                           "PUBLIC", "USERPROFILE", "APPDATA", "LOCALAPPDATA"}) {
    add(places.exactly_, VariableFolder(platform, name));
  }
  places.AddProfilePlaces(platform);
  return places;
}

void SharedPlaces::AddProfilePlaces(const Platform& platform) {
  const std::optional<std::string> profile = VariableFolder(platform, "USERPROFILE");
  // The public profile lies beside the users' even when this runs as the system, whose profile does not.
  const std::optional<std::string> publicProfile = VariableFolder(platform, "PUBLIC");
  profilesRoot_ = publicProfile ? ParentKey(*publicProfile) : profile ? ParentKey(*profile) : std::string();
  if (profilesRoot_.size() <= 2) profilesRoot_.clear();
  if (!profilesRoot_.empty()) exactly_.push_back(profilesRoot_);
  // The same folders in every user's profile: where this user's lie, and where Windows puts them.
  exactlyInProfile_ = {"APPDATA", "APPDATA\\LOCAL", "APPDATA\\LOCAL\\PROGRAMS", "APPDATA\\LOCALLOW", "APPDATA\\ROAMING",
                       "DESKTOP", "DOCUMENTS"};
  treesInProfile_ = {"APPDATA\\LOCAL\\TEMP"};
  if (!profile) return;
  const auto belowProfile = [&](const char* name) -> std::optional<std::string> {
    const std::optional<std::string> folder = VariableFolder(platform, name);
    if (!folder || folder->size() <= profile->size() || !WithinFolder(*folder, *profile)) return std::nullopt;
    return folder->substr(profile->size() + 1);
  };
  for (const char* name : {"APPDATA", "LOCALAPPDATA"}) {
    for (std::string below = belowProfile(name).value_or(""); !below.empty(); below = ParentKey(below)) {
      exactlyInProfile_.push_back(below);
    }
  }
  for (const char* name : {"TEMP", "TMP"}) {
    if (std::optional<std::string> below = belowProfile(name)) treesInProfile_.push_back(std::move(*below));
  }
}

bool SharedPlaces::Contains(const std::string& folderKey) const {
  if (folderKey.size() <= 2) return true;  // a drive's root
  if (std::find(exactly_.begin(), exactly_.end(), folderKey) != exactly_.end()) return true;
  if (std::any_of(trees_.begin(), trees_.end(), [&](const std::string& t) { return WithinFolder(folderKey, t); })) {
    return true;
  }
  return InOneProfile(folderKey);
}

bool SharedPlaces::InOneProfile(const std::string& folderKey) const {
  if (profilesRoot_.empty() || folderKey.size() <= profilesRoot_.size() || !WithinFolder(folderKey, profilesRoot_)) {
    return false;
  }
  const std::string_view inRoot = std::string_view(folderKey).substr(profilesRoot_.size() + 1);
  const std::size_t slash = inRoot.find('\\');
  if (slash == std::string_view::npos) return true;  // a profile itself
  const std::string_view below = inRoot.substr(slash + 1);
  if (std::find(exactlyInProfile_.begin(), exactlyInProfile_.end(), below) != exactlyInProfile_.end()) return true;
  return std::any_of(treesInProfile_.begin(), treesInProfile_.end(),
                     [&](const std::string& t) { return WithinFolder(below, t); });
}

// Reads the uninstall entries into programs, one per name and publisher.
class ProgramIndexBuilder {
 public:
  explicit ProgramIndexBuilder(const Platform& platform) : platform_(platform) {
    index_.shared_ = SharedPlaces::Of(platform);
    index_.currentUserSid_ = platform.system.CurrentUserSid();
  }

  void ReadUninstallList(RootKey root, const std::string& path) {
    RegistryAccess list(platform_.registry, root);
    list.SetAccess(rights::Read);
    if (!list.OpenPath(path, false)) return;
    for (const std::string& name : list.ListSubkeys()) ReadEntry(root, path + "\\" + name, name);
  }

  ProgramIndex Finish() {
    // Only the fixed drives are looked at, as the scan does by default: a folder on a network or
    // removable drive counts as there, so a drive that does not answer cannot hold the window up.
    const std::string fixed = AsciiUpper(ComputeTestedDrives(platform_.files, false, false));
    const auto isThere = [&](const std::string& folder) {
      if (fixed.find(AsciiUpperChar(folder.front())) == std::string::npos) return true;
      return platform_.files.KindOf(folder) != PathKind::Nothing;
    };
    for (auto& [key, record] : merged_) {
      record.anyFolderExists = std::any_of(record.folders.begin(), record.folders.end(), isThere);
      index_.Add(std::move(record));
    }
    return std::move(index_);
  }

 private:
  // A value that cannot be read tells nothing, like one that is not there.
  static std::string Text(RegistryAccess& entry, const char* name) {
    try {
      return entry.ReadTextValue(name).value_or("");
    } catch (const RegistryError&) {
      return {};
    }
  }

  void ReadEntry(RootKey root, const std::string& path, const std::string& name) {
    RegistryAccess entry(platform_.registry, root);
    entry.SetAccess(rights::Read);
    if (!entry.OpenPath(path, false)) return;
    const std::string displayName = Text(entry, "DisplayName");
    const std::string publisher = Text(entry, "Publisher");
    // Unnamed entries (updates, system parts) are kept apart by their key.
    const std::string mergeKey = displayName.empty() ? "\n" + RootName(root) + "\\" + AsciiUpper(path)
                                                     : NameKey(displayName) + '\n' + NameKey(publisher);
    ProgramRecord& record = merged_[mergeKey];
    record.displayName = displayName.empty() ? name : displayName;
    record.publisher = publisher;
    record.uninstallKeys.push_back({RootName(root), path, "", false});
    const Readers readers = ReadersOf(RootName(root), path);
    AddFolders(record, Text(entry, "InstallLocation"), readers, false);
    AddFolders(record, ProgramOfCommand(Text(entry, "UninstallString")), readers, true);
    AddFolders(record, ProgramOfCommand(Text(entry, "DisplayIcon")), readers, true);
  }

  // The folder text names (the folder holding it, for a file), in each reading the program's own.
  void AddFolders(ProgramRecord& record, const std::string& text, Readers readers, bool fileInFolder) {
    if (text.empty()) return;
    std::vector<std::string> readings{Expanded(text)};
    if (readers == Readers::NativeAndWow64) {
      if (std::optional<std::string> wow64 = Wow64Reading(platform_, text)) readings.push_back(std::move(*wow64));
    }
    for (const std::string& reading : readings) {
      std::optional<std::string> key = FolderKey(reading);
      if (!key) continue;
      std::string folder = fileInFolder ? ParentKey(*key) : std::move(*key);
      if (folder.empty() || index_.shared_.Contains(folder)) continue;
      if (std::find(record.folders.begin(), record.folders.end(), folder) == record.folders.end()) {
        record.folders.push_back(std::move(folder));
      }
    }
  }

  std::string Expanded(const std::string& text) const {
    const std::size_t start = text.find_first_not_of(" \"");
    if (start == std::string::npos || text[start] != '%') return text;
    std::optional<std::string> expanded = platform_.system.ExpandEnvironment(text.substr(start), kExpandBufferUnits);
    if (!expanded) return {};
    return expanded->substr(0, expanded->find('\0'));
  }

  const Platform& platform_;
  ProgramIndex index_;
  std::map<std::string, ProgramRecord> merged_;
};

namespace {

// The users' hives other than the current user's, which HKEY_CURRENT_USER reaches: each once, by the
// name the registry lists it under.
std::vector<std::string> OtherUserHives(const Platform& platform) {
  std::vector<std::string> hives = RegistryAccess(platform.registry, RootKey::Users).ListSubkeys();
  const std::string sid = platform.system.CurrentUserSid();
  const bool hasDefault = ContainsNoCase(hives, ".DEFAULT");
  std::erase_if(hives, [&](const std::string& hive) {
    return (!sid.empty() && EqualsNoCase(hive, sid)) || EndsWithNoCase(hive, "_Classes") ||
           (hasDefault && EqualsNoCase(hive, "S-1-5-18"));
  });
  return hives;
}

}  // namespace

ProgramIndex ProgramIndex::Build(const Platform& platform) {
  ProgramIndexBuilder builder(platform);
  for (const std::string& path : SoftwareKeyInBothViews(platform.registry, kUninstallKey)) {
    builder.ReadUninstallList(RootKey::LocalMachine, path);
  }
  builder.ReadUninstallList(RootKey::CurrentUser, kUninstallKey);
  for (const std::string& hive : OtherUserHives(platform)) {
    builder.ReadUninstallList(RootKey::Users, hive + "\\" + kUninstallKey);
  }
  return builder.Finish();
}

namespace {

// Whether folder (a FolderKey) is named for the program's publisher rather than for the program:
// "C:\PROGRAM FILES\WREN" of Wren Studio by Wren Software Ltd. A vendor's folder also holds the
// vendor's other products, which may be long uninstalled.
bool IsVendorFolder(const std::string& folder, const ProgramRecord& program) {
  const std::string name = NameKey(std::string_view(folder).substr(folder.rfind('\\') + 1));
  const std::vector<std::string> products = ProductForms(program.displayName);
  if (name.empty() || std::find(products.begin(), products.end(), name) != products.end()) return false;
  for (const std::string& vendor : VendorForms(program.publisher)) {
    if (vendor == name || vendor.substr(0, vendor.find(' ')) == name) return true;
  }
  return false;
}

}  // namespace

void ProgramIndex::Add(ProgramRecord record) {
  const std::size_t id = programs_.size();
  for (const std::string& folder : record.folders) {
    byFolder_[folder].push_back(id);
    if (IsVendorFolder(folder, record)) vendorFolders_.insert(folder);
  }
  for (const RegLocation& key : record.uninstallKeys) byEntryKey_.emplace(CanonicalLocation(key, currentUserSid_), id);
  for (const std::string& product : ProductForms(record.displayName)) {
    products_.insert(product);
    for (const std::string& vendor : VendorForms(record.publisher)) {
      std::vector<std::size_t>& named = byVendorProduct_[VendorProductKey(vendor, product)];
      if (named.empty() || named.back() != id) named.push_back(id);
    }
  }
  programs_.push_back(std::move(record));
}

std::vector<std::size_t> ProgramIndex::OwnersOfPath(const MissingPath& missing) const {
  const std::optional<std::string> start = FolderKey(missing.path);
  // Above 1 when the path is, or lies in, a folder below the folder found: a missing folder counts one
  // step more than a file, whose own name is no folder.
  std::size_t depth = missing.what == MissingPath::File ? 0 : 1;
  for (std::string key = start.value_or(""); !key.empty(); key = ParentKey(key), ++depth) {
    const auto found = byFolder_.find(key);
    if (found == byFolder_.end()) continue;
    if (depth > 1 && vendorFolders_.contains(key)) return {};
    return found->second;
  }
  return {};
}

std::optional<std::size_t> ProgramIndex::OwnerOfEntryKey(const RegLocation& key) const {
  if (key.rootName.empty()) return std::nullopt;
  std::string canonical = CanonicalLocation({key.rootName, key.key, "", false}, currentUserSid_);
  for (; !canonical.empty(); canonical = ParentKey(canonical)) {
    if (const auto found = byEntryKey_.find(canonical); found != byEntryKey_.end()) return found->second;
  }
  return std::nullopt;
}

std::vector<std::size_t> ProgramIndex::ByVendorAndProduct(const std::string& vendor, const std::string& product) const {
  std::vector<std::size_t> named;
  const std::string productKey = NameKey(product);
  for (const std::string& form : VendorForms(vendor)) {
    const auto found = byVendorProduct_.find(VendorProductKey(form, productKey));
    if (found == byVendorProduct_.end()) continue;
    for (const std::size_t id : found->second) {
      if (std::find(named.begin(), named.end(), id) == named.end()) named.push_back(id);
    }
  }
  return named;
}

bool ProgramIndex::NamesProduct(const std::string& product) const { return products_.contains(NameKey(product)); }

bool ProgramIndex::IsSharedPlace(const std::string& path) const {
  const std::optional<std::string> key = FolderKey(path);
  return !key || shared_.Contains(*key);
}

namespace {

// The vendor and product steps of a key under Software\<Vendor>\<Product> of the machine (either
// view) or a user; nullopt for any other key, and for the keys Windows keeps there itself.
std::optional<std::pair<std::string, std::string>> VendorAndProductOf(const RegLocation& where) {
  const std::vector<std::string_view> steps = PathSteps(where.key);
  std::size_t at = 0;
  if (EqualsNoCase(where.rootName, "HKEY_USERS")) {
    if (steps.empty() || EndsWithNoCase(steps.front(), "_Classes")) return std::nullopt;
    at = 1;
  } else if (!EqualsNoCase(where.rootName, "HKEY_LOCAL_MACHINE") &&
             !EqualsNoCase(where.rootName, "HKEY_CURRENT_USER")) {
    return std::nullopt;
  }
  if (at >= steps.size() || !EqualsNoCase(steps[at++], "Software")) return std::nullopt;
  if (at < steps.size() && EqualsNoCase(steps[at], "Wow6432Node")) ++at;
  if (at + 1 >= steps.size()) return std::nullopt;
  for (const char* windows : {"Classes", "Clients", "Microsoft", "Policies", "RegisteredApplications", "Wow6432Node"}) {
    if (EqualsNoCase(steps[at], windows)) return std::nullopt;
  }
  if (steps[at].empty() || steps[at + 1].empty()) return std::nullopt;
  return std::pair{std::string(steps[at]), std::string(steps[at + 1])};
}

// The program's name and state; nullopt when it has no folder of its own to tell its state by.
std::optional<ProgramRef> RefOf(const ProgramIndex& index, std::size_t id) {
  const ProgramRecord& program = index.Programs()[id];
  if (program.folders.empty()) return std::nullopt;
  return ProgramRef{program.displayName,
                    program.anyFolderExists ? ProgramState::Installed : ProgramState::FolderDeleted};
}

// A product with no uninstall entry left is told only by a folder of its name that its key names
// and that is gone.
bool NamesGoneProductFolder(const ProgramIndex& index, const std::optional<MissingPath>& failed,
                            const std::string& product) {
  if (!failed || failed->what == MissingPath::File || index.IsSharedPlace(failed->path)) return false;
  const std::vector<std::string_view> steps = PathSteps(failed->path);
  return std::any_of(steps.begin(), steps.end(), [&](std::string_view step) { return EqualsNoCase(step, product); });
}

}  // namespace

std::optional<MissingPath> FailedPathOf(const ProblemRow& row) {
  const Phrase& reason = row.reason;
  MissingPath::What what = MissingPath::File;
  switch (reason.id) {
    case TextId::FolderNotFound: what = MissingPath::Folder; break;
    case TextId::FileOrFolderNotFound: what = MissingPath::FileOrFolder; break;
    case TextId::FileNotFound:
    case TextId::FileNotFoundWithAnyExtension:
    case TextId::ShortcutTargetNotFound: break;
    default: return std::nullopt;
  }
  if (reason.arguments.empty() || !FolderKey(reason.arguments.front().text)) return std::nullopt;
  return MissingPath{reason.arguments.front().text, what};
}

std::optional<ProgramRef> Attribute(const ProblemRow& row, const ProgramIndex& index,
                                    const std::optional<MissingPath>& failed) {
  if (const std::optional<std::size_t> entry = index.OwnerOfEntryKey(row.location)) return RefOf(index, *entry);
  const std::vector<std::size_t> byPath = failed ? index.OwnersOfPath(*failed) : std::vector<std::size_t>{};
  if (byPath.size() == 1) return RefOf(index, byPath.front());
  const auto vendorAndProduct = VendorAndProductOf(row.location);
  if (!vendorAndProduct) return std::nullopt;
  const auto& [vendor, product] = *vendorAndProduct;
  const std::vector<std::size_t> named = index.ByVendorAndProduct(vendor, product);
  // A shared folder narrows the choice; the key must pick one of its programs.
  if (named.size() == 1 && (byPath.empty() || std::find(byPath.begin(), byPath.end(), named.front()) != byPath.end())) {
    return RefOf(index, named.front());
  }
  if (named.empty() && byPath.empty() && !index.NamesProduct(product) &&
      NamesGoneProductFolder(index, failed, product)) {
    return ProgramRef{product, ProgramState::Uninstalled};
  }
  return std::nullopt;
}

}  // namespace tamrisk
