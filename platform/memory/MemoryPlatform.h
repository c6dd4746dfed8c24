// One of each in-memory backend, bundled as the Platform the engine takes:
//   MemoryPlatform mp;  Scan(mp.platform, ...);
#pragma once

#include <string>

#include "platform/System.h"
#include "platform/memory/MemoryFileSystem.h"
#include "platform/memory/MemoryRegistry.h"
#include "platform/memory/MemorySystem.h"

namespace tamrisk {

struct MemoryPlatform {
  MemoryRegistry registry;
  MemoryFileSystem files;
  MemorySystemInfo system;
  MemoryIniFile ini{files};
  MemoryShell shell;
  Platform platform{registry, files, system, ini, shell};

  MemoryPlatform() = default;
  MemoryPlatform(const MemoryPlatform&) = delete;
  MemoryPlatform& operator=(const MemoryPlatform&) = delete;

  // The user's SID as the system reports it, with HKEY_CURRENT_USER shown under HKEY_USERS\<sid>.
  void SetCurrentUserSid(const std::string& sid) {
    system.SetCurrentUserSid(sid);
    registry.SetCurrentUserSid(sid);
  }
};

}  // namespace tamrisk
