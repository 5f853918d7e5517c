// Typed field access: how each type is stored and read back, the checks by
// name, the machine formats of version 0x30 and their limits, the blank
// record, probe records and deletion marks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "dbase/table/dbf_fields.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/base/charset.h"
#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/system.h"
#include "testing/temp_dir.h"
#include "testing/error_message.h"

using namespace table_test;

namespace {

int32_t Jdn(int y, int m, int d) { return DbfDate().TextToJulian(Format("%.4d%.2d%.2d", y, m, d)); }

// A one-record table with the given fields, positioned on its record.
struct OneRecord {
  OneRecord(const std::vector<TxbFieldSpec>& fields, uint8_t version = 0x03, const char* name = "t.dbf")
      : path(MakeTable(dir.Path(), name, fields, version)), table(path, true, true, "") {
    table.BlankRecord();
    table.AppendRecord();
    table.GoRecord(1);
  }
  TempDir dir;
  std::string path;
  XBO_dBaseFld table;
};

}  // namespace

TEST(FieldAccess, NumbersAreStoredRightAlignedWithADotAndTheirDecimals) {
  struct Case {
    int length, decimals;
    double value;
    const char* raw;   // stored bytes, or null when refused
    const char* text;  // GetText
  } cases[] = {
      {12, 2, 12.5, "       12.50", "12.50"},
      {12, 2, -0.01, "       -0.01", "-0.01"},
      {12, 2, -0.004, "        0.00", "0.00"},
      {12, 2, 0.125, "        0.13", "0.13"},
      {12, 2, 1234567.891, "  1234567.89", "1234567.89"},
      {10, 0, 9999999999.0, "9999999999", "9999999999"},
      {10, 0, -999999999.0, "-999999999", "-999999999"},
      {18, 0, 123456789012345.0, "   123456789012345", "123456789012345"},
      {20, 0, 1e17, "  100000000000000000", "100000000000000000"},
      {8, 3, 3.14159, "   3.142", "3.142"},
      {6, 2, 12345.6, nullptr, "numeric value too big in field AMOUNT - 12345.60"},
      {10, 0, 10000000000.0, nullptr, "numeric value too big in field AMOUNT - 10000000000"},
      {10, 0, -1000000000.0, nullptr, "numeric value too big in field AMOUNT - -1000000000"},
  };
  for (const Case& c : cases) {
    OneRecord r({{"AMOUNT", 'N', c.length, c.decimals}});
    XBO_dBaseFld& t = r.table;
    if (!c.raw) {
      EXPECT_EQ(ErrorMessage([&] { t.PutNumber("AMOUNT", c.value); }), c.text) << c.value;
      continue;
    }
    t.PutNumber("AMOUNT", c.value);
    EXPECT_EQ(t.GetRaw("AMOUNT"), c.raw) << c.value;
    EXPECT_EQ(t.GetText("AMOUNT"), c.text) << c.value;
    t.WriteRecord(1);
    t.GoRecord(1);
    EXPECT_EQ(t.GetNumber("AMOUNT"), std::stod(c.text)) << c.value;
  }
}

TEST(FieldAccess, NumberTextsAreReadWithADotAndBadOnesNamed) {
  OneRecord r({{"AMOUNT", 'N', 10, 2}, {"RATE", 'F', 10, 4}}, 0x03, "nums.dbf");
  XBO_dBaseFld& t = r.table;
  struct Case {
    const char* raw;
    double value;
  } good[] = {{"      1.50", 1.5}, {"     -0.75", -0.75}, {"          ", 0}, {"    12    ", 12},
              {"1.5e3     ", 1500}};
  for (const Case& c : good) {
    std::memcpy(t.Record() + t.FieldOffset(1), c.raw, 10);
    EXPECT_EQ(t.GetNumber("AMOUNT"), c.value) << c.raw;
  }
  std::memcpy(t.Record() + t.FieldOffset(1), "   12x    ", 10);
  EXPECT_EQ(ErrorMessage([&] { t.GetNumber("AMOUNT"); }), "Invalid numeric value in field NUMS->AMOUNT (   12x)");
  EXPECT_EQ(ErrorMessage([&] { t.GetNumberN(1); }), "Invalid numeric value in field NUMS->AMOUNT (   12x)");
  t.PutRaw("RATE", "");
  EXPECT_EQ(t.GetText("RATE"), "0.0000");

  // Texts typed by users go through the locale (a comma in Czech); NaN and
  // infinities never reach the file.
  t.PutText("AMOUNT", "12,5");
  EXPECT_EQ(t.GetRaw("AMOUNT"), "     12.50");
  t.PutText("AMOUNT", "   ");
  EXPECT_EQ(t.GetRaw("AMOUNT"), "      0.00");
  EXPECT_EQ(ErrorMessage([&] { t.PutText("AMOUNT", "12.5"); }), "Invalid Number value for field AMOUNT");
  EXPECT_EQ(ErrorMessage([&] { t.PutNumber("AMOUNT", std::nan("")); }), "Invalid Number value for field AMOUNT");
  EXPECT_EQ(ErrorMessage([&] { t.PutNumber("AMOUNT", -HUGE_VAL); }), "Invalid Number value for field AMOUNT");
  EXPECT_EQ(t.GetRaw("AMOUNT"), "      0.00");
}

