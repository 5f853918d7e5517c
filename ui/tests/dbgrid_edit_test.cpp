// Editing in the grid: the in-place editor and how its text reaches the
// field, Esc, appending and inserting, deleting with confirmation, leaving
// the grid, pick lists and the ellipsis button.
#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <string>
#include <vector>

#include "platform/gui/testing/gui_modal.h"
#include "ui/tests/dbgrid_test_support.h"

namespace {

using gridtest::GridFixture;

struct DbGridEditGui : GridFixture {
  int Rows() const override { return 5; }
  TInplaceEdit* Editor() const { return grid->InplaceEditor(); }
  bool EditorShown() const { return Editor() && Editor()->Visible(); }
  AnsiString Field(const char* name) const { return ds->FieldByName(name)->AsString(); }
};

TEST_F(DbGridEditGui, F2ShowsTheEditorAndEnterWritesTheField) {
  grid->SetSelectedIndex(3);
  EXPECT_FALSE(EditorShown());
  KeyClick(grid, VK_F2);
  ASSERT_TRUE(EditorShown());
  EXPECT_EQ(Editor()->Text(), "Doklad 1");
  EXPECT_EQ(ds->State(), dsBrowse);
  Editor()->SelectAll();
  TypeText(Editor(), Cz("Nový"));
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_EQ(Field("PLA_KOM"), "Doklad 1");  // pending in the editor
  KeyClick(Editor(), VK_RETURN);
  EXPECT_EQ(Field("PLA_KOM"), "Nov\xFD");
  EXPECT_FALSE(EditorShown());
  // Moving on posts the record.
  KeyClick(grid, VK_DOWN);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->Cell(0, 3).AsString(), "Nov\xFD");
}

TEST_F(DbGridEditGui, TypingOpensTheEditorWithTheCharacter) {
  grid->SetSelectedIndex(3);
  TypeText(grid, "X");
  Application->ProcessMessages();
  ASSERT_TRUE(EditorShown());
  TypeText(Editor(), "yz");
  EXPECT_EQ(Editor()->Text(), "Xyz");
  // Moving to another column writes the text first.
  KeyClick(grid, VK_TAB);
  EXPECT_EQ(grid->SelectedIndex(), 4);
  EXPECT_EQ(Field("PLA_KOM"), "Xyz");
  // A character the field refuses never reaches the editor.
  KeyClick(grid, VK_F2);
  Editor()->SelectAll();
  int beeps = MessageBeepCount();
  TypeText(Editor(), "7q");
  EXPECT_EQ(Editor()->Text(), "7");
  EXPECT_GT(MessageBeepCount(), beeps);
}

TEST_F(DbGridEditGui, EscDiscardsTheEditorThenTheRecordEdit) {
  grid->SetSelectedIndex(3);
  KeyClick(grid, VK_F2);
  Editor()->SelectAll();
  TypeText(Editor(), "zmena");
  ASSERT_EQ(ds->State(), dsEdit);
  // First Esc: only the editor changed, so the value is read again.
  KeyClick(Editor(), VK_ESCAPE);
  EXPECT_EQ(Field("PLA_KOM"), "Doklad 1");
  EXPECT_FALSE(EditorShown());
  EXPECT_EQ(ds->State(), dsEdit);
  // Second Esc: the record's edit is cancelled.
  KeyClick(grid, VK_ESCAPE);
  EXPECT_EQ(ds->State(), dsBrowse);
  // A value already written is dropped by the cancel as well.
  KeyClick(grid, VK_F2);
  Editor()->SelectAll();
  TypeText(Editor(), "jinak");
  KeyClick(Editor(), VK_RETURN);
  ASSERT_EQ(Field("PLA_KOM"), "jinak");
  KeyClick(grid, VK_ESCAPE);
  EXPECT_EQ(Field("PLA_KOM"), "Doklad 1");
  EXPECT_EQ(ds->State(), dsBrowse);
}

