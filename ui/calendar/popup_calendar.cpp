#include "ui/calendar/popup_calendar.h"

#include <cmath>

#include "platform/rtl/format_settings.h"
#include "platform/rtl/sysutils.h"
#include "ui/common/date_util.h"
#include "ui/common/str_util.h"
#include "ui/resources/grid_date_pictures.h"

namespace {

const char* const kHints[] = {"Previous Year|", "Previous Month|", "Next Month|", "Next Year|"};
const char* const kGlyphs[] = {"PREVYEAR", "PREVMONTH", "NEXTMONTH", "NEXTYEAR"};

}  // namespace

TUxTimerSpeedButton::TUxTimerSpeedButton(TComponent* owner) : TUxSpeedButton(owner) {
  SetStyle(bsWin31);
  SetAllowTimer(true);
  SetInitPause(500);
  SetRepeatInterval(100);
}

AnsiString CalendarButtonHint(int index, const TStrings* hints) {
  if (hints && index < hints->Count() && !hints->Get(index).empty()) return hints->Get(index);
  return kHints[index];
}

TPopupCalendar::TPopupCalendar(TComponent* owner) : TPopupWindow(owner) {
  RegisterGridAndDatePictures();
  SetBounds(0, 0, 187, 124);
  SetColor(clBtnFace);
  if (auto* edit = dynamic_cast<TControl*>(owner)) SetShowHint(edit->ShowHint());

  top_ = new TPanel(this);
  top_->SetParent(this);
  top_->SetBevelOuter(bvNone);
  top_->SetHeight(18);
  top_->SetAlign(alTop);
  const int w = ClientWidth();
  const int lefts[] = {-1, 12, w - 26, w - 13};
  for (int i = 0; i < 4; ++i) {
    auto* b = new TUxTimerSpeedButton(this);
    b->SetParent(top_);
    b->SetBounds(lefts[i], 0, 13, 18);
    TBitmap glyph;
    glyph.LoadFromResourceName(kGlyphs[i]);
    b->SetGlyph(&glyph);
    b->SetHint(kHints[i]);
    buttons_[i] = b;
  }
  buttons_[0]->OnClick = [this](TObject*) { calendar_->PrevYear(); };
  buttons_[1]->OnClick = [this](TObject*) { calendar_->PrevMonth(); };
  buttons_[2]->OnClick = [this](TObject*) { calendar_->NextMonth(); };
  buttons_[3]->OnClick = [this](TObject*) { calendar_->NextYear(); };

  title_ = new TLabel(this);
  title_->SetParent(top_);
  title_->SetAutoSize(false);
  title_->SetAlignment(taCenter);
  title_->SetTransparent(true);
  title_->SetBounds(29, 2, w - 58, 14);
  title_->OnDblClick = [this](TObject*) { calendar_->SetCalendarDate(Date()); };

  calendar_ = new TLocCalendar(this);
  calendar_->SetParent(this);
  calendar_->SetAlign(alClient);
  calendar_->OnChange = [this](TObject*) { UpdateTitle(); };
  // A day picked with the mouse is the answer; an empty cell is none.
  calendar_->OnMouseUp = [this](TObject*, TMouseButton button, TShiftState, int x, int y) {
    if (button != mbLeft || !PopupShowing()) return;
    TGridCoord cell = calendar_->MouseCoord(x, y);
    if (cell.Y >= 1 && !calendar_->CellText(cell.X, cell.Y).empty()) CloseUp(true);
  };
  UpdateTitle();
}

void TPopupCalendar::SetHints(const TStrings* hints) {
  for (int i = 0; i < 4; ++i) buttons_[i]->SetHint(CalendarButtonHint(i, hints));
}

void TPopupCalendar::UpdateTitle() { title_->SetCaption(FormatDateTime("MMMM, YYYY", calendar_->CalendarDate())); }

Variant TPopupCalendar::GetValue() const { return Variant::FromDateTime(calendar_->CalendarDate()); }

void TPopupCalendar::SetValue(const Variant& value) {
  TDateTime date = Date();
  if (value.IsDateTime()) {
    if (IsValidDate(value.AsDateTime()) && value.AsDateTime() != NullDate) date = value.AsDateTime();
  } else if (!value.IsNull() && !value.IsEmpty()) {
    AnsiString text = value.AsString();
    AnsiString bare = Trim(ReplaceStr(text, AnsiString(1, FormatSettings().DateSeparator), ""));
    if (!bare.empty()) {
      TDateTime parsed;
      if (TryStrToDateFmt(DefaultDateFormat(fourDigitYear_), text, parsed) && parsed != NullDate) date = parsed;
    }
  }
  calendar_->SetCalendarDate(std::floor(date));
  UpdateTitle();
}

void TPopupCalendar::ForwardKeyDown(Word& key, TShiftState shift) {
  if (key == VK_PRIOR || key == VK_NEXT) {
    bool ctrl = shift.Contains(ssCtrl);
    if (key == VK_PRIOR)
      ctrl ? calendar_->PrevYear() : calendar_->PrevMonth();
    else
      ctrl ? calendar_->NextYear() : calendar_->NextMonth();
    key = 0;
    return;
  }
  calendar_->ForwardKeyDown(key, shift);
}

void TPopupCalendar::ForwardKeyPress(char& key) { calendar_->ForwardKeyPress(key); }
