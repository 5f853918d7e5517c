// The application object, the screen and the event pipeline.
//
// Every Qt event passes GuiApplication::notify first. Keys never reach a
// widget directly: they run the form's pipeline (shortcuts, key preview,
// the focused control's KeyDown, dialog keys, accelerators, KeyPress) and
// only what is left is handed to the native widget. Mouse presses move the
// focus through the form before the widget sees them, so an exit handler
// can veto the move and swallow the press with its release and double
// click. Nothing that raises inside the pipeline escapes into Qt.
#include "platform/gui/application.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <QWidget>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>

#include "platform/gui/actions.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/widget_bridge.h"
#include "platform/gui/window_menu.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/system.h"

using namespace gui_detail;

namespace {

TApplication gApplicationObject;
TScreen gScreenObject;

int gArgc = 1;
char gArg0[] = "platebna";
char* gDefaultArgv[] = {gArg0, nullptr};
char** gArgv = gDefaultArgv;

int gBeeps = 0;
std::map<Word, bool> gToggles;
std::map<Word, int> gToggleOverrides;
std::vector<TCustomControl*> gPopups;
std::multiset<TCustomForm*> gBusyForms;
std::map<int, QCursor> gCursors;

// Swallowing of a vetoed press: its release and a following double click.
struct Swallow {
  bool release = false;
  QWidget* doubleClickWidget = nullptr;
} gSwallow;

}  // namespace

TApplication* Application = &gApplicationObject;
TScreen* Screen = &gScreenObject;

namespace gui_detail {

int gModalStarts = 0;
bool gFocusByMouse = false;

void SendCancelMode(TControl* control, TControl* sender);

bool IsBusy(const TCustomForm* form) { return form && gBusyForms.count(const_cast<TCustomForm*>(form)) > 0; }

void RaiseWindow(QWidget* window) {
  if (QGuiApplication::platformName() != "offscreen") window->raise();
  window->activateWindow();
}

void RegisterPopup(TCustomControl* popup) {
  if (std::find(gPopups.begin(), gPopups.end(), popup) == gPopups.end()) gPopups.push_back(popup);
}

void UnregisterPopup(TCustomControl* popup) { gPopups.erase(std::remove(gPopups.begin(), gPopups.end(), popup), gPopups.end()); }

// Every showing pop-up that sender is not part of hears a cancel-mode
// notice.
void CancelPopups(TControl* sender, QWidget* at) {
  for (TCustomControl* p : std::vector<TCustomControl*>(gPopups)) {
    if (std::find(gPopups.begin(), gPopups.end(), p) == gPopups.end()) continue;
    QWidget* w = p->Widget();
    if (at && (at == w || w->isAncestorOf(at))) continue;
    SendCancelMode(p, sender);
  }
}

void CancelPopupsOwnedBy(TWinControl* owner, TControl* sender) {
  for (TCustomControl* p : std::vector<TCustomControl*>(gPopups)) {
    if (std::find(gPopups.begin(), gPopups.end(), p) == gPopups.end()) continue;
    if (p->PopupOwner() && owner->ContainsControl(p->PopupOwner())) SendCancelMode(p, sender);
  }
}

QCursor CursorFor(TCursor cursor) {
  switch (cursor) {
    case crNone:
      return QCursor(Qt::BlankCursor);
    case crCross:
      return QCursor(Qt::CrossCursor);
    case crIBeam:
      return QCursor(Qt::IBeamCursor);
    case crSizeNESW:
      return QCursor(Qt::SizeBDiagCursor);
    case crSizeNS:
    case crVSplit:
      return QCursor(Qt::SizeVerCursor);
    case crSizeNWSE:
      return QCursor(Qt::SizeFDiagCursor);
    case crSizeWE:
    case crHSplit:
      return QCursor(Qt::SizeHorCursor);
    case crUpArrow:
      return QCursor(Qt::UpArrowCursor);
    case crHourGlass:
      return QCursor(Qt::WaitCursor);
    case crDrag:
      return QCursor(Qt::DragCopyCursor);
    case crNoDrop:
    case crNo:
      return QCursor(Qt::ForbiddenCursor);
    case crAppStart:
      return QCursor(Qt::BusyCursor);
    case crHelp:
      return QCursor(Qt::WhatsThisCursor);
    case crHandPoint:
      return QCursor(Qt::PointingHandCursor);
    case crSizeAll:
      return QCursor(Qt::SizeAllCursor);
    default:
      break;
  }
  auto it = gCursors.find(cursor);
  if (it != gCursors.end()) return it->second;
  return QCursor(Qt::ArrowCursor);
}

// ------------------------------------------------------------ the pipeline

struct EventBridge {
  static void CancelMode(TControl* c, TControl* sender) {
    Guard(c, [&] { c->CancelMode(sender); });
  }

