// Opening sound files: our own saves come back at their length (bit for bit
// at 44100/16/stereo), other rates and widths, surround mixed down as ffmpeg
// mixes it, the containers of phones, browsers and videos made by the ffmpeg
// command line, and every refusal leaves the take as it was and no work file.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <tuple>

#include "decode/decode_to_take.h"
#include "decode/ffmpeg_module.h"
#include "export/flac_writer.h"
#include "export/mp3_writer.h"
#include "export/opus_writer.h"
#include "export_rig.h"
#include "small_file_system.h"

namespace tavrin::decode {
namespace {

namespace fs = std::filesystem;
using exporter::Bytes;
using exporter::Put;

exporter::WriteResult WriteOurMp3(exporter::ExportContext& context) {
  return exporter::WriteMp3(context, {TAVRIN_LAME_ENC_PATH});
}

// A WAV header for `dataBytes` of PCM (format 1) or float (format 3) audio, then `data`.
Bytes WavFile(int format, int channels, int rate, int bits, std::uint32_t dataBytes,
              const Bytes& data = {}) {
  Bytes file = exporter::WavHeader(format, channels, rate, rate * channels * bits / 8,
                                   channels * bits / 8, bits, dataBytes);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

// Big-endian fields, as FLAC, AIFF and MP3 headers hold them.
std::uint32_t BigAt(const Bytes& bytes, std::size_t at) {
  return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
         std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}
void PutBig(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

std::int16_t SampleOf(const Bytes& take, std::size_t frame, int channel) {
  return static_cast<std::int16_t>(exporter::Le(take, 4 * frame + 2 * channel, 2));
}

class Decode : public exporter::WriterRig {
protected:
  void SetUp() override {
    WriterRig::SetUp();
    Opened.RawPath = "the recorder's take";
    Opened.TakeLength = 7;
  }

  OpenResult Open(const std::string& path) {
    Job = OpenJob{};
    return DecodeToTake(path, WorkPath, Job, {{}, {}, [this] { OnPump(); }}, Opened, Report,
                        Message);
  }
  // Saves the take made last by `writer` as `name` and opens that file.
  OpenResult SaveAndOpen(const std::string& name,
                         exporter::WriteResult (*writer)(exporter::ExportContext&)) {
    WriterRig::Job.OutputPath = (Root / name).string();
    EXPECT_EQ(Write(writer), exporter::WriteResult::Written);
    return Open(WriterRig::Job.OutputPath);
  }
  std::string At(const std::string& name) const { return (Root / name).string(); }
  // Back to the take before the last opening, its work file gone.
  void ForgetOpened() {
    Opened = {};
    Opened.RawPath = "the recorder's take";
    Opened.TakeLength = 7;
    fs::remove(WorkPath);
  }
  void Save(const std::string& name, const Bytes& bytes) {
    std::ofstream(At(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  }
  Bytes WorkBytes() const { return tavrin::testing::FileBytes(WorkPath); }
  void ExpectRefused(const std::string& path, const std::string& text) {
    EXPECT_EQ(Open(path), OpenResult::Failed);
    EXPECT_EQ(Message.rfind(text, 0), 0u) << Message;
    EXPECT_EQ(Opened.RawPath, "the recorder's take");
    EXPECT_EQ(Opened.TakeLength, 7u);
    EXPECT_FALSE(fs::exists(WorkPath));
  }

  std::string WorkPath = At("Open.raw");
  OpenJob Job;
  OpenReport Report;
  std::string Message;
  document::Take Opened;
  std::function<void()> OnPump = [] {};
};

TEST_F(Decode, WavAndFlacAt44100StereoComeBackBitForBitWithTheirPeaks) {
  MakeTake(5);
  Bytes take(5 * exporter::kBlockBytes);
  ASSERT_EQ(State.Take.RawStream.ReadAt(0, take.data(), take.size()), 0);
  for (const auto& [name, writer] :
       {std::pair{"same.wav", &exporter::WriteWav}, std::pair{"same.flac", &exporter::WriteFlac}}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(SaveAndOpen(name, writer), OpenResult::Opened) << Message;
    EXPECT_EQ(Opened.TakeLength, 5u);
    EXPECT_EQ(Opened.FinishedRecordedBuffers, 5u);
    EXPECT_EQ(Opened.RawPath, WorkPath);
    EXPECT_TRUE(WorkBytes() == take);
    EXPECT_EQ(Report.SourceRate, 44100);
    EXPECT_EQ(Report.ClippedSamples, 0u);
    EXPECT_EQ(Message, "");  // nothing to tell of a file that opened whole
    EXPECT_FLOAT_EQ(Job.Progress, 100.0f);
    const document::BufferPeaks third = document::MeasurePeaks(take.data() + 2 * 17640, 4410);
    EXPECT_EQ(Opened.Peaks[3].MaxLeft, third.MaxLeft);
    EXPECT_EQ(Opened.Peaks[3].MinRight, third.MinRight);
  }
  // Headers that state half the audio, a FLAC's total samples and an AIFF's
  // sound-data offset: all of it opens all the same.
  Bytes flac = tavrin::testing::FileBytes(At("same.flac"));
  ASSERT_EQ(flac[21] & 0x0F, 0);
  ASSERT_EQ(BigAt(flac, 22), 5u * 4410);
  PutBig(flac, 22, 5 * 4410 / 2);
  Save("half.flac", flac);
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
  SNDFILE* aiff = sf_open(At("half.aiff").c_str(), SFM_WRITE, &info);
  ASSERT_NE(aiff, nullptr) << sf_strerror(nullptr);
  std::vector<short> shorts(take.size() / 2);
  std::memcpy(shorts.data(), take.data(), take.size());
  EXPECT_EQ(sf_writef_short(aiff, shorts.data(), 5 * 4410), 5 * 4410);
  ASSERT_EQ(sf_close(aiff), 0);
  Bytes half = tavrin::testing::FileBytes(At("half.aiff"));
  const std::size_t ssnd =
      std::search(half.begin(), half.end(), std::begin("SSND"), std::begin("SSND") + 4) -
      half.begin();
  ASSERT_EQ(BigAt(half, ssnd + 4), take.size() + 8);
  PutBig(half, ssnd + 8, static_cast<std::uint32_t>(take.size() / 2));
  Save("half.aiff", half);
  for (const char* name : {"half.flac", "half.aiff"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(Open(At(name)), OpenResult::Opened) << Message;
    EXPECT_EQ(Opened.TakeLength, 5u);
    EXPECT_TRUE(WorkBytes() == take);
  }
}

// 443205 frames, no whole number of buffers: the take knows its last
// buffer's sound, and saved again it is the same WAV file.
TEST_F(Decode, AFileOfPartBuffersSavesBackAtItsExactLength) {
  Bytes data;
  for (std::uint32_t block = 1; block <= 101; ++block) {
    const Bytes part = exporter::PatternBlock(1, block);
    data.insert(data.end(), part.begin(), part.begin() + (block == 101 ? 2205 * 4 : 17640));
  }
  const Bytes wav = WavFile(1, 2, 44100, 16, static_cast<std::uint32_t>(data.size()), data);
  Save("part.wav", wav);
  ASSERT_EQ(Open(At("part.wav")), OpenResult::Opened) << Message;
  EXPECT_EQ(Opened.TakeLength, 101u);
  EXPECT_EQ(Opened.LastBufferFrames, 2205u);
  State.Take = std::move(Opened);
  document::BuildLevelZero(Document, State.Take);
  WriterRig::Job.SaveLast = 101;
  WriterRig::Job.OutputPath = At("again.wav");
  ASSERT_EQ(Write(exporter::WriteWav), exporter::WriteResult::Written);
  EXPECT_TRUE(tavrin::testing::FileBytes(At("again.wav")) == wav);
}

TEST_F(Decode, EveryWavFormatAndTheCompressedOnesOpenAtTheirLength) {
  MakeTake(5);
  for (const std::int32_t rate : {44100, 22050, 11025}) {
    for (const std::uint16_t channels : {2, 1}) {
      for (const std::uint16_t bits : {16, 8}) {
        SCOPED_TRACE(std::to_string(rate) + "/" + std::to_string(channels) + "/" +
                     std::to_string(bits));
        SetFormat(rate, bits, channels);
        ASSERT_EQ(SaveAndOpen("format.wav", exporter::WriteWav), OpenResult::Opened) << Message;
        // A block at 11025 Hz is 1103 frames: the file is a little over 5 buffers.
        const auto frames = (fs::file_size(WriterRig::Job.OutputPath) - 44) / (channels * bits / 8);
        EXPECT_EQ(Opened.TakeLength, (frames * 44100 / rate + 4409) / 4410);
        EXPECT_EQ(Report.SourceChannels, channels);
        const Bytes work = WorkBytes();
        for (std::size_t frame = 0; frame < 4410 && rate == 44100; frame += 97) {
          // Mono keeps the left channel; 8 bits keep the high byte.
          const int mask = bits == 8 ? 0xFF00 : 0xFFFF;
          const auto left =
              static_cast<std::int16_t>(exporter::PatternSample(1, 1, frame, 0) & mask);
          const auto right = static_cast<std::int16_t>(
              exporter::PatternSample(1, 1, frame, channels == 1 ? 0 : 1) & mask);
          ASSERT_EQ(SampleOf(work, frame, 0), left) << frame;
          ASSERT_EQ(SampleOf(work, frame, 1), right) << frame;
        }
      }
    }
  }
  // At most a buffer more than the take, should a decoder leave out the information frame.
  ASSERT_EQ(SaveAndOpen("take.mp3", WriteOurMp3), OpenResult::Opened) << Message;
  EXPECT_GE(Opened.TakeLength, 5u);
  EXPECT_LE(Opened.TakeLength, 6u);
  // An information frame (MPEG-1 layer III, 128 kbit/s, 417 bytes) in front,
  // claiming 2^32 - 1 frames: the MP3 opens at the length that decodes.
  Bytes xing(417, 0);
  PutBig(xing, 0, 0xFFFB9000);   // the frame header
  PutBig(xing, 36, 0x58696E67);  // "Xing", after 32 bytes of side information
  PutBig(xing, 40, 1);           // flags: a frame count follows
  PutBig(xing, 44, 0xFFFFFFFF);
  const Bytes frames = tavrin::testing::FileBytes(WriterRig::Job.OutputPath);
  xing.insert(xing.end(), frames.begin(), frames.end());
  Save("claims.mp3", xing);
  ASSERT_EQ(Open(At("claims.mp3")), OpenResult::Opened) << Message;
  EXPECT_GE(Opened.TakeLength, 5u);
  EXPECT_LE(Opened.TakeLength, 6u);
  // Ogg Opus from our own writer (48 kHz inside), Ogg Vorbis written by libsndfile.
  ASSERT_EQ(SaveAndOpen("take.opus", exporter::WriteOpus), OpenResult::Opened) << Message;
  EXPECT_EQ(Opened.TakeLength, 5u);
  const std::string vorbis = At("take.ogg");
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
  SNDFILE* out = sf_open(vorbis.c_str(), SFM_WRITE, &info);
  ASSERT_NE(out, nullptr) << sf_strerror(nullptr);
  const std::vector<short> tone(2 * 4410 * 5, 8000);
  EXPECT_EQ(sf_writef_short(out, tone.data(), 4410 * 5), 4410 * 5);
  ASSERT_EQ(sf_close(out), 0);
  ASSERT_EQ(Open(vorbis), OpenResult::Opened) << Message;
  EXPECT_EQ(Opened.TakeLength, 5u);
  EXPECT_NEAR(Opened.Peaks[3].MaxLeft, 8000, 400);
}

TEST_F(Decode, OtherRatesAndWidthsKeepLengthAndLevel) {
  for (const std::string format : {"-r 48000 -b 16", "-r 96000 -b 24"}) {
    SCOPED_TRACE(format);
    const std::string sox = "sox -n -c 2 " + format + " " + At("tone.wav");
    ASSERT_EQ(std::system((sox + " synth 1 sine 1000 vol 0.5").c_str()), 0);
    ASSERT_EQ(Open(At("tone.wav")), OpenResult::Opened) << Message;
    EXPECT_EQ(Opened.TakeLength, 10u);
    EXPECT_NEAR(Opened.Peaks[5].MaxLeft, 16384, 160);
    EXPECT_NEAR(Opened.Peaks[5].MinRight, -16384, 160);
  }
}

TEST_F(Decode, ChannelsWithoutSpeakersMixEvenlyAndFloatRoundsAndClips) {
  // A plain PCM WAV names no speakers: six and three channels, each a
  // constant, go evenly into both sides, and the user is told.
  for (const std::vector<int>& source :
       {std::vector<int>{8000, -4000, 2000, 30000, 1000, -3000}, {8000, -4000, 2000}}) {
    Bytes data;
    for (int frame = 0; frame < 4410; ++frame) {
      for (const int value : source) Put(data, static_cast<std::uint16_t>(value), 2);
    }
    const auto channels = static_cast<int>(source.size());
    const double even = std::accumulate(source.begin(), source.end(), 0.0) / channels;
    Save("many.wav", WavFile(1, channels, 44100, 16, data.size(), data));
    ASSERT_EQ(Open(At("many.wav")), OpenResult::Opened) << Message;
    EXPECT_NEAR(SampleOf(WorkBytes(), 100, 0), even, 1.0);
    EXPECT_NEAR(SampleOf(WorkBytes(), 100, 1), even, 1.0);
    EXPECT_EQ(Message, "many.wav does not say which speaker each of its " +
                           std::to_string(channels) +
                           " channels is for; they were mixed evenly into both sides.");
  }
  // Float frames: halves round to even, beyond full scale clips (counted).
  const std::vector<float> values{2.5f / 32768, 3.5f / 32768, 1.5f, -2.0f};
  Bytes data;
  for (const float value : values) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    Put(data, bits, 4);
  }
  Save("float.wav", WavFile(3, 2, 44100, 32, data.size(), data));
  ASSERT_EQ(Open(At("float.wav")), OpenResult::Opened) << Message;
  const Bytes work = WorkBytes();
  EXPECT_EQ(SampleOf(work, 0, 0), 2);
  EXPECT_EQ(SampleOf(work, 0, 1), 4);
  EXPECT_EQ(SampleOf(work, 1, 0), 32767);
  EXPECT_EQ(SampleOf(work, 1, 1), -32768);
  EXPECT_EQ(SampleOf(work, 2, 0), 0);  // the part-buffer padded with silence
  EXPECT_EQ(Report.ClippedSamples, 2u);
  EXPECT_EQ(Opened.TakeLength, 1u);
  EXPECT_EQ(Opened.LastBufferFrames, 2u);
  // Of the four samples decoded, not of the buffer they are padded to.
  EXPECT_EQ(Message,
            "float.wav: 50.0 % of its samples were louder than 16 bits can hold and were clipped.");
  // Rounding to a tenth must not make a clipped sample 0.0 %.
  for (const auto& [clipped, amount] : {std::pair{1u, "less than 0.1 %"},
                                        {44u, "less than 0.1 %"},
                                        {45u, "0.1 %"},
                                        {88200u, "100.0 %"}}) {
    const OpenReport report{44100, 2, clipped, 88200};
    EXPECT_EQ(ClippingNotice("/a/b.wav", report),
              std::string("b.wav: ") + amount +
                  " of its samples were louder than 16 bits can hold and were clipped.");
  }
}

TEST_F(Decode, RefusalsSayWhyAndChangeNothing) {
  Save("text.wav", Bytes(200, 'x'));
  ExpectRefused(At("text.wav"), "text.wav is not a sound file this program can open.");
  Save("empty.wav", {});
  ExpectRefused(At("empty.wav"), "empty.wav holds no sound, so there is nothing to open.");
  Save("header.wav", WavFile(1, 2, 44100, 16, 0));
  ExpectRefused(At("header.wav"), "header.wav holds no sound");
  ExpectRefused(At("none.wav"), "Can not open " + At("none.wav") + ": No such file or directory");
  ExpectRefused(Root.string(), "Can not open " + Root.string() + ": Is a directory");
  ASSERT_EQ(::mkfifo((Root / "pipe.wav").c_str(), 0600), 0);  // would block an open
  ExpectRefused(At("pipe.wav"), "Can not open " + At("pipe.wav") + ": it is not a plain file");
  // A second of 44100 Hz whose header states 2 Hz would make 6 hours of take.
  for (const int rate : {2, 999, 800000}) {
    Save("rate.wav", WavFile(1, 2, rate, 16, 176400, Bytes(176400, 0x10)));
    ExpectRefused(At("rate.wav"), "rate.wav states a sample rate of " + std::to_string(rate) +
                                      " Hz, outside what sound files use");
  }
  // 10 hours and a second of 8 kHz 8-bit mono, on a sparse file.
  const std::uint32_t bytes = 8000u * 36001;
  Save("long.wav", WavFile(1, 1, 8000, 8, bytes));
  fs::resize_file(Root / "long.wav", 44 + bytes);
  ExpectRefused(At("long.wav"), "long.wav is longer than 10 hours, so it can not be opened.");
  // Header fields libsndfile answers with texts about itself: the user is
  // told what is wrong in our words.
  const auto expectToldWhy = [this](const std::string& name) {
    ExpectRefused(At(name), name + " is ");
    EXPECT_TRUE(Message.find("damaged") != std::string::npos ||
                Message.find("not a sound file") != std::string::npos)
        << Message;
    for (const char* text : {"nternal", "pipe", "Unspecified"}) {
      EXPECT_EQ(Message.find(text), std::string::npos) << Message;
    }
  };
  Save("rate0.wav", WavFile(1, 2, 0, 16, 400, Bytes(400, 0x10)));
  expectToldWhy("rate0.wav");
  Save("float16.wav", WavFile(3, 2, 44100, 16, 400, Bytes(400, 0x10)));
  expectToldWhy("float16.wav");
  // A FLAC file cut short: the frames before the cut open, and the user is told.
  MakeTake(5);
  ASSERT_EQ(SaveAndOpen("cut.flac", exporter::WriteFlac), OpenResult::Opened);
  ForgetOpened();
  fs::resize_file(Root / "cut.flac", fs::file_size(Root / "cut.flac") / 2);
  ASSERT_EQ(Open(At("cut.flac")), OpenResult::Opened) << Message;
  EXPECT_EQ(
      Message,
      "cut.flac ends at 0.3 s, before the 0.5 s its header states; what there is was opened.");
  EXPECT_TRUE(Report.Alarming);
  ForgetOpened();
  // An MP3 cut in its first frame holds nothing that decodes.
  ASSERT_EQ(SaveAndOpen("cut.mp3", WriteOurMp3), OpenResult::Opened);
  ForgetOpened();
  for (const int bytes : {60, 40, 12}) {
    SCOPED_TRACE(bytes);
    fs::resize_file(Root / "cut.mp3", bytes);
    expectToldWhy("cut.mp3");
  }
  // A WAV cut short decodes without an error: it opens with what it holds.
  ASSERT_EQ(SaveAndOpen("cut.wav", exporter::WriteWav), OpenResult::Opened);
  fs::resize_file(Root / "cut.wav", 44 + 2 * 17640 + 100);
  ASSERT_EQ(Open(At("cut.wav")), OpenResult::Opened) << Message;
  EXPECT_EQ(Opened.TakeLength, 3u);
}

// Hostile files: descriptions of network streams and lists that name other
// files or protocols, whatever they are called. Each is refused at once as no
// sound file; the real program is watched for sockets from outside
// (tests/gui/open_file_test.sh).
TEST_F(Decode, FilesThatNameAddressesOrOtherFilesAreRefusedAtOnce) {
  const std::string secret = At("secret.wav");
  Save("secret.wav", WavFile(1, 2, 44100, 16, 4, Bytes(4, 1)));
  const std::string sdp =
      "v=0\no=- 0 0 IN IP4 127.0.0.1\ns=voice\nc=IN IP4 {}\nt=0 0\n"
      "m=audio 47123 RTP/AVP 0\na=rtpmap:0 PCMU/8000\n";
  const auto withAddress = [&](const std::string& address) {
    std::string text = sdp;
    return text.replace(text.find("{}"), 2, address);
  };
  const auto hls = [](const std::string& url) {
    return "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:6,\n" + url + "\n#EXT-X-ENDLIST\n";
  };
  const std::vector<std::pair<std::string, std::string>> files{
      {"memo.m4a", withAddress("127.0.0.1")},
      {"multicast.m4a", withAddress("239.1.2.3/32")},
      {"control.mka", withAddress("127.0.0.1") + "a=control:rtsp://127.0.0.1:47125/x\n"},
      {"rtsp.m4a", "rtsp://127.0.0.1:47123/voice\n"},
      {"rtp.m4a", "rtp://127.0.0.1:47123\n"},
      {"file.m3u8", hls("file://" + secret)},
      {"tee.m3u8", hls("tee:" + secret)},
      {"subfile.m3u8", hls("subfile:,start,0,end,0,:" + secret)},
      {"concat.m3u8", hls("concat:" + secret + "|" + secret)},
      {"data.m3u8", hls("data:audio/x-wav;base64,UklGRg==")},
      {"list.ffconcat", "ffconcat version 1.0\nfile 'subfile:,start,0,end,0,:" + secret + "'\n"},
      {"list.m3u", "#EXTM3U\n#EXTINF:6,voice\n" + secret + "\n"}};
  for (const auto& [name, text] : files) {
    SCOPED_TRACE(name);
    Save(name, Bytes(text.begin(), text.end()));
    const auto start = std::chrono::steady_clock::now();
    ExpectRefused(At(name), name + " is not a sound file this program can open");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  }
}

TEST_F(Decode, ConvertingALowRateUpLetsEventsRunAsItWritesAndCancelStopsAtOnce) {
  // 20 s at 1000 Hz: one read of 16 s makes 706000 frames of take.
  Save("low.wav", WavFile(1, 1, 1000, 16, 40000, Bytes(40000, 0x10)));
  std::vector<float> seen{0.0f};
  OnPump = [this, &seen] { seen.push_back(Job.Progress); };
  ASSERT_EQ(Open(At("low.wav")), OpenResult::Opened) << Message;
  EXPECT_EQ(Opened.TakeLength, 200u);
  for (std::size_t i = 1; i < seen.size(); ++i) {
    // Never more than a second of the take's 20 between two pumps.
    ASSERT_LE(seen[i] - seen[i - 1], 5.0f) << i;
    ASSERT_GE(seen[i], seen[i - 1]) << i;
  }
  OnPump = [this, &seen] {
    seen = {Job.Progress};
    Job.Active = false;
  };
  ASSERT_EQ(Open(At("low.wav")), OpenResult::Cancelled);
  EXPECT_LT(seen.at(0), 5.0f);
  EXPECT_EQ(Opened.TakeLength, 200u);  // the take opened before, untouched
  EXPECT_FALSE(fs::exists(WorkPath));
}

TEST_F(Decode, CancelAndFullDiskLeaveNothing) {
  MakeTake(5);
  OnPump = [this] { Job.Active = false; };
  ASSERT_EQ(SaveAndOpen("take.wav", exporter::WriteWav), OpenResult::Cancelled);
  EXPECT_EQ(Opened.TakeLength, 7u);
  EXPECT_FALSE(fs::exists(WorkPath));
  OnPump = [] {};
  tavrin::testing::SmallFileSystem small(Root / "small", 64);
  if (!small.Mounted()) GTEST_SKIP() << "no tmpfs without root";
  WorkPath = (small.Path() / "Open.raw").string();
  ExpectRefused(At("take.wav"), "take.wav could not be opened: There is no space on drive " +
                                    small.Path().string());
}

TEST_F(Decode, FilesOfPhonesBrowsersAndVideosOpenAtTheirLengthAndLevel) {
  const std::string made = (Root / "made").string();
  ASSERT_EQ(std::system((TAVRIN_PHONE_FILES " " + made).c_str()), 0);
  const Bytes tone = tavrin::testing::FileBytes(made + "/tone.wav");
  const Bytes toneData(tone.end() - 60 * 17640, tone.end());  // 6 s: 60 buffers exactly
  // {file, lossless, rate inside, the notice it opens with}; an MP4's edit
  // list states where the sound ends, so it opens at 6 s exactly.
  const std::vector<std::tuple<const char*, bool, int, std::string>> files{
      {"tone.m4a", false, 44100, ""},
      {"alac.m4a", true, 44100, ""},
      {"tone.webm", false, 48000, ""},
      {"tone.mka", false, 44100, ""},
      {"tone.wma", false, 44100, ""},
      {"tone.ac3", false, 44100, ""},
      {"video.mp4", false, 44100, ""},
      {"two-tracks.mkv", false, 44100,
       "two-tracks.mkv has 2 sound tracks; the first (vorbis, eng) was opened."}};
  for (const auto& [file, lossless, rate, notice] : files) {
    SCOPED_TRACE(file);
    ASSERT_EQ(Open(made + "/" + file), OpenResult::Opened) << Message;
    EXPECT_EQ(Message, notice);
    EXPECT_EQ(Report.SourceRate, rate);
    // The encoder's delay and padding removed: 6.0 s within one buffer.
    const bool mp4 = std::string(file).ends_with(".m4a") || std::string(file).ends_with(".mp4");
    EXPECT_NEAR(static_cast<double>(Report.OutputSamples) / 2, 6 * 44100.0, mp4 ? 0.0 : 4410.0);
    EXPECT_NEAR(Opened.TakeLength, 60u, mp4 ? 0u : 1u);
    EXPECT_EQ((Opened.TakeLength - 1) * 4410 + Opened.LastBufferFrames, Report.OutputSamples / 2);
    if (lossless) {
      EXPECT_TRUE(WorkBytes() == toneData);
    }
    // Every whole buffer at the tone's level (half scale, within 0.5 dB): no break.
    for (std::uint32_t buffer = 2; buffer < 59; ++buffer) {
      const double level = 20 * std::log10(Opened.Peaks[buffer].MaxLeft / 16384.0);
      ASSERT_NEAR(level, 0.0, 0.5) << buffer;
      ASSERT_NEAR(Opened.Peaks[buffer].MinRight, -Opened.Peaks[buffer].MaxLeft, 400) << buffer;
    }
    ForgetOpened();
  }
  // What is no sound, or cut short, is told so and changes nothing.
  ExpectRefused(made + "/silent-video.mp4",
                "silent-video.mp4 is a video without sound, so there is nothing to open.");
  Save("text.m4a", Bytes(300, 'x'));
  ExpectRefused(At("text.m4a"), "text.m4a is not a sound file this program can open");
  // Without the module that reads them, such files are told why.
  {
    SetFfmpegModuleCandidates({At("nowhere/tavrin_ffmpeg.so")});
    const std::unique_ptr<void, void (*)(void*)> restore(
        this, [](void*) { SetFfmpegModuleCandidates({}); });
    ExpectRefused(made + "/tone.m4a",
                  "tone.m4a needs the FFmpeg libraries, which are not installed (");
  }
  // Cut in half: what decodes opens and the user is told, once the index is
  // at the front; an M4A whose index was at its end holds nothing that decodes.
  const auto cut = [&](const std::string& file) {
    const Bytes whole = tavrin::testing::FileBytes(made + "/" + file);
    Save("cut-" + file, Bytes(whole.begin(), whole.begin() + whole.size() / 2));
    return At("cut-" + file);
  };
  ExpectRefused(cut("tone.m4a"), "cut-tone.m4a is damaged, so it can not be opened.");
  for (const char* file : {"memo.m4a", "tone.webm"}) {
    SCOPED_TRACE(file);
    ASSERT_EQ(Open(cut(file)), OpenResult::Opened) << Message;
    EXPECT_NEAR(Opened.TakeLength, 30u, 4u);
    EXPECT_EQ(Message.rfind("cut-" + std::string(file) + " ends at ", 0), 0u) << Message;
    EXPECT_TRUE(
        Message.ends_with(", before the 6.0 s its header states; what there is was opened."))
        << Message;
    EXPECT_TRUE(Report.Alarming);
    ForgetOpened();
  }
  // Playlists name other files; none is followed.
  const std::string named = made + "/tone.m4a";
  for (const auto& [list, text] :
       {std::pair{"list.m3u8", std::string("#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:6,\n") +
                                   named + "\n#EXT-X-ENDLIST\n"},
        {"list.ffconcat", "ffconcat version 1.0\nfile " + named + "\n"}}) {
    Save(list, Bytes(text.begin(), text.end()));
    ExpectRefused(At(list), std::string(list) +
                                " is not a sound file this program can open (it is a list of "
                                "other files).");
  }
}

// Peaks of a file's left and right in dBFS (below -90 for silence), the first
// 0.3 s left out.
std::pair<double, double> PeakLevels(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(file, nullptr) << path;
  std::vector<short> samples(static_cast<std::size_t>(2 * info.frames));
  if (file) sf_readf_short(file, samples.data(), info.frames);
  sf_close(file);
  int left = 1;
  int right = 1;
  for (std::size_t i = 2 * 13230; i + 1 < samples.size(); i += 2) {
    left = std::max(left, std::abs(samples[i]));
    right = std::max(right, std::abs(samples[i + 1]));
  }
  return {20 * std::log10(left / 32768.0), 20 * std::log10(right / 32768.0)};
}

void ExpectLevelNear(double level, double expected) {
  if (expected < -60) {
    EXPECT_LT(level, -60);
  } else {
    EXPECT_NEAR(level, expected, 1.0);
  }
}

TEST_F(Decode, SurroundChannelsLandWhereFfmpegMixesThemDown) {
  const std::string made = (Root / "surround").string();
  ASSERT_EQ(std::system((TAVRIN_DOWNMIX_FILES " " + made).c_str()), 0);
  const auto levels = [](const document::BufferPeaks& peaks) {
    return std::pair{20 * std::log10(std::max<int>(peaks.MaxLeft, 1) / 32768.0),
                     20 * std::log10(std::max<int>(peaks.MaxRight, 1) / 32768.0)};
  };
  // A channel mask in the WAV; FLAC's and Vorbis's own orders (libsndfile);
  // the layout FFmpeg's FLAC decoder states in Matroska.
  for (const char* extension : {"wav", "flac", "ogg", "opus", "mka"}) {
    for (const auto& [layout, channels] :
         {std::pair{"3.0", 3}, {"quad", 4}, {"5.0", 5}, {"5.1", 6}, {"6.1", 7}, {"7.1", 8}}) {
      for (int channel = 0; channel < channels; ++channel) {
        const std::string file =
            made + "/" + layout + "-" + std::to_string(channel) + "." + extension;
        SCOPED_TRACE(file);
        ASSERT_EQ(Open(file), OpenResult::Opened) << Message;
        EXPECT_EQ(Message, "");
        const auto [left, right] = levels(Opened.Peaks[5]);
        const auto [expectedLeft, expectedRight] = PeakLevels(file + ".ref.wav");
        // Only the LFE is left out: every other tone reached the file and the mix.
        EXPECT_NE(expectedLeft > -60 || expectedRight > -60, channels >= 6 && channel == 3);
        ExpectLevelNear(left, expectedLeft);
        ExpectLevelNear(right, expectedRight);
      }
    }
  }
  // Six channels with no speakers named: a sixth of the tone on each side.
  ASSERT_EQ(Open(made + "/unknown.mka"), OpenResult::Opened) << Message;
  EXPECT_EQ(Message,
            "unknown.mka does not say which speaker each of its 6 channels is for; they were "
            "mixed evenly into both sides.");
  const auto [left, right] = levels(Opened.Peaks[5]);
  EXPECT_NEAR(left, 20 * std::log10(0.5 / 6), 1.0);
  EXPECT_NEAR(right, 20 * std::log10(0.5 / 6), 1.0);
}

}  // namespace
}  // namespace tavrin::decode
