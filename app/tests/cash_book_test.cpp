// The cash book: the date-range dialog, the page read back from its page
// stream over a demo year (rows, columns, page breaks, totals checked
// against an independent reader of the journal), the printed PDF, and the
// command's refusals and clean-up.
#include <dirent.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QTimer>

#include <cmath>
#include <fstream>
#include <set>

#include "app/tests/range_support.h"
#include "dbase/handler/table_handler.h"
#include "platform/gui/application.h"
#include "platform/gui/controls.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/system.h"
#include "report/forms/rpt_setup_form.h"
#include "report/tests/support/pdf_tools.h"
#include "testing/child_process.h"
#include "testing/temp_dir.h"

namespace {

using app_test::kCashBook;
using app_test::RangeAnswer;
using app_test::RangeProgram;
using app_test::Rows;
using app_test::TextHellers;

// The column of a text: right-aligned texts by their right edge, the
// others by their left edge (an amount with leading blanks comes back as a
// block starting at its first digit).
enum Column { cDate, cDocument, cPair, cText, cReceipt, cExpense, cBalance, cNone };
Column ColumnAt(const CapturedText& t) {
  if (t.justify == 'R') {
    for (auto [edge, column] : {std::pair{16.0, cReceipt}, std::pair{18.0, cExpense}, std::pair{20.0, cBalance}})
      if (std::abs(t.x - edge) < 0.01) return column;
    return cNone;
  }
  const double starts[] = {2, 4.5, 6.75, 9, 14, 16, 18, 20};
  for (int c = 0; c < 7; ++c)
    if (t.x > starts[c] - 0.01 && t.x < starts[c + 1] - 0.01) return static_cast<Column>(c);
  return cNone;
}

// The journal's documents of a range in date order, as the report shows
// them (CP1250 texts and amounts in hellers).
struct JournalDocument {
  AnsiString date, number, pair, text;
  long long amount, balance;
};
std::vector<JournalDocument> JournalRange(const std::string& dir, TDateTime from, TDateTime to) {
  auto d = app_test::OpenTable(dir, "Pla0001.dbf");
  std::vector<std::pair<TDateTime, JournalDocument>> rows;
  for (d->First(); !d->Eof(); d->Next()) {
    TDateTime date = d->FieldByName("PLA_DAT")->AsDateTime();
    if (date < from || date > to) continue;
    rows.push_back({date,
                    {FormatDateTime("dd.mm.yyyy", date), Trim(d->FieldByName("PLA_DO1")->AsString()),
                     Trim(d->FieldByName("PLA_SML")->AsString()), Trim(d->FieldByName("PLA_KOM")->AsString()),
                     app_test::Hellers(d->FieldByName("PLA_HOD")->AsFloat()),
                     app_test::Hellers(d->FieldByName("PLA_STA")->AsFloat())}});
  }
  std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<JournalDocument> out;
  for (auto& r : rows) out.push_back(r.second);
  return out;
}

// The cash book's rows split into heading, documents, page numbers and the
// total line.
struct CashBook {
  std::vector<app_test::CapturedRow> documents;
  std::vector<std::pair<int, AnsiString>> pageNumbers;  // page, text
  const app_test::CapturedRow* total = nullptr;
  std::vector<app_test::CapturedRow> rows;
  int pages = 0;
};

CashBook ReadCashBook(const ReportCapture& capture) {
  CashBook book;
  book.rows = Rows(capture);
  book.pages = capture.pages;
  for (const app_test::CapturedRow& row : book.rows) {
    const AnsiString first = row.cells.front()->text;
    if (first.rfind("Strana ", 0) == 0)
      book.pageNumbers.push_back({row.page, first});
    else if (first == "Celkem za sestavu")
      book.total = &row;
    else if (row.cells.size() > 1 && ColumnAt(*row.cells.front()) == cDate && first != "Datum")
      book.documents.push_back(row);
  }
  return book;
}

// The row's cell of a column, or "".
AnsiString Cell(const app_test::CapturedRow& row, Column column) {
  for (const CapturedText* t : row.cells)
    if (ColumnAt(*t) == column) return Trim(t->text);
  return "";
}

// ------------------------------------------------------------------ dialog

TEST(CashBookDialogGui, LayoutPlacementTodayKeysAndWhatStartAndStornoSet) {
  RangeProgram p(20);
  struct Seen {
    AnsiString caption;
    int clientWidth = 0, clientHeight = 0;
    TRect label1, label2, edit1, edit2, check, start, storno;
    TAlignment alignment = taLeftJustify;
    AnsiString from, to, checkCaption;
    bool firstFocused = false, stornoFocusedAfterEnter = false;
    TPoint place;
  } seen;
  Platebna->SetBounds(100, 50, Platebna->Width(), Platebna->Height());
  for (bool exportData : {true, false}) {
    DataSestavy->ExportToExcel = !exportData;
    OnNextModal([&, exportData](TCustomForm* form) {
      auto* d = static_cast<TSesPrehOdDo*>(form);
      seen.caption = d->Caption();
      seen.clientWidth = d->ClientWidth();
      seen.clientHeight = d->ClientHeight();
      seen.label1 = d->Label1->BoundsRect();
      seen.label2 = d->Label2->BoundsRect();
      seen.alignment = d->Label1->Alignment();
      seen.edit1 = d->LomridDateEdit1->BoundsRect();
      seen.edit2 = d->LomridDateEdit2->BoundsRect();
      seen.check = d->CheckBox1->BoundsRect();
      seen.checkCaption = d->CheckBox1->Caption();
      seen.start = d->Button1->BoundsRect();
      seen.storno = d->Button2->BoundsRect();
      seen.from = d->LomridDateEdit1->Text();
      seen.to = d->LomridDateEdit2->Text();
      seen.firstFocused = d->ActiveControl() == d->LomridDateEdit1;
      seen.place = TPoint(d->Left(), d->Top());
      d->CheckBox1->SetFocus();
      KeyClick(d->CheckBox1, VK_RETURN);
      seen.stornoFocusedAfterEnter = d->ActiveControl() == d->Button2;
      d->CheckBox1->SetChecked(exportData);
      // An empty range prints headings only; no document, so no workbook.
      d->LomridDateEdit1->SetText("02.01.2000");
      d->LomridDateEdit2->SetText("01.01.2000");
      MouseClick(d->Button1, 10, 10);
    });
    Platebna->Platebnakniha1Click(nullptr);
    EXPECT_EQ(DataSestavy->ExportToExcel, exportData);
  }
  EXPECT_EQ(seen.caption, Cz("Sestava přehledu dokladů"));
  EXPECT_EQ(seen.clientWidth, 269);
  EXPECT_EQ(seen.clientHeight, 145);
  EXPECT_EQ(seen.alignment, taRightJustify);
  EXPECT_EQ(seen.label1.Right, 151);
  EXPECT_EQ(seen.label1.Top, 24);
  EXPECT_EQ(seen.label2.Right, 151);
  EXPECT_EQ(seen.label2.Top, 48);
  EXPECT_LT(seen.label1.Left, seen.label2.Left);  // the longer caption reaches further left
  EXPECT_EQ(seen.edit1, TRect(160, 16, 257, 37));
  EXPECT_EQ(seen.edit2, TRect(160, 40, 257, 61));
  EXPECT_EQ(seen.check.Left, 24);
  EXPECT_EQ(seen.check.Top, 72);
  EXPECT_EQ(seen.checkCaption, "Export data do souboru XLS ( MS Excel )");
  EXPECT_EQ(seen.start.Left, 56);
  EXPECT_EQ(seen.start.Top, 8);
  EXPECT_EQ(seen.storno.Left, 136);
  const AnsiString today = FormatDateTime("dd.mm.yyyy", Date());
  EXPECT_EQ(seen.from, today);
  EXPECT_EQ(seen.to, today);
  EXPECT_TRUE(seen.firstFocused);
  EXPECT_TRUE(seen.stornoFocusedAfterEnter);
  EXPECT_EQ(seen.place, DialogPosition(TDialogPlacement::DateRange, Platebna->Top(), Platebna->Left()));
  EXPECT_TRUE(p.Printed());

  // Storno runs nothing.
  p.Run(kCashBook, RangeAnswer{.start = false});
  EXPECT_FALSE(p.Printed());
  EXPECT_FALSE(DataSestavy->SesPlatebna->Active());
  EXPECT_TRUE(p.Boxes.empty());
}

// The menu items run through the date dialog and the report system's
// output-options form: OK there prints, Cancel prints nothing; either way
// the report cursor is closed again.
TEST(CashBookDialogGui, MenuItemsRunThroughTheOutputOptionsForm) {
  RangeProgram p(20);
  DataSestavy->ReportSystem->OverrideSetup = nullptr;
  for (TMenuItem* item : {Platebna->Platebnakniha1, Platebna->Sestavarozloen1}) {
    for (bool ok : {true, false}) {
      p.Fake().jobs.clear();
      // The output-options form comes after the date dialog has closed.
      bool setupShown = false;
      QTimer watcher;
      QObject::connect(&watcher, &QTimer::timeout, &watcher, [&] {
        auto* setup = dynamic_cast<TRptSetupForm*>(CurrentModalForm());
        if (!setup || setupShown) return;
        setupShown = true;
        if (ok) {
          setup->PrinterRB->SetChecked(true);
          setup->bbtnOK->Click();
        } else {
          setup->CancelBB->Click();
        }
      });
      watcher.start(5);
      OnNextModal([](TCustomForm* form) {
        auto* d = static_cast<TSesPrehOdDo*>(form);
        d->LomridDateEdit1->SetText("01.01.2024");
        d->LomridDateEdit2->SetText("31.12.2024");
        MouseClick(d->Button1, 10, 10);
      });
      MessageBoxRecorder boxes;
      item->Click();
      EXPECT_TRUE(setupShown);
      EXPECT_EQ(p.Fake().jobs.size(), ok ? 1u : 0u);
      EXPECT_TRUE(boxes.Boxes().empty());
      EXPECT_FALSE(DataSestavy->SesPlatebna->Active());
    }
  }
}

// ---------------------------------------------------------------- content

TEST(CashBookGui, RowsColumnsBreaksAndTotalsOfRanges) {
  RangeProgram p(300);
  struct Case {
    const char* from;
    const char* to;
  };
  // The whole year, a month, one day with documents and a reversed range.
  auto all = JournalRange(p.Dir().DataDir(), EncodeDate(2024, 1, 1), EncodeDate(2024, 12, 31));
  ASSERT_EQ(all.size(), 300u);
  const std::string day = all[150].date;
  const Case cases[] = {{"01.01.2024", "31.12.2024"},
                        {"01.03.2024", "31.03.2024"},
                        {day.c_str(), day.c_str()},
                        {"31.12.2024", "01.01.2024"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " - " + c.to);
    p.Run(kCashBook, RangeAnswer{.from = c.from, .to = c.to});
    ASSERT_TRUE(p.Boxes.empty()) << p.Boxes[0];
    ASSERT_TRUE(p.Printed());
    const ReportCapture capture = p.Capture();
    const CashBook book = ReadCashBook(capture);
    ASSERT_FALSE(book.rows.empty());

    // Heading and column titles with their stops and bottom lines.
    EXPECT_EQ(book.rows[0].Texts(), (std::vector<std::string>{"Pokladní kniha od " + std::string(c.from) + " do " +
                                                              c.to}));
    EXPECT_EQ(book.rows[0].cells[0]->size, 12);
    EXPECT_EQ(book.rows[0].cells[0]->font, "ArialCE");
    EXPECT_EQ(book.rows[0].cells[0]->charset, 238);
    EXPECT_EQ(book.rows[1].Texts(), (std::vector<std::string>{"Datum", "Doklad", "Pár.doklad", "Popis operace",
                                                              "Příjmy", "Výdaje", "Zůstatek"}));
    std::vector<Column> titleColumns;
    for (const CapturedText* t : book.rows[1].cells) titleColumns.push_back(ColumnAt(*t));
    EXPECT_EQ(titleColumns, (std::vector<Column>{cDate, cDocument, cPair, cText, cReceipt, cExpense, cBalance}));
    // The titles' bottom lines join into one rule from the first stop to
    // the last stop's right edge, under the titles.
    const auto lines = capture.HorizontalLines(1);
    ASSERT_FALSE(lines.empty());
    double left = 100, right = 0;
    for (const CapturedLine& l : lines) {
      left = std::min({left, l.x1, l.x2});
      right = std::max({right, l.x1, l.x2});
      EXPECT_GT(l.y1, book.rows[1].cells[0]->y);
      EXPECT_LT(l.y1, book.rows[2].cells[0]->y);
    }
    EXPECT_NEAR(left, 2, 0.02);
    EXPECT_NEAR(right, 20, 0.02);

    // One row per document in date order.
    const TDateTime from = StrToDate(c.from), to = StrToDate(c.to);
    const auto expected = JournalRange(p.Dir().DataDir(), from, to);
    ASSERT_EQ(book.documents.size(), expected.size());
    long long receipts = 0, expenses = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const auto& row = book.documents[i];
      const JournalDocument& e = expected[i];
      SCOPED_TRACE(i);
      EXPECT_EQ(Cell(row, cDate), e.date);
      EXPECT_EQ(Cell(row, cDocument), e.number);
      EXPECT_EQ(Cell(row, cPair), e.pair);
      EXPECT_EQ(Cell(row, cText), e.text);
      const Column amountColumn = e.amount > 0 ? cReceipt : cExpense;
      EXPECT_EQ(TextHellers(Cell(row, amountColumn)), e.amount);
      EXPECT_EQ(Cell(row, amountColumn == cReceipt ? cExpense : cReceipt), "");
      EXPECT_EQ(TextHellers(Cell(row, cBalance)), e.balance);
      (e.amount > 0 ? receipts : expenses) += e.amount;
    }

    // A page number at every break, none on the last page; the pages are
    // after the first filled to the same depth.
    ASSERT_EQ(book.pageNumbers.size(), static_cast<std::size_t>(book.pages - 1));
    std::set<int> rowsPerFullPage;
    for (std::size_t i = 0; i < book.pageNumbers.size(); ++i) {
      EXPECT_EQ(book.pageNumbers[i].first, static_cast<int>(i) + 1);
      EXPECT_EQ(book.pageNumbers[i].second, "Strana " + IntToStr(static_cast<int>(i) + 1));
      int count = 0;
      for (const auto& r : book.documents) count += r.page == static_cast<int>(i) + 1;
      if (i > 0) rowsPerFullPage.insert(count);  // the first page also holds the headings
    }
    if (book.pages > 2) {
      EXPECT_EQ(rowsPerFullPage.size(), 1u);
    }

    // Totals, also against the independent reader.
    ASSERT_NE(book.total, nullptr);
    EXPECT_EQ(TextHellers(Cell(*book.total, cReceipt)), receipts);
    EXPECT_EQ(TextHellers(Cell(*book.total, cExpense)), expenses);
    if (expected.empty()) {
      EXPECT_EQ(Cell(*book.total, cReceipt), "0,00");
      EXPECT_EQ(Cell(*book.total, cExpense), "0,00");
    }
    app_test::RangeSums sums = app_test::JournalSums(p.Dir().DataDir(), c.from, c.to);
    if (sums.documents >= 0) {
      EXPECT_EQ(sums.documents, static_cast<int>(expected.size()));
      EXPECT_EQ(sums.receipts, receipts);
      EXPECT_EQ(sums.expenses, expenses);
    }
    EXPECT_FALSE(DataSestavy->SesPlatebna->Active());
  }
}