  static TWinControl* KeyTarget(TCustomForm* form) {
    TWinControl* t = form->ActiveControl();
    return t ? t : form;
  }

  static int DialogCodeOf(TWinControl* c) { return c->DialogCode(); }

  static bool IsDialogKey(Word key) {
    return key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE || key == VK_LEFT || key == VK_RIGHT ||
           key == VK_UP || key == VK_DOWN;
  }

  static bool Wants(TWinControl* c, Word key) {
    int code = c->DialogCode();
    if (code & DLGC_WANTALLKEYS) return true;
    if (key == VK_TAB) return code & DLGC_WANTTAB;
    if (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) return code & DLGC_WANTARROWS;
    return false;
  }

  // The CP1250 byte a key press types: -1 none, -2 a character the code
  // page cannot hold (dropped).
  static int CharOf(const QKeyEvent* e, Word key, TShiftState shift, int codePage) {
    bool ctrl = shift.Contains(ssCtrl), alt = shift.Contains(ssAlt);
    if (ctrl && !alt) {
      if (key >= 'A' && key <= 'Z') return key - 'A' + 1;
      return -1;
    }
    if (alt && !ctrl) return -1;
    switch (key) {
      case VK_RETURN:
        return 13;
      case VK_ESCAPE:
        return 27;
      case VK_BACK:
        return 8;
      case VK_TAB:
        return 9;
      case VK_DELETE:
        return -1;
      default:
        break;
    }
    QString text = e->text();
    if (text.isEmpty()) return -1;
    char32_t u = text.toUcs4().value(0);
    if (u < 32 || u == 127) return -1;
    int b = ByteOf(u, codePage);
    return b < 0 ? -2 : b;
  }

  // Hands a key event to the control's own widget, bypassing the pipeline.
  static void Deliver(TWinControl* target, QKeyEvent* e) {
    QWidget* w = target->FocusWidget();
    if (!w) return;
    ++nativeDepth;
    try {
      static_cast<GuiApplication*>(qApp)->NotifyNative(w, e);
    } catch (...) {
      --nativeDepth;
      throw;
    }
    --nativeDepth;
  }

  static QKeyEvent Synthesize(const QKeyEvent* e, Word key, int ch, int codePage) {
    if (ch >= 0) {
      char32_t u = UnicodeOf(static_cast<unsigned char>(ch), codePage);
      QChar qc(static_cast<char16_t>(u));
      int qtKey = ch < 32 ? QtKeyFromControlChar(ch) : static_cast<int>(qc.toUpper().unicode());
      return QKeyEvent(e->type(), qtKey, e->modifiers(), ch < 32 && ch != 13 && ch != 27 && ch != 8 && ch != 9 ? QString() : QString(qc),
                       e->isAutoRepeat(), static_cast<quint16>(e->count()));
    }
    bool keypad = false;
    int qtKey = QtKeyOf(key, keypad);
    Qt::KeyboardModifiers mods = e->modifiers();
    if (keypad) mods |= Qt::KeypadModifier;
    return QKeyEvent(e->type(), qtKey, mods, QString(), e->isAutoRepeat(), static_cast<quint16>(e->count()));
  }

  static int QtKeyFromControlChar(int ch) {
    switch (ch) {
      case 13:
        return Qt::Key_Return;
      case 27:
        return Qt::Key_Escape;
      case 8:
        return Qt::Key_Backspace;
      case 9:
        return Qt::Key_Tab;
      default:
        return Qt::Key_A + ch - 1;
    }
  }

  static void TrackToggle(Word key) {
    if (key == VK_CAPITAL || key == VK_NUMLOCK || key == VK_SCROLL || key == VK_INSERT) gToggles[key] = !gToggles[key];
  }

