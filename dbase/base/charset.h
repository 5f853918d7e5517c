// The engine's character tables: the OEM(852)/ANSI(1250) translation pair
// (inverse permutations, built once at start-up from the system's
// conversion) and the sort-weight table through which every index key
// comparison maps its bytes.
#pragma once

// Translation tables; valid after BuildOemAnsiTables().
extern unsigned char AnsiToOemTable[256];
extern unsigned char OemToAnsiTable[256];

// Builds both tables from the platform's CharToOemBuff/OemToCharBuff so that
// translation is reversible for every byte.
void BuildOemAnsiTables();

// Sort weights for OEM code page 852 keys: upper and lower case letters get
// adjacent weights (upper first), accented letters follow their base letter.
extern const unsigned char CollationWeights[256];

// The weight table index keys are compared with; set by the engine start-up.
extern const unsigned char* KeyCollation;
