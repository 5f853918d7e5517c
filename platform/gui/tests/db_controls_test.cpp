// Data-aware controls on a journal-shaped dataset: the edit's display and
// edit texts, typing, the character filter, Esc, a failing write on exit;
// the label following an edit; the check box's stored values; the
// navigator's buttons.
#include "platform/gui/db_controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/db/testing/vector_dataset.h"
#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/system.h"

namespace {

struct DbControlsGui : ::testing::Test {
  TForm* form = nullptr;
  VectorDataSet* ds = nullptr;
  TDataSource* source = nullptr;
  TEdit* other = nullptr;

  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(40, 40, 420, 260);
    ds = new VectorDataSet(form);
    ds->FieldDefs().Add("PLA_KOM", ftString, 30);
    ds->FieldDefs().Add("PLA_HOD", ftFloat);
    ds->FieldDefs().Add("FIN_KOE", ftSmallint);
    for (int i = 1; i <= 5; ++i)
      ds->AddRow({Variant(Cz("Příjem ") + IntToStr(i)), Variant(1234.5 * i), Variant(int64_t{1})});
    ds->Open();
    static_cast<TFloatField*>(ds->FieldByName("PLA_HOD"))->SetDisplayFormat("#,##0.00");
    source = new TDataSource(form);
    source->SetDataSet(ds);
    other = new TEdit(form);
    other->SetParent(form);
    other->SetBounds(10, 200, 100, 21);
  }
  void TearDown() override { delete form; }

  void ShowAndFocus(TWinControl* control) {
    form->Show();
    Application->ProcessMessages();
    control->SetFocus();
  }
  TDBEdit* AmountEdit() {
    auto* edit = new TDBEdit(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 120, 21);
    edit->SetDataSource(source);
    edit->SetDataField("PLA_HOD");
    return edit;
  }
};

const AnsiString kNbsp = "\xA0";

TEST_F(DbControlsGui, EditShowsDisplayTextUnfocusedAndEditTextFocused) {
  TDBEdit* edit = AmountEdit();
  EXPECT_EQ(edit->Text(), "1" + kNbsp + "234,50");
  ShowAndFocus(edit);
  EXPECT_EQ(edit->Text(), "1234,5");
  other->SetFocus();
  EXPECT_EQ(edit->Text(), "1" + kNbsp + "234,50");
  // Moving the dataset shows the next record's value.
  ds->Next();
  EXPECT_EQ(edit->Text(), "2" + kNbsp + "469,00");
}

TEST_F(DbControlsGui, TypingEditsTheRecordAndLeavingWritesTheField) {
  TDBEdit* edit = AmountEdit();
  ShowAndFocus(edit);
  ASSERT_EQ(ds->State(), dsBrowse);
  edit->SelectAll();
  TypeText(edit, "77,25");
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_EQ(edit->Text(), "77,25");
  EXPECT_DOUBLE_EQ(ds->FieldByName("PLA_HOD")->AsFloat(), 1234.5);  // still pending
  other->SetFocus();
  EXPECT_DOUBLE_EQ(ds->FieldByName("PLA_HOD")->AsFloat(), 77.25);
  EXPECT_EQ(edit->Text(), "77,25");
  ds->Post();
  EXPECT_DOUBLE_EQ(ds->Cell(0, 1).AsDouble(), 77.25);
}

TEST_F(DbControlsGui, CharactersTheFieldRefusesBeepAndAreDropped) {
  TDBEdit* edit = AmountEdit();
  ShowAndFocus(edit);
  edit->SelectAll();
  int beeps = MessageBeepCount();
  TypeText(edit, "1x2");
  EXPECT_EQ(edit->Text(), "12");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  // A refused first character does not start an edit either.
  ds->Cancel();
  edit->SelectAll();
  TypeText(edit, "q");
  EXPECT_EQ(ds->State(), dsBrowse);
}

