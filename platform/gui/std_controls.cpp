// Labels, buttons, edits, combo boxes, check boxes and radio buttons over
// their Qt counterparts. Keys reach these widgets only through the form's
// pipeline; clicks of buttons and check boxes come from Qt's own signals so
// the Space key and the mouse give the same OnClick.
#include "platform/gui/std_controls.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QRegularExpression>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVariant>

#include <algorithm>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/widget_bridge.h"

using namespace gui_detail;

namespace {

// Check boxes and radio buttons decide their next state themselves.
class CheckWidget : public BridgeWidget<QCheckBox> {
 public:
  std::function<void()> onNext;

 protected:
  void nextCheckState() override {
    if (onNext) onNext();
  }
};

class RadioWidget : public BridgeWidget<QRadioButton> {
 public:
  std::function<void()> onNext;

 protected:
  void nextCheckState() override {
    if (onNext) onNext();
  }
};

}  // namespace

// ------------------------------------------------------------------ TLabel

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  SetBoundsQuietly(0, 0, 65, 17);
  ApplyGeometry();
}

TCustomLabel::~TCustomLabel() = default;

void TCustomLabel::SetAlignment(TAlignment a) {
  if (a == alignment_) return;
  alignment_ = a;
  Invalidate();
}

void TCustomLabel::SetAutoSize(bool on) {
  if (on == autoSize_) return;
  autoSize_ = on;
  AdjustBounds();
}

