// The validating data-aware edit of the entry dialogs. When it is left (by
// WhenValid) it completes a date or time from its base and hands the text
// to OnValid, which may rewrite it and refuse it; a refused text keeps the
// focus, is reported through OnError or ErrorString, and never reaches the
// field. The same check runs before Enter or an accelerator makes a button
// of the form act. While it cannot take the focus it paints its background
// in ColorDisable.
#pragma once

#include <functional>
#include <memory>

#include "platform/gui/db_controls.h"
#include "platform/rtl/datetime.h"
#include "ui/edits/glyph_button_layout.h"

enum TKuvetEditType { setStandard, setDate, setTime, setFloat };
enum TKuvetDateTimeType { sdtNow, sdtUser };
enum TWhenValid { swvAlways, swvWhenEdit, swvWhenChange, swvNone };

using TKuvetValidEvent = std::function<void(TObject* Sender, AnsiString& AText, bool& IsValid)>;
using TKuvetErrorEvent = std::function<void(TObject* Sender)>;

class TDBEditKuvet : public TDBEdit {
 public:
  explicit TDBEditKuvet(TComponent* owner);
  ~TDBEditKuvet() override;
  AnsiString ClassName() const override { return "TDBEditKuvet"; }

  TKuvetEditType EditType() const { return editType_; }
  void SetEditType(TKuvetEditType t) { editType_ = t; }
  TKuvetDateTimeType DateTimeType() const { return dateTimeType_; }
  void SetDateTimeType(TKuvetDateTimeType t) { dateTimeType_ = t; }
  TWhenValid WhenValid() const { return whenValid_; }
  void SetWhenValid(TWhenValid w) { whenValid_ = w; }
  const AnsiString& ErrorString() const { return errorString_; }
  void SetErrorString(const AnsiString& s) { errorString_ = s; }
  TColor ColorDisable() const { return colorDisable_; }
  void SetColorDisable(TColor c);
  bool EnterIsTab() const { return enterIsTab_; }
  void SetEnterIsTab(bool on) { enterIsTab_ = on; }
  bool ButtonVisible() const { return button_->Visible(); }
  void SetButtonVisible(bool on) { button_->SetVisible(on); }
  int ButtonWidth() const { return button_->Width(); }
  void SetButtonWidth(int w) { button_->SetWidth(w); }
  TBitmap* Glyph() const { return button_->Glyph(); }
  void SetGlyph(const TBitmap* picture) { button_->SetGlyph(picture); }
  int NumGlyphs() const { return button_->NumGlyphs(); }
  void SetNumGlyphs(int n) { button_->SetNumGlyphs(n); }
  TUxSpeedButton* Button() const { return button_->Button(); }
  // The base of sdtUser: the clock when the edit was made.
  TDateTime StoredDateTime() const { return storedDateTime_; }

  // Completes the text (setDate, setTime), then OnValid; writes the final
  // text back to the edit and returns the final validity.
  virtual bool ValidateText();

  TKuvetValidEvent OnValid;
  TKuvetErrorEvent OnError;
  TNotifyEvent OnClickButton;

 protected:
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyUp(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void DoEnter() override;
  void DoExit() override;
  bool ExitCheck() override;
  TColor PaintColor() const override;
  void EnabledChanged() override;
  void Resize() override;

 private:
  bool WantsValidation() const;
  void ReportFailure();

  TKuvetEditType editType_ = setStandard;
  TKuvetDateTimeType dateTimeType_ = sdtNow;
  TWhenValid whenValid_ = swvAlways;
  AnsiString errorString_;
  TColor colorDisable_;
  bool enterIsTab_ = false;
  TDateTime storedDateTime_;
  std::unique_ptr<TEditGlyphButton> button_;
};
