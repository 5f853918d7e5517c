// Completion of a partly typed date or time from a base date-time: the
// parts the user left out are taken by position from the base's text in the
// short date format (long time format for times), so the order follows the
// format settings. "5" becomes "5.12.2026" on 8 December 2026; "14" becomes
// "14:00:00" with a base at midnight.
//
// Separators typed may be any of * + , - . / : ? and become the date (time)
// separator. A text that cannot be completed is rejected: the function
// returns false and empties text. An empty text (or one of blanks only) is
// left as it is and accepted.
#pragma once

#include "platform/rtl/ansistring.h"
#include "platform/rtl/datetime.h"

bool CompleteDateText(AnsiString& text, TDateTime base);
bool CompleteTimeText(AnsiString& text, TDateTime base);