void TCustomLabel::SetLayout(TTextLayout l) {
  if (l == layout_) return;
  layout_ = l;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool on) {
  if (on == wordWrap_) return;
  wordWrap_ = on;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool on) {
  if (on == transparent_) return;
  transparent_ = on;
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool on) {
  if (on == showAccelChar_) return;
  showAccelChar_ = on;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* control) {
  if (focusControl_) focusControl_->RemoveFreeNotification(this);
  focusControl_ = control;
  if (control) control->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TCustomLabel::TextChanged() {
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::FontChanged() {
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::ParentFontChanged() { AdjustBounds(); }

void TCustomLabel::DoDrawText(TRect& rect, unsigned flags) {
  AnsiString text = Caption();
  if ((flags & DT_CALCRECT) && (text.empty() || (showAccelChar_ && text == "&"))) text += ' ';
  if (!showAccelChar_) flags |= DT_NOPREFIX;
  TCanvas* c = Canvas();
  c->Font()->Assign(Font());
  if (!Enabled() && !(flags & DT_CALCRECT)) {
    // Disabled: engraved, a highlight copy one pixel down and right.
    TRect r = OffsetRect(rect, 1, 1);
    c->Font()->SetColor(clBtnHighlight);
    DrawText(c, text, r, flags);
    c->Font()->SetColor(clBtnShadow);
    DrawText(c, text, rect, flags);
    c->Font()->Assign(Font());
  } else {
    DrawText(c, text, rect, flags);
  }
}

void TCustomLabel::Paint() {
  TCanvas* c = Canvas();
  if (!transparent_) {
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(ClientRect());
  }
  c->Brush()->SetStyle(bsClear);
  unsigned align = alignment_ == taRightJustify ? DT_RIGHT : alignment_ == taCenter ? DT_CENTER : DT_LEFT;
  unsigned flags = DT_EXPANDTABS | (wordWrap_ ? DT_WORDBREAK : 0) | align;
  TRect r = ClientRect();
  if (layout_ != tlTop) {
    TRect calc = r;
    DoDrawText(calc, flags | DT_CALCRECT);
    int dy = layout_ == tlBottom ? r.Height() - calc.Height() : (r.Height() - calc.Height()) / 2;
    r = OffsetRect(r, 0, dy);
  }
  DoDrawText(r, flags);
}

void TCustomLabel::AdjustBounds() {
  if (!autoSize_ || IsLoading()) return;
  TRect r = ClientRect();
  DoDrawText(r, DT_EXPANDTABS | DT_CALCRECT | (wordWrap_ ? DT_WORDBREAK : 0));
  int x = Left();
  if (alignment_ == taRightJustify) x += Width() - r.Right;
  SetBounds(x, Top(), r.Right, r.Bottom);
}

bool TCustomLabel::DialogChar(char key) {
  if (focusControl_ && Enabled() && showAccelChar_ && IsAccel(key, Caption()) && focusControl_->CanFocus()) {
    focusControl_->SetFocus();
    return true;
  }
  return false;
}

// ----------------------------------------------------------------- TButton

namespace {

QWidget* NewButtonWidget() {
  auto* w = MakeWidget<BridgeWidget<QPushButton>>();
  w->nativeClicks = true;
  w->setAutoDefault(false);
  return w;
}

}  // namespace

TButton::TButton(TComponent* owner) : TButton(owner, NewButtonWidget()) {}

TButton::TButton(TComponent* owner, QWidget* widget) : TWinControl(owner, widget) {
  SetTabStop(true);
  SetBoundsQuietly(0, 0, 75, 25);
  ApplyGeometry();
  auto* b = static_cast<QPushButton*>(Widget());
  QObject::connect(b, &QPushButton::clicked, b, [this] { Guard(this, [this] { Click(); }); });
}

AnsiString TButton::GetControlText() const {
  return FromQt(static_cast<QPushButton*>(Widget())->text(), CodePage());
}

void TButton::SetControlText(const AnsiString& text) {
  static_cast<QPushButton*>(Widget())->setText(ToQt(text, CodePage()));
  TextChanged();
}

void TButton::SetDefault(bool on) {
  default_ = on;
  static_cast<QPushButton*>(Widget())->setDefault(on);
}

void TButton::Click() {
  if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
  TWinControl::Click();
}

bool TButton::DialogChar(char key) {
  if (IsAccel(key, Caption()) && CanFocus()) {
    TCustomForm* form = GetParentForm(this);
    if (form && !form->CheckExitBeforeAction(this)) return true;
    Click();
    return true;
  }
  return false;
}

// ------------------------------------------------------------- TCustomEdit

TCustomEdit::TCustomEdit(TComponent* owner) : TCustomEdit(owner, MakeWidget<BridgeWidget<QLineEdit>>()) {}

TCustomEdit::TCustomEdit(TComponent* owner, QWidget* widget) : TWinControl(owner, widget) { Init(); }

TCustomEdit::~TCustomEdit() = default;

void TCustomEdit::Init() {
  SetTabStop(true);
  SetColor(clWindow);
  SetBoundsQuietly(0, 0, 121, 21);
  ApplyGeometry();
  QLineEdit* e = Edit();
  e->setMaxLength(32767);
  QObject::connect(e, &QLineEdit::textChanged, e, [this] {
    if (!settingText_) Guard(this, [this] { Change(); });
  });
}

QLineEdit* TCustomEdit::Edit() const { return static_cast<QLineEdit*>(Widget()); }

AnsiString TCustomEdit::GetControlText() const { return FromQt(Edit()->text(), CodePage()); }

void TCustomEdit::SetControlText(const AnsiString& text) {
  QString q = ToQt(text, CodePage());
  if (q == Edit()->text()) return;
  settingText_ = true;
  Edit()->setText(q);
  settingText_ = false;
  TextChanged();
  Change();
}

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::SetNativeAlignment(TAlignment alignment) {
  Qt::Alignment h = alignment == taRightJustify ? Qt::AlignRight : alignment == taCenter ? Qt::AlignHCenter : Qt::AlignLeft;
  Edit()->setAlignment(h | Qt::AlignVCenter);
}

void TCustomEdit::SetMaxLength(int n) {
  maxLength_ = std::max(0, n);
  Edit()->setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
}

void TCustomEdit::SetReadOnly(bool on) {
  readOnly_ = on;
  Edit()->setReadOnly(on || caretHidden_ > 0);
}

void TCustomEdit::HideCaret() {
  if (caretHidden_++ == 0) Edit()->setReadOnly(true);
}

void TCustomEdit::ShowCaret() {
  if (caretHidden_ > 0 && --caretHidden_ == 0) Edit()->setReadOnly(readOnly_);
}

void TCustomEdit::SetPasswordChar(char c) {
  passwordChar_ = c;
  Edit()->setEchoMode(c ? QLineEdit::Password : QLineEdit::Normal);
}

void TCustomEdit::SetBorderStyle(TBorderStyle style) {
  borderStyle_ = style;
  Edit()->setFrame(style != bsNone);
  ApplyGeometry();
}

int TCustomEdit::SelStart() const {
  QLineEdit* e = Edit();
  return e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
}

void TCustomEdit::SetSelStart(int pos) {
  Edit()->deselect();
  Edit()->setCursorPosition(pos);
}

int TCustomEdit::SelLength() const { return static_cast<int>(Edit()->selectedText().size()); }

void TCustomEdit::SetSelLength(int length) {
  int start = SelStart();
  Edit()->setSelection(start, length);
}

AnsiString TCustomEdit::SelText() const { return FromQt(Edit()->selectedText(), CodePage()); }

void TCustomEdit::SetSelText(const AnsiString& text) { Edit()->insert(ToQt(text, CodePage())); }

void TCustomEdit::SelectAll() { Edit()->selectAll(); }

bool TCustomEdit::Modified() const { return Edit()->isModified(); }

void TCustomEdit::SetModified(bool on) { Edit()->setModified(on); }

void TCustomEdit::SetTextRect(const TRect& r) {
  textRect_ = r;
  hasTextRect_ = true;
  // Qt puts the caret just past the last glyph; keep it inside too.
  int right = std::max(0, ClientWidth() - r.Right) + (r.Right < ClientWidth() ? 2 : 0);
  int bottom = std::max(0, ClientHeight() - r.Bottom);
  Edit()->setTextMargins(std::max(0, r.Left), std::max(0, r.Top), right, bottom);
}

void TCustomEdit::Paste() {
  if (readOnly_) return;
  QString text = QGuiApplication::clipboard()->text();
  qsizetype lineBreak = text.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
  if (lineBreak >= 0) text.truncate(lineBreak);
  if (text.isEmpty()) return;
  int cp = CodePage();
  for (char32_t u : text.toUcs4())
    if (ByteOf(u, cp) < 0) {
      MessageBeep(0);
      return;
    }
  Edit()->insert(text);
}

void TCustomEdit::Cut() {
  if (!readOnly_) Edit()->cut();
}

void TCustomEdit::Copy() { Edit()->copy(); }

bool TCustomEdit::ContextPopup(TPoint pos) {
  for (TControl* c = this; c; c = c->Parent())
    if (c->PopupMenu() && c->PopupMenu()->AutoPopup()) return false;
  QMenu* menu = Edit()->createStandardContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  for (QAction* a : menu->actions()) {
    // The submenu of Unicode control characters would type characters the
    // code page cannot hold.
    if (a->menu()) {
      a->setVisible(false);
      continue;
    }
    if (a->objectName() == QLatin1String("edit-paste")) {
      QObject::disconnect(a, nullptr, Edit(), nullptr);
      QObject::connect(a, &QAction::triggered, Edit(), [this] { Guard(this, [this] { Paste(); }); });
    } else if (a->objectName() == QLatin1String("edit-cut")) {
      QObject::disconnect(a, nullptr, Edit(), nullptr);
      QObject::connect(a, &QAction::triggered, Edit(), [this] { Guard(this, [this] { Cut(); }); });
    }
  }
  TPoint g = ClientToScreen(pos);
  menu->popup(QPoint(g.x, g.y));
  return true;
}

TRect TCustomEdit::TextRect() const { return hasTextRect_ ? textRect_ : ClientRect(); }

void TCustomEdit::ApplyFontAndColor() {
  TWinControl::ApplyFontAndColor();
  QPalette pal = Widget()->palette();
  pal.setColor(QPalette::Base, ToQColor(PaintColor()));
  pal.setColor(QPalette::Disabled, QPalette::Base, ToQColor(PaintColor()));
  pal.setColor(QPalette::Text, ToQColor(Font()->Color()));
  Widget()->setPalette(pal);
}

TRect TCustomEdit::NonClientInsets() const {
  if (borderStyle_ == bsNone) return TRect{};
  int b = Ctl3D() ? 2 : 1;
  return Rect(b, b, b, b);
}

void TCustomEdit::PaintNonClient(TCanvas* canvas) {
  TRect r = Rect(0, 0, Width(), Height());
  if (borderStyle_ == bsNone) return;
  if (Ctl3D()) {
    DrawEdge(canvas, r, EDGE_SUNKEN, BF_RECT);
  } else {
    canvas->Brush()->SetColor(clWindowFrame);
    canvas->FrameRect(r);
  }
}

void TCustomEdit::DoEnter() {
  if (autoSelect_ && !gFocusByMouse) SelectAll();
  TWinControl::DoEnter();
}

// --------------------------------------------------------- TCustomComboBox

class TCustomComboBox::ItemList : public TStrings {
 public:
  explicit ItemList(TCustomComboBox* owner) : owner_(owner) {}
  int Count() const override { return static_cast<int>(Box()->count()); }
  AnsiString Get(int index) const override {
    Check(index);
    return FromQt(Box()->itemText(index), owner_->CodePage());
  }
  void Put(int index, const AnsiString& s) override {
    Check(index);
    Box()->setItemText(index, ToQt(s, owner_->CodePage()));
  }
  void* GetObject(int index) const override {
    Check(index);
    return reinterpret_cast<void*>(Box()->itemData(index).value<qulonglong>());
  }
  void PutObject(int index, void* object) override {
    Check(index);
    Box()->setItemData(index, QVariant::fromValue<qulonglong>(reinterpret_cast<qulonglong>(object)));
  }
  void Insert(int index, const AnsiString& s) override {
    if (index < 0 || index > Count()) throw EStringListError(Format("List index out of bounds (%d)", index));
    Keep([&] { Box()->insertItem(index, ToQt(s, owner_->CodePage())); });
  }
  void Delete(int index) override {
    Check(index);
    Keep([&] { Box()->removeItem(index); });
  }
  void Clear() override {
    Keep([&] { Box()->clear(); });
  }

 private:
  QComboBox* Box() const { return owner_->Combo(); }
  void Check(int index) const {
    if (index < 0 || index >= Count()) throw EStringListError(Format("List index out of bounds (%d)", index));
  }
  // List changes leave an edited text alone, as the native list does.
  template <class F>
  void Keep(F f) {
    QComboBox* b = Box();
    QString text = b->isEditable() ? b->currentText() : QString();
    bool wasEmpty = b->count() == 0;
    f();
    if (b->isEditable()) {
      if (wasEmpty || b->currentIndex() < 0 || b->currentText() != text) {
        b->setCurrentIndex(-1);
        b->setEditText(text);
      }
    } else if (wasEmpty) {
      b->setCurrentIndex(-1);
    }
  }
  TCustomComboBox* owner_;
};

TCustomComboBox::TCustomComboBox(TComponent* owner) : TWinControl(owner, MakeWidget<BridgeWidget<QComboBox>>()) {
  items_ = std::make_unique<ItemList>(this);
  SetTabStop(true);
  SetColor(clWindow);
  SetBoundsQuietly(0, 0, 145, 21);
  ApplyGeometry();
  QComboBox* b = Combo();
  b->setEditable(true);
  b->setInsertPolicy(QComboBox::NoInsert);
  b->setMaxVisibleItems(dropDownCount_);
  QObject::connect(b, &QComboBox::activated, b, [this](int) { Guard(this, [this] { Change(); }); });
  QObject::connect(b->lineEdit(), &QLineEdit::textEdited, b, [this] { Guard(this, [this] { Change(); }); });
}

TCustomComboBox::~TCustomComboBox() = default;

QComboBox* TCustomComboBox::Combo() const { return static_cast<QComboBox*>(Widget()); }

TStrings* TCustomComboBox::Items() const { return items_.get(); }

int TCustomComboBox::ItemIndex() const { return Combo()->currentIndex(); }

void TCustomComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= Combo()->count()) index = -1;
  Combo()->setCurrentIndex(index);
  if (index < 0 && Combo()->isEditable()) Combo()->setEditText(QString());
}

void TCustomComboBox::SetStyle(TComboBoxStyle style) {
  if (style == style_) return;
  style_ = style;
  QComboBox* b = Combo();
  b->setEditable(style != csDropDownList);
  if (b->isEditable()) {
    b->setInsertPolicy(QComboBox::NoInsert);
    QObject::connect(b->lineEdit(), &QLineEdit::textEdited, b, [this] { Guard(this, [this] { Change(); }); });
    if (maxLength_ > 0) b->lineEdit()->setMaxLength(maxLength_);
  }
}

void TCustomComboBox::SetDropDownCount(int n) {
  dropDownCount_ = std::max(1, n);
  Combo()->setMaxVisibleItems(dropDownCount_);
}

bool TCustomComboBox::DroppedDown() const { return Combo()->view() && Combo()->view()->isVisible(); }

void TCustomComboBox::SetDroppedDown(bool on) {
  if (on)
    Combo()->showPopup();
  else
    Combo()->hidePopup();
}

void TCustomComboBox::SetMaxLength(int n) {
  maxLength_ = std::max(0, n);
  if (Combo()->lineEdit()) Combo()->lineEdit()->setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
}

AnsiString TCustomComboBox::GetControlText() const { return FromQt(Combo()->currentText(), CodePage()); }

void TCustomComboBox::SetControlText(const AnsiString& text) {
  QComboBox* b = Combo();
  QString q = ToQt(text, CodePage());
  if (b->isEditable()) {
    int i = b->findText(q, Qt::MatchExactly);
    if (i >= 0) b->setCurrentIndex(i);
    b->setEditText(q);
  } else {
    b->setCurrentIndex(b->findText(q, Qt::MatchExactly));
  }
  TextChanged();
}

void TCustomComboBox::ApplyFontAndColor() {
  TWinControl::ApplyFontAndColor();
  QPalette pal = Widget()->palette();
  pal.setColor(QPalette::Base, ToQColor(Color()));
  pal.setColor(QPalette::Text, ToQColor(Font()->Color()));
  Widget()->setPalette(pal);
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

// --------------------------------------------------------------- TCheckBox

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner, MakeWidget<CheckWidget>()) {
  auto* w = static_cast<CheckWidget*>(Widget());
  w->nativeClicks = true;
  w->onNext = [this] { Guard(this, [this] { Toggle(); }); };
  SetTabStop(true);
  SetBoundsQuietly(0, 0, 97, 17);
  ApplyGeometry();
  QObject::connect(w, &QCheckBox::stateChanged, w, [this](int) { StateFromWidget(); });
}

void TCheckBox::StateFromWidget() {
  if (syncing_) return;
  auto* w = static_cast<QCheckBox*>(Widget());
  TCheckBoxState s = w->checkState() == Qt::Checked ? cbChecked
                     : w->checkState() == Qt::PartiallyChecked ? cbGrayed
                                                                : cbUnchecked;
  if (s == state_) return;
  state_ = s;
  Guard(this, [this] { Click(); });
}

void TCheckBox::SetState(TCheckBoxState state) {
  if (state == state_) return;
  state_ = state;
  auto* w = static_cast<QCheckBox*>(Widget());
  syncing_ = true;
  w->setTristate(allowGrayed_ || state == cbGrayed);
  w->setCheckState(state == cbChecked ? Qt::Checked : state == cbGrayed ? Qt::PartiallyChecked : Qt::Unchecked);
  syncing_ = false;
  Click();
}

void TCheckBox::SetAllowGrayed(bool on) {
  allowGrayed_ = on;
  static_cast<QCheckBox*>(Widget())->setTristate(on);
}

void TCheckBox::Toggle() {
  switch (state_) {
    case cbUnchecked:
      SetState(cbChecked);
      break;
    case cbChecked:
      SetState(allowGrayed_ ? cbGrayed : cbUnchecked);
      break;
    case cbGrayed:
      SetState(cbUnchecked);
      break;
  }
}

AnsiString TCheckBox::GetControlText() const {
  return FromQt(static_cast<QCheckBox*>(Widget())->text(), CodePage());
}

void TCheckBox::SetControlText(const AnsiString& text) {
  static_cast<QCheckBox*>(Widget())->setText(ToQt(text, CodePage()));
  TextChanged();
}

bool TCheckBox::DialogChar(char key) {
  if (IsAccel(key, Caption()) && CanFocus()) {
    SetFocus();
    if (Focused()) Toggle();
    return true;
  }
  return false;
}

// ------------------------------------------------------------ TRadioButton

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner, MakeWidget<RadioWidget>()) {
  auto* w = static_cast<RadioWidget*>(Widget());
  w->nativeClicks = true;
  w->setAutoExclusive(false);
  w->onNext = [this] { Guard(this, [this] { SetChecked(true); }); };
  SetBoundsQuietly(0, 0, 113, 17);
  ApplyGeometry();
}

