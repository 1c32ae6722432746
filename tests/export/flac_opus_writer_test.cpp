#include <FLAC/stream_decoder.h>
#include <gtest/gtest.h>
#include <opusfile.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "../e2e/tone_check.h"
#include "export/flac_pieces.h"
#include "export/flac_writer.h"
#include "export/opus_writer.h"
#include "export/save_threads.h"
#include "export_rig.h"
#include "small_file_system.h"

namespace tavrin::exporter {
namespace {

// What libFLAC's own decoder reads back, with its MD5 check of the audio.
struct FlacRead {
  std::vector<FLAC__int32> Samples;  // interleaved
  unsigned Rate = 0;
  unsigned Channels = 0;
  unsigned Bits = 0;
  std::uint64_t TotalFrames = 0;
  bool HasMd5 = false;
  bool Md5Matches = false;
  bool Errors = false;
  std::vector<std::string> Comments;
  std::vector<FLAC__byte> Md5;
  std::vector<FLAC__StreamMetadata_SeekPoint> SeekPoints;
  std::vector<std::uint64_t> FlacFrameEnds;    // byte offsets in the file
  std::vector<unsigned> FlacFrameSizes;        // audio frames
  std::vector<std::uint64_t> FlacFrameFirsts;  // from the frame numbers in their headers
};

FlacRead DecodeFlac(const std::string& path) {
  FlacRead read;
  FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
  FLAC__stream_decoder_set_md5_checking(decoder, true);
  FLAC__stream_decoder_set_metadata_respond(decoder, FLAC__METADATA_TYPE_VORBIS_COMMENT);
  FLAC__stream_decoder_set_metadata_respond(decoder, FLAC__METADATA_TYPE_SEEKTABLE);
  const auto write = [](const FLAC__StreamDecoder* self, const FLAC__Frame* frame,
                        const FLAC__int32* const channels[], void* data) {
    auto* out = static_cast<FlacRead*>(data);
    for (unsigned i = 0; i < frame->header.blocksize; ++i) {
      for (unsigned c = 0; c < frame->header.channels; ++c) out->Samples.push_back(channels[c][i]);
    }
    // Within this call the position is just past the frame decoded.
    FLAC__uint64 end = 0;
    FLAC__stream_decoder_get_decode_position(self, &end);
    out->FlacFrameEnds.push_back(end);
    out->FlacFrameSizes.push_back(frame->header.blocksize);
    out->FlacFrameFirsts.push_back(
        frame->header.number_type == FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER
            ? frame->header.number.sample_number
            : std::uint64_t{frame->header.number.frame_number} * frame->header.blocksize);
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  };
  const auto metadata = [](const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block,
                           void* data) {
    auto* out = static_cast<FlacRead*>(data);
    if (block->type == FLAC__METADATA_TYPE_STREAMINFO) {
      const auto& info = block->data.stream_info;
      out->Rate = info.sample_rate;
      out->Channels = info.channels;
      out->Bits = info.bits_per_sample;
      out->TotalFrames = info.total_samples;
      out->HasMd5 = std::any_of(std::begin(info.md5sum), std::end(info.md5sum),
                                [](FLAC__byte b) { return b != 0; });
      out->Md5.assign(std::begin(info.md5sum), std::end(info.md5sum));
    } else if (block->type == FLAC__METADATA_TYPE_VORBIS_COMMENT) {
      const auto& comments = block->data.vorbis_comment;
      for (FLAC__uint32 i = 0; i < comments.num_comments; ++i) {
        out->Comments.emplace_back(reinterpret_cast<const char*>(comments.comments[i].entry),
                                   comments.comments[i].length);
      }
    } else if (block->type == FLAC__METADATA_TYPE_SEEKTABLE) {
      const auto& table = block->data.seek_table;
      out->SeekPoints.assign(table.points, table.points + table.num_points);
    }
  };
  const auto error = [](const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) {
    static_cast<FlacRead*>(data)->Errors = true;
  };
  if (FLAC__stream_decoder_init_file(decoder, path.c_str(), write, metadata, error, &read) ==
          FLAC__STREAM_DECODER_INIT_STATUS_OK &&
      FLAC__stream_decoder_process_until_end_of_stream(decoder)) {
    read.Md5Matches = FLAC__stream_decoder_finish(decoder);  // false on an MD5 mismatch
  }
  FLAC__stream_decoder_delete(decoder);
  return read;
}

// Where the first FLAC frame starts: past "fLaC" and every metadata block,
// the last of which has the top bit of its type byte set.
std::uint64_t FirstFlacFrameOffset(const Bytes& file) {
  std::size_t at = 4;
  for (bool last = false; !last && at + 4 <= file.size();) {
    last = (file[at] & 0x80) != 0;
    at += 4 + (std::size_t{file[at + 1]} << 16 | std::size_t{file[at + 2]} << 8 | file[at + 3]);
  }
  return at;
}

// A point every 10 s of audio, each naming the FLAC frame that holds its
// target: the frame's first audio frame, its offset from the first frame and
// its length.
void ExpectSeekPointsOnFrameStarts(const FlacRead& read, const Bytes& file) {
  const std::uint64_t spacing = 10 * std::uint64_t{read.Rate};
  ASSERT_EQ(read.SeekPoints.size(), (read.TotalFrames + spacing - 1) / spacing);
  std::map<std::uint64_t, std::pair<std::uint64_t, unsigned>> frameAt;  // offset: first, length
  std::uint64_t start = FirstFlacFrameOffset(file);
  std::uint64_t first = 0;
  for (std::size_t i = 0; i < read.FlacFrameEnds.size(); ++i) {
    frameAt[start - FirstFlacFrameOffset(file)] = {first, read.FlacFrameSizes[i]};
    start = read.FlacFrameEnds[i];
    first += read.FlacFrameSizes[i];
  }
  for (std::size_t i = 0; i < read.SeekPoints.size(); ++i) {
    const FLAC__StreamMetadata_SeekPoint& point = read.SeekPoints[i];
    SCOPED_TRACE("seek point " + std::to_string(i));
    const auto frame = frameAt.find(point.stream_offset);
    ASSERT_NE(frame, frameAt.end()) << point.stream_offset << " is no frame's start";
    EXPECT_EQ(point.sample_number, frame->second.first);
    EXPECT_EQ(point.frame_samples, frame->second.second);
    EXPECT_LE(point.sample_number, i * spacing);
    EXPECT_GT(point.sample_number + point.frame_samples, i * spacing);
  }
}

// `flac -t` of the reference tools, warnings counted as errors; true when
// the tool is not installed (test.sh installs it).
bool FlacToolAccepts(const std::string& path) {
  if (std::system("command -v flac >/dev/null 2>&1") != 0) return true;
  return std::system(("flac -t -s -w '" + path + "' 2>/dev/null").c_str()) == 0;
}

// The WAV writer's data as signed samples: 8-bit bytes carry 128 added.
std::vector<FLAC__int32> WavSamples(const Bytes& wav, int bits) {
  std::vector<FLAC__int32> samples;
  for (std::size_t at = 44; at < wav.size(); at += bits / 8) {
    samples.push_back(bits == 8 ? wav[at] - 128
                                : static_cast<std::int16_t>(wav[at] | (wav[at + 1] << 8)));
  }
  return samples;
}

class FlacOpusWriter : public WriterRig {};

// To the take's end, whose last buffer holds 1001 frames of sound: STREAMINFO's
// total and MD5 count only those, as the WAV does.
TEST_F(FlacOpusWriter, FlacDecodesToWhatTheWavWriterWritesInEveryFormat) {
  MakeTake(5);
  State.Take.LastBufferFrames = 1001;
  Job.SaveFirst = 2;
  Job.SaveLast = 5;
  int level = 0;
  for (const std::int32_t rate : {44100, 22050, 11025}) {
    for (const std::uint16_t channels : {2, 1}) {
      for (const std::uint16_t bits : {16, 8}) {
        SCOPED_TRACE(std::to_string(rate) + " Hz " + std::to_string(channels) + " ch " +
                     std::to_string(bits) + " bit, level " + std::to_string(level));
        SetFormat(rate, bits, channels);
        Job.OutputPath = (Root / "same.wav").string();
        ASSERT_EQ(Write(WriteWav), WriteResult::Written);
        const std::vector<FLAC__int32> expected = WavSamples(Output(), bits);

        Settings.FlacSamplePerSecond = rate;
        Settings.FlacBitPerSample = bits;
        Settings.FlacChannels = channels;
        Settings.FlacCompression = level++ % 9;  // every level on the way
        Job.OutputPath = (Root / "same.flac").string();
        ASSERT_EQ(Write(WriteFlac), WriteResult::Written);
        EXPECT_FLOAT_EQ(Job.OperationProgress, 100.0f);
        const FlacRead read = DecodeFlac(Job.OutputPath);
        EXPECT_FALSE(read.Errors);
        EXPECT_TRUE(read.HasMd5);
        EXPECT_TRUE(read.Md5Matches);
        EXPECT_EQ(read.Rate, static_cast<unsigned>(rate));
        EXPECT_EQ(read.Channels, channels);
        EXPECT_EQ(read.Bits, bits);
        EXPECT_EQ(read.TotalFrames, expected.size() / channels);
        EXPECT_TRUE(read.Samples == expected);
        ASSERT_EQ(read.Comments.size(), 2u);
        EXPECT_EQ(read.Comments[0].rfind("ENCODER=Tavrin Recorder ", 0), 0u) << read.Comments[0];
        EXPECT_TRUE(std::regex_match(read.Comments[1], std::regex("DATE=\\d{4}-\\d\\d-\\d\\d")))
            << read.Comments[1];
      }
    }
  }
}

// libFLAC's presets: 1152 audio frames a FLAC frame at levels 0..2, 4096 above.
std::uint32_t EncoderBlockFrames(int level) {
  return level <= 2 ? 1152 : 4096;
}

TEST_F(FlacOpusWriter, ManyThreadsWriteWhatOneEncoderWouldAroundThePieceSize) {
  MakeTake(540);
  const auto expectAsOneThread = [&](std::uint32_t blocks, std::uint64_t totalFrames) {
    Job.SaveLast = blocks;
    ASSERT_EQ(SaveThreads(totalFrames, 2), 2u) << "too short for two threads";
    Job.Threads = 1;
    Job.OutputPath = (Root / "one.flac").string();
    ASSERT_EQ(Write(WriteFlac), WriteResult::Written);
    const FlacRead one = DecodeFlac(Job.OutputPath);
    Job.Threads = 2;
    Job.OutputPath = (Root / "many.flac").string();
    ASSERT_EQ(Write(WriteFlac), WriteResult::Written);
    EXPECT_FLOAT_EQ(Job.OperationProgress, 100.0f);
    const FlacRead many = DecodeFlac(Job.OutputPath);
    EXPECT_FALSE(many.Errors);
    EXPECT_TRUE(many.Md5Matches);
    EXPECT_EQ(many.TotalFrames, totalFrames);
    EXPECT_EQ(many.Samples.size(), totalFrames * many.Channels);
    EXPECT_TRUE(many.Samples == one.Samples);
    EXPECT_EQ(many.Md5, one.Md5);
    EXPECT_EQ(many.FlacFrameSizes, one.FlacFrameSizes);
    EXPECT_EQ(many.FlacFrameFirsts, one.FlacFrameFirsts);
    EXPECT_EQ(many.Comments, one.Comments);
    EXPECT_TRUE(FlacToolAccepts(Job.OutputPath));
    ExpectSeekPointsOnFrameStarts(many, Output());
  };

  int level = 0;
  for (const std::int32_t rate : {44100, 22050, 11025}) {
    for (const std::uint16_t channels : {2, 1}) {
      for (const std::uint16_t bits : {16, 8}) {
        Settings.FlacSamplePerSecond = rate;
        Settings.FlacBitPerSample = bits;
        Settings.FlacChannels = channels;
        Settings.FlacCompression = level++ % 9;
        const std::uint64_t blockFrames =
            OutputBlockBytes(EffectiveFlacFormat(Settings)) / (channels * bits / 8);
        const std::uint64_t threePieces =
            3 * FlacPieceFrames(EncoderBlockFrames(Settings.FlacCompression));
        // A block's part under three pieces (the third ends in a short FLAC
        // frame) and over (a fourth piece of one short FLAC frame).
        for (const auto blocks : {threePieces / blockFrames, threePieces / blockFrames + 1}) {
          SCOPED_TRACE(std::to_string(rate) + " Hz " + std::to_string(channels) + " ch " +
                       std::to_string(bits) + " bit, level " +
                       std::to_string(Settings.FlacCompression) + ", " + std::to_string(blocks) +
                       " blocks");
          expectAsOneThread(static_cast<std::uint32_t>(blocks), blocks * blockFrames);
        }
      }
    }
  }
  // Past FLAC frame 2047 the frame number takes three bytes instead of two.
  Settings.FlacSamplePerSecond = 44100;
  Settings.FlacBitPerSample = 8;
  Settings.FlacChannels = 1;
  Settings.FlacCompression = 0;
  static_assert(540 * 4410 > 2048 * 1152);
  SCOPED_TRACE("FLAC frame 2048 and on");
  expectAsOneThread(540, 540 * 4410);
  // The take's last buffer part-filled: the last piece is short by its padding.
  State.Take.LastBufferFrames = 1001;
  expectAsOneThread(540, 539 * 4410 + 1001);
}

struct WriterRow {
  const char* Name;
  WriteResult (*Writer)(ExportContext&);
  unsigned Threads;  // FLAC takes two once the take has 8 s for them
};
constexpr WriterRow kWriters[] = {
    {"FLAC", WriteFlac, 1}, {"FLAC on 2 threads", WriteFlac, 2}, {"Opus", WriteOpus, 1}};

TEST_F(FlacOpusWriter, CancelStopsAfterTheCurrentBlockAndLeavesNoFile) {
  MakeTake(90);
  for (const auto& [name, writer, threads] : kWriters) {
    // While the blocks are read; on threads also once they all are, while
    // the last pieces are encoded.
    for (const int cancelAt : {3, 91}) {
      if (cancelAt > 90 && threads == 1) continue;
      SCOPED_TRACE(std::string(name) + ", Cancel at " + std::to_string(cancelAt));
      int calls = 0;
      OnMessages = [&] { Job.SaveActive = ++calls < cancelAt; };
      Job.SaveActive = true;
      Job.Threads = threads;
      EXPECT_EQ(Write(writer), WriteResult::Cancelled);
      EXPECT_EQ(calls, cancelAt);
      EXPECT_FALSE(fs::exists(Job.OutputPath));
    }
  }
  EXPECT_TRUE(Messages.empty());
}

TEST_F(FlacOpusWriter, AFullDiskPartWayLeavesNoFileAndNamesTheDrive) {
  // 64 KB: a FLAC of these samples (all but incompressible) or 8 s of Opus cannot fit.
  const testing::SmallFileSystem disk(Root / "disk", 64);
  if (!disk.Mounted()) GTEST_SKIP() << "no small file system here";
  MakeTake(80);
  for (const auto& [name, writer, threads] : kWriters) {
    Messages.clear();
    Job.Threads = threads;
    Job.OutputPath = (disk.Path() / "out").string();
    EXPECT_EQ(Write(writer), WriteResult::Failed) << name;
    EXPECT_EQ(Messages,
              std::vector<std::string>{"There is no space on drive " + disk.Path().string()})
        << name;
    EXPECT_TRUE(fs::is_empty(disk.Path())) << name << ": the space is given back";
  }
}

// A 1 kHz tone at half of full scale on the left channel, silence on the right.
constexpr double kToneAmplitude = 16384;

TEST_F(FlacOpusWriter, OpusOfAToneDecodesToTheToneAtItsLevelAndLength) {
  const Bytes tone = tavrin::testing::ToneBytes(30 * kFrames, false);  // 3 s
  MakeTake(30, [&tone](std::uint32_t block) {
    const auto first = tone.begin() + std::ptrdiff_t{block - 1} * kBlockBytes;
    return Bytes(first, first + kBlockBytes);
  });
  Settings.OpusBitRate = 96;
  for (const std::uint16_t channels : {2, 1}) {
    SCOPED_TRACE(std::to_string(channels) + " ch");
    Settings.OpusChannels = channels;
    State.Take.LastBufferFrames = channels == 2 ? 4410 : 2205;  // mono: 50 ms of the end padding
    Job.OutputPath = (Root / "tone.opus").string();
    ASSERT_EQ(Write(WriteOpus), WriteResult::Written);
    int error = 0;
    OggOpusFile* file = op_open_file(Job.OutputPath.c_str(), &error);
    ASSERT_NE(file, nullptr) << error;
    EXPECT_EQ(op_channel_count(file, -1), channels);
    const OpusTags* tags = op_tags(file, -1);
    const char* encoder = opus_tags_query(tags, "ENCODER", 0);
    EXPECT_EQ(std::string(encoder ? encoder : "").rfind("Tavrin Recorder ", 0), 0u);
    EXPECT_NE(opus_tags_query(tags, "DATE", 0), nullptr);
    // Opus decodes at 48 kHz; its length counts from after the pre-skip, to
    // the end's granule position: the take's exact length.
    EXPECT_EQ(op_pcm_total(file, -1), channels == 2 ? 3 * 48000 : 2950 * 48);
    std::vector<float> left;
    float pcm[5760 * 2];
    for (int frames; (frames = op_read_float(file, pcm, 5760 * 2, nullptr)) > 0;) {
      for (int i = 0; i < frames; ++i) left.push_back(pcm[i * channels]);
    }
    op_free(file);
    ASSERT_GE(left.size(), 2u * 48000);
    // Two seconds from the middle: level and zero crossings (2000 a second).
    double power = 0;
    int crossings = 0;
    for (std::size_t i = 24000; i < 24000 + 2 * 48000; ++i) {
      power += double{left[i]} * left[i];
      crossings += (left[i] < 0) != (left[i - 1] < 0);
    }
    const double rms = std::sqrt(power / (2 * 48000));
    EXPECT_NEAR(20 * std::log10(rms / (kToneAmplitude / 32768 / std::sqrt(2.0))), 0, 0.5);
    EXPECT_NEAR(crossings, 4000, 8);
  }
}

}  // namespace
}  // namespace tavrin::exporter
