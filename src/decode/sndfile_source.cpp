#include "decode/sndfile_source.h"

#include <sndfile.h>

#include <string_view>

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

class SndfileSource final : public SoundSource {
public:
  SndfileSource(int fd, std::int64_t fileBytes)
      : m_patch(PatchFor(fd, fileBytes)), m_patched(fd, fileBytes, m_patch) {}
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
