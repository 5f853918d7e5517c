// Field and index definition lists.
#include "platform/db/field_defs.h"

#include "platform/db/dataset.h"
#include "platform/db/db_errors.h"
#include "platform/db/fields.h"

// ---------------------------------------------------------------- TFieldDef

TFieldDef::TFieldDef(TCollection* collection) : TCollectionItem(collection) {
  fieldNo_ = collection ? collection->Count() : 0;
}

TFieldDef::~TFieldDef() = default;

TFieldDefs& TFieldDef::ChildDefs() {
  if (!childDefs_) {
    auto* parent = dynamic_cast<TFieldDefs*>(Collection());
    childDefs_ = std::make_unique<TFieldDefs>(parent ? parent->DataSet() : nullptr);
  }
  return *childDefs_;
}

bool TFieldDef::HasChildDefs() const { return childDefs_ && childDefs_->Count() > 0; }

void TFieldDef::SetName(const AnsiString& name) {
  name_ = name;
  Changed(false);
}

void TFieldDef::SetDataType(TFieldType type) {
  dataType_ = type;
  Changed(false);
}

void TFieldDef::SetSize(int size) {
  size_ = size;
  Changed(false);
}

void TFieldDef::SetRequired(bool required) {
  required_ = required;
  Changed(false);
}

void TFieldDef::SetPrecision(int precision) {
  precision_ = precision;
  Changed(false);
}

void TFieldDef::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TFieldDef*>(source);
  if (!other) {
    TCollectionItem::Assign(source);
    return;
  }
  name_ = other->name_;
  dataType_ = other->dataType_;
  size_ = other->size_;
  required_ = other->required_;
  fieldNo_ = other->fieldNo_;
  precision_ = other->precision_;
  if (other->HasChildDefs()) {
    TFieldDefs& children = ChildDefs();
    children.Clear();
    for (int i = 0; i < other->childDefs_->Count(); ++i)
      children.AddFieldDef()->Assign(other->childDefs_->Items(i));
  } else if (childDefs_) {
    childDefs_->Clear();
  }
  Changed(false);
}

TField* TFieldDef::CreateField(TComponent* owner, TDataSet* dataSet) const {
  TField* field = CreateFieldOfType(dataType_, owner);
  if (!field) DatabaseErrorFmt(dbmsg::UnknownFieldType, name_);
  try {
    field->SetFieldName(name_);
    switch (dataType_) {
      case ftString:
      case ftFixedChar:
      case ftBytes:
      case ftVarBytes:
      case ftBlob:
      case ftMemo:
      case ftGraphic:
      case ftFmtMemo:
      case ftParadoxOle:
      case ftDBaseOle:
      case ftTypedBinary:
        field->SetSize(size_);
        break;
      case ftBCD:
        field->SetSize(size_);
        static_cast<TBCDField*>(field)->SetPrecision(precision_);
        break;
      case ftADT:
        if (childDefs_)
          for (int i = 0; i < childDefs_->Count(); ++i)
            static_cast<TObjectField*>(field)->AddChild(
                childDefs_->Items(i)->CreateField(nullptr, nullptr));
        break;
      case ftArray:
        field->SetSize(size_);
        if (childDefs_ && childDefs_->Count() > 0)
          for (int i = 0; i < size_; ++i) {
            TField* element = childDefs_->Items(0)->CreateField(nullptr, nullptr);
            element->SetFieldName(name_ + "[" + IntToStr(i) + "]");
            static_cast<TObjectField*>(field)->AddChild(element);
          }
        break;
      default:
        break;
    }
    field->SetRequired(required_);
    field->SetDataSet(dataSet);
  } catch (...) {
    delete field;
    throw;
  }
  return field;
}

// --------------------------------------------------------------- TFieldDefs

TFieldDefs::TFieldDefs(TDataSet* dataSet)
    : TCollection([](TCollection* c) { return new TFieldDef(c); }), dataSet_(dataSet) {}

