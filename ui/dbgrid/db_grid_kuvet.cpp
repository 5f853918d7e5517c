#include "ui/dbgrid/db_grid_kuvet.h"

#include <algorithm>

#include "platform/gui/dialogs.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/system.h"
#include "ui/resources/grid_date_pictures.h"

namespace {

const char* const kCheckPictures[] = {"DBGARROWKUVET", "DBEDITKUVET", "DBINSERTKUVET", "DBCHECKED",
                                      "DBCHEARROW",    "DBCHEEDIT",   "DBCHEINSERT"};

}  // namespace

TDbGridKuvet::TDbGridKuvet(TComponent* owner) : TDBGrid(owner) {
  lockedFont_.OnChange = [this](TObject*) { ApplyLockedCols(); };
}

TDbGridKuvet::~TDbGridKuvet() { lockedFont_.OnChange = nullptr; }

// ---- highlighted title

void TDbGridKuvet::StyleTitle(int gridCol, bool active) {
  int index = gridCol - IndicatorOffset();
  if (index < 0 || index >= Columns()->Count()) return;
  TColumnTitle* title = Columns()->Items(index)->Title();
  title->SetFont(TitleFont());
  title->SetColor(active ? activeTitleColor_ : FixedColor());
}

void TDbGridKuvet::SetActiveTitleIndex(int index) {
  if (index == activeTitleIndex_) return;
  int old = activeTitleIndex_;
  activeTitleIndex_ = index;
  StyleTitle(old, false);
  StyleTitle(index, true);
  // The cell font of both columns follows the bold highlight.
  if (activeColumnBold_) {
    for (int col : {old, index}) {
      int data = col - IndicatorOffset();
      if (data >= 0 && data < VisibleColumnCount()) StyleColumn(data, data < FixedCols() - IndicatorOffset());
    }
  }
  Invalidate();
}

void TDbGridKuvet::SetActiveTitleBevel(TKuvetActiveTitleBevel bevel) {
  activeTitleBevel_ = bevel;
  Invalidate();
}

void TDbGridKuvet::SetActiveTitleColor(TColor color) {
  activeTitleColor_ = color;
  StyleTitle(activeTitleIndex_, true);
  Invalidate();
}

void TDbGridKuvet::SetActiveColumnBold(bool bold) {
  activeColumnBold_ = bold;
  int data = activeTitleIndex_ - IndicatorOffset();
  if (data >= 0 && data < VisibleColumnCount()) {
    TColumn* column = VisibleColumn(data);
    TFontStyles style = column->Font()->Style();
    if (bold)
      style.Include(fsBold);
    else
      style.Exclude(fsBold);
    column->Font()->SetStyle(style);
  }
  Invalidate();
}

void TDbGridKuvet::ChangeActiveTitle(int col) {
  if (!clickTitleEnabled_) return;
  int candidate = col;
  if (OnChangeTitle) OnChangeTitle(this, candidate);
  if (candidate != activeTitleIndex_) {
    SetActiveTitleIndex(candidate);
    int index = activeTitleIndex_ - IndicatorOffset();
    AnsiString fieldName;
    if (DataLink()->Active() && index >= 0 && index < Columns()->Count())
      fieldName = Columns()->Items(index)->FieldName();
    if (OnClickTitle) OnClickTitle(this, fieldName, index);
  }
  Invalidate();
}

void TDbGridKuvet::ColumnMoved(int fromIndex, int toIndex) {
  TDBGrid::ColumnMoved(fromIndex, toIndex);
  // The highlight belongs to the column, not to its place.
  if (fromIndex == activeTitleIndex_) activeTitleIndex_ = toIndex;
}

// ---- locked columns

namespace {

bool SameFont(const TFont* a, const TFont* b) {
  return a->Name() == b->Name() && a->Size() == b->Size() && a->Style() == b->Style() && a->Color() == b->Color() &&
         a->Charset() == b->Charset();
}

}  // namespace

void TDbGridKuvet::StyleColumn(int dataCol, bool locked) {
  TColumn* column = VisibleColumn(dataCol);
  if (!column) return;
  TFont font;
  font.Assign(locked ? &lockedFont_ : Font());
  if (activeColumnBold_ && dataCol + IndicatorOffset() == activeTitleIndex_) {
    TFontStyles style = font.Style();
    style.Include(fsBold);
    font.SetStyle(style);
  }
  // Every change of a column rebuilds the grid's layout, which styles the
  // locked columns again: only real changes are made.
  if (!SameFont(column->Font(), &font)) column->SetFont(&font);
  TColor color = locked ? lockedColor_ : Color();
  if (column->Color() != color) column->SetColor(color);
}

