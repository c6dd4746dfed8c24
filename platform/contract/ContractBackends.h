// What each build provides to the registry and file-system contract suite: the memory backends
// natively, the Win32 backends under Wine. The same tests run on both, so the fakes stay honest.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/RegistryBackend.h"
#include "platform/System.h"

namespace tamrisk {

// One per test; the destructor removes the scratch key and folder with everything in them.
class ContractEnvironment {
 public:
  virtual ~ContractEnvironment() = default;

  virtual RegistryBackend& Registry() = 0;
  virtual FileSystem& Files() = 0;
  virtual SystemInfo& System() = 0;
  virtual IniFile& Ini() = 0;

  // Path below HKEY_CURRENT_USER of a key that exists and is empty when the environment is made,
  // e.g. "Software\\TamriskContract\\<unique>". The same path on every call.
  virtual std::string ScratchKey() = 0;
  // A folder on drive C: that exists and is empty when the environment is made, with no trailing
  // "\", e.g. "C:\\tamrisk-contract\\<unique>". The same path on every call.
  virtual std::string ScratchFolder() = 0;

  // Whether DenyRights is enforced here; the cases that need it are skipped otherwise.
  virtual bool CanDenyRights() = 0;
  // From now on, opening root\path asking any of the rights in rightsMask fails with access denied.
  virtual void DenyRights(RootKey root, const std::string& path, std::uint32_t rightsMask) = 0;

  // From now on nothing inside folder (an existing folder below the scratch folder) can be looked at by
  // this process, as a standard user meets another user's profile; false where this environment
  // cannot close a folder (Wine does not enforce file access control lists, and its tests run as root).
  virtual bool CloseFolder(const std::string& folder) = 0;

  // Writes a shell link at shortcutPath whose target is target (IShellLinkW + IPersistFile::Save).
  virtual void MakeShortcut(const std::string& shortcutPath, const std::string& target) = 0;
  // The path of a file whose whole-file read gets its first bytes and then a failure from the system
  // (a device error; under Wine a pipe whose writer goes away).
  virtual std::string FileFailingPartWay() = 0;
  // Sets a variable of the process environment (SetEnvironmentVariableW).
  virtual void SetEnvironmentVariable(const std::string& name, const std::string& value) = 0;

  // Windows lists a key's values in the order they were made; Wine lists them sorted like subkeys.
  // True on Windows and for the memory backend, false under Wine.
  virtual bool ValuesListInCreationOrder() = 0;
};

std::unique_ptr<ContractEnvironment> MakeContractEnvironment();

}  // namespace tamrisk
