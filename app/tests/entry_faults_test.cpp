// What can go wrong around a document's entry: stale balances, failed
// commits, missing or mis-browsed types, locks held elsewhere, an empty
// journal, unusual ways of closing the form and input during the commit.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>

#include "app/tests/entry_support.h"
#include "app/type_picker.h"
#include "dbase/handler/table_handler.h"
#include "platform/rtl/system.h"
#include "testing/child_process.h"

namespace {

using namespace app_test;

// A journal of 50 documents: every third an expense of 100 (V01), the
// others receipts of 40 + n (P01), balances chained.
void FiftyDocuments(const TempDataDir& dir) {
  static std::vector<std::string> numbers;
  numbers.clear();
  for (int i = 0; i < 50; ++i) numbers.push_back(std::to_string(i + 1));
  std::vector<JournalRow> rows;
  long long sum = 0;
  for (int i = 0; i < 50; ++i) {
    const double amount = (i % 3 == 0) ? -100 : 40 + i;
    sum += Hellers(amount);
    rows.push_back({2024, 6, 1 + i % 28, numbers[i].c_str(), amount, sum / 100.0, amount < 0 ? "V01" : "P01"});
  }
  ReplaceJournal(dir, rows);
}

bool Said(const MessageBoxRecorder& boxes, const std::string& text) {
  for (const auto& b : boxes.Boxes())
    if (b.Text.find(text) != std::string::npos) return true;
  return false;
}

// A child process standing for another station, holding a lock until told.
class OtherStation {
 public:
  OtherStation(const std::string& table, const std::string& index, std::function<void(XBO_dBHandler&)> hold)
      : child_([=](Channel& channel) {
          XBO_dBHandler other(table, true, true, "");
          if (!index.empty()) other.OpenIndexFile(index);
          hold(other);
          channel.Send("holding");
          channel.Receive();
          return 0;
        }) {
    holding_ = child_.channel().Receive() == "holding";
  }
  bool Holding() const { return holding_; }
  int Release() {
    child_.channel().Send("release");
    return child_.Wait();
  }

 private:
  ChildProcess child_;
  bool holding_ = false;
};

// Whether another process can take the counter record's lock now.
bool CounterLockFree(const TempDataDir& dir) {
  ChildProcess child([&](Channel&) {
    XBO_dBHandler t(dir.Data("Cis0001.dbf"), true, true, "");
    t.GoRecord(1);
    return t.LockCurrentRecord() ? 0 : 1;
  });
  return child.Wait() == 0;
}

class NoPauses {
 public:
  NoPauses() : previous_(SetSleepHook([](int) {})) {}
  ~NoPauses() { SetSleepHook(previous_); }

