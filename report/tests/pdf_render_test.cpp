// The PDF renderer's own bytes: file structure, numbering and cross
// references, number formats, colours and state changes, text objects,
// shapes, pictures, compression, file names and the CP1250 font encoding.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QColor>
#include <QImage>

#include <fstream>
#include <regex>

#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "report/pdf_fonts.h"
#include "report/tests/renderer_fixtures.h"
#include "report/tests/support/sample_reports.h"
#include "testing/temp_dir.h"

namespace {

using PdfRender = RendererTest;

constexpr double kPageHeight = 841.92 / 72;  // A4 as the office printer gives it

int64_t SizeOf(const std::string& path) {
  std::ifstream f(path, std::ios::binary | std::ios::ate);
  return f ? static_cast<int64_t>(f.tellg()) : -1;
}

// The operators of page 1 (its content stream, uncompressed).
std::string Content(const std::string& pdf) {
  std::size_t start = pdf.find("5 0 obj");
  start = pdf.find("stream\r\n", start) + 8;
  return pdf.substr(start, pdf.find("endstream", start) - start);
}

std::string PageOps(const std::function<void(TBaseReport*)>& body) {
  return Content(RenderPdf(MakeStream(body)));
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) ++n;
  return n;
}

// Checks the cross-reference table against the bodies: object k starts at
// its entry's offset, startxref points at "xref". Answers the object count.
int CheckXref(const std::string& pdf) {
  std::size_t sx = pdf.rfind("startxref\r\n");
  EXPECT_NE(sx, std::string::npos);
  std::size_t xref = std::stoul(pdf.substr(sx + 11));
  EXPECT_EQ(pdf.compare(xref, 6, "xref\r\n"), 0);
  std::size_t p = xref + 6;
  std::size_t eol = pdf.find("\r\n", p);
  int size = std::stoi(pdf.substr(p + 2, eol - p - 2));
  p = eol + 2;
  EXPECT_EQ(pdf.substr(p, 20), "0000000000 65535 f\r\n");
  for (int k = 1; k < size; ++k) {
    std::string entry = pdf.substr(p + 20 * static_cast<std::size_t>(k), 20);
    EXPECT_TRUE(std::regex_match(entry, std::regex("[0-9]{10} 00000 n\r\n"))) << entry;
    std::size_t offset = std::stoul(entry.substr(0, 10));
    std::string head = std::to_string(k) + " 0 obj\r\n";
    EXPECT_EQ(pdf.compare(offset, head.size(), head), 0) << "object " << k;
  }
  EXPECT_NE(pdf.find("/Size " + std::to_string(size) + "\r\n/Root 1 0 R"), std::string::npos);
  return size - 1;
}

TEST_F(PdfRender, OnePageDocumentHasTwentyObjectsInNumberOrder) {
  std::string pdf = RenderPdf(MakeStream(PrintVoucherSample, unCM));
  EXPECT_EQ(pdf.substr(0, 19), "%PDF-1.3\r\n%\xE2\xE3\xCF\xD3\r\n\r\n");
  EXPECT_EQ(CheckXref(pdf), 20);
  EXPECT_EQ(Count(pdf, "\r\nxref\r\n0 21\r\n"), 1);
  EXPECT_NE(pdf.find("/Kids [ 4 0 R ] \r\n"), std::string::npos);
  EXPECT_NE(pdf.find("/Contents 5 0 R\r\n"), std::string::npos);
  EXPECT_NE(pdf.find("6 0 obj\r\n[/PDF /Text]\r\n"), std::string::npos);
  EXPECT_NE(pdf.find("20 0 obj\r\n<<\r\n/Type /Font\r\n/Subtype /Type1\r\n/Name /F14\r\n/BaseFont /ZapfDingbats\r\n"
                     "/Encoding /WinAnsiEncoding\r\n"),
            std::string::npos);
  EXPECT_EQ(pdf.find("/PageMode"), std::string::npos);
  EXPECT_EQ(pdf.substr(pdf.size() - 7), "%%EOF\r\n");
  // The process settings use "," (the Czech default); no number may.
  ASSERT_EQ(FormatSettings().DecimalSeparator, ',');
  // (The texts themselves are the report's: "3,14" stays.)
  std::string numbers = std::regex_replace(pdf, std::regex("\\( .* \\) Tj"), "");
  EXPECT_FALSE(std::regex_search(numbers, std::regex("[0-9],[0-9]")));
  // Every line ends in CR LF outside the binary header line.
  EXPECT_FALSE(std::regex_search(pdf.substr(20), std::regex("[^\r]\n")));
}

