// PulseWaveIn against a real, private PulseAudio daemon started by
// tests/e2e/with-pulse.sh: a null sink whose monitor is the default source and
// module-sine playing 1 kHz at half of full scale into it.

#include <gtest/gtest.h>
#include <pulse/def.h>
#include <pulse/error.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../e2e/tone_check.h"
#include "../e2e/wait_until.h"
#include "platform/pulse_connection.h"
#include "platform/wave_in_pulse.h"
#include "scoped_env.h"

namespace tavrin::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using tavrin::testing::WaitUntil;

constexpr std::uint32_t kBufferBytes = 17640;  // 100 ms of 44.1 kHz 16-bit stereo
constexpr double kFramesPerSecond = 44100.0;
// Bytes no capture writes in practice, so an overstated byte count shows up as a
// break in the tone.
constexpr char kFill = 0x55;

bool IsDone(const WaveHeader& header) {
  return (header.Flags.load(std::memory_order_acquire) & kWhdrDone) != 0;
}

// Headers with their own storage; the storage never moves.
class HeaderPool {
public:
  explicit HeaderPool(std::size_t count) : m_storage(count), m_headers(count) {
    for (std::size_t i = 0; i < count; ++i) {
      m_storage[i].assign(kBufferBytes, kFill);
      m_headers[i].Data = m_storage[i].data();
      m_headers[i].BufferLength = kBufferBytes;
    }
  }
  WaveHeader& operator[](std::size_t i) { return m_headers[i]; }
  std::size_t Size() const { return m_headers.size(); }

private:
  std::vector<std::vector<char>> m_storage;
  std::vector<WaveHeader> m_headers;
};

void Append(std::vector<std::int16_t>& samples, const WaveHeader& header) {
  const std::uint32_t bytes = header.BytesRecorded.load(std::memory_order_acquire);
  const std::size_t first = samples.size();
  samples.resize(first + bytes / sizeof(std::int16_t));
  std::memcpy(samples.data() + first, header.Data, bytes / sizeof(std::int16_t) * 2);
}

// The daemon's tone on each channel: its level, and no lost, repeated or
// foreign sample anywhere.
void ExpectCleanTone(const std::vector<std::int16_t>& interleaved) {
  const tavrin::testing::StereoSamples tone = tavrin::testing::SamplesOf(
      reinterpret_cast<const char*>(interleaved.data()), interleaved.size() * 2);
  for (const std::vector<double>* channel : {&tone.Left, &tone.Right}) {
    SCOPED_TRACE(channel == &tone.Left ? "left" : "right");
    EXPECT_NEAR(tavrin::testing::ToneLevelDb(*channel), 0.0, 0.5);
    // Rounding to 16 bits leaves about 2 LSB; a lost or foreign sample leaves
    // hundreds (except a loss of a multiple of 441 frames, ten whole periods,
    // which the duration checks catch).
    std::size_t frame = 1;
    while (frame + 1 < channel->size() && tavrin::testing::ToneResidualAt(*channel, frame) < 20) {
      ++frame;
    }
    EXPECT_LT(tavrin::testing::WorstToneResidual(*channel), 20.0)
        << "first at frame " << frame << " of " << channel->size();
  }
}

void QueueAll(PulseWaveIn& wave, HeaderPool& pool) {
  for (std::size_t i = 0; i < pool.Size(); ++i) {
    ASSERT_EQ(wave.PrepareHeader(pool[i]), kMmNoError);
    ASSERT_EQ(wave.AddBuffer(pool[i]), kMmNoError);
  }
}

void ExpectAllHandedBack(HeaderPool& pool) {
  for (std::size_t i = 0; i < pool.Size(); ++i) {
    EXPECT_TRUE(IsDone(pool[i])) << i;
    EXPECT_EQ(pool[i].Flags.load() & kWhdrInQueue, 0u) << i;
  }
}

class PulseWaveInTest : public ::testing::Test {
protected:
  void OpenDefault() { ASSERT_EQ(m_wave.Open(0, WaveFormat{}), kMmNoError); }

