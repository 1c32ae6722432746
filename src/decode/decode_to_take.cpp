#include "decode/decode_to_take.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "base/error_text.h"
#include "decode/header_patch.h"
#include "decode/rate_converter.h"
#include "decode/stereo_mix.h"
#include "decode/take_filler.h"

namespace tavrin::decode {

namespace {

// Source samples decoded per read: 0.37 s of 44100 Hz stereo, and as many
// samples (fewer frames) of more channels.
constexpr sf_count_t kReadSamples = 32768;
// Take frames written between two looks at events and Cancel: 0.19 s of
// sound, a few milliseconds of work even where a low rate is converted up
// 44 times and one read makes 16 s of take.
constexpr std::uint64_t kPumpFrames = 8192;
// The rates sound files are made at; a header outside them is damaged, and
// converting 2 Hz up to 44100 would make hours of take from a second of data.
constexpr int kLowestRate = 1000;
constexpr int kHighestRate = 768000;

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

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

std::string CanNotOpenText(const std::string& path, const std::string& reason) {
  return "Can not open " + path + ": " + reason;
}
std::string InBrackets(const std::string& reason) {
  return reason.empty() ? "." : " (" + reason + ").";
}
std::string NotSoundText(const std::string& name, const std::string& reason) {
  return name + " is not a sound file this program can open" + InBrackets(reason);
}
std::string DamagedText(const std::string& name, const std::string& reason) {
  return name + " is damaged, so it can not be opened" + InBrackets(reason);
}
// What libsndfile's refusal to open a file means to the user.
std::string OpenFailureText(const std::string& name, int code, const char* text) {
  const std::string reason = FileReason(code, text);
  if (NotSound(code)) return NotSoundText(name, reason);
  if (code == SF_ERR_MALFORMED_FILE) return DamagedText(name, {});
  // libsndfile spoke of itself (as for an MP3 cut to a few bytes): which of the two is not known.
  if (reason.empty()) return name + " is damaged or not a sound file, so it can not be opened.";
  return DamagedText(name, reason);
}
std::string TooLongText(const std::string& name) {
  return name + " is longer than 10 hours, so it can not be opened.";
}
std::string NotConvertedText(const std::string& name,
                             const std::optional<RateConverter>& converter) {
  return name + " can not be converted to 44100 Hz (libsoxr: " +
         (converter ? converter->Error() : std::string("not started")) + ").";
}
// A work file that could not be made or written: the file being opened is named too.
std::string WorkFileText(const std::string& name, const std::string& drive, int error) {
  return name + " could not be opened: " + base::FileErrorText(drive, error) + ".";
}
std::string RateText(const std::string& name, int rate) {
  return name + " states a sample rate of " + std::to_string(rate) +
         " Hz, outside what sound files use, so it can not be opened.";
}
std::string EmptyText(const std::string& name) {
  return name + " holds no sound, so there is nothing to open.";
}

struct CloseDescriptor {
  void operator()(const int* fd) const { ::close(*fd); }
};
struct CloseSound {
  void operator()(SNDFILE* sound) const { sf_close(sound); }
};

// Whole take buffers that `frames` at `rate` make at 44100 Hz, a part-buffer counted.
double TakeBuffersFor(sf_count_t frames, int rate) {
  return std::ceil(static_cast<double>(frames) * document::kSampleRate / rate /
                   document::kFramesPerBuffer);
}

// Percent of the source decoded: by the take frames written of those its
// length makes when its header gives that, else by the bytes read of the file.
float ProgressOf(std::uint64_t framesWritten, sf_count_t framesTotal, int rate, int fd,
                 std::int64_t fileBytes) {
  double part = 0.0;
  if (framesTotal > 0) {
    part = static_cast<double>(framesWritten) /
           (static_cast<double>(framesTotal) * document::kSampleRate / rate);
  } else if (fileBytes > 0) {
    part = static_cast<double>(::lseek(fd, 0, SEEK_CUR)) / static_cast<double>(fileBytes);
  }
  return static_cast<float>(std::clamp(part, 0.0, 1.0) * 100.0);
}

}  // namespace

OpenResult DecodeToTake(const std::string& path, const std::string& workPath, OpenJob& job,
                        const base::UserChannel& user, document::Take& take, OpenReport& report,
                        std::string& message) {
  const std::string name = FileName(path);
  report = {};
  const auto refuse = [&message](std::string text) {
    message = std::move(text);
    return OpenResult::Failed;
  };
  // Not blocking: a pipe dropped on the window must not hang it waiting for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return refuse(CanNotOpenText(path, std::strerror(errno)));
  const std::unique_ptr<const int, CloseDescriptor> fdCloser(&fd);
  struct stat status {};
  if (::fstat(fd, &status) != 0) return refuse(CanNotOpenText(path, std::strerror(errno)));
  if (!S_ISREG(status.st_mode)) {
    return refuse(CanNotOpenText(
        path, S_ISDIR(status.st_mode) ? std::strerror(EISDIR) : "it is not a plain file"));
  }
  if (status.st_size == 0) return refuse(EmptyText(name));
  static_cast<void>(::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL));

