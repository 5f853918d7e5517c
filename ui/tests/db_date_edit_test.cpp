// The data-aware date edit over a dataset with a date-time field, and the
// entry form's TLomridDBDateEdit: editing state, typed characters, the
// time of day kept, refusal of a mistyped date, and the keyboard rules.
#include <gtest/gtest.h>

#include <cmath>

#include <QApplication>
#include <QClipboard>

#include "platform/db/testing/vector_dataset.h"
#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/datetime.h"
#include "ui/common/date_util.h"
#include "ui/date_edits/lomrid_date_edit.h"

namespace {

struct DbDateEditGui : ::testing::Test {
  TPinnedClock pinned{EncodeDate(2026, 12, 8) + 0.5};
  TForm* form = nullptr;
  VectorDataSet* ds = nullptr;
  TDataSource* source = nullptr;
  TLomridDBDateEdit* edit = nullptr;
  TEdit* next = nullptr;
  TButton* ok = nullptr;
  int okClicks = 0;

  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(100, 100, 320, 200);
    ds = new VectorDataSet(form);
    ds->FieldDefs().Add("PLA_DAT", ftDateTime);
    ds->FieldDefs().Add("PLA_KOM", ftString, 20);
    ds->AddRow({Variant::FromDateTime(EncodeDate(2026, 12, 8)), Variant("first")});
    ds->AddRow({Variant::FromDateTime(EncodeDate(2026, 11, 20) + 14.5 / 24), Variant("second")});
    ds->AddRow({Variant::Null(), Variant("third")});
    ds->Open();
    source = new TDataSource(form);
    source->SetDataSet(ds);
    // The entry form places the date first.
    edit = new TLomridDBDateEdit(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 120, 21);
    edit->SetDataSource(source);
    edit->SetDataField("PLA_DAT");
    next = new TEdit(form);
    next->SetParent(form);
    next->SetBounds(10, 60, 100, 21);
    ok = new TButton(form);
    ok->SetParent(form);
    ok->SetBounds(10, 100, 75, 25);
    ok->SetDefault(true);
    ok->OnClick = [this](TObject*) { ++okClicks; };
    form->Show();
    Application->ProcessMessages();
    edit->SetFocus();
  }
  void TearDown() override { delete form; }

  TField* Field() const { return ds->FieldByName("PLA_DAT"); }
  bool TextTakesTyping() const { return !static_cast<const TCustomEdit*>(edit)->ReadOnly(); }
  void TypeDate(const AnsiString& digits) {
    edit->SelectAll();
    TypeText(edit, digits);
  }
};

TEST_F(DbDateEditGui, ReadOnlyWhileBrowsingADigitEditsALetterBeepsEscRestores) {
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(edit->Text(), "08.12.2026");
  EXPECT_FALSE(TextTakesTyping());
  int beeps = MessageBeepCount();
  edit->SetSelStart(0);
  TypeText(edit, "x");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  EXPECT_EQ(ds->State(), dsBrowse);
  edit->SetSelStart(0);
  TypeText(edit, "1");
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_TRUE(TextTakesTyping());
  EXPECT_EQ(edit->Text(), "18.12.2026");
  KeyClick(edit, VK_ESCAPE);
  EXPECT_EQ(edit->Text(), "08.12.2026");
  EXPECT_EQ(edit->SelLength(), static_cast<int>(edit->Text().size()));
}

TEST_F(DbDateEditGui, PasteAndDeleteEnterEditStateUnlessReadOnly) {
  QApplication::clipboard()->setText("24.12.2026");
  edit->SetReadOnly(true);
  edit->SelectAll();
  KeyClick(edit, 'V', {ssCtrl});
  KeyClick(edit, VK_DELETE);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(edit->Text(), "08.12.2026");
  edit->SetReadOnly(false);
  edit->SelectAll();
  KeyClick(edit, 'V', {ssCtrl});
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_EQ(edit->Text(), "24.12.2026");
  KeyClick(edit, VK_TAB);
  EXPECT_EQ(Field()->AsDateTime(), EncodeDate(2026, 12, 24));
  ds->Cancel();
  edit->SetFocus();
  edit->SelectAll();
  KeyClick(edit, VK_DELETE);
  EXPECT_EQ(ds->State(), dsEdit);
}

TEST_F(DbDateEditGui, ACalendarDateKeepsTheTimeOfDay) {
  ds->Next();
  edit->ButtonClick();
  ASSERT_TRUE(edit->PopupVisible());
  KeyClick(edit, VK_RIGHT);
  KeyClick(edit, VK_RETURN);
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_NEAR(Field()->AsDateTime(), EncodeDate(2026, 11, 21) + 14.5 / 24, 1e-6);
  EXPECT_EQ(edit->Text(), "21.11.2026");
  // Keypad plus too.
  KeyClick(edit, VK_ADD);
  EXPECT_NEAR(Field()->AsDateTime(), EncodeDate(2026, 11, 22) + 14.5 / 24, 1e-6);
}

