// The data module: tables, settings file, start-up opening, re-indexing,
// the calculated amount columns and the balance recalculation.
//
// Settings file Platebna.ini (CP1250 text beside the program), section
// [Platebna]; every value is read as text:
//   Prodejna        branch code                       default "0001"
//   CestaData       data directory of the tables      default <program dir>data
//   HlavniTiskarna  printer index (an integer)        default "0"
//   CestaPrivate    private directory (unused)        default <program dir>private
//   KodMeny         currency text after amounts       default "Kč"
//   PlatebnaT/L/H/W main window top, left, height, width (50, 50, 365, 580)
#include "app/data_module.h"

#include <chrono>
#include <cmath>
#include <memory>

#include "app/chain_lock.h"
#include "app/progress_window.h"
#include "platform/db/fields.h"
#include "platform/gui/application.h"
#include "platform/rtl/inifiles.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"

TData* Data = nullptr;

namespace {

constexpr char kSection[] = "Platebna";
constexpr char kAmountFormat[] = "#,##0.00";

enum class Kind { String, Date, Float, Integer, Smallint };

// One persistent field of a dataset.
struct FieldLayout {
  const char* name;
  Kind kind;
  int size = 0;               // strings only
  const char* label = "";     // UTF-8
  const char* format = "";    // display format
  int displayWidth = -1;
  bool calculated = false;
};

const FieldLayout kJournalFields[] = {
    {"PLA_DAT", Kind::Date, 0, "Datum", "dd.mm.yyyy"},
    {"PLA_DO1", Kind::String, 10, "Doklad"},
    {"PLA_TYP", Kind::String, 3, "Typ"},
    {"PLA_KOM", Kind::String, 30, "Popis operace"},
    {"PLA_PRI", Kind::Float, 0, "Příjmy", kAmountFormat, -1, true},
    {"PLA_VYD", Kind::Float, 0, "Výdeje", kAmountFormat, -1, true},
    {"PLA_STA", Kind::Float, 0, "Zůstatek", kAmountFormat, 12},
    {"PLA_KDO", Kind::String, 30, "Příjato od, Vydáno komu"},
    {"PLA_BYT", Kind::String, 30, "Adresa příjemce, výdejce"},
    {"PLA_SML", Kind::String, 10, "Pár.doklad", "", 10},
    {"PLA_HOD", Kind::Float, 0, "Částka", kAmountFormat, 12},
    {"PLA_ROC", Kind::String, 10, "Rodné číslo"},
};

const FieldLayout kCounterFields[] = {
    {"CIS_DEN", Kind::Integer, 0, "", "", 15},
    {"CIS_ODB", Kind::Integer, 0, "", "", 6},
    {"CIS_VYD", Kind::String, 10},
    {"CIS_FIN", Kind::String, 10},
};

const FieldLayout kOwnerFields[] = {
    {"VLA_KOD", Kind::String, 6, "kód"},
    {"VLA_ICO", Kind::String, 8, "IČO"},
    {"VLA_DIC", Kind::String, 15, "DIČ"},
    {"VLA_JED", Kind::String, 4, "Prodejna"},
    {"VLA_FIR", Kind::String, 30, "Firma"},
    {"VLA_NAC", Kind::String, 30, "Oddělení"},
    {"VLA_ULI", Kind::String, 30, "Ulice"},
    {"VLA_MES", Kind::String, 30, "Město"},
    {"VLA_PSC", Kind::String, 6, "PSČ"},
    {"VLA_STA", Kind::String, 30, "Stát"},
    {"VLA_TEL", Kind::String, 30, "Telefon"},
    {"VLA_FAX", Kind::String, 30, "Fax"},
    {"VLA_EML", Kind::String, 30, "E Mail"},
    {"VLA_JME", Kind::String, 30, "Kontaktní jméno"},
    {"VLA_MOB", Kind::String, 30, "Mobilní telefon"},
    {"VLA_ZAP", Kind::String, 60},
    {"VLA_KRA", Kind::String, 15},
    {"VLA_UCE", Kind::String, 20},
    {"VLA_BAN", Kind::String, 20},
    {"VLA_POC", Kind::Date},
};

const FieldLayout kBranchFields[] = {
    {"ORG_KOD", Kind::String, 4, "Kód "},
    {"ORG_NAC", Kind::String, 30, "Název prodejny"},
    {"ORG_ULI", Kind::String, 30, "Ulice"},
    {"ORG_MES", Kind::String, 30, "Město"},
    {"ORG_PSC", Kind::String, 6, "Psč"},
};

const FieldLayout kOperationTypeFields[] = {
    {"FIN_TYP", Kind::String, 3, "Typ"},
    {"FIN_NAC", Kind::String, 25, "Popis fin. operace "},
    {"FIN_KOE", Kind::Smallint, 0, "Koef."},
};

const FieldLayout kExpenseTypeFields[] = {
    {"TYP_TYP", Kind::String, 3, "Typ"},
    {"TYP_NAC", Kind::String, 25, "Popis výdeje"},
};

template <std::size_t N>
void AddFields(TComponent* owner, TDataSet* dataSet, const FieldLayout (&items)[N]) {
  for (const FieldLayout& item : items) {
    TField* field = nullptr;
    switch (item.kind) {
      case Kind::String: {
        auto* f = new TStringField(owner);
        f->SetSize(item.size);
        field = f;
        break;
      }
      case Kind::Date: {
        auto* f = new TDateField(owner);
        if (*item.format) f->SetDisplayFormat(item.format);
        field = f;
        break;
      }
      case Kind::Float: {
        auto* f = new TFloatField(owner);
        if (*item.format) f->SetDisplayFormat(item.format);
        field = f;
        break;
      }
      case Kind::Integer:
        field = new TIntegerField(owner);
        break;
      case Kind::Smallint:
        field = new TSmallintField(owner);
        break;
    }
    field->SetName(dataSet->Name() + item.name);
    field->SetFieldName(item.name);
    if (item.calculated) field->SetFieldKind(fkCalculated);
    if (*item.label) field->SetDisplayLabel(Cz(item.label));
    if (item.displayWidth >= 0) field->SetDisplayWidth(item.displayWidth);
    field->SetDataSet(dataSet);
  }
}

TXbaseDataSet* NewTable(TComponent* owner, const char* name, TxbLokProtocol protocol) {
  auto* table = new TXbaseDataSet(owner);
  table->SetName(name);
  table->SetAutoFlush(false);
  table->SetExclusive(false);
  table->SetLargeIntegerAs(TxbIntFields::asInteger);
  table->SetTranslateASCII(true);
  table->SetUseDeleted(false);
  table->SetUserID(0);
  table->SetLockProtocol(protocol);
  return table;
}

TDataSource* NewSource(TComponent* owner, TDataSet* dataSet) {
  auto* source = new TDataSource(owner);
  source->SetName("Data" + dataSet->Name());
  source->SetDataSet(dataSet);
  return source;
}

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The progress window of one re-indexing pass: created on demand, closed
// and freed when the pass ends, also when a build fails, so no half-filled
// window stays behind and the next pass starts with a fresh one.
class ProgressWindowScope {
 public:
  explicit ProgressWindowScope(TData& data) : data_(data) {
    data_.ProgressWin = new TProgresWin(&data_);
    data_.ProgressWin->AfterConstruction();
  }
  ~ProgressWindowScope() {
    TProgresWin* window = data_.ProgressWin;
    data_.ProgressWin = nullptr;
    if (!window) return;
    window->Hide();
    window->BeforeDestruction();
    delete window;
  }
  ProgressWindowScope(const ProgressWindowScope&) = delete;
  ProgressWindowScope& operator=(const ProgressWindowScope&) = delete;

