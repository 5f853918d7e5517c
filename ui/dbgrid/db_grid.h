// The data-aware grid: the records of a dataset as rows and its fields as
// columns, scrolled record by record, with an in-place editor.
//
// Rows are the data link's buffered records: grid row r below the titles
// shows the link's record r - TitleOffset, and the current row is always the
// link's active record (the grid moves the dataset, never its own row).
// Columns are the visible TColumn objects after IndicatorOffset leading
// fixed columns. The columns are either default ones, built from the
// dataset's visible fields and writing their title, alignment, read-only
// flag and width through to the fields, or customised ones that keep their
// own values and bind to fields by name (a missing field draws empty).
//
// The editor's text belongs to the current cell: it is written into the
// field (UpdateData) before the cell changes, when Enter is pressed, when
// the grid is left and whenever the dataset asks its links for their data.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/db/dataset.h"
#include "platform/db/datasource.h"
#include "platform/gui/grids.h"
#include "platform/gui/image_list.h"
#include "platform/gui/menus.h"

class TCustomDBGrid;
class TColumn;
class TDBGridColumns;

enum TDBGridOption {
  dgEditing,
  dgAlwaysShowEditor,
  dgTitles,
  dgIndicator,
  dgColumnResize,
  dgColLines,
  dgRowLines,
  dgTabs,
  dgRowSelect,
  dgAlwaysShowSelection,
  dgConfirmDelete,
  dgCancelOnExit,
  dgMultiSelect
};
using TDBGridOptions = TSet<TDBGridOption>;

// The options a new grid starts with; the Korean primary language adds
// dgAlwaysShowEditor (input methods compose there inside the editor).
TDBGridOptions DefaultDBGridOptions(bool koreanPrimaryLanguage);
// Whether the system's primary language is Korean: the language of the
// system locale, i.e. of the user's messages (LC_ALL, else LC_MESSAGES,
// else LANG), read once per process.
bool SystemPrimaryLanguageIsKorean();

// The values of a column that were set explicitly (only these would be
// stored with a form); the others come from the field or the grid.
enum TColumnValue {
  cvColor,
  cvWidth,
  cvFont,
  cvAlignment,
  cvReadOnly,
  cvTitleColor,
  cvTitleCaption,
  cvTitleAlignment,
  cvTitleFont,
  cvImeMode,
  cvImeName
};
using TColumnValues = TSet<TColumnValue>;

enum TColumnButtonStyle { cbsAuto, cbsEllipsis, cbsNone };
enum TDBGridColumnsState { csDefault, csCustomized };
enum TImeMode {
  imDisable,
  imClose,
  imOpen,
  imDontCare,
  imSAlpha,
  imAlpha,
  imHira,
  imSKata,
  imKata,
  imChinese,
  imSHanguel,
  imHanguel
};

using TDrawDataCellEvent = std::function<void(TObject* Sender, const TRect& Rect, TField* Field, TGridDrawState State)>;
using TDrawColumnCellEvent =
    std::function<void(TObject* Sender, const TRect& Rect, int DataCol, TColumn* Column, TGridDrawState State)>;
using TDBGridClickEvent = std::function<void(TColumn* Column)>;
using TMovedEvent = std::function<void(TObject* Sender, int FromIndex, int ToIndex)>;

// ------------------------------------------------------------ TColumnTitle

// The title of a column: caption (default the field's display name, else
// the field name), alignment (default left), colour (default the grid's
// FixedColor) and font (default the grid's TitleFont).
class TColumnTitle : public TPersistent {
 public:
  explicit TColumnTitle(TColumn* column);
  ~TColumnTitle() override;
  AnsiString ClassName() const override { return "TColumnTitle"; }

  TColumn* Column() const { return column_; }
  AnsiString Caption() const;
  // On a default column the caption becomes the field's display label.
  void SetCaption(const AnsiString& caption);
  TAlignment Alignment() const;
  void SetAlignment(TAlignment alignment);
  TColor Color() const;
  void SetColor(TColor color);
  // The font in use; changing it makes it explicitly assigned.
  TFont* Font();
  void SetFont(const TFont* font) { font_.Assign(font); }
  AnsiString DefaultCaption() const;
  void RestoreDefaults();
  void Assign(const TPersistent* source) override;

