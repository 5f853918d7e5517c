// Feeds one input to every reader of text codes in a report: the page
// selection, the status format, and printed text with its format blocks,
// TAB characters and macro markers. Only the errors these readers document
// may leave (EConvertError, EReportError, EAbort); anything else escapes.
#pragma once

#include <string>

void FeedTextCodes(const std::string& input);
