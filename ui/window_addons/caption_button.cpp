// Caption buttons in the menu bar's corner and their window-menu items.
#include "ui/window_addons/caption_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <map>

#include "platform/gui/qt_support.h"
#include "platform/gui/widget_bridge.h"
#include "platform/gui/window_menu.h"

using namespace gui_detail;

namespace {

int gNextButtonID = kFirstCaptionButtonID;
constexpr int kPostRepaint = 1;
constexpr int kPostMenuRefresh = 2;

// Never destroyed: buttons freed from an exit handler still look here.
std::map<const TCustomForm*, std::unique_ptr<TwaRealButtonsList>>& Lists() {
  static auto* lists = new std::map<const TCustomForm*, std::unique_ptr<TwaRealButtonsList>>;
  return *lists;
}

class CornerButton : public QWidget {
 public:
  CornerButton(TwaCustomCaptionButton* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
    setMouseTracking(false);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(0, 0, owner_->Picture().Image());
  }
  void mousePressEvent(QMouseEvent* e) override {
    e->accept();
    owner_->MousePressed(e->button() == Qt::LeftButton);
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    e->accept();
    owner_->MousePressed(e->button() == Qt::LeftButton);
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    e->accept();
    owner_->MouseMovedTo(e->position().toPoint().x(), e->position().toPoint().y());
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    e->accept();
    owner_->MouseReleased(e->button() == Qt::LeftButton, e->position().toPoint().x(), e->position().toPoint().y());
  }

 private:
  TwaCustomCaptionButton* owner_;
};

// The corner host: the menu bar sizes its corner by the size hint, which a
// plain widget leaves empty.
class CornerHost : public QWidget {
 public:
  QSize sizeHint() const override { return minimumSize(); }
};

void Polyline(TCanvas* c, TColor color, std::initializer_list<TPoint> points) {
  c->Pen()->SetColor(color);
  c->Pen()->SetWidth(1);
  c->Polyline(std::vector<TPoint>(points));
}

}  // namespace

// ------------------------------------------------------------ lists

TwaRealButtonsList* TwaVirtualBtnList::ListOf(const TCustomForm* form) {
  auto it = Lists().find(form);
  return it == Lists().end() ? nullptr : it->second.get();
}

TwaRealButtonsList* TwaVirtualBtnList::Join(TwaCustomCaptionButton* button, TCustomForm* form) {
  auto& list = Lists()[form];
  if (!list) {
    list = std::make_unique<TwaRealButtonsList>();
    list->Form = form;
    list->Corner = new CornerHost();
    list->Corner->setFixedSize(1, kMenuBarHeight);
  }
  list->Buttons.push_back(button);
  return list.get();
}

void TwaVirtualBtnList::Leave(TwaCustomCaptionButton* button, TCustomForm* form) {
  auto it = Lists().find(form);
  if (it == Lists().end()) return;
  auto& buttons = it->second->Buttons;
  buttons.erase(std::remove(buttons.begin(), buttons.end(), button), buttons.end());
  if (!buttons.empty()) return;
  QWidget* corner = it->second->Corner.data();
  if (corner && MenuBarCorner(form) == corner) SetMenuBarCorner(form, nullptr);
  delete corner;
  Lists().erase(it);
}

// ------------------------------------------------------------ system menu

template <class F>
void TwaSystemMenu::Change(F f) {
  owner_->RemoveMenuItems();
  f();
  owner_->InsertMenuItems();
}

void TwaSystemMenu::SetApplyToMenu(bool on) {
  Change([&] { applyToMenu_ = on; });
}
void TwaSystemMenu::SetCaption(const AnsiString& caption) {
  Change([&] { caption_ = caption; });
}
void TwaSystemMenu::SetPosition(int position) {
  Change([&] { position_ = std::clamp(position, 0, 0xFFFF); });
}
void TwaSystemMenu::SetSeparators(TwaMenuSeparators s) {
  Change([&] { separators_ = s; });
}

