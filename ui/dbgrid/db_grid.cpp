// The data-aware grid: columns and titles, the grid's data link, the
// selected-row list, the in-place editor and the grid itself (layout,
// drawing, keys, mouse, scroll bar).
//
// Invariants kept here:
// - RowCount = the link's buffered records + TitleOffset (at least
//   TitleOffset + 1), FixedRows = TitleOffset, FixedCols = IndicatorOffset,
//   ColCount = IndicatorOffset + the shown columns (at least one column).
// - Row() - TitleOffset is the link's active record whenever the link is
//   active; only the dataset moves, the grid follows (UpdateActive).
// - editText_ is the text the editor holds for the current cell; the link
//   is "modified" exactly when the user changed it since it was last read
//   from or written to the field.
#include "ui/dbgrid/db_grid.h"

#include <QLocale>

#include <algorithm>
#include <cstdlib>

#include "platform/db/db_errors.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/resources.h"

namespace {

constexpr int kIndicatorWidth = 11;
// The window measured when deciding how many rows fit.
constexpr int kMeasureRows = 1000;

const char* const kIndicatorNames[] = {"DBGARROW", "DBEDIT", "DBINSERT", "DBMULTIDOT", "DBMULTIARROW"};

// Our own indicator pictures, 8 x 11, white see-through.
void RegisterIndicatorPictures() {
  static bool done = false;
  if (done) return;
  done = true;
  const std::map<char, TColor> palette = {{'.', clWhite}, {'k', clBlack}};
  // clang-format off
  const std::vector<std::string> pictures[] = {
      // DBGARROW
      {
          "........",
          "........",
          "..k.....",
          "..kk....",
          "..kkk...",
          "..kkkk..",
          "..kkk...",
          "..kk....",
          "..k.....",
          "........",
          "........"
      },
      // DBEDIT
      {
          "........",
          "..kk.kk.",
          "....k...",
          "....k...",
          "....k...",
          "....k...",
          "....k...",
          "....k...",
          "....k...",
          "..kk.kk.",
          "........"
      },
      // DBINSERT
      {
          "........",
          "........",
          "........",
          "...k....",
          ".k.k.k..",
          "..kkk...",
          ".k.k.k..",
          "...k....",
          "........",
          "........",
          "........"
      },
      // DBMULTIDOT
      {
          "........",
          "........",
          "........",
          "........",
          "...kk...",
          "..kkkk..",
          "..kkkk..",
          "...kk...",
          "........",
          "........",
          "........"
      },
      // DBMULTIARROW
      {
          "........",
          "........",
          "k.......",
          "kk......",
          "kkk..kk.",
          "kkkkkkk.",
          "kkk..kk.",
          "kk......",
          "k.......",
          "........",
          "........"
      },
  };
  // clang-format on

  for (int i = 0; i < 5; ++i) RegisterBitmapResource(kIndicatorNames[i], pictures[i], palette);
}

// Field types an editor cannot hold as text.
bool IsBinaryType(TFieldType type) {
  switch (type) {
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftCursor:
    case ftADT:
    case ftArray:
    case ftReference:
    case ftDataSet:
    case ftOraBlob:
    case ftOraClob:
      return true;
    default:
      return false;
  }
}

// The character unit the grid measures display widths in: the width of
// "0" in the font, less its overhang.
int CharUnit(const TFont* font, int& overhang) {
  TCanvas measure;
  measure.Font()->Assign(font);
  overhang = measure.Font()->Metrics().tmOverhang;
  return std::max(1, measure.TextWidth("0") - overhang);
}

int TextWidthIn(const TFont* font, const AnsiString& text) {
  TCanvas measure;
  measure.Font()->Assign(font);
  return measure.TextWidth(text);
}

int TextHeightIn(const TFont* font) {
  TCanvas measure;
  measure.Font()->Assign(font);
  return measure.TextHeight("Wg");
}

}  // namespace

TDBGridOptions DefaultDBGridOptions(bool koreanPrimaryLanguage) {
  TDBGridOptions options = {dgEditing,  dgTitles, dgIndicator,     dgColumnResize, dgColLines,
                            dgRowLines, dgTabs,   dgConfirmDelete, dgCancelOnExit};
  if (koreanPrimaryLanguage) options.Include(dgAlwaysShowEditor);
  return options;
}

bool SystemPrimaryLanguageIsKorean() { return QLocale::system().language() == QLocale::Korean; }

// ============================================================ TColumnTitle

TColumnTitle::TColumnTitle(TColumn* column) : column_(column) {
  font_.OnChange = [this](TObject*) {
    if (settingFont_) return;
    column_->Assigned(cvTitleFont);
    column_->Changed(false);
  };
  RefreshDefaultFont();
}

TColumnTitle::~TColumnTitle() { font_.OnChange = nullptr; }

AnsiString TColumnTitle::DefaultCaption() const {
  if (TField* field = column_->Field()) return field->DisplayName();
  return column_->FieldName();
}

AnsiString TColumnTitle::Caption() const {
  return column_->AssignedValues().Contains(cvTitleCaption) ? caption_ : DefaultCaption();
}

void TColumnTitle::SetCaption(const AnsiString& caption) {
  if (column_->WritesThrough()) {
    column_->Field()->SetDisplayLabel(caption);
    return;
  }
  if (column_->AssignedValues().Contains(cvTitleCaption) && caption == caption_) return;
  caption_ = caption;
  column_->Assigned(cvTitleCaption);
  column_->Changed(false);
}

TAlignment TColumnTitle::Alignment() const {
  return column_->AssignedValues().Contains(cvTitleAlignment) ? alignment_ : taLeftJustify;
}

void TColumnTitle::SetAlignment(TAlignment alignment) {
  alignment_ = alignment;
  column_->Assigned(cvTitleAlignment);
  column_->Changed(false);
}

TColor TColumnTitle::Color() const {
  if (column_->AssignedValues().Contains(cvTitleColor)) return color_;
  TCustomDBGrid* grid = column_->Grid();
  return grid ? grid->FixedColor() : clBtnFace;
}

void TColumnTitle::SetColor(TColor color) {
  color_ = color;
  column_->Assigned(cvTitleColor);
  column_->Changed(false);
}

TFont* TColumnTitle::Font() {
  if (!column_->AssignedValues().Contains(cvTitleFont)) RefreshDefaultFont();
  return &font_;
}

void TColumnTitle::RefreshDefaultFont() {
  if (column_->AssignedValues().Contains(cvTitleFont)) return;
  TCustomDBGrid* grid = column_->Grid();
  if (!grid) return;
  settingFont_ = true;
  font_.Assign(grid->TitleFont());
  settingFont_ = false;
}

void TColumnTitle::RestoreDefaults() {
  column_->assigned_ =
      column_->assigned_ - TColumnValues{cvTitleCaption, cvTitleAlignment, cvTitleColor, cvTitleFont};
  RefreshDefaultFont();
  column_->Changed(false);
}

void TColumnTitle::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TColumnTitle*>(source);
  if (!other) return TPersistent::Assign(source);
  TColumnValues values = other->column_->AssignedValues();
  if (values.Contains(cvTitleCaption)) SetCaption(other->caption_);
  if (values.Contains(cvTitleAlignment)) SetAlignment(other->alignment_);
  if (values.Contains(cvTitleColor)) SetColor(other->color_);
  if (values.Contains(cvTitleFont)) SetFont(&other->font_);
}

// ================================================================= TColumn

TColumn::TColumn(TCollection* collection) : TCollectionItem(collection) {
  title_ = std::make_unique<TColumnTitle>(this);
  font_.OnChange = [this](TObject*) {
    if (settingFont_) return;
    Assigned(cvFont);
    Changed(false);
  };
  RefreshDefaultFont();
}

