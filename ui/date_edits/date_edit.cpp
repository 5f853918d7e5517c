#include "ui/date_edits/date_edit.h"

#include <cmath>

#include "platform/gui/application.h"
#include "platform/rtl/format_settings.h"
#include "ui/calendar/select_date_dialog.h"
#include "ui/common/date_util.h"
#include "ui/common/str_util.h"
#include "ui/resources/grid_date_pictures.h"

namespace {

// The default glyph, loaded once and shared by every date edit.
const TBitmap* DateEditGlyph() {
  static TBitmap* glyph = [] {
    RegisterGridAndDatePictures();
    auto* b = new TBitmap;
    b->LoadFromResourceName("DEDITBMP");
    return b;
  }();
  return glyph;
}

}  // namespace

TCustomDateEdit::TCustomDateEdit(TComponent* owner) : TCustomComboEdit(owner) {
  SetGlyphKind(gkDefault);
  calendar_ = new TPopupCalendar(this);
  SetPopup(calendar_);
  calendar_->SetColor(popupColor_);
  Application->AddFormatSettingsListener(this, [this] { UpdateFormat(); });
  UpdateFormat();
}

TCustomDateEdit::~TCustomDateEdit() { Application->RemoveFormatSettingsListener(this); }

const TBitmap* TCustomDateEdit::GetDefaultBitmap() const { return DateEditGlyph(); }

// ---- properties

void TCustomDateEdit::SetBlanksChar(char c) {
  if (static_cast<unsigned char>(c) < 32) c = ' ';
  if (c == blanksChar_) return;
  blanksChar_ = c;
  UpdateFormat();
}

void TCustomDateEdit::SetYearDigits(TYearDigits digits) {
  if (digits == yearDigits_) return;
  yearDigits_ = digits;
  UpdateFormat();
}

void TCustomDateEdit::SetCalendarStyle(TCalendarStyle style) {
  if (style == calendarStyle_) return;
  calendarStyle_ = style;
  if (style == csDialog) {
    if (PopupVisible()) PopupCloseUp(false);
    SetPopup(nullptr);
    delete calendar_;
    calendar_ = nullptr;
  } else {
    calendar_ = new TPopupCalendar(this);
    SetPopup(calendar_);
    calendar_->SetColor(popupColor_);
    UpdatePopupSettings();
  }
}

void TCustomDateEdit::SetCalendarHints(const TStrings* hints) {
  calendarHints_.Clear();
  if (hints)
    for (int i = 0; i < hints->Count() && i < 4; ++i) calendarHints_.Add(hints->Get(i));
  UpdatePopupSettings();
}

void TCustomDateEdit::SetStartOfWeek(TDayOfWeekName day) {
  startOfWeek_ = day;
  UpdatePopupSettings();
}

void TCustomDateEdit::SetWeekends(TDaysOfWeek days) {
  weekends_ = days;
  UpdatePopupSettings();
}

void TCustomDateEdit::SetWeekendColor(TColor color) {
  weekendColor_ = color;
  UpdatePopupSettings();
}

void TCustomDateEdit::SetPopupColor(TColor color) {
  popupColor_ = color;
  if (calendar_) calendar_->SetColor(color);
}

bool TCustomDateEdit::FourDigitYear() const {
  return yearDigits_ == dyFour || (yearDigits_ == dyDefault && ::FourDigitYear());
}

void TCustomDateEdit::UpdatePopupSettings() {
  if (!calendar_) return;
  TUxCalendar* cal = calendar_->Calendar();
  cal->SetStartOfWeek(startOfWeek_);
  cal->SetWeekends(weekends_);
  cal->SetWeekendColor(weekendColor_);
  calendar_->SetFourDigitYear(FourDigitYear());
  calendar_->SetHints(&calendarHints_);
}

// ---- value

TDateTime TCustomDateEdit::GetDateValue() const {
  return StrToDateFmtDef(dateFormat_, Text(), defaultToday_ ? Date() : NullDate);
}

void TCustomDateEdit::SetDateValue(TDateTime date) {
  if (date == NullDate || !IsValidDate(date)) date = defaultToday_ ? Date() : NullDate;
  TDateTime old = GetDateValue();
  if (date == NullDate)
    SetText("");
  else
    SetText(FormatDateTime(dateFormat_, std::floor(date)));
  if (GetDateValue() != old) SetModified(true);
}

