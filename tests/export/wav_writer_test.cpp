#include "export/wav_writer.h"
#include "export_rig.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace tavrin::exporter {
namespace {

// The 44-byte PCM header from hand-computed values.
Bytes Header(std::uint16_t channels, std::uint32_t rate, std::uint32_t byteRate,
             std::uint16_t blockAlign, std::uint16_t bits, std::uint32_t dataBytes) {
  return WavHeader(1, channels, rate, byteRate, blockAlign, bits, dataBytes);
}

Bytes Head(const Bytes& file) {
  return Bytes(file.begin(), file.begin() + 44);
}

class WavWriter : public WriterRig {};

struct TableRow {
  std::int32_t Rate;
  std::uint16_t Channels;
  std::uint16_t Bits;
  int FramesPerBlock;
  int OutputBytes;
  std::uint32_t ByteRate;
  std::uint32_t BlockAlign;
};

void PrintTo(const TableRow& row, std::ostream* out) {
  *out << row.Rate << " Hz " << row.Bits << " bit " << row.Channels << " ch";
}

class WavTable : public WavWriter, public ::testing::WithParamInterface<TableRow> {};

// Ten blocks (2..11) per row: every byte against frames picked by index,
// restarting at frame 0 in every block, and every header field. Then the
// range to the take's end, whose last buffer holds 1001 frames of sound: only
// the frames picked from those follow.
TEST_P(WavTable, ConvertsEveryBlockAndDescribesItInTheHeader) {
  const TableRow row = GetParam();
  MakeTake(12);
  State.Take.LastBufferFrames = 1001;
  SetFormat(row.Rate, row.Bits, row.Channels);
  Job.SaveFirst = 2;
  Job.SaveLast = 11;
  ASSERT_EQ(Write(), WriteResult::Written);

  Bytes expected;
  const int step = 44100 / row.Rate;
  const auto putBlock = [&](std::uint32_t block, int frames) {
    for (int j = 0; j < frames; ++j) {
      for (int channel = 0; channel < row.Channels; ++channel) {
        const std::int16_t sample = PatternSample(1, block, j * step, channel);
        if (row.Bits == 16) {
          Put(expected, static_cast<std::uint16_t>(sample), 2);
        } else {
          expected.push_back(static_cast<std::uint8_t>((sample >> 8) + 128));
        }
      }
    }
  };
  for (std::uint32_t block = 2; block <= 11; ++block) putBlock(block, row.FramesPerBlock);
  Bytes file = Output();
  std::uint32_t dataBytes = 10u * row.OutputBytes;
  ASSERT_EQ(file.size(), 44u + dataBytes);
  EXPECT_EQ(Bytes(file.begin() + 44, file.end()), expected);
  EXPECT_EQ(Head(file),
            Header(row.Channels, row.Rate, row.ByteRate, row.BlockAlign, row.Bits, dataBytes));
  EXPECT_FLOAT_EQ(Job.OperationProgress, 100.0f);

  Job.SaveLast = 12;
  ASSERT_EQ(Write(), WriteResult::Written);
  const int partFrames = (1001 + step - 1) / step;  // frames 0, step, ... below 1001
  putBlock(12, partFrames);
  file = Output();
  dataBytes += partFrames * row.BlockAlign;
  ASSERT_EQ(file.size(), 44u + dataBytes);
  EXPECT_EQ(Bytes(file.begin() + 44, file.end()), expected);
  EXPECT_EQ(Head(file),
            Header(row.Channels, row.Rate, row.ByteRate, row.BlockAlign, row.Bits, dataBytes));
}

INSTANTIATE_TEST_SUITE_P(
    TwelveFormats, WavTable,
    ::testing::Values(
        TableRow{44100, 2, 16, 4410, 17640, 176400, 4},
        TableRow{44100, 1, 16, 4410, 8820, 88200, 2}, TableRow{44100, 2, 8, 4410, 8820, 88200, 2},
        TableRow{44100, 1, 8, 4410, 4410, 44100, 1}, TableRow{22050, 2, 16, 2205, 8820, 88200, 4},
        TableRow{22050, 1, 16, 2205, 4410, 44100, 2}, TableRow{22050, 2, 8, 2205, 4410, 44100, 2},
        TableRow{22050, 1, 8, 2205, 2205, 22050, 1}, TableRow{11025, 2, 16, 1102, 4408, 44100, 4},
        TableRow{11025, 1, 16, 1103, 2206, 22050, 2}, TableRow{11025, 2, 8, 1103, 2206, 22050, 2},
        TableRow{11025, 1, 8, 1102, 1102, 11025, 1}),
    [](const ::testing::TestParamInfo<TableRow>& info) {
      return std::to_string(info.param.Rate) + "Hz" + std::to_string(info.param.Bits) + "bit" +
             std::to_string(info.param.Channels) + "ch";
    });

TEST(WavConvert, EightBitTakesTheHighByteShiftedBy128) {
  Bytes in(kBlockBytes, 0);
  const std::int16_t samples[] = {0, -1, 256, 32767, -32768, 255, -256, 128};
  std::memcpy(in.data(), samples, sizeof samples);  // little-endian, frames 0..3
  Bytes out(8820, 0xAA);
  ASSERT_EQ(ConvertBlock({44100, 8, 2}, in.data(), out.data()), 8820u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), (Bytes{128, 127, 129, 255, 0, 128, 127, 128}));
}

