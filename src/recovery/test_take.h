#pragma once
// "test": a take file in the work folder that the editor offers to open in
// place of the recorder's take (a take kept after a crash lands there). While
// it is loaded, the recorder's own take (its stream, length, order and peaks)
// waits here, and comes back unchanged when the editor closes. The capture's
// counters (RecordedBuffers, LoopWrapped) are left to the capture and the editor.
// User-interface thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/user_channel.h"
#include "capture/recorder_state.h"

namespace tavrin::recovery {

std::string TestTakePath(const capture::RecorderState& state);
// Offered when the editor opens in continuous mode and "test" exists.
bool TestTakeOffered(const capture::RecorderState& state);

class TestTakeLoader {
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
  // The recorder's take again, as it was before the load; nothing when no
  // load happened.
  void RestoreRecorderTake(capture::RecorderState& state);

private:
  bool m_loaded = false;
  document::Take m_recorderTake;  // set aside while "test" is loaded
};

}  // namespace tavrin::recovery
