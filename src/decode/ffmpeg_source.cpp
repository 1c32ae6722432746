#include "decode/ffmpeg_source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <functional>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "decode/ffmpeg_module.h"
#include "decode/ffmpeg_speakers.h"
#include "decode/open_texts.h"

namespace tavrin::decode {

namespace {

constexpr int kIoBufferBytes = 64 * 1024;
// A stated length may be rounded (Matroska keeps milliseconds): a tenth of a
// second short of it is no cut.
constexpr std::int64_t kSlackDivisor = 10;
// The most an AAC encoder pads the end with (two frames of HE-AAC).
constexpr std::size_t kMostPaddingFrames = 4096;
// No step of FFmpeg's (probing, the header, the stream information, a
// packet) may take longer on a local file; a demuxer still waiting then is
// interrupted and the file refused.
constexpr auto kStepDeadline = std::chrono::seconds(10);
// How often a step that runs long lets events run (the progress dialog, Cancel).
constexpr auto kPumpInterval = std::chrono::milliseconds(100);

// The only demuxers ever chosen, by FFmpeg's full names: the containers of
// phones, browsers, cameras and videos, and second readers for the formats
// libsndfile knows but not in every coding. None of them opens a protocol.
constexpr std::array<std::string_view, 20> kAllowedFormats{"mov,mp4,m4a,3gp,3g2,mj2",
                                                           "matroska,webm",
                                                           "asf",
                                                           "aac",
                                                           "ac3",
                                                           "eac3",
                                                           "amr",
                                                           "amrnb",
                                                           "amrwb",
                                                           "avi",
                                                           "mpeg",
                                                           "mpegts",
                                                           "wav",
                                                           "w64",
                                                           "aiff",
                                                           "caf",
                                                           "ogg",
                                                           "flac",
                                                           "mp3",
                                                           "loas"};

bool Allowed(const AVInputFormat& format) {
  return std::find(kAllowedFormats.begin(), kAllowedFormats.end(), format.name) !=
         kAllowedFormats.end();
}

// The same list in FFmpeg's own form, so that nothing FFmpeg opens by itself
// can be another demuxer.
const std::string& AllowedFormatList() {
  static const std::string list = [] {
    std::string joined;
    for (const std::string_view name : kAllowedFormats) {
      joined += (joined.empty() ? "" : ",") + std::string(name);
    }
    return joined;
  }();
  return list;
}

// Playlists and compositions: their sound is in the files they name.
bool NamesOtherFiles(const AVInputFormat& format) {
  static constexpr std::array<std::string_view, 4> kLists{"hls", "concat", "dash", "imf"};
  return std::find(kLists.begin(), kLists.end(), format.name) != kLists.end();
}

// FFmpeg's error in the user's words where it says something true of the
// file; "" where the word "damaged" says all there is.
std::string ReasonFor(int error) {
  if (error == AVERROR_EOF) return "it ends too early";
  if (error == AVERROR(ENOMEM)) return "there is not enough memory";
  if (error == AVERROR(EIO)) return "the disk could not read it";
  return {};
}

// One sample of a decoded frame as float, full scale 1.0.
template <typename T>
float ToFloat(T value) {
  if constexpr (std::is_same_v<T, std::uint8_t>)
    return (static_cast<float>(value) - 128.0f) / 128.0f;
  if constexpr (std::is_same_v<T, std::int16_t>) return static_cast<float>(value) / 32768.0f;
  if constexpr (std::is_same_v<T, std::int32_t>) return static_cast<float>(value) / 2147483648.0f;
  if constexpr (std::is_same_v<T, std::int64_t>) {
    return static_cast<float>(static_cast<double>(value) / 9223372036854775808.0);
  }
  if constexpr (std::is_floating_point_v<T>) return static_cast<float>(value);
}

// Frames first..first+count of `frame` into interleaved `out`.
template <typename T>
void Interleave(const AVFrame& frame, bool planar, int channels, int first, int count, float* out) {
  for (int c = 0; c < channels; ++c) {
    const auto* plane = reinterpret_cast<const T*>(frame.extended_data[planar ? c : 0]);
    const int step = planar ? 1 : channels;
    const T* in = plane + static_cast<std::ptrdiff_t>(first) * step + (planar ? 0 : c);
    for (int i = 0; i < count; ++i) out[i * channels + c] = ToFloat(in[i * step]);
  }
}

// False for a sample format no decoder gives today.
bool InterleaveAny(const AVFrame& frame, int channels, int first, int count, float* out) {
  const auto format = static_cast<AVSampleFormat>(frame.format);
  const bool planar = av_sample_fmt_is_planar(format) != 0;
  switch (av_get_packed_sample_fmt(format)) {
  case AV_SAMPLE_FMT_U8:
    Interleave<std::uint8_t>(frame, planar, channels, first, count, out);
    break;
  case AV_SAMPLE_FMT_S16:
    Interleave<std::int16_t>(frame, planar, channels, first, count, out);
    break;
  case AV_SAMPLE_FMT_S32:
    Interleave<std::int32_t>(frame, planar, channels, first, count, out);
    break;
  case AV_SAMPLE_FMT_S64:
    Interleave<std::int64_t>(frame, planar, channels, first, count, out);
    break;
  case AV_SAMPLE_FMT_FLT: Interleave<float>(frame, planar, channels, first, count, out); break;
  case AV_SAMPLE_FMT_DBL: Interleave<double>(frame, planar, channels, first, count, out); break;
  default: return false;
  }
  return true;
}

class FfmpegSource final : public SoundSource {
public:
  FfmpegSource(int fd, std::int64_t fileBytes, std::function<bool()> keepGoing)
      : m_fd(fd), m_fileBytes(fileBytes), m_keepGoing(std::move(keepGoing)) {}
  ~FfmpegSource() override {
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);  // leaves our own reader alone
    if (m_io) av_freep(&m_io->buffer);
    avio_context_free(&m_io);
  }
  FfmpegSource(const FfmpegSource&) = delete;
  FfmpegSource& operator=(const FfmpegSource&) = delete;