 private:
  friend class TColumn;
  friend class TCustomDBGrid;
  void RefreshDefaultFont();
  TColumn* column_;
  AnsiString caption_;
  TAlignment alignment_ = taLeftJustify;
  TColor color_ = clBtnFace;
  TFont font_;
  bool settingFont_ = false;
};

// ------------------------------------------------------------------ TColumn

class TColumn : public TCollectionItem {
 public:
  explicit TColumn(TCollection* collection);
  ~TColumn() override;
  AnsiString ClassName() const override { return "TColumn"; }

  TCustomDBGrid* Grid() const;
  const AnsiString& FieldName() const { return fieldName_; }
  void SetFieldName(const AnsiString& name);
  // The dataset's field of that name while the grid's link is active.
  TField* Field() const;
  TColumnTitle* Title() const { return title_.get(); }

  // Width in pixels. On a default column with a field, setting it writes
  // the field's display width (in characters of the column's font).
  int Width() const;
  void SetWidth(int width);
  TColor Color() const;
  void SetColor(TColor color);
  TFont* Font();
  void SetFont(const TFont* font) { font_.Assign(font); }
  TAlignment Alignment() const;
  void SetAlignment(TAlignment alignment);
  // Read-only by default when the grid or the field is.
  bool ReadOnly() const;
  void SetReadOnly(bool readOnly);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // Whether the column takes part in the grid's layout (no object columns
  // exist, so this is Visible).
  bool Showing() const { return visible_; }
  // Kept for object and array fields; this program has none, so a column
  // never expands into child columns.
  bool Expanded() const { return expanded_; }
  void SetExpanded(bool expanded) { expanded_ = expanded; }
  TStrings* PickList() { return &pickList_; }
  TColumnButtonStyle ButtonStyle() const { return buttonStyle_; }
  void SetButtonStyle(TColumnButtonStyle style);
  int DropDownRows() const { return dropDownRows_; }
  void SetDropDownRows(int rows) { dropDownRows_ = rows; }
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu);
  TImeMode ImeMode() const { return imeMode_; }
  void SetImeMode(TImeMode mode);
  const AnsiString& ImeName() const { return imeName_; }
  void SetImeName(const AnsiString& name);

  TColumnValues AssignedValues() const { return assigned_; }
  // Drops every explicitly assigned value (the field name stays).
  void RestoreDefaults();
  TColor DefaultColor() const;
  const TFont* DefaultFont() const;
  TAlignment DefaultAlignment() const;
  bool DefaultReadOnly() const;
  // With a field: display width x (width of "0" - overhang) + overhang + 4,
  // with titles at least the caption's width + 4; without a field the
  // grid's default column width; without a grid 64.
  int DefaultWidth() const;
  // A customised column (set up by the program) rather than one the grid
  // built from a field.
  bool IsStored() const { return stored_; }
  AnsiString DisplayName() const override;
  void Assign(const TPersistent* source) override;

 protected:
  // Whether a value set now writes through to the field.
  bool WritesThrough() const;

 private:
  friend class TDBGridColumns;
  friend class TCustomDBGrid;
  friend class TColumnTitle;
  void Assigned(TColumnValue value);
  void RefreshDefaultFont();
  TDBGridColumns* Columns() const;

  AnsiString fieldName_;
  mutable TField* field_ = nullptr;
  mutable bool fieldKnown_ = false;
  std::unique_ptr<TColumnTitle> title_;
  TColumnValues assigned_;
  int width_ = 64;
  TColor color_ = clWindow;
  TFont font_;
  bool settingFont_ = false;
  TAlignment alignment_ = taLeftJustify;
  bool readOnly_ = false;
  bool visible_ = true;
  bool expanded_ = false;
  TStringList pickList_;
  TColumnButtonStyle buttonStyle_ = cbsAuto;
  int dropDownRows_ = 7;
  TPopupMenu* popupMenu_ = nullptr;
  TImeMode imeMode_ = imDontCare;
  AnsiString imeName_;
  bool stored_ = true;
};

