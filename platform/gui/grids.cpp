// The grid base: geometry of fixed and scrolling cells, painting with grid
// lines, keyboard and mouse navigation, column sizing and moving, scroll
// bars and the in-place editor.
//
// Invariants: FixedCols <= LeftCol <= MaxLeftCol, FixedRows <= TopRow <=
// MaxTopRow (when there are scrolling cells); the current cell is never a
// fixed one while scrolling cells exist; the editor, when shown, lies over
// the current cell and its text goes back through SetEditText on every
// change.
#include "platform/gui/grids.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/widget_bridge.h"

using namespace gui_detail;

namespace {

int ScrollBarExtent() { return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent); }

}  // namespace

// ================================================================ TInplaceEdit

// The button inside the editor's right edge: a drop-down arrow for pick
// lists, three dots for the ellipsis style.
class TInplaceEdit::EditButton : public TGraphicControl {
 public:
  explicit EditButton(TInplaceEdit* edit) : TGraphicControl(edit), edit_(edit) {
    SetControlStyle(ControlStyle() - TControlStyle{csClickEvents});
  }

 protected:
  void Paint() override {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(r);
    DrawEdge(c, r, pressed_ ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    int cx = r.Width() / 2 + (pressed_ ? 1 : 0), cy = r.Height() / 2 + (pressed_ ? 1 : 0);
    c->Brush()->SetColor(clBtnText);
    if (edit_->EditStyle() == esEllipsis) {
      for (int i = -1; i <= 1; ++i) c->FillRect(Rect(cx + i * 4 - 1, cy, cx + i * 4 + 1, cy + 2));
    } else {
      for (int i = 0; i < 4; ++i) c->FillRect(Rect(cx - 3 + i, cy - 1 + i, cx + 4 - i, cy + i));
    }
  }
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    pressed_ = b == mbLeft;
    Invalidate();
    TGraphicControl::MouseDown(b, s, x, y);
    if (pressed_ && edit_->EditStyle() == esPickList) {
      if (edit_->ListVisible())
        edit_->CloseUp(false);
      else
        edit_->DropDown();
    }
  }
  void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
    bool was = pressed_;
    pressed_ = false;
    Invalidate();
    TGraphicControl::MouseUp(b, s, x, y);
    if (was && edit_->EditStyle() == esEllipsis && ClientRect().Contains(Point(x, y))) edit_->DoEditButtonClick();
  }

 private:
  TInplaceEdit* edit_;
  bool pressed_ = false;
};

TInplaceEdit::TInplaceEdit(TCustomGrid* grid) : TCustomMaskEdit(grid), grid_(grid) {
  SetParentColor(false);
  SetTabStop(false);
  SetBorderStyle(bsNone);
  SetVisible(false);
  SetParent(grid);
}

TInplaceEdit::~TInplaceEdit() {
  delete list_;
  if (grid_ && grid_->editor_ == this) grid_->editor_ = nullptr;
}

int TInplaceEdit::ButtonWidth() const { return editStyle_ == esSimple ? 0 : ScrollBarExtent(); }

void TInplaceEdit::SetEditStyle(TEditStyle style) {
  if (style == editStyle_) return;
  if (ListVisible()) CloseUp(false);
  editStyle_ = style;
  Layout();
}

void TInplaceEdit::Layout() {
  int bw = ButtonWidth();
  if (bw > 0) {
    if (!button_) {
      button_ = new EditButton(this);
      button_->SetParent(this);
    }
    button_->SetBounds(ClientWidth() - bw, 0, bw, ClientHeight());
    button_->SetVisible(true);
    button_->Invalidate();
  } else if (button_) {
    button_->SetVisible(false);
  }
  SetTextRect(Rect(0, 0, std::max(0, ClientWidth() - bw), ClientHeight()));
}

void TInplaceEdit::Resize() {
  TCustomMaskEdit::Resize();
  Layout();
}

int TInplaceEdit::DialogCode() const {
  int code = DLGC_WANTARROWS | DLGC_WANTCHARS;
  if (grid_ && grid_->Options().Contains(goTabs)) code |= DLGC_WANTTAB;
  return code;
}

bool TInplaceEdit::ListVisible() const { return list_ && list_->isVisible(); }

void TInplaceEdit::DropDown() {
  if (ListVisible() || editStyle_ != esPickList) return;
  if (grid_) grid_->FillPickList(&pickList_);
  if (!list_) {
    list_ = new QListWidget();
    list_->setWindowFlags(Qt::Popup);
    list_->setFont(QtFontOf(*Font()));
    QObject::connect(list_, &QListWidget::itemClicked, list_, [this](QListWidgetItem*) {
      Guard(this, [this] { CloseUp(true); });
    });
    QObject::connect(list_, &QListWidget::itemActivated, list_, [this](QListWidgetItem*) {
      Guard(this, [this] { CloseUp(true); });
    });
  }
  list_->clear();
  int current = -1;
  AnsiString text = Text();
  for (int i = 0; i < pickList_.Count(); ++i) {
    list_->addItem(ToQt(pickList_[i], CodePage()));
    if (pickList_[i] == text) current = i;
  }
  if (current >= 0) list_->setCurrentRow(current);
  int rowH = std::max(1, list_->sizeHintForRow(0));
  int rows = std::min(std::max(1, pickList_.Count()), std::max(1, dropDownRows_));
  TPoint origin = ClientToScreen(Point(0, Height()));
  list_->setGeometry(origin.x, origin.y, std::max(Width(), 40), rows * rowH + 4);
  list_->show();
}

void TInplaceEdit::CloseUp(bool accept) {
  if (!ListVisible()) return;
  QListWidgetItem* item = list_->currentItem();
  AnsiString chosen = item ? FromQt(item->text(), CodePage()) : AnsiString();
  list_->hide();
  if (accept && item) PickListChosen(chosen);
}

void TInplaceEdit::PickListChosen(const AnsiString& item) {
  if (grid_ && !grid_->CanEditModify()) return;
  SetText(item);
  SelectAll();
}

void TInplaceEdit::DoEditButtonClick() {
  if (grid_) grid_->EditButtonClick();
}

