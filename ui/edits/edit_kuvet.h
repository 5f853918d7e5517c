// The typed edit of the entry dialogs: checks and normalises its text on
// every write and when it is left (dates and times completed from today),
// filters typed characters by its type, offers Enter and Esc to the form,
// and can show a glyph button inside its right edge.
#pragma once

#include <memory>

#include "ui/edits/glyph_button_layout.h"
#include "ui/edits/typed_text.h"

class TEditKuvet : public TTypedEdit {
 public:
  explicit TEditKuvet(TComponent* owner);
  ~TEditKuvet() override;
  AnsiString ClassName() const override { return "TEditKuvet"; }

  bool ButtonVisible() const { return button_->Visible(); }
  void SetButtonVisible(bool on) { button_->SetVisible(on); }
  int ButtonWidth() const { return button_->Width(); }
  void SetButtonWidth(int w) { button_->SetWidth(w); }
  TBitmap* Glyph() const { return button_->Glyph(); }
  void SetGlyph(const TBitmap* picture) { button_->SetGlyph(picture); }
  int NumGlyphs() const { return button_->NumGlyphs(); }
  void SetNumGlyphs(int n) { button_->SetNumGlyphs(n); }
  TUxSpeedButton* Button() const { return button_->Button(); }

  TNotifyEvent OnClickButton;

 protected:
  void Paint() override;
  void Resize() override;

 private:
  std::unique_ptr<TEditGlyphButton> button_;
};