// ------------------------------------------------------------ the button

TwaCustomCaptionButton::TwaCustomCaptionButton(TComponent* owner)
    : TwaHFormHookComponent(owner), id_(gNextButtonID++), systemMenu_(this) {
  form_ = HookedWindow();
  glyphFont_.SetName("Arial");
  glyphFont_.SetColor(clBtnText);
  glyphFont_.SetHeight(7 - ButtonSize().cy);
  if (form_) {
    TwaRealButtonsList* list = TwaVirtualBtnList::Join(this, form_);
    widget_ = new CornerButton(this, list->Corner.data());
    widget_->setFocusPolicy(Qt::NoFocus);
  }
  LayoutButtons();
  PaintButton(false);
}

TwaCustomCaptionButton::~TwaCustomCaptionButton() {
  visible_ = false;
  // A form being freed frees its buttons after its own parts: its menu and
  // corner are gone already, only the list is left to clean up.
  const bool formAlive = form_ && !form_->IsDestroying();
  if (formAlive) RemoveMenuItems();
  if (form_) {
    delete widget_.data();
    TwaVirtualBtnList::Leave(this, form_);
    if (formAlive && TwaVirtualBtnList::ListOf(form_)) {
      // The others close up.
      TwaVirtualBtnList::ListOf(form_)->Buttons.front()->LayoutButtons();
    }
  }
}

TSize TwaCustomCaptionButton::ButtonSize() const {
  const bool tool = form_ && !form_->IsDestroying() && (form_->BorderStyle() == bsToolWindow || form_->BorderStyle() == bsSizeToolWin);
  return CaptionButtonSizeOf(tool);
}

void TwaCustomCaptionButton::Notification(TComponent* component, TOperation operation) {
  TwaHFormHookComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == dropdownMenu_) dropdownMenu_ = nullptr;
}

void TwaCustomCaptionButton::SetDropdownMenu(TPopupMenu* menu) {
  if (dropdownMenu_) dropdownMenu_->RemoveFreeNotification(this);
  RemoveMenuItems();
  dropdownMenu_ = menu;
  if (dropdownMenu_) dropdownMenu_->FreeNotification(this);
  InsertMenuItems();
}

void TwaCustomCaptionButton::SetToggle(bool on) {
  toggle_ = on;
  if (!on && !mouseCaptured_) SetDown(false);
}

void TwaCustomCaptionButton::SetDown(bool on) {
  if (!toggle_) on = false;
  if (on == down_) return;
  down_ = on;
  if (systemMenu_.ApplyToMenu())
    if (TWindowMenu* menu = SystemMenuHandle()) menu->CheckCommand(id_, down_);
  PaintButton(down_);
}

void TwaCustomCaptionButton::SetEnabled(bool on) {
  enabled_ = on;
  if (TWindowMenu* menu = SystemMenuHandle()) menu->EnableCommand(id_, on);
  UpdateToolRect();
  PaintButton(paintedPressed_);
}

void TwaCustomCaptionButton::SetVisible(bool on) {
  visible_ = on;
  UpdateToolRect();
  LayoutButtons();
}

void TwaCustomCaptionButton::SetShowHint(bool on) {
  showHint_ = on;
  UpdateToolRect();
}

void TwaCustomCaptionButton::SetHint(const AnsiString& hint) {
  hint_ = hint;
  UpdateToolRect();
}

void TwaCustomCaptionButton::SetSeparatorWidth(int w) {
  separatorWidth_ = std::clamp(w, 0, 255);
  LayoutButtons();
}

void TwaCustomCaptionButton::SetTransparentGlyph(bool on) {
  transparentGlyph_ = on;
  PaintButton(paintedPressed_);
}

void TwaCustomCaptionButton::SetGlyphChar(char c) {
  glyphChar_ = c;
  PaintButton(paintedPressed_);
}

