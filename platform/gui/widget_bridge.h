// Internal to the GUI layer: the private QWidget subclasses of the controls.
// BridgeWidget<QtBase> forwards Qt's paint, mouse, wheel, enter/leave and
// context-menu events to the owning control's hooks; keys and focus are
// not handled here but by the application's event pipeline (every key goes
// through the form first). A widget that paints itself draws from the
// control's picture (ControlSurface), which Paint fills for the areas
// marked pending.
#pragma once

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QRegion>
#include <QResizeEvent>
#include <QWheelEvent>
#include <QWidget>

#include <functional>
#include <utility>

#include "platform/gui/controls.h"
#include "platform/gui/qt_support.h"

class QKeyEvent;

namespace gui_detail {

// Runs fn; an exception is handed to the application's handler with
// sender as the sender. Returns false when fn raised.
bool Guard(TObject* sender, const std::function<void()>& fn);

// The picture of a control that paints itself, its canvases and the areas
// still to be painted.
class ControlSurface {
 public:
  explicit ControlSurface(TControl* control);
  ~ControlSurface();
  TCanvas canvas;        // client coordinates
  TCanvas windowCanvas;  // widget coordinates (borders)
  QImage image;
  QRegion pending;       // widget coordinates
  void InvalidateAll();
  void Invalidate(const QRect& widgetRect);
  // Sizes the picture to the widget; a new picture is all pending.
  void EnsureImage();
  // Brings the picture up to date (runs Paint for pending areas).
  void PaintPending();

 private:
  class Target;
  TControl* control_;
  std::unique_ptr<Target> clientTarget_;
  std::unique_ptr<Target> windowTarget_;
  friend class Target;
};

// The control side of every bridge widget.
class ControlBinding {
 public:
  explicit ControlBinding(QWidget* self);
  virtual ~ControlBinding();
  ControlBinding(const ControlBinding&) = delete;
  ControlBinding& operator=(const ControlBinding&) = delete;

  TControl* control = nullptr;

  // Each returns true when the Qt base handling must be skipped.
  bool Paint(QPaintEvent* e);
  void MousePressed(QMouseEvent* e);
  void MouseReleased(QMouseEvent* e, bool nativeClicks);
  void MouseDoubleClicked(QMouseEvent* e);
  void MouseMoved(QMouseEvent* e);
  void Entered();
  void Left();
  bool Wheel(QWheelEvent* e);
  bool ContextMenu(QContextMenuEvent* e);
  void Resized();

  // True for widgets whose clicks come from Qt (buttons, check boxes).
  bool nativeClicks = false;
  // A left press on the widget is held.
  bool LeftPressed() const { return leftPressed_; }

 private:
  TPoint ClientPos(const QPointF& widgetPos) const;
  QWidget* self_;
  bool leftPressed_ = false;
};

// The bound control of w itself, or null.
ControlBinding* BindingOf(QObject* w);
// The control of o or of its nearest bridged ancestor widget.
TControl* ControlOf(QObject* o);

template <class Base>
class BridgeWidget : public Base, public ControlBinding {
 public:
  template <class... Args>
  explicit BridgeWidget(Args&&... args) : Base(std::forward<Args>(args)...), ControlBinding(this) {}

 protected:
  void paintEvent(QPaintEvent* e) override {
    if (!ControlBinding::Paint(e)) Base::paintEvent(e);
  }
  void mousePressEvent(QMouseEvent* e) override {
    Base::mousePressEvent(e);
    MousePressed(e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    Base::mouseReleaseEvent(e);
    MouseReleased(e, nativeClicks);
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    Base::mouseDoubleClickEvent(e);
    MouseDoubleClicked(e);
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    Base::mouseMoveEvent(e);
    MouseMoved(e);
  }
  void enterEvent(QEnterEvent* e) override {
    Base::enterEvent(e);
    Entered();
  }
  void leaveEvent(QEvent* e) override {
    Base::leaveEvent(e);
    Left();
  }
  void wheelEvent(QWheelEvent* e) override {
    if (!Wheel(e)) Base::wheelEvent(e);
  }
  void contextMenuEvent(QContextMenuEvent* e) override {
    if (!ContextMenu(e)) Base::contextMenuEvent(e);
  }
  void resizeEvent(QResizeEvent* e) override {
    Base::resizeEvent(e);
    Resized();
  }
};

// The plain widget of graphic and custom controls.
using PlainWidget = BridgeWidget<QWidget>;

// ---- the Qt application
// Every event passes notify first (the key pipeline, focus on press, busy
// forms); NotifyNative delivers without the pipeline.
class GuiApplication : public QApplication {
 public:
  GuiApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* e) override;
  bool NotifyNative(QObject* receiver, QEvent* e);
};
// Creates the Qt application on first need.
void EnsureQtApplication();
template <class W, class... Args>
W* MakeWidget(Args&&... args) {
  EnsureQtApplication();
  return new W(std::forward<Args>(args)...);
}
bool IsBusy(const TCustomForm* form);
// Raises and activates a top-level window (the offscreen platform has no
// stacking order, so nothing is asked of it there).
void RaiseWindow(QWidget* window);
// Counts modal runs (modal forms and message boxes) ever started.
extern int gModalStarts;
// True while a mouse press moves the focus (edits then keep the caret
// where the press put it instead of selecting all).
extern bool gFocusByMouse;
void CancelPopups(TControl* sender, QWidget* at);
// Pop-ups whose owner lies inside owner hear a cancel-mode notice.
void CancelPopupsOwnedBy(TWinControl* owner, TControl* sender);

// A mouse press on pressed: closes a pop-up menu showing for a control when
// the press lies outside it; true when the press must go no further (it was
// on the control the menu belongs to, or it already closed that menu).
bool CloseMenuOnPress(QWidget* pressed);

// ---- services of the application object
// The Qt cursor of a cursor number (the screen's table for custom ones).
QCursor CursorFor(TCursor cursor);
// Pop-ups that get CancelMode notices while they show.
void RegisterPopup(TCustomControl* popup);
void UnregisterPopup(TCustomControl* popup);

// ---- keys
// The virtual key and shift state of a Qt key event.
Word VirtualKeyOf(const QKeyEvent* e);
TShiftState ShiftOf(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons = Qt::NoButton);
// The Qt key (and keypad flag) for a virtual key; Qt::Key_unknown if none.
int QtKeyOf(Word vk, bool& keypad);

}  // namespace gui_detail
