// The MP3 writer against the stand-in encoder library, which echoes what it
// is fed: the record, the order of calls, the bytes and their chunking.
#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "encoder_test_support.h"
#include "small_file_system.h"
#include "test_encoder.h"

namespace tavrin::exporter::testing {
namespace {

using encoder::testing::TestEncoderControl;
using encoder::testing::TestEncoderControlEntry;

const std::string kTestEncoder = TAVRIN_TEST_ENCODER_PATH;

// Byte i of source `seed`: differs between buffers and between the two sources.
std::uint8_t Pattern(int seed, std::int64_t i) {
  return static_cast<std::uint8_t>((i * 31 + (i / kBlock) * 97 + seed * 53) % 251);
}

std::vector<std::uint8_t> PatternBytes(int seed, std::int64_t firstBuffer, std::int64_t buffers) {
  std::vector<std::uint8_t> bytes;
  for (std::int64_t i = firstBuffer * kBlock; i < (firstBuffer + buffers) * kBlock; ++i) {
    bytes.push_back(Pattern(seed, i));
  }
  return bytes;
}

std::int32_t Int32At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return static_cast<std::int32_t>(bytes[offset] | bytes[offset + 1] << 8 |
                                   bytes[offset + 2] << 16 |
                                   std::uint32_t{bytes[offset + 3]} << 24);
}

class Mp3WriterTest : public SaveFixture {
protected:
  void SetUp() override {
    SaveFixture::SetUp();
    // Held open so that the library's records outlive the writer's dlclose.
    m_library = ::dlopen(kTestEncoder.c_str(), RTLD_NOW);
    ASSERT_NE(m_library, nullptr) << ::dlerror();
    auto entry = reinterpret_cast<TestEncoderControlEntry>(
        ::dlsym(m_library, encoder::testing::kTestEncoderControlName));
    ASSERT_NE(entry, nullptr);
    control = entry();
    *control = TestEncoderControl{};

    MakeSource(state.Take.RawStream, "take.raw", PatternBytes(1, 0, 10));
    MakeSource(document->EditStream, "edit.raw", PatternBytes(2, 0, 6));
    // Level 1: document 1..4 = take 3..6, 5..7 = work file 2..4, 8..12 = take 1..5.
    SetRows(1, {{1, 4, 3, true}, {5, 3, 2, false}, {8, 5, 1, true}});
    job.SaveFirst = 3;
    job.SaveLast = 10;
  }
  void TearDown() override {
    if (m_library) ::dlclose(m_library);
  }

  // Document 3..10: take 5..6, work file 2..4, take 1..3.
  std::vector<std::uint8_t> ExpectedRange() const {
    std::vector<std::uint8_t> bytes = PatternBytes(1, 4, 2);
    const auto middle = PatternBytes(2, 1, 3);
    const auto last = PatternBytes(1, 0, 3);
    bytes.insert(bytes.end(), middle.begin(), middle.end());
    bytes.insert(bytes.end(), last.begin(), last.end());
    return bytes;
  }

  std::vector<std::string> Calls(int encodes, bool flushAndClose) const {
    std::vector<std::string> calls{"init"};
    calls.insert(calls.end(), encodes, "encode");
    if (flushAndClose) calls.insert(calls.end(), {"deinit", "close"});
    return calls;
  }

  // A save through the stand-in fails with `message` as its only message.
  void ExpectSaveFails(const std::string& message) {
    messages.clear();
    EXPECT_EQ(Save({kTestEncoder}), WriteResult::Failed);
    EXPECT_EQ(messages, std::vector<std::string>{message});
  }

