// main_window_shot: renders the main window and the re-indexing progress
// window to PNG files for people to look at.
//
//   main_window_shot [--hold] OUTPUT_DIR
//
// Makes a demo data directory and a settings file in a temporary folder,
// starts the data module and the main window on it as the program does, and
// saves OUTPUT_DIR/main_window.png with OUTPUT_DIR/main_window.txt, where a
// person would look in it (lines "size W H", then "title" and "selected"
// with X Y W H of the grid's first title cell and of the selected row, in
// the picture's pixels, and the colour they must mostly have, RRGGBB);
// then deletes the journal's index file,
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

#include <algorithm>
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
#include "platform/gui/graphics.h"
#include "platform/gui/instance_channel.h"
#include "platform/gui/window_menu.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "tools/mkdemo/demo_data.h"
#include "ui/dbgrid/db_grid.h"

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

// Where the grid's first title cell and the selected row lie in the
// window's picture, and the colours they are drawn in.
bool SaveLayout(const std::string& path) {
  TDBGrid* grid = Platebna->DBGrid1;
  // Cells are in the grid's client area, inside its two-pixel border.
  const QPoint origin = grid->Widget()->mapTo(Platebna->Widget(), QPoint(2, 2));
  auto line = [&](const char* name, const TRect& r, TColor colour) {
    const TColor rgb = ColorToRGB(colour);
    char text[160];
    std::snprintf(text, sizeof text, "%s %d %d %d %d %02X%02X%02X\n", name, origin.x() + r.Left, origin.y() + r.Top,
                  r.Right - r.Left, r.Bottom - r.Top, static_cast<unsigned>(rgb & 0xFF),
                  static_cast<unsigned>((rgb >> 8) & 0xFF), static_cast<unsigned>((rgb >> 16) & 0xFF));
    return std::string(text);
  };
  const int first = grid->IndicatorOffset();
  const TRect title = grid->CellRect(first, 0);
  // The selected row across the columns on screen.
  TRect selected = grid->CellRect(first, grid->Row());
  for (int c = first + 1; c < grid->ColCount(); ++c) {
    const TRect cell = grid->CellRect(c, grid->Row());
    if (cell.Right > cell.Left) selected.Right = std::max(selected.Right, cell.Right);
  }
  const QSize size = Platebna->Widget()->size();
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return false;
  std::fprintf(f, "size %d %d\n%s%s", size.width(), size.height(), line("title", title, clBtnFace).c_str(),
               line("selected", selected, clHighlight).c_str());
  std::fclose(f);
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
  if (!SaveLayout(output + "/main_window.txt")) status = 1;

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