void TInplaceEdit::KeyDown(Word& key, TShiftState shift) {
  TCustomGrid* g = grid_;
  bool forward = g && g->Options().Contains(goAlwaysShowEditor);
  bool ctrl = shift.Contains(ssCtrl);
  int len = static_cast<int>(Text().size());
  bool allSelected = SelStart() == 0 && SelLength() == len;
  bool leftSide = (SelStart() == 0 && SelLength() == 0) || allSelected;
  bool rightSide = (SelStart() == len && SelLength() == 0) || allSelected;
  auto toGrid = [&] {
    g->KeyDown(key, shift);
    key = 0;
  };
  if (editStyle_ == esPickList && ((key == VK_DOWN && shift == TShiftState{ssAlt}) || (key == VK_F4 && shift.Empty()))) {
    if (ListVisible())
      CloseUp(true);
    else
      DropDown();
    key = 0;
    return;
  }
  if (editStyle_ == esEllipsis && key == VK_RETURN && shift == TShiftState{ssCtrl}) {
    DoEditButtonClick();
    key = 0;
    return;
  }
  if (!g) return TCustomMaskEdit::KeyDown(key, shift);
  switch (key) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_ESCAPE:
      toGrid();
      break;
    case VK_INSERT:
      if (shift.Empty())
        toGrid();
      else if (shift == TShiftState{ssShift} && !g->CanEditModify())
        key = 0;
      break;
    case VK_LEFT:
    case VK_HOME:
      if (forward && (ctrl || leftSide)) toGrid();
      break;
    case VK_RIGHT:
    case VK_END:
      if (forward && (ctrl || rightSide)) toGrid();
      break;
    case VK_F2:
      if (g->OnKeyDown) g->OnKeyDown(g, key, shift);
      if (key == VK_F2) {
        SetSelLength(0);
        key = 0;
      }
      return;
    case VK_TAB:
      if (!shift.Contains(ssAlt)) toGrid();
      break;
    case VK_DELETE:
      if (ctrl)
        toGrid();
      else if (!g->CanEditModify())
        key = 0;
      break;
    default:
      break;
  }
  if (key != 0) {
    if (g->OnKeyDown) g->OnKeyDown(g, key, shift);
    if (key != 0) TCustomMaskEdit::KeyDown(key, shift);
  }
}

void TInplaceEdit::KeyPress(char& key) {
  if (grid_) {
    grid_->KeyPress(key);
    unsigned char k = static_cast<unsigned char>(key);
    if (k >= 32 && !grid_->CanEditAcceptKey(key)) {
      key = 0;
      MessageBeep(0);
    }
  }
  switch (key) {
    case 9:
    case 27:
      key = 0;
      break;
    case 13: {
      int len = static_cast<int>(Text().size());
      if (SelStart() == 0 && SelLength() == len)
        SetSelLength(0);
      else
        SelectAll();
      key = 0;
      break;
    }
    default:
      if (key != 0 && (static_cast<unsigned char>(key) >= 32 || key == 8 || key == 22 || key == 24) && grid_ &&
          !grid_->CanEditModify())
        key = 0;
  }
  if (key != 0) TCustomMaskEdit::KeyPress(key);
}

void TInplaceEdit::DoExit() {
  if (ListVisible()) CloseUp(false);
  TCustomMaskEdit::DoExit();
}

void TInplaceEdit::Change() {
  TCustomMaskEdit::Change();
  if (grid_) grid_->UpdateText();
}

// ================================================================= TCustomGrid

TCustomGrid::TCustomGrid(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(TControlStyle{csCaptureMouse, csOpaque, csDoubleClicks});
  SetColor(clWindow);
  SetTabStop(true);
  colWidths_.assign(static_cast<std::size_t>(colCount_), defaultColWidth_);
  rowHeights_.assign(static_cast<std::size_t>(rowCount_), defaultRowHeight_);
  tabStops_.assign(static_cast<std::size_t>(colCount_), true);
  vbar_ = new QScrollBar(Qt::Vertical, Widget());
  hbar_ = new QScrollBar(Qt::Horizontal, Widget());
  vbar_->hide();
  hbar_->hide();
  // The grid decides what a thumb drag does; the bars only report it.
  vbar_->setTracking(false);
  hbar_->setTracking(false);
  QObject::connect(vbar_, &QScrollBar::actionTriggered, vbar_, [this](int a) { ScrollBarAction(true, a); });
  QObject::connect(hbar_, &QScrollBar::actionTriggered, hbar_, [this](int a) { ScrollBarAction(false, a); });
  QObject::connect(vbar_, &QScrollBar::sliderReleased, vbar_, [this] {
    Guard(this, [this] { VerticalScroll(scPosition, vbar_->sliderPosition()); });
  });
  QObject::connect(hbar_, &QScrollBar::sliderReleased, hbar_, [this] {
    Guard(this, [this] { MoveTopLeft(fixedCols_ + hbar_->sliderPosition(), topLeft_.Y); });
  });
  SetBoundsQuietly(0, 0, 320, 120);
  ApplyGeometry();
  UpdateScrollBars();
}

TCustomGrid::~TCustomGrid() {
  Destroying();
  // The editor is freed with the children, after this part of the grid.
  if (editor_) editor_->grid_ = nullptr;
  editor_ = nullptr;
}

// ---- sizes

void TCustomGrid::SizeChanged(int, int) {}

void TCustomGrid::SetColCount(int n) {
  n = std::max(1, n);
  if (n == colCount_) return;
  int old = colCount_;
  colCount_ = n;
  colWidths_.resize(static_cast<std::size_t>(n), defaultColWidth_);
  tabStops_.resize(static_cast<std::size_t>(n), true);
  if (fixedCols_ >= n) fixedCols_ = n - 1;
  current_.X = std::clamp(current_.X, fixedCols_, n - 1);
  anchor_.X = std::clamp(anchor_.X, fixedCols_, n - 1);
  topLeft_.X = std::clamp(topLeft_.X, fixedCols_, std::max(fixedCols_, MaxLeftCol()));
  SizeChanged(old, rowCount_);
  UpdateScrollBars();
  Invalidate();
}

void TCustomGrid::SetRowCount(int n) {
  n = std::max(1, n);
  if (n == rowCount_) return;
  int old = rowCount_;
  rowCount_ = n;
  rowHeights_.resize(static_cast<std::size_t>(n), defaultRowHeight_);
  if (fixedRows_ >= n) fixedRows_ = n - 1;
  current_.Y = std::clamp(current_.Y, fixedRows_, n - 1);
  anchor_.Y = std::clamp(anchor_.Y, fixedRows_, n - 1);
  topLeft_.Y = std::clamp(topLeft_.Y, fixedRows_, std::max(fixedRows_, MaxTopRow()));
  SizeChanged(colCount_, old);
  UpdateScrollBars();
  Invalidate();
}

void TCustomGrid::SetFixedCols(int n) {
  if (n < 0 || n >= colCount_) throw EInvalidOperation("Fixed column count must be less than column count");
  fixedCols_ = n;
  current_.X = std::max(current_.X, n);
  anchor_.X = std::max(anchor_.X, n);
  topLeft_.X = std::clamp(std::max(topLeft_.X, n), n, std::max(n, MaxLeftCol()));
  UpdateScrollBars();
  Invalidate();
}

void TCustomGrid::SetFixedRows(int n) {
  if (n < 0 || n >= rowCount_) throw EInvalidOperation("Fixed row count must be less than row count");
  fixedRows_ = n;
  current_.Y = std::max(current_.Y, n);
  anchor_.Y = std::max(anchor_.Y, n);
  topLeft_.Y = std::clamp(std::max(topLeft_.Y, n), n, std::max(n, MaxTopRow()));
  UpdateScrollBars();
  Invalidate();
}