  SF_INFO format{};
  const HeaderPatch patch = PatchFor(fd, status.st_size);
  PatchedFile patched(fd, status.st_size, patch);
  const std::unique_ptr<SNDFILE, CloseSound> sound(patched.Open(format));
  if (!sound) return refuse(OpenFailureText(name, sf_error(nullptr), sf_strerror(nullptr)));
  report.SourceRate = format.samplerate;
  report.SourceChannels = format.channels;
  if (format.channels < 1 || format.samplerate < 1) {
    return refuse(NotSoundText(name, "no channels or no sample rate"));
  }
  if (format.samplerate < kLowestRate || format.samplerate > kHighestRate) {
    return refuse(RateText(name, format.samplerate));
  }
  if (format.frames == 0) return refuse(EmptyText(name));
  // An MP3's length is only an estimate, from its first frame or an
  // information frame that may claim anything: what decodes counts.
  const bool estimated = (format.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
  // SF_COUNT_MAX: a stream whose length its header does not give (an Ogg file
  // cut short); the limit is then kept while decoding.
  const sf_count_t stated = patch.StatedFrames > 0 ? patch.StatedFrames : format.frames;
  sf_count_t framesTotal = stated < SF_COUNT_MAX ? stated : 0;
  if (framesTotal > 0 &&
      TakeBuffersFor(framesTotal, format.samplerate) >= document::kTenHoursBuffers) {
    if (!estimated) return refuse(TooLongText(name));
    framesTotal = 0;
  }

  const std::string drive =
      base::MountPointOf(std::filesystem::path(workPath).parent_path().string());
  base::File work;
  if (const int error = work.Create(workPath); error != 0) {
    return refuse(WorkFileText(name, drive, error));
  }
  const auto giveUp = [&](OpenResult result, std::string text) {
    static_cast<void>(work.Close());
    static_cast<void>(::unlink(workPath.c_str()));
    refuse(std::move(text));
    return result;
  };

  // Made whole on the side: `take` changes only once nothing can fail.
  document::Take loaded;
  loaded.SizePeaks();
  TakeFiller filler(work, loaded.Peaks, report.ClippedSamples);
  const StereoMix mix(format.channels);
  std::optional<RateConverter> converter;
  if (format.samplerate != document::kSampleRate) {
    converter.emplace(format.samplerate, document::kSampleRate);
    if (!converter->Error().empty()) {
      return giveUp(OpenResult::Failed, NotConvertedText(name, converter));
    }
  }
  // Events run and Cancel is looked at by the work done: after every read,
  // and every kPumpFrames written, however many a read makes.
  std::uint64_t pumpedAt = 0;
  const auto letEventsRun = [&] {
    pumpedAt = filler.Frames();
    job.Progress = ProgressOf(pumpedAt, framesTotal, format.samplerate, fd, status.st_size);
    user.Pump();
    return job.Active;
  };
  const RateConverter::Sink toTake = [&](const float* stereo, std::size_t frames) {
    return filler.Add(stereo, frames) &&
           (filler.Frames() - pumpedAt < kPumpFrames || letEventsRun());
  };

  // One pass: decode, mix, convert, write, measure.
  const sf_count_t readFrames = std::max<sf_count_t>(kReadSamples / format.channels, 1);
  // Room for the stereo the source's frames are mixed into in place.
  std::vector<float> samples(static_cast<std::size_t>(readFrames) * std::max(format.channels, 2));
  sf_count_t framesRead = 0;
  bool flowing = true;
  while (flowing) {
    const sf_count_t frames = sf_readf_float(sound.get(), samples.data(), readFrames);
    if (frames <= 0) break;
    framesRead += frames;
    const auto count = static_cast<std::size_t>(frames);
    mix.Mix(samples.data(), samples.data(), count);
    flowing = converter ? converter->Process(samples.data(), count, toTake)
                        : toTake(samples.data(), count);
    if (!job.Active || (flowing && !letEventsRun())) return giveUp(OpenResult::Cancelled, {});
  }
  // A decoder error midway, or an end before the length the header states,
  // refuses the file: what follows would be lost without a word. A WAV or
  // AIFF cut short states no more than it holds (libsndfile counts the frames
  // there), so it opens with them; an MP3's length is only an estimate.
  if (flowing && sf_error(sound.get()) != SF_ERR_NO_ERROR) {
    return giveUp(OpenResult::Failed,
                  DamagedText(name, FileReason(sf_error(sound.get()), sf_strerror(sound.get()))));
  }
  if (flowing && framesRead < framesTotal && !estimated) {
    return giveUp(OpenResult::Failed, DamagedText(name, "it ends before its header says"));
  }
  if (flowing && converter) flowing = converter->Finish(toTake);
  if (!job.Active) return giveUp(OpenResult::Cancelled, {});
  if (flowing) flowing = filler.Finish();
  if (filler.TooLong()) return giveUp(OpenResult::Failed, TooLongText(name));
  if (filler.WriteError() != 0) {
    return giveUp(OpenResult::Failed, WorkFileText(name, drive, filler.WriteError()));
  }
  if (!flowing) return giveUp(OpenResult::Failed, NotConvertedText(name, converter));
  if (filler.Buffers() == 0) return giveUp(OpenResult::Failed, EmptyText(name));

  report.OutputSamples = 2 * filler.Frames();
  loaded.RawStream = std::move(work);
  loaded.RawPath = workPath;
  loaded.FinishInFileOrder(filler.Buffers());
  take = std::move(loaded);
  job.Progress = 100.0f;
  message = ClippingNotice(path, report);
  return OpenResult::Opened;
}

std::string ClippingNotice(const std::string& path, const OpenReport& report) {
  if (report.ClippedSamples == 0) return {};
  const double percent =
      report.OutputSamples > report.ClippedSamples
          ? 100.0 * static_cast<double>(report.ClippedSamples) / report.OutputSamples
          : 100.0;
  std::string amount = "less than 0.1";
  if (percent >= 0.05) {
    // Not printf: the window's locale may write a decimal comma in an English sentence.
    char text[16];
    amount.assign(
        text, std::to_chars(text, text + sizeof text, percent, std::chars_format::fixed, 1).ptr);
  }
  return FileName(path) + ": " + amount +
         " % of its samples were louder than 16 bits can hold and were clipped.";
}

}  // namespace tavrin::decode
