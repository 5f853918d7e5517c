// Menu items over QActions. An item's shortcut is shown after a tab in its
// text but never registered with Qt: the form's key pipeline finds it, so
// KeyPreview handlers and controls see keys in the program's own order.
#include "platform/gui/menus.h"
#include "platform/gui/window_menu.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <algorithm>

#include "platform/gui/actions.h"
#include "platform/gui/forms.h"
#include "platform/gui/widget_bridge.h"

using namespace gui_detail;

// --------------------------------------------------------------- TMenuItem

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {
  EnsureQtApplication();
  action_ = new QAction();
  QObject::connect(action_, &QAction::triggered, action_, [this] { Guard(this, [this] { Click(); }); });
}

TMenuItem::~TMenuItem() {
  SetAction(nullptr);
  if (parent_) parent_->Remove(this);
  while (!items_.empty()) delete items_.back();
  delete menu_;
  delete action_;
}

void TMenuItem::SetCaption(const AnsiString& caption) {
  caption_ = caption;
  UpdateAction();
}

void TMenuItem::SetEnabled(bool on) {
  enabled_ = on;
  UpdateAction();
}

void TMenuItem::SetVisible(bool on) {
  visible_ = on;
  UpdateAction();
}

void TMenuItem::SetChecked(bool on) {
  checked_ = on;
  UpdateAction();
}

void TMenuItem::SetShortCut(TShortCut sc) {
  shortCut_ = sc;
  UpdateAction();
}

void TMenuItem::UpdateAction() {
  action_->setSeparator(IsLine());
  QString text = ToQt(caption_);
  AnsiString keys = ShortCutToText(shortCut_);
  if (!keys.empty()) text += "\t" + ToQt(keys);
  action_->setText(text);
  action_->setEnabled(enabled_);
  action_->setVisible(visible_);
  action_->setCheckable(checked_);
  action_->setChecked(checked_);
}

int TMenuItem::MenuIndex() const {
  if (!parent_) return -1;
  auto& list = parent_->items_;
  return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (item->parent_) item->parent_->Remove(item);
  index = std::clamp(index, 0, Count());
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
  Rebuild();
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->parent_ = nullptr;
  Rebuild();
}

void TMenuItem::Clear() {
  while (!items_.empty()) delete items_.back();
}

QMenu* TMenuItem::SubMenu() {
  if (!menu_) menu_ = new QMenu();
  return menu_;
}

void TMenuItem::Rebuild() {
  QMenu* m = SubMenu();
  m->clear();
  for (TMenuItem* i : items_) m->addAction(i->action_);
  action_->setMenu(items_.empty() ? nullptr : m);
  // The root of a main menu lays out its bar again.
  for (TMenuItem* p = this; p; p = p->parent_)
    if (!p->parent_)
      if (auto* mm = dynamic_cast<TMainMenu*>(p->Owner())) mm->RebuildBar();
}

void TMenuItem::Click() {
  if (!enabled_) return;
  if (OnClick)
    OnClick(this);
  else if (linked_)
    linked_->Execute();
}

void TMenuItem::SetHint(const AnsiString& hint) {
  hint_ = hint;
  action_->setStatusTip(ToQt(hint));
}

void TMenuItem::SetAction(TAction* action) {
  if (action == linked_) return;
  if (linked_) {
    linked_->RemoveChangeListener(this);
    linked_->RemoveFreeNotification(this);
  }
  linked_ = action;
  if (!linked_) return;
  linked_->FreeNotification(this);
  linked_->AddChangeListener(this, [this] { ActionChanged(false); });
  ActionChanged(true);
}

void TMenuItem::ActionChanged(bool first) {
  TAction* a = linked_;
  if (first || caption_ == linkedCaption_) SetCaption(a->Caption());
  if (first || hint_ == linkedHint_) SetHint(a->Hint());
  if (first || shortCut_ == linkedShortCut_) SetShortCut(a->ShortCut());
  linkedCaption_ = a->Caption();
  linkedHint_ = a->Hint();
  linkedShortCut_ = a->ShortCut();
  SetEnabled(a->Enabled());
  SetChecked(a->Checked());
  SetVisible(a->Visible());
}

void TMenuItem::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == linked_) linked_ = nullptr;
}

TMenuItem* TMenuItem::FindShortCut(TShortCut sc) {
  for (TMenuItem* i : items_) {
    if (!i->visible_) continue;
    if (i->shortCut_ == sc && i->enabled_) return i;
    if (TMenuItem* found = i->FindShortCut(sc)) return found;
  }
  return nullptr;
}

// ------------------------------------------------------------------ TMenu

TMenu::TMenu(TComponent* owner) : TComponent(owner) { items_ = new TMenuItem(this); }

TMenu::~TMenu() = default;