int TCustomGrid::ColWidths(int col) const {
  if (col < 0 || col >= colCount_) return defaultColWidth_;
  return colWidths_[static_cast<std::size_t>(col)];
}

void TCustomGrid::SetColWidths(int col, int width) {
  if (col < 0 || col >= colCount_) return;
  width = std::max(0, width);
  if (colWidths_[static_cast<std::size_t>(col)] == width) return;
  colWidths_[static_cast<std::size_t>(col)] = width;
  ColWidthsChanged();
}

int TCustomGrid::RowHeights(int row) const {
  if (row < 0 || row >= rowCount_) return defaultRowHeight_;
  return rowHeights_[static_cast<std::size_t>(row)];
}

void TCustomGrid::SetRowHeights(int row, int height) {
  if (row < 0 || row >= rowCount_) return;
  height = std::max(0, height);
  if (rowHeights_[static_cast<std::size_t>(row)] == height) return;
  rowHeights_[static_cast<std::size_t>(row)] = height;
  RowHeightsChanged();
}

void TCustomGrid::SetDefaultColWidth(int w) {
  defaultColWidth_ = w;
  std::fill(colWidths_.begin(), colWidths_.end(), w);
  ColWidthsChanged();
}

void TCustomGrid::SetDefaultRowHeight(int h) {
  defaultRowHeight_ = h;
  std::fill(rowHeights_.begin(), rowHeights_.end(), h);
  RowHeightsChanged();
}

void TCustomGrid::SetGridLineWidth(int w) {
  gridLineWidth_ = std::max(0, w);
  UpdateScrollBars();
  Invalidate();
}

bool TCustomGrid::TabStops(int col) const {
  return col >= 0 && col < colCount_ ? tabStops_[static_cast<std::size_t>(col)] : false;
}

void TCustomGrid::SetTabStops(int col, bool on) {
  if (col >= 0 && col < colCount_) tabStops_[static_cast<std::size_t>(col)] = on;
}

void TCustomGrid::ColWidthsChanged() {
  UpdateScrollBars();
  UpdateEdit();
  Invalidate();
}

void TCustomGrid::RowHeightsChanged() {
  UpdateScrollBars();
  UpdateEdit();
  Invalidate();
}

void TCustomGrid::SetOptions(TGridOptions options) {
  if (options == options_) return;
  if (options.Contains(goRowSelect)) options.Exclude(goAlwaysShowEditor);
  options_ = options;
  if (!options.Contains(goEditing)) HideEditor();
  if (options.Contains(goAlwaysShowEditor) && !editorMode_) SetEditorMode(true);
  if (options.Contains(goRowSelect)) anchor_ = current_;
  UpdateScrollBars();
  Invalidate();
}

void TCustomGrid::SetScrollBars(TScrollStyle s) {
  scrollBars_ = s;
  UpdateScrollBars();
}

void TCustomGrid::SetFixedColor(TColor c) {
  fixedColor_ = c;
  Invalidate();
}

void TCustomGrid::SetBorderStyle(TBorderStyle s) {
  borderStyle_ = s;
  LayoutScrollBars();
  ApplyGeometry();
  Invalidate();
}

void TCustomGrid::SetDefaultDrawing(bool on) {
  defaultDrawing_ = on;
  Invalidate();
}

TColor TCustomGrid::LineColor() const { return ColorToRGB(Color()) == clSilver ? clGray : clSilver; }

// ---- geometry

int TCustomGrid::HorzLineWidth() const { return options_.Contains(goVertLine) ? gridLineWidth_ : 0; }
int TCustomGrid::VertLineWidth() const { return options_.Contains(goHorzLine) ? gridLineWidth_ : 0; }

int TCustomGrid::FixedWidth() const {
  int w = 0;
  for (int i = 0; i < fixedCols_; ++i) w += ColWidths(i) + HorzLineWidth();
  return w;
}

int TCustomGrid::FixedHeight() const {
  int h = 0;
  for (int i = 0; i < fixedRows_; ++i) h += RowHeights(i) + VertLineWidth();
  return h;
}

int TCustomGrid::MaxTopRow() const {
  int avail = ClientHeight() - FixedHeight();
  int row = rowCount_ - 1, used = 0;
  while (row >= fixedRows_) {
    used += RowHeights(row) + VertLineWidth();
    if (used > avail + VertLineWidth() && row < rowCount_ - 1) return row + 1;
    if (used > avail + VertLineWidth()) return row;
    --row;
  }
  return fixedRows_;
}

int TCustomGrid::MaxLeftCol() const {
  int avail = ClientWidth() - FixedWidth();
  int col = colCount_ - 1, used = 0;
  while (col >= fixedCols_) {
    used += ColWidths(col) + HorzLineWidth();
    if (used > avail + HorzLineWidth() && col < colCount_ - 1) return col + 1;
    if (used > avail + HorzLineWidth()) return col;
    --col;
  }
  return fixedCols_;
}

int TCustomGrid::VisibleColCount() const {
  int x = FixedWidth(), n = 0;
  for (int c = topLeft_.X; c < colCount_; ++c) {
    if (x + ColWidths(c) > ClientWidth()) break;
    x += ColWidths(c) + HorzLineWidth();
    ++n;
  }
  return n;
}

int TCustomGrid::VisibleRowCount() const {
  int y = FixedHeight(), n = 0;
  for (int r = topLeft_.Y; r < rowCount_; ++r) {
    if (y + RowHeights(r) > ClientHeight()) break;
    y += RowHeights(r) + VertLineWidth();
    ++n;
  }
  return n;
}

TRect TCustomGrid::CellRect(int col, int row) const {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return TRect{};
  if ((col >= fixedCols_ && col < topLeft_.X) || (row >= fixedRows_ && row < topLeft_.Y)) return TRect{};
  int x = 0;
  if (col < fixedCols_) {
    for (int i = 0; i < col; ++i) x += ColWidths(i) + HorzLineWidth();
  } else {
    x = FixedWidth();
    for (int i = topLeft_.X; i < col; ++i) x += ColWidths(i) + HorzLineWidth();
  }
  int y = 0;
  if (row < fixedRows_) {
    for (int i = 0; i < row; ++i) y += RowHeights(i) + VertLineWidth();
  } else {
    y = FixedHeight();
    for (int i = topLeft_.Y; i < row; ++i) y += RowHeights(i) + VertLineWidth();
  }
  if (x >= ClientWidth() || y >= ClientHeight()) return TRect{};
  return Rect(x, y, std::min(x + ColWidths(col), ClientWidth()), std::min(y + RowHeights(row), ClientHeight()));
}

