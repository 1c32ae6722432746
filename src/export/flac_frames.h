#pragma once
// The byte layout a FLAC file on several threads needs beyond what libFLAC
// writes: FLAC frames encoded apart renumbered for their place in the whole
// stream, and the STREAMINFO and seek points of the whole stream.
// Any thread; a JoinedStream on one thread at a time.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin::exporter {

// Appends `flacFrame`, one whole FLAC frame of a fixed-blocksize stream, to
// `out` with its frame number replaced by `number` (whose coded length may
// differ from the old one's) and both checksums, the header's CRC-8 and the
// frame's CRC-16, made right for the new header. Returns false and appends
// nothing when the bytes do not start with such a frame header.
bool AppendRenumberedFrame(const std::uint8_t* flacFrame, std::size_t bytes, std::uint32_t number,
                           std::vector<std::uint8_t>& out);

// What STREAMINFO says of a whole stream.
struct FlacStreamInfo {
  std::uint32_t MinBlockFrames = 0;  // audio frames per FLAC frame
  std::uint32_t MaxBlockFrames = 0;
  std::uint32_t MinFrameBytes = 0;
  std::uint32_t MaxFrameBytes = 0;
  std::uint32_t SampleRate = 0;
  std::uint32_t Channels = 0;
  std::uint32_t BitsPerSample = 0;
  std::uint64_t TotalFrames = 0;  // audio frames
  std::array<std::uint8_t, 16> Md5{};
};

inline constexpr std::size_t kStreamInfoBytes = 34;
inline constexpr std::size_t kSeekPointBytes = 18;

// The body of a STREAMINFO block.
std::array<std::uint8_t, kStreamInfoBytes> StreamInfoBytes(const FlacStreamInfo& info);

struct FlacSeekPoint {
  std::uint64_t FirstFrame = 0;  // the audio frame that starts the FLAC frame pointed at
  std::uint64_t Offset = 0;      // its byte offset from the first FLAC frame
  std::uint16_t Frames = 0;      // the audio frames it holds
};

std::array<std::uint8_t, kSeekPointBytes> SeekPointBytes(const FlacSeekPoint& point);

// Where a metadata block's body lies in the bytes of a stream's start
// ("fLaC" and its metadata blocks): offset and length, or {0, 0} when the
// block of `type` is not there.
struct FlacBlockPlace {
  std::size_t Offset = 0;
  std::size_t Bytes = 0;
};
FlacBlockPlace FindMetadataBlock(const std::vector<std::uint8_t>& head, int type);

// The FLAC frames of a stream written piece by piece, in order: the figures
// of STREAMINFO and the seek points they fill in, as one encoder would have.
class JoinedStream {
public:
  // `info` with everything but the frame sizes and the MD5; `points` the
  // seek table's template, each FirstFrame the audio frame a point targets.
  JoinedStream(const FlacStreamInfo& info, std::vector<FlacSeekPoint> points);

  // Counts the next FLAC frames, of these lengths; false when the audio has
  // no room for them.
  bool Add(const std::vector<std::uint32_t>& flacFrameBytes);
  // Whether every audio frame is in the FLAC frames counted.
  bool Complete() const { return m_flacFrames * m_info.MaxBlockFrames >= m_info.TotalFrames; }

  std::array<std::uint8_t, kStreamInfoBytes> StreamInfo(const std::array<std::uint8_t, 16>& md5);
  std::vector<std::uint8_t> SeekTable() const;

private:
  FlacStreamInfo m_info;
  std::vector<FlacSeekPoint> m_points;
  std::size_t m_pointsFilled = 0;
  std::uint64_t m_flacFrames = 0;
  std::uint64_t m_flacBytes = 0;  // from the first FLAC frame
};

}  // namespace tavrin::exporter
