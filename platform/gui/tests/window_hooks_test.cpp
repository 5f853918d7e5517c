// Per-form hook chains: order, handling, removal, failing hooks, the
// re-creation notice, keep-above in place and the user-move notices.
#include "platform/gui/window_hooks.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"

namespace {

std::vector<std::string> g_log;

class LogHook : public TWindowHook {
 public:
  LogHook(std::string name, TCustomForm* form) : name_(std::move(name)), form_(form) { AddWindowHook(form, this); }
  ~LogHook() override { RemoveWindowHook(form_, this); }
  void BeforeMessage(TWindowMessage& m, bool& handled) override {
    if (m.Event && m.Event->type() != QEvent::User) return;
    g_log.push_back("before " + name_);
    if (handles) handled = true;
    if (throws) throw Exception("hook failed");
    if (removesSelf) RemoveWindowHook(form_, this);
  }
  void AfterMessage(TWindowMessage& m) override {
    if (m.Event && m.Event->type() != QEvent::User) return;
    g_log.push_back("after " + name_);
  }
  bool handles = false;
  bool throws = false;
  bool removesSelf = false;

 private:
  std::string name_;
  TCustomForm* form_;
};

class HookForm : public TForm {
 public:
  using TForm::TForm;
};

// Delivers a user event to the form's window; the form's own handling logs.
void Deliver(TCustomForm* form) {
  QEvent e(QEvent::User);
  QApplication::sendEvent(form->Widget(), &e);
}

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(WindowHooksGui, ChainOrderHandlingRemovalAndFailure) {
  std::unique_ptr<HookForm> form(NewForm<HookForm>(nullptr));
  LogHook a("a", form.get()), b("b", form.get()), c("c", form.get());
  std::vector<std::string> exceptions;
  Application->OnException = [&](TObject*, const std::exception& e) { exceptions.push_back(e.what()); };

  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"newest first, oldest after first", [] {}, {"before c", "before b", "before a", "after a", "after b", "after c"}},
      {"handled in the middle", [&] { b.handles = true; }, {"before c", "before b", "after b", "after c"}},
      {"a failing hook skips its own rest only", [&] { b.handles = false; b.throws = true; },
       {"before c", "before b", "before a", "after a", "after c"}},
      {"a hook leaving inside its handler", [&] { b.throws = false; b.removesSelf = true; },
       {"before c", "before b", "before a", "after a", "after c"}},
      {"after removal", [] {}, {"before c", "before a", "after a", "after c"}},
  };
  for (const Case& k : cases) {
    k.arrange();
    g_log.clear();
    Deliver(form.get());
    EXPECT_EQ(g_log, k.expected) << k.what;
  }
  EXPECT_EQ(exceptions, std::vector<std::string>{"hook failed"});
  Application->OnException = nullptr;
  EXPECT_EQ(WindowHookCount(form.get()), 2);
}

class NoticeHook : public TWindowHook {
 public:
  void AfterMessage(TWindowMessage& m) override {
    if (m.Notice != TFormNotice::None) notices.push_back(m.Notice);
  }
  std::vector<TFormNotice> notices;
};

TEST(WindowHooksGui, RecreateKeepsTheChainAndPostsTheNotice) {
  std::unique_ptr<HookForm> form(NewForm<HookForm>(nullptr));
  NoticeHook hook;
  AddWindowHook(form.get(), &hook);
  form->Show();
  Pump(50);
  const auto before = NativeWindowId(form.get());
  RecreateWnd(form.get());
  Pump(50);
  EXPECT_NE(NativeWindowId(form.get()), before);
  EXPECT_TRUE(form->Widget()->isVisible());
  EXPECT_EQ(std::count(hook.notices.begin(), hook.notices.end(), TFormNotice::WindowRecreated), 1);
  EXPECT_TRUE(HasWindowHook(form.get(), &hook));
  RemoveWindowHook(form.get(), &hook);
}

TEST(WindowHooksGui, KeepAboveChangesTheFlagInPlace) {
  std::unique_ptr<HookForm> form(NewForm<HookForm>(nullptr));
  form->SetBounds(100, 100, 300, 200);
  form->Show();
  Pump(50);
  const auto id = NativeWindowId(form.get());
  const QRect geometry = form->Widget()->geometry();
  SetKeepAbove(form.get(), true);
  EXPECT_TRUE(KeepAbove(form.get()));
  EXPECT_TRUE(form->Widget()->windowHandle()->flags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(NativeWindowId(form.get()), id);
  EXPECT_EQ(form->Widget()->geometry(), geometry);
  EXPECT_TRUE(form->Widget()->isVisible());
  // A border change keeps it.
  form->SetBorderIcons({biSystemMenu});
  EXPECT_TRUE(form->Widget()->windowFlags() & Qt::WindowStaysOnTopHint);
  SetKeepAbove(form.get(), false);
  EXPECT_FALSE(form->Widget()->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST(WindowHooksGui, UserMovesSettleAndProgramMovesDoNotCount) {
  std::unique_ptr<HookForm> form(NewForm<HookForm>(nullptr));
  NoticeHook hook;
  AddWindowHook(form.get(), &hook);
  form->SetBounds(100, 100, 300, 200);
  form->Show();
  Pump(200);
  hook.notices.clear();
  form->SetBounds(150, 120, 300, 200);
  Pump(200);
  EXPECT_TRUE(hook.notices.empty());

  SetPointerButtonsHeldOverride(1);
  SimulateUserMove(form.get(), 200, 130);
  Pump(300);
  EXPECT_EQ(form->Left(), 200);
  EXPECT_EQ(hook.notices, std::vector<TFormNotice>{TFormNotice::UserMoved});
  SetPointerButtonsHeldOverride(0);
  Pump(200);
  EXPECT_EQ(hook.notices, (std::vector<TFormNotice>{TFormNotice::UserMoved, TFormNotice::MoveSettled}));
  SetPointerButtonsHeldOverride(-1);
  RemoveWindowHook(form.get(), &hook);
}

}  // namespace
