// entry_worker: one workstation of the multi-process entry tests. It starts
// the program's objects on the offscreen platform (the settings file in
// PROGRAM_DIR names the shared data directory) and works through the real
// commands:
//
//   entry_worker PROGRAM_DIR enter COUNT SEED     COUNT new documents (F2)
//   entry_worker PROGRAM_DIR correct COUNT SEED   COUNT corrections (F4)
//   entry_worker PROGRAM_DIR settings MS [FILE]   settings dialog open MS ms, or
//                                                 until FILE exists
//   entry_worker PROGRAM_DIR recalc               "Přepočet zůstatků"
//
// Types and amounts are random (from SEED); OK is pressed as soon as the
// form is filled, and again after a lock message. It prints "ready" once
// started (and, for settings, "holding" once the dialog is open), then one
// line per lock message met ("lock") and "done"; the exit status is 0 when
// every command ended as expected.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "app/data_module.h"
#include "app/entry_form.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/settings_dialog.h"
#include "dbase/base/engine.h"
#include "platform/gui/application.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"

namespace {

const char* const kTypes[] = {"P01", "P02", "V01", "V02", "V03"};

void Say(const char* line) {
  std::printf("%s\n", line);
  std::fflush(stdout);
}

void Settle() {
  for (int i = 0; i < 3; ++i) Application->ProcessMessages();
}

// Fills the open entry form and presses OK until it closes (a lock message
// leaves it open); false when it never closed.
bool FillAndConfirm(TPlatebnaEditace* f, std::mt19937& random, bool typeToo, MessageBoxRecorder& boxes) {
  if (typeToo) {
    f->DBEditKuvet1->SetFocus();
    f->DBEditKuvet1->SelectAll();
    TypeText(f->DBEditKuvet1, kTypes[random() % 5]);
    KeyClick(f->DBEditKuvet1, VK_TAB);
  }
  f->DBEditKuvet3->SetFocus();
  f->DBEditKuvet3->SelectAll();
  const int hellers = 100 + static_cast<int>(random() % 100000);
  TypeText(f->DBEditKuvet3, std::to_string(hellers / 100) + "," + std::to_string(10 + hellers % 90));
  KeyClick(f->DBEditKuvet3, VK_TAB);
  for (int attempt = 0; attempt < 50 && f->ModalResult() == mrNone; ++attempt) {
    const std::size_t before = boxes.Boxes().size();
    // The amount edit was left by Tab, so its text is in the record.
    f->BitBtn1->Click();
    if (boxes.Boxes().size() > before) Say("lock");
  }
  return f->ModalResult() == mrOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: entry_worker PROGRAM_DIR enter|correct|settings|recalc [ARGS]\n", stderr);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string mode = argv[2];
  const int count = argc > 3 ? std::atoi(argv[3]) : 0;
  const char* release = mode == "settings" && argc > 4 ? argv[4] : nullptr;
  std::mt19937 random(argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 1u);
  EngineStartup();
  SetProgramDirectory(argv[1]);
  int failures = 0;
  {
    MessageBoxRecorder boxes;
    CreateProgramObjects(argc, argv);
    Platebna->Show();
    Settle();
    Say("ready");
    if (mode == "enter" || mode == "correct") {
      const bool correct = mode == "correct";
      for (int i = 0; i < count; ++i) {
        if (correct) {
          TXbaseDataSet* journal = Data->Platebna;
          journal->SetIndexName("");
          const int records = journal->RecordCount();
          if (records > 0) journal->SetRecNo(1 + static_cast<int>(random() % records));
        }
        bool closed = false;
        OnNextModal(
            [&](TCustomForm* f) {
              closed = FillAndConfirm(dynamic_cast<TPlatebnaEditace*>(f), random, !correct, boxes);
            },
            60000);
        KeyClick(Platebna->DBGrid1, correct ? VK_F4 : VK_F2);
        if (!closed) ++failures;
      }
    } else if (mode == "settings") {
      OnNextModal(
          [&](TCustomForm* f) {
            Say("holding");
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(count);
            while (std::chrono::steady_clock::now() < until && !(release && FileExists(release)))
              Application->ProcessMessages();
            f->SetModalResult(mrCancel);
          },
          count + 10000);
      Platebna->Nastaventiskrny1->Click();
    } else if (mode == "recalc") {
      const std::size_t before = boxes.Boxes().size();
      try {
        Platebna->Pepoetzstatk1->Click();
      } catch (const std::exception&) {
        Say("lock");
      }
      for (std::size_t i = before; i < boxes.Boxes().size(); ++i) Say("lock");
    }
    Settle();
    FreeProgramObjects();
  }
  Application->Shutdown();
  Say("done");
  return failures == 0 ? 0 : 1;
}
