// Data-aware edit, label, check box and navigator over field data links.
//
// Texts the controls set from a field never count as typed: showingField_
// guards the edit's and the check box's change paths, so only the user's
// own input (or a caller's SetText) marks the link modified.
#include "platform/gui/db_controls.h"

#include <algorithm>

#include "platform/db/dataset.h"
#include "platform/gui/application.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/image_list.h"
#include "platform/gui/resources.h"
#include "platform/rtl/locale_compare.h"

namespace {

// Resets a flag when the scope ends, also by an exception.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag), saved_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = saved_; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

// The values of a ";"-separated list.
std::vector<AnsiString> SplitValues(const AnsiString& values) {
  std::vector<AnsiString> out;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = values.find(';', start);
    out.push_back(values.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

bool InValues(const AnsiString& text, const AnsiString& values) {
  for (const AnsiString& v : SplitValues(values))
    if (AnsiSameText(text, v)) return true;
  return false;
}

}  // namespace

// ------------------------------------------------------------------ TDBEdit

TDBEdit::TDBEdit(TComponent* owner) : TCustomMaskEdit(owner), link_(std::make_unique<TFieldDataLink>()) {
  link_->SetControl(this);
  link_->OnDataChange = [this](TObject*) { DataChange(); };
  link_->OnEditingChange = [this](TObject*) { EditingChange(); };
  link_->OnUpdateData = [this](TObject*) { UpdateData(); };
  link_->OnActiveChange = [this](TObject*) { ActiveChange(); };
  link_->OnFocusControl = [this](TObject*) {
    if (CanFocus()) SetFocus();
  };
  UpdateNativeReadOnly();
}

TDBEdit::~TDBEdit() {
  // The link must not call back into a half-destroyed edit.
  link_->OnDataChange = nullptr;
  link_->OnEditingChange = nullptr;
  link_->OnUpdateData = nullptr;
  link_->OnActiveChange = nullptr;
  link_->OnFocusControl = nullptr;
}

void TDBEdit::SetDataSource(TDataSource* source) {
  link_->SetDataSource(source);
  UpdateNativeReadOnly();
}

void TDBEdit::SetDataField(const AnsiString& name) {
  link_->SetFieldName(name);
  UpdateNativeReadOnly();
}

void TDBEdit::SetReadOnly(bool on) {
  link_->SetReadOnly(on);
  UpdateNativeReadOnly();
}

void TDBEdit::UpdateNativeReadOnly() { TCustomMaskEdit::SetReadOnly(link_->ReadOnly() || !link_->CanModify()); }

void TDBEdit::ActiveChange() { UpdateNativeReadOnly(); }

void TDBEdit::EditingChange() { UpdateNativeReadOnly(); }

void TDBEdit::DataChange() {
  FlagScope scope(showingField_);
  TField* field = link_->Field();
  if (!field) {
    SetNativeAlignment(taLeftJustify);
    if (IsMasked()) SetEditMask("");
    SetText("");
    UpdateNativeReadOnly();
    return;
  }
  SetNativeAlignment(field->Alignment());
  if (EditMask() != field->EditMask()) SetEditMask(field->EditMask());
  if ((field->DataType() == ftString || field->DataType() == ftFixedChar) && MaxLength() == 0)
    SetMaxLength(field->Size());
  if (focused_ && link_->CanModify())
    SetText(field->Text());
  else
    SetText(field->DisplayText());
  SetModified(false);
  UpdateNativeReadOnly();
}

void TDBEdit::UpdateData() {
  ValidateEdit();
  if (TField* field = link_->Field()) field->SetText(Text());
}

void TDBEdit::Change() {
  if (!showingField_) link_->Modified();
  TCustomMaskEdit::Change();
}

void TDBEdit::KeyDown(Word& key, TShiftState shift) {
  TCustomMaskEdit::KeyDown(key, shift);
  // Deleting and pasting change the text without a typed character.
  if (key == VK_DELETE || (key == VK_INSERT && shift.Contains(ssShift))) {
    if (!link_->Edit()) key = 0;
  }
}

void TDBEdit::KeyPress(char& key) {
  TCustomMaskEdit::KeyPress(key);
  unsigned char k = static_cast<unsigned char>(key);
  TField* field = link_->Field();
  if (k >= 32 && field && !field->IsValidChar(key)) {
    MessageBeep(0);
    key = 0;
    return;
  }
  switch (k) {
    case 8:   // Backspace
    case 22:  // Ctrl+V
    case 24:  // Ctrl+X
      if (!link_->Edit()) key = 0;
      break;
    case 27:
      link_->Reset();
      SelectAll();
      key = 0;
      break;
    default:
      if (k >= 32 && !link_->Edit()) key = 0;
      break;
  }
}

void TDBEdit::Paste() {
  if (link_->Edit()) TCustomMaskEdit::Paste();
}

void TDBEdit::Cut() {
  if (link_->Edit()) TCustomMaskEdit::Cut();
}

void TDBEdit::DoEnter() {
  focused_ = true;
  if (link_->Field() && link_->CanModify()) DataChange();
  TCustomMaskEdit::DoEnter();
}

void TDBEdit::DoExit() {
  try {
    link_->UpdateRecord();
  } catch (...) {
    // The form keeps the focus here and reports the error; the text stays
    // pending and selected for correction.
    SelectAll();
    throw;
  }
  focused_ = false;
  if (link_->Field()) DataChange();
  // The mask was checked when the text was written; the plain exit remains.
  TWinControl::DoExit();
}

// ------------------------------------------------------------------ TDBText

TDBText::TDBText(TComponent* owner) : TCustomLabel(owner), link_(std::make_unique<TFieldDataLink>()) {
  link_->SetControl(this);
  link_->OnDataChange = [this](TObject*) { DataChange(); };
  SetAutoSize(false);
  SetShowAccelChar(false);
}

TDBText::~TDBText() { link_->OnDataChange = nullptr; }

void TDBText::SetDataSource(TDataSource* source) {
  link_->SetDataSource(source);
  DataChange();
}

void TDBText::SetDataField(const AnsiString& name) {
  link_->SetFieldName(name);
  DataChange();
}

AnsiString TDBText::GetControlText() const {
  if (TField* field = link_->Field()) return field->DisplayText();
  return "";
}

void TDBText::DataChange() {
  AdjustBounds();
  Invalidate();
}

// -------------------------------------------------------------- TDBCheckBox

TDBCheckBox::TDBCheckBox(TComponent* owner) : TCheckBox(owner), link_(std::make_unique<TFieldDataLink>()) {
  link_->SetControl(this);
  link_->OnDataChange = [this](TObject*) { DataChange(); };
  link_->OnUpdateData = [this](TObject*) { UpdateData(); };
  link_->OnFocusControl = [this](TObject*) {
    if (CanFocus()) SetFocus();
  };
  DataChange();
}

TDBCheckBox::~TDBCheckBox() {
  link_->OnDataChange = nullptr;
  link_->OnUpdateData = nullptr;
  link_->OnFocusControl = nullptr;
}

void TDBCheckBox::SetDataSource(TDataSource* source) {
  link_->SetDataSource(source);
  DataChange();
}

void TDBCheckBox::SetDataField(const AnsiString& name) {
  link_->SetFieldName(name);
  DataChange();
}

void TDBCheckBox::SetValueChecked(const AnsiString& values) {
  valueChecked_ = values;
  DataChange();
}

void TDBCheckBox::SetValueUnchecked(const AnsiString& values) {
  valueUnchecked_ = values;
  DataChange();
}

TCheckBoxState TDBCheckBox::FieldState() const {
  TField* field = link_->Field();
  if (!field) return cbUnchecked;
  if (field->IsNull()) return cbGrayed;
  if (field->DataType() == ftBoolean) return field->AsBoolean() ? cbChecked : cbUnchecked;
  AnsiString text = field->Text();
  if (InValues(text, valueChecked_)) return cbChecked;
  if (InValues(text, valueUnchecked_)) return cbUnchecked;
  return cbGrayed;
}

void TDBCheckBox::DataChange() {
  FlagScope scope(showingField_);
  SetState(FieldState());
}

void TDBCheckBox::Toggle() {
  if (!link_->Edit()) return;
  TCheckBox::Toggle();
  link_->Modified();
  try {
    link_->UpdateRecord();
  } catch (...) {
    // The box shows what the field holds, not what could not be written.
    link_->Reset();
    throw;
  }
}

void TDBCheckBox::UpdateData() {
  TField* field = link_->Field();
  if (!field) return;
  if (State() == cbGrayed) {
    field->Clear();
  } else if (field->DataType() == ftBoolean) {
    field->SetAsBoolean(Checked());
  } else {
    field->SetText(SplitValues(Checked() ? valueChecked_ : valueUnchecked_).front());
  }
}

// ------------------------------------------------------------- TDBNavigator

namespace {

const std::map<char, TColor> kNavPalette = {{'.', clOlive}, {'k', clBlack}};

const char* const kNavGlyphNames[kNavButtonCount] = {"DBN_FIRST",  "DBN_PRIOR",  "DBN_NEXT", "DBN_LAST",
                                                     "DBN_INSERT", "DBN_DELETE", "DBN_EDIT", "DBN_POST",
                                                     "DBN_CANCEL", "DBN_REFRESH"};

// Our own 9 x 9 pictures, olive see-through.
void RegisterNavigatorGlyphs() {
  static bool done = false;
  if (done) return;
  done = true;
  // clang-format off
  const std::vector<std::string> pictures[kNavButtonCount] = {
      // first
      {
          ".........",
          ".k....k..",
          ".k...kk..",
          ".k..kkk..",
          ".k.kkkk..",
          ".k..kkk..",
          ".k...kk..",
          ".k....k..",
          "........."
      },
      // prior
      {
          ".........",
          "......k..",
          ".....kk..",
          "....kkk..",
          "...kkkk..",
          "....kkk..",
          ".....kk..",
          "......k..",
          "........."
      },
      // next
      {
          ".........",
          "..k......",
          "..kk.....",
          "..kkk....",
          "..kkkk...",
          "..kkk....",
          "..kk.....",
          "..k......",
          "........."
      },
      // last
      {
          ".........",
          "..k....k.",
          "..kk...k.",
          "..kkk..k.",
          "..kkkk.k.",
          "..kkk..k.",
          "..kk...k.",
          "..k....k.",
          "........."
      },
      // insert
      {
          ".........",
          "....k....",
          "....k....",
          "....k....",
          ".kkkkkkk.",
          "....k....",
          "....k....",
          "....k....",
          "........."
      },
      // delete
      {
          ".........",
          ".........",
          ".........",
          ".........",
          ".kkkkkkk.",
          ".........",
          ".........",
          ".........",
          "........."
      },
      // edit
      {
          ".........",
          ".........",
          "....k....",
          "...kkk...",
          "..kkkkk..",
          ".kkkkkkk.",
          ".........",
          ".........",
          "........."
      },
      // post
      {
          ".........",
          ".......k.",
          "......kk.",
          ".k...kk..",
          ".kk.kk...",
          "..kkk....",
          "...k.....",
          ".........",
          "........."
      },
      // cancel
      {
          ".........",
          ".k.....k.",
          "..k...k..",
          "...k.k...",
          "....k....",
          "...k.k...",
          "..k...k..",
          ".k.....k.",
          "........."
      },
      // refresh
      {
          ".........",
          "...kkk.k.",
          "..k...kk.",
          ".k...kkk.",
          ".k.......",
          ".k.....k.",
          "..k...k..",
          "...kkk...",
          "........."
      },
  };
  // clang-format on

  for (int i = 0; i < kNavButtonCount; ++i) RegisterBitmapResource(kNavGlyphNames[i], pictures[i], kNavPalette);
}

}  // namespace

// A flat push button of the bar: raised edge, sunken while pressed, its
// glyph greyed while disabled. Never takes the focus.
class TDBNavigator::NavButton : public TGraphicControl {
 public:
  NavButton(TDBNavigator* navigator, TNavigateBtn kind)
      : TGraphicControl(navigator), navigator_(navigator), kind_(kind) {}
  TNavigateBtn Kind() const { return kind_; }
  void Click() override {
    if (!Enabled()) return;
    TGraphicControl::Click();
    navigator_->BtnClick(kind_);
  }

 protected:
  void Paint() override {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(r);
    TRect edge = r;
    DrawEdge(c, edge, pressed_ ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    const TImageList* glyphs = navigator_->glyphs_.get();
    int shift = pressed_ ? 1 : 0;
    glyphs->Draw(c, (r.Width() - glyphs->Width()) / 2 + shift, (r.Height() - glyphs->Height()) / 2 + shift,
                 static_cast<int>(kind_), Enabled());
  }
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override {
    if (button == mbLeft) {
      pressed_ = true;
      Invalidate();
    }
    TGraphicControl::MouseDown(button, shift, x, y);
  }
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override {
    if (button == mbLeft) {
      pressed_ = false;
      Invalidate();
    }
    TGraphicControl::MouseUp(button, shift, x, y);
  }
  void EnabledChanged() override {
    TGraphicControl::EnabledChanged();
    Invalidate();
  }

 private:
  TDBNavigator* navigator_;
  TNavigateBtn kind_;
  bool pressed_ = false;
};

class TDBNavigator::NavLink : public TDataLink {
 public:
  explicit NavLink(TDBNavigator* navigator) : navigator_(navigator) {}

 protected:
  void ActiveChanged() override { navigator_->UpdateButtons(); }
  void DataSetChanged() override { navigator_->UpdateButtons(); }
  void DataSetScrolled(int) override { navigator_->UpdateButtons(); }
  void EditingChanged() override { navigator_->UpdateButtons(); }

 private:
  TDBNavigator* navigator_;
};

TDBNavigator::TDBNavigator(TComponent* owner)
    : TCustomPanel(owner), link_(std::make_unique<NavLink>(this)), glyphs_(std::make_unique<TImageList>(nullptr)) {
  RegisterNavigatorGlyphs();
  TBitmap picture;
  for (int i = 0; i < kNavButtonCount; ++i) {
    picture.LoadFromResourceName(kNavGlyphNames[i]);
    if (i == 0) {
      glyphs_->SetWidth(picture.Width());
      glyphs_->SetHeight(picture.Height());
    }
    glyphs_->AddMasked(&picture, clOlive);
  }
  SetBevelOuter(bvNone);
  SetBevelInner(bvNone);
  SetCaption("");
  for (int i = 0; i < kNavButtonCount; ++i) {
    auto* button = new NavButton(this, static_cast<TNavigateBtn>(i));
    button->SetParent(this);
    buttons_.push_back(button);
  }
  SetBounds(Left(), Top(), 241, 25);
  LayoutButtons();
  UpdateButtons();
}

TDBNavigator::~TDBNavigator() {
  Destroying();
  link_.reset();
}

TDataSource* TDBNavigator::DataSource() const { return link_->DataSource(); }

void TDBNavigator::SetDataSource(TDataSource* source) {
  link_->SetDataSource(source);
  UpdateButtons();
}

void TDBNavigator::SetVisibleButtons(TNavButtonSet buttons) {
  visible_ = buttons;
  LayoutButtons();
}

TControl* TDBNavigator::Button(TNavigateBtn button) const { return buttons_[static_cast<std::size_t>(button)]; }

bool TDBNavigator::ButtonEnabled(TNavigateBtn button) const { return Button(button)->Enabled(); }

void TDBNavigator::Resize() {
  TCustomPanel::Resize();
  LayoutButtons();
}

void TDBNavigator::LayoutButtons() {
  if (buttons_.empty()) return;
  int count = 0;
  for (NavButton* b : buttons_)
    if (visible_.Contains(b->Kind())) ++count;
  if (count == 0) {
    for (NavButton* b : buttons_) b->SetVisible(false);
    return;
  }
  // Equal shares; the pixels that do not divide go one each to the first
  // buttons, so the bar is filled exactly.
  int w = ClientWidth() / count, extra = ClientWidth() % count, x = 0;
  for (NavButton* b : buttons_) {
    if (!visible_.Contains(b->Kind())) {
      b->SetVisible(false);
      continue;
    }
    int bw = w + (extra > 0 ? 1 : 0);
    if (extra > 0) --extra;
    b->SetBounds(x, 0, bw, ClientHeight());
    b->SetVisible(true);
    x += bw;
  }
}

void TDBNavigator::UpdateButtons() {
  if (buttons_.empty() || IsDestroying()) return;
  TDataSet* ds = link_->Active() ? link_->DataSet() : nullptr;
  bool active = ds != nullptr;
  bool editing = link_->Editing();
  bool canModify = active && ds->CanModify();
  bool atStart = active && ds->Bof();
  bool atEnd = active && ds->Eof();
  bool empty = active && atStart && atEnd;
  auto set = [this](TNavigateBtn b, bool on) { buttons_[static_cast<std::size_t>(b)]->SetEnabled(on); };
  set(nbFirst, active && !atStart);
  set(nbPrior, active && !atStart);
  set(nbNext, active && !atEnd);
  set(nbLast, active && !atEnd);
  set(nbInsert, canModify);
  set(nbDelete, canModify && !empty);
  set(nbEdit, canModify && !editing);
  set(nbPost, canModify && editing);
  set(nbCancel, canModify && editing);
  set(nbRefresh, active && !editing);
}

void TDBNavigator::BtnClick(TNavigateBtn button) {
  TDataSet* ds = link_->Active() ? link_->DataSet() : nullptr;
  if (!ds) return;
  switch (button) {
    case nbFirst:
      ds->First();
      break;
    case nbPrior:
      ds->Prior();
      break;
    case nbNext:
      ds->Next();
      break;
    case nbLast:
      ds->Last();
      break;
    case nbInsert:
      ds->Insert();
      break;
    case nbDelete:
      if (!confirmDelete_ || MessageDlg("Delete record?", mtConfirmation, {mbOK, mbCancel}) == mrOk) ds->Delete();
      break;
    case nbEdit:
      ds->Edit();
      break;
    case nbPost:
      ds->Post();
      break;
    case nbCancel:
      ds->Cancel();
      break;
    case nbRefresh:
      ds->Refresh();
      break;
  }
  UpdateButtons();
}
