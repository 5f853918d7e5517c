// What the dataset adapter costs on top of the table handler, on a
// journal-shaped table (ten stored fields, two calculated ones, the
// eight-tag compound index of the journal), both sides shared and with the
// index file open, on the same file copy:
//   (a) walk:  a forward walk reading all 12 fields as text through
//              TXbaseDataSet, against GoRecord and GetTextN with the OEM
//              translation (and the two calculated values) on the handler,
//              with its read-ahead (as a handler opens) and without it (as
//              the adapter opens its handler); and the same walk with
//              both sides opened exclusive (the adapter still without
//              read-ahead, its reads served by the table's block cache);
//   (b) edit:  PLA_STA changed on every record through Edit/Post, against
//              the handler's record lock, put, WriteRecord and release.
// Prints records per second for each side and the ratio dataset/handler.
// --quick: 2000 records and one run per case (CTest keeps it working);
// otherwise 100000 (or --records=N) and the median of five runs.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/bench_harness.h"
#include "dbase/table/dbf_create.h"
#include "dbase/handler/dbf_object.h"
#include "dbase/dataset/xbase_dataset.h"
#include "dbase/base/engine.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/floatconv.h"

namespace {

struct Options {
  int records = 100000;
  int runs = 5;
};

// The journal's tags; the document number's is the unique one.
const struct {
  const char* tag;
  const char* key;
  int uniqueness;
} kTags[] = {{"DO1", "PLA_DO1", 0}, {"KOM", "PLA_KOM", 1}, {"DAT", "PLA_DAT", 1}, {"TYP", "PLA_TYP", 1},
             {"KDO", "PLA_KDO", 1}, {"SML", "PLA_SML", 1}, {"ROC", "PLA_ROC", 1}, {"HOD", "PLA_HOD", 1}};

void MakeJournal(const std::string& path, int records) {
  CreateDbfTable(path, {{"PLA_DAT", 'D', 0, 0},
                        {"PLA_DO1", 'C', 10, 0},
                        {"PLA_TYP", 'C', 3, 0},
                        {"PLA_KOM", 'C', 30, 0},
                        {"PLA_STA", 'N', 12, 2},
                        {"PLA_KDO", 'C', 30, 0},
                        {"PLA_BYT", 'C', 30, 0},
                        {"PLA_SML", 'C', 10, 0},
                        {"PLA_HOD", 'N', 12, 2},
                        {"PLA_ROC", 'C', 10, 0}});
  XBO_dBaseFld t(path, false, true, "");
  double balance = 0;
  for (int i = 0; i < records; ++i) {
    char text[64];
    const double amount = ((i * 7919) % 20011 - 10000) * 0.25;
    balance += amount;
    t.BlankRecord();
    std::snprintf(text, sizeof text, "2024%02d%02d", 1 + i % 12, 1 + (i * 7) % 28);
    t.PutRaw("PLA_DAT", text);
    std::snprintf(text, sizeof text, "%08d", i + 1);
    t.PutText("PLA_DO1", text);
    t.PutText("PLA_TYP", i % 3 ? "P01" : "V02");
    std::snprintf(text, sizeof text, "\x8e\x6c\x75\x9c\x6f\x75\xe9\x6b\xe7 %d", (i * 31) % 997);  // OEM text
    t.PutText("PLA_KOM", text);
    t.PutNumber("PLA_STA", balance);
    std::snprintf(text, sizeof text, "Partner %d", i % 503);
    t.PutText("PLA_KDO", text);
    t.PutText("PLA_BYT", "Adresa 12");
    std::snprintf(text, sizeof text, "S%d", i % 1000);
    t.PutText("PLA_SML", text);
    t.PutNumber("PLA_HOD", amount);
    std::snprintf(text, sizeof text, "%010d", (i * 104729) % 1000000007);
    t.PutText("PLA_ROC", text);
    t.AppendRecord();
  }
}

std::unique_ptr<TXbaseDataSet> OpenDataSet(const std::string& table, const std::string& cdx,
                                           bool exclusive = false) {
  auto ds = std::make_unique<TXbaseDataSet>(nullptr);
  ds->SetTableName(table);
  ds->SetExclusive(exclusive);
  // The journal's calculated pair, as the application defines it.
  ds->FieldDefs().Update();
  for (int i = 0; i < ds->FieldDefs().Count(); ++i) ds->FieldDefs().Items(i)->CreateField(ds.get(), ds.get());
  for (const char* name : {"PLA_PRI", "PLA_VYD"}) {
    auto* f = new TFloatField(ds.get());
    f->SetFieldName(name);
    f->SetFieldKind(fkCalculated);
    f->SetDataSet(ds.get());
  }
  TField* hod = ds->FieldByName("PLA_HOD");
  TField* pri = ds->FieldByName("PLA_PRI");
  TField* vyd = ds->FieldByName("PLA_VYD");
  ds->OnCalcFields = [hod, pri, vyd](TDataSet*) {
    const double amount = hod->AsFloat();
    pri->SetAsFloat(amount > 0 ? amount : 0);
    vyd->SetAsFloat(amount < 0 ? -amount : 0);
  };
  ds->Open();
  ds->AttachIndexFile(cdx);
  return ds;
}

}  // namespace

