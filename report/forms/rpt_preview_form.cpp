#include "report/forms/rpt_preview_form.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "platform/gui/application.h"
#include "platform/gui/keys.h"
#include "platform/gui/resources.h"
#include "platform/rtl/fileio.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "report/forms/rpt_cursor.h"
#include "report/forms/rpt_setup_form.h"
#include "report/report_system.h"
#include "report/rpt_render.h"

namespace {

// The zoom text is written and read with "." whatever the format settings:
// the field only takes ".".
AnsiString ZoomText(double z) {
  char b[32];
  std::snprintf(b, sizeof b, "%.1f", z);
  return b;
}

// The tool bar's pictures, 16 x 16; "." is see-through.
void RegisterGlyphs() {
  static bool done = false;
  if (done) return;
  done = true;
  const std::map<char, TColor> palette = {{'.', clFuchsia}, {'k', clBlack}, {'w', clWhite}, {'y', clYellow},
                                          {'b', clNavy},    {'g', clSilver}, {'r', clRed}};
  RegisterBitmapResource("RPT_OPEN", {
      "................",
      "................",
      "................",
      ".kkkk...........",
      "kyyyyk..........",
      "kyyyykkkkkkkk...",
      "kyyyyyyyyyyyk...",
      "kyyykkkkkkkkkkk.",
      "kyykwwwwwwwwwwk.",
      "kyykwwwwwwwwwk..",
      "kykwwwwwwwwwwk..",
      "kykwwwwwwwwwk...",
      "kkwwwwwwwwwwk...",
      "kkkkkkkkkkkk....",
      "................",
      "................",},
                         palette);
  RegisterBitmapResource("RPT_SAVE", {
      "................",
      ".kkkkkkkkkkkkkk.",
      ".kbbwwwwwwwwbbk.",
      ".kbbwwwwwwwwbbk.",
      ".kbbwwwwwwwwbbk.",
      ".kbbwwwwwwwwbbk.",
      ".kbbbbbbbbbbbbk.",
      ".kbbbbbbbbbbbbk.",
      ".kbbggggggggbbk.",
      ".kbbggkkggggbbk.",
      ".kbbggkkggggbbk.",
      ".kbbggkkggggbbk.",
      ".kbbggggggggbbk.",
      ".kkkkkkkkkkkkkk.",
      "................",
      "................",},
                         palette);
  RegisterBitmapResource("RPT_PRINT", {
      "................",
      "....kkkkkkkk....",
      "....kwwwwwwk....",
      "....kwkkkkwk....",
      "....kwwwwwwk....",
      "..kkkkkkkkkkkk..",
      ".kggggggggggggk.",
      ".kggggggggggygk.",
      ".kggggggggggggk.",
      ".kkkkkkkkkkkkkk.",
      ".kgkwwwwwwwwkgk.",
      "...kwkkkkkkwk...",
      "...kwwwwwwwwk...",
      "...kkkkkkkkkk...",
      "................",
      "................",},
                         palette);
  RegisterBitmapResource("RPT_FIRST", {
      "................",
      "................",
      "................",
      "....kk...k......",
      "....kk..kk......",
      "....kk.kkk......",
      "....kkkkkk......",
      "....kkkkkk......",
      "....kkkkkk......",
      "....kk.kkk......",
      "....kk..kk......",
      "....kk...k......",
      "................",
      "................",
      "................",
      "................",},
                         palette);
  RegisterBitmapResource("RPT_PREV", {
      "................",
      "................",
      "................",
      ".........k......",
      "........kk......",
      ".......kkk......",
      "......kkkk......",
      ".....kkkkk......",
      "......kkkk......",
      ".......kkk......",
      "........kk......",
      ".........k......",
      "................",
      "................",
      "................",
      "................",},
                         palette);
  RegisterBitmapResource("RPT_NEXT", {
      "................",
      "................",
      "................",
      "......k.........",
      "......kk........",
      "......kkk.......",
      "......kkkk......",
      "......kkkkk.....",
      "......kkkk......",
      "......kkk.......",
      "......kk........",
      "......k.........",
      "................",
      "................",
      "................",
      "................",},
                         palette);
  RegisterBitmapResource("RPT_LAST", {
      "................",
      "................",
      "................",
      "......k...kk....",
      "......kk..kk....",
      "......kkk.kk....",
      "......kkkkkk....",
      "......kkkkkk....",
      "......kkkkkk....",
      "......kkk.kk....",
      "......kk..kk....",
      "......k...kk....",
      "................",
      "................",
      "................",
      "................",},
                         palette);
  RegisterBitmapResource("RPT_ZOOMIN", {
      "................",
      "....kkkk........",
      "..kk....kk......",
      ".k........k.....",
      ".k...kk...k.....",
      "k....kk....k....",
      "k..kkkkkk..k....",
      "k..kkkkkk..k....",
      "k....kk....k....",
      ".k...kk...k.....",
      ".k........k.....",
      "..kk....kkk.....",
      "....kkkk.kkk....",
      "..........kkk...",
      "...........kkk..",
      "............k...",},
                         palette);
  RegisterBitmapResource("RPT_ZOOMOUT", {
      "................",
      "....kkkk........",
      "..kk....kk......",
      ".k........k.....",
      ".k........k.....",
      "k..........k....",
      "k..kkkkkk..k....",
      "k..kkkkkk..k....",
      "k..........k....",
      ".k........k.....",
      ".k........k.....",
      "..kk....kkk.....",
      "....kkkk.kkk....",
      "..........kkk...",
      "...........kkk..",
      "............k...",},
                         palette);
  RegisterBitmapResource("RPT_FITWIDTH", {
      "................",
      "................",
      "................",
      "................",
      "...k........k...",
      "..kk........kk..",
      ".kkkkkkkkkkkkkk.",
      "kkkkkkkkkkkkkkkk",
      ".kkkkkkkkkkkkkk.",
      "..kk........kk..",
      "...k........k...",
      "................",
      "................",
      "................",
      "................",
      "................",},
                         palette);
  RegisterBitmapResource("RPT_FITPAGE", {
      "................",
      "...kkkkkkkkk....",
      "...kwwwwwwwkk...",
      "...kwwwwwwwkwk..",
      "...kwkkkkwwkkkk.",
      "...kwwwwwwwwwwk.",
      "...kwkkkkkkkwwk.",
      "...kwwwwwwwwwwk.",
      "...kwkkkkkkkwwk.",
      "...kwwwwwwwwwwk.",
      "...kwkkkkkkkwwk.",
      "...kwwwwwwwwwwk.",
      "...kwwwwwwwwwwk.",
      "...kkkkkkkkkkkk.",
      "................",
      "................",},
                         palette);
  RegisterBitmapResource("RPT_EXIT", {
      "................",
      "................",
      "..rr........rr..",
      "..rrr......rrr..",
      "...rrr....rrr...",
      "....rrr..rrr....",
      ".....rrrrrr.....",
      "......rrrr......",
      "......rrrr......",
      ".....rrrrrr.....",
      "....rrr..rrr....",
      "...rrr....rrr...",
      "..rrr......rrr..",
      "..rr........rr..",
      "................",
      "................",},
                         palette);
}

}  // namespace

