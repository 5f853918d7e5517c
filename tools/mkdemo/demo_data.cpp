// Generation of the demo data directory.
//
// Table layouts (dBase III, language byte 0x64):
//   Pla<branch>  PLA_DAT D8, PLA_DO1 C10, PLA_TYP C3, PLA_KOM C30, PLA_STA N12.2,
//                PLA_KDO C30, PLA_BYT C30, PLA_SML C10, PLA_HOD N12.2, PLA_ROC C10
//   Cis<branch>  CIS_DEN N15, CIS_ODB N6, CIS_VYD C10, CIS_FIN C10
//   Vla0000      the company header, twenty fields (VLA_POC D8, the rest C)
//   Org0000      ORG_KOD C4, ORG_NAC C30, ORG_ULI C30, ORG_MES C30, ORG_PSC C6
//   Fin0000      FIN_TYP C3, FIN_NAC C25, FIN_KOE N2
//   Typ0000      TYP_TYP C3, TYP_NAC C25
//
// Money is generated in whole hellers (int64) so that every amount and every
// running balance is an exact two-decimal number before it is stored.
#include "tools/mkdemo/demo_data.h"

#include <functional>
#include <memory>
#include <random>
#include <string_view>
#include <vector>

#include "app/journal_tables.h"
#include "dbase/table/dbf_create.h"
#include "dbase/dataset/xbase_dataset.h"
#include "dbase/base/engine.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/inifiles.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"

