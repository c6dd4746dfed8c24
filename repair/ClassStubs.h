// The class keys a repair leaves as stubs: a class ID whose server registration it removed, a ProgID
// whose every command it removed. Such a key names a class no program can create or a type nothing
// opens, and the next scan cannot see it; the repair removes it with the emptied program keys.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/System.h"
#include "scan/ProblemRow.h"

namespace tamrisk {

class ClassStubs {
 public:
  // An entry the repair removed: the class ID or ProgID key it lay in becomes a candidate.
  void NoteRemoved(const RegLocation& where);

  // The candidates that are stubs now: no server or command left below them, nothing named that is
  // there, nothing of the Windows folder named.
  std::vector<RegLocation> Stubs(const Platform& platform) const;

 private:
  struct Candidate {
    std::string rootName;
    std::string key;
    bool classId;  // else a ProgID
    friend auto operator<=>(const Candidate&, const Candidate&) = default;
  };
  std::set<Candidate> candidates_;
};

}  // namespace tamrisk
