// The typed edit shared by TEditKuvet and TVEdit: a one-line edit whose
// text is checked and normalised by its type (string, integer, float, date,
// time) whenever it is written and when the edit is left. A text that does
// not convert shows " Chybný formát dat " and keeps the focus in the edit.
//
// The two edits differ only by switches of this core: TEditKuvet completes
// partly typed dates and times and filters typed characters (offering Enter
// and Esc to the form first); TVEdit converts dates and times and writes
// them back in the short formats, and takes any character.
#pragma once

#include "platform/gui/std_controls.h"
#include "ui/edits/key_entry.h"

enum TEditType { ttString, ttInteger, ttFloat, ttDate, ttTime };

// The message of a text that does not convert.
extern const char* const kBadFormatText;

struct TTypedEditSwitches {
  bool complete = false;  // dates and times completed from today, text kept as completed
  bool filter = false;    // only the characters of numbers, dates and times; Enter/Esc to the form
};

class TTypedEdit : public TEdit {
 public:
  TTypedEdit(TComponent* owner, TTypedEditSwitches switches);

  TEditType EditType() const { return editType_; }
  // Only stored; the next write of Text or exit checks by the new type.
  void SetEditType(TEditType t) { editType_ = t; }
  int FloatPrecision() const { return floatPrecision_; }
  void SetFloatPrecision(int p) { floatPrecision_ = p; }
  int FloatDigits() const { return floatDigits_; }
  void SetFloatDigits(int d) { floatDigits_ = d; }
  const AnsiString& BlankDate() const { return blankDate_; }
  // In a date edit showing no date (empty or the old blank) the new blank
  // is shown at once.
  void SetBlankDate(const AnsiString& blank);
  const AnsiString& BlankTime() const { return blankTime_; }
  void SetBlankTime(const AnsiString& blank);
  // Alignment of the text while the edit is not focused.
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  bool ConvertDecimalSymbol() const { return convertDecimalSymbol_; }
  void SetConvertDecimalSymbol(bool on) { convertDecimalSymbol_ = on; }
  bool EnterIsTab() const { return enterIsTab_; }
  void SetEnterIsTab(bool on) { enterIsTab_ = on; }
  // Outcome of the last check of the text.
  bool Valid() const { return valid_; }

  TNotifyEvent OnClickSpace;
  TTabExitEvent OnTabExit;

 protected:
  // Checks text by the type (in place); false after a conversion error,
  // which it reports.
  bool CheckText(AnsiString& text);
  // Writing Text checks it; the resulting text goes to the window.
  void SetControlText(const AnsiString& text) override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyUp(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void DoEnter() override;
  void DoExit() override;
  bool ExitCheck() override;
  bool PaintsItself() const override;

 private:
  TTypedEditSwitches switches_;
  TEditType editType_ = ttString;
  int floatPrecision_ = 0;
  int floatDigits_ = 0;
  AnsiString blankDate_;
  AnsiString blankTime_;
  TAlignment alignment_ = taLeftJustify;
  bool convertDecimalSymbol_ = false;
  bool enterIsTab_ = true;
  bool valid_ = true;
  TKeyEntry keys_;
};
