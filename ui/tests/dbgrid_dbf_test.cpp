// The grid over a real journal table: a DBF written through the dataset,
// with a compound index tag on the document number, opened through
// TXbaseDataSet and shown in a read-only row-select grid as the journal
// window shows it. In tag order the dataset cannot give record numbers, so
// the vertical bar is the five-position one; in natural order it is
// sequenced and the bar tracks the record number. Either way the rows are
// the records in the dataset's order, and texts stored in OEM on disk show
// in the cells as the program's own text.
#include <cstdio>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "dbase/testing/xbase_fixtures.h"
#include "dbase/dataset/xbase_dataset.h"
#include "dbase/base/engine.h"
#include "platform/gui/testing/gui_environment.h"
#include "testing/temp_dir.h"
#include "ui/tests/dbgrid_test_support.h"

namespace {

constexpr int kRecords = 25;

// Descriptions as the program holds them (written here in UTF-8) and as a
// dBase program stores them (code page 852), byte for byte.
struct Description {
  const char* text;
  const char* stored;
};
const Description kDescriptions[] = {
    {"Tržba hotově", "Tr\xA7" "ba hotov\xD8"},
    {"Nájem kanceláře", "N\xA0jem kancel\xA0\xFD" "e"},
    {"Příjem od odběratele", "P\xFD\xA1jem od odb\xD8ratele"},
    {"Výběr z účtu", "V\xEC" "b\xD8r z \xA3\x9Ftu"},
    {"Úhrada faktury", "\xE9hrada faktury"},
    {"Poštovné", "Po\xE7tovn\x82"},
};
constexpr int kDescriptionCount = static_cast<int>(std::size(kDescriptions));

// Physical record n (from 1) holds document D0001..D0025 in a scrambled
// order (7 and 25 are coprime), so tag order and natural order differ.
int DocumentNumberOf(int n) { return (n - 1) * 7 % kRecords + 1; }
std::string Document(int number) {
  char text[16];  // room for any int: -O2 checks the whole range
  std::snprintf(text, sizeof text, "D%04d", number);
  return text;
}
const Description& DescriptionOf(int n) { return kDescriptions[(n - 1) % kDescriptionCount]; }
AnsiString TextOf(int n) { return Cz(DescriptionOf(n).text) + " " + IntToStr(n); }

// The journal table PLA0001.DBF with its tag DO1 in PLA0001.CDX, written
// through a dataset of its own that is closed again.
void MakeJournalTable(const TempDir& dir) {
  CreateDbfTable(dir.File("PLA0001.DBF"), xbase_test::JournalFields());
  auto ds = xbase_test::NewDataSet(dir.Path(), "PLA0001.DBF");
  ds->Open();
  for (int n = 1; n <= kRecords; ++n) {
    ds->Append();
    ds->FieldByName("PLA_DAT")->SetAsDateTime(EncodeDate(2026, 1 + n % 12, 1 + n));
    ds->FieldByName("PLA_DO1")->SetAsString(Document(DocumentNumberOf(n)));
    ds->FieldByName("PLA_TYP")->SetAsString(n % 3 ? "P01" : "V02");
    ds->FieldByName("PLA_KOM")->SetAsString(TextOf(n));
    ds->FieldByName("PLA_HOD")->SetAsFloat((n % 2 ? 1 : -1) * n * 150.5);
    ds->Post();
  }
  ds->BuildIndexTag(dir.File("PLA0001.CDX"), "DO1", 0, 0, "", "PLA_DO1");
  ds->Close();
}

struct ScrollGrid : TDBGrid {
  using TDBGrid::TDBGrid;
  using TDBGrid::VerticalScroll;
};

// The journal's grid on a shown form, focused, over the table in the order
// Order() names ("" for natural order).
struct DbGridDbfGui : ::testing::Test {
  TempDir dir;
  TForm* form = nullptr;
  TXbaseDataSet* ds = nullptr;
  ScrollGrid* grid = nullptr;
  TEdit* other = nullptr;

  virtual AnsiString Order() const { return ""; }

