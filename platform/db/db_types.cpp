// Name tables of the field types and kinds, as files store them.
#include "platform/db/db_types.h"

namespace {

constexpr const char* kTypeNames[kFieldTypeCount] = {
    "Unknown", "String", "SmallInt", "Integer", "Word", "Boolean", "Float", "Currency",
    "BCD", "Date", "Time", "DateTime", "Bytes", "VarBytes", "AutoInc", "Blob", "Memo",
    "Graphic", "FmtMemo", "ParadoxOle", "dBaseOle", "TypedBinary", "Cursor", "FixedChar",
    "WideString", "LargeInt", "ADT", "Array", "Reference", "DataSet", "HugeBlob", "HugeClob",
    "Variant", "Interface", "Dispatch", "Guid", "SQLTimeStamp", "FMTBcdField"};

constexpr const char* kKindNames[kFieldKindCount] = {"Data", "Calculated", "Lookup",
                                                     "InternalCalc", "Aggregate"};

}  // namespace

AnsiString FieldTypeName(TFieldType type) {
  int i = static_cast<int>(type);
  return i >= 0 && i < kFieldTypeCount ? AnsiString(kTypeNames[i]) : AnsiString();
}

bool FieldTypeFromName(std::string_view name, TFieldType& type) {
  for (int i = 0; i < kFieldTypeCount; ++i) {
    if (name == kTypeNames[i]) {
      type = static_cast<TFieldType>(i);
      return true;
    }
  }
  return false;
}

AnsiString FieldKindName(TFieldKind kind) {
  int i = static_cast<int>(kind);
  return i >= 0 && i < kFieldKindCount ? AnsiString(kKindNames[i]) : AnsiString();
}

bool FieldKindFromName(std::string_view name, TFieldKind& kind) {
  for (int i = 0; i < kFieldKindCount; ++i) {
    if (name == kKindNames[i]) {
      kind = static_cast<TFieldKind>(i);
      return true;
    }
  }
  return false;
}