TEST_F(DbGridEditGui, EscThatDiscardsSomethingDoesNotReachTheCancelButton) {
  auto* cancel = new TButton(form);
  cancel->SetParent(form);
  cancel->SetBounds(120, 240, 75, 25);
  cancel->SetCancel(true);
  int clicks = 0;
  cancel->OnClick = [&](TObject*) { ++clicks; };
  grid->SetSelectedIndex(3);
  KeyClick(grid, VK_F2);
  TypeText(Editor(), "x");
  KeyClick(Editor(), VK_ESCAPE);
  KeyClick(grid, VK_ESCAPE);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(ds->State(), dsBrowse);
  KeyClick(grid, VK_ESCAPE);
  EXPECT_EQ(clicks, 1);
}

TEST_F(DbGridEditGui, DownAtTheLastRecordAppendsOnlyInAnEditableGrid) {
  struct Case {
    bool readOnly;
    bool editing;
    bool appends;
  };
  for (Case c : {Case{false, true, true}, Case{true, true, false}, Case{false, false, false}}) {
    grid->SetReadOnly(c.readOnly);
    TDBGridOptions options = grid->Options();
    grid->SetOptions(c.editing ? options + TDBGridOptions{dgEditing} : options - TDBGridOptions{dgEditing});
    ds->Last();
    KeyClick(grid, VK_DOWN);
    EXPECT_EQ(ds->State() == dsInsert, c.appends) << c.readOnly << c.editing;
    if (c.appends) {
      EXPECT_EQ(grid->RowCount(), 7);
      // Down again on the untouched new record stays there.
      KeyClick(grid, VK_DOWN);
      EXPECT_EQ(ds->State(), dsInsert);
      // Leaving it by Up cancels it.
      KeyClick(grid, VK_UP);
      EXPECT_EQ(ds->State(), dsBrowse);
      EXPECT_EQ(ds->RecNo(), 5);
      EXPECT_EQ(ds->RecordCount(), 5);
      EXPECT_EQ(grid->RowCount(), 6);
    }
    ds->Cancel();
  }
}

TEST_F(DbGridEditGui, AnEditedNewRecordIsPostedWhenLeft) {
  ds->Last();
  KeyClick(grid, VK_DOWN);
  ASSERT_EQ(ds->State(), dsInsert);
  grid->SetSelectedIndex(3);
  TypeText(grid, "N");
  Application->ProcessMessages();
  TypeText(Editor(), "ew");
  KeyClick(Editor(), VK_UP);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->RecordCount(), 6);
  EXPECT_EQ(ds->Cell(5, 3).AsString(), "New");
}

TEST_F(DbGridEditGui, InsertAndCtrlDeleteInAReadOnlyRowSelectGrid) {
  UseJournalOptions();
  MessageBoxRecorder boxes(mrOk);
  KeyClick(grid, VK_INSERT);
  EXPECT_EQ(ds->State(), dsBrowse);
  KeyClick(grid, VK_DELETE, {ssCtrl});
  EXPECT_EQ(ds->RecordCount(), 5);
  EXPECT_TRUE(boxes.Boxes().empty());
  // F2 and typing never show an editor.
  KeyClick(grid, VK_F2);
  TypeText(grid, "a");
  Application->ProcessMessages();
  EXPECT_FALSE(EditorShown());
}

TEST_F(DbGridEditGui, InsertAddsARecordBeforeTheCurrentOne) {
  ds->MoveBy(2);
  KeyClick(grid, VK_INSERT);
  EXPECT_EQ(ds->State(), dsInsert);
  EXPECT_EQ(grid->RowCount(), 7);
  // An untouched inserted record is dropped by Down and lands on the
  // record it was inserted before.
  KeyClick(grid, VK_DOWN);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->RecNo(), 3);
}

TEST_F(DbGridEditGui, CtrlDeleteAsksFirst) {
  MessageBoxRecorder boxes(mrCancel);
  KeyClick(grid, VK_DELETE, {ssCtrl});
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Text, "Delete record?");
  EXPECT_EQ(boxes.Boxes()[0].Buttons, (std::vector<TModalResult>{mrOk, mrCancel}));
  EXPECT_EQ(ds->RecordCount(), 5);
  boxes.SetAnswer(mrOk);
  KeyClick(grid, VK_DELETE, {ssCtrl});
  EXPECT_EQ(ds->RecordCount(), 4);
  EXPECT_EQ(Field("PLA_DO1"), "2");
  // Without dgConfirmDelete nothing is asked.
  grid->SetOptions(grid->Options() - TDBGridOptions{dgConfirmDelete});
  KeyClick(grid, VK_DELETE, {ssCtrl});
  EXPECT_EQ(ds->RecordCount(), 3);
  EXPECT_EQ(boxes.Boxes().size(), 2u);
}

