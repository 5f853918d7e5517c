#include "ui/tests/x11/x11_helpers.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>

namespace x11 {
namespace {
Display* Dpy() {
  static Display* d = XOpenDisplay(nullptr);
  return d;
}
}  // namespace

bool Open() { return Dpy() != nullptr; }
unsigned long Root() { return DefaultRootWindow(Dpy()); }

std::vector<unsigned long> Property(unsigned long w, const char* name) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> out;
  if (XGetWindowProperty(Dpy(), w, XInternAtom(Dpy(), name, False), 0, 1024, False, AnyPropertyType, &type, &format,
                         &count, &after, &data) == Success &&
      data) {
    auto* values = reinterpret_cast<unsigned long*>(data);
    out.assign(values, values + count);
    XFree(data);
  }
  return out;
}

bool HasState(unsigned long w, const char* state) {
  const Atom atom = XInternAtom(Dpy(), state, False);
  auto states = Property(w, "_NET_WM_STATE");
  return std::find(states.begin(), states.end(), atom) != states.end();
}

int StackIndex(unsigned long w) {
  auto list = Property(Root(), "_NET_CLIENT_LIST_STACKING");
  auto it = std::find(list.begin(), list.end(), w);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void Motion(int x, int y) {
  XTestFakeMotionEvent(Dpy(), -1, x, y, CurrentTime);
  XFlush(Dpy());
}

void Button(bool down) {
  XTestFakeButtonEvent(Dpy(), 1, down ? True : False, CurrentTime);
  XFlush(Dpy());
}

void AltSpace() {
  const KeyCode alt = XKeysymToKeycode(Dpy(), XK_Alt_L), space = XKeysymToKeycode(Dpy(), XK_space);
  XTestFakeKeyEvent(Dpy(), alt, True, CurrentTime);
  XTestFakeKeyEvent(Dpy(), space, True, CurrentTime);
  XTestFakeKeyEvent(Dpy(), space, False, CurrentTime);
  XTestFakeKeyEvent(Dpy(), alt, False, CurrentTime);
  XFlush(Dpy());
}

void LockCaps(bool on) {
  XkbLockModifiers(Dpy(), XkbUseCoreKbd, LockMask, on ? LockMask : 0);
  XFlush(Dpy());
}

void LockNum(bool on) {
  const unsigned mask = XkbKeysymToModifiers(Dpy(), XK_Num_Lock);
  XkbLockModifiers(Dpy(), XkbUseCoreKbd, mask, on ? mask : 0);
  XFlush(Dpy());
}

}  // namespace x11
