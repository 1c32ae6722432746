#include "decode/sndfile_source.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "decode/header_patch.h"
#include "decode/open_texts.h"

namespace tavrin::decode {

namespace {

// libsndfile's texts end with a full stop; ours put them in brackets.
std::string Reason(const char* text) {
  std::string reason = text != nullptr ? text : "";
  while (!reason.empty() && (reason.back() == '.' || reason.back() == ' ')) reason.pop_back();
  return reason;
}

// libsndfile's numbers past the public five (sndfile.h): one that says the
// file's data is in a form it does not decode, those about channel counts,
// and from kFirstFormatError on those naming a fault in one format's header.
// The others speak of libsndfile's own state ("possibly a pipe?", "Internal
// error") and tell the user nothing.
constexpr int kUnimplementedError = 18;
constexpr int kFirstChannelError = 32;
constexpr int kLastChannelError = 34;
constexpr int kFirstFormatError = 61;

bool NotSound(int code) {
  return code == SF_ERR_UNRECOGNISED_FORMAT || code == SF_ERR_UNSUPPORTED_ENCODING ||
         code == kUnimplementedError;
}

// libsndfile's text for `code` when it says something of the file, else "".
std::string FileReason(int code, const char* text) {
  const bool telling = NotSound(code) || code == SF_ERR_SYSTEM ||
                       (code >= kFirstChannelError && code <= kLastChannelError) ||
                       code >= kFirstFormatError;
  std::string reason = Reason(text);
  if (!telling || reason.find("libsndfile") != std::string::npos) return {};
  static constexpr std::string_view kPrefix = "Error : ";
  if (reason.starts_with(kPrefix)) reason.erase(0, kPrefix.size());
  return reason;
}

// libsndfile's names for the speakers (sndfile.h) as ours.
Speaker SpeakerOfMapEntry(int position) {
  switch (position) {
  case SF_CHANNEL_MAP_LEFT:
  case SF_CHANNEL_MAP_FRONT_LEFT: return Speaker::FrontLeft;
  case SF_CHANNEL_MAP_RIGHT:
  case SF_CHANNEL_MAP_FRONT_RIGHT: return Speaker::FrontRight;
  case SF_CHANNEL_MAP_MONO:
  case SF_CHANNEL_MAP_CENTER:
  case SF_CHANNEL_MAP_FRONT_CENTER: return Speaker::FrontCenter;
  case SF_CHANNEL_MAP_REAR_CENTER: return Speaker::BackCenter;
  case SF_CHANNEL_MAP_REAR_LEFT: return Speaker::BackLeft;
  case SF_CHANNEL_MAP_REAR_RIGHT: return Speaker::BackRight;
  case SF_CHANNEL_MAP_LFE: return Speaker::LowFrequency;
  case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER: return Speaker::FrontLeftOfCenter;
  case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER: return Speaker::FrontRightOfCenter;
  case SF_CHANNEL_MAP_SIDE_LEFT: return Speaker::SideLeft;
  case SF_CHANNEL_MAP_SIDE_RIGHT: return Speaker::SideRight;
  case SF_CHANNEL_MAP_TOP_CENTER: return Speaker::TopCenter;
  case SF_CHANNEL_MAP_TOP_FRONT_LEFT: return Speaker::TopFrontLeft;
  case SF_CHANNEL_MAP_TOP_FRONT_RIGHT: return Speaker::TopFrontRight;
  case SF_CHANNEL_MAP_TOP_FRONT_CENTER: return Speaker::TopFrontCenter;
  case SF_CHANNEL_MAP_TOP_REAR_LEFT: return Speaker::TopBackLeft;
  case SF_CHANNEL_MAP_TOP_REAR_RIGHT: return Speaker::TopBackRight;
  case SF_CHANNEL_MAP_TOP_REAR_CENTER: return Speaker::TopBackCenter;
  default: return Speaker::Unknown;  // ambisonic components, or no position
  }
}

// FLAC's channel assignment for 3 to 8 channels.
std::vector<Speaker> FlacOrder(int channels) {
  using enum Speaker;
  switch (channels) {
  case 3: return {FrontLeft, FrontRight, FrontCenter};
  case 4: return {FrontLeft, FrontRight, BackLeft, BackRight};
  case 5: return {FrontLeft, FrontRight, FrontCenter, BackLeft, BackRight};
  case 6: return {FrontLeft, FrontRight, FrontCenter, LowFrequency, BackLeft, BackRight};
  case 7:
    return {FrontLeft, FrontRight, FrontCenter, LowFrequency, BackCenter, SideLeft, SideRight};
  case 8:
    return {FrontLeft, FrontRight, FrontCenter, LowFrequency,
            BackLeft,  BackRight,  SideLeft,    SideRight};
  default: return {};
  }
}

// Vorbis's order for 3 to 8 channels, which Opus's mapping family 1 shares.
std::vector<Speaker> VorbisOrder(int channels) {
  using enum Speaker;
  switch (channels) {
  case 3: return {FrontLeft, FrontCenter, FrontRight};
  case 4: return {FrontLeft, FrontRight, BackLeft, BackRight};
  case 5: return {FrontLeft, FrontCenter, FrontRight, BackLeft, BackRight};
  case 6: return {FrontLeft, FrontCenter, FrontRight, BackLeft, BackRight, LowFrequency};
  case 7:
    return {FrontLeft, FrontCenter, FrontRight, SideLeft, SideRight, BackCenter, LowFrequency};
  case 8:
    return {FrontLeft, FrontCenter, FrontRight, SideLeft,
            SideRight, BackLeft,    BackRight,  LowFrequency};
  default: return {};
  }
}

// The channel mapping family of the Ogg Opus stream on `fd` (its first page
// holds the OpusHead packet), or -1. Only family 1 has speakers for 3 or more
// channels; libsndfile hands the others out in their streams' order.
int OpusMappingFamily(int fd) {
  std::array<char, 512> page{};
  const ssize_t got = ::pread(fd, page.data(), page.size(), 0);
  if (got <= 0) return -1;
  static constexpr std::string_view kHead = "OpusHead";
  const std::string_view bytes(page.data(), static_cast<std::size_t>(got));
  const std::size_t at = bytes.find(kHead);
  constexpr std::size_t kFamilyOffset = 18;
  if (at == std::string_view::npos || at + kFamilyOffset >= bytes.size()) return -1;
  return static_cast<unsigned char>(bytes[at + kFamilyOffset]);
}

// The speakers of a file of 3 or more channels, empty when it does not say.
// Only the WAVEFORMATEXTENSIBLE formats' channel maps are asked for: for
// AIFF and CAF libsndfile may keep a map shorter than the channels (one
// sized by the layout's count), which the copy out would read past.
std::vector<Speaker> SpeakersOfFile(SNDFILE* sound, const SF_INFO& format, int fd) {
  const int type = format.format & SF_FORMAT_TYPEMASK;
  const int coding = format.format & SF_FORMAT_SUBMASK;
  if (format.channels < 3) return {};
  if (type == SF_FORMAT_WAV || type == SF_FORMAT_WAVEX || type == SF_FORMAT_W64 ||
      type == SF_FORMAT_RF64) {
    std::vector<int> map(static_cast<std::size_t>(format.channels));
    if (sf_command(sound, SFC_GET_CHANNEL_MAP_INFO, map.data(),
                   static_cast<int>(map.size() * sizeof(int))) != SF_TRUE) {
      return {};
    }
    std::vector<Speaker> speakers(map.size());
    std::transform(map.begin(), map.end(), speakers.begin(), SpeakerOfMapEntry);
    return speakers;
  }
  if (type == SF_FORMAT_FLAC) return FlacOrder(format.channels);
  if (coding == SF_FORMAT_VORBIS || (coding == SF_FORMAT_OPUS && OpusMappingFamily(fd) == 1)) {
    return VorbisOrder(format.channels);
  }
  return {};
}

class SndfileSource final : public SoundSource {
public:
  SndfileSource(int fd, std::int64_t fileBytes)
      : m_fd(fd), m_patch(PatchFor(fd, fileBytes)), m_patched(fd, fileBytes, m_patch) {}
  ~SndfileSource() override {
    if (m_sound) sf_close(m_sound);
  }
  SndfileSource(const SndfileSource&) = delete;
  SndfileSource& operator=(const SndfileSource&) = delete;