  std::string Open(const std::string& name, bool& notSound);

  const SourceShape& Shape() const override { return m_shape; }
  std::int64_t Read(float* samples, std::int64_t frames) override;
  std::optional<std::string> Damage() const override { return m_damage; }
  std::string Notice() const override { return m_notice; }

private:
  static int ReadBytes(void* self, std::uint8_t* bytes, int count);
  static std::int64_t SeekBytes(void* self, std::int64_t offset, int whence);
  static int Interrupted(void* self);
  static int RefuseOtherFiles(AVFormatContext* format, AVIOContext** io, const char* url, int flags,
                              AVDictionary** options);
  // Starts the deadline of the next step of FFmpeg's.
  void StartStep() { m_deadline = std::chrono::steady_clock::now() + kStepDeadline; }
  bool NextFrame();
  bool Fail(int error) {
    if (!m_cancelled) m_damage = Reason(error);
    return false;
  }
  bool Fail(std::string reason) {
    m_damage = std::move(reason);
    return false;
  }
  // What went wrong, in the user's words ("" when "damaged" says it all).
  std::string Reason(int error) const;
  std::string Refusal(const std::string& name, int error) const;
  std::string ChooseTrack(const std::string& name, bool& notSound);

  int m_fd;
  std::int64_t m_fileBytes;
  std::function<bool()> m_keepGoing;  // false: Cancel was pressed
  std::chrono::steady_clock::time_point m_deadline;
  std::chrono::steady_clock::time_point m_nextPump;
  bool m_cancelled = false;
  bool m_timedOut = false;
  bool m_referredElsewhere = false;  // a demuxer asked for another file or address
  AVIOContext* m_io = nullptr;
  AVFormatContext* m_format = nullptr;
  AVCodecContext* m_codec = nullptr;
  AVPacket* m_packet = av_packet_alloc();
  AVFrame* m_frame = av_frame_alloc();
  int m_track = -1;
  int m_used = 0;  // frames of m_frame already read out
  bool m_draining = false;
  std::int64_t m_decoded = 0;
  // Where an MP4's edit list ends the sound: the encoder's padding decoded
  // past it is held back, and dropped at the end.
  std::int64_t m_trimAt = kNotStated;
  std::vector<float> m_heldBack;
  std::size_t m_released = 0;  // samples of m_heldBack given out once trimming is given up
  SourceShape m_shape;
  std::optional<std::string> m_damage;
  std::string m_notice;
};

int FfmpegSource::ReadBytes(void* self, std::uint8_t* bytes, int count) {
  const auto& source = *static_cast<FfmpegSource*>(self);
  if (Interrupted(self) != 0) return AVERROR_EXIT;
  ssize_t got = 0;
  do {
    got = ::read(source.m_fd, bytes, static_cast<std::size_t>(count));
  } while (got < 0 && errno == EINTR);
  if (got < 0) return AVERROR(errno);
  return got == 0 ? AVERROR_EOF : static_cast<int>(got);
}

std::int64_t FfmpegSource::SeekBytes(void* self, std::int64_t offset, int whence) {
  const auto& source = *static_cast<FfmpegSource*>(self);
  if (whence == AVSEEK_SIZE) return source.m_fileBytes;
  const off_t at = ::lseek(source.m_fd, offset, whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : at;
}

int FfmpegSource::Interrupted(void* self) {
  auto& source = *static_cast<FfmpegSource*>(self);
  if (source.m_cancelled || source.m_timedOut) return 1;
  const auto now = std::chrono::steady_clock::now();
  if (now >= source.m_deadline) {
    source.m_timedOut = true;
    return 1;
  }
  if (source.m_keepGoing && now >= source.m_nextPump) {
    source.m_nextPump = now + kPumpInterval;
    source.m_cancelled = !source.m_keepGoing();
  }
  return source.m_cancelled ? 1 : 0;
}

// Should a demuxer still reach for another file or address, it is refused.
int FfmpegSource::RefuseOtherFiles(AVFormatContext* format, AVIOContext** /*io*/,
                                   const char* /*url*/, int /*flags*/, AVDictionary** /*options*/) {
  static_cast<FfmpegSource*>(format->opaque)->m_referredElsewhere = true;
  return AVERROR(EPERM);
}

std::string FfmpegSource::Reason(int error) const {
  if (m_timedOut) {
    return "reading it stalled for more than " +
           std::to_string(std::chrono::seconds(kStepDeadline).count()) + " s";
  }
  if (m_referredElsewhere) return "it refers to other files, and those are never opened";
  return ReasonFor(error);
}

std::string FfmpegSource::Refusal(const std::string& name, int error) const {
  return DamagedText(name, Reason(error));
}

std::string FfmpegSource::Open(const std::string& name, bool& notSound) {
  static std::once_flag quiet;
  // Every failure reaches the user as a message; nothing goes to a terminal.
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferBytes));
  if (buffer)
    m_io = avio_alloc_context(buffer, kIoBufferBytes, 0, this, ReadBytes, nullptr, SeekBytes);
  if (!m_io) av_free(buffer);
  m_format = avformat_alloc_context();
  if (!m_io || !m_format || !m_packet || !m_frame)
    return DamagedText(name, ReasonFor(AVERROR(ENOMEM)));
  // Another decoder may have read the file first.
  if (::lseek(m_fd, 0, SEEK_SET) != 0) return DamagedText(name, ReasonFor(AVERROR(EIO)));
  // Our reader is the only input: no protocol may open, no demuxer but ours
  // may be chosen, no other file may be asked for, and every step has a deadline.
  m_format->pb = m_io;
  m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
  m_format->opaque = this;
  m_format->io_open = RefuseOtherFiles;
  m_format->interrupt_callback = {Interrupted, this};
  if (av_opt_set(m_format, "protocol_whitelist", "", 0) < 0 ||
      av_opt_set(m_format, "format_whitelist", AllowedFormatList().c_str(), 0) < 0) {
    return name + " could not be opened: FFmpeg refused its safety settings.";
  }

