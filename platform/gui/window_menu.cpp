// The window menu stand-in and the menu bar's corner host.
#include "platform/gui/window_menu.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>

#include <algorithm>
#include <map>
#include <memory>

#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/qt_support.h"
#include "platform/gui/widget_bridge.h"
#include "platform/gui/window_hooks.h"
#include "platform/rtl/system.h"

using namespace gui_detail;

namespace {

struct MenuState {
  std::unique_ptr<TWindowMenu> menu;
  QPointer<QWidget> corner;
  QPointer<QMenuBar> bar;
  std::unique_ptr<QObject> filter;
  QPointer<QMenu> shown;
};

// Never destroyed: forms freed from an exit handler still look here.
std::map<const TCustomForm*, MenuState>& States() {
  static auto* states = new std::map<const TCustomForm*, MenuState>;
  return *states;
}

// A right click on the bar where no menu title is opens the window menu.
class BarFilter : public QObject {
 public:
  explicit BarFilter(TCustomForm* form) : form_(form) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* bar = qobject_cast<QMenuBar*>(watched);
    if (!bar || event->type() != QEvent::ContextMenu) return false;
    auto* e = static_cast<QContextMenuEvent*>(event);
    if (bar->actionAt(e->pos())) return false;
    if (TWindowMenu* menu = TWindowMenu::Of(form_)) {
      menu->Popup(TPoint{e->globalPos().x(), e->globalPos().y()});
      return true;
    }
    return false;
  }

 private:
  TCustomForm* form_;
};

void PlaceCorner(MenuState& s) {
  if (s.bar) s.bar->setCornerWidget(s.corner.data(), Qt::TopRightCorner);
  if (s.bar && s.corner) s.corner->show();
}

}  // namespace

struct WindowMenuAccess {
  static TWindowMenu* Make(TCustomForm* form) { return new TWindowMenu(form); }
};

TWindowMenu::TWindowMenu(TCustomForm* form) : form_(form) {
  items_ = {
      {SC_RESTORE, Cz("&Obnovit"), true, false, nullptr},  {SC_MOVE, Cz("&Přesunout"), true, false, nullptr},
      {SC_SIZE, Cz("&Velikost"), true, false, nullptr},    {SC_MINIMIZE, Cz("Mi&nimalizovat"), true, false, nullptr},
      {SC_MAXIMIZE, Cz("Ma&ximalizovat"), true, false, nullptr}, {0, "-", true, false, nullptr},
      {SC_CLOSE, Cz("&Zavřít"), true, false, nullptr},
  };
  Refresh();
}

TWindowMenu* TWindowMenu::Of(TCustomForm* form) {
  if (!form || !form->BorderIcons().Contains(biSystemMenu) || form->BorderStyle() == bsNone) return nullptr;
  MenuState& s = States()[form];
  if (!s.menu) s.menu.reset(WindowMenuAccess::Make(form));
  return s.menu.get();
}

int TWindowMenu::IndexOfCommand(int command) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i].Command == command) return static_cast<int>(i);
  return -1;
}

void TWindowMenu::Insert(int position, const TWindowMenuItem& item) {
  position = std::clamp(position, 0, Count());
  items_.insert(items_.begin() + position, item);
}

bool TWindowMenu::RemoveCommand(int command) {
  int i = IndexOfCommand(command);
  if (i < 0) return false;
  items_.erase(items_.begin() + i);
  return true;
}

void TWindowMenu::EnableCommand(int command, bool on) {
  int i = IndexOfCommand(command);
  if (i >= 0) items_[static_cast<std::size_t>(i)].Enabled = on;
}

void TWindowMenu::CheckCommand(int command, bool on) {
  int i = IndexOfCommand(command);
  if (i >= 0) items_[static_cast<std::size_t>(i)].Checked = on;
}

