// Filters and Locate of the table handler: filters that are not logical,
// the filter's own options, bits kept by the handler's own writes and
// rebuilt for other programs' appends; Locate through a tag or by a scan,
// on the leading fields of a compound key, case-insensitive Czech text in
// OEM tables, partial last fields, continuation after a record, and the
// tag path agreeing with the scan on random cases.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dbase/handler/dbf_object.h"
#include "dbase/testing/index_verifier.h"
#include "dbase/base/errors.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/system.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

using namespace handlertest;

namespace {

const std::vector<TxbFieldSpec> kFields = {{"NAME", 'C', 10, 0}, {"CITY", 'C', 8, 0}, {"NUM", 'N', 4, 0}};

// NOVAK/PRAHA(1) NOVAKOVA/BRNO(2) ADAM/PLZEN(3) NOVAK/BRNO(4) ADAM/PRAHA(5)
std::string People(const TempDir& dir) {
  return MakeIndexedTable(dir.Path(), "L.DBF", kFields,
                          {{{"NAME", "NOVAK"}, {"CITY", "PRAHA"}, {"NUM", "1"}},
                           {{"NAME", "NOVAKOVA"}, {"CITY", "BRNO"}, {"NUM", "2"}},
                           {{"NAME", "ADAM"}, {"CITY", "PLZEN"}, {"NUM", "3"}},
                           {{"NAME", "NOVAK"}, {"CITY", "BRNO"}, {"NUM", "4"}},
                           {{"NAME", "ADAM"}, {"CITY", "PRAHA"}, {"NUM", "5"}}},
                          {TagSpec("NC", "NAME+CITY"), TagSpec("UCITY", "UPPER(CITY)")});
}

// A handler that counts the records the accept hook was asked about: a
// seek asks about the record it lands on, a scan about every record.
struct Counting {
  Counting(const std::string& path, bool withIndex, bool shared = false) : t(path, shared, true, "") {
    if (withIndex) t.OpenIndexFile("L");
    t.OnAcceptRecord = [this] {
      ++asked;
      return true;
    };
  }
  bool Locate(const char* fields, std::vector<Variant> values, bool partial = false, bool caseInsensitive = false,
              int32_t start = 0) {
    asked = 0;
    return t.LocateRecord(fields, values, start, partial, caseInsensitive);
  }
  DBFObject t;
  int asked = 0;
};

}  // namespace

TEST(HandlerFilter, AFilterMustBeLogical) {
  TempDir dir;
  DBFObject t(People(dir), false, true, "");
  t.EnableFilter(true);
  t.SetFilterExpression("NUM > 2", false, true);
  for (const char* text : {"NUM", "NAME", "NUM + 1", "CITY + NAME"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.SetFilterExpression(text, false, true); }),
              "Filter expression must return boolean result");
  }
  EXPECT_NE(ErrorMessage<EXbaseError>([&] { t.SetFilterExpression("NUM >", false, true); }), "(no error)");
  // The filter in force stays.
  EXPECT_EQ(t.FilterText(), "NUM > 2");
  EXPECT_EQ(Walk(t), (std::vector<int32_t>{3, 4, 5}));
  t.SetFilterExpression("  ", false, true);
  EXPECT_FALSE(t.FilterActive());
  EXPECT_EQ(Walk(t).size(), 5u);
}

TEST(HandlerFilter, CaseAndWildcardOptionsReachTheExpression) {
  struct Case {
    const char* text;
    bool caseInsensitive;
    bool partial;
    std::vector<int32_t> walk;
  };
  const Case cases[] = {
      {"NAME = 'novak'", false, true, {}},         {"NAME = 'novak'", true, true, {1, 4}},
      {"NAME = 'NOVAK*'", false, true, {1, 2, 4}}, {"NAME = 'NOVAK*'", false, false, {}},
      {"CITY = 'pra*'", true, true, {1, 5}},
  };
  TempDir dir;
  DBFObject t(People(dir), false, true, "");
  t.EnableFilter(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + (c.caseInsensitive ? " ci" : "") + (c.partial ? " partial" : ""));
    t.SetFilterExpression(c.text, c.caseInsensitive, c.partial);
    EXPECT_EQ(Walk(t), c.walk);
  }
}

