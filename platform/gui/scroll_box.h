// A scrolling container: its child controls move against the client area
// by the positions of its two scroll bars. A bar shows while it is Visible
// and its Range exceeds the client extent it scrolls.
#pragma once

#include "platform/gui/controls.h"

class QScrollBar;
class TScrollBox;

class TControlScrollBar {
 public:
  TControlScrollBar(TScrollBox* box, bool vertical) : box_(box), vertical_(vertical) {}
  int Range() const { return range_; }
  void SetRange(int range);
  int Position() const { return position_; }
  void SetPosition(int position);
  int Increment() const { return increment_; }
  void SetIncrement(int increment) { increment_ = std::max(1, increment); }
  bool Visible() const { return visible_; }
  void SetVisible(bool on);
  // Showing now (Visible and the range exceeds the client extent).
  bool IsScrollBarVisible() const { return showing_; }
  // Thickness of the bar.
  int Size() const;

 private:
  friend class TScrollBox;
  TScrollBox* box_;
  bool vertical_;
  int range_ = 0;
  int position_ = 0;
  int increment_ = 8;
  bool visible_ = true;
  bool showing_ = false;
};

class TScrollBox : public TCustomControl {
 public:
  explicit TScrollBox(TComponent* owner);
  ~TScrollBox() override;
  AnsiString ClassName() const override { return "TScrollBox"; }

  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle style);
  TControlScrollBar* HorzScrollBar() { return &horz_; }
  TControlScrollBar* VertScrollBar() { return &vert_; }
  // Scrolls the children by (dx, dy) pixels.
  void ScrollBy(int dx, int dy);

 protected:
  TRect NonClientInsets() const override;
  void PaintNonClient(TCanvas* canvas) override;
  void Paint() override;
  void Resize() override;
  bool TakesFocusOnClick() const override { return false; }

 private:
  friend class TControlScrollBar;
  void UpdateBars();
  int Frame() const { return borderStyle_ == bsSingle ? 2 : 0; }

  TBorderStyle borderStyle_ = bsSingle;
  TControlScrollBar horz_{this, false};
  TControlScrollBar vert_{this, true};
  QScrollBar* hbar_ = nullptr;
  QScrollBar* vbar_ = nullptr;
  bool updating_ = false;
};
