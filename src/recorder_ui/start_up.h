#pragma once
// What the program does to the recorder state before its window shows: the
// work folder chosen, the run marker claimed (a take an unclosed run left is
// kept as "test"), the recording mode and output folder taken from the
// settings, stale work files deleted and the capture memory sized. No
// widgets; the window calls it once, from its creation.

#include <stdexcept>
#include <string>

#include "base/user_channel.h"
#include "capture/recorder_state.h"
#include "settings/settings.h"

namespace tavrin::recorder_ui {

// Another program runs on the same work folder.
class AlreadyRunning : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct StartUpResult {
  int ModeIndex = 0;    // the recording-mode list's item, from the settings
  std::string Message;  // to show once the window is up; empty for none
};

// Throws AlreadyRunning, and touches no work file, when another program holds
// the work folder; std::runtime_error("Can not create <folder>") when the
// work folder cannot be made.
StartUpResult StartUp(capture::RecorderState& state, settings::Settings& stored,
                      const std::string& programPath, const std::string& appDataDir,
                      const base::UserChannel& user);

}  // namespace tavrin::recorder_ui