TEST_F(DbDateEditGui, ARecordThatCannotChangeRefusesTheCalendarAndKeys) {
  ds->SetReadOnly(true);
  edit->ButtonClick();
  KeyClick(edit, VK_RIGHT);
  KeyClick(edit, VK_RETURN);
  KeyClick(edit, VK_ADD);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(edit->Text(), "08.12.2026");
}

TEST_F(DbDateEditGui, DefaultTodayFillsANullFieldWhenEditingStarts) {
  ds->Last();
  EXPECT_EQ(edit->Text(), "  .  .    ");
  edit->SetDefaultToday(true);
  ds->Edit();
  EXPECT_EQ(Field()->AsDateTime(), EncodeDate(2026, 12, 8) + 0.5);
  ds->Cancel();
}

TEST_F(DbDateEditGui, ABlankTextClearsAndAMistypedDateIsRefused) {
  MessageBoxRecorder boxes;
  TypeDate("31022026");
  EXPECT_EQ(edit->Text(), "31.02.2026");
  KeyClick(edit, VK_TAB);
  EXPECT_TRUE(edit->Focused());
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Text, "''31.02.2026'' is not a valid date.");
  EXPECT_EQ(Field()->AsDateTime(), EncodeDate(2026, 12, 8));
  // Enter reaches no default button with it either (Enter is Tab here:
  // the exit is refused the same way).
  KeyClick(edit, VK_RETURN);
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(okClicks, 0);
  edit->SelectAll();
  KeyClick(edit, VK_DELETE);
  EXPECT_EQ(edit->Text(), "  .  .    ");
  KeyClick(edit, VK_TAB);
  EXPECT_TRUE(next->Focused());
  EXPECT_TRUE(Field()->IsNull());
}

TEST_F(DbDateEditGui, APlainDataAwareEditChecksBeforeTheDefaultButton) {
  MessageBoxRecorder boxes;
  edit->SetEnterIsTab(false);
  TypeDate("31022026");
  KeyClick(edit, VK_RETURN);
  EXPECT_EQ(okClicks, 0);
  EXPECT_EQ(boxes.Boxes().size(), 1u);
  TypeDate("28022026");
  KeyClick(edit, VK_RETURN);
  EXPECT_EQ(okClicks, 1);
  EXPECT_EQ(Field()->AsDateTime(), EncodeDate(2026, 2, 28));
}

TEST_F(DbDateEditGui, EntryFormKeys) {
  int spaces = 0, tabExits = 0;
  TShiftState exitShift;
  edit->OnClickSpace = [&](TObject*) { ++spaces; };
  edit->OnTabExit = [&](TObject*, TShiftState s) {
    ++tabExits;
    exitShift = s;
  };
  EXPECT_TRUE(edit->EnterIsTab());
  // With the calendar down Enter accepts the date and stays.
  edit->ButtonClick();
  KeyClick(edit, VK_RIGHT);
  KeyClick(edit, VK_RETURN);
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(edit->Text(), "09.12.2026");
  EXPECT_EQ(tabExits, 0);
  // Space fires the event; the key goes on, and a data-aware date edit
  // then drops it with a beep as any other non-digit.
  edit->SetSelStart(0);
  int beeps = MessageBeepCount();
  KeyClick(edit, VK_SPACE);
  EXPECT_EQ(spaces, 1);
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  EXPECT_EQ(edit->Text(), "09.12.2026");
  // The plain variant lets it reach the text.
  auto* plain = new TLomridDateEdit(form);
  plain->SetParent(form);
  plain->SetBounds(150, 10, 120, 21);
  plain->OnClickSpace = edit->OnClickSpace;
  plain->SetDateValue(EncodeDate(2026, 12, 9));
  plain->SetFocus();
  plain->SetSelStart(0);
  KeyClick(plain, VK_SPACE);
  EXPECT_EQ(spaces, 2);
  EXPECT_EQ(plain->Text(), " 9.12.2026");
  edit->SetFocus();
  // Enter moves on as Tab; Shift+Tab comes back with its shift state.
  KeyClick(edit, VK_RETURN);
  EXPECT_TRUE(next->Focused());
  EXPECT_EQ(tabExits, 1);
  EXPECT_EQ(Field()->AsDateTime(), EncodeDate(2026, 12, 9));
  edit->SetFocus();
  KeyClick(edit, VK_TAB, {ssShift});
  EXPECT_EQ(tabExits, 2);
  EXPECT_EQ(exitShift, TShiftState{ssShift});
}

}  // namespace
