// Per-form hook chains and the form notices the window add-ons live on.
//
// Every form has one chain of hooks. For each Qt event of the form's window,
// and for each form notice, the hooks' BeforeMessage run from the last
// added to the first, then the form's own handling, then AfterMessage from
// the first added to the last: the nesting a chain of saved window
// procedures gives. A hook that sets handled hides the message from the
// form and from the hooks added before it; its own AfterMessage (and those
// of the hooks added after it) still run. A hook that raises is reported to
// Application->HandleException and skips its remaining steps; the message
// still goes on to the next hook and the form.
//
// The platform also tells moves the window system made (the user dragging
// the frame) from the program's own placements: a Move event is the user's
// when the window is not where the program last asked it to be. Each user
// move sends UserMoved; MoveSettled follows once no user move came for
// 120 ms and no pointer button is held (checked again every 50 ms).
#pragma once

#include <functional>

#include "platform/gui/geometry.h"

class QEvent;
class TCustomForm;

enum class TFormNotice {
  None,               // a Qt event of the form's window (Event is set)
  UserMoved,          // the window system moved the form
  MoveSettled,        // a user move has ended
  WindowRecreated,    // the form got a new native window
  TopmostChanged,     // Param: the new keep-above state (0/1)
  WindowMenuCommand,  // Param: the command id of the chosen item
};

struct TWindowMessage {
  QEvent* Event = nullptr;
  TFormNotice Notice = TFormNotice::None;
  int Param = 0;
};

class TWindowHook {
 public:
  virtual ~TWindowHook() = default;
  virtual void BeforeMessage(TWindowMessage& message, bool& handled) {
    (void)message;
    (void)handled;
  }
  virtual void AfterMessage(TWindowMessage& message) { (void)message; }
};

// Appends hook to form's chain (once); removing is safe at any time, also
// from inside the hook's own BeforeMessage.
void AddWindowHook(TCustomForm* form, TWindowHook* hook);
void RemoveWindowHook(TCustomForm* form, TWindowHook* hook);
bool HasWindowHook(TCustomForm* form, const TWindowHook* hook);
int WindowHookCount(TCustomForm* form);
// Sends a notice through the chain now (the form has no handling of its own).
void SendFormNotice(TCustomForm* form, TFormNotice notice, int param = 0);
// Posts it to run from the event loop (dropped when the form is gone).
void PostFormNotice(TCustomForm* form, TFormNotice notice, int param = 0);

// The native window id of the form's window (0 before it has one).
unsigned long long NativeWindowId(TCustomForm* form);
// Destroys the form's native window and creates a new one (shown again when
// it was shown); the chain stays and WindowRecreated is posted.
void RecreateWnd(TCustomForm* form);

// Keep-above: the stays-on-top flag of the existing native window changed
// in place (never hidden, re-created, moved, resized or activated); under
// X11 this is _NET_WM_STATE_ABOVE. KeepAbove reads the flag as last set.
void SetKeepAbove(TCustomForm* form, bool on);
bool KeepAbove(const TCustomForm* form);

// Hands a move or a bottom-right resize of the form to the window system;
// false where it refuses (no window manager, offscreen).
bool StartSystemMove(TCustomForm* form);
bool StartSystemResize(TCustomForm* form);

// Tests: moves the form's window as the window system would, so the move
// counts as the user's.
void SimulateUserMove(TCustomForm* form, int left, int top);

namespace gui_detail {
// Called by the form: the client-area position it asked the window system
// for, and every Move event of its window.
void NoteRequestedPosition(TCustomForm* form, TPoint clientTopLeft);
void NoteWindowMoved(TCustomForm* form, TPoint clientTopLeft);
// Runs event through form's chain around ownHandling; returns its result
// (false when a hook handled the event).
bool RunWindowHooks(TCustomForm* form, QEvent* event, const std::function<bool()>& ownHandling);
bool FormHasHooks(const TCustomForm* form);
void FormGone(TCustomForm* form);
}  // namespace gui_detail
