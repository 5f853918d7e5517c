// Shared pieces of the grid's tests: a journal-shaped dataset and a form
// with a grid bound to it, shown and focused, plus helpers to reach cells.
#pragma once

#include <gtest/gtest.h>

#include "platform/db/testing/db_test_support.h"
#include "platform/db/testing/vector_dataset.h"
#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/system.h"
#include "ui/dbgrid/db_grid.h"

namespace gridtest {

using dbtest::DefineJournal;

// The framework's journal rows with amounts i * 100.5 (alternating sign),
// so that the grid shows decimals and thousands.
inline void FillJournal(VectorDataSet& ds, int n) { dbtest::FillJournal(ds, n, 100.5); }

// A grid over rows() journal records on a shown form, focused.
struct GridFixture : ::testing::Test {
  TForm* form = nullptr;
  VectorDataSet* ds = nullptr;
  TDataSource* source = nullptr;
  TDBGrid* grid = nullptr;
  TEdit* other = nullptr;

  virtual int Rows() const { return 30; }
  virtual void Prepare() {}

  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(30, 30, 560, 330);
    ds = new VectorDataSet(form);
    DefineJournal(*ds);
    FillJournal(*ds, Rows());
    Prepare();
    ds->Open();
    static_cast<TFloatField*>(ds->FieldByName("PLA_HOD"))->SetDisplayFormat("#,##0.00");
    source = new TDataSource(form);
    source->SetDataSet(ds);
    grid = MakeGrid();
    grid->SetParent(form);
    grid->SetBounds(8, 8, 530, 220);
    grid->SetDataSource(source);
    other = new TEdit(form);
    other->SetParent(form);
    other->SetBounds(8, 240, 100, 21);
    form->Show();
    Application->ProcessMessages();
    grid->SetFocus();
  }
  void TearDown() override { delete form; }
  virtual TDBGrid* MakeGrid() { return new TDBGrid(form); }

  TRect Cell(int dataCol, int dataRow) const {
    return grid->CellRect(dataCol + grid->IndicatorOffset(), dataRow + grid->TitleOffset());
  }
  void ClickCell(int dataCol, int dataRow, TShiftState shift = {}) {
    TRect r = Cell(dataCol, dataRow);
    MouseClick(grid, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2, mbLeft, shift);
  }
  int Page() const { return grid->DataLink()->BufferCount(); }
  // A client rectangle of the grid in the grabbed picture (inside the
  // two-pixel sunken border).
  static TRect OnImage(const TRect& r) { return OffsetRect(r, 2, 2); }
  void UseJournalOptions() {
    grid->SetOptions({dgTitles, dgIndicator, dgColLines, dgRowLines, dgTabs, dgRowSelect, dgAlwaysShowSelection,
                      dgConfirmDelete, dgCancelOnExit});
    grid->SetReadOnly(true);
  }
};

}  // namespace gridtest
