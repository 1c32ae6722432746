// The MP3 writer on several threads with the real encoder library: a tone and
// a sweep saved on 1, 2 and 7 threads decode to the take to the sample, with
// no click or gap at a join, in files that mp3val passes and whose
// information frame tells players the take's length; the information frame
// rebuilt for a joined stream is the one LAME writes for a stream of its own.
#include <dlfcn.h>

#include <cmath>
#include <numbers>

#include "../e2e/tone_check.h"
#include "encoder_test_support.h"
#include "export/mp3_frames.h"
#include "export/mp3_pieces.h"

namespace tavrin::exporter::testing {
namespace {

constexpr std::uint32_t kTakeBuffers = 300;                // 30 s: seven pieces of over 4 s
constexpr std::int64_t kTakeFrames = kTakeBuffers * 4410;  // not a multiple of 1152
constexpr std::size_t kStereoInfoAt = 36;                  // after the header and side information

// An exponential sweep from 50 Hz to 12 kHz over `frames`, at half of full
// scale, the right channel a quarter turn ahead of the left.
std::vector<std::uint8_t> SweepBytes(std::int64_t frames) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames) * 4);
  const double seconds = static_cast<double>(frames) / 44100.0;
  const double rise = std::log(12000.0 / 50.0);
  for (std::int64_t n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / 44100.0;
    const double phase =
        2 * std::numbers::pi * 50.0 * seconds / rise * (std::exp(t / seconds * rise) - 1);
    const auto left = static_cast<std::int16_t>(std::lround(16384 * std::sin(phase)));
    const auto right = static_cast<std::int16_t>(std::lround(16384 * std::cos(phase)));
    std::memcpy(&bytes[static_cast<std::size_t>(n) * 4], &left, 2);
    std::memcpy(&bytes[static_cast<std::size_t>(n) * 4 + 2], &right, 2);
  }
  return bytes;
}

// Where each frame of `mp3` starts, the information frame first; empty when
// anything but whole frames is found.
std::vector<std::size_t> FrameStarts(const std::vector<std::uint8_t>& mp3) {
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at < mp3.size();) {
    const Mp3FrameHeader header = ParseMp3FrameHeader(mp3.data() + at, mp3.size() - at);
    if (header.Bytes == 0 || header.Bytes > mp3.size() - at) return {};
    starts.push_back(at);
    at += header.Bytes;
  }
  return starts;
}

std::uint32_t BigEndianAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
         std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

// What a player reads from the information frame.
struct InfoFields {
  std::string Text;
  std::int64_t Frames = 0;
  std::int64_t Bytes = 0;
  std::int64_t Delay = 0;
  std::int64_t Padding = 0;
};

InfoFields ReadInfo(const std::vector<std::uint8_t>& mp3, std::size_t at) {
  InfoFields info;
  info.Text.assign(mp3.begin() + static_cast<std::ptrdiff_t>(at),
                   mp3.begin() + static_cast<std::ptrdiff_t>(at) + 4);
  info.Frames = BigEndianAt(mp3, at + 8);
  info.Bytes = BigEndianAt(mp3, at + 12);
  info.Delay = mp3[at + 141] << 4 | mp3[at + 142] >> 4;
  info.Padding = (mp3[at + 142] & 0x0F) << 8 | mp3[at + 143];
  return info;
}

// The mp3val lines that name a fault (its note that the file has no ID3 tag is none).
std::string Mp3valFaults(const std::string& path, const std::string& report) {
  if (std::system(("mp3val '" + path + "' > '" + report + "' 2>&1").c_str()) != 0)
    return "mp3val failed";
  const std::vector<std::uint8_t> text = FileBytes(report);
  std::string faults;
  std::string line;
  for (const std::uint8_t c : text) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    if ((line.rfind("WARNING", 0) == 0 || line.rfind("ERROR", 0) == 0) &&
        line.find("No supported tags") == std::string::npos) {
      faults += line + "\n";
    }
    line.clear();
  }
  return faults;
}

