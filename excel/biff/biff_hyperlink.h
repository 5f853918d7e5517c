// HLINK records: a hyperlink on a range of cells.
//
// Layout: the cells (first row, last row, first column, last column), the
// standard hyperlink class id, stream version 2, flags (bit 0: a moniker
// follows, bit 1: the target is absolute, bit 3: a text mark follows),
// then the moniker and the text mark. A web or mail address ("http:",
// "https:", "ftp:", "mailto:", "file:") is a URL moniker: its class id, the
// byte length and the UTF-16 text with its terminating zero. Any other
// address is a file moniker: its class id, the count of leading "..\"
// (always 0: the path is kept as given, backslashes and all), the 8-bit
// path with a zero, 0xFFFF, 0xDEAD, 20 zero bytes, then the byte size of
// the rest, the UTF-16 length in bytes, the value 3 and the UTF-16 path. A
// text mark (the place in the workbook) is a character count including
// the terminating zero and the UTF-16 characters.
#pragma once

#include <string>
#include <string_view>

#include "excel/biff/biff_writer.h"

namespace biff {

constexpr uint16_t kHlink = 0x01B8;

// Whether an address is written as a URL (it starts with a known scheme).
bool IsUrlAddress(std::string_view address);

// The record data (without the record header) for one hyperlink.
std::string HyperlinkRecordData(const Hyperlink& link);

}  // namespace biff