TEST_F(PdfRender, PagesChainTheirNumbersAndTakeTheirSize) {
  std::string pdf = RenderPdf(MakeStream([](TBaseReport* r) { PrintCashBookSample(r, 3); }));
  EXPECT_EQ(CheckXref(pdf), 24);
  EXPECT_NE(pdf.find("/Count 3\r\n/Kids [ 4 0 R 6 0 R 8 0 R ] \r\n"), std::string::npos);
  EXPECT_EQ(Count(pdf, "/MediaBox [0 0 595.3200 841.9200]"), 3);
  EXPECT_EQ(Count(pdf, "/ProcSet 10 0 R"), 3);
}

TEST_F(PdfRender, ColourTexts) {
  const std::pair<TColor, const char*> cases[] = {
      {clBlack, "0 0 0"}, {clRed, "1 0 0"}, {static_cast<TColor>(0x808080), "0.502 0.502 0.502"},
      {static_cast<TColor>(0x80000005), "0 0 0"}, {static_cast<TColor>(0xFF0000), "0 0 1"}};
  for (auto [color, text] : cases) EXPECT_EQ(PdfColorText(color), text) << std::hex << color;
}

TEST_F(PdfRender, StateIsWrittenOnlyWhenItChanges) {
  std::string ops = PageOps([](TBaseReport* r) {
    r->SetPen(clBlue, psSolid, 1, pmCopy);
    r->SetBrush(clYellow, bsSolid, nullptr);
    r->Rectangle(1, 1, 2, 2);
    r->Rectangle(2, 2, 3, 3);
    r->Ellipse(1, 3, 2, 4);
  });
  EXPECT_EQ(Count(ops, " RG\r\n"), 1);
  EXPECT_EQ(Count(ops, " rg\r\n"), 1);
  EXPECT_EQ(Count(ops, " w \r\n"), 1);
  EXPECT_EQ(Count(ops, "[] 0 d\r\n"), 1);
  EXPECT_EQ(ops.substr(0, 5), "2 J\r\n");

  // Text colour: once for two texts, again after a shape wrote colours.
  std::string texts = PageOps([](TBaseReport* r) {
    r->SetFontColor(clRed);
    r->SetYPos(1);
    r->TextLeftAt("a", 1);
    r->TextLeftAt("b", 2);
    r->Rectangle(1, 2, 2, 3);
    r->TextLeftAt("c", 3);
  });
  EXPECT_EQ(Count(texts, "1 0 0 rg\r\n"), 2);
  std::size_t rect = texts.find(" re ");
  EXPECT_NE(texts.find("1 0 0 rg\r\n", rect), std::string::npos);
}

TEST_F(PdfRender, TextObjects) {
  std::string ops = PageOps([](TBaseReport* r) {
    r->SelectFont("Arial", 12);
    r->SetYPos(1);
    r->TextLeftAt("a(b)c\\d", 1);
    r->SelectFont("Courier New", 10);
    r->TextLeftAt("x", 2);
    r->SelectFont("Arial", 12);
    r->SetUnderline(true);
    r->SetFontRotation(90);
    r->TextLeftAt("up", 3);
  });
  EXPECT_NE(ops.find("( a\\(b\\)c\\\\d ) Tj\r\n"), std::string::npos);
  EXPECT_NE(ops.find("/F5 0012 Tf\r\n"), std::string::npos);
  EXPECT_NE(ops.find("/F1 0010 Tf\r\n"), std::string::npos);
  // The blank before the text is taken back: 0.275 em, 0.65 for Courier.
  EXPECT_NE(ops.find(FormatWith(PdfNumberFormat(), "%.4f ", 72 - 0.275 * 12) + "769.9200 Td"), std::string::npos)
      << ops;
  EXPECT_NE(ops.find(FormatWith(PdfNumberFormat(), "%.4f ", 144 - 0.65 * 10) + "769.9200 Td"), std::string::npos);
  // Rotated: a text matrix and no underline line.
  EXPECT_NE(ops.find("0.0000 1.0000 -1.0000 0.0000 216.0000 769.9200 Tm"), std::string::npos);
  EXPECT_EQ(ops.find(" l "), std::string::npos);

  // A clipped text restores the graphics state: what was written inside no
  // longer counts, so the next text writes its colour again.
  std::string clipped = PageOps([](TBaseReport* r) {
    r->SetFontColor(clRed);
    r->TextRect(Rect(600, 600, 1800, 900), 1, 1.2, "clip");
    r->SetYPos(2);
    r->TextLeftAt("after", 1);
  });
  std::size_t q = clipped.find(" q \r\n0.0000 w \r\n"), restore = clipped.find(" Q \r\n");
  ASSERT_NE(q, std::string::npos) << clipped;
  EXPECT_NE(clipped.find(" re W n \r\nBT\r\n1 0 0 rg\r\n", q), std::string::npos) << clipped;
  EXPECT_NE(clipped.find("1 0 0 rg\r\n", restore), std::string::npos) << clipped;

  std::string under = PageOps([](TBaseReport* r) {
    r->SelectFont("Arial", 10);
    r->SetUnderline(true);
    r->SetStrikeOut(true);
    r->SetYPos(1);
    r->TextRightAt("Ab", 2);
  });
  double w = (667 + 556) / 1000.0 * 10 / 72;
  EXPECT_NE(under.find(FormatWith(PdfNumberFormat(), "%.4f %.4f m", (2 - w) * 72, (kPageHeight - 1 - 1.5 * 11 * 0.0014) * 72)),
            std::string::npos)
      << under;
  EXPECT_EQ(Count(under, " l S\r\n"), 2);
}

