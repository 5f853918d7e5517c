// The amount of a cash voucher in Czech words, as printed between "( " and
// the currency: a whole number of up to six digits, built from its decimal
// digits by one routine per length, each on the shorter ones. Every word
// piece begins with one blank, so pieces join by plain concatenation and a
// non-empty result begins with one blank; zero parts add nothing. Some
// forms are written joined ("jednosto", "dvěstě", "stotisíc",
// "dvanácttisíc"): that is the voucher's style and stays. All texts are
// CP1250.
#pragma once

#include <cstdint>

#include "platform/rtl/ansistring.h"

// The words of value (0 .. 999999); 0, negative values and values of seven
// or more digits give an empty text.
AnsiString AmountInWords(int32_t value);

// Each routine takes exactly its number of decimal digits as text and gives
// their words; any other text gives an empty text. Leading zeros are read
// as such, except by WordsSixDigits, which expects the first digit of a
// six-digit number (a zero there, with zero thousands, would leave a bare
// "tisíc").
AnsiString WordsOneDigit(const AnsiString& digits);
AnsiString WordsTwoDigits(const AnsiString& digits);
AnsiString WordsThreeDigits(const AnsiString& digits);
AnsiString WordsFourDigits(const AnsiString& digits);
AnsiString WordsFiveDigits(const AnsiString& digits);
AnsiString WordsSixDigits(const AnsiString& digits);
