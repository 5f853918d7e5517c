// The cash journal's tables and index tags, shared by the data module (which
// opens and re-indexes them) and the demo-data tool (which creates them).
//
// The branch-specific tables carry the four-character branch code in their
// names ("Pla0001", "Cis0001"); the others are the same for every branch.
// Names are given without extension: the table engine adds ".dbf" and looks
// the file up case-insensitively.
//
// Tags are listed in the order they are built. Every key is a bare field
// name, ascending, without a FOR condition; only the branch code of the
// branches table and the document number of the journal are unique.
#pragma once

#include <array>

#include "platform/rtl/ansistring.h"

inline constexpr char kDefaultBranchCode[] = "0001";
inline constexpr char kOwnerTable[] = "Vla0000";
inline constexpr char kBranchesTable[] = "Org0000";
inline constexpr char kOperationTypesTable[] = "Fin0000";
inline constexpr char kExpenseTypesTable[] = "Typ0000";

// The journal of one branch: "Pla" + branch.
inline AnsiString JournalTableName(const AnsiString& branch) { return "Pla" + branch; }
// The document counters of one branch: "Cis" + branch.
inline AnsiString CountersTableName(const AnsiString& branch) { return "Cis" + branch; }

// Which compound index file a tag lives in: Org0000.cdx or Pla<branch>.cdx.
enum class TJournalIndexFile { Branches, Journal };

struct TJournalTag {
  TJournalIndexFile file;
  const char* name;
  const char* key;
  // Uniqueness code of a tag build: 0 unique keys, 1 duplicates allowed.
  int uniquenessCode;
  // Shown in the progress window while the tag is built (UTF-8; the
  // trailing blank belongs to the text).
  const char* label;
};

// Order code of every tag build: ascending.
inline constexpr int kTagOrderAscending = 0;

inline constexpr std::array<TJournalTag, 9> kJournalTags = {{
    {TJournalIndexFile::Branches, "KOD", "ORG_KOD", 0, "Vnitřní jednotky - dle čísla pobočky "},
    {TJournalIndexFile::Journal, "DO1", "PLA_DO1", 0, "Platebna pobočky - dle dokladu "},
    {TJournalIndexFile::Journal, "KOM", "PLA_KOM", 1, "Platebna pobočky - dle popisu operace "},
    {TJournalIndexFile::Journal, "DAT", "PLA_DAT", 1, "Platebna pobočky - dle data vystavení "},
    {TJournalIndexFile::Journal, "TYP", "PLA_TYP", 1, "Platebna pobočky - dle typu operace "},
    {TJournalIndexFile::Journal, "KDO", "PLA_KDO", 1, "Platebna pobočky - dle jména "},
    {TJournalIndexFile::Journal, "SML", "PLA_SML", 1, "Platebna pobočky - dle párového dokladu "},
    {TJournalIndexFile::Journal, "ROC", "PLA_ROC", 1, "Platebna pobočky - dle rodného čísla "},
    {TJournalIndexFile::Journal, "HOD", "PLA_HOD", 1, "Platebna pobočky - dle částky dokladu "},
}};
