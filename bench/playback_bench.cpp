// Playback on the private PulseAudio daemon (run through playback_bench.sh):
// how soon sound starts, how far the cursor's done marks run ahead of what the
// sink's monitor received, and the CPU the engine costs while playing.
#include <unistd.h>

#include <dirent.h>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/wave_out_pulse.h"
#include "play_session.h"
#include "playback/playback.h"
#include "playback_test_support.h"

namespace {

using namespace tavrin;
using playback::testing::MonitorRecorder;
using std::chrono::milliseconds;

// CPU ticks of the threads that play: the main thread (the editor's) and the
// libpulse thread of our connection; the monitor recorder's are left out.
long PlayingThreadTicks() {
  long ticks = 0;
  DIR* tasks = ::opendir("/proc/self/task");
  if (tasks == nullptr) return -1;
  while (const dirent* entry = ::readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream file(std::string("/proc/self/task/") + entry->d_name + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t open = text.find('(');
    const std::size_t close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    const std::string name = text.substr(open + 1, close - open - 1);
    const bool mainThread = std::stol(entry->d_name) == ::getpid();
    if (!mainThread && name != "tavrin-pulse") continue;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
      if (i == 14) utime = std::stol(field);
      if (i == 15) stime = std::stol(field);
    }
    ticks += utime + stime;
  }
  ::closedir(tasks);
  return ticks;
}

double Ms(MonitorRecorder::Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

}  // namespace

int main() {
  playback::testing::PatternDocument doc("bench", 210, 10);
  doc.SetRows({{1, 200, 1, true}});  // 20 s
  if (doc.SetupError != 0) {
    std::fprintf(stderr, "playback_bench: cannot write the document: %d\n", doc.SetupError);
    return 1;
  }
  platform::PulseWaveOut device;
  std::vector<std::string> messages;
  playback::PlaybackContext context{device, doc.State, doc.Document, {[&](const std::string& text) {
                                      messages.push_back(text);
                                    }}};
  playback::PlaybackState state;
  if (!playback::OpenPlayback(state, context)) {
    std::fprintf(stderr, "playback_bench: %s\n", messages.front().c_str());
    return 1;
  }
  playback::SetPlaybackVolume(state, context, platform::VolumeWord(65535, 65535));

  MonitorRecorder monitor;
  if (!monitor.Error().empty()) {
    std::fprintf(stderr, "playback_bench: monitor: %s\n", monitor.Error().c_str());
    return 1;
  }
  // Start-up: five starts from silence, the median.
  std::vector<MonitorRecorder::Clock::time_point> starts;
  for (int run = 0; run < 5; ++run) {
    std::this_thread::sleep_for(milliseconds(400));
    starts.push_back(MonitorRecorder::Clock::now());
    playback::StartPlayAll(state, context);
    playback::testing::PollWhilePlaying(state, context, milliseconds(500));
    playback::StopPlayback(state, context);
  }
  std::this_thread::sleep_for(milliseconds(400));

  // Twenty seconds played to the end, polled as the editor does.
  const auto playStart = MonitorRecorder::Clock::now();
  const long ticksBefore = PlayingThreadTicks();
  playback::StartPlayAll(state, context);
  const auto marks = playback::testing::PollWhilePlaying(state, context, milliseconds(25000));
  const long ticksAfter = PlayingThreadTicks();
  const double playedSeconds = Ms(MonitorRecorder::Clock::now() - playStart) / 1000.0;
  std::this_thread::sleep_for(milliseconds(300));
  monitor.Stop();
  playback::ClosePlayback(state, context);
  if (!messages.empty() || !monitor.Error().empty() || state.Playing) {
    std::fprintf(stderr, "playback_bench: playback failed: %s%s\n",
                 messages.empty() ? "" : messages.front().c_str(), monitor.Error().c_str());
    return 1;
  }

  std::vector<double> startMs;
  for (const auto& start : starts) {
    const std::size_t sound = monitor.FirstSound(monitor.OffsetAt(start));
    if (sound == std::string::npos) continue;
    startMs.push_back(Ms(monitor.ArrivalOfByte(sound) - start));
  }
  std::sort(startMs.begin(), startMs.end());
  const std::size_t blockOne = monitor.FirstSound(monitor.OffsetAt(playStart));
  if (startMs.empty() || blockOne == std::string::npos || marks.empty()) {
    std::fprintf(stderr, "playback_bench: the monitor heard nothing\n");
    return 1;
  }
  const double cpuPercent = static_cast<double>(ticksAfter - ticksBefore) /
                            static_cast<double>(::sysconf(_SC_CLK_TCK)) / playedSeconds * 100.0;
  std::printf("playback_cpu_percent: %.2f %%\n", cpuPercent);
  std::printf("play_start_ms: %.1f ms\n", startMs[startMs.size() / 2]);
  std::printf("play_cursor_lead_ms: %.1f ms\n",
              playback::testing::LargestCursorLeadMs(monitor, blockOne, marks));
  return 0;
}