// A zero amount is an expense of 0,00; totals of many cents add up to the
// cent (a single-precision sum of 1000 x 123,45 gives 123451,17).
TEST(CashBookGui, ZeroAmountsAndTotalsOfAThousandReceipts) {
  RangeProgram p(1000, false);
  std::vector<app_test::TypedAmount> rows(1000, {"P01", 123.45});
  rows[0] = {"V01", 0.0};
  app_test::RewriteJournal(p.Dir(), rows);
  p.Start();
  p.Run(kCashBook, RangeAnswer{});
  const ReportCapture capture = p.Capture();
  const CashBook book = ReadCashBook(capture);
  ASSERT_EQ(book.documents.size(), 1000u);
  EXPECT_EQ(Cell(book.documents[0], cExpense), "0,00");
  EXPECT_EQ(Cell(book.documents[0], cReceipt), "");
  ASSERT_NE(book.total, nullptr);
  EXPECT_EQ(Cell(*book.total, cReceipt), "123326,55");  // 999 x 123,45
  EXPECT_EQ(Cell(*book.total, cExpense), "0,00");
  app_test::RangeSums sums = app_test::JournalSums(p.Dir().DataDir(), "01.01.2024", "31.12.2024");
  if (sums.documents >= 0) {
    EXPECT_EQ(sums.receipts, 12332655);
  }
}

