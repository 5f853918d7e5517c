// Standard controls, masks, pages, alignment, gauge, timer, cursor, menus
// and actions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QThread>

#include <string>
#include <vector>

#include "platform/gui/actions.h"
#include "platform/gui/application.h"
#include "platform/gui/buttons.h"
#include "platform/gui/com_controls.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/grids.h"
#include "platform/gui/mask_edit.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/system.h"
#include "testing/random_input.h"

namespace {

struct ControlsGui : ::testing::Test {
  TForm* form = nullptr;
  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(50, 50, 420, 320);
  }
  void TearDown() override { delete form; }
  template <class T>
  T* Add(int left, int top, int width, int height, TWinControl* parent = nullptr) {
    auto* c = new T(form);
    c->SetParent(parent ? parent : form);
    c->SetBounds(left, top, width, height);
    return c;
  }
  void ShowForm() {
    form->Show();
    Application->ProcessMessages();
  }
};

TEST_F(ControlsGui, CzechTextRoundTripsThroughControlsAndCaptions) {
  const AnsiString text = Cz("Příjmy Výdeje Zůstatek ěščřžýáíé ĚŠČŘŽÝÁÍÉ ůú ťďň");
  auto* edit = Add<TEdit>(10, 10, 200, 21);
  auto* label = Add<TLabel>(10, 40, 200, 17);
  auto* combo = Add<TComboBox>(10, 70, 200, 21);
  auto* button = Add<TButton>(10, 100, 200, 25);
  auto* check = Add<TCheckBox>(10, 130, 200, 17);
  auto* radio = Add<TRadioButton>(10, 150, 200, 17);
  edit->SetText(text);
  label->SetCaption(text);
  combo->Items()->Add(text);
  combo->Items()->Add("druhý");
  combo->SetItemIndex(0);
  button->SetCaption(text);
  check->SetCaption(text);
  radio->SetCaption(text);
  form->SetCaption(text);
  EXPECT_EQ(edit->Text(), text);
  EXPECT_EQ(label->Caption(), text);
  EXPECT_EQ(combo->Text(), text);
  EXPECT_EQ(combo->Items()->Strings(0), text);
  EXPECT_EQ(button->Caption(), text);
  EXPECT_EQ(check->Caption(), text);
  EXPECT_EQ(radio->Caption(), text);
  EXPECT_EQ(form->Caption(), text);
  EXPECT_EQ(form->Widget()->windowTitle().toStdString(), "Příjmy Výdeje Zůstatek ěščřžýáíé ĚŠČŘŽÝÁÍÉ ůú ťďň");
  // An OEM font reads the same bytes as CP852.
  label->Font()->SetCharset(OEM_CHARSET);
  edit->Font()->SetCharset(OEM_CHARSET);
  edit->SetText("\xA0\x82");  // CP852: á é
  EXPECT_EQ(static_cast<QLineEdit*>(edit->Widget())->text().toStdString(), "áé");
  EXPECT_EQ(edit->Text(), "\xA0\x82");
}

TEST_F(ControlsGui, MaxLengthStopsTyping) {
  auto* edit = Add<TEdit>(10, 10, 100, 21);
  edit->SetMaxLength(3);
  ShowForm();
  TypeText(edit, "abcdef");
  EXPECT_EQ(edit->Text(), "abc");
  edit->SetMaxLength(0);
  TypeText(edit, "de");
  EXPECT_EQ(edit->Text(), "abcde");
}

TEST_F(ControlsGui, TextRectangleKeepsTypedTextLeftOfAnInnerButton) {
  auto* edit = Add<TEdit>(10, 10, 89, 21);
  auto* button = new TButton(form);
  button->SetParent(edit);
  int bw = 21;
  button->SetBounds(edit->ClientWidth() - bw, 0, bw, edit->ClientHeight());
  edit->SetTextRect(Rect(0, 0, edit->ClientWidth() - bw, edit->ClientHeight()));
  ShowForm();
  TypeText(edit, "1234567890123456789012345");
  auto* q = static_cast<QLineEdit*>(edit->Widget());
  q->repaint();  // the line edit scrolls its text while painting
  int caretRight = q->inputMethodQuery(Qt::ImCursorRectangle).toRect().right();
  int buttonLeft = button->Widget()->geometry().left();
  EXPECT_LT(caretRight, buttonLeft);
  EXPECT_GT(caretRight, buttonLeft - 12);
}