namespace {

// ------------------------------------------------------------ the tables

std::vector<TxbFieldSpec> JournalLayout() {
  return {{"PLA_DAT", 'D', 8, 0},  {"PLA_DO1", 'C', 10, 0}, {"PLA_TYP", 'C', 3, 0},
          {"PLA_KOM", 'C', 30, 0}, {"PLA_STA", 'N', 12, 2}, {"PLA_KDO", 'C', 30, 0},
          {"PLA_BYT", 'C', 30, 0}, {"PLA_SML", 'C', 10, 0}, {"PLA_HOD", 'N', 12, 2},
          {"PLA_ROC", 'C', 10, 0}};
}

std::vector<TxbFieldSpec> CountersLayout() {
  return {{"CIS_DEN", 'N', 15, 0}, {"CIS_ODB", 'N', 6, 0}, {"CIS_VYD", 'C', 10, 0}, {"CIS_FIN", 'C', 10, 0}};
}

std::vector<TxbFieldSpec> OwnerLayout() {
  return {{"VLA_KOD", 'C', 6, 0},  {"VLA_ICO", 'C', 8, 0},  {"VLA_DIC", 'C', 15, 0}, {"VLA_JED", 'C', 4, 0},
          {"VLA_FIR", 'C', 30, 0}, {"VLA_NAC", 'C', 30, 0}, {"VLA_ULI", 'C', 30, 0}, {"VLA_MES", 'C', 30, 0},
          {"VLA_PSC", 'C', 6, 0},  {"VLA_STA", 'C', 30, 0}, {"VLA_TEL", 'C', 30, 0}, {"VLA_FAX", 'C', 30, 0},
          {"VLA_EML", 'C', 30, 0}, {"VLA_JME", 'C', 30, 0}, {"VLA_MOB", 'C', 30, 0}, {"VLA_ZAP", 'C', 60, 0},
          {"VLA_KRA", 'C', 15, 0}, {"VLA_UCE", 'C', 20, 0}, {"VLA_BAN", 'C', 20, 0}, {"VLA_POC", 'D', 8, 0}};
}

std::vector<TxbFieldSpec> BranchesLayout() {
  return {{"ORG_KOD", 'C', 4, 0}, {"ORG_NAC", 'C', 30, 0}, {"ORG_ULI", 'C', 30, 0}, {"ORG_MES", 'C', 30, 0},
          {"ORG_PSC", 'C', 6, 0}};
}

std::vector<TxbFieldSpec> OperationTypesLayout() {
  return {{"FIN_TYP", 'C', 3, 0}, {"FIN_NAC", 'C', 25, 0}, {"FIN_KOE", 'N', 2, 0}};
}

std::vector<TxbFieldSpec> ExpenseTypesLayout() { return {{"TYP_TYP", 'C', 3, 0}, {"TYP_NAC", 'C', 25, 0}}; }

// ------------------------------------------------------------ the content

struct OperationType {
  const char* code;
  const char* text;
  int coefficient;
};

const OperationType kOperationTypes[] = {
    {"P01", "Tržba za hotové", 1},         {"P02", "Vklad z banky", 1},
    {"P03", "Vrácená záloha", 1},          {"P04", "Ostatní příjmy", 1},
    {"V01", "Nákup materiálu", -1},        {"V02", "Poštovné", -1},
    {"V03", "Cestovní náhrady", -1},       {"V04", "Odvod tržby do banky", -1},
    {"V05", "Kancelářské potřeby", -1},    {"V06", "Záloha na služební cestu", -1},
};

const char* const kExpenseTypes[][2] = {
    {"M01", "Materiál"}, {"S01", "Služby"}, {"R01", "Režie"}, {"C01", "Cestovné"}};

struct Branch {
  const char* code;
  const char* name;
  const char* street;
  const char* town;
  const char* postCode;
};

const Branch kBranches[] = {
    {"0001", "Prodejna Frýdek-Místek", "Nádražní 1234", "Frýdek-Místek", "738 01"},
    {"0002", "Prodejna Ostrava", "Nádražní 45", "Ostrava", "702 00"},
    {"0003", "Sklad Třinec", "Lidická 312", "Třinec", "739 61"},
};

const char* const kPeople[] = {
    "Jana Dvořáková", "Petr Novák",       "Lucie Svobodová", "Tomáš Černý",    "Marie Procházková",
    "Jiří Kučera",    "Eva Veselá",       "Pavel Horák",     "Hana Němcová",   "Martin Pokorný",
    "Zdeňka Marková", "Radek Šťastný",    "Kateřina Žáková", "Ondřej Říha",    "Věra Holubová",
};

const char* const kSuppliers[] = {
    "Papírnictví Klára s.r.o.", "Stavebniny Beskydy a.s.", "Elektro Žíla s.r.o.", "Drogerie U Čápa",
    "Železářství Kovář",        "Tiskárna Ondráš s.r.o.",  "Kancelář Plus v.o.s.",
};

const char* const kStreets[] = {"Husova",     "Palackého", "Masarykova", "Zámecká",  "Štefánikova",
                                "Komenského", "Pionýrů",   "Revoluční",  "Těšínská", "Žižkova"};

const char* const kTowns[] = {"Frýdek-Místek", "Ostrava", "Třinec",     "Havířov",
                              "Nový Jičín",    "Karviná", "Kopřivnice", "Příbor"};

constexpr char kBank[] = "Moravská banka a.s.";
constexpr char kBankAddress[] = "Masarykovo nám. 8, Ostrava";

constexpr int64_t kOpeningBalance = 20'000'00;
constexpr int64_t kDepositAbove = 60'000'00;
constexpr int64_t kKeepAfterDeposit = 15'000'00;

// A deterministic generator: mt19937 is specified bit for bit, and the
// mapping onto ranges below is our own (the library's distributions differ
// between implementations).
class Rng {
 public:
  explicit Rng(uint32_t seed) : gen_(seed) {}
  int Between(int low, int high) { return low + static_cast<int>(gen_() % static_cast<uint32_t>(high - low + 1)); }
  double Chance() { return gen_() / 4294967296.0; }
  template <class T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[gen_() % N];
  }
  // An amount of low..high crowns with random hellers.
  int64_t Amount(int low, int high) { return int64_t{Between(low, high)} * 100 + Between(0, 99); }

 private:
  std::mt19937 gen_;
};

struct Document {
  TDateTime date = 0;
  const OperationType* type = nullptr;
  AnsiString text;      // CP1250
  AnsiString who;       // CP1250
  AnsiString address;   // CP1250
  AnsiString paired;
  AnsiString identification;
  int64_t hellers = 0;  // signed
};

struct Advance {
  int document;
  AnsiString who;
  AnsiString address;
  AnsiString identification;
  int64_t hellers;
};

const OperationType& TypeOf(std::string_view code) {
  for (const OperationType& t : kOperationTypes)
    if (code == t.code) return t;
  return kOperationTypes[0];
}

