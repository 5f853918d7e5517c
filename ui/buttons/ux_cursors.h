// The components' two cursors in the screen's numbered cursor table: a
// pointing hand and a drag pointer. The first label or speed button
// registers them; later calls do nothing.
#pragma once

#include "platform/gui/controls.h"

constexpr TCursor crHand = 14000;      // "UX_HANDCUR"
constexpr TCursor crDragHand = 14001;  // "UX_DRAGCUR"

void RegisterUxCursors();
