// The range reports' tests: the program started on a demo year with a fake
// printer, the home and documents folders in a temporary directory, the
// date dialog answered, every report printed straight to the printer (no
// output-options form) with its page stream kept for report_capture, and
// the range summed independently by journal_sums.py.
#pragma once

#include <stdlib.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/data_module.h"
#include "app/main_window.h"
#include "app/range_dialog.h"
#include "app/report_module.h"
#include "app/tests/program_scope.h"
#include "app/tests/report_capture.h"
#include "app/tests/temp_data_dir.h"
#include "platform/gui/testing/fake_printers.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/codepages.h"
#include "testing/tool_run.h"

namespace app_test {

// Sets an environment variable for a scope (unset: null).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnv() { had_ ? setenv(name_.c_str(), old_.c_str(), 1) : unsetenv(name_.c_str()); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool had_ = false;
};

using RangeCommand = void (TPlatebna::*)(TObject*);
constexpr RangeCommand kCashBook = &TPlatebna::Platebnakniha1Click;
constexpr RangeCommand kBreakdown = &TPlatebna::Sestavarozloen1Click;

// The dialog's answer: texts typed into the date edits, the export box,
// and Start (or Storno).
struct RangeAnswer {
  const char* from = "01.01.2024";
  const char* to = "31.12.2024";
  bool exportData = false;
  bool start = true;
};

class RangeProgram {
 public:
  // With documents below 0 the data directory starts empty (the caller
  // writes its own journal and calls Start).
  explicit RangeProgram(int documents = 300, bool start = true)
      : dir_(documents < 0 ? 1 : documents),
        home_("HOME", dir_.Root().c_str()),
        config_("XDG_CONFIG_HOME", (dir_.Root() + ".config").c_str()),
        fake_(InstallFakePrinters({{"Office", OfficePrinterCaps(), true}}, 0)) {
    if (start) Start();
  }
  ~RangeProgram() {
    program_.reset();
    SetPrinterBackend(nullptr);
  }
  RangeProgram(const RangeProgram&) = delete;
  RangeProgram& operator=(const RangeProgram&) = delete;

  void Start() {
    program_ = std::make_unique<ProgramScope>();
    TReportSystem* rs = DataSestavy->ReportSystem;
    rs->SystemFiler.StreamMode = smFile;
    rs->SystemFiler.FileName = StreamFile();
    // The page stream is made first and then printed, so both are kept.
    rs->SystemOptions.insert(soUseFiler);
    rs->OverrideSetup = [rs](TObject*, int step, TObject*&) {
      if (step == 1) rs->ReportDest = rdPrinter;
    };
  }

  const TempDataDir& Dir() const { return dir_; }
  FakePrinterBackend& Fake() { return *fake_; }
  std::string StreamFile() const { return dir_.Root() + "range.rps"; }
  std::string Documents() const { return dir_.Root() + "Documents/"; }

  // Runs a menu command with the dialog answered; the message boxes it
  // showed are kept in Boxes.
  void Run(RangeCommand command, const RangeAnswer& answer) {
    std::remove(StreamFile().c_str());
    fake_->jobs.clear();
    MessageBoxRecorder recorder;
    OnNextModal([answer](TCustomForm* form) {
      auto* d = static_cast<TSesPrehOdDo*>(form);
      d->LomridDateEdit1->SetText(answer.from);
      d->LomridDateEdit2->SetText(answer.to);
      d->CheckBox1->SetChecked(answer.exportData);
      TButton* button = answer.start ? d->Button1 : d->Button2;
      MouseClick(button, 10, 10);
    });
    (Platebna->*command)(nullptr);
    Boxes.clear();
    for (const TMessageBoxRequest& box : recorder.Boxes()) Boxes.push_back(box.Text);
  }
  bool Printed() const { return !fake_->jobs.empty(); }
  ReportCapture Capture() const { return CaptureReportFile(StreamFile()); }

  std::vector<AnsiString> Boxes;

 private:
  TempDataDir dir_;
  ScopedEnv home_;
  ScopedEnv config_;
  FakePrinterBackend* fake_;
  std::unique_ptr<ProgramScope> program_;
};

// Gives the journal's records, in record order, these types and amounts
// (dates kept; the index file maintained). Records past the list keep
// theirs.
struct TypedAmount {
  const char* type;
  double amount;
};
inline void RewriteJournal(const TempDataDir& dir, const std::vector<TypedAmount>& rows) {
  auto d = OpenTable(dir.DataDir(), "Pla0001.dbf");
  d->AttachIndexFile(dir.Data("Pla0001.cdx"));
  std::size_t i = 0;
  for (d->First(); !d->Eof() && i < rows.size(); d->Next(), ++i) {
    d->Edit();
    d->FieldByName("PLA_TYP")->SetAsString(rows[i].type);
    d->FieldByName("PLA_HOD")->SetAsFloat(rows[i].amount);
    d->Post();
  }
  d->Close();
}

// The rows of a captured report: the non-empty texts of one baseline of a
// page, left to right.
struct CapturedRow {
  int page = 0;
  std::vector<const CapturedText*> cells;
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const CapturedText* c : cells) out.push_back(AnsiToUtf8(Trim(c->text)));
    return out;
  }
};

inline std::vector<CapturedRow> Rows(const ReportCapture& capture) {
  std::vector<CapturedRow> rows;
  for (const CapturedText& t : capture.texts) {
    if (Trim(t.text).empty()) continue;
    if (rows.empty() || rows.back().page != t.page || std::abs(rows.back().cells.front()->y - t.y) > 1e-6)
      rows.push_back({t.page, {}});
    rows.back().cells.push_back(&t);
  }
  return rows;
}

// What journal_sums.py says of a range: amounts in hellers.
struct RangeSums {
  int documents = -1;
  long long receipts = 0;
  long long expenses = 0;
  std::map<std::string, std::pair<long long, int>> types;  // sum, count
};

inline long long ParseHellers(const std::string& text) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string digits = negative ? text.substr(1) : text;
  const std::size_t dot = digits.find('.');
  const long long value = std::stoll(digits.substr(0, dot)) * 100 + std::stoll(digits.substr(dot + 1));
  return negative ? -value : value;
}

// Status 77 of the script (dbfread missing) leaves documents at -1.
inline RangeSums JournalSums(const std::string& dir, const char* from, const char* to) {
  ToolRun run = RunTool({"/usr/bin/python3", JOURNAL_SUMS_SCRIPT, dir, "0001", from, to});
  RangeSums sums;
  if (run.status != 0) return sums;
  std::istringstream in(run.output);
  std::string word;
  while (in >> word) {
    std::string value;
    if (word == "documents") {
      in >> sums.documents;
    } else if (word == "receipts") {
      in >> value;
      sums.receipts = ParseHellers(value);
    } else if (word == "expenses") {
      in >> value;
      sums.expenses = ParseHellers(value);
    } else if (word == "type") {
      std::string code;
      int count = 0;
      in >> code >> value >> count;
      sums.types[code] = {ParseHellers(value), count};
    }
  }
  return sums;
}

// A report's amount text ("1 234,56" or "-12,00") in hellers.
inline long long TextHellers(const AnsiString& text) {
  std::string digits;
  for (char c : std::string(text))
    if (c != ' ') digits += c == ',' ? '.' : c;
  return ParseHellers(digits);
}

}  // namespace app_test
