#include "capture/work_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/error_text.h"
#include "capture/peak_file.h"
#include "case_scratch.h"
#include "file_bytes.h"

namespace tavrin::capture {
namespace {

namespace fs = std::filesystem;

class WorkFolder : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(Root / "appdata");
    fs::create_directories(Root / "program");
  }
  static void Touch(const fs::path& path, std::size_t bytes = 0) {
    std::ofstream(path, std::ios::binary) << std::string(bytes, '\0');
  }
  tavrin::testing::ScratchFolder Scratch{"work-" + tavrin::testing::CaseName()};
  fs::path Root = Scratch.Path();
  RecorderState State;
  std::string Error;
};

TEST_F(WorkFolder, WithoutTheAppDataFolderUsesTempBesideTheProgramAndCreatesIt) {
  ASSERT_TRUE(
      ChooseWorkFolder(State, (Root / "appdata").string(), (Root / "program").string(), Error));
  EXPECT_EQ(State.WorkFolder, (Root / "program" / "Temp").string());
  EXPECT_TRUE(fs::is_directory(State.WorkFolder));
  EXPECT_FALSE(fs::exists(Root / "appdata" / "Tavrin Recorder")) << "never created by us";
  EXPECT_EQ(State.Take.RawPath, State.WorkFolder + "/Tavrin.raw");
  EXPECT_EQ(State.PeaksPath, State.WorkFolder + "/Tavrin.spv");
}

TEST_F(WorkFolder, AnExistingAppDataFolderIsUsed) {
  fs::create_directories(Root / "appdata" / "Tavrin Recorder");
  ASSERT_TRUE(
      ChooseWorkFolder(State, (Root / "appdata").string(), (Root / "program").string(), Error));
  EXPECT_EQ(State.WorkFolder, (Root / "appdata" / "Tavrin Recorder").string());
}

TEST_F(WorkFolder, AFolderThatCannotBeCreatedFailsWithItsPath) {
  Touch(Root / "program" / "Temp");  // a file where the folder should go
  EXPECT_FALSE(ChooseWorkFolder(State, "", (Root / "program").string(), Error));
  EXPECT_EQ(Error, "Can not create " + (Root / "program" / "Temp").string());
  EXPECT_TRUE(State.WorkFolder.empty());
}

// An installed program may not write beside itself: the per-user folder is
// made instead, parents and all.
TEST_F(WorkFolder, WhenTempCannotBeCreatedThePerUserFolderIsCreatedAndUsed) {
  Touch(Root / "program" / "Temp");
  const fs::path appData = Root / "fresh-user" / ".local" / "share";
  ASSERT_TRUE(ChooseWorkFolder(State, appData.string(), (Root / "program").string(), Error));
  EXPECT_EQ(State.WorkFolder, (appData / "Tavrin Recorder").string());
  EXPECT_TRUE(fs::is_directory(appData / "Tavrin Recorder"));
  EXPECT_EQ(State.Take.RawPath, (appData / "Tavrin Recorder" / "Tavrin.raw").string());
  EXPECT_TRUE(Error.empty());
}

TEST_F(WorkFolder, WhenNeitherFolderCanBeCreatedTheErrorNamesThePerUserOne) {
  Touch(Root / "program" / "Temp");
  Touch(Root / "appdata" / "Tavrin Recorder");
  EXPECT_FALSE(
      ChooseWorkFolder(State, (Root / "appdata").string(), (Root / "program").string(), Error));
  EXPECT_EQ(Error, "Can not create " + (Root / "appdata" / "Tavrin Recorder").string());
  EXPECT_TRUE(State.WorkFolder.empty());
  EXPECT_TRUE(State.Take.RawPath.empty());
}