void TDbGridKuvet::ApplyLockedCols() {
  if (IsDestroying()) return;
  if (lockedCols_ >= ColCount() - IndicatorOffset() - 1) return;
  for (int i = 0; i < lockedCols_; ++i) StyleColumn(i, true);
  // Last: a restyled column rebuilds the layout, which resets FixedCols.
  SetFixedCols(IndicatorOffset() + lockedCols_);
}

void TDbGridKuvet::SetLockedCols(int count) {
  count = std::max(0, count);
  if (count == lockedCols_) return;
  int old = lockedCols_;
  // Stored first: restyling the released columns rebuilds the layout,
  // which applies the locked columns again.
  lockedCols_ = count;
  if (FixedCols() > IndicatorOffset() + count) SetFixedCols(IndicatorOffset() + count);
  // Columns that stop being locked get the grid's own look back.
  for (int i = count; i < old && i < VisibleColumnCount(); ++i) StyleColumn(i, false);
  ApplyLockedCols();
  Invalidate();
}

void TDbGridKuvet::SetLockedColor(TColor color) {
  lockedColor_ = color;
  ApplyLockedCols();
  Invalidate();
}

void TDbGridKuvet::SetColumnAttributes() {
  TDBGrid::SetColumnAttributes();
  // The layout has just reset FixedCols to the indicator.
  ApplyLockedCols();
}

// ---- check marks

TField* TDbGridKuvet::KeyFieldObject() const {
  TDataSource* source = DataSource();
  if (!source || !source->DataSet() || keyField_.empty()) return nullptr;
  return source->DataSet()->FindField(keyField_);
}

AnsiString TDbGridKuvet::CurrentStringKey() const {
  TField* field = KeyFieldObject();
  return field ? field->AsString() : AnsiString();
}

std::intptr_t TDbGridKuvet::CurrentIntegerKey() const {
  TField* field = KeyFieldObject();
  return field ? static_cast<std::intptr_t>(field->AsInteger()) : 0;
}

bool TDbGridKuvet::IsRowChecked(int row) {
  TGridDataLink* link = DataLink();
  // Rows past the buffered records (an empty dataset's blank row) hold no
  // record to read a key from.
  if (row < 0 || !link->Active() || row >= link->RecordCount()) return false;
  int saved = link->ActiveRecord();
  link->SetActiveRecord(row);
  bool checked = false;
  try {
    checked = keyFieldType_ == sktString ? checkedStrings_.GetChecked(CurrentStringKey())
                                         : checkedList_.Contains(CurrentIntegerKey());
  } catch (...) {
    link->SetActiveRecord(saved);
    throw;
  }
  link->SetActiveRecord(saved);
  return checked;
}

void TDbGridKuvet::ToggleCurrentCheck() {
  if (!checkEnabled_) return;
  if (keyFieldType_ == sktString)
    checkedStrings_.Toggle(CurrentStringKey());
  else
    checkedList_.Toggle(CurrentIntegerKey());
  if (OnCheckRow) OnCheckRow(this);
  Invalidate();
}

void TDbGridKuvet::ClearChecks() {
  if (!checkEnabled_) return;
  checkedList_.Clear();
  checkedStrings_.Clear();
  Invalidate();
}

void TDbGridKuvet::SetKeyFieldType(TKuvetKeyFieldType type) {
  ClearChecks();
  keyFieldType_ = type;
}

void TDbGridKuvet::SetCheckEnabled(bool on) {
  if (on == checkEnabled_) return;
  if (on) {
    if (keyField_.empty()) {
      ShowMessage(Cz("Položka \"KeyField\" musí být definována"));
      return;
    }
    RegisterGridAndDatePictures();
    auto images = std::make_unique<TImageList>(nullptr);
    TBitmap picture;
    for (int i = 0; i < 7; ++i) {
      picture.LoadFromResourceName(kCheckPictures[i]);
      if (i == 0) {
        images->SetWidth(picture.Width());
        images->SetHeight(picture.Height());
      }
      images->AddMasked(&picture, clWhite);
    }
    checkImages_ = std::move(images);
  } else {
    checkImages_.reset();
  }
  checkEnabled_ = on;
  Invalidate();
}

void TDbGridKuvet::SetCheckedColor(TColor color) {
  checkedColor_ = color;
  Invalidate();
}

void TDbGridKuvet::SetCheckedSignum(bool on) {
  checkedSignum_ = on;
  Invalidate();
}

// ---- drawing