TRptPreviewForm::TRptPreviewForm(TComponent* owner) : TForm(owner) {
  AfterConstruction();
  RegisterGlyphs();
  SetPosition(poScreenCenter);
  SetKeyPreview(true);
  SetClientWidth(600);
  SetClientHeight(420);

  ToolBar1 = new TToolBar(this);
  ToolBar1->SetParent(this);
  ToolBar1->SetHeight(29);

  sbarMain = new TStatusBar(this);
  sbarMain->SetParent(this);
  sbarMain->SetSimplePanel(true);

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

  dlogOpen = new TOpenDialog(this);
  dlogOpen->SetTitle("Open File");
  dlogOpen->SetDefaultExt(".rps");
  dlogOpen->SetFilter("Report Snapshot Files (*.rps)|*.rps|All Files|*.*");
  dlogOpen->SetOptions({ofFileMustExist});
  dlogSave = new TSaveDialog(this);
  dlogSave->SetTitle("Save File");
  dlogSave->SetDefaultExt(".rps");
  dlogSave->SetOptions({ofOverwritePrompt, ofPathMustExist, ofNoReadOnlyReturn});

  // The actions in the order of the tool bar, which they fill.
  ActionList1 = new TActionList(this);
  auto* fp = FilePreview1;
  TShiftState ctrl = TShiftState() << ssCtrl;
  actnFile_Open = Action("actnFile_Open", "&Open", "Open another report", ShortCut('O', ctrl), "RPT_OPEN",
                         [this] { actnFile_OpenExecute(); });
  actnFile_Save = Action("actnFile_Save", "&Save As", "Save report", ShortCut('S', ctrl), "RPT_SAVE",
                         [this] { actnFile_SaveExecute(); });
  actnFile_Print = Action("actnFile_Print", "&Print", "Tisk sestavy", ShortCut(VK_F8, {}), "RPT_PRINT",
                          [this] { actnFile_PrintExecute(); });
  ToolBar1->Controls(ToolBar1->ControlCount() - 1)->SetCaption("&Tisk");
  Separator();
  actnPage_First = Action("actnPage_First", "&First", "Move to first page", ShortCut(VK_HOME, ctrl), "RPT_FIRST",
                          [this] { GotoPage(1); });
  actnPage_Previous = Action("actnPage_Previous", "&Previous", "Move to previous page", ShortCut(VK_PRIOR, ctrl),
                             "RPT_PREV", [fp] { fp->PrevPage(); });
  actnPage_Next = Action("actnPage_Next", "&Next", "Move to next page", ShortCut(VK_NEXT, ctrl), "RPT_NEXT",
                         [fp] { fp->NextPage(); });
  actnPage_Last = Action("actnPage_Last", "&Last", "Move to last page", ShortCut(VK_END, ctrl), "RPT_LAST",
                         [this, fp] { GotoPage(fp->PageCount()); });
  Separator();
  auto label = [&](const AnsiString& text) {
    auto* l = new TLabel(this);
    l->SetParent(ToolBar1);
    l->SetCaption(" " + text + " ");
    return l;
  };
  PageCaption = label(Cz("Strana"));
  PageEdit = new TEdit(this);
  PageEdit->SetName("PageEdit");
  PageEdit->SetParent(ToolBar1);
  PageEdit->SetBounds(0, 0, 44, 21);
  PageLabel = new TLabel(this);
  PageLabel->SetParent(ToolBar1);
  PageLabel->SetAutoSize(false);
  PageLabel->SetLayout(tlCenter);
  PageLabel->SetCaption("z 3000");
  PageLabel->SetBounds(0, 0, PageLabel->Canvas()->TextWidth("z 3000") + 8, 21);
  Separator();
  actnZoom_In = Action("actnZoom_In", "Zoom &In", "Zoom In (+)", 0, "RPT_ZOOMIN", [fp] { fp->ZoomIn(); });
  actnZoom_Out = Action("actnZoom_Out", "Zoom &Out", "Zoom Out (-)", 0, "RPT_ZOOMOUT", [fp] { fp->ZoomOut(); });
  actnZoom_PageWidth = Action("actnZoom_PageWidth", "Fit to Page &Width", "Zoom to fit page width",
                              ShortCut('W', ctrl), "RPT_FITWIDTH", [fp] { fp->SetZoomFactor(-2); });
  actnZoom_Page = Action("actnZoom_Page", "Fit to &Page", "Zoom to fit page", ShortCut('F', ctrl), "RPT_FITPAGE",
                         [fp] { fp->SetZoomFactor(-1); });
  Separator();
  ZoomCaption = label("Zoom");
  ZoomEdit = new TEdit(this);
  ZoomEdit->SetName("ZoomEdit");
  ZoomEdit->SetParent(ToolBar1);
  ZoomEdit->SetBounds(0, 0, 50, 21);
  ZoomEdit->SetText("100.0");
  PercentLabel = label("%");
  Separator();
  actnFile_Exit = Action("actnFile_Exit", "E&xit", "Exit viewer", 0, "RPT_EXIT", [this] { Close(); });
  actnHelp_About = Action("actnHelp_About", "&About", "", 0, nullptr, [] { ShowMessage(Application->Title()); });
  ToolBar1->Realign();

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
  Item(page, "-", nullptr);
  GotoPageItem = Item(page, Cz("&Jdi na stranu #"), nullptr);
  GotoPageItem->SetHint("Go to specified page");
  GotoPageItem->SetShortCut(ShortCut('G', ctrl));
  GotoPageItem->OnClick = [this](TObject*) { GotoPageClick(); };
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
                                 const char* glyph, std::function<void()> run) {
  auto* a = new TAction(this);
  a->SetName(name);
  a->SetCaption(caption);
  a->SetHint(hint);
  a->SetShortCut(shortcut);
  a->SetActionList(ActionList1);
  a->OnExecute = [this, run](TObject*) {
    run();
    UpdateActions();
  };
  if (glyph) {
    auto* b = new TToolButton(this);
    b->SetParent(ToolBar1);
    TBitmap picture;
    picture.LoadFromResourceName(glyph);
    b->SetGlyph(&picture);
    b->SetAction(a);
  }
  return a;
}