int TwaCustomCaptionButton::BtnOrder() const {
  TwaRealButtonsList* list = TwaVirtualBtnList::ListOf(form_);
  if (!list) return -1;
  auto it = std::find(list->Buttons.begin(), list->Buttons.end(), this);
  return it == list->Buttons.end() ? -1 : static_cast<int>(it - list->Buttons.begin());
}

void TwaCustomCaptionButton::SetBtnOrder(int order) {
  if (IsLoading() || (form_ && form_->IsLoading())) {
    streamedOrder_ = order;
    return;
  }
  TwaRealButtonsList* list = TwaVirtualBtnList::ListOf(form_);
  if (!list) return;
  auto& b = list->Buttons;
  order = std::clamp(order, 0, static_cast<int>(b.size()) - 1);
  b.erase(std::remove(b.begin(), b.end(), this), b.end());
  b.insert(b.begin() + order, this);
  LayoutButtons();
}

void TwaCustomCaptionButton::Loaded() {
  TwaHFormHookComponent::Loaded();
  if (TwaRealButtonsList* list = TwaVirtualBtnList::ListOf(form_)) {
    auto& b = list->Buttons;
    const auto before = b;
    std::stable_sort(b.begin(), b.end(), [](const TwaCustomCaptionButton* x, const TwaCustomCaptionButton* y) {
      return x->streamedOrder_ < y->streamedOrder_;
    });
    if (b != before) LayoutButtons();
  }
  UpdateToolRect();
  InsertMenuItems();
}

void TwaCustomCaptionButton::LayoutButtons() {
  TwaRealButtonsList* list = TwaVirtualBtnList::ListOf(form_);
  if (!list) return;
  const TSize size = ButtonSize();
  int offset = 2;
  for (TwaCustomCaptionButton* b : list->Buttons) {
    if (!b->visible_) continue;
    offset += b->separatorWidth_ + size.cx - 2;
    b->rightOffset_ = offset;
  }
  const int width = offset + 2;
  list->Corner->setFixedSize(width, kMenuBarHeight);
  const int gw = size.cx - 5, gh = size.cy - 7;
  for (TwaCustomCaptionButton* b : list->Buttons) {
    const int left = width - b->rightOffset_;
    const int top = (kMenuBarHeight - (gh + 3)) / 2;
    b->buttonRect_ = Rect(left, top, left + gw + 3, top + gh + 3);
    if (b->widget_) {
      b->widget_->setGeometry(b->buttonRect_.Left, b->buttonRect_.Top, gw + 3, gh + 3);
      b->widget_->setVisible(b->visible_);
    }
  }
  if (form_ && MenuBarCorner(form_) != list->Corner.data()) SetMenuBarCorner(form_, list->Corner.data());
  RefreshFrame();
}

