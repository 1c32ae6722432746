// The real encoder library: records it must refuse, and tones saved through
// the MP3 writer and decoded by the lame command-line tool.
#include <dlfcn.h>

#include <cmath>
#include <cstring>

#include "../e2e/tone_check.h"
#include "encoder_test_support.h"

namespace tavrin::exporter::testing {
namespace {

using namespace tavrin::encoder;

constexpr int kToneBuffers = 50;                           // 5 s
constexpr std::int64_t kToneFrames = kToneBuffers * 4410;  // 220500

class LameEncTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_library = ::dlopen(kLameEnc.c_str(), RTLD_NOW);
    ASSERT_NE(m_library, nullptr) << ::dlerror();
    init = reinterpret_cast<BeInitStreamEntry>(::dlsym(m_library, kBeInitStreamName));
    encode = reinterpret_cast<BeEncodeChunkEntry>(::dlsym(m_library, kBeEncodeChunkName));
    deinit = reinterpret_cast<BeDeinitStreamEntry>(::dlsym(m_library, kBeDeinitStreamName));
    close = reinterpret_cast<BeCloseStreamEntry>(::dlsym(m_library, kBeCloseStreamName));
    info = reinterpret_cast<BeGetInfoFrameEntry>(::dlsym(m_library, kBeGetInfoFrameName));
    ASSERT_TRUE(init && encode && deinit && close && info);
  }
  void TearDown() override {
    if (m_library) ::dlclose(m_library);
  }

  // 128 kbps CBR stereo, filled by hand.
  static EncoderConfig GoodRecord() {
    EncoderConfig config{};
    config.ConfigFormat = 256;
    config.RecordVersion = 1;
    config.RecordSize = 331;
    config.SampleRate = 44100;
    config.BitRate = 128;
    config.MaxBitRate = 320;
    config.Preset = -1;
    config.MpegVersion = 1;
    config.NoBitReservoir = -1;
    config.QualityWord = 0xFD02;
    return config;
  }

  std::uint32_t Open(EncoderConfig config, std::uint32_t& stream) {
    std::uint32_t chunkSamples = 0;
    std::uint32_t outputBytes = 0;
    const std::uint32_t result = init(&config, &chunkSamples, &outputBytes, &stream);
    if (result == 0) {
      m_chunkSamples = chunkSamples;
      m_outputBytes = outputBytes;
    }
    return result;
  }

  BeInitStreamEntry init = nullptr;
  BeEncodeChunkEntry encode = nullptr;
  BeDeinitStreamEntry deinit = nullptr;
  BeCloseStreamEntry close = nullptr;
  BeGetInfoFrameEntry info = nullptr;
  std::uint32_t m_chunkSamples = 0;
  std::uint32_t m_outputBytes = 0;

private:
  void* m_library = nullptr;
};

TEST_F(LameEncTest, RefusesRecordsItCannotHonour) {
  std::uint32_t stream = 0;
  std::vector<EncoderConfig> bad(6, GoodRecord());
  bad[0].ConfigFormat = 255;
  bad[1].RecordSize = 330;
  bad[2].BitRate = 33;
  bad[3].EnableVbr = -1;
  bad[3].MaxBitRate = 33;
  bad[4].Mode = 5;
  bad[5].BitRate = 0;
  for (const EncoderConfig& config : bad) EXPECT_NE(Open(config, stream), 0u);
}

TEST_F(LameEncTest, StreamsAreBoundedAndCheckedAgainstTheirBuffers) {
  std::uint32_t stream = 0;
  ASSERT_EQ(Open(GoodRecord(), stream), 0u);
  EXPECT_GT(stream, 0u);
  // LAME's worst case for n frames is 1.25 n + 7200 bytes.
  EXPECT_GE(m_outputBytes, m_chunkSamples / 2 * 5 / 4 + 7200);
  EXPECT_EQ(m_chunkSamples % 2, 0u);

  std::vector<std::int16_t> input(m_chunkSamples + 2, 1000);
  std::vector<std::uint8_t> output(m_outputBytes);
  std::uint32_t produced = 99;
  EXPECT_NE(encode(stream, m_chunkSamples + 2, input.data(), output.data(), &produced), 0u);
  EXPECT_EQ(produced, 0u);
  EXPECT_NE(encode(stream + 1, 2, input.data(), output.data(), &produced), 0u);
  EXPECT_EQ(encode(stream, m_chunkSamples, input.data(), output.data(), &produced), 0u);
  EXPECT_LE(produced, m_outputBytes);
  // The information frame only once the last frames are out; none unless asked for.
  EXPECT_NE(info(stream, output.data(), &produced), 0u);
  EXPECT_EQ(deinit(stream, output.data(), &produced), 0u);
  EXPECT_GT(produced, 0u);
  std::uint32_t infoBytes = 99;
  EXPECT_EQ(info(stream, output.data(), &infoBytes), 0u);
  EXPECT_EQ(infoBytes, 0u);
  EXPECT_EQ(close(stream), 0u);
  EXPECT_NE(close(stream), 0u);
  EXPECT_NE(deinit(0, output.data(), &produced), 0u);

  // The handle table runs out instead of growing without bound.
  std::vector<std::uint32_t> streams;
  std::uint32_t result = 0;
  while (streams.size() < 1000 && (result = Open(GoodRecord(), stream)) == 0) {
    streams.push_back(stream);
  }
  EXPECT_EQ(result, kBeErrNoMoreHandles);
  for (std::uint32_t open : streams) EXPECT_EQ(close(open), 0u);
}

