// Status panes and their two shared timers.
#include "ui/panels/status_panes.h"

#include <algorithm>

#include "platform/gui/application.h"
#include "platform/gui/ext_controls.h"
#include "ui/panels/status_bar.h"
#include "ui/panels/theme_services.h"

// -------------------------------------------------------------- blink list

namespace {
TFxBlinkingControlsList* gBlinkList = nullptr;
TFxPollingList* gPollingList = nullptr;
}  // namespace

TFxBlinkingControlsList::TFxBlinkingControlsList() : timer_(new TTimer(nullptr)) {
  timer_->SetInterval(off_);
  timer_->OnTimer = [this](TObject*) { Tick(); };
  timer_->SetEnabled(true);
}

TFxBlinkingControlsList::~TFxBlinkingControlsList() { delete timer_; }

TFxBlinkingControlsList* TFxBlinkingControlsList::Instance() { return gBlinkList; }

TFxBlinkingControlsList* TFxBlinkingControlsList::Join(TFxCustomStatusPane* pane) {
  if (!gBlinkList) gBlinkList = new TFxBlinkingControlsList;
  gBlinkList->panes_.push_back(pane);
  return gBlinkList;
}

void TFxBlinkingControlsList::Leave(TFxCustomStatusPane* pane) {
  TFxBlinkingControlsList* list = gBlinkList;
  if (!list) return;
  list->panes_.erase(std::remove(list->panes_.begin(), list->panes_.end(), pane), list->panes_.end());
  if (!list->panes_.empty()) return;
  gBlinkList = nullptr;
  // The timer that is calling us must outlive its own tick.
  if (list->ticking_)
    list->orphaned_ = true;
  else
    delete list;
}

void TFxBlinkingControlsList::Tick() {
  if (state_ == 1) {
    state_ = 0;
    timer_->SetInterval(off_);
  } else {
    state_ = 1;
    timer_->SetInterval(on_);
  }
  ticking_ = true;
  for (TFxCustomStatusPane* pane : std::vector<TFxCustomStatusPane*>(panes_)) {
    if (std::find(panes_.begin(), panes_.end(), pane) == panes_.end()) continue;
    if (pane->BlinkQuery() == 1) pane->BlinkState(state_);
  }
  ticking_ = false;
  if (orphaned_) delete this;
}

// ------------------------------------------------------------ polling list

TFxPollingList::TFxPollingList() : timer_(new TTimer(nullptr)) {
  timer_->SetInterval(500);
  timer_->OnTimer = [this](TObject*) { Tick(); };
  timer_->SetEnabled(true);
}

TFxPollingList::~TFxPollingList() { delete timer_; }

TFxPollingList* TFxPollingList::Instance() { return gPollingList; }

TFxPollingList* TFxPollingList::Join(TFxPollingStatus* pane) {
  if (!gPollingList) gPollingList = new TFxPollingList;
  gPollingList->panes_.push_back(pane);
  return gPollingList;
}

void TFxPollingList::Leave(TFxPollingStatus* pane) {
  TFxPollingList* list = gPollingList;
  if (!list) return;
  list->panes_.erase(std::remove(list->panes_.begin(), list->panes_.end(), pane), list->panes_.end());
  if (!list->panes_.empty()) return;
  gPollingList = nullptr;
  if (list->ticking_)
    list->orphaned_ = true;
  else
    delete list;
}

void TFxPollingList::Tick() {
  ticking_ = true;
  for (TFxPollingStatus* pane : std::vector<TFxPollingStatus*>(panes_)) {
    if (std::find(panes_.begin(), panes_.end(), pane) == panes_.end()) continue;
    if (!pane->Visible()) continue;
    try {
      pane->TimerExpired();
    } catch (const std::exception& e) {
      if (Application) Application->HandleException(pane, e);
    }
  }
  ticking_ = false;
  if (orphaned_) delete this;
}

// ------------------------------------------------------------ status pane

TFxCustomStatusPane::TFxCustomStatusPane(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 100, 20);
  SetParentColor(true);
  fillColor_ = Color();
  normalColor_ = Font()->Color();
  textColor_ = normalColor_;
  TFxBlinkingControlsList::Join(this);
}

TFxCustomStatusPane::~TFxCustomStatusPane() {
  TFxBlinkingControlsList::Leave(this);
  if (frameController_) frameController_->Unlink(this);
}

void TFxCustomStatusPane::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == frameController_) frameController_ = nullptr;
}

void TFxCustomStatusPane::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}

void TFxCustomStatusPane::SetAutoSize(bool on) {
  autoSize_ = on;
  AdjustWidth();
}