TEST(WavConvert, MonoOfARightOnlySignalIsSilent) {
  Bytes in(kBlockBytes, 0);
  for (int frame = 0; frame < kFrames; ++frame) {
    in[4 * frame + 2] = static_cast<std::uint8_t>(frame * 7);
    in[4 * frame + 3] = static_cast<std::uint8_t>(0x40 + frame % 0x80);
  }
  Bytes out(kBlockBytes, 0xAA);
  ASSERT_EQ(ConvertBlock({44100, 16, 1}, in.data(), out.data()), 8820u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 8820), Bytes(8820, 0));
  ASSERT_EQ(ConvertBlock({11025, 8, 1}, in.data(), out.data()), 1102u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 1102), Bytes(1102, 128));
}

TEST(WavHeader, SizesSaturateInsteadOfWrapping) {
  const auto header = BuildWavHeader({44100, 16, 2}, 0xFFFFFFF0u);
  const Bytes bytes(header.begin(), header.end());
  EXPECT_EQ(Le(bytes, 4, 4), 0xFFFFFFFFu);
  EXPECT_EQ(Le(bytes, 40, 4), 0xFFFFFFF0u);
}

TEST(WavEstimate, CountsWholeSecondsOfTheEffectiveFormat) {
  settings::Settings settings;
  SaveJob job;
  job.SaveFirst = 1;
  job.SaveLast = 10;  // 9 blocks: no whole second
  EXPECT_EQ(EstimateWavSize(job, settings), 44);
  job.SaveLast = 20;
  EXPECT_EQ(EstimateWavSize(job, settings), 176400 + 44);
  settings.SamplePerSecond = 11025;
  settings.BitPerSample = 8;
  settings.Channels = 1;
  job.SaveFirst = 5;
  job.SaveLast = 105;
  EXPECT_EQ(EstimateWavSize(job, settings), 10 * 11025 + 44);
  settings.SamplePerSecond = 48000;  // written as 44100
  EXPECT_EQ(EstimateWavSize(job, settings), 10 * 44100 + 44);
  settings = {};
  job.SaveFirst = 1;
  job.SaveLast = 243500;  // 24349 s of 176400 bytes: past the limit
  EXPECT_EQ(EstimateWavSize(job, settings), 4295163644);
  EXPECT_GE(EstimateWavSize(job, settings), kWavSizeLimit);
}

TEST_F(WavWriter, ALongRangeAt44100StereoIsTheTakeUnchanged) {
  MakeTake(150);  // 2.6 MB: more than one write's worth
  ASSERT_EQ(Write(), WriteResult::Written);
  const Bytes file = Output();
  ASSERT_EQ(file.size(), 44u + 150u * kBlockBytes);
  for (std::uint32_t block = 1; block <= 150; ++block) {
    const auto at = file.begin() + 44 + (block - 1) * kBlockBytes;
    ASSERT_EQ(Bytes(at, at + kBlockBytes), PatternBlock(1, block)) << "block " << block;
  }
}

