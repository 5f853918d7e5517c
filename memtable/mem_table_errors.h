// Errors of the in-memory table and every text it raises, in one place. Its
// own failures are EMemTableError; the few that concern the dataset
// contract itself (state, read-only fields, unindexable fields) are raised
// as the framework's EDatabaseError with the texts below.
#pragma once

#include "platform/db/db_errors.h"
#include "platform/rtl/ansistring.h"
#include "platform/rtl/sysutils.h"

class EMemTableError : public Exception {
 public:
  using Exception::Exception;
};

namespace mtmsg {
inline constexpr const char* NoFields = "There must be at least one field";
inline constexpr const char* BookmarkCounter =
    "Bookmark counter is out of range. Please close and reopen table.";
inline constexpr const char* InvalidArgument = "Invalid argument.";
inline constexpr const char* TableMustBeClosed = "Table must be closed for this operation.";
inline constexpr const char* AttachedToAnother = "Table is attached to another table.";
inline constexpr const char* ChildrenAttached = "Children are attached to this table.";
inline constexpr const char* InvalidRecord = "Invalid record ";
inline constexpr const char* InvalidLocale = "Invalid locale. ";
inline constexpr const char* DuplicateIndexValue = "Duplicate index value. Operation aborted.";
inline constexpr const char* MissingIndexDef = "Missing Name or FieldNames in IndexDef!";
inline constexpr const char* BookmarkNotFound = "Bookmark %d not found.";
inline constexpr const char* InvalidDimensions = "Values variant array has invalid dimension count";
inline constexpr const char* MoreFieldsThanValues = "More fields than values";
// Raised as EDatabaseError.
inline constexpr const char* NotInEditMode = "Dataset is not in edit mode.";
inline constexpr const char* FieldIsReadOnly = "Field %s is read only";
inline constexpr const char* CantIndexOnField = "Can't index on field %s";
}  // namespace mtmsg

[[noreturn]] void MemTableError(const AnsiString& message);

// "Fielddef NAME (DISPLAY) Datatype N not supported.)" for a definition the
// layout cannot hold; the closing parenthesis is part of the known text.
AnsiString UnsupportedTypeMessage(const AnsiString& name, const AnsiString& displayName,
                                  int typeOrdinal);
