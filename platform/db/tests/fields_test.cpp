// Fields: the native value layout every dataset relies on, the display and
// edit texts under the Czech settings, text parsing and its errors, valid
// characters, defaults, and binding persistent fields to definitions.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/db/testing/db_test_support.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/system.h"
#include "testing/random_input.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

template <class T>
std::string Raw(T v) {
  return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}

// A one-column dataset of the given type in insert state.
struct OneField {
  explicit OneField(TFieldType type, int size = 0) {
    ds.FieldDefs().Add("F", type, size);
    ds.Open();
    ds.Append();
    field = ds.FieldByName("F");
  }
  std::string NativeBytes() {
    std::string bytes(static_cast<std::size_t>(field->DataSize()), '\0');
    EXPECT_TRUE(field->GetData(bytes.data()));
    return bytes;
  }
  VectorDataSet ds;
  TField* field = nullptr;
};

TEST(Fields, NativeLayoutRoundTripsForEveryClass) {
  TDateTime firstDay = EncodeDate(1, 1, 1);
  TDateTime newYear = EncodeDate(2026, 1, 1);
  TDateTime noon = newYear + EncodeTime(12, 0, 0, 0);
  struct Row {
    const char* name;
    TFieldType type;
    int size;
    const char* className;
    std::function<void(TField*)> set;
    std::string bytes;
    std::function<void(TField*)> check;
  } rows[] = {
      {"string cut to its size", ftString, 5, "TStringField",
       [](TField* f) { f->SetAsString("abcdefg"); }, "abcde" + Bytes({0}),
       [](TField* f) { EXPECT_EQ(f->AsString(), "abcde"); }},
      {"fixed-length string", ftFixedChar, 3, "TStringField", [](TField* f) { f->SetAsString("ab"); },
       Bytes({'a', 'b', 0, 0}), [](TField* f) { EXPECT_EQ(f->AsString(), "ab"); }},
      {"small integer", ftSmallint, 0, "TSmallintField", [](TField* f) { f->SetAsInteger(-2); },
       Bytes({0xFE, 0xFF}), [](TField* f) { EXPECT_EQ(f->AsInteger(), -2); }},
      {"word", ftWord, 0, "TWordField", [](TField* f) { f->SetAsInteger(65535); },
       Bytes({0xFF, 0xFF}), [](TField* f) { EXPECT_EQ(f->AsInteger(), 65535); }},
      {"integer", ftInteger, 0, "TIntegerField", [](TField* f) { f->SetAsInteger(0x01020304); },
       Bytes({4, 3, 2, 1}), [](TField* f) { EXPECT_EQ(f->AsFloat(), 0x01020304); }},
      {"auto-increment", ftAutoInc, 0, "TAutoIncField", [](TField* f) { f->SetAsInteger(7); },
       Bytes({7, 0, 0, 0}), [](TField* f) { EXPECT_EQ(f->AsString(), "7"); }},
      {"large integer", ftLargeint, 0, "TLargeintField",
       [](TField* f) { static_cast<TLargeintField*>(f)->SetAsLargeInt(4294967296LL); },
       Bytes({0, 0, 0, 0, 1, 0, 0, 0}),
       [](TField* f) { EXPECT_EQ(f->AsVariant().AsInt64(), 4294967296LL); }},
      {"boolean", ftBoolean, 0, "TBooleanField", [](TField* f) { f->SetAsBoolean(true); },
       Bytes({1, 0}), [](TField* f) { EXPECT_TRUE(f->AsBoolean()); }},
      {"float", ftFloat, 0, "TFloatField", [](TField* f) { f->SetAsFloat(1.5); }, Raw(1.5),
       [](TField* f) { EXPECT_EQ(f->AsFloat(), 1.5); }},
      {"currency", ftCurrency, 0, "TCurrencyField",
       [](TField* f) { f->SetAsCurrency(Currency{22500}); }, Raw(2.25),
       [](TField* f) { EXPECT_EQ(f->AsCurrency().scaled, 22500); }},
      {"date: 1 January 0001 is day 1", ftDate, 0, "TDateField",
       [=](TField* f) { f->SetAsDateTime(firstDay); }, Raw(int32_t{1}),
       [=](TField* f) { EXPECT_EQ(f->AsDateTime(), firstDay); }},
      {"date in 2026", ftDate, 0, "TDateField", [=](TField* f) { f->SetAsDateTime(newYear + 0.75); },
       Raw(int32_t{739617}), [=](TField* f) { EXPECT_EQ(f->AsDateTime(), newYear); }},
      {"time in milliseconds", ftTime, 0, "TTimeField",
       [](TField* f) { f->SetAsDateTime(EncodeTime(1, 2, 3, 4)); }, Raw(int32_t{3723004}),
       [](TField* f) { EXPECT_EQ(f->AsString(), "1:02:03"); }},
      {"date-time in milliseconds", ftDateTime, 0, "TDateTimeField",
       [=](TField* f) { f->SetAsDateTime(noon); }, Raw(739617.0 * 86400000.0 + 43200000.0),
       [=](TField* f) { EXPECT_EQ(f->AsDateTime(), noon); }},
      {"bytes", ftBytes, 3, "TBytesField", [](TField* f) { f->SetAsString(Bytes({1, 2, 3, 4})); },
       Bytes({1, 2, 3}), [](TField* f) { EXPECT_EQ(f->AsString(), Bytes({1, 2, 3})); }},
      {"var-bytes", ftVarBytes, 4, "TVarBytesField", [](TField* f) { f->SetAsString("ab"); },
       Bytes({2, 0, 'a', 'b', 0, 0}), [](TField* f) { EXPECT_EQ(f->AsString(), "ab"); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    OneField one(row.type, row.size);
    EXPECT_EQ(one.field->ClassName(), row.className);
    EXPECT_TRUE(one.field->IsNull());
    row.set(one.field);
    EXPECT_EQ(one.NativeBytes(), row.bytes);
    row.check(one.field);
    one.ds.Post();
    EXPECT_EQ(one.NativeBytes(), row.bytes);
    row.check(one.field);
    one.ds.Edit();
    one.field->Clear();
    EXPECT_TRUE(one.field->IsNull());
    EXPECT_TRUE(one.field->AsVariant().IsNull());
  }
}

TEST(Fields, BlobValuesGoThroughTheStream) {
  struct Row {
    TFieldType type;
    const char* className;
    const char* text;
  } rows[] = {
      {ftMemo, "TMemoField", "(MEMO)"},
      {ftBlob, "TBlobField", "(BLOB)"},
      {ftGraphic, "TGraphicField", "(GRAPHIC)"},
      {ftFmtMemo, "TBlobField", "(BLOB)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.className);
    OneField one(row.type);
    auto* blob = static_cast<TBlobField*>(one.field);
    EXPECT_EQ(blob->ClassName(), row.className);
    EXPECT_EQ(blob->BlobType(), row.type);
    std::string value(70000, 'x');
    value[5] = '\0';
    blob->SetAsString(value);
    EXPECT_TRUE(blob->Modified());
    EXPECT_EQ(blob->AsString(), value);
    EXPECT_EQ(blob->BlobSize(), 70000);
    one.ds.Post();
    EXPECT_EQ(blob->AsString(), value);
    EXPECT_EQ(blob->DisplayText(), row.text);
    TMemoryStream out;
    blob->SaveToStream(out);
    EXPECT_EQ(out.Size(), 70000);
    one.ds.Edit();
    TStringStream in("short");
    blob->LoadFromStream(in);
    EXPECT_EQ(blob->AsString(), "short");
    blob->Clear();
    EXPECT_TRUE(blob->IsNull());
    EXPECT_EQ(blob->DisplayText(), "");
    one.ds.Cancel();
    EXPECT_EQ(blob->AsString(), value);
  }
}

TEST(Fields, DisplayAndEditTextsUnderTheCzechSettings) {
  dbtest::FormatSettingsGuard guard;
  FormatSettings() = CzechFormatSettings();
  const std::string nbsp = "\xA0";
  struct Row {
    const char* name;
    TFieldType type;
    std::function<void(TField*)> setup;
    std::string display;
    std::string edit;
  } rows[] = {
      {"amount with display format", ftFloat,
       [](TField* f) {
         static_cast<TFloatField*>(f)->SetDisplayFormat("#,##0.00");
         f->SetAsFloat(1234.5);
       },
       "1" + nbsp + "234,50", "1234,5"},
      {"negative amount", ftFloat,
       [](TField* f) {
         static_cast<TFloatField*>(f)->SetDisplayFormat("#,##0.00");
         f->SetAsFloat(-1234567.891);
       },
       "-1" + nbsp + "234" + nbsp + "567,89", "-1234567,891"},
      {"edit format when one is set", ftFloat,
       [](TField* f) {
         static_cast<TFloatField*>(f)->SetDisplayFormat("#,##0.00");
         static_cast<TFloatField*>(f)->SetEditFormat("0.000");
         f->SetAsFloat(2.5);
       },
       "2,50", "2,500"},
      {"plain float", ftFloat, [](TField* f) { f->SetAsFloat(0.1 + 0.2); }, "0,3", "0,3"},
      {"currency without formats", ftCurrency, [](TField* f) { f->SetAsFloat(1234.5); },
       "1" + nbsp + "234,50 " + Cz("Kč"), "1234,50"},
      {"integer with display format", ftInteger,
       [](TField* f) {
         static_cast<TIntegerField*>(f)->SetDisplayFormat("#,##0");
         f->SetAsInteger(1234567);
       },
       "1" + nbsp + "234" + nbsp + "567", "1234567"},
      {"date with display format", ftDate,
       [](TField* f) {
         static_cast<TDateTimeField*>(f)->SetDisplayFormat("dd.mm.yyyy");
         f->SetAsDateTime(EncodeDate(2026, 3, 5));
       },
       "05.03.2026", "05.03.2026"},
      {"date with a format only for display", ftDate,
       [](TField* f) {
         static_cast<TDateTimeField*>(f)->SetDisplayFormat("d. mmmm yyyy");
         f->SetAsDateTime(EncodeDate(2026, 3, 5));
       },
       "5. " + Cz("březen") + " 2026", "05.03.2026"},
      {"date with the short format", ftDate, [](TField* f) { f->SetAsDateTime(EncodeDate(2026, 12, 8)); },
       "08.12.2026", "08.12.2026"},
      {"boolean", ftBoolean, [](TField* f) { f->SetAsBoolean(false); }, "False", "False"},
      {"boolean in Czech", ftBoolean,
       [](TField* f) {
         static_cast<TBooleanField*>(f)->SetDisplayValues("Ano;Ne");
         f->SetAsBoolean(true);
       },
       "Ano", "Ano"},
      {"null reads empty", ftFloat,
       [](TField* f) { static_cast<TFloatField*>(f)->SetDisplayFormat("#,##0.00"); }, "", ""},
      {"null date reads empty", ftDate, [](TField*) {}, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    OneField one(row.type);
    row.setup(one.field);
    EXPECT_EQ(one.field->DisplayText(), row.display);
    EXPECT_EQ(one.field->Text(), row.edit);
    if (row.display.empty()) {
      EXPECT_EQ(one.field->AsString(), "");
    }
  }
}

TEST(Fields, OnGetTextAndOnSetTextReplaceTheConversions) {
  OneField one(ftFloat);
  one.field->OnGetText = [](TField* f, AnsiString& text, bool display) {
    text = (display ? "D:" : "E:") + f->AsString();
  };
  one.field->OnSetText = [](TField* f, const AnsiString& text) { f->SetAsFloat(text.size()); };
  one.field->SetText("four");
  EXPECT_EQ(one.field->AsFloat(), 4);
  EXPECT_EQ(one.field->DisplayText(), "D:4");
  EXPECT_EQ(one.field->Text(), "E:4");
}

TEST(Fields, TextsConvertWithTheSettingsAndBadTextsRaise) {
  dbtest::FormatSettingsGuard guard;
  FormatSettings() = CzechFormatSettings();
  struct Row {
    const char* name;
    TFieldType type;
    const char* text;
    const char* stored;         // AsString afterwards, when accepted
    const char* convertError;   // EConvertError message
    const char* databaseError;  // EDatabaseError message
  } rows[] = {
      {"decimal comma", ftFloat, "1234,5", "1234,5", nullptr, nullptr},
      {"exponent", ftFloat, "-1,5E3", "-1500", nullptr, nullptr},
      {"empty clears", ftFloat, "", "", nullptr, nullptr},
      {"letters in a number", ftFloat, "12x", nullptr, "'12x' is not a valid floating point value", nullptr},
      {"decimal point is not the separator", ftFloat, "1.5", nullptr,
       "'1.5' is not a valid floating point value", nullptr},
      {"integer", ftInteger, " 42 ", "42", nullptr, nullptr},
      {"fraction in an integer", ftInteger, "4,2", nullptr, "'4,2' is not a valid integer value", nullptr},
      {"small integer range", ftSmallint, "40000", nullptr, nullptr,
       "40000 is not a valid value for field 'F'. The allowed range is -32768 to 32767"},
      {"word range", ftWord, "-1", nullptr, nullptr,
       "-1 is not a valid value for field 'F'. The allowed range is 0 to 65535"},
      {"integer range", ftInteger, "3000000000", nullptr, nullptr,
       "3000000000 is not a valid value for field 'F'. The allowed range is -2147483648 to 2147483647"},
      {"date", ftDate, "5.3.2026", "05.03.2026", nullptr, nullptr},
      {"impossible date", ftDate, "31.02.2026", nullptr, "'31.02.2026' is not a valid date", nullptr},
      {"time", ftTime, "13:45", "13:45:00", nullptr, nullptr},
      {"date and time", ftDateTime, "5.3.2026 13:45:10", "05.03.2026 13:45:10", nullptr, nullptr},
      {"not a date and time", ftDateTime, "soon", nullptr, "'soon' is not a valid date and time", nullptr},
      {"boolean prefix", ftBoolean, "t", "True", nullptr, nullptr},
      {"boolean false", ftBoolean, "FALSE", "False", nullptr, nullptr},
      {"not a boolean", ftBoolean, "maybe", nullptr, nullptr,
       "'maybe' is not a valid boolean value for field 'F'"},
      {"string longer than its size", ftString, "0123456789ABCDEFGHIJKL", "0123456789ABCDEFGHIJ", nullptr,
       nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    OneField one(row.type, row.type == ftString ? 20 : 0);
    if (row.type != ftString && row.type != ftBoolean) one.field->SetAsFloat(0);
    try {
      one.field->SetText(row.text);
      ASSERT_NE(row.stored, nullptr) << "accepted";
      EXPECT_EQ(one.field->AsString(), row.stored);
      if (*row.text == '\0') {
        EXPECT_TRUE(one.field->IsNull());
      }
    } catch (EConvertError& e) {
      ASSERT_NE(row.convertError, nullptr) << e.Message();
      EXPECT_EQ(e.Message(), row.convertError);
    } catch (EDatabaseError& e) {
      ASSERT_NE(row.databaseError, nullptr) << e.Message();
      EXPECT_EQ(e.Message(), row.databaseError);
    }
  }
}

TEST(Fields, ValidCharactersWidthsAndAlignmentPerClass) {
  dbtest::FormatSettingsGuard guard;
  FormatSettings() = CzechFormatSettings();
  struct Row {
    TFieldType type;
    int size;
    const char* valid;
    const char* invalid;
    int width;
    TAlignment alignment;
  } rows[] = {
      {ftString, 25, "aZ9 ,.-+eE\x9A", "", 25, taLeftJustify},
      {ftSmallint, 0, "0123456789+-", ",.eEa ", 6, taRightJustify},
      {ftInteger, 0, "0123456789+-", ",.eEa ", 11, taRightJustify},
      {ftWord, 0, "0123456789+-", ",eE", 5, taRightJustify},
      {ftAutoInc, 0, "0123456789+-", ",", 11, taRightJustify},
      {ftLargeint, 0, "0123456789+-", ",eE", 15, taRightJustify},
      {ftFloat, 0, "0123456789+-,eE", ".a ", 10, taRightJustify},
      {ftCurrency, 0, "0123456789+-,eE", ".a ", 10, taRightJustify},
      {ftDate, 0, "0123456789.a /", "", 10, taLeftJustify},
      {ftBoolean, 0, "TtFf01", "", 5, taLeftJustify},
      {ftMemo, 0, "ab", "", 10, taLeftJustify},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(FieldTypeName(row.type));
    OneField one(row.type, row.size);
    for (const char* c = row.valid; *c; ++c) EXPECT_TRUE(one.field->IsValidChar(*c)) << *c;
    for (const char* c = row.invalid; *c; ++c) EXPECT_FALSE(one.field->IsValidChar(*c)) << *c;
    EXPECT_EQ(one.field->DisplayWidth(), row.width);
    EXPECT_EQ(one.field->Alignment(), row.alignment);
  }
  OneField one(ftBoolean);
  static_cast<TBooleanField*>(one.field)->SetDisplayValues(Cz("Ano;Neplatí"));
  EXPECT_EQ(one.field->DisplayWidth(), 7);
  one.field->SetDisplayWidth(3);
  EXPECT_EQ(one.field->DisplayWidth(), 3);
  EXPECT_EQ(one.field->DisplayName(), "F");
  one.field->SetDisplayLabel(Cz("Příjmy"));
  EXPECT_EQ(one.field->DisplayName(), Cz("Příjmy"));
}

TEST(Fields, PersistentFieldsBindToCompatibleDefinitions) {
  struct Row {
    const char* name;
    TFieldType defType;
    int defSize;
    std::function<TField*(TComponent*)> make;
    const char* error;  // null: binds
  } rows[] = {
      {"integer field on a small integer", ftSmallint, 0, [](TComponent* o) { return new TIntegerField(o); }, nullptr},
      {"small integer field on an integer", ftInteger, 0, [](TComponent* o) { return new TSmallintField(o); }, nullptr},
      {"large integer field on an integer", ftInteger, 0, [](TComponent* o) { return new TLargeintField(o); }, nullptr},
      {"float field on currency", ftCurrency, 0, [](TComponent* o) { return new TFloatField(o); }, nullptr},
      {"string field on fixed text", ftFixedChar, 20, [](TComponent* o) { return new TStringField(o); }, nullptr},
      {"string field on an integer", ftInteger, 0, [](TComponent* o) { return new TStringField(o); },
       "Type mismatch for field 'X', expecting: String actual: Integer"},
      {"date field on a date-time", ftDateTime, 0, [](TComponent* o) { return new TDateField(o); },
       "Type mismatch for field 'X', expecting: Date actual: DateTime"},
      {"float field on an integer", ftInteger, 0, [](TComponent* o) { return new TFloatField(o); },
       "Type mismatch for field 'X', expecting: Float actual: Integer"},
      {"memo field on a string", ftString, 20, [](TComponent* o) { return new TMemoField(o); },
       "Type mismatch for field 'X', expecting: Memo actual: String"},
      {"string of another size", ftString, 10, [](TComponent* o) { return new TStringField(o); },
       "Size mismatch for field 'X', expecting: 20 actual: 10"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TComponent module(nullptr);
    auto& d = *new VectorDataSet(&module);
    d.FieldDefs().Add("X", row.defType, row.defSize);
    d.FieldDefs().Add("Y", ftString, 5);
    TField* f = row.make(&module);
    f->SetFieldName("X");
    f->SetDataSet(&d);
    d.AddRow({Variant(int64_t{123}), Variant("y")});
    try {
      d.Open();
      ASSERT_EQ(row.error, nullptr) << "bound";
      EXPECT_FALSE(d.DefaultFields());
      EXPECT_EQ(d.FieldCount(), 1);  // only the persistent field; Y has none
      EXPECT_EQ(f->DataType(), row.defType);
      EXPECT_EQ(f->AsFloat(), 123);
      d.Edit();
      f->SetAsFloat(45);
      d.Post();
      EXPECT_EQ(d.Cell(0, 0).AsDouble(), 45);
    } catch (EDatabaseError& e) {
      ASSERT_NE(row.error, nullptr) << e.Message();
      EXPECT_EQ(e.Message(), row.error);
      EXPECT_FALSE(d.Active());
    }
  }

  TComponent module(nullptr);
  auto& d = *new VectorDataSet(&module);
  d.FieldDefs().Add("X", ftInteger);
  TField* f = new TIntegerField(&module);
  f->SetFieldName("GONE");
  f->SetDataSet(&d);
  try {
    d.Open();
    FAIL() << "bound a field without definition";
  } catch (EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Field 'GONE' not found");
  }
  // The persistent field stays with the dataset after the failure.
  EXPECT_EQ(d.FieldCount(), 1);
}

TEST(Fields, DefaultFieldsComeAndGoWithOpenAndClose) {
  VectorDataSet d;
  dbtest::DefineJournal(d);
  d.Open();
  EXPECT_TRUE(d.DefaultFields());
  ASSERT_EQ(d.FieldCount(), 5);
  EXPECT_EQ(d.Fields()[0]->FieldName(), "PLA_DAT");
  EXPECT_EQ(d.Fields()[4]->FieldNo(), 5);
  EXPECT_EQ(d.FieldByNumber(2)->FieldName(), "PLA_DO1");
  EXPECT_EQ(d.FindField("pla_kom"), d.Fields()[3]);
  d.Fields()[4]->SetIndex(0);
  EXPECT_EQ(d.Fields()[0]->FieldName(), "PLA_HOD");
  d.Close();
  EXPECT_EQ(d.FieldCount(), 0);
}

// The in-memory table stores types and kinds by name and reads them back:
// every name is distinct, reads back as its own value, compares exactly,
// and an ordinal outside the enumeration has none.
TEST(Fields, TypeAndKindNamesReadBackAsTheirOwnValues) {
  std::set<AnsiString> names;
  for (int t = 0; t < kFieldTypeCount; ++t) {
    const AnsiString name = FieldTypeName(static_cast<TFieldType>(t));
    SCOPED_TRACE(name);
    EXPECT_FALSE(name.empty());
    EXPECT_TRUE(names.insert(name).second) << "two types share the name";
    TFieldType back = ftUnknown;
    EXPECT_TRUE(FieldTypeFromName(name, back));
    EXPECT_EQ(back, t);
    if (LowerCase(name) != name) {
      EXPECT_FALSE(FieldTypeFromName(LowerCase(name), back));
    }
  }
  EXPECT_EQ(FieldTypeName(static_cast<TFieldType>(kFieldTypeCount)), "");
  std::set<AnsiString> kinds;
  for (int k = 0; k < kFieldKindCount; ++k) {
    const AnsiString name = FieldKindName(static_cast<TFieldKind>(k));
    TFieldKind back = fkData;
    EXPECT_TRUE(FieldKindFromName(name, back)) << name;
    EXPECT_EQ(back, k);
    EXPECT_TRUE(kinds.insert(name).second) << name;
  }
}

TEST(Fields, DefinitionListsFindTheirEntriesAndKnowWhenTheyAreStale) {
  VectorDataSet d;
  TFieldDefs& defs = d.FieldDefs();
  defs.Add("A", ftString, 5, true);
  defs.Add("B", ftInteger);
  EXPECT_EQ(defs.IndexOf("b"), 1);
  EXPECT_EQ(defs.Find("B")->FieldNo(), 2);
  EXPECT_TRUE(defs.Find("A")->Required());
  EXPECT_THROW(defs.Add("a", ftInteger), EDatabaseError);
  try {
    defs.Find("C");
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Field 'C' not found");
  }
  EXPECT_FALSE(defs.Updated());
  d.Open();
  EXPECT_TRUE(defs.Updated());
  d.Close();
  defs.Items(1)->SetSize(0);
  EXPECT_FALSE(defs.Updated());

  TIndexDefs& indexes = d.IndexDefs();
  indexes.Add("DAT", "PLA_DAT", {ixCaseInsensitive});
  TIndexDef* expr = indexes.AddIndexDef();
  expr->SetName("KEY");
  expr->SetExpression("UPPER(PLA_KOM)");
  expr->SetOptions({ixExpression, ixDescending});
  EXPECT_EQ(indexes.Find("dat")->Fields(), "PLA_DAT");
  EXPECT_EQ(indexes.Find("DAT")->DisplayName(), "DAT");
  try {
    indexes.Find("NONE");
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Index 'NONE' not found");
  }
  VectorDataSet other;
  other.IndexDefs().Assign(&indexes);
  ASSERT_EQ(other.IndexDefs().Count(), 2);
  EXPECT_EQ(other.IndexDefs().Items(1)->Expression(), "UPPER(PLA_KOM)");
  EXPECT_TRUE(other.IndexDefs().Items(1)->Options().Contains(ixDescending));
  EXPECT_FALSE(other.IndexDefs().Items(1)->Options().Contains(ixUnique));
}

TEST(Fields, StringFieldsTranslateBetweenStoredAndShownText) {
  const AnsiString czech = Cz("Příliš žluťoučký kůň");
  AnsiString oem = czech;
  CharToOemBuff(oem.data(), oem.data(), oem.size());
  ASSERT_NE(oem, czech);

  VectorDataSet d;
  d.FieldDefs().Add("T", ftString, 30);
  d.SetStoreOem(true);
  d.AddRow({Variant(czech)});
  d.Open();
  TField* f = d.FieldByName("T");
  EXPECT_EQ(f->AsString(), czech);
  std::string raw(31, '\0');
  f->GetData(raw.data());
  EXPECT_EQ(std::string(raw.c_str()), oem);
  d.Edit();
  f->SetAsString(Cz("Čaj"));
  d.Post();
  EXPECT_EQ(d.Cell(0, 0).AsString(), Cz("Čaj"));
  f->GetData(raw.data());
  AnsiString oemTea = Cz("Čaj");
  CharToOemBuff(oemTea.data(), oemTea.data(), oemTea.size());
  EXPECT_EQ(std::string(raw.c_str()), oemTea);
  f->SetTransliterate(false);
  EXPECT_EQ(f->AsString(), oemTea);
}

TEST(Fields, ValidateSeesTheProposedValueAndCanRefuseIt) {
  OneField one(ftFloat);
  one.field->SetAsFloat(1);
  double seen = 0;
  bool nullSeen = false;
  one.field->OnValidate = [&](TField* f) {
    nullSeen = f->IsNull();
    seen = f->AsFloat();
    if (seen < 0) throw EDatabaseError("negative");
  };
  one.field->SetAsFloat(2.5);
  EXPECT_EQ(seen, 2.5);
  EXPECT_THROW(one.field->SetAsFloat(-1), EDatabaseError);
  EXPECT_EQ(one.field->AsFloat(), 2.5);
  one.field->Clear();
  EXPECT_TRUE(nullSeen);
  // OnChange follows every accepted change.
  int changes = 0;
  one.field->OnChange = [&](TField*) { ++changes; };
  one.field->SetAsFloat(3);
  one.field->SetText("4");
  EXPECT_EQ(changes, 2);
}

TEST(Fields, VariantsAndConversionsBetweenKinds) {
  OneField one(ftString, 10);
  one.field->SetAsVariant(Variant(int64_t{12}));
  EXPECT_EQ(one.field->AsInteger(), 12);
  EXPECT_EQ(one.field->AsVariant().VarType(), varString);
  EXPECT_THROW(one.field->AsDateTime(), EConvertError);

  OneField date(ftDate);
  date.field->SetAsVariant(Variant::FromDateTime(EncodeDate(2026, 12, 8)));
  EXPECT_TRUE(date.field->AsVariant().IsDateTime());
  EXPECT_EQ(date.field->AsVariant().AsDateTime(), EncodeDate(2026, 12, 8));
  EXPECT_THROW(date.field->AsBoolean(), EDatabaseError);
  EXPECT_THROW(date.field->SetAsDateTime(EncodeDate(1, 1, 1) - 1), EDatabaseError);

  OneField number(ftFloat);
  number.field->SetValue(Variant("2,5"));
  EXPECT_EQ(number.field->AsFloat(), 2.5);
  EXPECT_EQ(number.field->AsInteger(), 2);
  EXPECT_THROW(number.field->SetAsFloat(std::numeric_limits<double>::infinity()), EDatabaseError);
  number.field->SetValue(Variant::Null());
  EXPECT_TRUE(number.field->IsNull());
}

// Random texts typed into every kind of field: each is either accepted or
// refused with a conversion or database error, never anything else.
TEST(FieldTextMalformed, RandomTextsAreAcceptedOrRefusedCleanly) {
  std::vector<std::string> seeds = {"1234,5", "-1,5E3", "5.3.2026", "5.3.2026 13:45:10", "13:45",
                                    "True", "40000", "0", "", "9999999999999999999999", "31.12.9999"};
  TFieldType types[] = {ftString, ftSmallint, ftInteger, ftWord, ftLargeint, ftFloat,
                        ftCurrency, ftBoolean, ftDate, ftTime, ftDateTime, ftBytes, ftMemo};
  std::vector<std::unique_ptr<OneField>> fields;
  for (TFieldType t : types) fields.push_back(std::make_unique<OneField>(t, t == ftString || t == ftBytes ? 8 : 0));
  RandomInputOptions options;
  options.iterations = 2000;
  options.maxSize = 64;
  RunRandomInputs(
      seeds,
      [&](const std::string& text) {
        for (auto& one : fields) {
          try {
            one->field->SetText(text);
            (void)one->field->DisplayText();
            (void)one->field->Text();
          } catch (EConvertError&) {
          } catch (EDatabaseError&) {
          }
        }
      },
      options);
}

}  // namespace
