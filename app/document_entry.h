// The document commit: numbering, sign and balance of the journal's pending
// record, written under the chain lock (the counter record's lock), so that
// documents entered at several stations at once neither share a number nor
// base their balances on the same predecessor. The entry commands F2 and F4
// (TPlatebna::Button2Click, Button3Click) live beside it.
//
// Invariants:
// - A balance written here is computed from the file under the chain lock:
//   a new document's from the last live record, a correction's from the
//   balance before it, and the carry-forward from each stored predecessor.
// - The counter is written last: a failure leaves it unchanged (never a
//   duplicate number, at most a gap), and a run stopped between the journal
//   write and the counter write is recognised by the next commit.
// - On failure before the journal post the record keeps its insert or edit
//   state with the amount as typed (unsigned).
#pragma once

#include <cstdint>

#include "platform/rtl/ansistring.h"

class TXbaseDataSet;

// The largest number CIS_FIN (10 characters) can hold.
constexpr int64_t kMaxDocumentNumber = 9999999999LL;

// The counter text as a document number: a whole decimal number from 1 to
// kMaxDocumentNumber, digits only after trimming blanks. Anything else
// raises EConvertError "'<text>' is not a valid integer value".
int64_t DocumentNumberOf(const AnsiString& text);
// The same check without raising.
bool IsDocumentNumber(const AnsiString& text);

struct TDocumentCommit {
  bool isNew = false;
  // The balance before a corrected document (unused for a new one).
  double previousBalance = 0;
  // FIN_KOE of the document's type: +1 receipt, -1 expense.
  double coefficient = 1;
};

// Numbers (new documents), signs, balances and posts the journal's pending
// record; a correction then carries the balance forward through every later
// record in physical order. The journal must be in natural order on the
// record. Raises on failure; `posted` tells whether the journal record was
// already written when it did (a carry-forward stopped mid-way keeps what it
// posted, with no edit left pending).
void CommitDocument(TXbaseDataSet* journal, TXbaseDataSet* counters, const TDocumentCommit& commit, bool& posted);

// The text of the exception being handled (inside a catch block).
AnsiString CurrentErrorText();
