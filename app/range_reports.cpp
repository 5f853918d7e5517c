// The two range reports of the report module: the cash book (every document
// of a date range with receipts, expenses and the running balance) and the
// breakdown of the range by operation type. Both read the journal through
// SesPlatebna, which the command has opened on tag DAT; the breakdown sums
// the range into the in-memory table SesTypu first.
//
// Totals are kept in double: a year's takings summed in single precision
// print wrong crowns and cents; only the "%10.2f" output rounds them.
#include <cmath>

#include "app/data_module.h"
#include "app/report_module.h"
#include "platform/db/fields.h"
#include "platform/gui/application.h"
#include "platform/gui/controls.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"
#include "report/base_report.h"

namespace {

constexpr const char* kReportFont = "ArialCE";
constexpr uint8_t kCentralEuropean = 238;
// A page ends when fewer lines than this are left for the next row and the
// page number.
constexpr int kLinesForBreak = 5;

AnsiString DateText(TDateTime date) { return FormatDateTime("dd.mm.yyyy", date); }

// An amount as the reports print it; a value that rounds to zero prints
// "0,00", never "-0,00".
AnsiString Money(std::string_view format, double value) {
  if (std::fabs(value) < 0.005) value = 0.0;
  return Format(format, value);
}

void Font(TBaseReport* report, double size) {
  report->SelectFont(kReportFont, size);
  report->SetFontCharset(kCentralEuropean);
}

// Font 10, the page's margins and a fresh start at its top.
void StartPage(TBaseReport* report) {
  Font(report, 10);
  report->SetMarginLeft(1);
  report->SetMarginRight(1);
  report->SetMarginTop(2);
  report->SetMarginBottom(2);
  report->MarkSectionTop();
  report->Home();
  report->ClearAllTabs();
}

struct Stop {
  double pos;  // cm; below 0 right after the previous stop
  double width;
  TPrintJustify justify;
};

void AddStops(TBaseReport* report, std::initializer_list<Stop> stops, int boxLines) {
  for (const Stop& s : stops) report->AddTab(s.pos, s.justify, s.width, 0, boxLines, 0);
}

constexpr double kNext = -1;

// Ends the page with its number when the next row would not fit.
void BreakIfFull(TBaseReport* report, int& page) {
  if (report->LinesLeft() >= kLinesForBreak) return;
  report->NewLine();
  report->PrintText("\tStrana " + IntToStr(page));
  ++page;
  report->NewPage();
}

}  // namespace

// -------------------------------------------------------------- the data

void TDataSestavy::CreateBreakdownTable() {
  SesTypu = new TmtMemTable(this);
  SesTypu->SetName("SesTypu");
  SesTypu->SetAttachMaxCount(1);
  SesTypu->FieldDefs().Add("SES_TYP", ftString, 3);
  SesTypu->FieldDefs().Add("SES_SUM", ftFloat);
  SesTypu->IndexDefs().Add("TYP", "SES_TYP", {ixPrimary, ixUnique});
  SesTypu->SetIndexName("TYP");

  auto add = [this](TField* field, const char* name, TFieldKind kind) {
    field->SetName(SesTypu->Name() + name);
    field->SetFieldName(name);
    field->SetFieldKind(kind);
    field->SetDataSet(SesTypu);
    return field;
  };
  auto* typ = new TStringField(this);
  typ->SetSize(3);
  add(typ, "SES_TYP", fkData);
  add(new TFloatField(this), "SES_SUM", fkData);
  auto* name = new TStringField(this);
  name->SetSize(25);
  for (auto [field, fieldName, result] : {std::tuple<TField*, const char*, const char*>{name, "SES_NAC", "FIN_NAC"},
                                          {new TIntegerField(this), "SES_JPR", "FIN_KOE"}}) {
    add(field, fieldName, fkLookup);
    field->SetKeyFields("SES_TYP");
    field->SetLookupKeyFields("FIN_TYP");
    field->SetLookupResultField(result);
  }
  add(new TIntegerField(this), "SES_POC", fkData);
}