void TDbGridKuvet::DrawLockedTitles(TCanvas* canvas, int row) {
  const bool bothLines = Options().Contains(dgColLines) && Options().Contains(dgRowLines);
  // Only the columns actually made fixed, never past the collection.
  int locked = std::min(FixedCols() - IndicatorOffset(), VisibleColumnCount());
  for (int i = 0; i < locked; ++i) {
    TColumn* column = VisibleColumn(i);
    if (!column) continue;
    TRect r = CellRect(i + IndicatorOffset(), row);
    if (r.IsEmpty()) continue;
    if (bothLines) r = InflateRect(r, -1, -1);
    TColumnTitle* title = column->Title();
    canvas->Font()->Assign(title->Font());
    canvas->Brush()->SetColor(title->Color());
    const AnsiString caption = title->Caption();
    int x = r.Left + (bothLines ? 1 : 2);
    if (title->Alignment() == taRightJustify)
      x = r.Right - canvas->TextWidth(caption) - 3;
    else if (title->Alignment() == taCenter)
      x = r.Left + (r.Width() - canvas->TextWidth(caption)) / 2;
    canvas->TextRect(r, x, r.Top + (bothLines ? 1 : 2), caption);
    if (bothLines) DrawEdge(canvas, r, BDR_RAISEDINNER, BF_RECT);
  }
}

void TDbGridKuvet::DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
  const int indicator = IndicatorOffset();
  const int titles = TitleOffset();
  // A locked data cell is drawn as a data cell in its locked colours.
  if (state.Contains(gdFixed) && col >= indicator && row >= titles && Ctl3D()) state.Exclude(gdFixed);
  TDBGrid::DrawCell(col, row, rect, state);

  TCanvas* canvas = Canvas();
  const bool bothLines = Options().Contains(dgColLines) && Options().Contains(dgRowLines);
  TRect r = bothLines ? InflateRect(rect, -1, -1) : rect;
  const int margin = bothLines ? 1 : 2;
  bool fixed = state.Contains(gdFixed);

  if (lockedCols_ > 0 && col == 0 && row < titles && fixed) {
    DrawLockedTitles(canvas, row);
    fixed = false;
  }

  if (fixed && row < titles && Options().Contains(dgTitles) && Ctl3D() && col == activeTitleIndex_) {
    TRect e = r;
    switch (activeTitleBevel_) {
      case stbLowered:
        DrawEdge(canvas, e, BDR_SUNKENINNER, BF_TOPLEFT);
        e = r;
        DrawEdge(canvas, e, BDR_SUNKENOUTER, BF_BOTTOMRIGHT);
        break;
      case stbRaised:
        DrawEdge(canvas, e, BDR_RAISEDINNER, BF_TOPLEFT);
        e = r;
        DrawEdge(canvas, e, BDR_RAISEDOUTER, BF_BOTTOMRIGHT);
        break;
      case stbNone:
        canvas->Pen()->SetColor(activeTitleColor_);
        canvas->Pen()->SetWidth(1);
        canvas->Pen()->SetStyle(psSolid);
        canvas->Polyline({Point(r.Left, r.Bottom), Point(r.Right - 1, r.Bottom), Point(r.Right - 1, r.Top),
                          Point(r.Left, r.Top), Point(r.Left, r.Bottom - 1)});
        break;
    }
  }

  if (checkEnabled_ && checkImages_ && fixed && col < indicator && row >= titles) {
    const int dataRow = row - titles;
    const bool checked = IsRowChecked(dataRow);
    const TColor fill = checked ? checkedColor_ : FixedColor();
    canvas->Brush()->SetColor(fill);
    canvas->FillRect(r);
    TGridDataLink* link = DataLink();
    int image = -1;
    if (link->Active() && dataRow < link->RecordCount() && dataRow == link->ActiveRecord()) {
      switch (link->DataSet()->State()) {
        case dsEdit:
          image = 1;
          break;
        case dsInsert:
          image = 2;
          break;
        default:
          image = 0;
          break;
      }
    }
    if (checked && checkedSignum_) image += 4;
    if (image >= 0)
      checkImages_->Draw(canvas, r.Right - checkImages_->Width() - margin,
                         (r.Top + r.Bottom - checkImages_->Height()) / 2, image);
  }
}

// ---- keys

void TDbGridKuvet::KeyDown(Word& key, TShiftState shift) {
  if (enterIsTab_ && key == VK_RETURN) key = VK_TAB;
  TDBGrid::KeyDown(key, shift);
  if (key == 0 || !DataLink()->Active() || !CanGridAcceptKey(key, shift)) return;
  TDataSet* ds = DataLink()->DataSet();
  switch (key) {
    case VK_RETURN:
      if (OnClickEnter) OnClickEnter(this);
      break;
    case VK_ESCAPE:
      if (OnClickEsc) {
        OnClickEsc(this);
      } else {
        DataLink()->Reset();
        if (!Options().Contains(dgAlwaysShowEditor)) HideEditor();
      }
      break;
    case VK_INSERT:
      if (OnClickIns) {
        OnClickIns(this);
      } else if (!ReadOnly() && ds->State() != dsInsert) {
        // Also without dgEditing: a picking list inserts through its own form.
        ds->Insert();
      }
      break;
    case VK_DELETE:
      if (OnClickDel) OnClickDel(this);
      break;
    default:
      break;
  }
}

