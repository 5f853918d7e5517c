// A writer for the shared-table soak tests: appends documents, edits their
// keys and memos and deletes records on one table for a number of seconds,
// locking either through this engine's protocols or exactly as another
// family of xBase programs does (and otherwise writing through the engine):
//
//   foxpro   table: append 0x7FFFFFFE, record n 0x7FFFFFFE - n (as Default);
//            .cdx one byte at 0x7FFFFFFE; memo one byte at 0
//   clipper  table: append 1 000 000 000, record n 1 000 000 000 + n (as
//            ClipLock); .ntx one byte at 1 000 000 000; memo one byte at 0
//   default, cliplock   this engine's own protocols
//
//   xbase_soak_writer TABLE SIDE SECONDS SEED LOCKS INDEXFILE...
//
// Documents are numbered SIDE * 1 000 000 + 1, 2, ...; the numbers this side
// appended go to TABLE.sideSIDE, one per line. Prints one line of counts.
// Exits 0 unless something other than a refused lock went wrong.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "dbase/base/engine.h"
#include "dbase/base/errors.h"
#include "dbase/handler/dbf_object.h"
#include "dbase/index/index_core.h"
#include "dbase/tests/support/soak_memo.h"

namespace {

struct Counts {
  int appends = 0, edits = 0, deletes = 0, gaveUp = 0;
};

// Waits for the current record's lock as an editing user would, up to
// about five seconds.
bool LockRecordWaiting(DBFObject& t) {
  for (int i = 0; i < 5000; ++i) {
    if (t.LockCurrentRecord()) return true;
    usleep(1000);
  }
  return false;
}

// "Could not lock indexes for Table %s", "Can not Lock file %s".
bool IsRefusedLock(const EXbaseError& e) {
  const std::string m = e.Message();
  return m.rfind("Could not lock", 0) == 0 || m.rfind("Can not Lock", 0) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7) {
    std::cerr << "usage: xbase_soak_writer TABLE SIDE SECONDS SEED LOCKS INDEXFILE...\n";
    return 2;
  }
  const std::string path = argv[1];
  const int side = std::atoi(argv[2]);
  const double seconds = std::atof(argv[3]);
  std::mt19937 random(static_cast<unsigned>(std::atoi(argv[4])));
  const std::string locks = argv[5];
  EngineStartup();

  DBFObject t(path, true, true, "");
  const bool clipper = locks == "clipper" || locks == "cliplock";
  t.SetLockProtocol(clipper ? TxbLokProtocol::ClipLock : TxbLokProtocol::Default);
  for (int i = 6; i < argc; ++i) t.OpenIndexFile(argv[i]);
  if (locks == "foxpro" || locks == "clipper") {
    const TxbLockRegion index = clipper ? TxbLockRegion{1000000000u, 1} : TxbLockRegion{0x7FFFFFFEu, 1};
    for (int slot = 1; slot <= 63; ++slot)
      if (XBobjIndexFile* file = t.IndexFile(slot)) file->SetLockRegion(index);
    t.MemoFile().SetLockRegion(TxbLockRegion{0, 1});
  }
  t.SetShowDeleted(true);

  Counts counts;
  std::vector<int64_t> appended;
  auto keys = [&] {
    t.PutText("NAME", std::string(1, static_cast<char>('A' + random() % 26)) + std::to_string(random() % 1000));
    t.PutNumber("AMOUNT", static_cast<double>(random() % 100000) / 100);
  };
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  int version = 0;
  try {
    while (std::chrono::steady_clock::now() < end) {
      const unsigned what = random() % 10;
      try {
        if (what < 4 || t.RecordCount() == 0) {
          const int64_t doc = int64_t{side} * 1000000 + static_cast<int64_t>(appended.size()) + 1;
          t.BlankRecord();
          t.PutNumber("DOC", static_cast<double>(doc));
          keys();
          t.PutText("NOTE", soak::MemoText(doc, ++version, static_cast<int>(random() % 1500)));
          t.AppendRecord();
          appended.push_back(doc);
          ++counts.appends;
        } else {
          const int32_t n = static_cast<int32_t>(1 + random() % static_cast<unsigned>(t.RecordCount()));
          t.GoRecord(n);
          if (what < 8) {
            if (!LockRecordWaiting(t)) {
              ++counts.gaveUp;
              continue;
            }
            try {
              t.GoRecord(n);  // read again under the lock
              const auto doc = static_cast<int64_t>(t.GetNumber("DOC"));
              keys();
              t.PutText("NOTE", soak::MemoText(doc, ++version, static_cast<int>(random() % 1500)));
              t.WriteRecord(n);
            } catch (...) {
              t.ReleaseLock();
              throw;
            }
            t.ReleaseLock();
            ++counts.edits;
          } else if (t.DeleteRecord()) {
            ++counts.deletes;
          }
        }
      } catch (const EXbaseError& e) {
        if (!IsRefusedLock(e)) throw;
        ++counts.gaveUp;
      }
      usleep(static_cast<useconds_t>(random() % 200));
    }
  } catch (const std::exception& e) {
    std::cerr << "side " << side << ": " << e.what() << "\n";
    return 1;
  }
  std::ofstream log(path + ".side" + std::to_string(side));
  for (int64_t doc : appended) log << doc << "\n";
  std::printf("side %d: %d appends, %d edits, %d deletes, %d gave up\n", side, counts.appends, counts.edits,
              counts.deletes, counts.gaveUp);
  return 0;
}
