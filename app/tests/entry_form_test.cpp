// The entry form on the offscreen platform, opened by F2 and F4 of the main
// window: layout, placement, the type picker, and the roads of a new
// document and a correction down to the stored records.
#include <gtest/gtest.h>

#include "app/tests/entry_support.h"
#include "app/type_picker.h"
#include "platform/rtl/datetime.h"

namespace {

using namespace app_test;

TRect BoundsOf(const TControl* c) { return Bounds(c->Left(), c->Top(), c->Width(), c->Height()); }

TEST(EntryFormGui, LayoutTextsTabOrderAndPlaces) {
  TempDataDir dir(10);
  ProgramScope program;
  for (int mainTop : {10, 200}) {
    Platebna->SetBounds(100, mainTop, 580, 365);
    WithEntryForm(VK_F2, [&](TPlatebnaEditace* f) {
      ASSERT_NE(f, nullptr);
      EXPECT_EQ(f->Caption(), Cz("Editace pokl. dokladu"));
      EXPECT_EQ(f->ClientWidth(), 297);
      EXPECT_EQ(f->ClientHeight(), 360);
      EXPECT_EQ(f->BorderStyle(), bsSingle);
      EXPECT_TRUE(f->KeyPreview());
      EXPECT_EQ(f->Left(), 240);
      EXPECT_EQ(f->Top(), mainTop <= 20 ? mainTop : mainTop - 20);
      EXPECT_EQ(f->ActiveControl(), f->LomridDBDateEdit1);
      struct Row {
        TLabel* label;
        const char* text;
        int top;
        TControl* control;
        TRect bounds;
        int tabOrder;
      } rows[] = {
          {f->Label1, "Datum příjmu do- výdeje z pokladny ", 16, f->LomridDBDateEdit1, Bounds(192, 16, 89, 21), 0},
          {f->Label2, "Typ pokladní operace dle číselníku", 40, f->DBEditKuvet1, Bounds(216, 40, 65, 21), 1},
          {f->Label3, "Popis operace", 64, f->DBEditKuvet2, Bounds(92, 64, 189, 21), 2},
          {f->Label4, "Přijatá nebo vydaná částka", 88, f->DBEditKuvet3, Bounds(192, 88, 89, 21), 3},
          {f->Label5, "Stav pokladny po operaci", 116, f->DBText1, Bounds(208, 116, 69, 17), -1},
          {f->Label6, "Identifikace (OP,IČO,RČ) ", 8, f->DBEditKuvet7, Bounds(192, 8, 89, 21), 0},
          {f->Label7, "Vydáno, piřjato od", 40, f->DBEditKuvet5, Bounds(136, 40, 145, 21), 1},
          {f->Label8, "Firma, adresa ...", 72, f->DBEditKuvet6, Bounds(136, 72, 145, 21), 2},
          {f->Label9, "Párový doklad ( faktura, smlouva )", 128, f->DBEditKuvet4, Bounds(192, 128, 89, 21), 3},
      };
      for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(r.label->Caption(), Cz(r.text));
        EXPECT_EQ(r.label->Left(), 8);
        EXPECT_EQ(r.label->Top(), r.top);
        EXPECT_EQ(BoundsOf(r.control), r.bounds);
        if (r.tabOrder >= 0) {
          EXPECT_EQ(static_cast<TWinControl*>(r.control)->TabOrder(), r.tabOrder);
        }
      }
      EXPECT_EQ(f->DBEditKuvet1->ButtonWidth(), 21);
      EXPECT_EQ(f->DBEditKuvet3->EditType(), setFloat);
      EXPECT_EQ(f->Panel1->Height(), 145);
      EXPECT_EQ(f->Panel3->Height(), 57);
      EXPECT_EQ(f->BitBtn2->Caption(), Cz("&Storno"));
      EXPECT_EQ(f->BitBtn2->ModalResult(), mrAbort);
      EXPECT_EQ(BoundsOf(f->BitBtn2), Bounds(128, 16, 75, 25));
      EXPECT_EQ(BoundsOf(f->BitBtn1), Bounds(208, 16, 75, 25));

      OnNextModal([&](TCustomForm* p) {
        auto* picker = dynamic_cast<TPlatebnaTypy*>(p);
        ASSERT_NE(picker, nullptr);
        EXPECT_EQ(picker->Caption(), Cz("Císelník typů fin. operací"));
        EXPECT_EQ(picker->ClientWidth(), 227);
        EXPECT_EQ(picker->ClientHeight(), 69);
        EXPECT_EQ(picker->Left(), 320);
        EXPECT_EQ(picker->Top(), mainTop + 60);
        ASSERT_EQ(picker->DbGridKuvet1->Columns()->Count(), 2);
        EXPECT_EQ((*picker->DbGridKuvet1->Columns())[0]->FieldName(), "FIN_TYP");
        EXPECT_EQ((*picker->DbGridKuvet1->Columns())[1]->FieldName(), "FIN_NAC");
        EXPECT_EQ((*picker->DbGridKuvet1->Columns())[1]->Width(), 180);
        KeyClick(picker->DbGridKuvet1, VK_ESCAPE);
      });
      f->DBEditKuvet1->OnClickButton(f->DBEditKuvet1);
      EXPECT_TRUE(f->DBEditKuvet1->Focused());
      KeyClick(f->DBEditKuvet1, VK_ESCAPE);
    });
  }
  EXPECT_EQ(RecordCount(dir), 10);
}