TEST_F(PdfRender, ShapesAndPaintOperators) {
  struct Case {
    TPenStyle pen;
    TBrushStyle brush;
    const char* rectangle;  // the paint of Rectangle, "" = nothing written
    const char* fill;       // of FillRect
  } cases[] = {{psSolid, bsSolid, "re b", "re f"},
               {psClear, bsSolid, "re f", "re f"},
               {psSolid, bsClear, "re S", ""},
               {psClear, bsClear, "", ""}};
  for (const Case& c : cases) {
    std::string ops = PageOps([&](TBaseReport* r) {
      r->SetPen(clBlack, c.pen, 1, pmCopy);
      r->SetBrush(clRed, c.brush, nullptr);
      r->Rectangle(1, 1, 2, 2);
    });
    EXPECT_EQ(ops.find(" re ") != std::string::npos, *c.rectangle != 0);
    if (*c.rectangle) {
      EXPECT_NE(ops.find(std::string(c.rectangle) + "\r\n"), std::string::npos) << ops;
    }
    std::string fill = PageOps([&](TBaseReport* r) {
      r->SetPen(clBlack, c.pen, 1, pmCopy);
      r->SetBrush(clRed, c.brush, nullptr);
      r->FillRect(Rect(72, 72, 144, 144));
    });
    if (*c.fill) {
      EXPECT_NE(fill.find(std::string(c.fill) + "\r\n"), std::string::npos) << fill;
    } else {
      EXPECT_EQ(fill, "2 J\r\n");
    }
  }

  // A polyline breaks its line after every fourth point and is stroked.
  std::string poly = PageOps([](TBaseReport* r) {
    std::vector<TPoint> points;
    for (int i = 0; i < 6; ++i) points.push_back(TPoint{600 + 100 * i, 600 + 50 * (i % 2)});
    r->Polyline(points);
  });
  EXPECT_TRUE(std::regex_search(poly, std::regex(" m\r\n(\\S+ \\S+ l ){4}\r\n(\\S+ \\S+ l ){2}S\r\n"))) << poly;

  std::string ops = PageOps([](TBaseReport* r) {
    r->Ellipse(1, 1, 3, 2);
    r->Arc(1, 3, 3, 5, 3, 4, 1, 4);  // 0 to 180 degrees
    r->Arc(1, 6, 3, 8, 3, 7, 2, 8);  // 0 to 270 degrees
  });
  std::size_t arc1 = ops.find("% arc code"), arc2 = ops.find("% arc code", arc1 + 1);
  EXPECT_EQ(Count(ops.substr(0, arc1), " c\r\n"), 4);
  EXPECT_EQ(Count(ops.substr(arc1, arc2 - arc1), " c\r\n"), 2);
  EXPECT_EQ(Count(ops.substr(arc2), " c\r\n"), 3);
  // The first quarter from the leftmost point: its control point lies
  // 0.5522847498307935 of the half axis above it.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(ops, m, std::regex("([0-9.]+) ([0-9.]+) m\r\n([0-9.]+) ([0-9.]+) [0-9. ]+ ([0-9.]+) c")));
  double cy = std::stod(m[2]), top = std::stod(m[5]);
  EXPECT_EQ(m[1], m[3]);
  EXPECT_NEAR((std::stod(m[4]) - cy) / (top - cy), 0.5522847498307935, 1e-4);
  EXPECT_NEAR(cy, (kPageHeight - 1.5) * 72, 0.01);
}