void TFxCustomStatusPane::SetBlinking(bool on) {
  if (on == blinking_) return;
  blinking_ = on;
  if (!on) {
    textColor_ = normalColor_;
    Repaint();
  }
}

void TFxCustomStatusPane::SetBlinkColor(TColor c) {
  blinkColor_ = c;
  Invalidate();
}

Word TFxCustomStatusPane::BlinkIntervalOn() const {
  auto* list = TFxBlinkingControlsList::Instance();
  return list ? list->BlinkIntervalOn() : 500;
}

void TFxCustomStatusPane::SetBlinkIntervalOn(Word ms) {
  if (auto* list = TFxBlinkingControlsList::Instance()) list->SetBlinkIntervalOn(ms);
}

Word TFxCustomStatusPane::BlinkIntervalOff() const {
  auto* list = TFxBlinkingControlsList::Instance();
  return list ? list->BlinkIntervalOff() : 500;
}

void TFxCustomStatusPane::SetBlinkIntervalOff(Word ms) {
  if (auto* list = TFxBlinkingControlsList::Instance()) list->SetBlinkIntervalOff(ms);
}

void TFxCustomStatusPane::SetBorderWidth(int w) {
  borderWidth_ = w;
  Invalidate();
}

void TFxCustomStatusPane::SetCaptionOffset(int n) {
  captionOffset_ = n;
  AdjustWidth();
  Invalidate();
}

void TFxCustomStatusPane::SetDefaultWidth(int w) {
  defaultWidth_ = w;
  AdjustWidth();
}

void TFxCustomStatusPane::SetFillColor(TColor c) {
  fillColor_ = c;
  parentFillColor_ = false;
  Invalidate();
}

void TFxCustomStatusPane::SetParentFillColor(bool on) {
  parentFillColor_ = on;
  if (on) fillColor_ = Color();
  Invalidate();
}

void TFxCustomStatusPane::SetFlatColor(TColor c) {
  flatColor_ = c;
  Invalidate();
}

void TFxCustomStatusPane::SetFlatColorAdjustment(int n) {
  flatColorAdjustment_ = n;
  Invalidate();
}

void TFxCustomStatusPane::SetFrameStyle(TFrameStyle s) {
  frameStyle_ = s;
  Invalidate();
}

void TFxCustomStatusPane::SetFrameController(TFxFrameController* c) {
  if (c == frameController_) return;
  if (frameController_) {
    frameController_->Unlink(this);
    frameController_->RemoveFreeNotification(this);
  }
  frameController_ = c;
  if (frameController_) {
    frameController_->FreeNotification(this);
    frameController_->Link(this);
  }
}

void TFxCustomStatusPane::FrameControllerChanged(TFxFrameController* c) {
  if (c == frameController_) ApplyFrameController();
}

void TFxCustomStatusPane::ApplyFrameController() {
  if (!frameController_ || !frameController_->FrameVisible()) return;
  frameStyle_ = frameController_->FrameStyle();
  flatColor_ = frameController_->FrameColor();
  flatColorAdjustment_ = 0;
  SetFillColor(frameController_->Color());
  SetParentColor(frameController_->ParentColor());
  Invalidate();
}

void TFxCustomStatusPane::ColorChanged() {
  TGraphicControl::ColorChanged();
  if (parentFillColor_) fillColor_ = Color();
}

void TFxCustomStatusPane::ParentColorChanged() {
  TGraphicControl::ParentColorChanged();
  if (parentFillColor_) fillColor_ = Color();
}

void TFxCustomStatusPane::FontChanged() {
  TGraphicControl::FontChanged();
  normalColor_ = Font()->Color();
  if (textColor_ != blinkColor_ || !blinking_) textColor_ = normalColor_;
  AdjustWidth();
}

void TFxCustomStatusPane::TextChanged() {
  TGraphicControl::TextChanged();
  Invalidate();
  AdjustWidth();
}

void TFxCustomStatusPane::Loaded() {
  TGraphicControl::Loaded();
  normalColor_ = Font()->Color();
  textColor_ = normalColor_;
  AdjustWidth();
}

bool TFxCustomStatusPane::ReachesBarEdge() const {
  auto* bar = dynamic_cast<TFxStatusBar*>(Parent());
  return bar && Left() + Width() >= bar->BarClientRect().Right;
}

int TFxCustomStatusPane::RequiredWidth() {
  const AnsiString caption = Caption();
  if (caption.empty()) return defaultWidth_;
  TCanvas* c = Canvas();
  c->SetFont(Font());
  TRect r = Rect(0, 0, 0, 0);
  DrawText(c, caption, r, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_SINGLELINE);
  return r.Width() + 2 * borderWidth_ + captionOffset_ + 6;
}

