// Prints our code page, case and ANSI/OEM tables as plain text, one line
// per byte and table, so that codepage_check.py can compare them with an
// independent implementation of the same code pages:
//   cp1250 <byte> <unicode>     cp852 <byte> <unicode>
//   upper <byte> <byte>         lower <byte> <byte>
//   oem <cp1250 byte> <cp852 byte>   ansi <cp852 byte> <cp1250 byte>
// Bytes and scalars are hexadecimal.
#include <cstdio>

#include "platform/rtl/codepages.h"

int main() {
  for (int c = 0; c < 256; ++c) {
    auto b = static_cast<unsigned char>(c);
    char in = static_cast<char>(c), oem = 0, ansi = 0;
    CharToOemBuff(&in, &oem, 1);
    OemToCharBuff(&in, &ansi, 1);
    std::printf("cp1250 %02X %04X\n", c, static_cast<unsigned>(Cp1250ToUnicode(b)));
    std::printf("cp852 %02X %04X\n", c, static_cast<unsigned>(Cp852ToUnicode(b)));
    std::printf("upper %02X %02X\n", c, AnsiUpperChar(b));
    std::printf("lower %02X %02X\n", c, AnsiLowerChar(b));
    std::printf("oem %02X %02X\n", c, static_cast<unsigned char>(oem));
    std::printf("ansi %02X %02X\n", c, static_cast<unsigned char>(ansi));
  }
  return 0;
}
