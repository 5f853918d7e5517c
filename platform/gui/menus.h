// Menus: items with captions ("&" accelerators, "-" separators),
// shortcuts, checks and sub-items; the main menu is a menu bar inside its
// form (the form's client area starts below it) and a pop-up menu shows at
// a screen point or on a right click over its control. Shortcuts run
// through the form's key pipeline, never through Qt's shortcut system.
#pragma once

#include <QMenuBar>
#include <QPointer>

#include <memory>
#include <vector>

#include "platform/gui/controls.h"

class QAction;
class TAction;
class QMenu;
class QWidget;

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;
  AnsiString ClassName() const override { return "TMenuItem"; }

  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& caption);
  bool IsLine() const { return caption_ == "-"; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool Visible() const { return visible_; }
  void SetVisible(bool on);
  bool Checked() const { return checked_; }
  void SetChecked(bool on);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut sc);

  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(static_cast<std::size_t>(index)); }
  TMenuItem* Parent() const { return parent_; }
  int MenuIndex() const;
  // The item becomes the last (or index-th) sub-item.
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  void Remove(TMenuItem* item);
  void Clear();
  // Fires OnClick when enabled.
  virtual void Click();
  // The enabled, visible item of this tree with the shortcut, or null.
  TMenuItem* FindShortCut(TShortCut sc);

  TNotifyEvent OnClick;

  QAction* Action() const { return action_; }
  QMenu* SubMenu();

  // Shown in the status line while the item is highlighted.
  const AnsiString& Hint() const { return hint_; }
  void SetHint(const AnsiString& hint);
  // Links the item to an action (null unlinks): caption, hint and shortcut
  // follow the action while the item still shows what the action gave it;
  // enabled, checked and visible always follow. A click without an OnClick
  // of the item's own runs the action.
  TAction* LinkedAction() const { return linked_; }
  void SetAction(TAction* action);

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void ActionChanged(bool first);
  TAction* linked_ = nullptr;
  AnsiString hint_;
  AnsiString linkedCaption_, linkedHint_;
  TShortCut linkedShortCut_ = scNone;
  void UpdateAction();
  void Rebuild();
  AnsiString caption_;
  bool enabled_ = true;
  bool visible_ = true;
  bool checked_ = false;
  TShortCut shortCut_ = scNone;
  TMenuItem* parent_ = nullptr;
  std::vector<TMenuItem*> items_;
  QAction* action_;
  QMenu* menu_ = nullptr;
};

class TMenu : public TComponent {
 public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;
  // The root item whose sub-items are the menu.
  TMenuItem* Items() const { return items_; }
  // Clicks the item with the shortcut; true when one ran.
  bool IsShortCut(TShortCut sc);

 protected:
  TMenuItem* items_;
};

class TMainMenu : public TMenu {
 public:
  explicit TMainMenu(TComponent* owner);
  ~TMainMenu() override;
  AnsiString ClassName() const override { return "TMainMenu"; }

  // Opens the top-level item whose caption has the accelerator (or clicks
  // it when it has no sub-items); true when there was one.
  bool OpenByAccelerator(char key);
  // The bar of the form that shows the menu (null when none does).
  QMenuBar* Bar() const { return bar_; }

 private:
  friend class TCustomForm;
  friend class TMenuItem;
  void AttachTo(TCustomForm* form);
  void DetachFrom(TCustomForm* form);
  void PlaceIn(QWidget* window, int width);
  void RebuildBar();
  // The bar lives inside the form's window; the window may go first.
  QPointer<QMenuBar> bar_;
};

// Where a pop-up menu lies against the point it is shown at.
enum TPopupAlignment { paLeft, paRight, paCenter };

class TPopupMenu : public TMenu {
 public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;
  AnsiString ClassName() const override { return "TPopupMenu"; }

  // A right click on a control with this menu shows it.
  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool on) { autoPopup_ = on; }
  // paLeft: the menu's left edge at the point; paRight: its right edge;
  // paCenter: centred on it.
  TPopupAlignment Alignment() const { return alignment_; }
  void SetAlignment(TPopupAlignment a) { alignment_ = a; }
  // Shows the menu with its top at the screen point, placed by Alignment
  // (OnPopup first), and returns at once; OnClose fires when it closes.
  // While it shows, a mouse press on the control it was shown for (the
  // PopupComponent) only closes it: that press is not delivered again.
  virtual void Popup(int x, int y);
  bool Showing() const;
  // Closes the menu when it shows.
  void CloseMenu();
  TNotifyEvent OnClose;
  // The control the menu was last shown for.
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* c) { popupComponent_ = c; }

  TNotifyEvent OnPopup;

 private:
  bool autoPopup_ = true;
  TPopupAlignment alignment_ = paLeft;
  bool closeHooked_ = false;
  TComponent* popupComponent_ = nullptr;
};