TColumn::~TColumn() { font_.OnChange = nullptr; }

TDBGridColumns* TColumn::Columns() const { return dynamic_cast<TDBGridColumns*>(Collection()); }

TCustomDBGrid* TColumn::Grid() const {
  TDBGridColumns* columns = Columns();
  return columns ? columns->Grid() : nullptr;
}

void TColumn::Assigned(TColumnValue value) { assigned_.Include(value); }

bool TColumn::WritesThrough() const {
  TDBGridColumns* columns = Columns();
  return columns && !stored_ && columns->State() == csDefault && Field() != nullptr;
}

void TColumn::SetFieldName(const AnsiString& name) {
  if (name == fieldName_) return;
  fieldName_ = name;
  fieldKnown_ = false;
  field_ = nullptr;
  Changed(false);
}

TField* TColumn::Field() const {
  if (!fieldKnown_) {
    field_ = nullptr;
    TCustomDBGrid* grid = Grid();
    if (grid && grid->DataLink()->Active() && !fieldName_.empty()) {
      if (TDataSet* ds = grid->DataLink()->DataSet()) field_ = ds->FindField(fieldName_);
    }
    fieldKnown_ = true;
  }
  return field_;
}

int TColumn::DefaultWidth() const {
  TCustomDBGrid* grid = Grid();
  if (!grid) return 64;
  TField* field = Field();
  if (!field) return grid->DefaultColWidth();
  int overhang = 0;
  int unit = CharUnit(&font_, overhang);
  int width = field->DisplayWidth() * unit + overhang + 4;
  if (grid->Options().Contains(dgTitles)) width = std::max(width, TextWidthIn(title_->Font(), title_->Caption()) + 4);
  return width;
}

int TColumn::Width() const { return assigned_.Contains(cvWidth) ? width_ : DefaultWidth(); }

void TColumn::SetWidth(int width) {
  if (WritesThrough()) {
    // The display width in characters of the column's font, rounded to the
    // nearest; the same unit the default width is built from, so a column
    // keeps the width the user gave it.
    int overhang = 0;
    int unit = CharUnit(&font_, overhang);
    Field()->SetDisplayWidth(std::max(0, (width + unit / 2 - overhang - 3) / unit));
    return;
  }
  if (assigned_.Contains(cvWidth) && width == width_) return;
  width_ = width;
  Assigned(cvWidth);
  Changed(false);
}

TColor TColumn::DefaultColor() const {
  TCustomDBGrid* grid = Grid();
  return grid ? grid->Color() : clWindow;
}

TColor TColumn::Color() const { return assigned_.Contains(cvColor) ? color_ : DefaultColor(); }

void TColumn::SetColor(TColor color) {
  color_ = color;
  Assigned(cvColor);
  Changed(false);
}

const TFont* TColumn::DefaultFont() const {
  TCustomDBGrid* grid = Grid();
  return grid ? grid->Font() : &font_;
}

TFont* TColumn::Font() {
  if (!assigned_.Contains(cvFont)) RefreshDefaultFont();
  return &font_;
}

void TColumn::RefreshDefaultFont() {
  if (assigned_.Contains(cvFont)) return;
  TCustomDBGrid* grid = Grid();
  if (grid) {
    settingFont_ = true;
    font_.Assign(grid->Font());
    settingFont_ = false;
  }
  title_->RefreshDefaultFont();
}

TAlignment TColumn::DefaultAlignment() const {
  TField* field = Field();
  return field ? field->Alignment() : taLeftJustify;
}

TAlignment TColumn::Alignment() const { return assigned_.Contains(cvAlignment) ? alignment_ : DefaultAlignment(); }

void TColumn::SetAlignment(TAlignment alignment) {
  if (WritesThrough()) {
    Field()->SetAlignment(alignment);
    return;
  }
  alignment_ = alignment;
  Assigned(cvAlignment);
  Changed(false);
}

bool TColumn::DefaultReadOnly() const {
  TCustomDBGrid* grid = Grid();
  TField* field = Field();
  return (grid && grid->ReadOnly()) || (field && field->ReadOnly());
}

bool TColumn::ReadOnly() const { return assigned_.Contains(cvReadOnly) ? readOnly_ : DefaultReadOnly(); }

void TColumn::SetReadOnly(bool readOnly) {
  if (WritesThrough()) {
    Field()->SetReadOnly(readOnly);
    return;
  }
  readOnly_ = readOnly;
  Assigned(cvReadOnly);
  Changed(false);
}

void TColumn::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed(false);
}

void TColumn::SetButtonStyle(TColumnButtonStyle style) {
  if (style == buttonStyle_) return;
  buttonStyle_ = style;
  Changed(false);
}

void TColumn::SetPopupMenu(TPopupMenu* menu) {
  popupMenu_ = menu;
  // The grid hears when the menu goes, and forgets it here.
  if (menu)
    if (TCustomDBGrid* grid = Grid()) grid->FreeNotification(menu);
}

void TColumn::SetImeMode(TImeMode mode) {
  imeMode_ = mode;
  Assigned(cvImeMode);
}

void TColumn::SetImeName(const AnsiString& name) {
  imeName_ = name;
  Assigned(cvImeName);
}

void TColumn::RestoreDefaults() {
  assigned_ = TColumnValues{};
  RefreshDefaultFont();
  Changed(false);
}

AnsiString TColumn::DisplayName() const { return fieldName_.empty() ? ClassName() : fieldName_; }

void TColumn::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TColumn*>(source);
  if (!other) return TPersistent::Assign(source);
  TDBGridColumns* columns = Columns();
  if (columns) columns->BeginUpdate();
  try {
    RestoreDefaults();
    SetFieldName(other->fieldName_);
    TColumnValues values = other->assigned_;
    if (values.Contains(cvWidth)) SetWidth(other->width_);
    if (values.Contains(cvColor)) SetColor(other->color_);
    if (values.Contains(cvFont)) SetFont(&other->font_);
    if (values.Contains(cvAlignment)) SetAlignment(other->alignment_);
    if (values.Contains(cvReadOnly)) SetReadOnly(other->readOnly_);
    if (values.Contains(cvImeMode)) SetImeMode(other->imeMode_);
    if (values.Contains(cvImeName)) SetImeName(other->imeName_);
    title_->Assign(other->title_.get());
    SetVisible(other->visible_);
    expanded_ = other->expanded_;
    pickList_ = other->pickList_;
    SetButtonStyle(other->buttonStyle_);
    dropDownRows_ = other->dropDownRows_;
    SetPopupMenu(other->popupMenu_);
  } catch (...) {
    if (columns) columns->EndUpdate();
    throw;
  }
  if (columns) columns->EndUpdate();
}

// ========================================================= TDBGridColumns

TDBGridColumns::TDBGridColumns(TCustomDBGrid* grid)
    : TCollection([](TCollection* c) { return new TColumn(c); }, grid), grid_(grid) {}

TColumn* TDBGridColumns::Add() {
  BeginUpdate();
  TColumn* column = nullptr;
  try {
    if (State() == csDefault) Clear();
    column = static_cast<TColumn*>(TCollection::Add());
    column->stored_ = true;
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  return column;
}

TColumn* TDBGridColumns::AddDefault() {
  auto* column = static_cast<TColumn*>(TCollection::Add());
  column->stored_ = false;
  return column;
}

TDBGridColumnsState TDBGridColumns::State() const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->stored_) return csCustomized;
  return csDefault;
}

