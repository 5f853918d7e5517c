// TDBDateEdit: a date edit bound to a date field. The text takes typing
// only while the dataset edits; a digit, Backspace, paste or cut, a key
// that steps the date or a date from the calendar first put it into edit
// state. Written back, a date keeps the time of day the field held; a
// blank text clears the field (today with DefaultToday); a text that does
// not read as a date is refused, so a mistyped date never clears the field.
#pragma once

#include <memory>

#include "platform/db/datasource.h"
#include "ui/date_edits/date_edit.h"

class TDBDateEdit : public TCustomDateEdit {
 public:
  explicit TDBDateEdit(TComponent* owner);
  ~TDBDateEdit() override;
  AnsiString ClassName() const override { return "TDBDateEdit"; }

  TDataSource* DataSource() const { return link_->DataSource(); }
  void SetDataSource(TDataSource* source);
  const AnsiString& DataField() const { return link_->FieldName(); }
  void SetDataField(const AnsiString& name);
  TField* Field() const { return link_->Field(); }
  // The link's read-only flag.
  void SetReadOnly(bool on) override;
  TFieldDataLink* DataLink() const { return link_.get(); }
  void Paste() override;
  void Cut() override;

 protected:
  bool TextReadOnly() const override;
  bool CanChangeDate() override;
  void ApplyDate(TDateTime date) override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void Change() override;
  void DoExit() override;
  bool ExitCheck() override;
  // Shows the field's value.
  virtual void DataChange();
  // Writes the text into the field; raises for a text that is not a date.
  virtual void UpdateData();
  void EditingChange();

 private:
  std::unique_ptr<TFieldDataLink> link_;
  bool showingField_ = false;
};