AnsiString Fit(const AnsiString& text, std::size_t length) { return text.substr(0, length); }

// Czech public holidays on fixed dates.
bool FixedHoliday(int month, int day) {
  static const int kHolidays[][2] = {{1, 1},   {5, 1},   {5, 8},    {7, 5},   {7, 6},
                                     {9, 28},  {10, 28}, {11, 17},  {12, 24}, {12, 25}, {12, 26}};
  for (const auto& h : kHolidays)
    if (h[0] == month && h[1] == day) return true;
  return false;
}

std::vector<TDateTime> WorkingDays(int year) {
  std::vector<TDateTime> days;
  for (int month = 1; month <= 12; ++month) {
    for (int day = 1; day <= DaysInMonth(year, month); ++day) {
      const TDateTime date = EncodeDate(year, month, day);
      const int weekday = DayOfWeek(date);
      if (weekday == 1 || weekday == 7 || FixedHoliday(month, day)) continue;
      days.push_back(date);
    }
  }
  return days;
}

class Generator {
 public:
  explicit Generator(const TDemoDataOptions& options) : options_(options), rng_(options.seed) {}

  std::vector<Document> Journal() {
    const std::vector<TDateTime> days = WorkingDays(options_.year);
    std::vector<Document> documents;
    documents.reserve(static_cast<std::size_t>(options_.documents));
    for (int i = 0; i < options_.documents; ++i) {
      const std::size_t day = static_cast<std::size_t>(int64_t{i} * static_cast<int64_t>(days.size()) /
                                                       options_.documents);
      Document d = Next(i + 1);
      d.date = days[day];
      balance_ += d.hellers;
      documents.push_back(std::move(d));
    }
    return documents;
  }

 private:
  AnsiString Person() { return Cz(rng_.Pick(kPeople)); }
  AnsiString Address() {
    return Fit(Cz(rng_.Pick(kStreets)) + " " + IntToStr(rng_.Between(1, 2500)) + ", " + Cz(rng_.Pick(kTowns)), 30);
  }
  // A ten-digit personal identification (year, month, day, serial).
  AnsiString PersonalNumber() {
    const int month = rng_.Between(1, 12) + (rng_.Chance() < 0.5 ? 50 : 0);
    return Format("%.2d%.2d%.2d%.4d", rng_.Between(50, 99), month, rng_.Between(1, 28), rng_.Between(0, 9999));
  }
  AnsiString CompanyNumber() { return Format("%.8d", rng_.Between(10000000, 99999999)); }
  AnsiString Invoice() { return Format("FA%d%.4d", options_.year, rng_.Between(1, 9999)); }

  Document Make(std::string_view code, int64_t hellers) {
    Document d;
    d.type = &TypeOf(code);
    d.text = Cz(d.type->text);
    d.hellers = d.type->coefficient * hellers;
    return d;
  }

  Document Takings() {
    Document d = Make("P01", rng_.Amount(1500, 25000));
    const Branch& branch = BranchOf(options_.branch);
    d.who = Cz(branch.name);
    d.address = Fit(Cz(branch.street) + ", " + Cz(branch.town), 30);
    return d;
  }

  static const Branch& BranchOf(const AnsiString& code) {
    for (const Branch& b : kBranches)
      if (code == b.code) return b;
    return kBranches[0];
  }

