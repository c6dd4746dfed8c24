// Which installed (or once installed) program a problem row belongs to, told from the programs'
// uninstall entries, and what has become of that program. A row gets a program only when the
// evidence names exactly one: a wrong program misleads more than none.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/System.h"
#include "scan/PathTests.h"
#include "scan/ProblemRow.h"

namespace tamrisk {

// One program as its uninstall entries describe it. Entries of the same name and publisher (one in
// each view, or the machine's and a user's) are one program.
struct ProgramRecord {
  std::string displayName;
  std::string publisher;
  std::vector<std::string> folders;  // its own folders, each reading as found
  std::vector<RegLocation> uninstallKeys;
  bool anyFolderExists = false;  // a folder that cannot be looked at counts as there
};

// The folders many programs use, which are never one program's own: the Windows folder and what
// lies in it (the system folders, the Installer cache), %TEMP%, the common files folders, and the
// roots Program Files, ProgramData and each user's profile and application data folders.
class SharedPlaces {
 public:
  static SharedPlaces Of(const Platform& platform);
  // folderKey as FolderKey gives it.
  bool Contains(const std::string& folderKey) const;

 private:
  void AddProfilePlaces(const Platform& platform);
  bool InOneProfile(const std::string& folderKey) const;

  std::vector<std::string> exactly_;           // these folders themselves
  std::vector<std::string> trees_;             // these folders and all below them
  std::string profilesRoot_;                   // the folder holding the users' profiles ("C:\USERS")
  std::vector<std::string> exactlyInProfile_;  // below any user's profile: these folders themselves
  std::vector<std::string> treesInProfile_;    // below any user's profile: these and all below them
};

// A path as the index compares it: quotes and a trailing "\" dropped, "/" as "\", upper-cased;
// nullopt when it does not begin with a drive ("C:\").
std::optional<std::string> FolderKey(std::string_view path);

// The programs of the machine's uninstall entries (both views) and of every user's, with lookups
// by folder, by uninstall key and by publisher and product, each hashed. Built from the uninstall
// keys alone.
class ProgramIndex {
 public:
  static ProgramIndex Build(const Platform& platform);

  const std::vector<ProgramRecord>& Programs() const { return programs_; }

  // The programs whose own folder is the longest one holding the path (itself included); empty
  // when none does, or when that folder is named for the vendor and the path is or lies in a folder
  // below it (one of the vendor's other products, for all the index knows). More than one means
  // that folder is shared.
  std::vector<std::size_t> OwnersOfPath(const MissingPath& missing) const;
  // The program whose uninstall entry is the key, or holds it.
  std::optional<std::size_t> OwnerOfEntryKey(const RegLocation& key) const;
  // The programs whose publisher is vendor and whose name is product (or product and a version).
  std::vector<std::size_t> ByVendorAndProduct(const std::string& vendor, const std::string& product) const;
  // Whether any program is named product (or product and a version), whatever its publisher.
  bool NamesProduct(const std::string& product) const;
  bool IsSharedPlace(const std::string& path) const;

 private:
  friend class ProgramIndexBuilder;
  void Add(ProgramRecord record);

  std::vector<ProgramRecord> programs_;
  SharedPlaces shared_;
  std::string currentUserSid_;
  std::unordered_map<std::string, std::vector<std::size_t>> byFolder_;
  std::unordered_set<std::string> vendorFolders_;  // folders of byFolder_ named for a program's vendor
  std::unordered_map<std::string, std::size_t> byEntryKey_;
  std::unordered_map<std::string, std::vector<std::size_t>> byVendorProduct_;
  std::unordered_set<std::string> products_;
};

// The path the row's test found gone, as its reason names it; nullopt for a row that names no
// missing path (an empty key, a class that is not registered).
std::optional<MissingPath> FailedPathOf(const ProblemRow& row);

// The program the row belongs to, from its location and the path that failed, or nullopt when that
// cannot be told with confidence.
std::optional<ProgramRef> Attribute(const ProblemRow& row, const ProgramIndex& index,
                                    const std::optional<MissingPath>& failed);
inline std::optional<ProgramRef> Attribute(const ProblemRow& row, const ProgramIndex& index) {
  return Attribute(row, index, FailedPathOf(row));
}

}  // namespace tamrisk