  void SetUp() override {
    EngineStartup();
    MakeJournalTable(dir);
    form = NewForm<TForm>(Application);
    form->SetBounds(30, 30, 560, 330);
    ds = new TXbaseDataSet(form);
    ds->SetDatabaseName(dir.Path());
    ds->SetTableName("PLA0001.DBF");
    ds->Open();
    ASSERT_EQ(ds->AttachIndexFile("PLA0001"), 0);
    ds->SetIndexName(Order());
    auto* source = new TDataSource(form);
    source->SetDataSet(ds);
    grid = new ScrollGrid(form);
    grid->SetParent(form);
    grid->SetBounds(8, 8, 530, 220);
    grid->SetOptions({dgTitles, dgIndicator, dgColLines, dgRowLines, dgTabs, dgRowSelect, dgAlwaysShowSelection,
                      dgConfirmDelete, dgCancelOnExit});
    grid->SetReadOnly(true);
    grid->SetDataSource(source);
    other = new TEdit(form);
    other->SetParent(form);
    other->SetBounds(8, 240, 100, 21);
    form->Show();
    Application->ProcessMessages();
    grid->SetFocus();
  }
  void TearDown() override { delete form; }

  int Page() const { return grid->DataLink()->BufferCount(); }
  // The value of a field in every row the grid shows, top to bottom, read
  // the way the grid reads a row for drawing.
  std::vector<std::string> Shown(const char* fieldName) const {
    TGridDataLink* link = grid->DataLink();
    TField* field = ds->FieldByName(fieldName);
    const int saved = link->ActiveRecord();
    std::vector<std::string> values;
    for (int row = 0; row < link->RecordCount(); ++row) {
      link->SetActiveRecord(row);
      values.push_back(field->AsString());
    }
    link->SetActiveRecord(saved);
    return values;
  }
  int CurrentRow() const { return grid->Row() - grid->TitleOffset(); }
};

struct DbGridDbfTagOrderGui : DbGridDbfGui {
  AnsiString Order() const override { return "DO1"; }
};

// A move of the grid's: a key or a request of the vertical bar.
struct Move {
  const char* name;
  std::function<void(ScrollGrid*)> act;
};
Move Key(const char* name, Word vk, TShiftState shift = {}) {
  return {name, [vk, shift](ScrollGrid* g) { KeyClick(g, vk, shift); }};
}
Move Bar(const char* name, TScrollCode code, int pos = 0) {
  return {name, [code, pos](ScrollGrid* g) { g->VerticalScroll(code, pos); }};
}

TEST_F(DbGridDbfTagOrderGui, TagOrderGivesTheFivePositionBarAndRowsInKeyOrder) {
  EXPECT_EQ(ds->IndexName(), "DO1");
  EXPECT_FALSE(ds->IsSequenced());
  const int page = Page();
  ASSERT_GT(page, 3);
  ASSERT_LT(2 * page, kRecords);
  // In tag order the k-th record (from 0) is document k + 1.
  auto inKeyOrder = [](int from, int count) {
    std::vector<std::string> docs;
    for (int k = from; k < from + count; ++k) docs.push_back(Document(k + 1));
    return docs;
  };
  EXPECT_EQ(Shown("PLA_DO1"), inKeyOrder(0, page));

  struct Step {
    Move move;
    int key;  // position in tag order afterwards
    int pos;  // thumb: 0 at the first record, 4 at the last, 2 between
  };
  const int last = kRecords - 1;
  const Step steps[] = {
      {Key("Down", VK_DOWN), 1, 2},
      {Key("Page Down", VK_NEXT), 1 + page, 2},
      {Key("Ctrl+End", VK_END, {ssCtrl}), last, 4},
      {Key("Up", VK_UP), last - 1, 2},
      // A page asked for beyond the end stops at the last record.
      {Key("Page Down", VK_NEXT), last, 4},
      {Key("Ctrl+Home", VK_HOME, {ssCtrl}), 0, 0},
      {Bar("thumb 4", scPosition, 4), last, 4},
      {Bar("thumb 1", scPosition, 1), last - page, 2},
      {Bar("thumb 2", scPosition, 2), last - page, 2},
      {Bar("thumb 0", scPosition, 0), 0, 0},
      {Bar("thumb 3", scPosition, 3), page, 2},
      {Bar("line down", scLineDown), page + 1, 2},
      {Bar("bottom", scBottom), last, 4},
      {Bar("line up", scLineUp), last - 1, 2},
      {Bar("top", scTop), 0, 0},
      {Bar("page down", scPageDown), page, 2},
      {Bar("line up", scLineUp), page - 1, 2},
      // A page asked for before the start stops at the first record.
      {Bar("page up", scPageUp), 0, 0},
      {Key("End", VK_END), last, 4},
      // A step that lands on an end without running into it leaves the
      // thumb in the middle: an unsequenced dataset learns that it stands
      // on its first or last record only from a move that tries to pass it.
      {Key("Up", VK_UP), last - 1, 2},
      {Key("Down onto the last record", VK_DOWN), last, 2},
      {Key("Down at the last record", VK_DOWN), last, 4},
      {Key("Home", VK_HOME), 0, 0},
      {Key("Down", VK_DOWN), 1, 2},
      {Key("Up onto the first record", VK_UP), 0, 2},
      {Key("Up at the first record", VK_UP), 0, 0},
  };
  for (const Step& s : steps) {
    s.move.act(grid);
    EXPECT_EQ(ds->FieldByName("PLA_DO1")->AsString(), Document(s.key + 1)) << s.move.name;
    TScrollInfo info = grid->VerticalScrollInfo();
    EXPECT_EQ(info.Min, 0) << s.move.name;
    EXPECT_EQ(info.Max, 4) << s.move.name;
    EXPECT_EQ(info.Pos, s.pos) << s.move.name;
    EXPECT_TRUE(info.Visible) << s.move.name;
    // The rows are a window of the tag order with the current one in it.
    EXPECT_EQ(Shown("PLA_DO1"), inKeyOrder(s.key - CurrentRow(), page)) << s.move.name;
  }
  // The read-only grid never appended at the last record.
  EXPECT_EQ(ds->RecordCount(), kRecords);
}

TEST_F(DbGridDbfGui, NaturalOrderIsSequencedAndTheThumbIsTheRecordNumber) {
  EXPECT_EQ(ds->IndexName(), "");
  EXPECT_TRUE(ds->IsSequenced());
  const int page = Page();
  ASSERT_GT(page, 3);
  ASSERT_LT(2 * page, kRecords);
  auto inFileOrder = [](int fromRecNo, int count) {
    std::vector<std::string> docs;
    for (int n = fromRecNo; n < fromRecNo + count; ++n) docs.push_back(Document(DocumentNumberOf(n)));
    return docs;
  };
  TScrollInfo info = grid->VerticalScrollInfo();
  EXPECT_EQ(info.Min, 1);
  EXPECT_EQ(info.Max, kRecords + page - 1);
  EXPECT_EQ(info.Page, page);
  EXPECT_EQ(info.Pos, 1);
  EXPECT_TRUE(info.Visible);
  EXPECT_EQ(Shown("PLA_DO1"), inFileOrder(1, page));

  struct Step {
    Move move;
    int recNo;
  };
  const Step steps[] = {
      {Key("Down", VK_DOWN), 2},
      {Key("Ctrl+End", VK_END, {ssCtrl}), kRecords},
      {Bar("thumb 10", scPosition, 10), 10},
      {Key("Down", VK_DOWN), 11},
      {Bar("thumb 1", scPosition, 1), 1},
      {Bar("thumb past the end", scPosition, kRecords + page), kRecords},
      {Bar("page up", scPageUp), kRecords - page},
      {Bar("line down", scLineDown), kRecords - page + 1},
      {Key("Up", VK_UP), kRecords - page},
      {Bar("thumb below the start", scPosition, -3), 1},
      {Key("Page Down", VK_NEXT), 1 + page},
      {Bar("thumb at the count", scPosition, kRecords), kRecords},
      {Key("Ctrl+Home", VK_HOME, {ssCtrl}), 1},
      {Bar("bottom", scBottom), kRecords},
      {Bar("top", scTop), 1},
      {Key("End", VK_END), kRecords},
      {Key("Down at the last record", VK_DOWN), kRecords},
  };
  for (const Step& s : steps) {
    s.move.act(grid);
    EXPECT_EQ(ds->RecNo(), s.recNo) << s.move.name;
    info = grid->VerticalScrollInfo();
    EXPECT_EQ(info.Min, 1) << s.move.name;
    EXPECT_EQ(info.Max, kRecords + page - 1) << s.move.name;
    EXPECT_EQ(info.Page, page) << s.move.name;
    EXPECT_EQ(info.Pos, s.recNo) << s.move.name;
    EXPECT_EQ(Shown("PLA_DO1"), inFileOrder(s.recNo - CurrentRow(), page)) << s.move.name;
  }
  EXPECT_EQ(ds->RecordCount(), kRecords);
}

TEST_F(DbGridDbfGui, ChangingTheOrderUnderTheGridSwitchesTheBar) {
  grid->VerticalScroll(scPosition, 10);
  const std::string doc = ds->FieldByName("PLA_DO1")->AsString();
  ASSERT_EQ(doc, Document(DocumentNumberOf(10)));
  ds->SetIndexName("DO1");
  // The record stays current and the rows are now in key order around it.
  EXPECT_EQ(ds->FieldByName("PLA_DO1")->AsString(), doc);
  EXPECT_FALSE(ds->IsSequenced());
  TScrollInfo info = grid->VerticalScrollInfo();
  EXPECT_EQ(info.Min, 0);
  EXPECT_EQ(info.Max, 4);
  EXPECT_EQ(info.Pos, 2);
  std::vector<std::string> shown = Shown("PLA_DO1");
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown[static_cast<std::size_t>(CurrentRow())], doc);
  for (std::size_t i = 1; i < shown.size(); ++i) EXPECT_LT(shown[i - 1], shown[i]) << i;
  // And back: the thumb is the record number of the same record.
  ds->SetIndexName("");
  EXPECT_TRUE(ds->IsSequenced());
  info = grid->VerticalScrollInfo();
  EXPECT_EQ(info.Min, 1);
  EXPECT_EQ(info.Page, Page());
  EXPECT_EQ(info.Pos, 10);
  EXPECT_EQ(ds->FieldByName("PLA_DO1")->AsString(), doc);
}

