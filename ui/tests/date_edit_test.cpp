// The date edit with the Czech settings and the clock pinned to
// 8 December 2026: mask and format, the value both ways, keys, the
// calendar, the format-settings notice and the exit check.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/format_settings.h"
#include "ui/common/date_util.h"
#include "ui/calendar/select_date_dialog.h"
#include "ui/date_edits/date_edit.h"

namespace {

struct DateEditGui : ::testing::Test {
  TPinnedClock pinned{EncodeDate(2026, 12, 8) + 0.5};
  TForm* form = nullptr;
  TDateEdit* edit = nullptr;
  TEdit* other = nullptr;
  TButton* ok = nullptr;
  int okClicks = 0, changes = 0;

  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(100, 100, 320, 200);
    edit = new TDateEdit(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 120, 21);
    edit->OnChange = [this](TObject*) { ++changes; };
    other = new TEdit(form);
    other->SetParent(form);
    other->SetBounds(10, 60, 100, 21);
    ok = new TButton(form);
    ok->SetParent(form);
    ok->SetBounds(10, 100, 75, 25);
    ok->SetDefault(true);
    ok->OnClick = [this](TObject*) { ++okClicks; };
    form->Show();
    Application->ProcessMessages();
    edit->SetFocus();
  }
  void TearDown() override { delete form; }
};

TEST_F(DateEditGui, MaskAndFormatFollowTheShortDateFormat) {
  EXPECT_EQ(edit->EditMask(), "!99/99/9999;1; ");
  EXPECT_EQ(edit->DateFormat(), "DD/MM/YYYY");
  EXPECT_EQ(edit->EditText(), "  .  .    ");
  EXPECT_EQ(edit->ButtonWidth(), 21);
  EXPECT_EQ(edit->NumGlyphs(), 2);
  EXPECT_EQ(edit->DialogTitle(), "Select a Date");
  edit->SetYearDigits(dyTwo);
  EXPECT_EQ(edit->EditMask(), "!99/99/99;1; ");
  EXPECT_EQ(edit->DateFormat(), "DD/MM/YY");
  edit->SetYearDigits(dyFour);
  edit->SetBlanksChar('\x05');
  EXPECT_EQ(edit->BlanksChar(), ' ');
  edit->SetBlanksChar('_');
  EXPECT_EQ(edit->EditMask(), "!99/99/9999;1;_");
}

TEST_F(DateEditGui, ValuesGoInAndComeBackWithoutTheirTime) {
  for (TDateTime d : {EncodeDate(2026, 12, 8), EncodeDate(2024, 2, 29) + 0.75, EncodeDate(1999, 1, 31),
                      EncodeDate(9999, 12, 31)}) {
    edit->SetDateValue(d);
    EXPECT_EQ(edit->GetDateValue(), std::floor(d)) << edit->Text();
  }
  edit->SetDateValue(EncodeDate(2026, 1, 2));
  EXPECT_EQ(edit->Text(), "02.01.2026");
  edit->SetModified(false);
  edit->SetDateValue(EncodeDate(2026, 1, 2) + 0.5);  // same date
  EXPECT_FALSE(edit->Modified());
  edit->SetDateValue(NullDate);
  EXPECT_TRUE(edit->Modified());
  EXPECT_EQ(edit->EditText(), "  .  .    ");
  EXPECT_EQ(edit->GetDateValue(), NullDate);
  edit->SetDateValue(-800000);  // before year 1
  EXPECT_EQ(edit->GetDateValue(), NullDate);
  edit->SetDefaultToday(true);
  EXPECT_EQ(edit->GetDateValue(), EncodeDate(2026, 12, 8));
  edit->SetDateValue(NullDate);
  EXPECT_EQ(edit->Text(), "08.12.2026");
  edit->SetText("31.02.2026");
  EXPECT_EQ(edit->GetDateValue(), EncodeDate(2026, 12, 8));
}

TEST_F(DateEditGui, CheckOnExitReformatsOrRefuses) {
  MessageBoxRecorder boxes;
  edit->SetCheckOnExit(true);
  edit->SetText(" 8.12.26  ");
  changes = 0;
  other->SetFocus();
  EXPECT_EQ(edit->Text(), "08.12.2026");
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(other->Focused());
  edit->SetFocus();
  edit->SetText("31.02.2026");
  other->SetFocus();
  EXPECT_TRUE(edit->Focused());
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  // The message box ends the error's text with a full stop.
  EXPECT_EQ(boxes.Boxes()[0].Text, "''31.02.2026'' is not a valid date.");
  edit->SetText("");
  other->SetFocus();
  EXPECT_TRUE(other->Focused());
}

TEST_F(DateEditGui, KeysStepTheDateOrSetToday) {
  KeyClick(edit, VK_ADD);
  EXPECT_EQ(edit->Text(), "09.12.2026");
  KeyClick(edit, VK_ADD);
  KeyClick(edit, VK_SUBTRACT);
  KeyClick(edit, VK_SUBTRACT);
  EXPECT_EQ(edit->Text(), "08.12.2026");
  edit->SetDateValue(EncodeDate(2020, 5, 5));
  TypeText(edit, "t");
  EXPECT_EQ(edit->Text(), "08.12.2026");
  edit->SetSelStart(0);
  TypeText(edit, "+-");
  EXPECT_EQ(edit->Text(), "08.12.2026");
}

