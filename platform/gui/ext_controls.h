// Panels, timers and the progress gauge.
#pragma once

#include <memory>

#include "platform/gui/controls.h"

class QTimer;

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

// Draws width one-pixel frames inside rect (top-left lines in topColor,
// bottom-right in bottomColor) and shrinks rect past them.
void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);

class TCustomPanel : public TCustomControl {
 public:
  explicit TCustomPanel(TComponent* owner);
  AnsiString ClassName() const override { return "TPanel"; }

  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut b);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut b);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int w);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int w);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);

 protected:
  void Paint() override;
  TRect AlignRect() const override;
  bool TakesFocusOnClick() const override { return false; }

 private:
  TBevelCut bevelOuter_ = bvRaised;
  TBevelCut bevelInner_ = bvNone;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  TAlignment alignment_ = taCenter;
};

class TPanel : public TCustomPanel {
 public:
  explicit TPanel(TComponent* owner) : TCustomPanel(owner) {}
};

// Shows a bitmap at its top-left corner (not owned; nullptr shows nothing).
class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* owner);
  AnsiString ClassName() const override { return "TImage"; }
  TBitmap* Picture() const { return picture_; }
  void SetPicture(TBitmap* bitmap);

 protected:
  void Paint() override;

 private:
  TBitmap* picture_ = nullptr;
};

// Fires OnTimer every Interval milliseconds while Enabled.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  AnsiString ClassName() const override { return "TTimer"; }

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  // Runs one tick now, as if the interval had passed (tests drive timers
  // deterministically through it); nothing while not Enabled. The running
  // interval starts again.
  void FireTick();

  TNotifyEvent OnTimer;

 private:
  void Update();
  bool enabled_ = true;
  unsigned interval_ = 1000;
  std::unique_ptr<QTimer> timer_;
};

enum TGaugeKind { gkText, gkHorizontalBar, gkVerticalBar };

// A bar filled to the share of Progress between MinValue and MaxValue,
// with the percentage ("50%") in the middle.
class TGauge : public TGraphicControl {
 public:
  explicit TGauge(TComponent* owner);
  AnsiString ClassName() const override { return "TGauge"; }

  int MinValue() const { return min_; }
  void SetMinValue(int v);
  int MaxValue() const { return max_; }
  void SetMaxValue(int v);
  int Progress() const { return progress_; }
  void SetProgress(int v);
  // Whole percent done (truncated).
  int PercentDone() const;
  TGaugeKind Kind() const { return kind_; }
  void SetKind(TGaugeKind k);
  bool ShowText() const { return showText_; }
  void SetShowText(bool on);
  TColor ForeColor() const { return foreColor_; }
  void SetForeColor(TColor c);
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor c);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle s);

 protected:
  void Paint() override;

 private:
  int min_ = 0;
  int max_ = 100;
  int progress_ = 0;
  TGaugeKind kind_ = gkHorizontalBar;
  bool showText_ = true;
  TColor foreColor_ = clBlack;
  TColor backColor_ = clWhite;
  TBorderStyle borderStyle_ = bsSingle;
};