TEST_F(ControlsGui, DateMasksUseTheDateSeparatorAndRefuseUnknownCharacters) {
  auto* edit = Add<TMaskEdit>(10, 10, 100, 21);
  struct Case {
    const char* mask;
    const char* typed;
    const char* editText;
    const char* text;
  };
  const Case cases[] = {
      {"!99/99/9999;1;_", "08122026", "08.12.2026", "08.12.2026"},
      {"!99/99/99;1;_", "0812", "08.12.__", "08.12.  "},
      {"!9999/99/99;1;_", "20261208", "2026.12.08", "2026.12.08"},
      {"!99/99/9999;0;_", "0812", "08.12.____", "0812    "},
      {"!99:99;1; ", "1430", "14:30", "14:30"},
  };
  ShowForm();
  for (const Case& c : cases) {
    edit->SetEditMask(c.mask);
    edit->SetText("");
    edit->SetFocus();
    edit->SetSelStart(0);
    TypeText(edit, c.typed);
    EXPECT_EQ(edit->EditText(), c.editText) << c.mask;
    EXPECT_EQ(edit->Text(), c.text) << c.mask;
  }
  edit->SetEditMask("!99/99/9999;1;_");
  edit->SetText("31.01.2027");
  EXPECT_EQ(edit->EditText(), "31.01.2027");
  // Letters do not fit digit positions.
  edit->SetText("");
  edit->SetSelStart(0);
  TypeText(edit, "ab1");
  EXPECT_EQ(edit->EditText(), "1_.__.____");
  for (const char* bad : {"LL/99", "!>99", "#9", "AA", "99/CC"})
    EXPECT_THROW(edit->SetEditMask(bad), EInvalidEditMask) << bad;
  // A required position left empty fails validation.
  edit->SetEditMask("00/00;1;_");
  edit->SetText("1");
  EXPECT_THROW(edit->ValidateEdit(), EDBEditError);
}

TEST(EditMaskMalformed, AnyMaskTextEitherAppliesOrIsRefused) {
  auto* form = NewForm<TForm>(Application);
  auto* edit = new TMaskEdit(form);
  edit->SetParent(form);
  RandomInputOptions options;
  options.iterations = 1500;
  options.maxSize = 64;
  RunRandomInputs({"!99/99/9999;1;_", "!99/99/99;1;", "!9999/99/99;1; ", "\\A99:99;0;*", "0/0;"},
                  [&](const std::string& mask) {
                    try {
                      edit->SetEditMask(mask);
                      edit->SetText("12.34.5678");
                      (void)edit->Text();
                      (void)edit->EditText();
                      edit->ValidateEdit();
                    } catch (const EInvalidEditMask&) {
                    } catch (const EDBEditError&) {
                    }
                  },
                  options);
  delete form;
}

TEST_F(ControlsGui, RadioButtonsAreExclusivePerParent) {
  auto* panel = Add<TPanel>(10, 100, 200, 100);
  auto* a = Add<TRadioButton>(10, 10, 100, 17);
  auto* b = Add<TRadioButton>(10, 30, 100, 17);
  auto* c = Add<TRadioButton>(10, 10, 100, 17, panel);
  auto* d = Add<TRadioButton>(10, 30, 100, 17, panel);
  std::vector<TRadioButton*> clicked;
  for (TRadioButton* r : {a, b, c, d}) r->OnClick = [&clicked, r](TObject*) { clicked.push_back(r); };
  ShowForm();
  a->SetChecked(true);
  c->SetChecked(true);
  MouseClick(b, 5, 5);
  EXPECT_FALSE(a->Checked());
  EXPECT_TRUE(b->Checked());
  EXPECT_TRUE(c->Checked());
  EXPECT_FALSE(d->Checked());
  // Clicking the checked one leaves it checked.
  MouseClick(b, 5, 5);
  EXPECT_TRUE(b->Checked());
  EXPECT_EQ(clicked, (std::vector<TRadioButton*>{a, c, b}));
  // Arrows move through the group and check as they go.
  KeyClick(b, VK_UP);
  EXPECT_TRUE(a->Checked());
  EXPECT_FALSE(b->Checked());
}

TEST_F(ControlsGui, CheckBoxClicksToggleAndSettingFiresOnClick) {
  auto* check = Add<TCheckBox>(10, 10, 100, 17);
  int clicks = 0;
  check->OnClick = [&](TObject*) { ++clicks; };
  ShowForm();
  MouseClick(check, 5, 5);
  EXPECT_TRUE(check->Checked());
  KeyClick(check, VK_SPACE);
  EXPECT_FALSE(check->Checked());
  check->SetChecked(true);
  EXPECT_EQ(clicks, 3);
  check->SetAllowGrayed(true);
  check->Toggle();
  EXPECT_EQ(check->State(), cbGrayed);
}

