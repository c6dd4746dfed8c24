// The engine's texts as the window shows them, in its language: problem names and phrases (rows'
// reasons, what the repair, the backup, the undo and the settings say) worded from the data.
#pragma once

#include <string>

#include "scan/Phrase.h"

namespace tamrisk {

// The words of the window's language, falling back to the English of a text no language file has.
const Wording& ShownWording();

std::string ShownProblem(ProblemId problem);
std::string ShownPhrase(const Phrase& phrase);

}  // namespace tamrisk