  // By the bytes alone: a text file named .m4a is no damaged MP4.
  StartStep();
  const AVInputFormat* format = nullptr;
  if (av_probe_input_buffer2(m_io, &format, "", nullptr, 0, 0) < 0 || !format) {
    notSound = true;
    return NotSoundText(name, {});
  }
  if (NamesOtherFiles(*format)) return NotSoundText(name, "it is a list of other files");
  if (!Allowed(*format)) {
    notSound = true;
    return NotSoundText(name, {});
  }
  StartStep();
  if (const int error = avformat_open_input(&m_format, "", format, nullptr); error < 0) {
    return Refusal(name, error);  // m_format is freed and null
  }
  StartStep();
  if (const int error = avformat_find_stream_info(m_format, nullptr); error < 0) {
    return Refusal(name, error);
  }
  if (std::string refusal = ChooseTrack(name, notSound); !refusal.empty()) return refusal;
  // The shape is the decoded sound's (an AAC file's extension may double the
  // rate its header gives): the first frame is decoded now.
  if (!NextFrame()) return m_damage ? DamagedText(name, *m_damage) : EmptyText(name);
  m_shape.Rate = m_frame->sample_rate;
  m_shape.Channels = m_frame->ch_layout.nb_channels;
  m_shape.Speakers = SpeakersOf(m_frame->ch_layout);
  const AVStream& track = *m_format->streams[m_track];
  // A length the container states (an MP4's sample tables, Matroska's
  // duration to the millisecond) tells a file cut short; one FFmpeg guessed
  // from the bit rate or the last time stamp steers the progress only.
  m_shape.Estimated = m_format->duration_estimation_method != AVFMT_DURATION_FROM_STREAM;
  m_shape.StatedSlack = m_shape.Rate / kSlackDivisor;
  if (track.duration != AV_NOPTS_VALUE && track.duration > 0 && m_shape.Rate > 0) {
    m_shape.StatedFrames =
        av_rescale_q(track.duration, track.time_base, AVRational{1, m_shape.Rate});
    // An MP4 states its sound's end in its edit list, whatever the last frame holds.
    if (std::string_view(m_format->iformat->name).starts_with("mov,")) {
      m_trimAt = m_shape.StatedFrames;
    }
  } else if (m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0 && m_shape.Rate > 0) {
    m_shape.StatedFrames =
        av_rescale_q(m_format->duration, AVRational{1, AV_TIME_BASE}, AVRational{1, m_shape.Rate});
  }
  return {};
}

