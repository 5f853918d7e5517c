// Seeded random inputs to the readers of text codes: only their documented
// errors may come out, and nothing hangs.
#include <gtest/gtest.h>

#include "platform/gui/testing/fake_printers.h"
#include "report/tests/support/text_codes_driver.h"
#include "testing/random_input.h"

namespace {

TEST(TextCodesMalformed, RandomSelectionsStatusFormatsAndTexts) {
  InstallFakePrinters({});
  std::vector<std::string> seeds = {
      "2-4,O", "3-", "E", "ALL", "R", "-5", "2-x", "%p %l %x", "%N%%%", "%0%9%c%s%d%r%t%f",
      "one\ttwo\tthree", "\x01" "B1\x02U1\x04" "bold\x01r\x04" "plain", "\x01Z0\x04Text", "\x01Zx\x04",
      "\x01" "C255\x02HF\x02NCourier New\x04mono", "\x01R\x04\x01P1\x04sup\x01S1\x04sub",
      "\xFD$RWCM00 \xFD$RWCM16", "[\xFD$RWCV\xFCname\xFB]", "[\xFD$RWCV\xFCname", "a\tb\x01" "B1\x04\tc",
      "\x01Z1e308\x04huge", "\x01Z1e-300\x04tiny",
  };
  RandomInputOptions options;
  options.iterations = 400;
  options.maxSize = 256;
  RunRandomInputs(seeds, FeedTextCodes, options);
  SetPrinterBackend(nullptr);
}

TEST(TextCodesMalformed, ExtremeSizesFromFormatBlocks) {
  InstallFakePrinters({});
  for (const char* text : {"\x01Z1e308\x04huge", "\x01Z1e-300\x04tiny", "\x01Z99999\x04big"}) {
    FeedTextCodes(text);
  }
  SetPrinterBackend(nullptr);
}

}  // namespace