  TestEncoderControl* control = nullptr;

private:
  void* m_library = nullptr;
};

TEST_F(Mp3WriterTest, RecordCarriesTheSettingsInItsFixedLayout) {
  settings.BitRate = 192;
  settings.Mode = 1;
  settings.MinBitRate = 40;
  settings.MaxBitRate = 256;
  settings.VBRQuality = 4;
  settings.Copyright = true;
  settings.Private = true;
  ASSERT_EQ(Save({kTestEncoder}), WriteResult::Written);
  const std::vector<std::uint8_t> cbr = control->ConfigBytes;
  ASSERT_EQ(cbr.size(), 331u);
  // Offsets 0..88 in steps of 4: format, version, size, rates, mode, bit rates, preset ...
  const std::vector<std::int32_t> expected = {256, 1, 331, 44100, 0,  1, 192, 256, -1, 1,  0, 0,
                                              -1,  0, -1,  0,     -1, 0, 4,   0,   0,  -1, 0};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Int32At(cbr, 4 * i), expected[i]) << "offset " << 4 * i;
  }
  EXPECT_EQ(cbr[92], 0x02);
  EXPECT_EQ(cbr[93], 0xFD);
  for (std::size_t i = 94; i < 331; ++i) ASSERT_EQ(cbr[i], 0) << "reserved byte " << i;

  *control = TestEncoderControl{};
  settings.VBR = true;
  settings.Mode = 3;
  settings.Copyright = false;
  settings.Private = false;
  settings.Original = true;
  ASSERT_EQ(Save({kTestEncoder}), WriteResult::Written);
  const std::vector<std::uint8_t>& vbr = control->ConfigBytes;
  EXPECT_EQ(Int32At(vbr, 20), 3);
  EXPECT_EQ(Int32At(vbr, 24), 40);  // the minimum, not BitRate
  EXPECT_EQ(Int32At(vbr, 28), 256);
  EXPECT_EQ(Int32At(vbr, 48), 0);
  EXPECT_EQ(Int32At(vbr, 56), 0);
  EXPECT_EQ(Int32At(vbr, 60), -1);
  EXPECT_EQ(Int32At(vbr, 64), -1);  // the information frame, for VBR above all
  EXPECT_EQ(Int32At(vbr, 68), -1);
}

TEST_F(Mp3WriterTest, FeedsTheRangeRowByRowInChunksThatNeverSpanRows) {
  ASSERT_EQ(Save({Folder() + "/absent/lame_enc.so", kTestEncoder}), WriteResult::Written);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(control->OversizedChunks, 0);
  // Rows of 35280, 52920 and 52920 bytes in chunks of at most 6000 bytes.
  std::vector<std::uint32_t> chunks(5, 3000);
  chunks.push_back(2640);
  chunks.insert(chunks.end(), 8, 3000);
  chunks.push_back(2460);
  chunks.insert(chunks.end(), 8, 3000);
  chunks.push_back(2460);
  EXPECT_EQ(control->ChunkSampleCounts, chunks);
  EXPECT_EQ(control->Calls, Calls(static_cast<int>(chunks.size()), true));

  const std::vector<std::uint8_t> expected = ExpectedRange();
  EXPECT_TRUE(control->Received == expected);
  std::vector<std::uint8_t> file = expected;
  file.insert(file.end(), {'F', 'L', 'U', 'S', 'H'});
  EXPECT_TRUE(FileBytes(job.OutputPath) == file);

  // Progress is set before each chunk: 0 first, 25 % at the second row, never 100.
  ASSERT_EQ(progressSeen.size(), chunks.size());
  EXPECT_EQ(progressSeen.front(), 0.0f);
  EXPECT_FLOAT_EQ(progressSeen[6], 25.0f);
  for (std::size_t i = 1; i < progressSeen.size(); ++i) {
    EXPECT_GT(progressSeen[i], progressSeen[i - 1]);
    EXPECT_LT(progressSeen[i], 100.0f);
  }
}

TEST_F(Mp3WriterTest, InformationFrameGoesOverTheStartAndItsFailureFailsTheSave) {
  control->InfoFrame = {'I', 'N', 'F', 'O'};
  ASSERT_EQ(Save({kTestEncoder}), WriteResult::Written);
  std::vector<std::uint8_t> file = ExpectedRange();
  std::copy(control->InfoFrame.begin(), control->InfoFrame.end(), file.begin());
  file.insert(file.end(), {'F', 'L', 'U', 'S', 'H'});
  EXPECT_TRUE(FileBytes(job.OutputPath) == file);

  std::filesystem::remove(job.OutputPath);
  control->InfoResult = 4;
  ExpectSaveFails("BE_ERR code-4");
  EXPECT_FALSE(OutputExists());
}

TEST_F(Mp3WriterTest, CancelStopsAfterTheChunkThenFlushesClosesAndDeletes) {
  onProcessMessages = [this] {
    if (progressSeen.size() == 3) job.SaveActive = false;
  };
  EXPECT_EQ(Save({kTestEncoder}), WriteResult::Cancelled);
  EXPECT_EQ(control->Calls, Calls(3, true));
  EXPECT_FALSE(OutputExists());
  EXPECT_TRUE(messages.empty());
}

