// The playback volume word and the desktop's playback settings.

#include "playback/playback.h"

namespace tavrin::playback {

std::uint32_t GetPlaybackVolume(PlaybackState& state, PlaybackContext& context) {
  if (!state.PlaybackOpen) return 0;
  std::uint32_t volume = 0;
  // A device that cannot answer (the server went away) keeps the last value;
  // the next poll reports the broken device.
  if (context.Device.GetVolume(volume) != platform::kMmNoError) return state.PlaybackVolume;
  return volume;
}

void SetPlaybackVolume(PlaybackState& state, PlaybackContext& context, std::uint32_t volume) {
  if (!state.PlaybackOpen) return;
  const platform::MmResult result = context.Device.SetVolume(volume);
  if (result == platform::kMmNoError) {
    state.VolumeErrorShown = false;
    return;
  }
  // A drag sets the volume many times a second: say it once, not each time.
  if (!state.VolumeErrorShown) {
    context.User.Show(context.Device.GetErrorText(result));
  }
  state.VolumeErrorShown = true;
}

void OpenPlaybackSettings(PlaybackContext& context) {
  if (context.Panels == nullptr) return;
  std::string error;
  if (!context.Panels->OpenPlaybackSettings(error)) {
    context.User.Show(error);
  }
}

bool FollowPanelVolume(PlaybackState& state, PlaybackContext& context) {
  if (context.Panels == nullptr || !state.PlaybackOpen || !context.Panels->IsOpen()) return false;
  state.PlaybackVolume = GetPlaybackVolume(state, context);
  return true;
}

}  // namespace tavrin::playback
