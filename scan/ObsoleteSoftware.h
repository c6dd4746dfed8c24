// The rule of the Obsolete Software category, shared with the repair, which removes a program's key
// that it has emptied so that the next scan does not find it.
#pragma once

#include <string>
#include <vector>

#include "platform/RegistryBackend.h"
#include "platform/System.h"

namespace tamrisk {

// The Software keys whose subkeys the category judges: the user's, the machine's, and the machine's
// copy for 32-bit programs (the user's Software is one for both views).
struct SoftwareKey {
  RootKey root;
  const char* path;
};
const std::vector<SoftwareKey>& ObsoleteSoftwareKeys();

// Whether the subkey name of the Software key at softwarePath is an obsolete program's key: not one
// that Windows (or Wine) keeps, one this program can open, and with no value anywhere below it.
bool IsObsoleteSoftwareKey(const Platform& env, RootKey root, const std::string& softwarePath, const std::string& name);

}  // namespace tamrisk