TEST_F(PdfRender, PicturesAreJpegObjectsListedOnEveryPage) {
  std::string pdf = RenderPdf(MakeStream([](TBaseReport* r) {
    TBitmap bmp;
    bmp.SetSize(4, 3);
    r->PrintBitmapRect(1, 1, 2, 2, &bmp);
    r->NewPage();
    r->PrintBitmap(1, 1, 2, 2, &bmp);
    r->StretchDraw(Rect(0, 0, 600, 300), &bmp);  // printer pixels: 1 x 0.5 in
  }));
  EXPECT_EQ(CheckXref(pdf), 25);  // 2 pages, procset, 14 fonts, 3 pictures
  EXPECT_NE(pdf.find("8 0 obj\r\n[/PDF /Text /ImageB /ImageC /ImageI]"), std::string::npos);
  EXPECT_EQ(Count(pdf, "/XObject <<\r\n/G1 23 0 R\r\n/G2 24 0 R\r\n/G3 25 0 R\r\n>>"), 2);
  EXPECT_NE(pdf.find("/Name /G1\r\n/Width 4 /Height 3 \r\n"), std::string::npos);
  EXPECT_NE(pdf.find("/Name /G3\r\n/Width 300 /Height 150 \r\n"), std::string::npos);  // at 300 dpi
  EXPECT_NE(pdf.find("q\r\n72.0000 0 0 72.0000 72.0000 697.9200 cm\r\n/G1 Do\r\nQ\r\n"), std::string::npos);
  EXPECT_NE(pdf.find("8.0000 0 0 6.0000 72.0000"), std::string::npos);  // 4 x 3 px at 72 dpi, scale 2
  const std::string head = "/Filter [/DCTDecode ]\r\n>>\r\nstream\r\n";
  EXPECT_EQ(pdf.substr(pdf.find(head) + head.size(), 3), "\xFF\xD8\xFF");
}

TEST_F(PdfRender, MetafilesBecomeWhitePicturesOfTheirSize) {
  // A placeable metafile of 1 x 0.5 inch (its drawing is not read here).
  std::string wmf = std::string("\xD7\xCD\xC6\x9A\0\0\0\0\0\0\xA0\x05\xD0\x02\xA0\x05\0\0\0\0\0\0", 22);
  TMemoryStream m;
  m.WriteBuffer(wmf.data(), static_cast<int64_t>(wmf.size()));
  m.SetPosition(0);
  TMetafile meta;
  meta.LoadFromStream(m);
  std::string pdf = RenderPdf(MakeStream([&](TBaseReport* r) {
    r->Draw(1, 1, &meta);
    r->StretchDraw(Rect(0, 0, 600, 600), &meta);  // printer pixels: 1 x 1 inch
  }));
  EXPECT_NE(pdf.find("/Name /G1\r\n/Width 96 /Height 48 \r\n"), std::string::npos);
  EXPECT_NE(pdf.find("/Name /G2\r\n/Width 300 /Height 300 \r\n"), std::string::npos);
  const std::string head = "stream\r\n\xFF\xD8";
  std::size_t jpeg = pdf.find(head) + 8;
  QImage image = QImage::fromData(reinterpret_cast<const uchar*>(pdf.data() + jpeg),
                                  static_cast<int>(pdf.find("\r\nendstream", jpeg) - jpeg), "JPG");
  ASSERT_EQ(image.size(), QSize(96, 48));
  EXPECT_EQ(image.pixelColor(48, 24), QColor(Qt::white));
}

TEST_F(PdfRender, CompressionGoesThroughTheHandler) {
  std::string pdf = RenderPdf(MakeStream(PrintVoucherSample, unCM), [](TRptRenderPDF& p) {
    p.UseCompression = true;
    p.OnCompress = [](TStream* source, TStream* dest, AnsiString& filter) {
      QByteArray in(static_cast<int>(source->Size()), 0);
      source->ReadBuffer(in.data(), in.size());
      QByteArray out = qCompress(in).mid(4);  // zlib data after Qt's length prefix
      dest->WriteBuffer(out.constData(), out.size());
      EXPECT_EQ(filter, "FlateDecode");
    };
  });
  CheckXref(pdf);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(pdf, m, std::regex("5 0 obj\r\n<<\r\n/Length ([0-9]+)\r\n/Filter \\[/FlateDecode\\]\r\n"
                                                   ">>\r\nstream\r\n")));
  std::size_t length = std::stoul(m[1]);
  std::size_t start = static_cast<std::size_t>(m.position(0) + m.length(0));
  EXPECT_EQ(pdf.compare(start + length, 11, "\r\nendstream"), 0);
  std::string plain = Content(RenderPdf(MakeStream(PrintVoucherSample, unCM)));
  QByteArray packed(4, 0);
  for (int i = 0; i < 4; ++i) packed[i] = static_cast<char>(plain.size() >> (24 - 8 * i));
  packed.append(pdf.data() + start, static_cast<int>(length));
  EXPECT_EQ(qUncompress(packed).toStdString(), plain);
  EXPECT_EQ(pdf.find("<< /Length"), std::string::npos);
}

