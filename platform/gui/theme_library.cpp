// The built-in visual-styles library: status elements drawn with the
// application's QStyle (status root = PE_PanelStatusBar, pane and gripper
// pane = PE_FrameStatusBarItem, gripper = CE_SizeGrip for the bottom-right
// corner), text by QStyle::drawItemText on one line, vertically centred.
#include "platform/gui/theme_library.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "platform/gui/qt_support.h"

using namespace gui_detail;

namespace {

struct Theme {
  std::u16string classList;
  QWidget* window = nullptr;
};

std::mutex gLock;
bool gPresent = true;
std::string gDropped;
unsigned gVersion = 0;
int gLoads = 0;
std::atomic<int> gCalls{0};
int gLibraryToken = 0;

QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

HTHEME OpenThemeData(QWidget* window, const char16_t* classList) {
  ++gCalls;
  return new Theme{classList ? std::u16string(classList) : std::u16string(), window};
}

long CloseThemeData(HTHEME theme) {
  ++gCalls;
  delete static_cast<Theme*>(theme);
  return 0;
}

long DrawThemeBackground(HTHEME theme, TCanvas* dc, int part, int state, const TRect* rect, const TRect* clip) {
  ++gCalls;
  (void)state;
  if (!theme || !dc || !rect) return -1;
  CanvasPainter p(dc);
  if (!p.Active()) return -1;
  QPainter& painter = *p;
  if (clip) painter.setClipRect(ToQRect(*clip), Qt::IntersectClip);
  QStyle* style = QApplication::style();
  QStyleOption option;
  option.rect = ToQRect(*rect);
  option.palette = QApplication::palette();
  option.state = QStyle::State_Enabled;
  switch (part) {
    case 0:
      // The root element is opaque: the window colour under the style's panel.
      painter.fillRect(option.rect, option.palette.window());
      style->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, static_cast<Theme*>(theme)->window);
      break;
    case SP_PANE:
    case SP_GRIPPERPANE:
      style->drawPrimitive(QStyle::PE_FrameStatusBarItem, &option, &painter, static_cast<Theme*>(theme)->window);
      break;
    case SP_GRIPPER: {
      QStyleOptionSizeGrip grip;
      grip.QStyleOption::operator=(option);
      grip.corner = Qt::BottomRightCorner;
      style->drawControl(QStyle::CE_SizeGrip, &grip, &painter, static_cast<Theme*>(theme)->window);
      break;
    }
    default:
      return -1;
  }
  p.Touch(option.rect);
  return 0;
}

long DrawThemeText(HTHEME theme, TCanvas* dc, int part, int state, const char16_t* text, int length, unsigned flags,
                   unsigned flags2, const TRect* rect) {
  ++gCalls;
  (void)part;
  (void)state;
  (void)flags;
  (void)flags2;
  if (!theme || !dc || !rect || !text) return -1;
  CanvasPainter p(dc);
  if (!p.Active()) return -1;
  QString s = QString::fromUtf16(text, length < 0 ? -1 : length);
  p->setFont(QtFontOf(*dc->Font()));
  QPalette palette = QApplication::palette();
  palette.setColor(QPalette::WindowText, ToQColor(dc->Font()->Color()));
  QApplication::style()->drawItemText(&*p, ToQRect(*rect), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                                      palette, true, s, QPalette::WindowText);
  p.Touch(ToQRect(*rect));
  return 0;
}

int IsThemeActive() {
  ++gCalls;
  return 1;
}

int IsAppThemed() {
  ++gCalls;
  return 1;
}

unsigned GetThemeAppProperties() {
  ++gCalls;
  return STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS;
}

const std::map<std::string, void*>& EntryPoints() {
  static const std::map<std::string, void*> points = {
      {"OpenThemeData", reinterpret_cast<void*>(&OpenThemeData)},
      {"CloseThemeData", reinterpret_cast<void*>(&CloseThemeData)},
      {"DrawThemeBackground", reinterpret_cast<void*>(&DrawThemeBackground)},
      {"DrawThemeText", reinterpret_cast<void*>(&DrawThemeText)},
      {"IsThemeActive", reinterpret_cast<void*>(&IsThemeActive)},
      {"IsAppThemed", reinterpret_cast<void*>(&IsAppThemed)},
      {"GetThemeAppProperties", reinterpret_cast<void*>(&GetThemeAppProperties)},
  };
  return points;
}

}  // namespace

HTHEMELIB LoadThemeLibrary(const std::string& name) {
  std::lock_guard<std::mutex> guard(gLock);
  if (!gPresent || (name != "uxtheme.dll" && name != "UxTheme.dll")) return nullptr;
  ++gLoads;
  return &gLibraryToken;
}

void FreeThemeLibrary(HTHEMELIB library) {
  std::lock_guard<std::mutex> guard(gLock);
  if (library == &gLibraryToken && gLoads > 0) --gLoads;
}

void* GetThemeProcAddress(HTHEMELIB library, const std::string& name) {
  std::lock_guard<std::mutex> guard(gLock);
  if (library != &gLibraryToken || name == gDropped) return nullptr;
  auto it = EntryPoints().find(name);
  return it == EntryPoints().end() ? nullptr : it->second;
}

unsigned CommonControlsVersion() { return gVersion ? gVersion : (5u << 16) | 82u; }

void SetThemeLibraryPresent(bool present) {
  std::lock_guard<std::mutex> guard(gLock);
  gPresent = present;
}

void SetThemeEntryPointDropped(const std::string& name) {
  std::lock_guard<std::mutex> guard(gLock);
  gDropped = name;
}

void SetCommonControlsVersion(unsigned version) { gVersion = version; }

int ThemeLibraryLoadCount() {
  std::lock_guard<std::mutex> guard(gLock);
  return gLoads;
}

int ThemeLibraryCallCount() { return gCalls; }
