// Desktop opening through Qt's desktop services.
#include "platform/gui/shell_open.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "platform/gui/qt_support.h"
#include "platform/rtl/paths.h"

namespace {

TShellOpenHook& Hook() {
  static TShellOpenHook hook;
  return hook;
}

bool IsSchemeChar(char c, bool first) {
  bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (first) return letter;
  return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

}  // namespace

bool HasUrlScheme(const AnsiString& target) {
  std::size_t colon = target.find(':');
  if (colon == AnsiString::npos || colon < 2) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    if (!IsSchemeChar(target[i], i == 0)) return false;
  }
  return true;
}

TShellOpenHook SetShellOpenHook(TShellOpenHook hook) {
  TShellOpenHook old = std::move(Hook());
  Hook() = std::move(hook);
  return old;
}

bool ShellOpen(const AnsiString& target) {
  if (Hook()) return Hook()(target);
  if (target.empty()) return false;
  QUrl url;
  if (HasUrlScheme(target)) {
    url = QUrl(gui_detail::ToQt(target), QUrl::TolerantMode);
  } else {
    std::optional<std::string> path = ExistingDiskPath(target);
    if (!path) return false;
    url = QUrl::fromLocalFile(QString::fromStdString(*path));
  }
  return url.isValid() && QDesktopServices::openUrl(url);
}