TEST(CashBookCrosscheck, PrintedCashBookIsAValidPdfWithTheCzechTexts) {
  if (std::string missing = PdfToolMissing(); !missing.empty()) {
    GTEST_SKIP() << missing << " is not installed";
  }
  RangeProgram p(300);
  p.Run(kCashBook, RangeAnswer{});
  ASSERT_EQ(p.Fake().jobs.size(), 1u);
  TempDir dir;
  const std::string pdf = dir.Path() + "book.pdf";
  std::ofstream(pdf, std::ios::binary) << p.Fake().jobs[0].pdf;
  ToolRun check = QpdfCheck(pdf);
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_NE(PdfFonts(pdf).find("LiberationSans"), std::string::npos) << PdfFonts(pdf);
  std::string text;
  bool blank = false;
  for (char c : PdfText(pdf)) {
    const bool space = c == ' ' || c == '\n' || c == '\f' || c == '\t';
    if (space && !blank) text += ' ';
    if (!space) text += c;
    blank = space;
  }
  for (const char* expected : {"Pokladní kniha od 01.01.2024 do 31.12.2024", "Pár.doklad", "Popis operace", "Příjmy",
                               "Výdaje", "Zůstatek", "Celkem za sestavu"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  std::set<std::string> descriptions;
  for (const JournalDocument& d : JournalRange(p.Dir().DataDir(), EncodeDate(2024, 1, 1), EncodeDate(2024, 12, 31)))
    descriptions.insert(AnsiToUtf8(d.text));
  for (const std::string& d : descriptions) EXPECT_NE(text.find(d), std::string::npos) << d;
}

// ----------------------------------------------------------------- faults

// A blank or impossible date refuses the report instead of running it over
// a wrong range.
TEST(CashBookGui, UnreadableDatesAreRefused) {
  RangeProgram p(20);
  for (auto [from, to] : {std::pair{"", "31.12.2024"}, std::pair{"01.01.2024", "31.02.2024"}}) {
    SCOPED_TRACE(std::string(from) + " - " + to);
    p.Run(kCashBook, RangeAnswer{.from = from, .to = to, .exportData = true});
    EXPECT_EQ(p.Boxes, (std::vector<AnsiString>{Cz("Zadejte platné datum od i do.")}));
    EXPECT_FALSE(p.Printed());
    EXPECT_FALSE(DataSestavy->SesPlatebna->Active());
    DIR* documents = opendir(p.Documents().c_str());
    int files = 0;
    if (documents) {
      while (dirent* e = readdir(documents)) files += e->d_name[0] != '.';
      closedir(documents);
    }
    EXPECT_EQ(files, 0);
  }
  p.Run(kCashBook, RangeAnswer{});
  EXPECT_TRUE(p.Boxes.empty());
  EXPECT_TRUE(p.Printed());
}

// Two runs in a row both print, and no descriptor of the index file stays
// open after them.
TEST(CashBookGui, RunsInARowLeaveTheIndexFileClosed) {
  RangeProgram p(20);
  auto openIndexes = [&] {
    int count = 0;
    DIR* fds = opendir("/proc/self/fd");
    while (dirent* e = readdir(fds)) {
      char target[4096];
      const std::string link = std::string("/proc/self/fd/") + e->d_name;
      const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
      if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == p.Dir().Data("Pla0001.cdx")) ++count;
    }
    closedir(fds);
    return count;
  };
  const int before = openIndexes();
  for (int run = 0; run < 2; ++run) {
    p.Run(kCashBook, RangeAnswer{});
    EXPECT_TRUE(p.Boxes.empty());
    EXPECT_TRUE(p.Printed());
    EXPECT_EQ(openIndexes(), before);
    EXPECT_EQ(DataSestavy->SesPlatebna->IndexName(), "");
  }
}

}  // namespace

