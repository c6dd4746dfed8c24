// The registry's several names for one key: the copies 64-bit Windows keeps for 32-bit programs, and
// the hives and class keys reached through more than one root.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryBackend.h"
#include "scan/ProblemRow.h"

namespace tamrisk {

// A key under HKEY_LOCAL_MACHINE\Software and the copy 64-bit Windows keeps of it for 32-bit programs
// under Software\Wow6432Node (a class key's under Software\Classes\Wow6432Node). The copy is left
// out where a step of it is a link: the keys both views share are one key with two names. A copy
// that does not exist (a 32-bit system) stays in, and opening it fails like any missing key.
std::vector<std::string> SoftwareKeyInBothViews(RegistryBackend& registry, std::string_view softwarePath);

// A key of HKEY_CLASSES_ROOT and its 32-bit programs' copy, Wow6432Node\path, by the same rule.
std::vector<std::string> ClassKeyInBothViews(RegistryBackend& registry, std::string_view classPath);

// One spelling, upper-cased, for every name of the entry where names, so that two locations compare
// equal exactly when they name the same entry: HKEY_USERS\<current user's SID> as HKEY_CURRENT_USER,
// its <SID>_Classes hive as HKEY_CURRENT_USER\Software\Classes, HKEY_USERS\S-1-5-18 as its other name
// HKEY_USERS\.DEFAULT, HKEY_CLASSES_ROOT as HKEY_LOCAL_MACHINE\Software\Classes (Wine's, and the
// machine's part of Windows'), and Software\Wow6432Node\Classes as the key it leads to,
// Software\Classes\Wow6432Node. A shortcut row's file compares by its path.
std::string CanonicalLocation(const RegLocation& where, const std::string& currentUserSid);

// Keeps one row for each entry, whatever the categories that found it: of the rows naming one
// location, the first that a category of its own found (the sound scan's, say) rather than a hive
// walk (codes 3 to 5), else the first. A hive walk's row inside a key that another category's row
// deletes whole goes as well. The others leave the list, from the last to the first.
void DropDuplicateRows(ResultsModel& results, const std::string& currentUserSid);

}  // namespace tamrisk
