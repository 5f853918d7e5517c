#include "report/tests/support/sample_reports.h"

#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"

const double kVoucherAmounts[3] = {3.14, 1234.5, 98765.43};

void PrintVoucherSample(TBaseReport* r) {
  r->SelectFont("ArialCE", 12);
  r->SetFontCharset(238);
  r->SetBold(true);
  r->SetYPos(1.5);
  r->TextCenterAt(Cz("Pokladní doklad"), 10.5 / 2.54);
  r->SetBold(false);
  r->SetYPos(3);
  r->ClearAllTabs();
  r->AddTab(2, pjLeft, 8, 10, BOXLINEALL, 10);
  r->AddTab(-1, pjRight, 5.5, 10, BOXLINEALL, 0);
  for (double amount : kVoucherAmounts) {
    r->PrintText(Cz("\tŽluťoučký kůň\t") + Format("%8.2f", amount));
    r->NewLine();
  }
  r->SetPen(clBlack, psSolid, 2, pmCopy);
  r->MoveTo(2, 6);
  r->LineTo(15.5, 6);
}

void PrintCashBookSample(TBaseReport* r, int pages) {
  r->SelectFont("Arial", 10);
  for (int page = 1; page <= pages; ++page) {
    if (page > 1) r->NewPage();
    r->SetYPos(1);
    r->TextLeftAt("Pokladni kniha", 1);
    r->SetYPos(1.3);
    r->TextRightAt("Strana " + r->MacroText(11) + " z " + r->MacroText(10), 7.5);
    for (int line = 0; line < 20; ++line) {
      r->SetYPos(1.6 + line * 0.2);
      r->TextLeftAt(Format("%4d  Doklad %d", line + 1, page * 100 + line), 1);
      r->TextRightAt(Format("%8.2f", (page * 20 + line) * 12.5), 7.5);
    }
    r->SetYPos(10);
    r->TextLeftAt("Celkem: " + r->MacroText(AnsiString("Total")), 1);
    if (page == pages) r->SetNamedValue("Total", Format("%.2f", pages * 1000.0));
  }
}

void PrintShapesSample(TBaseReport* r) {
  r->SetPen(clBlue, psSolid, 1, pmCopy);
  r->SetBrush(clYellow, bsSolid, nullptr);
  r->Rectangle(0.5, 0.5, 2, 1.5);
  r->Ellipse(2.5, 0.5, 4, 1.5);
  r->RoundRect(4.5, 0.5, 6, 1.5, 0.2, 0.2);
  r->MoveTo(0.5, 2);
  r->LineTo(6, 2.2);
  TBitmap bmp;
  bmp.SetSize(8, 8);
  bmp.Canvas()->Brush()->SetColor(clRed);
  bmp.Canvas()->FillRect(Rect(0, 0, 8, 8));
  r->PrintBitmapRect(0.5, 2.5, 1, 3, &bmp);
  r->RegisterGraphic(1);
  r->ReuseGraphic(1);
  r->PrintBitmapRect(1.5, 2.5, 2, 3, &bmp);
  r->SelectFont("Arial", 12);
  r->SetFontRotation(90);
  r->SetYPos(5);
  r->TextLeftAt("Rotated", 1);
  r->SetFontRotation(0);
  r->SetYPos(4);
  r->TextLeftAt("Plain \x01" "B1\x04" "bold", 2);
  r->SetSuperscript(true);
  r->TextLeftAt("2", 4);
  r->SetSuperscript(false);
}
