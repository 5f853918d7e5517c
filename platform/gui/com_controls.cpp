// The page control over a QTabBar: one tab per sheet (hidden tabs stay in
// place), the sheets placed on the display rectangle.
#include "platform/gui/com_controls.h"

#include <QTabBar>

#include <algorithm>

#include "platform/gui/ext_controls.h"
#include "platform/gui/widget_bridge.h"

using namespace gui_detail;

// --------------------------------------------------------------- TTabSheet

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner, MakeWidget<PlainWidget>()) { SetColor(clBtnFace); }

TTabSheet::~TTabSheet() = default;

void TTabSheet::SetPageControl(TPageControl* pc) {
  if (pc == pageControl_) return;
  SetParent(pc);
}

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  auto& p = pageControl_->pages_;
  return static_cast<int>(std::find(p.begin(), p.end(), this) - p.begin());
}

void TTabSheet::SetPageIndex(int index) {
  if (!pageControl_) return;
  auto& p = pageControl_->pages_;
  p.erase(std::remove(p.begin(), p.end(), this), p.end());
  index = std::clamp(index, 0, static_cast<int>(p.size()));
  p.insert(p.begin() + index, this);
  pageControl_->RebuildTabs();
}

void TTabSheet::SetTabVisible(bool on) {
  if (on == tabVisible_) return;
  tabVisible_ = on;
  if (!pageControl_) return;
  if (!on && pageControl_->active_ == this) {
    TTabSheet* next = nullptr;
    for (TTabSheet* s : pageControl_->pages_)
      if (s != this && s->tabVisible_) {
        next = s;
        break;
      }
    pageControl_->SetActivePage(next);
  }
  pageControl_->RebuildTabs();
}

void TTabSheet::Paint() {
  Canvas()->Brush()->SetColor(Color());
  Canvas()->FillRect(ClientRect());
}

void TTabSheet::TextChanged() {
  if (pageControl_) pageControl_->RebuildTabs();
}

// ------------------------------------------------------------ TPageControl

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner, MakeWidget<PlainWidget>()) {
  SetTabStop(true);
  tabs_ = new QTabBar(Widget());
  tabs_->setFocusPolicy(Qt::NoFocus);
  tabs_->setDrawBase(false);
  tabs_->setExpanding(false);
  QObject::connect(tabs_, &QTabBar::currentChanged, tabs_, [this](int i) { TabClicked(i); });
  SetBoundsQuietly(0, 0, 289, 193);
  ApplyGeometry();
  tabs_->show();
}

TPageControl::~TPageControl() {
  Destroying();
  for (TTabSheet* s : pages_) s->pageControl_ = nullptr;
  pages_.clear();
}

QWidget* TPageControl::FocusWidget() const { return tabs_; }

void TPageControl::ControlsChanged() {
  std::vector<TTabSheet*> now;
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* s = dynamic_cast<TTabSheet*>(Controls(i))) now.push_back(s);
  // Keep the order of known pages; new ones go last.
  std::vector<TTabSheet*> ordered;
  for (TTabSheet* s : pages_)
    if (std::find(now.begin(), now.end(), s) != now.end()) ordered.push_back(s);
  for (TTabSheet* s : now)
    if (std::find(ordered.begin(), ordered.end(), s) == ordered.end()) ordered.push_back(s);
  for (TTabSheet* s : pages_)
    if (std::find(ordered.begin(), ordered.end(), s) == ordered.end()) s->pageControl_ = nullptr;
  pages_ = ordered;
  for (TTabSheet* s : pages_) s->pageControl_ = this;
  if (active_ && std::find(pages_.begin(), pages_.end(), active_) == pages_.end()) active_ = nullptr;
  if (!active_)
    for (TTabSheet* s : pages_)
      if (s->tabVisible_) {
        active_ = s;
        break;
      }
  if (IsDestroying()) return;
  RebuildTabs();
  ShowActive();
  Realign();
}

void TPageControl::RebuildTabs() {
  syncing_ = true;
  while (tabs_->count() > 0) tabs_->removeTab(0);
  for (TTabSheet* s : pages_) {
    int i = tabs_->addTab(ToQt(s->Caption(), s->CodePage()));
    tabs_->setTabVisible(i, s->tabVisible_);
  }
  int a = ActivePageIndex();
  if (a >= 0) tabs_->setCurrentIndex(a);
  tabs_->resize(tabs_->sizeHint().width(), tabs_->sizeHint().height());
  syncing_ = false;
  Invalidate();
}

void TPageControl::ShowActive() {
  for (TTabSheet* s : pages_) s->SetVisible(s == active_);
}

int TPageControl::ActivePageIndex() const {
  auto it = std::find(pages_.begin(), pages_.end(), active_);
  return it == pages_.end() ? -1 : static_cast<int>(it - pages_.begin());
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  if (page == active_) return;
  active_ = page;
  ShowActive();
  syncing_ = true;
  if (page) tabs_->setCurrentIndex(ActivePageIndex());
  syncing_ = false;
  Realign();
}

void TPageControl::SetActivePageIndex(int index) {
  SetActivePage(index >= 0 && index < PageCount() ? pages_[static_cast<std::size_t>(index)] : nullptr);
}

void TPageControl::TabClicked(int index) {
  if (syncing_) return;
  bool allow = true;
  if (OnChanging) Guard(this, [&] { OnChanging(this, allow); });
  if (!allow) {
    syncing_ = true;
    tabs_->setCurrentIndex(ActivePageIndex());
    syncing_ = false;
    return;
  }
  SetActivePageIndex(index);
  if (OnChange) Guard(this, [&] { OnChange(this); });
}

TRect TPageControl::DisplayRect() const {
  int tabHeight = tabs_->sizeHint().height();
  return Rect(4, tabHeight + 2, std::max(4, ClientWidth() - 4), std::max(tabHeight + 2, ClientHeight() - 4));
}

void TPageControl::AlignControls() {
  TRect d = DisplayRect();
  for (TTabSheet* s : pages_) s->SetBounds(d.Left, d.Top, d.Width(), d.Height());
  TWinControl::AlignControls();
}

void TPageControl::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  TRect frame = Rect(0, tabs_->sizeHint().height() - 2, ClientWidth(), ClientHeight());
  DrawEdge(c, frame, EDGE_RAISED, BF_RECT);
}

bool TPageControl::DialogChar(char key) {
  for (TTabSheet* s : pages_)
    if (s->tabVisible_ && IsAccel(key, s->Caption()) && CanFocus()) {
      TabClicked(s->PageIndex());
      return true;
    }
  return TWinControl::DialogChar(key);
}

// -------------------------------------------------------------- TStatusBar

TStatusBar::TStatusBar(TComponent* owner) : TCustomControl(owner) {
  SetBoundsQuietly(0, 0, 200, 19);
  ApplyGeometry();
  SetAlign(alBottom);
}

void TStatusBar::SetSimplePanel(bool on) {
  simplePanel_ = on;
  Invalidate();
}

void TStatusBar::SetSimpleText(const AnsiString& text) {
  if (text == simpleText_) return;
  simpleText_ = text;
  Invalidate();
}

void TStatusBar::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  if (!simplePanel_) return;
  TRect pane = Rect(r.Left, r.Top + 2, r.Right, r.Bottom);
  Frame3D(c, pane, clBtnShadow, clBtnHighlight, 1);
  c->Brush()->SetStyle(bsClear);
  c->Font()->Assign(Font());
  pane.Left += 2;
  DrawText(c, simpleText_, pane, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
}