TEST(FieldAccess, DatesReadAsJulianDaysAndShowInTheLocaleForm) {
  OneRecord r({{"DAY", 'D', 0, 0}}, 0x03, "dates.dbf");
  XBO_dBaseFld& t = r.table;
  struct Case {
    const char* raw;
    int32_t day;       // -1: refused
    const char* text;  // GetText, or the message
  } cases[] = {
      {"20240105", Jdn(2024, 1, 5), "05.01.2024"},
      {"20240229", Jdn(2024, 2, 29), "29.02.2024"},
      {"20230229", 2415019, "30.12.1899"},
      {"        ", 0, "          "},
      {"00000000", 0, "          "},
      {"5.1.2024", Jdn(2024, 1, 5), "05.01.2024"},
      {"2024ab05", -1, "Invalid date in field DATES->DAY (2024ab05)"},
  };
  for (const Case& c : cases) {
    std::memcpy(t.Record() + t.FieldOffset(1), c.raw, 8);
    if (c.day < 0) {
      EXPECT_EQ(ErrorMessage([&] { t.GetDate("DAY"); }), c.text);
      continue;
    }
    EXPECT_EQ(t.GetDate("DAY"), c.day) << c.raw;
    EXPECT_EQ(t.GetText("DAY"), c.text) << c.raw;
  }
  t.PutDate("DAY", Jdn(1999, 12, 31));
  EXPECT_EQ(t.GetRaw("DAY"), "19991231");
  t.PutDate("DAY", 0);
  EXPECT_EQ(t.GetRaw("DAY"), "        ");
  t.PutText("DAY", "07.03.2025");
  EXPECT_EQ(t.GetRaw("DAY"), "20250307");
  EXPECT_EQ(ErrorMessage([&] { t.PutDate("DAY", -1); }), "Invalid Date value for field DAY");
  EXPECT_EQ(ErrorMessage([&] { t.PutText("DAY", "zitra"); }), "Invalid Date value for field DAY");
}

TEST(FieldAccess, LogicalsAcceptLettersAndNumbers) {
  OneRecord r({{"PAID", 'L', 0, 0}, {"NAME", 'C', 5, 0}});
  XBO_dBaseFld& t = r.table;
  struct Case {
    const char* text;
    const char* stored;  // null: refused
  } cases[] = {{"", "F"},  {"T", "T"}, {"y", "T"}, {"J", "T"},   {"N", "F"},  {"f", "F"},
               {"0", "F"}, {"1", "T"}, {"2,5", "T"}, {"ano", nullptr}, {"?", nullptr}};
  for (const Case& c : cases) {
    if (!c.stored) {
      EXPECT_EQ(ErrorMessage([&] { t.PutText("PAID", c.text); }), "Invalid Logical value for field PAID") << c.text;
      continue;
    }
    t.PutText("PAID", c.text);
    EXPECT_EQ(t.GetRaw("PAID"), c.stored) << c.text;
    EXPECT_EQ(t.GetText("PAID"), c.stored) << c.text;
  }
  for (char letter : std::string("TtYyJjFfNn ?")) {
    t.Record()[t.FieldOffset(1)] = letter;
    EXPECT_EQ(t.GetLogical("PAID"), std::string("TtYyJj").find(letter) != std::string::npos) << letter;
  }
  EXPECT_EQ(ErrorMessage([&] { t.PutLogicalN(2, true); }), "Invalid Logical value for field NAME");
}

