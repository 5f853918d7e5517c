#include "ui/date_edits/db_date_edit.h"

#include <cmath>

#include "platform/db/dataset.h"
#include "platform/db/fields.h"
#include "platform/gui/application.h"
#include "platform/rtl/format_settings.h"
#include "ui/common/date_util.h"

namespace {

TDateTime TimeOfDay(const TField* field) {
  if (!field || field->IsNull()) return 0;
  TDateTime value = field->AsDateTime();
  return value - std::floor(value);
}

}  // namespace

TDBDateEdit::TDBDateEdit(TComponent* owner) : TCustomDateEdit(owner), link_(std::make_unique<TFieldDataLink>()) {
  link_->SetControl(this);
  link_->OnDataChange = [this](TObject*) { DataChange(); };
  link_->OnEditingChange = [this](TObject*) { EditingChange(); };
  link_->OnUpdateData = [this](TObject*) { UpdateData(); };
  link_->OnActiveChange = [this](TObject*) { DataChange(); };
  link_->OnFocusControl = [this](TObject*) {
    if (CanFocus()) SetFocus();
  };
  SetAlwaysEnable(true);
  // A date from the calendar counts only when the record can take it.
  OnAcceptDate = [this](TObject*, TDateTime&, bool& action) {
    TDataSource* source = DataSource();
    action = source && source->DataSet() && source->DataSet()->CanModify() && link_->Edit();
  };
  UpdateWindowReadOnly();
}

TDBDateEdit::~TDBDateEdit() {
  link_->OnDataChange = nullptr;
  link_->OnEditingChange = nullptr;
  link_->OnUpdateData = nullptr;
  link_->OnActiveChange = nullptr;
  link_->OnFocusControl = nullptr;
}

void TDBDateEdit::SetDataSource(TDataSource* source) {
  link_->SetDataSource(source);
  DataChange();
}

void TDBDateEdit::SetDataField(const AnsiString& name) {
  link_->SetFieldName(name);
  DataChange();
}

void TDBDateEdit::SetReadOnly(bool on) {
  link_->SetReadOnly(on);
  TCustomDateEdit::SetReadOnly(on);
}

bool TDBDateEdit::TextReadOnly() const {
  return TCustomDateEdit::TextReadOnly() || !link_ || !link_->Editing();
}

bool TDBDateEdit::CanChangeDate() { return TCustomDateEdit::CanChangeDate() && link_->CanModify(); }

// ---- field to edit and back

void TDBDateEdit::DataChange() {
  if (!link_) return;
  bool saved = showingField_;
  showingField_ = true;
  try {
    if (EditMask().empty()) UpdateFormat();
    TField* field = link_->Field();
    if (field)
      SetDateValue(field->IsNull() ? NullDate : field->AsDateTime());
    else
      SetDateValue(DefaultToday() ? Date() : NullDate);
    SetModified(false);
  } catch (...) {
    showingField_ = saved;
    throw;
  }
  showingField_ = saved;
  UpdateWindowReadOnly();
}

void TDBDateEdit::EditingChange() {
  UpdateWindowReadOnly();
  TField* field = link_->Field();
  if (link_->Editing() && DefaultToday() && field && field->IsNull()) field->SetAsDateTime(Now());
}

void TDBDateEdit::UpdateData() {
  ValidateEdit();
  TField* field = link_->Field();
  if (!field) return;
  if (TextIsBlank()) {
    if (DefaultToday())
      field->SetAsDateTime(Date() + TimeOfDay(field));
    else
      field->Clear();
    return;
  }
  // Strict: a text that is not a date is refused rather than written as
  // "no date".
  TDateTime date = StrToDateFmt(DateFormat(), Text());
  field->SetAsDateTime(std::floor(date) + TimeOfDay(field));
}

void TDBDateEdit::ApplyDate(TDateTime date) {
  TField* field = link_->Field();
  if (!field) {
    TCustomDateEdit::ApplyDate(date);
    return;
  }
  if (!link_->Edit()) return;
  if (date == NullDate || !IsValidDate(date)) {
    if (!DefaultToday()) {
      field->Clear();
      return;
    }
    date = Date();
  }
  field->SetAsDateTime(std::floor(date) + TimeOfDay(field));
}

void TDBDateEdit::Change() {
  if (!showingField_) link_->Modified();
  TCustomDateEdit::Change();
}

// ---- keys and clipboard

void TDBDateEdit::KeyDown(Word& key, TShiftState shift) {
  TCustomDateEdit::KeyDown(key, shift);
  if ((key == VK_DELETE || (key == VK_INSERT && shift.Contains(ssShift))) && !ReadOnly()) {
    if (!link_->Edit()) key = 0;
  }
}

void TDBDateEdit::KeyPress(char& key) {
  if (key == 27) {
    link_->Reset();
    SelectAll();
    key = 0;
    return;
  }
  TCustomDateEdit::KeyPress(key);
  unsigned char k = static_cast<unsigned char>(key);
  if (k == 0 || !link_->Field()) return;
  bool digit = k >= '0' && k <= '9';
  if (k >= 32 && !digit && key != FormatSettings().DateSeparator) {
    MessageBeep(0);
    key = 0;
    return;
  }
  if (k == 8 || k == 22 || k == 24 || digit) {
    if (!link_->Edit()) key = 0;
  }
}

void TDBDateEdit::Paste() {
  if (ReadOnly() || !link_->Edit()) return;
  TCustomDateEdit::Paste();
}

void TDBDateEdit::Cut() {
  if (ReadOnly() || !link_->Edit()) return;
  TCustomDateEdit::Cut();
}

// ---- leaving

void TDBDateEdit::DoExit() {
  try {
    if (CheckOnExit()) CheckValidDate();
    link_->UpdateRecord();
  } catch (...) {
    SelectAll();
    throw;
  }
  // Checked above; what remains is the combo edit's exit and OnExit.
  TCustomComboEdit::DoExit();
}

bool TDBDateEdit::ExitCheck() {
  try {
    if (CheckOnExit()) CheckValidDate();
    link_->UpdateRecord();
  } catch (const std::exception& e) {
    SelectAll();
    Application->HandleException(this, e);
    return false;
  }
  return true;
}
