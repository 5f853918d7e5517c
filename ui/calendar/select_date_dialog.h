// The date dialog: a month calendar in a small tool window with repeating
// navigation buttons, OK and Cancel. Tab and Shift+Tab step months, Page
// Up and Page Down months (with Ctrl years), Enter and a double click on
// the calendar answer OK, Esc Cancel.
#pragma once

#include "platform/gui/application.h"
#include "platform/gui/buttons.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "ui/calendar/popup_calendar.h"

class TSelectDateDlg : public TForm {
 public:
  explicit TSelectDateDlg(TComponent* owner);
  AnsiString ClassName() const override { return "TSelectDateDlg"; }

  TUxCalendar* Calendar() const { return calendar_; }
  TLabel* Title() const { return title_; }
  TPanel* TopPanel() const { return top_; }
  TUxTimerSpeedButton* NavButton(int index) const { return buttons_[index]; }
  TBitBtn* OkButton() const { return ok_; }
  TBitBtn* CancelButton() const { return cancel_; }
  TDateTime Date() const { return calendar_->CalendarDate(); }
  void SetDate(TDateTime date);
  void SetHints(const TStrings* hints);

  // Alive dialogs (each SelectDate frees its own).
  static int LiveCount();
  ~TSelectDateDlg() override;

 protected:
  void KeyDown(Word& key, TShiftState shift) override;

 private:
  void UpdateTitle();
  TPanel* top_ = nullptr;
  TLabel* title_ = nullptr;
  TUxTimerSpeedButton* buttons_[4] = {};
  TUxCalendar* calendar_ = nullptr;
  TBitBtn* ok_ = nullptr;
  TBitBtn* cancel_ = nullptr;
};

// Runs the dialog at date (today for the null date or one that cannot be
// shown). On OK date becomes the chosen one and the call returns true;
// the dialog is freed in every case.
bool SelectDate(TDateTime& date, const AnsiString& title, TDayOfWeekName startOfWeek, TDaysOfWeek weekends,
                TColor weekendColor, const TStrings* hints);