void TDBGridColumns::SetState(TDBGridColumnsState state) {
  if (state == State() && state == csDefault) return;
  BeginUpdate();
  if (state == csDefault) {
    Clear();
  } else {
    for (int i = 0; i < Count(); ++i) Items(i)->stored_ = true;
  }
  EndUpdate();
}

void TDBGridColumns::RestoreDefaults() {
  BeginUpdate();
  for (int i = 0; i < Count(); ++i) Items(i)->RestoreDefaults();
  EndUpdate();
}

void TDBGridColumns::RebuildColumns() {
  TDataSet* ds = grid_->DataLink()->Active() ? grid_->DataLink()->DataSet() : nullptr;
  BeginUpdate();
  try {
    Clear();
    if (ds) {
      for (int i = 0; i < ds->FieldCount(); ++i) {
        auto* column = static_cast<TColumn*>(TCollection::Add());
        column->stored_ = true;
        column->SetFieldName(ds->Fields()[i]->FieldName());
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TDBGridColumns::Update(TCollectionItem*) {
  if (grid_) grid_->ColumnsChanged();
}

// ========================================================== TGridDataLink

TGridDataLink::TGridDataLink(TCustomDBGrid* grid) : grid_(grid) {}

TGridDataLink::~TGridDataLink() = default;

bool TGridDataLink::AddMapping(const AnsiString& fieldName) {
  int index = -1;
  TDataSet* ds = DataSet();
  if (Active() && ds && !fieldName.empty()) {
    if (TField* field = ds->FindField(fieldName)) index = ds->Fields().IndexOf(field);
  }
  fieldMap_.push_back(index);
  return index >= 0;
}

void TGridDataLink::ClearMapping() { fieldMap_.clear(); }

int TGridDataLink::GetMappedIndex(int dataColumn) const {
  if (dataColumn < 0 || dataColumn >= FieldCount()) return -1;
  return fieldMap_[static_cast<std::size_t>(dataColumn)];
}

TField* TGridDataLink::Fields(int dataColumn) const {
  int index = GetMappedIndex(dataColumn);
  TDataSet* ds = DataSet();
  if (index < 0 || !Active() || !ds || index >= ds->FieldCount()) return nullptr;
  return ds->Fields()[index];
}

void TGridDataLink::Reset() {
  if (modified_)
    RecordChanged(nullptr);
  else if (TDataSet* ds = DataSet())
    ds->Cancel();
}

bool TGridDataLink::DefaultFields() const { return grid_->Columns()->State() == csDefault; }

void TGridDataLink::ActiveChanged() {
  modified_ = false;
  grid_->LinkActive(Active());
}

void TGridDataLink::DataSetChanged() {
  grid_->DataChanged();
  modified_ = false;
}

void TGridDataLink::DataSetScrolled(int distance) { grid_->Scroll(distance); }

void TGridDataLink::FocusControl(TField** field) { grid_->FocusControlOf(field); }

void TGridDataLink::EditingChanged() { grid_->EditingChanged(); }

void TGridDataLink::LayoutChanged() {
  grid_->LayoutChanged();
  modified_ = false;
}

void TGridDataLink::RecordChanged(TField* field) {
  grid_->RecordChanged(field);
  modified_ = false;
}

void TGridDataLink::UpdateData() {
  if (!modified_ || inUpdateData_) return;
  inUpdateData_ = true;
  try {
    grid_->UpdateData();
  } catch (...) {
    inUpdateData_ = false;
    throw;
  }
  inUpdateData_ = false;
  modified_ = false;
}

// ========================================================== TBookmarkList

TBookmarkList::TBookmarkList(TCustomDBGrid* grid) : grid_(grid) {}

TDataSet* TBookmarkList::DataSet() const {
  TGridDataLink* link = grid_->DataLink();
  return link && link->Active() ? link->DataSet() : nullptr;
}

int TBookmarkList::Compare(const TBookmark& a, const TBookmark& b) const {
  TDataSet* ds = DataSet();
  return ds ? ds->CompareBookmarks(a, b) : a.compare(b);
}

TBookmark TBookmarkList::CurrentBookmark() const {
  TDataSet* ds = DataSet();
  if (!ds || ds->IsEmpty() || ds->State() == dsInsert) return TBookmark();
  return ds->Bookmark();
}

bool TBookmarkList::Find(const TBookmark& bookmark, int& index) const {
  int lo = 0, hi = Count() - 1;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int c = Compare(list_[static_cast<std::size_t>(mid)], bookmark);
    if (c == 0) {
      index = mid;
      return true;
    }
    if (c < 0)
      lo = mid + 1;
    else
      hi = mid - 1;
  }
  index = lo;
  return false;
}

int TBookmarkList::IndexOf(const TBookmark& bookmark) const {
  int index = -1;
  return Find(bookmark, index) ? index : -1;
}

bool TBookmarkList::CurrentRowSelected() const {
  TBookmark current = CurrentBookmark();
  if (current.empty() || list_.empty()) return false;
  int index = 0;
  return Find(current, index);
}

void TBookmarkList::SetCurrentRowSelected(bool selected) {
  TBookmark current = CurrentBookmark();
  if (current.empty()) return;
  int index = 0;
  bool found = Find(current, index);
  if (selected == found) return;
  if (selected)
    list_.insert(list_.begin() + index, current);
  else
    list_.erase(list_.begin() + index);
  grid_->InvalidateRow(grid_->Row());
}

void TBookmarkList::Clear() {
  if (list_.empty()) return;
  list_.clear();
  grid_->Invalidate();
}

void TBookmarkList::Delete() {
  TDataSet* ds = DataSet();
  if (!ds) return;
  ds->DisableControls();
  try {
    while (!list_.empty()) {
      TBookmark bookmark = list_.back();
      list_.pop_back();
      if (!ds->BookmarkValid(bookmark)) continue;
      ds->GotoBookmark(bookmark);
      ds->Delete();
    }
  } catch (...) {
    ds->EnableControls();
    throw;
  }
  ds->EnableControls();
}

bool TBookmarkList::Refresh() {
  TDataSet* ds = DataSet();
  if (!ds) return false;
  std::size_t before = list_.size();
  list_.erase(std::remove_if(list_.begin(), list_.end(), [ds](const TBookmark& b) { return !ds->BookmarkValid(b); }),
              list_.end());
  if (list_.size() == before) return false;
  grid_->Invalidate();
  return true;
}

void TBookmarkList::LinkActive(bool active) {
  if (!active) list_.clear();
}

// ===================================================== TDBGridInplaceEdit

TDBGridInplaceEdit::TDBGridInplaceEdit(TCustomDBGrid* grid) : TInplaceEdit(grid), dbGrid_(grid) {}

void TDBGridInplaceEdit::DropDown() {
  if (TColumn* column = dbGrid_->SelectedColumn()) SetDropDownRows(column->DropDownRows());
  TInplaceEdit::DropDown();
}

void TDBGridInplaceEdit::PickListChosen(const AnsiString& item) {
  TInplaceEdit::PickListChosen(item);
  // A lookup value is written at once: choosing it sets the key fields.
  TColumn* column = dbGrid_->SelectedColumn();
  if (column && dbGrid_->IsLookupColumn(column)) dbGrid_->DataLink()->UpdateData();
}

// ========================================================== TCustomDBGrid

TCustomDBGrid::TCustomDBGrid(TComponent* owner) : TCustomGrid(owner) {
  dataLink_ = std::make_unique<TGridDataLink>(this);
  columns_ = std::make_unique<TDBGridColumns>(this);
  bookmarks_ = std::make_unique<TBookmarkList>(this);
  LoadIndicators();
  titleFont_.OnChange = [this](TObject*) { TitleFontChanged(); };
  options_ = DefaultDBGridOptions(SystemPrimaryLanguageIsKorean());
  SetScrollBars(ssHorizontal);
  SetColor(clWindow);
  SetParentColor(false);
  SetColCount(2);
  SetRowCount(2);
  ApplyGridOptions();
  LayoutChanged();
}

TCustomDBGrid::~TCustomDBGrid() {
  Destroying();
  titleFont_.OnChange = nullptr;
  dataLink_->SetDataSource(nullptr);
  columns_.reset();
  bookmarks_.reset();
  dataLink_.reset();
}

void TCustomDBGrid::LoadIndicators() {
  RegisterIndicatorPictures();
  indicators_ = std::make_unique<TImageList>(nullptr);
  TBitmap picture;
  for (int i = 0; i < 5; ++i) {
    picture.LoadFromResourceName(kIndicatorNames[i]);
    if (i == 0) {
      indicators_->SetWidth(picture.Width());
      indicators_->SetHeight(picture.Height());
    }
    indicators_->AddMasked(&picture, clWhite);
  }
}

// ---- properties

void TCustomDBGrid::SetDataSource(TDataSource* source) {
  if (source == DataSource()) return;
  dataLink_->SetDataSource(source);
  LayoutChanged();
}

void TCustomDBGrid::SetOptions(TDBGridOptions options) {
  if (options.Contains(dgRowSelect)) options = options - TDBGridOptions{dgEditing, dgAlwaysShowEditor};
  if (options == options_) return;
  const TDBGridOptions layoutOptions = {dgTitles, dgIndicator, dgColLines, dgRowLines, dgEditing, dgRowSelect};
  bool relayout = !((options * layoutOptions) == (options_ * layoutOptions));
  bool multiOff = options_.Contains(dgMultiSelect) && !options.Contains(dgMultiSelect);
  options_ = options;
  if (multiOff) bookmarks_->Clear();
  ApplyGridOptions();
  if (relayout)
    LayoutChanged();
  else
    Invalidate();
}

void TCustomDBGrid::ApplyGridOptions() {
  TGridOptions grid =
      TCustomGrid::Options() - TGridOptions{goFixedVertLine, goVertLine,         goFixedHorzLine, goHorzLine,
                                            goColSizing,     goColMoving,        goTabs,          goRowSelect,
                                            goEditing,       goAlwaysShowEditor, goRangeSelect,   goDrawFocusSelected};
  if (options_.Contains(dgColLines)) grid = grid + TGridOptions{goFixedVertLine, goVertLine};
  if (options_.Contains(dgRowLines)) grid = grid + TGridOptions{goFixedHorzLine, goHorzLine};
  if (options_.Contains(dgColumnResize)) grid = grid + TGridOptions{goColSizing, goColMoving};
  if (options_.Contains(dgTabs)) grid.Include(goTabs);
  if (options_.Contains(dgRowSelect)) grid.Include(goRowSelect);
  if (options_.Contains(dgEditing)) grid.Include(goEditing);
  if (options_.Contains(dgAlwaysShowEditor)) grid.Include(goAlwaysShowEditor);
  TCustomGrid::SetOptions(grid);
}

void TCustomDBGrid::SetReadOnly(bool readOnly) {
  if (readOnly == readOnly_) return;
  readOnly_ = readOnly;
  if (readOnly) HideEditor();
  LayoutChanged();
}

int TCustomDBGrid::SelectedIndex() const { return RawToDataColumn(Col()); }

void TCustomDBGrid::SetSelectedIndex(int index) { MoveCol(DataToRawColumn(index)); }

TColumn* TCustomDBGrid::ColumnOfRaw(int rawCol) const { return VisibleColumn(RawToDataColumn(rawCol)); }

TColumn* TCustomDBGrid::VisibleColumn(int dataColumn) const {
  if (dataColumn < 0 || dataColumn >= VisibleColumnCount()) return nullptr;
  return visibleColumns_[static_cast<std::size_t>(dataColumn)];
}

TColumn* TCustomDBGrid::SelectedColumn() const { return ColumnOfRaw(Col()); }

TField* TCustomDBGrid::SelectedField() const {
  TColumn* column = SelectedColumn();
  return column ? column->Field() : nullptr;
}

bool TCustomDBGrid::IsLookupColumn(TColumn* column) const {
  TField* field = column ? column->Field() : nullptr;
  return field && field->Lookup() && field->LookupDataSet() && field->LookupDataSet()->Active();
}

// ---- layout

void TCustomDBGrid::BeginLayout() { ++layoutLock_; }

void TCustomDBGrid::EndLayout() {
  if (layoutLock_ == 0) return;
  if (--layoutLock_ == 0) InternalLayout();
}

void TCustomDBGrid::LayoutChanged() {
  if (IsDestroying()) return;
  if (IsLoading()) {
    layoutPending_ = true;
    return;
  }
  BeginLayout();
  EndLayout();
}

void TCustomDBGrid::ColumnsChanged() {
  if (!columns_) return;
  LayoutChanged();
}

void TCustomDBGrid::ClearColumnFields() {
  for (int i = 0; i < columns_->Count(); ++i) {
    TColumn* column = columns_->Items(i);
    column->fieldKnown_ = false;
    column->field_ = nullptr;
  }
}

void TCustomDBGrid::RebuildDefaultColumns() {
  std::vector<TField*> fields;
  if (dataLink_->Active()) {
    TDataSet* ds = dataLink_->DataSet();
    for (int i = 0; i < ds->FieldCount(); ++i)
      if (ds->Fields()[i]->Visible()) fields.push_back(ds->Fields()[i]);
  }
  // Columns that already stand for these fields in this order are kept, so
  // references to them stay good across layout changes.
  bool same = columns_->Count() == static_cast<int>(fields.size());
  for (int i = 0; same && i < columns_->Count(); ++i)
    same = SameText(columns_->Items(i)->FieldName(), fields[static_cast<std::size_t>(i)]->FieldName());
  if (same) return;
  columns_->BeginUpdate();
  try {
    columns_->Clear();
    for (TField* field : fields) columns_->AddDefault()->fieldName_ = field->FieldName();
  } catch (...) {
    columns_->EndUpdate();
    throw;
  }
  columns_->EndUpdate();
}

void TCustomDBGrid::InternalLayout() {
  if (IsDestroying() || inLayout_ || !columns_) return;
  inLayout_ = true;
  try {
    layoutPending_ = false;
    titleOffset_ = options_.Contains(dgTitles) ? 1 : 0;
    indicatorOffset_ = options_.Contains(dgIndicator) ? 1 : 0;
    ClearColumnFields();
    if (columns_->State() == csDefault) RebuildDefaultColumns();
    visibleColumns_.clear();
    for (int i = 0; i < columns_->Count(); ++i)
      if (columns_->Items(i)->Showing()) visibleColumns_.push_back(columns_->Items(i));
    dataLink_->ClearMapping();
    if (dataLink_->Active())
      for (TColumn* column : visibleColumns_) dataLink_->AddMapping(column->FieldName());

    // Columns: the indicator, then one per shown column (a blank one when
    // there is none).
    if (ColCount() <= indicatorOffset_) SetColCount(indicatorOffset_ + 1);
    SetFixedCols(indicatorOffset_);
    SetColCount(indicatorOffset_ + std::max(1, VisibleColumnCount()));
    ApplyGridOptions();

    // Row heights by the fonts: text 2 pixels below the top.
    int rowHeight = TextHeightIn(Font()) + 4;
    if (DefaultRowHeight() != rowHeight) SetDefaultRowHeight(rowHeight);
    int titleHeight = rowHeight;
    if (titleOffset_ > 0) {
      titleHeight = std::max(titleHeight, TextHeightIn(&titleFont_) + 4);
      for (TColumn* column : visibleColumns_)
        titleHeight = std::max(titleHeight, TextHeightIn(column->Title()->Font()) + 4);
    }
    if (RowHeights(0) != titleHeight) SetRowHeights(0, titleHeight);

    SetColumnAttributes();
    UpdateRowCount();
    UpdateActive();
    UpdateScrollBar();
    InvalidateEditor();
    Invalidate();
  } catch (...) {
    inLayout_ = false;
    throw;
  }
  inLayout_ = false;
}

void TCustomDBGrid::SetColumnAttributes() {
  bool saved = inLayout_;
  inLayout_ = true;
  for (int i = 0; i < VisibleColumnCount(); ++i) {
    TColumn* column = visibleColumns_[static_cast<std::size_t>(i)];
    int raw = DataToRawColumn(i);
    SetColWidths(raw, column->Width());
    TField* field = column->Field();
    SetTabStops(raw, column->Showing() && !column->ReadOnly() && dataLink_->Active() && field && !field->Calculated() &&
                         !field->ReadOnly());
  }
  if (VisibleColumnCount() == 0) {
    SetColWidths(indicatorOffset_, DefaultColWidth());
    SetTabStops(indicatorOffset_, false);
  }
  if (indicatorOffset_ > 0) {
    SetColWidths(0, kIndicatorWidth);
    SetTabStops(0, false);
  }
  inLayout_ = saved;
}

void TCustomDBGrid::UpdateRowCount() {
  if (inRowCount_ || IsDestroying()) return;
  inRowCount_ = true;
  try {
    int old = RowCount();
    if (RowCount() <= titleOffset_) SetRowCount(titleOffset_ + 1);
    SetFixedRows(titleOffset_);
    if (dataLink_->Active() && dataLink_->RecordCount() > 0) {
      // Measure how many whole rows fit by giving the grid many rows.
      SetTopRow(FixedRows());
      SetRowCount(kMeasureRows);
      dataLink_->SetBufferCount(std::max(1, VisibleRowCount()));
      SetRowCount(std::max(1, dataLink_->RecordCount()) + titleOffset_);
      if (options_.Contains(dgRowSelect)) SetTopRow(FixedRows());
    } else {
      SetRowCount(titleOffset_ + 1);
    }
    if (old != RowCount()) Invalidate();
  } catch (...) {
    inRowCount_ = false;
    throw;
  }
  inRowCount_ = false;
}

void TCustomDBGrid::UpdateActive() {
  if (IsDestroying() || !dataLink_->Active()) return;
  int active = dataLink_->ActiveRecord();
  int row = active + titleOffset_;
  if (row >= RowCount()) UpdateRowCount();
  row = std::clamp(row, FixedRows(), RowCount() - 1);
  if (Row() != row) {
    if (!options_.Contains(dgAlwaysShowEditor)) HideEditor();
    MoveCurrent(Col(), row, true, true);
  }
  if (selRow_ != active) {
    InvalidateIndicatorRow(selRow_);
    selRow_ = active;
    InvalidateIndicatorRow(selRow_);
  }
  // The editor follows a value that changed under it.
  TField* field = SelectedField();
  TInplaceEdit* editor = InplaceEditor();
  if (field && editor && editor->Visible() && !dataLink_->IsModified() && field->Text() != editText_)
    InvalidateEditor();
}

void TCustomDBGrid::UpdateScrollBar() {
  if (IsDestroying()) return;
  TDataSet* ds = dataLink_->Active() ? dataLink_->DataSet() : nullptr;
  if (!ds) {
    SetVerticalScrollInfo(0, 0, 0, 0);
    return;
  }
  if (ds->IsSequenced()) {
    int visible = std::max(1, VisibleRowCount());
    int count = ds->RecordCount();
    // The thumb stays where it was while a new record is entered.
    int pos = ds->State() == dsInsert ? VerticalScrollInfo().Pos : ds->RecNo();
    SetVerticalScrollInfo(1, std::max(1, count + visible - 1), visible, std::max(1, pos));
  } else {
    int pos = ds->Bof() ? 0 : ds->Eof() ? 4 : 2;
    SetVerticalScrollInfo(0, 4, 0, pos);
  }
}

void TCustomDBGrid::InvalidateIndicatorRow(int dataRow) {
  if (indicatorOffset_ > 0 && dataRow >= 0) InvalidateCell(0, dataRow + titleOffset_);
}

void TCustomDBGrid::Loaded() {
  TCustomGrid::Loaded();
  LayoutChanged();
}

void TCustomDBGrid::Resize() {
  TCustomGrid::Resize();
  if (!dataLink_ || IsLoading() || inLayout_) return;
  UpdateRowCount();
  UpdateActive();
  UpdateScrollBar();
}

void TCustomDBGrid::FontChanged() {
  TCustomGrid::FontChanged();
  if (!columns_) return;
  for (int i = 0; i < columns_->Count(); ++i) columns_->Items(i)->RefreshDefaultFont();
  LayoutChanged();
}

void TCustomDBGrid::TitleFontChanged() {
  if (!columns_) return;
  for (int i = 0; i < columns_->Count(); ++i) columns_->Items(i)->title_->RefreshDefaultFont();
  LayoutChanged();
}

void TCustomDBGrid::Notification(TComponent* component, TOperation operation) {
  TCustomGrid::Notification(component, operation);
  if (operation != TOperation::opRemove || !columns_) return;
  for (int i = 0; i < columns_->Count(); ++i)
    if (columns_->Items(i)->popupMenu_ == component) columns_->Items(i)->popupMenu_ = nullptr;
}

// ---- the link's notifications

void TCustomDBGrid::LinkActive(bool active) {
  if (IsDestroying()) return;
  if (!active) HideEditor();
  bookmarks_->LinkActive(active);
  selRow_ = -1;
  if (active && dataLink_->DataSet()->IsUniDirectional())
    DatabaseError("Operation not allowed on a unidirectional dataset");
  LayoutChanged();
  UpdateScrollBar();
}

void TCustomDBGrid::DataChanged() {
  if (IsDestroying()) return;
  UpdateRowCount();
  UpdateScrollBar();
  UpdateActive();
  InvalidateEditor();
  Invalidate();
}

void TCustomDBGrid::Scroll(int distance) {
  if (IsDestroying()) return;
  InvalidateRow(Row());
  if (dataLink_->ActiveRecord() >= RowCount() - titleOffset_) UpdateRowCount();
  UpdateScrollBar();
  UpdateActive();
  if (distance != 0) {
    HideEditor();
    if (std::abs(distance) > VisibleRowCount()) {
      Invalidate();
    } else {
      // The data rows move by distance rows; they are painted anew, the
      // indicator column with them.
      InvalidateRect(Rect(0, FixedHeight(), ClientWidth(), ClientHeight()));
    }
    if (options_.Contains(dgAlwaysShowEditor)) ShowEditor();
  }
  InvalidateRow(Row());
}

void TCustomDBGrid::EditingChanged() {
  if (IsDestroying()) return;
  InvalidateIndicatorRow(dataLink_->ActiveRecord());
}

void TCustomDBGrid::RecordChanged(TField* field) {
  if (IsDestroying()) return;
  InvalidateRow(Row());
  TField* current = SelectedField();
  if (current && (!field || field == current) && current->Text() != editText_) InvalidateEditor();
}

void TCustomDBGrid::UpdateData() {
  TField* field = SelectedField();
  if (!field) return;
  if (!dataLink_->Editing()) dataLink_->Edit();
  field->SetText(editText_);
}

void TCustomDBGrid::FocusControlOf(TField** field) {
  if (!field || !*field) return;
  for (int i = 0; i < VisibleColumnCount(); ++i) {
    if (visibleColumns_[static_cast<std::size_t>(i)]->Field() != *field) continue;
    if (CanFocus()) SetFocus();
    MoveCol(DataToRawColumn(i));
    *field = nullptr;
    return;
  }
}

// ---- drawing

void TCustomDBGrid::WriteText(TCanvas* canvas, const TRect& rect, int dx, int dy, const AnsiString& text,
                              TAlignment alignment) {
  // Mirrored alignment swaps the sides; centred text stays centred.
  if (UseRightToLeftAlignment()) {
    if (alignment == taLeftJustify)
      alignment = taRightJustify;
    else if (alignment == taRightJustify)
      alignment = taLeftJustify;
  }
  int x = rect.Left + dx;
  if (alignment == taRightJustify)
    x = rect.Right - canvas->TextWidth(text) - dx - 1;
  else if (alignment == taCenter)
    x = rect.Left + (rect.Width() - canvas->TextWidth(text)) / 2;
  canvas->TextRect(rect, x, rect.Top + dy, text);
}

bool TCustomDBGrid::HighlightCell(int, int, TGridDrawState state, bool rowSelected) const {
  if (rowSelected) return true;
  bool focused = Focused() || (InplaceEditor() && InplaceEditor()->Focused());
  return state.Contains(gdSelected) && (options_.Contains(dgAlwaysShowSelection) || focused);
}

void TCustomDBGrid::DrawDataCell(const TRect& rect, TField* field, TGridDrawState state) {
  if (OnDrawDataCell) OnDrawDataCell(this, rect, field, state);
}

void TCustomDBGrid::DrawColumnCell(const TRect& rect, int dataCol, TColumn* column, TGridDrawState state) {
  if (OnDrawColumnCell) OnDrawColumnCell(this, rect, dataCol, column, state);
}

void TCustomDBGrid::DrawCell(int col, int row, const TRect& cellRect, TGridDrawState state) {
  TCanvas* canvas = Canvas();
  if (IsLoading()) {
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(cellRect);
    return;
  }
  int dataCol = RawToDataColumn(col);
  int dataRow = row - titleOffset_;
  bool multi = options_.Contains(dgMultiSelect);

  if (state.Contains(gdFixed)) {
    // Fixed cells keep a frame: one pixel inside the raised edge when both
    // kinds of lines are drawn, else two.
    TRect rect = cellRect;
    int margin = 2;
    if (options_.Contains(dgColLines) && options_.Contains(dgRowLines)) {
      rect = InflateRect(rect, -1, -1);
      margin = 1;
    }
    canvas->Brush()->SetColor(FixedColor());
    if (col < indicatorOffset_) {
      canvas->FillRect(rect);
      if (!dataLink_->Active() || dataRow < 0 || dataRow >= dataLink_->RecordCount()) return;
      bool selected = false;
      if (multi) {
        int saved = dataLink_->ActiveRecord();
        dataLink_->SetActiveRecord(dataRow);
        try {
          selected = bookmarks_->CurrentRowSelected();
        } catch (...) {
          dataLink_->SetActiveRecord(saved);
          throw;
        }
        dataLink_->SetActiveRecord(saved);
      }
      int image = -1;
      if (dataRow == dataLink_->ActiveRecord()) {
        switch (dataLink_->DataSet()->State()) {
          case dsEdit:
            image = 1;
            break;
          case dsInsert:
            image = 2;
            break;
          default:
            image = selected ? 4 : 0;
            break;
        }
      } else if (selected) {
        image = 3;
      }
      if (image >= 0)
        indicators_->Draw(canvas, rect.Right - indicators_->Width() - margin,
                          (rect.Top + rect.Bottom - indicators_->Height()) / 2, image);
      return;
    }
    TColumn* column = ColumnOfRaw(col);
    if (row < titleOffset_ && column) {
      TColumnTitle* title = column->Title();
      canvas->Font()->Assign(title->Font());
      canvas->Brush()->SetColor(title->Color());
      WriteText(canvas, rect, margin, margin, title->Caption(), title->Alignment());
      return;
    }
    canvas->FillRect(rect);
    return;
  }

  TColumn* column = ColumnOfRaw(col);
  if (!column || !column->Showing()) {
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(cellRect);
    return;
  }
  canvas->Font()->Assign(column->Font());
  canvas->Brush()->SetColor(column->Color());
  if (!dataLink_->Active()) {
    canvas->FillRect(cellRect);
    return;
  }
  TField* field = column->Field();
  const bool hasRow = dataRow >= 0 && dataRow < dataLink_->RecordCount();
  // The row's record is the active one while its cell is drawn, so that the
  // text and the draw events (a handler colouring a row by a field's value)
  // read that row; it is put back afterwards, also on error.
  const int saved = dataLink_->ActiveRecord();
  if (hasRow) dataLink_->SetActiveRecord(dataRow);
  try {
    AnsiString value;
    bool rowSelected = false;
    if (hasRow) {
      if (field) value = field->DisplayText();
      if (multi) rowSelected = bookmarks_->CurrentRowSelected();
    }
    if (HighlightCell(dataCol, dataRow, state, rowSelected)) {
      canvas->Brush()->SetColor(clHighlight);
      canvas->Font()->SetColor(clHighlightText);
    }
    if (!Enabled()) canvas->Font()->SetColor(clGrayText);
    if (DefaultDrawing()) WriteText(canvas, cellRect, 2, 2, value, column->Alignment());
    if (columns_->State() == csDefault) DrawDataCell(cellRect, field, state);
    DrawColumnCell(cellRect, dataCol, column, state);
  } catch (...) {
    if (hasRow) dataLink_->SetActiveRecord(saved);
    throw;
  }
  if (hasRow) dataLink_->SetActiveRecord(saved);
}

// ---- keys

bool TCustomDBGrid::CanGridAcceptKey(Word key, TShiftState) {
  return !(readOnly_ && (key == VK_DELETE || key == VK_INSERT));
}

void TCustomDBGrid::ClearSelection() {
  if (options_.Contains(dgMultiSelect)) bookmarks_->Clear();
}

void TCustomDBGrid::MoveWithSelection(bool select, int distance) {
  TDataSet* ds = dataLink_->DataSet();
  if (options_.Contains(dgMultiSelect)) {
    if (select) {
      bookmarks_->SetCurrentRowSelected(true);
      ds->MoveBy(distance);
      bookmarks_->SetCurrentRowSelected(true);
      return;
    }
    ClearSelection();
  }
  ds->MoveBy(distance);
}

bool TCustomDBGrid::NextRow(bool select) {
  TDataSet* ds = dataLink_->DataSet();
  if (ds->State() == dsInsert && !ds->Modified() && !dataLink_->IsModified()) {
    // An untouched new record: at the end there is nothing below it to go
    // to; elsewhere leaving it drops it.
    if (ds->Eof()) return false;
    ds->Cancel();
    return true;
  }
  TBookmark before = ds->IsEmpty() ? TBookmark() : ds->Bookmark();
  MoveWithSelection(select, 1);
  if (ds->Eof() && ds->CanModify() && !readOnly_ && options_.Contains(dgEditing)) {
    ds->Append();
    return true;
  }
  return ds->IsEmpty() ? false : ds->Bookmark() != before;
}

bool TCustomDBGrid::PriorRow(bool select) {
  TDataSet* ds = dataLink_->DataSet();
  if (ds->State() == dsInsert && !ds->Modified() && !dataLink_->IsModified() && ds->Eof()) {
    ds->Cancel();
    return true;
  }
  TBookmark before = ds->IsEmpty() ? TBookmark() : ds->Bookmark();
  MoveWithSelection(select, -1);
  return ds->IsEmpty() ? false : ds->Bookmark() != before;
}

void TCustomDBGrid::Tab(bool goForward) {
  int start = Col(), col = start;
  for (;;) {
    if (goForward) {
      if (++col >= ColCount()) {
        col = indicatorOffset_;
        if (!NextRow(false)) return;
      }
    } else {
      if (--col < indicatorOffset_) {
        col = ColCount() - 1;
        if (!PriorRow(false)) return;
      }
    }
    // Back at the column it started from: no other column takes the tab,
    // so the walk ends here (on the next record when it moved).
    if (col == start) return;
    if (TabStops(col)) {
      MoveCol(col);
      return;
    }
  }
}

void TCustomDBGrid::MoveCol(int rawCol) {
  rawCol = std::clamp(rawCol, indicatorOffset_, ColCount() - 1);
  if (rawCol == Col()) return;
  if (dataLink_->Active()) dataLink_->UpdateData();
  if (OnColExit) OnColExit(this);
  MoveCurrent(rawCol, Row(), true, true);
  if (OnColEnter) OnColEnter(this);
}

bool TCustomDBGrid::ConfirmDeletion() const {
  if (!options_.Contains(dgConfirmDelete)) return true;
  const char* text = bookmarks_->Count() > 1 ? "Delete all selected records?" : "Delete record?";
  return MessageDlg(text, mtConfirmation, {mbOK, mbCancel}) == mrOk;
}

void TCustomDBGrid::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == 0 || !dataLink_->Active() || !CanGridAcceptKey(key, shift)) return;
  TDataSet* ds = dataLink_->DataSet();
  bool rowSelect = options_.Contains(dgRowSelect);
  int page = std::max(1, VisibleRowCount());
  // Read from the right, the columns run the other way: Left goes on to the
  // next column and Right back. The caller still sees the key pressed.
  Word move = key;
  if (UseRightToLeftReading()) {
    if (move == VK_LEFT)
      move = VK_RIGHT;
    else if (move == VK_RIGHT)
      move = VK_LEFT;
  }
  if (shift.Contains(ssCtrl)) {
    switch (move) {
      case VK_UP:
      case VK_PRIOR:
        ClearSelection();
        ds->MoveBy(-dataLink_->ActiveRecord());
        break;
      case VK_DOWN:
      case VK_NEXT:
        ClearSelection();
        ds->MoveBy(dataLink_->RecordCount() - dataLink_->ActiveRecord() - 1);
        break;
      case VK_LEFT:
        MoveCol(indicatorOffset_);
        break;
      case VK_RIGHT:
        MoveCol(ColCount() - 1);
        break;
      case VK_HOME:
        ClearSelection();
        ds->First();
        break;
      case VK_END:
        ClearSelection();
        ds->Last();
        break;
      case VK_DELETE:
        if (!readOnly_ && !ds->IsEmpty() && ds->CanModify() && ConfirmDeletion()) {
          if (bookmarks_->Count() > 0)
            bookmarks_->Delete();
          else
            ds->Delete();
        }
        break;
      default:
        break;
    }
    return;
  }
  switch (move) {
    case VK_UP:
      PriorRow(shift.Contains(ssShift));
      break;
    case VK_DOWN:
      NextRow(shift.Contains(ssShift));
      break;
    case VK_LEFT:
      if (rowSelect)
        SetLeftCol(LeftCol() - 1);
      else
        MoveCol(Col() - 1);
      break;
    case VK_RIGHT:
      if (rowSelect)
        SetLeftCol(LeftCol() + 1);
      else
        MoveCol(Col() + 1);
      break;
    case VK_NEXT:
      ClearSelection();
      ds->MoveBy(page);
      break;
    case VK_PRIOR:
      ClearSelection();
      ds->MoveBy(-page);
      break;
    case VK_HOME:
      if (ColCount() == indicatorOffset_ + 1 || rowSelect) {
        ClearSelection();
        ds->First();
      } else {
        MoveCol(indicatorOffset_);
      }
      break;
    case VK_END:
      if (ColCount() == indicatorOffset_ + 1 || rowSelect) {
        ClearSelection();
        ds->Last();
      } else {
        MoveCol(ColCount() - 1);
      }
      break;
    case VK_TAB:
      // Without dgTabs the form moves the focus on Tab.
      if (options_.Contains(dgTabs) && !shift.Contains(ssAlt)) Tab(!shift.Contains(ssShift));
      break;
    case VK_ESCAPE: {
      // Esc that discards something is the grid's; otherwise the form may
      // use it (its Cancel button).
      bool pending = ds->State() == dsEdit || ds->State() == dsInsert || dataLink_->IsModified() || EditorMode();
      dataLink_->Reset();
      ClearSelection();
      if (!options_.Contains(dgAlwaysShowEditor)) HideEditor();
      if (pending) key = 0;
      break;
    }
    case VK_INSERT:
      if (ds->CanModify() && !readOnly_ && options_.Contains(dgEditing)) {
        ClearSelection();
        ds->Insert();
      }
      break;
    case VK_F2:
      SetEditorMode(true);
      break;
    default:
      break;
  }
}

void TCustomDBGrid::KeyPress(char& key) {
  if (key == 13 && !options_.Contains(dgAlwaysShowEditor) && dataLink_->Active()) dataLink_->UpdateData();
  TCustomGrid::KeyPress(key);
}

// ---- mouse

void TCustomDBGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button != mbLeft || shift.Contains(ssDouble)) {
    TCustomGrid::MouseDown(button, shift, x, y);
    return;
  }
  int index = 0, pos = 0, ofs = 0;
  if (CalcSizingState(x, y, index, pos, ofs) != gsNormal) {
    if (dataLink_->Active()) dataLink_->UpdateData();
    TCustomGrid::MouseDown(button, shift, x, y);
    return;
  }
  TGridCoord cell = MouseCoord(x, y);
  if (cell.X < 0 || cell.Y < titleOffset_ || !dataLink_->Active()) {
    // Titles (column moving and sizing) and the area past the cells.
    TCustomGrid::MouseDown(button, shift, x, y);
    return;
  }
  TDataSet* ds = dataLink_->DataSet();
  bool wasCurrent = cell.X == Col() && cell.Y == Row();
  dataLink_->UpdateData();
  HideEditor();
  int distance = cell.Y - titleOffset_ - dataLink_->ActiveRecord();
  if (distance != 0) ds->MoveBy(distance);
  if (cell.X >= indicatorOffset_) MoveCol(cell.X);
  if (options_.Contains(dgMultiSelect)) {
    if (shift.Contains(ssCtrl)) {
      bookmarks_->SetCurrentRowSelected(!bookmarks_->CurrentRowSelected());
    } else {
      bookmarks_->Clear();
      bookmarks_->SetCurrentRowSelected(true);
    }
  }
  if (wasCurrent || options_.Contains(dgAlwaysShowEditor)) ShowEditor();
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomDBGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGridState state = GridState();
  TGridCoord cell = MouseCoord(x, y);
  columnMovedByDrag_ = false;
  TCustomGrid::MouseUp(button, shift, x, y);
  bool moved = columnMovedByDrag_;
  columnMovedByDrag_ = false;
  if (button != mbLeft || state == gsColSizing || state == gsRowSizing || moved) return;
  if (cell.X < indicatorOffset_ || cell.Y < 0) return;
  TColumn* column = ColumnOfRaw(cell.X);
  if (!column) return;
  if (cell.Y < titleOffset_) {
    if (OnTitleClick) OnTitleClick(column);
  } else if (OnCellClick) {
    OnCellClick(column);
  }
}