TEST(FieldAccess, NamesAreFoundLikeDbaseAndTypesChecked) {
  OneRecord r(JournalFields(), 0x83, "names.dbf");
  XBO_dBaseFld& t = r.table;
  EXPECT_EQ(t.FieldNumber("amount  "), 2);
  EXPECT_EQ(t.FieldNumber("Day"), 3);
  EXPECT_EQ(t.FieldDescriptor("xyz"), nullptr);
  EXPECT_EQ(ErrorMessage([&] { t.GetText("XYZ"); }), "There is no field name " + t.FileName() + "->XYZ");

  const std::string wrong = "Field %s is the incorrect type";
  struct Case {
    const char* field;
    std::function<void()> access;
  } cases[] = {
      {"NAME", [&] { t.GetDate("NAME"); }},         {"NAME", [&] { t.PutDate("NAME", 1); }},
      {"DAY", [&] { t.GetNumber("DAY"); }},         {"PAID", [&] { t.GetNumber("PAID"); }},
      {"NAME", [&] { t.GetLogical("NAME"); }},      {"AMOUNT", [&] { t.PutLogical("AMOUNT", true); }},
      {"NAME", [&] { t.PutNumber("NAME", 1); }},    {"DAY", [&] { t.PutNumberN(3, 1); }},
      {"NAME", [&] { t.GetMemoText(1); }},          {"AMOUNT", [&] { t.PutMemo(2, "x", 1); }},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ErrorMessage(c.access), "Field " + std::string(c.field) + " is the incorrect type") << c.field;

  // Numbers outside the field list give empty values and change nothing.
  const std::string before(t.Record(), static_cast<std::size_t>(t.RecordLength()));
  EXPECT_EQ(t.GetTextN(0), "");
  EXPECT_EQ(t.GetNumberN(99), 0);
  EXPECT_EQ(t.GetDateN(-1), 0);
  EXPECT_EQ(t.FieldName(0), "");
  EXPECT_EQ(t.FieldType(99), '\0');
  t.PutTextN(99, "x");
  t.PutNumberN(0, 5);
  t.PutRawN(5, "x");
  EXPECT_EQ(std::string(t.Record(), static_cast<std::size_t>(t.RecordLength())), before);
}

TEST(FieldAccess, RawTextsAreCutAndAlignedByType) {
  OneRecord r({{"NAME", 'C', 5, 0}, {"CODE", 'N', 5, 0}, {"DAY", 'D', 0, 0}, {"OK", 'L', 0, 0}});
  XBO_dBaseFld& t = r.table;
  t.PutRaw("NAME", "ab");
  t.PutRaw("CODE", "12");
  t.PutRaw("DAY", "2024");
  t.PutRaw("OK", "TX");
  EXPECT_EQ(t.GetRaw("NAME"), "ab   ");
  EXPECT_EQ(t.GetRaw("CODE"), "   12");
  EXPECT_EQ(t.GetRaw("DAY"), "2024    ");
  EXPECT_EQ(t.GetRaw("OK"), "T");
  t.PutText("NAME", "abcdefgh");
  EXPECT_EQ(t.GetRaw("NAME"), "abcde");
  EXPECT_TRUE(t.FieldChanged(1));
  EXPECT_TRUE(t.RecordModified());
  t.GoRecord(1);
  EXPECT_FALSE(t.FieldChanged(1));
  EXPECT_FALSE(t.RecordModified());
}

TEST(FieldAccess, BinaryAndGeneralFieldsShowMarkers) {
  OneRecord r({{"PICT", 'B', 0, 0}, {"DOC", 'G', 0, 0}}, 0x83, "markers.dbf");
  XBO_dBaseFld& t = r.table;
  struct Case {
    const char* raw;
    const char* binary;
    const char* general;
  } cases[] = {{"         5", "--BINARY--", "-GENERAL--"},
               {"          ", "--binary--", "-general--"},
               {"         0", "--binary--", "-general--"}};
  for (const Case& c : cases) {
    t.PutRaw("PICT", c.raw);
    t.PutRaw("DOC", c.raw);
    EXPECT_EQ(t.GetText("PICT"), c.binary) << c.raw;
    EXPECT_EQ(t.GetText("DOC"), c.general) << c.raw;
  }
}