TEST_F(DbControlsGui, EscRestoresTheFieldValue) {
  TDBEdit* edit = AmountEdit();
  ShowAndFocus(edit);
  edit->SelectAll();
  TypeText(edit, "5");
  ASSERT_EQ(edit->Text(), "5");
  KeyClick(edit, VK_ESCAPE);
  EXPECT_EQ(edit->Text(), "1234,5");
  other->SetFocus();
  EXPECT_DOUBLE_EQ(ds->FieldByName("PLA_HOD")->AsFloat(), 1234.5);
}

TEST_F(DbControlsGui, AValueThatDoesNotConvertKeepsTheFocusAndReportsOnce) {
  TDBEdit* edit = AmountEdit();
  ShowAndFocus(edit);
  edit->SelectAll();
  TypeText(edit, "1");
  edit->SetText("abc");
  MessageBoxRecorder boxes;
  other->SetFocus();
  EXPECT_EQ(form->ActiveControl(), edit);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_NE(boxes.Boxes()[0].Text.find("abc"), std::string::npos) << boxes.Boxes()[0].Text;
  EXPECT_EQ(boxes.Boxes()[0].Type, mtError);
  EXPECT_EQ(edit->Text(), "abc");
  EXPECT_EQ(edit->SelLength(), 3);
  // Corrected, the edit can be left.
  edit->SetText("3");
  other->SetFocus();
  EXPECT_EQ(form->ActiveControl(), other);
  EXPECT_DOUBLE_EQ(ds->FieldByName("PLA_HOD")->AsFloat(), 3.0);
}

TEST_F(DbControlsGui, EditIsReadOnlyWhileTheFieldCannotChange) {
  TDBEdit* edit = AmountEdit();
  ShowAndFocus(edit);
  ds->Close();
  ds->SetReadOnly(true);
  ds->Open();
  edit->SetFocus();
  edit->SelectAll();
  TypeText(edit, "9");
  EXPECT_EQ(ds->State(), dsBrowse);
  // The reopened dataset's field shows its plain display text.
  EXPECT_EQ(edit->Text(), ds->FieldByName("PLA_HOD")->DisplayText());
  EXPECT_EQ(edit->Text().find('9'), std::string::npos);
}

TEST_F(DbControlsGui, TextLabelFollowsAFieldChangeDuringAnEdit) {
  auto* label = new TDBText(form);
  label->SetParent(form);
  label->SetBounds(10, 40, 80, 17);
  label->SetDataSource(source);
  label->SetDataField("PLA_HOD");
  EXPECT_EQ(label->Caption(), "1" + kNbsp + "234,50");
  ds->Edit();
  ds->FieldByName("PLA_HOD")->SetAsFloat(99);
  EXPECT_EQ(label->Caption(), "99,00");
  ds->Cancel();
  EXPECT_EQ(label->Caption(), "1" + kNbsp + "234,50");
  ds->Last();
  EXPECT_EQ(label->Caption(), "6" + kNbsp + "172,50");
  ds->Close();
  EXPECT_EQ(label->Caption(), "");
}

TEST_F(DbControlsGui, CheckBoxStoresItsCheckedAndUncheckedValues) {
  auto* box = new TDBCheckBox(form);
  box->SetParent(form);
  box->SetBounds(10, 70, 150, 17);
  box->SetValueChecked("-1");
  box->SetValueUnchecked("1");
  box->SetDataSource(source);
  box->SetDataField("FIN_KOE");
  ShowAndFocus(box);
  EXPECT_EQ(box->State(), cbUnchecked);
  MouseClick(box, 5, 8);
  EXPECT_EQ(box->State(), cbChecked);
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_EQ(ds->FieldByName("FIN_KOE")->AsString(), "-1");
  KeyClick(box, VK_SPACE);
  EXPECT_EQ(box->State(), cbUnchecked);
  EXPECT_EQ(ds->FieldByName("FIN_KOE")->AsString(), "1");
  // The field's own changes show; a value of neither list is grayed.
  struct Case {
    const char* value;
    TCheckBoxState state;
  };
  for (Case c : {Case{"-1", cbChecked}, Case{"1", cbUnchecked}, Case{"5", cbGrayed}}) {
    ds->FieldByName("FIN_KOE")->SetAsString(c.value);
    EXPECT_EQ(box->State(), c.state) << c.value;
  }
  ds->FieldByName("FIN_KOE")->Clear();
  EXPECT_EQ(box->State(), cbGrayed);
  // A read-only box does not toggle.
  ds->Cancel();
  box->SetReadOnly(true);
  MouseClick(box, 5, 8);
  EXPECT_EQ(box->State(), cbUnchecked);
  EXPECT_EQ(ds->State(), dsBrowse);
}