bool TFieldDefs::HasChildDefs() const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->HasChildDefs()) return true;
  return false;
}

TFieldDef* TFieldDefs::Items(int index) const {
  return static_cast<TFieldDef*>(TCollection::Items(index));
}

TFieldDef* TFieldDefs::AddFieldDef() { return static_cast<TFieldDef*>(TCollection::Add()); }

TFieldDef* TFieldDefs::Add(const AnsiString& name, TFieldType type, int size, bool required) {
  if (name.empty()) DatabaseErrorFmt(dbmsg::InvalidFieldValue, name);
  if (IndexOf(name) >= 0) DatabaseErrorFmt(dbmsg::DuplicateFieldName, name);
  TFieldDef* def = AddFieldDef();
  def->SetName(name);
  def->SetDataType(type);
  def->SetSize(size);
  def->SetRequired(required);
  return def;
}

int TFieldDefs::IndexOf(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Items(i)->Name(), name)) return i;
  return -1;
}

TFieldDef* TFieldDefs::Find(std::string_view name) const {
  int i = IndexOf(name);
  if (i < 0) DatabaseErrorFmt(dbmsg::FieldNotFound, name);
  return Items(i);
}

void TFieldDefs::Update() {
  if (!updated_ && dataSet_) dataSet_->InitFieldDefs();
}

void TFieldDefs::Update(TCollectionItem*) { updated_ = false; }

void TFieldDefs::Notify(TCollectionItem*, TOperation) { updated_ = false; }

// ---------------------------------------------------------------- TIndexDef

TIndexDef::TIndexDef(TCollection* collection) : TCollectionItem(collection) {}

void TIndexDef::SetName(const AnsiString& name) {
  name_ = name;
  Changed(false);
}

void TIndexDef::SetFields(const AnsiString& fields) {
  fields_ = fields;
  Changed(false);
}

void TIndexDef::SetExpression(const AnsiString& expression) {
  expression_ = expression;
  Changed(false);
}

void TIndexDef::SetOptions(TIndexOptions options) {
  options_ = options;
  Changed(false);
}

void TIndexDef::SetDisplayName(const AnsiString& displayName) {
  displayName_ = displayName;
  Changed(false);
}

void TIndexDef::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TIndexDef*>(source);
  if (!other) {
    TCollectionItem::Assign(source);
    return;
  }
  name_ = other->name_;
  fields_ = other->fields_;
  expression_ = other->expression_;
  displayName_ = other->displayName_;
  options_ = other->options_;
  Changed(false);
}

// --------------------------------------------------------------- TIndexDefs

TIndexDefs::TIndexDefs(TDataSet* dataSet)
    : TCollection([](TCollection* c) { return new TIndexDef(c); }), dataSet_(dataSet) {}

TIndexDef* TIndexDefs::Items(int index) const {
  return static_cast<TIndexDef*>(TCollection::Items(index));
}

TIndexDef* TIndexDefs::AddIndexDef() { return static_cast<TIndexDef*>(TCollection::Add()); }

TIndexDef* TIndexDefs::Add(const AnsiString& name, const AnsiString& fields,
                           TIndexOptions options) {
  TIndexDef* def = AddIndexDef();
  def->SetName(name);
  def->SetFields(fields);
  def->SetOptions(options);
  return def;
}

int TIndexDefs::IndexOf(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Items(i)->Name(), name)) return i;
  return -1;
}

TIndexDef* TIndexDefs::Find(std::string_view name) const {
  int i = IndexOf(name);
  if (i < 0) DatabaseErrorFmt(dbmsg::IndexNotFound, name);
  return Items(i);
}

void TIndexDefs::Update() {
  if (!updated_ && dataSet_) {
    dataSet_->UpdateIndexDefs();
    updated_ = true;
  }
}

void TIndexDefs::Update(TCollectionItem*) { updated_ = false; }

void TIndexDefs::Notify(TCollectionItem*, TOperation) { updated_ = false; }
