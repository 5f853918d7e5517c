// The engine's message table. The texts are written here in UTF-8 and
// turned into CP1250 once, on the first request, so that the Czech texts
// read naturally in the source and reach the user as the program's own
// encoding. The table is immutable after it is built.
#include "dbase/base/errors.h"

#include <unordered_map>

#include "platform/rtl/system.h"

namespace {

struct MessageText {
  int id;
  const char* utf8;
};

// The English texts are kept exactly as other programs sharing these files
// show them, including their spelling.
constexpr MessageText kMessages[] = {
    {xbmFieldIncorrectType, "Field %s is the incorrect type"},
    {xbmMemoRecordBad, "Memo record is bad in %s"},
    {xbmRecordNotInTable, "Record number %d is not in table %s"},
    {xbmTableHeaderInvalid, "Table Header for %s is invalid"},
    {xbmIndexCorrupted, "Index file %s is corrupted"},
    {xbmCannotFindTag, "Cannot find index tag %s"},
    {xbmCannotLockIndexes, "Could not lock indexes for Table %s"},
    {xbmNoIndexForFind, "No index is assigned for Find operation"},
    {xbmPasswordForPlainFile, "A Password is included for unencrypted file %s"},
    {xbmNoPassword, "No Password for encrypted file %s"},
    {xbmInvalidPassword, "Invalid Password for encrypted file %s"},
    {xbmExprCannotEvaluate, "Expression cannot be evaluated"},
    {xbmMissingClosingParen, "Missing closing parentheses"},
    {xbmMissingClosingPeriod, "Missing closing period"},
    {xbmMissingClosingQuote, "Missing closing \"%s\" on literal"},
    {xbmExpectingLogical, "Expecting \".T.\" or \".F.\""},
    {xbmSyntaxError, "Syntax Error in expression \"%s\""},
    {xbmVariantNotAppendable, "Variant type is not valid for append"},
    {xbmVariantMismatch, "Variant types mismatch for compare"},
    {xbmVariantNotSortable, "Variant type cannot be sorted"},
    {xbmSortKeyLength, "Sort key length must be 1-%d bytes, is %d"},
    {xbmSortKeysAfterRetrieval, "Cannot add sort keys after beginning retrieval"},
    {xbmInvalidNumericValue, "Invalid numeric value in field %s"},
    {xbmNumericTooBig, "numeric value too big in field %s"},
    {xbmInvalidDate, "Invalid date in field %s"},
    {xbmNoFieldName, "There is no field name %s"},
    {xbmInvalidValueForField, "Invalid %s value for field %s"},
    {xbmRenameError, "Error on Rename of file %s"},
    {xbmAccessDenied, "Access denied to file %s"},
    {xbmCouldNotCreate, "Could not create file %s"},
    {xbmRequiresFullAccess, "%s requires full access to file %s"},
    {xbmTruncateError, "Error in Truncate of file %s"},
    {xbmUnlockError, "Error in Unlock of file %s"},
    {xbmWriteError, "Error writing to %s"},
    {xbmNoFunction, "There is no function for %s"},
    {xbmArgumentNeeded, "%s needed for Argument %d of %s"},
    {xbmArgumentMustBe, "Argument for %s must be %s"},
    {xbmTargetValueMissing, "Target value missing for %s operation"},
    {xbmSidesDoNotMatch, "The two sides of an operation do not match"},
    {xbmValueRequiredInvalid, "A %s value is required but invalid"},
    {xbmValueRequiredFor, "A value is required for %s"},
    {xbmArgumentsSameType, "All arguments for %s must be of the same type"},
    {xbmUnknownVariable, "Field/variable %s is unknown"},
    {xbmCannotRecall, "Cannot recall the record"},
    {xbmBookmarkInvalid, "Bookmark is invalid for table "},
    {xbmRecordLocked, "Record is locked by another user"},
    {xbmBusyBuildingIndex, "Table is busy building an index"},
    {xbmBusyCopying, "Table is busy copying"},
    {xbmFilterNotBoolean, "Filter expression must return boolean result"},
    {xbmNotInEditMode, "Dataset not in edit or insert mode"},
    {xbmMasterNoIndex, "Master/Detail relation failed, no index open for %s"},
    {xbmMasterFieldMismatch, "Master/Detail relation failed, field missmatch for %s"},
    {xbmFileSizeError, "Error getting FileSize for file %s"},
    {xbmFlushError, "Error on Flush for file %s"},
    {xbmCannotLockFile, "Can not Lock file %s"},
    {xbmFileNotFound, "File %s could not be found"},
    {xbmFileReadError, "Chyba při čtení souboru %s"},
    {xbmRecordReadError, "Chyba při čtení záznamu v souboru %s"},
    {xbmCloseError, "Error in Close of file %s"},
    {xbmMissingTableName, "Chybí jméno tabulky"},
    {xbmCannotFindFile, "Nemohu najít soubor %s"},
    {xbmErrorGetting, "Error getting %s"},
    {xbmIndexAlreadyOpen, "Indexový soubor %s je již otevřen"},
    {xbmRecordBeyondRange, "Record request beyond range of table"},
    {xbmCannotDelete, "Cannot delete the record"},
    // Ids beyond the original table, in order of need.
    {xbmIndexExpressionTooLong, "Index expression too long for %s"},
    {xbmTooManyIndexFiles, "Too many index files open for table %s"},
    {xbmTooManyTags, "Too many tags in index file %s"},
    {xbmIndexFileFull, "Index file %s is full"},
};

// Never destroyed: the engine's shutdown runs from atexit, possibly after
// the destructors of function statics, and may still raise a message.
const std::unordered_map<int, AnsiString>& MessageTable() {
  static const auto* table = [] {
    auto* t = new std::unordered_map<int, AnsiString>();
    for (const MessageText& m : kMessages) t->emplace(m.id, Cz(m.utf8));
    t->emplace(0, AnsiString());  // the text of every unknown id
    return t;
  }();
  return *table;
}

}  // namespace

const AnsiString& XbMessage(int id) {
  const auto& table = MessageTable();
  auto it = table.find(id);
  return it == table.end() ? table.at(0) : it->second;
}
