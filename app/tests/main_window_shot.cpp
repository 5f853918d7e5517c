// main_window_shot: renders the main window and the re-indexing progress
// window to PNG files for people to look at.
//
//   main_window_shot [--hold] OUTPUT_DIR
//
// Makes a demo data directory and a settings file in a temporary folder,
// starts the data module and the main window on it as the program does, and
// saves OUTPUT_DIR/main_window.png; then deletes the journal's index file,
// rebuilds it and saves OUTPUT_DIR/progress_window.png half way through the
// build. With --hold the main window stays on screen until the process is
// asked to end (SIGTERM or SIGINT), so a picture of the whole screen can be
// taken; the temporary folder is removed in either case. Held on an X
// display, it also saves main_window_wm.png (the whole screen),
// main_window_topmost.png (always-on-top button down) and window_menu.png
// (the window menu open).
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <cstdio>
#include <string>

#include "app/data_module.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/progress_window.h"
#include "dbase/base/engine.h"
#include "platform/gui/application.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/instance_channel.h"
#include "platform/gui/window_menu.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "tools/mkdemo/demo_data.h"

namespace {

volatile std::sig_atomic_t gStop = 0;

void RequestStop(int) { gStop = 1; }

bool Save(TControl* control, const std::string& path) {
  const QImage image = control->Widget()->grab().toImage();
  if (!image.save(QString::fromStdString(path), "PNG")) {
    std::fprintf(stderr, "main_window_shot: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("screenshot: %s\n", path.c_str());
  return true;
}

void Settle() {
  for (int i = 0; i < 5; ++i) Application->ProcessMessages();
}

}  // namespace

int main(int argc, char** argv) {
  bool hold = false;
  std::string output;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--hold")
      hold = true;
    else if (output.empty() && !arg.empty() && arg[0] != '-')
      output = arg;
    else
      output.clear(), i = argc;
  }
  if (output.empty()) {
    std::fputs("usage: main_window_shot [--hold] OUTPUT_DIR\n", stderr);
    return 2;
  }
  QDir().mkpath(QString::fromStdString(output));
  output = QDir(QString::fromStdString(output)).absolutePath().toStdString();

  EngineStartup();
  QTemporaryDir temp;
  if (!temp.isValid()) {
    std::fputs("main_window_shot: no temporary folder\n", stderr);
    return 1;
  }
  const AnsiString root = DiskPathToProgramName(temp.path().toStdString());
  TDemoDataOptions demo;
  demo.iniFile = root + "/Platebna.ini";
  MakeDemoData(root + "/data", demo);
  SetProgramDirectory(root + "/");

  int status = 0;
  // Pictures are taken of every copy started.
  InstanceChannel::DecideUnguarded();
  CreateProgramObjects(argc, argv);
  Platebna->Show();
  Settle();
  if (!Save(Platebna, output + "/main_window.png")) status = 1;

  // The progress window is grabbed half way through the second journal tag.
  DeleteFile(Data->JournalIndexFile());
  bool grabbed = false;
  int journalTags = 0;
  auto original = Data->Platebna->OnStatus;
  Data->Platebna->OnStatus = [&](TObject* sender, int s, int current, int total) {
    original(sender, s, current, total);
    if (s == -1 && current == 1) ++journalTags;
    TProgresWin* window = Data->ProgressWin;
    if (!grabbed && window && journalTags == 2 && s == 1 && current * 2 >= window->ProgressTotal) {
      grabbed = true;
      Settle();
      if (!Save(window, output + "/progress_window.png")) status = 1;
    }
  };
  Data->Index();
  Data->Platebna->OnStatus = original;
  if (!grabbed) {
    std::fputs("main_window_shot: the progress window never showed\n", stderr);
    status = 1;
  }

  if (hold && QGuiApplication::platformName() == "xcb") {
    // Under a window manager: the whole screen with the main window in its
    // frame, then with the always-on-top button down, then with the window
    // menu open (its item checked).
    auto screen = [output, &status](const char* name) {
      const QImage image = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
      const std::string path = output + "/" + name;
      if (!image.save(QString::fromStdString(path), "PNG")) status = 1;
      std::printf("screenshot: %s\n", path.c_str());
      std::fflush(stdout);
    };
    QTimer::singleShot(1000, [screen] { screen("main_window_wm.png"); });
    QTimer::singleShot(1200, [] {
      Platebna->waFormTopmost1->MousePressed(true);
      Platebna->waFormTopmost1->MouseReleased(true, 2, 2);
    });
    QTimer::singleShot(1800, [screen] { screen("main_window_topmost.png"); });
    QTimer::singleShot(1900, [] { OpenWindowMenu(Platebna); });
    QTimer::singleShot(2500, [screen] {
      screen("window_menu.png");
      if (auto* menu = QApplication::activePopupWidget()) menu->close();
    });
  }
  if (hold) {
    std::signal(SIGTERM, RequestStop);
    std::signal(SIGINT, RequestStop);
    auto* poll = new TTimer(Platebna);
    poll->SetInterval(100);
    poll->OnTimer = [](TObject*) {
      if (gStop) Platebna->Close();
    };
    RunProgram();
  } else {
    FreeProgramObjects();
    Application->Shutdown();
  }
  SetProgramDirectory("");
  return status;
}
