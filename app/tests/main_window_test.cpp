// The main window on the offscreen platform, started by the same sequence
// as the program: layout, order and position of the journal, keys, menu,
// geometry kept in the settings file, and the busy window during the long
// loops.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <memory>

#include "app/data_module.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/progress_window.h"
#include "app/tests/program_scope.h"
#include "app/tests/temp_data_dir.h"
#include "dbase/handler/table_handler.h"
#include "platform/gui/application.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/inifiles.h"

namespace {

using app_test::Chain;
using app_test::ProgramScope;
using app_test::ChainBreak;
using app_test::SettingsText;
using app_test::TempDataDir;
using app_test::WriteJournal;

// Counts the runs of a button's command (its OnClick slot).
struct SlotCounter {
  int runs = 0;
  void Watch(TButton* button) {
    button->OnClick = [this](TObject*) { ++runs; };
  }
};

TRect BoundsOf(const TCustomForm* form) { return Bounds(form->Left(), form->Top(), form->Width(), form->Height()); }

std::string IniValue(const TempDataDir& dir, const char* key) {
  return TIniFile(dir.IniPath()).ReadString("Platebna", key, "(none)");
}

// ----------------------------------------------------------------- layout

TEST(MainWindowGui, StartsOnTheLastDocumentInDateOrderWithTheGridFocused) {
  TempDataDir dir(60);
  ProgramScope program;
  EXPECT_EQ(Platebna->Caption(), Cz("Kelvo - Pokladní deník 1.20"));
  EXPECT_EQ(Application->Title(), "Morvake CRM Platebna");
  EXPECT_EQ(Application->MainForm(), Platebna);
  TXbaseDataSet& j = *Data->Platebna;
  EXPECT_EQ(j.IndexName(), "DAT");

  // The latest date, and of its documents the highest record number.
  auto all = app_test::OpenTable(dir.DataDir(), "Pla0001.dbf");
  std::pair<double, int> latest{-1, 0};
  for (all->First(); !all->Eof(); all->Next())
    latest = std::max(latest, std::pair<double, int>{all->FieldByName("PLA_DAT")->AsDateTime(), all->RecNo()});
  EXPECT_EQ(j.RecNo(), latest.second);

  EXPECT_TRUE(Platebna->DBGrid1->Focused());
  KeyClick(Platebna->DBGrid1, VK_HOME, {ssCtrl});
  std::pair<double, int> previous{-1, 0};
  for (int row = 0; row < 25; ++row) {
    const std::pair<double, int> current{j.FieldByName("PLA_DAT")->AsDateTime(), j.RecNo()};
    EXPECT_LT(previous, current) << "row " << row;
    previous = current;
    KeyClick(Platebna->DBGrid1, VK_DOWN);
  }
}

TEST(MainWindowGui, ColumnsMenuAndNavigatorAreThoseOfTheJournal) {
  TempDataDir dir(-1);
  WriteJournal(dir.DataDir(), "Pla0001", {{2024, 5, 2, "1", 1234.5, 1234.5}, {2024, 5, 3, "2", -34.5, 1200}});
  MessageBoxRecorder boxes;  // no branches table to index
  ProgramScope program;
  const std::vector<std::string> titles = {"Datum",     "Doklad",
                                           "Typ",       "Popis operace",
                                           "Příjmy",    "Výdeje",
                                           "Zůstatek",  "Příjato od, Vydáno komu",
                                           "Adresa příjemce, výdejce", "Pár.doklad",
                                           "Částka",    "Identifikace"};
  TDBGridColumns& columns = *Platebna->DBGrid1->Columns();
  ASSERT_EQ(columns.Count(), 12);
  for (int i = 0; i < columns.Count(); ++i) EXPECT_EQ(columns[i]->Title()->Caption(), Cz(titles[static_cast<std::size_t>(i)]));
  EXPECT_EQ(columns[3]->Width(), 186);
  EXPECT_EQ(columns[6]->Width(), 68);
  EXPECT_TRUE(Platebna->DBGrid1->ReadOnly());

  TXbaseDataSet& j = *Data->Platebna;
  j.SetIndexName("");
  j.First();
  EXPECT_EQ(columns[4]->Field()->DisplayText(), "1\xA0" "234,50");
  EXPECT_EQ(columns[5]->Field()->DisplayText(), "0,00");
  EXPECT_EQ(columns[10]->Field()->DisplayText(), "1\xA0" "234,50");
  EXPECT_EQ(columns[0]->Field()->DisplayText(), "02.05.2024");
  j.Next();
  EXPECT_EQ(columns[4]->Field()->DisplayText(), "0,00");
  EXPECT_EQ(columns[5]->Field()->DisplayText(), "34,50");

  struct Menu {
    const char* caption;
    std::vector<const char*> items;
  };
  const Menu menus[] = {
      {"Doklad", {"Nový doklad", "Oprava dokladu"}},
      {"Hledej", {}},
      {"Sestavy", {"Pokladní kniha", "Sestava rozložení příjmů a výdajů"}},
      {"Konfigurace",
       {"Údaje o firmě", "Typy příjmů a výdejů", "Indexace souborů", "Systémová nastavení", "Přepočet zůstatků"}},
      {"Konec", {}},
  };
  TMenuItem* bar = Platebna->MainMenu1->Items();
  ASSERT_EQ(bar->Count(), 5);
  for (int i = 0; i < bar->Count(); ++i) {
    const Menu& m = menus[i];
    EXPECT_EQ(bar->Items(i)->Caption(), Cz(m.caption));
    ASSERT_EQ(bar->Items(i)->Count(), static_cast<int>(m.items.size())) << m.caption;
    for (int k = 0; k < bar->Items(i)->Count(); ++k)
      EXPECT_EQ(bar->Items(i)->Items(k)->Caption(), Cz(m.items[static_cast<std::size_t>(k)]));
  }
  for (int b = 0; b < kNavButtonCount; ++b) {
    const auto button = static_cast<TNavigateBtn>(b);
    EXPECT_EQ(Platebna->DBNavigator1->Button(button)->Visible(), b <= nbLast) << b;
  }
}

// ---------------------------------------------------------------- position

TEST(MainWindowGui, GeometryIsRestoredAndWrittenBackByEveryWayOfClosing) {
  TempDataDir dir(10);
  const std::string settings = SettingsText(dir.DataDir()) + "PlatebnaT=100\r\nPlatebnaL=120\r\nPlatebnaH=400\r\nPlatebnaW=600\r\n";
  dir.WriteSettings(settings);
  {
    ProgramScope program;
    EXPECT_EQ(BoundsOf(Platebna), Bounds(120, 100, 600, 400));
    Platebna->Konec2->Click();
    EXPECT_TRUE(Application->Terminated()) << "closing the main window ends the program";
  }
  EXPECT_EQ(dir.ReadSettings(), settings) << "an open and close without moving changes nothing";

  const std::function<void()> closers[] = {
      [] { Platebna->Konec2->Click(); },
      [] { Platebna->Widget()->close(); },
      [] { KeyClick(Platebna->DBGrid1, VK_F4, {ssAlt}); },
  };
  int i = 0;
  for (const auto& close : closers) {
    SCOPED_TRACE(i);
    const TRect moved = Bounds(130 + 10 * i, 140 + 5 * i, 610 + i, 410 + i);
    {
      ProgramScope program;
      Platebna->SetBoundsRect(moved);
      ProgramScope::Settle();
      close();
      ProgramScope::Settle();
      EXPECT_TRUE(Application->Terminated());
    }
    EXPECT_EQ(IniValue(dir, "PlatebnaT"), IntToStr(moved.Top));
    EXPECT_EQ(IniValue(dir, "PlatebnaL"), IntToStr(moved.Left));
    EXPECT_EQ(IniValue(dir, "PlatebnaH"), IntToStr(moved.Height()));
    EXPECT_EQ(IniValue(dir, "PlatebnaW"), IntToStr(moved.Width()));
    {
      ProgramScope program;
      EXPECT_EQ(BoundsOf(Platebna), moved);
    }
    ++i;
  }
}

TEST(MainWindowGui, MinimisedWindowSavesItsRestoredGeometry) {
  TempDataDir dir(5);
  ProgramScope program;
  Platebna->SetBounds(70, 80, 590, 370);
  Platebna->SetWindowState(wsMinimized);
  ProgramScope::Settle();
  Platebna->Close();
  EXPECT_EQ(IniValue(dir, "PlatebnaT"), "80");
  EXPECT_EQ(IniValue(dir, "PlatebnaL"), "70");
  EXPECT_EQ(IniValue(dir, "PlatebnaH"), "370");
  EXPECT_EQ(IniValue(dir, "PlatebnaW"), "590");
}

TEST(MainWindowGui, PositionOnNoScreenGivesTheDefaults) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const int right = area.x() + area.width();
  const int bottom = area.y() + area.height();
  const TRect defaults = Bounds(50, 50, 580, 365);
  struct Case {
    const char* what;
    TRect stored;
    bool kept;
  };
  const Case cases[] = {
      {"far away", Bounds(5000, 5000, 600, 400), false},
      {"above the screen", Bounds(100, area.y() - 300, 600, 400), false},
      {"99 pixels of the title bar", Bounds(right - 99, 100, 600, 400), false},
      {"100 pixels of the title bar", Bounds(right - 100, 100, 600, 400), true},
      {"19 rows of the title bar", Bounds(100, bottom - 19, 600, 400), false},
      {"20 rows of the title bar", Bounds(100, bottom - 20, 600, 400), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDataDir dir(3);
    dir.WriteSettings(SettingsText(dir.DataDir()) + "PlatebnaT=" + IntToStr(c.stored.Top) + "\r\nPlatebnaL=" +
                      IntToStr(c.stored.Left) + "\r\nPlatebnaH=" + IntToStr(c.stored.Height()) +
                      "\r\nPlatebnaW=" + IntToStr(c.stored.Width()) + "\r\n");
    ProgramScope program;
    EXPECT_EQ(BoundsOf(Platebna), c.kept ? c.stored : defaults);
  }
}

TEST(MainWindowGui, WithoutSettingsFileNothingIsWritten) {
  TempDataDir dir(3, false);
  MessageBoxRecorder boxes;
  {
    ProgramScope program;
    EXPECT_EQ(BoundsOf(Platebna), Bounds(50, 50, 580, 365));
    Platebna->Konec2->Click();
  }
  EXPECT_FALSE(FileExists(dir.IniPath()));
  EXPECT_FALSE(boxes.Boxes().empty());
}

TEST(MainWindowGui, DialogsArePlacedBesideTheMainWindow) {
  struct Case {
    TDialogPlacement kind;
    int top, left;
    TPoint expected;
  };
  const Case cases[] = {
      {TDialogPlacement::EntryForm, 100, 50, Point(190, 80)},
      {TDialogPlacement::EntryForm, 20, 50, Point(190, 20)},
      {TDialogPlacement::EntryForm, 21, 50, Point(190, 1)},
      {TDialogPlacement::TypePicker, 100, 50, Point(270, 160)},
      {TDialogPlacement::DateRange, 100, 50, Point(180, 170)},
      {TDialogPlacement::SystemSettings, 100, 50, Point(150, 130)},
  };
  for (const Case& c : cases) EXPECT_EQ(DialogPosition(c.kind, c.top, c.left), c.expected) << c.top;
  auto* main = NewForm<TForm>(nullptr);
  auto* dialog = NewForm<TForm>(nullptr);
  main->SetBounds(40, 100, 500, 300);
  dialog->SetBounds(0, 0, 200, 150);
  PlaceDialog(dialog, main, TDialogPlacement::TypePicker);
  EXPECT_EQ(BoundsOf(dialog), Bounds(260, 160, 200, 150));
  delete dialog;
  delete main;
}

// -------------------------------------------------------------------- keys

TEST(MainWindowGui, FunctionKeysRunTheirCommandsAndAltF4Closes) {
  TempDataDir dir(10);
  ProgramScope program;
  SlotCounter search, add, correct, print;
  search.Watch(Platebna->Button1);
  add.Watch(Platebna->Button2);
  correct.Watch(Platebna->Button3);
  print.Watch(Platebna->Button4);
  TControl* grid = Platebna->DBGrid1;
  KeyClick(grid, VK_F5);
  KeyClick(grid, VK_F2);
  KeyClick(grid, VK_F8);
  KeyClick(grid, VK_F4);
  KeyClick(grid, VK_F4, {ssShift});
  EXPECT_EQ(search.runs, 1);
  EXPECT_EQ(add.runs, 1);
  EXPECT_EQ(print.runs, 1);
  EXPECT_EQ(correct.runs, 2);
  // The menu items of the same commands run them too.
  Platebna->Novdoklad1->Click();
  Platebna->Opravadokladu1->Click();
  Platebna->Hledej1->Click();
  EXPECT_EQ(add.runs, 2);
  EXPECT_EQ(correct.runs, 3);
  EXPECT_EQ(search.runs, 2);

  KeyClick(grid, VK_F4, {ssAlt});
  ProgramScope::Settle();
  EXPECT_EQ(correct.runs, 3);
  EXPECT_TRUE(Application->Terminated());
}

// ------------------------------------------------------------ long commands

TEST(MainWindowGui, ReindexingFromTheMenuShowsProgressAndKeepsTheOrder) {
  TempDataDir dir(40);
  ProgramScope program;
  TXbaseDataSet& j = *Data->Platebna;
  ASSERT_EQ(j.IndexName(), "DAT");
  std::vector<std::string> labels;
  bool shownWithCaption = true;
  SlotCounter add;
  add.Watch(Platebna->Button2);
  auto inner = j.OnStatus;
  j.OnStatus = [&](TObject* sender, int status, int current, int total) {
    inner(sender, status, current, total);
    if (status == -1 && current == 1 && Data->ProgressWin) {
      labels.push_back(Data->ProgressWin->Label1->Caption());
      shownWithCaption = shownWithCaption && Data->ProgressWin->Showing() &&
                         Data->ProgressWin->Caption() == Cz("Indexace datových souborů") &&
                         Data->ProgressWin->Label2->Caption() == "Indexace souboru :";
      // The main window takes no input meanwhile.
      KeyClick(Platebna->DBGrid1, VK_F2);
    }
  };
  Platebna->Indexacesoubor1->Click();
  j.OnStatus = inner;
  EXPECT_EQ(labels.size(), 8u);
  EXPECT_TRUE(shownWithCaption);
  EXPECT_EQ(add.runs, 0);
  EXPECT_EQ(Data->ProgressWin, nullptr);
  EXPECT_TRUE(j.Active());
  EXPECT_EQ(j.IndexName(), "DAT");
  EXPECT_EQ(j.IndexTagCount(), 8);
  EXPECT_TRUE(Platebna->DBGrid1->DataLink()->Active());
  EXPECT_GT(Platebna->DBGrid1->DataLink()->RecordCount(), 5);
  KeyClick(Platebna->DBGrid1, VK_F2);
  EXPECT_EQ(add.runs, 1) << "input is accepted again";
}

TEST(MainWindowGui, InputDuringTheRecalculationTakesNoEffect) {
  TempDataDir dir(5000);
  {
    XBO_dBHandler table(dir.Data("Pla0001.dbf"), true, true, "");
    for (int n : {2, 1000, 2500, 4999}) {
      table.GoRecord(n);
      ASSERT_TRUE(table.LockCurrentRecord());
      table.PutNumber("PLA_STA", -1);
      table.WriteRecord(n);
      table.ReleaseLock();
    }
  }
  ProgramScope program;
  SlotCounter add;
  add.Watch(Platebna->Button2);
  TDBGrid* grid = Platebna->DBGrid1;
  bool walking = false;
  int sentDuringWalk = 0;
  auto* timer = new TTimer(Platebna);
  timer->SetInterval(5);
  timer->OnTimer = [&](TObject*) {
    if (!walking || sentDuringWalk >= 5) return;
    switch (sentDuringWalk++) {
      case 0: KeyClick(grid, VK_DOWN); break;
      case 1: KeyClick(grid, VK_PRIOR); break;
      case 2: MouseClick(grid, 60, grid->ClientHeight() / 2); break;
      case 3: KeyClick(grid, VK_F2); break;
      case 4: Platebna->Widget()->close(); break;
    }
  };
  walking = true;
  Platebna->Pepoetzstatk1->Click();
  walking = false;
  timer->SetEnabled(false);
  EXPECT_EQ(sentDuringWalk, 5) << "the timer fired during the walk";
  EXPECT_EQ(add.runs, 0);
  EXPECT_FALSE(Application->Terminated()) << "the window refused to close";
  EXPECT_FALSE(Data->Platebna->ControlsDisabled());
  EXPECT_EQ(Data->Platebna->IndexName(), "DAT");
  EXPECT_EQ(ChainBreak(Chain(dir.DataDir(), "Pla0001.dbf")), -1);
  KeyClick(grid, VK_F2);
  EXPECT_EQ(add.runs, 1) << "the window takes input again";
}

}  // namespace
