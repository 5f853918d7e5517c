// Input drivers over QTest.
#include "platform/gui/testing/gui_input.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>
#include <QWidget>

#include "platform/gui/widget_bridge.h"

using namespace gui_detail;

namespace {

Qt::KeyboardModifiers ModsOf(TShiftState shift) {
  Qt::KeyboardModifiers m;
  if (shift.Contains(ssShift)) m |= Qt::ShiftModifier;
  if (shift.Contains(ssCtrl)) m |= Qt::ControlModifier;
  if (shift.Contains(ssAlt)) m |= Qt::AltModifier;
  return m;
}

Qt::MouseButton QtButton(TMouseButton b) {
  return b == mbRight ? Qt::RightButton : b == mbMiddle ? Qt::MiddleButton : Qt::LeftButton;
}

// What a key types, as the keyboard would report it.
QString TextOf(Word vk, TShiftState shift) {
  if (shift.Contains(ssCtrl) || shift.Contains(ssAlt)) return QString();
  bool upper = shift.Contains(ssShift);
  if (vk >= 'A' && vk <= 'Z') return QString(QChar(upper ? vk : vk + 32));
  if (vk >= '0' && vk <= '9') return QString(QChar(vk));
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return QString(QChar('0' + vk - VK_NUMPAD0));
  switch (vk) {
    case VK_SPACE: return " ";
    case VK_RETURN: return "\r";
    case VK_ESCAPE: return QString(QChar(27));
    case VK_BACK: return QString(QChar(8));
    case VK_TAB: return "\t";
    case VK_ADD: return "+";
    case VK_SUBTRACT: return "-";
    case VK_MULTIPLY: return "*";
    case VK_DIVIDE: return "/";
    case VK_DECIMAL: return ",";
    case VK_OEM_COMMA: return ",";
    case VK_OEM_PERIOD: return ".";
    case VK_OEM_MINUS: return "-";
    default: return QString();
  }
}

QWidget* KeyWidget(TControl* control) {
  QWidget* w = control->Widget();
  if (QWidget* f = QApplication::focusWidget(); f && f->window() == w->window()) return f;
  return w;
}

void SendKey(TControl* control, Word vk, TShiftState shift, bool press, bool release) {
  bool keypad = false;
  int key = QtKeyOf(vk, keypad);
  Qt::KeyboardModifiers mods = ModsOf(shift);
  if (keypad) mods |= Qt::KeypadModifier;
  if (vk == VK_TAB && shift.Contains(ssShift)) key = Qt::Key_Backtab;
  QString text = TextOf(vk, shift);
  if (press) QTest::sendKeyEvent(QTest::Press, KeyWidget(control), static_cast<Qt::Key>(key), text, mods);
  if (release) QTest::sendKeyEvent(QTest::Release, KeyWidget(control), static_cast<Qt::Key>(key), text, mods);
}

}  // namespace

void KeyClick(TControl* control, Word vk, TShiftState shift) { SendKey(control, vk, shift, true, true); }
void KeyDown(TControl* control, Word vk, TShiftState shift) { SendKey(control, vk, shift, true, false); }
void KeyUp(TControl* control, Word vk, TShiftState shift) { SendKey(control, vk, shift, false, true); }

void TypeText(TControl* control, const AnsiString& text) {
  for (char c : text) {
    char32_t u = UnicodeOf(static_cast<unsigned char>(c), 1250);
    QChar qc(static_cast<char16_t>(u));
    int key = qc.toUpper().unicode();
    if (u >= 'a' && u <= 'z') key = Qt::Key_A + (u - 'a');
    Qt::KeyboardModifiers mods = (u >= 'A' && u <= 'Z') ? Qt::ShiftModifier : Qt::NoModifier;
    QString s(qc);
    QTest::sendKeyEvent(QTest::Press, KeyWidget(control), static_cast<Qt::Key>(key), s, mods);
    QTest::sendKeyEvent(QTest::Release, KeyWidget(control), static_cast<Qt::Key>(key), s, mods);
  }
}

void CommitText(TControl* control, const char* utf8) {
  QInputMethodEvent e;
  e.setCommitString(QString::fromUtf8(utf8));
  QApplication::sendEvent(KeyWidget(control), &e);
}

namespace {

QPoint WidgetPoint(TControl* control, int x, int y) {
  TPoint screen = control->ClientToScreen(Point(x, y));
  return control->Widget()->mapFromGlobal(QPoint(screen.x, screen.y));
}

}  // namespace

void MouseClick(TControl* control, int x, int y, TMouseButton button, TShiftState shift) {
  QTest::mouseClick(control->Widget(), QtButton(button), ModsOf(shift), WidgetPoint(control, x, y));
}

void MouseDown(TControl* control, int x, int y, TMouseButton button, TShiftState shift) {
  QTest::mousePress(control->Widget(), QtButton(button), ModsOf(shift), WidgetPoint(control, x, y));
}

void MouseUp(TControl* control, int x, int y, TMouseButton button, TShiftState shift) {
  QTest::mouseRelease(control->Widget(), QtButton(button), ModsOf(shift), WidgetPoint(control, x, y));
}

void DoubleClick(TControl* control, int x, int y) {
  // What the window system delivers: press, release, press, double click,
  // release.
  QPoint p = WidgetPoint(control, x, y);
  QTest::mousePress(control->Widget(), Qt::LeftButton, Qt::NoModifier, p);
  QTest::mouseRelease(control->Widget(), Qt::LeftButton, Qt::NoModifier, p);
  QTest::mousePress(control->Widget(), Qt::LeftButton, Qt::NoModifier, p);
  QTest::mouseDClick(control->Widget(), Qt::LeftButton, Qt::NoModifier, p);
  QTest::mouseRelease(control->Widget(), Qt::LeftButton, Qt::NoModifier, p);
}