 private:
  TData& data_;
};

}  // namespace

void ShowPlainMessage(const AnsiString& text) { Application->MessageBox(text, Application->Title(), MB_OK); }

TData::TData(TComponent* owner) : TDataModule(owner) {
  Data = this;
  SetName("Data");
  ExePath = IncludeTrailingPathDelimiter(ProgramDirectory());
  DataPath = ExePath + "data";
  PrivatePath = ExePath + "private";
  BranchCode = kDefaultBranchCode;
  CurrencyCode = Cz("Kč");

  Ciselnik = NewTable(this, "Ciselnik", TxbLokProtocol::Default);
  Vlastnik = NewTable(this, "Vlastnik", TxbLokProtocol::ClipLock);
  Platebna = NewTable(this, "Platebna", TxbLokProtocol::Default);
  Prodejny = NewTable(this, "Prodejny", TxbLokProtocol::ClipLock);
  FinOperace = NewTable(this, "FinOperace", TxbLokProtocol::Default);
  TypVydeje = NewTable(this, "TypVydeje", TxbLokProtocol::ClipLock);

  DataPlatebna = NewSource(this, Platebna);
  DataCiselnik = NewSource(this, Ciselnik);
  DataVlastnik = NewSource(this, Vlastnik);
  DataProdejny = NewSource(this, Prodejny);
  DataFinOperace = NewSource(this, FinOperace);
  DataTypVydeje = NewSource(this, TypVydeje);

  AddFields(this, Platebna, kJournalFields);
  AddFields(this, Ciselnik, kCounterFields);
  AddFields(this, Vlastnik, kOwnerFields);
  AddFields(this, Prodejny, kBranchFields);
  AddFields(this, FinOperace, kOperationTypeFields);
  AddFields(this, TypVydeje, kExpenseTypeFields);

  Platebna->OnCalcFields = [this](TDataSet* dataSet) { PlatebnaCalcFields(dataSet); };
  Platebna->OnStatus = [this](TObject* sender, int status, int current, int total) {
    PlatebnaStatus(sender, status, current, total);
  };
  Prodejny->OnStatus = [this](TObject* sender, int status, int current, int total) {
    ProdejnyStatus(sender, status, current, total);
  };
  OnCreate = [this](TObject* sender) { DataCreate(sender); };
}

