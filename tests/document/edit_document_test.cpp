#include "document/edit_document.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace tavrin::document {
namespace {

namespace fs = std::filesystem;

TEST(LevelZero, AWrappedLoopTakeOpensOldestFirstInTwoSegments) {
  EditDocument document;
  BuildLevelZero(document, 1800, 145, true);
  const std::vector<Segment> rows = LevelRows(document, 0);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Start, 1u);
  EXPECT_EQ(rows[0].Length, 1655u);
  EXPECT_EQ(rows[0].Offset, 146u);
  EXPECT_EQ(rows[1].Start, 1656u);
  EXPECT_EQ(rows[1].Length, 145u);
  EXPECT_EQ(rows[1].Offset, 1u);
  EXPECT_EQ(document.LevelLength[0], 1800u);

  EXPECT_EQ(Locate(document, 1).SourceBuffer, 146u);
  EXPECT_EQ(Locate(document, 1655).SourceBuffer, 1800u);
  EXPECT_EQ(Locate(document, 1656).SourceBuffer, 1u);
  EXPECT_EQ(Locate(document, 1656).Row, 2);
  EXPECT_FALSE(Locate(document, 1801).Found);
  EXPECT_FALSE(Locate(document, 0).Found);
}

TEST(LevelZero, AWrappedTakeStoppedRightAtTheWrapHasAnEmptySecondSegment) {
  EditDocument document;
  BuildLevelZero(document, 1800, 0, true);
  const std::vector<Segment> rows = LevelRows(document, 0);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].Length, 0u);
  EXPECT_EQ(Locate(document, 1801).Found, false) << "no position matches the empty segment";
  EXPECT_EQ(Locate(document, 1800).Row, 1);
}

TEST(LevelZero, AContinuousTakeIsOneSegment) {
  EditDocument document;
  BuildLevelZero(document, 50, 50, false);
  ASSERT_EQ(LevelRows(document, 0).size(), 1u);
  EXPECT_EQ(Locate(document, 50).SourceBuffer, 50u);
}

TEST(SegmentTable, RefusesMoreRowsOrLevelsThanItHolds) {
  EditDocument document;
  std::vector<Segment> rows(101, Segment{1, 1, 1, true});
  EXPECT_FALSE(SetLevelRows(document, 1, rows));
  EXPECT_EQ(document.SegmentCount[1], 0);
  rows.resize(100);
  EXPECT_TRUE(SetLevelRows(document, 50, rows));
  EXPECT_FALSE(SetLevelRows(document, 51, rows));
  EXPECT_FALSE(SetLevelRows(document, -1, rows));
}

TEST(Reading, BuffersComeFromTheTakeOrTheWorkFileByRow) {
  const tavrin::testing::ScratchFolder scratch("edit-document");
  const fs::path& folder = scratch.Path();
  auto writeFile = [&](const fs::path& path, int buffers, std::uint8_t base) {
    std::ofstream out(path, std::ios::binary);
    for (int b = 0; b < buffers; ++b) out << std::string(kBufferBytes, static_cast<char>(base + b));
  };
  writeFile(folder / "take.raw", 5, 10);
  writeFile(folder / "edit.raw", 3, 100);
  Take take;
  EditDocument document;
  ASSERT_EQ(take.RawStream.OpenExisting((folder / "take.raw").string()), 0);
  ASSERT_EQ(document.EditStream.OpenExisting((folder / "edit.raw").string()), 0);
  ASSERT_TRUE(SetLevelRows(document, 0, {{1, 2, 4, true}, {3, 3, 1, false}}));

  std::vector<std::uint8_t> buffer(kBufferBytes);
  ASSERT_EQ(ReadBuffer(document, take, 2, buffer.data()), 0);
  EXPECT_EQ(buffer.front(), 10 + 4);  // take buffer 5
  EXPECT_EQ(buffer.back(), 10 + 4);
  ASSERT_EQ(ReadBuffer(document, take, 4, buffer.data()), 0);
  EXPECT_EQ(buffer.front(), 100 + 1);  // work-file buffer 2
  EXPECT_EQ(ReadBuffer(document, take, 6, buffer.data()), ENOENT);
  take.RawStream.Close();
  document.EditStream.Close();
}

TEST(Peaks, ComeFromTheTableOfTheLocatedSource) {
  Take take;
  take.Peaks.assign(8, BufferPeaks{});
  take.Peaks[7].MaxLeft = 1234;
  EditDocument document;
  document.WorkPeaks.assign(3, BufferPeaks{});
  document.WorkPeaks[2].MinRight = -999;
  ASSERT_TRUE(SetLevelRows(document, 0, {{1, 1, 7, true}, {2, 2, 2, false}}));
  EXPECT_EQ(PeaksAt(document, take, 1).MaxLeft, 1234);
  EXPECT_EQ(PeaksAt(document, take, 2).MinRight, -999);
  EXPECT_EQ(PeaksAt(document, take, 3).MinRight, 0) << "beyond the work table: no peaks";
}

TEST(Marks, StandWhereTheRowsPutTheirAudioAndGoWithIt) {
  Take take;
  take.Marks = {{2, {1, "intro"}}, {5, {2, ""}}, {9, {3, "cut away"}}};
  EditDocument document;
  document.WorkMarks = {{1, {4, "pasted"}}};
  // Take buffers 4..6, then work buffer 1, then take buffers 1..2: take
  // buffer 9 is in no row.
  ASSERT_TRUE(SetLevelRows(document, 0, {{1, 3, 4, true}, {4, 1, 1, false}, {5, 2, 1, true}}));
  std::vector<std::pair<std::uint32_t, std::uint32_t>> placed;  // position, number
  for (const PlacedMark& mark : DocumentMarks(document, take, 1, 6)) {
    placed.emplace_back(mark.Position, mark.Mark.Number);
  }
  EXPECT_EQ(placed, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{2, 2}, {4, 4}, {6, 1}}));
}

TEST(Marks, SideFileKeepsEveryTextExactlyAndPassesOverATornLine) {
  MarkTable marks = {
      {3, {1, "tab\there, line\nbreak, back\\slash\r"}}, {3, {2, ""}}, {7, {3, "問題"}}};
  std::string text;
  for (const auto& [buffer, mark] : marks) text += FormatMarkLine(buffer, mark);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
  EXPECT_EQ(ParseMarkLines(text + "12\t4\ttorn"), marks);
  EXPECT_EQ(LastMarkNumber(marks), 3u);
  for (const char* bad : {"x\t1\tt\n", "0\t1\tt\n", "1\t1\tend\\\n", "1\t1\\q\n", "1 1 t\n"}) {
    EXPECT_TRUE(ParseMarkLines(bad).empty()) << bad;
  }
}

}  // namespace
}  // namespace tavrin::document
