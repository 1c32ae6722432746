#pragma once
// Playing a document on a real device the way the editor does, polled every
// 100 ms, and measuring it against what the sink's monitor received.

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "monitor_recorder.h"
#include "playback/playback.h"

namespace tavrin::playback::testing {

struct CursorMark {
  MonitorRecorder::Clock::time_point Time;
  std::uint32_t Block;  // PlayedBlock after that tick's poll
};

// Polls every 100 ms until playback ends or `limit` has passed; returns the
// cursor after each tick that moved it.
inline std::vector<CursorMark> PollWhilePlaying(PlaybackState& state, PlaybackContext& context,
                                                std::chrono::milliseconds limit) {
  std::vector<CursorMark> marks;
  const auto start = MonitorRecorder::Clock::now();
  auto next = start;
  std::uint32_t shown = 0;
  while (state.Playing && MonitorRecorder::Clock::now() - start < limit) {
    next += std::chrono::milliseconds(100);
    std::this_thread::sleep_until(next);
    PollPlayback(state, context);
    if (state.PlayedSlot >= 0 && state.PlayedBlock != shown) {
      shown = state.PlayedBlock;
      marks.push_back({MonitorRecorder::Clock::now(), shown});
    }
  }
  return marks;
}

// The largest time, in ms, by which a done mark came before the monitor had
// received the whole of its block; negative when every mark came after.
// `blockOneOffset` is where document block 1 starts in the recording.
inline double LargestCursorLeadMs(const MonitorRecorder& monitor, std::size_t blockOneOffset,
                                  const std::vector<CursorMark>& marks) {
  double largest = -1e9;
  for (const CursorMark& mark : marks) {
    const std::size_t end = blockOneOffset + std::size_t{mark.Block} * 17640 - 1;
    const auto received = monitor.ArrivalOfByte(end);
    largest =
        std::max(largest, std::chrono::duration<double, std::milli>(received - mark.Time).count());
  }
  return largest;
}

}  // namespace tavrin::playback::testing