TData::~TData() {
  // The tables close before their fields and sources go.
  for (TXbaseDataSet* table : {Platebna, Ciselnik, Vlastnik, Prodejny, FinOperace, TypVydeje}) {
    try {
      table->Close();
    } catch (const std::exception&) {
      // Closing a table has nothing left to save; the files close anyway.
    }
  }
  if (Data == this) Data = nullptr;
}

// ------------------------------------------------------------------ paths

AnsiString TData::IniFileName() const { return ExePath + "\\Platebna.ini"; }

AnsiString TData::JournalTableFile() const {
  return DataPath + "\\" + JournalTableName(BranchCode) + ".dbf";
}

AnsiString TData::JournalIndexFile() const {
  return IndexFileName(DataPath + "\\" + JournalTableName(BranchCode) + ".cdx");
}

AnsiString TData::IndexFileName(const AnsiString& name) {
  // The engine knows an open index file by its expanded name; asking for it
  // in that spelling lets a second attach see that it is open already.
  return ExpandFileName(name);
}

// --------------------------------------------------------------- settings

bool TData::IniPrepare() {
  ExePath = IncludeTrailingPathDelimiter(ProgramDirectory());
  DataPath = ExePath + "data";
  PrivatePath = ExePath + "private";
  BranchCode = kDefaultBranchCode;
  if (!FileExists(IniFileName())) {
    ShowPlainMessage(Cz("Konfigurační soubor ") + ExePath + Cz("Platebna.ini nenalezen !"));
    return false;
  }
  TIniFile ini(IniFileName());
  BranchCode = ini.ReadString(kSection, "Prodejna", kDefaultBranchCode);
  DataPath = ini.ReadString(kSection, "CestaData", DataPath);
  PrinterIndex = StrToInt(ini.ReadString(kSection, "HlavniTiskarna", "0"));
  PrivatePath = ini.ReadString(kSection, "CestaPrivate", PrivatePath);
  CurrencyCode = ini.ReadString(kSection, "KodMeny", Cz("Kč"));
  return true;
}

