// TCustomGrid: a custom-painted, scrolling table of cells. Descendants draw
// cells (DrawCell), approve the current cell (SelectCell), hear about
// scrolling, moved and resized columns, supply and take back the in-place
// editor's text, and may own the vertical scroll bar.
//
// Geometry: fixed columns and rows stay put; the others scroll so that
// LeftCol and TopRow are the first ones shown. Each cell is followed by a
// grid line of GridLineWidth pixels when its axis has lines (goVertLine,
// goHorzLine). Column sizing takes a press on a column border in the fixed
// rows: a zone 7 pixels wide (for lines up to 6 pixels) starting
// (7 - line width) div 2 pixels left of the border.
#pragma once

#include <memory>
#include <vector>

#include "platform/gui/mask_edit.h"

class QScrollBar;
class QListWidget;
class TCustomGrid;

enum TGridOption {
  goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect, goDrawFocusSelected, goRowSizing,
  goColSizing, goRowMoving, goColMoving, goEditing, goTabs, goRowSelect, goAlwaysShowEditor, goThumbTracking
};
using TGridOptions = TSet<TGridOption>;
enum TGridDrawStateItem { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TSet<TGridDrawStateItem>;
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TGridState { gsNormal, gsSelecting, gsRowSizing, gsColSizing, gsRowMoving, gsColMoving };
enum TEditStyle { esSimple, esEllipsis, esPickList };
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };

struct TGridCoord {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TGridCoord&, const TGridCoord&) = default;
};

struct TGridRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
};

// A scroll bar's state with the original platform's meaning: the range
// Min..Max includes the page, Pos is the first position shown.
struct TScrollInfo {
  int Min = 0;
  int Max = 0;
  int Page = 0;
  int Pos = 0;
  bool Visible = false;
};

// The in-place editor: a masked edit over the current cell, optionally
// with a button at its right edge that opens a pick list (esPickList) or
// fires the grid's EditButtonClick (esEllipsis).
class TInplaceEdit : public TCustomMaskEdit {
 public:
  explicit TInplaceEdit(TCustomGrid* grid);
  ~TInplaceEdit() override;
  AnsiString ClassName() const override { return "TInplaceEdit"; }

  TCustomGrid* Grid() const { return grid_; }
  TEditStyle EditStyle() const { return editStyle_; }
  void SetEditStyle(TEditStyle style);
  // Items of the drop-down list (esPickList).
  TStrings* PickList() { return &pickList_; }
  int DropDownRows() const { return dropDownRows_; }
  void SetDropDownRows(int n) { dropDownRows_ = n; }
  bool ListVisible() const;
  // Opens the list (filled from PickList) below the editor.
  virtual void DropDown();
  // Closes the list; with accept the chosen item becomes the text.
  virtual void CloseUp(bool accept);
  // The button was clicked (or Ctrl+Enter on an ellipsis editor).
  virtual void DoEditButtonClick();
  int ButtonWidth() const;

 protected:
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void DoExit() override;
  void Change() override;
  int DialogCode() const override;
  void Resize() override;
  // The picked entry; default: it becomes the text.
  virtual void PickListChosen(const AnsiString& item);

 private:
  friend class TCustomGrid;
  class EditButton;
  void Layout();
  TCustomGrid* grid_;
  TEditStyle editStyle_ = esSimple;
  TStringList pickList_;
  int dropDownRows_ = 7;
  EditButton* button_ = nullptr;
  QListWidget* list_ = nullptr;
};

class TCustomGrid : public TCustomControl {
 public:
  explicit TCustomGrid(TComponent* owner);
  ~TCustomGrid() override;
  AnsiString ClassName() const override { return "TCustomGrid"; }

