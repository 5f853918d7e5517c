// Damaged and hostile page streams: every read ends normally or with the
// stream's own errors, never with a crash, a hang or a giant allocation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/gui/testing/fake_printers.h"
#include "platform/gui/resources.h"
#include "report/file_printer.h"
#include "report/tests/support/sample_reports.h"
#include "testing/random_input.h"
#include "tools/rps_dump/dump.h"

namespace {

class Device96 : public TRptRenderDevice {
 public:
  Device96() { Bitmap()->SetSize(200, 200); }
  int XDPI() override { return 96; }
  int YDPI() override { return 96; }
  void RawData(const char*, int) override {}
};

// Replays every page; answers the message of the error that stopped it
// ("" when the stream played).
std::string Play(const std::string& bytes) {
  Device96 device;
  TFilePrinter p;
  TMemoryStream in;
  in.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  p.SetDevice(&device);
  p.SetStreamMode(smUser);
  p.SetStream(&in);
  try {
    if (!p.BeginReplay()) return "open";
    for (int page = 1; page <= p.StreamPages(); ++page) p.PlayPage(page);
    p.EndReplay();
  } catch (const EReadError& e) {
    return e.Message();
  } catch (const EReportError& e) {
    return e.Message();
  } catch (const EInvalidGraphic& e) {
    return e.Message();
  }
  return "";
}

std::string Generated() {
  static std::string s = [] {
    TReportFiler f;
    TMemoryStream out;
    f.SetStreamMode(smUser);
    f.SetStream(&out);
    f.OnPrint = [&](TObject*) {
      PrintCashBookSample(&f, 3);
      PrintShapesSample(&f);
    };
    f.RunReport();
    return std::string(static_cast<const char*>(out.Memory()), static_cast<std::size_t>(out.Size()));
  }();
  return s;
}

// A one-page stream around body.
std::string OnePage(const std::string& body) {
  rps::TStreamHeader h;
  h.pageCount = 1;
  std::string s = rps::EncodeHeader(h);
  int64_t page = static_cast<int64_t>(s.size());
  (void)page;
  s.push_back(80);
  rps::PutLong(s, 0);
  rps::PutLong(s, 0);
  rps::PutWord(s, 1);
  rps::PutFloat(s, 8.5);
  rps::PutFloat(s, 11);
  return s + body + "\x52";
}

std::string B(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s.push_back(static_cast<char>(v));
  return s;
}

std::string L(int32_t v) {
  std::string s;
  rps::PutLong(s, v);
  return s;
}

std::string F(double v) {
  std::string s;
  rps::PutFloat(s, v);
  return s;
}

class RpsMalformed : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePrinters({}); }
  void TearDown() override { SetPrinterBackend(nullptr); }
};

TEST_F(RpsMalformed, ValidStreamPlays) {
  TMemoryStream m;
  m.WriteBuffer(Generated().data(), static_cast<int64_t>(Generated().size()));
  EXPECT_EQ(Play(Generated()), "") << DumpPageStream(m);
}

TEST_F(RpsMalformed, TruncatedAtEveryOffset) {
  std::string s = Generated();
  for (std::size_t n = 0; n < s.size(); n += (n < 400 ? 1 : 7)) {
    std::string m = Play(s.substr(0, n));
    EXPECT_TRUE(m == "Stream read error" || m == "Unexpected code found in report file." ||
                m == "Unexpected header code found in report file.")
        << n << ": " << m;
  }
}

