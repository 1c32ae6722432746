#pragma once
// The run marker: a file in the work folder that the running program holds
// open and locked for its whole life and deletes only after a normal close has
// deleted the work files. Finding it at start-up, unlocked, means the last run
// ended without closing (killed, crashed, power lost), so its take is still
// there to keep. While a take records, the marker also holds the take's order,
// which a loop take that has wrapped needs to be read back oldest first.

#include <cstdint>
#include <string>
#include <string_view>

#include "capture/recorder_state.h"

namespace tavrin::capture {

inline constexpr const char* kAlreadyRunningText =
    "Tavrin Recorder is already running with this work folder.";

// What the marker said about the take that was recording last.
struct TakeOrder {
  bool LoopMode = false;
  bool LoopWrapped = false;
  // The last buffer written (the ring position after a wrap).
  std::uint32_t LastWritten = 0;
};

enum class MarkerClaim {
  Claimed,        // no earlier run left anything behind
  LeftByOpenRun,  // an earlier run ended without closing: its take may be there
  HeldElsewhere,  // another program is running on this work folder
  Failed,         // the marker could not be made (error set)
};

// Creates or takes over `MarkerPath` and locks it. On LeftByOpenRun, `left`
// holds what the earlier run wrote there.
MarkerClaim ClaimRunMarker(RecorderState& state, TakeOrder& left, int& error);

// Records the order of the take being written (after every half). Returns 0 or errno.
int NoteTakeOrder(RecorderState& state);

// After a normal close: deletes the marker and lets it go.
void ReleaseRunMarker(RecorderState& state);

// The marker's text, and back. Anything that is not a marker gives false.
std::string FormatTakeOrder(const TakeOrder& order);
bool ParseTakeOrder(std::string_view text, TakeOrder& order);

}  // namespace tavrin::capture
