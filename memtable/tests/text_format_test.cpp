// The comma-separated text format: exact bytes, escapes and the 6-bit
// binary form, definitions that round-trip with their flags, header
// mapping, load limits, local format, and hostile files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/tests/memtable_test_support.h"
#include "memtable/text_format.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/system.h"

namespace {

using mttest::ExpectError;
using mttest::Names;
using Strings = std::vector<std::string>;

std::string Save(TmtMemTable& t, TmtMemTableSaveFlags options) {
  TStringStream s;
  t.WriteCsvStream(s, options);
  return s.DataString();
}

void Load(TmtMemTable& t, const std::string& text) {
  TStringStream s(text);
  t.ReadCsvStream(s);
}

void TwoColumns(TmtMemTable& t) {
  t.FieldDefs().Add("A", ftString, 10);
  t.FieldDefs().Add("B", ftInteger);
  t.Open();
}

void AddAB(TmtMemTable& t, const char* a, int b) {
  t.Append();
  t.FieldByName("A")->SetAsString(a);
  t.FieldByName("B")->SetAsInteger(b);
  t.Post();
}

TEST(MemTableTextFormat, ExactBytesEscapesAndSixBitValues) {
  TmtMemTable t;
  TwoColumns(t);
  AddAB(t, "x", 5);
  EXPECT_EQ(Save(t, t.CommaTextOptions()), "\"A\",\"B\",\r\n\"x\",\"5\",\r\n");

  EXPECT_EQ(EscapeCsvText("a\r\nb%"), "a%c%nb%%");
  EXPECT_EQ(EscapeCsvText(std::string("z\0", 2)), "z%0");
  EXPECT_EQ(UnescapeCsvText("a%c%nb%%%x%"), "a\r\nb%%x%");  // unknown pairs stay as they are
  std::string zeroFF("\x00\xFF", 2);
  EXPECT_EQ(Encode6(zeroFF).size(), 3u);
  EXPECT_EQ(Decode6(Encode6(zeroFF)), zeroFF);
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  for (std::size_t n = 0; n < 10; ++n) EXPECT_EQ(Decode6(Encode6(all.substr(n * 7, n))), all.substr(n * 7, n));
  for (char c : Encode6(all)) EXPECT_TRUE(c >= 32 && c <= 95);

  // A line break and a percent sign survive the trip.
  t.Edit();
  t.FieldByName("A")->SetAsString("1\r\n2%");
  t.Post();
  std::string text = Save(t, {mtfSaveData});
  EXPECT_NE(text.find("\"1%c%n2%%\""), std::string::npos);
  TmtMemTable u;
  TwoColumns(u);
  Load(u, text);
  u.First();
  EXPECT_EQ(u.FieldByName("A")->AsString(), "1\r\n2%");
}

TEST(MemTableTextFormat, DefinitionsRoundTripWithTheirFlags) {
  TmtMemTable t;
  t.FieldDefs().Add("NAME", ftString, 12);
  t.FieldDefs().Add("AMOUNT", ftFloat);
  t.FieldDefs().Add("DAY", ftDate);
  t.FieldDefs().Add("OK", ftBoolean);
  t.FieldDefs().Add("RAW", ftBytes, 4);
  t.FieldDefs().Add("NOTE", ftString, 20);
  t.IndexDefs().Add("BYNAME", "NAME", {ixCaseInsensitive})->SetDisplayName("Name,DESC x");
  t.IndexDefs().Add("BYAMT", "AMOUNT", {ixDescending, ixUnique});
  t.Open();
  // Labels, masks and defaults that hold the flag texts must not set flags.
  t.FieldByName("NAME")->SetDisplayLabel(Cz("Částka,ROK"));
  t.FieldByName("NAME")->SetRequired(true);
  t.FieldByName("AMOUNT")->SetDisplayLabel("x,REQ,INV");
  t.FieldByName("NOTE")->SetDefaultExpression("ROUND(1,RO)");
  t.FieldByName("DAY")->SetEditMask("!99,DESC;1;_");
  const int rows = 3;
  for (int i = 0; i < rows; ++i) {
    t.Append();
    t.FieldByName("NAME")->SetAsString(Cz(i == 0 ? "žluť \"q\"" : "b"));
    t.FieldByName("AMOUNT")->SetAsFloat(1234.5 + i);
    t.FieldByName("DAY")->SetAsDateTime(EncodeDate(2024, 2, 29));
    t.FieldByName("OK")->SetAsBoolean(i % 2 == 0);
    t.FieldByName("RAW")->SetAsString(std::string("\x00\x81\xFF\x98", 4));
    t.Post();
  }
  t.FieldByName("NAME")->SetReadOnly(true);
  const std::string text = Save(t, {mtfSaveData, mtfSaveDef, mtfSaveIndexDef, mtfSaveFieldKind, mtfSaveNonVisible});

  TmtMemTable u;
  Load(u, text);
  ASSERT_TRUE(u.Active());
  ASSERT_EQ(u.FieldCount(), 6);
  TField* name = u.FieldByName("NAME");
  EXPECT_EQ(name->DisplayLabel(), Cz("Částka,ROK"));
  EXPECT_TRUE(name->Required());
  EXPECT_TRUE(name->ReadOnly());
  TField* amount = u.FieldByName("AMOUNT");
  EXPECT_FALSE(amount->Required());
  EXPECT_FALSE(amount->ReadOnly());
  EXPECT_TRUE(amount->Visible());
  EXPECT_EQ(u.FieldByName("NOTE")->DefaultExpression(), "ROUND(1,RO)");
  EXPECT_FALSE(u.FieldByName("NOTE")->ReadOnly());
  EXPECT_EQ(u.FieldByName("DAY")->EditMask(), "!99,DESC;1;_");
  ASSERT_EQ(u.IndexDefs().Count(), 2);
  EXPECT_EQ(u.IndexDefs().Items(0)->Options(), TIndexOptions({ixCaseInsensitive}));
  EXPECT_EQ(u.IndexDefs().Items(0)->DisplayName(), "Name,DESC x");
  EXPECT_EQ(u.IndexDefs().Items(1)->Options(), TIndexOptions({ixDescending, ixUnique}));
  EXPECT_EQ(u.RecordCount(), rows);
  u.First();
  EXPECT_EQ(u.FieldByName("NAME")->AsString(), Cz("žluť \"q\""));
  EXPECT_DOUBLE_EQ(u.FieldByName("AMOUNT")->AsFloat(), 1234.5);
  EXPECT_EQ(u.FieldByName("DAY")->AsDateTime(), EncodeDate(2024, 2, 29));
  EXPECT_TRUE(u.FieldByName("OK")->AsBoolean());
  EXPECT_EQ(u.FieldByName("RAW")->AsString(), std::string("\x00\x81\xFF\x98", 4));
  // And the reloaded table saves the same text.
  EXPECT_EQ(Save(u, {mtfSaveData, mtfSaveDef, mtfSaveIndexDef, mtfSaveFieldKind, mtfSaveNonVisible}), text);
}

TEST(MemTableTextFormat, HeaderMappingLimitsDelimitersAndLocalFormat) {
  TmtMemTable t;
  TwoColumns(t);
  Load(t, "\"B\",\"X\",\"A\"\r\n\"1\",\"skip\",\"one\"\r\n\"2\",\"skip\",\"two\",\"extra\"\r\n");
  EXPECT_EQ(Names(t, "A"), (Strings{"one", "two"}));
  EXPECT_EQ(t.FieldByName("B")->AsInteger(), 2);
  // Empty header names map to the column's own field, beyond the fields to nothing.
  t.ClearAllRecords();
  Load(t, "\"A\",,,\r\n\"p\",\"7\",\"8\",\"9\"\r\n");
  t.First();
  EXPECT_EQ(t.FieldByName("B")->AsInteger(), 7);

  t.ClearAllRecords();
  t.SetLoadLimit(2);
  Load(t, "\"A\",\"B\"\r\n\"a\",\"1\"\r\n\"b\",\"2\"\r\n\"c\",\"3\"\r\n\"d\",\"4\"\r\n\"e\",\"5\"\r\n");
  EXPECT_EQ(t.RecordCount(), 2);
  EXPECT_FALSE(t.LoadedCompletely());
  t.SetLoadLimit(-1);

  // No quoting, other delimiters, no header.
  TmtMemTable u;
  TwoColumns(u);
  u.SetCSVQuote(0);
  u.SetCSVFieldDelimiter(';');
  u.SetCSVRecordDelimiter(0);
  AddAB(u, "a b", 1);
  AddAB(u, "c", 2);
  std::string text = Save(u, {mtfSaveData});
  EXPECT_EQ(text, "A;B\r\na b;1\r\nc;2\r\n");
  u.ClearAllRecords();
  Load(u, text);
  EXPECT_EQ(Names(u, "A"), (Strings{"a b", "c"}));

  TmtMemTable f;
  f.FieldDefs().Add("X", ftFloat);
  f.Open();
  f.Append();
  f.FieldByName("X")->SetAsFloat(1234.5);
  f.Post();
  EXPECT_NE(Save(f, {mtfSaveData, mtfSaveInLocalFormat}).find("\"1234,5\""), std::string::npos);
  EXPECT_NE(Save(f, {mtfSaveData}).find("\"1234.5\""), std::string::npos);
}

TEST(MemTableTextFormat, FailuresRestoreTheSettingsAndKeepLoadedRecords) {
  const TFormatSettings czech = FormatSettings();
  auto settingsIntact = [&] {
    EXPECT_EQ(FormatSettings().DecimalSeparator, czech.DecimalSeparator);
    EXPECT_EQ(FormatSettings().ShortDateFormat, czech.ShortDateFormat);
  };
  TmtMemTable t;
  TwoColumns(t);
  ExpectError<EMemTableError>([&] { Save(t, {mtfSaveData, mtfSaveDeltas}); },
                              "Saving deltas is supported only in binary format.");
  settingsIntact();
  EXPECT_THROW(Load(t, "\"A\",\"B\"\r\n\"a\",\"1\"\r\n\"b\",\"notanumber\"\r\n\"c\",\"3\"\r\n"),
               EConvertError);
  settingsIntact();
  EXPECT_EQ(t.RecordCount(), 1);
  EXPECT_EQ(t.State(), dsBrowse);
  t.OnSaveField = [](TDataSet*, int, TField*) { throw EMemTableError("stop"); };
  EXPECT_THROW(Save(t, {mtfSaveData}), EMemTableError);
  settingsIntact();
  t.OnSaveField = nullptr;
  t.OnLoadRecord = [](TDataSet*, bool&) { throw EMemTableError("stop"); };
  EXPECT_THROW(Load(t, "\"A\",\"B\"\r\n\"z\",\"9\"\r\n"), EMemTableError);
  settingsIntact();
  EXPECT_EQ(t.State(), dsBrowse);
}

TEST(MemTableTextFormatMalformed, HostileFilesGiveClearErrors) {
  struct Row {
    std::string text;
    const char* message;  // null: loads without error
  } rows[] = {
      {"\"@@TABLEDEF START@@\"\r\n\"A=Nonsense,1,\"\"\"\",\"\"\"\",5\"\r\n",
       "Unknown field type (Nonsense) in CSV file. (A=Nonsense,1,\"\",\"\",5)"},
      {"\"@@TABLEDEF START@@\"\r\n\"A=String,-1,\"\"\"\",\"\"\"\",5\"\r\n",
       "Invalid field size (A=String,-1,\"\",\"\",5)"},
      {"\"@@TABLEDEF START@@\"\r\n\"A=String,100000,\"\"\"\",\"\"\"\",5\"\r\n",
       "Invalid field size (A=String,100000,\"\",\"\",5)"},
      {"\"A\",\"B\"\r\n\"unterminated,1\r\n", nullptr},
      {"\"A\",\"B\"\r\n\"" + std::string(1 << 20, 'y') + "\",\"1\"\r\n", nullptr},
      {",,,,,,,,\r\n\"a\",\"1\",\"2\",\"3\",\"4\",\"5\",\"6\",\"7\",\"8\",\"9\"\r\n", nullptr},
  };
  for (const Row& r : rows) {
    TmtMemTable t;
    TwoColumns(t);
    if (r.message) {
      ExpectError<EMemTableError>([&] { Load(t, r.text); }, r.message);
    } else {
      EXPECT_NO_THROW(Load(t, r.text));
      EXPECT_EQ(t.RecordCount(), 1);
    }
  }
}

}  // namespace
