#pragma once
// Carries a second capture stream, running on a clock of its own, onto the
// first stream's clock. Its frames are resampled as they arrive (libsoxr's
// variable-rate mode) into a queue that the first stream's frames are taken
// against one for one. How far the queue runs ahead of the first stream's own
// backlog says how the clocks differ: a controller on that figure sets the
// conversion ratio, so the two streams keep the alignment they started with.
//
// Threading: the owner's thread only. Frame counts are of the first clock
// unless a name says otherwise.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct soxr;

namespace tavrin::platform {

class DriftResampler {
public:
  DriftResampler();
  ~DriftResampler();
  DriftResampler(const DriftResampler&) = delete;
  DriftResampler& operator=(const DriftResampler&) = delete;

  // Why the resampler could not be made; empty when it works.
  const std::string& Error() const { return m_error; }

  // Starts again with nothing queued. `leadFrames` of silence stand before
  // the stream's first frame (a negative lead skips that many of its frames);
  // the controller then holds the queue `targetFrames` ahead of the first
  // stream's backlog.
  void Restart(std::int64_t leadFrames, std::int64_t targetFrames);

  // Interleaved stereo frames of the second stream, on its own clock.
  void Push(const std::int16_t* stereo, std::size_t frames);
  // The second stream lost this many frames: silence keeps its timeline.
  void PushSilence(std::size_t frames);

  // Lets out what the filter still holds of the stream (the stream stops).
  void Flush();

  // Resampled frames ready to be taken.
  std::size_t Available() const { return (m_queue.size() - m_read) / 2; }
  // Interleaved stereo samples at full scale +-32768; `frames` <= Available().
  const float* Peek() const { return m_queue.data() + m_read; }
  void Take(std::size_t frames);
  // The first stream lost this many frames just now: as many of ours go too,
  // the newest queued, then the next to arrive.
  void Skip(std::size_t frames);

  // Moves the stream's audio not yet taken by `frames`, and the place the
  // controller holds it with it: later when positive, with silence before
  // it; earlier when negative, its oldest frames dropped.
  void Shift(std::int64_t frames);
  // Frames of the first stream that stand before the place of the stream's
  // next frame to arrive: what is queued and what the filter holds.
  double Lead() const {
    return static_cast<double>(Available()) + m_heldFrames - static_cast<double>(m_skipFrames);
  }

  // After `frames` of the first stream were taken, with `firstBacklog` of its
  // frames received and not yet taken: adjusts the ratio.
  void Steer(std::size_t frames, std::size_t firstBacklog);

  // Input frames per output frame now (1 when both clocks agree).
  double Ratio() const { return m_ratio; }
  // Silence put in to make up for the stream's losses (PushSilence) or a
  // stall (Steer), since the resampler was made.
  std::uint64_t SilenceFrames() const { return m_silenceFrames; }

private:
  void Convert(const float* stereo, std::size_t frames);
  void Compact();

  soxr* m_soxr = nullptr;
  std::string m_error;
  std::vector<float> m_queue;  // interleaved stereo, from m_read on
  std::size_t m_read = 0;
  std::vector<float> m_in;
  std::size_t m_skipFrames = 0;  // to drop from what arrives next
  std::int64_t m_target = 0;
  double m_smoothed = 0;  // the queue's lead over the backlog, low-passed
  double m_integral = 0;
  double m_ratio = 1.0;
  std::uint64_t m_silenceFrames = 0;
  double m_heldFrames = 0;  // inside the resampler's filter
};

}  // namespace tavrin::platform