bool TMenu::IsShortCut(TShortCut sc) {
  TMenuItem* item = items_->FindShortCut(sc);
  if (!item) return false;
  item->Click();
  return true;
}

// --------------------------------------------------------------- TMainMenu

TMainMenu::TMainMenu(TComponent* owner) : TMenu(owner) {}

TMainMenu::~TMainMenu() { delete bar_.data(); }

void TMainMenu::AttachTo(TCustomForm* form) {
  if (!bar_) bar_ = new QMenuBar();
  bar_->setParent(form->Widget());
  bar_->setNativeMenuBar(false);
  bar_->setFixedHeight(kMenuBarHeight);
  bar_->setFont(QtFontOf(TFont()));
  RebuildBar();
  bar_->show();
  gui_detail::MenuBarAttached(form, bar_);
}

void TMainMenu::DetachFrom(TCustomForm*) {
  if (bar_) {
    bar_->hide();
    bar_->setParent(nullptr);
  }
}

void TMainMenu::PlaceIn(QWidget* window, int width) {
  if (!bar_ || bar_->parentWidget() != window) return;
  bar_->setGeometry(0, 0, width, kMenuBarHeight);
  bar_->raise();
}

void TMainMenu::RebuildBar() {
  if (!bar_) return;
  bar_->clear();
  for (int i = 0; i < items_->Count(); ++i) bar_->addAction(items_->Items(i)->Action());
}

bool TMainMenu::OpenByAccelerator(char key) {
  for (int i = 0; i < items_->Count(); ++i) {
    TMenuItem* item = items_->Items(i);
    if (!item->Visible() || !item->Enabled() || !IsAccel(key, item->Caption())) continue;
    if (item->Count() > 0 && bar_)
      bar_->setActiveAction(item->Action());
    else
      item->Click();
    return true;
  }
  return false;
}

// -------------------------------------------------------------- TPopupMenu

namespace {

// The pop-up menu showing for a control, and the control whose press just
// closed its menu (the window system may hand that press on to it).
struct OpenMenu {
  TPopupMenu* menu = nullptr;
  QMenu* qmenu = nullptr;
  QWidget* owner = nullptr;
  QWidget* closedByPressOn = nullptr;
} gOpenMenu;

}  // namespace

namespace gui_detail {

bool CloseMenuOnPress(QWidget* pressed) {
  if (gOpenMenu.closedByPressOn) {
    bool same = pressed == gOpenMenu.closedByPressOn;
    gOpenMenu.closedByPressOn = nullptr;
    if (same) return true;
  }
  if (!gOpenMenu.qmenu || !gOpenMenu.qmenu->isVisible()) return false;
  for (QWidget* w = pressed; w; w = w->parentWidget())
    if (w == gOpenMenu.qmenu) return false;
  QWidget* owner = gOpenMenu.owner;
  gOpenMenu.qmenu->hide();
  gOpenMenu.closedByPressOn = nullptr;
  return owner && pressed == owner;
}

}  // namespace gui_detail

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}

TPopupMenu::~TPopupMenu() {
  if (gOpenMenu.menu == this) gOpenMenu = OpenMenu{};
}

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup(this);
  QMenu* m = items_->SubMenu();
  m->clear();
  for (int i = 0; i < items_->Count(); ++i) m->addAction(items_->Items(i)->Action());
  if (!closeHooked_) {
    closeHooked_ = true;
    QObject::connect(m, &QMenu::aboutToHide, m, [this] {
      if (gOpenMenu.menu == this) {
        // A press outside closes the menu before it reaches the window
        // below; the control the menu belongs to must not take it again.
        if (QApplication::mouseButtons() != Qt::NoButton && gOpenMenu.owner) {
          gOpenMenu.closedByPressOn = gOpenMenu.owner;
          QTimer::singleShot(0, [] { gOpenMenu.closedByPressOn = nullptr; });
        }
        gOpenMenu.menu = nullptr;
        gOpenMenu.qmenu = nullptr;
        gOpenMenu.owner = nullptr;
      }
      if (OnClose) Guard(this, [this] { OnClose(this); });
    });
  }
  int width = m->sizeHint().width();
  int left = x;
  if (alignment_ == paRight) left = x - width;
  if (alignment_ == paCenter) left = x - width / 2;
  auto* control = dynamic_cast<TControl*>(popupComponent_);
  gOpenMenu = OpenMenu{this, m, control ? control->Widget() : nullptr, nullptr};
  m->popup(QPoint(left, y));
}

bool TPopupMenu::Showing() const { return gOpenMenu.menu == this && gOpenMenu.qmenu && gOpenMenu.qmenu->isVisible(); }

void TPopupMenu::CloseMenu() {
  if (Showing()) gOpenMenu.qmenu->hide();
}
