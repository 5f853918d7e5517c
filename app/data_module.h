// TData: the cash journal's data module. It owns every disk table of the
// program as a dataset with its data source, reads the settings file
// Platebna.ini next to the program, points the tables at the branch's data
// directory, opens the journal with its compound index, rebuilds the index
// files (with a progress window), splits the signed amount into the receipt
// and expense columns and recalculates the running balance.
//
// Invariants:
// - The journal's balance chain runs in physical record order: PLA_STA of a
//   live record is PLA_STA of the live record before it plus its PLA_HOD.
//   PrepocetZustatku rebuilds it in that order whatever order is selected.
// - PLA_PRI and PLA_VYD are calculated, never stored.
// - Until the settings have named them, the datasets have no table name, so
//   nothing can be opened, re-indexed or deleted by mistake.
// - ProgressWin exists only while Index runs.
// - Platebna.ini is only ever changed in place (other lines kept) and
//   atomically; SeTIniWinPos never creates it.
#pragma once

#include <cstdint>

#include "app/journal_tables.h"
#include "dbase/dataset/xbase_dataset.h"
#include "platform/db/datasource.h"
#include "platform/gui/forms.h"

class TProgresWin;

class TData : public TDataModule {
 public:
  explicit TData(TComponent* owner);
  ~TData() override;
  AnsiString ClassName() const override { return "TData"; }

  // ------------------------------------------------------------ tables
  TXbaseDataSet* Platebna;    // the journal, "Pla" + branch
  TXbaseDataSet* Ciselnik;    // document counters, "Cis" + branch
  TXbaseDataSet* Vlastnik;    // company header, Vla0000
  TXbaseDataSet* Prodejny;    // branches, Org0000
  TXbaseDataSet* FinOperace;  // operation types, Fin0000
  TXbaseDataSet* TypVydeje;   // Typ0000
  TDataSource* DataPlatebna;
  TDataSource* DataCiselnik;
  TDataSource* DataVlastnik;
  TDataSource* DataProdejny;
  TDataSource* DataFinOperace;
  TDataSource* DataTypVydeje;

  // ---------------------------------------------------------- settings
  AnsiString ExePath;      // the program's directory, with its trailing separator
  AnsiString DataPath;     // CestaData
  AnsiString PrivatePath;  // CestaPrivate (kept, used nowhere)
  AnsiString BranchCode;   // Prodejna, "0001" until the file is read
  int PrinterIndex = 0;    // HlavniTiskarna
  AnsiString CurrencyCode; // KodMeny
  // The progress window while Index runs; null otherwise.
  TProgresWin* ProgressWin = nullptr;

  // ----------------------------------------------------------- commands
  // Start-up opening (OnCreate): settings, table names, the journal and its
  // compound index; a journal that does not open is re-indexed and opened
  // once more (a second failure propagates).
  void DataCreate(TObject* Sender);
  // Reads the settings file into the fields above; false, after a message,
  // when the file is missing. A non-integer HlavniTiskarna raises
  // EConvertError.
  bool IniPrepare();
  // Rebuilds Org0000.cdx and the journal's compound index, each under an
  // exclusive open, with the progress window. Failures are shown as
  // messages; each dataset returns to shared mode, its former open state
  // and its former tag.
  void Index();
  // Rewrites PLA_STA of every live journal record as the running sum of
  // PLA_HOD in physical order. The former order, position and controls
  // come back also on failure, which propagates with no edit left pending.
  void PrepocetZustatku();
  // Writes PrinterIndex to HlavniTiskarna (creating the file when missing).
  void ZapisNastaveniTiskaren();
  // With selector 1 and an existing settings file writes the window
  // position; anything else writes nothing.
  void SeTIniWinPos(int selector, int top, int width, int height, int left);
  // With selector 1 the stored window position (defaults 50, 50, 365, 580);
  // any other selector gives 0.
  int GetIniWinTop(int selector);
  int GetIniWinLeft(int selector);
  int GetIniWinHeight(int selector);
  int GetIniWinWidth(int selector);

  // ------------------------------------------------------------- events
  // Fills PLA_PRI (receipts) and PLA_VYD (expenses) from the signed PLA_HOD.
  void PlatebnaCalcFields(TDataSet* DataSet);
  // Index-build progress: shows the progress window at the start of a
  // tag's record phase and moves its gauge; lets the message loop run.
  void PlatebnaStatus(TObject* Sender, int status, int current, int total);
  void ProdejnyStatus(TObject* Sender, int status, int current, int total);

  // ------------------------------------------------------------- paths
  // The settings file, the journal's table and index files as the program
  // names them.
  AnsiString IniFileName() const;
  AnsiString JournalTableFile() const;
  AnsiString JournalIndexFile() const;
  // An index file's name in the spelling the engine keeps for open files.
  static AnsiString IndexFileName(const AnsiString& name);

 private:
  int ReadWindowKey(int selector, const char* key, const char* defaultValue);
  // One pass of Index over a table and its compound index.
  void IndexPass(TXbaseDataSet* dataSet, const AnsiString& tableFile, const AnsiString& indexFile,
                 TJournalIndexFile kind, bool closeAtEnd, const AnsiString& failMessage);
  // Lets pending window messages run; during an index build at most every
  // few milliseconds so that they do not dominate the build.
  void LetMessagesRun(bool always);

  int64_t lastMessagesNs_ = 0;
};

// The one data module of the program (set while it is constructed).
extern TData* Data;

// A plain message box with the application's title and an OK button.
void ShowPlainMessage(const AnsiString& text);
