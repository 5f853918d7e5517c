// The preview window: the page in a scroll box, the page and zoom fields,
// the actions with their Czech menus and keys, and the page and zoom
// texts. Opening another file, saving, printing from the preview and the
// tool bar come with the file dialogs and the setup window.
#pragma once

#include <memory>

#include "platform/gui/actions.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/scroll_box.h"
#include "platform/gui/std_controls.h"
#include "report/file_preview.h"

class TReportSystem;

class TRptPreviewForm : public TForm {
 public:
  explicit TRptPreviewForm(TComponent* owner);
  ~TRptPreviewForm() override;
  AnsiString ClassName() const override { return "TRptPreviewForm"; }

  TReportSystem* ReportSystem = nullptr;
  TScrollBox* ScrollBox1;
  TPanel* sbarMain;  // the status line (simple text)
  TPanel* ToolBar1;
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
  TPopupMenu* PopupMenu1;
  // Set when the window closed (ends the report system's wait).
  bool FormClosed = false;

  // Opens the page stream and shows page 1.
  void StartPreview();
  void FilePreview1PageChange(TObject* sender);
  void FilePreview1ZoomChange(TObject* sender);
  void FormKeyDown(TObject* sender, Word& key, TShiftState shift);
  void FormKeyPress(TObject* sender, char& key);
  void UpdateActions();
  AnsiString StatusText() const;

 private:
  TAction* Action(const char* name, const char* caption, const char* hint, TShortCut shortcut,
                  std::function<void()> run);
  TMenuItem* Item(TMenuItem* parent, const AnsiString& caption, TAction* action);
  void ApplyPageEdit();
  void ApplyZoomEdit();
  void GotoPage(int page);
};
