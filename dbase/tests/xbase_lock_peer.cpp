// The other workstation of the dataset's lock tests. It reads one command
// per line on standard input, works on its own TXbaseDataSet (its own open
// files, so its locks are a separate program's locks) and answers one line
// on standard output: "ok", "error <message>" or a value.
//
//   open <table> [<index file>]   opens the table (with the index file)
//   edit <record>                  moves to the record and starts an edit
//   set <field> <text>             sets a field of the edit
//   post | cancel                  ends the edit
//   value <field>                  the field's text in the current record
//   increment <field> <times>      edits the current record that many times,
//                                  adding 1 each time (waits out locks)
//   append <count> <prefix>        appends journal documents <prefix>0001...
//   lockindex <table> <index file> holds the index file's write lock
//   unlockindex                    releases it
//   quit
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "dbase/handler/dbf_object.h"
#include "dbase/dataset/xbase_dataset.h"
#include "dbase/base/engine.h"
#include "dbase/base/errors.h"
#include "platform/rtl/system.h"

namespace {

void Answer(const std::string& line) {
  std::cout << line << std::endl;
}

std::string Rest(std::istringstream& in) {
  std::string rest;
  std::getline(in, rest);
  if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
  return rest;
}

void Increment(TXbaseDataSet& ds, const std::string& field, int times) {
  const AnsiString locked = XbMessage(xbmRecordLocked);
  for (int i = 0; i < times; ++i) {
    for (;;) {
      try {
        ds.Edit();
        break;
      } catch (const EDatabaseError& e) {
        if (e.Message() != locked) throw;
        usleep(200);
      }
    }
    TField* f = ds.FieldByName(field);
    f->SetAsInteger(f->AsInteger() + 1);
    ds.Post();
  }
}

void Append(TXbaseDataSet& ds, int count, const std::string& prefix) {
  for (int i = 1; i <= count; ++i) {
    char doc[32];
    std::snprintf(doc, sizeof doc, "%s%04d", prefix.c_str(), i);
    ds.Append();
    ds.FieldByName("PLA_DO1")->SetAsString(doc);
    ds.FieldByName("PLA_KOM")->SetAsString(std::string("Peer ") + doc);
    ds.FieldByName("PLA_TYP")->SetAsString("P01");
    ds.FieldByName("PLA_HOD")->SetAsFloat(i * 3.5);
    ds.FieldByName("PLA_DAT")->SetAsDateTime(EncodeDate(2025, 1 + i % 12, 1 + i % 28));
    ds.Post();
  }
}

}  // namespace

int main() {
  EngineStartup();
  // Lock retries between two busy processes need not wait 50 ms each.
  SetSleepHook([](int) { usleep(2000); });
  std::unique_ptr<TXbaseDataSet> ds;
  std::unique_ptr<DBFObject> indexHolder;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "quit") break;
    try {
      if (command == "open") {
        std::string table;
        std::string index;
        in >> table >> index;
        ds = std::make_unique<TXbaseDataSet>(nullptr);
        ds->SetTableName(table);
        ds->Open();
        if (!index.empty()) ds->AttachIndexFile(index);
        Answer("ok");
      } else if (command == "edit") {
        int record = 0;
        in >> record;
        ds->SetRecNo(record);
        ds->Edit();
        Answer("ok");
      } else if (command == "set") {
        std::string field;
        in >> field;
        ds->FieldByName(field)->SetAsString(Rest(in));
        Answer("ok");
      } else if (command == "post") {
        ds->Post();
        Answer("ok");
      } else if (command == "cancel") {
        ds->Cancel();
        Answer("ok");
      } else if (command == "value") {
        std::string field;
        in >> field;
        Answer(ds->FieldByName(field)->AsString());
      } else if (command == "increment") {
        std::string field;
        int times = 0;
        in >> field >> times;
        Increment(*ds, field, times);
        Answer("ok");
      } else if (command == "append") {
        int count = 0;
        std::string prefix;
        in >> count >> prefix;
        Append(*ds, count, prefix);
        Answer("ok");
      } else if (command == "lockindex") {
        std::string table;
        std::string index;
        in >> table >> index;
        indexHolder = std::make_unique<DBFObject>(table, true, true, "");
        indexHolder->OpenIndexFile(index);
        indexHolder->LockIndexes();
        Answer("ok");
      } else if (command == "unlockindex") {
        indexHolder->UnlockIndexes();
        indexHolder.reset();
        Answer("ok");
      } else {
        Answer("error unknown command " + command);
      }
    } catch (const std::exception& e) {
      Answer(std::string("error ") + e.what());
    }
  }
  ds.reset();
  indexHolder.reset();
  return 0;
}
