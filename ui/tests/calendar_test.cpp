// The month calendar: layout against an independent calendar, the rules
// of stepping by day, month and year, keys, clicks and colours.
#include <chrono>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"
#include "ui/common/date_util.h"
#include "platform/gui/testing/gui_modal.h"
#include "ui/calendar/popup_calendar.h"
#include "ui/calendar/select_date_dialog.h"
#include "ui/calendar/ux_calendar.h"

namespace {

struct CalendarGui : ::testing::Test {
  TPinnedClock pinned{EncodeDate(2026, 12, 8) + 0.5};
  TForm* form = nullptr;
  TUxCalendar* cal = nullptr;
  int changes = 0;

  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(40, 40, 300, 260);
    cal = new TUxCalendar(form);
    cal->SetParent(form);
    cal->SetBounds(8, 8, 220, 150);
    cal->OnChange = [this](TObject*) { ++changes; };
    form->Show();
    Application->ProcessMessages();
    cal->SetFocus();
  }
  void TearDown() override { delete form; }
  void ClickCell(int col, int row) {
    TRect r = cal->CellRect(col, row);
    MouseClick(cal, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }
  // The cell showing a day of the calendar's month.
  void FindDay(int day, int& col, int& row) const {
    for (row = 1; row < 7; ++row)
      for (col = 0; col < 7; ++col)
        if (cal->CellText(col, row) == IntToStr(day)) return;
  }
};

TEST_F(CalendarGui, StartsAtTodayWithMondayFirst) {
  EXPECT_EQ(cal->CalendarDate(), EncodeDate(2026, 12, 8));
  EXPECT_TRUE(cal->UseCurrentDate());
  EXPECT_EQ(cal->StartOfWeek(), dowMonday);
  EXPECT_EQ(cal->Weekends(), TDaysOfWeek{dowSunday});
  EXPECT_EQ(cal->WeekendColor(), clRed);
  EXPECT_EQ(cal->CellText(0, 0), "po");
  EXPECT_EQ(cal->CellText(6, 0), "ne");
  // 8 December 2026 is a Tuesday: second column, second week.
  EXPECT_EQ(cal->Col(), 1);
  EXPECT_EQ(cal->Row(), 2);
}

TEST_F(CalendarGui, EveryMonthAndStartOfWeekMatchesAnIndependentCalendar) {
  using namespace std::chrono;
  std::vector<std::pair<int, int>> months = {{2024, 2}};
  for (int m = 1; m <= 12; ++m) months.emplace_back(2026, m);
  for (int start = 0; start < 7; ++start) {
    cal->SetStartOfWeek(static_cast<TDayOfWeekName>(start));
    for (auto [y, m] : months) {
      cal->SetCalendarDate(EncodeDate(y, m, 1));
      int days = DaysInMonth(y, m);
      int shown = 0;
      for (int row = 1; row < 7; ++row)
        for (int col = 0; col < 7; ++col) {
          AnsiString text = cal->CellText(col, row);
          if (text.empty()) continue;
          ++shown;
          int d = StrToInt(text);
          year_month_day ymd{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}};
          unsigned wd = weekday{sys_days{ymd}}.c_encoding();  // 0 = Sunday
          EXPECT_EQ((start + col) % 7, static_cast<int>(wd)) << y << "-" << m << "-" << d << " start " << start;
          // The 1st sits in the first row.
          if (d == 1) {
            EXPECT_EQ(row, 1);
          }
        }
      EXPECT_EQ(shown, days);
    }
  }
}

TEST_F(CalendarGui, FirstOfTheMonthOnTheEdgesOfTheWeek) {
  // June 2026 starts on a Monday, November 2026 on a Sunday.
  cal->SetCalendarDate(EncodeDate(2026, 6, 1));
  EXPECT_EQ(cal->CellText(0, 1), "1");
  cal->SetCalendarDate(EncodeDate(2026, 11, 1));
  EXPECT_EQ(cal->CellText(6, 1), "1");
}

