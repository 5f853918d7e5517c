// The own entry controls on a form with default and cancel buttons that
// count their clicks, driven through the real key and mouse pipeline with
// the clock pinned to 8 December 2026.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>

#include <string>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/system.h"
#include "ui/edits/combo_box_kuvet.h"

namespace {

struct EntryForm : ::testing::Test {
  TPinnedClock clock{EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 7, 0)};
  TForm* form = nullptr;
  TButton* ok = nullptr;
  TButton* cancel = nullptr;
  int okClicks = 0, cancelClicks = 0;
  std::vector<std::string> errors;
  std::vector<std::string> log;

  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(100, 100, 400, 300);
    Application->OnException = [this](TObject*, const std::exception& e) { errors.push_back(e.what()); };
    ok = Add<TButton>(200, 200);
    ok->SetCaption("OK");
    ok->SetDefault(true);
    ok->OnClick = [this](TObject*) { ++okClicks; };
    cancel = Add<TButton>(300, 200);
    cancel->SetCaption("Storno");
    cancel->SetCancel(true);
    cancel->OnClick = [this](TObject*) { ++cancelClicks; };
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
  void ShowForm(TWinControl* focus) {
    form->Show();
    Application->ProcessMessages();
    focus->SetFocus();
  }
};

using TypedEditGui = EntryForm;

TEST_F(TypedEditGui, TheComboMovesOnWithEnterAndReportsItsTabExits) {
  auto* before = Add<TEdit>(10, 10);
  auto* combo = Add<TComboBoxKuvet>(10, 40);
  auto* after = Add<TEdit>(10, 70);
  combo->Items()->Add("jedna");
  int spaces = 0;
  std::vector<TShiftState> tabExits;
  combo->OnClickSpace = [&](TObject*) { ++spaces; };
  combo->OnTabExit = [&](TObject*, TShiftState s) { tabExits.push_back(s); };
  ShowForm(combo);
  KeyClick(combo, VK_SPACE);
  EXPECT_EQ(spaces, 1);
  EXPECT_EQ(combo->Text(), "");
  KeyClick(combo, VK_RETURN);
  EXPECT_EQ(form->ActiveControl(), after);
  EXPECT_EQ(okClicks, 0);
  combo->SetFocus();
  KeyClick(combo, VK_RETURN, {ssShift});
  EXPECT_EQ(form->ActiveControl(), before);
  ASSERT_EQ(tabExits.size(), 2u);
  EXPECT_EQ(tabExits[0], TShiftState{});
  EXPECT_EQ(tabExits[1], TShiftState{ssShift});
  // Left by mouse: no tab exit.
  combo->SetFocus();
  MouseClick(after, 5, 5);
  EXPECT_EQ(form->ActiveControl(), after);
  EXPECT_EQ(tabExits.size(), 2u);
  // Without EnterIsTab, Enter reaches the default button.
  combo->SetEnterIsTab(false);
  combo->SetFocus();
  KeyClick(combo, VK_RETURN);
  EXPECT_EQ(okClicks, 1);
  EXPECT_TRUE(errors.empty());
}

}  // namespace
