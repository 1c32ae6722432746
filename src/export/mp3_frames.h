#pragma once
// Layer III frame headers and the information frame at a stream's start
// ("Xing" for VBR, "Info" for CBR, with the LAME extension): what the MP3
// writer needs to join the streams of several encoders into one and to
// describe the joined stream to players. Any thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin::exporter {

inline constexpr std::int64_t kFramesPerMp3Frame = 1152;  // MPEG-1 layer III
inline constexpr std::size_t kTocEntries = 100;

struct Mp3FrameHeader {
  std::uint32_t Bytes = 0;  // the whole frame; 0: not a layer III header
  std::uint32_t Kbps = 0;
  std::uint32_t SampleRate = 0;
  bool Mpeg1 = false;
  bool Mono = false;
};

// The header at `data` (`available` bytes from there), or Bytes 0 when it is
// none: free-format and reserved values are refused.
Mp3FrameHeader ParseMp3FrameHeader(const std::uint8_t* data, std::size_t available);

// CRC-16 with the polynomial x^16 + x^15 + x^2 + 1, bits taken low first:
// the sum the LAME extension keeps of the audio and of the frame itself.
std::uint16_t Crc16(std::uint16_t crc, const std::uint8_t* data, std::size_t bytes);

// What the information frame says of a stream's audio frames (the
// information frame not among them), gathered frame by frame in stream order.
// The seek table is LAME's rule: the running sum of the frames' bit rates,
// sampled every `m_stride` frames in at most 400 samples, the stride doubled
// and every other sample dropped when they fill.
class InfoFrameTotals {
public:
  void Add(const std::uint8_t* frame, const Mp3FrameHeader& header);
  std::uint32_t Frames() const { return m_frames; }
  std::uint64_t Bytes() const { return m_bytes; }
  std::uint16_t MusicCrc() const { return m_crc; }
  // Entry i: 256 x the share of the stream before i % of its frames.
  std::array<std::uint8_t, kTocEntries> Toc() const;

private:
  std::uint32_t m_frames = 0;
  std::uint64_t m_bytes = 0;
  std::uint16_t m_crc = 0;
  std::uint64_t m_kbpsSum = 0;
  std::uint32_t m_seen = 0;
  std::uint32_t m_stride = 1;
  std::vector<std::uint64_t> m_samples;  // running sums of kbps
};

// Rewrites in `frame`, an information frame written by one of the encoders
// with the same settings, what describes the whole stream: the frame and
// byte counts, the seek table, the padding that leaves `takeFrames` of audio
// after the encoder delay, the music length and CRC, and the frame's own CRC.
// False when `frame` holds no information frame or the padding cannot be said.
bool RewriteInfoFrame(std::vector<std::uint8_t>& frame, const InfoFrameTotals& totals,
                      std::int64_t takeFrames);

// Where the "Xing"/"Info" text starts in a frame with this header.
std::size_t InfoTagOffset(const Mp3FrameHeader& header);

}  // namespace tavrin::exporter
