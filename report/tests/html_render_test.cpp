// The HTML renderer: one file per page with its script and footer, file
// names, elements and colour blocks, pictures in the cache folder, escaping
// and the declared encoding; the pages are read back by html5lib and PIL.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "report/html_render.h"
#include "report/tests/renderer_fixtures.h"
#include "report/tests/support/sample_reports.h"
#include "testing/temp_dir.h"
#include "testing/tool_run.h"

namespace {

using HtmlCrosscheck = RendererTest;

std::string Read(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

void RenderHtml(const std::string& stream, const std::string& name, const std::function<void(TRptRenderHTML&)>& setup = {}) {
  TMemoryStream in;
  in.WriteBuffer(stream.data(), static_cast<int64_t>(stream.size()));
  in.SetPosition(0);
  TRptRenderHTML html;
  if (setup) setup(html);
  html.RenderFile(&in, name);
}

std::vector<std::string> Files(const std::string& dir) {
  std::vector<std::string> out;
  for (auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

// The fixed part of every page after its page number and count.
const char kScriptTail[] =
    "\r\n"
    "function GotoPage(APageNo) {\r\n"
    "  location.href = GPageURL.replace(/{%PAGENO%}/,APageNo);\r\n"
    "}\r\n"
    "\r\n"
    "function NextPage() {\r\n"
    "  if (GPageNo < GPageCount)\r\n"
    "    {GotoPage(GPageNo + 1);}\r\n"
    "  else\r\n"
    "    {window.alert(\"This is the last page.\")}\r\n"
    "}\r\n"
    "\r\n"
    "function PrevPage() {\r\n"
    "  if (GPageNo > 1)\r\n"
    "    {GotoPage(GPageNo - 1);}\r\n"
    "  else\r\n"
    "    {window.alert(\"This is the first page.\")}\r\n"
    "}\r\n"
    "\r\n"
    "</SCRIPT>\r\n"
    "<HTML><HEAD>\r\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1250\">\r\n"
    "<STYLE TYPE=\"text/css\">\r\n"
    "<!--\r\n"
    "DIV {position:absolute}\r\n"
    "-->\r\n"
    "</STYLE>\r\n"
    "</HEAD>\r\n"
    "<BODY>\r\n";

TEST_F(HtmlCrosscheck, OneFilePerPageWithItsScriptAndFooter) {
  TempDir dir;
  RenderHtml(MakeStream([](TBaseReport* r) { PrintCashBookSample(r, 3); }), dir.Path() + "/out.html");
  EXPECT_EQ(Files(dir.Path()), (std::vector<std::string>{"out1.html", "out2.html", "out3.html"}));
  for (int i = 1; i <= 3; ++i) {
    std::string page = Read(dir.Path() + "/out" + std::to_string(i) + ".html");
    std::string head = "\r\n<SCRIPT Language=Javascript>\r\nvar GPageURL = \"out{%PAGENO%}.html\";\r\nvar GPageNo = " +
                       std::to_string(i) + ";\r\nvar GPageCount = 3;\r\n" + kScriptTail;
    EXPECT_EQ(page.substr(0, head.size()), head);
    EXPECT_LT(page.find("windows-1250"), 1024u);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(page, m, std::regex("\r\n<DIV style=\"COLOR: #000000; FONT: 10pt 'Arial'; LEFT: 0px; "
                                                      "TOP: ([0-9]+)px\">\r\n<HR><P ALIGN=CENTER>\r\n<A HREF=\""
                                                      "javascript:PrevPage\\(\\);\">Previous Page</A>\r\n --------- \r\n"
                                                      "<A HREF=\"javascript:NextPage\\(\\);\">Next Page</A>\r\n"
                                                      "</P></DIV></BODY></HTML>\r\n$")));
    // The footer sits an inch below the lowest element (the total at 10 in).
    EXPECT_EQ(std::stoi(m[1]), std::lround((10 - 10.0 / 72 + 1) * 96));
  }
}

TEST_F(HtmlCrosscheck, FileNamesAndEmptyReports) {
  TempDir dir;
  ASSERT_TRUE(CreateDir(dir.Path() + "/reports.v2"));
  std::string stream = MakeStream([](TBaseReport* r) { PrintCashBookSample(r, 3); });
  RenderHtml(stream, dir.Path() + "/reports.v2/out");
  RenderHtml(stream, dir.Path() + "/a.htm");
  RenderHtml(stream, dir.Path() + "/b.");
  EXPECT_EQ(Files(dir.Path()), (std::vector<std::string>{"a1.htm", "a2.htm", "a3.htm", "b1.html", "b2.html",
                                                          "b3.html", "reports.v2"}));
  EXPECT_EQ(Files(dir.Path() + "/reports.v2"), (std::vector<std::string>{"out1.html", "out2.html", "out3.html"}));
  EXPECT_NE(Read(dir.Path() + "/reports.v2/out1.html").find("var GPageURL = \"out{%PAGENO%}.html\";"),
            std::string::npos);

  // No page selected: no file and no error.
  TempDir empty;
  RenderHtml(MakeStream([](TBaseReport* r) { PrintCashBookSample(r, 3); }, unInch,
                        [](TReportFiler& f) { f.SetSelection("7"); }),
             empty.Path() + "/out.html");
  EXPECT_TRUE(Files(empty.Path()).empty());
}

// Elements of one page of the fixture below, without the script and footer.
std::vector<std::string> Elements(const std::string& page) {
  std::vector<std::string> out;
  std::istringstream in(page);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("<DIV STYLE=", 0) == 0) out.push_back(line.substr(0, line.size() - 1));
  return out;
}

TEST_F(HtmlCrosscheck, ElementsBlocksAndPictures) {
  TempDir dir;
  std::string stream = MakeStream([](TBaseReport* r) {
    r->SelectFont("Arial", 12);
    r->SetYPos(1);
    r->TextLeftAt("Left", 1);
    r->SetBold(true);
    r->SetItalic(true);
    r->SetUnderline(true);
    r->SetFontColor(clRed);
    r->TextRightAt("Right", 4);
    r->SetPen(clBlue, psSolid, 1, pmCopy);
    r->SetBrush(clYellow, bsSolid, nullptr);
    r->Rectangle(1, 2, 3, 2.5);
    r->Rectangle(1, 3, 2, 3.5);
    r->MoveTo(1, 4);
    r->LineTo(3, 5);  // diagonal: nothing
    r->LineTo(3, 6);  // vertical
    TBitmap bmp;
    bmp.SetSize(8, 4);
    bmp.Canvas()->Brush()->SetColor(clGreen);
    bmp.Canvas()->FillRect(Rect(0, 0, 8, 4));
    r->PrintBitmapRect(1, 7, 2, 7.5, &bmp);
    r->StretchDraw(Rect(0, 0, 600, 300), &bmp);  // printer pixels: 1 x 0.5 in
  });
  RenderHtml(stream, dir.Path() + "/p.html", [&](TRptRenderHTML& h) { h.CacheDir = dir.Path(); });
  std::vector<std::string> e = Elements(Read(dir.Path() + "/p1.html"));
  ASSERT_EQ(e.size(), 15u);  // 2 texts, 2 x 5 blocks, 2 pictures, 1 line (flushed last)
  EXPECT_EQ(e[0], "<DIV STYLE=\"left:96;top:" + std::to_string(std::lround((1 - 12.0 / 72) * 96)) +
                      ";width:384;font:normal normal 12pt 'Arial'\">Left</DIV>");
  EXPECT_EQ(e[1], "<DIV STYLE=\"left:0;top:80;width:384;font:italic bold 12pt 'Arial';text-decoration:underline;"
                  "color:#FF0000\"><P ALIGN=RIGHT>Right</DIV>");
  // Brush, then the pen's left, bottom, right and top edges.
  const char* blocks[] = {"left:96;top:192;width:192;height:48;\"><IMG SRC=\"%sFFFF00.gif\" WIDTH=192 HEIGHT=48>",
                          "left:96;top:192;width:1;height:48;\"><IMG SRC=\"%s0000FF.gif\" WIDTH=1 HEIGHT=48>",
                          "left:96;top:239;width:192;height:1;\"><IMG SRC=\"%s0000FF.gif\" WIDTH=192 HEIGHT=1>",
                          "left:287;top:192;width:1;height:48;\"><IMG SRC=\"%s0000FF.gif\" WIDTH=1 HEIGHT=48>",
                          "left:96;top:192;width:192;height:1;\"><IMG SRC=\"%s0000FF.gif\" WIDTH=192 HEIGHT=1>"};
  std::string folder = IncludeTrailingPathDelimiter(dir.Path());
  for (int i = 0; i < 5; ++i) {
    std::string want = std::regex_replace(blocks[i], std::regex("%s"), folder);
    EXPECT_EQ(e[static_cast<std::size_t>(2 + i)], "<DIV STYLE=\"" + want + "</DIV>");
  }
  EXPECT_NE(e[7].find(folder + "FFFF00.gif"), std::string::npos);  // the same file for the same colour
  EXPECT_NE(e[14].find("left:288;top:480;width:1;height:96;"), std::string::npos) << e[14];
  EXPECT_EQ(TRptRenderHTML::ColorGif(clRed).size(), 78u);
  EXPECT_EQ(Read(folder + "0000FF.gif"), TRptRenderHTML::ColorGif(clBlue));
  // Pictures: a cache file for the bitmap, a ".jpg" one for the stretched draw.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(e[12], m, std::regex("left:96;top:672;width:96;height:48;\"><IMG Src=\"(.*/)(jpg[^\"]*)\" "
                                                     "width=96 height=48>")));
  EXPECT_EQ(m[1].str(), folder);
  EXPECT_EQ(m[2].str().size(), 9u);
  EXPECT_EQ(Read(folder + m[2].str()).substr(0, 2), "\xFF\xD8");
  ASSERT_TRUE(std::regex_search(e[13], m, std::regex("IMG Src=\".*/(jpg[^\"]*\\.jpg)\" width=96 height=48>")));

  // The same through html5lib and PIL.
  std::ofstream(folder + "expected.txt") << "text:Left\ntext:Right\njpeg:8 4 0 128 0\njpeg:300 150 0 128 0\n";
  if (!PythonHas({"html5lib", "PIL"})) GTEST_SKIP() << "python3-html5lib or python3-pil is not installed";
  ToolRun check = RunTool({"/usr/bin/python3", REPORT_TESTS_DIR "/crosscheck/html_check.py", dir.Path()});
  EXPECT_EQ(check.status, 0) << check.output;
}

