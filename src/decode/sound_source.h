#pragma once
// A sound file being decoded, whichever library reads it: its shape, then its
// frames as interleaved float (full scale 1.0) in the order they play.
// libsndfile reads what it knows (sndfile_source); FFmpeg's libraries read
// the containers it does not (ffmpeg_source). One opening, one thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavrin::decode {

inline constexpr std::int64_t kNotStated = -1;

// The loudspeaker a channel is meant for, in the names both libraries share;
// Unknown where the file does not say (or says something we do not place).
enum class Speaker : std::uint8_t {
  Unknown,
  FrontLeft,
  FrontRight,
  FrontCenter,
  LowFrequency,
  BackLeft,
  BackRight,
  BackCenter,
  SideLeft,
  SideRight,
  FrontLeftOfCenter,
  FrontRightOfCenter,
  TopCenter,
  TopFrontLeft,
  TopFrontCenter,
  TopFrontRight,
  TopBackLeft,
  TopBackCenter,
  TopBackRight,
};

struct SourceShape {
  int Rate = 0;      // frames per second
  int Channels = 0;  // per frame
  // One per channel, in the frame's order; empty when the file does not say.
  std::vector<Speaker> Speakers;
  std::int64_t StatedFrames = kNotStated;  // the length the file states
  // StatedFrames is a guess (an MP3's first frame, a bit-rate estimate): what
  // decodes counts, and decoding less than it says is no damage.
  bool Estimated = false;
  // Frames by which a stated length may be rounded up: decoding fewer than
  // StatedFrames - StatedSlack is a file that ends early.
  std::int64_t StatedSlack = 0;
};

class SoundSource {
public:
  virtual ~SoundSource() = default;

  virtual const SourceShape& Shape() const = 0;
  // Decodes up to `frames` frames into `samples` (frames x Channels floats);
  // 0 at the end of the sound or once decoding has failed.
  virtual std::int64_t Read(float* samples, std::int64_t frames) = 0;
  // After Read gave 0: nothing when the sound ended cleanly, else what is
  // wrong with the file ("" when the library said nothing telling). What was
  // read before it is sound all the same.
  virtual std::optional<std::string> Damage() const = 0;
  // What the user is told once the file has opened, besides clipping ("" for nothing).
  virtual std::string Notice() const { return {}; }
};

// A file opened for decoding, or the text refusing it.
struct OpenedSource {
  std::unique_ptr<SoundSource> Source;
  std::string Refusal;    // for the user, when Source is empty
  bool NotSound = false;  // the refusal only says the library does not know the file
};

// `source` kept when its Open(name, notSound) refuses nothing (returns "").
template <typename Source>
OpenedSource OpenedFrom(std::unique_ptr<Source> source, const std::string& name) {
  OpenedSource opened;
  opened.Refusal = source->Open(name, opened.NotSound);
  if (opened.Refusal.empty()) opened.Source = std::move(source);
  return opened;
}

}  // namespace tavrin::decode
