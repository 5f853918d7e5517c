// The grid under a right-to-left reading order: the arrows trade places
// for every right-to-left mode, and the cell texts change sides only where
// the alignment is mirrored.
#include <cstdlib>

#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_pixels.h"
#include "ui/tests/dbgrid_test_support.h"

namespace {

using gridtest::GridFixture;

struct DbGridRightToLeftGui : GridFixture {
  int Rows() const override { return 8; }
};

struct ModeCase {
  TBiDiMode mode;
  bool reading;    // arrows swapped
  bool alignment;  // texts mirrored
};
const ModeCase kModes[] = {
    {bdLeftToRight, false, false},
    {bdRightToLeft, true, true},
    {bdRightToLeftNoAlign, true, false},
    {bdRightToLeftReadingOnly, true, false},
};

TEST_F(DbGridRightToLeftGui, ArrowsTradePlacesUnderEveryRightToLeftMode) {
  // From the first column; the columns each key reaches, reading from the
  // left and from the right.
  struct Step {
    Word key;
    TShiftState shift;
    int leftToRight;
    int rightToLeft;
  };
  const Step steps[] = {
      {VK_RIGHT, {}, 1, 0},       {VK_LEFT, {}, 0, 1},         {VK_LEFT, {}, 0, 2},
      {VK_RIGHT, {}, 1, 1},       {VK_RIGHT, {ssCtrl}, 4, 0},  {VK_LEFT, {ssCtrl}, 0, 4},
  };
  for (const ModeCase& m : kModes) {
    grid->SetBiDiMode(m.mode);
    EXPECT_EQ(grid->UseRightToLeftReading(), m.reading) << m.mode;
    KeyClick(grid, VK_HOME);
    ASSERT_EQ(grid->SelectedIndex(), 0) << m.mode;
    for (const Step& s : steps) {
      KeyClick(grid, s.key, s.shift);
      EXPECT_EQ(grid->SelectedIndex(), m.reading ? s.rightToLeft : s.leftToRight)
          << "mode " << m.mode << " key " << s.key;
      EXPECT_EQ(ds->RecNo(), 1) << "mode " << m.mode << " key " << s.key;
    }
  }
  // A row-selecting grid scrolls its columns with the arrows, swapped too.
  UseJournalOptions();
  grid->SetWidth(200);
  Application->ProcessMessages();
  grid->SetBiDiMode(bdRightToLeftReadingOnly);
  int left = grid->LeftCol();
  KeyClick(grid, VK_LEFT);
  EXPECT_EQ(grid->LeftCol(), left + 1);
  KeyClick(grid, VK_RIGHT);
  EXPECT_EQ(grid->LeftCol(), left);
}

TEST_F(DbGridRightToLeftGui, MirroredAlignmentMovesTheTextsToTheOtherSide) {
  // The number column centred; the description is left- and the amount
  // right-aligned by their fields. Row 2 is neither current nor selected.
  grid->Columns()->Items(1)->SetAlignment(taCenter);
  const int row = 2;
  ASSERT_LE(Cell(4, row).Right, grid->ClientWidth());
  for (const ModeCase& m : kModes) {
    grid->SetBiDiMode(m.mode);
    EXPECT_EQ(grid->UseRightToLeftAlignment(), m.alignment) << m.mode;
    EXPECT_EQ(grid->Widget()->layoutDirection(), m.alignment ? Qt::RightToLeft : Qt::LeftToRight) << m.mode;
    QImage img = Grab(grid);
    // Ink offsets from the cell's left edge and from its right edge.
    auto fromLeft = [&](int col) {
      TRect r = OnImage(Cell(col, row));
      return FirstInkColumn(img, r, clWindow) - r.Left;
    };
    auto fromRight = [&](int col) {
      TRect r = OnImage(Cell(col, row));
      return r.Right - 1 - LastInkColumn(img, r, clWindow);
    };
    int leftText = m.alignment ? 4 : 3;   // the description starts here...
    int rightText = m.alignment ? 3 : 4;  // ...and the amount here
    EXPECT_GE(fromLeft(leftText), 2) << m.mode;
    EXPECT_LE(fromLeft(leftText), 4) << m.mode;
    EXPECT_GE(fromRight(rightText), 3) << m.mode;
    EXPECT_LE(fromRight(rightText), 5) << m.mode;
    // The other side of those cells stays empty beyond the text.
    EXPECT_GT(fromRight(leftText), 10) << m.mode;
    EXPECT_GT(fromLeft(rightText), 10) << m.mode;
    // Centred stays centred.
    EXPECT_LE(std::abs(fromLeft(1) - fromRight(1)), 2) << m.mode;
  }
}

}  // namespace
