#include "report/forms/rpt_preview_form.h"

#include <cmath>

#include "platform/gui/application.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/keys.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/system.h"
#include "report/report_system.h"

namespace {

// The zoom text is written and read with "." whatever the format settings:
// the field only takes ".".
AnsiString ZoomText(double z) {
  char b[32];
  std::snprintf(b, sizeof b, "%.1f", z);
  return b;
}

}  // namespace

TRptPreviewForm::TRptPreviewForm(TComponent* owner) : TForm(owner) {
  AfterConstruction();
  SetPosition(poScreenCenter);
  SetKeyPreview(true);
  SetClientWidth(600);
  SetClientHeight(420);

  ToolBar1 = new TPanel(this);
  ToolBar1->SetParent(this);
  ToolBar1->SetAlign(alTop);
  ToolBar1->SetHeight(28);
  ToolBar1->SetCaption("");
  auto label = [&](const AnsiString& text, int x) {
    auto* l = new TLabel(this);
    l->SetParent(ToolBar1);
    l->SetCaption(text);
    l->SetLeft(x);
    l->SetTop(7);
    return l;
  };
  PageCaption = label(Cz("Strana"), 8);
  PageEdit = new TEdit(this);
  PageEdit->SetName("PageEdit");
  PageEdit->SetParent(ToolBar1);
  PageEdit->SetBounds(52, 3, 44, 21);
  PageLabel = label("z 3000", 100);
  ZoomCaption = label("Zoom", 170);
  ZoomEdit = new TEdit(this);
  ZoomEdit->SetName("ZoomEdit");
  ZoomEdit->SetParent(ToolBar1);
  ZoomEdit->SetBounds(210, 3, 50, 21);
  ZoomEdit->SetText("100.0");
  PercentLabel = label("%", 264);

  sbarMain = new TPanel(this);
  sbarMain->SetParent(this);
  sbarMain->SetAlign(alBottom);
  sbarMain->SetHeight(19);
  sbarMain->SetBevelOuter(bvLowered);
  sbarMain->SetAlignment(taLeftJustify);
  sbarMain->SetCaption("");

  ScrollBox1 = new TScrollBox(this);
  ScrollBox1->SetParent(this);
  ScrollBox1->SetAlign(alClient);

  FilePrinter1 = new TFilePrinter(this);
  FilePrinter1->SetStreamMode(smFile);
  FilePreview1 = new TFilePreview(this);
  FilePreview1->SetStreamMode(smFile);
  FilePreview1->ScrollBox = ScrollBox1;
  FilePreview1->SetZoomFactor(100);
  FilePreview1->MarginPercent = 5;
  FilePreview1->SetShadowDepth(2);
  FilePreview1->OnZoomChange = [this](TObject* s) { FilePreview1ZoomChange(s); };
  FilePreview1->OnPageChange = [this](TObject* s) { FilePreview1PageChange(s); };

  ActionList1 = new TActionList(this);
  auto* fp = FilePreview1;
  actnFile_Print = Action("actnFile_Print", "&Print", "Tisk sestavy", ShortCut(VK_F8, {}), [] {});
  actnFile_Save = Action("actnFile_Save", "&Save As", "Save report", ShortCut('S', TShiftState() << ssCtrl), [] {});
  actnFile_Exit = Action("actnFile_Exit", "E&xit", "Exit viewer", 0, [this] { Close(); });
  actnFile_Open = Action("actnFile_Open", "&Open", "Open another report", ShortCut('O', TShiftState() << ssCtrl), [] {});
  actnPage_First = Action("actnPage_First", "&First", "Move to first page", ShortCut(VK_HOME, TShiftState() << ssCtrl),
                          [this] { GotoPage(1); });
  actnPage_Next = Action("actnPage_Next", "&Next", "Move to next page", ShortCut(VK_NEXT, TShiftState() << ssCtrl),
                         [fp] { fp->NextPage(); });
  actnPage_Previous = Action("actnPage_Previous", "&Previous", "Move to previous page",
                             ShortCut(VK_PRIOR, TShiftState() << ssCtrl), [fp] { fp->PrevPage(); });
  actnPage_Last = Action("actnPage_Last", "&Last", "Move to last page", ShortCut(VK_END, TShiftState() << ssCtrl),
                         [this, fp] { GotoPage(fp->PageCount()); });
  actnZoom_In = Action("actnZoom_In", "Zoom &In", "Zoom In (+)", 0, [fp] { fp->ZoomIn(); });
  actnZoom_Out = Action("actnZoom_Out", "Zoom &Out", "Zoom Out (-)", 0, [fp] { fp->ZoomOut(); });
  actnZoom_PageWidth = Action("actnZoom_PageWidth", "Fit to Page &Width", "Zoom to fit page width",
                              ShortCut('W', TShiftState() << ssCtrl), [fp] { fp->SetZoomFactor(-2); });
  actnZoom_Page = Action("actnZoom_Page", "Fit to &Page", "Zoom to fit page", ShortCut('F', TShiftState() << ssCtrl),
                         [fp] { fp->SetZoomFactor(-1); });
  actnHelp_About = Action("actnHelp_About", "&About", "", 0, [] { ShowMessage(Application->Title()); });

  MainMenu1 = new TMainMenu(this);
  TMenuItem* root = MainMenu1->Items();
  auto sub = [&](const AnsiString& caption) {
    auto* m = new TMenuItem(this);
    m->SetCaption(caption);
    root->Add(m);
    return m;
  };
  TMenuItem* file = sub(Cz("&Soubor"));
  Item(file, Cz("&Otevři"), actnFile_Open);
  Item(file, Cz("&Ulož jako"), actnFile_Save);
  Item(file, Cz("&Tiskni"), actnFile_Print);
  Item(file, "-", nullptr);
  Item(file, Cz("&Konec"), actnFile_Exit);
  TMenuItem* page = sub(Cz("&Strana"));
  Item(page, Cz("&První"), actnPage_First);
  Item(page, Cz("V&zad"), actnPage_Previous);
  Item(page, Cz("&Vpřed"), actnPage_Next);
  Item(page, Cz("P&oslední"), actnPage_Last);
  TMenuItem* zoom = sub(Cz("&Zoom"));
  Item(zoom, Cz("&Zvětšení"), actnZoom_In);
  Item(zoom, Cz("Z&menšení"), actnZoom_Out);
  Item(zoom, "-", nullptr);
  Item(zoom, Cz("&Celá strana"), actnZoom_Page);
  Item(zoom, Cz("&Přizpůsobit na šířku"), actnZoom_PageWidth);
  TMenuItem* help = sub(Cz("&Pomoc"));
  Item(help, Cz("&O programu"), actnHelp_About);
  SetMenu(MainMenu1);
  PopupMenu1 = new TPopupMenu(this);
  Item(PopupMenu1->Items(), Cz("&Zvětšení"), actnZoom_In);
  Item(PopupMenu1->Items(), Cz("Z&menšení"), actnZoom_Out);
  ScrollBox1->SetPopupMenu(PopupMenu1);

  OnKeyDown = [this](TObject* s, Word& k, TShiftState sh) { FormKeyDown(s, k, sh); };
  OnKeyPress = [this](TObject* s, char& k) { FormKeyPress(s, k); };
  PageEdit->OnKeyPress = [this](TObject*, char& k) {
    if (k == '.') k = 0;
    if (k == '\r') {
      ApplyPageEdit();
      k = 0;
    }
  };
  PageEdit->OnExit = [this](TObject*) { ApplyPageEdit(); };
  ZoomEdit->OnKeyPress = [this](TObject*, char& k) {
    AnsiString t = ZoomEdit->Text();
    std::size_t dot = t.find('.');
    if (k >= '0' && k <= '9' && ZoomEdit->SelLength() == 0 && dot != std::string::npos && dot + 1 < t.size())
      k = 0;
    if (k == '\r') {
      ApplyZoomEdit();
      ZoomEdit->SelectAll();
      k = 0;
    }
  };
  ZoomEdit->OnExit = [this](TObject*) { ApplyZoomEdit(); };
  OnClose = [this](TObject*, TCloseAction&) {
    if (FilePreview1->Running()) FilePreview1->FinishDocument();
    FormClosed = true;
  };
  UpdateActions();
}

