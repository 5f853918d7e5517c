// Field and index definitions: what a dataset's table holds (name, type,
// size, required) and which orders it offers. Fields are made from and bound
// to field definitions by name; index definitions are what a dataset reports
// about its open indexes.
//
// Invariant: a definitions list is "updated" only while it matches the
// dataset; every change to the list clears the flag, and the dataset sets it
// once it has filled the list.
#pragma once

#include <memory>

#include "platform/db/db_types.h"
#include "platform/rtl/classes.h"

class TDataSet;
class TField;
class TFieldDefs;
class TIndexDefs;

class TFieldDef : public TCollectionItem {
 public:
  explicit TFieldDef(TCollection* collection);
  ~TFieldDef() override;
  AnsiString ClassName() const override { return "TFieldDef"; }

  const AnsiString& Name() const { return name_; }
  void SetName(const AnsiString& name);
  TFieldType DataType() const { return dataType_; }
  void SetDataType(TFieldType type);
  // Text length for strings, byte count for bytes; 0 for fixed-size types.
  int Size() const { return size_; }
  void SetSize(int size);
  bool Required() const { return required_; }
  void SetRequired(bool required);
  // Total digits of a ftBCD definition (Size is its decimals); 0 unset.
  int Precision() const { return precision_; }
  void SetPrecision(int precision);
  // The parts of an ftADT (its members) or an ftArray (one definition, the
  // element type; Size is the element count). Made on first use, owned by
  // this definition and copied by Assign.
  TFieldDefs& ChildDefs();
  bool HasChildDefs() const;
  const TFieldDefs* ChildDefsIfAny() const { return childDefs_.get(); }
  // The dataset's own number of the field, from 1; a new definition gets its
  // position in the list. A dataset that leaves out some of its table's
  // columns sets the table's numbers here.
  int FieldNo() const { return fieldNo_; }
  void SetFieldNo(int fieldNo) { fieldNo_ = fieldNo; }

  AnsiString DisplayName() const override { return name_; }
  void Assign(const TPersistent* source) override;

  // A new field of the class for DataType, named and sized after this
  // definition, owned by owner and added to the dataset's fields.
  TField* CreateField(TComponent* owner, TDataSet* dataSet) const;

 private:
  AnsiString name_;
  TFieldType dataType_ = ftUnknown;
  int size_ = 0;
  bool required_ = false;
  int fieldNo_ = 0;
  int precision_ = 0;
  std::unique_ptr<TFieldDefs> childDefs_;
};

class TFieldDefs : public TCollection {
 public:
  explicit TFieldDefs(TDataSet* dataSet);
  AnsiString ClassName() const override { return "TFieldDefs"; }

  TDataSet* DataSet() const { return dataSet_; }
  TFieldDef* Items(int index) const;
  TFieldDef* AddFieldDef();
  TFieldDef* Add(const AnsiString& name, TFieldType type, int size = 0, bool required = false);
  // Position of the definition named name (case-insensitive), or -1.
  int IndexOf(std::string_view name) const;
  // The definition named name; raises EDatabaseError "Field '%s' not found".
  TFieldDef* Find(std::string_view name) const;
  bool Updated() const { return updated_; }
  void SetUpdated(bool updated) { updated_ = updated; }
  // Brings the list up to date from the dataset when it is not.
  void Update();
  // Whether any definition has child definitions (ADT and array columns).
  bool HasChildDefs() const;

 protected:
  void Update(TCollectionItem* item) override;
  void Notify(TCollectionItem* item, TOperation operation) override;

 private:
  TDataSet* dataSet_;
  bool updated_ = false;
};

class TIndexDef : public TCollectionItem {
 public:
  explicit TIndexDef(TCollection* collection);
  AnsiString ClassName() const override { return "TIndexDef"; }

  const AnsiString& Name() const { return name_; }
  void SetName(const AnsiString& name);
  // Field names separated by ";".
  const AnsiString& Fields() const { return fields_; }
  void SetFields(const AnsiString& fields);
  // The key expression of an expression index (ixExpression).
  const AnsiString& Expression() const { return expression_; }
  void SetExpression(const AnsiString& expression);
  TIndexOptions Options() const { return options_; }
  void SetOptions(TIndexOptions options);
  // The label shown for the index; the name unless one was given.
  AnsiString DisplayName() const override { return displayName_.empty() ? name_ : displayName_; }
  void SetDisplayName(const AnsiString& displayName);
  void Assign(const TPersistent* source) override;

 private:
  AnsiString name_;
  AnsiString fields_;
  AnsiString expression_;
  AnsiString displayName_;
  TIndexOptions options_;
};

class TIndexDefs : public TCollection {
 public:
  explicit TIndexDefs(TDataSet* dataSet);
  AnsiString ClassName() const override { return "TIndexDefs"; }

  TDataSet* DataSet() const { return dataSet_; }
  TIndexDef* Items(int index) const;
  TIndexDef* AddIndexDef();
  TIndexDef* Add(const AnsiString& name, const AnsiString& fields, TIndexOptions options);
  int IndexOf(std::string_view name) const;
  // The definition named name; raises EDatabaseError "Index '%s' not found".
  TIndexDef* Find(std::string_view name) const;
  bool Updated() const { return updated_; }
  void SetUpdated(bool updated) { updated_ = updated; }
  // Asks the dataset to refill the list when it is not up to date.
  void Update();

 protected:
  void Update(TCollectionItem* item) override;
  void Notify(TCollectionItem* item, TOperation operation) override;

 private:
  TDataSet* dataSet_;
  bool updated_ = false;
};