  // Outlives m_wave, whose destructor hands back whatever a failed test left queued.
  HeaderPool& MakePool(std::size_t count) { return m_pools.emplace_back(count); }

  std::deque<HeaderPool> m_pools;
  PulseWaveIn m_wave;
};

TEST_F(PulseWaveInTest, PulseDeviceZeroIsTheDefaultSource) {
  const std::uint32_t count = m_wave.GetNumDevs();
  ASSERT_GE(count, 1u);
  WaveInCaps caps;
  ASSERT_EQ(m_wave.GetDevCaps(0, caps), kMmNoError);
  // The description with-pulse.sh gives the null sink, as the server names its monitor.
  EXPECT_STREQ(caps.Name, "Monitor of Tavrin Null Sink");
  EXPECT_LE(std::strlen(caps.Name), kDeviceNameBytes - 1);
  EXPECT_EQ(caps.Formats, kWaveFormatAll);
  EXPECT_EQ(caps.Channels, 2);
  EXPECT_EQ(m_wave.GetDevCaps(count, caps), kMmBadDeviceId);
  // Enumerating again gives the same answer.
  EXPECT_EQ(m_wave.GetNumDevs(), count);
}

TEST_F(PulseWaveInTest, PulseRejectsWhatItCannotDo) {
  HeaderPool& pool = MakePool(1);
  EXPECT_EQ(m_wave.AddBuffer(pool[0]), kMmInvalidHandle);
  EXPECT_EQ(m_wave.Start(), kMmInvalidHandle);
  EXPECT_EQ(m_wave.Reset(), kMmInvalidHandle);
  EXPECT_EQ(m_wave.Close(), kMmInvalidHandle);

  WaveFormat mono;
  mono.Channels = 1;
  mono.BlockAlign = 2;
  mono.AvgBytesPerSec = 88200;
  WaveFormat rate48k;
  rate48k.SamplesPerSec = 48000;
  rate48k.AvgBytesPerSec = 192000;
  WaveFormat float32;
  float32.FormatTag = 3;
  float32.BitsPerSample = 32;
  float32.BlockAlign = 8;
  float32.AvgBytesPerSec = 352800;
  WaveFormat inconsistent;  // 44.1 kHz 16-bit stereo with a wrong block size
  inconsistent.BlockAlign = 2;
  for (const WaveFormat& format : {mono, rate48k, float32, inconsistent}) {
    EXPECT_EQ(m_wave.Open(0, format), kWaveBadFormat);
  }
  EXPECT_EQ(m_wave.Open(m_wave.GetNumDevs(), WaveFormat{}), kMmBadDeviceId);

  ASSERT_NO_FATAL_FAILURE(OpenDefault());
  EXPECT_EQ(m_wave.Open(0, WaveFormat{}), kMmAllocated);
  EXPECT_EQ(m_wave.AddBuffer(pool[0]), kWaveUnprepared);
  WaveHeader empty;
  EXPECT_EQ(m_wave.PrepareHeader(empty), kMmInvalidParam);
  ASSERT_EQ(m_wave.PrepareHeader(pool[0]), kMmNoError);
  ASSERT_EQ(m_wave.AddBuffer(pool[0]), kMmNoError);
  EXPECT_EQ(m_wave.AddBuffer(pool[0]), kWaveStillPlaying);
  EXPECT_EQ(m_wave.UnprepareHeader(pool[0]), kWaveStillPlaying);
  // Never started: Close hands the header back empty.
  EXPECT_EQ(m_wave.Close(), kMmNoError);
  EXPECT_TRUE(IsDone(pool[0]));
  EXPECT_EQ(pool[0].Flags.load() & kWhdrInQueue, 0u);
  EXPECT_EQ(pool[0].BytesRecorded.load(), 0u);
  EXPECT_EQ(m_wave.UnprepareHeader(pool[0]), kMmNoError);
  EXPECT_EQ(pool[0].Flags.load() & kWhdrPrepared, 0u);
  // Closed devices open again.
  ASSERT_NO_FATAL_FAILURE(OpenDefault());
  EXPECT_EQ(m_wave.Close(), kMmNoError);
}

