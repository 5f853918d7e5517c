// Writers of this engine at the same time on one journal-shaped table: a
// FoxPro table with a memo and an 8-tag CDX, and a counter table that hands
// out document numbers under a record lock, as the journal does. Each
// process appends documents, edits their keys and memos and deletes
// records as fast as it can, under each lock protocol in turn. Printed per
// protocol: operations per second, lock waits (median, 99th percentile,
// maximum; every retry that had to wait, and every wait for a record lock)
// and the operations that gave up (goal 0), with the ratio of the
// throughput of all writers to that of one writer alone (the baseline).
// Then the table is checked: every appended document is there once, every
// document number is unique, every memo reads back whole and every tag
// walks exactly like the same tag built afresh. A failed check ends the
// program with status 1.
//
//   lock_soak [--quick] [--processes=N] [--seconds=S]
//
// Full run: 8 processes for 60 s per protocol; --quick: 2 processes, 3 s.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_harness.h"
#include "dbase/base/engine.h"
#include "dbase/base/errors.h"
#include "dbase/handler/table_handler.h"
#include "dbase/table/dbf_create.h"
#include "platform/rtl/system.h"

namespace {

struct TagDef {
  const char* name;
  const char* key;
};
const TagDef kTags[] = {
    {"DOC", "DOC"},           {"DAY", "DAY"},
    {"TYPE", "TYPE"},         {"AMOUNT", "AMOUNT"},
    {"NAME", "NAME"},         {"DAYTYPE", "DTOS(DAY)+TYPE"},
    {"UNAME", "UPPER(NAME)"}, {"TYPEDOC", "TYPE+STR(DOC,8)"},
};

const char* ProtocolName(TxbLokProtocol p) {
  switch (p) {
    case TxbLokProtocol::Default: return "Default";
    case TxbLokProtocol::DB4Lock: return "DB4Lock";
    case TxbLokProtocol::ClipLock: return "ClipLock";
    case TxbLokProtocol::FoxLock: return "FoxLock";
  }
  return "?";
}

// "<doc>:" then length letters that depend on doc, then "#<length>".
std::string MemoText(int64_t doc, int length) {
  std::string text = std::to_string(doc) + ":";
  for (int i = 0; i < length; ++i) text += static_cast<char>('a' + (doc + i) % 26);
  return text + "#" + std::to_string(length);
}

bool MemoWhole(const std::string& text, int64_t doc) {
  const std::string head = std::to_string(doc) + ":";
  const std::size_t hash = text.rfind('#');
  if (text.compare(0, head.size(), head) != 0 || hash == std::string::npos || hash < head.size()) return false;
  const std::size_t length = hash - head.size();
  if (text.substr(hash + 1) != std::to_string(length)) return false;
  for (std::size_t i = 0; i < length; ++i)
    if (text[head.size() + i] != static_cast<char>('a' + (doc + static_cast<int64_t>(i)) % 26)) return false;
  return true;
}

struct Paths {
  std::string dir, journal, counter;
};

void CreateTables(const Paths& p) {
  std::filesystem::remove_all(p.dir);
  std::filesystem::create_directories(p.dir);
  TxbCreateOptions options;
  options.version = 0xF5;
  CreateDbfTable(p.journal,
                 {{"DOC", 'N', 8, 0},
                  {"DAY", 'D', 0, 0},
                  {"TYPE", 'C', 3, 0},
                  {"AMOUNT", 'N', 12, 2},
                  {"NAME", 'C', 30, 0},
                  {"NOTE", 'M', 0, 0}},
                 options);
  CreateDbfTable(p.counter, {{"NEXT", 'N', 8, 0}});
  {
    XBO_dBHandler c(p.counter, false, true, "");
    c.BlankRecord();
    c.PutNumber("NEXT", 1);
    c.AppendRecord();
  }
  XBO_dBHandler t(p.journal, false, true, "");
  for (const TagDef& tag : kTags) t.CreateIndexTag(p.dir + "journal.cdx", tag.name, 0, 1, "", tag.key);
}

// What one writer reports to the parent, one line of text.
struct Result {
  long operations = 0;
  long gaveUp = 0;
  std::vector<long> waitsUs;
  std::vector<long> appended;
};

bool IsRefusedLock(const EXbaseError& e) {
  const std::string m = e.Message();
  return m.rfind("Could not lock", 0) == 0 || m.rfind("Can not Lock", 0) == 0;
}

// Record lock wait as an editing user's: tries every millisecond for up to
// about five seconds; the time spent waiting is a lock wait.
bool LockRecordWaiting(XBO_dBHandler& t, Result& r) {
  if (t.LockCurrentRecord()) return true;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 5000; ++i) {
    usleep(1000);
    if (t.LockCurrentRecord()) {
      r.waitsUs.push_back(static_cast<long>(
          std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count()));
      return true;
    }
  }
  return false;
}