void TData::ZapisNastaveniTiskaren() {
  TIniFile ini(IniFileName());
  ini.WriteInteger(kSection, "HlavniTiskarna", PrinterIndex);
}

void TData::SeTIniWinPos(int selector, int top, int width, int height, int left) {
  if (selector != 1 || !FileExists(IniFileName())) return;
  TIniFile ini(IniFileName());
  ini.WriteInteger(kSection, "PlatebnaT", top);
  ini.WriteInteger(kSection, "PlatebnaL", left);
  ini.WriteInteger(kSection, "PlatebnaH", height);
  ini.WriteInteger(kSection, "PlatebnaW", width);
}

int TData::ReadWindowKey(int selector, const char* key, const char* defaultValue) {
  if (selector != 1) return 0;
  TIniFile ini(IniFileName());
  return StrToInt(ini.ReadString(kSection, key, defaultValue));
}

int TData::GetIniWinTop(int selector) { return ReadWindowKey(selector, "PlatebnaT", "50"); }
int TData::GetIniWinLeft(int selector) { return ReadWindowKey(selector, "PlatebnaL", "50"); }
int TData::GetIniWinHeight(int selector) { return ReadWindowKey(selector, "PlatebnaH", "365"); }
int TData::GetIniWinWidth(int selector) { return ReadWindowKey(selector, "PlatebnaW", "580"); }

// ---------------------------------------------------------------- opening

void TData::DataCreate(TObject* Sender) {
  (void)Sender;
  if (!IniPrepare()) return;
  for (TXbaseDataSet* table : {Ciselnik, Prodejny, Vlastnik, Platebna, TypVydeje, FinOperace})
    table->SetDatabaseName(DataPath);
  Ciselnik->SetTableName(CountersTableName(BranchCode));
  Prodejny->SetTableName(kBranchesTable);
  Vlastnik->SetTableName(kOwnerTable);
  Platebna->SetTableName(JournalTableName(BranchCode));
  TypVydeje->SetTableName(kExpenseTypesTable);
  FinOperace->SetTableName(kOperationTypesTable);
  try {
    Platebna->Open();
    Platebna->AttachIndexFile(JournalIndexFile());
  } catch (const std::exception&) {
    Index();
    Platebna->Open();
    Platebna->AttachIndexFile(JournalIndexFile());
  }
}

// ------------------------------------------------------------- re-indexing

void TData::Index() {
  IndexPass(Prodejny, DataPath + "\\" + kBranchesTable + ".dbf",
            IndexFileName(DataPath + "\\" + kBranchesTable + ".cdx"),
            TJournalIndexFile::Branches, false,
            Cz("Tabulka vnitřních jednotek nelze otevřít ve výhradním režimu !"));
  IndexPass(Platebna, JournalTableFile(), JournalIndexFile(), TJournalIndexFile::Journal, true,
            Cz("Tabulka převodů na jiný sklad nelze otevřít ve výhradním režimu !"));
}

void TData::IndexPass(TXbaseDataSet* dataSet, const AnsiString& tableFile, const AnsiString& indexFile,
                      TJournalIndexFile kind, bool closeAtEnd, const AnsiString& failMessage) {
  if (!FileExists(tableFile)) {
    ShowPlainMessage("Nenalezen soubor " + tableFile);
    return;
  }
  const bool wasOpen = dataSet->Active();
  const AnsiString indexName = dataSet->IndexName();
  dataSet->Close();
  // The tag lives in the index file that is attached only after the open;
  // an open that selected it first would fail.
  dataSet->SetIndexName("");
  dataSet->SetExclusive(true);
  try {
    dataSet->Open();
    dataSet->DetachIndexFile(indexFile);
    DeleteFile(indexFile);
    ProgressWindowScope progress(*this);
    for (const TJournalTag& tag : kJournalTags) {
      if (tag.file != kind) continue;
      ProgressWin->Label1->SetCaption(Cz(tag.label));
      dataSet->BuildIndexTag(indexFile, tag.name, kTagOrderAscending, tag.uniquenessCode, "", tag.key);
    }
    if (closeAtEnd) dataSet->Close();
  } catch (const std::exception&) {
    ShowPlainMessage(failMessage);
  }
  // Back to shared use: an exclusive open that is still active (the
  // branches pass, or a build that failed) is closed first.
  dataSet->Close();
  dataSet->SetExclusive(false);
  if (!wasOpen) return;
  dataSet->Open();
  dataSet->AttachIndexFile(indexFile);
  if (!indexName.empty()) dataSet->SetIndexName(indexName);
}