TEST_F(PulseWaveInTest, PulseCapturesAContinuousToneInOrder) {
  ASSERT_NO_FATAL_FAILURE(OpenDefault());
  HeaderPool& pool = MakePool(40);
  ASSERT_NO_FATAL_FAILURE(QueueAll(m_wave, pool));
  std::deque<WaveHeader*> pending;
  for (std::size_t i = 0; i < pool.Size(); ++i) {
    pending.push_back(&pool[i]);
  }

  std::vector<std::int16_t> samples;
  std::size_t completed = 0;
  const auto started = Clock::now();
  ASSERT_EQ(m_wave.Start(), kMmNoError);
  while (Clock::now() - started < 3s) {
    std::this_thread::sleep_for(100ms);
    // Headers complete strictly in queue order: seen from the back, every
    // header before a completed one is complete too.
    bool laterDone = false;
    for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
      const bool done = IsDone(**it);
      ASSERT_TRUE(done || !laterDone) << "a later header completed first";
      laterDone = laterDone || done;
    }
    while (!pending.empty() && IsDone(*pending.front())) {
      WaveHeader* header = pending.front();
      pending.pop_front();
      ASSERT_EQ(header->BytesRecorded.load(std::memory_order_acquire), kBufferBytes);
      ASSERT_EQ(header->Flags.load() & kWhdrInQueue, 0u);
      Append(samples, *header);
      ++completed;
      header->BytesRecorded.store(0);
      std::memset(header->Data, kFill, kBufferBytes);
      ASSERT_EQ(m_wave.AddBuffer(*header), kMmNoError);
      pending.push_back(header);
    }
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
  ASSERT_EQ(m_wave.Reset(), kMmNoError);

  // Reset hands back every header in order: full ones (the audio up to Reset
  // may complete some), then one holding the rest, which continues the tone,
  // then empty ones.
  std::uint32_t partial = 0;
  bool partialSeen = false;
  for (const WaveHeader* header : pending) {
    ASSERT_TRUE(IsDone(*header));
    EXPECT_EQ(header->Flags.load() & kWhdrInQueue, 0u);
    const std::uint32_t bytes = header->BytesRecorded.load(std::memory_order_acquire);
    if (partialSeen) {
      EXPECT_EQ(bytes, 0u);
      continue;
    }
    EXPECT_EQ(bytes % 4, 0u);
    Append(samples, *header);
    if (bytes == kBufferBytes) {
      ++completed;
    } else {
      partial = bytes;
      partialSeen = true;
    }
  }

  EXPECT_EQ(m_wave.DroppedFrames(), 0u);
  EXPECT_GE(completed, 25u);
  const double captured = static_cast<double>(samples.size() / 2) / kFramesPerSecond;
  std::printf("[ info     ] %zu full buffers + %u bytes: %.3f s of audio in %.3f s\n", completed,
              partial, captured, elapsed);
  // All audio from Start to Reset arrives, the last fragment too, which Reset
  // waits for; this also catches losses of whole tone periods, which the
  // continuity test misses. A run may also hold up to a fragment from before
  // Start, the rest of the fragment after Reset, and what the null sink renders
  // ahead (~10 ms).
  EXPECT_LE(captured, elapsed + 0.12);
  EXPECT_GE(captured, elapsed - 0.01);
  ExpectCleanTone(samples);
  EXPECT_EQ(m_wave.Close(), kMmNoError);
}

TEST_F(PulseWaveInTest, PulseCountsFramesCapturedWithoutHeaders) {
  ASSERT_NO_FATAL_FAILURE(OpenDefault());
  const std::uint64_t before = m_wave.DroppedFrames();
  const auto started = Clock::now();
  ASSERT_EQ(m_wave.Start(), kMmNoError);
  // A second of audio is counted as it arrives, however late the server is...
  ASSERT_TRUE(WaitUntil([&] { return m_wave.DroppedFrames() - before >= kFramesPerSecond; }, 10s));
  const std::uint64_t dropped = m_wave.DroppedFrames() - before;
  // ... and never more than the time the stream has run.
  const double elapsed =
      std::chrono::duration<double>(Clock::now() - started).count() * kFramesPerSecond;
  EXPECT_LT(static_cast<double>(dropped), elapsed + 0.06 * kFramesPerSecond);

  // Stopped, nothing more is captured, so nothing more is dropped.
  ASSERT_EQ(m_wave.Reset(), kMmNoError);
  const std::uint64_t afterReset = m_wave.DroppedFrames();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(m_wave.DroppedFrames(), afterReset);
  EXPECT_EQ(m_wave.Close(), kMmNoError);
}

