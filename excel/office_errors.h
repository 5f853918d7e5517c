// Exceptions and fixed texts of the spreadsheet export.
#pragma once

#include "platform/rtl/sysutils.h"

// Connection-state misuse and remote starts.
RTL_EXCEPTION(EOfOfficeError, Exception)
// Model errors (missing or closed dataset, unsupported read mode, circular
// detail link).
RTL_EXCEPTION(EModelException, Exception)
// Range errors (no range selected).
RTL_EXCEPTION(ERangeException, Exception)
// The server offers no event connection.
RTL_EXCEPTION(EEventSinkException, Exception)
// A call into the spreadsheet server failed: what an automation error of
// the spreadsheet program is in this program.
RTL_EXCEPTION(EOleException, Exception)

namespace oftext {

inline constexpr const char* kCircularModelLink = "Circular Model link not allowed.";
inline constexpr const char* kSetWhileConnected = "This property cannot be set while the server is connected.";
inline constexpr const char* kNoDcom = "You must install DCOM in order to run objects remotely.";
inline constexpr const char* kConnectForMethod = "You must be connected in order to call this method.";
inline constexpr const char* kConnectForProperty = "You must be connected in order to access this property.";
inline constexpr const char* kNestedItem = "Nested Item";
inline constexpr const char* kVersion = "1.64";
inline constexpr const char* kSelectRange = "A Range must be selected in the current Worksheet.";
inline constexpr const char* kInvalidRangeAddress = "Invalid Range Address.";
inline constexpr const char* kAllFilesFilter = "All Files|*.*";
inline constexpr const char* kExcelFilter =
    "Excel Workbooks *.xls|*.xls|Excel Templates *.xlt|*.xlt|All Files *.*|*.*";
inline constexpr const char* kExcelDefaultExt = "*.xls";
inline constexpr const char* kDatasetNotAssigned = "Model Dataset must be assigned first.";
inline constexpr const char* kDatasetNotOpen = "Model Dataset must first be opened.";
inline constexpr const char* kNoModel = "A Model must be assigned in order to populate";
inline constexpr const char* kHyperlinkError = "Error creating Hyperlink, Check Cell and Address";
inline constexpr const char* kCannotRegisterEvents = "Cannot Register Events";
inline constexpr const char* kUnsupportedMode = "Model does not support requested mode.";

}  // namespace oftext
