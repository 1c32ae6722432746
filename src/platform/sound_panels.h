#pragma once
// The desktop's own sound settings: where the user picks the recording device
// and its input, and where our playback stream's volume shows. Called from the
// user-interface thread only.

#include <string>

namespace tavrin::platform {

class SoundPanels {
public:
  virtual ~SoundPanels() = default;
  // Starts the sound settings on the recording-device page without waiting
  // for them; false, with the text to show in `error`, when none exist.
  virtual bool OpenRecordingSettings(std::string& error) = 0;
  // The same on the page that lists the programs playing and their volumes.
  virtual bool OpenPlaybackSettings(std::string& error) = 0;
  // The panel this object started is still running.
  virtual bool IsOpen() = 0;
};

}  // namespace tavrin::platform