void TRadioButton::SetChecked(bool on) {
  if (on == checked_) return;
  checked_ = on;
  SetTabStop(on);
  syncing_ = true;
  static_cast<QRadioButton*>(Widget())->setChecked(on);
  syncing_ = false;
  if (!on) return;
  if (TWinControl* p = Parent()) {
    for (int i = 0; i < p->ControlCount(); ++i) {
      auto* other = dynamic_cast<TRadioButton*>(p->Controls(i));
      if (other && other != this) other->SetChecked(false);
    }
  }
  Click();
}

AnsiString TRadioButton::GetControlText() const {
  return FromQt(static_cast<QRadioButton*>(Widget())->text(), CodePage());
}

void TRadioButton::SetControlText(const AnsiString& text) {
  static_cast<QRadioButton*>(Widget())->setText(ToQt(text, CodePage()));
  TextChanged();
}

bool TRadioButton::DialogChar(char key) {
  if (IsAccel(key, Caption()) && CanFocus()) {
    SetFocus();
    if (Focused()) SetChecked(true);
    return true;
  }
  return false;
}

void TRadioButton::DoEnter() {
  SetChecked(true);
  TWinControl::DoEnter();
}

// -------------------------------------------------------------- TGroupBox

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(ControlStyle() << csAcceptsControls);
  SetBoundsQuietly(0, 0, 185, 105);
  ApplyGeometry();
}