// ---------------------------------------------------------- TDBGridColumns

class TDBGridColumns : public TCollection {
 public:
  explicit TDBGridColumns(TCustomDBGrid* grid);
  AnsiString ClassName() const override { return "TDBGridColumns"; }

  TCustomDBGrid* Grid() const { return grid_; }
  TColumn* Items(int index) const { return static_cast<TColumn*>(TCollection::Items(index)); }
  TColumn* operator[](int index) const { return Items(index); }
  // A customised column. Default columns are dropped first, so the
  // program's columns are the only ones.
  TColumn* Add();
  // csDefault while no column is customised (an empty set included).
  TDBGridColumnsState State() const;
  // csDefault drops every column and builds the default ones again;
  // csCustomized keeps the columns as they are, now as the program's own.
  void SetState(TDBGridColumnsState state);
  // Every column back to its defaults.
  void RestoreDefaults();
  // Builds customised columns from the dataset's fields.
  void RebuildColumns();

 protected:
  void Update(TCollectionItem* item) override;

 private:
  friend class TCustomDBGrid;
  TColumn* AddDefault();
  TCustomDBGrid* grid_;
};

// ---------------------------------------------------------- TGridDataLink

// The link between a grid and its data source: which field each grid
// column shows, whether the editor changed the current cell, and how many
// rows the grid wants buffered.
class TGridDataLink : public TDataLink {
 public:
  explicit TGridDataLink(TCustomDBGrid* grid);
  ~TGridDataLink() override;
  AnsiString ClassName() const override { return "TGridDataLink"; }

  TCustomDBGrid* Grid() const { return grid_; }
  // Maps the next grid data column to the field named fieldName (-1 when
  // the dataset has none). Returns whether the field exists.
  bool AddMapping(const AnsiString& fieldName);
  void ClearMapping();
  // Index of the field in the dataset's field list, or -1.
  int GetMappedIndex(int dataColumn) const;
  int FieldCount() const { return static_cast<int>(fieldMap_.size()); }
  // The field of a data column, or null.
  TField* Fields(int dataColumn) const;
  // The editor changed the current cell.
  void Modified() { modified_ = true; }
  bool IsModified() const { return modified_; }
  // Drops the pending change: the cell is shown again from the record
  // when only the editor changed it, else the dataset's edit or insert is
  // cancelled.
  void Reset();
  // Whether the columns are default columns (built from the fields).
  bool DefaultFields() const;
  // Writes the editor's pending text into the field (when modified).
  void UpdateData() override;

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void DataSetScrolled(int distance) override;
  void FocusControl(TField** field) override;
  void EditingChanged() override;
  void LayoutChanged() override;
  void RecordChanged(TField* field) override;

 private:
  TCustomDBGrid* grid_;
  std::vector<int> fieldMap_;
  bool modified_ = false;
  bool inUpdateData_ = false;
};

// ----------------------------------------------------------- TBookmarkList

// The rows selected in multi-select mode, as bookmarks kept sorted by the
// dataset's bookmark order.
class TBookmarkList {
 public:
  explicit TBookmarkList(TCustomDBGrid* grid);
  TBookmarkList(const TBookmarkList&) = delete;
  TBookmarkList& operator=(const TBookmarkList&) = delete;

  int Count() const { return static_cast<int>(list_.size()); }
  const TBookmark& Items(int index) const { return list_.at(static_cast<std::size_t>(index)); }
  bool CurrentRowSelected() const;
  void SetCurrentRowSelected(bool selected);
  void Clear();
  // Deletes every selected record from the dataset, then empties the list.
  void Delete();
  // Binary search; index is where the bookmark is or would go.
  bool Find(const TBookmark& bookmark, int& index) const;
  int IndexOf(const TBookmark& bookmark) const;
  // Drops bookmarks the dataset no longer knows; true when any went.
  bool Refresh();

 private:
  friend class TCustomDBGrid;
  TDataSet* DataSet() const;
  int Compare(const TBookmark& a, const TBookmark& b) const;
  void LinkActive(bool active);
  TBookmark CurrentBookmark() const;

  TCustomDBGrid* grid_;
  std::vector<TBookmark> list_;
};

