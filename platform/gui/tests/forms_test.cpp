// Forms: creation order, showing, modal runs, placement, window flags, the
// frame rectangle and message processing inside handlers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <string>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"

namespace {

std::vector<std::string> g_log;

class LoggingLabel : public TLabel {
 public:
  using TLabel::TLabel;

 protected:
  void Loaded() override {
    TLabel::Loaded();
    g_log.push_back("loaded " + Name());
  }
};

// A form built in code, as the application's forms are.
class BuiltForm : public TForm {
 public:
  explicit BuiltForm(TComponent* owner) : TForm(owner) {
    g_log.push_back(IsLoading() ? "constructing (loading)" : "constructing");
    first = new LoggingLabel(this);
    first->SetName("First");
    first->SetParent(this);
    second = new LoggingLabel(this);
    second->SetName("Second");
    second->SetParent(this);
    OnCreate = [this](TObject*) { g_log.push_back(IsLoading() ? "create (loading)" : "create"); };
    OnShow = [](TObject*) { g_log.push_back("show"); };
    OnActivate = [](TObject*) { g_log.push_back("activate"); };
    OnClose = [](TObject*, TCloseAction&) { g_log.push_back("close"); };
  }
  LoggingLabel* first;
  LoggingLabel* second;
};

class Probe : public TDataModule {
 public:
  explicit Probe(TComponent* owner);
  bool created = false;
};
Probe* g_probe = nullptr;
bool g_sawItself = false;
Probe::Probe(TComponent* owner) : TDataModule(owner) {
  g_sawItself = g_probe == this;
  OnCreate = [this](TObject*) { created = true; };
}

// Counts its paints.
class PaintCounter : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  int paints = 0;

 protected:
  void Paint() override { ++paints; }
};

TEST(FormsGui, CreationLoadsOwnedComponentsBeforeOnCreateThenShowActivateClose) {
  g_log.clear();
  auto* f = NewForm<BuiltForm>(Application);
  f->Show();
  Application->ProcessMessages();
  f->Close();
  EXPECT_EQ(g_log, (std::vector<std::string>{"constructing (loading)", "loaded First", "loaded Second", "create", "show",
                                             "activate", "close"}));
  EXPECT_FALSE(f->Visible());
  delete f;
}

TEST(FormsGui, CreateFormSetsTheReferenceBeforeTheConstructorRunsAndEndsConstruction) {
  g_probe = nullptr;
  g_sawItself = false;
  Application->CreateForm(g_probe);
  EXPECT_TRUE(g_sawItself);
  EXPECT_TRUE(g_probe->created);
  EXPECT_FALSE(g_probe->IsLoading());
  delete g_probe;
}

TEST(FormsGui, ShowModalReturnsTheResultTheButtonSetBeforeItsOnClick) {
  auto* f = NewForm<TForm>(Application);
  auto* ok = new TButton(f);
  ok->SetParent(f);
  ok->SetModalResult(mrOk);
  TModalResult seenInClick = mrNone;
  ok->OnClick = [&](TObject*) { seenInClick = f->ModalResult(); };
  TModalResult r = RunModal(f, [&](TCustomForm*) { MouseClick(ok, 5, 5); });
  EXPECT_EQ(seenInClick, mrOk);
  EXPECT_EQ(r, mrOk);
  EXPECT_FALSE(f->Visible());
  EXPECT_EQ(Application->ModalLevel(), 0);
  // Close gives mrCancel; OnClose with caNone keeps the form open.
  int refusals = 0;
  f->OnClose = [&](TObject*, TCloseAction& a) {
    if (refusals++ == 0) a = caNone;
  };
  r = RunModal(f, [&](TCustomForm* m) {
    m->Close();
    QTimer::singleShot(20, m->Widget(), [m] {
      EXPECT_TRUE(m->Modal());
      m->Close();
    });
  });
  EXPECT_EQ(r, mrCancel);
  EXPECT_EQ(refusals, 2);
  delete f;
}

TEST(FormsGui, ModalFormGivesTheFocusBackToTheFormBehindIt) {
  auto* main = NewForm<TForm>(Application);
  auto* edit = new TEdit(main);
  edit->SetParent(main);
  main->Show();
  Application->ProcessMessages();
  auto* dialog = NewForm<TForm>(main);
  RunModal(dialog, [](TCustomForm* d) { d->SetModalResult(mrOk); });
  Application->ProcessMessages();
  EXPECT_EQ(Screen->ActiveForm(), main);
  EXPECT_EQ(Screen->ActiveControl(), edit);
  delete main;
}

