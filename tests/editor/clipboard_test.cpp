// The clipboard operations' cases that a flat model does not show: row shapes,
// selections after Undo and Redo, progress and the busy flag, and failures of
// the work files.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <tuple>

#include "editor/clipboard.h"
#include "editor/effects.h"
#include "editor/levels.h"
#include "editor_test_support.h"

namespace tavrin::editor {
namespace {

using testing::EditorRig;

TEST(Clipboard, DeleteAtTheStartLeavesOneRowAndTheCursorWhereTheSelectionBegan) {
  EditorRig rig("delete", testing::GeneratedTake(100, 7));
  rig.Select(1, 10);
  ASSERT_EQ(Delete(rig.Context), EditResult::Done);
  const std::vector<Segment> rows = LevelRows(rig.Document, 1);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(std::tie(rows[0].Start, rows[0].Length, rows[0].Offset), std::make_tuple(1u, 90u, 11u));
  EXPECT_EQ(rig.Document.Length(), 90u);
  EXPECT_EQ(rig.State.Take.TakeLength, 100u) << "the take keeps its own length";
  EXPECT_EQ(rig.Document.CursorPos, 1u);
  EXPECT_EQ(std::tie(rig.Document.SelStart, rig.Document.SelEnd), std::make_tuple(1u, 1u));

  rig.Select(1, 90);
  ASSERT_EQ(Delete(rig.Context), EditResult::Done);
  EXPECT_EQ(rig.Document.SegmentCount[2], 0) << "an empty document has no rows";
  EXPECT_EQ(rig.Document.Length(), 0u);
  // Pasting into it puts the audio in as its only row.
  rig.Document.ClipLength = 0;
  rig.Document.SilenceLength = 3;
  ASSERT_EQ(Insert(rig.Context, "Silence"), EditResult::Done);
  EXPECT_EQ(rig.Document.Length(), 3u);
  EXPECT_EQ(LevelRows(rig.Document, 3).size(), 1u);
}

TEST(Clipboard, UndoAndRedoRestoreTheRangeActedOnAndTheSelectionLeft) {
  EditorRig rig("undo", testing::GeneratedTake(40, 8));
  rig.Select(11, 20);
  ASSERT_EQ(Copy(rig.Context), EditResult::Done);
  EXPECT_EQ(rig.Document.ClipLength, 10u);
  EXPECT_EQ(rig.Document.CurrentLevel, 0) << "Copy makes no level";
  rig.Document.CursorPos = 5;
  rig.Select(30, 35);
  ASSERT_EQ(Insert(rig.Context, "Paste"), EditResult::Done);
  EXPECT_EQ(rig.Document.Length(), 50u);
  EXPECT_EQ(std::tie(rig.Document.SelStart, rig.Document.SelEnd), std::make_tuple(6u, 16u));

  ASSERT_EQ(Undo(rig.Context), EditResult::Done);
  EXPECT_EQ(std::tie(rig.Document.SelStart, rig.Document.SelEnd), std::make_tuple(5u, 5u))
      << "an empty selection at the cursor the paste used";
  EXPECT_EQ(rig.Document.Length(), 40u);
  ASSERT_EQ(Redo(rig.Context), EditResult::Done);
  EXPECT_EQ(std::tie(rig.Document.SelStart, rig.Document.SelEnd), std::make_tuple(6u, 16u));
  EXPECT_EQ(Redo(rig.Context), EditResult::Unchanged);

  // Cut, Undo, then Paste: the cut can no longer be redone.
  rig.Select(1, 4);
  ASSERT_EQ(Cut(rig.Context), EditResult::Done);
  ASSERT_EQ(Undo(rig.Context), EditResult::Done);
  EXPECT_EQ(std::tie(rig.Document.SelStart, rig.Document.SelEnd), std::make_tuple(1u, 4u));
  ASSERT_EQ(Insert(rig.Context, "paste"), EditResult::Done);
  EXPECT_EQ(Redo(rig.Context), EditResult::Unchanged);
  while (Undo(rig.Context) == EditResult::Done) {
  }
  EXPECT_EQ(rig.Document.CurrentLevel, 0);
  EXPECT_EQ(rig.Document.Length(), 40u) << "level 0 is the take again";
}

TEST(Clipboard, LongOperationsReportProgressAndKeepOtherCommandsOut) {
  EditorRig rig("busy", testing::GeneratedTake(10, 9));
  std::vector<EditResult> meanwhile;
  rig.OnPump = [&] {
    EXPECT_TRUE(rig.Document.EditBusy);
    EXPECT_TRUE(rig.Document.ProgressShown);
    meanwhile.push_back(Delete(rig.Context));
    meanwhile.push_back(Undo(rig.Context));
  };
  rig.Select(1, 5);
  ASSERT_EQ(Copy(rig.Context), EditResult::Done);
  EXPECT_EQ(rig.Progress, (std::vector<float>{0, 25, 50, 75, 100}));
  EXPECT_EQ(std::count(meanwhile.begin(), meanwhile.end(), EditResult::Busy), 10);
  EXPECT_EQ(rig.Document.CurrentLevel, 0);
  EXPECT_FALSE(rig.Document.EditBusy);
  EXPECT_FALSE(rig.Document.ProgressShown);

  rig.Progress.clear();
  rig.Document.CursorPos = 10;
  ASSERT_EQ(Insert(rig.Context, "PASTE"), EditResult::Done);
  EXPECT_EQ(rig.Progress, (std::vector<float>{20, 40, 60, 80, 100}));
  rig.Progress.clear();
  rig.Select(1, 3);
  ASSERT_EQ(Normalize(rig.Context), EditResult::Done);
  EXPECT_EQ(rig.Progress, (std::vector<float>{0, 50, 100}));
}

TEST(Clipboard, AFullDiskStopsTheOperationAndChangesNothing) {
  EditorRig rig("full", testing::GeneratedTake(20, 10));
  rig.Select(2, 6);
  ASSERT_EQ(Copy(rig.Context), EditResult::Done);
  const std::vector<std::int16_t> before = rig.ReadAll();
  rig.Document.EditStream.Adopt(::open("/dev/full", O_RDWR | O_CLOEXEC));

  rig.Document.SilenceLength = 3;
  EXPECT_EQ(Insert(rig.Context, "Silence"), EditResult::Failed);
  EXPECT_EQ(Insert(rig.Context, "Paste"), EditResult::Failed);
  rig.Select(2, 6);
  EXPECT_EQ(FadeIn(rig.Context), EditResult::Failed);
  EXPECT_EQ(rig.Messages, std::vector<std::string>(3, "There is no space on drive /work-drive"));
  EXPECT_EQ(rig.Document.CurrentLevel, 0);
  EXPECT_EQ(rig.Document.Length(), 20u);
  EXPECT_EQ(rig.ReadAll(), before);

  // A Cut whose copy cannot be kept deletes nothing.
  rig.Document.ClipStream.Adopt(::open("/dev/full", O_RDWR | O_CLOEXEC));
  EXPECT_EQ(Cut(rig.Context), EditResult::Failed);
  EXPECT_EQ(rig.Document.Length(), 20u);
  EXPECT_EQ(rig.Document.ClipLength, 0u);
}

TEST(Clipboard, AnUnreadableSourceStopsTheOperationWithTheSystemsText) {
  EditorRig rig("unreadable", testing::GeneratedTake(20, 11));
  const std::int64_t workBytes = rig.Document.EditStream.Size();
  rig.State.Take.RawStream.Adopt(::open(rig.Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  rig.Select(3, 8);
  EXPECT_EQ(Amplify(rig.Context, 2.0), EditResult::Failed);
  EXPECT_EQ(rig.Messages, std::vector<std::string>{"Is a directory"});
  EXPECT_EQ(rig.Document.CurrentLevel, 0);
  EXPECT_EQ(rig.Document.EditStream.Size(), workBytes);
}

TEST(Clipboard, InsertionBeyondTenHoursIsRefused) {
  EditorRig rig("long", testing::GeneratedTake(2, 12));
  rig.Document.SilenceLength = static_cast<std::int32_t>(capture::kTenHoursBuffers - 1);
  EXPECT_EQ(Insert(rig.Context, "Silence"), EditResult::Refused);
  EXPECT_EQ(rig.Messages, std::vector<std::string>{kTooLongMessage});
  EXPECT_EQ(rig.Document.CurrentLevel, 0);
}

}  // namespace
}  // namespace tavrin::editor
