// Waiting for events instead of spinning, and a busy scope over every form
// except the ones a long job opens for itself.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QTimer>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"

namespace {

TEST(WaitLoopGui, HandleMessageSleepsUntilTheTimer) {
  bool fired = false;
  QTimer::singleShot(150, [&] { fired = true; });
  int rounds = 0;
  while (!fired && rounds < 100000) {
    Application->HandleMessage();
    ++rounds;
  }
  EXPECT_TRUE(fired);
  // A handful of wake-ups, not a busy loop.
  EXPECT_LT(rounds, 50);
}

TEST(WaitLoopGui, BusyScopeOverEveryFormExcept) {
  auto* main = new TForm(nullptr);
  auto* own = new TForm(nullptr);
  main->Show();
  own->Show();
  int mainCloses = 0, ownCloses = 0;
  main->OnClose = [&](TObject*, TCloseAction&) { ++mainCloses; };
  own->OnClose = [&](TObject*, TCloseAction& a) { ++ownCloses, a = caHide; };
  {
    TBusyScope busy(TBusyScope::AllExcept{{own}});
    auto* later = new TForm(nullptr);
    later->Show();
    int laterCloses = 0;
    later->OnClose = [&](TObject*, TCloseAction& a) { ++laterCloses, a = caHide; };
    main->Close();
    own->Close();
    later->Close();
    EXPECT_EQ(mainCloses, 0);
    EXPECT_EQ(ownCloses, 1);
    EXPECT_EQ(laterCloses, 1);
    delete later;
  }
  main->Close();
  EXPECT_EQ(mainCloses, 1);
  delete own;
  delete main;
}

}  // namespace
