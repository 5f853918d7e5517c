// The user's documents folder, where exports are saved by default.
#pragma once

#include "platform/rtl/ansistring.h"

// The folder in program form (CP1250) with a trailing separator, never
// empty: what `xdg-user-dir DOCUMENTS` answers when that is an absolute
// directory other than the home directory itself (without a user-dirs file
// the tool answers the home directory, and exports do not belong there),
// else $HOME/Documents ($HOME unset: the password database's home). The
// folder is created when missing; when that fails the name is still
// returned and the save that uses it reports the error.
AnsiString DocumentsFolder();