TEST_F(PdfRender, TextFontsCarryTheCp1250Encoding) {
  std::string pdf = RenderPdf(MakeStream(PrintVoucherSample, unCM));
  EXPECT_EQ(Count(pdf, "/Encoding << /Type /Encoding /BaseEncoding /WinAnsiEncoding /Differences [ 129 /.notdef"), 12);
  const std::pair<const char*, const char*> glyphs[] = {
      {" 216 /Rcaron /Uring ", "Ř Ů"}, {"140 /Sacute /Tcaron ", "Ś Ť"}, {"156 /sacute /tcaron ", "ś ť"},
      {"200 /Ccaron ", "Č"}, {"248 /rcaron /uring ", "ř ů"}};
  for (auto [text, what] : glyphs) EXPECT_NE(pdf.find(text), std::string::npos) << what;
  EXPECT_EQ(PdfCharWidth(4, 0xD8), 722);  // Rcaron in Helvetica, not Oslash's 778
  EXPECT_EQ(PdfCharWidth(4, 'A'), 667);
  EXPECT_EQ(PdfCharWidth(8, ' '), 250);
  EXPECT_EQ(PdfCharWidth(0, 0xD8), 600);
  EXPECT_EQ(PdfCharWidth(4, 5), 0);

  // Other encodings are named as they are.
  std::string mac = RenderPdf(MakeStream(PrintVoucherSample, unCM),
                              [](TRptRenderPDF& p) { p.FontEncoding = feMacRomanEncoding; });
  EXPECT_EQ(Count(mac, "/Encoding /MacRomanEncoding\r\n"), 14);
}

TEST_F(PdfRender, FontChoice) {
  const std::tuple<const char*, bool, bool, int> cases[] = {
      {"Courier New", false, false, 0}, {"courier", true, true, 3},        {"Times New Roman", false, true, 10},
      {"ArialCE", true, false, 5},      {"Symbol", true, true, 12},        {"ZAPFDINGBATS", false, false, 13},
      {"Times", false, false, 4}};
  for (auto [name, bold, italic, index] : cases) EXPECT_EQ(PdfFontIndex(name, bold, italic), index) << name;
}

TEST_F(PdfRender, FileNamesAndDamagedStreams) {
  TempDir dir;
  ASSERT_TRUE(CreateDir(dir.Path() + "/reports.v2"));
  std::string stream = MakeStream(PrintVoucherSample, unCM);
  TMemoryStream in;
  in.WriteBuffer(stream.data(), static_cast<int64_t>(stream.size()));
  TRptRenderPDF pdf;
  const std::pair<std::string, std::string> names[] = {
      {"/reports.v2/out", "/reports.v2/out.pdf"}, {"/a.pdf", "/a.pdf"}, {"/b.txt", "/b.txt"}};
  for (auto [given, written] : names) {
    in.SetPosition(0);
    pdf.RenderFile(&in, dir.Path() + given);
    EXPECT_TRUE(FileExists(dir.Path() + written)) << given;
  }
  // A stream with a damaged header or page chain fails before the
  // existing file is touched.
  int64_t before = SizeOf(dir.Path() + "/a.pdf");
  for (const std::string& damaged : {stream.substr(0, 10), "X" + stream.substr(1)}) {
    TMemoryStream bad;
    bad.WriteBuffer(damaged.data(), static_cast<int64_t>(damaged.size()));
    bad.SetPosition(0);
    EXPECT_ANY_THROW(pdf.RenderFile(&bad, dir.Path() + "/a.pdf"));
    EXPECT_EQ(SizeOf(dir.Path() + "/a.pdf"), before);
  }
}

TEST_F(PdfRender, ZeroPagesGiveOneBlankPage) {
  std::string pdf = RenderPdf(MakeStream([](TBaseReport* r) { PrintCashBookSample(r, 3); }, unInch,
                                         [](TReportFiler& f) { f.SetSelection("7"); }));
  EXPECT_EQ(CheckXref(pdf), 20);
  EXPECT_NE(pdf.find("/MediaBox [0 0 612.0000 792.0000]"), std::string::npos);
  EXPECT_EQ(Content(pdf), "2 J\r\n");
}

}  // namespace
