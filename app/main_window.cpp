// The main window: layout (pixels at 96 dpi, font "MS Sans Serif" -11),
// menu, keys, the journal grid and the commands behind them.
#include "app/main_window.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/data_module.h"
#include "platform/gui/application.h"
#include "platform/rtl/system.h"

TPlatebna* Platebna = nullptr;

namespace {

// The defaults of a window that has no usable stored geometry.
constexpr int kDefaultTop = 50;
constexpr int kDefaultLeft = 50;
constexpr int kDefaultWidth = 580;
constexpr int kDefaultHeight = 365;

TButton* NewButton(TPlatebna* form, TWinControl* parent, const char* name, const char* caption, int left) {
  auto* button = new TButton(form);
  button->SetName(name);
  button->SetParent(parent);
  button->SetBounds(left, 8, 75, 25);
  button->SetCaption(Cz(caption));
  button->SetTabStop(true);
  return button;
}

TMenuItem* NewItem(TPlatebna* form, TMenuItem* parent, const char* name, const char* caption) {
  auto* item = new TMenuItem(form);
  item->SetName(name);
  item->SetCaption(Cz(caption));
  parent->Add(item);
  return item;
}

// Binds an event slot to a handler of the form.
template <class Handler>
TNotifyEvent Bind(TPlatebna* form, Handler handler) {
  return [form, handler](TObject* sender) { (form->*handler)(sender); };
}

struct JournalColumn {
  const char* field;
  int width;              // 0: from the field
  const char* title;      // "": the field's display label
};

const JournalColumn kJournalColumns[] = {
    {"PLA_DAT", 0, ""},   {"PLA_DO1", 0, ""},  {"PLA_TYP", 0, ""},  {"PLA_KOM", 186, ""},
    {"PLA_PRI", 0, ""},   {"PLA_VYD", 0, ""},  {"PLA_STA", 68, ""}, {"PLA_KDO", 64, ""},
    {"PLA_BYT", 64, ""},  {"PLA_SML", 0, ""},  {"PLA_HOD", 64, ""}, {"PLA_ROC", 0, "Identifikace"},
};

}  // namespace

