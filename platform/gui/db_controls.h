// The data-aware controls: an edit, a label, a check box and a navigator
// bar that show and change one field (or move through one dataset) of a
// data source.
//
// Each control follows its dataset through a data link and never keeps a
// value of its own that the field does not have, except the text a user is
// typing: that text stays pending in the control (the link is "modified")
// until the control is left or the dataset asks its links for their data
// (post, move), and Esc drops it. A value that does not convert keeps the
// focus in the control and reaches the application's error handler.
#pragma once

#include <memory>
#include <vector>

#include "platform/db/datasource.h"
#include "platform/db/fields.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/mask_edit.h"
#include "platform/gui/std_controls.h"

class TImageList;

// ------------------------------------------------------------------ TDBEdit

// An edit of one field. Unfocused it shows the field's display text;
// focused (and editable) its edit text. Typing puts the dataset into edit
// state; a character the field does not accept beeps and is dropped; Esc
// restores the field's value; leaving writes the text into the field.
class TDBEdit : public TCustomMaskEdit {
 public:
  explicit TDBEdit(TComponent* owner);
  ~TDBEdit() override;
  AnsiString ClassName() const override { return "TDBEdit"; }

  TDataSource* DataSource() const { return link_->DataSource(); }
  void SetDataSource(TDataSource* source);
  const AnsiString& DataField() const { return link_->FieldName(); }
  void SetDataField(const AnsiString& name);
  // The bound field while the dataset is open; null otherwise.
  TField* Field() const { return link_->Field(); }
  // Read-only by choice; the edit is also read-only while the field cannot
  // be changed.
  bool ReadOnly() const { return link_->ReadOnly(); }
  void SetReadOnly(bool on) override;
  // Paste and cut put the dataset into edit state first, whatever asked
  // for them (keys or the context menu).
  void Paste() override;
  void Cut() override;

 protected:
  TFieldDataLink* DataLink() const { return link_.get(); }
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void Change() override;
  void DoEnter() override;
  // Writes the pending text; on failure the text is selected and the
  // error passes on (the form keeps the focus here).
  void DoExit() override;
  // Shows the field's value (edit or display text by focus).
  virtual void DataChange();
  // Writes the text into the field (mask checked first).
  virtual void UpdateData();
  void EditingChange();
  void ActiveChange();

 private:
  void UpdateNativeReadOnly();
  std::unique_ptr<TFieldDataLink> link_;
  bool focused_ = false;
  bool showingField_ = false;  // text set from the field, not typed
};

// ------------------------------------------------------------------ TDBText

// A label showing a field's display text, repainted on every change of the
// record or of that field (also while the record is being edited).
class TDBText : public TCustomLabel {
 public:
  explicit TDBText(TComponent* owner);
  ~TDBText() override;
  AnsiString ClassName() const override { return "TDBText"; }

  TDataSource* DataSource() const { return link_->DataSource(); }
  void SetDataSource(TDataSource* source);
  const AnsiString& DataField() const { return link_->FieldName(); }
  void SetDataField(const AnsiString& name);
  TField* Field() const { return link_->Field(); }

 protected:
  AnsiString GetControlText() const override;

 private:
  void DataChange();
  std::unique_ptr<TFieldDataLink> link_;
};

// -------------------------------------------------------------- TDBCheckBox

// A check box over a field: checked when the field's text is one of
// ValueChecked's ";"-separated values (case-insensitive), unchecked for
// ValueUnchecked's, grayed for null or anything else; a Boolean field
// uses its value. Toggling writes the first value of the new state into
// the field at once.
class TDBCheckBox : public TCheckBox {
 public:
  explicit TDBCheckBox(TComponent* owner);
  ~TDBCheckBox() override;
  AnsiString ClassName() const override { return "TDBCheckBox"; }

  TDataSource* DataSource() const { return link_->DataSource(); }
  void SetDataSource(TDataSource* source);
  const AnsiString& DataField() const { return link_->FieldName(); }
  void SetDataField(const AnsiString& name);
  TField* Field() const { return link_->Field(); }
  bool ReadOnly() const { return link_->ReadOnly(); }
  void SetReadOnly(bool on) { link_->SetReadOnly(on); }
  // "True" and "False" by default.
  const AnsiString& ValueChecked() const { return valueChecked_; }
  void SetValueChecked(const AnsiString& values);
  const AnsiString& ValueUnchecked() const { return valueUnchecked_; }
  void SetValueUnchecked(const AnsiString& values);

  // Does nothing when the field cannot be changed now.
  void Toggle() override;

 private:
  TCheckBoxState FieldState() const;
  void DataChange();
  void UpdateData();
  std::unique_ptr<TFieldDataLink> link_;
  AnsiString valueChecked_ = "True";
  AnsiString valueUnchecked_ = "False";
  bool showingField_ = false;
};

// ------------------------------------------------------------- TDBNavigator

enum TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };
using TNavButtonSet = TSet<TNavigateBtn>;
inline constexpr int kNavButtonCount = 10;

// A bar of buttons that move through a dataset and drive its editing. The
// visible buttons share the width; a button is enabled only when its action
// makes sense now (first/prior not at the beginning, next/last not at the
// end, the editing buttons by the dataset's state and whether it can be
// changed).
class TDBNavigator : public TCustomPanel {
 public:
  explicit TDBNavigator(TComponent* owner);
  ~TDBNavigator() override;
  AnsiString ClassName() const override { return "TDBNavigator"; }

  TDataSource* DataSource() const;
  void SetDataSource(TDataSource* source);
  TNavButtonSet VisibleButtons() const { return visible_; }
  void SetVisibleButtons(TNavButtonSet buttons);
  // Delete asks "Delete record?" first (default on).
  bool ConfirmDelete() const { return confirmDelete_; }
  void SetConfirmDelete(bool on) { confirmDelete_ = on; }

  // Runs the button's action, as a click on it does.
  virtual void BtnClick(TNavigateBtn button);
  // The button's control (its place and state show on screen).
  TControl* Button(TNavigateBtn button) const;
  bool ButtonEnabled(TNavigateBtn button) const;

 protected:
  void Resize() override;

 private:
  class NavButton;
  class NavLink;
  void LayoutButtons();
  void UpdateButtons();

  std::unique_ptr<NavLink> link_;
  std::unique_ptr<TImageList> glyphs_;
  std::vector<NavButton*> buttons_;
  TNavButtonSet visible_ = {nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh};
  bool confirmDelete_ = true;
};
