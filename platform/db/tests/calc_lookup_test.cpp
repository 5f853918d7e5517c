// Calculated and lookup fields: the journal's receipt/expense pair computed
// on every fetch and at once while editing, lookups into another dataset,
// writing through a lookup field, and Locate/Lookup themselves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/db/testing/db_test_support.h"
#include "platform/rtl/system.h"

namespace {

using dbtest::LogLink;

// The journal with persistent fields as the data module declares them: the
// signed amount PLA_HOD split into receipts PLA_PRI and expenses PLA_VYD.
class CalcFields : public ::testing::Test {
 protected:
  void SetUp() override {
    journal = new VectorDataSet(&module);
    dbtest::DefineJournal(*journal);
    dbtest::FillJournal(*journal, 6);
    for (const char* name : {"PLA_DAT", "PLA_DO1", "PLA_TYP", "PLA_KOM", "PLA_HOD"}) {
      TField* f = CreateFieldOfType(journal->FieldDefs().Find(name)->DataType(), &module);
      f->SetFieldName(name);
      if (auto* s = dynamic_cast<TStringField*>(f)) s->SetSize(journal->FieldDefs().Find(name)->Size());
      f->SetDataSet(journal);
    }
    pri = AddCalc("PLA_PRI", Cz("Příjmy"));
    vyd = AddCalc("PLA_VYD", Cz("Výdeje"));
    journal->OnCalcFields = [this](TDataSet* d) {
      ++calculations;
      double amount = d->FieldByName("PLA_HOD")->AsFloat();
      d->FieldByName("PLA_PRI")->SetAsFloat(amount >= 0 ? amount : 0);
      d->FieldByName("PLA_VYD")->SetAsFloat(amount >= 0 ? 0 : -amount);
    };
  }

  TFloatField* AddCalc(const char* name, const AnsiString& label) {
    auto* f = new TFloatField(&module);
    f->SetFieldName(name);
    f->SetFieldKind(fkCalculated);
    f->SetDisplayLabel(label);
    f->SetDisplayFormat("#,##0.00");
    f->SetDataSet(journal);
    return f;
  }

  TComponent module{nullptr};
  VectorDataSet* journal = nullptr;
  TFloatField* pri = nullptr;
  TFloatField* vyd = nullptr;
  int calculations = 0;
};

TEST_F(CalcFields, ReceiptAndExpenseAreComputedOnEveryFetch) {
  journal->Open();
  EXPECT_EQ(journal->CalcFieldsSize(), 2 * (8 + 1));
  EXPECT_EQ(pri->Offset(), 0);
  EXPECT_EQ(vyd->Offset(), 9);
  EXPECT_EQ(pri->FieldNo(), -1);
  struct Row {
    int record;
    double pri, vyd;
  } rows[] = {{1, 10, 0}, {2, 0, 20}, {3, 30, 0}, {6, 0, 60}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.record);
    journal->First();
    journal->MoveBy(row.record - 1);
    EXPECT_EQ(pri->AsFloat(), row.pri);
    EXPECT_EQ(vyd->AsFloat(), row.vyd);
  }
  EXPECT_FALSE(pri->CanModify());
  EXPECT_THROW(pri->SetAsFloat(1), EDatabaseError);  // browsing

  // A zero amount counts as a receipt of nothing.
  journal->Edit();
  journal->FieldByName("PLA_HOD")->SetAsFloat(0);
  EXPECT_EQ(pri->AsFloat(), 0);
  EXPECT_EQ(vyd->AsFloat(), 0);
  EXPECT_FALSE(pri->IsNull());
  journal->Cancel();
}

TEST_F(CalcFields, AnAmountChangedInEditIsSplitAtOnceAndControlsHearIt) {
  TDataSource source(nullptr);
  source.SetDataSet(journal);
  LogLink link;
  link.SetDataSource(&source);
  journal->Open();
  journal->Edit();
  link.Take();
  journal->FieldByName("PLA_HOD")->SetAsFloat(-1234.5);
  EXPECT_EQ(pri->AsFloat(), 0);
  EXPECT_EQ(vyd->AsFloat(), 1234.5);
  EXPECT_EQ(vyd->DisplayText(), "1\xA0" "234,50");
  EXPECT_EQ(link.Take(),
            (std::vector<std::string>{"Record PLA_HOD", "Record PLA_PRI", "Record PLA_VYD"}));
  journal->Post();
  EXPECT_EQ(vyd->AsFloat(), 1234.5);
  link.SetDataSource(nullptr);
}