TPlatebna::TPlatebna(TComponent* owner) : TForm(owner) {
  Platebna = this;
  SetName("Platebna");
  SetCaption(Cz("Kelvo - Pokladní deník 1.20"));
  Font()->SetName("MS Sans Serif");
  Font()->SetHeight(-11);
  Font()->SetCharset(EASTEUROPE_CHARSET);
  SetBorderIcons({biSystemMenu, biMinimize});
  SetKeyPreview(true);
  SetBounds(kDefaultLeft, kDefaultTop, 580, 363);

  MainMenu1 = new TMainMenu(this);
  MainMenu1->SetName("MainMenu1");
  TMenuItem* root = MainMenu1->Items();
  Doklad1 = NewItem(this, root, "Doklad1", "Doklad");
  Novdoklad1 = NewItem(this, Doklad1, "Novdoklad1", "Nový doklad");
  Opravadokladu1 = NewItem(this, Doklad1, "Opravadokladu1", "Oprava dokladu");
  Hledej1 = NewItem(this, root, "Hledej1", "Hledej");
  Sestavy1 = NewItem(this, root, "Sestavy1", "Sestavy");
  Platebnakniha1 = NewItem(this, Sestavy1, "Platebnakniha1", "Pokladní kniha");
  Sestavarozloen1 = NewItem(this, Sestavy1, "Sestavarozloen1", "Sestava rozložení příjmů a výdajů");
  Konfigurace1 = NewItem(this, root, "Konfigurace1", "Konfigurace");
  Udajeofirm1 = NewItem(this, Konfigurace1, "Udajeofirm1", "Údaje o firmě");
  Typypjmavdej1 = NewItem(this, Konfigurace1, "Typypjmavdej1", "Typy příjmů a výdejů");
  Indexacesoubor1 = NewItem(this, Konfigurace1, "Indexacesoubor1", "Indexace souborů");
  Nastaventiskrny1 = NewItem(this, Konfigurace1, "Nastaventiskrny1", "Systémová nastavení");
  Pepoetzstatk1 = NewItem(this, Konfigurace1, "Pepoetzstatk1", "Přepočet zůstatků");
  Konec2 = NewItem(this, root, "Konec2", "Konec");
  SetMenu(MainMenu1);

  Panel1 = new TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetAlign(alTop);
  Panel1->SetHeight(41);
  Panel1->SetBevelOuter(bvLowered);
  Panel1->SetCaption("");

  DBNavigator1 = new TDBNavigator(this);
  DBNavigator1->SetName("DBNavigator1");
  DBNavigator1->SetParent(Panel1);
  DBNavigator1->SetBounds(8, 8, 112, 25);
  DBNavigator1->SetVisibleButtons({nbFirst, nbPrior, nbNext, nbLast});
  DBNavigator1->SetDataSource(Data ? Data->DataPlatebna : nullptr);

  Button1 = NewButton(this, Panel1, "Button1", "F5 Hledej", 128);
  Button1->SetTabStop(false);
  Button4 = NewButton(this, Panel1, "Button4", "F8 Tisk", 208);
  Button3 = NewButton(this, Panel1, "Button3", "F4 Oprava", 400);
  Button2 = NewButton(this, Panel1, "Button2", "F2 Nový", 480);

  DBGrid1 = new TDBGrid(this);
  DBGrid1->SetName("DBGrid1");
  DBGrid1->SetParent(this);
  DBGrid1->SetAlign(alClient);
  DBGrid1->SetTabStop(true);
  DBGrid1->SetReadOnly(true);
  DBGrid1->SetOptions({dgTitles, dgIndicator, dgColLines, dgRowLines, dgTabs, dgRowSelect,
                       dgAlwaysShowSelection, dgConfirmDelete, dgCancelOnExit});
  DBGrid1->SetDataSource(Data ? Data->DataPlatebna : nullptr);
  for (const JournalColumn& layout : kJournalColumns) {
    TColumn* column = DBGrid1->Columns()->Add();
    column->SetFieldName(layout.field);
    if (layout.width > 0) column->SetWidth(layout.width);
    if (*layout.title) column->Title()->SetCaption(Cz(layout.title));
  }

  FxStatusBar1 = new TFxStatusBar(this);
  FxStatusBar1->SetName("FxStatusBar1");
  FxStatusBar1->SetParent(this);
  FxStatusBar1->SetAlign(alBottom);
  FxStatusBar1->SetAutoStyle(false);
  FxStatusBar1->SetBorderInner(fsNone);
  FxStatusBar1->SetBorderOuter(fsNone);
  FxStatusBar1->SetBorderWidth(0);
  FxStatusBar1->SetHeight(19);
  auto pane = [this](TFxCustomStatusPane* p, const char* name, int width, TAlign align) {
    p->SetName(name);
    p->SetParent(FxStatusBar1);
    p->SetWidth(width);
    p->SetAlign(align);
    p->SetFrameStyle(fsBump);
  };
  FxStatusPane1 = new TFxStatusPane(this);
  pane(FxStatusPane1, "FxStatusPane1", 313, alLeft);
  FxKeyStatus1 = new TFxKeyStatus(this);
  pane(FxKeyStatus1, "FxKeyStatus1", 45, alLeft);
  FxKeyStatus1->SetAlignment(taCenter);
  FxKeyStatus1->SetEnabled(false);
  FxKeyStatus2 = new TFxKeyStatus(this);
  pane(FxKeyStatus2, "FxKeyStatus2", 45, alLeft);
  FxKeyStatus2->SetAlignment(taCenter);
  FxKeyStatus2->SetKey(tkNumLock);
  FxClockStatus1 = new TFxClockStatus(this);
  pane(FxClockStatus1, "FxClockStatus1", 150, alClient);

  waFormMagnet1 = new TwaFormMagnet(this);
  waFormMagnet1->SetName("waFormMagnet1");
  waFormMagnet1->SetGlue(false);
  waFormMagnet1->SetFormDragable(false);
  waFormMagnet1->SetFormTopmost(false);
  waFormMagnet1->ScreenMagnet()->SetArea(saWorkArea);

  waFormTopmost1 = new TwaFormTopmost(this);
  waFormTopmost1->SetName("waFormTopmost1");
  waFormTopmost1->CaptionButton()->SetBtnOrder(0);
  waFormTopmost1->CaptionButton()->SetCursorDown(crDefault);
  waFormTopmost1->CaptionButton()->SetHint("Always on top");
  waFormTopmost1->CaptionButton()->SetVisible(true);
  waFormTopmost1->SystemMenu()->SetApplyToMenu(true);
  waFormTopmost1->SystemMenu()->SetCaption("Always on &top");
  waFormTopmost1->SystemMenu()->SetPosition(7);
  waFormTopmost1->SystemMenu()->SetSeparators(TwaMenuSeparators{seBefore});
  waFormTopmost1->SetTopmost(false);

  OneInstance1 = new TOneInstance(this);
  OneInstance1->SetName("OneInstance1");

  Button1->OnClick = Bind(this, &TPlatebna::Button1Click);
  Button2->OnClick = Bind(this, &TPlatebna::Button2Click);
  Button3->OnClick = Bind(this, &TPlatebna::Button3Click);
  Button4->OnClick = Bind(this, &TPlatebna::Button4Click);
  Novdoklad1->OnClick = Bind(this, &TPlatebna::Novdoklad1Click);
  Opravadokladu1->OnClick = Bind(this, &TPlatebna::Opravadokladu1Click);
  Hledej1->OnClick = Bind(this, &TPlatebna::Hledej1Click);
  Platebnakniha1->OnClick = Bind(this, &TPlatebna::Platebnakniha1Click);
  Sestavarozloen1->OnClick = Bind(this, &TPlatebna::Sestavarozloen1Click);
  Udajeofirm1->OnClick = Bind(this, &TPlatebna::Udajeofirm1Click);
  Typypjmavdej1->OnClick = Bind(this, &TPlatebna::Typypjmavdej1Click);
  Indexacesoubor1->OnClick = Bind(this, &TPlatebna::Indexacesoubor1Click);
  Nastaventiskrny1->OnClick = Bind(this, &TPlatebna::Nastaventiskrny1Click);
  Pepoetzstatk1->OnClick = Bind(this, &TPlatebna::Pepoetzstatk1Click);
  Konec2->OnClick = Bind(this, &TPlatebna::Konec2Click);

  OnCreate = Bind(this, &TPlatebna::FormCreate);
  OnActivate = Bind(this, &TPlatebna::FormActivate);
  OnClose = [this](TObject* sender, TCloseAction& action) { FormClose(sender, action); };
  OnKeyDown = [this](TObject* sender, Word& key, TShiftState shift) { FormKeyDown(sender, key, shift); };
}

