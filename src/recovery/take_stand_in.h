#pragma once
// Another take in place of the recorder's: a kept "test" or an opened sound
// file. While one stands in, the recorder's own take (its stream, length,
// order and peaks) waits here, and comes back unchanged when the editor
// closes. The capture's counters (RecordedBuffers, LoopWrapped) are left to
// the capture and the editor. User-interface thread only.

#include "capture/recorder_state.h"
#include "document/take.h"

namespace tavrin::recovery {

class TakeStandIn {
public:
  // Makes `take` the state's take. The recorder's own take is set aside the
  // first time; a take standing in already is let go (its file stays).
  void PutIn(capture::RecorderState& state, document::Take take);
  // The recorder's take again, as it was before the first PutIn; nothing when
  // none happened.
  void RestoreRecorderTake(capture::RecorderState& state);
  bool StandingIn() const { return m_standingIn; }

private:
  bool m_standingIn = false;
  document::Take m_recorderTake;  // set aside while another take stands in
};

}  // namespace tavrin::recovery
