// The breakdown report's totals table: per-type sums and counts of journal
// rows, kept in an in-memory table keyed by type, with lookup fields into
// the operation types of a dBase table.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <string>

#include "dbase/dataset/xbase_dataset.h"
#include "dbase/table/dbf_create.h"
#include "memtable/mem_table.h"
#include "platform/rtl/system.h"
#include "testing/temp_dir.h"

namespace {

struct OperationType {
  const char* code;
  const char* text;
  int coefficient;
};
const OperationType kTypes[] = {
    {"P01", "Příjem hotovosti", 1}, {"P02", "Vklad na účet", 1}, {"V01", "Výdej - nákup", -1},
    {"V02", "Mzdy", -1}};

template <class T>
T* AddField(TmtMemTable& table, const char* name, TFieldKind kind = fkData, int size = 0) {
  auto* field = new T(&table);
  field->SetFieldName(name);
  if (size) field->SetSize(size);
  field->SetFieldKind(kind);
  field->SetDataSet(&table);
  return field;
}

struct Totals {
  double sum = 0;
  int count = 0;
};

TEST(BreakdownTable, SumsJournalRowsByTypeWithLookupNames) {
  TempDir dir;
  CreateDbfTable(dir.File("Fin0000.dbf"),
                 {{"FIN_TYP", 'C', 3, 0}, {"FIN_NAC", 'C', 25, 0}, {"FIN_KOE", 'N', 2, 0}});
  TXbaseDataSet types(nullptr);
  types.SetDatabaseName(dir.Path());
  types.SetTableName("Fin0000");
  types.Open();
  for (const OperationType& t : kTypes) {
    types.Append();
    types.FieldByName("FIN_TYP")->SetAsString(t.code);
    types.FieldByName("FIN_NAC")->SetAsString(Cz(t.text));
    types.FieldByName("FIN_KOE")->SetAsInteger(t.coefficient);
    types.Post();
  }

  // SesTypu as the report module's form defines it.
  TmtMemTable ses;
  ses.FieldDefs().Add("SES_TYP", ftString, 3);
  ses.FieldDefs().Add("SES_SUM", ftFloat);
  ses.IndexDefs().Add("TYP", "SES_TYP", {ixPrimary, ixUnique});
  ses.SetIndexName("TYP");
  AddField<TStringField>(ses, "SES_TYP", fkData, 3);
  AddField<TFloatField>(ses, "SES_SUM");
  for (auto [name, result] : {std::pair{"SES_NAC", "FIN_NAC"}, std::pair{"SES_JPR", "FIN_KOE"}}) {
    TField* lookup = std::string(name) == "SES_NAC"
                         ? static_cast<TField*>(AddField<TStringField>(ses, name, fkLookup, 25))
                         : AddField<TIntegerField>(ses, name, fkLookup);
    lookup->SetLookupDataSet(&types);
    lookup->SetKeyFields("SES_TYP");
    lookup->SetLookupKeyFields("FIN_TYP");
    lookup->SetLookupResultField(result);
  }
  AddField<TIntegerField>(ses, "SES_POC");
  ses.Open();
  EXPECT_EQ(ses.FieldDefs().Count(), 3);  // rebuilt from the data fields

  std::mt19937 rng(4);
  const char* codes[] = {"P01", "P02", "V01", "V02", "X99"};  // X99 is not in Fin0000
  for (int run = 0; run < 2; ++run) {
    ses.ClearAllRecords();
    ses.SetIndexName("TYP");
    std::map<std::string, Totals> expected;
    for (int row = 0; row < 300; ++row) {
      std::string typ = codes[rng() % 5];
      double amount = static_cast<double>(static_cast<int>(rng() % 200000) - 100000) / 100.0;
      expected[typ].sum += amount;
      expected[typ].count += 1;
      if (ses.SeekKeyValues({Variant(typ)})) {
        ses.Edit();
        ses.FieldByName("SES_SUM")->SetAsFloat(ses.FieldByName("SES_SUM")->AsFloat() + amount);
        ses.FieldByName("SES_POC")->SetAsInteger(ses.FieldByName("SES_POC")->AsInteger() + 1);
      } else {
        ses.Append();
        ses.FieldByName("SES_TYP")->SetAsString(typ);
        ses.FieldByName("SES_SUM")->SetAsFloat(amount);
        ses.FieldByName("SES_POC")->SetAsInteger(1);
      }
      ses.Post();
    }
    ASSERT_EQ(ses.RecordCount(), static_cast<int>(expected.size()));
    auto it = expected.begin();
    for (ses.First(); !ses.Eof(); ses.Next(), ++it) {
      ASSERT_NE(it, expected.end());
      std::string typ = ses.FieldByName("SES_TYP")->AsString();
      EXPECT_EQ(typ, it->first);
      EXPECT_NEAR(ses.FieldByName("SES_SUM")->AsFloat(), it->second.sum, 1e-6) << typ;
      EXPECT_EQ(ses.FieldByName("SES_POC")->AsInteger(), it->second.count) << typ;
      const OperationType* known = nullptr;
      for (const OperationType& t : kTypes)
        if (typ == t.code) known = &t;
      if (known) {
        EXPECT_EQ(ses.FieldByName("SES_NAC")->AsString(), Cz(known->text)) << typ;
        EXPECT_EQ(ses.FieldByName("SES_JPR")->AsInteger(), known->coefficient) << typ;
      } else {
        EXPECT_TRUE(ses.FieldByName("SES_NAC")->IsNull()) << typ;
        EXPECT_TRUE(ses.FieldByName("SES_JPR")->IsNull()) << typ;
      }
    }
    EXPECT_EQ(it, expected.end());
  }
  ses.Close();
  types.Close();
}

}  // namespace