struct ToneCase {
  const char* Name;
  bool Vbr;
  std::int32_t Mode;
  int DecodedChannels;
  std::uint8_t ModeBits;  // the channel mode in the top bits of a frame header's fourth byte
  std::size_t InfoAt;     // the information frame's text: after the header and side information
};

void PrintTo(const ToneCase& tone, std::ostream* out) {
  *out << tone.Name;
}

class ToneRoundTrip : public SaveFixture, public ::testing::WithParamInterface<ToneCase> {};

TEST_P(ToneRoundTrip, DecodesToTheToneWithItsLengthAndLevel) {
  const ToneCase& tone = GetParam();
  // 1 kHz at half of full scale on both channels.
  MakeSource(state.Take.RawStream, "tone.raw", tavrin::testing::ToneBytes(kToneFrames));
  SetRows(0, {{1, kToneBuffers, 1, true}});
  job.SaveFirst = 1;
  job.SaveLast = kToneBuffers;
  settings.BitRate = 128;
  settings.Mode = tone.Mode;
  settings.VBR = tone.Vbr;
  settings.MinBitRate = 32;
  settings.MaxBitRate = 320;
  settings.Copyright = true;
  settings.Original = true;
  ASSERT_EQ(Save({kLameEnc}), WriteResult::Written);
  EXPECT_TRUE(messages.empty());

  const std::vector<std::uint8_t> mp3 = FileBytes(job.OutputPath);
  ASSERT_GT(mp3.size(), 4u);
  EXPECT_EQ(mp3[0], 0xFF);
  EXPECT_EQ(mp3[1], 0xFB);  // MPEG-1 layer III, no CRC
  EXPECT_EQ(mp3[3] & 0xC0, tone.ModeBits);
  EXPECT_EQ(mp3[3] & 0x0C, 0x0C);  // copyright and original
  // "Xing" marks VBR, "Info" CBR; with it the decoder trims the encoder's delay and padding.
  EXPECT_EQ(std::string(mp3.begin() + tone.InfoAt, mp3.begin() + tone.InfoAt + 4),
            tone.Vbr ? "Xing" : "Info");

  const Decoded wav = DecodeWithLame(job.OutputPath, Folder() + "/decoded.wav");
  ASSERT_EQ(wav.Channels, tone.DecodedChannels);
  EXPECT_EQ(wav.SampleRate, 44100);
  EXPECT_EQ(static_cast<std::int64_t>(wav.Samples.size()) / wav.Channels, kToneFrames);

  // RMS away from the edges, against 0.5 / sqrt(2) of full scale (-9.03 dB).
  double sum = 0;
  std::int64_t count = 0;
  for (std::size_t i = 44100 / 2 * wav.Channels; i < 4 * 44100u * wav.Channels; ++i, ++count) {
    sum += std::pow(wav.Samples[i] / 32768.0, 2);
  }
  const double levelDb = 10 * std::log10(sum / static_cast<double>(count));
  EXPECT_NEAR(levelDb, 20 * std::log10(0.5 / std::sqrt(2.0)), 0.5);
}

INSTANTIATE_TEST_SUITE_P(Modes, ToneRoundTrip,
                         ::testing::Values(ToneCase{"Cbr128Stereo", false, 0, 2, 0x00, 36},
                                           ToneCase{"Vbr32To320Stereo", true, 0, 2, 0x00, 36},
                                           ToneCase{"Cbr128JointStereo", false, 1, 2, 0x40, 36},
                                           ToneCase{"Cbr128Mono", false, 3, 1, 0xC0, 21}),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace tavrin::exporter::testing