TEST_F(CalendarGui, StepsByPartsMonthsAndYears) {
  struct Case {
    TDateTime from;
    void (*step)(TUxCalendar*);
    TDateTime to;
  };
  const Case cases[] = {
      {EncodeDate(2026, 1, 31), [](TUxCalendar* k) { k->NextMonth(); }, EncodeDate(2026, 2, 28)},
      {EncodeDate(2024, 3, 31), [](TUxCalendar* k) { k->PrevMonth(); }, EncodeDate(2024, 2, 29)},
      {EncodeDate(2026, 12, 15), [](TUxCalendar* k) { k->NextMonth(); }, EncodeDate(2027, 1, 15)},
      {EncodeDate(2024, 2, 29), [](TUxCalendar* k) { k->NextYear(); }, EncodeDate(2025, 2, 28)},
      {EncodeDate(2024, 2, 29), [](TUxCalendar* k) { k->PrevYear(); }, EncodeDate(2023, 2, 28)},
      // Nothing past the years 1..9999.
      {EncodeDate(9999, 12, 31), [](TUxCalendar* k) { k->NextDay(); }, EncodeDate(9999, 12, 31)},
      {EncodeDate(9999, 12, 31), [](TUxCalendar* k) { k->NextMonth(); }, EncodeDate(9999, 12, 31)},
      {EncodeDate(9999, 6, 1), [](TUxCalendar* k) { k->NextYear(); }, EncodeDate(9999, 6, 1)},
      {EncodeDate(1, 1, 1), [](TUxCalendar* k) { k->PrevDay(); }, EncodeDate(1, 1, 1)},
      {EncodeDate(1, 1, 1), [](TUxCalendar* k) { k->PrevMonth(); }, EncodeDate(1, 1, 1)},
  };
  for (const Case& c : cases) {
    cal->SetCalendarDate(c.from);
    c.step(cal);
    EXPECT_EQ(cal->CalendarDate(), c.to) << DateToStr(c.from);
  }
  cal->SetCalendarDate(EncodeDate(2026, 3, 31));
  changes = 0;
  cal->SetDay(32);
  cal->SetMonth(13);
  cal->SetYear(0);
  cal->SetYear(10000);
  EXPECT_EQ(changes, 0);
  cal->SetMonth(4);  // cuts the day
  EXPECT_EQ(cal->CalendarDate(), EncodeDate(2026, 4, 30));
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(cal->UseCurrentDate());
  cal->SetCalendarDate(EncodeDate(2024, 2, 29));
  cal->SetYear(2025);  // no 29 February there
  EXPECT_EQ(cal->CalendarDate(), EncodeDate(2024, 2, 29));
}

TEST_F(CalendarGui, KeysMoveByDayAndWeekAndTGivesToday) {
  struct Case {
    TDateTime from;
    Word key;
    TDateTime to;
  };
  const Case cases[] = {
      {EncodeDate(2026, 12, 1), VK_LEFT, EncodeDate(2026, 11, 30)},
      {EncodeDate(2026, 11, 30), VK_RIGHT, EncodeDate(2026, 12, 1)},
      {EncodeDate(2026, 11, 30), VK_ADD, EncodeDate(2026, 12, 1)},
      {EncodeDate(2026, 12, 1), VK_SUBTRACT, EncodeDate(2026, 11, 30)},
      {EncodeDate(2026, 12, 10), VK_DOWN, EncodeDate(2026, 12, 17)},
      {EncodeDate(2026, 12, 10), VK_UP, EncodeDate(2026, 12, 3)},
      {EncodeDate(2026, 12, 3), VK_UP, EncodeDate(2026, 12, 3)},     // stays within the month
      {EncodeDate(2026, 12, 29), VK_DOWN, EncodeDate(2026, 12, 29)},
      {EncodeDate(9999, 12, 31), VK_RIGHT, EncodeDate(9999, 12, 31)},
      {EncodeDate(1, 1, 1), VK_LEFT, EncodeDate(1, 1, 1)},
  };
  for (const Case& c : cases) {
    cal->SetCalendarDate(c.from);
    KeyClick(cal, c.key);
    EXPECT_EQ(cal->CalendarDate(), c.to) << DateToStr(c.from) << " key " << c.key;
  }
  cal->SetCalendarDate(EncodeDate(2020, 5, 5));
  TypeText(cal, "t");
  EXPECT_EQ(cal->CalendarDate(), EncodeDate(2026, 12, 8));
}

TEST_F(CalendarGui, ClicksPickADayUnlessReadOnlyOrEmpty) {
  cal->SetCalendarDate(EncodeDate(2026, 12, 8));
  int col, row;
  FindDay(24, col, row);
  ClickCell(col, row);
  EXPECT_EQ(cal->CalendarDate(), EncodeDate(2026, 12, 24));
  ClickCell(0, 1);  // 1 December is a Tuesday: Monday's cell is empty
  EXPECT_EQ(cal->CalendarDate(), EncodeDate(2026, 12, 24));
  cal->SetReadOnly(true);
  FindDay(2, col, row);
  ClickCell(col, row);
  KeyClick(cal, VK_RIGHT);
  EXPECT_EQ(cal->CalendarDate(), EncodeDate(2026, 12, 24));
}

