// The status bar: a framed panel along the bottom of a form whose children
// are status panes; a size grip in its bottom-right corner (while the form
// can be sized), a "simple" mode that shows one caption instead of the
// panes, and optional scaling of the panes when the bar's width changes.
#pragma once

#include "ui/panels/framed_panel.h"

class QSizeGrip;

class TFxStatusBar : public TFxCustomPanel {
 public:
  explicit TFxStatusBar(TComponent* owner);
  ~TFxStatusBar() override;
  AnsiString ClassName() const override { return "TFxStatusBar"; }

  bool AutoScalePanes() const { return autoScalePanes_; }
  void SetAutoScalePanes(bool on) { autoScalePanes_ = on; }
  // Cleared by any change of BorderInner, BorderOuter or BorderSides.
  bool AutoStyle() const { return autoStyle_; }
  void SetAutoStyle(bool on) { autoStyle_ = on; }
  bool ShowSizeGrip() const { return showSizeGrip_; }
  virtual void SetShowSizeGrip(bool on);
  const AnsiString& SimpleCaption() const { return simpleCaption_; }
  virtual void SetSimpleCaption(const AnsiString& text);
  TFrameStyle SimpleFrameStyle() const { return simpleFrameStyle_; }
  void SetSimpleFrameStyle(TFrameStyle s);
  bool SimpleStatus() const { return simpleStatus_; }
  virtual void SetSimpleStatus(bool on);

  void SetBorderInner(TFrameStyleEx s) override;
  void SetBorderOuter(TFrameStyleEx s) override;
  void SetBorderSides(TSides s) override;

  // The standard look: no frames, all sides, height 19, no border width.
  virtual void ApplyAutoStyle();
  virtual void DrawSimpleFrame(const TRect& rect);
  // The area the panes share (the frames are not taken off).
  TRect BarClientRect() const;
  // Whether the grip may show now (a sizeable, not maximised form), and
  // whether it shows.
  bool SizeGripAllowed() const;
  bool SizeGripShown() const;
  TRect SizeGripRect() const { return Rect(Width() - 13, 0, Width(), Height()); }

 protected:
  void Loaded() override;
  void Paint() override;
  TRect AlignRect() const override;
  void Resize() override;

 private:
  void UpdateSizeGrip();
  void DrawSizeGrip(TCanvas* canvas);

  bool autoScalePanes_ = false;
  bool autoStyle_ = true;
  bool applyingAutoStyle_ = false;
  bool showSizeGrip_ = true;
  AnsiString simpleCaption_;
  TFrameStyle simpleFrameStyle_ = fsFlat;
  bool simpleStatus_ = false;
  bool firstResize_ = true;
  int previousWidth_ = 0;
  int lastChange_ = 0;
  QSizeGrip* grip_ = nullptr;
};
