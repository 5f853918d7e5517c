// The theme layer: the visual-styles library loaded at run time with its
// entry points looked up by name, and the theme services that draw the
// "status" elements of the status bar and its panes with it.
//
// Invariants: the library's count, handle and entry-point slots change only
// under the loader's lock; a slot that stayed empty is never called, and
// a library missing any slot counts as "not themed" (classic drawing).
#pragma once

#include <array>
#include <functional>
#include <memory>

#include "platform/gui/controls.h"
#include "platform/gui/theme_library.h"

class QObject;
class QWidget;

namespace ThemeLibraryLoader {
// Count + 1; the first load opens the library and fills the slots. True
// when the library is loaded.
bool Load();
// Count - 1 when above 0; at 0 the library is freed and the slots cleared.
void Unload();
// Unloads until the count is 0 (program end).
void UnloadAll();
int Count();
bool Loaded();
// The slots (null when missing or not loaded).
OpenThemeDataProc OpenThemeData();
CloseThemeDataProc CloseThemeData();
DrawThemeBackgroundProc DrawThemeBackground();
DrawThemeTextProc DrawThemeText();
IsThemeActiveProc IsThemeActive();
IsAppThemedProc IsAppThemed();
GetThemeAppPropertiesProc GetThemeAppProperties();
}  // namespace ThemeLibraryLoader

// Element classes, in the order of the theme-handle cache.
enum TThemedElement {
  teButton, teClock, teComboBox, teEdit, teExplorerBar, teHeader, teListView, teMenu, tePage, teProgress,
  teRebar, teScrollBar, teSpin, teStartPanel, teStatus, teTab, teTaskBand, teTaskBar, teToolBar, teToolTip,
  teTrackBar, teTrayNotify, teTreeview, teWindow,
};
constexpr int kThemedElementCount = 24;

struct TThemedElementDetails {
  TThemedElement Element = teStatus;
  int Part = 0;
  int State = 0;
};
constexpr TThemedElementDetails kStatusRoot{teStatus, 0, 2};
constexpr TThemedElementDetails kStatusPane{teStatus, 1, 1};
constexpr TThemedElementDetails kStatusGripperPane{teStatus, 2, 1};
constexpr TThemedElementDetails kStatusGripper{teStatus, 3, 1};

class TThemeServices {
 public:
  // Loads the library and decides whether themes are used, for window.
  explicit TThemeServices(QWidget* window);
  ~TThemeServices();
  TThemeServices(const TThemeServices&) = delete;
  TThemeServices& operator=(const TThemeServices&) = delete;

  bool ThemesAvailable() const { return available_; }
  bool UseThemes() const { return useThemes_; }
  bool ControlsEnabled() const { return controlsEnabled_; }
  // ThemesAvailable and UseThemes and ControlsEnabled.
  bool ThemesInUse() const { return available_ && useThemes_ && controlsEnabled_; }
  // Closes the cached handles (when themes were in use) and decides again.
  void UpdateThemes();
  void DrawElement(TCanvas* canvas, const TThemedElementDetails& details, const TRect& rect,
                   const TRect* clip = nullptr);
  // Text in the canvas's font, one line, vertically centred.
  void DrawText(TCanvas* canvas, const TThemedElementDetails& details, const AnsiString& text, const TRect& rect);
  // The window system's look changed (style or palette of the application).
  void ThemeChanged();

  TNotifyEvent OnThemeChange;

 private:
  HTHEME Theme(TThemedElement element);
  void CloseThemes();

  QWidget* window_;
  bool available_ = false;
  bool useThemes_ = false;
  bool controlsEnabled_ = false;
  std::array<HTHEME, kThemedElementCount> themes_{};
  std::unique_ptr<QObject> watcher_;
};

// The services of the application's main window, created on first use.
TThemeServices* SharedThemeServices();
// Frees them (tests that change the library, and program end).
void FreeSharedThemeServices();