TEST(FormsGui, PositionCentresOnScreenOwnerAndMainForm) {
  auto* owner = NewForm<TForm>(Application);
  owner->SetBounds(40, 60, 500, 400);
  auto* f = NewForm<TForm>(owner);
  f->SetBounds(0, 0, 200, 100);
  struct Case {
    TPosition position;
    int left, top;
  };
  int sx = (Screen->Width() - 200) / 2, sy = (Screen->Height() - 100) / 2;
  for (Case c : {Case{poScreenCenter, sx, sy}, Case{poOwnerFormCenter, 40 + 150, 60 + 150}, Case{poDesigned, 7, 9}}) {
    if (c.position == poDesigned) f->SetBounds(7, 9, 200, 100);
    f->SetPosition(c.position);
    f->Show();
    EXPECT_EQ(f->Left(), c.left) << c.position;
    EXPECT_EQ(f->Top(), c.top) << c.position;
    f->Hide();
  }
  // Without a main form, centring on it centres on the screen.
  f->SetPosition(poMainFormCenter);
  f->Show();
  TCustomForm* main = Application->MainForm();
  if (main && main != f) {
    EXPECT_EQ(f->Left(), std::max(0, main->Left() + (main->Width() - 200) / 2));
  } else {
    EXPECT_EQ(f->Left(), sx);
  }
  delete owner;
}

TEST(FormsGui, BorderStylesAndIconsGiveTheWindowFlags) {
  struct Case {
    TFormBorderStyle style;
    TBorderIcons icons;
    Qt::WindowFlags want;
    Qt::WindowFlags absent;
  };
  const Case cases[] = {
      {bsSingle, {biSystemMenu, biMinimize}, Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint,
       Qt::WindowMaximizeButtonHint},
      {bsSizeable, {biSystemMenu, biMinimize, biMaximize},
       Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint, Qt::FramelessWindowHint},
      {bsSingle, {}, Qt::WindowTitleHint, Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint},
      {bsDialog, {biSystemMenu, biMinimize, biMaximize}, Qt::Dialog | Qt::WindowCloseButtonHint,
       Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint},
      {bsToolWindow, {}, Qt::Tool, Qt::WindowCloseButtonHint},
      {bsNone, {biSystemMenu}, Qt::FramelessWindowHint, Qt::WindowCloseButtonHint},
  };
  auto* f = NewForm<TForm>(Application);
  for (const Case& c : cases) {
    f->SetBorderStyle(c.style);
    f->SetBorderIcons(c.icons);
    Qt::WindowFlags flags = f->Widget()->windowFlags();
    EXPECT_EQ(flags & c.want, c.want) << c.style;
    EXPECT_EQ(flags & c.absent, Qt::WindowFlags()) << c.style;
  }
  f->SetFormStyle(fsStayOnTop);
  EXPECT_TRUE(f->Widget()->windowFlags() & Qt::WindowStaysOnTopHint);
  delete f;
}

TEST(FormsGui, FrameRectangleReadsBackWhatWasWrittenShownOrNot) {
  for (TFormBorderStyle style : {bsSingle, bsSizeable, bsDialog, bsToolWindow, bsNone}) {
    auto* f = NewForm<TForm>(Application);
    f->SetBorderStyle(style);
    f->SetBounds(50, 50, 580, 365);
    f->SetTop(70);
    f->SetLeft(90);
    auto check = [&](const char* when) {
      EXPECT_EQ(f->Left(), 90) << when << " " << style;
      EXPECT_EQ(f->Top(), 70) << when << " " << style;
      EXPECT_EQ(f->Width(), 580) << when << " " << style;
      EXPECT_EQ(f->Height(), 365) << when << " " << style;
    };
    check("hidden");
    f->Show();
    Application->ProcessMessages();
    check("shown");
    TFrameMetrics m = FrameMetricsOf(style);
    EXPECT_EQ(f->ClientWidth(), 580 - 2 * m.border);
    EXPECT_EQ(f->ClientHeight(), 365 - 2 * m.border - m.caption);
    f->SetWindowState(wsMinimized);
    Application->ProcessMessages();
    check("minimised");
    delete f;
  }
}

