// Texts as the workbook stream stores them. The program's texts are CP1250;
// the file's are Unicode: a string is "compressed" (one byte per character,
// which is Latin-1, not CP1250) only when every character is at most U+00FF,
// else it is written as UTF-16LE.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace biff {

// UTF-16 of a CP1250 text.
std::u16string Cp1250ToUtf16(std::string_view text);
bool FitsCompressed(std::u16string_view text);

// Appends an XLUnicodeString: length (one byte when shortLength, else two),
// the flags byte (bit 0: 16-bit characters), the characters.
void AppendUnicodeString(std::string& out, std::u16string_view text, bool shortLength);

// Little-endian appenders.
void Put8(std::string& out, uint8_t v);
void Put16(std::string& out, uint16_t v);
void Put32(std::string& out, uint32_t v);
void PutDouble(std::string& out, double v);

// Appends one record (id, length, data); data above kMaxRecordData goes on
// in CONTINUE records.
void AppendRecord(std::string& stream, uint16_t id, std::string_view data);

// Position of one string of a shared string table in the stream, for
// EXTSST: absolute offset of its first byte, and its offset inside the
// record that holds it (counted from the record header).
struct SstPosition {
  uint32_t streamOffset = 0;
  uint16_t recordOffset = 0;
};

// Appends the shared string table (SST with CONTINUE records; a string that
// does not fit the record goes on in the next one, whose data starts with a
// repeated flags byte; a string's length and flags are never split) and the
// EXTSST index after it. total counts every LABELSST cell.
void AppendSharedStrings(std::string& stream, const std::vector<std::u16string>& strings,
                         uint32_t total);

}  // namespace biff