TEST_F(HtmlCrosscheck, ServerModeAndCacheFailures) {
  TempDir dir;
  std::string stream = MakeStream([](TBaseReport* r) {
    r->SetBrush(clYellow, bsSolid, nullptr);
    r->Rectangle(1, 2, 3, 2.5);
    TBitmap bmp;
    bmp.SetSize(2, 2);
    r->PrintBitmapRect(1, 7, 2, 7.5, &bmp);
  });
  RenderHtml(stream, dir.Path() + "/s.html", [&](TRptRenderHTML& h) {
    h.CacheDir = dir.Path();
    h.ServerMode = true;
  });
  std::string page = Read(dir.Path() + "/s1.html");
  EXPECT_NE(page.find("<IMG SRC=\"/Color/FFFF00.gif\" WIDTH=192 HEIGHT=48>"), std::string::npos);
  EXPECT_TRUE(std::regex_search(page, std::regex("<IMG Src=\"/Cache/jpg[A-Za-z0-9]{6}\" width=96 height=48>")));
  std::vector<std::string> files = Files(dir.Path());
  EXPECT_EQ(files.size(), 2u);  // the page and the picture, no colour file
  EXPECT_EQ(std::count_if(files.begin(), files.end(), [](auto& f) { return f.ends_with(".gif"); }), 0);

  std::string picture = MakeStream([](TBaseReport* r) {
    TBitmap bmp;
    bmp.SetSize(2, 2);
    r->PrintBitmapRect(1, 7, 2, 7.5, &bmp);
  });
  try {
    RenderHtml(picture, dir.Path() + "/t.html", [&](TRptRenderHTML& h) { h.CacheDir = dir.Path() + "/missing"; });
    ADD_FAILURE() << "no error";
  } catch (const EReportError& e) {
    EXPECT_STREQ(e.what(), "NewCacheFile error.");
  }
}

