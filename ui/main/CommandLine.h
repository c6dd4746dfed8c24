// The program's arguments as UTF-8, split from the wide command line, so a file name in any language
// arrives exactly.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/win32/Wide.h"
#include "ui/common/UiHandles.h"

namespace tamrisk {

// The arguments after the program's name, split as CommandLineToArgvW splits them.
inline std::vector<std::string> ArgumentsOf(const wchar_t* commandLine) {
  int count = 0;
  LPWSTR* split = ::CommandLineToArgvW(commandLine, &count);
  const UniqueLocalMemory owner(split);
  std::vector<std::string> arguments;
  if (!split) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(win32::Utf8(split[i]));
  return arguments;
}

// This program's own arguments.
inline std::vector<std::string> ProgramArguments() { return ArgumentsOf(::GetCommandLineW()); }

}  // namespace tamrisk
