// The shared tests of whether a registry text names something that is gone, and the registry
// routines several scanners use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/RegistryBackend.h"
#include "platform/System.h"

namespace tamrisk {

// The programs that may read an entry, and so the readings its paths get. On 64-bit Windows a 32-bit
// program reads the same text as other paths: the system folder is SysWOW64 to it (Sysnative is the
// real System32), and %ProgramFiles% and %CommonProgramFiles% are the "(x86)" folders. An entry is
// missing only when what it names is missing under every reading.
enum class Readers {
  Native,         // the 64-bit programs alone: the machine's 64-bit view, the system's own hives
  NativeAndWow64  // 32-bit programs too: the 32-bit view (Wow6432Node) and the keys both kinds share
};

// Who reads the entries of the key at path below the root named rootName ("HKEY_LOCAL_MACHINE"):
// the 64-bit view of HKEY_LOCAL_MACHINE\Software and the class keys Windows keeps apart per view
// (CLSID, Interface and the like) are read by 64-bit programs alone; a Wow6432Node key, the users'
// hives and the class keys both views share, by both kinds.
Readers ReadersOf(std::string_view rootName, std::string_view path);

// The text as a 32-bit program reads it, with a leading variable expanded; nullopt when that reading
// is the native one.
std::optional<std::string> Wow64Reading(const Platform& platform, std::string_view text);

// Lower-case drive letters whose paths are tested, from the two drive options.
std::string ComputeTestedDrives(FileSystem& files, bool includeRemoveMedia, bool includeCDdrive);

// True when text names a path on one of the drives and nothing exists there. anchor, when not empty,
// cuts the path right after its first occurrence (ignoring case) and tests that file alone.
// A path the program cannot look at (access denied, a sharing violation, a device that does not
// answer) is never missing: only the system's "not found" counts.
bool ReferenceMissing(const Platform& platform, const std::string& text, const std::string& anchor,
                      const std::string& drives, bool acceptFolder, Readers readers = Readers::Native);

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
                                            const std::string& anchor, const std::string& drives, bool acceptFolder,
                                            Readers readers = Readers::Native);

// What a registry text names: a path that is there (or that cannot be looked at), a path that is
// gone, or no path this program tests (a bare name, another drive, a web address).
enum class Reference { Present, Missing, NotAPath };
Reference JudgeReference(const Platform& platform, const std::string& text, const std::string& drives,
                         bool acceptFolder, Readers readers);

// Whether text names a path on the tested drives at all, there or not.
bool NamesTestedPath(const Platform& platform, const std::string& text, const std::string& drives);

// The whole of path, a file's path as a value name or a firewall rule holds it rather than a command
// line, when it lies on one of the drives and neither a file nor a folder is there; it is never cut
// at a space or an extension. A leading %VAR% is expanded first. nullopt for a path that is present,
// on another drive, or no such path at all.
std::optional<MissingPath> MissingWholePath(const Platform& platform, const std::string& path,
                                            const std::string& drives, Readers readers = Readers::Native);

// Whether no file is at the full path under any reading, and the system says it is not found.
bool FileMissing(const Platform& platform, const std::string& path, Readers readers);

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