// The length mediainfo reports, in milliseconds; -1 when it reports none.
long MediainfoMilliseconds(const std::string& path, const std::string& report) {
  const std::string command =
      "mediainfo --Inform='Audio;%Duration%' '" + path + "' > '" + report + "'";
  if (std::system(command.c_str()) != 0) return -1;
  const std::vector<std::uint8_t> text = FileBytes(report);
  const std::string digits(text.begin(), text.end());
  return digits.empty() ? -1 : std::atol(digits.c_str());
}

// The error against the source in each 1152-frame block, in dB of its energy.
std::vector<double> BlockErrorsDb(const Decoded& wav, const std::vector<std::uint8_t>& source) {
  std::vector<double> errors;
  const std::size_t samples = std::min(wav.Samples.size(), source.size() / 2);
  for (std::size_t first = 0; first + 2 * 1152 <= samples; first += 2 * 1152) {
    double energy = 1e-3;
    for (std::size_t i = first; i < first + 2 * 1152; ++i) {
      std::int16_t original = 0;
      std::memcpy(&original, &source[i * 2], 2);
      energy += std::pow(wav.Samples[i] - original, 2.0);
    }
    errors.push_back(10 * std::log10(energy));
  }
  return errors;
}

// The first block after each join in `frames`.
std::vector<std::int64_t> JoinBlocks(unsigned threads, std::int64_t frames) {
  const std::int64_t blocks = Mp3PieceFrames(frames, threads) / 1152;
  std::vector<std::int64_t> joins;
  for (std::int64_t join = blocks; threads > 1 && join * 1152 < frames; join += blocks) {
    joins.push_back(join);
  }
  return joins;
}

struct SaveCase {
  const char* Name;
  bool Sweep;
  bool Vbr;
  unsigned Threads;
  std::uint16_t LastBufferFrames = 4410;  // of sound in the take's last buffer
};

void PrintTo(const SaveCase& save, std::ostream* out) {
  *out << save.Name;
}

class ThreadedMp3Save : public SaveFixture {
protected:
  void SetUp() override {
    SaveFixture::SetUp();
    SetRows(0, {{1, kTakeBuffers, 1, true}});
    job.SaveFirst = 1;
    job.SaveLast = kTakeBuffers;
  }
  void MakeTake(const std::vector<std::uint8_t>& bytes) {
    MakeSource(state.Take.RawStream, "take.raw", bytes);
  }
};

class ThreadedMp3Saves : public ThreadedMp3Save, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(ThreadedMp3Saves, DecodeToTheTakeToTheSampleWithNoClickAtAJoin) {
  const SaveCase& save = GetParam();
  const std::vector<std::uint8_t> source =
      save.Sweep ? SweepBytes(kTakeFrames) : tavrin::testing::ToneBytes(kTakeFrames);
  MakeTake(source);
  state.Take.TakeLength = kTakeBuffers;
  state.Take.LastBufferFrames = save.LastBufferFrames;
  const std::int64_t frames = kTakeFrames - 4410 + save.LastBufferFrames;
  job.Threads = save.Threads;
  settings.VBR = save.Vbr;
  ASSERT_EQ(Save({kLameEnc}), WriteResult::Written);
  EXPECT_TRUE(messages.empty());
  for (std::size_t i = 1; i < progressSeen.size(); ++i) {
    EXPECT_GE(progressSeen[i], progressSeen[i - 1]);
    EXPECT_LT(progressSeen[i], 100.0f);
  }