TEST_F(ControlsGui, PageSwitchingTakesTheOtherPagesOutOfTheTabOrder) {
  auto* pages = Add<TPageControl>(10, 10, 300, 200);
  auto* one = new TTabSheet(form);
  one->SetPageControl(pages);
  one->SetCaption("Tiskárny");
  auto* two = new TTabSheet(form);
  two->SetPageControl(pages);
  two->SetCaption(Cz("Číslování dokladů"));
  auto* e1 = Add<TEdit>(10, 10, 80, 21, one);
  auto* e2 = Add<TEdit>(10, 10, 80, 21, two);
  auto* after = Add<TEdit>(10, 250, 80, 21);
  ShowForm();
  EXPECT_EQ(pages->ActivePage(), one);
  e1->SetFocus();
  KeyClick(e1, VK_TAB);
  EXPECT_EQ(form->ActiveControl(), after);
  pages->SetActivePage(two);
  EXPECT_FALSE(e1->CanFocus());
  e2->SetFocus();
  KeyClick(e2, VK_TAB);
  EXPECT_EQ(form->ActiveControl(), after);
  KeyClick(after, VK_TAB);
  EXPECT_EQ(form->ActiveControl(), pages);
  KeyClick(pages, VK_TAB);
  EXPECT_EQ(form->ActiveControl(), e2);
  // Sheets fill the display area.
  TRect d = pages->DisplayRect();
  EXPECT_EQ(two->BoundsRect(), d);
  two->SetTabVisible(false);
  EXPECT_EQ(pages->ActivePage(), one);
}

// A grid that draws nothing, for layout.
class PlainGrid : public TCustomGrid {
 public:
  using TCustomGrid::TCustomGrid;
};

TEST_F(ControlsGui, AlignPlacesTopClientAndBottomAfterResizes) {
  auto* top = Add<TPanel>(0, 0, 50, 41);
  auto* grid = Add<PlainGrid>(0, 0, 50, 50);
  auto* status = Add<TPanel>(0, 0, 50, 19);
  // Created in an order other than their groups.
  top->SetAlign(alTop);
  status->SetAlign(alBottom);
  grid->SetAlign(alClient);
  for (auto size : {std::pair{580, 365}, std::pair{300, 200}, std::pair{800, 600}}) {
    form->SetBounds(10, 10, size.first, size.second);
    int cw = form->ClientWidth(), ch = form->ClientHeight();
    EXPECT_EQ(top->BoundsRect(), Rect(0, 0, cw, 41));
    EXPECT_EQ(status->BoundsRect(), Rect(0, ch - 19, cw, ch));
    EXPECT_EQ(grid->BoundsRect(), Rect(0, 41, cw, ch - 19));
  }
  status->SetVisible(false);
  EXPECT_EQ(grid->Height(), form->ClientHeight() - 41);
}

TEST_F(ControlsGui, GaugeShowsThePercentage) {
  auto* gauge = Add<TGauge>(10, 10, 329, 25);
  gauge->SetProgress(50);
  EXPECT_EQ(gauge->PercentDone(), 50);
  gauge->SetMaxValue(3);
  gauge->SetProgress(2);
  EXPECT_EQ(gauge->PercentDone(), 66);
  gauge->SetMaxValue(100);
  gauge->SetProgress(50);
  ShowForm();
  QImage img = Grab(gauge);
  SaveArtifact(img, "gauge_50.png");
  // Left half dark, right half light, and the text straddles both.
  EXPECT_EQ(PixelAt(img, 5, 3), clBlack);
  EXPECT_EQ(PixelAt(img, 320, 3), clWhite);
  TCanvas probe;
  probe.Font()->Assign(gauge->Font());
  EXPECT_GT(CountColor(img, Rect(150, 2, 180, 23), clWhite), 0);
  EXPECT_GT(CountColor(img, Rect(165, 2, 180, 23), clBlack), 0);
}