bool TCustomDBGrid::ContextPopup(TPoint pos) {
  TGridCoord cell = MouseCoord(pos.x, pos.y);
  TColumn* column = cell.Y >= 0 ? ColumnOfRaw(cell.X) : nullptr;
  TPopupMenu* menu = column ? column->PopupMenu() : nullptr;
  if (!menu || !menu->AutoPopup()) return false;
  menu->SetPopupComponent(this);
  TPoint at = ClientToScreen(pos);
  menu->Popup(at.x, at.y);
  return true;
}

bool TCustomDBGrid::DoMouseWheelDown(TShiftState) {
  if (dataLink_->Active()) dataLink_->DataSet()->MoveBy(1);
  return true;
}

bool TCustomDBGrid::DoMouseWheelUp(TShiftState) {
  if (dataLink_->Active()) dataLink_->DataSet()->MoveBy(-1);
  return true;
}

void TCustomDBGrid::DoExit() {
  if (dataLink_->Active()) {
    TDataSet* ds = dataLink_->DataSet();
    if (options_.Contains(dgCancelOnExit) && ds->State() == dsInsert && !ds->Modified() && !dataLink_->IsModified())
      ds->Cancel();
    else
      dataLink_->UpdateData();
  }
  TCustomGrid::DoExit();
}