void TDataSestavy::SesPreh(TDateTime from, TDateTime to) {
  SesPlatebna->SetKeyRange(DateText(from), DateText(to));
  SesPlatebna->First();
  if (ExportToExcel) {
    const TCursor saved = Screen->Cursor();
    Screen->SetCursor(crHourGlass);
    try {
      // RecordCount counts the whole file; only the range matters here.
      if (!SesPlatebna->Eof())
        ExportDataSet(SesPlatebna, Cz("\\Přehled pokladny od ") + DateText(from) + " do " + DateText(to) + ".xls");
    } catch (...) {
      Screen->SetCursor(saved);
      throw;
    }
    Screen->SetCursor(saved);
  }
  // A failed export may leave the cursor on the row where it stopped; the
  // report lists the whole range all the same.
  SesPlatebna->First();
  ReportKind = rkCashBook;
  ReportSystem->Execute();
}

void TDataSestavy::SesRozlozeni(TDateTime from, TDateTime to) {
  SesPlatebna->SetKeyRange(DateText(from), DateText(to));
  SesPlatebna->First();
  for (const char* name : {"SES_NAC", "SES_JPR"}) SesTypu->FieldByName(name)->SetLookupDataSet(Data->FinOperace);
  try {
    Data->FinOperace->Open();
    SesTypu->Open();
    SesTypu->ClearAllRecords();
    SesTypu->SetIndexName("TYP");

    TField* type = SesPlatebna->FieldByName("PLA_TYP");
    TField* amount = SesPlatebna->FieldByName("PLA_HOD");
    TField* sum = SesTypu->FieldByName("SES_SUM");
    TField* count = SesTypu->FieldByName("SES_POC");
    for (; !SesPlatebna->Eof(); SesPlatebna->Next()) {
      const AnsiString code = type->AsString();
      if (SesTypu->SeekKeyValues({Variant(code)})) {
        SesTypu->Edit();
        sum->SetAsFloat(sum->AsFloat() + amount->AsFloat());
        count->SetAsInteger(count->AsInteger() + 1);
      } else {
        SesTypu->Append();
        SesTypu->FieldByName("SES_TYP")->SetAsString(code);
        sum->SetAsFloat(amount->AsFloat());
        count->SetAsInteger(1);
      }
      SesTypu->Post();
    }

    if (ExportToExcel) {
      const TCursor saved = Screen->Cursor();
      Screen->SetCursor(crHourGlass);
      try {
        SesTypu->First();
        if (!SesTypu->Eof())
          ExportDataSet(SesTypu,
                        Cz("\\Rozložení příjmů a výdajů od ") + DateText(from) + " do " + DateText(to) + ".xls");
      } catch (...) {
        Screen->SetCursor(saved);
        throw;
      }
      Screen->SetCursor(saved);
    }
    ReportKind = rkBreakdown;
    ReportSystem->Execute();
  } catch (...) {
    SesTypu->Close();
    Data->FinOperace->Close();
    throw;
  }
  SesTypu->Close();
  Data->FinOperace->Close();
}

// ------------------------------------------------------------- the pages

