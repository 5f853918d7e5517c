// The canvas on bitmaps: the platform's pixel rules, edges, the XOR focus
// frame, the one text rule and code pages of fonts.
#include <gtest/gtest.h>

#include <QRawFont>

#include <cmath>

#include "platform/gui/graphics.h"
#include "platform/gui/image_list.h"
#include "platform/gui/resources.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/system.h"

namespace {

constexpr TColor kBack = 0x00FF00;  // a colour no rule draws with

struct Surface {
  TBitmap bmp;
  TCanvas* c;
  explicit Surface(int w = 40, int h = 30) {
    bmp.SetSize(w, h);
    c = bmp.Canvas();
    c->Brush()->SetColor(kBack);
    c->FillRect(Rect(0, 0, w, h));
  }
  TColor At(int x, int y) { return c->Pixels(x, y); }
  // The pixels of one row as a string: '.' background, '#' the colour.
  std::string Row(int y, int from, int to, TColor color) {
    std::string s;
    for (int x = from; x < to; ++x) s += At(x, y) == ColorToRGB(color) ? '#' : At(x, y) == kBack ? '.' : '?';
    return s;
  }
};

TEST(CanvasGui, FilledRectanglesStopBeforeTheirRightAndBottomEdges) {
  Surface s;
  s.c->Brush()->SetColor(clRed);
  s.c->FillRect(Rect(2, 3, 6, 5));
  EXPECT_EQ(s.Row(3, 0, 8, clRed), "..####..");
  EXPECT_EQ(s.Row(4, 0, 8, clRed), "..####..");
  EXPECT_EQ(s.Row(5, 0, 8, clRed), "........");
  // A clear brush fills nothing; a set colour makes it solid again.
  s.c->Brush()->SetStyle(bsClear);
  s.c->FillRect(Rect(0, 10, 5, 12));
  EXPECT_EQ(s.Row(10, 0, 6, clRed), "......");
  s.c->Brush()->SetColor(clBlue);
  s.c->FillRect(Rect(0, 10, 5, 12));
  EXPECT_EQ(s.Row(10, 0, 6, clBlue), "#####.");
  // FrameRect: the outer ring only.
  s.c->Brush()->SetColor(clNavy);
  s.c->FrameRect(Rect(10, 10, 14, 14));
  EXPECT_EQ(s.Row(10, 9, 15, clNavy), ".####.");
  EXPECT_EQ(s.Row(11, 9, 15, clNavy), ".#..#.");
  EXPECT_EQ(s.Row(13, 9, 15, clNavy), ".####.");
}

TEST(CanvasGui, LinesLeaveOutTheirEndPoint) {
  struct Case {
    TPoint from, to;
    int y;
    const char* row;
  };
  const Case cases[] = {
      {{2, 5}, {7, 5}, 5, "..#####..."},
      {{7, 6}, {2, 6}, 6, "...#####.."},
      {{3, 7}, {3, 7}, 7, ".........."},
  };
  for (const Case& c : cases) {
    Surface s;
    s.c->Pen()->SetColor(clBlack);
    s.c->MoveTo(c.from.x, c.from.y);
    s.c->LineTo(c.to.x, c.to.y);
    EXPECT_EQ(s.Row(c.y, 0, 10, clBlack), c.row);
    EXPECT_EQ(s.c->PenPos(), c.to);
  }
  // A polyline leaves out only the last point.
  Surface s;
  s.c->Pen()->SetColor(clBlack);
  s.c->Polyline({{1, 1}, {4, 1}, {4, 4}});
  EXPECT_EQ(s.Row(1, 0, 6, clBlack), ".####.");
  EXPECT_EQ(s.Row(3, 0, 6, clBlack), "....#.");
  EXPECT_EQ(s.Row(4, 0, 6, clBlack), "......");
  // A dotted pen sets every other pixel.
  s.c->Pen()->SetStyle(psDot);
  s.c->MoveTo(0, 10);
  s.c->LineTo(8, 10);
  EXPECT_EQ(s.Row(10, 0, 9, clBlack), "#.#.#.#..");
}

TEST(CanvasGui, RectangleDrawsItsOutlineInside) {
  Surface s;
  s.c->Pen()->SetColor(clBlack);
  s.c->Brush()->SetColor(clYellow);
  s.c->Rectangle(2, 2, 7, 6);
  EXPECT_EQ(s.Row(2, 1, 8, clBlack), ".#####.");
  EXPECT_EQ(s.Row(3, 1, 8, clBlack), ".#???#.");
  EXPECT_EQ(s.Row(3, 1, 8, clYellow), ".?###?.");
  EXPECT_EQ(s.Row(5, 1, 8, clBlack), ".#####.");
  EXPECT_EQ(s.Row(6, 1, 8, clBlack), ".......");
  // A wide pen grows inwards.
  s.c->Pen()->SetWidth(2);
  s.c->Rectangle(10, 10, 16, 16);
  EXPECT_EQ(s.Row(11, 9, 17, clBlack), ".######.");
  EXPECT_EQ(s.Row(12, 9, 17, clBlack), ".##??##.");
  // Without a pen the fill stops one pixel short on the right and bottom.
  s.c->Pen()->SetStyle(psClear);
  s.c->Brush()->SetColor(clRed);
  s.c->Rectangle(20, 20, 24, 24);
  EXPECT_EQ(s.Row(20, 19, 25, clRed), ".###..");
  EXPECT_EQ(s.Row(23, 19, 25, clRed), "......");
}

TEST(CanvasGui, TextOutFillsTheTextCellUnlessTheBrushIsClear) {
  Surface s(120, 40);
  s.c->Font()->SetColor(clBlack);
  s.c->Brush()->SetColor(clWhite);
  s.c->TextOut(5, 5, "Ab");
  int w = s.c->TextWidth("Ab"), h = s.c->TextHeight("Ab");
  EXPECT_EQ(s.c->PenPos().x, 5 + w);
  QImage img = s.bmp.Image();
  EXPECT_EQ(CountOther(img, Rect(5, 5, 5 + w, 5 + h), {clWhite, clBlack}), 0);
  EXPECT_GT(CountColor(img, Rect(5, 5, 5 + w, 5 + h), clBlack), 0);
  EXPECT_EQ(CountColor(img, Rect(0, 0, 120, 40), clWhite) + CountColor(img, Rect(0, 0, 120, 40), clBlack), w * h);
  s.c->Brush()->SetStyle(bsClear);
  s.c->TextOut(5, 22, "Ab");
  img = s.bmp.Image();
  EXPECT_EQ(CountColor(img, Rect(5, 22, 5 + w, 22 + h), clWhite), 0);
  // Right alignment ends the text at x.
  s.c->SetTextAlign(TA_RIGHT | TA_TOP);
  s.c->TextOut(110, 22, "Ab");
  img = s.bmp.Image();
  EXPECT_LT(LastInkColumn(img, Rect(60, 22, 120, 22 + h), kBack), 110);
  EXPECT_GE(LastInkColumn(img, Rect(60, 22, 120, 22 + h), kBack), 110 - 3);
}

TEST(CanvasGui, TextRectClipsToItsRectangle) {
  Surface s(80, 30);
  s.c->Brush()->SetColor(clWhite);
  s.c->Font()->SetColor(clBlack);
  s.c->TextRect(Rect(10, 5, 20, 20), 10, 5, "WWWWWW");
  QImage img = s.bmp.Image();
  EXPECT_EQ(CountColor(img, Rect(10, 5, 20, 20), clWhite) + CountColor(img, Rect(10, 5, 20, 20), clBlack), 150);
  EXPECT_EQ(CountOther(img, Rect(20, 0, 80, 30), {kBack}), 0);
}

TEST(CanvasGui, EdgesUseTheirPairsOfColours) {
  struct Case {
    unsigned edge;
    TColor outerTopLeft, outerBottomRight, innerTopLeft, innerBottomRight;
  };
  const Case cases[] = {
      {EDGE_RAISED, cl3DLight, cl3DDkShadow, clBtnHighlight, clBtnShadow},
      {EDGE_SUNKEN, clBtnShadow, clBtnHighlight, cl3DDkShadow, cl3DLight},
      {EDGE_ETCHED, clBtnShadow, clBtnHighlight, clBtnHighlight, clBtnShadow},
      {EDGE_BUMP, cl3DLight, cl3DDkShadow, cl3DDkShadow, cl3DLight},
  };
  for (const Case& c : cases) {
    Surface s;
    TRect r = Rect(2, 2, 12, 10);
    DrawEdge(s.c, r, c.edge, BF_RECT | BF_ADJUST);
    EXPECT_EQ(s.At(5, 2), ColorToRGB(c.outerTopLeft)) << c.edge;
    EXPECT_EQ(s.At(2, 5), ColorToRGB(c.outerTopLeft)) << c.edge;
    EXPECT_EQ(s.At(5, 9), ColorToRGB(c.outerBottomRight)) << c.edge;
    EXPECT_EQ(s.At(11, 5), ColorToRGB(c.outerBottomRight)) << c.edge;
    EXPECT_EQ(s.At(5, 3), ColorToRGB(c.innerTopLeft)) << c.edge;
    EXPECT_EQ(s.At(10, 5), ColorToRGB(c.innerBottomRight)) << c.edge;
    // The bottom-right lines own the shared corners.
    EXPECT_EQ(s.At(11, 2), ColorToRGB(c.outerBottomRight)) << c.edge;
    EXPECT_EQ(s.At(2, 9), ColorToRGB(c.outerBottomRight)) << c.edge;
    EXPECT_EQ(r, Rect(4, 4, 10, 8));
    EXPECT_EQ(s.At(5, 5), kBack);
  }
  Surface s;
  TRect r = Rect(0, 0, 10, 10);
  DrawEdge(s.c, r, BDR_RAISEDINNER, BF_TOP | BF_MIDDLE);
  EXPECT_EQ(s.At(3, 0), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(s.At(0, 5), ColorToRGB(clBtnFace));
  EXPECT_EQ(s.At(9, 9), ColorToRGB(clBtnFace));
}

TEST(CanvasGui, FocusRectangleIsAnXorPatternThatASecondCallRemoves) {
  Surface s;
  QImage before = s.bmp.Image().copy();
  s.c->DrawFocusRect(Rect(3, 3, 13, 9));
  QImage drawn = s.bmp.Image().copy();
  EXPECT_NE(drawn, before);
  // Every other pixel of the frame, inverted; the inside untouched.
  EXPECT_EQ(s.At(4, 3), kBack);
  EXPECT_EQ(s.At(5, 3), ColorToRGB(kBack ^ 0xFFFFFF));
  EXPECT_EQ(s.At(3, 5), ColorToRGB(kBack ^ 0xFFFFFF));
  EXPECT_EQ(s.At(6, 6), kBack);
  s.c->DrawFocusRect(Rect(3, 3, 13, 9));
  EXPECT_EQ(s.bmp.Image(), before);
}

TEST(CanvasGui, TextWidthIsTheSumOfRoundedGlyphAdvances) {
  TFont font;
  const AnsiString text = Cz("Příjmy Výdeje Zůstatek");
  TCanvas probe;
  TBitmap bmp;
  bmp.SetSize(300, 20);
  bmp.Canvas()->Font()->Assign(&font);
  int ours = bmp.Canvas()->TextWidth(text);
  QFont qf("Liberation Sans");
  qf.setPixelSize(11);
  qf.setHintingPreference(QFont::PreferNoHinting);
  QRawFont raw = QRawFont::fromFont(qf);
  QList<quint32> glyphs = raw.glyphIndexesForString(QString::fromUtf8("Příjmy Výdeje Zůstatek"));
  int qt = 0;
  for (QPointF a : raw.advancesForGlyphIndexes(glyphs)) qt += static_cast<int>(std::lround(a.x()));
  EXPECT_EQ(ours, qt);
  EXPECT_GT(ours, 80);
  // Glyphs land where the widths say: the ink of the text ends within its
  // width.
  bmp.Canvas()->Brush()->SetColor(clWhite);
  bmp.Canvas()->FillRect(Rect(0, 0, 300, 20));
  bmp.Canvas()->TextOut(0, 0, text);
  int last = LastInkColumn(bmp.Image(), Rect(0, 0, 300, 20), clWhite);
  EXPECT_LT(last, ours);
  EXPECT_GE(last, ours - 3);
  // Heights: ascent + descent, the same for every text; size and height
  // are two views of one value.
  EXPECT_EQ(bmp.Canvas()->TextHeight("x"), bmp.Canvas()->TextHeight(text));
  EXPECT_EQ(font.Size(), 8);
  font.SetSize(10);
  EXPECT_EQ(font.Height(), -13);
}

TEST(CanvasGui, OemCharsetReadsTheBytesAsCp852) {
  TBitmap bmp;
  bmp.SetSize(10, 10);
  TCanvas* c = bmp.Canvas();
  const AnsiString cp1250 = Cz("Příjem Žluťoučký");
  AnsiString cp852(cp1250.size(), ' ');
  CharToOemBuff(cp1250.data(), cp852.data(), cp1250.size());
  ASSERT_NE(cp852, cp1250);
  int ansiWidth = c->TextWidth(cp1250);
  c->Font()->SetCharset(OEM_CHARSET);
  EXPECT_EQ(c->TextWidth(cp852), ansiWidth);
  EXPECT_NE(c->TextWidth(cp1250), ansiWidth);
}

TEST(CanvasGui, DrawTextMeasuresBreaksAlignsAndUnderlinesAccelerators) {
  Surface s(200, 80);
  TCanvas* c = s.c;
  c->Brush()->SetStyle(bsClear);
  int line = c->TextHeight("W");
  TRect r = Rect(0, 0, 60, 0);
  int h = DrawText(c, "one two three four", r, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_GT(h, line);
  EXPECT_EQ(h % line, 0);
  EXPECT_LE(r.Width(), 60);
  TRect single = Rect(0, 0, 0, 0);
  DrawText(c, "&Storno", single, DT_CALCRECT);
  EXPECT_EQ(single.Width(), c->TextWidth("Storno"));
  TRect plain = Rect(0, 0, 0, 0);
  DrawText(c, "&Storno", plain, DT_CALCRECT | DT_NOPREFIX);
  EXPECT_EQ(plain.Width(), c->TextWidth("&Storno"));
  // Right alignment puts the ink at the right edge; the accelerator gets a
  // line under its letter.
  TRect box = Rect(10, 10, 190, 10 + line + 4);
  DrawText(c, "&Storno", box, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
  QImage img = s.bmp.Image();
  int last = LastInkColumn(img, box, kBack);
  EXPECT_LE(last, 189);
  EXPECT_GE(last, 186);
  int sw = c->TextWidth("S");
  int first = 190 - c->TextWidth("Storno");
  int underlineRow = -1;
  for (int y = box.Top; y < box.Bottom; ++y)
    if (CountOther(img, Rect(first, y, first + sw, y + 1), {kBack}) == sw) underlineRow = y;
  EXPECT_GT(underlineRow, 0);
  EXPECT_EQ(AcceleratorChar("&Storno"), 'S');
  EXPECT_EQ(AcceleratorChar("a&&b"), 0);
  EXPECT_TRUE(IsAccel('s', "&Storno"));
  EXPECT_EQ(StripAccelChars("&Ano && &Ne"), "Ano & Ne");
}

TEST(CanvasGui, BitmapsDrawWithTheirTransparentColour) {
  RegisterBitmapResource("TESTARROW", {"mm#mm", "m###m", "#####"}, {{'m', clFuchsia}, {'#', clBlack}});
  TBitmap pic;
  pic.LoadFromResourceName("testarrow");
  ASSERT_EQ(pic.Width(), 5);
  pic.SetTransparent(true);
  pic.SetTransparentColor(clFuchsia);
  Surface s;
  s.c->Draw(1, 1, &pic);
  EXPECT_EQ(s.Row(1, 0, 7, clBlack), "...#...");
  EXPECT_EQ(s.Row(3, 0, 7, clBlack), ".#####.");
  TBitmap empty;
  empty.LoadFromResourceName("EditBtn");
  EXPECT_TRUE(empty.Empty());
  EXPECT_THROW(RegisterBitmapResource("BAD", {"ab", "a"}, {{'a', clRed}, {'b', clRed}}), EInvalidGraphic);
  // An image list cuts a strip into pictures and masks each.
  TImageList list(nullptr);
  list.SetWidth(5);
  list.SetHeight(3);
  TBitmap strip;
  strip.SetSize(10, 3);
  strip.Canvas()->Brush()->SetColor(clWhite);
  strip.Canvas()->FillRect(Rect(0, 0, 10, 3));
  strip.Canvas()->Draw(5, 0, &pic);
  EXPECT_EQ(list.AddMasked(&strip, clWhite), 0);
  EXPECT_EQ(list.Count(), 2);
  Surface t;
  list.Draw(t.c, 0, 0, 1);
  EXPECT_EQ(t.Row(2, 0, 6, clBlack), "#####.");
  // What was see-through in the strip stays see-through.
  EXPECT_EQ(t.At(0, 0), kBack);
}

}  // namespace
