// The print setup dialog: the system print dialog on the selected printer
// and its job settings (paper, orientation, duplex, copies, collate). The
// bin is not offered there and stays as it was.
#pragma once

#include <functional>

#include "platform/gui/printer_list.h"

// Shows the dialog centred horizontally at one third of the screen height.
// On OK the settings are written back into mode, printer names the chosen
// printer, and the answer is true.
bool ExecutePrintSetupDialog(AnsiString& printer, TRptDeviceMode& mode);

// Tests answer the dialog instead of showing it: the responder sees the
// printer and settings the dialog would open with, may change them, and
// answers whether OK was chosen. nullptr restores the real dialog.
using TPrintSetupResponder = std::function<bool(AnsiString& printer, TRptDeviceMode& mode)>;
void SetPrintSetupResponder(TPrintSetupResponder responder);