void TRptPreviewForm::Separator() {
  auto* b = new TToolButton(this);
  b->SetParent(ToolBar1);
  b->SetStyle(tbsSeparator);
}

TMenuItem* TRptPreviewForm::Item(TMenuItem* parent, const AnsiString& caption, TAction* action) {
  auto* m = new TMenuItem(this);
  if (action) m->SetAction(action);
  m->SetCaption(caption);
  parent->Add(m);
  return m;
}

void TRptPreviewForm::StartPreview() {
  if (!FilePreview1->Running()) FilePreview1->StartDocument();
  if (FilePreview1->PageCount() == 0) FilePreview1PageChange(FilePreview1);
  if (ReportSystem && ReportSystem->OnPreviewShow) ReportSystem->OnPreviewShow(FilePreview1);
  UpdateActions();
}

void TRptPreviewForm::OpenFile(const AnsiString& fileName) {
  if (FilePreview1->Running()) FilePreview1->FinishDocument();
  for (TFilePrinter* p : {FilePrinter1, static_cast<TFilePrinter*>(FilePreview1)}) {
    p->SetStreamMode(smFile);
    p->SetFileName(fileName);
  }
  UpdateActions();
  FilePreview1->StartDocument();
  if (FilePreview1->PageCount() == 0) FilePreview1PageChange(FilePreview1);
  SetCaption(Application->Title() + " - [ " + ExtractFileName(fileName) + " ]");
  UpdateActions();
}

