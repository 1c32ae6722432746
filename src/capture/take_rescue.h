#pragma once
// At start-up, the take that a run which never closed left in Tavrin.raw is
// kept rather than deleted: as "test" with its peaks in Tavrin.spv, where the
// editor offers it back, or, when an earlier kept take still waits there,
// under a dated name beside it. A loop take that had wrapped is written out
// oldest audio first.

#include <string>

#include "capture/recorder_state.h"
#include "capture/run_marker.h"

namespace tavrin::capture {

struct RescuedTake {
  std::string KeptAs;   // where the take now is; empty when there was none
  std::string Message;  // what the user is told; empty when nothing was kept
};

// Call before the work files are deleted; it never deletes audio itself.
RescuedTake RescueLeftTake(const RecorderState& state, const TakeOrder& order);

}  // namespace tavrin::capture