TEST(HandlerFilter, OwnWritesKeepTheSetAndARebuildSeesOtherProgramsAppends) {
  TempDir dir;
  const std::string path = People(dir);
  DBFObject t(path, true, true, "");
  t.OpenIndexFile("L");
  t.SelectTag("NC", false);
  t.EnableFilter(true);
  t.SetFilterExpression("NUM > 2", false, true);
  EXPECT_EQ(Walk(t), (std::vector<int32_t>{3, 5, 4}));  // ADAM PLZEN, ADAM PRAHA, NOVAK BRNO
  Append(t, {{"NAME", "BENES"}, {"NUM", "7"}});
  EXPECT_FALSE(t.OutOfOrder());
  Edit(t, 5, {{"NUM", "0"}});
  EXPECT_TRUE(t.OutOfOrder());
  EXPECT_EQ(Walk(t), (std::vector<int32_t>{3, 6, 4}));
  {
    DBFObject other(path, true, true, "");
    other.OpenIndexFile("L");
    Append(other, {{"NAME", "ADAM"}, {"CITY", "AAA"}, {"NUM", "9"}});
  }
  EXPECT_EQ(Walk(t), (std::vector<int32_t>{3, 6, 4}));  // no bit yet
  t.RebuildFilterSet();
  EXPECT_EQ(Walk(t), (std::vector<int32_t>{7, 3, 6, 4}));
  // The rebuild gives back the position it found.
  t.GoRecord(6);
  t.RebuildFilterSet();
  EXPECT_EQ(t.RecordNumber(), 6);
  EXPECT_TRUE(t.Positioned());
}

TEST(HandlerLocate, FieldsThatBeginATagAreSoughtOthersAreScanned) {
  TempDir dir;
  Counting c(People(dir), true);
  EXPECT_TRUE(c.Locate("name", {Variant("ADAM")}));
  EXPECT_EQ(c.t.RecordNumber(), 3);
  EXPECT_EQ(c.asked, 1);
  EXPECT_TRUE(c.Locate("NAME;CITY", {Variant("NOVAK"), Variant("BRNO")}));
  EXPECT_EQ(c.t.RecordNumber(), 4);
  EXPECT_EQ(c.asked, 1);
  // CITY begins no plain key (UPPER(CITY) could make other texts equal).
  EXPECT_TRUE(c.Locate("CITY", {Variant("PLZEN")}));
  EXPECT_EQ(c.t.RecordNumber(), 3);
  EXPECT_EQ(c.asked, 3);
  EXPECT_TRUE(c.Locate("NUM", {Variant(4)}));
  EXPECT_EQ(c.t.RecordNumber(), 4);
  EXPECT_EQ(c.asked, 4);
  // Case-insensitive Locate scans: keys are ordered by case.
  EXPECT_TRUE(c.Locate("NAME", {Variant("adam")}, false, true));
  EXPECT_EQ(c.t.RecordNumber(), 3);
  EXPECT_EQ(c.asked, 3);
  // With a master tag without range only that tag may serve.
  c.t.SelectTag("UCITY", false);
  EXPECT_TRUE(c.Locate("NAME", {Variant("ADAM")}));
  EXPECT_EQ(c.t.RecordNumber(), 3);
  EXPECT_EQ(c.asked, 3);  // UCITY order: BRNO(2) BRNO(4) PLZEN(3)
  EXPECT_EQ(c.t.MasterTagName(), "UCITY");
  c.t.GoRecord(xbmoNext);
  EXPECT_EQ(c.t.RecordNumber(), 1);  // the order follows the record found
}

TEST(HandlerLocate, LeadingFieldsOfACompoundKeyFindExactlyWhatAScanFinds) {
  struct Case {
    const char* fields;
    std::vector<Variant> values;
    bool partial;
    int32_t record;  // 0: not found
  };
  const Case cases[] = {
      {"NAME", {Variant("NOVAK")}, false, 4},  // the first NOVAK in key order: NOVAK BRNO
      {"NAME", {Variant("NOVAKOVA")}, false, 2},
      {"NAME", {Variant("NOVA")}, false, 0},
      {"NAME", {Variant("NOVA")}, true, 4},
      {"NAME", {Variant("NOVAKOVAX")}, true, 0},
      {"NAME;CITY", {Variant("NOVAK"), Variant("PRAHA")}, false, 1},
      {"NAME;CITY", {Variant("NOVAK"), Variant("BRNO")}, false, 4},
      {"NAME;CITY", {Variant("NOVAKOVA"), Variant("PRAHA")}, false, 0},
      {"NAME;CITY", {Variant("NOVAKOVA"), Variant("BR")}, true, 2},
      {"NAME;CITY", {Variant("NOVAK"), Variant("")}, true, 4},
  };
  TempDir dir;
  const std::string path = People(dir);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fields) + " " + c.values[0].AsString() + (c.partial ? " partial" : ""));
    Counting tagged(path, true);
    EXPECT_EQ(tagged.Locate(c.fields, c.values, c.partial), c.record != 0);
    if (c.record) {
      EXPECT_EQ(tagged.t.RecordNumber(), c.record);
      EXPECT_EQ(tagged.asked, 1);
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("scan ") + c.fields + " " + c.values[0].AsString() + (c.partial ? " partial" : ""));
    Counting scanned(path, false);
    EXPECT_EQ(scanned.Locate(c.fields, c.values, c.partial), c.record != 0);
  }
}

