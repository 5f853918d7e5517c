// The program's own window menu and the menu bar's corner.
//
// The window manager owns the title bar and its menu, which a program
// cannot extend; so every form with biSystemMenu gets a window menu of its
// own: "&Obnovit", "&Přesunout", "&Velikost", "Mi&nimalizovat",
// "Ma&ximalizovat", a separator and "&Zavřít", enabled by the border icons
// and the window state. It opens on Alt+Space (when that key reaches the
// program) and on a right click on the free part of the menu bar. Items
// can be inserted and removed by command id; choosing one that is not built
// in sends the form the WindowMenuCommand notice with its id.
//
// The corner host places a widget at the right end of the form's menu bar
// (where add-ons put buttons the title bar cannot take).
#pragma once

#include <vector>

#include "platform/gui/controls.h"

class QWidget;
class TCustomForm;
class TPopupMenu;

// Command ids of the built-in items.
constexpr int SC_SIZE = 0xF000;
constexpr int SC_MOVE = 0xF010;
constexpr int SC_MINIMIZE = 0xF020;
constexpr int SC_MAXIMIZE = 0xF030;
constexpr int SC_CLOSE = 0xF060;
constexpr int SC_RESTORE = 0xF120;

struct TWindowMenuItem {
  int Command = 0;
  AnsiString Caption;  // "-" for a separator
  bool Enabled = true;
  bool Checked = false;
  TPopupMenu* SubMenu = nullptr;
  bool IsSeparator() const { return Caption == "-"; }
};

class TWindowMenu {
 public:
  // The form's window menu; null for a form without biSystemMenu.
  static TWindowMenu* Of(TCustomForm* form);

  int Count() const { return static_cast<int>(items_.size()); }
  const TWindowMenuItem& Item(int index) const { return items_.at(static_cast<std::size_t>(index)); }
  int IndexOfCommand(int command) const;
  // Inserts before position (clamped to 0 .. Count()).
  void Insert(int position, const TWindowMenuItem& item);
  bool RemoveCommand(int command);
  void EnableCommand(int command, bool on);
  void CheckCommand(int command, bool on);
  // Brings the built-in items' enabled states up to date.
  void Refresh();
  // Runs the item's command as if chosen.
  void Choose(int command);
  // Shows the menu at a screen point (Refresh first); returns at once.
  void Popup(TPoint screen);
  bool Showing() const;

 private:
  explicit TWindowMenu(TCustomForm* form);
  friend struct WindowMenuAccess;
  TCustomForm* form_;
  std::vector<TWindowMenuItem> items_;
};

// Opens the window menu of form under its menu bar's left end (Alt+Space);
// false when it has none.
bool OpenWindowMenu(TCustomForm* form);
// The widget at the right end of form's menu bar (null removes it); kept
// across menu changes. Returns the bar's height used, 0 without a bar.
void SetMenuBarCorner(TCustomForm* form, QWidget* widget);
QWidget* MenuBarCorner(TCustomForm* form);

namespace gui_detail {
void WindowMenuFormGone(TCustomForm* form);
// The form's menu bar (re)appeared: the corner and the right click go to it.
void MenuBarAttached(TCustomForm* form, QWidget* bar);
}  // namespace gui_detail
