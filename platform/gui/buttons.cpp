// Bitmap buttons: the kinds' captions, results and our own glyphs (small
// pictures drawn for this program), shown through the push button's icon.
#include "platform/gui/buttons.h"

#include <QIcon>
#include <QPixmap>
#include <QPushButton>

#include "platform/gui/forms.h"
#include "platform/gui/resources.h"
#include "platform/gui/widget_bridge.h"
#include "platform/rtl/system.h"

using namespace gui_detail;

namespace {

const std::map<char, TColor> kPalette = {
    {'.', clOlive}, {'g', clGreen}, {'G', clLime}, {'r', clMaroon}, {'R', clRed}, {'k', clBlack}, {'y', clYellow}};

// Olive is the see-through colour (the bottom-left pixel).
void RegisterGlyphs() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterBitmapResource("BBOK", {"................",
                                  "................",
                                  "............g...",
                                  "...........gG...",
                                  "..........gGg...",
                                  ".........gGg....",
                                  "..g.....gGg.....",
                                  "..Gg...gGg......",
                                  "..gGg.gGg.......",
                                  "...gGgGg........",
                                  "....gGg.........",
                                  ".....g..........",
                                  "................",
                                  "................",
                                  "................",
                                  "................"},
                         kPalette);
  RegisterBitmapResource("BBCANCEL", {"................",
                                      "................",
                                      "...rR......rR...",
                                      "...RRr....rRR...",
                                      "....RRr..rRR....",
                                      ".....RRrrRR.....",
                                      "......RRRR......",
                                      "......RRRR......",
                                      ".....RRrrRR.....",
                                      "....RRr..rRR....",
                                      "...RRr....rRR...",
                                      "...rR......rR...",
                                      "................",
                                      "................",
                                      "................",
                                      "................"},
                         kPalette);
  RegisterBitmapResource("BBABORT", {"................",
                                     ".....rrrrrr.....",
                                     "...rrRRRRRRrr...",
                                     "..rRRRRRRRRRRr..",
                                     "..rRRRRRRRRRRr..",
                                     ".rRRyRRRRRRyRRr.",
                                     ".rRRRyRRRRyRRRr.",
                                     ".rRRRRyRRyRRRRr.",
                                     ".rRRRRRyyRRRRRr.",
                                     ".rRRRRyRRyRRRRr.",
                                     ".rRRRyRRRRyRRRr.",
                                     "..rRyRRRRRRyRr..",
                                     "..rRRRRRRRRRRr..",
                                     "...rrRRRRRRrr...",
                                     ".....rrrrrr.....",
                                     "................"},
                         kPalette);
}

struct KindInfo {
  const char* caption;  // UTF-8
  int result;
  const char* glyph;
};

KindInfo InfoOf(TBitBtnKind kind) {
  switch (kind) {
    case bkOK:
      return {"OK", mrOk, "BBOK"};
    case bkCancel:
      return {"Storno", mrCancel, "BBCANCEL"};
    case bkHelp:
      return {"&Nápověda", mrNone, ""};
    case bkYes:
      return {"&Ano", mrYes, "BBOK"};
    case bkNo:
      return {"&Ne", mrNo, "BBCANCEL"};
    case bkClose:
      return {"&Zavřít", mrNone, "BBCANCEL"};
    case bkAbort:
      return {"Přerušit", mrAbort, "BBABORT"};
    case bkRetry:
      return {"&Opakovat", mrRetry, ""};
    case bkIgnore:
      return {"&Ignorovat", mrIgnore, ""};
    case bkAll:
      return {"&Vše", mrAll, "BBOK"};
    case bkCustom:
      break;
  }
  return {"", mrNone, ""};
}

}  // namespace

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner), glyph_(std::make_unique<TBitmap>()) {
  RegisterGlyphs();
  glyph_->OnChange = [this](TObject*) {
    if (!settingKind_) kind_ = bkCustom;
    UpdateIcon();
  };
}

TBitBtn::~TBitBtn() { glyph_->OnChange = nullptr; }

void TBitBtn::SetKind(TBitBtnKind kind) {
  kind_ = kind;
  if (kind == bkCustom) return;
  KindInfo info = InfoOf(kind);
  SetDefault(kind == bkOK || kind == bkYes);
  SetCancel(kind == bkCancel || kind == bkNo);
  if (!IsLoading() || Caption().empty()) SetCaption(Cz(info.caption));
  SetModalResult(info.result);
  settingKind_ = true;
  if (*info.glyph)
    glyph_->LoadFromResourceName(info.glyph);
  else
    glyph_->Assign(nullptr);
  settingKind_ = false;
  UpdateIcon();
}

void TBitBtn::SetGlyph(const TBitmap* bitmap) {
  glyph_->Assign(bitmap);
  if (bitmap && !bitmap->Empty() && bitmap->Height() > 0 && bitmap->Width() % bitmap->Height() == 0) {
    int n = bitmap->Width() / bitmap->Height();
    if (n >= 1 && n <= 4) numGlyphs_ = n;
  }
  UpdateIcon();
}

void TBitBtn::SetNumGlyphs(int n) {
  numGlyphs_ = std::clamp(n, 1, 4);
  UpdateIcon();
}

void TBitBtn::SetLayout(TButtonLayout l) {
  layout_ = l;
  auto* b = static_cast<QPushButton*>(Widget());
  b->setLayoutDirection(l == blGlyphRight ? Qt::RightToLeft : Qt::LeftToRight);
}

void TBitBtn::UpdateIcon() {
  auto* b = static_cast<QPushButton*>(Widget());
  if (glyph_->Empty()) {
    b->setIcon(QIcon());
    return;
  }
  int w = glyph_->Width() / std::max(1, numGlyphs_);
  QImage img = glyph_->Image().copy(0, 0, w, glyph_->Height()).convertToFormat(QImage::Format_ARGB32);
  QRgb key = img.pixel(0, img.height() - 1) & 0xFFFFFF;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if ((img.pixel(x, y) & 0xFFFFFF) == key) img.setPixel(x, y, 0);
  b->setIcon(QIcon(QPixmap::fromImage(img)));
  b->setIconSize(img.size());
}

void TBitBtn::Click() {
  if (kind_ == bkClose) {
    if (TCustomForm* form = GetParentForm(this)) {
      form->Close();
      TWinControl::Click();
      return;
    }
  }
  TButton::Click();
}