TPlatebna::~TPlatebna() {
  if (Platebna == this) Platebna = nullptr;
}

// ----------------------------------------------------------------- life

void TPlatebna::FormCreate(TObject* Sender) {
  (void)Sender;
  const int top = Data->GetIniWinTop(1);
  const int left = Data->GetIniWinLeft(1);
  const int height = Data->GetIniWinHeight(1);
  const int width = Data->GetIniWinWidth(1);
  // A position saved on a screen that is gone (or typed by hand) would open
  // the window where nobody can reach it.
  if (WindowReachable(Bounds(left, top, width, height)))
    SetBounds(left, top, width, height);
  else
    SetBounds(kDefaultLeft, kDefaultTop, kDefaultWidth, kDefaultHeight);

  TXbaseDataSet* journal = Data->Platebna;
  try {
    journal->Open();
    journal->AttachIndexFile(Data->JournalIndexFile());
    journal->SetIndexName("DAT");
    journal->Last();
  } catch (const std::exception&) {
    Data->Index();
    journal->Open();
    journal->AttachIndexFile(Data->JournalIndexFile());
  }
}

void TPlatebna::FormActivate(TObject* Sender) {
  (void)Sender;
  if (DBGrid1->CanFocus()) DBGrid1->SetFocus();
}

void TPlatebna::FormClose(TObject* Sender, TCloseAction& Action) {
  (void)Sender;
  (void)Action;
  Data->SeTIniWinPos(1, Top(), Width(), Height(), Left());
}

