// Date edits: a masked edit for one date with a button that opens a
// drop-down calendar (or, with csDialog, the date dialog).
//
// The mask and the date format follow the short date format ("DD/MM/YYYY"
// and "!99/99/9999;1; " for the Czech one, "/" showing as the date
// separator) and are rebuilt when the program's format settings change,
// keeping the shown date. The null date shows as the empty mask.
// GetDateValue never fails: a text that does not read gives the null date
// (today with DefaultToday).
#pragma once

#include <functional>

#include "platform/rtl/datetime.h"
#include "platform/rtl/stringlist.h"
#include "ui/calendar/popup_calendar.h"
#include "ui/combo_edit/combo_edit.h"

enum TYearDigits { dyDefault, dyFour, dyTwo };
enum TCalendarStyle { csPopup, csDialog };
// A date chosen in the calendar; the handler may change it or refuse it
// (Action false).
using TExecDateDialog = std::function<void(TObject* Sender, TDateTime& ADate, bool& Action)>;

class TCustomDateEdit : public TCustomComboEdit {
 public:
  explicit TCustomDateEdit(TComponent* owner);
  ~TCustomDateEdit() override;
  AnsiString ClassName() const override { return "TCustomDateEdit"; }

  bool DefaultToday() const { return defaultToday_; }
  void SetDefaultToday(bool on) { defaultToday_ = on; }
  bool CheckOnExit() const { return checkOnExit_; }
  void SetCheckOnExit(bool on) { checkOnExit_ = on; }
  char BlanksChar() const { return blanksChar_; }
  // Values below 32 become a blank.
  void SetBlanksChar(char c);
  TYearDigits YearDigits() const { return yearDigits_; }
  void SetYearDigits(TYearDigits digits);
  const AnsiString& DialogTitle() const { return dialogTitle_; }
  void SetDialogTitle(const AnsiString& title) { dialogTitle_ = title; }
  TCalendarStyle CalendarStyle() const { return calendarStyle_; }
  // The drop-down exists only with csPopup.
  void SetCalendarStyle(TCalendarStyle style);
  const TStrings* CalendarHints() const { return &calendarHints_; }
  // Lines beyond the fourth are dropped.
  void SetCalendarHints(const TStrings* hints);
  TDayOfWeekName StartOfWeek() const { return startOfWeek_; }
  void SetStartOfWeek(TDayOfWeekName day);
  TDaysOfWeek Weekends() const { return weekends_; }
  void SetWeekends(TDaysOfWeek days);
  TColor WeekendColor() const { return weekendColor_; }
  void SetWeekendColor(TColor color);
  TColor PopupColor() const { return popupColor_; }
  void SetPopupColor(TColor color);

  // Four-digit years: dyFour yes, dyTwo no, dyDefault as the short date
  // format had them at program start.
  bool FourDigitYear() const;
  const AnsiString& DateFormat() const { return dateFormat_; }
  TPopupCalendar* PopupCalendar() const { return calendar_; }

  TDateTime GetDateValue() const;
  // An invalid or null date shows empty (today with DefaultToday); the
  // time of day is not shown. Modified when the value read back changed.
  void SetDateValue(TDateTime date);
  // Rebuilds date format and mask (after a change of the format settings),
  // keeping the date.
  void UpdateFormat();
  void ButtonClick() override;

  TExecDateDialog OnAcceptDate;

 protected:
  const TBitmap* GetDefaultBitmap() const override;
  int DefaultNumGlyphs() const override { return 2; }
  bool AcceptPopup(Variant& value) override;
  void AcceptValue(const Variant& value) override;
  void SetPopupValue(const Variant& value) override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void DoExit() override;
  // With CheckOnExit the text must read as a date before a button acts.
  bool ExitCheck() override;
  void Change() override;
  // Whether keys and the calendar may change the date now (data-aware
  // edits also need the dataset's consent).
  virtual bool CanChangeDate() { return DirectInput() && !ReadOnly(); }
  // Writes a date chosen by key or calendar.
  virtual void ApplyDate(TDateTime date);
  // A text that is not blank must read strictly; it is written back
  // re-formatted. Raises EConvertError "''<text>'' is not a valid date".
  void CheckValidDate();
  // Blanks, BlanksChar and the date separator only.
  bool TextIsBlank() const;
  void UpdatePopupSettings();

 private:
  bool defaultToday_ = false;
  bool checkOnExit_ = false;
  char blanksChar_ = ' ';
  TYearDigits yearDigits_ = dyDefault;
  AnsiString dialogTitle_ = "Select a Date";
  TCalendarStyle calendarStyle_ = csPopup;
  TStringList calendarHints_;
  TDayOfWeekName startOfWeek_ = dowMonday;
  TDaysOfWeek weekends_ = {dowSunday};
  TColor weekendColor_ = clRed;
  TColor popupColor_ = clBtnFace;
  AnsiString dateFormat_;
  TPopupCalendar* calendar_ = nullptr;
  bool formatting_ = false;
};

class TDateEdit : public TCustomDateEdit {
 public:
  explicit TDateEdit(TComponent* owner) : TCustomDateEdit(owner) {}
  AnsiString ClassName() const override { return "TDateEdit"; }
};
