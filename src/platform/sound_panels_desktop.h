#pragma once
// The desktop's sound settings, started as a child process: pavucontrol on its
// input-device tab (recording) or its playback tab when installed, else
// GNOME's or KDE's own sound settings. One panel of ours runs at a time.
// The child is reaped by IsOpen and by the next start; a panel still running
// when this object goes away is left to the user.

#include <sys/types.h>
#include <string>
#include <vector>

#include "platform/sound_panels.h"

namespace tavrin::platform {

struct PanelCommand {
  std::string Program;  // looked up in PATH
  std::vector<std::string> Arguments;
};

// The panels tried, in order of preference, for recording and for playback.
std::vector<PanelCommand> DefaultPanelCommands();
std::vector<PanelCommand> PlaybackPanelCommands();

inline constexpr const char* kNoSoundPanelMessage =
    "No sound settings program was found. Please install pavucontrol.";

class DesktopSoundPanels final : public SoundPanels {
public:
  explicit DesktopSoundPanels(std::vector<PanelCommand> candidates = DefaultPanelCommands());
  // The panels tried for playback, PlaybackPanelCommands() unless set.
  void SetPlaybackCandidates(std::vector<PanelCommand> candidates) {
    m_playbackCandidates = std::move(candidates);
  }
  DesktopSoundPanels(const DesktopSoundPanels&) = delete;
  DesktopSoundPanels& operator=(const DesktopSoundPanels&) = delete;

  bool OpenRecordingSettings(std::string& error) override;
  bool OpenPlaybackSettings(std::string& error) override;
  bool IsOpen() override;

private:
  bool Start(const std::vector<PanelCommand>& candidates, std::string& error);

  std::vector<PanelCommand> m_candidates;
  std::vector<PanelCommand> m_playbackCandidates = PlaybackPanelCommands();
  pid_t m_child = 0;  // 0 when no panel of ours is running
};

}  // namespace tavrin::platform