  static bool KeyDown(TCustomForm* form, QKeyEvent* e) {
    TWinControl* target = KeyTarget(form);
    Word key = VirtualKeyOf(e);
    Word original = key;
    TShiftState shift = ShiftOf(e->modifiers());
    TrackToggle(key);
    bool handled = false;
    if (!Guard(form, [&] { handled = form->IsShortCut(key, shift); })) return true;
    if (handled) return true;
    if (form->KeyPreview()) {
      if (!Guard(form, [&] { form->KeyDown(key, shift); })) return true;
      if (key == 0) return true;
    }
    target = KeyTarget(form);
    if (target != form || !form->KeyPreview()) {
      if (!Guard(target, [&] { target->KeyDown(key, shift); })) return true;
    }
    if (key == 0) return true;
    target = KeyTarget(form);
    if (IsDialogKey(key) && !Wants(target, key)) {
      if (!Guard(form, [&] { handled = form->DialogKey(key, shift); })) return true;
      if (handled) return true;
    }
    if (key == VK_F4 && shift == TShiftState{ssAlt}) {
      Guard(form, [&] { form->Close(); });
      return true;
    }
    if (key == VK_SPACE && shift == TShiftState{ssAlt} && OpenWindowMenu(form)) return true;
    int cp = target->CodePage();
    if (shift.Contains(ssAlt) && !shift.Contains(ssCtrl)) {
      char accel = 0;
      if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
        accel = static_cast<char>(key);
      } else if (!e->text().isEmpty()) {
        int b = ByteOf(e->text().toUcs4().value(0), cp);
        if (b > 0) accel = static_cast<char>(b);
      }
      if (accel) {
        Guard(form, [&] { handled = form->DialogChar(accel); });
        if (!handled && form->Menu()) Guard(form, [&] { handled = form->Menu()->OpenByAccelerator(accel); });
        if (handled) return true;
      }
      if (key != VK_MENU && key != VK_SHIFT && key != VK_CONTROL && key != original) {
        QKeyEvent ev = Synthesize(e, key, -1, cp);
        Deliver(target, &ev);
      } else {
        Deliver(target, e);
      }
      return true;
    }
    int ch = CharOf(e, original, shift, cp);
    if (ch == -2) return true;
    if (ch >= 0) {
      if (!(target->DialogCode() & DLGC_WANTCHARS) && ch >= 32) {
        if (!Guard(form, [&] { handled = form->DialogChar(static_cast<char>(ch)); })) return true;
        if (handled) return true;
      }
      char c = static_cast<char>(ch);
      if (form->KeyPreview()) {
        if (!Guard(form, [&] { form->KeyPress(c); })) return true;
        if (c == 0) return true;
      }
      target = KeyTarget(form);
      if (target != form || !form->KeyPreview()) {
        if (!Guard(target, [&] { target->KeyPress(c); })) return true;
      }
      if (c == 0) return true;
      if (ClipboardCommand(target, c == 22 ? 'V' : c == 24 ? 'X' : 0)) return true;
      if (static_cast<unsigned char>(c) != ch || key != original) {
        QKeyEvent ev = Synthesize(e, key, static_cast<unsigned char>(c), cp);
        Deliver(target, &ev);
      } else {
        Deliver(target, e);
      }
      return true;
    }
    if (shift == TShiftState{ssShift} && (key == VK_INSERT || key == VK_DELETE) &&
        ClipboardCommand(target, key == VK_INSERT ? 'V' : 'X'))
      return true;
    if (key != original) {
      QKeyEvent ev = Synthesize(e, key, -1, cp);
      Deliver(target, &ev);
    } else {
      Deliver(target, e);
    }
    return true;
  }

  // Paste ('V') and cut ('X') of an edit go through its hooks instead of
  // the native widget; true when the target is an edit.
  static bool ClipboardCommand(TWinControl* target, char command) {
    auto* edit = dynamic_cast<TCustomEdit*>(target);
    if (!edit || !command) return false;
    Guard(edit, [&] {
      if (command == 'V')
        edit->Paste();
      else
        edit->Cut();
    });
    return true;
  }