TEST_F(WavWriter, ReadsARangeAcrossRowsFromBothSourcesInDocumentOrder) {
  MakeTake(8);
  ASSERT_EQ(Document.EditStream.Create((Root / "Edit.raw").string()), 0);
  for (std::uint32_t block = 1; block <= 5; ++block) {
    ASSERT_EQ(Document.EditStream.Write(PatternBlock(2, block).data(), kBlockBytes), 0);
  }
  // Level 1: document 1..5 = take 3..7, document 6..9 = work file 2..5.
  ASSERT_TRUE(document::SetLevelRows(Document, 1, {{1, 5, 3, true}, {6, 4, 2, false}}));
  Document.CurrentLevel = 1;
  Job.SaveFirst = 4;
  Job.SaveLast = 7;
  ASSERT_EQ(Write(), WriteResult::Written);

  Bytes expected;
  for (const auto& [source, block] : {std::pair{1, 6u}, {1, 7u}, {2, 2u}, {2, 3u}}) {
    const Bytes part = PatternBlock(source, block);
    expected.insert(expected.end(), part.begin(), part.end());
  }
  const Bytes file = Output();
  EXPECT_EQ(Bytes(file.begin() + 44, file.end()), expected);
}

// Edits move whole buffers; wherever the take's part-filled last buffer
// stands, only its sound is written: after a Delete in the middle it still
// ends the file, moved to the front the rest follows it at once.
TEST_F(WavWriter, ThePartFilledLastBufferKeepsOnlyItsSoundWhereverEditsPutIt) {
  MakeTake(10);
  State.Take.LastBufferFrames = 7;
  for (const auto& [rows, order] :
       {std::pair{std::vector<document::Segment>{{1, 3, 1, true}, {4, 5, 6, true}},
                  std::vector<std::uint32_t>{1, 2, 3, 6, 7, 8, 9, 10}},
        {{{1, 1, 10, true}, {2, 9, 1, true}}, {10, 1, 2, 3, 4, 5, 6, 7, 8, 9}}}) {
    ASSERT_TRUE(document::SetLevelRows(Document, 1, rows));
    Document.CurrentLevel = 1;
    Job.SaveLast = static_cast<std::uint32_t>(order.size());
    ASSERT_EQ(Write(), WriteResult::Written);
    Bytes expected;
    for (const std::uint32_t block : order) {
      const Bytes part = PatternBlock(1, block);
      expected.insert(expected.end(), part.begin(),
                      part.begin() + (block == 10 ? 28 : kBlockBytes));
    }
    const Bytes file = Output();
    EXPECT_EQ(Le(file, 40, 4), expected.size());
    EXPECT_TRUE(Bytes(file.begin() + 44, file.end()) == expected) << order.front();
  }
}

TEST_F(WavWriter, ReportsProgressAndLetsMessagesRunAfterEveryBlock) {
  MakeTake(5);
  std::vector<float> seen;
  OnMessages = [&] { seen.push_back(Job.OperationProgress); };
  ASSERT_EQ(Write(), WriteResult::Written);
  EXPECT_EQ(seen, (std::vector<float>{0, 25, 50, 75, 100}));

  seen.clear();
  Job.SaveFirst = Job.SaveLast = 3;
  ASSERT_EQ(Write(), WriteResult::Written);
  EXPECT_EQ(seen, std::vector<float>{0});
  EXPECT_EQ(Output().size(), 44u + kBlockBytes);
}

TEST_F(WavWriter, CancelStopsAfterTheCurrentBlockAndLeavesNoFile) {
  MakeTake(8);
  int calls = 0;
  OnMessages = [&] { Job.SaveActive = ++calls < 3; };
  EXPECT_EQ(Write(), WriteResult::Cancelled);
  EXPECT_EQ(calls, 3);
  EXPECT_FALSE(fs::exists(Job.OutputPath));
  EXPECT_TRUE(Messages.empty());
}

