#pragma once
// Wave-output playback of the edited document or its selection. Forty
// buffers of one block (0.1 s) each live in the shared TransferMemory and are
// queued as two halves of 20; the editor's 100 ms timer polls their done
// marks, and a half is read again from the document once all of it has been
// heard. No callback is registered. User-interface thread only.

#include <array>
#include <cstdint>

#include "base/user_channel.h"
#include "capture/recorder_state.h"
#include "document/edit_document.h"
#include "platform/sound_panels.h"
#include "platform/wave_out.h"

namespace tavrin::playback {

// Playback plays from TransferMemory, the capture engine's second ring.
inline constexpr int kPlaySlots = capture::kRingBuffers;
inline constexpr int kSlotsPerHalf = capture::kBuffersPerHalf;
// Error texts are cut to this many bytes before they are shown.
inline constexpr std::size_t kErrorTextBytes = 128;

struct PlaybackState {
  bool PlaybackOpen = false;
  bool Playing = false;
  // Slot i plays the 17640 bytes of TransferMemory from i x 17640; its user
  // word is the document block it holds.
  std::array<platform::WaveHeader, kPlaySlots> PlayHeaders;
  std::uint32_t NextBlock = 0;  // 1-based; 0 once a playback has ended
  std::uint32_t PlayFirst = 1;
  std::uint32_t PlayLast = 0;  // inclusive
  // Highest block heard so far (the play cursor) and its slot (the meter);
  // PlayedSlot is -1 until the first block of a playback has been heard.
  std::uint32_t PlayedBlock = 1;
  std::int32_t PlayedSlot = -1;
  // Volume word: left in the low 16 bits, right in the high 16 bits.
  std::uint32_t PlaybackVolume = 0;
  // Polls of this playback that found every queued block heard while more of
  // the range was still to come (a refill came too late): the listener heard
  // a gap. For the editor to show; nothing is lost, the rest still plays.
  std::uint64_t PlaybackGaps = 0;
  bool VolumeErrorShown = false;
  // The device broke (the sound server went away) and was let go, so the
  // server can be reached afresh: the next Play opens it again.
  bool DeviceLost = false;
};

// The engine's ties to the outside. The document is read at CurrentLevel;
// the length played by Play all is the recorder's TakeLength.
struct PlaybackContext {
  platform::WaveOut& Device;
  capture::RecorderState& Recorder;
  const document::EditDocument& Document;
  base::UserChannel User;
  platform::SoundPanels* Panels = nullptr;
};

// Opens wave-output device 0 unless open. On failure the device's error text
// is shown once and the editor goes on without playback. Returns PlaybackOpen.
bool OpenPlayback(PlaybackState& state, PlaybackContext& context);
// Resets the device, unprepares the 40 headers and closes it.
void ClosePlayback(PlaybackState& state, PlaybackContext& context);

// Plays blocks 1..Take.TakeLength.
void StartPlayAll(PlaybackState& state, PlaybackContext& context);
// Plays SelStart..SelEnd, or SelStart to the end when nothing is selected.
void StartPlaySelection(PlaybackState& state, PlaybackContext& context);
// Plays block `first` to the end of the document (the editor's cursor).
void StartPlayFrom(PlaybackState& state, PlaybackContext& context, std::uint32_t first);
// The Stop button: Playing = false and the device reset.
void StopPlayback(PlaybackState& state, PlaybackContext& context);

// Reads block NextBlock into slots firstSlot..lastSlot while the range lasts
// and queues them. False when playback had to stop (a read or device failure,
// shown to the user).
bool FillHalf(PlaybackState& state, PlaybackContext& context, int firstSlot, int lastSlot);
// Queues the slot, already holding block NextBlock; NextBlock moves on.
bool QueueBlock(PlaybackState& state, PlaybackContext& context, int slot);
// The first step of every play-timer tick: the cursor and meter from the
// buffers heard, the end of the range, refills.
void PollPlayback(PlaybackState& state, PlaybackContext& context);

// The device's volume word; 0 while the device is not open.
std::uint32_t GetPlaybackVolume(PlaybackState& state, PlaybackContext& context);
// Sets it (both channels as given); nothing while the device is not open.
void SetPlaybackVolume(PlaybackState& state, PlaybackContext& context, std::uint32_t volume);
// The desktop's playback settings (the editor's Options menu item).
void OpenPlaybackSettings(PlaybackContext& context);
// While those settings are open, PlaybackVolume is read from the device on
// every tick so the volume handle follows changes made there. Returns true
// when it was read.
bool FollowPanelVolume(PlaybackState& state, PlaybackContext& context);

}  // namespace tavrin::playback
