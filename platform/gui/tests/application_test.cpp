// The application object: re-entrant message processing, idle work, the
// format-settings notice, key toggles, beeps and closing forms.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTimer>

#include "platform/gui/application.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"

namespace {

TEST(ApplicationGui, ProcessMessagesIsReentrant) {
  int depth = 0, maxDepth = 0, ran = 0;
  std::function<void()> nested = [&] {
    ++depth;
    ++ran;
    maxDepth = std::max(maxDepth, depth);
    if (ran < 3) QTimer::singleShot(0, qApp, nested);
    Application->ProcessMessages();
    --depth;
  };
  QTimer::singleShot(0, qApp, nested);
  Application->ProcessMessages();
  EXPECT_EQ(ran, 3);
  EXPECT_GE(maxDepth, 2);
}

TEST(ApplicationGui, IdleListenersAndFormatSettingsListenersRunAndGo) {
  TObject key;
  int idle = 0, settings = 0;
  Application->AddIdleListener(&key, [&] { ++idle; });
  Application->AddFormatSettingsListener(&key, [&] { ++settings; });
  Application->DoIdle();
  Application->FormatSettingsChanged();
  Application->SetUpdateFormatSettings(false);
  Application->FormatSettingsChanged();
  Application->SetUpdateFormatSettings(true);
  Application->RemoveIdleListener(&key);
  Application->RemoveFormatSettingsListener(&key);
  Application->DoIdle();
  Application->FormatSettingsChanged();
  EXPECT_EQ(idle, 1);
  EXPECT_EQ(settings, 1);
}

TEST(ApplicationGui, KeyTogglesFollowPressesOrTheOverride) {
  auto* f = NewForm<TForm>(Application);
  auto* e = new TEdit(f);
  e->SetParent(f);
  f->Show();
  Application->ProcessMessages();
  bool before = GetKeyToggled(VK_INSERT);
  KeyClick(e, VK_INSERT);
  EXPECT_NE(GetKeyToggled(VK_INSERT), before);
  SetKeyToggledOverride(VK_CAPITAL, 1);
  EXPECT_TRUE(GetKeyToggled(VK_CAPITAL));
  SetKeyToggledOverride(VK_CAPITAL, 0);
  EXPECT_FALSE(GetKeyToggled(VK_CAPITAL));
  SetKeyToggledOverride(VK_CAPITAL, -1);
  int beeps = MessageBeepCount();
  MessageBeep(0);
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  delete f;
}

TEST(ApplicationGui, CloseQueryCanRefuseAndCloseActionsDecide) {
  auto* f = NewForm<TForm>(Application);
  bool allow = false;
  f->OnCloseQuery = [&](TObject*, bool& can) { can = allow; };
  f->Show();
  f->Close();
  EXPECT_TRUE(f->Visible());
  allow = true;
  int hides = 0;
  f->OnHide = [&](TObject*) { ++hides; };
  f->Close();
  EXPECT_FALSE(f->Visible());
  EXPECT_EQ(hides, 1);
  // caFree frees the form once the events in hand are done.
  bool destroyed = false;
  f->OnDestroy = [&](TObject*) { destroyed = true; };
  f->OnClose = [](TObject*, TCloseAction& a) { a = caFree; };
  f->Show();
  f->Close();
  EXPECT_FALSE(destroyed);
  Application->ProcessMessages();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(std::count(TCustomForm::AllForms().begin(), TCustomForm::AllForms().end(), f), 0);
}

TEST(ApplicationGui, ModalFormBlocksInputToTheFormBehind) {
  auto* main = NewForm<TForm>(Application);
  auto* edit = new TEdit(main);
  edit->SetParent(main);
  main->Show();
  Application->ProcessMessages();
  auto* dialog = NewForm<TForm>(main);
  RunModal(dialog, [&](TCustomForm* d) {
    TypeText(edit, "x");
    MouseClick(edit, 2, 2);
    d->SetModalResult(mrOk);
  });
  EXPECT_EQ(edit->Text(), "");
  delete main;
}

}  // namespace

namespace {

TEST(ApplicationGui, HidingAModalFormEndsItsRunWithCancel) {
  auto* f = NewForm<TForm>(Application);
  TModalResult r = RunModal(f, [](TCustomForm* m) { m->Hide(); });
  EXPECT_EQ(r, mrCancel);
  EXPECT_FALSE(f->Modal());
  delete f;
}

}  // namespace

#include "testing/child_process.h"

namespace {

TEST(ApplicationMultiprocess, RunShowsTheMainFormAndEndsWhenItCloses) {
  if (QGuiApplication::platformName() != "offscreen")
    GTEST_SKIP() << "a forked child would share the parent's display connection";
  ChildProcess child([](Channel&) {
    TForm* main = nullptr;
    Application->CreateForm(main);
    if (Application->MainForm() != main) return 2;
    bool shown = false;
    QTimer::singleShot(20, [&] {
      shown = main->Visible();
      main->Close();
    });
    Application->Run();
    return shown && Application->Terminated() && !Application->MainForm() ? 0 : 1;
  });
  EXPECT_EQ(child.Wait(), 0);
}

}  // namespace