void TwaCustomCaptionButton::PaintButton(bool pressed) {
  paintedPressed_ = pressed;
  const TSize size = ButtonSize();
  const int bw = size.cx, gw = size.cx - 5, gh = size.cy - 7;
  const int p = pressed ? 1 : 0;
  picture_.SetSize(gw + 3, gh + 3);
  TCanvas* c = picture_.Canvas();
  if (!pressed) {
    Polyline(c, clBtnHighlight, {{0, gh + 1}, {0, 0}, {gw + 3, 0}});
    Polyline(c, clBlack, {{0, gh + 2}, {gw + 2, gh + 2}, {gw + 2, -1}});
    Polyline(c, RGB(128, 128, 128), {{gw + 1, 1}, {gw + 1, gh + 1}, {0, gh + 1}});
    Polyline(c, cl3DLight, {{1, gh}, {1, 1}, {gw + 1, 1}});
  } else {
    Polyline(c, clBlack, {{0, gh + 1}, {0, 0}, {gw + 3, 0}});
    Polyline(c, clBtnHighlight, {{0, gh + 2}, {gw + 2, gh + 2}, {gw + 2, -1}});
    Polyline(c, RGB(128, 128, 128), {{gw, 1}, {1, 1}, {1, gh + 1}});
    Polyline(c, RGB(192, 192, 192), {{gw + 1, 1}, {gw + 1, gh + 1}, {0, gh + 1}});
  }
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(Rect(2, 2, gw + 1, gh + 1));
  TBitmap* glyph = pressed && !downGlyph_.Empty() ? &downGlyph_ : &upGlyph_;
  if (upGlyph_.Empty()) {
    c->SetFont(&glyphFont_);
    c->Brush()->SetStyle(bsClear);
    c->SetTextAlign(TA_CENTER | TA_TOP);
    const int x = bw / 2 - 1 + p, y = p;
    const AnsiString text(1, glyphChar_);
    if (!enabled_) {
      c->Font()->SetColor(clWhite);
      c->TextOut(x + 1, y + 1, text);
      c->Font()->SetColor(RGB(128, 128, 128));
      c->TextOut(x, y, text);
    } else {
      c->TextOut(x, y, text);
    }
    c->SetTextAlign(TA_LEFT | TA_TOP);
    c->Brush()->SetStyle(bsSolid);
  } else {
    TBitmap face;
    face.SetSize(glyph->Width(), glyph->Height());
    TCanvas* fc = face.Canvas();
    fc->Brush()->SetColor(clBtnFace);
    fc->FillRect(Rect(0, 0, face.Width(), face.Height()));
    if (!enabled_) {
      // The glyph's black pixels, embossed.
      for (auto [dx, color] : {std::pair{1, clBtnHighlight}, std::pair{0, clBtnShadow}})
        for (int y = 0; y < glyph->Height(); ++y)
          for (int x = 0; x < glyph->Width(); ++x)
            if (glyph->Canvas()->Pixels(x, y) == clBlack && x + dx < face.Width() && y + dx < face.Height())
              fc->SetPixels(x + dx, y + dx, color);
    } else {
      const TColor key = glyph->Canvas()->Pixels(0, 0);
      for (int y = 0; y < glyph->Height(); ++y)
        for (int x = 0; x < glyph->Width(); ++x) {
          const TColor px = glyph->Canvas()->Pixels(x, y);
          if (!transparentGlyph_ || px != key) fc->SetPixels(x, y, px);
        }
    }
    c->StretchDraw(Bounds(2 + p, 2 + p, gw - 1, gh - 1), &face);
  }
  if (widget_) widget_->update();
}

void TwaCustomCaptionButton::UpdateToolRect() {
  if (!widget_) return;
  const bool show = visible_ && enabled_ && showHint_ && !hint_.empty();
  widget_->setToolTip(show ? ToQt(hint_, 1250) : QString());
}

void TwaCustomCaptionButton::InsertMenuItems() {
  if (!systemMenu_.ApplyToMenu() || systemMenu_.inserted_) return;
  TWindowMenu* menu = SystemMenuHandle();
  if (!menu) return;
  const int count = menu->Count();
  int pos = systemMenu_.Position();
  if (pos > count + 1) pos = count;
  TWindowMenuItem item;
  item.Command = id_;
  item.Caption = systemMenu_.Caption().empty() ? hint_ : systemMenu_.Caption();
  item.SubMenu = dropdownMenu_;
  menu->Insert(pos, item);
  if (systemMenu_.Separators().Contains(seBefore)) {
    menu->Insert(pos, TWindowMenuItem{id_ + 1000, "-", true, false, nullptr});
    pos += 2;
  } else {
    pos += 1;
  }
  if (systemMenu_.Separators().Contains(seAfter)) menu->Insert(pos, TWindowMenuItem{id_ + 2000, "-", true, false, nullptr});
  menu->EnableCommand(id_, enabled_);
  menu->CheckCommand(id_, down_);
  systemMenu_.inserted_ = true;
}

