// TCustomMaskEdit: an edit whose text follows an edit mask, for the date
// masks the program uses ("!99/99/9999;1;_" and its two- and year-first
// forms). Mask characters: "9" optional digit, "0" required digit, "/" and
// ":" the date and time separators of the format settings, "\" makes the
// next character literal, "!" is accepted; other characters are literals.
// Any other mask character of the class library ("L", "A", "C", "#", ">",
// ...) is refused with EInvalidEditMask. After the mask: ";1" keeps the
// literals in Text, ";0" drops them; a third field is the blank character.
#pragma once

#include "platform/gui/std_controls.h"

class EInvalidEditMask : public Exception {
 public:
  using Exception::Exception;
};

// A text that does not fill the mask's required positions.
class EDBEditError : public Exception {
 public:
  using Exception::Exception;
};

class TCustomMaskEdit : public TCustomEdit {
 public:
  explicit TCustomMaskEdit(TComponent* owner);
  AnsiString ClassName() const override { return "TMaskEdit"; }

  const AnsiString& EditMask() const { return mask_; }
  // An empty mask makes a plain edit. Raises EInvalidEditMask.
  void SetEditMask(const AnsiString& mask);
  bool IsMasked() const { return !mask_.empty(); }
  // The text as shown, blanks included ("08.12.____").
  AnsiString EditText() const;
  void SetEditText(const AnsiString& text);
  // Raises EDBEditError when a required position is empty.
  virtual void ValidateEdit();
  // Restores the text from before the edit started.
  void Reset();

 protected:
  TCustomMaskEdit(TComponent* owner, QWidget* widget);
  AnsiString GetControlText() const override;
  void SetControlText(const AnsiString& text) override;
  void KeyPress(char& key) override;
  void DoEnter() override;
  void DoExit() override;

 private:
  struct Slot {
    bool literal;
    bool required;
    char ch;  // the literal
  };
  std::vector<Slot> slots_;
  AnsiString mask_;
  bool saveLiterals_ = true;
  char blank_ = '_';
  AnsiString original_;
};

class TMaskEdit : public TCustomMaskEdit {
 public:
  explicit TMaskEdit(TComponent* owner) : TCustomMaskEdit(owner) {}
};