  const std::vector<std::uint8_t> mp3 = FileBytes(job.OutputPath);
  const std::vector<std::size_t> starts = FrameStarts(mp3);
  ASSERT_GT(starts.size(), 1000u);
  // A player's reckoning: every audio frame counted, the whole file's bytes,
  // and the take's length once the encoder's delay and padding are taken off.
  const InfoFields info = ReadInfo(mp3, kStereoInfoAt);
  EXPECT_EQ(info.Text, save.Vbr ? "Xing" : "Info");
  EXPECT_EQ(info.Frames, static_cast<std::int64_t>(starts.size()) - 1);
  EXPECT_EQ(info.Bytes, static_cast<std::int64_t>(mp3.size()));
  EXPECT_EQ(info.Frames * 1152 - info.Delay - info.Padding, frames);
  // No frame borrows bytes from the frames before it (main_data_begin, the
  // first 9 bits after the header), so every join is a valid frame boundary.
  for (std::size_t i = 1; i < starts.size(); ++i) {
    ASSERT_EQ(mp3[starts[i] + 4] << 1 | mp3[starts[i] + 5] >> 7, 0) << "frame " << i;
  }
  EXPECT_EQ(Mp3valFaults(job.OutputPath, Folder() + "/mp3val.txt"), "");
  // mediainfo counts whole frames, delay and padding included: within 60 ms.
  // Without the frame count it would reckon a VBR file's length from the first frame's rate.
  EXPECT_NEAR(MediainfoMilliseconds(job.OutputPath, Folder() + "/mediainfo.txt"), frames / 44.1,
              60);

