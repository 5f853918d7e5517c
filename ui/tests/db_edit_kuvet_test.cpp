// The validating data-aware edit over a test dataset: when it validates,
// what reaches the field, how failures are reported, completion bases, and
// that no button acts on a text the edit would refuse.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/db/testing/vector_dataset.h"
#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"
#include "ui/edits/db_edit_kuvet.h"

namespace {

struct DbEditForm : ::testing::Test {
  TPinnedClock clock{EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 7, 0)};
  TForm* form = nullptr;
  VectorDataSet* ds = nullptr;
  TDataSource* source = nullptr;
  TButton* ok = nullptr;
  TButton* save = nullptr;
  TButton* cancel = nullptr;
  TEdit* other = nullptr;
  int okClicks = 0, saveClicks = 0, cancelClicks = 0;
  std::vector<std::string> errors;

  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(100, 100, 420, 260);
    Application->OnException = [this](TObject*, const std::exception& e) { errors.push_back(e.what()); };
    ds = new VectorDataSet(form);
    ds->FieldDefs().Add("PLA_KOM", ftString, 30);
    ds->FieldDefs().Add("PLA_HOD", ftFloat);
    ds->FieldDefs().Add("CIS_FIN", ftInteger);
    ds->AddRow({Variant(AnsiString("stary")), Variant(10.0), Variant(int64_t{7})});
    ds->Open();
    source = new TDataSource(form);
    source->SetDataSet(ds);
    other = Add<TEdit>(10, 200);
    ok = Add<TButton>(200, 200);
    ok->SetCaption("OK");
    ok->SetDefault(true);
    ok->OnClick = [this](TObject*) { ++okClicks; };
    save = Add<TButton>(120, 200);
    save->SetCaption(Cz("&Uložit"));
    save->OnClick = [this](TObject*) { ++saveClicks; };
    cancel = Add<TButton>(300, 200);
    cancel->SetCaption("Storno");
    cancel->SetCancel(true);
    cancel->OnClick = [this](TObject*) {
      ++cancelClicks;
      ds->Cancel();
    };
  }
  void TearDown() override {
    Application->OnException = nullptr;
    delete form;
  }
  template <class T>
  T* Add(int left, int top, int width = 100, int height = 21) {
    auto* c = new T(form);
    c->SetParent(form);
    c->SetBounds(left, top, width, height);
    return c;
  }
  TDBEditKuvet* Edit(const char* field) {
    auto* e = Add<TDBEditKuvet>(10, 10, 150, 21);
    e->SetDataSource(source);
    e->SetDataField(field);
    return e;
  }
  void ShowForm(TWinControl* focus) {
    form->Show();
    Application->ProcessMessages();
    focus->SetFocus();
  }
  AnsiString Kom() const { return ds->FieldByName("PLA_KOM")->AsString(); }
};

using DbEditKuvetGui = DbEditForm;

TEST_F(DbEditKuvetGui, WhenValidDecidesWhetherOnValidRuns) {
  auto* e = Edit("PLA_KOM");
  EXPECT_EQ(e->EditType(), setStandard);
  EXPECT_EQ(e->WhenValid(), swvAlways);
  EXPECT_FALSE(e->EnterIsTab());
  int calls = 0;
  e->OnValid = [&](TObject*, AnsiString&, bool&) { ++calls; };
  struct Case {
    TWhenValid mode;
    bool editing;
    const char* typed;  // null: unchanged
    int calls;
  } cases[] = {{swvAlways, false, nullptr, 1},    {swvAlways, true, "x", 1},     {swvWhenEdit, false, nullptr, 0},
               {swvWhenEdit, true, nullptr, 1},   {swvWhenEdit, true, "x", 1},   {swvWhenChange, true, nullptr, 0},
               {swvWhenChange, false, nullptr, 0}, {swvWhenChange, true, "x", 1}, {swvNone, true, "x", 0},
               {swvNone, false, nullptr, 0}};
  ShowForm(other);
  for (const Case& c : cases) {
    ds->Cancel();
    e->SetWhenValid(c.mode);
    e->SetFocus();
    if (c.editing) ds->Edit();
    if (c.typed) TypeText(e, c.typed);
    calls = 0;
    other->SetFocus();
    EXPECT_EQ(form->ActiveControl(), other);
    EXPECT_EQ(calls, c.calls) << c.mode << " " << c.editing << " " << (c.typed ? c.typed : "-");
  }
}

TEST_F(DbEditKuvetGui, TheFieldGetsTheTextAsOnValidLeftIt) {
  auto* e = Edit("PLA_KOM");
  e->OnValid = [](TObject*, AnsiString& text, bool&) { text = AnsiUpperCase(text); };
  ShowForm(e);
  TypeText(e, Cz("nájem"));
  other->SetFocus();
  EXPECT_EQ(Kom(), Cz("NÁJEM"));
}

TEST_F(DbEditKuvetGui, ARefusedTextIsReportedAndNeverReachesTheField) {
  MessageBoxRecorder boxes;
  auto* e = Edit("PLA_KOM");
  e->OnValid = [](TObject*, AnsiString&, bool& valid) { valid = false; };
  int exits = 0, errorsSeen = 0;
  e->OnExit = [&](TObject*) { ++exits; };
  ShowForm(e);
  TypeText(e, "novy");
  other->SetFocus();  // neither OnError nor ErrorString: silence
  EXPECT_EQ(form->ActiveControl(), e);
  EXPECT_TRUE(boxes.Boxes().empty());
  e->SetErrorString(Cz("Neplatný kód"));
  other->SetFocus();
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Text, Cz("Neplatný kód"));
  e->OnError = [&](TObject*) { ++errorsSeen; };
  other->SetFocus();
  EXPECT_EQ(errorsSeen, 1);
  EXPECT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(exits, 0);
  EXPECT_EQ(form->ActiveControl(), e);
  ds->Cancel();
  EXPECT_EQ(Kom(), "stary");
}

