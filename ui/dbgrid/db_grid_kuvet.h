// TDbGridKuvet: the data-aware grid of keyboard-driven picking lists.
//
// On top of TDBGrid it keeps leading columns locked against horizontal
// scrolling (they become fixed columns drawn as data cells in their own
// font and colour), highlights one column title chosen by clicking titles,
// keeps check marks on rows in a set keyed by a field's value (drawn in
// the indicator column), turns Enter, Esc, Insert, Delete and Space into
// events, can take Enter as Tab, and lets the program veto cell moves.
//
// Invariants: while LockedCols takes effect, FixedCols = IndicatorOffset +
// LockedCols and at least one scrolling column remains; the indicator
// pictures exist exactly while CheckEnabled is on; only rows that hold a
// record are ever tested for a check.
#pragma once

#include <functional>
#include <memory>

#include "ui/dbgrid/checked_lists.h"
#include "ui/dbgrid/db_grid.h"

enum TKuvetActiveTitleBevel { stbLowered, stbNone, stbRaised };
enum TKuvetKeyFieldType { sktInteger, sktString };

using TKuvetClickKeyEvent = std::function<void(TObject* Sender)>;
using TKuvetClickSpaceEvent = std::function<void(TObject* Sender, const AnsiString& AFieldName)>;
using TKuvetClickTitleEvent = std::function<void(TObject* Sender, const AnsiString& AFieldName, int ATitleIndex)>;
using TKuvetChangeTitleEvent = std::function<void(TObject* Sender, int& ANewTitleIndex)>;
using TSelectCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;

class TDbGridKuvet : public TDBGrid {
 public:
  explicit TDbGridKuvet(TComponent* owner);
  ~TDbGridKuvet() override;
  AnsiString ClassName() const override { return "TDbGridKuvet"; }

  // Grid column index (indicator counted) of the highlighted title.
  int ActiveTitleIndex() const { return activeTitleIndex_; }
  void SetActiveTitleIndex(int index);
  TKuvetActiveTitleBevel ActiveTitleBevel() const { return activeTitleBevel_; }
  void SetActiveTitleBevel(TKuvetActiveTitleBevel bevel);
  TColor ActiveTitleColor() const { return activeTitleColor_; }
  void SetActiveTitleColor(TColor color);
  bool ActiveColumnBold() const { return activeColumnBold_; }
  void SetActiveColumnBold(bool bold);

  // Leading data columns that do not scroll; a value that would leave no
  // scrolling column is kept but has no effect.
  int LockedCols() const { return lockedCols_; }
  void SetLockedCols(int count);
  TFont* LockedFont() { return &lockedFont_; }
  void SetLockedFont(const TFont* font) { lockedFont_.Assign(font); }
  TColor LockedColor() const { return lockedColor_; }
  void SetLockedColor(TColor color);

  bool ClickTitleEnabled() const { return clickTitleEnabled_; }
  void SetClickTitleEnabled(bool on) { clickTitleEnabled_ = on; }

  // Check marks need KeyField: turning them on without it shows a message
  // and leaves them off.
  bool CheckEnabled() const { return checkEnabled_; }
  void SetCheckEnabled(bool on);
  TColor CheckedColor() const { return checkedColor_; }
  void SetCheckedColor(TColor color);
  bool CheckedSignum() const { return checkedSignum_; }
  void SetCheckedSignum(bool on);
  const AnsiString& KeyField() const { return keyField_; }
  void SetKeyField(const AnsiString& name) { keyField_ = name; }
  TKuvetKeyFieldType KeyFieldType() const { return keyFieldType_; }
  // Clears every check first (keys of the other type mean nothing now).
  void SetKeyFieldType(TKuvetKeyFieldType type);
  bool EnterIsTab() const { return enterIsTab_; }
  void SetEnterIsTab(bool on) { enterIsTab_ = on; }

  TCheckedList* CheckedList() { return &checkedList_; }
  TCheckedStringList* CheckedStringList() { return &checkedStrings_; }
  // The indicator pictures while CheckEnabled is on, else null.
  const TImageList* CheckImages() const { return checkImages_.get(); }

  // Toggles the current record's key and fires OnCheckRow (CheckEnabled only).
  void ToggleCurrentCheck();
  // Empties both check sets (CheckEnabled only).
  void ClearChecks();
  // Whether data row `row` (0 = first buffered record) is checked.
  bool IsRowChecked(int row);
  // The key of the link's active record: the field's text (sktString) or
  // number (sktInteger); empty or 0 without the field.
  AnsiString CurrentStringKey() const;
  std::intptr_t CurrentIntegerKey() const;

  TSelectCellEvent OnSelectCell;
  TKuvetClickSpaceEvent OnClickSpace;
  TKuvetChangeTitleEvent OnChangeTitle;
  TKuvetClickTitleEvent OnClickTitle;
  TKuvetClickKeyEvent OnClickEnter;
  TKuvetClickKeyEvent OnClickIns;
  TKuvetClickKeyEvent OnClickDel;
  TKuvetClickKeyEvent OnClickEsc;
  TKuvetClickKeyEvent OnCheckRow;

 protected:
  // A title click asks for a new highlighted title (ClickTitleEnabled only).
  virtual void ChangeActiveTitle(int col);

  void SetColumnAttributes() override;
  void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyUp(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  int DialogCode() const override;
  bool SelectCell(int col, int row) override;
  void DoEnter() override;
  void TopLeftChanged() override;
  void Scroll(int distance) override;
  void ColumnMoved(int fromIndex, int toIndex) override;

 private:
  void ApplyLockedCols();
  // Restyles a column's cells (locked or not) and the highlighted title.
  void StyleColumn(int dataCol, bool locked);
  void StyleTitle(int gridCol, bool active);
  bool InSizingZone(int x) const;
  TField* KeyFieldObject() const;
  void DrawLockedTitles(TCanvas* canvas, int row);

  int activeTitleIndex_ = 0;
  TKuvetActiveTitleBevel activeTitleBevel_ = stbLowered;
  TColor activeTitleColor_ = clBtnFace;
  bool activeColumnBold_ = false;
  int lockedCols_ = 0;
  TFont lockedFont_;
  TColor lockedColor_ = clSilver;
  bool clickTitleEnabled_ = false;
  bool checkEnabled_ = false;
  TColor checkedColor_ = clGray;
  bool checkedSignum_ = false;
  AnsiString keyField_;
  TKuvetKeyFieldType keyFieldType_ = sktInteger;
  bool enterIsTab_ = false;
  TCheckedList checkedList_;
  TCheckedStringList checkedStrings_;
  std::unique_ptr<TImageList> checkImages_;
  bool inTopLeft_ = false;
};