void TwaCustomCaptionButton::RemoveMenuItems() {
  systemMenu_.inserted_ = false;
  TWindowMenu* menu = SystemMenuHandle();
  if (!menu) return;
  menu->RemoveCommand(id_);
  menu->RemoveCommand(id_ + 1000);
  menu->RemoveCommand(id_ + 2000);
}

void TwaCustomCaptionButton::Flip() {
  SetDown(!down_);
  if (down_)
    ButtonDownEvent();
  else
    ButtonUpEvent();
}

void TwaCustomCaptionButton::MousePressed(bool left) {
  if (!left || !enabled_ || !visible_) return;
  PaintButton(true);
  mouseCaptured_ = true;
  if (widget_) widget_->setCursor(CursorFor(cursorDown_));
}

void TwaCustomCaptionButton::MouseMovedTo(int x, int y) {
  if (!mouseCaptured_ || !widget_) return;
  const bool inside = widget_->rect().contains(x, y);
  if (!inside && paintedPressed_ && !down_) PaintButton(false);
  if (inside && !paintedPressed_) PaintButton(true);
}

void TwaCustomCaptionButton::MouseReleased(bool left, int x, int y) {
  if (!left || !mouseCaptured_) return;
  MouseMovedTo(x, y);
  mouseCaptured_ = false;
  if (widget_) widget_->setCursor(CursorFor(cursor_));
  const bool inside = widget_ && widget_->rect().contains(x, y);
  if (!inside) {
    PaintButton(down_);
    return;
  }
  BeforeClick();
  if (toggle_) Flip();
  AfterClick();
  if (!toggle_) PaintButton(false);
  if (dropdownMenu_ && widget_) {
    menuShowing_ = true;
    const QPoint below = widget_->mapToGlobal(QPoint(0, widget_->height()));
    dropdownMenu_->Popup(below.x(), below.y());
    menuShowing_ = false;
  }
}

void TwaCustomCaptionButton::AfterClick() {
  if (TNotifyEvent h = OnClick) h(this);
  StateChanged();
}

void TwaCustomCaptionButton::AfterMenuCommand() {
  if (TNotifyEvent h = OnMenuCommand) h(this);
  StateChanged();
}

void TwaCustomCaptionButton::StateChanged() {
  if (TNotifyEvent h = OnStateChanged) h(this);
}

void TwaCustomCaptionButton::ButtonDownEvent() {
  if (TNotifyEvent h = OnButtonDown) h(this);
}

void TwaCustomCaptionButton::ButtonUpEvent() {
  if (TNotifyEvent h = OnButtonUp) h(this);
}

void TwaCustomCaptionButton::BeforeMessage(TWindowMessage& message, bool& handled) {
  TwaHFormHookComponent::BeforeMessage(message, handled);
}

void TwaCustomCaptionButton::AfterMessage(TWindowMessage& message) {
  TwaHFormHookComponent::AfterMessage(message);
  if (message.Notice == TFormNotice::WindowMenuCommand && message.Param == id_ && !dropdownMenu_) {
    BeforeMenuCommand();
    if (toggle_) Flip();
    AfterMenuCommand();
  }
  if (message.Event && (message.Event->type() == QEvent::WindowActivate ||
                        message.Event->type() == QEvent::WindowDeactivate))
    PostToHidden(kPostRepaint);
}

void TwaCustomCaptionButton::AfterRehook() {
  TwaHFormHookComponent::AfterRehook();
  UpdateToolRect();
  LayoutButtons();
  PostToHidden(kPostMenuRefresh);
}

void TwaCustomCaptionButton::HiddenWindowProc(int message) {
  if (message == kPostRepaint) PaintButton(down_ || (mouseCaptured_ && paintedPressed_));
  if (message == kPostMenuRefresh) {
    RemoveMenuItems();
    InsertMenuItems();
  }
}