TEST_F(CalcFields, WithoutAutoCalcFieldsTheSplitWaitsForThePost) {
  journal->SetAutoCalcFields(false);
  journal->Open();
  journal->Edit();
  int before = calculations;
  journal->FieldByName("PLA_HOD")->SetAsFloat(-5);
  EXPECT_EQ(calculations, before);
  EXPECT_EQ(pri->AsFloat(), 10);
  EXPECT_EQ(vyd->AsFloat(), 0);
  journal->Post();
  EXPECT_EQ(pri->AsFloat(), 0);
  EXPECT_EQ(vyd->AsFloat(), 5);
}

TEST_F(CalcFields, ACalculationErrorReachesTheCaller) {
  journal->OnCalcFields = [](TDataSet*) { throw EDatabaseError("cannot compute"); };
  EXPECT_THROW(journal->Open(), EDatabaseError);
  EXPECT_FALSE(journal->Active());
  EXPECT_EQ(journal->FieldCount(), 7);  // persistent fields survive a failed open
}

// Operation types and a journal whose PLA_NAZ looks up the type's name.
class LookupFields : public ::testing::Test {
 protected:
  void SetUp() override {
    types = new VectorDataSet(&module);
    types->FieldDefs().Add("FIN_TYP", ftString, 3);
    types->FieldDefs().Add("FIN_NAC", ftString, 25);
    types->AddRow({Variant("P0"), Variant(Cz("Výběr z banky"))});
    types->AddRow({Variant("P1"), Variant(Cz("Tržba"))});
    types->AddRow({Variant("P2"), Variant(Cz("Nákup zboží"))});
    journal = new VectorDataSet(&module);
    dbtest::DefineJournal(*journal);
    dbtest::FillJournal(*journal, 4);
    for (int i = 0; i < journal->FieldDefs().Count(); ++i)
      journal->FieldDefs().Items(i)->CreateField(&module, journal);
    name = new TStringField(&module);
    name->SetFieldName("PLA_NAZ");
    name->SetSize(25);
    name->SetFieldKind(fkLookup);
    name->SetLookupDataSet(types);
    name->SetLookupKeyFields("FIN_TYP");
    name->SetLookupResultField("FIN_NAC");
    name->SetKeyFields("PLA_TYP");
    name->SetDataSet(journal);
  }
  AnsiString Type() { return journal->FieldByName("PLA_TYP")->AsString(); }

  TComponent module{nullptr};
  VectorDataSet* types = nullptr;
  VectorDataSet* journal = nullptr;
  TStringField* name = nullptr;
};

TEST_F(LookupFields, ALookupFieldReadsTheOtherDatasetOrNull) {
  types->Open();
  types->Last();
  journal->Open();
  EXPECT_EQ(Type(), "P1");
  EXPECT_EQ(name->AsString(), Cz("Tržba"));
  journal->Next();
  EXPECT_EQ(name->AsString(), Cz("Nákup zboží"));
  EXPECT_EQ(types->FieldByName("FIN_TYP")->AsString(), "P2");  // the other dataset stays put
  types->Last();

  // A key that is not there gives null.
  journal->Edit();
  journal->FieldByName("PLA_TYP")->SetAsString("X9");
  EXPECT_TRUE(name->IsNull());
  journal->Cancel();

  // A closed lookup dataset gives null.
  types->Close();
  journal->Refresh();
  EXPECT_TRUE(name->IsNull());
  EXPECT_EQ(name->DisplayText(), "");
}

TEST_F(LookupFields, WritingALookupFieldSetsTheKeyField) {
  types->Open();
  journal->Open();
  journal->Edit();
  name->SetAsString(Cz("Výběr z banky"));
  EXPECT_EQ(Type(), "P0");
  EXPECT_EQ(name->AsString(), Cz("Výběr z banky"));
  name->SetAsString("nothing like it");
  EXPECT_TRUE(journal->FieldByName("PLA_TYP")->IsNull());
  name->SetText(Cz("Tržba"));
  journal->Post();
  EXPECT_EQ(journal->Cell(0, 2).AsString(), "P1");
  EXPECT_TRUE(name->CanModify());
}

TEST_F(LookupFields, IncompleteLookupsAreRefusedAtOpenAndAGoneDatasetIsForgotten) {
  name->SetLookupResultField("");
  try {
    journal->Open();
    FAIL() << "opened with an incomplete lookup";
  } catch (EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Lookup information for field 'PLA_NAZ' is incomplete");
  }
  delete types;
  EXPECT_EQ(name->LookupDataSet(), nullptr);
}