TGridCoord TCustomGrid::MouseCoord(int x, int y) const {
  TGridCoord c{-1, -1};
  auto find = [&](int pos, int count, int fixed, int first, auto extent, int line) {
    int p = 0;
    for (int i = 0; i < fixed; ++i) {
      if (pos >= p && pos < p + extent(i) + line) return i;
      p += extent(i) + line;
    }
    for (int i = first; i < count; ++i) {
      if (pos >= p && pos < p + extent(i) + line) return i;
      p += extent(i) + line;
    }
    return -1;
  };
  if (x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight()) return c;
  c.X = find(x, colCount_, fixedCols_, topLeft_.X, [this](int i) { return ColWidths(i); }, HorzLineWidth());
  c.Y = find(y, rowCount_, fixedRows_, topLeft_.Y, [this](int i) { return RowHeights(i); }, VertLineWidth());
  return c;
}

void TCustomGrid::MouseToCell(int x, int y, int& col, int& row) const {
  TGridCoord c = MouseCoord(x, y);
  col = c.X;
  row = c.Y;
}

void TCustomGrid::InvalidateCell(int col, int row) {
  TRect r = CellRect(col, row);
  if (!r.IsEmpty()) InvalidateRect(InflateRect(r, 1, 1));
}

void TCustomGrid::InvalidateRow(int row) {
  TRect r = CellRect(fixedCols_ > 0 ? 0 : topLeft_.X, row);
  if (r.IsEmpty() && row >= 0) return;
  InvalidateRect(Rect(0, r.Top - 1, ClientWidth(), r.Bottom + 1));
}

void TCustomGrid::InvalidateCol(int col) {
  TRect r = CellRect(col, fixedRows_ > 0 ? 0 : topLeft_.Y);
  if (r.IsEmpty()) return;
  InvalidateRect(Rect(r.Left - 1, 0, r.Right + 1, ClientHeight()));
}

TGridRect TCustomGrid::Selection() const {
  TGridRect r;
  r.Left = std::min(current_.X, anchor_.X);
  r.Right = std::max(current_.X, anchor_.X);
  r.Top = std::min(current_.Y, anchor_.Y);
  r.Bottom = std::max(current_.Y, anchor_.Y);
  if (options_.Contains(goRowSelect)) {
    r.Left = fixedCols_;
    r.Right = colCount_ - 1;
  }
  return r;
}

void TCustomGrid::SetSelection(const TGridRect& r) {
  TGridCoord oldCur = current_, oldAnchor = anchor_;
  anchor_ = {r.Left, r.Top};
  current_ = {r.Right, r.Bottom};
  InvalidateSelectionOf(oldCur, oldAnchor);
  InvalidateSelectionOf(current_, anchor_);
}

// ---- non-client area and scroll bars

TRect TCustomGrid::NonClientInsets() const {
  int b = borderStyle_ == bsSingle ? (Ctl3D() ? 2 : 1) : 0;
  TRect in = Rect(b, b, b, b);
  if (vinfo_.Visible) in.Right += ScrollBarExtent();
  if (hinfo_.Visible) in.Bottom += ScrollBarExtent();
  return in;
}

void TCustomGrid::PaintNonClient(TCanvas* canvas) {
  TRect r = Rect(0, 0, Width(), Height());
  if (borderStyle_ == bsSingle) {
    if (Ctl3D()) {
      DrawEdge(canvas, r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    } else {
      canvas->Brush()->SetColor(clWindowFrame);
      canvas->FrameRect(r);
      r = InflateRect(r, -1, -1);
    }
  }
  if (vinfo_.Visible && hinfo_.Visible) {
    int e = ScrollBarExtent();
    canvas->Brush()->SetColor(clBtnFace);
    canvas->FillRect(Rect(r.Right - e, r.Bottom - e, r.Right, r.Bottom));
  }
}

void TCustomGrid::LayoutScrollBars() {
  int b = borderStyle_ == bsSingle ? (Ctl3D() ? 2 : 1) : 0;
  int e = ScrollBarExtent();
  int w = Width(), h = Height();
  vbar_->setGeometry(w - b - e, b, e, std::max(0, h - 2 * b - (hinfo_.Visible ? e : 0)));
  hbar_->setGeometry(b, h - b - e, std::max(0, w - 2 * b - (vinfo_.Visible ? e : 0)), e);
  vbar_->setVisible(vinfo_.Visible);
  hbar_->setVisible(hinfo_.Visible);
}

void TCustomGrid::SetVerticalScrollInfo(int min, int max, int page, int pos) {
  bool wasVisible = vinfo_.Visible;
  vinfo_.Min = min;
  vinfo_.Max = max;
  vinfo_.Page = page;
  vinfo_.Pos = std::clamp(pos, min, std::max(min, max - std::max(page, 1) + 1));
  // As on the original platform, a bar whose range fits in one page goes.
  vinfo_.Visible = (scrollBars_ == ssVertical || scrollBars_ == ssBoth || OwnsVerticalScrollBar()) &&
                   max - min + 1 > page && max > min;
  updatingBars_ = true;
  vbar_->setRange(min, std::max(min, page > 0 ? max - page + 1 : max));
  vbar_->setPageStep(std::max(1, page));
  vbar_->setSingleStep(1);
  vbar_->setValue(vinfo_.Pos);
  updatingBars_ = false;
  if (wasVisible != vinfo_.Visible) {
    LayoutScrollBars();
    ApplyGeometry();
    Invalidate();
    UpdateEdit();
  }
}

void TCustomGrid::UpdateScrollBars() {
  bool hWas = hinfo_.Visible, vWas = vinfo_.Visible;
  int maxLeft = MaxLeftCol();
  hinfo_.Min = 0;
  hinfo_.Max = std::max(0, colCount_ - fixedCols_ - 1);
  hinfo_.Page = std::max(1, VisibleColCount());
  hinfo_.Pos = topLeft_.X - fixedCols_;
  hinfo_.Visible = (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) && maxLeft > fixedCols_;
  updatingBars_ = true;
  hbar_->setRange(0, std::max(0, maxLeft - fixedCols_));
  hbar_->setPageStep(hinfo_.Page);
  hbar_->setValue(hinfo_.Pos);
  updatingBars_ = false;
  if (!OwnsVerticalScrollBar()) {
    int maxTop = MaxTopRow();
    vinfo_.Min = 0;
    vinfo_.Max = std::max(0, rowCount_ - fixedRows_ - 1);
    vinfo_.Page = std::max(1, VisibleRowCount());
    vinfo_.Pos = topLeft_.Y - fixedRows_;
    vinfo_.Visible = (scrollBars_ == ssVertical || scrollBars_ == ssBoth) && maxTop > fixedRows_;
    updatingBars_ = true;
    vbar_->setRange(0, std::max(0, maxTop - fixedRows_));
    vbar_->setPageStep(vinfo_.Page);
    vbar_->setValue(vinfo_.Pos);
    updatingBars_ = false;
  }
  if (hWas != hinfo_.Visible || vWas != vinfo_.Visible) {
    LayoutScrollBars();
    ApplyGeometry();
    Invalidate();
  } else {
    LayoutScrollBars();
  }
}

void TCustomGrid::ScrollBarAction(bool vertical, int action) {
  if (updatingBars_) return;
  TScrollCode code;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      code = scLineDown;
      break;
    case QAbstractSlider::SliderSingleStepSub:
      code = scLineUp;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      code = scPageDown;
      break;
    case QAbstractSlider::SliderPageStepSub:
      code = scPageUp;
      break;
    case QAbstractSlider::SliderToMinimum:
      code = scTop;
      break;
    case QAbstractSlider::SliderToMaximum:
      code = scBottom;
      break;
    case QAbstractSlider::SliderMove:
      code = scTrack;
      break;
    default:
      return;
  }
  QScrollBar* bar = vertical ? vbar_ : hbar_;
  int pos = bar->sliderPosition();
  // Qt moves the slider itself; the grid decides where it really goes.
  if (code != scTrack) QMetaObject::invokeMethod(bar, [this, vertical] {
    updatingBars_ = true;
    if (vertical)
      vbar_->setValue(vinfo_.Pos);
    else
      hbar_->setValue(hinfo_.Pos);
    updatingBars_ = false;
  }, Qt::QueuedConnection);
  if (vertical) {
    Guard(this, [&] { VerticalScroll(code, pos); });
    return;
  }
  Guard(this, [&] {
    int left = topLeft_.X;
    switch (code) {
      case scLineUp:
        --left;
        break;
      case scLineDown:
        ++left;
        break;
      case scPageUp:
        left -= std::max(1, VisibleColCount());
        break;
      case scPageDown:
        left += std::max(1, VisibleColCount());
        break;
      case scTop:
        left = fixedCols_;
        break;
      case scBottom:
        left = MaxLeftCol();
        break;
      case scTrack:
        if (!options_.Contains(goThumbTracking)) return;
        left = fixedCols_ + pos;
        break;
      default:
        return;
    }
    MoveTopLeft(left, topLeft_.Y);
  });
}