// ---- the grid base's hooks

void TCustomDBGrid::ColumnMoved(int fromIndex, int toIndex) {
  columnMovedByDrag_ = true;
  int from = RawToDataColumn(fromIndex), to = RawToDataColumn(toIndex);
  TColumn* moved = VisibleColumn(from);
  TColumn* target = VisibleColumn(to);
  if (!moved || !target) return;
  columns_->BeginUpdate();
  try {
    int targetIndex = target->Index();
    moved->SetIndex(targetIndex);
    // Default columns are the fields: the field moves to the same place.
    if (columns_->State() == csDefault) {
      TField* movedField = moved->Field();
      TField* targetField = target->Field();
      if (movedField && targetField) movedField->SetIndex(targetField->Index());
    }
  } catch (...) {
    columns_->EndUpdate();
    throw;
  }
  columns_->EndUpdate();
  if (OnColumnMoved) OnColumnMoved(this, from, to);
}

void TCustomDBGrid::ColWidthsChanged() {
  if (!inLayout_ && columns_ && !IsDestroying()) {
    // The user sized columns: the columns take the new widths (default
    // columns as their fields' display widths).
    std::vector<std::pair<TColumn*, int>> changed;
    for (int i = 0; i < VisibleColumnCount(); ++i) {
      TColumn* column = visibleColumns_[static_cast<std::size_t>(i)];
      int width = ColWidths(DataToRawColumn(i));
      if (width != column->Width()) changed.emplace_back(column, width);
    }
    if (!changed.empty()) {
      columns_->BeginUpdate();
      try {
        for (auto& [column, width] : changed) column->SetWidth(width);
      } catch (...) {
        columns_->EndUpdate();
        throw;
      }
      columns_->EndUpdate();
    }
  }
  TCustomGrid::ColWidthsChanged();
}