TEST(HandlerLocate, CaseInsensitiveCzechTextInAnOemTable) {
  TempDir dir;
  const std::string path = dir.File("C.DBF");
  CreateDbfTable(path, kFields);
  DBFObject t(path, false, true, "");
  t.SetTranslateOem(true);
  for (const char* name : {"Šťastný", "ŽLUŤOUČKÝ", "žluťoučký", "Čáp"}) Append(t, {{"NAME", AnsiToOem(Cz(name))}});
  EXPECT_TRUE(t.LocateRecord("NAME", {Variant(Cz("žluťoučký"))}, 0, false, true));
  EXPECT_EQ(t.RecordNumber(), 2);
  EXPECT_TRUE(t.LocateRecord("NAME", {Variant(Cz("žluťoučký"))}, 0, false, false));
  EXPECT_EQ(t.RecordNumber(), 3);
  EXPECT_TRUE(t.LocateRecord("NAME", {Variant(Cz("ŠŤAST"))}, 0, true, true));
  EXPECT_EQ(t.RecordNumber(), 1);
  EXPECT_FALSE(t.LocateRecord("NAME", {Variant(Cz("ČÁPI"))}, 0, true, true));
}

TEST(HandlerLocate, ContinuesAfterTheStartRecordInTheCurrentOrder) {
  TempDir dir;
  Counting c(People(dir), true);
  EXPECT_TRUE(c.Locate("NAME", {Variant("ADAM")}, false, false, 0));
  EXPECT_EQ(c.t.RecordNumber(), 3);
  EXPECT_TRUE(c.Locate("NAME", {Variant("ADAM")}, false, false, 3));
  EXPECT_EQ(c.t.RecordNumber(), 5);
  EXPECT_FALSE(c.Locate("NAME", {Variant("ADAM")}, false, false, 5));
  c.t.SelectTag("NC", false);  // ADAM PLZEN(3) ADAM PRAHA(5) NOVAK BRNO(4) NOVAK PRAHA(1) ...
  EXPECT_TRUE(c.Locate("NAME", {Variant("NOVAK")}, false, false, 4));
  EXPECT_EQ(c.t.RecordNumber(), 1);
  // With a range the whole table is searched, front to back.
  c.t.SetTagRange("ADAM", "ADAM", true, true, true);
  EXPECT_TRUE(c.Locate("CITY", {Variant("BRNO")}));
  EXPECT_EQ(c.t.RecordNumber(), 2);
  EXPECT_TRUE(c.t.OutOfOrder());
  EXPECT_EQ(c.t.MasterTagName(), "NC");
  EXPECT_TRUE(c.Locate("CITY", {Variant("PRAHA")}));
  EXPECT_EQ(c.t.RecordNumber(), 1);
}

TEST(HandlerLocate, TheTagPathAndTheScanAgreeOnRandomCases) {
  std::mt19937 random(4242);
  const char* names[] = {"NOV", "NOVAK", "NOVAKOVA", "NOVAKOVA X", "ADAM", "AD", "BENES"};
  const char* cities[] = {"PRAHA", "BRNO", "BR", "PLZEN", ""};
  std::vector<handlertest::Values> records;
  for (int i = 0; i < 40; ++i)
    records.push_back({{"NAME", names[random() % 7]}, {"CITY", cities[random() % 5]}, {"NUM", std::to_string(i)}});
  TempDir dir;
  const std::string path = MakeIndexedTable(dir.Path(), "L.DBF", kFields, records, {TagSpec("NC", "NAME+CITY")});
  Counting tagged(path, true, true);
  DBFObject scanned(path, true, false, "");
  const char* wanted[] = {"NOV", "NOVA", "NOVAK", "NOVAKOVA", "NOVAKOVA X", "AD", "ADAM", "X", ""};
  for (int k = 0; k < 200; ++k) {
    const bool both = random() % 2 == 0;
    const bool partial = random() % 2 == 0;
    std::vector<Variant> values{Variant(wanted[random() % 9])};
    if (both) values.push_back(Variant(cities[random() % 5]));
    const char* fields = both ? "NAME;CITY" : "NAME";
    SCOPED_TRACE(std::to_string(k) + ": " + fields + " " + values[0].AsString() + (partial ? " partial" : ""));
    const bool byTag = tagged.Locate(fields, values, partial);
    const bool byScan = scanned.LocateRecord(fields, values, 0, partial, false);
    ASSERT_EQ(byTag, byScan);
    if (!byTag) continue;
    ASSERT_EQ(tagged.asked, 1);
    // Both found a record that matches.
    for (DBFObject* t : {&tagged.t, &scanned}) {
      const AnsiString name = t->GetText("NAME");
      const AnsiString wantedName = values[0].AsString();
      if (partial && !both) {
        EXPECT_EQ(name.substr(0, wantedName.size()), wantedName);
      } else {
        EXPECT_EQ(name, wantedName);
      }
    }
  }
}