TEST_F(HtmlCrosscheck, TextsAndNamesAreEscaped) {
  TempDir dir;
  std::string stream = MakeStream([](TBaseReport* r) {
    r->SelectFont("Times 'New'\\", 10);
    r->SetYPos(1);
    r->TextLeftAt(Cz("Opravy <kanceláře> & úklid"), 1);
    r->TextLeftAt(Cz("Příjem ŘÍŠE ŤŮŇ ĎĚČ"), 3);
  });
  TMemoryStream in, out;
  in.WriteBuffer(stream.data(), static_cast<int64_t>(stream.size()));
  in.SetPosition(0);
  TRptRenderHTML page;
  page.PageURL = "x\"</SCRIPT>\\y\x01{%PAGENO%}.html";
  page.OutputStream = &out;
  TRptConverter converter(&in, &page);
  converter.Generate(1, 0);
  std::string html(static_cast<const char*>(out.Memory()), static_cast<std::size_t>(out.Size()));
  EXPECT_NE(html.find("var GPageURL = \"x\\\"\\x3C/SCRIPT>/y\\x01{%PAGENO%}.html\";"), std::string::npos);
  EXPECT_NE(html.find(Cz("font:normal normal 10pt 'Times \\'New\\'\\\\'\">Opravy &lt;kanceláře&gt; &amp; úklid</DIV>")),
            std::string::npos);
  std::ofstream(dir.Path() + "/e1.html", std::ios::binary) << html;
  std::ofstream(dir.Path() + "/expected.txt")
      << "text:Opravy <kanceláře> & úklid\ntext:Příjem ŘÍŠE ŤŮŇ ĎĚČ\nnoelement:kanceláře\nurl:x\"</SCRIPT>/y\x01{%PAGENO%}.html\n";
  if (!PythonHas({"html5lib", "PIL"})) GTEST_SKIP() << "python3-html5lib or python3-pil is not installed";
  ToolRun check = RunTool({"/usr/bin/python3", REPORT_TESTS_DIR "/crosscheck/html_check.py", dir.Path()});
  EXPECT_EQ(check.status, 0) << check.output;
}

}  // namespace
