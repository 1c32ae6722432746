// The mouse selection rules: new selections, clicks, edge drags, the first
// column, and what the view ignores.

#include <algorithm>

#include "view_test_support.h"

namespace tavrin::editor::testing {
namespace {

TEST(MouseSelection, DragFromFirstColumnAtZoom4StartsAtBufferOne) {
  ViewRig rig(1000);
  rig.View.ZoomIndex = 3;  // 4 buffers per column, view at the start
  const MouseResult press = rig.Press(kL + 1);
  EXPECT_EQ(press.Cursor, CursorShape::ResizeWestEast);
  EXPECT_TRUE(rig.View.DragActive());
  EXPECT_TRUE(rig.Drag(kL + 10).IncrementalRedraw);
  rig.Release(kL + 10);
  EXPECT_EQ(rig.Selection(), std::pair(1u, 40u));
  EXPECT_EQ(rig.Document.CursorPos, 40u);

  // Dragging back to the first column reaches buffer 1 as well.
  ViewRig back(1000);
  back.View.ZoomIndex = 3;
  back.Press(kL + 10);
  back.Drag(kL + 1);
  EXPECT_EQ(back.Selection(), std::pair(1u, 40u));

  // Scrolled away from the start, the first column is an ordinary column.
  ViewRig scrolled(1000);
  scrolled.View.ZoomIndex = 3;
  scrolled.View.ViewOffset = 100;
  scrolled.Press(kL + 1);
  scrolled.Drag(kL + 10);
  EXPECT_EQ(scrolled.Document.SelStart, 104u);
}

TEST(MouseSelection, ClickInsideSelectionLeavesCursorAndNoSelection) {
  ViewRig rig(1000);
  rig.Select(100, 300);
  rig.Document.CursorPos = 100;
  rig.View.DrawWaveform();
  const MouseResult press = rig.Press(kL + 200);
  EXPECT_FALSE(rig.View.DragActive());
  EXPECT_EQ(press.Cursor, CursorShape::Unchanged);
  EXPECT_EQ(rig.Document.CursorPos, 200u);
  EXPECT_EQ(rig.Document.SelEnd, 300u);  // the release decides
  const MouseResult release = rig.Release(kL + 200);
  EXPECT_TRUE(release.FullRedraw);
  EXPECT_TRUE(release.ShowPositions);
  EXPECT_EQ(rig.Selection(), std::pair(200u, 200u));
  EXPECT_EQ(rig.Document.CursorPos, 200u);
  const auto& flags = rig.View.ColumnSelected();
  EXPECT_TRUE(std::all_of(flags.begin(), flags.end(), [](std::uint8_t f) { return f == 0; }));

  // From the cursor, the next press starts a new selection.
  rig.Press(kL + 250);
  EXPECT_TRUE(rig.View.DragActive());
}

TEST(MouseSelection, EdgeDragsMoveTheGrabbedEdge) {
  ViewRig rig(1000);
  rig.Select(100, 300);
  EXPECT_EQ(rig.Press(kL + 301).Cursor, CursorShape::ResizeWestEast);  // end zone
  rig.Drag(kL + 350);
  EXPECT_EQ(rig.Document.SelEnd, 350u);
  rig.Drag(kL + 330);  // back inside, right half: the end follows
  EXPECT_EQ(rig.Selection(), std::pair(100u, 330u));
  rig.Release(kL + 330);
  EXPECT_EQ(rig.Document.CursorPos, 330u);

  rig.Press(kL + 98);  // start zone
  EXPECT_TRUE(rig.View.DragActive());
  rig.Drag(kL + 50);
  rig.Drag(kL + 120);  // left half: the start follows
  EXPECT_EQ(rig.Selection(), std::pair(120u, 330u));

  // Past the document's end the selection stops at its last buffer.
  ViewRig shortDocument(500);
  shortDocument.Press(kL + 400);
  shortDocument.Drag(kL + 600);
  EXPECT_EQ(shortDocument.Document.SelEnd, 500u);
  EXPECT_EQ(shortDocument.Document.CursorPos, 500u);
}

TEST(MouseSelection, EdgePressReleasedInItsColumnChangesNothing) {
  ViewRig rig(1000);
  rig.Select(100, 300);
  rig.Document.CursorPos = 5;
  rig.Press(kL + 300);
  rig.Release(kL + 300);
  EXPECT_EQ(rig.Selection(), std::pair(100u, 300u));
  EXPECT_FALSE(rig.View.DragActive());
}

TEST(MouseSelection, HoverShowsResizeCursorOverEdgesOnly) {
  ViewRig rig(1000);
  EXPECT_EQ(rig.Hover(kL + 100).Cursor, CursorShape::Unchanged);  // nothing selected
  rig.Select(100, 300);
  EXPECT_EQ(rig.Hover(kL + 98).Cursor, CursorShape::ResizeWestEast);
  EXPECT_EQ(rig.Hover(kL + 302).Cursor, CursorShape::ResizeWestEast);
  EXPECT_EQ(rig.Hover(kL + 200).Cursor, CursorShape::Default);
  EXPECT_EQ(rig.Hover(kL + 97).Cursor, CursorShape::Default);
  EXPECT_TRUE(rig.Hover(kL + 200).HandleIdle);
}

TEST(MouseSelection, IgnoredPressesLeaveNothingForTheRelease) {
  ViewRig rig(500);
  rig.Select(100, 300);
  // Beyond the document's end, on the area's edge, another button, busy.
  for (const MouseInput input :
       {MouseInput{kL + 600, rig.Row(), true, true}, MouseInput{kL, rig.Row(), true, true},
        MouseInput{kL + 200, rig.View.Geometry().B + 1, true, true},
        MouseInput{kL + 200, rig.Row(), false, false}}) {
    EXPECT_FALSE(rig.View.MousePress(input).FullRedraw);
    EXPECT_FALSE(rig.View.MouseRelease(input).FullRedraw);
    EXPECT_EQ(rig.Selection(), std::pair(100u, 300u));
  }
  rig.Document.EditBusy = true;
  EXPECT_FALSE(rig.Press(kL + 200).FullRedraw);
  rig.Document.EditBusy = false;
  rig.Release(kL + 200);
  EXPECT_EQ(rig.Selection(), std::pair(100u, 300u));

  // A drag released outside the window leaves the cursor inside the document.
  rig.Press(kL + 300);
  rig.Drag(kL + 350);
  rig.Release(-40);
  EXPECT_EQ(rig.Document.CursorPos, 1u);
  EXPECT_EQ(rig.Document.SelEnd, 350u);
}

}  // namespace
}  // namespace tavrin::editor::testing