// ------------------------------------------------------ TDBGridInplaceEdit

// The grid's editor: a lookup field drops down its lookup dataset's result
// values and choosing one sets the key fields at once; a pick list drops
// down its entries and choosing one sets the editor's text.
class TDBGridInplaceEdit : public TInplaceEdit {
 public:
  explicit TDBGridInplaceEdit(TCustomDBGrid* grid);
  AnsiString ClassName() const override { return "TDBGridInplaceEdit"; }

  void DropDown() override;

 protected:
  void PickListChosen(const AnsiString& item) override;

 private:
  TCustomDBGrid* dbGrid_;
};

// ----------------------------------------------------------- TCustomDBGrid

class TCustomDBGrid : public TCustomGrid {
 public:
  explicit TCustomDBGrid(TComponent* owner);
  ~TCustomDBGrid() override;
  AnsiString ClassName() const override { return "TCustomDBGrid"; }

  TDataSource* DataSource() const { return dataLink_->DataSource(); }
  void SetDataSource(TDataSource* source);
  TDBGridOptions Options() const { return options_; }
  // dgRowSelect drops dgEditing and dgAlwaysShowEditor from the set;
  // turning dgMultiSelect off clears the selected rows.
  void SetOptions(TDBGridOptions options);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  TDBGridColumns* Columns() const { return columns_.get(); }
  TFont* TitleFont() { return &titleFont_; }
  void SetTitleFont(const TFont* font) { titleFont_.Assign(font); }
  TBookmarkList* SelectedRows() const { return bookmarks_.get(); }

  // The current data column (0 = the first column right of the indicator)
  // and its column object and field.
  int SelectedIndex() const;
  void SetSelectedIndex(int index);
  TColumn* SelectedColumn() const;
  TField* SelectedField() const;
  // Number of columns laid out (visible), and one of them by data column.
  int VisibleColumnCount() const { return static_cast<int>(visibleColumns_.size()); }
  TColumn* VisibleColumn(int dataColumn) const;
  // Rows of titles (0 or 1) and leading indicator columns (0 or 1).
  int TitleOffset() const { return titleOffset_; }
  int IndicatorOffset() const { return indicatorOffset_; }
  TGridDataLink* DataLink() const { return dataLink_.get(); }
  // The indicator pictures (arrow, edit, insert, dot, arrow with dot).
  const TImageList* Indicators() const { return indicators_.get(); }

  // Holds the layout while several changes are made.
  void BeginLayout();
  void EndLayout();
  void BeginUpdate() { ++updateLock_; }
  void EndUpdate() {
    if (updateLock_ > 0) --updateLock_;
  }
  int UpdateLock() const { return updateLock_; }
  // Rebuilds columns, field map, row and column layout.
  void LayoutChanged();

  TNotifyEvent OnColEnter;
  TNotifyEvent OnColExit;
  TMovedEvent OnColumnMoved;
  TDrawDataCellEvent OnDrawDataCell;
  TDrawColumnCellEvent OnDrawColumnCell;
  TNotifyEvent OnEditButtonClick;
  TDBGridClickEvent OnCellClick;
  TDBGridClickEvent OnTitleClick;

 protected:
  friend class TGridDataLink;
  friend class TDBGridColumns;
  friend class TColumn;
  friend class TColumnTitle;
  friend class TBookmarkList;
  friend class TDBGridInplaceEdit;

  // ---- the link's notifications
  virtual void LinkActive(bool active);
  virtual void DataChanged();
  virtual void Scroll(int distance);
  virtual void EditingChanged();
  virtual void RecordChanged(TField* field);
  // Writes the editor's pending text into the selected field.
  virtual void UpdateData();
  virtual void FocusControlOf(TField** field);

  // ---- layout
  virtual void SetColumnAttributes();
  void UpdateRowCount();
  // The grid's row follows the link's active record.
  void UpdateActive();
  void UpdateScrollBar();
  int RawToDataColumn(int col) const { return col - indicatorOffset_; }
  int DataToRawColumn(int col) const { return col + indicatorOffset_; }

