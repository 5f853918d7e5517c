// The single-instance channel: a second start of the program hands its
// parameters to the copy already running and ends, before it creates
// anything. Per user and per program file name there is one lock file and
// one local socket in a private directory:
//
//   D/P.lock  serialises the starts' decisions (an OFD write lock on byte 0)
//   D/P.sock  the running copy (the receiver) listens here
//
// D is $XDG_RUNTIME_DIR when it is a private directory of this user, else
// ".one-instance-<uid>" in the temporary directory, created 0700 and checked
// with lstat; never a directory another user could control. P is the file
// name the program was started by, so a copy under another name is another
// program and both run.
//
// Payload (ours, versioned), everything else is refused whole:
//   "OIH1", count N (1 byte, 0 .. 10), then N times a 16-bit little-endian
//   length (0 .. 300) and that many CP1250 bytes, none of them 0x00.
// At most 4 + 1 + 10 x (2 + 300) = 3025 bytes. The receiver answers one
// byte after it has delivered the parameters; the sender then ends.
//
// Decide uses plain POSIX and the runtime only (no Qt object, no display
// connection), so main() can call it before anything else; the receiver
// serves on the Qt event loop once the application exists.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/ansistring.h"

constexpr std::size_t kHandOverMaxParams = 10;
constexpr std::size_t kHandOverMaxText = 300;
constexpr std::size_t kHandOverMaxBytes = 4 + 1 + kHandOverMaxParams * (2 + kHandOverMaxText);

// The payload of the first ten parameters, each cut to its first 300 bytes
// (and at a zero byte, which no command line can hold).
std::string EncodeHandOver(const std::vector<AnsiString>& params);
// True, with params filled, only for a complete payload the encoder could
// have produced; anything else leaves params empty.
bool DecodeHandOver(std::string_view bytes, std::vector<AnsiString>& params);

struct InstanceChannelOptions {
  AnsiString programName;  // the file-name part of ParamStr(0)
  std::string directory;   // empty: the per-user directory described above
  int lockTimeoutMs = 10000;
  int ackTimeoutMs = 10000;
  int readLimitMs = 2000;
};

enum class InstanceRole {
  Undecided,   // Decide has not run in this process
  Unguarded,   // no usable directory or socket: the copy runs on its own
  HandedOver,  // a running copy took the parameters: end now
  Receiver,    // this copy listens for later starts
};

namespace InstanceChannel {

// The per-user directory (empty when no safe one can be had).
std::string DefaultDirectory();
// Takes the start-up decision once per process (later calls return the
// first answer). The second form takes the parameters and the program name
// from ParamStr.
InstanceRole Decide(const std::vector<AnsiString>& params, const InstanceChannelOptions& options);
InstanceRole Decide();
InstanceRole Role();
// Takes the decision "unguarded" without looking (test programs that build
// the program's windows many times, side by side).
void DecideUnguarded();
const InstanceChannelOptions& Options();

// Receiver only: accepts hand-overs on the Qt event loop (the application
// must exist). A valid payload goes to the sink, or waits in order until a
// sink is set; the sender gets its answer after delivery.
void StartServing();
using Sink = std::function<void(const std::vector<AnsiString>& params)>;
void SetSink(Sink sink);
// Number of payloads delivered so far, and of connections refused
// (malformed, foreign, too many, too slow).
int DeliveredCount();
int RefusedCount();
// Stops listening and removes the socket file when it is still ours (also
// run at normal exit).
void StopServing();
// Tests: forget the decision so another can be taken in this process.
void ResetForTests();

}  // namespace InstanceChannel
