#include "ui/edits/db_edit_kuvet.h"

#include "platform/db/dataset.h"
#include "platform/db/datasource.h"
#include "platform/db/fields.h"
#include "platform/gui/application.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/forms.h"
#include "ui/edits/date_time_completion.h"

TDBEditKuvet::TDBEditKuvet(TComponent* owner)
    : TDBEdit(owner),
      colorDisable_(Color()),
      storedDateTime_(Now()),
      button_(std::make_unique<TEditGlyphButton>(this, false)) {
  button_->OnClick = [this](TObject*) {
    if (OnClickButton) OnClickButton(this);
  };
  button_->Layout();
}

TDBEditKuvet::~TDBEditKuvet() = default;

void TDBEditKuvet::SetColorDisable(TColor c) {
  colorDisable_ = c;
  PaintColorChanged();
}

TColor TDBEditKuvet::PaintColor() const { return Enabled() ? Color() : colorDisable_; }

void TDBEditKuvet::EnabledChanged() {
  TDBEdit::EnabledChanged();
  PaintColorChanged();
}

void TDBEditKuvet::Resize() {
  TDBEdit::Resize();
  if (button_) button_->Layout();
}

void TDBEditKuvet::KeyDown(Word& key, TShiftState shift) {
  if (key == VK_RETURN && enterIsTab_) key = VK_TAB;
  TDBEdit::KeyDown(key, shift);
}

void TDBEditKuvet::KeyUp(Word& key, TShiftState shift) {
  if (key == VK_RETURN && enterIsTab_) key = VK_TAB;
  TDBEdit::KeyUp(key, shift);
}

void TDBEditKuvet::KeyPress(char& key) {
  if (key == ',' || key == '.') {
    TField* field = Field();
    bool floatField = field && (field->DataType() == ftFloat || field->DataType() == ftCurrency);
    if (editType_ == setFloat || floatField) key = FormatSettings().DecimalSeparator;
  }
  if (key == 13 || key == 27) {
    if (TCustomForm* form = GetParentForm(this)) {
      bool used = form->DialogKey(key == 13 ? VK_RETURN : VK_ESCAPE, TShiftState{});
      if (used) key = 0;
    }
    // Enter never types; Esc goes on and restores the field.
    if (key == 13) key = 0;
  }
  TDBEdit::KeyPress(key);
}

void TDBEditKuvet::DoEnter() {
  TDBEdit::DoEnter();
  SelectAll();
}

bool TDBEditKuvet::ValidateText() {
  AnsiString text = Text();
  bool valid = true;
  TDateTime base = dateTimeType_ == sdtNow ? Now() : storedDateTime_;
  if (editType_ == setDate) valid = CompleteDateText(text, base);
  if (editType_ == setTime) valid = CompleteTimeText(text, base);
  if (OnValid) OnValid(this, text, valid);
  if (text != Text()) {
    // A rewritten text is a change of the field like a typed one.
    DataLink()->Edit();
    SetText(text);
  }
  return valid;
}

bool TDBEditKuvet::WantsValidation() const {
  switch (whenValid_) {
    case swvAlways:
      return true;
    case swvWhenEdit: {
      TDataSource* source = DataSource();
      return source && (source->State() == dsEdit || source->State() == dsInsert);
    }
    case swvWhenChange: {
      TField* field = Field();
      return !field || field->AsString() != Text();
    }
    case swvNone:
      return false;
  }
  return true;
}

void TDBEditKuvet::ReportFailure() {
  if (OnError)
    OnError(this);
  else if (!errorString_.empty())
    ShowMessage(errorString_);
}

void TDBEditKuvet::DoExit() {
  if (WantsValidation() && !ValidateText()) {
    // Taking the focus back vetoes the move: the field is not written and
    // OnExit does not fire.
    if (CanFocus()) SetFocus();
    ReportFailure();
    return;
  }
  TDBEdit::DoExit();
}

bool TDBEditKuvet::ExitCheck() {
  if (!WantsValidation() || ValidateText()) return true;
  ReportFailure();
  return false;
}