TEST_F(PulseWaveInTest, PulseResetHandsBackPartlyFilledHeadersAndCanRestart) {
  ASSERT_NO_FATAL_FAILURE(OpenDefault());
  HeaderPool& pool = MakePool(10);
  // Full headers, then the partly filled one, then empty ones.
  std::size_t partlyFilled = 0;
  std::uint32_t partial = 0;
  // A header's count shows only once it is handed back, and the server may end
  // a fragment right at a header's end: a few tries give a Reset in mid-header.
  for (int attempt = 0; attempt < 10 && partial == 0; ++attempt) {
    for (std::size_t i = 0; i < pool.Size(); ++i) pool[i].BytesRecorded.store(0);
    ASSERT_NO_FATAL_FAILURE(QueueAll(m_wave, pool));
    ASSERT_EQ(m_wave.Start(), kMmNoError);
    ASSERT_TRUE(WaitUntil([&] { return IsDone(pool[0]); }, 5s));
    std::this_thread::sleep_for(70ms);  // a fragment or two more, whatever their size
    ASSERT_EQ(m_wave.Reset(), kMmNoError);

    ExpectAllHandedBack(pool);
    partlyFilled = 0;
    while (partlyFilled < pool.Size() && pool[partlyFilled].BytesRecorded.load() == kBufferBytes) {
      ++partlyFilled;
    }
    ASSERT_GE(partlyFilled, 1u);
    ASSERT_LT(partlyFilled, pool.Size());
    partial = pool[partlyFilled].BytesRecorded.load(std::memory_order_acquire);
    EXPECT_EQ(partial % 4, 0u);
    for (std::size_t i = partlyFilled + 1; i < pool.Size(); ++i) {
      EXPECT_EQ(pool[i].BytesRecorded.load(), 0u) << i;
    }
  }
  EXPECT_GT(partial, 0u) << "Reset handed back no partly filled header";
  // The partial bytes carry on from the full headers; a miscount shows as a break.
  std::vector<std::int16_t> samples;
  for (std::size_t i = 0; i <= partlyFilled; ++i) Append(samples, pool[i]);
  ExpectCleanTone(samples);

  // Requeued after Reset, the headers fill again with fresh audio only.
  for (std::size_t i = 0; i < pool.Size(); ++i) {
    pool[i].BytesRecorded.store(0);
    ASSERT_EQ(m_wave.AddBuffer(pool[i]), kMmNoError);
  }
  ASSERT_EQ(m_wave.Start(), kMmNoError);
  ASSERT_TRUE(WaitUntil([&] { return IsDone(pool[1]); }, 5s));
  EXPECT_EQ(pool[0].BytesRecorded.load(std::memory_order_acquire), kBufferBytes);
  samples.clear();
  Append(samples, pool[0]);
  Append(samples, pool[1]);
  ExpectCleanTone(samples);
  EXPECT_EQ(m_wave.DroppedFrames(), 0u);
}

TEST(PulseWaveInLifetimeTest, PulseDestructionWhileRecordingHandsHeadersBack) {
  HeaderPool pool(4);
  {
    PulseWaveIn wave;
    ASSERT_EQ(wave.Open(0, WaveFormat{}), kMmNoError);
    ASSERT_NO_FATAL_FAILURE(QueueAll(wave, pool));
    ASSERT_EQ(wave.Start(), kMmNoError);
    std::this_thread::sleep_for(150ms);
  }
  ExpectAllHandedBack(pool);
}

