// What the program does before anything else, so that an elevated start from a folder full of
// downloads runs no library but the system's own.
#pragma once

namespace tamrisk {

// Libraries load from the system folder only (never from the program's folder or the current one),
// and a corrupted heap ends the process. Call first in the entry point, before any window, COM or
// shell call: those load libraries on demand.
void HardenProcessStart();

}  // namespace tamrisk
