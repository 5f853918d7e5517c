// The X calls of the X11 add-on test, kept apart: Xlib's names (Screen,
// Time, Bool) clash with the program's.
#pragma once

#include <vector>

namespace x11 {
bool Open();
std::vector<unsigned long> Property(unsigned long window, const char* name);
unsigned long Root();
bool HasState(unsigned long window, const char* state);
// Position in _NET_CLIENT_LIST_STACKING (bottom first), -1 when absent.
int StackIndex(unsigned long window);
void Motion(int x, int y);
void Button(bool down);
void AltSpace();
void LockCaps(bool on);
void LockNum(bool on);
}  // namespace x11
