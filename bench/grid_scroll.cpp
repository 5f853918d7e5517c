// Scrolling the data-aware grid page by page over a large journal, against
// Qt's own QTableView over a QAbstractTableModel of the same data.
//
// The journal has twelve columns (a date, texts, amounts shown as
// "#,##0.00"); the grid is a TDBGrid of 800 x 600 over a VectorDataSet.
// Each step presses Page Down and renders the whole grid into an image;
// after the steps Ctrl+End and Ctrl+Home are timed once. The baseline view
// formats its cells in data() with the same runtime functions, moves by one
// page per step (Page Down) and is rendered the same way. The program runs
// on the offscreen platform by itself.
// --quick: 2000 rows and 20 pages (CTest keeps the program working);
// otherwise 100000 rows (or --rows=N) and 500 pages (or --pages=N).
#include <stdlib.h>

#include <QAbstractTableModel>
#include <QFont>
#include <QHeaderView>
#include <QImage>
#include <QTableView>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_harness.h"
#include "platform/db/testing/vector_dataset.h"
#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/sysutils.h"
#include "ui/dbgrid/db_grid.h"

namespace {

struct Options {
  int rows = 100000;
  int pages = 500;
};

// One journal record.
struct Record {
  TDateTime date;
  AnsiString number, type, text, person, address, contract, year;
  double income, expense, balance, amount;
};

const char* const kColumns[] = {"PLA_DAT", "PLA_DO1", "PLA_TYP", "PLA_KOM", "PLA_PRI", "PLA_VYD",
                                "PLA_STA", "PLA_KDO", "PLA_BYT", "PLA_SML", "PLA_HOD", "PLA_ROC"};
constexpr int kColumnCount = 12;

std::vector<Record> MakeJournal(int n) {
  std::vector<Record> out;
  out.reserve(static_cast<std::size_t>(n));
  double balance = 0;
  for (int i = 0; i < n; ++i) {
    Record r;
    r.date = EncodeDate(2020, 1, 1) + i / 40;
    r.number = IntToStr(100000 + i);
    // Texts built by Format: GCC 12 warns falsely about short literal
    // concatenations at -O3.
    r.type = Format("P%d", i % 7);
    r.text = Format("Doklad %d hotovost", i);
    r.amount = (i % 3 == 0 ? -1 : 1) * ((i * 7919) % 250000 / 100.0 + 1);
    r.income = r.amount > 0 ? r.amount : 0;
    r.expense = r.amount < 0 ? -r.amount : 0;
    balance += r.amount;
    r.balance = balance;
    r.person = Format("Osoba %d", i % 977);
    r.address = Format("Ulice %d, Brno", i % 311);
    r.contract = Format("S%d", i % 53);
    r.year = "2020";
    out.push_back(std::move(r));
  }
  return out;
}

// The text of a cell, formatted as the grid's fields format it.
AnsiString CellText(const Record& r, int column) {
  switch (column) {
    case 0:
      return FormatDateTime("dd.mm.yyyy", r.date);
    case 1:
      return r.number;
    case 2:
      return r.type;
    case 3:
      return r.text;
    case 4:
      return FormatFloat("#,##0.00", r.income);
    case 5:
      return FormatFloat("#,##0.00", r.expense);
    case 6:
      return FormatFloat("#,##0.00", r.balance);
    case 7:
      return r.person;
    case 8:
      return r.address;
    case 9:
      return r.contract;
    case 10:
      return FormatFloat("#,##0.00", r.amount);
    default:
      return r.year;
  }
}

class JournalModel : public QAbstractTableModel {
 public:
  explicit JournalModel(const std::vector<Record>& rows) : rows_(rows) {}
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : kColumnCount; }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return QVariant();
    if (role == Qt::TextAlignmentRole) {
      bool number = index.column() >= 4 && index.column() <= 6 ? true : index.column() == 10;
      return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole) return QVariant();
    AnsiString text = CellText(rows_[static_cast<std::size_t>(index.row())], index.column());
    return QString::fromStdString(AnsiToUtf8(text));
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole) return QVariant();
    if (orientation == Qt::Horizontal) return QString(kColumns[section]);
    return QVariant();
  }

 private:
  const std::vector<Record>& rows_;
};

double Ms(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
}

struct Timing {
  double perPage = 0;
  double end = 0;
  double home = 0;
};