TEST_F(DateEditGui, AReadOnlyEditIgnoresTheDateKeys) {
  edit->SetDateValue(EncodeDate(2026, 3, 1));
  edit->SetModified(false);
  edit->SetReadOnly(true);
  KeyClick(edit, VK_ADD);
  TypeText(edit, "t");
  EXPECT_EQ(edit->Text(), "01.03.2026");
  EXPECT_FALSE(edit->Modified());
}

TEST_F(DateEditGui, TheDroppedDownCalendarTakesTheKeys) {
  edit->SetDateValue(EncodeDate(2026, 1, 31));
  KeyClick(edit, VK_DOWN, {ssAlt});
  ASSERT_TRUE(edit->PopupVisible());
  TUxCalendar* cal = edit->PopupCalendar()->Calendar();
  EXPECT_EQ(cal->CalendarDate(), EncodeDate(2026, 1, 31));
  KeyClick(edit, VK_NEXT);  // February has no 31st
  EXPECT_EQ(cal->CalendarDate(), EncodeDate(2026, 2, 28));
  KeyClick(edit, VK_NEXT, {ssCtrl});
  KeyClick(edit, VK_RIGHT);
  TypeText(edit, "+T");  // typed characters go to the calendar, not the text
  EXPECT_EQ(cal->CalendarDate(), EncodeDate(2026, 12, 8));
  KeyClick(edit, VK_SUBTRACT);
  EXPECT_EQ(cal->CalendarDate(), EncodeDate(2026, 12, 7));
  EXPECT_EQ(edit->Text(), "31.01.2026");
  KeyClick(edit, VK_RETURN);
  EXPECT_FALSE(edit->PopupVisible());
  EXPECT_EQ(edit->Text(), "07.12.2026");
  EXPECT_EQ(okClicks, 0);
  // An empty edit opens at today.
  edit->SetDateValue(NullDate);
  KeyClick(edit, VK_DOWN, {ssAlt});
  EXPECT_EQ(cal->CalendarDate(), EncodeDate(2026, 12, 8));
  KeyClick(edit, VK_ESCAPE);
  EXPECT_EQ(edit->Text(), "  .  .    ");
}

TEST_F(DateEditGui, OnAcceptDateMayChangeOrRefuse) {
  edit->OnAcceptDate = [](TObject*, TDateTime& d, bool& action) {
    if (DayOfWeek(d) == 1)
      action = false;  // no Sundays
    else
      d += 1;
  };
  edit->SetDateValue(EncodeDate(2026, 12, 8));
  edit->ButtonClick();
  KeyClick(edit, VK_RETURN);
  EXPECT_EQ(edit->Text(), "09.12.2026");
  edit->SetDateValue(EncodeDate(2026, 12, 13));  // a Sunday
  edit->ButtonClick();
  KeyClick(edit, VK_RETURN);
  EXPECT_EQ(edit->Text(), "13.12.2026");
}

TEST_F(DateEditGui, TheDialogStyleRunsTheDateDialog) {
  edit->SetCalendarStyle(csDialog);
  EXPECT_EQ(edit->PopupCalendar(), nullptr);
  edit->SetDialogTitle("Datum");
  edit->SetDateValue(EncodeDate(2026, 12, 8));
  AnsiString caption;
  OnNextModal([&](TCustomForm* f) {
    caption = f->Caption();
    auto* d = dynamic_cast<TSelectDateDlg*>(f);
    ASSERT_NE(d, nullptr);
    KeyClick(d->Calendar(), VK_TAB);
    KeyClick(d->Calendar(), VK_RETURN);
  });
  other->SetFocus();
  edit->ButtonClick();
  EXPECT_EQ(caption, "Datum");
  EXPECT_EQ(edit->Text(), "08.01.2027");
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(TSelectDateDlg::LiveCount(), 0);
}

TEST_F(DateEditGui, TheFormatNoticeReformatsAndKeepsTheDate) {
  edit->SetDateValue(EncodeDate(2026, 12, 8));
  TFormatSettings saved = FormatSettings();
  // A swap that announces nothing (as the in-memory table's) changes nothing.
  FormatSettings().ShortDateFormat = "yyyy-MM-dd";
  FormatSettings().DateSeparator = '-';
  EXPECT_EQ(edit->EditMask(), "!99/99/9999;1; ");
  bool wasOn = Application->UpdateFormatSettings();
  Application->SetUpdateFormatSettings(true);
  Application->FormatSettingsChanged();
  EXPECT_EQ(edit->DateFormat(), "YYYY/MM/DD");
  EXPECT_EQ(edit->EditMask(), "!9999/99/99;1; ");
  EXPECT_EQ(edit->Text(), "2026-12-08");
  EXPECT_EQ(edit->GetDateValue(), EncodeDate(2026, 12, 8));
  FormatSettings() = saved;
  Application->FormatSettingsChanged();
  Application->SetUpdateFormatSettings(wasOn);
  EXPECT_EQ(edit->Text(), "08.12.2026");
}

TEST_F(DateEditGui, EnterReachesTheDefaultButtonOnlyWithAValidDate) {
  MessageBoxRecorder boxes;
  edit->SetCheckOnExit(true);
  edit->SetText("31.02.2026");
  KeyClick(edit, VK_RETURN);
  EXPECT_EQ(okClicks, 0);
  EXPECT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_TRUE(edit->Focused());
  edit->SetText("28.02.2026");
  KeyClick(edit, VK_RETURN);
  EXPECT_EQ(okClicks, 1);
  // Esc is never checked.
  edit->SetText("31.02.2026");
  KeyClick(edit, VK_ESCAPE);
  EXPECT_EQ(boxes.Boxes().size(), 1u);
}

}  // namespace
