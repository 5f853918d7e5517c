// Packed decimals: round trips through currency, double and text, the
// packed layout itself, and values that cannot be converted.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/db/fields.h"
#include "platform/db/testing/vector_dataset.h"

namespace {

TEST(Bcd, ConvertsBetweenCurrencyDoubleAndText) {
  struct Case {
    const char* text;  // the text the value reads as
    int64_t scaled;    // its currency count of 1/10000
  } cases[] = {
      {"0.0000", 0},          {"1.0000", 10000},        {"-1.0000", -10000},
      {"12.3456", 123456},    {"-0.0001", -1},          {"922337203685477.5807", INT64_MAX},
      {"-922337203685477.5808", INT64_MIN},
  };
  for (const Case& c : cases) {
    TBcd bcd = CurrencyToBcd(Currency{c.scaled});
    EXPECT_EQ(BcdToStr(bcd), c.text);
    Currency back;
    ASSERT_TRUE(TryBcdToCurrency(bcd, back)) << c.text;
    EXPECT_EQ(back.scaled, c.scaled) << c.text;
    TBcd parsed;
    ASSERT_TRUE(TryStrToBcd(c.text, parsed)) << c.text;
    ASSERT_TRUE(TryBcdToCurrency(parsed, back)) << c.text;
    EXPECT_EQ(back.scaled, c.scaled) << c.text;
  }
  // The packed layout: digits two a byte from the most significant, sign in
  // bit 7 and the scale in the low bits of the second byte.
  TBcd bcd = CurrencyToBcd(Currency{-123456});
  EXPECT_EQ(bcd.Precision, 6);
  EXPECT_EQ(bcd.SignSpecialPlaces, 0x80 | 4);
  EXPECT_EQ(bcd.Fraction[0], 0x12);
  EXPECT_EQ(bcd.Fraction[1], 0x34);
  EXPECT_EQ(bcd.Fraction[2], 0x56);

  struct DoubleCase {
    double value;
    int decimals;
    const char* text;
  } doubles[] = {{-2.5, 2, "-2.50"}, {1234.56789, 4, "1234.5679"}, {0.125, 2, "0.13"},
                 {1e14, 0, "100000000000000"}};
  for (const DoubleCase& c : doubles) {
    TBcd d;
    ASSERT_TRUE(TryDoubleToBcd(c.value, c.decimals, d));
    EXPECT_EQ(BcdToStr(d), c.text);
    double back = 0;
    ASSERT_TRUE(TryBcdToDouble(d, back));
    EXPECT_DOUBLE_EQ(back, std::stod(c.text));
  }
  // More decimals than currency keeps round half away from zero.
  TBcd fine;
  ASSERT_TRUE(TryStrToBcd("-1.00005", fine));
  Currency rounded;
  ASSERT_TRUE(TryBcdToCurrency(fine, rounded));
  EXPECT_EQ(rounded.scaled, -10001);
}

TEST(Bcd, RefusesMalformedAndOutOfRangeValues) {
  TBcd noDigits;  // precision 0
  Currency c;
  double d;
  EXPECT_FALSE(TryBcdToCurrency(noDigits, c));
  EXPECT_FALSE(TryBcdToDouble(noDigits, d));
  EXPECT_EQ(BcdToStr(noDigits), "");
  TBcd badNibble = CurrencyToBcd(Currency{10000});
  badNibble.Fraction[0] = 0xA0;
  EXPECT_FALSE(TryBcdToCurrency(badNibble, c));
  TBcd badScale = CurrencyToBcd(Currency{10000});
  badScale.SignSpecialPlaces = 40;  // more decimals than digits
  EXPECT_FALSE(TryBcdToCurrency(badScale, c));
  TBcd huge;
  ASSERT_TRUE(TryStrToBcd("922337203685477.5808", huge));  // one above the range
  EXPECT_FALSE(TryBcdToCurrency(huge, c));
  for (std::string text : {std::string(), std::string("-"), std::string("1.2.3"),
                           std::string("1e5"), std::string("12a"), std::string("+."),
                           std::string(65, '9')}) {
    TBcd out;
    EXPECT_FALSE(TryStrToBcd(text, out)) << text;
  }
  TBcd out;
  EXPECT_FALSE(TryDoubleToBcd(std::numeric_limits<double>::quiet_NaN(), 2, out));
  EXPECT_FALSE(TryDoubleToBcd(INFINITY, 2, out));
}

}  // namespace

namespace {

// ADT and array columns: their parts are created with them, found by name,
// kept out of the top-level list, and numbered in the flattened walk.
TEST(ObjectFields, PartsAreCreatedBoundAndNumberedInWalkOrder) {
  VectorDataSet ds;
  ds.FieldDefs().Add("A", ftInteger);
  TFieldDef* point = ds.FieldDefs().Add("P", ftADT);
  point->ChildDefs().Add("X", ftString, 5);
  point->ChildDefs().Add("Y", ftInteger);
  TFieldDef* row = ds.FieldDefs().Add("R", ftArray, 3);
  row->ChildDefs().Add("E", ftSmallint);
  ds.FieldDefs().Add("Z", ftBCD, 2)->SetPrecision(10);
  ds.Open();
  EXPECT_EQ(ds.FieldCount(), 4);  // grids see the top-level fields only
  struct Case {
    const char* name;
    int fieldNo;
    const char* className;
    const char* parent;
  } cases[] = {{"A", 1, "TIntegerField", ""},    {"P", 2, "TADTField", ""},
               {"X", 3, "TStringField", "P"},    {"Y", 4, "TIntegerField", "P"},
               {"R", 5, "TArrayField", ""},      {"R[0]", 6, "TSmallintField", "R"},
               {"R[1]", 7, "TSmallintField", "R"}, {"R[2]", 8, "TSmallintField", "R"},
               {"Z", 9, "TBCDField", ""}};
  for (const Case& c : cases) {
    TField* f = ds.FieldByName(c.name);
    EXPECT_EQ(f->FieldNo(), c.fieldNo) << c.name;
    EXPECT_EQ(f->ClassName(), c.className) << c.name;
    EXPECT_EQ(f->ParentField() ? f->ParentField()->FieldName() : AnsiString(), c.parent) << c.name;
    EXPECT_EQ(f->DataSet(), &ds) << c.name;
  }
  auto* array = dynamic_cast<TArrayField*>(ds.FieldByName("R"));
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array->FieldCount(), 3);
  auto* bcd = dynamic_cast<TBCDField*>(ds.FieldByName("Z"));
  ASSERT_NE(bcd, nullptr);
  EXPECT_EQ(bcd->Precision(), 10);
  EXPECT_EQ(bcd->Size(), 2);
  // A copied definition carries its parts.
  TFieldDefs copy(nullptr);
  copy.AddFieldDef()->Assign(point);
  ASSERT_TRUE(copy.Items(0)->HasChildDefs());
  EXPECT_EQ(copy.Items(0)->ChildDefs().Items(1)->Name(), "Y");
  ds.Close();
  EXPECT_EQ(ds.FieldCount(), 0);  // default fields went with their parts
}

}  // namespace
