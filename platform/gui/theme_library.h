// The visual-styles library as the theme layer expects to find it: a library
// loaded by name whose entry points are looked up by name, and the version
// of the common controls. Here the "library" is built in: its entry points
// draw with the application's QStyle (the style the GUI layer pins at start),
// so the themed look repeats on every machine.
//
// The common controls are the classic ones (version 5.82), so a caller that
// asks for 6.0 before theming draws classic. Tests may make the library
// absent, drop one entry point, or report 6.0.
#pragma once

#include <string>

#include "platform/gui/graphics.h"

class QWidget;

using HTHEME = void*;
using HTHEMELIB = void*;

// Entry-point types of the library, looked up by these exact names:
// "OpenThemeData", "CloseThemeData", "DrawThemeBackground",
// "DrawThemeText", "IsThemeActive", "IsAppThemed", "GetThemeAppProperties".
using OpenThemeDataProc = HTHEME (*)(QWidget* window, const char16_t* classList);
using CloseThemeDataProc = long (*)(HTHEME theme);
using DrawThemeBackgroundProc = long (*)(HTHEME theme, TCanvas* dc, int part, int state, const TRect* rect,
                                         const TRect* clip);
using DrawThemeTextProc = long (*)(HTHEME theme, TCanvas* dc, int part, int state, const char16_t* text,
                                   int length, unsigned flags, unsigned flags2, const TRect* rect);
using IsThemeActiveProc = int (*)();
using IsAppThemedProc = int (*)();
using GetThemeAppPropertiesProc = unsigned (*)();

constexpr unsigned STAP_ALLOW_NONCLIENT = 1;
constexpr unsigned STAP_ALLOW_CONTROLS = 2;

// Part numbers of the "status" class.
constexpr int SP_PANE = 1;
constexpr int SP_GRIPPERPANE = 2;
constexpr int SP_GRIPPER = 3;

// Loads the library by file name; null when it is not there. Every load
// needs one FreeThemeLibrary.
HTHEMELIB LoadThemeLibrary(const std::string& name);
void FreeThemeLibrary(HTHEMELIB library);
// The entry point's address, or null.
void* GetThemeProcAddress(HTHEMELIB library, const std::string& name);
// Common-controls version as (major << 16) | minor.
unsigned CommonControlsVersion();

// Test hooks: the library present or not; one entry point missing (empty
// name: none); the reported common-controls version (0 restores 5.82).
void SetThemeLibraryPresent(bool present);
void SetThemeEntryPointDropped(const std::string& name);
void SetCommonControlsVersion(unsigned version);
// Loads not yet freed, and calls made through the entry points so far.
int ThemeLibraryLoadCount();
int ThemeLibraryCallCount();
