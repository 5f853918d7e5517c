#include "platform/db/db_errors.h"

void DatabaseError(const AnsiString& message) { throw EDatabaseError(message); }