void TCustomDBGrid::VerticalScroll(TScrollCode code, int pos) {
  if (!dataLink_->Active()) return;
  TDataSet* ds = dataLink_->DataSet();
  int page = std::max(1, VisibleRowCount());
  switch (code) {
    case scLineUp:
      ds->MoveBy(-1);
      break;
    case scLineDown:
      ds->MoveBy(1);
      break;
    case scPageUp:
      ds->MoveBy(-page);
      break;
    case scPageDown:
      ds->MoveBy(page);
      break;
    case scTop:
      ds->First();
      break;
    case scBottom:
      ds->Last();
      break;
    case scPosition:
      if (ds->IsSequenced()) {
        if (pos <= 1)
          ds->First();
        else if (pos >= ds->RecordCount())
          ds->Last();
        else
          ds->SetRecNo(pos);
      } else {
        switch (pos) {
          case 0:
            ds->First();
            break;
          case 1:
            ds->MoveBy(-page);
            break;
          case 3:
            ds->MoveBy(page);
            break;
          case 4:
            ds->Last();
            break;
          default:
            break;
        }
      }
      break;
    default:
      break;
  }
}

// ---- the in-place editor

TInplaceEdit* TCustomDBGrid::CreateEditor() { return new TDBGridInplaceEdit(this); }

