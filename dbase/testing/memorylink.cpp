#include "dbase/testing/memorylink.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "dbase/base/dates.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/system.h"

class TMemoryField : public TxbUserDefFieldVar {
 public:
  TMemoryField(const std::string& names, char type, int width, int sourceId)
      : TxbUserDefFieldVar(names, width), type_(type), sourceId_(sourceId) {}

  int SourceId() const override { return sourceId_; }
  void Evaluate(Variant& value, ExpressionValueType& type) override {
    switch (type_) {
      case 'C':
        value = Variant(text_);
        type = etText;
        break;
      case 'N':
        value = Variant(number_);
        type = etNumber;
        break;
      case 'D':
        value = Variant(static_cast<double>(day_));
        type = etDate;
        break;
      default:
        value = Variant(logical_);
        type = etBoolean;
        break;
    }
  }

  ExpressionValueType StaticType() const override {
    switch (type_) {
      case 'C': return etText;
      case 'N': return etNumber;
      case 'D': return etDate;
      default: return etBoolean;
    }
  }
  double NumberValue() override { return type_ == 'D' ? static_cast<double>(day_) : number_; }
  bool LogicalValue() override { return logical_; }
  std::string_view TextValue() override { return text_; }

  char type_;
  int sourceId_;
  AnsiString text_;
  double number_ = 0;
  int32_t day_ = 0;
  bool logical_ = false;
};

TMemoryLink::TMemoryLink(std::string tableName, int sourceId)
    : tableName_(std::move(tableName)), sourceId_(sourceId) {}

void TMemoryLink::AddField(const std::string& name, char type, int width, int) {
  auto* field = new TMemoryField(name + ";" + tableName_ + "." + name, type, width, sourceId_);
  if (type == 'C') field->text_.assign(static_cast<std::size_t>(std::max(width, 0)), ' ');
  if (!AddVariables(field)) throw std::logic_error("duplicate field " + name);
  indexes_[name] = static_cast<int>(fields_.size());
  fields_.push_back(field);
}

int TMemoryLink::FieldIndex(const std::string& name) const {
  auto it = indexes_.find(name);
  if (it == indexes_.end()) throw std::logic_error("no field " + name);
  return it->second;
}

void TMemoryLink::SetText(const std::string& name, std::string_view text) { SetText(FieldIndex(name), text); }
void TMemoryLink::SetNumber(const std::string& name, double value) { SetNumber(FieldIndex(name), value); }
void TMemoryLink::SetDate(const std::string& name, int32_t day) { SetDate(FieldIndex(name), day); }
void TMemoryLink::SetLogical(const std::string& name, bool value) { SetLogical(FieldIndex(name), value); }

void TMemoryLink::SetText(int field, std::string_view text) {
  TMemoryField& f = *fields_.at(static_cast<std::size_t>(field));
  // Written in place into the field's buffer (as wide as the field since
  // AddField), as a table read stores a record.
  const std::size_t width = f.text_.size();
  const std::size_t n = std::min(text.size(), width);
  std::memcpy(f.text_.data(), text.data(), n);
  std::memset(f.text_.data() + n, ' ', width - n);
}

void TMemoryLink::SetNumber(int field, double value) { fields_.at(static_cast<std::size_t>(field))->number_ = value; }
void TMemoryLink::SetDate(int field, int32_t day) { fields_.at(static_cast<std::size_t>(field))->day_ = day; }
void TMemoryLink::SetLogical(int field, bool value) { fields_.at(static_cast<std::size_t>(field))->logical_ = value; }

void FillSampleRecord(TMemoryLink& link) {
  link.AddField("NAME", 'C', 10);
  link.AddField("AMOUNT", 'N', 12, 2);
  link.AddField("DAY", 'D', 8);
  link.AddField("FLAG", 'L', 1);
  link.SetText("NAME", Cz("Novák"));
  link.SetNumber("AMOUNT", 1234.5);
  link.SetDate("DAY", JulianDay(2024, 3, 1));
  link.SetLogical("FLAG", true);
}

int32_t JulianDay(int year, int month, int day) {
  return static_cast<int32_t>(EncodeDate(year, month, day)) + TxbDBFDate::kOffset;
}
