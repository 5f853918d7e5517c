// Keys as the program sees them: the original platform's virtual-key
// numbers (Word), the shift state of a key or mouse event, and shortcuts
// (a key plus modifier bits in one Word). Qt's key codes never leave the
// GUI layer; the mapping lives in keys.cpp.
#pragma once

#include <cstdint>

#include "platform/gui/enum_set.h"
#include "platform/rtl/ansistring.h"

using Word = uint16_t;

enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Virtual-key codes.
constexpr Word VK_LBUTTON = 0x01;
constexpr Word VK_RBUTTON = 0x02;
constexpr Word VK_MBUTTON = 0x04;
constexpr Word VK_BACK = 0x08;
constexpr Word VK_TAB = 0x09;
constexpr Word VK_CLEAR = 0x0C;
constexpr Word VK_RETURN = 0x0D;
constexpr Word VK_SHIFT = 0x10;
constexpr Word VK_CONTROL = 0x11;
constexpr Word VK_MENU = 0x12;
constexpr Word VK_PAUSE = 0x13;
constexpr Word VK_CAPITAL = 0x14;
constexpr Word VK_ESCAPE = 0x1B;
constexpr Word VK_SPACE = 0x20;
constexpr Word VK_PRIOR = 0x21;
constexpr Word VK_NEXT = 0x22;
constexpr Word VK_END = 0x23;
constexpr Word VK_HOME = 0x24;
constexpr Word VK_LEFT = 0x25;
constexpr Word VK_UP = 0x26;
constexpr Word VK_RIGHT = 0x27;
constexpr Word VK_DOWN = 0x28;
constexpr Word VK_SNAPSHOT = 0x2C;
constexpr Word VK_INSERT = 0x2D;
constexpr Word VK_DELETE = 0x2E;
constexpr Word VK_HELP = 0x2F;
// '0'..'9' and 'A'..'Z' are their ASCII codes.
constexpr Word VK_LWIN = 0x5B;
constexpr Word VK_RWIN = 0x5C;
constexpr Word VK_APPS = 0x5D;
constexpr Word VK_NUMPAD0 = 0x60;  // .. VK_NUMPAD9 = 0x69
constexpr Word VK_MULTIPLY = 0x6A;
constexpr Word VK_ADD = 0x6B;
constexpr Word VK_SEPARATOR = 0x6C;
constexpr Word VK_SUBTRACT = 0x6D;
constexpr Word VK_DECIMAL = 0x6E;
constexpr Word VK_DIVIDE = 0x6F;
constexpr Word VK_F1 = 0x70;
constexpr Word VK_F2 = 0x71;
constexpr Word VK_F3 = 0x72;
constexpr Word VK_F4 = 0x73;
constexpr Word VK_F5 = 0x74;
constexpr Word VK_F6 = 0x75;
constexpr Word VK_F7 = 0x76;
constexpr Word VK_F8 = 0x77;
constexpr Word VK_F9 = 0x78;
constexpr Word VK_F10 = 0x79;
constexpr Word VK_F11 = 0x7A;
constexpr Word VK_F12 = 0x7B;
constexpr Word VK_NUMLOCK = 0x90;
constexpr Word VK_SCROLL = 0x91;
constexpr Word VK_OEM_1 = 0xBA;       // ;
constexpr Word VK_OEM_PLUS = 0xBB;    // =
constexpr Word VK_OEM_COMMA = 0xBC;   // ,
constexpr Word VK_OEM_MINUS = 0xBD;   // -
constexpr Word VK_OEM_PERIOD = 0xBE;  // .
constexpr Word VK_OEM_2 = 0xBF;       // /
constexpr Word VK_OEM_3 = 0xC0;       // `
constexpr Word VK_OEM_4 = 0xDB;       // [
constexpr Word VK_OEM_5 = 0xDC;       // backslash
constexpr Word VK_OEM_6 = 0xDD;       // ]
constexpr Word VK_OEM_7 = 0xDE;       // '
// A key the keyboard has but the table above does not name (national
// letters of some layouts); its character still arrives as a key press.
constexpr Word VK_UNMAPPED = 0xFF;

// A shortcut: virtual key in the low byte, modifier bits above.
using TShortCut = Word;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

TShortCut ShortCut(Word key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, Word& key, TShiftState& shift);
// "Ctrl+Del", "Shift+F4", "F2"; empty for scNone.
AnsiString ShortCutToText(TShortCut shortCut);