TEST_F(DbGridEditGui, MultiSelectDeletesTheSelectedRows) {
  grid->SetOptions(grid->Options() + TDBGridOptions{dgMultiSelect});
  ClickCell(0, 1);
  ClickCell(0, 3, {ssCtrl});
  EXPECT_EQ(grid->SelectedRows()->Count(), 2);
  ClickCell(0, 4, {ssCtrl});
  ClickCell(0, 4, {ssCtrl});  // a second Ctrl+click drops the row again
  EXPECT_EQ(grid->SelectedRows()->Count(), 2);
  // Shift+Down extends the selection.
  ds->First();
  KeyClick(grid, VK_DOWN, {ssShift});
  EXPECT_EQ(grid->SelectedRows()->Count(), 3);
  MessageBoxRecorder boxes(mrOk);
  KeyClick(grid, VK_DELETE, {ssCtrl});
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Text, "Delete all selected records?");
  EXPECT_EQ(ds->RecordCount(), 2);
  EXPECT_EQ(grid->SelectedRows()->Count(), 0);
  std::vector<AnsiString> left = {ds->Cell(0, 1).AsString(), ds->Cell(1, 1).AsString()};
  EXPECT_EQ(left, (std::vector<AnsiString>{"3", "5"}));
  // A plain click selects only its row; turning multi-select off clears.
  ClickCell(0, 0);
  ClickCell(0, 1);
  EXPECT_EQ(grid->SelectedRows()->Count(), 1);
  grid->SetOptions(grid->Options() - TDBGridOptions{dgMultiSelect});
  EXPECT_EQ(grid->SelectedRows()->Count(), 0);
}

TEST_F(DbGridEditGui, LeavingTheGridCancelsAnUntouchedNewRecord) {
  KeyClick(grid, VK_INSERT);
  ASSERT_EQ(ds->State(), dsInsert);
  other->SetFocus();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->RecordCount(), 5);
  // Without dgCancelOnExit the new record waits.
  grid->SetOptions(grid->Options() - TDBGridOptions{dgCancelOnExit});
  grid->SetFocus();
  KeyClick(grid, VK_INSERT);
  other->SetFocus();
  EXPECT_EQ(ds->State(), dsInsert);
}

TEST_F(DbGridEditGui, LeavingWritesTheEditorAndAFailureKeepsTheFocus) {
  grid->SetSelectedIndex(4);
  KeyClick(grid, VK_F2);
  Editor()->SelectAll();
  TypeText(Editor(), "12,5");
  other->SetFocus();
  EXPECT_EQ(form->ActiveControl(), other);
  EXPECT_DOUBLE_EQ(ds->FieldByName("PLA_HOD")->AsFloat(), 12.5);
  grid->SetFocus();
  KeyClick(grid, VK_F2);
  Editor()->SelectAll();
  TypeText(Editor(), "1-2");
  MessageBoxRecorder boxes;
  other->SetFocus();
  EXPECT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_TRUE(grid->ContainsControl(form->ActiveControl()));
  EXPECT_DOUBLE_EQ(ds->FieldByName("PLA_HOD")->AsFloat(), 12.5);
  EXPECT_EQ(Editor()->Text(), "1-2");
}

// Exposes the pick-list filling of the grid.
struct PickGrid : TDBGrid {
  using TDBGrid::FillPickList;
  using TDBGrid::TDBGrid;
};

struct DbGridPickGui : DbGridEditGui {
  TDBGrid* MakeGrid() override { return new PickGrid(form); }
};

