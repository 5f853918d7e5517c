// Shared pieces of the tests of the framework and of what drives it (grids,
// edits): a journal-shaped VectorDataSet, a recorder of dataset events, and
// a data link that logs its notifications.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/db/dataset.h"
#include "platform/db/datasource.h"
#include "platform/db/testing/vector_dataset.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/format_settings.h"

namespace dbtest {

// Columns of the cash journal that the framework's rules touch: a date, a
// document number, a type, a description and the signed amount.
inline void DefineJournal(VectorDataSet& ds) {
  ds.FieldDefs().Add("PLA_DAT", ftDate);
  ds.FieldDefs().Add("PLA_DO1", ftString, 10);
  ds.FieldDefs().Add("PLA_TYP", ftString, 3);
  ds.FieldDefs().Add("PLA_KOM", ftString, 30);
  ds.FieldDefs().Add("PLA_HOD", ftFloat);
}

// n rows: document i (1-based) has number i, type "P" + i % 3, description
// "Doklad i", amount i * step for odd and -(i * step) for even documents,
// dates from 1.1.2026 on.
inline void FillJournal(VectorDataSet& ds, int n, double step = 10.0) {
  for (int i = 1; i <= n; ++i) {
    double amount = (i % 2 == 1 ? 1 : -1) * i * step;
    ds.AddRow({Variant::FromDateTime(EncodeDate(2026, 1, 1) + i - 1), Variant(IntToStr(i)),
               Variant("P" + IntToStr(i % 3)), Variant("Doklad " + IntToStr(i)), Variant(amount)});
  }
}

// Appends "Name" for every dataset event it hears.
struct EventLog {
  std::vector<std::string> events;

  void Attach(TDataSet& ds) {
    auto add = [this](TDataSetNotifyEvent& slot, const char* name) {
      slot = [this, name](TDataSet*) { events.emplace_back(name); };
    };
    add(ds.BeforeOpen, "BeforeOpen");
    add(ds.AfterOpen, "AfterOpen");
    add(ds.BeforeClose, "BeforeClose");
    add(ds.AfterClose, "AfterClose");
    add(ds.BeforeInsert, "BeforeInsert");
    add(ds.AfterInsert, "AfterInsert");
    add(ds.BeforeEdit, "BeforeEdit");
    add(ds.AfterEdit, "AfterEdit");
    add(ds.BeforePost, "BeforePost");
    add(ds.AfterPost, "AfterPost");
    add(ds.BeforeCancel, "BeforeCancel");
    add(ds.AfterCancel, "AfterCancel");
    add(ds.BeforeDelete, "BeforeDelete");
    add(ds.AfterDelete, "AfterDelete");
    add(ds.BeforeScroll, "BeforeScroll");
    add(ds.AfterScroll, "AfterScroll");
    add(ds.BeforeRefresh, "BeforeRefresh");
    add(ds.AfterRefresh, "AfterRefresh");
    add(ds.OnNewRecord, "OnNewRecord");
  }
  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(events);
    return out;
  }
};

// A link that records what it is told, as a grid or an edit would see it.
class LogLink : public TDataLink {
 public:
  std::vector<std::string> log;
  int scrolled = 0;  // sum of the scroll distances

  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(log);
    return out;
  }
  // The link's row rows (0-based) field value, read by switching the
  // dataset's active record as a grid does while drawing.
  AnsiString RowText(int row, const char* field) {
    int saved = ActiveRecord();
    SetActiveRecord(row);
    AnsiString text = DataSet()->FieldByName(field)->AsString();
    SetActiveRecord(saved);
    return text;
  }

 protected:
  void ActiveChanged() override { log.push_back(Active() ? "Active" : "Inactive"); }
  void DataSetChanged() override { log.push_back("Changed"); }
  void DataSetScrolled(int distance) override {
    scrolled += distance;
    log.push_back("Scrolled " + std::to_string(distance));
  }
  void EditingChanged() override { log.push_back(Editing() ? "Editing" : "NotEditing"); }
  void LayoutChanged() override { log.push_back("Layout"); }
  void RecordChanged(TField* field) override {
    log.push_back(std::string("Record ") + (field ? field->FieldName() : "*"));
  }
  void UpdateData() override { log.push_back("UpdateData"); }
};

// Restores the process format settings when a test changed them.
class FormatSettingsGuard {
 public:
  FormatSettingsGuard() : saved_(FormatSettings()) {}
  ~FormatSettingsGuard() { FormatSettings() = saved_; }

 private:
  TFormatSettings saved_;
};

}  // namespace dbtest