  const Decoded wav = DecodeWithLame(job.OutputPath, Folder() + "/decoded.wav");
  ASSERT_EQ(wav.Channels, 2);
  ASSERT_EQ(static_cast<std::int64_t>(wav.Samples.size()) / 2, frames);
  // A click, a gap or a shift at a join would stand out of the file's own
  // coding error; the first and last blocks hold the encoder's start and end.
  const std::vector<double> errors = BlockErrorsDb(wav, source);
  std::vector<double> sorted(errors.begin() + 2, errors.end() - 2);
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const double median = sorted[sorted.size() / 2];
  for (const std::int64_t join : JoinBlocks(save.Threads, frames)) {
    // The frames on either side of the join reach 576 frames before it and after it.
    for (std::int64_t block = join - 2; block <= join; ++block) {
      EXPECT_LE(errors[static_cast<std::size_t>(block)] - median, 3.0)
          << "block " << block << " at the join before block " << join << ", median " << median
          << " dB";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ToneAndSweep, ThreadedMp3Saves,
                         ::testing::Values(SaveCase{"ToneCbrOneThread", false, false, 1},
                                           SaveCase{"ToneCbrTwoThreads", false, false, 2},
                                           SaveCase{"ToneCbrSevenThreads", false, false, 7},
                                           SaveCase{"ToneVbrOneThread", false, true, 1},
                                           SaveCase{"ToneVbrTwoThreads", false, true, 2},
                                           SaveCase{"ToneVbrSevenThreads", false, true, 7},
                                           SaveCase{"SweepCbrOneThread", true, false, 1},
                                           SaveCase{"SweepCbrTwoThreads", true, false, 2},
                                           SaveCase{"SweepCbrSevenThreads", true, false, 7},
                                           SaveCase{"SweepVbrOneThread", true, true, 1},
                                           SaveCase{"SweepVbrTwoThreads", true, true, 2},
                                           SaveCase{"SweepVbrSevenThreads", true, true, 7},
                                           SaveCase{"ToneCbrOneThreadPart", false, false, 1, 2205},
                                           SaveCase{"SweepVbrSevenPart", true, true, 7, 2205}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ThreadedMp3Save, LameOwnInformationFrameIsRebuiltFromTheFramesAfterIt) {
  MakeTake(SweepBytes(kTakeFrames));
  job.Threads = 1;
  for (const bool vbr : {false, true}) {
    for (const std::int32_t mode : {0, 3}) {
      settings.VBR = vbr;
      settings.Mode = mode;
      ASSERT_EQ(Save({kLameEnc}), WriteResult::Written);
      const std::vector<std::uint8_t> mp3 = FileBytes(job.OutputPath);
      const std::vector<std::size_t> starts = FrameStarts(mp3);
      ASSERT_GT(starts.size(), 800u) << "more than 400 frames: the seek sums are thinned";
      InfoFrameTotals totals;
      for (std::size_t i = 1; i < starts.size(); ++i) {
        totals.Add(mp3.data() + starts[i], ParseMp3FrameHeader(mp3.data() + starts[i], 4));
      }
      const std::vector<std::uint8_t> lames(mp3.begin(),
                                            mp3.begin() + static_cast<std::ptrdiff_t>(starts[1]));
      std::vector<std::uint8_t> rebuilt = lames;
      // Blank what is rebuilt, so that nothing of LAME's own survives by chance.
      const std::size_t at = mode == 3 ? 21 : kStereoInfoAt;
      for (std::size_t i = at + 8; i < rebuilt.size(); ++i) {
        if (i < at + 116 || i == at + 143 || i >= at + 148) rebuilt[i] = 0;
      }
      ASSERT_TRUE(RewriteInfoFrame(rebuilt, totals, kTakeFrames));
      EXPECT_TRUE(rebuilt == lames) << (vbr ? "VBR" : "CBR") << " mode " << mode;
    }
  }
  std::vector<std::uint8_t> notInfo(417, 0);
  notInfo[0] = 0xFF;
  notInfo[1] = 0xFB;
  notInfo[2] = 0x90;
  EXPECT_FALSE(RewriteInfoFrame(notInfo, InfoFrameTotals{}, kTakeFrames));
}

TEST_F(ThreadedMp3Save, AnEncoderThatResamplesSavesAsOnOneThread) {
  // VBR quality 8 makes LAME resample to 22050 Hz: its frames leave the input's grid.
  MakeTake(tavrin::testing::ToneBytes(kTakeFrames));
  settings.VBR = true;
  settings.VBRQuality = 8;
  job.Threads = 1;
  ASSERT_EQ(Save({kLameEnc}), WriteResult::Written);
  const std::vector<std::uint8_t> oneThread = FileBytes(job.OutputPath);
  job.Threads = 4;
  ASSERT_EQ(Save({kLameEnc}), WriteResult::Written);
  EXPECT_TRUE(FileBytes(job.OutputPath) == oneThread);
}

TEST_F(ThreadedMp3Save, CancelStopsEveryThreadAndLeavesNoFile) {
  MakeTake(tavrin::testing::ToneBytes(kTakeFrames));
  job.Threads = 7;
  onProcessMessages = [this] {
    if (progressSeen.size() == 20) job.SaveActive = false;
  };
  EXPECT_EQ(Save({kLameEnc}), WriteResult::Cancelled);
  EXPECT_FALSE(OutputExists());
  EXPECT_TRUE(messages.empty());
}

TEST_F(ThreadedMp3Save, AStreamRefusedOnAnyThreadFailsTheSave) {
  MakeTake(tavrin::testing::ToneBytes(kTakeFrames));
  // The library's 16 streams, all but two taken: five of the seven workers are refused.
  void* library = ::dlopen(kLameEnc.c_str(), RTLD_NOW);
  ASSERT_NE(library, nullptr);
  auto init =
      reinterpret_cast<encoder::BeInitStreamEntry>(::dlsym(library, encoder::kBeInitStreamName));
  auto close =
      reinterpret_cast<encoder::BeCloseStreamEntry>(::dlsym(library, encoder::kBeCloseStreamName));
  std::vector<std::uint32_t> taken;
  for (int i = 0; i < 14; ++i) {
    encoder::EncoderConfig config = FillEncoderConfig(settings);
    std::uint32_t chunk = 0, bytes = 0, stream = 0;
    ASSERT_EQ(init(&config, &chunk, &bytes, &stream), 0u);
    taken.push_back(stream);
  }
  job.Threads = 7;
  EXPECT_EQ(Save({kLameEnc}), WriteResult::Failed);
  EXPECT_EQ(messages, std::vector<std::string>{"BE_ERR code-3"});
  EXPECT_FALSE(OutputExists());
  for (const std::uint32_t stream : taken) EXPECT_EQ(close(stream), 0u);
  ::dlclose(library);
}

}  // namespace
}  // namespace tavrin::exporter::testing