TEST(FormsGui, MenuBarTakesItsRowFromTheClientArea) {
  auto* f = NewForm<TForm>(Application);
  f->SetBorderStyle(bsSingle);
  f->SetClientWidth(297);
  f->SetClientHeight(360);
  int height = f->Height();
  auto* menu = new TMainMenu(f);
  auto* item = new TMenuItem(f);
  item->SetCaption("&Doklad");
  menu->Items()->Add(item);
  f->SetMenu(menu);
  EXPECT_EQ(f->Height(), height);
  EXPECT_EQ(f->ClientHeight(), 360 - kMenuBarHeight);
  auto* panel = new TPanel(f);
  panel->SetParent(f);
  panel->SetAlign(alTop);
  f->Show();
  EXPECT_EQ(panel->Top(), 0);
  EXPECT_EQ(panel->ClientOrigin().y, f->ClientOrigin().y);
  EXPECT_EQ(panel->Widget()->y(), kMenuBarHeight);
  delete f;
}

TEST(FormsGui, ProcessMessagesInsideAHandlerDeliversTimersAndQueuedKeys) {
  auto* f = NewForm<TForm>(Application);
  auto* edit = new TEdit(f);
  edit->SetParent(f);
  auto* counter = new PaintCounter(f);
  counter->SetParent(f);
  counter->SetBounds(0, 100, 20, 20);
  auto* timer = new TTimer(f);
  timer->SetInterval(1);
  int ticks = 0;
  timer->OnTimer = [&](TObject*) { ++ticks; };
  f->Show();
  Application->ProcessMessages();
  auto queueKeyAndWait = [&] {
    QCoreApplication::postEvent(edit->Widget(), new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
    int before = ticks;
    for (int i = 0; i < 200 && ticks == before; ++i) {
      Application->ProcessMessages();
      QThread::msleep(2);
    }
  };
  edit->OnEnter = nullptr;
  queueKeyAndWait();
  EXPECT_GT(ticks, 0);
  EXPECT_EQ(edit->Text(), "a");

  // Inside a busy scope timers and painting go on; input and closing stop.
  int closes = 0;
  f->OnClose = [&](TObject*, TCloseAction&) { ++closes; };
  int clicks = 0;
  edit->OnClick = [&](TObject*) { ++clicks; };
  {
    TBusyScope busy({f});
    int paintedBefore = counter->paints;
    counter->Invalidate();
    queueKeyAndWait();
    EXPECT_GT(counter->paints, paintedBefore);
    QCloseEvent close;
    QApplication::sendEvent(f->Widget(), &close);
    f->Close();
    MouseClick(edit, 3, 3);
    EXPECT_EQ(edit->Text(), "a");
    EXPECT_EQ(closes, 0);
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(f->Visible());
    int before = ticks;
    for (int i = 0; i < 200 && ticks == before; ++i) {
      Application->ProcessMessages();
      QThread::msleep(2);
    }
    EXPECT_GT(ticks, before);
  }
  MouseClick(edit, 3, 3);
  EXPECT_EQ(clicks, 1);
  delete f;
}

// A message box or input box opened while a second window is active stays
// above that window, not above the main form: a window manager raises the
// window a dialog belongs to, and the main form would come up over the
// window the user works in.
TEST(FormsGui, ModalBoxBelongsToTheActiveWindow) {
  ASSERT_EQ(Application->MainForm(), nullptr);
  TForm* main = nullptr;
  Application->CreateForm(main);
  ASSERT_EQ(Application->MainForm(), main);
  main->Show();
  auto* preview = NewForm<TForm>(Application);
  preview->Show();
  Application->ProcessMessages();
  ASSERT_EQ(Screen->ActiveForm(), preview);
  std::vector<std::function<void()>> boxes = {
      [] { ShowMessage("No printers are defined, aborting print job."); },
      [] {
        AnsiString page = "1";
        InputQuery("Go to Page", "Enter page to move to:", page);
      },
  };
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    QWindow* above = nullptr;
    OnNextModal([&](TCustomForm* box) {
      above = box->Widget()->windowHandle()->transientParent();
      box->SetModalResult(mrCancel);
    });
    boxes[i]();
    EXPECT_EQ(above, preview->Widget()->windowHandle()) << i;
    EXPECT_EQ(Screen->ActiveForm(), preview) << i;
  }
  // With the main form active a box belongs to it, as before.
  main->SetFocus();
  Application->ProcessMessages();
  QWindow* above = nullptr;
  OnNextModal([&](TCustomForm* box) {
    above = box->Widget()->windowHandle()->transientParent();
    box->SetModalResult(mrOk);
  });
  ShowMessage("x");
  EXPECT_EQ(above, main->Widget()->windowHandle());
  delete preview;
  delete main;
}

}  // namespace