TEST_F(CalendarGui, SundaysAreRedUnlessSelected) {
  cal->SetCalendarDate(EncodeDate(2026, 12, 8));
  QImage img = Grab(cal);
  int col, row;
  FindDay(13, col, row);  // a Sunday
  ASSERT_EQ(col, 6);
  TRect r = OffsetRect(cal->CellRect(col, row), 2, 2);
  EXPECT_GT(CountColor(img, r, clRed), 0);
  FindDay(9, col, row);
  EXPECT_EQ(CountColor(img, OffsetRect(cal->CellRect(col, row), 2, 2), clRed), 0);
  cal->SetCalendarDate(EncodeDate(2026, 12, 13));
  img = Grab(cal);
  FindDay(13, col, row);
  EXPECT_EQ(CountColor(img, OffsetRect(cal->CellRect(col, row), 2, 2), clRed), 0);
}

TEST_F(CalendarGui, LocCalendarFramesTodayAndNeverTakesTheFocus) {
  auto* loc = new TLocCalendar(form);
  loc->SetParent(form);
  loc->SetBounds(8, 170, 187, 100);
  Application->ProcessMessages();
  EXPECT_FALSE(loc->TabStop());
  EXPECT_FALSE(loc->UseCurrentDate());
  int col = 0, row = 0;
  for (row = 1; row < 7; ++row) {
    for (col = 0; col < 7 && loc->CellText(col, row) != "8"; ++col) {
    }
    if (col < 7) break;
  }
  TRect r = loc->CellRect(col, row);
  QImage img = Grab(loc);
  EXPECT_EQ(loc->FixedColor(), loc->Color());
  EXPECT_EQ(PixelAt(img, r.Left, r.Top + 3), ColorToRGB(clBtnShadow));
  EXPECT_EQ(PixelAt(img, r.Right - 1, r.Top + 3), ColorToRGB(clBtnHighlight));
  int c2 = col == 0 ? 1 : col - 1;
  MouseClick(loc, (loc->CellRect(c2, row).Left + loc->CellRect(c2, row).Right) / 2,
             (r.Top + r.Bottom) / 2);
  EXPECT_TRUE(cal->Focused());
  EXPECT_NE(loc->CalendarDate(), EncodeDate(2026, 12, 8));
}

// The drop-down calendar shown under an edit of the form.
struct PopupCalendarGui : CalendarGui {
  TEdit* owner = nullptr;
  TPopupCalendar* popup = nullptr;
  std::vector<bool> closes;
  void SetUp() override {
    CalendarGui::SetUp();
    owner = new TEdit(form);
    owner->SetParent(form);
    owner->SetBounds(8, 170, 100, 21);
    popup = new TPopupCalendar(owner);
    popup->OnCloseUp = [this](TPopupWindow*, bool accept) {
      closes.push_back(accept);
      popup->HidePopup();
    };
    owner->SetFocus();
    Application->ProcessMessages();
    popup->Show(owner->ClientToScreen(Point(0, 21)), owner);
    Application->ProcessMessages();
  }
  AnsiString Title() const { return popup->Title()->Caption(); }
};

TEST_F(PopupCalendarGui, LayoutTitleAndValues) {
  EXPECT_EQ(popup->Width(), 187);
  EXPECT_EQ(popup->Height(), 124);
  EXPECT_EQ(popup->NavButton(0)->Hint(), "Previous Year|");
  EXPECT_EQ(popup->NavButton(3)->Left(), popup->ClientWidth() - 13);
  TStringList hints;
  hints.Add("");
  hints.Add(Cz("Předchozí měsíc|"));
  popup->SetHints(&hints);
  EXPECT_EQ(popup->NavButton(0)->Hint(), "Previous Year|");
  EXPECT_EQ(popup->NavButton(1)->Hint(), Cz("Předchozí měsíc|"));
  struct Case {
    Variant value;
    TDateTime shown;
  };
  const Case cases[] = {
      {Variant::Null(), EncodeDate(2026, 12, 8)},
      {Variant("  .  .    "), EncodeDate(2026, 12, 8)},
      {Variant("x"), EncodeDate(2026, 12, 8)},
      {Variant("24.12.2025"), EncodeDate(2025, 12, 24)},
      {Variant::FromDateTime(EncodeDate(2027, 3, 1) + 0.25), EncodeDate(2027, 3, 1)},
  };
  for (const Case& c : cases) {
    popup->SetValue(Variant("01.01.2001"));
    popup->SetValue(c.value);
    EXPECT_EQ(popup->GetValue().AsDateTime(), c.shown) << c.value.AsString();
  }
  popup->SetValue(Variant::Null());
  EXPECT_EQ(Title(), "prosinec, 2026");
}