void TPlatebna::FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  if (Key == VK_F5) RunCommand(Button1);
  if (Key == VK_F2) RunCommand(Button2);
  // Alt+F4 stays the platform's close.
  if (Key == VK_F4 && Shift != TShiftState{ssAlt}) RunCommand(Button3);
  if (Key == VK_F8) RunCommand(Button4);
}

void TPlatebna::RunCommand(TButton* button) {
  if (button->OnClick) button->OnClick(button);
}

// ------------------------------------------------------------- commands

void TPlatebna::Novdoklad1Click(TObject* Sender) {
  (void)Sender;
  RunCommand(Button2);
}

void TPlatebna::Opravadokladu1Click(TObject* Sender) {
  (void)Sender;
  RunCommand(Button3);
}

void TPlatebna::Hledej1Click(TObject* Sender) {
  (void)Sender;
  RunCommand(Button1);
}

void TPlatebna::Indexacesoubor1Click(TObject* Sender) {
  (void)Sender;
  // A second re-indexing (or any other command) started from inside this
  // one would delete the file being built.
  TBusyScope busy({this});
  Data->Index();
}

void TPlatebna::Pepoetzstatk1Click(TObject* Sender) {
  (void)Sender;
  // Input during the walk would move the very cursor it walks.
  TBusyScope busy({this});
  Data->PrepocetZustatku();
}

void TPlatebna::Konec2Click(TObject* Sender) {
  (void)Sender;
  Close();
}

// ------------------------------------------------------ dialog placement

TPoint DialogPosition(TDialogPlacement kind, int mainTop, int mainLeft) {
  switch (kind) {
    case TDialogPlacement::EntryForm:
      return Point(mainLeft + 140, mainTop <= 20 ? mainTop : mainTop - 20);
    case TDialogPlacement::TypePicker:
      return Point(mainLeft + 220, mainTop + 60);
    case TDialogPlacement::DateRange:
      return Point(mainLeft + 130, mainTop + 70);
    case TDialogPlacement::SystemSettings:
      return Point(mainLeft + 100, mainTop + 30);
  }
  return Point(mainLeft, mainTop);
}

void PlaceDialog(TCustomForm* dialog, const TCustomForm* main, TDialogPlacement kind) {
  const TPoint p = DialogPosition(kind, main->Top(), main->Left());
  dialog->SetBounds(p.x, p.y, dialog->Width(), dialog->Height());
}

bool WindowReachable(const TRect& bounds) {
  constexpr int kMinWidth = 100;
  constexpr int kMinHeight = 20;
  const TRect topEdge = Bounds(bounds.Left, bounds.Top, bounds.Width(), kMinHeight);
  const auto screens = QGuiApplication::screens();
  for (const QScreen* screen : screens) {
    const QRect area = screen->availableGeometry();
    const TRect visible = IntersectRect(topEdge, Bounds(area.x(), area.y(), area.width(), area.height()));
    if (visible.Width() >= kMinWidth && visible.Height() >= kMinHeight) return true;
  }
  return false;
}
