// The "Always on top" button: a latching caption button whose state is the
// form's keep-above state, with its item in the window menu.
#pragma once

#include <functional>

#include "ui/window_addons/caption_button.h"

using TwaFormTopmostChangedEvent = std::function<void(TObject* Sender, bool Topmost)>;

class TwaFormTopmost : public TwaCustomCaptionButton {
 public:
  explicit TwaFormTopmost(TComponent* owner);
  AnsiString ClassName() const override { return "TwaFormTopmost"; }

  TwaACaptionButton* CaptionButton() { return &captionButton_; }
  bool Topmost() const { return FormTopmost(); }
  void SetTopmost(bool on) { SetFormTopmost(on); }

  TwaFormTopmostChangedEvent OnTopmostChanged;

  void AfterMessage(TWindowMessage& message) override;

 protected:
  void Loaded() override;
  void StateChanged() override;

 private:
  TwaACaptionButton captionButton_;
};

// Registers the two glyphs "ACCB_TOPMOST_UP" and "ACCB_TOPMOST_DOWN" (once).
void RegisterTopmostGlyphs();