void TData::LetMessagesRun(bool always) {
  // Letting the loop run costs more than one record of a build; a few
  // times per frame is enough for repainting and for input.
  constexpr int64_t kIntervalNs = 20'000'000;
  const int64_t now = NowNs();
  if (!always && now - lastMessagesNs_ < kIntervalNs) return;
  Application->ProcessMessages();
  lastMessagesNs_ = NowNs();
}

void TData::PlatebnaStatus(TObject* Sender, int status, int current, int total) {
  (void)Sender;
  if (ProgressWin) {
    if (status == -1 && current == 1) {
      ProgressWin->ProgressTotal = total;
      ProgressWin->Show();
    } else if ((status == 1 || status == 11) && ProgressWin->ProgressTotal > 0) {
      const double percent = static_cast<double>(current) / ProgressWin->ProgressTotal * 100;
      // nearbyint rounds halves to even under the default rounding mode.
      ProgressWin->Gauge1->SetProgress(static_cast<int>(std::nearbyint(percent)));
    }
  }
  // Per-record reports come in the thousands; the phase reports around
  // them (starts and ends) always reach the screen, so the full gauge shows.
  const bool perRecord = status == 1 || status == 11 || status == 2;
  LetMessagesRun(!perRecord);
}

void TData::ProdejnyStatus(TObject* Sender, int status, int current, int total) {
  PlatebnaStatus(Sender, status, current, total);
}

// ------------------------------------------------------ calculated columns

void TData::PlatebnaCalcFields(TDataSet* DataSet) {
  const double amount = DataSet->FieldByName("PLA_HOD")->AsFloat();
  // "+ 0.0" turns a stored negative zero into a plain receipt of 0.
  DataSet->FieldByName("PLA_PRI")->SetAsFloat(amount >= 0 ? amount + 0.0 : 0.0);
  DataSet->FieldByName("PLA_VYD")->SetAsFloat(amount >= 0 ? 0.0 : -amount);
}

// ------------------------------------------------------ balance recalculation

void TData::PrepocetZustatku() {
  // The chain lock keeps every other station's commit out of the walk: a
  // document appended mid-walk would keep a balance of the old chain.
  TChainLock chain(Ciselnik);
  TXbaseDataSet* journal = Platebna;
  const AnsiString order = journal->IndexName();
  // The grid shows this very cursor: it must not follow (or steer) the walk.
  journal->DisableControls();
  std::exception_ptr failure;
  try {
    // The chain runs in physical order, the order new documents and
    // corrections carry it in, whatever order the grid shows.
    journal->SetIndexName("");
    journal->First();
    Application->ProcessMessages();
    TField* amount = journal->FieldByName("PLA_HOD");
    TField* balance = journal->FieldByName("PLA_STA");
    double sum = 0;
    while (!journal->Eof()) {
      const double value = amount->AsFloat();
      journal->Edit();
      balance->SetAsFloat(sum + value);
      journal->Post();
      // Carry on from the stored (rounded) balance, so that the stored
      // chain adds up to the cent however long it is.
      sum = balance->AsFloat();
      journal->Next();
      Application->ProcessMessages();
    }
  } catch (...) {
    failure = std::current_exception();
  }
  // Also after a failure: no edit stays pending (the next move of the grid
  // would post it), the former order and the controls come back.
  try {
    if (journal->State() == dsEdit || journal->State() == dsInsert) journal->Cancel();
    journal->SetIndexName(order);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  journal->EnableControls();
  try {
    chain.Release();
  } catch (...) {
    // The walk's own failure is the one to report.
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}