Result Writer(const Paths& p, TxbLokProtocol protocol, double seconds, unsigned seed) {
  Result r;
  SetRetryObserver([&r](const RetryWait& w) { r.waitsUs.push_back(static_cast<long>(w.waited.count())); });
  std::mt19937 random(seed);
  XBO_dBHandler counter(p.counter, true, true, "");
  XBO_dBHandler t(p.journal, true, true, "");
  counter.SetLockProtocol(protocol);
  t.SetLockProtocol(protocol);
  t.OpenIndexFile("journal.cdx");
  t.SetShowDeleted(true);
  auto fields = [&](int64_t doc) {
    char day[16];
    std::snprintf(day, sizeof day, "2026%02d%02d", 1 + static_cast<int>(random() % 12),
                  1 + static_cast<int>(random() % 28));
    t.PutText("DAY", day);
    t.PutText("TYPE", random() % 2 ? "PRI" : "VYD");
    t.PutNumber("AMOUNT", static_cast<double>(random() % 10000000) / 100);
    t.PutText("NAME", "Doklad " + std::to_string(random() % 5000));
    t.PutText("NOTE", MemoText(doc, static_cast<int>(random() % 700)));
  };
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    const unsigned what = random() % 10;
    try {
      if (what < 5 || t.RecordCount() < 10) {
        counter.GoRecord(1);
        if (!LockRecordWaiting(counter, r)) {
          ++r.gaveUp;
          continue;
        }
        counter.GoRecord(1);
        const auto doc = static_cast<int64_t>(counter.GetNumber("NEXT"));
        counter.PutNumber("NEXT", static_cast<double>(doc + 1));
        counter.WriteRecord(1);
        counter.ReleaseLock();
        t.BlankRecord();
        t.PutNumber("DOC", static_cast<double>(doc));
        fields(doc);
        t.AppendRecord();
        r.appended.push_back(static_cast<long>(doc));
      } else {
        const auto n = static_cast<int32_t>(1 + random() % static_cast<unsigned>(t.RecordCount()));
        t.GoRecord(n);
        if (!LockRecordWaiting(t, r)) {
          ++r.gaveUp;
          continue;
        }
        try {
          t.GoRecord(n);
          if (what < 9) {
            fields(static_cast<int64_t>(t.GetNumber("DOC")));
            t.WriteRecord(n);
          } else {
            t.DeleteRecord();
          }
        } catch (...) {
          t.ReleaseLock();
          throw;
        }
        t.ReleaseLock();
      }
      ++r.operations;
    } catch (const EXbaseError& e) {
      if (!IsRefusedLock(e)) throw;
      ++r.gaveUp;
    }
  }
  SetRetryObserver({});
  return r;
}

std::string Encode(const Result& r) {
  std::ostringstream out;
  out << r.operations << " " << r.gaveUp << " " << r.waitsUs.size();
  for (long w : r.waitsUs) out << " " << w;
  out << " " << r.appended.size();
  for (long d : r.appended) out << " " << d;
  return out.str();
}

Result Decode(const std::string& text) {
  std::istringstream in(text);
  Result r;
  std::size_t n = 0;
  in >> r.operations >> r.gaveUp >> n;
  r.waitsUs.resize(n);
  for (long& w : r.waitsUs) in >> w;
  in >> n;
  r.appended.resize(n);
  for (long& d : r.appended) in >> d;
  return r;
}

