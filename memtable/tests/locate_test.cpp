// Locate and Lookup on the index path and the scan path, several key
// fields, Czech case-insensitive keys, null keys and the refusals.
#include <gtest/gtest.h>

#include <string>

#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/tests/memtable_test_support.h"
#include "platform/rtl/system.h"

namespace {

using mttest::ExpectError;

class LocateFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    t.FieldDefs().Add("NAME", ftString, 10);
    t.FieldDefs().Add("AMOUNT", ftFloat);
    t.FieldDefs().Add("TYP", ftString, 3);
    t.IndexDefs().Add("BYNAME", "NAME", {});
    t.Open();
    struct Row {
      const char* name;
      double amount;
      const char* typ;
    } rows[] = {{"XYZ", 5, "P"}, {"ABC", 10, "P"}, {"ABD", 10, "V"}, {"Čáp", 7, "V"}, {nullptr, 3, "P"}};
    for (const Row& r : rows) {
      t.Append();
      if (r.name) t.FieldByName("NAME")->SetAsString(Cz(r.name));
      t.FieldByName("AMOUNT")->SetAsFloat(r.amount);
      t.FieldByName("TYP")->SetAsString(r.typ);
      t.Post();
    }
    t.SetIndexName("BYNAME");
  }
  std::string Name() { return t.FieldByName("NAME")->AsString(); }
  TmtMemTable t;
};

TEST_F(LocateFixture, FindsByIndexAndByScan) {
  struct Row {
    const char* fields;
    Variant values;
    TLocateOptions options;
    bool found;
    std::string name;
  } rows[] = {
      {"NAME", Variant("AB"), {loPartialKey}, true, "ABC"},  // index path
      {"NAME", Variant("AB"), {}, false, ""},
      {"NAME", Variant("abd"), {loCaseInsensitive}, true, "ABD"},
      {"NAME", Variant(Cz("ČÁP")), {loCaseInsensitive}, true, Cz("Čáp")},
      {"AMOUNT", Variant(7.0), {}, true, Cz("Čáp")},  // scan path
      {"AMOUNT;TYP", Variant::Array({Variant(10.0), Variant("V")}), {}, true, "ABD"},
      {"TYP;AMOUNT", Variant::Array({Variant("P"), Variant(10.0)}), {}, true, "ABC"},
      {"NAME", Variant::Null(), {}, true, ""},  // a null key finds the null value
      {"AMOUNT", Variant(99.0), {}, false, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.fields);
    t.First();
    EXPECT_EQ(t.Locate(r.fields, r.values, r.options), r.found);
    EXPECT_EQ(t.Found(), r.found);
    if (r.found) {
      EXPECT_EQ(Name(), r.name);
      EXPECT_EQ(t.FieldByName("NAME")->IsNull(), r.name.empty());
    }
  }
  // Only visible records are found.
  t.SetFilter("TYP = 'P'");
  t.SetFiltered(true);
  EXPECT_FALSE(t.Locate("NAME", Variant("ABD"), {}));
}

TEST_F(LocateFixture, LookupKeepsThePositionAndRefusesBadKeys) {
  t.Last();
  const std::string before = Name();
  EXPECT_EQ(t.Lookup("NAME", Variant("ABD"), "AMOUNT").AsDouble(), 10.0);
  Variant both = t.Lookup("AMOUNT", Variant(5.0), "NAME;TYP");
  ASSERT_TRUE(both.IsArray());
  EXPECT_EQ(both.Element(0).AsString(), "XYZ");
  EXPECT_EQ(both.Element(1).AsString(), "P");
  EXPECT_EQ(Name(), before);
  EXPECT_TRUE(t.Lookup("NAME", Variant("missing"), "AMOUNT").IsNull());
  EXPECT_FALSE(t.Found());

  Variant nested = Variant::Array({Variant::Array({Variant(1)})});
  ExpectError<EMemTableError>([&] { t.Locate("NAME", nested, {}); },
                              "Values variant array has invalid dimension count");
  ExpectError<EMemTableError>([&] { t.Locate("NAME;TYP", Variant("x"), {}); }, "More fields than values");
  ExpectError<EMemTableError>([&] { t.Locate("NAME;TYP", Variant::Array({Variant("x")}), {}); },
                              "More fields than values");
  ExpectError<EMemTableError>([&] { t.Locate("", Variant("x"), {}); }, "There must be at least one field");
  EXPECT_EQ(Name(), before);
}

}  // namespace