TEST_F(Mp3WriterTest, MissingOrIncompleteLibraryWritesNothing) {
  // The C library loads but has none of the four entries.
  EXPECT_EQ(Save({Folder() + "/lame_enc.so", "libm.so.6"}), WriteResult::Failed);
  EXPECT_EQ(messages, std::vector<std::string>{"Lame_enc.dll did not found"});
  EXPECT_FALSE(OutputExists());
  EXPECT_TRUE(control->Calls.empty());
}

TEST_F(Mp3WriterTest, InitFailureReportsTheCodeAndLeavesAnExistingFileAlone) {
  { std::ofstream(job.OutputPath) << "older"; }
  control->InitResult = 2;
  ExpectSaveFails("BE_ERR code-2");
  EXPECT_EQ(control->Calls, std::vector<std::string>{"init"});
  const std::vector<std::uint8_t> older = {'o', 'l', 'd', 'e', 'r'};
  EXPECT_EQ(FileBytes(job.OutputPath), older);
}

TEST_F(Mp3WriterTest, FlushFailureReportsTheCodeAndDeletesThePartialFile) {
  control->DeinitResult = 5;
  ExpectSaveFails("BE_ERR code-5");
  EXPECT_EQ(control->Calls.back(), "close");
  EXPECT_EQ(std::count(control->Calls.begin(), control->Calls.end(), "close"), 1);
  EXPECT_FALSE(OutputExists()) << "a file without its last frames is not kept";
}

TEST_F(Mp3WriterTest, AFullDiskPartWayLeavesNoFileAndSaysSo) {
  // 64 KB: the 141 KB the stand-in echoes cannot fit.
  const tavrin::testing::SmallFileSystem disk(Folder() + "/disk", 64);
  if (!disk.Mounted()) GTEST_SKIP() << "no small file system here";
  job.OutputPath = (disk.Path() / "out.mp3").string();
  ExpectSaveFails("There is no space on drive " + disk.Path().string());
  EXPECT_EQ(control->Calls.back(), "close");
  EXPECT_FALSE(OutputExists());
  EXPECT_TRUE(std::filesystem::is_empty(disk.Path())) << "the space is given back";
}

TEST_F(Mp3WriterTest, RefusedChunkEndsTheSaveWithoutAFile) {
  control->FailEncodeAtCall = 1;
  control->EncodeFailure = 2;
  ExpectSaveFails("BE_ERR code-2");
  EXPECT_EQ(control->Calls, (std::vector<std::string>{"init", "encode", "encode", "close"}));
  EXPECT_FALSE(OutputExists());
}

TEST_F(Mp3WriterTest, FileErrorsShowTheSystemTextAndReleaseTheStream) {
  const std::string wanted = job.OutputPath;
  job.OutputPath = Folder() + "/no-such-folder/out.mp3";
  ExpectSaveFails(job.OutputPath + " could not be saved (" + std::strerror(ENOENT) + ").");
  EXPECT_EQ(control->Calls, (std::vector<std::string>{"init", "close"}));

  // A take shorter than its rows: the read fails part-way and the partial file goes.
  *control = TestEncoderControl{};
  job.OutputPath = wanted;
  ASSERT_EQ(state.Take.RawStream.Truncate(5 * kBlock + 100), 0);
  ExpectSaveFails(job.OutputPath + " could not be saved (" + std::strerror(EIO) + ").");
  EXPECT_EQ(control->Calls.back(), "close");
  EXPECT_FALSE(OutputExists());
}

TEST_F(Mp3WriterTest, NeverReplacesTheTakeNorUnlinksWhatItDidNotCreate) {
  const auto take = FileBytes(Folder() + "/take.raw");
  job.OutputPath = Folder() + "/take.raw";
  ExpectSaveFails(job.OutputPath + " is the sound being saved: choose another file.");
  EXPECT_TRUE(FileBytes(Folder() + "/take.raw") == take);

  // A device is no sound file: refused before it is opened.
  job.OutputPath = "/dev/full";
  ExpectSaveFails("/dev/full is not a plain file: choose another file.");
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

}  // namespace
}  // namespace tavrin::exporter::testing