TRptPreviewForm::~TRptPreviewForm() = default;

TAction* TRptPreviewForm::Action(const char* name, const char* caption, const char* hint, TShortCut shortcut,
                                 std::function<void()> run) {
  auto* a = new TAction(this);
  a->SetName(name);
  a->SetCaption(caption);
  a->SetHint(hint);
  a->SetShortCut(shortcut);
  a->SetActionList(ActionList1);
  a->OnExecute = [run](TObject*) { run(); };
  return a;
}

TMenuItem* TRptPreviewForm::Item(TMenuItem* parent, const AnsiString& caption, TAction* action) {
  auto* m = new TMenuItem(this);
  m->SetCaption(caption);
  if (action) {
    m->SetShortCut(action->ShortCut());
    m->OnClick = [this, action](TObject*) {
      action->Execute();
      UpdateActions();
    };
  }
  parent->Add(m);
  return m;
}

void TRptPreviewForm::StartPreview() {
  if (!FilePreview1->Running()) FilePreview1->StartDocument();
  if (FilePreview1->PageCount() == 0) FilePreview1PageChange(FilePreview1);
  if (ReportSystem && ReportSystem->OnPreviewShow) ReportSystem->OnPreviewShow(FilePreview1);
  UpdateActions();
}

AnsiString TRptPreviewForm::StatusText() const { return sbarMain->Caption(); }

void TRptPreviewForm::FilePreview1PageChange(TObject*) {
  int page = FilePreview1->CurrentPage(), count = FilePreview1->PageCount();
  PageEdit->SetText(IntToStr(page));
  PageLabel->SetCaption("z " + IntToStr(count));
  PageLabel->SetWidth(PageLabel->Canvas()->TextWidth(PageLabel->Caption()) + 8);
  sbarMain->SetCaption("Page " + IntToStr(page) + " z " + IntToStr(count));
  UpdateActions();
}