// Runs `processes` writers at once; false when one of them failed.
bool RunWriters(const Paths& p, TxbLokProtocol protocol, int processes, double seconds, Result& total) {
  struct Child {
    pid_t pid;
    int fd;
  };
  std::vector<Child> children;
  std::fflush(nullptr);
  for (int i = 0; i < processes; ++i) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      int status = 0;
      try {
        const std::string text = Encode(Writer(p, protocol, seconds, 1000u + static_cast<unsigned>(i)));
        std::size_t done = 0;
        while (done < text.size()) {
          const ssize_t n = write(fds[1], text.data() + done, text.size() - done);
          if (n <= 0) break;
          done += static_cast<std::size_t>(n);
        }
      } catch (const std::exception& e) {
        std::fprintf(stderr, "writer %d: %s\n", i, e.what());
        status = 1;
      }
      close(fds[1]);
      _exit(status);
    }
    close(fds[1]);
    children.push_back({pid, fds[0]});
  }
  bool ok = true;
  for (const Child& c : children) {
    std::string text;
    char buffer[65536];
    ssize_t n;
    while ((n = read(c.fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
    close(c.fd);
    int status = 0;
    waitpid(c.pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ok = false;
    const Result r = Decode(text);
    total.operations += r.operations;
    total.gaveUp += r.gaveUp;
    total.waitsUs.insert(total.waitsUs.end(), r.waitsUs.begin(), r.waitsUs.end());
    total.appended.insert(total.appended.end(), r.appended.begin(), r.appended.end());
  }
  return ok;
}

// Record numbers of a tag's walk, deleted records included.
std::vector<int32_t> WalkTag(XBO_dBHandler& t, const char* tag) {
  t.SelectTag(tag, false);
  std::vector<int32_t> walk;
  for (t.GoRecord(xbmoFirst); !t.Eof() && walk.size() <= static_cast<std::size_t>(t.RecordCount());
       t.GoRecord(xbmoNext))
    walk.push_back(t.RecordNumber());
  return walk;
}

// Problems found in the table after a run; empty when it is sound.
std::vector<std::string> CheckTable(const Paths& p, const Result& total) {
  std::vector<std::string> problems;
  std::map<long, int> seen;
  {
    XBO_dBHandler t(p.journal, false, false, "");
    t.SetShowDeleted(true);
    for (int32_t n = 1; n <= t.RecordCount(); ++n) {
      t.GoRecord(n);
      const auto doc = static_cast<long>(t.GetNumber("DOC"));
      if (++seen[doc] == 2) problems.push_back("document " + std::to_string(doc) + " appears twice");
      if (!MemoWhole(t.GetText("NOTE"), doc)) problems.push_back("memo of record " + std::to_string(n) + " is not whole");
    }
  }
  std::set<long> appended(total.appended.begin(), total.appended.end());
  if (appended.size() != total.appended.size()) problems.push_back("a document number was handed out twice");
  for (long doc : appended)
    if (!seen.count(doc)) problems.push_back("document " + std::to_string(doc) + " was lost");
  for (const auto& [doc, times] : seen)
    if (!appended.count(doc)) problems.push_back("document " + std::to_string(doc) + " was never appended");

  // The same tags built afresh in a copy walk alike: equal keys by record.
  const std::string copyDir = p.dir + "rebuilt/";
  std::filesystem::create_directories(copyDir);
  std::filesystem::copy_file(p.journal, copyDir + "journal.dbf");
  std::filesystem::copy_file(p.dir + "journal.fpt", copyDir + "journal.fpt");
  XBO_dBHandler live(p.journal, false, false, "");
  live.OpenIndexFile("journal.cdx");
  live.SetShowDeleted(true);
  XBO_dBHandler fresh(copyDir + "journal.dbf", false, true, "");
  for (const TagDef& tag : kTags) fresh.CreateIndexTag(copyDir + "journal.cdx", tag.name, 0, 1, "", tag.key);
  fresh.OpenIndexFile("journal.cdx");
  fresh.SetShowDeleted(true);
  for (const TagDef& tag : kTags)
    if (WalkTag(live, tag.name) != WalkTag(fresh, tag.name))
      problems.push_back(std::string("tag ") + tag.name + " differs from a rebuild");
  return problems;
}

long Percentile(std::vector<long> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto at = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(at, values.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = bench::QuickRun(argc, argv);
  int processes = quick ? 2 : 8;
  double seconds = quick ? 3 : 60;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--processes=", 12) == 0) processes = std::max(1, std::atoi(argv[i] + 12));
    if (std::strncmp(argv[i], "--seconds=", 10) == 0) seconds = std::max(0.5, std::atof(argv[i] + 10));
  }
  EngineStartup();
  char pattern[] = "/tmp/lock_soak_XXXXXX";
  const char* base = mkdtemp(pattern);
  if (!base) return 1;
  bool sound = true;
  for (TxbLokProtocol protocol :
       {TxbLokProtocol::Default, TxbLokProtocol::DB4Lock, TxbLokProtocol::ClipLock, TxbLokProtocol::FoxLock}) {
    Paths p;
    p.dir = std::string(base) + "/" + ProtocolName(protocol) + "/";
    p.journal = p.dir + "journal.dbf";
    p.counter = p.dir + "counter.dbf";

    // The baseline: one writer alone, for a quarter of the time.
    CreateTables(p);
    Result alone;
    const double aloneSeconds = std::max(0.5, seconds / 4);
    if (!RunWriters(p, protocol, 1, aloneSeconds, alone)) sound = false;

    CreateTables(p);
    Result total;
    if (!RunWriters(p, protocol, processes, seconds, total)) sound = false;
    const double perSecond = static_cast<double>(total.operations) / seconds;
    const double alonePerSecond = static_cast<double>(alone.operations) / aloneSeconds;
    std::printf(
        "%s, %d writers for %.0f s: %.0f operations/s, lock waits %zu (median %.1f ms, 99th percentile %.1f ms, "
        "maximum %.1f ms), %ld gave up; baseline (one writer alone) %.0f operations/s, ratio %.3f\n",
        ProtocolName(protocol), processes, seconds, perSecond, total.waitsUs.size(),
        static_cast<double>(Percentile(total.waitsUs, 0.5)) / 1000,
        static_cast<double>(Percentile(total.waitsUs, 0.99)) / 1000,
        static_cast<double>(Percentile(total.waitsUs, 1.0)) / 1000, total.gaveUp, alonePerSecond,
        alonePerSecond > 0 ? perSecond / alonePerSecond : 0.0);
    const std::vector<std::string> problems = CheckTable(p, total);
    for (std::size_t i = 0; i < problems.size() && i < 10; ++i)
      std::printf("  %s: %s\n", ProtocolName(protocol), problems[i].c_str());
    if (!problems.empty()) sound = false;
    std::fflush(stdout);
  }
  std::filesystem::remove_all(base);
  std::printf(sound ? "every table sound\n" : "a check failed\n");
  return sound ? 0 : 1;
}
