// The engine's exception classes and its message table. Every engine error
// is an EXbaseError (one handler catches them all); table passwords raise
// EXbaseEncryption, expressions EXbaseExpression. Messages are CP1250 texts
// filled with Format; file names appear exactly as given.
#pragma once

#include "platform/rtl/sysutils.h"

class EXbaseError : public Exception {
 public:
  using Exception::Exception;
};

class EXbaseEncryption : public EXbaseError {
 public:
  using EXbaseError::EXbaseError;
};

class EXbaseExpression : public EXbaseError {
 public:
  using EXbaseError::EXbaseError;
};

// Message ids. Texts are in errors.cpp; ids added beyond the original
// table continue upward from 65216.
enum XbMessageId : int {
  xbmFieldIncorrectType = 65136,     // "Field %s is the incorrect type"
  xbmMemoRecordBad = 65137,          // "Memo record is bad in %s"
  xbmRecordNotInTable = 65138,       // "Record number %d is not in table %s"
  xbmTableHeaderInvalid = 65139,     // "Table Header for %s is invalid"
  xbmIndexCorrupted = 65140,         // "Index file %s is corrupted"
  xbmCannotFindTag = 65141,          // "Cannot find index tag %s"
  xbmCannotLockIndexes = 65142,      // "Could not lock indexes for Table %s"
  xbmNoIndexForFind = 65143,         // "No index is assigned for Find operation"
  xbmPasswordForPlainFile = 65144,   // "A Password is included for unencrypted file %s"
  xbmNoPassword = 65145,             // "No Password for encrypted file %s"
  xbmInvalidPassword = 65146,        // "Invalid Password for encrypted file %s"
  xbmExprCannotEvaluate = 65152,     // "Expression cannot be evaluated"
  xbmMissingClosingParen = 65153,    // "Missing closing parentheses"
  xbmMissingClosingPeriod = 65154,   // "Missing closing period"
  xbmMissingClosingQuote = 65155,    // "Missing closing "%s" on literal"
  xbmExpectingLogical = 65156,       // "Expecting ".T." or ".F.""
  xbmSyntaxError = 65157,            // "Syntax Error in expression "%s""
  xbmVariantNotAppendable = 65158,   // "Variant type is not valid for append"
  xbmVariantMismatch = 65159,        // "Variant types mismatch for compare"
  xbmVariantNotSortable = 65160,     // "Variant type cannot be sorted"
  xbmSortKeyLength = 65161,          // "Sort key length must be 1-%d bytes, is %d"
  xbmSortKeysAfterRetrieval = 65162, // "Cannot add sort keys after beginning retrieval"
  xbmInvalidNumericValue = 65163,    // "Invalid numeric value in field %s"
  xbmNumericTooBig = 65164,          // "numeric value too big in field %s"
  xbmInvalidDate = 65165,            // "Invalid date in field %s"
  xbmNoFieldName = 65166,            // "There is no field name %s"
  xbmInvalidValueForField = 65167,   // "Invalid %s value for field %s"
  xbmRenameError = 65168,            // "Error on Rename of file %s"
  xbmAccessDenied = 65169,           // "Access denied to file %s"
  xbmCouldNotCreate = 65170,         // "Could not create file %s"
  xbmRequiresFullAccess = 65171,     // "%s requires full access to file %s"
  xbmTruncateError = 65172,          // "Error in Truncate of file %s"
  xbmUnlockError = 65173,            // "Error in Unlock of file %s"
  xbmWriteError = 65174,             // "Error writing to %s"
  xbmNoFunction = 65175,             // "There is no function for %s"
  xbmArgumentNeeded = 65176,         // "%s needed for Argument %d of %s"
  xbmArgumentMustBe = 65177,         // "Argument for %s must be %s"
  xbmTargetValueMissing = 65178,     // "Target value missing for %s operation"
  xbmSidesDoNotMatch = 65179,        // "The two sides of an operation do not match"
  xbmValueRequiredInvalid = 65180,   // "A %s value is required but invalid"
  xbmValueRequiredFor = 65181,       // "A value is required for %s"
  xbmArgumentsSameType = 65182,      // "All arguments for %s must be of the same type"
  xbmUnknownVariable = 65183,        // "Field/variable %s is unknown"
  xbmCannotRecall = 65184,           // "Cannot recall the record"
  xbmBookmarkInvalid = 65185,        // "Bookmark is invalid for table "
  xbmRecordLocked = 65186,           // "Record is locked by another user"
  xbmBusyBuildingIndex = 65187,      // "Table is busy building an index"
  xbmBusyCopying = 65188,            // "Table is busy copying"
  xbmFilterNotBoolean = 65189,       // "Filter expression must return boolean result"
  xbmNotInEditMode = 65190,          // "Dataset not in edit or insert mode"
  xbmMasterNoIndex = 65191,          // "Master/Detail relation failed, no index open for %s"
  xbmMasterFieldMismatch = 65192,    // "Master/Detail relation failed, field missmatch for %s"
  xbmFileSizeError = 65193,          // "Error getting FileSize for file %s"
  xbmFlushError = 65194,             // "Error on Flush for file %s"
  xbmCannotLockFile = 65195,         // "Can not Lock file %s"
  xbmFileNotFound = 65196,           // "File %s could not be found"
  xbmFileReadError = 65197,          // "Chyba při čtení souboru %s"
  xbmRecordReadError = 65198,        // "Chyba při čtení záznamu v souboru %s"
  xbmCloseError = 65199,             // "Error in Close of file %s"
  xbmMissingTableName = 65210,       // "Chybí jméno tabulky"
  xbmCannotFindFile = 65211,         // "Nemohu najít soubor %s"
  xbmErrorGetting = 65212,           // "Error getting %s"
  xbmIndexAlreadyOpen = 65213,       // "Indexový soubor %s je již otevřen"
  xbmRecordBeyondRange = 65214,      // "Record request beyond range of table"
  xbmCannotDelete = 65215,           // "Cannot delete the record"
  // Added beyond the original table, from 65216 upward in order of need.
  xbmIndexExpressionTooLong = 65216, // "Index expression too long for %s"
  xbmTooManyIndexFiles = 65217,      // "Too many index files open for table %s"
  xbmTooManyTags = 65218,            // "Too many tags in index file %s"
  xbmIndexFileFull = 65219,          // "Index file %s is full"
};

// The CP1250 text of a message id; an unknown id gives an empty text.
const AnsiString& XbMessage(int id);

// The message filled with its arguments.
template <class... Args>
AnsiString XbFormat(int id, const Args&... args) {
  return Format(XbMessage(id), args...);
}

// Raise an engine error of class E with a filled message.
template <class E = EXbaseError, class... Args>
[[noreturn]] void XbRaise(int id, const Args&... args) {
  throw E(XbFormat(id, args...));
}
