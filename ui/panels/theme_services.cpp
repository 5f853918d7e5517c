// The theme library loader and the theme services over it.
#include "ui/panels/theme_services.h"

#include <QApplication>
#include <QEvent>
#include <QObject>

#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/rtl/codepages.h"

// ---------------------------------------------------------------- loader

namespace {

struct Library {
  std::mutex lock;
  HTHEMELIB handle = nullptr;
  int count = 0;
  OpenThemeDataProc open = nullptr;
  CloseThemeDataProc close = nullptr;
  DrawThemeBackgroundProc background = nullptr;
  DrawThemeTextProc text = nullptr;
  IsThemeActiveProc active = nullptr;
  IsAppThemedProc appThemed = nullptr;
  GetThemeAppPropertiesProc properties = nullptr;
};

Library& Lib() {
  // Never destroyed: the unit's finalisation below still needs it.
  static Library* library = new Library;
  return *library;
}

template <class Proc>
Proc Slot(Proc Library::*slot) {
  Library& l = Lib();
  std::lock_guard<std::mutex> guard(l.lock);
  return l.*slot;
}

struct Finalisation {
  ~Finalisation() { ThemeLibraryLoader::UnloadAll(); }
} gFinalisation;

}  // namespace

namespace ThemeLibraryLoader {

bool Load() {
  Library& l = Lib();
  std::lock_guard<std::mutex> guard(l.lock);
  ++l.count;
  if (!l.handle) {
    l.handle = LoadThemeLibrary("uxtheme.dll");
    if (l.handle) {
      l.open = reinterpret_cast<OpenThemeDataProc>(GetThemeProcAddress(l.handle, "OpenThemeData"));
      l.close = reinterpret_cast<CloseThemeDataProc>(GetThemeProcAddress(l.handle, "CloseThemeData"));
      l.background = reinterpret_cast<DrawThemeBackgroundProc>(GetThemeProcAddress(l.handle, "DrawThemeBackground"));
      l.text = reinterpret_cast<DrawThemeTextProc>(GetThemeProcAddress(l.handle, "DrawThemeText"));
      l.active = reinterpret_cast<IsThemeActiveProc>(GetThemeProcAddress(l.handle, "IsThemeActive"));
      l.appThemed = reinterpret_cast<IsAppThemedProc>(GetThemeProcAddress(l.handle, "IsAppThemed"));
      l.properties =
          reinterpret_cast<GetThemeAppPropertiesProc>(GetThemeProcAddress(l.handle, "GetThemeAppProperties"));
    }
  }
  return l.handle != nullptr;
}

void Unload() {
  Library& l = Lib();
  std::lock_guard<std::mutex> guard(l.lock);
  if (l.count > 0) --l.count;
  if (l.count == 0 && l.handle) {
    FreeThemeLibrary(l.handle);
    l.handle = nullptr;
    l.open = nullptr;
    l.close = nullptr;
    l.background = nullptr;
    l.text = nullptr;
    l.active = nullptr;
    l.appThemed = nullptr;
    l.properties = nullptr;
  }
}

void UnloadAll() {
  while (Count() > 0) Unload();
}

int Count() {
  Library& l = Lib();
  std::lock_guard<std::mutex> guard(l.lock);
  return l.count;
}

bool Loaded() { return Slot(&Library::handle) != nullptr; }
OpenThemeDataProc OpenThemeData() { return Slot(&Library::open); }
CloseThemeDataProc CloseThemeData() { return Slot(&Library::close); }
DrawThemeBackgroundProc DrawThemeBackground() { return Slot(&Library::background); }
DrawThemeTextProc DrawThemeText() { return Slot(&Library::text); }
IsThemeActiveProc IsThemeActive() { return Slot(&Library::active); }
IsAppThemedProc IsAppThemed() { return Slot(&Library::appThemed); }
GetThemeAppPropertiesProc GetThemeAppProperties() { return Slot(&Library::properties); }

}  // namespace ThemeLibraryLoader

// ---------------------------------------------------------------- services

