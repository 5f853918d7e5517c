#include "ui/edits/typed_text.h"

#include "platform/gui/application.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/forms.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"
#include "ui/edits/date_time_completion.h"

const char* const kBadFormatText = " Chybn\xFD form\xE1t dat ";

TTypedEdit::TTypedEdit(TComponent* owner, TTypedEditSwitches switches) : TEdit(owner), switches_(switches) {}

bool TTypedEdit::CheckText(AnsiString& text) {
  try {
    switch (editType_) {
      case ttString:
        break;
      case ttInteger:
        if (!text.empty()) StrToInt(text);
        break;
      case ttFloat:
        if (!text.empty() && floatPrecision_ > 0)
          text = FloatToStrF(StrToFloat(text), TFloatFormat::ffFixed, floatPrecision_, floatDigits_);
        break;
      case ttDate:
        if (text.empty() || text == blankDate_) {
          text = blankDate_;
        } else if (switches_.complete) {
          CompleteDateText(text, Date());
          StrToDate(text);
        } else {
          text = DateToStr(StrToDate(text));
        }
        break;
      case ttTime:
        if (text.empty() || text == blankTime_) {
          text = blankTime_;
        } else if (switches_.complete) {
          // Today at midnight: missing minutes and seconds become zeros.
          CompleteTimeText(text, Date());
          StrToTime(text);
        } else {
          text = TimeToStr(StrToTime(text));
        }
        break;
    }
  } catch (const EConvertError&) {
    MessageDlg(kBadFormatText, mtError, TMsgDlgButtons{mbOK}, 0);
    return false;
  }
  return true;
}

void TTypedEdit::SetControlText(const AnsiString& text) {
  AnsiString checked = text;
  valid_ = CheckText(checked);
  TEdit::SetControlText(checked);
}

void TTypedEdit::SetBlankDate(const AnsiString& blank) {
  bool showsNoDate = editType_ == ttDate && (Text().empty() || Text() == blankDate_);
  blankDate_ = blank;
  if (showsNoDate) SetText(blank);
}

void TTypedEdit::SetBlankTime(const AnsiString& blank) {
  bool showsNoTime = editType_ == ttTime && (Text().empty() || Text() == blankTime_);
  blankTime_ = blank;
  if (showsNoTime) SetText(blank);
}

void TTypedEdit::SetAlignment(TAlignment a) {
  if (a == alignment_) return;
  alignment_ = a;
  Invalidate();
}

void TTypedEdit::KeyDown(Word& key, TShiftState shift) {
  keys_.KeyDown(this, key, shift, enterIsTab_, OnClickSpace);
  TEdit::KeyDown(key, shift);
}

void TTypedEdit::KeyUp(Word& key, TShiftState shift) {
  TKeyEntry::KeyUp(key, enterIsTab_);
  TEdit::KeyUp(key, shift);
}

void TTypedEdit::KeyPress(char& key) {
  TKeyEntry::KeyPress(key, OnClickSpace);
  if (convertDecimalSymbol_ && key == ',' && editType_ != ttString && editType_ != ttInteger) key = '.';
  if (switches_.filter && key != 0) {
    if (key == 13 || key == 27) {
      // The form's default or cancel button may act on them.
      if (TCustomForm* form = GetParentForm(this)) {
        bool used = form->DialogKey(key == 13 ? VK_RETURN : VK_ESCAPE, TShiftState{});
        if (used && key == 27) key = 0;
      }
      if (key == 13) key = 0;
    }
    if (key != 0 && editType_ != ttString) {
      const TFormatSettings& s = FormatSettings();
      bool allowed = key == 8 || key == '+' || key == ',' || key == '-' || key == '.' || (key >= '0' && key <= '9') ||
                     key == s.DateSeparator || key == s.TimeSeparator;
      if (!allowed) {
        MessageBeep(0);
        key = 0;
      } else if (key == ',' || key == '.') {
        key = s.DecimalSeparator;
      }
    }
  }
  TEdit::KeyPress(key);
}

void TTypedEdit::DoEnter() {
  TEdit::DoEnter();
  if (switches_.filter) SelectAll();
  Invalidate();
}

void TTypedEdit::DoExit() {
  SetControlText(Text());
  if (!valid_) {
    keys_.ExitEnded(this, false, OnTabExit);
    // Taking the focus back vetoes the move; OnExit does not fire.
    if (CanFocus()) SetFocus();
    return;
  }
  Invalidate();
  TEdit::DoExit();
  keys_.ExitEnded(this, true, OnTabExit);
}

bool TTypedEdit::ExitCheck() {
  SetControlText(Text());
  return valid_;
}

bool TTypedEdit::PaintsItself() const { return alignment_ != taLeftJustify && !Focused(); }
