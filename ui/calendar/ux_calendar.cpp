#include "ui/calendar/ux_calendar.h"

#include <cmath>

#include "platform/rtl/format_settings.h"
#include "platform/rtl/sysutils.h"

namespace {

const TDateTime kFirstDate = EncodeDate(1, 1, 1);
const TDateTime kLastDate = EncodeDate(9999, 12, 31);

bool InRange(TDateTime date) { return date >= kFirstDate && date <= kLastDate; }

}  // namespace

TUxCalendar::TUxCalendar(TComponent* owner) : TCustomGrid(owner) {
  SetFixedCols(0);
  SetFixedRows(1);
  SetColCount(7);
  SetRowCount(7);
  SetScrollBars(ssNone);
  SetOptions({goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goDrawFocusSelected});
  SetTabStop(true);
  // The whole month is always in view.
  SetLeftCol(0);
  SetTopRow(1);
  date_ = Date();
  UpdateCalendar();
}

// ---- the date

int TUxCalendar::Day() const {
  int y, m, d;
  DecodeDate(date_, y, m, d);
  return d;
}

int TUxCalendar::Month() const {
  int y, m, d;
  DecodeDate(date_, y, m, d);
  return m;
}

int TUxCalendar::Year() const {
  int y, m, d;
  DecodeDate(date_, y, m, d);
  return y;
}

void TUxCalendar::ChangeDate(TDateTime date) {
  date = std::floor(date);
  if (!InRange(date)) return;
  date_ = date;
  useCurrentDate_ = false;
  UpdateCalendar();
  Change();
}

void TUxCalendar::SetCalendarDate(TDateTime date) {
  if (std::floor(date) == date_) return;
  ChangeDate(date);
}

void TUxCalendar::SetDay(int day) {
  if (day < 1 || day > DaysInMonth(Year(), Month())) return;
  ChangeDate(EncodeDate(Year(), Month(), day));
}

void TUxCalendar::SetMonth(int month) {
  if (month < 1 || month > 12) return;
  ChangeDate(EncodeDate(Year(), month, std::min(Day(), DaysInMonth(Year(), month))));
}

void TUxCalendar::SetYear(int year) {
  if (year < 1 || year > 9999 || Day() > DaysInMonth(year, Month())) return;
  ChangeDate(EncodeDate(year, Month(), Day()));
}

void TUxCalendar::PrevMonth() {
  int y = Year(), m = Month() - 1;
  if (m < 1) {
    m = 12;
    --y;
  }
  if (y < 1) return;
  ChangeDate(EncodeDate(y, m, std::min(Day(), DaysInMonth(y, m))));
}

void TUxCalendar::NextMonth() {
  int y = Year(), m = Month() + 1;
  if (m > 12) {
    m = 1;
    ++y;
  }
  if (y > 9999) return;
  ChangeDate(EncodeDate(y, m, std::min(Day(), DaysInMonth(y, m))));
}

void TUxCalendar::PrevYear() {
  int d = Day();
  if (Month() == 2 && d == 29) d = 28;
  if (Year() - 1 < 1) return;
  ChangeDate(EncodeDate(Year() - 1, Month(), d));
}

void TUxCalendar::NextYear() {
  int d = Day();
  if (Month() == 2 && d == 29) d = 28;
  if (Year() + 1 > 9999) return;
  ChangeDate(EncodeDate(Year() + 1, Month(), d));
}

void TUxCalendar::PrevDay() { ChangeDate(date_ - 1); }
void TUxCalendar::NextDay() { ChangeDate(date_ + 1); }

void TUxCalendar::SetUseCurrentDate(bool on) {
  useCurrentDate_ = on;
  if (on) UpdateCalendar();
}

void TUxCalendar::SetStartOfWeek(TDayOfWeekName day) {
  startOfWeek_ = day;
  UpdateCalendar();
}

void TUxCalendar::SetWeekends(TDaysOfWeek days) {
  weekends_ = days;
  Invalidate();
}

void TUxCalendar::SetWeekendColor(TColor color) {
  weekendColor_ = color;
  Invalidate();
}

void TUxCalendar::Change() {
  if (OnChange) OnChange(this);
}

// ---- layout

AnsiString TUxCalendar::CellText(int col, int row) const {
  if (col < 0 || col > 6 || row < 0 || row > 6) return AnsiString();
  if (row == 0) return FormatSettings().ShortDayNames[(static_cast<int>(startOfWeek_) + col) % 7];
  int day = col + monthOffset_ + (row - 1) * 7;
  if (day < 1 || day > DaysInMonth(Year(), Month())) return AnsiString();
  return IntToStr(day);
}