  // Text committed by an input method goes through KeyPress character by
  // character, as typed keys do; a text holding a character the code page
  // cannot hold is refused whole with a beep.
  static std::optional<bool> InputMethod(QObject* receiver, QInputMethodEvent* e) {
    if (nativeDepth > 0 || e->commitString().isEmpty()) return std::nullopt;
    TControl* c = InputControlOf(receiver);
    if (!c) return std::nullopt;
    TCustomForm* form = GetParentForm(c);
    if (!form) return std::nullopt;
    if (IsBusy(form) || BlockedByModal(form->Widget()->window())) return true;
    TWinControl* target = KeyTarget(form);
    int cp = target->CodePage();
    AnsiString bytes;
    bool refused = false;
    for (char32_t u : e->commitString().toUcs4()) {
      int b = ByteOf(u, cp);
      if (b < 0) {
        refused = true;
        break;
      }
      if (b >= 32) bytes += static_cast<char>(b);
    }
    QString kept;
    if (refused) {
      MessageBeep(0);
    } else {
      for (char ch : bytes) {
        char k = ch;
        if (form->KeyPreview() && !Guard(form, [&] { form->KeyPress(k); })) return true;
        if (k && (target != form || !form->KeyPreview()) && !Guard(target, [&] { target->KeyPress(k); })) return true;
        if (k) kept += QChar(static_cast<char16_t>(UnicodeOf(static_cast<unsigned char>(k), cp)));
      }
    }
    QInputMethodEvent filtered(e->preeditString(), e->attributes());
    filtered.setCommitString(kept, e->replacementStart(), e->replacementLength());
    ++nativeDepth;
    try {
      static_cast<GuiApplication*>(qApp)->NotifyNative(receiver, &filtered);
    } catch (...) {
      --nativeDepth;
      throw;
    }
    --nativeDepth;
    return true;
  }

  static bool KeyUp(TCustomForm* form, QKeyEvent* e) {
    Word key = VirtualKeyOf(e);
    Word original = key;
    TShiftState shift = ShiftOf(e->modifiers());
    if (form->KeyPreview()) {
      if (!Guard(form, [&] { form->KeyUp(key, shift); })) return true;
      if (key == 0) return true;
    }
    TWinControl* target = KeyTarget(form);
    if (target != form || !form->KeyPreview()) {
      if (!Guard(target, [&] { target->KeyUp(key, shift); })) return true;
    }
    if (key == 0) return true;
    target = KeyTarget(form);
    if (key != original) {
      QKeyEvent ev = Synthesize(e, key, -1, target->CodePage());
      Deliver(target, &ev);
    } else {
      Deliver(target, e);
    }
    return true;
  }

  static bool BlockedByModal(QWidget* window) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return false;
    for (QWidget* w = window; w; w = w->parentWidget())
      if (w == modal) return false;
    return true;
  }

  // The control an input event belongs to. A dialog window of Qt's own
  // (the file dialog) opened over one of our forms is that form's child, so
  // walking up from its widgets would end at the form behind it, which the
  // dialog blocks: its input is its own and goes to Qt untouched.
  static TControl* InputControlOf(QObject* receiver) {
    if (receiver->isWidgetType()) {
      QWidget* window = static_cast<QWidget*>(receiver)->window();
      bool dialog = window->windowType() == Qt::Dialog || window->windowType() == Qt::Sheet;
      ControlBinding* b = BindingOf(window);
      if (dialog && !(b && b->control)) return nullptr;
    }
    return ControlOf(receiver);
  }

  // Returns true when the key event was used (or dropped) here.
  static std::optional<bool> Key(QObject* receiver, QKeyEvent* e) {
    if (nativeDepth > 0) return std::nullopt;
    TControl* c = InputControlOf(receiver);
    if (!c) return std::nullopt;
    TCustomForm* form = GetParentForm(c);
    if (!form) return std::nullopt;
    if (IsBusy(form)) return true;
    if (BlockedByModal(form->Widget()->window())) return true;
    return e->type() == QEvent::KeyPress ? KeyDown(form, e) : KeyUp(form, e);
  }

  // The control a left press on widget w moves the focus to, if any.
  static TWinControl* FocusTargetOfPress(TControl* c, QWidget* w) {
    // Scroll bars and menu bars act without taking the focus.
    if (w->inherits("QScrollBar") || w->inherits("QMenuBar")) return nullptr;
    for (TControl* x = c; x; x = x->Parent()) {
      auto* wc = dynamic_cast<TWinControl*>(x);
      if (!wc) continue;
      return wc->TakesFocusOnClick() ? wc : nullptr;
    }
    return nullptr;
  }

  static std::optional<bool> MousePress(QObject* receiver, QMouseEvent* e) {
    if (!receiver->isWidgetType()) return std::nullopt;
    auto* w = static_cast<QWidget*>(receiver);
    TControl* c = InputControlOf(w);
    if (e->type() == QEvent::MouseButtonPress && CloseMenuOnPress(w)) {
      gSwallow.release = true;
      gSwallow.doubleClickWidget = w;
      return true;
    }
    CancelPopups(c, w);
    if (!c) return std::nullopt;
    TCustomForm* form = GetParentForm(c);
    if (!form) return std::nullopt;
    if (IsBusy(form)) {
      gSwallow.release = true;
      return true;
    }
    if (BlockedByModal(w->window())) return true;
    if (e->type() == QEvent::MouseButtonDblClick && gSwallow.doubleClickWidget == w) {
      // The double click that completes a swallowed press goes too.
      gSwallow.doubleClickWidget = nullptr;
      gSwallow.release = true;
      return true;
    }
    // A new press: whatever was swallowed before is over.
    gSwallow.doubleClickWidget = nullptr;
    gSwallow.release = false;
    if (e->button() != Qt::LeftButton) return std::nullopt;
    TWinControl* target = FocusTargetOfPress(c, w);
    if (!target || target == form->ActiveControl() || !target->CanFocus()) return std::nullopt;
    int modalBefore = gModalStarts;
    gFocusByMouse = true;
    bool moved = false;
    try {
      moved = form->SetFocusedControl(target);
    } catch (...) {
      gFocusByMouse = false;
      throw;
    }
    gFocusByMouse = false;
    if (!moved || gModalStarts != modalBefore) {
      // The press started a focus move that did not happen, or a modal
      // window opened meanwhile: it is no click.
      gSwallow.release = true;
      gSwallow.doubleClickWidget = w;
      return true;
    }
    return std::nullopt;
  }

  static std::optional<bool> MouseRelease(QObject*, QMouseEvent*) {
    if (gSwallow.release) {
      gSwallow.release = false;
      return true;
    }
    return std::nullopt;
  }

  static bool InputToBusyForm(QObject* receiver) {
    if (gBusyForms.empty() || !receiver->isWidgetType()) return false;
    TControl* c = InputControlOf(receiver);
    return c && IsBusy(GetParentForm(c));
  }

  static void Activation(TCustomForm* form, bool active) { form->WindowActivated(active); }

  static int nativeDepth;
};

