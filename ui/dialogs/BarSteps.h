// The progress bars that the timers move while a program or a scan runs: in shrinking steps, so the
// bar slows down as it nears its end without ever reaching it on the timer alone.
#pragma once

#include <initializer_list>

namespace tamrisk {

struct BarStage {
  int upTo;  // the last position of the stage
  int step;
};

// The step of the first stage that holds position; 0 past the last stage.
constexpr int StepOfStage(int position, std::initializer_list<BarStage> stages) {
  for (const BarStage& stage : stages) {
    if (position <= stage.upTo) return stage.step;
  }
  return 0;
}

}  // namespace tamrisk