Timing RunGrid(const std::vector<Record>& journal, int pages) {
  TForm* form = NewForm<TForm>(Application);
  form->SetBounds(0, 0, 820, 640);
  auto* ds = new VectorDataSet(form);
  ds->FieldDefs().Add("PLA_DAT", ftDate);
  for (int c = 1; c < kColumnCount; ++c) {
    bool number = (c >= 4 && c <= 6) || c == 10;
    int size = c == 3 || c == 7 || c == 8 ? 30 : 10;
    if (number)
      ds->FieldDefs().Add(kColumns[c], ftFloat);
    else
      ds->FieldDefs().Add(kColumns[c], ftString, size);
  }
  for (const Record& r : journal)
    ds->AddRow({Variant::FromDateTime(r.date), Variant(r.number), Variant(r.type), Variant(r.text), Variant(r.income),
                Variant(r.expense), Variant(r.balance), Variant(r.person), Variant(r.address), Variant(r.contract),
                Variant(r.amount), Variant(r.year)});
  ds->Open();
  for (const char* name : {"PLA_PRI", "PLA_VYD", "PLA_STA", "PLA_HOD"})
    static_cast<TFloatField*>(ds->FieldByName(name))->SetDisplayFormat("#,##0.00");
  static_cast<TDateTimeField*>(ds->FieldByName("PLA_DAT"))->SetDisplayFormat("dd.mm.yyyy");
  auto* source = new TDataSource(form);
  source->SetDataSet(ds);
  auto* grid = new TDBGrid(form);
  grid->SetParent(form);
  grid->SetBounds(0, 0, 800, 600);
  grid->SetOptions({dgTitles, dgIndicator, dgColLines, dgRowLines, dgTabs, dgRowSelect, dgAlwaysShowSelection});
  grid->SetReadOnly(true);
  grid->SetDataSource(source);
  form->Show();
  Application->ProcessMessages();
  grid->SetFocus();

  auto render = [&] {
    grid->Invalidate();
    QImage image = grid->Widget()->grab().toImage();
    bench::KeepAlive(image);
  };
  Timing t;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < pages; ++i) {
    KeyClick(grid, VK_NEXT);
    render();
  }
  t.perPage = Ms(start) / pages;
  start = std::chrono::steady_clock::now();
  KeyClick(grid, VK_END, {ssCtrl});
  render();
  t.end = Ms(start);
  start = std::chrono::steady_clock::now();
  KeyClick(grid, VK_HOME, {ssCtrl});
  render();
  t.home = Ms(start);
  if (ds->RecNo() != 1) std::fprintf(stderr, "grid_scroll: Ctrl+Home did not reach the first record\n");
  delete form;
  return t;
}

Timing RunBaseline(const std::vector<Record>& journal, int pages) {
  JournalModel model(journal);
  QTableView view;
  QFont font("Liberation Sans");
  font.setPixelSize(11);
  view.setFont(font);
  view.setModel(&model);
  view.setSelectionBehavior(QAbstractItemView::SelectRows);
  view.verticalHeader()->setDefaultSectionSize(18);
  view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view.setGeometry(0, 0, 800, 600);
  view.show();
  view.setCurrentIndex(model.index(0, 0));
  view.setFocus();
  QCoreApplication::processEvents();

  auto render = [&] {
    QImage image = view.grab().toImage();
    bench::KeepAlive(image);
  };
  Timing t;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < pages; ++i) {
    QTest::keyClick(&view, Qt::Key_PageDown);
    render();
  }
  t.perPage = Ms(start) / pages;
  start = std::chrono::steady_clock::now();
  QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
  render();
  t.end = Ms(start);
  start = std::chrono::steady_clock::now();
  QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
  render();
  t.home = Ms(start);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QT_FONT_DPI", "96", 1);
  Options options;
  if (bench::QuickRun(argc, argv)) {
    options.rows = 2000;
    options.pages = 20;
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--rows=", 7) == 0) options.rows = std::max(100, std::atoi(argv[i] + 7));
    if (std::strncmp(argv[i], "--pages=", 8) == 0) options.pages = std::max(1, std::atoi(argv[i] + 8));
  }
  Application->Initialize(argc, argv);
  SetFontSubstitutes("Liberation Sans", "DejaVu Sans");
  std::vector<Record> journal = MakeJournal(options.rows);

  Timing grid = RunGrid(journal, options.pages);
  Timing base = RunBaseline(journal, options.pages);
  std::printf("grid_scroll: %d rows x %d columns, %d pages of Page Down, each rendered in full (800 x 600)\n",
              options.rows, kColumnCount, options.pages);
  std::printf("  TDBGrid:                %8.3f ms/page  %8.1f pages/s  Ctrl+End %.2f ms  Ctrl+Home %.2f ms\n",
              grid.perPage, 1000.0 / grid.perPage, grid.end, grid.home);
  std::printf("  baseline (QTableView):  %8.3f ms/page  %8.1f pages/s  Ctrl+End %.2f ms  Ctrl+Home %.2f ms\n",
              base.perPage, 1000.0 / base.perPage, base.end, base.home);
  std::printf("  ratio grid/baseline: %.3f\n", base.perPage > 0 ? grid.perPage / base.perPage : 0.0);
  std::fflush(stdout);
  Application->Shutdown();
  return 0;
}