TEST_F(PopupCalendarGui, KeysFromTheEditAndClicksOnDays) {
  popup->SetValue(Variant::FromDateTime(EncodeDate(2026, 12, 8)));
  struct Case {
    Word key;
    TShiftState shift;
    TDateTime to;
  };
  const Case cases[] = {
      {VK_NEXT, {}, EncodeDate(2027, 1, 8)},    {VK_PRIOR, {}, EncodeDate(2026, 12, 8)},
      {VK_NEXT, {ssCtrl}, EncodeDate(2027, 12, 8)}, {VK_PRIOR, {ssCtrl}, EncodeDate(2026, 12, 8)},
      {VK_RIGHT, {}, EncodeDate(2026, 12, 9)},  {VK_DOWN, {}, EncodeDate(2026, 12, 16)},
  };
  for (const Case& c : cases) {
    Word key = c.key;
    popup->ForwardKeyDown(key, c.shift);
    EXPECT_EQ(popup->GetValue().AsDateTime(), c.to) << c.key;
  }
  EXPECT_EQ(Title(), "prosinec, 2026");
  char t = 't';
  popup->SetValue(Variant("01.05.2020"));
  popup->ForwardKeyPress(t);
  EXPECT_EQ(popup->GetValue().AsDateTime(), EncodeDate(2026, 12, 8));
  TLocCalendar* loc = popup->Calendar();
  TRect empty = loc->CellRect(0, 1);  // Monday before the 1st
  MouseClick(loc, empty.Left + 3, empty.Top + 3);
  EXPECT_TRUE(closes.empty());
  int col = 0, row = 0;
  for (row = 1; row < 7; ++row) {
    for (col = 0; col < 7 && loc->CellText(col, row) != "24"; ++col) {
    }
    if (col < 7) break;
  }
  TRect r = loc->CellRect(col, row);
  MouseClick(loc, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  ASSERT_EQ(closes.size(), 1u);
  EXPECT_TRUE(closes[0]);
  EXPECT_EQ(popup->GetValue().AsDateTime(), EncodeDate(2026, 12, 24));
}

TEST_F(PopupCalendarGui, AHeldNavigationButtonRepeats) {
  popup->SetValue(Variant::FromDateTime(EncodeDate(2026, 12, 8)));
  TUxTimerSpeedButton* next = popup->NavButton(2);
  MouseDown(next, 5, 5);
  ASSERT_NE(next->RepeatTimer(), nullptr);
  EXPECT_EQ(next->RepeatTimer()->Interval(), 500u);
  next->RepeatTimer()->FireTick();
  EXPECT_EQ(next->RepeatTimer()->Interval(), 100u);
  next->RepeatTimer()->FireTick();
  EXPECT_EQ(popup->GetValue().AsDateTime(), EncodeDate(2027, 2, 8));
  MouseUp(next, 5, 5);
  EXPECT_TRUE(closes.empty());
}

TEST_F(CalendarGui, TheDateDialogAnswersByKeysAndDoubleClick) {
  struct Case {
    TDateTime start;
    std::function<void(TSelectDateDlg*)> script;
    bool ok;
    TDateTime result;
  };
  auto key = [](Word k, TShiftState s = {}) {
    return [k, s](TSelectDateDlg* d) { KeyClick(d->Calendar(), k, s); };
  };
  const Case cases[] = {
      {EncodeDate(2026, 12, 8), [&](TSelectDateDlg* d) {
         KeyClick(d->Calendar(), VK_TAB);
         KeyClick(d->Calendar(), VK_TAB);
         KeyClick(d->Calendar(), VK_TAB, {ssShift});
         KeyClick(d->Calendar(), VK_RETURN);
       }, true, EncodeDate(2027, 1, 8)},
      {EncodeDate(2026, 12, 8), [&](TSelectDateDlg* d) {
         KeyClick(d->Calendar(), VK_NEXT, {ssCtrl});
         KeyClick(d->Calendar(), VK_ESCAPE);
       }, false, EncodeDate(2026, 12, 8)},
      {NullDate, key(VK_RETURN), true, EncodeDate(2026, 12, 8)},
      {EncodeDate(2026, 2, 10), [&](TSelectDateDlg* d) {
         TRect r = d->Calendar()->CellRect(d->Calendar()->Col(), d->Calendar()->Row());
         DoubleClick(d->Calendar(), (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
       }, true, EncodeDate(2026, 2, 10)},
  };
  for (const Case& c : cases) {
    TDateTime date = c.start;
    AnsiString caption, title;
    OnNextModal([&](TCustomForm* f) {
      auto* d = dynamic_cast<TSelectDateDlg*>(f);
      ASSERT_NE(d, nullptr);
      caption = d->Caption();
      title = d->Title()->Caption();
      EXPECT_TRUE(d->Calendar()->Focused());
      c.script(d);
    });
    bool ok = SelectDate(date, "Select a Date", dowMonday, {dowSunday}, clRed, nullptr);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(date, c.result);
    EXPECT_EQ(caption, "Select a Date");
    EXPECT_EQ(TSelectDateDlg::LiveCount(), 0);
  }
}

}  // namespace
