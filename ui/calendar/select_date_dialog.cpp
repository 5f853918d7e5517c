#include "ui/calendar/select_date_dialog.h"

#include <cmath>
#include <memory>

#include "ui/common/date_util.h"
#include "ui/resources/grid_date_pictures.h"

namespace {

const char* const kGlyphs[] = {"PREVYEAR", "PREVMONTH", "NEXTMONTH", "NEXTYEAR"};
int gLiveDialogs = 0;

}  // namespace

int TSelectDateDlg::LiveCount() { return gLiveDialogs; }

TSelectDateDlg::TSelectDateDlg(TComponent* owner) : TForm(owner) {
  ++gLiveDialogs;
  RegisterGridAndDatePictures();
  SetBorderStyle(bsToolWindow);
  SetBorderIcons({biSystemMenu});
  SetColor(clBtnFace);
  SetClientWidth(222);
  SetClientHeight(154);
  SetPosition(poScreenCenter);
  SetShowHint(true);
  SetKeyPreview(true);
  SetCaption("Select a Date");

  top_ = new TPanel(this);
  top_->SetParent(this);
  top_->SetAlign(alTop);
  top_->SetHeight(22);
  top_->SetBevelOuter(bvNone);
  top_->SetBevelInner(bvLowered);
  top_->OnDblClick = [this](TObject*) { calendar_->SetCalendarDate(::Date()); };

  title_ = new TLabel(this);
  title_->SetParent(top_);
  title_->SetAutoSize(false);
  title_->SetBounds(35, 4, 152, 14);
  title_->SetAlignment(taCenter);
  title_->SetTransparent(true);
  title_->Font()->SetStyle({fsBold});
  title_->Font()->SetColor(clBlue);
  // A double click on the title is one on its panel.
  title_->OnDblClick = top_->OnDblClick;

  const int lefts[] = {3, 18, 188, 203};
  for (int i = 0; i < 4; ++i) {
    auto* b = new TUxTimerSpeedButton(this);
    b->SetParent(top_);
    b->SetBounds(lefts[i], 3, 16, 16);
    TBitmap glyph;
    glyph.LoadFromResourceName(kGlyphs[i]);
    b->SetGlyph(&glyph);
    b->SetHint(CalendarButtonHint(i, nullptr));
    buttons_[i] = b;
  }
  buttons_[0]->OnClick = [this](TObject*) { calendar_->PrevYear(); };
  buttons_[1]->OnClick = [this](TObject*) { calendar_->PrevMonth(); };
  buttons_[2]->OnClick = [this](TObject*) { calendar_->NextMonth(); };
  buttons_[3]->OnClick = [this](TObject*) { calendar_->NextYear(); };

  auto* bottom = new TPanel(this);
  bottom->SetParent(this);
  bottom->SetAlign(alBottom);
  bottom->SetHeight(21);
  bottom->SetBevelOuter(bvNone);
  // The GUI layer's OK and Cancel buttons ("OK", "Storno").
  ok_ = new TBitBtn(this);
  ok_->SetParent(bottom);
  ok_->SetKind(bkOK);
  ok_->SetBounds(0, 0, 111, 21);
  cancel_ = new TBitBtn(this);
  cancel_->SetParent(bottom);
  cancel_->SetKind(bkCancel);
  cancel_->SetBounds(111, 0, 111, 21);

  auto* middle = new TPanel(this);
  middle->SetParent(this);
  middle->SetAlign(alClient);
  middle->SetBevelOuter(bvNone);
  middle->SetBevelInner(bvLowered);
  calendar_ = new TUxCalendar(this);
  calendar_->SetParent(middle);
  calendar_->SetAlign(alClient);
  calendar_->SetColor(clWindow);
  calendar_->SetBorderStyle(bsNone);
  calendar_->OnChange = [this](TObject*) { UpdateTitle(); };
  calendar_->OnDblClick = [this](TObject*) { SetModalResult(mrOk); };
  SetActiveControl(calendar_);
  UpdateTitle();
}

TSelectDateDlg::~TSelectDateDlg() { --gLiveDialogs; }

void TSelectDateDlg::UpdateTitle() { title_->SetCaption(FormatDateTime("MMMM, YYYY", calendar_->CalendarDate())); }

void TSelectDateDlg::SetDate(TDateTime date) {
  if (date == NullDate || !IsValidDate(date)) date = ::Date();
  calendar_->SetCalendarDate(std::floor(date));
  UpdateTitle();
}

void TSelectDateDlg::SetHints(const TStrings* hints) {
  for (int i = 0; i < 4; ++i) buttons_[i]->SetHint(CalendarButtonHint(i, hints));
}

void TSelectDateDlg::KeyDown(Word& key, TShiftState shift) {
  switch (key) {
    case VK_TAB:
      if (shift.Contains(ssShift))
        calendar_->PrevMonth();
      else
        calendar_->NextMonth();
      key = 0;
      break;
    case VK_PRIOR:
      shift.Contains(ssCtrl) ? calendar_->PrevYear() : calendar_->PrevMonth();
      key = 0;
      break;
    case VK_NEXT:
      shift.Contains(ssCtrl) ? calendar_->NextYear() : calendar_->NextMonth();
      key = 0;
      break;
    case VK_RETURN:
      SetModalResult(mrOk);
      key = 0;
      break;
    case VK_ESCAPE:
      SetModalResult(mrCancel);
      key = 0;
      break;
    default:
      TForm::KeyDown(key, shift);
      break;
  }
}

bool SelectDate(TDateTime& date, const AnsiString& title, TDayOfWeekName startOfWeek, TDaysOfWeek weekends,
                TColor weekendColor, const TStrings* hints) {
  std::unique_ptr<TSelectDateDlg> dialog(NewForm<TSelectDateDlg>(Application));
  dialog->SetCaption(title);
  dialog->Calendar()->SetStartOfWeek(startOfWeek);
  dialog->Calendar()->SetWeekends(weekends);
  dialog->Calendar()->SetWeekendColor(weekendColor);
  dialog->SetHints(hints);
  dialog->SetDate(date);
  if (dialog->ShowModal() != mrOk) return false;
  date = dialog->Date();
  return true;
}