TEST(EntryFormGui, NewDocumentsAreNumberedSignedAndChainedFromTheFile) {
  struct Case {
    int documents;       // demo journal size (0: empty journal)
    const char* counter;
    const char* type;
    const char* amount;
    const char* number;  // expected document
    const char* next;    // expected counter
    long long amount100;
  } cases[] = {
      {0, "1", "P01", "250", "1", "2", 25000},
      {30, "41", "P02", "12,5", "41", "42", 1250},
      {30, "41", "V01", "100", "41", "42", -10000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    TempDataDir dir(c.documents);
    SetCounter(dir, c.counter);
    ProgramScope program;
    const int before = RecordCount(dir);
    const long long previous = before ? Stored(dir, before).balance : 0;
    WithEntryForm(VK_F2, [&](TPlatebnaEditace* f) {
      EXPECT_TRUE(f->IsNew);
      FillDocument(f, c.type, c.amount);
      // The preview already shows the signed effect.
      EXPECT_EQ(Hellers(Data->Platebna->FieldByName("PLA_STA")->AsFloat()), previous + c.amount100);
      ClickOk(f);
    });
    ASSERT_EQ(RecordCount(dir), before + 1);
    const StoredDocument d = Stored(dir, before + 1);
    EXPECT_EQ(d.number, c.number);
    EXPECT_EQ(d.type, c.type);
    EXPECT_EQ(d.amount, c.amount100);
    EXPECT_EQ(d.balance, previous + c.amount100);
    EXPECT_EQ(Counter(dir), c.next);
    EXPECT_EQ(ChainBreak(Chain(dir.DataDir(), "Pla0001.dbf")), -1);
    EXPECT_EQ(Data->Platebna->IndexName(), "");
    EXPECT_EQ(Data->Platebna->State(), dsBrowse);
  }
}

TEST(EntryFormGui, CorrectionShowsTheAmountUnsignedAndReBalancesLaterRecordsInRecordOrder) {
  TempDataDir dir(0);
  std::vector<JournalRow> rows;
  std::vector<std::string> numbers(50);
  long long sum = 0;
  for (int i = 0; i < 50; ++i) {
    numbers[i] = std::to_string(i + 1);
    const double amount = (i % 3 == 0) ? -100 : 40 + i;
    sum += Hellers(amount);
    // Every seventh document is back-dated: physical order is not date order.
    rows.push_back({2024, i % 7 == 0 ? 1 : 6, 1 + i % 28, numbers[i].c_str(), amount, sum / 100.0,
                    amount < 0 ? "V01" : "P01"});
  }
  ReplaceJournal(dir, rows);
  MessageBoxRecorder boxes;
  ProgramScope program;
  Data->Platebna->SetIndexName("");
  Data->Platebna->SetRecNo(10);  // an expense of 100
  WithEntryForm(VK_F4, [&](TPlatebnaEditace* f) {
    EXPECT_FALSE(f->IsNew);
    EXPECT_EQ(Data->Platebna->FieldByName("PLA_HOD")->AsFloat(), 100.0);
    Retype(f->DBEditKuvet3, "60");
    KeyClick(f->DBEditKuvet3, VK_TAB);
    ClickOk(f);
  });
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Stored(dir, 10).amount, -6000);
  EXPECT_EQ(Stored(dir, 10).number, "10");
  const auto chain = Chain(dir.DataDir(), "Pla0001.dbf");
  EXPECT_EQ(ChainBreak(chain), -1);
  EXPECT_EQ(chain.back().balance, sum + 4000);
  EXPECT_EQ(Data->Platebna->RecNo(), 10);
  EXPECT_FALSE(Data->Platebna->ControlsDisabled());
}

