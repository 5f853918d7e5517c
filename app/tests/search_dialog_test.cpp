// The search dialog on the offscreen platform: layout, the edit's type per
// mode, and each mode's search on a small journal of known keys.
#include <gtest/gtest.h>

#include "app/search_dialog.h"
#include "app/tests/entry_support.h"

namespace {

using namespace app_test;

TRect BoundsOf(const TControl* c) { return Bounds(c->Left(), c->Top(), c->Width(), c->Height()); }

// Documents "2", "4", "6" (and "8") with known dates, amounts, texts and
// payees.
void KnownJournal(const TempDataDir& dir) {
  ReplaceJournal(dir, {{2024, 3, 1, "2", 50, 50, "P01"},
                       {2024, 3, 5, "4", 100, 150, "P01"},
                       {2024, 3, 9, "6", -100, 50, "V01"},
                       {2024, 3, 12, "8", 30, 80, "P02"}});
  auto d = OpenTable(dir.DataDir(), "Pla0001.dbf");
  const char* texts[] = {"Tržba", "Nákup", "Poštovné", "Vklad"};
  const char* payees[] = {"Adam", "Cyril", "Emil", "Hana"};
  for (int i = 0; i < 4; ++i) {
    d->SetRecNo(i + 1);
    d->Edit();
    d->FieldByName("PLA_KOM")->SetAsString(Cz(texts[i]));
    d->FieldByName("PLA_KDO")->SetAsString(payees[i]);
    d->Post();
  }
}

void WithSearch(const std::function<void(TPlatebnaHledej*)>& script) {
  OnNextModal([&](TCustomForm* f) {
    // The activation resets the dialog; let it come first.
    ProgramScope::Settle();
    script(dynamic_cast<TPlatebnaHledej*>(f));
  });
  KeyClick(Platebna->DBGrid1, VK_F5);
}

TRadioButton* ModeButton(TPlatebnaHledej* f, int mode) {
  TRadioButton* b[] = {f->RadioButton1, f->RadioButton2, f->RadioButton3,
                       f->RadioButton4, f->RadioButton5, f->RadioButton6};
  return b[mode - 1];
}

void Search(TPlatebnaHledej* f, int mode, const char* text) {
  MouseClick(ModeButton(f, mode), 5, 8);
  f->VEdit1->SetFocus();
  f->VEdit1->SelectAll();
  TypeText(f->VEdit1, Cz(text));
  MouseClick(f->BitBtn1, 10, 10);
}

TEST(SearchDialogGui, LayoutTextsAndTheSearchButtonWaitingForAKey) {
  TempDataDir dir(5);
  ProgramScope program;
  WithSearch([](TPlatebnaHledej* f) {
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Caption(), Cz("Hledej položku databáze"));
    EXPECT_EQ(f->ClientWidth(), 255);
    EXPECT_EQ(f->ClientHeight(), 193);
    EXPECT_TRUE(f->KeyPreview());
    const char* captions[] = {"Hledej dle čísla dokladu",      "Hledej datum vystavení dokladu",
                              "Hledej popis finanční operace", "Hledej částku příjmu",
                              "Hledej částku výdeje",          "Hledej jméno příjemce"};
    for (int m = 1; m <= 6; ++m) {
      EXPECT_EQ(ModeButton(f, m)->Caption(), Cz(captions[m - 1]));
      EXPECT_EQ(BoundsOf(ModeButton(f, m)), Bounds(40, 8 + 16 * (m - 1), 177, 17));
    }
    EXPECT_TRUE(f->RadioButton1->Checked());
    EXPECT_TRUE(f->RadioButton1->Focused());
    EXPECT_EQ(f->Label1->Caption(), "Hledej tento text");
    EXPECT_EQ(BoundsOf(f->VEdit1), Bounds(104, 128, 129, 21));
    EXPECT_EQ(f->VEdit1->EditType(), ttString);
    EXPECT_EQ(f->BitBtn2->Caption(), "Storno");
    EXPECT_EQ(f->BitBtn1->Caption(), "&Hledej");
    EXPECT_EQ(BoundsOf(f->BitBtn2), Bounds(56, 160, 75, 25));
    EXPECT_EQ(BoundsOf(f->BitBtn1), Bounds(136, 160, 75, 25));
    EXPECT_FALSE(f->BitBtn1->Enabled());
    KeyClick(f->RadioButton1, VK_RETURN);
    EXPECT_TRUE(f->VEdit1->Focused());
    KeyClick(f->VEdit1, '1');
    EXPECT_TRUE(f->BitBtn1->Enabled());
    KeyClick(f->VEdit1, VK_ESCAPE);
  });
}