void TCustomGrid::VerticalScroll(TScrollCode code, int pos) {
  int top = topLeft_.Y;
  switch (code) {
    case scLineUp:
      --top;
      break;
    case scLineDown:
      ++top;
      break;
    case scPageUp:
      top -= std::max(1, VisibleRowCount());
      break;
    case scPageDown:
      top += std::max(1, VisibleRowCount());
      break;
    case scTop:
      top = fixedRows_;
      break;
    case scBottom:
      top = MaxTopRow();
      break;
    case scTrack:
      if (!options_.Contains(goThumbTracking)) return;
      top = fixedRows_ + pos;
      break;
    case scPosition:
      top = fixedRows_ + pos;
      break;
    case scEndScroll:
      return;
  }
  MoveTopLeft(topLeft_.X, top);
}

// ---- moving

void TCustomGrid::MoveTopLeft(int left, int top) {
  left = std::clamp(left, fixedCols_, std::max(fixedCols_, MaxLeftCol()));
  top = std::clamp(top, fixedRows_, std::max(fixedRows_, MaxTopRow()));
  if (left == topLeft_.X && top == topLeft_.Y) return;
  topLeft_ = {left, top};
  TopLeftChanged();
  UpdateScrollBars();
  UpdateEdit();
  Invalidate();
}

void TCustomGrid::TopLeftChanged() {}

void TCustomGrid::SetLeftCol(int col) { MoveTopLeft(col, topLeft_.Y); }
void TCustomGrid::SetTopRow(int row) { MoveTopLeft(topLeft_.X, row); }

void TCustomGrid::ClampInView(TGridCoord cell) {
  int left = topLeft_.X, top = topLeft_.Y;
  if (cell.X >= fixedCols_) {
    if (cell.X < left) {
      left = cell.X;
    } else {
      // Scroll right until the cell is fully visible.
      while (left < cell.X) {
        int x = FixedWidth();
        for (int i = left; i < cell.X; ++i) x += ColWidths(i) + HorzLineWidth();
        if (x + ColWidths(cell.X) <= ClientWidth()) break;
        ++left;
      }
    }
  }
  if (cell.Y >= fixedRows_) {
    if (cell.Y < top) {
      top = cell.Y;
    } else {
      while (top < cell.Y) {
        int y = FixedHeight();
        for (int i = top; i < cell.Y; ++i) y += RowHeights(i) + VertLineWidth();
        if (y + RowHeights(cell.Y) <= ClientHeight()) break;
        ++top;
      }
    }
  }
  MoveTopLeft(left, top);
}

bool TCustomGrid::SelectCell(int, int) { return true; }

void TCustomGrid::InvalidateSelectionOf(TGridCoord current, TGridCoord anchor) {
  int top = std::min(current.Y, anchor.Y), bottom = std::max(current.Y, anchor.Y);
  for (int r = top; r <= bottom; ++r) InvalidateRow(r);
}

void TCustomGrid::MoveCurrent(int col, int row, bool moveAnchor, bool show) {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) throw EInvalidOperation("Grid index out of range");
  if (!SelectCell(col, row)) return;
  TGridCoord oldCur = current_, oldAnchor = anchor_;
  current_ = {col, row};
  if (moveAnchor || !options_.Contains(goRangeSelect)) anchor_ = current_;
  if (options_.Contains(goRowSelect)) anchor_.Y = current_.Y;
  if (show) ClampInView(current_);
  InvalidateSelectionOf(oldCur, oldAnchor);
  InvalidateSelectionOf(current_, anchor_);
  if (!(oldCur == current_)) {
    if (!options_.Contains(goAlwaysShowEditor)) {
      // The editor follows only while the grid keeps showing it.
      if (editorMode_) HideEditor();
    }
    UpdateEdit();
  }
}

void TCustomGrid::FocusCell(int col, int row, bool moveAnchor) { MoveCurrent(col, row, moveAnchor, true); }

void TCustomGrid::SetCol(int col) {
  if (col == current_.X) return;
  FocusCell(col, current_.Y, true);
}

void TCustomGrid::SetRow(int row) {
  if (row == current_.Y) return;
  FocusCell(current_.X, row, true);
}

void TCustomGrid::MoveColumn(int fromIndex, int toIndex) {
  if (fromIndex == toIndex || fromIndex < 0 || toIndex < 0 || fromIndex >= colCount_ || toIndex >= colCount_) return;
  int w = colWidths_[static_cast<std::size_t>(fromIndex)];
  bool t = tabStops_[static_cast<std::size_t>(fromIndex)];
  colWidths_.erase(colWidths_.begin() + fromIndex);
  colWidths_.insert(colWidths_.begin() + toIndex, w);
  tabStops_.erase(tabStops_.begin() + fromIndex);
  tabStops_.insert(tabStops_.begin() + toIndex, t);
  ColumnMoved(fromIndex, toIndex);
  if (current_.X == fromIndex) current_.X = toIndex;
  Invalidate();
}

void TCustomGrid::MoveRow(int fromIndex, int toIndex) {
  if (fromIndex == toIndex || fromIndex < 0 || toIndex < 0 || fromIndex >= rowCount_ || toIndex >= rowCount_) return;
  int h = rowHeights_[static_cast<std::size_t>(fromIndex)];
  rowHeights_.erase(rowHeights_.begin() + fromIndex);
  rowHeights_.insert(rowHeights_.begin() + toIndex, h);
  RowMoved(fromIndex, toIndex);
  Invalidate();
}

