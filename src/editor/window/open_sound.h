#pragma once
// Opening a sound file in place of the recorder's take: the decoder (a
// service, so that the program wires the real one and tests their own) writes
// a new work file beside the one in use; only once it has succeeded does the
// new take stand in, and the work file of an earlier opening goes. No
// widgets. User-interface thread only.

#include <functional>
#include <string>

#include "base/user_channel.h"
#include "capture/recorder_state.h"
#include "decode/decode_to_take.h"
#include "document/take.h"
#include "recovery/take_stand_in.h"

namespace tavrin::editor {

// Decodes `path` into the work file `workPath` and fills the take, as
// decode::DecodeToTake does; empty = opening files is not available.
using SoundFileOpener = std::function<decode::OpenResult(
    const std::string& path, const std::string& workPath, decode::OpenJob& job,
    const base::UserChannel& user, document::Take& take, decode::OpenReport& report,
    std::string& message)>;

// Decodes `path` and makes it the state's take through `standIn`, its work
// file Open.raw. `message` gets what the user is to be told once the progress
// dialog has closed: for Failed why, for Opened the opener's notices (what is
// missing, what was clipped), or nothing; `alarming`, for Opened, that they
// deserve a box and not only the status bar.
// Failed or Cancelled: the state's take, the document and the work files are
// as they were.
decode::OpenResult OpenSoundFile(const SoundFileOpener& opener, const std::string& path,
                                 capture::RecorderState& state, recovery::TakeStandIn& standIn,
                                 decode::OpenJob& job, const base::UserChannel& user,
                                 std::string& message, bool& alarming);

// Once the recorder's take is back: the opened file's work files go.
void RemoveOpenedTake(const capture::RecorderState& state);

}  // namespace tavrin::editor