  // ---- drawing
  void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override;
  // Whether a data cell uses the highlight colours.
  virtual bool HighlightCell(int dataCol, int dataRow, TGridDrawState state, bool rowSelected) const;
  virtual void DrawDataCell(const TRect& rect, TField* field, TGridDrawState state);
  virtual void DrawColumnCell(const TRect& rect, int dataCol, TColumn* column, TGridDrawState state);
  // Writes text clipped to rect: left at dx, right dx + 1 from the right
  // edge, or centred; dy below the top. Under mirrored alignment left and
  // right trade places.
  void WriteText(TCanvas* canvas, const TRect& rect, int dx, int dy, const AnsiString& text, TAlignment alignment);

  // ---- input
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  bool ContextPopup(TPoint pos) override;
  bool CanGridAcceptKey(Word key, TShiftState shift) override;
  bool DoMouseWheelDown(TShiftState shift) override;
  bool DoMouseWheelUp(TShiftState shift) override;
  // Leaving the grid: an untouched new record is cancelled (dgCancelOnExit),
  // else the editor's value is written; a failure keeps the focus here.
  void DoExit() override;
  // Moves to another data column (raw grid index), writing the editor's
  // value first; fires OnColExit / OnColEnter.
  void MoveCol(int rawCol);
  // Tab and Shift+Tab: the next tab-stop column, wrapping to the next or
  // previous record; stops when it comes back to the column it left.
  virtual void Tab(bool goForward);
  // The down and up moves with their insert and append rules; true when
  // the record changed.
  bool NextRow(bool select);
  bool PriorRow(bool select);

  // ---- the grid base's hooks
  void ColumnMoved(int fromIndex, int toIndex) override;
  void ColWidthsChanged() override;
  bool OwnsVerticalScrollBar() const override { return true; }
  void VerticalScroll(TScrollCode code, int pos) override;
  void Resize() override;
  void FontChanged() override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  // ---- the in-place editor
  TInplaceEdit* CreateEditor() override;
  bool CanEditShow() const override;
  bool CanEditModify() override;
  bool CanEditAcceptKey(char key) override;
  AnsiString GetEditText(int col, int row) override;
  void SetEditText(int col, int row, const AnsiString& value) override;
  AnsiString GetEditMask(int col, int row) override;
  int GetEditLimit() override;
  TEditStyle GetEditStyle(int col, int row) override;
  void FillPickList(TStrings* list) override;
  void EditButtonClick() override;

 private:
  void InternalLayout();
  void RebuildDefaultColumns();
  void ClearColumnFields();
  void ColumnsChanged();
  void TitleFontChanged();
  void ApplyGridOptions();
  void ClearSelection();
  // Moves the dataset by distance; with select (multi-select) the rows
  // passed stay selected, without it the selection is cleared.
  void MoveWithSelection(bool select, int distance);
  bool ConfirmDeletion() const;
  void InvalidateIndicatorRow(int dataRow);
  void LoadIndicators();
  TColumn* ColumnOfRaw(int rawCol) const;
  bool IsLookupColumn(TColumn* column) const;

  std::unique_ptr<TGridDataLink> dataLink_;
  std::unique_ptr<TDBGridColumns> columns_;
  std::unique_ptr<TBookmarkList> bookmarks_;
  std::unique_ptr<TImageList> indicators_;
  std::vector<TColumn*> visibleColumns_;
  TFont titleFont_;
  TDBGridOptions options_;
  bool readOnly_ = false;
  int titleOffset_ = 0;
  int indicatorOffset_ = 0;
  int selRow_ = -1;  // the link's active row the indicator was last drawn at
  int updateLock_ = 0;
  int layoutLock_ = 0;
  bool layoutPending_ = false;
  bool inLayout_ = false;
  bool inRowCount_ = false;
  bool inColumnMove_ = false;
  bool columnMovedByDrag_ = false;
  AnsiString editText_;  // what the editor showed or the user typed
};

// The grid as forms place it.
class TDBGrid : public TCustomDBGrid {
 public:
  explicit TDBGrid(TComponent* owner) : TCustomDBGrid(owner) {}
  AnsiString ClassName() const override { return "TDBGrid"; }
};
