// What drop-down edits rely on: a caret that hides while a drop-down
// shows, read-only switches that leave the caret alone, the system metrics
// they lay out by, and double clicks on panels and labels.
#include <gtest/gtest.h>

#include "platform/gui/application.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"

namespace {

struct DropDownSupportGui : ::testing::Test {
  TForm* form = nullptr;
  TEdit* edit = nullptr;
  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(50, 50, 300, 200);
    edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(8, 8, 120, 21);
    form->Show();
    Application->ProcessMessages();
    edit->SetFocus();
  }
  void TearDown() override { delete form; }
};

TEST_F(DropDownSupportGui, AHiddenCaretHoldsTypingOffAndComesBack) {
  edit->SetText("abc");
  edit->SetSelStart(3);
  edit->HideCaret();
  edit->HideCaret();
  EXPECT_FALSE(edit->CaretShown());
  EXPECT_FALSE(edit->ReadOnly());
  TypeText(edit, "x");
  EXPECT_EQ(edit->Text(), "abc");
  edit->ShowCaret();
  EXPECT_FALSE(edit->CaretShown());
  edit->ShowCaret();
  EXPECT_TRUE(edit->CaretShown());
  TypeText(edit, "x");
  EXPECT_EQ(edit->Text(), "abcx");
  // Read-only stays read-only when the caret comes back.
  edit->SetReadOnly(true);
  edit->HideCaret();
  edit->ShowCaret();
  TypeText(edit, "y");
  EXPECT_EQ(edit->Text(), "abcx");
}

TEST_F(DropDownSupportGui, ReadOnlySwitchesKeepTheCaretAndSelection) {
  edit->SetText("08.12.2026");
  edit->SetSelStart(3);
  edit->SetSelLength(2);
  edit->SetReadOnly(true);
  EXPECT_EQ(edit->SelStart(), 3);
  EXPECT_EQ(edit->SelLength(), 2);
  edit->SetReadOnly(false);
  EXPECT_EQ(edit->SelStart(), 3);
  EXPECT_EQ(edit->SelLength(), 2);
}

TEST_F(DropDownSupportGui, SystemMetricsAndDoubleClicksOnPanelsAndLabels) {
  EXPECT_EQ(VerticalScrollBarWidth(), 16);
  EXPECT_EQ(BorderHeight(), 1);
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetBounds(8, 40, 150, 40);
  auto* label = new TLabel(form);
  label->SetParent(form);
  label->SetBounds(8, 100, 80, 16);
  label->SetCaption("title");
  int panelClicks = 0, labelClicks = 0;
  panel->OnDblClick = [&](TObject*) { ++panelClicks; };
  label->OnDblClick = [&](TObject*) { ++labelClicks; };
  Application->ProcessMessages();
  DoubleClick(panel, 100, 20);
  DoubleClick(label, 10, 8);
  EXPECT_EQ(panelClicks, 1);
  EXPECT_EQ(labelClicks, 1);
}

}  // namespace
