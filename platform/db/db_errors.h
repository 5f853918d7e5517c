// Errors of the dataset framework: EDatabaseError and the one place where
// the framework's message texts are written down. Datasets built on the
// framework raise their own texts through the same class.
#pragma once

#include "platform/rtl/ansistring.h"
#include "platform/rtl/sysutils.h"

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

namespace dbmsg {
// Texts other programs of the platform and the user see; keep them exact.
inline constexpr const char* NotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* FieldReadOnly = "Field '%s' cannot be modified";
inline constexpr const char* NotIndexField = "Field '%s' is not indexed and cannot be modified";
inline constexpr const char* CircularDataLink = "Circular datalinks are not allowed";
inline constexpr const char* DataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* FieldNotFound = "Field '%s' not found";
inline constexpr const char* DataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* DataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* FieldRequired = "Field '%s' must have a value";
inline constexpr const char* FieldTypeMismatch =
    "Type mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const char* FieldSizeMismatch =
    "Size mismatch for field '%s', expecting: %d actual: %d";
inline constexpr const char* RecordNotFound = "Record not found";
inline constexpr const char* InvalidFieldValue = "Invalid value for field '%s'";
inline constexpr const char* InvalidBoolValue = "'%s' is not a valid boolean value for field '%s'";
inline constexpr const char* FieldRangeError =
    "%s is not a valid value for field '%s'. The allowed range is %s to %s";
inline constexpr const char* DataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* NotSupported = "Capability not supported";
inline constexpr const char* FieldAccessError = "Cannot access field '%s' as type %s";
inline constexpr const char* DuplicateFieldName = "Duplicate field name '%s'";
inline constexpr const char* IndexNotFound = "Index '%s' not found";
inline constexpr const char* LookupInfoError = "Lookup information for field '%s' is incomplete";
inline constexpr const char* FieldIndexError = "Field index out of range";
inline constexpr const char* UnknownFieldType = "Field '%s' is of an unknown type";
inline constexpr const char* InvalidBookmark = "Invalid bookmark";
inline constexpr const char* RecordIndexError = "Record index %d out of range";
}  // namespace dbmsg

// Raises EDatabaseError with the message.
[[noreturn]] void DatabaseError(const AnsiString& message);

// Raises EDatabaseError with Format(fmt, args...).
template <class... Args>
[[noreturn]] void DatabaseErrorFmt(std::string_view fmt, const Args&... args) {
  DatabaseError(Format(fmt, args...));
}
