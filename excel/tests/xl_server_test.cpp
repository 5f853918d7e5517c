// The in-process spreadsheet model: addresses, typed entry, sheet rules,
// events and saving.
#include <gtest/gtest.h>

#include "excel/server/xl_app.h"
#include "excel/server/xl_range.h"
#include "excel/server/xl_typed_entry.h"

using namespace xl;

TEST(XlAddress, ParsesCellsAreasColumnsAndRows) {
  struct Row {
    const char* text;
    bool ok;
    CellRect rect;
    const char* back;
  } rows[] = {
      {"A1", true, {0, 0, 0, 0}, "A1"},
      {"$B$2", true, {1, 1, 1, 1}, "B2"},
      {"b$3", true, {2, 1, 2, 1}, "B3"},
      {"A1:D4", true, {0, 0, 3, 3}, "A1:D4"},
      {"D4:A1", true, {0, 0, 3, 3}, "A1:D4"},
      {"IV65536", true, {65535, 255, 65535, 255}, "IV65536"},
      {"A:C", true, {0, 0, 65535, 2}, "A:C"},
      {"$B:$B", true, {0, 1, 65535, 1}, "B:B"},
      {"3:5", true, {2, 0, 4, 255}, "3:5"},
      {"IW1", false, {}, ""},
      {"A0", false, {}, ""},
      {"A65537", false, {}, ""},
      {"A01", false, {}, ""},
      {"", false, {}, ""},
      {"$", false, {}, ""},
      {"A$", false, {}, ""},
      {"A1:B", false, {}, ""},
      {"A1:", false, {}, ""},
      {"ABC1", false, {}, ""},
      {"1A", false, {}, ""},
      {"A1 ", false, {}, ""},
      {"A", false, {}, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    CellRect rect;
    ASSERT_EQ(ParseA1(row.text, rect), row.ok);
    if (!row.ok) continue;
    EXPECT_EQ(rect, row.rect);
    EXPECT_EQ(FormatA1(rect, false, false), row.back);
  }
  EXPECT_EQ(FormatA1({1, 1, 2, 2}, true, true), "$B$2:$C$3");
}

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "excel/server/xl_autofit.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/documents_folder.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

namespace {

std::shared_ptr<IWorksheet> NewSheet(const std::shared_ptr<IApplication>& app) {
  app->SetSheetsInNewWorkbook(1);
  return app->Workbooks()->Add(Variant())->Worksheets()->Item(1);
}

// Records the events a server fires.
struct EventRecorder : IEventSink {
  std::vector<int> ids;
  bool cancelSave = false;
  bool cancelClose = false;
  void Invoke(int dispId, const std::vector<OleArg>& args, const NamedArgs&) override {
    ids.push_back(dispId);
    if (dispId == kWorkbookBeforeSave && cancelSave) *args.front().byRef = true;
    if (dispId == kWorkbookBeforeClose && cancelClose) *args.front().byRef = true;
  }
};

// Sets an environment variable for the scope of a test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old, had_ = true;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

}  // namespace

TEST(XlServer, OffsetAndResizeStayOnTheSheet) {
  auto app = CreateInProcessExcel();
  auto sheet = NewSheet(app);
  auto a1 = sheet->Range("A1", "A1");
  EXPECT_EQ(a1->Offset(65535, 255)->Address(false, false), "IV65536");
  EXPECT_EQ(a1->Resize(65536, 256)->Address(false, false), "1:65536");
  EXPECT_EQ(sheet->Range("C5", "C5")->Range("A1", "B2")->Address(true, true), "$C$5:$D$6");
  for (auto call : std::vector<std::function<void()>>{
           [&] { a1->Offset(-1, 0); }, [&] { a1->Offset(65536, 0); }, [&] { a1->Offset(0, 256); },
           [&] { a1->Offset(1, 1)->Resize(65536, 1); }, [&] { a1->Resize(0, 1); },
           [&] { sheet->Range("B2", "B2")->Range("IV1", "IV1"); }}) {
    EXPECT_THROW(call(), EOleException);
  }
}

TEST(XlServer, TypedEntryKeepsTextsThatAreNotExactlyNumbersOrDates) {
  auto app = CreateInProcessExcel();
  auto sheet = NewSheet(app);
  auto cell = sheet->Range("A1", "A1");
  struct Row {
    const char* entered;
    TVarType type;
    const char* shown;
  } rows[] = {
      {"1234,5", varDouble, "1234,5"},   {"-500", varDouble, "-500"},
      {"0", varDouble, "0"},             {"0001", varString, "0001"},
      {"31.12.2024", varDate, "31.12.2024"}, {"01.03.1900", varDate, "01.03.1900"},
      {"28.02.1900", varString, "28.02.1900"}, {"31.02.2024", varString, "31.02.2024"},
      {"1 234,50", varString, "1 234,50"}, {"12.5.2024", varString, "12.5.2024"},
      {"-0", varString, "-0"},           {"1234.5", varString, "1234.5"},
      {"1,50", varString, "1,50"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.entered);
    cell->SetValue(Variant(row.entered));
    EXPECT_EQ(cell->Value().VarType(), row.type);
    EXPECT_EQ(VariantDisplayText(cell->Value()), row.shown);
  }
  cell->SetValue(Variant(true));
  EXPECT_EQ(cell->Value().VarType(), varBoolean);
  EXPECT_NO_THROW(cell->SetValue(Variant(AnsiString(32767, 'x'))));
  EXPECT_THROW(cell->SetValue(Variant(AnsiString(32768, 'x'))), EOleException);
  EXPECT_EQ(cell->Value().AsString().size(), 32767u);
  EXPECT_EQ(VariantDisplayText(sheet->Range("A1", "B2")->Value().Element(1).Element(1)), AnsiString(32767, 'x'));
  EXPECT_THROW(VariantDisplayText(sheet->Range("A1", "B2")->Value()), EOleException);
}

TEST(XlServer, SheetNamesFollowTheFileFormatsRules) {
  auto app = CreateInProcessExcel();
  app->SetSheetsInNewWorkbook(2);
  auto book = app->Workbooks()->Add(Variant());
  EXPECT_EQ(book->Name(), Cz("Sešit1"));
  auto first = book->Worksheets()->Item(1);
  EXPECT_EQ(first->Name(), "List1");
  EXPECT_EQ(book->Worksheets()->Item(2)->Name(), "List2");
  for (const char* bad : {"", "a:b", "a\\b", "a/b", "a?b", "a*b", "a[b", "a]b", "list2", "0123456789012345678901234567890X"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(first->SetName(bad), EOleException);
  }
  first->SetName(Cz("Přehled 2024"));
  EXPECT_EQ(first->Name(), Cz("Přehled 2024"));
  auto added = book->Worksheets()->Add(book->Worksheets()->Item(2));
  EXPECT_EQ(added->Name(), "List3");
  EXPECT_EQ(added->Index(), 3);
  EXPECT_EQ(app->ActiveSheet()->Name(), "List3");
  added->Delete();
  book->Worksheets()->Item(2)->Delete();
  EXPECT_THROW(book->Worksheets()->Item(1)->Delete(), EOleException);
  EXPECT_THROW(added->Name(), EOleException);
  EXPECT_THROW(app->Workbooks()->Open("x.xls"), EOleException);
}

TEST(XlServer, EventsFireOnlyWhileEnabled) {
  auto app = CreateInProcessExcel();
  auto* container = static_cast<IConnectionPointContainer*>(app->QueryInterface(IID_IConnectionPointContainer));
  ASSERT_NE(container, nullptr);
  EXPECT_EQ(container->FindConnectionPoint(IID_Range), nullptr);
  EventRecorder recorder;
  uint32_t cookie = container->FindConnectionPoint(DIID_AppEvents)->Advise(&recorder);
  app->SetSheetsInNewWorkbook(1);
  auto book = app->Workbooks()->Add(Variant());
  auto sheet = book->Worksheets()->Item(1);
  sheet->Range("A1", "A1")->SetValue(Variant(1));
  sheet->Range("A1", "A1")->Select();
  book->Worksheets()->Add(sheet);
  EXPECT_EQ(recorder.ids, (std::vector<int>{kNewWorkbook, kWorkbookActivate, kSheetChange, kSheetSelectionChange,
                                            kSheetDeactivate, kWorkbookNewSheet, kSheetActivate}));
  recorder.ids.clear();
  app->SetEnableEvents(false);
  sheet->Range("A1", "A1")->ClearContents();
  EXPECT_TRUE(recorder.ids.empty());
  container->FindConnectionPoint(DIID_AppEvents)->Unadvise(cookie);
}

TEST(XlServer, ACancelledSaveWritesNothing) {
  TempDir dir;
  dir.Write("kept.xls", "old bytes");
  auto app = CreateInProcessExcel();
  auto* container = static_cast<IConnectionPointContainer*>(app->QueryInterface(IID_IConnectionPointContainer));
  EventRecorder recorder;
  recorder.cancelSave = true;
  container->FindConnectionPoint(DIID_AppEvents)->Advise(&recorder);
  auto book = app->Workbooks()->Add(Variant());
  EXPECT_EQ(ErrorMessage([&] { book->SaveAs(dir.File("kept.xls")); }), "Saving was cancelled");
  EXPECT_EQ(ErrorMessage([&] { book->SaveAs(dir.File("new.xls")); }), "Saving was cancelled");
  EXPECT_EQ(dir.Read("kept.xls"), "old bytes");
  EXPECT_FALSE(FileExists(dir.File("new.xls")));
  recorder.cancelSave = false;
  book->SaveAs(dir.File("kept.xls"));
  EXPECT_EQ(dir.Read("kept.xls").substr(0, 4), "\xD0\xCF\x11\xE0");
  EXPECT_EQ(book->Name(), "kept.xls");
}

TEST(XlServer, DocumentsFolderLookupAndSavingANewWorkbookThere) {
  TempDir dir;
  TempDir bin;
  ScopedEnv home("HOME", dir.Path() + "home");
  ScopedEnv config("XDG_CONFIG_HOME", dir.Path() + "config");
  mkdir((dir.Path() + "home").c_str(), 0755);
  mkdir((dir.Path() + "config").c_str(), 0755);
  // Debian's xdg-user-dir when installed, else a stand-in that behaves as
  // it does: the configured directory, else the home directory.
  if (access("/usr/bin/xdg-user-dir", X_OK) == 0) {
    ASSERT_EQ(symlink("/usr/bin/xdg-user-dir", bin.File("xdg-user-dir").c_str()), 0);
  } else {
    std::ofstream tool(bin.File("xdg-user-dir"));
    tool << "#!/bin/sh\n. \"$XDG_CONFIG_HOME/user-dirs.dirs\" 2>/dev/null\n"
            "eval echo \\${XDG_${1}_DIR:-$HOME}\n";
    tool.close();
    chmod(bin.File("xdg-user-dir").c_str(), 0755);
  }
  struct Row {
    const char* name;
    std::string path;
    bool userDirs;
    std::string expected;
  } rows[] = {
      {"no tool on PATH", dir.Path() + "empty", false, dir.Path() + "home/Documents/"},
      {"tool without a user-dirs file answers home", bin.Path(), false, dir.Path() + "home/Documents/"},
      {"configured folder", bin.Path(), true, dir.Path() + "home/Dokumenty/"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScopedEnv path("PATH", row.path);
    if (row.userDirs) {
      std::ofstream f(dir.Path() + "config/user-dirs.dirs");
      f << "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n";
    }
    EXPECT_EQ(DocumentsFolder(), row.expected);
    EXPECT_TRUE(DirectoryExists(row.expected));
  }
  ScopedEnv path("PATH", dir.Path() + "empty");
  auto app = CreateInProcessExcel();
  auto book = app->Workbooks()->Add(Variant());
  book->Save();
  EXPECT_TRUE(FileExists(dir.Path() + "home/Documents/" + Cz("Sešit1.xls")));
  EXPECT_TRUE(std::ifstream(dir.Path() + "home/Documents/Sešit1.xls").good());
}

TEST(XlServer, AutoFitMeasuresTheShownTextAndColumnWidthRoundTrips) {
  auto app = CreateInProcessExcel();
  auto sheet = NewSheet(app);
  auto a = sheet->Range("A1", "A1");
  a->SetValue(Variant("0000"));  // a text of four digits: 28 px + 5
  a->Offset(1, 0)->SetValue(Variant("00"));
  a->EntireColumn()->AutoFit();
  EXPECT_DOUBLE_EQ(a->ColumnWidth(), 4.0);
  a->Font()->SetBold(true);
  EXPECT_EQ(TextWidthPixels("W", true), 13);
  sheet->Range("B1", "B1")->EntireColumn()->AutoFit();
  EXPECT_DOUBLE_EQ(sheet->Range("B1", "B1")->ColumnWidth(), 8.0);  // empty: standard
  sheet->Range("C1", "C1")->SetColumnWidth(20);
  EXPECT_DOUBLE_EQ(sheet->Range("C1", "C1")->ColumnWidth(), 20.0);
  EXPECT_EQ(ColumnWidthFromCharacters(20), 5303);  // (140 + 5) px
}

TEST(XlServer, ACancelledCloseKeepsTheWorkbookExceptWhenQuitting) {
  auto app = CreateInProcessExcel();
  auto* container = static_cast<IConnectionPointContainer*>(app->QueryInterface(IID_IConnectionPointContainer));
  EventRecorder recorder;
  recorder.cancelClose = true;
  container->FindConnectionPoint(DIID_AppEvents)->Advise(&recorder);
  auto book = app->Workbooks()->Add(Variant());
  auto cell = book->Worksheets()->Item(1)->Range("A1", "A1");
  book->Close(false);
  EXPECT_EQ(app->Workbooks()->Count(), 1);
  app->Quit();
  EXPECT_EQ(app->Workbooks()->Count(), 0);
  EXPECT_THROW(book->Name(), EOleException);
  EXPECT_THROW(cell->SetValue(Variant(1)), EOleException);  // a closed workbook's cells are gone
  EXPECT_EQ(app->Selection(), nullptr);
}
