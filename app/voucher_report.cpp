// The cash voucher page (report kind 1): the voucher of the journal's
// current document twice, one under the other, with a cutting line after
// each, then the accounting stub. Positions are centimetres on the page;
// tab-stop margins are hundredths of an inch.
#include <cmath>

#include "app/amount_words.h"
#include "app/data_module.h"
#include "app/report_module.h"
#include "platform/db/fields.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"
#include "report/base_report.h"

namespace {

constexpr double kNext = -1;  // a stop right after the previous one
constexpr uint8_t kCentralEuropean = 238;
constexpr int kLeftRight = BOXLINELEFT | BOXLINERIGHT;

// The document the voucher prints, read once from the journal's record and
// the company header.
struct Voucher {
  bool receipt = false;
  double amount = 0;     // as stored: negative for an expense
  double absolute = 0;
  AnsiString number, description, pairNumber, date, who, address, identity;
};

struct Company {
  AnsiString name, department, street, postCode, city, ico, dic, registration;
};

AnsiString Text(TDataSet* table, const char* field) {
  TField* f = table->FindField(field);
  return f ? f->AsString() : AnsiString();
}

Voucher ReadVoucher(TDataSet* journal) {
  Voucher v;
  TField* amount = journal->FindField("PLA_HOD");
  v.amount = amount ? amount->AsFloat() : 0;
  v.receipt = v.amount > 0;
  v.absolute = v.receipt ? v.amount : -v.amount;
  v.number = Text(journal, "PLA_DO1");
  v.description = Text(journal, "PLA_KOM");
  v.pairNumber = Text(journal, "PLA_SML");
  TField* date = journal->FindField("PLA_DAT");
  if (date && !date->IsNull()) v.date = FormatDateTime("dd.mm.yyyy", date->AsDateTime());
  v.who = Text(journal, "PLA_KDO");
  v.address = Text(journal, "PLA_BYT");
  v.identity = Text(journal, "PLA_ROC");
  return v;
}

Company ReadCompany(TDataSet* owner) {
  Company c;
  c.name = Text(owner, "VLA_FIR");
  c.department = Text(owner, "VLA_NAC");
  c.street = Text(owner, "VLA_ULI");
  c.postCode = Text(owner, "VLA_PSC");
  c.city = Text(owner, "VLA_MES");
  c.ico = Text(owner, "VLA_ICO");
  c.dic = Text(owner, "VLA_DIC");
  c.registration = Text(owner, "VLA_ZAP");
  return c;
}

void Font(TBaseReport* r, double size) {
  r->SelectFont("ArialCE", size);
  r->SetFontCharset(kCentralEuropean);
}

AnsiString Amount(double value) { return Format("%8.2f", value); }

AnsiString Heading(const Voucher& v) {
  return Cz("Pokladní doklad číslo ") + v.number + (v.receipt ? Cz(" příjmový ") : Cz(" výdajový "));
}

AnsiString Subheading(const Voucher& v) { return v.description + Cz(", párový doklad číslo ") + v.pairNumber; }

// The party boxes: organisation (2 / 8) and the other party (next / 6).
void PartyStops(TBaseReport* r, int firstLines) {
  r->ClearAllTabs();
  r->AddTab(2, pjLeft, 8, 10, firstLines, 0);
  r->AddTab(kNext, pjLeft, 1, 10, 0, 0);
  r->AddTab(kNext, pjLeft, 6, 0, 0, 0);
  r->AddTab(kNext, pjLeft, 2, 0, 0, 0);
}

// The amount row: the sum right-aligned in its 4 cm cell ending at 20 cm.
void AmountStops(TBaseReport* r, bool lines) {
  r->ClearAllTabs();
  r->AddTab(2, pjLeft, 8, 10, lines ? BOXLINELEFT | BOXLINERIGHT | BOXLINEBOTTOM : 0, 0);
  r->AddTab(kNext, pjLeft, 1, 0, 0, 0);
  r->AddTab(kNext, pjLeft, 5, 0, lines ? BOXLINEBOTTOM : 0, 0);
  r->AddTab(kNext, pjRight, 4, 0, lines ? BOXLINEBOTTOM : 0, 0);
}

void SignatureStops(TBaseReport* r) {
  r->ClearAllTabs();
  r->AddTab(2, pjLeft, 4, 0, 0, 0);
  r->AddTab(kNext, pjLeft, 4, 0, BOXLINEBOTTOM, 0);
  r->AddTab(kNext, pjLeft, 1, 0, 0, 0);
  r->AddTab(kNext, pjLeft, 4.5, 0, 0, 0);
  r->AddTab(kNext, pjLeft, 4.5, 0, BOXLINEBOTTOM, 0);
}

// One voucher block. firstDateY is the first block's date baseline (NaN
// while the first block prints); each block draws its separator at the
// same distance below its own date line.
void PrintBlock(TBaseReport* r, TDataSet* owner, const Voucher& v, const AnsiString& currency, double& firstDateY) {
  Font(r, 15);
  r->ClearAllTabs();
  r->PrintTextLine(Heading(v));

  Font(r, 10);
  r->PrintTextLine(Subheading(v));
  r->NewLine();

  Font(r, 12);
  const double dateY = r->YPos();
  r->PrintTextLine(Cz("Ze dne ") + v.date);
  r->NewLine();

  if (std::isnan(firstDateY)) firstDateY = dateY;
  const double lineY = 3 + (dateY - firstDateY);
  r->MoveTo(2, lineY);
  r->LineTo(20, lineY);

  Font(r, 10);
  PartyStops(r, kLeftRight | BOXLINETOP);
  r->PrintTextLine(v.receipt ? Cz("\tOrganizace\t\tPřijato od") : Cz("\tOrganizace\t\tVydáno komu"));

  Font(r, 10);
  PartyStops(r, kLeftRight);
  owner->Open();
  const Company c = ReadCompany(owner);
  r->PrintTextLine("\t" + c.name + "\t\t" + v.who);
  r->PrintTextLine("\t" + c.department + "\t\t" + v.address);
  r->PrintTextLine("\t" + c.street + "\t\t" + Cz("Identifikace (IČO,OP,RČ) ") + v.identity);
  r->PrintTextLine("\t" + Trim(c.postCode) + " " + c.city + "\t\t");

  Font(r, 8);
  PartyStops(r, kLeftRight);
  r->PrintTextLine(Cz("\tIČO ") + c.ico + Cz(" DIČ ") + c.dic + "\t\t");
  r->PrintTextLine("\t" + c.registration + "\t\t");

  Font(r, 10);
  AmountStops(r, true);
  Font(r, 13);
  r->PrintTextLine(Cz("\t\t\tčástka ") + currency + "\t" + Amount(v.absolute));

  Font(r, 10);
  AmountStops(r, false);
  // Seven-digit amounts have no words: the brackets stay with the currency.
  const auto whole = static_cast<int64_t>(std::floor(v.absolute));
  const AnsiString words = whole < 1000000 ? AmountInWords(static_cast<int32_t>(whole)) : AnsiString();
  r->PrintTextLine("\t\t\t( " + words + " " + currency + " )");
  r->NewLine();
  r->NewLine();

  Font(r, 10);
  SignatureStops(r);
  r->PrintTextLine(Cz("\tPodpis pokladníka\t\t\tPodpis příjemce\t"));
  r->NewLine();
  r->NewLine();

  Font(r, 6);
  r->ClearAllTabs();
  r->AddTab(2, pjLeft, 18, 0, BOXLINEBOTTOM, 0);
  r->PrintTextLine(Cz("\tzde odstřihni"));
  r->ClearAllTabs();
  r->NewLine();
  r->NewLine();
  r->NewLine();
}

void PrintStub(TBaseReport* r, TDataSet* owner, const Voucher& v, const AnsiString& currency) {
  Font(r, 15);
  r->ClearAllTabs();
  r->PrintTextLine(Heading(v));

  Font(r, 9);
  r->PrintTextLine(Subheading(v));
  r->NewLine();

  Font(r, 8);
  owner->Open();
  const Company c = ReadCompany(owner);
  r->PrintTextLine(Cz("\tOrganizace: \t") + Trim(c.name) + "," + Trim(c.department) + "," + Trim(c.street) + "," +
                   Trim(c.postCode) + ", " + Trim(c.registration));
  r->NewLine();

  Font(r, 10);
  const AnsiString party = "\t" + Trim(v.who) + "," + Trim(v.address) + ",ID " + Trim(v.identity);
  if (v.receipt) {
    r->PrintTextLine(Cz("\tPřijato od") + party);
    r->PrintTextLine(Cz("\tPřijatá částka ") + currency + "\t" + Amount(v.amount));
  } else {
    r->PrintTextLine(Cz("\tVydáno komu") + party);
    r->PrintTextLine(Cz("\tVydaná částka ") + currency + "\t" + Amount(v.amount));
  }

  Font(r, 10);
  r->ClearAllTabs();
  r->NewLine();
  r->AddTab(2, pjLeft, 7, 5, BOXLINEALL, 0);
  r->AddTab(kNext, pjLeft, 6, 5, BOXLINEALL, 0);
  r->AddTab(kNext, pjLeft, 5, 5, BOXLINEALL, 0);
  r->SetLinesPerInch(5);
  r->PrintTextLine(Cz("\tText\tÚčtovací předpis\t") + currency);
  for (int i = 0; i < 3; ++i) r->PrintTextLine("\t \t \t ");
  r->SetLinesPerInch(6);
  r->NewLine();

  Font(r, 10);
  SignatureStops(r);
  r->PrintTextLine(Cz("\tPodpis pokladníka\t\t\tZaúčtoval\t"));
}

// Closes the company header however the page ends: it is open only while
// a voucher is drawn.
class CloseAtEnd {
 public:
  explicit CloseAtEnd(TDataSet* table) : table_(table) {}
  ~CloseAtEnd() {
    try {
      table_->Close();
    } catch (const std::exception&) {
      // A read-only header has nothing to save; an error of the page itself
      // is the one the user must see.
    }
  }
  CloseAtEnd(const CloseAtEnd&) = delete;
  CloseAtEnd& operator=(const CloseAtEnd&) = delete;

 private:
  TDataSet* table_;
};

}  // namespace

void TDataSestavy::PrintVoucher(TBaseReport* report) {
  TDataSet* owner = Data->Vlastnik;
  CloseAtEnd close(owner);
  // An empty journal still prints a blank voucher to fill in by hand.
  const Voucher v = ReadVoucher(Data->Platebna);
  const AnsiString& currency = Data->CurrencyCode;

  Font(report, 15);
  report->SetMarginLeft(2);
  report->SetMarginRight(1);
  report->SetMarginTop(1.3);
  report->SetMarginBottom(2);
  report->MarkSectionTop();
  report->Home();
  report->ClearAllTabs();

  double firstDateY = std::nan("");
  PrintBlock(report, owner, v, currency, firstDateY);
  PrintBlock(report, owner, v, currency, firstDateY);
  PrintStub(report, owner, v, currency);
}
