// The setup window of a report: the destination (printer, preview or a
// file in one of the formats), the copies, collate and duplex options, and
// in print-from-preview mode the page range of the page-stream printer.
#pragma once

#include "platform/gui/dialogs.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "report/file_printer.h"

class TReportSystem;

class TRptSetupForm : public TForm {
 public:
  explicit TRptSetupForm(TComponent* owner);
  AnsiString ClassName() const override { return "TRptSetupForm"; }

  TReportSystem* ReportSystem = nullptr;
  // Print-from-preview mode: the range of this printer is set.
  bool PreviewSetup = false;
  TFilePrinter* FilePrinter = nullptr;

  TButton *bbtnOK, *CancelBB, *SetupBB;
  TLabel* PrinterLabel;
  TLabel* CopiesLabel;
  TEdit* CopiesED;
  TCheckBox *CollateCK, *DuplexCK;
  // The two pages, one shown at a time: destination and page range.
  TGroupBox *DestPage, *RangePage;
  TRadioButton *PrinterRB, *PreviewRB, *FileRB;
  TEdit* editFileName;
  TButton* FileNameSB;  // browse
  TComboBox* cboxFormat;
  TRadioButton *AllRB, *SelectionRB, *PagesRB;
  TLabel *SelectionLabel, *FromLabel, *ToLabel;
  TEdit *SelectionED, *FromED, *ToED;
  TSaveDialog* dlogSave;

  void FormShow();
  void DestinationClick();
  void RangeClick();
  void SetupClick();
  // Browses for the output file: the chosen name and its format.
  void FileNameSBClick();
  void cboxFormatChange();
  // Answers false (and keeps the window open) when a number is invalid.
  bool bbtnOKClick();
  // The label text of the selected printer.
  static AnsiString PrinterText();

 private:
  TGroupBox* Group(TWinControl* parent, const AnsiString& caption, int x, int y, int w, int h);
};