  Document Next(int number) {
    if (number == 1) {
      Document d = Make("P02", kOpeningBalance);
      d.text = Cz("Počáteční vklad do pokladny");
      d.who = Cz(kBank);
      d.address = Cz(kBankAddress);
      return d;
    }
    if (balance_ > kDepositAbove) {
      const int64_t deposit = (balance_ - kKeepAfterDeposit) / 100'000 * 100'000;
      Document d = Make("V04", deposit);
      d.who = Cz(kBank);
      d.address = Cz(kBankAddress);
      d.paired = Format("VB%.6d", number);
      return d;
    }
    const double r = rng_.Chance();
    Document d;
    if (r < 0.50) {
      d = Takings();
    } else if (r < 0.62) {
      d = Make("V01", rng_.Amount(200, 8000));
      d.who = Cz(rng_.Pick(kSuppliers));
      d.address = Address();
      d.paired = Invoice();
      d.identification = CompanyNumber();
    } else if (r < 0.70) {
      d = Make("V02", rng_.Amount(20, 600));
      d.who = Cz("Pošta Frýdek-Místek 1");
      d.address = Cz("Radniční 1, Frýdek-Místek");
    } else if (r < 0.78) {
      d = Make("V05", rng_.Amount(50, 2500));
      d.who = Cz(rng_.Pick(kSuppliers));
      d.address = Address();
      if (rng_.Chance() < 0.6) d.paired = Invoice();
      d.identification = CompanyNumber();
    } else if (r < 0.85) {
      d = Make("V03", rng_.Amount(100, 3000));
      d.who = Person();
      d.address = Address();
      d.identification = PersonalNumber();
    } else if (r < 0.91) {
      d = Make("V06", int64_t{rng_.Between(10, 50)} * 100'00);
      d.who = Person();
      d.address = Address();
      d.identification = PersonalNumber();
      advances_.push_back({number, d.who, d.address, d.identification, -d.hellers});
    } else if (r < 0.97 && !advances_.empty()) {
      const Advance advance = advances_.front();
      advances_.erase(advances_.begin());
      d = Make("P03", advance.hellers * rng_.Between(10, 90) / 100);
      d.who = advance.who;
      d.address = advance.address;
      d.identification = advance.identification;
      d.paired = IntToStr(advance.document);
    } else {
      d = Make("P04", rng_.Amount(100, 5000));
      d.who = Person();
      d.address = Address();
      d.identification = PersonalNumber();
    }
    // The cash box cannot pay more than it holds.
    if (balance_ + d.hellers < 0) d = Takings();
    return d;
  }

  const TDemoDataOptions& options_;
  Rng rng_;
  int64_t balance_ = 0;
  std::vector<Advance> advances_;
};

// ------------------------------------------------------------ writing

// A dataset on one new table, filled record by record.
class TableWriter {
 public:
  TableWriter(const AnsiString& dir, const AnsiString& table) : dataSet_(std::make_unique<TXbaseDataSet>(nullptr)) {
    dataSet_->SetDatabaseName(dir);
    dataSet_->SetTableName(table);
    dataSet_->SetTranslateASCII(true);
    dataSet_->Open();
  }
  ~TableWriter() { dataSet_->Close(); }
  TableWriter(const TableWriter&) = delete;
  TableWriter& operator=(const TableWriter&) = delete;

  void Add(const std::function<void(TXbaseDataSet&)>& fill) {
    dataSet_->Append();
    fill(*dataSet_);
    dataSet_->Post();
  }
  TXbaseDataSet& DataSet() { return *dataSet_; }