TEST_F(WavWriter, UnknownSettingsFallBackToAFormatTheHeaderStates) {
  MakeTake(3);
  std::ofstream(Job.OutputPath, std::ios::binary) << std::string(200000, 'x');
  SetFormat(48000, 24, 3);
  ASSERT_EQ(Write(), WriteResult::Written);
  Bytes file = Output();
  ASSERT_EQ(file.size(), 44u + 3 * kBlockBytes);
  EXPECT_EQ(Head(file), Header(2, 44100, 176400, 4, 16, 3 * kBlockBytes));
  EXPECT_EQ(Bytes(file.begin() + 44, file.begin() + 44 + kBlockBytes), PatternBlock(1, 1));

  SetFormat(22050, 24, 1);  // only the width is unknown
  ASSERT_EQ(Write(), WriteResult::Written);
  file = Output();
  ASSERT_EQ(file.size(), 44u + 3 * 4410);
  EXPECT_EQ(Head(file), Header(1, 22050, 44100, 2, 16, 3 * 4410));
}

TEST_F(WavWriter, ErrorsShowTheSystemTextAndLeaveNoFile) {
  MakeTake(4);
  Job.OutputPath = (Root / "missing" / "out.wav").string();
  EXPECT_EQ(Write(), WriteResult::Failed);
  // What could not be saved where, and why.
  EXPECT_EQ(Messages, std::vector<std::string>{Job.OutputPath + " could not be saved (" +
                                               std::strerror(ENOENT) + ")."});
  EXPECT_FALSE(fs::exists(Root / "missing"));

  // A range past the document's end: the partial file goes, and the file it
  // was to replace stays as it was.
  Messages.clear();
  Job.OutputPath = (Root / "out.wav").string();
  std::ofstream(Job.OutputPath) << "old";
  Job.SaveFirst = 3;
  Job.SaveLast = 6;
  EXPECT_EQ(Write(), WriteResult::Failed);
  EXPECT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Output(), (Bytes{'o', 'l', 'd'}));
  for (const auto& entry : fs::directory_iterator(Root)) {
    EXPECT_EQ(entry.path().filename().string().rfind(".tavrin-save-", 0), std::string::npos);
  }
}

TEST_F(WavWriter, ReplacingAFileKeepsItsPermissionsAndTheLinkToIt) {
  MakeTake(4);
  const fs::path target = Root / "kept.wav";
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(target, Root / "alias.wav");
  Job.OutputPath = (Root / "alias.wav").string();
  EXPECT_EQ(Write(), WriteResult::Written);
  EXPECT_TRUE(fs::is_symlink(Root / "alias.wav"));
  EXPECT_EQ(fs::file_size(target), 44u + 4u * kBlockBytes);
  EXPECT_EQ(fs::status(target).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(WavWriter, RefusesToReplaceTheTakeItReads) {
  MakeTake(4);
  fs::create_symlink(Root / "Tavrin.raw", Root / "link.wav");
  for (const char* name : {"Tavrin.raw", "link.wav"}) {
    Messages.clear();
    Job.OutputPath = (Root / name).string();
    EXPECT_EQ(Write(), WriteResult::Failed);
    EXPECT_EQ(Messages, std::vector<std::string>{
                            Job.OutputPath + " is the sound being saved: choose another file."});
    EXPECT_EQ(fs::file_size(Root / "Tavrin.raw"), 4u * kBlockBytes);
  }
}

// A pipe would hold the save until someone read it; a device or a folder is
// no sound file: each is refused before it is opened, and left as it was.
TEST_F(WavWriter, ATargetThatIsNoPlainFileIsRefusedUnopened) {
  MakeTake(4);
  ASSERT_EQ(::mkfifo((Root / "pipe.wav").c_str(), 0600), 0);
  fs::create_directory(Root / "folder.wav");
  for (const std::string& path :
       {(Root / "pipe.wav").string(), (Root / "folder.wav").string(), std::string("/dev/full")}) {
    SCOPED_TRACE(path);
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0) continue;  // no /dev/full here
    Messages.clear();
    Job.OutputPath = path;
    EXPECT_EQ(Write(), WriteResult::Failed);
    EXPECT_EQ(Messages,
              std::vector<std::string>{path + " is not a plain file: choose another file."});
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_rdev, before.st_rdev);
  }
  EXPECT_TRUE(fs::is_empty(Root / "folder.wav"));
}

}  // namespace
}  // namespace tavrin::exporter