 private:
  std::function<void(int)> previous_;
};

TEST(EntryFaultsGui, TypeChangedWithoutTouchingTheAmountRebalancesWithTheNewSign) {
  TempDataDir dir(0);
  FiftyDocuments(dir);
  MessageBoxRecorder boxes;
  ProgramScope program;
  Data->Platebna->SetIndexName("");
  Data->Platebna->SetRecNo(2);  // a receipt of 41
  WithEntryForm(VK_F4, [&](TPlatebnaEditace* f) {
    Retype(f->DBEditKuvet1, "V02");
    KeyClick(f->DBEditKuvet1, VK_TAB);
    ClickOk(f);
  });
  EXPECT_EQ(Stored(dir, 2).amount, -4100);
  EXPECT_EQ(Stored(dir, 2).balance, -10000 - 4100);
  EXPECT_EQ(ChainBreak(Chain(dir.DataDir(), "Pla0001.dbf")), -1);
}

TEST(EntryFaultsGui, CounterThatIsNoNumberKeepsTheFormOpenAndNothingLocked) {
  TempDataDir dir(10);
  SetCounter(dir, "abc");
  MessageBoxRecorder boxes;
  ProgramScope program;
  const auto before = Snapshot(dir.DataDir());
  WithEntryForm(VK_F2, [&](TPlatebnaEditace* f) {
    FillDocument(f, "V01", "100");
    ClickOk(f);
    EXPECT_TRUE(Said(boxes, "'abc' is not a valid integer value"));
    EXPECT_EQ(CurrentModalForm(), f) << "the form stays open";
    EXPECT_EQ(Data->Platebna->State(), dsInsert);
    EXPECT_EQ(Data->Platebna->FieldByName("PLA_HOD")->AsFloat(), 100.0) << "the amount as typed";
    EXPECT_TRUE(CounterLockFree(dir));
    MouseClick(f->BitBtn2, 10, 10);
  });
  EXPECT_TRUE(Snapshot(dir.DataDir()) == before);
  EXPECT_TRUE(CounterLockFree(dir));
}

TEST(EntryFaultsGuiMultiprocess, IndexLockedElsewhereFailsTheOkAndALaterOkPostsOnce) {
  TempDataDir dir(10);
  NoPauses pauses;
  MessageBoxRecorder boxes;
  ProgramScope program;
  const long long last = Stored(dir, 10).balance;
  WithEntryForm(VK_F2, [&](TPlatebnaEditace* f) {
    FillDocument(f, "V01", "100");
    OtherStation other(dir.Data("Pla0001.dbf"), dir.Data("Pla0001.cdx"), [](XBO_dBHandler& t) { t.LockIndexes(); });
    ASSERT_TRUE(other.Holding());
    ClickOk(f);
    EXPECT_TRUE(Said(boxes, "Could not lock indexes"));
    EXPECT_EQ(CurrentModalForm(), f);
    EXPECT_EQ(RecordCount(dir), 10);
    EXPECT_EQ(other.Release(), 0);
    ClickOk(f);
  });
  ASSERT_EQ(RecordCount(dir), 11);
  EXPECT_EQ(Stored(dir, 11).amount, -10000);
  EXPECT_EQ(Stored(dir, 11).balance, last - 10000);
  EXPECT_EQ(Stored(dir, 11).number, "11");
  EXPECT_EQ(Counter(dir), "12");
}

TEST(EntryFaultsGui, MissingTypeOnACorrectionKeepsTheSignOfTheChosenType) {
  TempDataDir dir(0);
  FiftyDocuments(dir);
  {
    auto types = OpenTable(dir.DataDir(), "Fin0000.dbf");
    ASSERT_TRUE(types->Locate("FIN_TYP", Variant(AnsiString("V01")), {}));
    types->Edit();
    types->FieldByName("FIN_TYP")->SetAsString("V91");
    types->Post();
  }
  MessageBoxRecorder boxes;
  ProgramScope program;
  Data->Platebna->SetIndexName("");
  Data->Platebna->SetRecNo(4);  // an expense of 100 of the renamed type
  WithEntryForm(VK_F4, [&](TPlatebnaEditace* f) {
    EXPECT_EQ(Data->Platebna->FieldByName("PLA_HOD")->AsFloat(), 100.0);
    Retype(f->DBEditKuvet1, "V02");
    KeyClick(f->DBEditKuvet1, VK_TAB);
    ClickOk(f);
  });
  EXPECT_TRUE(Said(boxes, Cz("Nelze najít typ operace V01")));
  EXPECT_EQ(Stored(dir, 4).amount, -10000);
  EXPECT_EQ(ChainBreak(Chain(dir.DataDir(), "Pla0001.dbf")), -1);
}

TEST(EntryFaultsGui, OkSignsByTheDocumentsOwnType) {
  TempDataDir dir(10);
  MessageBoxRecorder boxes;
  ProgramScope program;
  // No type given: OK asks for one; cancelling posts nothing.
  WithEntryForm(VK_F2, [&](TPlatebnaEditace* f) {
    Retype(f->DBEditKuvet3, "100");
    OnNextModal([](TCustomForm* p) { KeyClick(dynamic_cast<TPlatebnaTypy*>(p)->DbGridKuvet1, VK_ESCAPE); });
    ClickOk(f);
    EXPECT_EQ(CurrentModalForm(), f);
    KeyClick(f->DBEditKuvet2, VK_ESCAPE);
  });
  EXPECT_EQ(RecordCount(dir), 10);
  EXPECT_EQ(Counter(dir), "11");
  // An expense type, the picker browsed to a receipt and left by Esc.
  WithEntryForm(VK_F2, [&](TPlatebnaEditace* f) {
    FillDocument(f, "V01", "100");
    OnNextModal([](TCustomForm* p) {
      auto* grid = dynamic_cast<TPlatebnaTypy*>(p)->DbGridKuvet1;
      KeyClick(grid, VK_HOME, {ssCtrl});
      KeyClick(grid, VK_ESCAPE);
    });
    f->DBEditKuvet1->OnClickButton(f->DBEditKuvet1);
    ClickOk(f);
  });
  ASSERT_EQ(RecordCount(dir), 11);
  EXPECT_EQ(Stored(dir, 11).amount, -10000);
}

TEST(EntryFaultsGuiMultiprocess, LockMetDuringTheCarryForwardIsReportedAndRepairable) {
  TempDataDir dir(0);
  FiftyDocuments(dir);
  MessageBoxRecorder boxes;
  ProgramScope program;
  OtherStation other(dir.Data("Pla0001.dbf"), dir.Data("Pla0001.cdx"), [](XBO_dBHandler& t) {
    t.GoRecord(40);
    if (!t.LockCurrentRecord()) throw Exception("no lock");
  });
  ASSERT_TRUE(other.Holding());
  Data->Platebna->SetIndexName("");
  Data->Platebna->SetRecNo(30);  // a receipt of 69
  WithEntryForm(VK_F4, [&](TPlatebnaEditace* f) {
    Retype(f->DBEditKuvet3, "169");
    KeyClick(f->DBEditKuvet3, VK_TAB);
    ClickOk(f);
  });
  EXPECT_TRUE(Said(boxes, "Record is locked by another user"));
  EXPECT_EQ(Stored(dir, 30).amount, 16900);
  EXPECT_EQ(Data->Platebna->State(), dsBrowse);
  const auto chain = Chain(dir.DataDir(), "Pla0001.dbf");
  EXPECT_EQ(ChainBreak(chain), 39) << "records 31-39 carried, 40 not";
  EXPECT_EQ(other.Release(), 0);
  Platebna->Pepoetzstatk1->Click();
  EXPECT_EQ(ChainBreak(Chain(dir.DataDir(), "Pla0001.dbf")), -1);
}

TEST(EntryFaultsGui, CorrectionOfAnEmptyJournalOpensNothing) {
  TempDataDir dir(0);
  ProgramScope program;
  const auto before = Snapshot(dir.DataDir());
  KeyClick(Platebna->DBGrid1, VK_F4);  // a form would hang here
  EXPECT_EQ(CurrentModalForm(), nullptr);
  EXPECT_TRUE(Snapshot(dir.DataDir()) == before);
}

TEST(EntryFaultsGui, ClosingTheFormAnyOtherWayLeavesNothingPending) {
  TempDataDir dir(20);
  ProgramScope program;
  const auto before = Snapshot(dir.DataDir());
  const std::function<void(TPlatebnaEditace*)> closers[] = {
      [](TPlatebnaEditace* f) { KeyClick(f->DBEditKuvet2, VK_F4, {ssAlt}); },
      [](TPlatebnaEditace* f) { f->Widget()->close(); },
  };
  for (Word key : {VK_F4, VK_F2})
    for (const auto& close : closers) {
      WithEntryForm(key, [&](TPlatebnaEditace* f) {
        Retype(f->DBEditKuvet2, "zmena");
        close(f);
      });
      KeyClick(Platebna->DBGrid1, VK_DOWN);
      KeyClick(Platebna->DBGrid1, VK_UP);
    }
  EXPECT_TRUE(Snapshot(dir.DataDir()) == before);
}

TEST(EntryFaultsGui, InputQueuedBeforeTheCommitTakesNoEffect) {
  TempDataDir dir(0);
  FiftyDocuments(dir);
  ProgramScope program;
  int added = 0;
  Platebna->Button2->OnClick = [&](TObject*) { ++added; };
  Data->Platebna->SetIndexName("");
  Data->Platebna->SetRecNo(5);
  WithEntryForm(VK_F4, [&](TPlatebnaEditace* f) {
    Retype(f->DBEditKuvet3, "10");
    KeyClick(f->DBEditKuvet3, VK_TAB);
    QWidget* grid = Platebna->DBGrid1->Widget();
    QCoreApplication::postEvent(grid, new QKeyEvent(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier));
    QCoreApplication::postEvent(grid, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
    ClickOk(f);
  });
  ProgramScope::Settle();
  EXPECT_EQ(added, 0);
  EXPECT_EQ(Data->Platebna->RecNo(), 5);
  EXPECT_EQ(Stored(dir, 5).amount, 1000);
  EXPECT_EQ(ChainBreak(Chain(dir.DataDir(), "Pla0001.dbf")), -1);
}

}  // namespace
