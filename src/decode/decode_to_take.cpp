#include "decode/decode_to_take.h"

#include <fcntl.h>
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
#include "decode/ffmpeg_source.h"
#include "decode/open_texts.h"
#include "decode/rate_converter.h"
#include "decode/sndfile_source.h"
#include "decode/stereo_mix.h"
#include "decode/take_filler.h"

namespace tavrin::decode {

namespace {

// Source samples decoded per read: 0.37 s of 44100 Hz stereo, and as many
// samples (fewer frames) of more channels.
constexpr std::int64_t kReadSamples = 32768;
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

std::string CanNotOpenText(const std::string& path, const std::string& reason) {
  return "Can not open " + path + ": " + reason;
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
// Not printf: the window's locale may write a decimal comma in an English sentence.
std::string TenthsText(double value) {
  char text[32];
  return {text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1).ptr};
}
std::string SecondsText(std::int64_t frames, int rate) {
  return TenthsText(static_cast<double>(frames) / rate) + " s";
}
std::string EndsEarlyText(const std::string& name, std::int64_t frames, std::int64_t stated,
                          int rate) {
  return name + " ends at " + SecondsText(frames, rate) + ", before the " +
         SecondsText(stated, rate) + " its header states; what there is was opened.";
}
std::string DamagedAfterText(const std::string& name, const std::string& reason,
                             std::int64_t frames, int rate) {
  return name + " is damaged after " + SecondsText(frames, rate) +
         (reason.empty() ? "" : " (" + reason + ")") + "; what came before was opened.";
}
// More clipped than this is told in a box, not only in the editor's status bar.
constexpr double kBoxClippedPercent = 1.0;
std::string EvenMixText(const std::string& name, int channels) {
  return name + " does not say which speaker each of its " + std::to_string(channels) +
         " channels is for; they were mixed evenly into both sides.";
}
std::string RateText(const std::string& name, int rate) {
  return name + " states a sample rate of " + std::to_string(rate) +
         " Hz, outside what sound files use, so it can not be opened.";
}
struct CloseDescriptor {
  void operator()(const int* fd) const { ::close(*fd); }
};
// Whole take buffers that `frames` at `rate` make at 44100 Hz, a part-buffer counted.
double TakeBuffersFor(std::int64_t frames, int rate) {
  return std::ceil(static_cast<double>(frames) * document::kSampleRate / rate /
                   document::kFramesPerBuffer);
}

// Percent of the source decoded: by the take frames written of those its
// length makes when its header gives that, else by the bytes read of the file.
float ProgressOf(std::uint64_t framesWritten, std::int64_t framesTotal, int rate, int fd,
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

  // libsndfile first, for the formats it has always opened; FFmpeg for the
  // containers it does not know, letting events run while a step of it is long.
  OpenedSource opened = OpenWithSndfile(fd, status.st_size, name);
  if (!opened.Source && opened.NotSound) {
    OpenedSource other = OpenWithFfmpeg(fd, status.st_size, name, [&] {
      user.Pump();
      return job.Active;
    });
    // When neither knows the file, libsndfile's reason stands.
    if (other.Source || !other.NotSound) opened = std::move(other);
  }
  if (!job.Active) return OpenResult::Cancelled;
  if (!opened.Source) return refuse(opened.Refusal);
  SoundSource& source = *opened.Source;
  const SourceShape& format = source.Shape();
  report.SourceRate = format.Rate;
  report.SourceChannels = format.Channels;
  if (format.Channels < 1 || format.Rate < 1) {
    return refuse(NotSoundText(name, "no channels or no sample rate"));
  }
  if (format.Rate < kLowestRate || format.Rate > kHighestRate) {
    return refuse(RateText(name, format.Rate));
  }
  if (format.StatedFrames == 0) return refuse(EmptyText(name));
  std::int64_t framesTotal = std::max<std::int64_t>(format.StatedFrames, 0);
  if (framesTotal > 0 && TakeBuffersFor(framesTotal, format.Rate) >= document::kTenHoursBuffers) {
    if (!format.Estimated) return refuse(TooLongText(name));
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
  const StereoMix mix(format.Channels, format.Speakers);
  std::optional<RateConverter> converter;
  if (format.Rate != document::kSampleRate) {
    converter.emplace(format.Rate, document::kSampleRate);
    if (!converter->Error().empty()) {
      return giveUp(OpenResult::Failed, NotConvertedText(name, converter));
    }
  }
  // Events run and Cancel is looked at by the work done: after every read,
  // and every kPumpFrames written, however many a read makes.
  std::uint64_t pumpedAt = 0;
  const auto letEventsRun = [&] {
    pumpedAt = filler.Frames();
    job.Progress = ProgressOf(pumpedAt, framesTotal, format.Rate, fd, status.st_size);
    user.Pump();
    return job.Active;
  };
  const RateConverter::Sink toTake = [&](const float* stereo, std::size_t frames) {
    return filler.Add(stereo, frames) &&
           (filler.Frames() - pumpedAt < kPumpFrames || letEventsRun());
  };

  // One pass: decode, mix, convert, write, measure.
  const std::int64_t readFrames = std::max<std::int64_t>(kReadSamples / format.Channels, 1);
  // Room for the stereo the source's frames are mixed into in place.
  std::vector<float> samples(static_cast<std::size_t>(readFrames) * std::max(format.Channels, 2));
  std::int64_t framesRead = 0;
  bool flowing = true;
  while (flowing) {
    const std::int64_t frames = source.Read(samples.data(), readFrames);
    if (frames <= 0) break;
    framesRead += frames;
    const auto count = static_cast<std::size_t>(frames);
    mix.Mix(samples.data(), samples.data(), count);
    flowing = converter ? converter->Process(samples.data(), count, toTake)
                        : toTake(samples.data(), count);
    if (!job.Active || (flowing && !letEventsRun())) return giveUp(OpenResult::Cancelled, {});
  }
  if (!job.Active) return giveUp(OpenResult::Cancelled, {});
  // A decoder error midway, or an end before the length the header states:
  // what decoded is kept and the user told (a phone that died mid-memo); a
  // file of which nothing decodes is refused.
  const std::optional<std::string> damage = flowing ? source.Damage() : std::nullopt;
  if (damage && framesRead == 0) return giveUp(OpenResult::Failed, DamagedText(name, *damage));
  std::string endedEarly;
  if (flowing && !format.Estimated && format.StatedFrames > 0 &&
      framesRead < format.StatedFrames - format.StatedSlack) {
    endedEarly = EndsEarlyText(name, framesRead, format.StatedFrames, format.Rate);
  } else if (damage) {
    endedEarly = DamagedAfterText(name, *damage, framesRead, format.Rate);
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
  loaded.FinishInFileOrder(filler.Buffers(), filler.LastBufferFrames());
  take = std::move(loaded);
  job.Progress = 100.0f;
  // What is missing first, then what the source has to say (which track
  // opened), then the mix and the clipping.
  message.clear();
  const std::string evenMix = mix.Even() ? EvenMixText(name, format.Channels) : std::string();
  for (const std::string& notice :
       {endedEarly, source.Notice(), evenMix, ClippingNotice(path, report)}) {
    if (!notice.empty()) message += (message.empty() ? "" : "\n") + notice;
  }
  report.Alarming = !endedEarly.empty() || ClippedPercent(report) > kBoxClippedPercent;
  return OpenResult::Opened;
}

double ClippedPercent(const OpenReport& report) {
  if (report.ClippedSamples == 0) return 0.0;
  return report.OutputSamples > report.ClippedSamples
             ? 100.0 * static_cast<double>(report.ClippedSamples) / report.OutputSamples
             : 100.0;
}

std::string ClippingNotice(const std::string& path, const OpenReport& report) {
  if (report.ClippedSamples == 0) return {};
  const double percent = ClippedPercent(report);
  return FileName(path) + ": " + (percent >= 0.05 ? TenthsText(percent) : "less than 0.1") +
         " % of its samples were louder than 16 bits can hold and were clipped.";
}

}  // namespace tavrin::decode