TEST_F(LookupFields, LocateAndLookupFindByValuesWithOptions) {
  types->Open();
  types->First();
  struct Row {
    const char* name;
    const char* fields;
    Variant keys;
    TLocateOptions options;
    const char* found;  // FIN_TYP of the record found, null when none
  } rows[] = {
      {"exact text", "FIN_TYP", Variant("P2"), {}, "P2"},
      {"case matters by default", "FIN_NAC", Variant(Cz("tržba")), {}, nullptr},
      {"case-insensitive with Czech letters", "FIN_NAC", Variant(Cz("TRŽBA")), {loCaseInsensitive}, "P1"},
      {"partial key", "FIN_NAC", Variant(Cz("Nák")), {loPartialKey}, "P2"},
      {"partial and case-insensitive", "FIN_NAC", Variant(Cz("VÝBĚR")),
       {loPartialKey, loCaseInsensitive}, "P0"},
      {"a key longer than the value", "FIN_TYP", Variant("P2x"), {loPartialKey}, nullptr},
      {"two fields", "FIN_TYP;FIN_NAC", Variant::Array({Variant("P1"), Variant(Cz("Tržba"))}), {}, "P1"},
      {"two fields, one differs", "FIN_TYP;FIN_NAC", Variant::Array({Variant("P1"), Variant("x")}), {},
       nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    types->First();
    bool found = types->Locate(row.fields, row.keys, row.options);
    EXPECT_EQ(found, row.found != nullptr);
    EXPECT_EQ(types->FieldByName("FIN_TYP")->AsString(), row.found ? row.found : "P0");
  }
  types->Last();
  EXPECT_TRUE(types->Lookup("FIN_TYP", Variant("X"), "FIN_NAC").IsNull());
  EXPECT_FALSE(types->Found());
  Variant both = types->Lookup("FIN_TYP", Variant("P1"), "FIN_TYP;FIN_NAC");
  ASSERT_TRUE(both.IsArray());
  EXPECT_EQ(both.Element(1).AsString(), Cz("Tržba"));
  EXPECT_EQ(types->FieldByName("FIN_TYP")->AsString(), "P2");  // Lookup leaves the position
}

TEST_F(LookupFields, FieldValuesOfSeveralFieldsAreArrays) {
  journal->Open();
  Variant v = journal->FieldValues("PLA_DO1; PLA_TYP");
  ASSERT_TRUE(v.IsArray());
  EXPECT_EQ(v.ArrayCount(), 2);
  EXPECT_EQ(v.Element(0).AsString(), "1");
  EXPECT_EQ(v.Element(1).AsString(), "P1");
  journal->Edit();
  journal->SetFieldValues("PLA_DO1;PLA_TYP", Variant::Array({Variant("A"), Variant("B")}));
  EXPECT_EQ(journal->FieldValues("PLA_DO1").AsString(), "A");
  journal->SetFieldValues("PLA_DO1;PLA_TYP", Variant::Null());
  EXPECT_TRUE(journal->FieldByName("PLA_TYP")->IsNull());
  EXPECT_THROW(journal->SetFieldValues("PLA_DO1;PLA_TYP", Variant("one")), EDatabaseError);
  journal->Cancel();
}

TEST_F(LookupFields, FindFirstAndNextWalkTheRecordsTheFilterAccepts) {
  journal->Open();
  journal->OnFilterRecord = [](TDataSet* d, bool& accept) {
    accept = d->FieldByName("PLA_HOD")->AsFloat() < 0;
  };
  EXPECT_TRUE(journal->FindFirst());
  EXPECT_TRUE(journal->Found());
  EXPECT_EQ(journal->FieldByName("PLA_DO1")->AsString(), "2");
  EXPECT_TRUE(journal->FindNext());
  EXPECT_EQ(journal->FieldByName("PLA_DO1")->AsString(), "4");
  EXPECT_FALSE(journal->FindNext());
  EXPECT_FALSE(journal->Found());
  EXPECT_TRUE(journal->FindPrior());
  EXPECT_EQ(journal->FieldByName("PLA_DO1")->AsString(), "2");
  EXPECT_TRUE(journal->FindLast());
  EXPECT_EQ(journal->FieldByName("PLA_DO1")->AsString(), "4");
  EXPECT_EQ(journal->RecordCount(), 4);  // not filtered: all records count

  journal->SetFiltered(true);
  EXPECT_EQ(journal->RecordCount(), 2);
  EXPECT_FALSE(journal->IsSequenced());
  EXPECT_EQ(journal->FieldByName("PLA_DO1")->AsString(), "2");
  journal->Next();
  EXPECT_EQ(journal->FieldByName("PLA_DO1")->AsString(), "4");
  journal->Next();
  EXPECT_TRUE(journal->Eof());
}

}  // namespace