TEST_F(DbGridPickGui, PickListAndEllipsisColumns) {
  TColumn* type = grid->Columns()->Add();
  type->SetFieldName("PLA_TYP");
  type->PickList()->Add("P0");
  type->PickList()->Add("P1");
  TColumn* text = grid->Columns()->Add();
  text->SetFieldName("PLA_KOM");
  text->SetButtonStyle(cbsEllipsis);
  int clicks = 0;
  grid->OnEditButtonClick = [&](TObject*) { ++clicks; };
  KeyClick(grid, VK_F2);
  ASSERT_TRUE(EditorShown());
  EXPECT_EQ(Editor()->EditStyle(), esPickList);
  TStringList items;
  static_cast<PickGrid*>(grid)->FillPickList(&items);
  EXPECT_EQ(items.Text(), "P0\r\nP1\r\n");
  KeyClick(grid, VK_TAB);
  KeyClick(grid, VK_F2);
  EXPECT_EQ(Editor()->EditStyle(), esEllipsis);
  KeyClick(Editor(), VK_RETURN, {ssCtrl});
  EXPECT_EQ(clicks, 1);
}

TEST_F(DbGridEditGui, AlwaysShownEditorFollowsTheCurrentCell) {
  grid->SetOptions(grid->Options() + TDBGridOptions{dgAlwaysShowEditor});
  grid->SetSelectedIndex(3);
  ASSERT_TRUE(EditorShown());
  EXPECT_EQ(Editor()->Text(), "Doklad 1");
  KeyClick(Editor(), VK_DOWN);
  EXPECT_EQ(ds->RecNo(), 2);
  EXPECT_TRUE(EditorShown());
  EXPECT_EQ(Editor()->Text(), "Doklad 2");
  // A value changed under the editor shows in it.
  ds->Edit();
  ds->FieldByName("PLA_KOM")->SetAsString("jinde");
  EXPECT_EQ(Editor()->Text(), "jinde");
  ds->Cancel();
}

// A journal whose type column has a lookup of the type's name.
struct DbGridLookupGui : DbGridEditGui {
  VectorDataSet* types = nullptr;
  void Prepare() override {
    types = new VectorDataSet(form);
    types->FieldDefs().Add("FIN_TYP", ftString, 3);
    types->FieldDefs().Add("FIN_NAC", ftString, 20);
    types->AddRow({Variant("P0"), Variant(Cz("Tržba"))});
    types->AddRow({Variant("P1"), Variant(Cz("Nákup"))});
    types->AddRow({Variant("P2"), Variant("Mzdy")});
    types->Open();
    for (int i = 0; i < ds->FieldDefs().Count(); ++i) ds->FieldDefs().Items(i)->CreateField(form, ds);
    auto* name = new TStringField(form);
    name->SetFieldName("TYP_NAZ");
    name->SetSize(20);
    name->SetFieldKind(fkLookup);
    name->SetLookupDataSet(types);
    name->SetLookupKeyFields("FIN_TYP");
    name->SetLookupResultField("FIN_NAC");
    name->SetKeyFields("PLA_TYP");
    name->SetDataSet(ds);
  }
};

TEST_F(DbGridLookupGui, ChoosingALookupValueSetsTheKeyField) {
  ASSERT_EQ(grid->VisibleColumnCount(), 6);
  grid->SetSelectedIndex(5);
  ASSERT_EQ(grid->SelectedField()->FieldName(), "TYP_NAZ");
  EXPECT_EQ(Field("TYP_NAZ"), Cz("Nákup"));
  KeyClick(grid, VK_F2);
  ASSERT_TRUE(EditorShown());
  EXPECT_EQ(Editor()->EditStyle(), esPickList);
  KeyClick(Editor(), VK_DOWN, {ssAlt});
  auto* list = qobject_cast<QListWidget*>(QApplication::activePopupWidget());
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(0)->text().toStdString(), "Tržba");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_EQ(Field("PLA_TYP"), "P2");
  EXPECT_EQ(Field("TYP_NAZ"), "Mzdy");
  EXPECT_EQ(Editor()->Text(), "Mzdy");
  EXPECT_EQ(types->RecNo(), 1);  // the lookup dataset stays where it was
}

}  // namespace