 private:
  std::unique_ptr<TXbaseDataSet> dataSet_;
};

void SetText(TXbaseDataSet& d, std::string_view field, const AnsiString& value) {
  d.FieldByName(field)->SetAsString(value);
}

void SetUtf8(TXbaseDataSet& d, std::string_view field, const char* utf8) { SetText(d, field, Cz(utf8)); }

AnsiString DirFile(const AnsiString& dir, const AnsiString& name) { return IncludeTrailingPathDelimiter(dir) + name; }

void BuildTags(TXbaseDataSet& dataSet, const AnsiString& indexFile, TJournalIndexFile kind) {
  for (const TJournalTag& tag : kJournalTags) {
    if (tag.file != kind) continue;
    dataSet.BuildIndexTag(indexFile, tag.name, kTagOrderAscending, tag.uniquenessCode, "", tag.key);
  }
}

void WriteJournal(const AnsiString& dir, const TDemoDataOptions& options, Generator& generator) {
  const std::vector<Document> documents = generator.Journal();
  TableWriter writer(dir, JournalTableName(options.branch) + ".dbf");
  TXbaseDataSet& d = writer.DataSet();
  TField* date = d.FieldByName("PLA_DAT");
  TField* number = d.FieldByName("PLA_DO1");
  TField* type = d.FieldByName("PLA_TYP");
  TField* text = d.FieldByName("PLA_KOM");
  TField* balance = d.FieldByName("PLA_STA");
  TField* who = d.FieldByName("PLA_KDO");
  TField* address = d.FieldByName("PLA_BYT");
  TField* paired = d.FieldByName("PLA_SML");
  TField* amount = d.FieldByName("PLA_HOD");
  TField* identification = d.FieldByName("PLA_ROC");
  int64_t running = 0;
  int n = 0;
  for (const Document& doc : documents) {
    running += doc.hellers;
    ++n;
    d.Append();
    date->SetAsDateTime(doc.date);
    number->SetAsString(IntToStr(n));
    type->SetAsString(doc.type->code);
    text->SetAsString(Fit(doc.text, 30));
    balance->SetAsFloat(static_cast<double>(running) / 100);
    who->SetAsString(Fit(doc.who, 30));
    address->SetAsString(Fit(doc.address, 30));
    paired->SetAsString(Fit(doc.paired, 10));
    amount->SetAsFloat(static_cast<double>(doc.hellers) / 100);
    identification->SetAsString(Fit(doc.identification, 10));
    d.Post();
  }
  const AnsiString indexFile = DirFile(dir, JournalTableName(options.branch) + ".cdx");
  BuildTags(d, indexFile, TJournalIndexFile::Journal);
}

void WriteSettings(const AnsiString& dir, const TDemoDataOptions& options) {
  if (options.iniFile.empty()) return;
  if (FileExists(options.iniFile)) DeleteFile(options.iniFile);
  const AnsiString data = ExcludeTrailingPathDelimiter(ExpandFileName(dir));
  const AnsiString file = ExpandFileName(options.iniFile);
  const AnsiString folder = ExtractFileDir(file);
  if (!DirectoryExists(folder) && !ForceDirectories(folder))
    throw EDemoDataError("Cannot create the directory " + folder);
  TIniFile ini(file);
  ini.WriteString("Platebna", "Prodejna", options.branch);
  ini.WriteString("Platebna", "CestaData", data);
  ini.WriteString("Platebna", "HlavniTiskarna", "0");
  ini.WriteString("Platebna", "CestaPrivate", data + "/private");
  ini.WriteString("Platebna", "KodMeny", Cz("Kč"));
}

}  // namespace