void TCustomGrid::DeleteColumn(int col) {
  MoveColumn(col, colCount_ - 1);
  SetColCount(colCount_ - 1);
}

void TCustomGrid::DeleteRow(int row) {
  MoveRow(row, rowCount_ - 1);
  SetRowCount(rowCount_ - 1);
}

void TCustomGrid::ColumnMoved(int, int) {}
void TCustomGrid::RowMoved(int, int) {}
bool TCustomGrid::BeginColumnDrag(int&, int&, TPoint) { return true; }
bool TCustomGrid::EndColumnDrag(int&, int&, TPoint) { return true; }

// ---- painting

void TCustomGrid::DrawCell(int, int, const TRect&, TGridDrawState) {}

void TCustomGrid::Paint() {
  TCanvas* c = Canvas();
  int cw = ClientWidth(), ch = ClientHeight();
  int hl = HorzLineWidth(), vl = VertLineWidth();
  bool focused = false;
  if (TCustomForm* form = GetParentForm(this)) focused = form->Active() && ContainsControl(form->ActiveControl());
  TGridRect sel = Selection();
  auto visibleCols = [&](std::vector<int>& cols) {
    for (int i = 0; i < fixedCols_; ++i) cols.push_back(i);
    int x = FixedWidth();
    for (int i = topLeft_.X; i < colCount_ && x < cw; ++i) {
      cols.push_back(i);
      x += ColWidths(i) + hl;
    }
  };
  std::vector<int> cols, rows;
  visibleCols(cols);
  int y0 = FixedHeight();
  for (int i = 0; i < fixedRows_; ++i) rows.push_back(i);
  for (int i = topLeft_.Y; i < rowCount_ && y0 < ch; ++i) {
    rows.push_back(i);
    y0 += RowHeights(i) + vl;
  }
  TRect clip = c->ClipRect();
  int right = 0, bottom = 0;
  for (int r : rows) {
    for (int col : cols) {
      TRect cell = CellRect(col, r);
      if (cell.IsEmpty() && (ColWidths(col) > 0 && RowHeights(r) > 0)) continue;
      right = std::max(right, cell.Right + hl);
      bottom = std::max(bottom, cell.Bottom + vl);
      bool fixedCell = col < fixedCols_ || r < fixedRows_;
      // Grid lines after the cell (right and below).
      bool fixedV = col < fixedCols_ || r < fixedRows_;
      if (hl > 0 && (fixedV ? options_.Contains(goFixedVertLine) : options_.Contains(goVertLine))) {
        c->Brush()->SetColor(fixedV ? clBlack : LineColor());
        c->FillRect(Rect(cell.Right, cell.Top, cell.Right + hl, cell.Bottom + vl));
      }
      if (vl > 0 && (fixedV ? options_.Contains(goFixedHorzLine) : options_.Contains(goHorzLine))) {
        c->Brush()->SetColor(fixedV ? clBlack : LineColor());
        c->FillRect(Rect(cell.Left, cell.Bottom, cell.Right + hl, cell.Bottom + vl));
      }
      if (IntersectRect(InflateRect(cell, 1, 1), clip).IsEmpty()) continue;
      TGridDrawState state;
      if (fixedCell) {
        state.Include(gdFixed);
      } else {
        bool inSel = col >= sel.Left && col <= sel.Right && r >= sel.Top && r <= sel.Bottom;
        if (inSel) state.Include(gdSelected);
        if (col == current_.X && r == current_.Y && focused) state.Include(gdFocused);
      }
      if (defaultDrawing_) {
        c->Font()->Assign(Font());
        if (fixedCell) {
          c->Brush()->SetColor(fixedColor_);
        } else if (state.Contains(gdSelected) &&
                   (!state.Contains(gdFocused) || options_.Contains(goDrawFocusSelected) || options_.Contains(goRowSelect))) {
          c->Brush()->SetColor(clHighlight);
          c->Font()->SetColor(clHighlightText);
        } else {
          c->Brush()->SetColor(Color());
        }
        c->FillRect(cell);
      }
      Guard(this, [&] { DrawCell(col, r, cell, state); });
      if (defaultDrawing_ && fixedCell && Ctl3D() &&
          (options_.Contains(goFixedVertLine) || options_.Contains(goFixedHorzLine))) {
        TRect e = cell;
        DrawEdge(c, e, BDR_RAISEDINNER, BF_RECT);
      }
      if (defaultDrawing_ && state.Contains(gdFocused) && !options_.Contains(goRowSelect) &&
          !(options_.Contains(goEditing) && options_.Contains(goAlwaysShowEditor))) {
        c->DrawFocusRect(cell);
      }
    }
  }
  // The area past the last cell.
  c->Brush()->SetColor(Color());
  if (right < cw) c->FillRect(Rect(right, 0, cw, ch));
  if (bottom < ch) c->FillRect(Rect(0, bottom, std::min(right, cw), ch));
  DrawSizingFeedback(c);
}

void TCustomGrid::DrawSizingFeedback(TCanvas* canvas) {
  if (gridState_ != gsColSizing && gridState_ != gsRowSizing && gridState_ != gsColMoving) return;
  canvas->Pen()->SetMode(pmXor);
  canvas->Pen()->SetColor(clWhite);
  canvas->Pen()->SetWidth(1);
  if (gridState_ == gsColSizing) {
    canvas->MoveTo(sizingPos_, 0);
    canvas->LineTo(sizingPos_, ClientHeight());
  } else if (gridState_ == gsRowSizing) {
    canvas->MoveTo(0, sizingPos_);
    canvas->LineTo(ClientWidth(), sizingPos_);
  } else if (movePos_ >= 0) {
    TRect r = CellRect(movePos_, 0);
    int x = movePos_ > moveIndex_ ? r.Right : r.Left;
    canvas->MoveTo(x, 0);
    canvas->LineTo(x, ClientHeight());
  }
  canvas->Pen()->SetMode(pmCopy);
}

// ---- editor

TInplaceEdit* TCustomGrid::CreateEditor() { return new TInplaceEdit(this); }

bool TCustomGrid::CanEditShow() const {
  return options_.Contains(goEditing) && !options_.Contains(goRowSelect) && (editorMode_ || options_.Contains(goAlwaysShowEditor)) &&
         current_.X >= fixedCols_ && current_.Y >= fixedRows_;
}

bool TCustomGrid::CanEditModify() { return true; }
bool TCustomGrid::CanEditAcceptKey(char) { return true; }
AnsiString TCustomGrid::GetEditText(int, int) { return ""; }
void TCustomGrid::SetEditText(int, int, const AnsiString&) {}
AnsiString TCustomGrid::GetEditMask(int, int) { return ""; }
int TCustomGrid::GetEditLimit() { return 0; }
TEditStyle TCustomGrid::GetEditStyle(int, int) { return esSimple; }
void TCustomGrid::EditButtonClick() {}