int EventBridge::nativeDepth = 0;

void SendCancelMode(TControl* control, TControl* sender) { EventBridge::CancelMode(control, sender); }

// ---------------------------------------------------------- GuiApplication

GuiApplication::GuiApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuiApplication::NotifyNative(QObject* receiver, QEvent* e) { return QApplication::notify(receiver, e); }

bool GuiApplication::notify(QObject* receiver, QEvent* e) {
  try {
    std::optional<bool> result;
    switch (e->type()) {
      case QEvent::ShortcutOverride:
        // Qt's own shortcuts never fire inside our windows: every key goes
        // through the form's pipeline, which runs the menu shortcuts.
        if (EventBridge::nativeDepth == 0 && EventBridge::InputControlOf(receiver)) {
          e->accept();
          return true;
        }
        break;
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
        result = EventBridge::Key(receiver, static_cast<QKeyEvent*>(e));
        break;
      case QEvent::InputMethod:
        result = EventBridge::InputMethod(receiver, static_cast<QInputMethodEvent*>(e));
        break;
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        result = EventBridge::MousePress(receiver, static_cast<QMouseEvent*>(e));
        break;
      case QEvent::MouseButtonRelease:
        result = EventBridge::MouseRelease(receiver, static_cast<QMouseEvent*>(e));
        break;
      case QEvent::Wheel:
      case QEvent::ContextMenu:
        if (EventBridge::InputToBusyForm(receiver)) return true;
        break;
      default:
        break;
    }
    if (result) return *result;
    return QApplication::notify(receiver, e);
  } catch (const std::exception& ex) {
    ApplicationHandleException(nullptr, ex);
  } catch (...) {
    ApplicationHandleException(nullptr, Exception("Unknown exception"));
  }
  return true;
}

