// The program's own window menu: its items and their states, how it opens,
// what choosing an item does, and the menu bar's corner.
#include "platform/gui/window_menu.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>

#include <memory>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/window_hooks.h"

namespace {

std::unique_ptr<TForm> FormWithMenu(TBorderIcons icons, TFormBorderStyle border = bsSizeable) {
  std::unique_ptr<TForm> form(NewForm<TForm>(nullptr));
  form->SetBorderStyle(border);
  form->SetBorderIcons(icons);
  form->SetBounds(40, 40, 400, 300);
  auto* menu = new TMainMenu(form.get());
  auto* item = new TMenuItem(menu);
  item->SetCaption("&Soubor");
  menu->Items()->Add(item);
  form->SetMenu(menu);
  return form;
}

TEST(WindowMenuGui, ItemsFollowTheBorderIconsAndTheState) {
  EXPECT_EQ(TWindowMenu::Of(FormWithMenu({biMinimize}).get()), nullptr) << "no system menu, no window menu";
  auto form = FormWithMenu({biSystemMenu, biMinimize});
  form->Show();
  TWindowMenu* menu = TWindowMenu::Of(form.get());
  ASSERT_EQ(menu->Count(), 7);
  EXPECT_TRUE(menu->Item(5).IsSeparator());
  struct Expect {
    int command;
    bool enabled;
  };
  menu->Refresh();
  for (Expect e : {Expect{SC_RESTORE, false}, Expect{SC_MOVE, true}, Expect{SC_SIZE, true}, Expect{SC_MINIMIZE, true},
                   Expect{SC_MAXIMIZE, false}, Expect{SC_CLOSE, true}})
    EXPECT_EQ(menu->Item(menu->IndexOfCommand(e.command)).Enabled, e.enabled) << std::hex << e.command;
  menu->Choose(SC_MINIMIZE);
  EXPECT_EQ(form->WindowState(), wsMinimized);
  menu->Refresh();
  EXPECT_TRUE(menu->Item(menu->IndexOfCommand(SC_RESTORE)).Enabled);
  EXPECT_FALSE(menu->Item(menu->IndexOfCommand(SC_MINIMIZE)).Enabled);
  menu->Choose(SC_RESTORE);
  EXPECT_EQ(form->WindowState(), wsNormal);
  auto fixed = FormWithMenu({biSystemMenu}, bsSingle);
  TWindowMenu::Of(fixed.get())->Refresh();
  EXPECT_FALSE(TWindowMenu::Of(fixed.get())->Item(2).Enabled) << "a fixed frame cannot be sized";
}

class CommandHook : public TWindowHook {
 public:
  void AfterMessage(TWindowMessage& m) override {
    if (m.Notice == TFormNotice::WindowMenuCommand) commands.push_back(m.Param);
  }
  std::vector<int> commands;
};

TEST(WindowMenuGui, OwnItemsSendTheirCommandAndTheBarOpensTheMenu) {
  auto form = FormWithMenu({biSystemMenu, biMinimize});
  form->Show();
  TWindowMenu* menu = TWindowMenu::Of(form.get());
  menu->Insert(7, TWindowMenuItem{5000, "Own", true, false, nullptr});
  CommandHook hook;
  AddWindowHook(form.get(), &hook);
  menu->Choose(5000);
  EXPECT_EQ(hook.commands, std::vector<int>{5000});
  RemoveWindowHook(form.get(), &hook);
  // A right click on the free part of the bar opens the menu; on a title it
  // does not.
  QMenuBar* bar = form->Menu()->Bar();
  const QPoint free(bar->width() - 40, 5);
  QContextMenuEvent onFree(QContextMenuEvent::Mouse, free, bar->mapToGlobal(free));
  QApplication::sendEvent(bar, &onFree);
  EXPECT_TRUE(menu->Showing());
  if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) popup->close();
  QApplication::processEvents();
  // The corner widget sits at the bar's right end.
  auto* corner = new QWidget;
  corner->setMinimumSize(20, 19);
  SetMenuBarCorner(form.get(), corner);
  EXPECT_EQ(MenuBarCorner(form.get()), corner);
  EXPECT_EQ(corner->parentWidget(), bar);
  SetMenuBarCorner(form.get(), nullptr);
  delete corner;
}

}  // namespace
