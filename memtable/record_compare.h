// How two records compare under a field list: values per field type, nulls
// first, the field's compare options, the table's OnCompareFields, and the
// slot tie-break of index order.
//
// Two uses: a search compares a key with records and honours every option
// (a partial key cuts only the stored text, an ignored null key matches
// anything); the order that sorts an index, checks uniqueness and places
// new entries drops those two search-only options, so it is a consistent
// total order (nulls first, whole texts, NaN and unreadable BCD values after
// every other value and equal among themselves).
#pragma once

#include <cstdint>

#include "memtable/field_list.h"
#include "memtable/record_store.h"

class TmtCustomMemTable;

enum class CompareUse { Search, Order };

// Two non-null values of one field type, first against second: < 0, 0, > 0.
// fullCompare turns false when a partial key cut the second text. A locale
// the system cannot compare in raises "Invalid locale. " + its number.
int CompareFieldValues(const char* a, int na, const char* b, int nb, TFieldType type,
                       TmtMemTableCompareOptions options, uint32_t lcid, bool& fullCompare);

// Records a and b over the list's first limit fields (all when limit is not
// between 0 and the count).
int CompareRecords(TmtCustomMemTable* table, PMemRecord a, PMemRecord b, const TmtFieldList& list,
                   int limit, bool partial, bool ignoreNulls, CompareUse use = CompareUse::Search);

// CompareRecords over the whole list, and with tieBreak equal records by
// slot (records carrying a cursor position after those that do not),
// negated when the list's first field is descending.
int IndexCompare(TmtCustomMemTable* table, const TmtFieldList& list, PMemRecord a, PMemRecord b,
                 bool partial, bool tieBreak, CompareUse use);
