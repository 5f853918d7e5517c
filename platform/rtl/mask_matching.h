// File-name style mask matching: "*" matches any run of characters, "?" one
// character, "[abc]", "[a-z]" and "[!a-z]" one character of (or not of) a
// set. Matching ignores case under the CP1250 upper-case table, so Czech
// letters match their other case. Unrelated to edit masks and to the dBase
// wildcard search.
#pragma once

#include <string_view>

#include "platform/rtl/sysutils.h"

RTL_EXCEPTION(EMaskException, Exception)  // "'%s' is an invalid mask at (%d)"

// True when the whole of text matches mask. A set that is not closed raises
// EMaskException naming the 1-based position of its "[".
bool MatchesMask(std::string_view text, std::string_view mask);