TEST(SearchDialogGui, EveryModeFindsTheFirstKeyAtOrAfterTheText) {
  TempDataDir dir(0);
  KnownJournal(dir);
  MessageBoxRecorder boxes;
  ProgramScope program;
  struct Case {
    int mode;
    const char* text;
    const char* tag;
    const char* document;  // expected current document
  } cases[] = {
      {1, "4", "DO1", "4"},        {1, "5", "DO1", "6"},        {1, "9", "DO1", "8"},
      {2, "5.3.2024", "DAT", "4"}, {2, "6.3.2024", "DAT", "6"}, {2, "12.3.2024", "DAT", "8"},
      {3, "Nák", "KOM", "4"},      {3, "O", "KOM", "6"},        {3, "Zzz", "KOM", "8"},
      {4, "100", "HOD", "4"},      {4, "60", "HOD", "4"},       {4, "999", "HOD", "4"},
      {5, "100", "HOD", "6"},      {6, "Cyril", "KDO", "4"},    {6, "Zzz", "KDO", "8"},
  };
  TPinnedClock clock(EncodeDate(2024, 6, 1));
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mode) + " " + c.text);
    WithSearch([&](TPlatebnaHledej* f) { Search(f, c.mode, c.text); });
    EXPECT_EQ(Data->Platebna->IndexName(), c.tag);
    EXPECT_EQ(Trim(Data->Platebna->FieldByName("PLA_DO1")->AsString()), c.document);
  }
}

TEST(SearchDialogGui, EveryModeClickSetsTheEditsType) {
  TempDataDir dir(0);
  KnownJournal(dir);
  MessageBoxRecorder boxes;
  ProgramScope program;
  WithSearch([](TPlatebnaHledej* f) {
    MouseClick(f->RadioButton2, 5, 8);
    EXPECT_EQ(f->VEdit1->EditType(), ttDate);
    MouseClick(f->RadioButton4, 5, 8);
    EXPECT_EQ(f->VEdit1->EditType(), ttFloat);
    MouseClick(f->RadioButton3, 5, 8);
    EXPECT_EQ(f->VEdit1->EditType(), ttString);
    MouseClick(f->RadioButton2, 5, 8);
    Search(f, 4, "100");
  });
  EXPECT_EQ(Data->Platebna->IndexName(), "HOD");
  EXPECT_EQ(Data->Platebna->FieldByName("PLA_HOD")->AsFloat(), 100.0);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(SearchDialogGui, EscAndStornoKeepTheRecordAndTheOrder) {
  TempDataDir dir(0);
  KnownJournal(dir);
  MessageBoxRecorder boxes;
  ProgramScope program;
  Data->Platebna->SetIndexName("DAT");
  Data->Platebna->First();
  Data->Platebna->Next();
  const int recNo = Data->Platebna->RecNo();
  WithSearch([](TPlatebnaHledej* f) {
    f->VEdit1->SetFocus();
    TypeText(f->VEdit1, "6");
    KeyClick(f->VEdit1, VK_ESCAPE);
  });
  WithSearch([](TPlatebnaHledej* f) {
    f->VEdit1->SetFocus();
    TypeText(f->VEdit1, "6");
    MouseClick(f->BitBtn2, 10, 10);
  });
  EXPECT_EQ(Data->Platebna->IndexName(), "DAT");
  EXPECT_EQ(Data->Platebna->RecNo(), recNo);
  EXPECT_TRUE(Platebna->DBGrid1->Focused());
}

}  // namespace
