#pragma once
// Records the null sink's monitor on a thread of its own, 10 ms at a time,
// noting when each piece arrived, so a test can tell when the sink rendered a
// given byte. Independent of the program's own wave layers: libpulse-simple.

#include <pthread.h>
#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../e2e/wait_until.h"

namespace tavrin::playback::testing {

class MonitorRecorder {
public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kChunkBytes = 1764;  // 10 ms

  // Starts recording; Error() says why when it could not.
  explicit MonitorRecorder(const char* source = "tavrin_null.monitor") {
    const pa_sample_spec format{PA_SAMPLE_S16LE, 44100, 2};
    pa_buffer_attr attr{};
    attr.maxlength = UINT32_MAX;
    attr.fragsize = kChunkBytes;
    int error = 0;
    m_stream = pa_simple_new(nullptr, "Tavrin monitor recorder", PA_STREAM_RECORD, source,
                             "monitor", &format, nullptr, &attr, &error);
    if (m_stream == nullptr) {
      m_error = pa_strerror(error);
      return;
    }
    m_thread = std::thread([this] { Run(); });
  }
  ~MonitorRecorder() { Stop(); }
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;

  const std::string& Error() const { return m_error; }

  void Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_stream != nullptr) pa_simple_free(m_stream);
    m_stream = nullptr;
  }

  // Waits until a piece has arrived at or after `time`, so that what was played
  // before it has been heard; false when none has after `limit`.
  bool HeardUntil(Clock::time_point time, std::chrono::milliseconds limit) const {
    return tavrin::testing::WaitUntil(
        [&] { return m_lastArrival.load() >= time.time_since_epoch().count(); }, limit);
  }

  // After Stop: every byte received, and when each 10 ms piece arrived.
  const std::vector<char>& Bytes() const { return m_bytes; }
  Clock::time_point ArrivalOfByte(std::size_t offset) const {
    return m_arrivals[std::min(offset / kChunkBytes, m_arrivals.size() - 1)];
  }
  // Offset of the first piece that arrived at or after `time`.
  std::size_t OffsetAt(Clock::time_point time) const {
    const auto it = std::lower_bound(m_arrivals.begin(), m_arrivals.end(), time);
    return static_cast<std::size_t>(it - m_arrivals.begin()) * kChunkBytes;
  }
  // Offset of the first non-zero sample at or after `from`; npos when none.
  std::size_t FirstSound(std::size_t from = 0) const {
    for (std::size_t i = from & ~std::size_t{1}; i + 1 < m_bytes.size(); i += 2) {
      if (m_bytes[i] != 0 || m_bytes[i + 1] != 0) return i;
    }
    return std::string::npos;
  }
  // Offset just past the last non-zero sample; 0 when all is silence.
  std::size_t EndOfSound() const {
    for (std::size_t i = m_bytes.size() & ~std::size_t{1}; i >= 2; i -= 2) {
      if (m_bytes[i - 2] != 0 || m_bytes[i - 1] != 0) return i;
    }
    return 0;
  }
  // Where `needle` starts in what was recorded; npos when it is not there.
  std::size_t Find(const std::vector<char>& needle) const {
    const auto it = std::search(m_bytes.begin(), m_bytes.end(), needle.begin(), needle.end());
    return it == m_bytes.end() ? std::string::npos : static_cast<std::size_t>(it - m_bytes.begin());
  }

private:
  void Run() {
    pthread_setname_np(pthread_self(), "monitor-rec");
    std::vector<char> chunk(kChunkBytes);
    while (!m_stop) {
      int error = 0;
      if (pa_simple_read(m_stream, chunk.data(), chunk.size(), &error) < 0) {
        m_error = pa_strerror(error);
        return;
      }
      m_arrivals.push_back(Clock::now());
      m_lastArrival.store(m_arrivals.back().time_since_epoch().count());
      m_bytes.insert(m_bytes.end(), chunk.begin(), chunk.end());
    }
  }

  pa_simple* m_stream = nullptr;
  std::string m_error;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
  // Written by the recording thread only, read after it has been joined.
  std::vector<char> m_bytes;
  std::vector<Clock::time_point> m_arrivals;
  std::atomic<Clock::rep> m_lastArrival{0};  // of the last piece, for waits during recording
};

}  // namespace tavrin::playback::testing