TEST_F(DbControlsGui, NavigatorEnablesItsButtonsByPositionAndState) {
  auto* nav = new TDBNavigator(form);
  nav->SetParent(form);
  nav->SetBounds(8, 8, 112, 25);
  nav->SetVisibleButtons({nbFirst, nbPrior, nbNext, nbLast});
  nav->SetDataSource(source);
  form->Show();
  Application->ProcessMessages();
  // The four buttons share the width.
  for (TNavigateBtn b : {nbFirst, nbPrior, nbNext, nbLast}) {
    EXPECT_EQ(nav->Button(b)->Width(), 28);
    EXPECT_EQ(nav->Button(b)->Height(), 25);
    EXPECT_TRUE(nav->Button(b)->Visible());
  }
  EXPECT_EQ(nav->Button(nbLast)->Left(), 84);
  EXPECT_FALSE(nav->Button(nbInsert)->Visible());

  auto enabled = [&] {
    std::string s;
    for (TNavigateBtn b : {nbFirst, nbPrior, nbNext, nbLast}) s += nav->ButtonEnabled(b) ? '1' : '0';
    return s;
  };
  auto click = [&](TNavigateBtn b) {
    TControl* button = nav->Button(b);
    MouseClick(button, button->Width() / 2, 12);
  };
  struct Step {
    TNavigateBtn button;
    int recNo;
    const char* enabled;
  };
  EXPECT_EQ(enabled(), "0011");
  const Step steps[] = {{nbNext, 2, "1111"}, {nbLast, 5, "1100"}, {nbPrior, 4, "1111"}, {nbFirst, 1, "0011"}};
  for (const Step& s : steps) {
    click(s.button);
    EXPECT_EQ(ds->RecNo(), s.recNo) << s.button;
    EXPECT_EQ(enabled(), s.enabled) << s.button;
  }
  // A disabled button does nothing.
  click(nbPrior);
  EXPECT_EQ(ds->RecNo(), 1);
  ds->Close();
  EXPECT_EQ(enabled(), "0000");
}

TEST_F(DbControlsGui, NavigatorEditingButtonsFollowTheDatasetState) {
  auto* nav = new TDBNavigator(form);
  nav->SetParent(form);
  nav->SetDataSource(source);
  auto enabled = [&] {
    std::string s;
    for (TNavigateBtn b : {nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh})
      s += nav->ButtonEnabled(b) ? '1' : '0';
    return s;
  };
  EXPECT_EQ(enabled(), "111001");
  nav->BtnClick(nbEdit);
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_EQ(enabled(), "110110");
  nav->BtnClick(nbCancel);
  EXPECT_EQ(enabled(), "111001");
  // Delete asks first; Cancel keeps the record.
  MessageBoxRecorder boxes(mrCancel);
  nav->BtnClick(nbDelete);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Text, "Delete record?");
  EXPECT_EQ(ds->RecordCount(), 5);
  boxes.SetAnswer(mrOk);
  nav->BtnClick(nbDelete);
  EXPECT_EQ(ds->RecordCount(), 4);
  nav->SetConfirmDelete(false);
  nav->BtnClick(nbDelete);
  EXPECT_EQ(ds->RecordCount(), 3);
  EXPECT_EQ(boxes.Boxes().size(), 2u);
  ds->Close();
  ds->SetReadOnly(true);
  ds->Open();
  EXPECT_EQ(enabled(), "000001");
}

}  // namespace