bool TCustomDBGrid::CanEditShow() const {
  return TCustomGrid::CanEditShow() && !readOnly_ && layoutLock_ == 0 && dataLink_ && dataLink_->Active();
}

bool TCustomDBGrid::CanEditModify() {
  if (readOnly_ || !options_.Contains(dgEditing) || !dataLink_->Active() || dataLink_->ReadOnly()) return false;
  TColumn* column = SelectedColumn();
  if (!column || column->ReadOnly()) return false;
  TField* field = column->Field();
  if (!field || !field->CanModify()) return false;
  if (IsBinaryType(field->DataType()) && !field->OnSetText) return false;
  dataLink_->Edit();
  return dataLink_->Editing();
}

bool TCustomDBGrid::CanEditAcceptKey(char key) {
  TField* field = SelectedField();
  return field && field->IsValidChar(key);
}

AnsiString TCustomDBGrid::GetEditText(int, int) {
  TField* field = SelectedField();
  editText_ = field ? field->Text() : AnsiString();
  return editText_;
}

void TCustomDBGrid::SetEditText(int, int, const AnsiString& value) {
  if (value == editText_) return;
  editText_ = value;
  dataLink_->Modified();
}

AnsiString TCustomDBGrid::GetEditMask(int, int) {
  TField* field = SelectedField();
  return field ? field->EditMask() : AnsiString();
}

