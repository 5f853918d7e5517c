// The window add-ons on a real X server with a window manager (run by
// scripts/gui-xvfb.sh --wm --wait): keep-above as the window manager sees
// it, a real drag of the title bar snapping when it ends, the lock-key
// panes following the keyboard's lights, and Alt+Space opening the window
// menu.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenu>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <stdlib.h>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/window_hooks.h"
#include "platform/gui/window_menu.h"
#include "testing/test_main.h"
#include "ui/panels/status_bar.h"
#include "ui/panels/status_panes.h"
#include "ui/window_addons/form_magnet.h"
#include "ui/window_addons/form_topmost.h"
#include "ui/tests/x11/x11_helpers.h"

void ProjectTestStartup() { InstallGuiTestEnvironment(); }

namespace {

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

template <class F>
bool WaitFor(F condition, int ms) {
  QElapsedTimer t;
  t.start();
  while (!condition() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
  return condition();
}

class X11Env : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY") || QGuiApplication::platformName() != "xcb" || !x11::Open())
      GTEST_SKIP() << "needs an X display with a window manager (scripts/gui-xvfb.sh --wm --wait)";
    if (x11::Property(x11::Root(), "_NET_SUPPORTING_WM_CHECK").empty())
      GTEST_SKIP() << "no window manager on the display";
  }
};

std::unique_ptr<TForm> MakeForm(int left, int top) {
  std::unique_ptr<TForm> form(NewForm<TForm>(nullptr));
  form->SetBounds(left, top, 400, 250);
  auto* menu = new TMainMenu(form.get());
  auto* item = new TMenuItem(menu);
  item->SetCaption("&Soubor");
  menu->Items()->Add(item);
  form->SetMenu(menu);
  return form;
}

TEST_F(X11Env, KeepAboveIsTheWindowManagersAboveState) {
  auto form = MakeForm(100, 100);
  auto* top = new TwaFormTopmost(form.get());
  form->Show();
  Pump(500);
  const unsigned long id = form->Widget()->winId();
  const QRect geometry = form->Widget()->geometry();
  top->SetTopmost(true);
  ASSERT_TRUE(WaitFor([&] { return x11::HasState(id, "_NET_WM_STATE_ABOVE"); }, 1000));
  EXPECT_EQ(static_cast<unsigned long>(form->Widget()->winId()), id) << "the same window";
  EXPECT_EQ(form->Widget()->geometry(), geometry);
  EXPECT_TRUE(form->Widget()->isVisible());
  // Another window activated later stays below it.
  auto other = MakeForm(150, 150);
  other->Show();
  other->Widget()->activateWindow();
  Pump(500);
  const unsigned long otherId = other->Widget()->winId();
  EXPECT_GT(x11::StackIndex(id), x11::StackIndex(otherId));
  top->SetTopmost(false);
  ASSERT_TRUE(WaitFor([&] { return !x11::HasState(id, "_NET_WM_STATE_ABOVE"); }, 1000));
  other->Widget()->raise();
  other->Widget()->activateWindow();
  Pump(500);
  EXPECT_LT(x11::StackIndex(id), x11::StackIndex(otherId));
}

// Drags the title bar with the real pointer by dx, holding still before
// the release.
void DragTitle(TCustomForm* form, int dx, int holdMs) {
  auto extents = x11::Property(form->Widget()->winId(), "_NET_FRAME_EXTENTS");  // left, right, top, bottom
  const int titleY = form->Widget()->geometry().top() - (extents.size() == 4 ? static_cast<int>(extents[2]) / 2 : 8);
  const int x = form->Widget()->geometry().left() + 150;
  x11::Motion(x - 5, titleY);
  Pump(100);
  x11::Motion(x, titleY);
  Pump(100);
  x11::Button(true);
  Pump(50);
  for (int i = 1; i <= 10; ++i) {
    x11::Motion(x + dx * i / 10, titleY);
    Pump(20);
  }
  Pump(holdMs);
  x11::Button(false);
}

TEST_F(X11Env, ARealDragSnapsWhenItEnds) {
  const TRect work = Screen->WorkAreaRect();
  auto form = MakeForm(work.Left + 200, work.Top + 200);
  new TwaFormMagnet(form.get());
  form->Show();
  Pump(500);
  struct Case {
    int gap;
    bool snaps;
  };
  // The gap is the program's frame edge from the work area's edge (the
  // window manager's frame, by _NET_FRAME_EXTENTS, may differ in width).
  for (Case c : {Case{10, true}, Case{16, false}}) {
    form->SetLeft(work.Left + 200);
    Pump(300);
    // A pause with the button still held snaps nothing yet.
    DragTitle(form.get(), work.Left + c.gap - form->Left(), 300);
    EXPECT_NE(form->Left(), work.Left) << "no snap before the release";
    EXPECT_TRUE(WaitFor([&] { return form->Left() == (c.snaps ? work.Left : work.Left + c.gap); }, 1000)) << c.gap;
    Pump(300);
    EXPECT_EQ(form->Left(), c.snaps ? work.Left : work.Left + c.gap) << c.gap;
  }
}