namespace {

// Another workstation holds the journal's index lock past the engine's
// retries: the run fails ("Ošetření vyjímky") and leaves the report cursor
// closed with no tag, so the next run prints once the lock is free.
TEST(CashBookMultiprocess, AFailedRunDoesNotBreakTheNextOne) {
  RangeProgram p(20);
  const std::string table = p.Dir().Data("Pla0001.dbf");
  const std::string index = p.Dir().Data("Pla0001.cdx");
  ChildProcess child([&](Channel& channel) {
    XBO_dBHandler other(table, true, true, "");
    other.SetLockProtocol(TxbLokProtocol::ClipLock);
    other.OpenIndexFile(index);
    other.LockIndexes();
    channel.Send("holding");
    if (channel.Receive(60000) != "release") return 2;
    other.UnlockIndexes();
    channel.Send("released");
    return 0;
  });
  ASSERT_EQ(child.channel().Receive(), "holding");
  int pauses = 0;
  auto previous = SetSleepHook([&](int) { ++pauses; });
  p.Run(kCashBook, RangeAnswer{});
  SetSleepHook(previous);
  EXPECT_GE(pauses, 99);
  EXPECT_EQ(p.Boxes, (std::vector<AnsiString>{Cz("Ošetření vyjímky")}));
  EXPECT_FALSE(p.Printed());
  EXPECT_FALSE(DataSestavy->SesPlatebna->Active());
  EXPECT_EQ(DataSestavy->SesPlatebna->IndexName(), "");
  EXPECT_EQ(Screen->Cursor(), crDefault);

  child.channel().Send("release");
  EXPECT_EQ(child.channel().Receive(), "released");
  EXPECT_EQ(child.Wait(), 0);
  p.Run(kCashBook, RangeAnswer{});
  EXPECT_TRUE(p.Boxes.empty());
  EXPECT_TRUE(p.Printed());
}

}  // namespace