void TCustomDateEdit::UpdateFormat() {
  TDateTime date = GetDateValue();
  AnsiString format = DefaultDateFormat(FourDigitYear());
  AnsiString mask = DefaultDateMask(blanksChar_, FourDigitYear());
  bool formatChanged = format != dateFormat_;
  dateFormat_ = format;
  if (mask != EditMask() || formatChanged) {
    SetEditMask("");
    SetEditMask(mask);
  }
  UpdatePopupSettings();
  SetDateValue(date);
}

bool TCustomDateEdit::TextIsBlank() const {
  AnsiString blanks = " ";
  blanks += blanksChar_;
  blanks += FormatSettings().DateSeparator;
  return IsEmptyStr(Text(), blanks);
}

void TCustomDateEdit::CheckValidDate() {
  if (TextIsBlank()) return;
  TDateTime date = StrToDateFmt(dateFormat_, Text());
  formatting_ = true;
  try {
    SetDateValue(date);
  } catch (...) {
    formatting_ = false;
    throw;
  }
  formatting_ = false;
}

void TCustomDateEdit::Change() {
  if (!formatting_) TCustomComboEdit::Change();
}

void TCustomDateEdit::ApplyDate(TDateTime date) { SetDateValue(date); }

// ---- keys

void TCustomDateEdit::KeyDown(Word& key, TShiftState shift) {
  if (PopupVisible() && calendar_ && ShortCut(key, shift) != ClickKey()) {
    switch (key) {
      case VK_PRIOR:
      case VK_NEXT:
      case VK_LEFT:
      case VK_RIGHT:
      case VK_UP:
      case VK_DOWN:
      case VK_ADD:
      case VK_SUBTRACT:
        calendar_->ForwardKeyDown(key, shift);
        key = 0;
        return;
      default:
        break;
    }
  } else if (!PopupVisible() && shift.Empty() && (key == VK_ADD || key == VK_SUBTRACT)) {
    // A read-only edit does not change on keys.
    if (CanChangeDate()) {
      TDateTime date = GetDateValue();
      if (date == NullDate) date = Now();
      ApplyDate(date + (key == VK_ADD ? 1 : -1));
    }
    key = 0;
    return;
  }
  TCustomComboEdit::KeyDown(key, shift);
}

void TCustomDateEdit::KeyPress(char& key) {
  if (PopupVisible() && calendar_ && (key == '+' || key == '-' || key == 'T' || key == 't')) {
    calendar_->ForwardKeyPress(key);
    key = 0;
    return;
  }
  if (!PopupVisible() && DirectInput()) {
    if (key == '+' || key == '-') {
      key = 0;
      return;
    }
    if (key == 'T' || key == 't') {
      if (CanChangeDate()) ApplyDate(Date());
      key = 0;
      return;
    }
  }
  TCustomComboEdit::KeyPress(key);
}

// ---- the calendar

void TCustomDateEdit::SetPopupValue(const Variant& value) {
  (void)value;
  TDateTime date = GetDateValue();
  TCustomComboEdit::SetPopupValue(Variant::FromDateTime(date == NullDate ? Date() : date));
}

bool TCustomDateEdit::AcceptPopup(Variant& value) {
  TDateTime date = value.IsDateTime() ? value.AsDateTime() : NullDate;
  bool action = true;
  if (OnAcceptDate) OnAcceptDate(this, date, action);
  if (action) value = Variant::FromDateTime(date);
  return action;
}

void TCustomDateEdit::AcceptValue(const Variant& value) {
  ApplyDate(value.IsDateTime() ? value.AsDateTime() : NullDate);
}

void TCustomDateEdit::ButtonClick() {
  if (calendarStyle_ != csDialog) {
    TCustomComboEdit::ButtonClick();
    return;
  }
  if (ReadOnly() && !AlwaysEnable()) return;
  if (OnButtonClick) OnButtonClick(this);
  TDateTime date = GetDateValue();
  bool chosen = SelectDate(date, dialogTitle_, startOfWeek_, weekends_, weekendColor_, &calendarHints_);
  if (CanFocus()) SetFocus();
  if (!chosen) return;
  Variant value = Variant::FromDateTime(date);
  if (!AcceptPopup(value) || GetReadOnly()) return;
  AcceptValue(value);
  if (Focused()) SelectAll();
}

// ---- leaving

void TCustomDateEdit::DoExit() {
  if (checkOnExit_) {
    try {
      CheckValidDate();
    } catch (...) {
      SelectAll();
      throw;
    }
  }
  TCustomComboEdit::DoExit();
}

bool TCustomDateEdit::ExitCheck() {
  if (!checkOnExit_) return true;
  try {
    CheckValidDate();
  } catch (const std::exception& e) {
    SelectAll();
    Application->HandleException(this, e);
    return false;
  }
  return true;
}
