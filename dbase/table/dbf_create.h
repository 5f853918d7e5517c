// Writes new, empty DBF tables and their empty memo files. The program
// itself never creates tables (other dBase programs make them); tests, fuzz
// seeds and the demo-data tool do, and this is the one place that writes a
// new table file, so that every file we make has the layout the table and
// memo readers (and other dBase programs) expect.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/ansistring.h"

// One field of a new table.
struct TxbFieldSpec {
  AnsiString name;   // 1 to 10 characters: letters, digits, "_"; starts with a letter
  char type = 'C';   // C N F D L M B G; I T Y only in version 0x30
  int length = 0;    // C 1..65535, N and F 1..255; 0 or the fixed length for the others
  int decimals = 0;  // N and F only, below the length
};

struct TxbCreateOptions {
  // 0x03 dBase III, 0x04 dBase IV, 0x83 dBase III with memo, 0x8B dBase IV
  // with memo, 0xF5 FoxPro with memo, 0x30 Visual FoxPro.
  uint8_t version = 0x03;
  // Header byte 29, carried and never interpreted (0x64 marks code page 852).
  uint8_t language = 0;
  // Block size of dBase IV and FoxPro memo files (dBase III always uses 512).
  int32_t memoBlockSize = 512;
  // A non-empty password makes an encrypted table: its descriptors are
  // stored scrambled and the header's encrypted byte is set.
  AnsiString password;
};

// Creates (or empties) the table file, adding ".DBF" when the name has no
// extension, and for the memo versions (0x83, 0x8B, 0xF5, and 0x30 with
// M or G fields) its empty ".dbt" or ".fpt" memo file beside it.
// Invalid definitions raise EXbaseError "Invalid %s value for field %s"
// (with "Name", "Type", "Length" or "Decimals"); an unknown version or memo
// block size "Table Header for %s is invalid"; files that cannot be made
// "Could not create file %s".
void CreateDbfTable(const AnsiString& fileName, const std::vector<TxbFieldSpec>& fields,
                    const TxbCreateOptions& options = {});