void TDbGridKuvet::KeyUp(Word& key, TShiftState shift) {
  if (enterIsTab_ && key == VK_RETURN) key = VK_TAB;
  TDBGrid::KeyUp(key, shift);
}

void TDbGridKuvet::KeyPress(char& key) {
  if (key == ' ' && OnClickSpace) {
    TField* field = SelectedField();
    key = 0;
    OnClickSpace(this, field ? field->FieldName() : AnsiString());
    return;
  }
  if (key == 13 && enterIsTab_) {
    if (!EditorMode()) {
      key = 9;
    } else {
      // The base stores the editor's value; then Enter moves on like Tab.
      TDBGrid::KeyPress(key);
      Word enter = VK_RETURN;
      KeyDown(enter, {});
      return;
    }
  }
  if (key == ',' || key == '.') {
    TField* field = SelectedField();
    if (field && (field->DataType() == ftFloat || field->DataType() == ftCurrency))
      key = FormatSettings().DecimalSeparator;
  }
  TDBGrid::KeyPress(key);
}

int TDbGridKuvet::DialogCode() const { return TDBGrid::DialogCode() | DLGC_WANTCHARS; }

// ---- mouse

bool TDbGridKuvet::InSizingZone(int x) const {
  const int line = HorzLineWidth();
  const int cw = ClientWidth();
  auto inZone = [&](int border) {
    if (line <= 6) {
      int start = border - (7 - line) / 2;
      return x >= start && x < start + 7;
    }
    return x >= border && x < border + line;
  };
  int pos = FixedWidth();
  for (int col = LeftCol(); col < ColCount(); ++col) {
    pos += ColWidths(col);
    if (pos >= cw) return inZone(cw);
    if (inZone(pos)) return true;
    pos += line;
  }
  return false;
}

void TDbGridKuvet::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGridCoord cell = MouseCoord(x, y);
  if (button == mbLeft && Options().Contains(dgTitles) && cell.Y >= 0 && cell.Y < TitleOffset() && cell.X >= 0 &&
      !InSizingZone(x))
    ChangeActiveTitle(cell.X);
  TDBGrid::MouseDown(button, shift, x, y);
  if (button == mbLeft && !shift.Contains(ssDouble) && checkEnabled_ && Options().Contains(dgIndicator) &&
      cell.X == 0 && cell.Y >= TitleOffset() && DataLink()->Active() &&
      cell.Y - TitleOffset() < DataLink()->RecordCount())
    ToggleCurrentCheck();
}

void TDbGridKuvet::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGridCoord cell = MouseCoord(x, y);
  TDBGrid::MouseUp(button, shift, x, y);
  // Moving or sizing a title may have rebuilt the layout.
  if (cell.Y >= 0 && cell.Y < TitleOffset()) ApplyLockedCols();
}

// ---- current cell and scrolling

bool TDbGridKuvet::SelectCell(int col, int row) {
  bool can = TDBGrid::SelectCell(col, row);
  if (can && OnSelectCell && !Options().Contains(dgRowSelect)) OnSelectCell(this, col, row, can);
  return can;
}

void TDbGridKuvet::DoEnter() {
  TDBGrid::DoEnter();
  if (OnSelectCell && !Options().Contains(dgRowSelect)) {
    bool can = true;
    OnSelectCell(this, Col(), Row(), can);
  }
}

void TDbGridKuvet::TopLeftChanged() {
  if (!inTopLeft_ && Col() <= FixedCols() && LeftCol() != FixedCols()) {
    inTopLeft_ = true;
    try {
      SetLeftCol(FixedCols());
      if (Col() != FixedCols() && FixedCols() < ColCount()) MoveCol(FixedCols());
    } catch (...) {
      inTopLeft_ = false;
      throw;
    }
    inTopLeft_ = false;
  }
  TDBGrid::TopLeftChanged();
}

void TDbGridKuvet::Scroll(int distance) {
  TDBGrid::Scroll(distance);
  // The indicator pictures follow the rows.
  int right = 0;
  for (int col = 0; col < std::min(2, ColCount()); ++col) right += ColWidths(col) + HorzLineWidth();
  InvalidateRect(Rect(0, 0, right, ClientHeight()));
}