std::string FfmpegSource::ChooseTrack(const std::string& name, bool& notSound) {
  int tracks = 0;
  bool video = false;
  for (unsigned i = 0; i < m_format->nb_streams; ++i) {
    AVStream& stream = *m_format->streams[i];
    const AVMediaType type = stream.codecpar->codec_type;
    if (type == AVMEDIA_TYPE_AUDIO && ++tracks == 1) m_track = static_cast<int>(i);
    video = video ||
            (type == AVMEDIA_TYPE_VIDEO && (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) == 0);
    // The demuxer skips what is not decoded: a film's pictures are never read.
    if (m_track != static_cast<int>(i)) stream.discard = AVDISCARD_ALL;
  }
  if (tracks == 0) {
    if (video) {
      return name + " is a video without sound, so there is nothing to open.";
    }
    notSound = true;
    return NotSoundText(name, "no sound in it");
  }
  const AVCodecParameters& parameters = *m_format->streams[m_track]->codecpar;
  const AVCodec* decoder = avcodec_find_decoder(parameters.codec_id);
  if (!decoder) {
    const AVCodecDescriptor* codec = avcodec_descriptor_get(parameters.codec_id);
    if (!codec) return NotSoundText(name, "its sound is coded in a form no decoder here knows");
    return name + " holds " + codec->long_name + " sound, and no decoder for " + codec->name +
           " is installed, so it can not be opened.";
  }
  m_codec = avcodec_alloc_context3(decoder);
  if (!m_codec) return DamagedText(name, ReasonFor(AVERROR(ENOMEM)));
  int error = avcodec_parameters_to_context(m_codec, &parameters);
  // The time base lets the decoder drop the delay and padding the container states.
  m_codec->pkt_timebase = m_format->streams[m_track]->time_base;
  if (error >= 0) error = avcodec_open2(m_codec, decoder, nullptr);
  if (error < 0) return Refusal(name, error);
  if (tracks > 1) {
    const AVDictionaryEntry* language =
        av_dict_get(m_format->streams[m_track]->metadata, "language", nullptr, 0);
    m_notice = name + " has " + std::to_string(tracks) + " sound tracks; the first (" +
               decoder->name + (language ? std::string(", ") + language->value : "") +
               ") was opened.";
  }
  return {};
}

