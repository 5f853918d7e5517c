// TImageList: equally sized pictures in one list, each drawn with its own
// transparency mask (grid indicators, button glyphs).
#pragma once

#include <memory>
#include <vector>

#include "platform/gui/graphics.h"

class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* owner);
  ~TImageList() override;
  AnsiString ClassName() const override { return "TImageList"; }

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Changing the size clears the list.
  void SetWidth(int w);
  void SetHeight(int h);
  int Count() const { return static_cast<int>(images_.size()); }

  // Adds the bitmap cut into pictures of Width (one when narrower); pixels
  // of maskColor are transparent. Returns the index of the first picture.
  int AddMasked(const TBitmap* bitmap, TColor maskColor);
  void Clear();
  // Picture index at (x, y); a disabled picture is drawn greyed.
  void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true) const;

 private:
  struct Picture;
  int width_ = 16;
  int height_ = 16;
  std::vector<std::unique_ptr<Picture>> images_;
};