void MakeDemoData(const AnsiString& dir, const TDemoDataOptions& options) {
  if (options.branch.size() != 4)
    throw EDemoDataError("The branch code must have four characters: " + options.branch);
  if (options.documents < 0) throw EDemoDataError("The number of documents cannot be negative");
  if (options.year < 1900 || options.year > 2999) throw EDemoDataError("The year must lie between 1900 and 2999");
  EngineStartup();

  const AnsiString journal = JournalTableName(options.branch);
  const AnsiString counters = CountersTableName(options.branch);
  const std::vector<AnsiString> files = {journal + ".dbf",  journal + ".cdx",
                                         counters + ".dbf", AnsiString(kOwnerTable) + ".dbf",
                                         AnsiString(kBranchesTable) + ".dbf", AnsiString(kBranchesTable) + ".cdx",
                                         AnsiString(kOperationTypesTable) + ".dbf",
                                         AnsiString(kExpenseTypesTable) + ".dbf"};
  // Someone's journal is never overwritten by accident.
  if (!options.force) {
    for (const AnsiString& file : files)
      if (FileExists(DirFile(dir, file)))
        throw EDemoDataError("The directory " + dir + " already holds " + file + " (use --force to overwrite)");
    if (!options.iniFile.empty() && FileExists(options.iniFile))
      throw EDemoDataError("The settings file " + options.iniFile + " already exists (use --force to overwrite)");
  }
  if (!DirectoryExists(dir) && !ForceDirectories(dir)) throw EDemoDataError("Cannot create the directory " + dir);
  for (const AnsiString& file : files)
    if (ExtractFileExt(file) == ".cdx" && FileExists(DirFile(dir, file))) DeleteFile(DirFile(dir, file));

  TxbCreateOptions create;
  create.version = 0x03;
  create.language = 0x64;
  CreateDbfTable(DirFile(dir, journal + ".dbf"), JournalLayout(), create);
  CreateDbfTable(DirFile(dir, counters + ".dbf"), CountersLayout(), create);
  CreateDbfTable(DirFile(dir, AnsiString(kOwnerTable) + ".dbf"), OwnerLayout(), create);
  CreateDbfTable(DirFile(dir, AnsiString(kBranchesTable) + ".dbf"), BranchesLayout(), create);
  CreateDbfTable(DirFile(dir, AnsiString(kOperationTypesTable) + ".dbf"), OperationTypesLayout(), create);
  CreateDbfTable(DirFile(dir, AnsiString(kExpenseTypesTable) + ".dbf"), ExpenseTypesLayout(), create);

  Generator generator(options);
  {
    TableWriter types(dir, AnsiString(kOperationTypesTable) + ".dbf");
    for (const OperationType& t : kOperationTypes) {
      types.Add([&](TXbaseDataSet& d) {
        SetText(d, "FIN_TYP", t.code);
        SetUtf8(d, "FIN_NAC", t.text);
        d.FieldByName("FIN_KOE")->SetAsInteger(t.coefficient);
      });
    }
  }
  {
    TableWriter types(dir, AnsiString(kExpenseTypesTable) + ".dbf");
    for (const auto& t : kExpenseTypes) {
      types.Add([&](TXbaseDataSet& d) {
        SetText(d, "TYP_TYP", t[0]);
        SetUtf8(d, "TYP_NAC", t[1]);
      });
    }
  }
  {
    TableWriter branches(dir, AnsiString(kBranchesTable) + ".dbf");
    for (const Branch& b : kBranches) {
      branches.Add([&](TXbaseDataSet& d) {
        SetText(d, "ORG_KOD", b.code);
        SetUtf8(d, "ORG_NAC", b.name);
        SetUtf8(d, "ORG_ULI", b.street);
        SetUtf8(d, "ORG_MES", b.town);
        SetUtf8(d, "ORG_PSC", b.postCode);
      });
    }
    BuildTags(branches.DataSet(), DirFile(dir, AnsiString(kBranchesTable) + ".cdx"), TJournalIndexFile::Branches);
  }
  {
    TableWriter owner(dir, AnsiString(kOwnerTable) + ".dbf");
    owner.Add([&](TXbaseDataSet& d) {
      SetText(d, "VLA_KOD", "000001");
      SetText(d, "VLA_ICO", "27654321");
      SetText(d, "VLA_DIC", "CZ27654321");
      SetText(d, "VLA_JED", options.branch);
      SetUtf8(d, "VLA_FIR", "Kelvo Demo s.r.o.");
      SetUtf8(d, "VLA_NAC", "Maloobchod");
      SetUtf8(d, "VLA_ULI", "Nádražní 1234/56");
      SetUtf8(d, "VLA_MES", "Frýdek-Místek");
      SetUtf8(d, "VLA_PSC", "738 01");
      SetUtf8(d, "VLA_STA", "Česká republika");
      SetUtf8(d, "VLA_TEL", "+420 558 123 456");
      SetUtf8(d, "VLA_FAX", "+420 558 123 457");
      SetUtf8(d, "VLA_EML", "pokladna@kelvo-demo.example");
      SetUtf8(d, "VLA_JME", "Jana Dvořáková");
      SetUtf8(d, "VLA_MOB", "+420 602 123 456");
      SetUtf8(d, "VLA_ZAP", "Zapsáno v OR u Krajského soudu v Ostravě, oddíl C, vl. 4321");
      SetUtf8(d, "VLA_KRA", "Moravskoslezský");
      SetUtf8(d, "VLA_UCE", "2400123456/9999");
      SetUtf8(d, "VLA_BAN", kBank);
      d.FieldByName("VLA_POC")->SetAsDateTime(EncodeDate(options.year, 1, 1));
    });
  }
  {
    TableWriter counter(dir, counters + ".dbf");
    counter.Add([&](TXbaseDataSet& d) {
      d.FieldByName("CIS_DEN")->SetAsInteger(0);
      d.FieldByName("CIS_ODB")->SetAsInteger(0);
      SetText(d, "CIS_VYD", "1");
      SetText(d, "CIS_FIN", IntToStr(options.documents + 1));
    });
  }
  WriteJournal(dir, options, generator);
  WriteSettings(dir, options);
}
