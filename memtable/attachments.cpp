// Attaching one in-memory table to another: both then see one record store
// through their own indexes and cursors. The attached table takes the
// owner's definitions and gets a field for every owner field it lacks.
//
// Not copied: provider flags, which the platform's fields do not have.
#include "memtable/indexes.h"
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "platform/db/fields.h"

void TmtCustomMemTable::UseOwnStore() {
  ownStore_ = std::make_unique<TmtCommon>(this);
  store_ = ownStore_.get();
  store_->AttachTable(this);
  indexes_ = std::make_unique<TmtIndexes>(this);
  currentIndex_ = indexes_->RowOrderIndex();
  store_->SetStandalone(false);
}

void TmtCustomMemTable::SetAttachedTo(TmtCustomMemTable* table) {
  if (table == attachedTo_) return;
  if (table == this) MemTableError("Cant attach memorytable to it self.");
  Close();
  if (attachedTo_) {
    store_->DetachTable(this);
    attachedTo_ = nullptr;
    UseOwnStore();
  }
  if (!table) return;
  if (table->AttachedTo()) MemTableError("Cant attach to another table which itself is an attachment.");
  TmtCommon* theirs = table->Store();
  store_->DetachTable(this);
  std::unique_ptr<TmtCommon> released = std::move(ownStore_);
  store_ = theirs;
  try {
    store_->AttachTable(this);
  } catch (...) {
    released.reset();
    UseOwnStore();
    throw;
  }
  released.reset();
  attachedTo_ = table;
  indexes_ = std::make_unique<TmtIndexes>(this);
  currentIndex_ = indexes_->RowOrderIndex();
  FieldDefs().Clear();
  for (int i = 0; i < table->FieldDefs().Count(); ++i) FieldDefs().AddFieldDef()->Assign(table->FieldDefs().Items(i));
  if (!(ComponentState() & csDesigning)) CopyFieldsFrom(*table);
}

void TmtCustomMemTable::CopyFieldsFrom(TmtCustomMemTable& owner) {
  const bool hadFields = FieldCount() > 0;
  for (int i = 0; i < owner.FieldCount(); ++i) {
    TField* from = owner.Fields()[i];
    if (FindField(from->FieldName())) continue;
    TFieldType type = from->DataType();
    // Wide strings and GUIDs have no field class of their own here.
    if (type == ftWideString || type == ftGuid) type = ftString;
    TField* to = CreateFieldOfType(type, this);
    to->SetSize(from->Size());
    to->SetFieldKind(from->FieldKind());
    to->SetFieldName(from->FieldName());
    to->SetKeyFields(from->KeyFields());
    to->SetLookupDataSet(from->LookupDataSet());
    to->SetLookupResultField(from->LookupResultField());
    to->SetLookupKeyFields(from->LookupKeyFields());
    if (auto* bcd = dynamic_cast<TBCDField*>(from)) {
      auto* target = static_cast<TBCDField*>(to);
      target->SetPrecision(bcd->Precision());
      target->SetCurrency(bcd->Currency());
    }
    to->SetEditMask(from->EditMask());
    to->SetDisplayWidth(from->DisplayWidth());
    to->SetDisplayLabel(from->DisplayLabel());
    to->SetRequired(from->Required());
    to->SetReadOnly(from->ReadOnly());
    to->SetDefaultExpression(from->DefaultExpression());
    to->SetAlignment(from->Alignment());
    to->SetTransliterate(from->Transliterate());
    if (auto* n = dynamic_cast<TNumericField*>(from)) {
      if (auto* m = dynamic_cast<TNumericField*>(to)) {
        m->SetDisplayFormat(n->DisplayFormat());
        m->SetEditFormat(n->EditFormat());
      }
    }
    if (auto* n = dynamic_cast<TIntegerField*>(from)) {
      if (auto* m = dynamic_cast<TIntegerField*>(to)) {
        m->SetMinValue(n->MinValue());
        m->SetMaxValue(n->MaxValue());
      }
    }
    if (auto* n = dynamic_cast<TFloatField*>(from)) {
      if (auto* m = dynamic_cast<TFloatField*>(to)) {
        m->SetMinValue(n->MinValue());
        m->SetMaxValue(n->MaxValue());
        m->SetPrecision(n->Precision());
        m->SetCurrency(n->Currency());
      }
    }
    if (auto* n = dynamic_cast<TDateTimeField*>(from)) {
      if (auto* m = dynamic_cast<TDateTimeField*>(to)) m->SetDisplayFormat(n->DisplayFormat());
    }
    if (auto* n = dynamic_cast<TBooleanField*>(from)) {
      if (auto* m = dynamic_cast<TBooleanField*>(to)) m->SetDisplayValues(n->DisplayValues());
    }
    if (auto* n = dynamic_cast<TBlobField*>(from)) {
      if (auto* m = dynamic_cast<TBlobField*>(to)) m->SetBlobType(n->BlobType());
    }
    to->SetVisible(hadFields ? false : from->Visible());
    to->SetDataSet(this);
    if (OnSetupFieldProperties) OnSetupFieldProperties(this, to);
  }
}
