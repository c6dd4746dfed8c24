// One of each in-memory backend, bundled as the Platform the engine takes:
//   MemoryPlatform mp;  Scan(mp.platform, ...);
#pragma once

#include <string>
#include <utility>

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

  // The folders and variables of 64-bit Windows that 32-bit programs read otherwise: the system
  // folder and SysWOW64, Program Files and Program Files (x86) with their common files.
  void LayOut64BitWindows() {
    for (const char* folder : {"C:\\Windows\\System32", "C:\\Windows\\SysWOW64", "C:\\Program Files\\Common Files",
                               "C:\\Program Files (x86)\\Common Files"}) {
      files.AddFolder(folder);
    }
    const std::pair<const char*, const char*> variables[] = {
        {"SystemRoot", "C:\\Windows"},
        {"windir", "C:\\Windows"},
        {"ProgramFiles", "C:\\Program Files"},
        {"ProgramW6432", "C:\\Program Files"},
        {"ProgramFiles(x86)", "C:\\Program Files (x86)"},
        {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
        {"CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files"},
    };
    for (const auto& [name, value] : variables) system.SetVariable(name, value);
  }

  // The user's SID as the system reports it, with HKEY_CURRENT_USER shown under HKEY_USERS\<sid>.
  void SetCurrentUserSid(const std::string& sid) {
    system.SetCurrentUserSid(sid);
    registry.SetCurrentUserSid(sid);
  }
};

}  // namespace tamrisk
