// The -cleanonce run: scans the categories ticked when the window was last closed, repairs everything
// found with a backup, saves the settings and appends its line to Tamrisk.log. It makes no window and
// shows no box: a missing backup folder is made without asking, and errors go to the log.
#pragma once

#include <string>

#include "platform/System.h"

namespace tamrisk {

// The whole run, holding the repair lock from start to end, so no window and no other run repairs
// or restores meanwhile; one that finds the lock held does nothing. Exit code as UnattendedExitCode:
// 2 when a category ended on a failure (what was found is still repaired), 1 on an error.
int RunCleanOnce(const Platform& platform, bool scheduled);

// A run that could not start: logs why and gives the exit code, 1.
int RefuseCleanOnce(const Platform& platform, bool scheduled, const std::string& why);

}  // namespace tamrisk