int main(int argc, char** argv) {
  EngineStartup();
  Options options;
  if (bench::QuickRun(argc, argv)) {
    options.records = 2000;
    options.runs = 1;
  }
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--records=", 10) == 0) options.records = std::atoi(argv[i] + 10);

  const std::string dir = bench::ScratchDirectory("dataset-overhead");
  if (dir.empty()) return 1;
  const std::string table = dir + "PLA0001.DBF";
  const std::string cdx = dir + "PLA0001.CDX";
  MakeJournal(table, options.records);
  {
    auto builder = std::make_unique<TXbaseDataSet>(nullptr);
    builder->SetTableName(table);
    builder->Open();
    for (const auto& t : kTags) builder->BuildIndexTag(cdx, t.tag, 0, t.uniqueness, "", t.key);
  }
  std::printf("dataset_overhead: %d records, 8-tag CDX open, shared\n", options.records);
  const double n = options.records;

  // (a) forward walk reading every field as text.
  std::size_t sink = 0;
  const double walkDataSet = bench::MedianNs(
      [&] {
        auto ds = OpenDataSet(table, cdx);
        const int count = ds->FieldCount();
        for (ds->First(); !ds->Eof(); ds->Next())
          for (int f = 0; f < count; ++f) sink += ds->Fields()[f]->AsString().size();
      },
      options.runs);
  auto handlerWalk = [&](bool readAhead, bool shared = true) {
    DBFObject t(table, shared, true, "");
    t.SetTranslateOem(true);
    t.SetReadAhead(readAhead);
    t.OpenIndexFile(cdx);
    const int count = t.FieldCount();
    const int hod = t.FieldNumber("PLA_HOD");
    for (t.GoRecord(xbmoFirst); !t.Eof(); t.GoRecord(xbmoNext)) {
      for (int f = 1; f <= count; ++f) sink += OemToAnsi(t.GetTextN(f)).size();
      const double amount = t.GetNumberN(hod);
      sink += FloatToStr(amount > 0 ? amount : 0).size() + FloatToStr(amount < 0 ? -amount : 0).size();
    }
  };
  const double walkHandler = bench::MedianNs([&] { handlerWalk(true); }, options.runs);
  // The adapter opens its table without read-ahead, so that every record
  // is read when it is shown; the handler in that setting is the base of
  // what the adapter itself adds.
  const double walkHandlerDirect = bench::MedianNs([&] { handlerWalk(false); }, options.runs);
  bench::KeepAlive(sink);
  std::printf("walk: dataset %.0f records/s, handler %.0f records/s (%.0f without read-ahead)\n",
              n / walkDataSet * 1e9, n / walkHandler * 1e9, n / walkHandlerDirect * 1e9);
  bench::Report("walk, 12 fields as text", walkDataSet, walkHandler, "table handler", n);
  bench::Report("walk, 12 fields as text, both without read-ahead", walkDataSet, walkHandlerDirect,
                "table handler without read-ahead", n);
  // Exclusive opens: nobody else can change the file; the handler reads
  // ahead, the adapter does not, but its handler keeps copies of the
  // table's blocks (read eight at a time in a walk).
  const double walkDataSetExclusive = bench::MedianNs(
      [&] {
        auto ds = OpenDataSet(table, cdx, true);
        const int count = ds->FieldCount();
        for (ds->First(); !ds->Eof(); ds->Next())
          for (int f = 0; f < count; ++f) sink += ds->Fields()[f]->AsString().size();
      },
      options.runs);
  const double walkHandlerExclusive = bench::MedianNs([&] { handlerWalk(true, false); }, options.runs);
  bench::KeepAlive(sink);
  bench::Report("walk, 12 fields as text, exclusive", walkDataSetExclusive, walkHandlerExclusive,
                "table handler, exclusive", n);

  // (b) an edit of PLA_STA on every record.
  double bump = 0;
  const double editDataSet = bench::MedianNs(
      [&] {
        auto ds = OpenDataSet(table, cdx);
        TField* sta = ds->FieldByName("PLA_STA");
        bump += 1;
        for (ds->First(); !ds->Eof(); ds->Next()) {
          ds->Edit();
          sta->SetAsFloat(sta->AsFloat() + bump);
          ds->Post();
        }
      },
      options.runs);
  const double editHandler = bench::MedianNs(
      [&] {
        DBFObject t(table, true, true, "");
        t.SetTranslateOem(true);
        t.OpenIndexFile(cdx);
        const int sta = t.FieldNumber("PLA_STA");
        bump += 1;
        for (t.GoRecord(xbmoFirst); !t.Eof(); t.GoRecord(xbmoNext)) {
          if (!t.LockCurrentRecord()) return;
          t.PutNumberN(sta, t.GetNumberN(sta) + bump);
          t.WriteRecord(t.RecordNumber());
          t.ReleaseLock();
        }
      },
      options.runs);
  std::printf("edit: dataset %.0f records/s, handler %.0f records/s\n", n / editDataSet * 1e9, n / editHandler * 1e9);
  bench::Report("edit PLA_STA through Edit/Post", editDataSet, editHandler, "table handler", n);

  std::filesystem::remove_all(dir);
  return 0;
}
