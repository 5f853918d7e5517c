// TUxCalendar: one month as a 7 x 7 grid, the first row the short day
// names from StartOfWeek, the others the days; the current cell is the
// calendar date's day. TLocCalendar is the borderless variant inside the
// drop-down calendar: it never takes the focus (the edit keeps it) but
// answers the mouse, and frames today's date.
//
// The calendar date never carries a time of day and stays within the
// years 1..9999: a step that would leave them is ignored.
#pragma once

#include "platform/gui/grids.h"
#include "platform/rtl/datetime.h"

enum TDayOfWeekName { dowSunday, dowMonday, dowTuesday, dowWednesday, dowThursday, dowFriday, dowSaturday };
using TDaysOfWeek = TSet<TDayOfWeekName>;

class TUxCalendar : public TCustomGrid {
 public:
  explicit TUxCalendar(TComponent* owner);
  AnsiString ClassName() const override { return "TUxCalendar"; }

  TDateTime CalendarDate() const { return date_; }
  // Takes the date's day part; a date outside 1..9999 is ignored.
  void SetCalendarDate(TDateTime date);
  int Day() const;
  int Month() const;
  int Year() const;
  // Changing by parts: an invalid year, month or day is ignored; a new
  // month cuts the day to its length.
  void SetDay(int day);
  void SetMonth(int month);
  void SetYear(int year);
  // The day stays when the target month has it, else its last day.
  void PrevMonth();
  void NextMonth();
  // 29 February becomes 28 February first.
  void PrevYear();
  void NextYear();
  void PrevDay();
  void NextDay();
  // While set, a layout rebuild moves the date to today; any choice of a
  // day, month or year clears it.
  bool UseCurrentDate() const { return useCurrentDate_; }
  void SetUseCurrentDate(bool on);
  TDayOfWeekName StartOfWeek() const { return startOfWeek_; }
  void SetStartOfWeek(TDayOfWeekName day);
  TDaysOfWeek Weekends() const { return weekends_; }
  void SetWeekends(TDaysOfWeek days);
  TColor WeekendColor() const { return weekendColor_; }
  void SetWeekendColor(TColor color);
  // No day can be picked by mouse or key (the program may still set it).
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on) { readOnly_ = on; }

  // The text of a cell: a short day name in row 0, the day number or empty.
  AnsiString CellText(int col, int row) const;
  // The month's offset: cell (c, r) shows day c + offset + (r - 1) * 7.
  int MonthOffset() const { return monthOffset_; }
  // Rebuilds the layout and moves the current cell to the date's day.
  void UpdateCalendar();
  // A click takes the current cell's day.
  void Click() override;
  // Keys forwarded by the control that keeps the focus (a drop-down's edit)
  // as if typed here.
  void ForwardKeyDown(Word& key, TShiftState shift) { KeyDown(key, shift); }
  void ForwardKeyPress(char& key) { KeyPress(key); }

  TNotifyEvent OnChange;

 protected:
  void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override;
  bool SelectCell(int col, int row) override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void Resize() override;
  virtual void Change();
  bool IsWeekendColumn(int col) const;
  // Changes the date as the user's choice: clears UseCurrentDate, rebuilds
  // and fires OnChange. Dates outside 1..9999 are ignored.
  void ChangeDate(TDateTime date);

 private:
  void TakeDayFromCurrentCell();

  TDateTime date_ = 0;
  bool useCurrentDate_ = true;
  TDayOfWeekName startOfWeek_ = dowMonday;
  TDaysOfWeek weekends_ = {dowSunday};
  TColor weekendColor_ = clRed;
  bool readOnly_ = false;
  int monthOffset_ = 0;
  bool updating_ = false;
};

// The calendar of the drop-down: no border, no tab stop, never focused,
// the parent's colour also for the day names, only the line under them,
// today framed, and it never follows the clock.
class TLocCalendar : public TUxCalendar {
 public:
  explicit TLocCalendar(TComponent* owner);
  AnsiString ClassName() const override { return "TLocCalendar"; }

 protected:
  bool TakesFocusOnClick() const override { return false; }
  void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override;
  void ParentColorChanged() override;
  void ColorChanged() override;
  void Paint() override;
};