namespace {

GuiApplication* gQtApp = nullptr;

void ApplyClassicLook() {
  QApplication::setStyle(QStyleFactory::create("Windows"));
  QPalette pal;
  auto set = [&](QPalette::ColorRole role, TColor c) { pal.setColor(role, ToQColor(c)); };
  set(QPalette::Window, clBtnFace);
  set(QPalette::WindowText, clWindowText);
  set(QPalette::Base, clWindow);
  set(QPalette::AlternateBase, clBtnFace);
  set(QPalette::Text, clWindowText);
  set(QPalette::Button, clBtnFace);
  set(QPalette::ButtonText, clBtnText);
  set(QPalette::Highlight, clHighlight);
  set(QPalette::HighlightedText, clHighlightText);
  set(QPalette::Light, clBtnHighlight);
  set(QPalette::Midlight, cl3DLight);
  set(QPalette::Mid, clBtnShadow);
  set(QPalette::Dark, clBtnShadow);
  set(QPalette::Shadow, cl3DDkShadow);
  set(QPalette::ToolTipBase, clInfoBk);
  set(QPalette::ToolTipText, clInfoText);
  pal.setColor(QPalette::Disabled, QPalette::Text, ToQColor(clGrayText));
  pal.setColor(QPalette::Disabled, QPalette::WindowText, ToQColor(clGrayText));
  pal.setColor(QPalette::Disabled, QPalette::ButtonText, ToQColor(clGrayText));
  QApplication::setPalette(pal);
  QApplication::setFont(QtFontOf(TFont()));
}

}  // namespace

void EnsureQtApplication() {
  if (gQtApp || QCoreApplication::instance()) return;
  gQtApp = new GuiApplication(gArgc, gArgv);
  // Programs that never reach the end of Run still free their forms while
  // the window system is there.
  static bool registered = false;
  if (!registered) {
    registered = true;
    std::atexit([] { Application->Shutdown(); });
  }
  // The program ends when its main form closes, not with its last window.
  QApplication::setQuitOnLastWindowClosed(false);
  ApplyClassicLook();
  // Idle processing: action updates and OnIdle when the loop would block.
  QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, gQtApp,
                   [] { Application->DoIdle(); });
}

}  // namespace gui_detail

// -------------------------------------------------------------- TApplication

TApplication::TApplication() : TComponent(nullptr) {
  SetApplicationExceptionHandler([](TObject* sender, const std::exception& e) {
    Application->HandleException(sender, e);
  });
}

TApplication::~TApplication() = default;

void TApplication::Initialize(int argc, char** argv) {
  if (argc > 0 && argv && !QCoreApplication::instance()) {
    static std::vector<char*> args;
    args.assign(argv, argv + argc);
    args.push_back(nullptr);
    gArgc = argc;
    gArgv = args.data();
  }
  EnsureQtApplication();
  terminated_ = false;
}

AnsiString TApplication::ExeName() const {
  if (QCoreApplication::instance()) {
    QString path = QCoreApplication::applicationFilePath();
    if (!path.isEmpty()) return Utf8ToAnsi(path.toStdString());
  }
  return ProgramDirectory() + "platebna";
}

void TApplication::SetMainForm(TCustomForm* form) {
  mainForm_ = form;
  FreeNotification(form);
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == mainForm_) mainForm_ = nullptr;
}

void TApplication::Run() {
  Initialize();
  if (mainForm_ && showMainForm_) {
    if (mainForm_->WindowState() == wsMinimized)
      Guard(this, [&] { mainForm_->Show(); mainForm_->SetWindowState(wsMinimized); });
    else
      Guard(this, [&] { mainForm_->Show(); });
  }
  // The loop ends with Terminate (closing the main form calls it).
  while (!terminated_ && mainForm_) QCoreApplication::exec();
  Shutdown();
}

void TApplication::Terminate() {
  terminated_ = true;
  if (QCoreApplication::instance()) QCoreApplication::exit(0);
}

void TApplication::Shutdown() {
  for (int i = ComponentCount() - 1; i >= 0; --i) {
    TComponent* c = Components(i);
    if (auto* f = dynamic_cast<TCustomForm*>(c)) f->BeforeDestruction();
    if (auto* d = dynamic_cast<TDataModule*>(c)) d->BeforeDestruction();
  }
  DestroyComponents();
  mainForm_ = nullptr;
  if (gQtApp) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete gQtApp;
    gQtApp = nullptr;
  }
}