void TGroupBox::TextChanged() {
  TCustomControl::TextChanged();
  Invalidate();
}

TRect TGroupBox::AlignRect() const {
  TRect r = ClientRect();
  TCanvas measure;
  measure.Font()->Assign(Font());
  return Rect(r.Left + 2, r.Top + measure.TextHeight("0") + 2, r.Right - 2, r.Bottom - 2);
}

void TGroupBox::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  c->Font()->Assign(Font());
  int h = c->TextHeight("0");
  // An etched frame: a shadow line with a highlight line inside it.
  TRect frame = Rect(r.Left, r.Top + h / 2, r.Right, r.Bottom);
  c->Brush()->SetStyle(bsClear);
  c->Pen()->SetColor(clBtnShadow);
  c->Rectangle(frame.Left, frame.Top, frame.Right - 1, frame.Bottom - 1);
  c->Pen()->SetColor(clBtnHighlight);
  c->Rectangle(frame.Left + 1, frame.Top + 1, frame.Right, frame.Bottom);
  if (!Caption().empty()) {
    TRect text = Rect(8, 0, r.Right - 8, h);
    DrawText(c, Caption(), text, DT_CALCRECT | DT_SINGLELINE);
    text = Rect(8, 0, std::min(r.Right - 8, text.Right + 4), h);
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(Color());
    c->FillRect(text);
    c->Brush()->SetStyle(bsClear);
    text.Left += 2;
    if (!Enabled()) c->Font()->SetColor(clGrayText);
    DrawText(c, Caption(), text, DT_SINGLELINE | DT_LEFT);
  }
}