// This side stops reading for longer than the server keeps audio for it, as a
// process stopped by heavy swapping would, then starts the device again, as the
// capture does after every half it queues again: what the server dropped is
// counted, so the audio kept and the audio counted lost add up to the time the
// stream ran.
TEST(PulseWaveInStallTest, PulseCountsWhatTheServerDroppedWhileThisSideStalled) {
  auto connection = std::make_shared<PulseConnection>("tavrin-test");
  PulseWaveIn wave(connection);
  ASSERT_EQ(wave.Open(0, WaveFormat{}), kMmNoError);
  HeaderPool pool(150);  // 15 s: nothing arriving after the stall is dropped on this side
  ASSERT_NO_FATAL_FAILURE(QueueAll(wave, pool));
  const auto started = Clock::now();
  ASSERT_EQ(wave.Start(), kMmNoError);
  ASSERT_TRUE(WaitUntil([&] { return IsDone(pool[4]); }, 5s));
  {
    PulseConnection::Guard stalled(*connection);
    std::this_thread::sleep_for(8s);
  }
  ASSERT_EQ(wave.Start(), kMmNoError);
  auto kept = [&] {
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < pool.Size(); ++i) {
      bytes += pool[i].BytesRecorded.load(std::memory_order_acquire);
    }
    return static_cast<double>(bytes / 4) / kFramesPerSecond;
  };
  auto lost = [&] { return static_cast<double>(wave.DroppedFrames()) / kFramesPerSecond; };
  auto ran = [&] { return std::chrono::duration<double>(Clock::now() - started).count(); };
  // Whole headers count as they complete; the partial one only at Reset.
  EXPECT_TRUE(WaitUntil([&] { return kept() + lost() > ran() - 0.3; }, 5s))
      << "kept " << kept() << " s + lost " << lost() << " s, ran " << ran() << " s";
  const double stoppedAfter = ran();
  ASSERT_EQ(wave.Reset(), kMmNoError);
  std::printf("[ info     ] kept %.3f s + lost %.3f s, ran %.3f s\n", kept(), lost(), stoppedAfter);
  EXPECT_GT(lost(), 0.5);
  EXPECT_NEAR(kept() + lost(), stoppedAfter, 0.2);
  EXPECT_EQ(wave.Close(), kMmNoError);
}

TEST(PulseWaveInErrorTest, PulseUnreachableServerFailsWithItsReasonAndRecovers) {
  std::optional<tavrin::testing::ScopedEnv> bogus(std::in_place, "PULSE_SERVER",
                                                  "unix:/nonexistent/tavrin/native");
  PulseWaveIn wave;
  EXPECT_EQ(wave.GetNumDevs(), 0u);
  WaveInCaps caps;
  EXPECT_EQ(wave.GetDevCaps(0, caps), kMmBadDeviceId);
  const MmResult result = wave.Open(0, WaveFormat{});
  ASSERT_GT(result, kMmBackendBase);
  const std::string text = wave.GetErrorText(result);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text, pa_strerror(static_cast<int>(result - kMmBackendBase)));
  EXPECT_EQ(wave.Start(), kMmInvalidHandle);

  // The server is back: the same object reconnects.
  bogus.reset();
  EXPECT_GE(wave.GetNumDevs(), 1u);
  EXPECT_EQ(wave.Open(0, WaveFormat{}), kMmNoError);
  EXPECT_EQ(wave.Close(), kMmNoError);
}

TEST(PulseWaveInErrorTest, PulseErrorTextCoversSharedAndUnknownCodes) {
  PulseWaveIn wave;
  EXPECT_EQ(wave.GetErrorText(kWaveBadFormat), CommonErrorText(kWaveBadFormat));
  EXPECT_EQ(wave.GetErrorText(kMmBackendBase + PA_ERR_CONNECTIONREFUSED),
            pa_strerror(PA_ERR_CONNECTIONREFUSED));
  EXPECT_FALSE(wave.GetErrorText(kMmBackendBase + 100000).empty());
  EXPECT_FALSE(wave.GetErrorText(0xFFFFFFFFu).empty());
}

}  // namespace
}  // namespace tavrin::platform
