// Hook components on a form: the owner rule, the re-hook after a new
// native window and the shared topmost state.
#include "ui/window_addons/form_hook.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/std_controls.h"
#include "testing/error_message.h"
#include "ui/window_addons/form_magnet.h"
#include "ui/window_addons/form_topmost.h"

namespace {

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

std::vector<std::string> g_rehooks;

class Rehooking : public TwaFormHookComponent {
 public:
  Rehooking(TComponent* owner, std::string name) : TwaFormHookComponent(owner), name_(std::move(name)) {}
  void AfterRehook() override {
    TwaFormHookComponent::AfterRehook();
    g_rehooks.push_back(name_);
  }

 private:
  std::string name_;
};

TEST(FormHookGui, OwnerMustBeAWindowedControl) {
  TComponent plain(nullptr);
  EXPECT_EQ(ErrorMessage([&] { TwaFormHookComponent c(&plain); }), "Owner must be TWinControl or its successor!");
  std::unique_ptr<TForm> form(NewForm<TForm>(nullptr));
  auto* hook = new TwaFormHookComponent(form.get());
  EXPECT_TRUE(hook->Hooked());
  EXPECT_EQ(hook->HookedWindow(), form.get());
  EXPECT_EQ(hook->About(), "");
  EXPECT_EQ(WindowHookCount(form.get()), 1);
  EXPECT_EQ(TwaHookList::Instance()->Items().size(), 1u);
  delete hook;
  EXPECT_EQ(WindowHookCount(form.get()), 0);
  EXPECT_EQ(TwaHookList::Instance(), nullptr);
}

TEST(FormHookGui, RecreatedWindowKeepsHooksAndTopmost) {
  std::unique_ptr<TForm> form(NewForm<TForm>(nullptr));
  auto* a = new Rehooking(form.get(), "a");
  auto* b = new Rehooking(form.get(), "b");
  form->Show();
  Pump(30);
  a->SetFormTopmost(true);
  EXPECT_TRUE(b->FormTopmost());
  g_rehooks.clear();
  RecreateWnd(form.get());
  Pump(50);
  EXPECT_EQ(g_rehooks, (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(KeepAbove(form.get()));
  EXPECT_TRUE(a->Hooked());
  EXPECT_TRUE(b->Hooked());
}

TEST(FormHookGui, MagnetAndTopmostButtonAgree) {
  std::unique_ptr<TForm> form(NewForm<TForm>(nullptr));
  auto* menu = new TMainMenu(form.get());
  form->SetMenu(menu);
  auto* magnet = new TwaFormMagnet(form.get());
  auto* button = new TwaFormTopmost(form.get());
  form->AfterConstruction();
  bool reported = false;
  button->OnTopmostChanged = [&](TObject*, bool on) { reported = on; };
  magnet->SetFormTopmost(true);
  EXPECT_TRUE(button->Down());
  EXPECT_TRUE(button->Topmost());
  EXPECT_TRUE(reported);
  button->SetTopmost(false);
  EXPECT_FALSE(magnet->FormTopmost());
  EXPECT_FALSE(button->Down());
}

}  // namespace
