// A small dialog of the components for people to look at (saved as
// edits_labels_buttons.png; scripts/gui-xvfb.sh runs this suite on a real
// display), checked by pixel facts only.
#include <gtest/gtest.h>

#include <QTest>

#include "platform/db/testing/vector_dataset.h"
#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/rtl/system.h"
#include "ui/buttons/ux_label.h"
#include "ui/buttons/ux_speed_button.h"
#include "ui/edits/db_edit_kuvet.h"
#include "ui/edits/edit_kuvet.h"

namespace {

TEST(UiScreensGui, EditsLabelsAndButtons) {
  TPinnedClock clock(EncodeDate(2026, 12, 8));
  TForm* form = NewForm<TForm>(Application);
  form->SetBorderStyle(bsDialog);
  form->SetCaption(Cz("Doklad"));
  form->SetBounds(100, 100, 360, 230);
  auto* ds = new VectorDataSet(form);
  ds->FieldDefs().Add("PLA_KOM", ftString, 30);
  ds->AddRow({Variant(Cz("Nájem za leden"))});
  ds->Open();
  auto* source = new TDataSource(form);
  source->SetDataSet(ds);

  auto label = [&](int top, const char* caption) {
    auto* l = new TUxLabel(form);
    l->SetParent(form);
    l->SetBounds(10, top + 3, 90, 17);
    l->SetCaption(Cz(caption));
  };
  label(10, "Č&ástka:");
  auto* amount = new TEditKuvet(form);
  amount->SetParent(form);
  amount->SetBounds(100, 10, 120, 21);
  amount->SetEditType(ttFloat);
  amount->SetFloatPrecision(10);
  amount->SetFloatDigits(2);
  amount->SetAlignment(taRightJustify);
  amount->SetText("1234,5");
  label(40, "&Typ:");
  auto* type = new TEditKuvet(form);
  type->SetParent(form);
  type->SetBounds(100, 40, 120, 21);
  type->SetText("PRI");
  type->SetButtonVisible(true);
  label(70, "&Popis:");
  auto* text = new TDBEditKuvet(form);
  text->SetParent(form);
  text->SetBounds(100, 70, 200, 21);
  text->SetDataSource(source);
  text->SetDataField("PLA_KOM");
  text->SetColorDisable(clInfoBk);
  text->SetEnabled(false);
  auto* focus = new TEdit(form);
  focus->SetParent(form);
  focus->SetBounds(100, 100, 120, 21);

  auto* menu = new TPopupMenu(form);
  TUxSpeedButton* buttons[5];
  for (int i = 0; i < 5; ++i) {
    buttons[i] = new TUxSpeedButton(form);
    buttons[i]->SetParent(form);
    buttons[i]->SetBounds(10 + i * 60, 140, 55, 40);
    buttons[i]->SetLayout(blGlyphLeft);
  }
  buttons[0]->SetCaption(Cz("Nový"));
  buttons[1]->SetCaption("Dole");
  buttons[1]->SetGroupIndex(1);
  buttons[1]->SetDown(true);
  buttons[2]->SetCaption("Flat");
  buttons[2]->SetFlat(true);
  buttons[3]->SetCaption(Cz("Šedý"));
  buttons[3]->SetEnabled(false);
  buttons[4]->SetCaption("Menu");
  buttons[4]->SetDropDownMenu(menu);

  form->Show();
  Application->ProcessMessages();
  focus->SetFocus();
  Application->ProcessMessages();
  QImage shot = Grab(form);
  SaveArtifact(shot, "edits_labels_buttons.png");

  // The amount, unfocused, ends at the right; the description shows its
  // disabled colour; the glyph button sits in the type edit.
  QImage a = Grab(amount);
  EXPECT_GE(LastInkColumn(a, Rect(3, 3, 117, 18), ColorToRGB(clWindow)), 110);
  EXPECT_GT(CountColor(Grab(text), Rect(150, 3, 197, 18), ColorToRGB(clInfoBk)), 100);
  EXPECT_GT(CountColor(Grab(type->Button()), Rect(0, 0, 15, 17), ColorToRGB(clBtnFace)), 50);
  // The latched button's checkered fill; the disabled caption's highlight.
  EXPECT_GT(CountColor(Grab(buttons[1]), Rect(3, 3, 52, 37), ColorToRGB(clBtnHighlight)), 200);
  EXPECT_GT(CountColor(Grab(buttons[3]), Rect(3, 3, 52, 37), ColorToRGB(clBtnHighlight)), 5);
  EXPECT_EQ(CountColor(Grab(buttons[4]), Rect(3, 3, 52, 37), ColorToRGB(clBtnText)) > 16, true);
  // On a real display the dialog stays up long enough for the screenshot
  // script to take the screen.
  if (qEnvironmentVariableIsSet("GUI_TEST_DISPLAY")) QTest::qWait(4000);
  delete form;
}

}  // namespace