TEST_F(X11Env, LockKeyPanesFollowTheLights) {
  auto form = MakeForm(100, 100);
  auto* bar = new TFxStatusBar(form.get());
  bar->SetParent(form.get());
  auto* caps = new TFxKeyStatus(form.get());
  caps->SetParent(bar);
  caps->SetAlign(alLeft);
  auto* num = new TFxKeyStatus(form.get());
  num->SetParent(bar);
  num->SetAlign(alLeft);
  num->SetKey(tkNumLock);
  form->Show();
  x11::LockCaps(false);
  x11::LockNum(false);
  EXPECT_TRUE(WaitFor([&] { return caps->KeyOff() && num->KeyOff(); }, 1200));
  x11::LockCaps(true);
  x11::LockNum(true);
  EXPECT_TRUE(WaitFor([&] { return !caps->KeyOff() && !num->KeyOff(); }, 600));
  x11::LockCaps(false);
  x11::LockNum(false);
}

// A minimised first copy comes back mapped and in front when a second copy
// starts (a window manager may only mark it as demanding attention).
TEST_F(X11Env, SecondStartRaisesTheMinimisedFirstCopy) {
  char runtime[] = "/tmp/x11-probe-XXXXXX";
  ASSERT_TRUE(mkdtemp(runtime));
  const std::string dir = runtime, log = dir + "/log";
  auto start = [&](const char* extra) {
    const std::string command = "XDG_RUNTIME_DIR=" + dir + " PROBE_LOG=" + log + " " + extra + " " +
                                ONE_INSTANCE_PROBE + " > /dev/null 2>&1 &";
    return std::system(command.c_str());
  };
  auto lines = [&] {
    std::ifstream in(log);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
  };
  auto find = [&](const std::string& prefix) {
    for (const std::string& l : lines())
      if (l.rfind(prefix, 0) == 0) return l;
    return std::string();
  };
  ASSERT_EQ(start("PROBE_MINIMISED=1 PROBE_RUN_MS=4000"), 0);
  ASSERT_TRUE(WaitFor([&] { return !find("ready").empty(); }, 5000));
  const unsigned long window = std::stoul(find("window ").substr(7));
  Pump(500);
  EXPECT_TRUE(x11::HasState(window, "_NET_WM_STATE_HIDDEN")) << "minimised first";
  ASSERT_EQ(start(""), 0);
  ASSERT_TRUE(WaitFor([&] { return !find("state").empty(); }, 5000));
  EXPECT_EQ(find("state"), "state normal");
  ASSERT_TRUE(WaitFor([&] { return !x11::HasState(window, "_NET_WM_STATE_HIDDEN"); }, 2000)) << "mapped again";
  // The window manager takes its time on a loaded machine.
  bool isActive = false, attention = false;
  WaitFor([&] {
    const auto active = x11::Property(x11::Root(), "_NET_ACTIVE_WINDOW");
    isActive = !active.empty() && active[0] == window;
    attention = x11::HasState(window, "_NET_WM_STATE_DEMANDS_ATTENTION");
    return isActive || attention;
  }, 2000);
  EXPECT_TRUE(isActive || attention);
  if (!isActive) std::printf("the window manager marked the first copy as demanding attention\n");
  // The first copy ends by itself.
  EXPECT_TRUE(WaitFor([&] { return !find("exit run").empty(); }, 6000));
  // The copies may still be removing their own socket files: a file that
  // vanishes under us is no failure, so try again once they are gone.
  std::error_code error;
  for (int attempt = 0; attempt < 20 && std::filesystem::remove_all(dir, error) == static_cast<std::uintmax_t>(-1);
       ++attempt)
    Pump(100);
}

TEST_F(X11Env, AltSpaceOpensTheWindowMenu) {
  auto form = MakeForm(100, 100);
  form->Show();
  form->Widget()->activateWindow();
  Pump(500);
  x11::AltSpace();
  EXPECT_TRUE(WaitFor([&] { return TWindowMenu::Of(form.get())->Showing(); }, 1000));
  if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) menu->close();
}

}  // namespace