TEST(FieldAccess, VisualFoxProMachineFormatsRoundTripAndRefuseWhatDoesNotFit) {
  OneRecord r({{"I", 'I', 0, 0}, {"Y", 'Y', 0, 0}, {"T", 'T', 0, 0}, {"B", 'B', 0, 0}, {"M", 'M', 0, 0}},
              0x30, "vfp.dbf");
  XBO_dBaseFld& t = r.table;
  const double dayMs = 86400000.0;
  const double maxT = (2147483647.0 - 1721425.0) * dayMs;
  const double minT = (-2147483648.0 - 1721425.0) * dayMs;
  struct Case {
    const char* field;
    double value;
    bool fits;
    double readBack;
  } cases[] = {
      {"I", 2147483647.0, true, 2147483647.0},
      {"I", 2147483648.0, false, 0},
      {"I", -2147483648.0, true, -2147483648.0},
      {"I", -2147483649.0, false, 0},
      {"I", 2.5, true, 3},
      {"Y", 922337203685477.0, true, 922337203685477.0},
      {"Y", 922337203685478.0, false, 0},
      {"Y", -922337203685477.0, true, -922337203685477.0},
      {"Y", -922337203685478.0, false, 0},
      {"Y", 12.3456, true, 12.3456},
      {"T", maxT, true, maxT},
      {"T", maxT + dayMs, false, 0},
      {"T", minT, true, minT},
      {"T", minT - dayMs, false, 0},
      {"T", 0, true, 0},
      {"B", -3.25, true, -3.25},
      {"M", 4294967295.0, true, 4294967295.0},
      {"M", 4294967296.0, false, 0},
  };
  for (const Case& c : cases) {
    const int n = t.FieldNumber(c.field);
    if (!c.fits) {
      EXPECT_EQ(ErrorMessage([&] { t.PutNumberN(n, c.value); }).rfind("numeric value too big in field " + std::string(c.field) + " - ", 0), 0u)
          << c.field << " " << c.value;
      continue;
    }
    t.PutNumberN(n, c.value);
    EXPECT_EQ(t.GetNumberN(n), c.readBack) << c.field << " " << c.value;
  }
  // The layouts other programs read.
  t.PutNumber("I", -2);
  EXPECT_EQ(t.GetRaw("I"), std::string("\xFE\xFF\xFF\xFF", 4));
  t.PutNumber("T", (2460000.0 - 1721425.0) * dayMs + 12345);
  EXPECT_EQ(t.GetRaw("T"), Le32Bytes(2460000) + Le32Bytes(12345));
  t.PutNumber("T", 0);
  EXPECT_EQ(t.GetRaw("T"), std::string(8, '\0'));
  t.PutNumber("Y", 1.5);
  EXPECT_EQ(t.GetRaw("Y"), Le32Bytes(15000) + std::string(4, '\0'));
  for (const char* f : {"I", "M"}) {
    t.PutRaw(f, "    ");
    EXPECT_EQ(t.GetNumber(f), 0) << f;
  }
  EXPECT_EQ(ErrorMessage([&] { t.PutNumber("Y", std::nan("")); }), "Invalid Number value for field Y");
  EXPECT_EQ(ErrorMessage([&] { t.GetMemoText(4); }), "Field B is the incorrect type");
}

TEST(FieldAccess, BlankRecordHoldsFormattedZerosAndZeroBytes) {
  {
    OneRecord r({{"NAME", 'C', 3, 0}, {"AMOUNT", 'N', 8, 2}, {"COUNT", 'N', 4, 0}, {"DAY", 'D', 0, 0}});
    XBO_dBaseFld& t = r.table;
    t.PutText("NAME", "abc");
    t.BlankRecord();
    EXPECT_EQ(std::string(t.Record(), static_cast<std::size_t>(t.RecordLength())),
              std::string(" ") + "   " + "    0.00" + "   0" + "        ");
    for (int n = 0; n <= t.FieldCount(); ++n) EXPECT_TRUE(t.FieldChanged(n)) << n;
  }
  OneRecord r({{"NAME", 'C', 2, 0}, {"I", 'I', 0, 0}, {"T", 'T', 0, 0}, {"M", 'M', 0, 0}}, 0x30, "vfpblank.dbf");
  EXPECT_EQ(std::string(r.table.Record(), static_cast<std::size_t>(r.table.RecordLength())),
            std::string("   ") + std::string(16, '\0'));
}