void TRptPreviewForm::FilePreview1ZoomChange(TObject*) {
  ZoomEdit->SetText(ZoomText(FilePreview1->ZoomFactor()));
  FilePreview1->RedrawPage();
}

void TRptPreviewForm::UpdateActions() {
  bool open = FilePreview1->Running();
  int page = FilePreview1->CurrentPage(), count = FilePreview1->PageCount();
  actnPage_First->SetEnabled(open && page > 1);
  actnPage_Previous->SetEnabled(open && page > 1);
  actnPage_Next->SetEnabled(open && page < count);
  actnPage_Last->SetEnabled(open && page < count);
  for (TAction* a : {actnZoom_In, actnZoom_Out, actnZoom_PageWidth, actnZoom_Page}) a->SetEnabled(open);
  // Printing, saving and opening from this window wait for the file
  // dialogs; until then they are offered but not enabled.
  for (TAction* a : {actnFile_Print, actnFile_Save, actnFile_Open}) a->SetEnabled(false);
}

void TRptPreviewForm::GotoPage(int page) {
  if (!FilePreview1->Running() || page < 1 || page > FilePreview1->PageCount()) return;
  if (page != FilePreview1->CurrentPage()) FilePreview1->PlayPage(page);
  UpdateActions();
}

void TRptPreviewForm::ApplyPageEdit() {
  int page = StrToIntDef(Trim(PageEdit->Text()), -1);
  if (page >= 0 && page != FilePreview1->CurrentPage()) GotoPage(page);
}

void TRptPreviewForm::ApplyZoomEdit() {
  double z;
  AnsiString t = Trim(ZoomEdit->Text());
  TFormatSettings dot = FormatSettings();
  dot.DecimalSeparator = '.';
  if (TryStrToFloat(t, z, dot) && std::isfinite(z) && z != FilePreview1->ZoomFactor()) FilePreview1->SetZoomFactor(z);
}

void TRptPreviewForm::FormKeyDown(TObject*, Word& key, TShiftState shift) {
  bool plain = shift == TShiftState() || shift == (TShiftState() << ssCtrl);
  bool ctrlShift = shift == (TShiftState() << ssCtrl << ssShift);
  TControlScrollBar* v = ScrollBox1->VertScrollBar();
  TControlScrollBar* h = ScrollBox1->HorzScrollBar();
  if (!plain && !ctrlShift) return;
  switch (key) {
    case VK_PRIOR: if (plain) v->SetPosition(v->Position() - ScrollBox1->Height()); else return; break;
    case VK_NEXT: if (plain) v->SetPosition(v->Position() + ScrollBox1->Height()); else return; break;
    case VK_HOME: if (plain) v->SetPosition(0); else return; break;
    case VK_END: if (plain) v->SetPosition(v->Range()); else return; break;
    case VK_UP:
      if (!plain) return;
      if (v->Position() == 0 && FilePreview1->CurrentPage() > 1) {
        FilePreview1->PrevPage();
        v->SetPosition(v->Range());
      } else {
        v->SetPosition(v->Position() - v->Increment());
      }
      break;
    case VK_DOWN: {
      if (!plain) return;
      int before = v->Position();
      v->SetPosition(before + v->Increment());
      if (v->Position() == before && FilePreview1->CurrentPage() < FilePreview1->PageCount()) {
        FilePreview1->NextPage();
        v->SetPosition(0);
      }
      break;
    }
    case VK_LEFT:
    case VK_RIGHT: {
      int sign = key == VK_LEFT ? -1 : 1;
      if (ctrlShift)
        h->SetPosition(h->Position() + sign * ScrollBox1->Width());
      else if (shift.Contains(ssCtrl))
        h->SetPosition(h->Position() + sign * h->Increment());
      else
        return;
      break;
    }
    default: return;
  }
  key = 0;
  UpdateActions();
}

void TRptPreviewForm::FormKeyPress(TObject*, char& key) {
  if (key == 27 || key == 'x' || key == 'X') {
    key = 0;
    actnFile_Exit->Execute();
    return;
  }
  static const AnsiString allowed = "eEbBwWfFnNpP+-0123456789.\r\b";
  if (allowed.find(key) == std::string::npos) {
    key = 0;
    return;
  }
  bool handled = true;
  switch (key) {
    case '+': FilePreview1->ZoomIn(); break;
    case '-': FilePreview1->ZoomOut(); break;
    case 'b': case 'B': GotoPage(1); break;
    case 'e': case 'E': GotoPage(FilePreview1->PageCount()); break;
    case 'f': case 'F': FilePreview1->SetZoomFactor(-1); break;
    case 'w': case 'W': FilePreview1->SetZoomFactor(-2); break;
    case 'n': case 'N': FilePreview1->NextPage(); break;
    case 'p': case 'P': FilePreview1->PrevPage(); break;
    default: handled = false;
  }
  if (handled) {
    key = 0;
    PageEdit->SelectAll();
    ZoomEdit->SelectAll();
    UpdateActions();
  }
}