void TApplication::ProcessMessages() {
  if (!QCoreApplication::instance()) return;
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TApplication::HandleMessage() {
  if (!QCoreApplication::instance()) return;
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TApplication::HandleException(TObject* sender, const std::exception& e) {
  // A silent abort ends work the user already cancelled: no box, no handler.
  if (dynamic_cast<const EAbort*>(&e)) return;
  if (OnException) {
    try {
      OnException(sender, e);
    } catch (const std::exception& inner) {
      std::fprintf(stderr, "%s\n", inner.what());
    }
    return;
  }
  ShowException(e);
}

void TApplication::ShowException(const std::exception& e) {
  AnsiString msg;
  if (auto* ex = dynamic_cast<const Exception*>(&e))
    msg = ex->Message();
  else
    msg = Utf8ToAnsi(e.what());
  // The library ends the text with a full stop when it has none.
  if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
  if (!QCoreApplication::instance()) {
    std::fprintf(stderr, "%s\n", AnsiToUtf8(msg).c_str());
    return;
  }
  MessageBox(msg, title_, MB_OK | MB_ICONERROR);
}

void TApplication::Restore() {
  if (mainForm_ && mainForm_->WindowState() == wsMinimized) mainForm_->SetWindowState(wsNormal);
}

void TApplication::Minimize() {
  if (mainForm_) mainForm_->SetWindowState(wsMinimized);
}

void TApplication::BringToFront() {
  if (mainForm_ && mainForm_->Visible()) {
    RaiseWindow(mainForm_->Widget());
  }
}

void TApplication::AddFormatSettingsListener(const TObject* key, std::function<void()> listener) {
  settingsListeners_.emplace_back(key, std::move(listener));
}

void TApplication::RemoveFormatSettingsListener(const TObject* key) {
  std::erase_if(settingsListeners_, [&](const auto& p) { return p.first == key; });
}

void TApplication::FormatSettingsChanged() {
  if (!updateFormatSettings_) return;
  auto copy = settingsListeners_;
  for (auto& [key, fn] : copy) Guard(const_cast<TObject*>(key), fn);
}

void TApplication::AddIdleListener(const TObject* key, std::function<void()> listener) {
  idleListeners_.emplace_back(key, std::move(listener));
}

void TApplication::RemoveIdleListener(const TObject* key) {
  std::erase_if(idleListeners_, [&](const auto& p) { return p.first == key; });
}

void TApplication::DoIdle() {
  if (inIdle_) return;
  inIdle_ = true;
  auto copy = idleListeners_;
  for (auto& listener : copy) {
    // A plain variable, not a structured binding: clang 14 cannot capture those.
    const TObject* key = listener.first;
    bool still = std::any_of(idleListeners_.begin(), idleListeners_.end(), [&](const auto& p) { return p.first == key; });
    if (still) Guard(const_cast<TObject*>(key), listener.second);
  }
  if (OnIdle) {
    bool done = true;
    Guard(this, [&] { OnIdle(this, done); });
  }
  inIdle_ = false;
}

// ------------------------------------------------------------------ TScreen

TScreen::TScreen() : TComponent(nullptr) {}

void TScreen::SetCursor(TCursor cursor) {
  if (cursor == cursor_) return;
  bool had = cursor_ != crDefault;
  cursor_ = cursor;
  if (!QCoreApplication::instance()) return;
  if (had) QApplication::restoreOverrideCursor();
  if (cursor != crDefault) QApplication::setOverrideCursor(CursorFor(cursor));
}

void TScreen::SetCursors(int index, const TBitmap& picture, TPoint hotSpot) {
  EnsureQtApplication();
  QImage img = picture.Image().convertToFormat(QImage::Format_ARGB32);
  QRgb key = ToQColor(picture.TransparentColor()).rgb() & 0xFFFFFF;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if ((img.pixel(x, y) & 0xFFFFFF) == key) img.setPixel(x, y, 0);
  gCursors[index] = QCursor(QPixmap::fromImage(img), hotSpot.x, hotSpot.y);
}

bool TScreen::HasCursor(int index) const { return gCursors.count(index) != 0; }

int TScreen::Width() const {
  EnsureQtApplication();
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->geometry().width() : 800;
}

int TScreen::Height() const {
  EnsureQtApplication();
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->geometry().height() : 600;
}

TRect TScreen::WorkAreaRect() const {
  EnsureQtApplication();
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? FromQRect(s->availableGeometry()) : Rect(0, 0, 800, 600);
}

TCustomForm* TScreen::ActiveForm() const { return TCustomForm::ActiveFormInstance(); }

TWinControl* TScreen::ActiveControl() const {
  TCustomForm* f = ActiveForm();
  return f ? f->ActiveControl() : nullptr;
}

int TScreen::FormCount() const { return static_cast<int>(TCustomForm::AllForms().size()); }

TCustomForm* TScreen::Forms(int index) const { return TCustomForm::AllForms().at(static_cast<std::size_t>(index)); }

// -------------------------------------------------------- beeps and toggles

void MessageBeep(unsigned) {
  ++gBeeps;
  if (QCoreApplication::instance()) QApplication::beep();
}

int MessageBeepCount() { return gBeeps; }

int VerticalScrollBarWidth() { return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent); }

int BorderHeight() { return 1; }

namespace {

// The X server's state through Qt's own display connection; libX11 is
// looked up at run time so nothing else depends on it.
void* X11Display() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->display() : nullptr;
}

void* X11Symbol(const char* name) {
  static void* lib = [] {
    void* l = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    return l ? l : dlopen("libX11.so.6", RTLD_LAZY);
  }();
  return lib ? dlsym(lib, name) : nullptr;
}

// Lock-key lights by the indicators' names: which bit a light has belongs
// to the keymap, its name does not.
std::optional<bool> X11Indicator(Word vk) {
  const char* name = vk == VK_CAPITAL ? "Caps Lock" : vk == VK_NUMLOCK ? "Num Lock" : vk == VK_SCROLL ? "Scroll Lock" : nullptr;
  void* display = name ? X11Display() : nullptr;
  if (!display) return std::nullopt;
  using InternAtom = unsigned long (*)(void*, const char*, int);
  using GetNamedIndicator = int (*)(void*, unsigned long, int*, int*, void*, int*);
  static auto intern = reinterpret_cast<InternAtom>(X11Symbol("XInternAtom"));
  static auto named = reinterpret_cast<GetNamedIndicator>(X11Symbol("XkbGetNamedIndicator"));
  if (!intern || !named) return std::nullopt;
  unsigned long atom = intern(display, name, 1 /* only if it exists */);
  int index = 0, on = 0;
  if (atom == 0 || !named(display, atom, &index, &on, nullptr, nullptr)) return std::nullopt;
  return on != 0;
}

std::optional<bool> X11PointerButtons() {
  void* display = X11Display();
  if (!display) return std::nullopt;
  using DefaultRoot = unsigned long (*)(void*);
  using QueryPointer = int (*)(void*, unsigned long, unsigned long*, unsigned long*, int*, int*, int*, int*, unsigned*);
  static auto root = reinterpret_cast<DefaultRoot>(X11Symbol("XDefaultRootWindow"));
  static auto query = reinterpret_cast<QueryPointer>(X11Symbol("XQueryPointer"));
  if (!root || !query) return std::nullopt;
  unsigned long rootReturn = 0, child = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  if (!query(display, root(display), &rootReturn, &child, &rx, &ry, &wx, &wy, &mask)) return std::nullopt;
  return (mask & (0x100 | 0x200 | 0x400 | 0x800 | 0x1000)) != 0;  // Button1Mask .. Button5Mask
}

int gPointerOverride = -1;

}  // namespace