void TCustomGrid::UpdateText() {
  if (editor_ && inplaceCol_ >= 0 && inplaceRow_ >= 0) SetEditText(inplaceCol_, inplaceRow_, editor_->Text());
}

void TCustomGrid::UpdateEdit() {
  if (!editor_ && !CanEditShow()) return;
  if (!CanEditShow()) {
    if (editor_ && editor_->Visible()) {
      bool hadFocus = editor_->Focused();
      editor_->SetVisible(false);
      inplaceCol_ = inplaceRow_ = -1;
      if (hadFocus && CanFocus()) SetFocus();
    }
    return;
  }
  if (!editor_) editor_ = CreateEditor();
  TRect cell = CellRect(current_.X, current_.Y);
  if (inplaceCol_ != current_.X || inplaceRow_ != current_.Y) {
    // Fill the editor for the new cell without writing anything back.
    inplaceCol_ = inplaceRow_ = -1;
    editor_->SetEditMask(GetEditMask(current_.X, current_.Y));
    editor_->SetMaxLength(GetEditLimit());
    editor_->SetEditStyle(GetEditStyle(current_.X, current_.Y));
    editor_->SetText(GetEditText(current_.X, current_.Y));
    editor_->SetModified(false);
    inplaceCol_ = current_.X;
    inplaceRow_ = current_.Y;
    editor_->SelectAll();
  }
  if (cell.IsEmpty()) {
    editor_->SetVisible(false);
    return;
  }
  editor_->Font()->Assign(Font());
  editor_->SetBounds(cell.Left, cell.Top, cell.Width(), cell.Height());
  bool gridHasFocus = Focused() || editor_->Focused();
  editor_->SetVisible(true);
  if (gridHasFocus && !editor_->Focused() && editor_->CanFocus()) editor_->SetFocus();
}

void TCustomGrid::ShowEditor() {
  editorMode_ = true;
  UpdateEdit();
}

void TCustomGrid::HideEditor() {
  editorMode_ = false;
  if (!editor_) return;
  UpdateText();
  inplaceCol_ = inplaceRow_ = -1;
  bool hadFocus = editor_->Focused();
  editor_->SetVisible(false);
  if (hadFocus && CanFocus()) SetFocus();
}

void TCustomGrid::SetEditorMode(bool on) {
  if (on)
    ShowEditor();
  else if (!options_.Contains(goAlwaysShowEditor))
    HideEditor();
}

void TCustomGrid::InvalidateEditor() {
  inplaceCol_ = inplaceRow_ = -1;
  UpdateEdit();
}

// ---- input

int TCustomGrid::DialogCode() const {
  int code = DLGC_WANTARROWS;
  if (options_.Contains(goTabs)) code |= DLGC_WANTTAB;
  if (options_.Contains(goEditing)) code |= DLGC_WANTCHARS;
  return code;
}

bool TCustomGrid::CanGridAcceptKey(Word, TShiftState) { return true; }

void TCustomGrid::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == 0) return;
  if (!CanGridAcceptKey(key, shift)) {
    key = 0;
    return;
  }
  TGridCoord cur = current_, tl = topLeft_;
  int pageH = std::max(1, VisibleRowCount()), pageW = std::max(1, VisibleColCount());
  bool rowSelect = options_.Contains(goRowSelect);
  if (shift.Contains(ssCtrl)) {
    switch (key) {
      case VK_UP:
        --tl.Y;
        break;
      case VK_DOWN:
        ++tl.Y;
        break;
      case VK_LEFT:
        if (!rowSelect) {
          cur.X -= pageW;
          tl.X -= pageW;
        }
        break;
      case VK_RIGHT:
        if (!rowSelect) {
          cur.X += pageW;
          tl.X += pageW;
        }
        break;
      case VK_PRIOR:
        cur.Y = topLeft_.Y;
        break;
      case VK_NEXT:
        cur.Y = topLeft_.Y + pageH - 1;
        break;
      case VK_HOME:
        cur.X = fixedCols_;
        cur.Y = fixedRows_;
        break;
      case VK_END:
        cur.X = colCount_ - 1;
        cur.Y = rowCount_ - 1;
        break;
      default:
        break;
    }
  } else {
    switch (key) {
      case VK_UP:
        --cur.Y;
        break;
      case VK_DOWN:
        ++cur.Y;
        break;
      case VK_LEFT:
        if (rowSelect)
          --tl.X;
        else
          --cur.X;
        break;
      case VK_RIGHT:
        if (rowSelect)
          ++tl.X;
        else
          ++cur.X;
        break;
      case VK_NEXT:
        cur.Y += pageH;
        tl.Y += pageH;
        break;
      case VK_PRIOR:
        cur.Y -= pageH;
        tl.Y -= pageH;
        break;
      case VK_HOME:
        if (rowSelect)
          cur.Y = fixedRows_;
        else
          cur.X = fixedCols_;
        break;
      case VK_END:
        if (rowSelect)
          cur.Y = rowCount_ - 1;
        else
          cur.X = colCount_ - 1;
        break;
      case VK_TAB:
        if (!shift.Contains(ssAlt)) {
          // Walks the tab-stop columns, wrapping to the next (previous)
          // row, and ends where it started.
          bool back = shift.Contains(ssShift);
          do {
            if (back) {
              if (--cur.X < fixedCols_) {
                cur.X = colCount_ - 1;
                if (--cur.Y < fixedRows_) cur.Y = rowCount_ - 1;
              }
            } else {
              if (++cur.X >= colCount_) {
                cur.X = fixedCols_;
                if (++cur.Y >= rowCount_) cur.Y = fixedRows_;
              }
            }
          } while (!TabStops(cur.X) && cur.X != current_.X);
          shift = TShiftState();
        }
        break;
      case VK_F2:
        SetEditorMode(true);
        break;
      default:
        break;
    }
  }
  if (!(tl == topLeft_)) MoveTopLeft(tl.X, tl.Y);
  cur.X = std::clamp(cur.X, fixedCols_, colCount_ - 1);
  cur.Y = std::clamp(cur.Y, fixedRows_, rowCount_ - 1);
  if (!(cur == current_)) FocusCell(cur.X, cur.Y, !shift.Contains(ssShift));
}

void TCustomGrid::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  if (key == 0) return;
  if (!options_.Contains(goAlwaysShowEditor) && key == 13) {
    if (editorMode_)
      HideEditor();
    else
      ShowEditor();
    key = 0;
    return;
  }
  unsigned char k = static_cast<unsigned char>(key);
  // A typed character opens the editor and goes on into it.
  if (options_.Contains(goEditing) && (k >= 32 || k == 8) && !(editor_ && editor_->Focused())) {
    ShowEditor();
    if (editor_ && editor_->Visible()) {
      char32_t u = UnicodeOf(k, CodePage());
      auto* ev = new QKeyEvent(QEvent::KeyPress, k == 8 ? Qt::Key_Backspace : static_cast<int>(QChar(static_cast<char16_t>(u)).toUpper().unicode()),
                               Qt::NoModifier, k == 8 ? QString(QChar(8)) : QString(QChar(static_cast<char16_t>(u))));
      QCoreApplication::postEvent(editor_->Widget(), ev);
      key = 0;
    }
  }
}