void TWindowMenu::Refresh() {
  const TWindowState state = form_->WindowState();
  const TBorderIcons icons = form_->BorderIcons();
  const bool sizeable = form_->BorderStyle() == bsSizeable || form_->BorderStyle() == bsSizeToolWin;
  EnableCommand(SC_RESTORE, state != wsNormal);
  EnableCommand(SC_MOVE, state != wsMaximized);
  EnableCommand(SC_SIZE, sizeable && state == wsNormal);
  EnableCommand(SC_MINIMIZE, icons.Contains(biMinimize) && state != wsMinimized);
  EnableCommand(SC_MAXIMIZE, icons.Contains(biMaximize) && state != wsMaximized);
  EnableCommand(SC_CLOSE, true);
}

void TWindowMenu::Choose(int command) {
  TCustomForm* form = form_;
  Guard(form, [&] {
    switch (command) {
      case SC_RESTORE:
        form->SetWindowState(wsNormal);
        break;
      case SC_MOVE:
        StartSystemMove(form);
        break;
      case SC_SIZE:
        StartSystemResize(form);
        break;
      case SC_MINIMIZE:
        form->SetWindowState(wsMinimized);
        break;
      case SC_MAXIMIZE:
        form->SetWindowState(wsMaximized);
        break;
      case SC_CLOSE:
        form->Close();
        break;
      default:
        SendFormNotice(form, TFormNotice::WindowMenuCommand, command);
        break;
    }
  });
}

void TWindowMenu::Popup(TPoint screen) {
  Refresh();
  MenuState& s = States()[form_];
  if (s.shown) s.shown->close();
  auto* menu = new QMenu(form_->Widget());
  menu->setAttribute(Qt::WA_DeleteOnClose);
  for (const TWindowMenuItem& item : items_) {
    if (item.IsSeparator()) {
      menu->addSeparator();
      continue;
    }
    QAction* action = nullptr;
    if (item.SubMenu && item.SubMenu->Items()->Count() > 0) {
      QMenu* sub = item.SubMenu->Items()->SubMenu();
      sub->setTitle(ToQt(item.Caption, 1250));
      action = menu->addMenu(sub);
    } else {
      action = menu->addAction(ToQt(item.Caption, 1250));
      const int command = item.Command;
      TWindowMenu* self = this;
      QObject::connect(action, &QAction::triggered, menu, [self, command] { self->Choose(command); });
    }
    action->setEnabled(item.Enabled);
    action->setCheckable(item.Checked);
    action->setChecked(item.Checked);
  }
  s.shown = menu;
  menu->popup(QPoint(screen.x, screen.y));
}

bool TWindowMenu::Showing() const {
  auto it = States().find(form_);
  return it != States().end() && it->second.shown && it->second.shown->isVisible();
}

bool OpenWindowMenu(TCustomForm* form) {
  TWindowMenu* menu = TWindowMenu::Of(form);
  if (!menu) return false;
  menu->Popup(form->ClientToScreen(Point(0, form->Menu() ? -kMenuBarHeight : 0)));
  return true;
}

void SetMenuBarCorner(TCustomForm* form, QWidget* widget) {
  MenuState& s = States()[form];
  if (s.corner && s.corner != widget && s.bar) s.bar->setCornerWidget(nullptr, Qt::TopRightCorner);
  s.corner = widget;
  if (!s.bar && form->Menu()) gui_detail::MenuBarAttached(form, form->Menu()->Bar());
  PlaceCorner(s);
}

QWidget* MenuBarCorner(TCustomForm* form) {
  auto it = States().find(form);
  return it == States().end() ? nullptr : it->second.corner.data();
}

namespace gui_detail {

void WindowMenuFormGone(TCustomForm* form) {
  auto it = States().find(form);
  if (it == States().end()) return;
  if (it->second.shown) delete it->second.shown.data();
  States().erase(it);
}

void MenuBarAttached(TCustomForm* form, QWidget* widget) {
  auto* bar = qobject_cast<QMenuBar*>(widget);
  if (!bar) return;
  MenuState& s = States()[form];
  if (s.bar == bar) return;
  s.bar = bar;
  if (!s.filter) s.filter = std::make_unique<BarFilter>(form);
  bar->installEventFilter(s.filter.get());
  PlaceCorner(s);
}

}  // namespace gui_detail
