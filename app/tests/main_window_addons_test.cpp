// The main window's add-ons on demo data: their settings, the status bar's
// layout and texts, keep-above, the magnet, and a second start of the real
// program handing over before it touches anything.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "app/data_module.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/tests/temp_data_dir.h"
#include "platform/gui/application.h"
#include "platform/gui/instance_channel.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/gui/window_menu.h"
#include "platform/rtl/inifiles.h"

extern char** environ;

namespace {

using app_test::TempDataDir;

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

class ProgramScope {
 public:
  ProgramScope() {
    CreateProgramObjects();
    Platebna->Show();
    Pump(30);
  }
  ~ProgramScope() {
    Pump(10);
    FreeProgramObjects();
  }
};

std::set<std::string> Listing(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) names.insert(e.path().string());
  return names;
}

TEST(MainWindowAddonsGui, ComponentSettings) {
  TempDataDir dir;
  ProgramScope program;
  TPlatebna* w = Platebna;
  EXPECT_EQ(w->FxStatusBar1->Align(), alBottom);
  EXPECT_EQ(w->FxStatusBar1->Height(), 19);
  EXPECT_FALSE(w->FxStatusBar1->AutoStyle());
  EXPECT_EQ(w->FxStatusBar1->BorderInner(), fsNone);
  EXPECT_EQ(w->FxStatusBar1->BorderOuter(), fsNone);
  EXPECT_EQ(w->FxStatusBar1->BorderWidth(), 0);
  struct Pane {
    TFxCustomStatusPane* pane;
    int left;
    TAlignment alignment;
    bool enabled;
  };
  for (const Pane& p : {Pane{w->FxStatusPane1, 0, taLeftJustify, true}, Pane{w->FxKeyStatus1, 313, taCenter, false},
                        Pane{w->FxKeyStatus2, 358, taCenter, true}, Pane{w->FxClockStatus1, 403, taLeftJustify, true}}) {
    EXPECT_EQ(p.pane->Left(), p.left) << p.pane->Name();
    EXPECT_EQ(p.pane->FrameStyle(), fsBump) << p.pane->Name();
    EXPECT_EQ(p.pane->Alignment(), p.alignment) << p.pane->Name();
    EXPECT_EQ(p.pane->Enabled(), p.enabled) << p.pane->Name();
  }
  EXPECT_EQ(w->FxStatusBar1->Top() + w->FxStatusBar1->Height(), w->ClientHeight());
  EXPECT_EQ(w->FxClockStatus1->Left() + w->FxClockStatus1->Width(), w->FxStatusBar1->Width());
  EXPECT_EQ(w->FxStatusPane1->Caption(), "");
  EXPECT_EQ(w->FxKeyStatus1->Key(), tkCapsLock);
  EXPECT_EQ(w->FxKeyStatus2->Key(), tkNumLock);
  EXPECT_EQ(w->FxClockStatus1->Format(), "");
  EXPECT_FALSE(w->waFormMagnet1->Glue());
  EXPECT_FALSE(w->waFormMagnet1->FormDragable());
  EXPECT_TRUE(w->waFormMagnet1->Active());
  EXPECT_EQ(w->waFormMagnet1->Power(), 20);
  EXPECT_EQ(w->waFormMagnet1->ScreenMagnet()->ScreenPower(), 16);
  EXPECT_EQ(w->waFormMagnet1->ScreenMagnet()->Area(), saWorkArea);
  EXPECT_EQ(w->waFormTopmost1->Hint(), "Always on top");
  EXPECT_EQ(w->waFormTopmost1->BtnOrder(), 0);
  EXPECT_FALSE(w->waFormTopmost1->Topmost());
  TWindowMenu* menu = TWindowMenu::Of(w);
  ASSERT_TRUE(menu);
  EXPECT_EQ(menu->IndexOfCommand(w->waFormTopmost1->ButtonID() + 1000), 7);
  EXPECT_EQ(menu->IndexOfCommand(w->waFormTopmost1->ButtonID()), 8);
  EXPECT_TRUE(w->OneInstance1->ShowOnNewInstance());
}

TEST(MainWindowAddonsGui, KeyPanesAndClock) {
  TempDataDir dir;
  ProgramScope program;
  TPlatebna* w = Platebna;
  SetKeyToggledOverride(VK_CAPITAL, 1);
  SetKeyToggledOverride(VK_NUMLOCK, 1);
  Pump(600);
  EXPECT_EQ(w->FxKeyStatus1->KeyText(), "CAPS");
  EXPECT_EQ(w->FxKeyStatus2->KeyText(), "NUM");
  QImage caps = Grab(w->FxKeyStatus1);
  const TRect inside = Rect(3, 3, 42, 16);
  EXPECT_GT(CountColor(caps, inside, clBtnHighlight), 5) << "embossed";
  EXPECT_GT(CountColor(caps, inside, clBtnShadow), 5);
  QImage num = Grab(w->FxKeyStatus2);
  EXPECT_GT(CountColor(num, inside, clWindowText), 5);
  SetKeyToggledOverride(VK_CAPITAL, -1);
  SetKeyToggledOverride(VK_NUMLOCK, -1);
  // The clock shows the default text of now (the same second, or the next).
  const TDateTime before = Now();
  w->FxClockStatus1->UpdateClock();
  const AnsiString shown = w->FxClockStatus1->LastText();
  EXPECT_TRUE(shown == DateTimeToStr(before) || shown == DateTimeToStr(Now())) << shown;
}

