#include "playback/playback.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/text.h"
#include "capture/signal_processing.h"
#include "document/peaks.h"

namespace tavrin::playback {

namespace {

using platform::kMmNoError;
using platform::MmResult;

// The device's text for a result, cut to kErrorTextBytes at a character boundary.
std::string DeviceErrorText(PlaybackContext& context, MmResult result) {
  std::string text = context.Device.GetErrorText(result);
  text.resize(base::Utf8CutLength(text, kErrorTextBytes));
  return text;
}

// Shows the device's text for a failed result; true when it succeeded.
bool Check(PlaybackContext& context, MmResult result) {
  if (result == kMmNoError) return true;
  context.User.Show(DeviceErrorText(context, result));
  return false;
}

char* SlotMemory(PlaybackContext& context, int slot) {
  return reinterpret_cast<char*>(context.Recorder.TransferMemory.data()) +
         static_cast<std::size_t>(slot) * capture::kBufferBytes;
}

// Takes every header back from the device and leaves them unprepared.
void UnprepareAll(PlaybackState& state, PlaybackContext& context) {
  for (platform::WaveHeader& header : state.PlayHeaders) {
    if (!Check(context, context.Device.UnprepareHeader(header))) return;
  }
}

// Playback is over: the range was heard to its end, or it cannot go on.
void EndPlayback(PlaybackState& state, PlaybackContext& context) {
  Check(context, context.Device.Reset());
  context.User.Pump();
  state.NextBlock = 0;
  UnprepareAll(state, context);
  state.Playing = false;
}

// The slot's block, just heard, goes to the level meter.
void MeasureSlot(PlaybackContext& context, int slot) {
  capture::RecorderState& recorder = context.Recorder;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(SlotMemory(context, slot));
  capture::SetLevels(recorder, document::MeasurePeaks(bytes, capture::kFramesPerBuffer));
}

bool HalfHeard(const PlaybackState& state, int firstSlot) {
  for (int slot = firstSlot; slot < firstSlot + kSlotsPerHalf; ++slot) {
    if ((state.PlayHeaders[slot].Flags.load(std::memory_order_acquire) & platform::kWhdrDone) ==
        0) {
      return false;
    }
  }
  return true;
}

// Both halves from PlayFirst; a range with nothing in it ends at once.
void FillBothHalves(PlaybackState& state, PlaybackContext& context) {
  if (!FillHalf(state, context, 0, kSlotsPerHalf - 1)) return;
  if (!FillHalf(state, context, kSlotsPerHalf, kPlaySlots - 1)) return;
  if (state.NextBlock == state.PlayFirst) EndPlayback(state, context);
}

void Begin(PlaybackState& state, PlaybackContext& context, std::uint32_t first,
           std::uint32_t last) {
  if (!state.PlaybackOpen && state.DeviceLost && OpenPlayback(state, context)) {
    state.DeviceLost = false;
  }
  if (!state.PlaybackOpen) return;
  first = std::max(first, std::uint32_t{1});  // blocks count from 1
  // Reset hands every queued buffer back; clearing the done marks below keeps
  // the block numbers they carry out of the new playback.
  if (!Check(context, context.Device.Reset())) {
    state.Playing = false;
    return;
  }
  state.NextBlock = first;
  state.PlayFirst = first;
  state.PlayedBlock = first;
  state.PlayedSlot = -1;
  state.PlayLast = last;
  state.PlaybackGaps = 0;
  for (platform::WaveHeader& header : state.PlayHeaders) {
    header.Flags.fetch_and(~platform::kWhdrDone, std::memory_order_relaxed);
  }
  state.Playing = true;
  // Queued at once rather than on the next tick, so sound starts without
  // waiting up to a timer period.
  FillBothHalves(state, context);
}

}  // namespace

bool OpenPlayback(PlaybackState& state, PlaybackContext& context) {
  if (state.PlaybackOpen) return true;
  const MmResult result = context.Device.Open(0, platform::WaveFormat{});
  if (!Check(context, result)) return false;
  state.PlaybackOpen = true;
  return true;
}

void ClosePlayback(PlaybackState& state, PlaybackContext& context) {
  if (!state.PlaybackOpen) return;
  state.Playing = false;
  if (!Check(context, context.Device.Reset())) return;
  UnprepareAll(state, context);
  if (!Check(context, context.Device.Close())) return;
  state.PlaybackOpen = false;
}

void StartPlayAll(PlaybackState& state, PlaybackContext& context) {
  Begin(state, context, 1, context.Document.Length());
}

void StartPlaySelection(PlaybackState& state, PlaybackContext& context) {
  const document::EditDocument& document = context.Document;
  // An empty selection plays from its start to the end of the document.
  const std::uint32_t last =
      document.SelStart == document.SelEnd ? context.Document.Length() : document.SelEnd;
  Begin(state, context, document.SelStart, last);
}

void StartPlayFrom(PlaybackState& state, PlaybackContext& context, std::uint32_t first) {
  Begin(state, context, first, context.Document.Length());
}

void StopPlayback(PlaybackState& state, PlaybackContext& context) {
  state.Playing = false;
  if (state.PlaybackOpen) Check(context, context.Device.Reset());
}

bool QueueBlock(PlaybackState& state, PlaybackContext& context, int slot) {
  platform::WaveHeader& header = state.PlayHeaders[slot];
  header.Data = SlotMemory(context, slot);
  header.BufferLength = capture::kBufferBytes;
  header.BytesRecorded.store(0, std::memory_order_relaxed);
  header.User = state.NextBlock;
  header.Flags.store(0, std::memory_order_relaxed);
  const MmResult prepared = context.Device.PrepareHeader(header);
  const MmResult result = prepared != kMmNoError ? prepared : context.Device.Write(header);
  if (result != kMmNoError) {
    EndPlayback(state, context);
    context.User.Show(DeviceErrorText(context, result));
    return false;
  }
  ++state.NextBlock;
  return true;
}

bool FillHalf(PlaybackState& state, PlaybackContext& context, int firstSlot, int lastSlot) {
  for (int slot = firstSlot; slot <= lastSlot && state.NextBlock <= state.PlayLast; ++slot) {
    const int error =
        document::ReadBuffer(context.Document, context.Recorder.Take, state.NextBlock,
                             reinterpret_cast<std::uint8_t*>(SlotMemory(context, slot)));
    if (error == ENOENT) {
      // No row holds the block: the document ends before the range does.
      state.PlayLast = state.NextBlock - 1;
      return true;
    }
    if (error != 0) {
      // Nothing past an unreadable block is queued; what was heard stays heard.
      EndPlayback(state, context);
      context.User.Show(std::strerror(error));
      return false;
    }
    if (!QueueBlock(state, context, slot)) return false;
  }
  return true;
}

void PollPlayback(PlaybackState& state, PlaybackContext& context) {
  if (!state.PlaybackOpen || !state.Playing) return;
  if (const MmResult broken = context.Device.DeviceError(); broken != kMmNoError) {
    EndPlayback(state, context);
    context.User.Show(DeviceErrorText(context, broken));
    ClosePlayback(state, context);
    state.DeviceLost = !state.PlaybackOpen;
    return;
  }
  if (state.NextBlock == state.PlayFirst) {
    FillBothHalves(state, context);
    return;
  }
  for (int slot = 0; slot < kPlaySlots; ++slot) {
    const platform::WaveHeader& header = state.PlayHeaders[slot];
    if ((header.Flags.load(std::memory_order_acquire) & platform::kWhdrDone) == 0) continue;
    const auto block = static_cast<std::uint32_t>(header.User);
    if (block > state.PlayedBlock || (state.PlayedSlot < 0 && block == state.PlayFirst)) {
      state.PlayedBlock = block;
      state.PlayedSlot = slot;
      MeasureSlot(context, slot);
    }
    // Only a block that was heard ends the range, so a range of one block plays too.
    if (state.PlayedSlot >= 0 && state.PlayedBlock >= state.PlayLast) {
      EndPlayback(state, context);
      return;
    }
  }
  // Every queued block heard and more to come: the device ran dry before this
  // refill, and the listener heard a gap.
  const bool firstHalfHeard = HalfHeard(state, 0);
  const bool secondHalfHeard = HalfHeard(state, kSlotsPerHalf);
  if (firstHalfHeard && secondHalfHeard && state.NextBlock <= state.PlayLast) ++state.PlaybackGaps;
  if (firstHalfHeard && !FillHalf(state, context, 0, kSlotsPerHalf - 1)) return;
  if (HalfHeard(state, kSlotsPerHalf)) FillHalf(state, context, kSlotsPerHalf, kPlaySlots - 1);
}

}  // namespace tavrin::playback
