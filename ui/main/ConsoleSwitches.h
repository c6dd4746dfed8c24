// The switches that answer on the console they were started from rather than in the window: "/?"
// (also "-?" and "-help") and the installer's "-setschedule" and "-uninstall".
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/common/Prompt.h"

namespace tamrisk {

// The switches, the exit codes and where the settings are, as "/?" shows them.
std::string UsageText();

// Writes text to where the program was started from: its output when that is a file or a pipe,
// else the console of the process that started it. False when there is neither (started from the
// Start menu, say).
bool WriteToStartingConsole(const std::string& text);

// Runs the switch when the first argument is one of these and gives its exit code; nullopt for every
// other start. "/?" with no console to write to shows the text in a box through prompt.
std::optional<int> RunConsoleSwitch(const std::vector<std::string>& arguments, Prompt& prompt);

}  // namespace tamrisk