void TFxCustomStatusPane::AdjustWidth() {
  if (autoSize_ && !IsLoading()) SetWidth(RequiredWidth());
}

void TFxCustomStatusPane::CaptionRect(TRect& rect) {
  int inset = borderWidth_;
  switch (frameStyle_) {
    case fsNone:
      break;
    case fsFlat:
    case fsStatus:
    case fsPopup:
      inset += 1;
      break;
    default:
      inset += 2;
      break;
  }
  rect = InflateRect(ClientRect(), -inset, -inset);
}

void TFxCustomStatusPane::DrawFrame() {
  TCanvas* c = Canvas();
  auto* bar = dynamic_cast<TFxStatusBar*>(Parent());
  if (bar && bar->ThemeAware() && SharedThemeServices()->ThemesInUse()) {
    SharedThemeServices()->DrawElement(c, kStatusPane, ClientRect());
    return;
  }
  c->Brush()->SetColor(Color());
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(Rect(0, 0, Width(), Height()));
  c->Pen()->SetWidth(1);
  const TRect r = InflateRect(Rect(0, 0, Width(), Height()), -borderWidth_, -borderWidth_);
  if (frameStyle_ == fsFlat) {
    c->Pen()->SetColor(AdjustedColor(flatColor_, flatColorAdjustment_));
    c->MoveTo(r.Left + 1, r.Top);
    c->LineTo(r.Right - 1, r.Top);
    c->MoveTo(r.Right - 1, r.Top + 1);
    c->LineTo(r.Right - 1, r.Bottom - 1);
    c->MoveTo(r.Left + 1, r.Bottom - 1);
    c->LineTo(r.Right - 1, r.Bottom - 1);
    c->MoveTo(r.Left, r.Top + 1);
    c->LineTo(r.Left, r.Bottom - 1);
  } else {
    PaintFrameStyle(c, r, frameStyle_);
  }
}

void TFxCustomStatusPane::DrawCaption(const AnsiString& text) {
  TCanvas* c = Canvas();
  TFont font = *Font();
  font.SetColor(textColor_);
  c->SetFont(&font);
  TRect r;
  CaptionRect(r);
  int x = 0;
  switch (alignment_) {
    case taLeftJustify:
      c->SetTextAlign(TA_LEFT | TA_TOP);
      x = r.Left + captionOffset_ + 1;
      break;
    case taRightJustify:
      c->SetTextAlign(TA_RIGHT | TA_TOP);
      x = r.Right - captionOffset_ - 1;
      break;
    case taCenter:
      c->SetTextAlign(TA_CENTER | TA_TOP);
      x = r.Left + (r.Right - r.Left) / 2;
      break;
  }
  const int y = r.Top + (r.Height() - c->TextHeight("Pp")) / 2;
  auto* bar = dynamic_cast<TFxStatusBar*>(Parent());
  const bool themed = bar && bar->ThemeAware() && SharedThemeServices()->ThemesInUse();
  if (themed) {
    // The bar's background under the text: its root element drawn at bar
    // size, this pane's part copied in.
    TBitmap back;
    back.SetSize(bar->Width(), bar->Height());
    SharedThemeServices()->DrawElement(back.Canvas(), kStatusRoot, Rect(0, 0, bar->Width(), bar->Height()));
    c->CopyRect(r, back.Canvas(), OffsetRect(r, Left(), Top()));
    c->Brush()->SetStyle(bsClear);
  } else {
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(fillColor_);
  }
  if (!Enabled()) {
    if (!themed) c->FillRect(r);
    c->Brush()->SetStyle(bsClear);
    font.SetColor(clBtnHighlight);
    c->SetFont(&font);
    c->TextRect(r, x + 1, y + 1, text);
    font.SetColor(clBtnShadow);
    c->SetFont(&font);
    c->TextRect(r, x, y, text);
  } else {
    c->TextRect(r, x, y, text);
  }
  c->Brush()->SetStyle(bsSolid);
  c->SetTextAlign(TA_LEFT | TA_TOP);
}

void TFxCustomStatusPane::Paint() {
  DrawFrame();
  DrawCaption(Caption());
}

void TFxCustomStatusPane::Blink(int state) {
  textColor_ = state == 1 ? blinkColor_ : normalColor_;
  Repaint();
}

// ---------------------------------------------------------- polling pane

TFxPollingStatus::TFxPollingStatus(TComponent* owner) : TFxCustomStatusPane(owner) { TFxPollingList::Join(this); }

TFxPollingStatus::~TFxPollingStatus() { TFxPollingList::Leave(this); }

bool TFxPollingStatus::Active() const {
  auto* list = TFxPollingList::Instance();
  return list && list->Timer()->Enabled();
}

