// AnsiString: the program's text type. Every text inside the program is a
// byte string in Windows code page 1250, as the dBase files, the reports and
// the screens use it; conversion to UTF-8 happens only at the edges (Qt,
// file names on disk, terminal output). Bytes are always handled as
// unsigned char.
#pragma once

#include <string>

using AnsiString = std::string;

// The byte at index i of s as an unsigned value (0..255).
inline unsigned char ByteAt(const AnsiString& s, std::size_t i) {
  return static_cast<unsigned char>(s[i]);
}