TEST_F(ControlsGui, TimerFiresWithinBounds) {
  auto* timer = new TTimer(form);
  timer->SetInterval(20);
  int ticks = 0;
  timer->OnTimer = [&](TObject*) { ++ticks; };
  QElapsedTimer clock;
  clock.start();
  while (ticks < 3 && clock.elapsed() < 2000) {
    Application->ProcessMessages();
    QThread::msleep(1);
  }
  EXPECT_EQ(ticks, 3);
  EXPECT_GE(clock.elapsed(), 55);
  timer->SetEnabled(false);
  int stopped = ticks;
  QThread::msleep(60);
  Application->ProcessMessages();
  EXPECT_EQ(ticks, stopped);
}

TEST_F(ControlsGui, ScreenCursorOverridesAndRestores) {
  EXPECT_EQ(Screen->Cursor(), crDefault);
  Screen->SetCursor(crHourGlass);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  Screen->SetCursor(crDefault);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  TBitmap hand;
  hand.SetSize(16, 16);
  Screen->SetCursors(14000, hand, Point(3, 0));
  EXPECT_TRUE(Screen->HasCursor(14000));
}

TEST_F(ControlsGui, MenuShortcutsRunThroughTheFormAndPopupsShowOnRightClick) {
  auto* menu = new TMainMenu(form);
  auto* top = new TMenuItem(form);
  top->SetCaption("&Doklad");
  auto* item = new TMenuItem(form);
  item->SetCaption(Cz("Nový doklad"));
  item->SetShortCut(ShortCut(VK_F2, {ssCtrl}));
  int clicks = 0;
  item->OnClick = [&](TObject*) { ++clicks; };
  top->Add(item);
  menu->Items()->Add(top);
  form->SetMenu(menu);
  auto* edit = Add<TEdit>(10, 10, 100, 21);
  auto* popup = new TPopupMenu(form);
  auto* pitem = new TMenuItem(form);
  pitem->SetCaption("Kopie");
  popup->Items()->Add(pitem);
  edit->SetPopupMenu(popup);
  ShowForm();
  KeyClick(edit, VK_F2, {ssCtrl});
  EXPECT_EQ(clicks, 1);
  item->SetEnabled(false);
  KeyClick(edit, VK_F2, {ssCtrl});
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(ShortCutToText(item->ShortCut()), "Ctrl+F2");
  QContextMenuEvent ev(QContextMenuEvent::Mouse, QPoint(5, 5), edit->Widget()->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(edit->Widget(), &ev);
  EXPECT_EQ(popup->PopupComponent(), edit);
  EXPECT_TRUE(popup->Items()->SubMenu()->isVisible());
  popup->Items()->SubMenu()->hide();
}

TEST_F(ControlsGui, ActionsUpdateWhenIdleAndRunByShortcut) {
  auto* list = new TActionList(form);
  auto* action = new TAction(form);
  action->SetActionList(list);
  action->SetShortCut(ShortCut(VK_F8, {}));
  bool allowed = false;
  int runs = 0;
  action->OnUpdate = [&](TObject*) { action->SetEnabled(allowed); };
  action->OnExecute = [&](TObject*) { ++runs; };
  auto* edit = Add<TEdit>(10, 10, 100, 21);
  ShowForm();
  Application->DoIdle();
  EXPECT_FALSE(action->Enabled());
  KeyClick(edit, VK_F8);
  EXPECT_EQ(runs, 0);
  allowed = true;
  Application->DoIdle();
  EXPECT_TRUE(action->Enabled());
  KeyClick(edit, VK_F8);
  EXPECT_EQ(runs, 1);
}

TEST_F(ControlsGui, BitButtonKindsGiveCaptionsResultsAndGlyphs) {
  struct Case {
    TBitBtnKind kind;
    const char* caption;
    int result;
  };
  for (Case c : {Case{bkOK, "OK", mrOk}, Case{bkCancel, "Storno", mrCancel}, Case{bkAbort, "Přerušit", mrAbort}}) {
    auto* b = Add<TBitBtn>(10, 10, 75, 25);
    b->SetKind(c.kind);
    EXPECT_EQ(b->Caption(), Cz(c.caption));
    EXPECT_EQ(b->ModalResult(), c.result);
    EXPECT_FALSE(b->Glyph()->Empty());
  }
  // While the form loads, a caption given first stays.
  auto* f = new TForm(Application);
  auto* storno = new TBitBtn(f);
  storno->SetCaption("&Storno");
  storno->SetKind(bkAbort);
  f->AfterConstruction();
  EXPECT_EQ(storno->Caption(), "&Storno");
  EXPECT_EQ(storno->ModalResult(), mrAbort);
  delete f;
}

}  // namespace