void TFxPollingStatus::SetActive(bool on) {
  if (auto* list = TFxPollingList::Instance()) list->Timer()->SetEnabled(on);
}

Word TFxPollingStatus::Interval() const {
  auto* list = TFxPollingList::Instance();
  return list ? static_cast<Word>(list->Timer()->Interval()) : 500;
}

void TFxPollingStatus::SetInterval(Word ms) {
  if (auto* list = TFxPollingList::Instance()) list->Timer()->SetInterval(ms);
}

void TFxPollingStatus::TimerExpired() {
  // A copy: the handler may free this pane, and the event with it.
  if (TNotifyEvent handler = OnTimerExpired) handler(this);
}

// ------------------------------------------------------------ clock pane

TFxClockStatus::TFxClockStatus(TComponent* owner) : TFxPollingStatus(owner) { SetWidth(150); }

void TFxClockStatus::SetFormat(const AnsiString& format) {
  format_ = format;
  UpdateClock();
  Invalidate();
}

void TFxClockStatus::UpdateClock() {
  TDateTime value = Now();
  if (OnGetDateTime) OnGetDateTime(this, value);
  const AnsiString text = format_.empty() ? DateTimeToStr(value) : FormatDateTime(format_, value);
  if (text == lastText_) return;
  lastText_ = text;
  SetCaption(text);
  AdjustWidth();
  if (Parent() && Showing()) {
    // Drawn at once, not at the next paint cycle.
    Repaint();
  }
}

void TFxClockStatus::CaptionRect(TRect& rect) {
  TFxPollingStatus::CaptionRect(rect);
  if (ReachesBarEdge()) rect.Right -= 12;
}

void TFxClockStatus::TimerExpired() {
  UpdateClock();
  TFxPollingStatus::TimerExpired();
}

void TFxClockStatus::Loaded() {
  TFxPollingStatus::Loaded();
  UpdateClock();
}

void TFxClockStatus::Paint() {
  DrawFrame();
  DrawCaption(lastText_);
}

// -------------------------------------------------------------- key pane

void TFxKeyStrings::Set(AnsiString& field, const AnsiString& value) {
  if (field == value) return;
  field = value;
  if (owner_) owner_->Invalidate();
}

TFxKeyStatus::TFxKeyStatus(TComponent* owner) : TFxPollingStatus(owner), keyStrings_(this) {
  SetWidth(45);
  SetAlignment(taCenter);
  insertToggleAtStart_ = GetKeyToggled(VK_INSERT);
}

void TFxKeyStatus::SetKey(TFxToggleKey key) {
  key_ = key;
  Invalidate();
}

void TFxKeyStatus::SetKeyOff(bool on) {
  if (on == keyOff_) return;
  keyOff_ = on;
  Invalidate();
}

void TFxKeyStatus::SetInsertState(TFxInsertState s) {
  if (IsLoading()) loadedInsertState_ = s;
  if (s == insertState_) return;
  insertState_ = s;
  Invalidate();
}

void TFxKeyStatus::Loaded() {
  loadedInsertState_ = insertState_;
  TFxPollingStatus::Loaded();
}

void TFxKeyStatus::TimerExpired() {
  switch (key_) {
    case tkCapsLock:
      SetKeyOff(!GetKeyToggled(VK_CAPITAL));
      break;
    case tkNumLock:
      SetKeyOff(!GetKeyToggled(VK_NUMLOCK));
      break;
    case tkScrollLock:
      SetKeyOff(!GetKeyToggled(VK_SCROLL));
      break;
    case tkInsert: {
      const bool toggle = GetKeyToggled(VK_INSERT);
      const TFxInsertState other = loadedInsertState_ == isInsert ? isOverwrite : isInsert;
      SetInsertState(toggle == insertToggleAtStart_ ? loadedInsertState_ : other);
      break;
    }
  }
  TFxPollingStatus::TimerExpired();
}

AnsiString TFxKeyStatus::KeyText() const {
  switch (key_) {
    case tkInsert:
      return insertState_ == isOverwrite ? keyStrings_.Overwrite() : keyStrings_.Insert();
    case tkCapsLock:
      return keyOff_ ? AnsiString() : keyStrings_.CapsLock();
    case tkNumLock:
      return keyOff_ ? AnsiString() : keyStrings_.NumLock();
    case tkScrollLock:
      return keyOff_ ? AnsiString() : keyStrings_.ScrollLock();
  }
  return AnsiString();
}

void TFxKeyStatus::Paint() {
  const AnsiString text = KeyText();
  if (Caption() != text) SetCaption(text);
  TFxPollingStatus::Paint();
}