TEST(FieldAccess, ProbeRecordsLeaveTheTableAsItWas) {
  OneRecord r(JournalFields(), 0x03, "probe.dbf");
  XBO_dBaseFld& t = r.table;
  t.PutText("NAME", "current");
  std::vector<bool> flags;
  for (int n = 0; n <= t.FieldCount(); ++n) flags.push_back(t.FieldChanged(n));
  const std::string current(t.Record(), static_cast<std::size_t>(t.RecordLength()));

  std::vector<char> probe(static_cast<std::size_t>(t.RecordLength()) + 1, 'x');
  t.SetTranslateOem(true);
  t.FillProbeRecord(probe.data(), "NAME; amount ;DAY", {Variant(Cz("Žluťoučký")), Variant(12.5), Variant("05.01.2024")});
  const std::string expectedName = AnsiToOem(Cz("Žluťoučký")) + std::string(11, ' ');
  EXPECT_EQ(std::string(probe.data() + 1, 20), expectedName);
  EXPECT_EQ(std::string(probe.data() + 21, 12), "       12.50");
  EXPECT_EQ(std::string(probe.data() + 33, 8), "20240105");
  EXPECT_EQ(probe[41], ' ');
  EXPECT_EQ(std::string(t.Record(), static_cast<std::size_t>(t.RecordLength())), current);
  for (int n = 0; n <= t.FieldCount(); ++n) EXPECT_EQ(t.FieldChanged(n), flags[static_cast<std::size_t>(n)]) << n;
  EXPECT_EQ(ErrorMessage([&] { t.FillProbeRecord(probe.data(), "NOPE", {Variant(1)}); }),
            "There is no field name " + t.FileName() + "->NOPE");
}

TEST(FieldAccess, DeleteAndRecallChangeOnlyTheFlagOfTheStoredRecord) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "del.dbf", JournalFields());
  XBO_dBaseFld a(path, true, true, "");
  XBO_dBaseFld b(path, true, true, "");
  a.BlankRecord();
  a.PutText("NAME", "first");
  a.AppendRecord();
  b.GoRecord(1);
  a.GoRecord(1);
  a.PutText("NAME", "unsaved edit");  // never written by the delete

  ASSERT_TRUE(b.LockCurrentRecord());
  EXPECT_FALSE(a.DeleteRecord());
  b.PutText("NAME", "posted by b");
  b.WriteRecord(1);
  b.ReleaseLock();

  EXPECT_TRUE(a.DeleteRecord());
  EXPECT_TRUE(a.IsDeleted());
  EXPECT_EQ(a.GetText("NAME"), "posted by b");
  EXPECT_EQ(a.LockCount(), 0);
  b.GoRecord(1);
  EXPECT_TRUE(b.IsDeleted());
  EXPECT_EQ(b.GetText("NAME"), "posted by b");
  EXPECT_TRUE(a.DeleteRecord());  // already deleted: nothing to write
  EXPECT_TRUE(a.RecallRecord());
  b.GoRecord(1);
  EXPECT_FALSE(b.IsDeleted());

  XBO_dBaseFld fresh(path, true, true, "");
  EXPECT_FALSE(fresh.DeleteRecord());  // no current record
}

// Short decimal texts are read without the general parser; whatever path a
// text takes, the value (down to the sign of a zero) and the refusal must
// be the general parser's.
TEST(FieldAccess, NumberTextsReadAsTheGeneralParserReadsThem) {
  OneRecord r({{"WIDE", 'N', 20, 4}}, 0x03, "wide.dbf");
  XBO_dBaseFld& t = r.table;
  auto check = [&](std::string text) {
    text.resize(20, ' ');
    std::memcpy(t.Record() + t.FieldOffset(1), text.data(), 20);
    std::size_t end = text.find_last_not_of(' ');
    const std::string trimmed = end == std::string::npos ? std::string() : text.substr(0, end + 1);
    double expected = 0;
    const bool valid = trimmed.empty() || TryStrToFloat(trimmed, expected, DotDecimalSettings());
    if (!valid) {
      EXPECT_THROW(t.GetNumberN(1), EXbaseError) << '"' << text << '"';
      return;
    }
    double got = 0;
    ASSERT_NO_THROW(got = t.GetNumberN(1)) << '"' << text << '"';
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << '"' << text << "\" " << got << " " << expected;
  };
  for (const char* text :
       {"0.1", "-0.00", "+0", "-0", "0.3", "   1234567.89", "-1234567.89", "999999999999999", "9999999999999999",
        "0.000000000000001", "123456789012.345", "1.", ".5", "-.5", ".", "-", "+", "1.2.3", "1 2", "--1",
        "+-1", "1e5", "1E-3", "12x", "000000000000000000.5", "0.1000000000000000", "4503599627370497",
        "9007199254740993"})
    check(text);
  std::mt19937 random(20261209);
  const char alphabet[] = " +-.0123456789999e";
  for (int i = 0; i < 20000; ++i) {
    std::string text(random() % 21, ' ');
    for (char& c : text) c = alphabet[random() % (sizeof alphabet - 1)];
    check(text);
  }
}