namespace {

const char16_t* const kClassNames[kThemedElementCount] = {
    u"button",   u"clock",     u"combobox",   u"edit",     u"explorerbar", u"header",  u"listview", u"menu",
    u"page",     u"progress",  u"rebar",      u"scrollbar", u"spin",       u"startpanel", u"status", u"tab",
    u"taskband", u"taskbar",   u"toolbar",    u"tooltip",  u"trackbar",    u"traynotify", u"treeview", u"window",
};

// Stands for the window procedure that saw WM_THEMECHANGED: the
// application's style and palette changes.
class ThemeWatcher : public QObject {
 public:
  explicit ThemeWatcher(TThemeServices* services) : services_(services) { qApp->installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == qApp && (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::StyleChange))
      services_->ThemeChanged();
    return false;
  }

 private:
  TThemeServices* services_;
};

}  // namespace

TThemeServices::TThemeServices(QWidget* window) : window_(window) {
  available_ = ThemeLibraryLoader::Load();
  UpdateThemes();
  if (qApp) watcher_ = std::make_unique<ThemeWatcher>(this);
}

TThemeServices::~TThemeServices() {
  watcher_.reset();
  CloseThemes();
  ThemeLibraryLoader::Unload();
}

void TThemeServices::CloseThemes() {
  CloseThemeDataProc close = ThemeLibraryLoader::CloseThemeData();
  for (HTHEME& theme : themes_) {
    if (theme && close) close(theme);
    theme = nullptr;
  }
}

void TThemeServices::UpdateThemes() {
  if (useThemes_) CloseThemes();
  namespace L = ThemeLibraryLoader;
  const bool allSlots = L::OpenThemeData() && L::CloseThemeData() && L::DrawThemeBackground() && L::DrawThemeText() &&
                     L::IsThemeActive() && L::IsAppThemed() && L::GetThemeAppProperties();
  useThemes_ = available_ && allSlots && L::IsAppThemed()() && L::IsThemeActive()() && CommonControlsVersion() > 0x5FFFF;
  controlsEnabled_ = useThemes_ && (L::GetThemeAppProperties()() & STAP_ALLOW_CONTROLS) != 0;
}

HTHEME TThemeServices::Theme(TThemedElement element) {
  HTHEME& theme = themes_[static_cast<std::size_t>(element)];
  if (!theme && useThemes_)
    if (OpenThemeDataProc open = ThemeLibraryLoader::OpenThemeData()) theme = open(window_, kClassNames[element]);
  return theme;
}

void TThemeServices::DrawElement(TCanvas* canvas, const TThemedElementDetails& details, const TRect& rect,
                                 const TRect* clip) {
  DrawThemeBackgroundProc draw = ThemeLibraryLoader::DrawThemeBackground();
  HTHEME theme = Theme(details.Element);
  if (draw && theme) draw(theme, canvas, details.Part, details.State, &rect, clip);
}

void TThemeServices::DrawText(TCanvas* canvas, const TThemedElementDetails& details, const AnsiString& text,
                              const TRect& rect) {
  DrawThemeTextProc draw = ThemeLibraryLoader::DrawThemeText();
  HTHEME theme = Theme(details.Element);
  if (!draw || !theme) return;
  std::u16string wide;
  for (char c : text) wide.push_back(static_cast<char16_t>(Cp1250ToUnicode(static_cast<unsigned char>(c))));
  constexpr unsigned kSingleLineVCentre = DT_SINGLELINE | DT_VCENTER;
  draw(theme, canvas, details.Part, details.State, wide.c_str(), static_cast<int>(wide.size()), kSingleLineVCentre, 0,
       &rect);
}

void TThemeServices::ThemeChanged() {
  UpdateThemes();
  if (OnThemeChange) OnThemeChange(nullptr);
}

namespace {

std::unique_ptr<TThemeServices>& Shared() {
  static std::unique_ptr<TThemeServices> shared;
  return shared;
}

}  // namespace

TThemeServices* SharedThemeServices() {
  if (!Shared()) {
    TCustomForm* main = Application ? Application->MainForm() : nullptr;
    Shared() = std::make_unique<TThemeServices>(main ? main->Widget() : nullptr);
  }
  return Shared().get();
}

void FreeSharedThemeServices() { Shared().reset(); }