  // The refusal's text when libsndfile does not open the file, else "".
  std::string Open(const std::string& name, bool& notSound) {
    SF_INFO format{};
    m_sound = m_patched.Open(format);
    if (!m_sound) {
      const int code = sf_error(nullptr);
      const std::string reason = FileReason(code, sf_strerror(nullptr));
      // libsndfile spoke of itself (as for an MP3 cut to a few bytes): which
      // of the two is not known, and another decoder may know the file.
      notSound = NotSound(code) || (code != SF_ERR_MALFORMED_FILE && reason.empty());
      // libsndfile's own words there ("Format not recognised") add nothing.
      if (NotSound(code)) return NotSoundText(name, {});
      if (code == SF_ERR_MALFORMED_FILE) return DamagedText(name, {});
      if (reason.empty()) return name + " is damaged or not a sound file, so it can not be opened.";
      return DamagedText(name, reason);
    }
    m_shape.Rate = format.samplerate;
    m_shape.Channels = format.channels;
    m_shape.Speakers = SpeakersOfFile(m_sound, format, m_fd);
    // SF_COUNT_MAX: a stream whose length its header does not give (an Ogg file cut short).
    const sf_count_t stated = m_patch.StatedFrames > 0 ? m_patch.StatedFrames : format.frames;
    m_shape.StatedFrames = stated < SF_COUNT_MAX ? stated : kNotStated;
    // An MP3's length is only an estimate, from its first frame or an
    // information frame that may claim anything: what decodes counts.
    m_shape.Estimated = (format.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
    return {};
  }

  const SourceShape& Shape() const override { return m_shape; }
  std::int64_t Read(float* samples, std::int64_t frames) override {
    return sf_readf_float(m_sound, samples, frames);
  }
  std::optional<std::string> Damage() const override {
    const int code = sf_error(m_sound);
    if (code == SF_ERR_NO_ERROR) return std::nullopt;
    return FileReason(code, sf_strerror(m_sound));
  }

private:
  const int m_fd;
  const HeaderPatch m_patch;
  PatchedFile m_patched;
  SNDFILE* m_sound = nullptr;
  SourceShape m_shape;
};

}  // namespace

OpenedSource OpenWithSndfile(int fd, std::int64_t fileBytes, const std::string& name) {
  return OpenedFrom(std::make_unique<SndfileSource>(fd, fileBytes), name);
}

}  // namespace tavrin::decode