TEST_F(WorkFolder, DeletingWorkFilesKeepsThePeakFileAndTheRecoveryTake) {
  ASSERT_TRUE(ChooseWorkFolder(State, "", (Root / "program").string(), Error));
  for (const char* name : {"Tavrin.raw", "Edit.raw", "Clp.raw", "Tavrin.spv", "test"}) {
    Touch(fs::path(State.WorkFolder) / name);
  }
  DeleteWorkFiles(State);
  EXPECT_FALSE(fs::exists(State.Take.RawPath));
  EXPECT_FALSE(fs::exists(State.EditPath));
  EXPECT_FALSE(fs::exists(State.ClipPath));
  EXPECT_TRUE(fs::exists(State.PeaksPath));
  EXPECT_TRUE(fs::exists(fs::path(State.WorkFolder) / "test"));
}

TEST(FileSystem, MountPointAndFreeSpaceOfTheRoot) {
  EXPECT_EQ(base::MountPointOf("/"), "/");
  EXPECT_GT(FreeBytesAt("/"), 0);
  EXPECT_EQ(FreeBytesAt("/no/such/folder/here"), -1);
}

TEST_F(WorkFolder, PeakFileRoundTripsLittleEndianAndChecksItsLength) {
  State.AllocateCaptureMemory();
  for (std::uint32_t k = 1; k <= 3; ++k) {
    State.Take.Peaks[k].MaxLeft = static_cast<std::int16_t>(k * 1000);
    State.Take.Peaks[k].MinLeft = static_cast<std::int16_t>(-1 - static_cast<int>(k));
    State.Take.Peaks[k].MaxRight = 0x1234;
    State.Take.Peaks[k].MinRight = -32768;
  }
  const std::string path = (Root / "Tavrin.spv").string();
  ASSERT_EQ(WritePeakFile(State.Take.Peaks, path, 3), 0);
  ASSERT_EQ(fs::file_size(path), 24u);
  const std::vector<std::uint8_t> head = tavrin::testing::FileBytes(path);
  EXPECT_EQ(head[0], 0xE8);  // 1000 = 0x03E8, low byte first
  EXPECT_EQ(head[1], 0x03);
  EXPECT_EQ(head[2], 0xFE);  // -2
  EXPECT_EQ(head[3], 0xFF);
  EXPECT_EQ(head[4], 0x34);
  EXPECT_EQ(head[7], 0x80);

  RecorderState loaded;
  loaded.AllocateCaptureMemory();
  EXPECT_FALSE(ReadPeakFile(loaded.Take.Peaks, path, 4)) << "a file for another take";
  EXPECT_EQ(loaded.Take.Peaks[1].MaxLeft, 0) << "rejected files change nothing";
  ASSERT_TRUE(ReadPeakFile(loaded.Take.Peaks, path, 3));
  EXPECT_EQ(loaded.Take.Peaks[3].MaxLeft, 3000);
  EXPECT_EQ(loaded.Take.Peaks[2].MinLeft, -3);
  EXPECT_EQ(loaded.Take.Peaks[1].MinRight, -32768);
}

TEST(PeakFileLength, AcceptsUpToSixSpareBytes) {
  EXPECT_TRUE(PeakFileFits(4 * 10 * 2, 10));
  EXPECT_TRUE(PeakFileFits(4 * 10 * 2 + 6, 10));
  EXPECT_TRUE(PeakFileFits(4 * 10 * 2 + 7, 10));
  EXPECT_FALSE(PeakFileFits(4 * 10 * 2 + 8, 10));
  EXPECT_FALSE(PeakFileFits(4 * 10 * 2 - 1, 10));
}

TEST(PositionText, ShowsHoursMinutesSecondsAndTenths) {
  EXPECT_EQ(PositionText(0), "00:00:00.0");
  EXPECT_EQ(PositionText(2), "00:00:00.2");
  EXPECT_EQ(PositionText(600), "00:01:00.0");
  EXPECT_EQ(PositionText(35999), "00:59:59.9");
  EXPECT_EQ(PositionText(36000), "01:00:00.0");
}

}  // namespace
}  // namespace tavrin::capture