TEST_F(DbEditKuvetGui, OnValidMayRunAModalPickerOrRaise) {
  auto* e = Edit("PLA_KOM");
  e->OnValid = [&](TObject*, AnsiString& text, bool& valid) {
    TForm* picker = NewForm<TForm>(Application);
    TModalResult r = picker->ShowModal();
    delete picker;
    valid = r == mrOk;
    if (valid) text = "VYBRANO";
  };
  ShowForm(e);
  TypeText(e, "x");
  OnNextModal([](TCustomForm* f) { f->SetModalResult(mrOk); });
  other->SetFocus();
  EXPECT_EQ(form->ActiveControl(), other);
  EXPECT_EQ(Kom(), "VYBRANO");
  e->OnValid = [](TObject*, AnsiString&, bool&) { throw std::runtime_error("counter"); };
  e->SetFocus();
  TypeText(e, "y");
  other->SetFocus();
  EXPECT_EQ(form->ActiveControl(), e);
  EXPECT_EQ(errors, (std::vector<std::string>{"counter"}));
}

TEST_F(DbEditKuvetGui, DatesAndTimesCompleteFromNowOrTheStoredMoment) {
  auto* e = Edit("PLA_KOM");
  clock.Set(EncodeDate(2027, 1, 10) + EncodeTime(11, 22, 33, 0));
  struct Case {
    TKuvetEditType type;
    TKuvetDateTimeType base;
    const char* in;
    const char* out;
  } cases[] = {{setDate, sdtNow, "5", "5.01.2027"},
               {setDate, sdtUser, "5", "5.12.2026"},
               {setTime, sdtNow, "14", "14:22:33"},
               {setTime, sdtUser, "14", "14:05:07"},
               {setTime, sdtNow, "1430", ""}};
  for (const Case& c : cases) {
    e->SetEditType(c.type);
    e->SetDateTimeType(c.base);
    e->SetText(c.in);
    bool valid = e->ValidateText();
    EXPECT_EQ(e->Text(), c.out) << c.in;
    EXPECT_EQ(valid, *c.out != 0) << c.in;
  }
}

TEST_F(DbEditKuvetGui, DecimalPointsBecomeCommasInFloatFields) {
  auto* e = Edit("PLA_HOD");
  ShowForm(e);
  e->SelectAll();
  TypeText(e, "12.5");
  EXPECT_EQ(e->Text(), "12,5");
  other->SetFocus();
  EXPECT_DOUBLE_EQ(ds->FieldByName("PLA_HOD")->AsFloat(), 12.5);
}

TEST_F(DbEditKuvetGui, EscClicksCancelAndTheFieldIsRestored) {
  auto* e = Edit("PLA_KOM");
  ShowForm(e);
  TypeText(e, "xyz");
  KeyClick(e, VK_ESCAPE);
  EXPECT_EQ(cancelClicks, 1);
  EXPECT_EQ(Kom(), "stary");
  EXPECT_EQ(e->Text(), "stary");
}

TEST_F(DbEditKuvetGui, ADisabledEditPaintsColorDisableAndKeepsColor) {
  auto* e = Edit("PLA_KOM");
  e->SetColorDisable(clYellow);
  e->SetEnabled(false);
  ShowForm(other);
  QImage shot = Grab(e);
  EXPECT_EQ(PixelAt(shot, 140, 10), clYellow);
  EXPECT_EQ(e->Color(), clWindow);
  e->SetEnabled(true);
  shot = Grab(e);
  EXPECT_EQ(PixelAt(shot, 140, 10), ColorToRGB(clWindow));
}

TEST_F(DbEditKuvetGui, NoButtonActsOnATextTheEditRefuses) {
  auto* e = Edit("CIS_FIN");
  e->OnValid = [](TObject*, AnsiString& text, bool& valid) { valid = StrToIntDef(text, 0) > 0; };
  e->SetErrorString(Cz("Číslo musí být kladné"));
  ok->OnClick = [this](TObject*) {
    ++okClicks;
    ds->Post();
  };
  MessageBoxRecorder boxes;
  ShowForm(e);
  e->SelectAll();
  TypeText(e, "0");
  KeyClick(e, VK_RETURN);
  EXPECT_EQ(okClicks, 0);
  KeyClick(e, 'U', {ssAlt});
  EXPECT_EQ(saveClicks, 0);
  EXPECT_EQ(form->ActiveControl(), e);
  EXPECT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_EQ(ds->FieldByName("CIS_FIN")->AsInteger(), 7);
  e->SelectAll();
  TypeText(e, "5");
  KeyClick(e, VK_RETURN);
  EXPECT_EQ(okClicks, 1);
  EXPECT_EQ(ds->FieldByName("CIS_FIN")->AsInteger(), 5);
  EXPECT_EQ(ds->State(), dsBrowse);
}

TEST_F(DbEditKuvetGui, APastedLineBreakNeverReachesTheField) {
  auto* e = Edit("PLA_KOM");
  ShowForm(e);
  e->SelectAll();
  QApplication::clipboard()->setText(QString::fromUtf8("Nájem\r\nleden"));
  KeyClick(e, VK_INSERT, {ssShift});
  other->SetFocus();
  EXPECT_EQ(Kom(), Cz("Nájem"));
}

}  // namespace
