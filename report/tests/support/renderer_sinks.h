// Bytes converted as a page stream through both file renderers: the PDF
// renderer into memory and the HTML renderer into a folder. Shared by the
// seeded random-input test and the fuzz target.
#pragma once

#include <string>

// Ends normally or with the stream's own errors (EReportError, EReadError,
// EInvalidGraphic), which are caught; a PDF whose cross references do not
// hold raises std::logic_error. Files the HTML renderer wrote into dir are
// removed again.
void ConvertThroughFileRenderers(const std::string& bytes, const std::string& dir);