TEST(MainWindowAddonsGui, TopmostIsSwitchedButNeverSaved) {
  TempDataDir dir;
  {
    ProgramScope program;
    TPlatebna* w = Platebna;
    QWidget* button = w->waFormTopmost1->ButtonWidget();
    ASSERT_TRUE(button && button->isVisible());
    w->waFormTopmost1->MousePressed(true);
    w->waFormTopmost1->MouseReleased(true, 2, 2);
    EXPECT_TRUE(KeepAbove(w));
    TWindowMenu::Of(w)->Choose(w->waFormTopmost1->ButtonID());
    EXPECT_FALSE(KeepAbove(w));
    TWindowMenu::Of(w)->Choose(w->waFormTopmost1->ButtonID());
    EXPECT_TRUE(KeepAbove(w));
    w->Close();
  }
  {
    ProgramScope program;
    EXPECT_FALSE(KeepAbove(Platebna));
    EXPECT_FALSE(Platebna->waFormTopmost1->Down());
  }
  TIniFile ini(dir.IniPath());
  TStringList keys;
  ini.ReadSection("Platebna", keys);
  const std::set<std::string> known = {"Prodejna",  "CestaData", "HlavniTiskarna", "CestaPrivate", "KodMeny",
                                       "PlatebnaT", "PlatebnaL", "PlatebnaH",      "PlatebnaW"};
  for (int i = 0; i < keys.Count(); ++i) EXPECT_TRUE(known.count(keys[i])) << "new key " << keys[i];
}

TEST(MainWindowAddonsGui, UserMoveNearTheEdgeSnapsARestoredPositionStays) {
  TempDataDir dir;
  const TRect work = Screen->WorkAreaRect();
  {
    TIniFile ini(dir.IniPath());
    ini.WriteInteger("Platebna", "PlatebnaL", work.Left + 10);
    ini.WriteInteger("Platebna", "PlatebnaT", work.Top + 50);
    ini.UpdateFile();
  }
  ProgramScope program;
  EXPECT_EQ(Platebna->Left(), work.Left + 10) << "a restored position stays where it was put";
  SimulateUserMove(Platebna, work.Left + 200, work.Top + 60);
  Pump(250);
  SimulateUserMove(Platebna, work.Left + 10, work.Top + 60);
  Pump(300);
  EXPECT_EQ(Platebna->Left(), work.Left);
}

// A second start of the real program hands over and ends at once: no
// settings file is read, no box shown, nothing created in its directory.
TEST(MainWindowAddonsMultiprocess, SecondStartHandsOverBeforeAnything) {
  TempDataDir dir;
  TempDir runtime;
  const std::string runtimeDir = runtime.Path().substr(0, runtime.Path().size() - 1);
  TempDir lonely;
  const std::string copy = lonely.Path() + "platebna";
  std::filesystem::copy_file(PLATEBNA_PROGRAM, copy);

  InstanceChannel::ResetForTests();
  InstanceChannelOptions options;
  options.programName = "platebna";
  options.directory = runtimeDir;
  ASSERT_EQ(InstanceChannel::Decide({}, options), InstanceRole::Receiver);
  {
    ProgramScope program;
    Platebna->SetWindowState(wsMinimized);
    Pump(50);
    const auto dataBefore = Listing(dir.DataDir());
    const auto lonelyBefore = Listing(lonely.Path());

    std::vector<std::string> envs;
    for (char** e = environ; *e; ++e)
      if (std::string(*e).rfind("XDG_RUNTIME_DIR=", 0) != 0) envs.emplace_back(*e);
    envs.push_back("XDG_RUNTIME_DIR=" + runtimeDir);
    envs.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (std::string& e : envs) envp.push_back(e.data());
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(copy.c_str()), const_cast<char*>("/x"), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, copy.c_str(), nullptr, nullptr, argv, envp.data()), 0);
    // A copy that started in full would show its window and stay: only
    // one that ends by itself exits. How soon it does depends on the
    // machine's load, so the wait is long and only a kill fails it.
    QElapsedTimer t;
    t.start();
    int status = -1;
    bool ended = false;
    while (t.elapsed() < 30000) {
      QApplication::processEvents(QEventLoop::AllEvents, 10);
      if (waitpid(pid, &status, WNOHANG) == pid) {
        ended = true;
        break;
      }
    }
    if (!ended) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    Pump(50);
    EXPECT_EQ(Platebna->WindowState(), wsNormal) << "restored";
    EXPECT_EQ(Listing(dir.DataDir()), dataBefore);
    EXPECT_EQ(Listing(lonely.Path()), lonelyBefore);
  }
  InstanceChannel::ResetForTests();
  InstanceChannel::DecideUnguarded();
}

}  // namespace