bool GetKeyToggled(Word vk) {
  auto it = gToggleOverrides.find(vk);
  if (it != gToggleOverrides.end()) return it->second != 0;
  if (std::optional<bool> lit = X11Indicator(vk)) return *lit;
  auto t = gToggles.find(vk);
  return t != gToggles.end() && t->second;
}

bool PointerButtonsHeld() {
  if (gPointerOverride >= 0) return gPointerOverride != 0;
  if (std::optional<bool> held = X11PointerButtons()) return *held;
  return QGuiApplication::mouseButtons() != Qt::NoButton;
}

void SetPointerButtonsHeldOverride(int state) { gPointerOverride = state < 0 ? -1 : state; }

void SetKeyToggledOverride(Word vk, int state) {
  if (state < 0)
    gToggleOverrides.erase(vk);
  else
    gToggleOverrides[vk] = state;
}

// ---------------------------------------------------------------- busy scope

TBusyScope::TBusyScope(std::vector<TCustomForm*> forms) : forms_(std::move(forms)) {
  for (TCustomForm* f : forms_)
    if (f) gBusyForms.insert(f);
}

TBusyScope::TBusyScope(AllExcept except) {
  for (TCustomForm* f : TCustomForm::AllForms())
    if (std::find(except.forms.begin(), except.forms.end(), f) == except.forms.end()) forms_.push_back(f);
  for (TCustomForm* f : forms_) gBusyForms.insert(f);
}

TBusyScope::~TBusyScope() {
  for (TCustomForm* f : forms_) {
    auto it = gBusyForms.find(f);
    if (it != gBusyForms.end()) gBusyForms.erase(it);
  }
}