void TDataSestavy::PrintCashBook(TBaseReport* report) {
  StartPage(report);
  double receipts = 0;
  double expenses = 0;
  int page = 1;

  Font(report, 12);
  AddStops(report,
           {{2, 0.2, pjLeft}, {kNext, 2, pjLeft}, {kNext, 7.5, pjLeft}, {kNext, 0.2, pjLeft}, {kNext, 2, pjLeft},
            {kNext, 7.5, pjRight}},
           0);
  report->PrintTextLine(Cz("\tPokladní kniha od ") + DateText(DateFrom) + " do " + DateText(DateTo));
  report->NewLine();
  report->ClearAllTabs();

  Font(report, 10);
  const std::initializer_list<Stop> columns = {{2, 2.5, pjLeft},   {kNext, 2.25, pjLeft}, {kNext, 2.25, pjLeft},
                                               {kNext, 5, pjLeft}, {kNext, 2, pjRight},   {kNext, 2, pjRight},
                                               {kNext, 2, pjRight}};
  AddStops(report, columns, BOXLINEBOTTOM);
  report->PrintTextLine(Cz("\tDatum\tDoklad\tPár.doklad\tPopis operace\tPříjmy\tVýdaje\tZůstatek"));
  report->ClearAllTabs();
  AddStops(report, columns, 0);

  TField* date = SesPlatebna->FieldByName("PLA_DAT");
  TField* document = SesPlatebna->FieldByName("PLA_DO1");
  TField* pair = SesPlatebna->FieldByName("PLA_SML");
  TField* text = SesPlatebna->FieldByName("PLA_KOM");
  TField* amount = SesPlatebna->FieldByName("PLA_HOD");
  TField* balance = SesPlatebna->FieldByName("PLA_STA");
  while (!SesPlatebna->Eof()) {
    report->PrintText("\t" + DateText(date->AsDateTime()) + "\t" + document->AsString() + "\t" + pair->AsString() +
                      "\t" + text->AsString());
    const double value = amount->AsFloat();
    if (value > 0) {
      report->PrintInTab(Money("%8.2f", value));
      receipts += value;
    } else {
      report->PrintInTab("");
    }
    if (value <= 0) {
      report->PrintInTab(Money("%8.2f", value));
      expenses += value;
    } else {
      report->PrintInTab("");
    }
    report->PrintInTab(Money("%8.2f", balance->AsFloat()) + "\t");
    BreakIfFull(report, page);
    SesPlatebna->Next();
    report->NewLine();
  }

  report->PrintTextLine("\tCelkem za sestavu\t\t\t\t" + Money("%10.2f", receipts) + "\t" + Money("%10.2f", expenses));
  report->NewLine();
  report->ClearAllTabs();
  report->GotoSectionBottom();
}

void TDataSestavy::PrintBreakdown(TBaseReport* report) {
  StartPage(report);
  double receipts = 0;
  double expenses = 0;
  int page = 1;

  const std::initializer_list<Stop> columns = {{2, 2, pjLeft}, {kNext, 7, pjLeft}, {kNext, 3, pjRight}};
  Font(report, 12);
  AddStops(report, columns, 0);
  report->PrintTextLine(Cz("\tRozložení příjmů a výdajů pokladny od ") + DateText(DateFrom) + " do " +
                        DateText(DateTo));
  report->NewLine();
  report->ClearAllTabs();

  Font(report, 10);
  AddStops(report, columns, 0);
  report->PrintTextLine(Cz("\tTyp\tPopis\tČástka"));
  report->ClearAllTabs();
  AddStops(report, columns, 0);

  TField* type = SesTypu->FieldByName("SES_TYP");
  TField* name = SesTypu->FieldByName("SES_NAC");
  TField* sign = SesTypu->FieldByName("SES_JPR");
  TField* sum = SesTypu->FieldByName("SES_SUM");
  // A type missing from the operation types has no coefficient and is
  // listed with the expenses.
  for (SesTypu->First(); !SesTypu->Eof();) {
    if (sign->AsInteger() > 0) {
      report->PrintText("\t" + type->AsString() + "\t" + name->AsString());
      report->PrintInTab(Money("%8.2f", sum->AsFloat()));
      receipts += sum->AsFloat();
      report->NewLine();
    }
    SesTypu->Next();
    BreakIfFull(report, page);
  }
  report->PrintTextLine(Cz("\tCelkem za příjmy\t\t") + Money("%10.2f", receipts));

  for (SesTypu->First(); !SesTypu->Eof();) {
    if (sign->AsInteger() <= 0) {
      report->PrintText("\t" + type->AsString() + "\t" + name->AsString());
      report->PrintInTab(Money("%8.2f", -sum->AsFloat()));
      expenses -= sum->AsFloat();
      report->NewLine();
    }
    SesTypu->Next();
    BreakIfFull(report, page);
  }
  report->PrintTextLine(Cz("\tCelkem za výdeje\t\t") + Money("%10.2f", expenses));
  report->PrintTextLine(Cz("\tCelkem příjmy - výdaje\t\t") + Money("%10.2f", receipts - expenses));
  report->ClearAllTabs();
  report->GotoSectionBottom();
}
