// The shared tests of whether a registry text names something that is gone, and the registry
// routines several scanners use.
#pragma once

#include <optional>
#include <string>

#include "platform/RegistryBackend.h"
#include "platform/System.h"

namespace tamrisk {

// Lower-case drive letters whose paths are tested, from the two drive options.
std::string ComputeTestedDrives(FileSystem& files, bool includeRemoveMedia, bool includeCDdrive);

// True when text names a path on one of the drives and nothing exists there. anchor, when not empty,
// cuts the path right after its first occurrence (ignoring case) and tests that file alone.
bool ReferenceMissing(const Platform& platform, const std::string& text, const std::string& anchor,
                      const std::string& drives, bool acceptFolder);

// What ReferenceMissing found gone, for the row's reason: the path it looked for, without quotes and
// arguments and with a leading variable expanded, and what the text named there.
struct MissingPath {
  enum What { File, Folder, FileOrFolder };
  std::string path;
  What what = File;

  friend bool operator==(const MissingPath&, const MissingPath&) = default;
};

// ReferenceMissing telling what is gone; nullopt where ReferenceMissing gives false.
std::optional<MissingPath> MissingReference(const Platform& platform, const std::string& text,
                                            const std::string& anchor, const std::string& drives, bool acceptFolder);

// The whole of path, a file's path as a value name or a firewall rule holds it rather than a command
// line, when it lies on one of the drives and neither a file nor a folder is there; it is never cut
// at a space or an extension. A leading %VAR% is expanded first. nullopt for a path that is present,
// on another drive, or no such path at all.
std::optional<MissingPath> MissingWholePath(const Platform& platform, const std::string& path,
                                            const std::string& drives);

// Whether path lies in the Windows folder: entries for Windows' own programs are Windows' to keep.
bool InWindowsFolder(const Platform& platform, const std::string& path);

// Expands %VAR% references when the result is an existing folder; otherwise gives text back.
std::string ExpandFolderVariable(const Platform& platform, const std::string& text);

// Number of values in the subtree at path (0 when it cannot be opened), stopping at limit (0: none).
long CountKeyValues(const Platform& platform, RootKey root, const std::string& path, long limit, bool stopOnSubkeys,
                    bool countEmptyDefault);

// Pre-order search below path for keys with a subkey subkeyName holding a non-empty string value
// valueName. Used as an iterator: lastFound carries the key of the previous match.
std::string FindNextValueInTree(const Platform& platform, RootKey root, const std::string& path,
                                const std::string& subkeyName, const std::string& valueName, std::string& lastFound);

}  // namespace tamrisk