AnsiString TRptPreviewForm::StatusText() const { return sbarMain->SimpleText(); }

void TRptPreviewForm::FilePreview1PageChange(TObject*) {
  int page = FilePreview1->CurrentPage(), count = FilePreview1->PageCount();
  PageEdit->SetText(IntToStr(page));
  PageLabel->SetCaption("z " + IntToStr(count));
  PageLabel->SetWidth(PageLabel->Canvas()->TextWidth(PageLabel->Caption()) + 8);
  ToolBar1->Realign();
  sbarMain->SetSimpleText("Page " + IntToStr(page) + " z " + IntToStr(count));
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
  for (TAction* a : {actnZoom_In, actnZoom_Out, actnZoom_PageWidth, actnZoom_Page, actnFile_Save}) a->SetEnabled(open);
  bool printing = !ReportSystem || ReportSystem->SystemOptions.count(soAllowPrintFromPreview) > 0;
  actnFile_Print->SetEnabled(open && printing);
}

void TRptPreviewForm::GotoPage(int page) {
  int count = FilePreview1->PageCount();
  if (!FilePreview1->Running() || count == 0) return;
  page = std::clamp(page, 1, count);
  if (page != FilePreview1->CurrentPage()) FilePreview1->PlayPage(page);
  UpdateActions();
}