// Whether the cell shows exactly text in the grid's font on clWindow: the
// cell's pixels against the same text drawn by the canvas into a bitmap at
// the grid's data-cell offsets.
bool CellShows(const QImage& img, const TRect& cell, const TFont* font, const AnsiString& text) {
  TBitmap expected;
  expected.SetSize(cell.Width(), cell.Height());
  TCanvas* c = expected.Canvas();
  c->Font()->Assign(font);
  c->Brush()->SetColor(clWindow);
  c->TextRect(Rect(0, 0, cell.Width(), cell.Height()), 2, 2, text);
  const QImage& ref = expected.Image();
  for (int y = 0; y < cell.Height(); ++y)
    for (int x = 0; x < cell.Width(); ++x)
      if ((img.pixel(cell.Left + x, cell.Top + y) & 0xFFFFFFu) != (ref.pixel(x, y) & 0xFFFFFFu)) return false;
  return true;
}

TEST_F(DbGridDbfGui, CzechTextsStoredInOemShowAsTheProgramsText) {
  // Default columns from the table's fields, in file order.
  ASSERT_EQ(grid->Columns()->Count(), 10);
  EXPECT_EQ(grid->Columns()->Items(3)->FieldName(), "PLA_KOM");
  EXPECT_EQ(grid->Columns()->Items(8)->Alignment(), taRightJustify);
  // On disk the description is in code page 852 (after the deletion flag,
  // the date, document and type: offset 22, 30 bytes, blank-padded).
  for (int n = 1; n <= kRecords; ++n) {
    std::string stored = std::string(DescriptionOf(n).stored) + " " + std::to_string(n);
    stored.resize(30, ' ');
    EXPECT_EQ(xbase_test::RawRecord(dir.File("PLA0001.DBF"), n).substr(22, 30), stored) << n;
  }
  // On screen every row but the highlighted current one shows the text in
  // the program's code page, and not the stored bytes.
  other->SetFocus();
  ds->First();
  ASSERT_EQ(CurrentRow(), 0);
  std::vector<std::string> texts = Shown("PLA_KOM");
  ASSERT_EQ(static_cast<int>(texts.size()), Page());
  const QImage img = Grab(grid);
  const int kom = 3 + grid->IndicatorOffset();
  for (int row = 1; row < Page(); ++row) {
    const int n = 1 + row;
    EXPECT_EQ(texts[static_cast<std::size_t>(row)], TextOf(n)) << n;
    TRect cell = gridtest::GridFixture::OnImage(grid->CellRect(kom, row + grid->TitleOffset()));
    EXPECT_TRUE(CellShows(img, cell, grid->Font(), TextOf(n))) << n;
    EXPECT_FALSE(CellShows(img, cell, grid->Font(), AnsiString(DescriptionOf(n).stored) + " " + IntToStr(n))) << n;
  }
}

}  // namespace
