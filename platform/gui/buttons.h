// TBitBtn: a push button with a glyph; a Kind gives it a standard caption,
// glyph and modal result.
#pragma once

#include <memory>

#include "platform/gui/std_controls.h"

enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class TBitBtn : public TButton {
 public:
  explicit TBitBtn(TComponent* owner);
  ~TBitBtn() override;
  AnsiString ClassName() const override { return "TBitBtn"; }

  // bkOK: "OK", mrOk, Default; bkCancel: "Storno", mrCancel, Cancel;
  // bkAbort: "Přerušit", mrAbort; ... While the form loads, a caption set
  // before the kind is kept.
  TBitBtnKind Kind() const { return kind_; }
  void SetKind(TBitBtnKind kind);
  // The picture (its bottom-left pixel is transparent); NumGlyphs images
  // side by side, the first is shown.
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(const TBitmap* bitmap);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int n);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout l);
  int Margin() const { return margin_; }
  void SetMargin(int m) { margin_ = m < -1 ? -1 : m; }
  int Spacing() const { return spacing_; }
  void SetSpacing(int s) { spacing_ = s; }

  void Click() override;

 private:
  void UpdateIcon();
  TBitBtnKind kind_ = bkCustom;
  std::unique_ptr<TBitmap> glyph_;
  int numGlyphs_ = 1;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
  bool settingKind_ = false;
};