int TCustomDBGrid::GetEditLimit() {
  TField* field = SelectedField();
  if (field && (field->DataType() == ftString || field->DataType() == ftFixedChar)) return field->Size();
  return 0;
}

TEditStyle TCustomDBGrid::GetEditStyle(int col, int) {
  TColumn* column = ColumnOfRaw(col);
  if (!column) return esSimple;
  switch (column->ButtonStyle()) {
    case cbsEllipsis:
      return esEllipsis;
    case cbsAuto:
      if (IsLookupColumn(column) || column->PickList()->Count() > 0) return esPickList;
      return esSimple;
    default:
      return esSimple;
  }
}

void TCustomDBGrid::FillPickList(TStrings* list) {
  list->Clear();
  TColumn* column = SelectedColumn();
  if (!column) return;
  if (!IsLookupColumn(column)) {
    list->Assign(*column->PickList());
    return;
  }
  TField* field = column->Field();
  TDataSet* lookup = field->LookupDataSet();
  TField* result = lookup->FindField(field->LookupResultField());
  if (!result) return;
  TBookmark place = lookup->IsEmpty() ? TBookmark() : lookup->Bookmark();
  lookup->DisableControls();
  try {
    for (lookup->First(); !lookup->Eof(); lookup->Next()) list->Add(result->DisplayText());
    if (!place.empty() && lookup->BookmarkValid(place)) lookup->GotoBookmark(place);
  } catch (...) {
    lookup->EnableControls();
    throw;
  }
  lookup->EnableControls();
}

void TCustomDBGrid::EditButtonClick() {
  if (OnEditButtonClick) OnEditButtonClick(this);
}
