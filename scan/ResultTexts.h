// Texts the results list's commands derive from a row or a chosen file name.
#pragma once

#include <string>

#include "scan/ProblemRow.h"

namespace tamrisk {

// The key the registry editor opens at for a row: its "Registry key" text, cut or extended by kind.
std::string RegeditKeyText(const ProblemRow& row);

// The extension of a path's file name, from its last "."; empty when the name has none.
std::string FileExtension(const std::string& path);

}  // namespace tamrisk
