// Shortcuts and the mapping between Qt's keys and the virtual-key numbers
// the program uses. The table is the one place that knows both.
#include "platform/gui/keys.h"

#include <QKeyEvent>

#include <array>
#include <utility>

#include "platform/gui/widget_bridge.h"

TShortCut ShortCut(Word key, TShiftState shift) {
  TShortCut sc = static_cast<TShortCut>(key & 0xFF);
  if (shift.Contains(ssShift)) sc |= scShift;
  if (shift.Contains(ssCtrl)) sc |= scCtrl;
  if (shift.Contains(ssAlt)) sc |= scAlt;
  return sc;
}

void ShortCutToKey(TShortCut shortCut, Word& key, TShiftState& shift) {
  key = shortCut & 0xFF;
  shift = TShiftState();
  if (shortCut & scShift) shift.Include(ssShift);
  if (shortCut & scCtrl) shift.Include(ssCtrl);
  if (shortCut & scAlt) shift.Include(ssAlt);
}

namespace {

struct KeyName {
  Word vk;
  const char* name;
};

constexpr KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"}, {VK_TAB, "Tab"},     {VK_RETURN, "Enter"}, {VK_ESCAPE, "Esc"},
    {VK_SPACE, "Space"}, {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"},   {VK_END, "End"},
    {VK_HOME, "Home"},  {VK_LEFT, "Left"},  {VK_UP, "Up"},       {VK_RIGHT, "Right"},
    {VK_DOWN, "Down"},  {VK_INSERT, "Ins"}, {VK_DELETE, "Del"},
};

}  // namespace

AnsiString ShortCutToText(TShortCut shortCut) {
  Word key = shortCut & 0xFF;
  if (key == 0) return "";
  AnsiString name;
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
    name = AnsiString(1, static_cast<char>(key));
  else if (key >= VK_F1 && key <= VK_F1 + 23)
    name.append("F").append(IntToStr(key - VK_F1 + 1));
  else
    for (const KeyName& k : kKeyNames)
      if (k.vk == key) name = k.name;
  if (name.empty()) return "";
  AnsiString out;
  if (shortCut & scShift) out += "Shift+";
  if (shortCut & scCtrl) out += "Ctrl+";
  if (shortCut & scAlt) out += "Alt+";
  out.append(name);
  return out;
}

namespace gui_detail {

namespace {

struct KeyPair {
  int qt;
  Word vk;
};

constexpr KeyPair kKeys[] = {
    {Qt::Key_Backspace, VK_BACK},   {Qt::Key_Tab, VK_TAB},        {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Clear, VK_CLEAR},      {Qt::Key_Return, VK_RETURN},  {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_Shift, VK_SHIFT},      {Qt::Key_Control, VK_CONTROL}, {Qt::Key_Alt, VK_MENU},
    {Qt::Key_Pause, VK_PAUSE},      {Qt::Key_CapsLock, VK_CAPITAL}, {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},      {Qt::Key_PageUp, VK_PRIOR},   {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},          {Qt::Key_Home, VK_HOME},      {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},            {Qt::Key_Right, VK_RIGHT},    {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Print, VK_SNAPSHOT},   {Qt::Key_Insert, VK_INSERT},  {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_Help, VK_HELP},        {Qt::Key_Meta, VK_LWIN},      {Qt::Key_Menu, VK_APPS},
    {Qt::Key_NumLock, VK_NUMLOCK},  {Qt::Key_ScrollLock, VK_SCROLL},
    {Qt::Key_Semicolon, VK_OEM_1},  {Qt::Key_Equal, VK_OEM_PLUS}, {Qt::Key_Comma, VK_OEM_COMMA},
    {Qt::Key_Minus, VK_OEM_MINUS},  {Qt::Key_Period, VK_OEM_PERIOD}, {Qt::Key_Slash, VK_OEM_2},
    {Qt::Key_QuoteLeft, VK_OEM_3},  {Qt::Key_BracketLeft, VK_OEM_4}, {Qt::Key_Backslash, VK_OEM_5},
    {Qt::Key_BracketRight, VK_OEM_6}, {Qt::Key_Apostrophe, VK_OEM_7},
};

// Keys of the numeric keypad that have their own virtual keys.
constexpr KeyPair kKeypad[] = {
    {Qt::Key_Asterisk, VK_MULTIPLY}, {Qt::Key_Plus, VK_ADD},     {Qt::Key_Minus, VK_SUBTRACT},
    {Qt::Key_Period, VK_DECIMAL},    {Qt::Key_Comma, VK_DECIMAL}, {Qt::Key_Slash, VK_DIVIDE},
};

}  // namespace

Word VirtualKeyOf(const QKeyEvent* e) {
  int k = e->key();
  bool keypad = e->modifiers() & Qt::KeypadModifier;
  if (keypad) {
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return static_cast<Word>(VK_NUMPAD0 + (k - Qt::Key_0));
    for (const KeyPair& p : kKeypad)
      if (p.qt == k) return p.vk;
  }
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return static_cast<Word>('A' + (k - Qt::Key_A));
  if (k >= Qt::Key_0 && k <= Qt::Key_9) return static_cast<Word>('0' + (k - Qt::Key_0));
  if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return static_cast<Word>(VK_F1 + (k - Qt::Key_F1));
  for (const KeyPair& p : kKeys)
    if (p.qt == k) return p.vk;
  if (k == Qt::Key_Plus) return VK_OEM_PLUS;
  return VK_UNMAPPED;
}

TShiftState ShiftOf(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons) {
  TShiftState s;
  if (mods & Qt::ShiftModifier) s.Include(ssShift);
  if (mods & Qt::AltModifier) s.Include(ssAlt);
  if (mods & Qt::ControlModifier) s.Include(ssCtrl);
  if (buttons & Qt::LeftButton) s.Include(ssLeft);
  if (buttons & Qt::RightButton) s.Include(ssRight);
  if (buttons & Qt::MiddleButton) s.Include(ssMiddle);
  return s;
}

int QtKeyOf(Word vk, bool& keypad) {
  keypad = false;
  if (vk >= 'A' && vk <= 'Z') return Qt::Key_A + (vk - 'A');
  if (vk >= '0' && vk <= '9') return Qt::Key_0 + (vk - '0');
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) {
    keypad = true;
    return Qt::Key_0 + (vk - VK_NUMPAD0);
  }
  if (vk >= VK_F1 && vk <= VK_F1 + 23) return Qt::Key_F1 + (vk - VK_F1);
  for (const KeyPair& p : kKeypad)
    if (p.vk == vk) {
      keypad = true;
      return p.qt;
    }
  for (const KeyPair& p : kKeys)
    if (p.vk == vk) return p.qt;
  return Qt::Key_unknown;
}

}  // namespace gui_detail