TEST_F(RpsMalformed, HostileValues) {
  const std::string kRead = "Stream read error", kCode = "Unexpected code found in report file.";
  std::size_t body = OnePage("").size() - 1;  // where the body starts
  std::string bmp = "BM" + L(70) + L(0) + L(54) + L(40) + L(100000) + L(100000) + B({1, 0, 24, 0}) + L(0) + L(16) +
                    std::string(16, '\0') + std::string(16, '\xFF');
  float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* what;
    std::string stream;
    std::string message;
  } cases[] = {
      {"polygon count -1", OnePage(B({14, 0xFF, 0xFF})), kCode},
      {"polygon count 30000", OnePage(B({14, 0x30, 0x75}) + F(1) + F(1)), kRead},
      {"graphic size 0x7FFFFFFF", OnePage(B({5, 1}) + L(0x7FFFFFFF)), kRead},
      {"graphic kind 7", OnePage(B({5, 7}) + L(0)), kCode},
      {"graphic reference forward", OnePage(B({5, 129}) + L(static_cast<int32_t>(body + 100)) + F(0) + F(0)), kCode},
      {"device data beyond the end", OnePage(B({31}) + L(1000)), kRead},
      {"named value refers to itself",
       OnePage(B({37, 1, 'N', 4, 254}) + L(static_cast<int32_t>(body + 3))), kCode},
      {"named value refers forward", OnePage(B({37, 1, 'N', 4, 254}) + L(static_cast<int32_t>(body + 50))), kCode},
      {"named value beyond the end", OnePage(B({37, 1, 'N', 4, 254}) + L(0x7FFFFFF0)), kCode},
      {"code 38", OnePage(B({38})), kCode},
      {"code 81", OnePage(B({81})), kCode},
      {"code 89", OnePage(B({89})), kCode},
      {"code 91", OnePage(B({91})), kCode},
      {"code 255", OnePage(B({255})), kCode},
      {"NaN coordinate", OnePage(B({12}) + F(nan) + F(1)), kCode},
      {"text length beyond the end", OnePage(B({24}) + F(1) + B({0xFF, 0xFF}) + "abc" + F(1)), kRead},
      {"bitmap claiming 100000 x 100000", OnePage(B({5, 1}) + L(static_cast<int32_t>(bmp.size())) + bmp + F(0) + F(0)),
       "Bitmap image is not valid"},
      {"another graphic class draws nothing", OnePage(B({5, 4}) + L(3) + "abc" + F(0) + F(0)), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Play(c.stream), c.message) << c.what;
}

TEST_F(RpsMalformed, BrokenPageChain) {
  std::string s = Generated();
  TMemoryStream m;
  m.WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
  rps::TPageStreamReader r(m);
  rps::TStreamHeader h = r.ReadHeader();
  ASSERT_EQ(r.Pages().size(), 3u);
  auto patch = [&](std::size_t at, const std::string& bytes) {
    std::string t = s;
    t.replace(at, bytes.size(), bytes);
    return t;
  };
  auto p = [&](int i) { return static_cast<std::size_t>(r.Pages()[static_cast<std::size_t>(i)].pos); };
  std::string word5, word3;
  rps::PutWord(word5, 5);
  rps::PutWord(word3, 3);
  const std::string kCode = "Unexpected code found in report file.";
  EXPECT_EQ(Play(patch(static_cast<std::size_t>(h.pageCountPos), word5)), kCode) << "count 5 of 3";
  EXPECT_EQ(Play(patch(p(0) + 5, L(static_cast<int32_t>(p(0))))), kCode) << "next to its own page";
  EXPECT_EQ(Play(patch(p(1) + 5, L(static_cast<int32_t>(p(0))))), kCode) << "next backwards";
  EXPECT_EQ(Play(patch(p(1) + 9, word3)), kCode) << "page numbers 1, 3";
  EXPECT_EQ(Play(patch(static_cast<std::size_t>(h.pageCountPos) + 6, F(1e9))), kCode) << "page width 1e9";
}

TEST_F(RpsMalformed, SeededMutations) {
  std::string s = Generated();
  RandomInputOptions options;
  options.iterations = 6000;  // the fuzz target runs the long searches
  RunRandomInputs({s, OnePage(B({12}) + F(1) + F(1) + B({11}) + F(2) + F(2))},
                  [](const std::string& bytes) { Play(bytes); }, options);
}

}  // namespace
