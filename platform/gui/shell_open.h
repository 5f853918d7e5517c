// Opening a document or address with the desktop's handler (a browser for
// web addresses, the mail program for "mailto:", the associated program for
// a file). A hook lets tests record what would be opened instead.
#pragma once

#include <functional>

#include "platform/rtl/ansistring.h"

// Opens target: an address with a scheme ("http:", "mailto:", "file:", ...)
// as it stands, anything else as a file name (looked up as the file layer
// does, backslashes accepted). False when the file does not exist or the
// desktop has no handler for it.
bool ShellOpen(const AnsiString& target);

// Answers ShellOpen instead of the desktop while installed; returns the
// previous hook. An empty function restores opening.
using TShellOpenHook = std::function<bool(const AnsiString& target)>;
TShellOpenHook SetShellOpenHook(TShellOpenHook hook);

// Whether the text starts with a URL scheme ("letters:", at least two
// letters so that "C:" stays a drive).
bool HasUrlScheme(const AnsiString& target);
