// Helpers for tests that run under Wine against the real registry, files and programs. Windows only.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/RegistryBackend.h"

namespace tamrisk::test {

// The predefined key handle of a root (the root's value is its HKEY).
inline HKEY ToHkey(RootKey root) { return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(root)); }

// A name unique to the running test (suite, test and process id), safe in key and file names.
std::string UniqueName(const std::string& prefix);

// An empty folder "C:\tamrisk-tests\<name>", made afresh (an old one is removed first).
std::string FreshFolder(const std::string& name);
void RemoveFolder(const std::string& path);

bool WriteTextFile(const std::string& path, const std::string& contents);
std::string ReadTextFile(const std::string& path);

// Runs a command line and waits up to timeoutMs; false when it cannot start or does not end in time
// (it is then terminated). exitCode gets the program's exit code.
bool RunAndWait(const std::string& commandLine, unsigned long timeoutMs = 60000, unsigned long* exitCode = nullptr);

// Imports registry editor text with "regedit /s": text that begins with "Windows Registry Editor
// Version 5.00" is written as UTF-16LE, other text as it is, as REGEDIT4 (that line is added when
// missing). False when the editor could not run or failed.
bool ImportReg(const std::string& regText);

// "regedit /e" of one key, converted from the editor's UTF-16 to UTF-8 text (without the byte-order
// mark).
std::string ExportKey(const std::string& fullKeyPath);

// Removes a key with its subtree; no error when it is missing.
void DeleteKeyTree(RootKey root, const std::string& path);

// A real shortcut file made through IShellLink::Save.
bool MakeShortcut(const std::string& shortcutPath, const std::string& targetPath);

}  // namespace tamrisk::test

#endif