void TRptPreviewForm::GotoPageClick() {
  AnsiString value = IntToStr(FilePreview1->CurrentPage());
  if (!InputQuery("Go to Page", "Enter page to move to:", value)) return;
  int page = StrToIntDef(Trim(value), -1);
  if (page >= 0 && page != FilePreview1->CurrentPage()) GotoPage(page);
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

void TRptPreviewForm::actnFile_PrintExecute() {
  TReportSystem* rs = ReportSystem;
  if (rs && !rs->SystemOptions.count(soAllowPrintFromPreview)) return;
  TFilePrinter* printer = FilePrinter1;
  if (!rs || rs->SystemSetups.count(ssAllowPreviewSetup)) {
    std::unique_ptr<TRptSetupForm> setup(new TRptSetupForm(this));
    setup->SetCaption(rs ? rs->TitleSetup : AnsiString("Output Options"));
    setup->ReportSystem = rs;
    setup->PreviewSetup = true;
    setup->FilePrinter = printer;
    if (setup->ShowModal() != mrOk) return;
    // The choices made here stand over what the stream stored.
    printer->SettingsChosen = true;
  }
  // Without printers the player only says so, once.
  if (!printer->HasPrinter()) {
    printer->RunReport();
    return;
  }
  // A printer that cannot make all the copies itself gets one pass per copy.
  int copies = printer->Copies();
  int passes = copies > 1 && copies > printer->Device()->MaxCopies() ? copies : 1;
  if (passes > 1) printer->SetCopies(1);
  std::exception_ptr failure;
  try {
    for (int pass = 1; pass <= passes; ++pass) {
      printer->SetPasses(pass, passes);
      printer->RunReport();
      if (printer->Aborted()) break;
    }
  } catch (...) {
    failure = std::current_exception();
  }
  printer->SetCopies(copies);
  printer->SetPasses(1, 1);
  if (failure) std::rethrow_exception(failure);
}

void TRptPreviewForm::actnFile_SaveExecute() {
  AnsiString filter = "Report Snapshot Files (*.rps)|*.rps";
  if (!RendererFilter().empty()) filter += "|" + RendererFilter();
  dlogSave->SetFilter(filter);
  if (!dlogSave->Execute()) return;
  TRptWaitCursor wait;
  std::unique_ptr<TStream> own;
  TStream* stream = FilePreview1->StreamMode() == smUser ? FilePreview1->Stream() : nullptr;
  if (!stream) {
    own = std::make_unique<TFileStream>(FilePreview1->FileName(), fmOpenRead);
    stream = own.get();
  }
  int64_t position = stream->Position();
  try {
    stream->SetPosition(0);
    int index = dlogSave->FilterIndex();
    if (index <= 1) {
      // Replaced whole, so a failed save never leaves half of a report over
      // the file chosen.
      std::string bytes(static_cast<std::size_t>(stream->Size()), '\0');
      stream->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
      if (!WriteFileAtomically(dlogSave->FileName(), bytes))
        throw EFCreateError(Format("Cannot create file \"%s\"", dlogSave->FileName()));
    } else {
      TStringList names;
      RendererNames(&names);
      if (index - 2 < names.Count())
        static_cast<TRptRender*>(names.Objects(index - 2))->RenderFile(stream, dlogSave->FileName());
    }
  } catch (...) {
    stream->SetPosition(position);
    throw;
  }
  stream->SetPosition(position);
}

void TRptPreviewForm::actnFile_OpenExecute() {
  if (!dlogOpen->Execute()) return;
  OpenFile(dlogOpen->FileName());
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