TEST(EntryFormGui, StornoAndEscLeaveEveryFileByteIdentical) {
  TempDataDir dir(20);
  ProgramScope program;
  const auto before = Snapshot(dir.DataDir());
  for (Word key : {VK_F2, VK_F4}) {
    WithEntryForm(key, [&](TPlatebnaEditace* f) {
      FillDocument(f, "V02", "77");
      MouseClick(f->BitBtn2, 10, 10);
    });
    WithEntryForm(key, [&](TPlatebnaEditace* f) {
      FillDocument(f, "P03", "5");
      KeyClick(f->DBEditKuvet2, VK_ESCAPE);
    });
    // An invalid code does not hold the user when leaving by Storno, by
    // mouse or by its accelerator.
    WithEntryForm(key, [&](TPlatebnaEditace* f) {
      Retype(f->DBEditKuvet1, "ZZ");
      MouseClick(f->BitBtn2, 10, 10);
    });
    WithEntryForm(key, [&](TPlatebnaEditace* f) {
      Retype(f->DBEditKuvet1, "ZZ");
      KeyClick(f->DBEditKuvet1, 'S', {ssAlt});
    });
  }
  EXPECT_EQ(Data->Platebna->State(), dsBrowse);
  EXPECT_TRUE(Snapshot(dir.DataDir()) == before);
}

TEST(EntryFormGui, UnknownCodeOpensThePickerWhichChoosesOrKeepsTheUserInTheEdit) {
  TempDataDir dir(5);
  ProgramScope program;
  WithEntryForm(VK_F2, [&](TPlatebnaEditace* f) {
    OnNextModal([](TCustomForm* p) { KeyClick(dynamic_cast<TPlatebnaTypy*>(p)->DbGridKuvet1, VK_ESCAPE); });
    Retype(f->DBEditKuvet1, "X9");
    KeyClick(f->DBEditKuvet1, VK_TAB);
    EXPECT_TRUE(f->DBEditKuvet1->Focused()) << "a cancelled picker keeps the user in the edit";
    OnNextModal([](TCustomForm* p) {
      auto* grid = dynamic_cast<TPlatebnaTypy*>(p)->DbGridKuvet1;
      KeyClick(grid, VK_DOWN);
      KeyClick(grid, VK_RETURN);
    });
    KeyClick(f->DBEditKuvet1, VK_TAB);
    EXPECT_EQ(Trim(f->DBEditKuvet1->Text()), "P02");
    EXPECT_EQ(Trim(Data->Platebna->FieldByName("PLA_TYP")->AsString()), "P02");
    EXPECT_EQ(Data->Platebna->FieldByName("PLA_KOM")->AsString(), Cz("Vklad z banky"));
    KeyClick(f->DBEditKuvet2, VK_ESCAPE);
  });
  EXPECT_EQ(RecordCount(dir), 5);
}

TEST(EntryFormGui, CorrectionOfAnUnknownTypeSaysSo) {
  TempDataDir dir(0);
  ReplaceJournal(dir, {{2024, 2, 1, "1", 30, 30, "Z99"}});
  MessageBoxRecorder boxes;
  ProgramScope program;
  const size_t start = boxes.Boxes().size();
  WithEntryForm(VK_F4, [&](TPlatebnaEditace* f) { KeyClick(f->DBEditKuvet2, VK_ESCAPE); });
  ASSERT_EQ(boxes.Boxes().size(), start + 1);
  EXPECT_EQ(boxes.Boxes().back().Text, Cz("Nelze najít typ operace Z99"));
}

}  // namespace
