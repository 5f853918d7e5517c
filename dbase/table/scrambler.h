// The table password scrambler. Records, field descriptors, memo texts and
// index pages of an encrypted table are stored scrambled; the password
// itself is never stored (the header only says that one is needed).
//
// Byte i of a piece becomes ((i and 0xFF) or password[k]) xor byte i, with
// k cycling through the password from its first byte. The operation is its
// own inverse, and it restarts at i = 0 for every piece (one record, the
// descriptor area, one memo text, one index page).
#pragma once

#include <cstddef>
#include <string_view>

// Scrambles (encode) or unscrambles n bytes from source into destination
// (they may be the same buffer). An empty password copies the bytes and
// returns 0; otherwise returns 1 for encode and -1 for decode.
int ScrambleBytes(std::string_view password, const void* source, void* destination, std::size_t n,
                  bool encode);
