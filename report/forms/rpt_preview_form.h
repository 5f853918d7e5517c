// The preview window: the page in a scroll box, the tool bar with the page
// and zoom fields, the actions with their Czech menus and keys, the page
// and zoom texts, and printing, saving and opening page streams.
#pragma once

#include <memory>

#include "platform/gui/actions.h"
#include "platform/gui/com_controls.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/scroll_box.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/tool_bar.h"
#include "report/file_preview.h"

class TReportSystem;

class TRptPreviewForm : public TForm {
 public:
  explicit TRptPreviewForm(TComponent* owner);
  ~TRptPreviewForm() override;
  AnsiString ClassName() const override { return "TRptPreviewForm"; }

  TReportSystem* ReportSystem = nullptr;
  TScrollBox* ScrollBox1;
  TStatusBar* sbarMain;
  TToolBar* ToolBar1;
  TLabel* PageCaption;
  TEdit* PageEdit;
  TLabel* PageLabel;
  TLabel* ZoomCaption;
  TEdit* ZoomEdit;
  TLabel* PercentLabel;
  TFilePrinter* FilePrinter1;
  TFilePreview* FilePreview1;
  TActionList* ActionList1;
  TAction *actnFile_Print, *actnFile_Save, *actnFile_Exit, *actnFile_Open, *actnPage_First, *actnPage_Next,
      *actnPage_Previous, *actnPage_Last, *actnZoom_In, *actnZoom_Out, *actnZoom_PageWidth, *actnZoom_Page,
      *actnHelp_About;
  TMainMenu* MainMenu1;
  TMenuItem* GotoPageItem;  // "&Jdi na stranu #"
  TPopupMenu* PopupMenu1;
  TOpenDialog* dlogOpen;
  TSaveDialog* dlogSave;
  // Set when the window closed (ends the report system's wait).
  bool FormClosed = false;

  // Opens the page stream unless it is open and shows page 1.
  void StartPreview();
  // Shows another page-stream file (the Open command after its dialog).
  void OpenFile(const AnsiString& fileName);
  void FilePreview1PageChange(TObject* sender);
  void FilePreview1ZoomChange(TObject* sender);
  void FormKeyDown(TObject* sender, Word& key, TShiftState shift);
  void FormKeyPress(TObject* sender, char& key);
  void actnFile_PrintExecute();
  void actnFile_SaveExecute();
  void actnFile_OpenExecute();
  void GotoPageClick();
  void UpdateActions();
  AnsiString StatusText() const;

 private:
  TAction* Action(const char* name, const char* caption, const char* hint, TShortCut shortcut, const char* glyph,
                  std::function<void()> run);
  TMenuItem* Item(TMenuItem* parent, const AnsiString& caption, TAction* action);
  void Separator();
  void ApplyPageEdit();
  void ApplyZoomEdit();
  void GotoPage(int page);
};