bool FfmpegSource::NextFrame() {
  av_frame_unref(m_frame);
  m_used = 0;
  StartStep();
  while (true) {
    int result = avcodec_receive_frame(m_codec, m_frame);
    if (result == 0) {
      if (m_frame->nb_samples > 0) return true;
      continue;
    }
    if (result == AVERROR_EOF) return false;
    if (result != AVERROR(EAGAIN) || m_draining) return Fail(result);
    result = av_read_frame(m_format, m_packet);
    if (result == AVERROR_EOF) {
      m_draining = true;
      result = avcodec_send_packet(m_codec, nullptr);
    } else if (result >= 0) {
      if (m_packet->stream_index == m_track) result = avcodec_send_packet(m_codec, m_packet);
      av_packet_unref(m_packet);
    }
    if (result < 0) return Fail(result);
  }
}

std::int64_t FfmpegSource::Read(float* samples, std::int64_t frames) {
  const int channels = m_shape.Channels;
  std::int64_t done = 0;
  while (done < frames && !m_damage && !m_cancelled) {
    if (m_trimAt == kNotStated && m_released < m_heldBack.size()) {  // found to be sound after all
      const std::size_t count = std::min<std::size_t>(
          static_cast<std::size_t>(frames - done) * channels, m_heldBack.size() - m_released);
      std::copy_n(m_heldBack.begin() + static_cast<std::ptrdiff_t>(m_released), count,
                  samples + done * channels);
      m_released += count;
      done += static_cast<std::int64_t>(count) / channels;
      continue;
    }
    if (m_used >= m_frame->nb_samples && !NextFrame()) break;
    if (m_frame->sample_rate != m_shape.Rate || m_frame->ch_layout.nb_channels != channels) {
      Fail("its sample rate or channels change midway");
      break;
    }
    int count =
        static_cast<int>(std::min<std::int64_t>(frames - done, m_frame->nb_samples - m_used));
    float* out = samples + done * channels;
    const bool past = m_trimAt != kNotStated && m_decoded + done >= m_trimAt;
    if (m_trimAt != kNotStated && !past) {
      count = static_cast<int>(std::min<std::int64_t>(count, m_trimAt - (m_decoded + done)));
    }
    if (past) {
      m_heldBack.resize(m_heldBack.size() + static_cast<std::size_t>(count) * channels);
      out = m_heldBack.data() + m_heldBack.size() - static_cast<std::size_t>(count) * channels;
    }
    if (!InterleaveAny(*m_frame, channels, m_used, count, out)) {
      Fail("its decoder gives samples in a form this program does not read");
      break;
    }
    m_used += count;
    if (!past) done += count;
    // More past the stated end than an encoder pads with: the statement was
    // wrong, and what was held back is sound after all.
    if (past && m_heldBack.size() > kMostPaddingFrames * static_cast<std::size_t>(channels)) {
      m_trimAt = kNotStated;
    }
  }
  // What decoded before a failure is handed out; the failure ends the next read.
  m_decoded += done;
  return done;
}

}  // namespace

}  // namespace tavrin::decode

// The module's one entry (ffmpeg_module.h); everything else in it is hidden.
extern "C" __attribute__((visibility("default"))) void TavrinFfmpegOpen(
    int fd, std::int64_t fileBytes, const std::string* name, const std::function<bool()>* keepGoing,
    tavrin::decode::OpenedSource* opened) {
  using tavrin::decode::FfmpegSource;
  *opened =
      tavrin::decode::OpenedFrom(std::make_unique<FfmpegSource>(fd, fileBytes, *keepGoing), *name);
}
