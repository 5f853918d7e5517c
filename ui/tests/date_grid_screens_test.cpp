// Pictures for people: a date edit with its open calendar, the date
// dialog and the picking grid, saved with SaveArtifact and checked by
// pixel facts. On a virtual display:
//   scripts/gui-xvfb.sh OUTPUT.png -- build/asan/bin/ui_tests --gtest_filter='DateGridScreensGui.<one test>'
#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>

#include "platform/db/testing/vector_dataset.h"
#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/system.h"
#include "ui/calendar/select_date_dialog.h"
#include "ui/date_edits/date_edit.h"
#include "ui/dbgrid/db_grid_kuvet.h"

namespace {

// On a real display (the screenshot script) the picture stays up a while.
void HoldForScreenshot() {
  if (qEnvironmentVariableIsSet("GUI_TEST_DISPLAY")) QTest::qWait(4000);
}

struct DateGridScreensGui : ::testing::Test {
  TPinnedClock pinned{EncodeDate(2026, 12, 8) + 0.5};
  TForm* form = nullptr;
  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(60, 60, 420, 300);
  }
  void TearDown() override { delete form; }
};

TEST_F(DateGridScreensGui, DateEditWithItsOpenCalendar) {
  auto* edit = new TDateEdit(form);
  edit->SetParent(form);
  edit->SetBounds(200, 20, 110, 21);
  edit->SetDateValue(EncodeDate(2026, 12, 8));
  form->Show();
  Application->ProcessMessages();
  edit->SetFocus();
  KeyClick(edit, VK_DOWN, {ssAlt});
  ASSERT_TRUE(edit->PopupVisible());
  Application->ProcessMessages();
  // The form and the pop-up window, each where it shows on the screen.
  QImage formImage = Grab(form);
  QImage popupImage = Grab(edit->PopupCalendar());
  TPoint formAt = form->ClientToScreen(Point(0, 0));
  TPoint popupAt = edit->PopupCalendar()->ClientToScreen(Point(0, 0));
  QImage shot(formImage.size(), QImage::Format_RGB32);
  QPainter p(&shot);
  p.drawImage(0, 0, formImage);
  p.drawImage(popupAt.x - formAt.x, popupAt.y - formAt.y, popupImage);
  p.end();
  SaveArtifact(shot, "date_edit_dropdown.png");

  // The title bar is button face, the calendar's Sundays red, the chosen
  // day highlighted.
  TLocCalendar* cal = edit->PopupCalendar()->Calendar();
  TPoint calAt = cal->ClientToScreen(Point(0, 0));
  auto onPopup = [&](const TRect& r) { return OffsetRect(r, calAt.x - popupAt.x, calAt.y - popupAt.y); };
  EXPECT_GT(CountColor(popupImage, onPopup(cal->CellRect(6, 2)), clRed), 0);        // 13 December, a Sunday
  EXPECT_GT(CountColor(popupImage, onPopup(cal->CellRect(1, 2)), clHighlight), 0);  // the 8th
  EXPECT_EQ(edit->PopupCalendar()->Title()->Caption(), "prosinec, 2026");
  HoldForScreenshot();
  KeyClick(edit, VK_ESCAPE);
}

TEST_F(DateGridScreensGui, DateDialog) {
  TDateTime date = EncodeDate(2026, 12, 8);
  bool checked = false;
  OnNextModal([&](TCustomForm* f) {
    auto* d = dynamic_cast<TSelectDateDlg*>(f);
    ASSERT_NE(d, nullptr);
    Application->ProcessMessages();
    QImage img = Grab(d);
    SaveArtifact(img, "date_dialog.png");
    EXPECT_EQ(d->ClientWidth(), 222);
    EXPECT_EQ(d->ClientHeight(), 154);
    EXPECT_EQ(d->OkButton()->Caption(), "OK");
    EXPECT_EQ(d->CancelButton()->Caption(), "Storno");
    EXPECT_EQ(d->OkButton()->Width(), 111);
    // The white calendar and the blue bold title.
    TPoint at = d->Calendar()->ClientToScreen(Point(0, 0)), formAt = d->ClientToScreen(Point(0, 0));
    TRect cell = OffsetRect(d->Calendar()->CellRect(3, 3), at.x - formAt.x, at.y - formAt.y);
    EXPECT_GT(CountColor(img, cell, clWindow), 0);
    TPoint titleAt = d->TopPanel()->ClientToScreen(Point(0, 0));
    TRect title = OffsetRect(d->Title()->BoundsRect(), titleAt.x - formAt.x, titleAt.y - formAt.y);
    EXPECT_GT(CountColor(img, title, clBlue), 0);
    checked = true;
    HoldForScreenshot();
    KeyClick(d->Calendar(), VK_ESCAPE);
  });
  EXPECT_FALSE(SelectDate(date, "Select a Date", dowMonday, {dowSunday}, clRed, nullptr));
  EXPECT_TRUE(checked);
}

TEST_F(DateGridScreensGui, PickingGridWithLockedColumnAndChecks) {
  auto* ds = new VectorDataSet(form);
  ds->FieldDefs().Add("FIN_TYP", ftInteger);
  ds->FieldDefs().Add("FIN_NAC", ftString, 20);
  ds->FieldDefs().Add("FIN_TXT", ftString, 30);
  const char* names[] = {"Tržba", "Nájem", "Mzdy", "Vklad", "Poplatek"};
  for (int i = 0; i < 5; ++i) ds->AddRow({Variant(i + 1), Variant(Cz(names[i])), Variant("Typ " + IntToStr(i + 1))});
  ds->Open();
  auto* source = new TDataSource(form);
  source->SetDataSet(ds);
  auto* grid = new TDbGridKuvet(form);
  grid->SetParent(form);
  grid->SetBounds(10, 10, 380, 160);
  grid->SetDataSource(source);
  grid->SetLockedCols(1);
  grid->SetActiveTitleIndex(2);
  grid->SetKeyField("FIN_TYP");
  grid->SetCheckedSignum(true);
  grid->SetCheckEnabled(true);
  grid->CheckedList()->Toggle(2);
  grid->CheckedList()->Toggle(4);
  form->Show();
  Application->ProcessMessages();
  QImage img = Grab(grid);
  SaveArtifact(img, "db_grid_kuvet.png");
  auto onImage = [](const TRect& r) { return OffsetRect(r, 2, 2); };
  // The locked column is silver, the checked rows' indicator cells grey
  // with a picture, the highlighted title sunken.
  EXPECT_GT(CountColor(img, onImage(grid->CellRect(1, 3)), clSilver), 0);
  EXPECT_EQ(CountColor(img, onImage(grid->CellRect(2, 3)), clSilver), 0);
  for (int row : {2, 4}) {
    TRect r = onImage(grid->CellRect(0, row));
    EXPECT_EQ(PixelAt(img, r.Left + 2, r.Top + 2), ColorToRGB(clGray)) << row;
    EXPECT_GT(CountColor(img, r, clNavy), 0) << row;
  }
  TRect plain = onImage(grid->CellRect(0, 3));
  EXPECT_EQ(PixelAt(img, plain.Left + 2, plain.Top + 2), ColorToRGB(grid->FixedColor()));
  TRect title = InflateRect(onImage(grid->CellRect(2, 0)), -1, -1);
  EXPECT_EQ(PixelAt(img, title.Left + 5, title.Top), ColorToRGB(cl3DDkShadow));
  HoldForScreenshot();
}

}  // namespace