void TUxCalendar::UpdateCalendar() {
  updating_ = true;
  try {
    if (useCurrentDate_) date_ = Date();
    int first = DayOfWeek(EncodeDate(Year(), Month(), 1));  // 1 = Sunday
    int a = (first - static_cast<int>(startOfWeek_) + 7) % 7;
    monthOffset_ = a == 0 ? -5 : 2 - a;
    int day = Day();
    // The day's cell; MoveCurrent asks SelectCell, which lets it through
    // while updating.
    MoveCurrent((day - monthOffset_) % 7, (day - monthOffset_) / 7 + 1, true, false);
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
  Invalidate();
}

void TUxCalendar::Resize() {
  TCustomGrid::Resize();
  int line = GridLineWidth();
  int w = ClientWidth() - (Options().Contains(goVertLine) ? 6 * line : 0);
  int h = ClientHeight() - 6 * line;
  SetDefaultColWidth(std::max(1, w / 7));
  SetDefaultRowHeight(std::max(1, h / 7));
  SetLeftCol(0);
  SetTopRow(1);
}

// ---- drawing

bool TUxCalendar::IsWeekendColumn(int col) const {
  return weekends_.Contains(static_cast<TDayOfWeekName>((static_cast<int>(startOfWeek_) + col) % 7));
}

void TUxCalendar::DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
  TCanvas* canvas = Canvas();
  AnsiString text = CellText(col, row);
  if (row > 0 && !state.Contains(gdSelected) && IsWeekendColumn(col)) canvas->Font()->SetColor(weekendColor_);
  int x = rect.Left + (rect.Width() - canvas->TextWidth(text)) / 2;
  int y = rect.Top + (rect.Height() - canvas->TextHeight(text)) / 2;
  canvas->TextRect(rect, x, y, text);
}

// ---- choosing a day

bool TUxCalendar::SelectCell(int col, int row) {
  if ((!updating_ && readOnly_) || CellText(col, row).empty() || row < 1) return false;
  return TCustomGrid::SelectCell(col, row);
}

void TUxCalendar::TakeDayFromCurrentCell() {
  if (updating_ || readOnly_) return;
  AnsiString text = CellText(Col(), Row());
  if (Row() < 1 || text.empty()) return;
  int day = StrToInt(text);
  if (day != Day()) SetDay(day);
}

void TUxCalendar::Click() {
  TCustomGrid::Click();
  TakeDayFromCurrentCell();
}

void TUxCalendar::KeyDown(Word& key, TShiftState shift) {
  if (shift.Empty() && !readOnly_) {
    switch (key) {
      case VK_LEFT:
      case VK_SUBTRACT:
        PrevDay();
        key = 0;
        return;
      case VK_RIGHT:
      case VK_ADD:
        NextDay();
        key = 0;
        return;
      default:
        break;
    }
  }
  TCustomGrid::KeyDown(key, shift);
  // Up, Down and the other moves stay within the month's cells.
  TakeDayFromCurrentCell();
}

void TUxCalendar::KeyPress(char& key) {
  if ((key == 'T' || key == 't') && !readOnly_) {
    ChangeDate(Date());
    key = 0;
    return;
  }
  TCustomGrid::KeyPress(key);
}

// ================================================================ TLocCalendar

TLocCalendar::TLocCalendar(TComponent* owner) : TUxCalendar(owner) {
  SetBorderStyle(bsNone);
  // Flat: the day names get the one line under them, no raised frames.
  SetCtl3D(false);
  SetTabStop(false);
  SetParentColor(true);
  SetOptions({goFixedHorzLine, goDrawFocusSelected});
  SetUseCurrentDate(false);
  SetFixedColor(Color());
}

void TLocCalendar::ParentColorChanged() {
  TUxCalendar::ParentColorChanged();
  SetFixedColor(Color());
}

void TLocCalendar::ColorChanged() {
  TUxCalendar::ColorChanged();
  SetFixedColor(Color());
}

void TLocCalendar::Paint() {
  // The parent's colour may arrive without a notice (when it is set as
  // parent); the day names follow it.
  if (FixedColor() != Color()) SetFixedColor(Color());
  TUxCalendar::Paint();
}

void TLocCalendar::DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
  TUxCalendar::DrawCell(col, row, rect, state);
  if (row == 0) {
    // The one line of the drop-down's calendar: under the day names.
    Canvas()->Brush()->SetColor(clBtnShadow);
    Canvas()->FillRect(Rect(rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom));
    return;
  }
  AnsiString text = CellText(col, row);
  if (text.empty()) return;
  int y, m, d;
  DecodeDate(Date(), y, m, d);
  if (y != Year() || m != Month() || StrToInt(text) != d) return;
  // A sunken frame around today.
  TCanvas* canvas = Canvas();
  canvas->Pen()->SetWidth(1);
  canvas->Pen()->SetStyle(psSolid);
  canvas->Pen()->SetColor(clBtnShadow);
  canvas->Polyline({Point(rect.Left, rect.Bottom - 1), Point(rect.Left, rect.Top), Point(rect.Right - 1, rect.Top)});
  canvas->Pen()->SetColor(clBtnHighlight);
  canvas->Polyline({Point(rect.Right - 1, rect.Top + 1), Point(rect.Right - 1, rect.Bottom - 1),
                    Point(rect.Left, rect.Bottom - 1)});
}
