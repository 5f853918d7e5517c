// The drop-down calendar of the date edits: a month calendar under a title
// bar with repeating buttons for the previous and next year and month.
// The edit keeps the focus and forwards its keys (Page Up and Page Down
// step months, with Ctrl years; the rest go to the calendar); a click on a
// day closes the drop-down accepting that date.
#pragma once

#include "platform/gui/ext_controls.h"
#include "platform/gui/std_controls.h"
#include "platform/rtl/stringlist.h"
#include "ui/buttons/ux_speed_button.h"
#include "ui/calendar/ux_calendar.h"
#include "ui/combo_edit/popup_window.h"

// A navigation button: the old flat style, repeating while held (first
// after 500 ms, then every 100 ms).
class TUxTimerSpeedButton : public TUxSpeedButton {
 public:
  explicit TUxTimerSpeedButton(TComponent* owner);
  AnsiString ClassName() const override { return "TUxTimerSpeedButton"; }
};

// The four navigation buttons' hints; a non-empty line i of hints replaces
// hint i (previous year, previous month, next month, next year).
AnsiString CalendarButtonHint(int index, const TStrings* hints);

class TPopupCalendar : public TPopupWindow {
 public:
  explicit TPopupCalendar(TComponent* owner);
  AnsiString ClassName() const override { return "TPopupCalendar"; }

  TLocCalendar* Calendar() const { return calendar_; }
  TLabel* Title() const { return title_; }
  // 0 previous year, 1 previous month, 2 next month, 3 next year.
  TUxTimerSpeedButton* NavButton(int index) const { return buttons_[index]; }
  // Whether texts are read with four-digit years (the edit's flag).
  bool FourDigitYear() const { return fourDigitYear_; }
  void SetFourDigitYear(bool on) { fourDigitYear_ = on; }
  void SetHints(const TStrings* hints);

  // The calendar date.
  Variant GetValue() const override;
  // Null, an empty text or one of only separators and blanks shows today;
  // a date shows that date; a text is read by the default date format and
  // shows today when it does not read.
  void SetValue(const Variant& value) override;

  // A key of the edit while the drop-down shows.
  void ForwardKeyDown(Word& key, TShiftState shift);
  void ForwardKeyPress(char& key);

 private:
  void UpdateTitle();
  TPanel* top_ = nullptr;
  TLabel* title_ = nullptr;
  TUxTimerSpeedButton* buttons_[4] = {};
  TLocCalendar* calendar_ = nullptr;
  bool fourDigitYear_ = true;
};
