#pragma once
// "test": a take file in the work folder that the editor offers to open in
// place of the recorder's take (a take kept after a crash lands there). It
// stands in for the recorder's take like any other (take_stand_in.h).
// User-interface thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/user_channel.h"
#include "capture/recorder_state.h"
#include "recovery/take_stand_in.h"

namespace tavrin::recovery {

std::string TestTakePath(const capture::RecorderState& state);
// Offered when the editor opens in continuous mode and "test" exists.
bool TestTakeOffered(const capture::RecorderState& state);

class TestTakeLoader : public TakeStandIn {
public:
  struct Hooks {
    std::function<void()> RebuildStarting;  // the peaks are measured from the audio
    base::UserChannel User;                 // pumped after every buffer measured
  };

  // Makes "test" the take: its length in whole buffers, its peaks from
  // Tavrin.spv when that fits it, else measured buffer by buffer (`progress`
  // 0..100) and written to Tavrin.spv. False with the system's text in
  // `error`, and the recorder's take left as it was, when a file fails.
  bool LoadTestTake(capture::RecorderState& state, float& progress, const Hooks& hooks,
                    std::string& error);
};

}  // namespace tavrin::recovery