  int ColCount() const { return colCount_; }
  void SetColCount(int n);
  int RowCount() const { return rowCount_; }
  void SetRowCount(int n);
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int n);
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int n);
  int ColWidths(int col) const;
  void SetColWidths(int col, int width);
  int RowHeights(int row) const;
  void SetRowHeights(int row, int height);
  int DefaultColWidth() const { return defaultColWidth_; }
  void SetDefaultColWidth(int w);
  int DefaultRowHeight() const { return defaultRowHeight_; }
  void SetDefaultRowHeight(int h);
  int GridLineWidth() const { return gridLineWidth_; }
  void SetGridLineWidth(int w);
  bool TabStops(int col) const;
  void SetTabStops(int col, bool on);
  TGridOptions Options() const { return options_; }
  virtual void SetOptions(TGridOptions options);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle s);
  TColor FixedColor() const { return fixedColor_; }
  void SetFixedColor(TColor c);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle s);
  // The grid fills the cell background (and fixed edges, focus rectangle)
  // before DrawCell.
  bool DefaultDrawing() const { return defaultDrawing_; }
  void SetDefaultDrawing(bool on);

  int Col() const { return current_.X; }
  void SetCol(int col);
  int Row() const { return current_.Y; }
  void SetRow(int row);
  int LeftCol() const { return topLeft_.X; }
  void SetLeftCol(int col);
  int TopRow() const { return topLeft_.Y; }
  void SetTopRow(int row);
  // Scrolling columns / rows shown in full.
  int VisibleColCount() const;
  int VisibleRowCount() const;
  TGridRect Selection() const;
  void SetSelection(const TGridRect& r);

  // The cell's rectangle in client coordinates (empty when not shown).
  TRect CellRect(int col, int row) const;
  // The cell at a client point; -1 parts outside.
  TGridCoord MouseCoord(int x, int y) const;
  void MouseToCell(int x, int y, int& col, int& row) const;
  void InvalidateCell(int col, int row);
  void InvalidateRow(int row);
  void InvalidateCol(int col);
  void InvalidateGrid() { Invalidate(); }

  bool EditorMode() const { return editorMode_; }
  void SetEditorMode(bool on);
  TInplaceEdit* InplaceEditor() const { return editor_; }
  void ShowEditor();
  void HideEditor();
  // Re-reads the editor's text from GetEditText.
  void InvalidateEditor();
  TGridState GridState() const { return gridState_; }
  TScrollInfo VerticalScrollInfo() const { return vinfo_; }
  TScrollInfo HorizontalScrollInfo() const { return hinfo_; }

 protected:
  // ---- drawing
  void Paint() override;
  void PaintNonClient(TCanvas* canvas) override;
  TRect NonClientInsets() const override;
  // Draws one cell inside rect (the background is already filled with
  // DefaultDrawing).
  virtual void DrawCell(int col, int row, const TRect& rect, TGridDrawState state);
  // Colour of the grid lines between scrolling cells.
  virtual TColor LineColor() const;

  // ---- current cell and scrolling
  // May the cell become current? Default yes.
  virtual bool SelectCell(int col, int row);
  virtual void TopLeftChanged();
  virtual void ColWidthsChanged();
  virtual void RowHeightsChanged();
  virtual void ColumnMoved(int fromIndex, int toIndex);
  virtual void RowMoved(int fromIndex, int toIndex);
  // A column title is about to be dragged; false refuses.
  virtual bool BeginColumnDrag(int& origin, int& destination, TPoint mousePt);
  virtual bool EndColumnDrag(int& origin, int& destination, TPoint mousePt);
  virtual void SizeChanged(int oldColCount, int oldRowCount);
  // Moves the current cell (and the anchor when moveAnchor) and scrolls it
  // into view when show; nothing when SelectCell refuses.
  void FocusCell(int col, int row, bool moveAnchor);
  void MoveCurrent(int col, int row, bool moveAnchor, bool show);
  void MoveTopLeft(int left, int top);
  void MoveColumn(int fromIndex, int toIndex);
  void MoveRow(int fromIndex, int toIndex);
  // Deletes a column or row and shifts the others.
  void DeleteColumn(int col);
  void DeleteRow(int row);

  // ---- the vertical scroll bar
  // True: the descendant sets the bar (SetVerticalScrollInfo) and handles
  // its requests in VerticalScroll.
  virtual bool OwnsVerticalScrollBar() const { return false; }
  // A request of the vertical bar: line/page up/down, top, bottom, thumb
  // position (scPosition on release; scTrack while dragging).
  virtual void VerticalScroll(TScrollCode code, int pos);
  void SetVerticalScrollInfo(int min, int max, int page, int pos);
  virtual void UpdateScrollBars();

  // ---- the in-place editor
  virtual TInplaceEdit* CreateEditor();
  virtual bool CanEditShow() const;
  virtual bool CanEditModify();
  virtual bool CanEditAcceptKey(char key);
  virtual AnsiString GetEditText(int col, int row);
  virtual void SetEditText(int col, int row, const AnsiString& value);
  virtual AnsiString GetEditMask(int col, int row);
  // Maximum text length of the editor; 0 for none.
  virtual int GetEditLimit();
  virtual TEditStyle GetEditStyle(int col, int row);
  // The editor's button was clicked (esEllipsis).
  virtual void EditButtonClick();
  // The editor's text changed (writes it back through SetEditText).
  void UpdateText();
  // Shows, moves or hides the editor for the current cell.
  void UpdateEdit();
  // Fills the editor's pick list for the current cell (esPickList).
  virtual void FillPickList(TStrings* list) { (void)list; }

  // ---- input
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  bool MouseWheel(TShiftState shift, int delta, TPoint pos) override;
  virtual bool DoMouseWheelDown(TShiftState shift);
  virtual bool DoMouseWheelUp(TShiftState shift);
  virtual bool CanGridAcceptKey(Word key, TShiftState shift);
  int DialogCode() const override;
  void DoEnter() override;
  void Resize() override;
  void FontChanged() override;
  // Sizing state at a client point: which border (index) a press there
  // would size, or gsNormal.
  TGridState CalcSizingState(int x, int y, int& index, int& sizingPos, int& sizingOfs) const;

  // Effective line widths across columns and rows.
  int HorzLineWidth() const;
  int VertLineWidth() const;
  // Width of the fixed columns / height of the fixed rows, lines included.
  int FixedWidth() const;
  int FixedHeight() const;
  // The largest TopRow / LeftCol that still fills the client area.
  int MaxTopRow() const;
  int MaxLeftCol() const;

 private:
  friend class TInplaceEdit;
  void ClampInView(TGridCoord cell);
  void InvalidateSelectionOf(TGridCoord current, TGridCoord anchor);
  void ScrollBarAction(bool vertical, int action);
  void LayoutScrollBars();
  void DrawSizingFeedback(TCanvas* canvas);

  int colCount_ = 5;
  int rowCount_ = 5;
  int fixedCols_ = 1;
  int fixedRows_ = 1;
  std::vector<int> colWidths_;
  std::vector<int> rowHeights_;
  std::vector<bool> tabStops_;
  int defaultColWidth_ = 64;
  int defaultRowHeight_ = 24;
  int gridLineWidth_ = 1;
  TGridOptions options_ = {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
  TScrollStyle scrollBars_ = ssBoth;
  TColor fixedColor_ = clBtnFace;
  TBorderStyle borderStyle_ = bsSingle;
  bool defaultDrawing_ = true;
  TGridCoord current_{1, 1};
  TGridCoord anchor_{1, 1};
  TGridCoord topLeft_{1, 1};
  TInplaceEdit* editor_ = nullptr;
  bool editorMode_ = false;
  int inplaceCol_ = -1;
  int inplaceRow_ = -1;
  TGridState gridState_ = gsNormal;
  int sizingIndex_ = -1;
  int sizingPos_ = 0;
  int sizingOfs_ = 0;
  int moveIndex_ = -1;
  int movePos_ = -1;
  QScrollBar* vbar_ = nullptr;
  QScrollBar* hbar_ = nullptr;
  TScrollInfo vinfo_;
  TScrollInfo hinfo_;
  bool updatingBars_ = false;
};
