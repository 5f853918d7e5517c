// Helpers of the table and memo tests: fixture tables made through
// dbf_create, little-endian byte access to files, a lock probe that asks
// the system who holds a byte range, the names of the lock protocols, and a
// runner for the independent tools (Debian's Python and Perl) of the
// cross-checks with the hex form their scripts print bytes in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbase/table/dbf_create.h"
#include "dbase/table/lock_protocol.h"
#include "dbase/testing/file_bytes.h"
#include "testing/tool_run.h"

namespace table_test {

// The fields of a small journal: C(20) NAME, N(12,2) AMOUNT, D DAY, L PAID
// (+ M NOTE when withMemo).
std::vector<TxbFieldSpec> JournalFields(bool withMemo = false);

// Creates a table in dir and returns its path.
std::string MakeTable(const std::string& dir, const std::string& name,
                      const std::vector<TxbFieldSpec>& fields, uint8_t version = 0x03,
                      const std::string& password = "", int memoBlockSize = 512);

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// Overwrites bytes at offset (the file must already reach offset).
void PatchBytes(const std::string& path, int64_t offset, const std::string& bytes);
int64_t SizeOf(const std::string& path);

using filebytes::Be32;
using filebytes::Le16;
using filebytes::Le32;
std::string Le32Bytes(uint32_t value);
std::string Be32Bytes(uint32_t value);

// True when some other open file description holds a lock that conflicts
// with a write lock on [offset, offset + length) of the file (F_OFD_GETLK
// through a fresh descriptor).
bool RegionLocked(const std::string& path, uint64_t offset, uint64_t length);

// "Default", "DB4Lock", "ClipLock" or "FoxLock", for test messages.
const char* ProtocolName(TxbLokProtocol protocol);

// Installs a short sleep for every SleepMs while alive, so that retries
// between busy processes do not wait 50 ms per attempt: 3 ms, doubled for
// each pause that follows the previous one at once, up to the 50 ms asked
// for. A collision costs a few milliseconds, yet 100 attempts still
// outlast a holder that a loaded machine pauses for seconds.
class FastRetries {
 public:
  FastRetries();
  ~FastRetries();
  FastRetries(const FastRetries&) = delete;
  FastRetries& operator=(const FastRetries&) = delete;
};

// The tool runner of the shared test support (testing/tool_run.h).
using ::PerlHas;
using ::PythonHas;
using ::RunTool;
using ::ToolRun;
// Path of a script in dbase/tests/crosscheck.
std::string CrosscheckScript(const std::string& name);
// Bytes as the cross-check scripts print them: two lower-case hex digits
// each, nothing between.
std::string Hex(const std::string& bytes);

}  // namespace table_test