TGridState TCustomGrid::CalcSizingState(int x, int y, int& index, int& sizingPos, int& sizingOfs) const {
  index = -1;
  if (!options_.Contains(goColSizing) && !options_.Contains(goRowSizing)) return gsNormal;
  auto axis = [&](int pos, int fixedBoundary, int first, int count, auto extent, int line, int gridExtent,
                  TGridState state) -> TGridState {
    int range = line, back = 0;
    if (range < 7) {
      range = 7;
      back = (range - line) / 2;
    }
    int at = fixedBoundary;
    for (int i = first; i < count; ++i) {
      at += extent(i);
      if (at > gridExtent) break;
      if (pos >= at - back && pos <= at - back + range) {
        index = i;
        sizingPos = at;
        sizingOfs = at - pos;
        return state;
      }
      at += line;
    }
    return gsNormal;
  };
  if (x > FixedWidth() && options_.Contains(goColSizing)) {
    if (y >= FixedHeight()) return gsNormal;
    return axis(x, FixedWidth(), topLeft_.X, colCount_, [this](int i) { return ColWidths(i); }, HorzLineWidth(),
                ClientWidth(), gsColSizing);
  }
  if (y > FixedHeight() && options_.Contains(goRowSizing)) {
    if (x >= FixedWidth()) return gsNormal;
    return axis(y, FixedHeight(), topLeft_.Y, rowCount_, [this](int i) { return RowHeights(i); }, VertLineWidth(),
                ClientHeight(), gsRowSizing);
  }
  return gsNormal;
}

void TCustomGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && shift.Contains(ssDouble)) {
    TCustomControl::MouseDown(button, shift, x, y);
    return;
  }
  if (button == mbLeft) {
    int index, pos, ofs;
    TGridState state = CalcSizingState(x, y, index, pos, ofs);
    if (state != gsNormal) {
      gridState_ = state;
      sizingIndex_ = index;
      sizingPos_ = pos;
      sizingOfs_ = ofs;
      Invalidate();
      TCustomControl::MouseDown(button, shift, x, y);
      return;
    }
    TGridCoord cell = MouseCoord(x, y);
    if (cell.X >= fixedCols_ && cell.Y >= fixedRows_) {
      if (options_.Contains(goEditing)) {
        if (cell == current_)
          ShowEditor();
        else
          MoveCurrent(cell.X, cell.Y, true, true);
        Click();
      } else {
        gridState_ = gsSelecting;
        if (shift.Contains(ssShift) && options_.Contains(goRangeSelect))
          MoveCurrent(cell.X, cell.Y, false, true);
        else
          MoveCurrent(cell.X, cell.Y, true, true);
      }
    } else if (options_.Contains(goColMoving) && cell.Y >= 0 && cell.Y < fixedRows_ && cell.X >= fixedCols_) {
      moveIndex_ = cell.X;
      movePos_ = cell.X;
      if (BeginColumnDrag(moveIndex_, movePos_, Point(x, y))) gridState_ = gsColMoving;
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomGrid::MouseMove(TShiftState shift, int x, int y) {
  switch (gridState_) {
    case gsSelecting: {
      TGridCoord cell = MouseCoord(x, y);
      if (cell.X >= fixedCols_ && cell.Y >= fixedRows_ && !(cell == current_) && options_.Contains(goRangeSelect))
        MoveCurrent(cell.X, cell.Y, false, true);
      break;
    }
    case gsColSizing:
    case gsRowSizing:
      sizingPos_ = (gridState_ == gsColSizing ? x : y) + sizingOfs_;
      Invalidate();
      break;
    case gsColMoving: {
      TGridCoord cell = MouseCoord(x, y);
      if (cell.X >= fixedCols_ && cell.X != movePos_) {
        movePos_ = cell.X;
        Invalidate();
      }
      break;
    }
    default: {
      int index, pos, ofs;
      TGridState s = CalcSizingState(x, y, index, pos, ofs);
      Widget()->setCursor(s == gsColSizing ? Qt::SplitHCursor : s == gsRowSizing ? Qt::SplitVCursor : Qt::ArrowCursor);
    }
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TCustomGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGridState state = gridState_;
  gridState_ = gsNormal;
  switch (state) {
    case gsSelecting:
      UpdateEdit();
      Click();
      break;
    case gsColSizing: {
      TRect cell = CellRect(sizingIndex_, 0);
      int start = cell.IsEmpty() ? sizingPos_ - ColWidths(sizingIndex_) : cell.Left;
      int width = std::max(0, sizingPos_ - start);
      if (width != ColWidths(sizingIndex_)) SetColWidths(sizingIndex_, width);
      Invalidate();
      break;
    }
    case gsRowSizing: {
      TRect cell = CellRect(0, sizingIndex_);
      int start = cell.IsEmpty() ? sizingPos_ - RowHeights(sizingIndex_) : cell.Top;
      SetRowHeights(sizingIndex_, std::max(0, sizingPos_ - start));
      Invalidate();
      break;
    }
    case gsColMoving:
      if (EndColumnDrag(moveIndex_, movePos_, Point(x, y)) && moveIndex_ != movePos_) MoveColumn(moveIndex_, movePos_);
      movePos_ = -1;
      Invalidate();
      break;
    default:
      break;
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

bool TCustomGrid::MouseWheel(TShiftState shift, int delta, TPoint) {
  if (delta < 0) return DoMouseWheelDown(shift);
  if (delta > 0) return DoMouseWheelUp(shift);
  return false;
}

bool TCustomGrid::DoMouseWheelDown(TShiftState) {
  if (current_.Y < rowCount_ - 1) SetRow(current_.Y + 1);
  return true;
}

bool TCustomGrid::DoMouseWheelUp(TShiftState) {
  if (current_.Y > fixedRows_) SetRow(current_.Y - 1);
  return true;
}

void TCustomGrid::DoEnter() {
  TCustomControl::DoEnter();
  InvalidateRow(current_.Y);
  if (options_.Contains(goAlwaysShowEditor)) ShowEditor();
}

void TCustomGrid::Resize() {
  LayoutScrollBars();
  topLeft_.X = std::clamp(topLeft_.X, fixedCols_, std::max(fixedCols_, MaxLeftCol()));
  topLeft_.Y = std::clamp(topLeft_.Y, fixedRows_, std::max(fixedRows_, MaxTopRow()));
  UpdateScrollBars();
  UpdateEdit();
  TCustomControl::Resize();
}

void TCustomGrid::FontChanged() {
  TCustomControl::FontChanged();
  if (editor_) editor_->Font()->Assign(Font());
}
