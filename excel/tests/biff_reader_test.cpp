// Damaged and hostile workbook files: each gives a clear error, never a
// crash, a leak or an endless loop.
#include <gtest/gtest.h>

#include <functional>

#include "excel/biff/biff_reader.h"
#include "excel/biff/biff_strings.h"
#include "excel/biff/ole_compound.h"
#include "excel/server/xl_app.h"
#include "testing/error_message.h"
#include "testing/random_input.h"
#include "testing/temp_dir.h"

using namespace biff;

namespace {

void Set32(std::string& s, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Set16(std::string& s, std::size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}

// The offset of the first record with the id from offset on.
std::size_t FindRecord(const std::string& stream, uint16_t id, std::size_t from = 0) {
  for (std::size_t at = from; at + 4 <= stream.size();) {
    uint16_t rid = static_cast<uint16_t>(static_cast<unsigned char>(stream[at]) | (static_cast<unsigned char>(stream[at + 1]) << 8));
    uint16_t len = static_cast<uint16_t>(static_cast<unsigned char>(stream[at + 2]) | (static_cast<unsigned char>(stream[at + 3]) << 8));
    if (rid == id) return at;
    at += 4u + len;
  }
  ADD_FAILURE() << "no record " << id;
  return 0;
}

// A small workbook stream with a text, a hyperlink and a chart.
std::string SampleStream() {
  SheetData sheet;
  sheet.name = "A";
  sheet.At(0, 0).kind = CellKind::Text;
  sheet.At(0, 0).text = "text";
  sheet.At(1, 0).kind = CellKind::Number;
  auto link = std::make_shared<Hyperlink>();
  link->address = "http://example.invalid/";
  sheet.hyperlinks.push_back(link);
  auto chart = std::make_shared<Chart>();
  chart->width = chart->height = 100;
  chart->hasSource = true;
  chart->source = {0, 0, 1, 0};
  sheet.charts.push_back(chart);
  WorkbookData wb;
  wb.sheets.push_back(&sheet);
  return BuildWorkbookStream(wb);
}

std::string ReadError(const std::string& file) {
  return ErrorMessage([&] { ReadXlsFile(file); });
}

}  // namespace

TEST(XlsReaderMalformed, DamagedCompoundFilesAreRefused) {
  const std::string good = BuildCompoundFile(SampleStream());
  ASSERT_EQ(ReadError(good), "(no error)");
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    const char* error;
  } cases[] = {
      {"truncated header", [](std::string& f) { f.resize(300); }, "no compound file header"},
      {"wrong signature", [](std::string& f) { f[0] = 'X'; }, "no compound file header"},
      {"unknown sector size", [](std::string& f) { Set16(f, 0x1E, 10); }, "sector size"},
      {"FAT sector beyond the file", [](std::string& f) { Set32(f, 0x4C, 0x00100000); }, "beyond the file"},
      {"FAT count beyond the file", [](std::string& f) { Set32(f, 0x2C, 0x00FFFFFF); }, "FAT sector count"},
      {"DIFAT chain out of range",
       [](std::string& f) {
         Set32(f, 0x2C, 120);
         Set32(f, 0x44, 0xFFFFFFF0);
         Set32(f, 0x48, 1);
       },
       "FAT sector count"},
      {"stream chain in a cycle",
       [](std::string& f) {
         // The stream's first sector points back at itself.
         uint32_t fatSector = static_cast<uint32_t>(static_cast<unsigned char>(f[0x4C]));
         Set32(f, 512 * (fatSector + 1), 0);
       },
       "cyclic sector chain"},
      {"directory entry beyond the file", [](std::string& f) { Set32(f, 512 * 1 + 0x78, 0x7FFFFFF0); }, ""},
      {"directory sector beyond the file", [](std::string& f) { Set32(f, 0x30, 0x00FFFFFF); }, "allocation table"},
      {"cut in the middle of the stream", [](std::string& f) { f.resize(f.size() / 2); }, ""},
  };
  for (const Case& c : cases) {
    std::string file = good;
    c.damage(file);
    std::string error = ReadError(file);
    EXPECT_NE(error, "(no error)") << c.what;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
  }
}

TEST(XlsReaderMalformed, DamagedRecordsAreRefused) {
  const std::string good = SampleStream();
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    const char* error;
  } cases[] = {
      {"SST counting more strings than it holds",
       [](std::string& s) { Set32(s, FindRecord(s, kSst) + 8, 100000); }, "SST counts more strings"},
      {"shared string longer than its records",
       [](std::string& s) { Set16(s, FindRecord(s, kSst) + 12, 5000); }, "shared string beyond"},
      {"CONTINUE without a record to continue",
       [](std::string& s) { Set16(s, FindRecord(s, kCodepage), kContinue); }, "CONTINUE record without"},
      {"sheet name longer than its record",
       [](std::string& s) { s[FindRecord(s, kBoundSheet) + 10] = static_cast<char>(200); }, "shorter than its contents"},
      {"sheet beyond the stream",
       [](std::string& s) { Set32(s, FindRecord(s, kBoundSheet) + 4, 0x7FFFFFFF); }, "beyond the stream"},
      {"record longer than the stream",
       [](std::string& s) { Set16(s, FindRecord(s, kWindow1) + 2, 0xFFF0); }, "longer than the stream"},
      {"truncated record header", [](std::string& s) { s.resize(s.size() - 2); }, "truncated record header"},
      {"stream ending inside a sheet", [](std::string& s) { s.resize(s.size() - 4); }, "a sheet has no end"},
      {"shared string index out of range",
       [](std::string& s) { Set32(s, FindRecord(s, kLabelSst) + 10, 7); }, "shared string that does not exist"},
      {"drawing part longer than its record",
       [](std::string& s) { Set32(s, FindRecord(s, 0x00EC) + 4 + 12, 0x7FFFFFFF); }, "drawing part longer"},
      {"chart object without its chart",
       [](std::string& s) { Set16(s, FindRecord(s, kBof, FindRecord(s, 0x005D)), kDimensions); }, "without its chart"},
      {"chart record shorter than its contents",
       [](std::string& s) { Set16(s, FindRecord(s, 0x1051) + 4 + 6, 500); }, "shorter than its contents"},
      {"hyperlink text longer than its record",
       [](std::string& s) { Set32(s, FindRecord(s, 0x01B8) + 4 + 48, 0x40000000); }, "shorter than its contents"},
      {"older file format", [](std::string& s) { Set16(s, 4, 0x0500); }, "older Excel format"},
      {"encrypted", [](std::string& s) { Set16(s, FindRecord(s, kCodepage), 0x002F); }, "protected by a password"},
  };
  for (const Case& c : cases) {
    std::string stream = good;
    c.damage(stream);
    std::string error = ErrorMessage([&] { ReadWorkbookRecords(stream); });
    EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
  }
}

TEST(XlsReaderMalformed, AnOlderBookStreamAndAnyReaderErrorReachTheCallerAsOleErrors) {
  // The directory entry's name "Workbook" becomes "Book".
  std::string file = BuildCompoundFile(SampleStream());
  std::size_t at = file.find(std::string("W\0o\0r\0k\0b\0o\0o\0k\0", 16));
  ASSERT_NE(at, std::string::npos);
  file.replace(at, 16, std::string("B\0o\0o\0k\0\0\0\0\0\0\0\0\0", 16));
  Set16(file, at + 0x40, 10);
  TempDir dir;
  dir.Write("old.xls", file);
  dir.Write("none.xls", "not a workbook");
  auto app = xl::CreateInProcessExcel();
  try {
    app->Workbooks()->Open(dir.File("old.xls"));
    FAIL() << "opened";
  } catch (const EOleException& e) {
    EXPECT_NE(e.Message().find("older Excel format"), std::string::npos) << e.Message();
  }
  EXPECT_THROW(app->Workbooks()->Open(dir.File("none.xls")), EOleException);
  EXPECT_THROW(app->Workbooks()->Open(dir.File("missing.xls")), EOleException);
  EXPECT_EQ(app->Workbooks()->Count(), 0);
}

TEST(XlsReaderMalformed, RandomDamageToWorkbooksGivesErrorsOnly) {
  std::vector<std::string> seeds = {BuildCompoundFile(SampleStream())};
  {
    SheetData a, b;
    a.name = "A";
    b.name = "B";
    for (int r = 0; r < 40; ++r) a.At(r, r % 5).kind = CellKind::Number;
    a.rows[3].height = 400;
    b.At(2, 2).kind = CellKind::Text;
    b.At(2, 2).text = std::string(300, 'x');
    WorkbookData wb;
    wb.sheets = {&a, &b};
    seeds.push_back(BuildXlsFile(wb));
  }
  RunRandomInputs(seeds, [](const std::string& input) {
    try {
      ReadXlsFile(input);
    } catch (const EBiffError&) {
    }
  }, RandomInputOptions{20261209, 3000, 1 << 16});
}

namespace {

// A compound file whose small workbook stream lives in the mini stream, as
// other programs write small workbooks.
std::string MiniStreamFile(const std::string& stream) {
  const uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF;
  uint32_t minis = static_cast<uint32_t>((stream.size() + 63) / 64);
  uint32_t containerSectors = (minis * 64 + 511) / 512;
  std::string file;
  file += std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  file.append(16, '\0');
  Put16(file, 0x3E);
  Put16(file, 3);
  Put16(file, 0xFFFE);
  Put16(file, 9);
  Put16(file, 6);
  file.append(6, '\0');
  Put32(file, 0);
  Put32(file, 1);  // one FAT sector
  Put32(file, 1);  // directory in sector 1
  Put32(file, 0);
  Put32(file, 4096);
  Put32(file, 2);  // mini FAT in sector 2
  Put32(file, 1);
  Put32(file, kEnd);
  Put32(file, 0);
  Put32(file, 0);  // the FAT is sector 0
  for (int i = 1; i < 109; ++i) Put32(file, kFree);
  std::string fat;
  Put32(fat, 0xFFFFFFFD);
  Put32(fat, kEnd);
  Put32(fat, kEnd);
  for (uint32_t i = 0; i < containerSectors; ++i) Put32(fat, i + 1 < containerSectors ? 3 + i + 1 : kEnd);
  while (fat.size() < 512) Put32(fat, kFree);
  std::string dir;
  auto entry = [&dir](std::u16string_view name, uint8_t type, uint32_t child, uint32_t start, uint32_t size) {
    std::string e;
    for (char16_t c : name) Put16(e, static_cast<uint16_t>(c));
    e.resize(64, '\0');
    Put16(e, static_cast<uint16_t>(name.empty() ? 0 : 2 * (name.size() + 1)));
    Put8(e, type);
    Put8(e, 1);
    Put32(e, 0xFFFFFFFF);
    Put32(e, 0xFFFFFFFF);
    Put32(e, child);
    e.append(36, '\0');
    Put32(e, start);
    Put32(e, size);
    Put32(e, 0);
    dir += e;
  };
  entry(u"Root Entry", 5, 1, 3, minis * 64);
  entry(u"Workbook", 2, 0xFFFFFFFF, 0, static_cast<uint32_t>(stream.size()));
  entry(u"", 0, 0xFFFFFFFF, 0, 0);
  entry(u"", 0, 0xFFFFFFFF, 0, 0);
  std::string miniFat;
  for (uint32_t i = 0; i < minis; ++i) Put32(miniFat, i + 1 < minis ? i + 1 : kEnd);
  while (miniFat.size() < 512) Put32(miniFat, kFree);
  std::string container = stream;
  container.resize(containerSectors * 512, '\0');
  return file + fat + dir + miniFat + container;
}

}  // namespace

TEST(XlsReaderMalformed, SmallStreamsAreReadFromTheMiniStreamWithItsChainChecked) {
  SheetData sheet;
  sheet.name = "Mini";
  sheet.At(0, 0).kind = CellKind::Number;
  sheet.At(0, 0).number = 42;
  WorkbookData wb;
  wb.sheets.push_back(&sheet);
  std::string stream = BuildWorkbookStream(wb);
  ASSERT_LT(stream.size(), 4096u);
  std::string file = MiniStreamFile(stream);
  ReadWorkbookResult read = ReadXlsFile(file);
  ASSERT_EQ(read.sheets.size(), 1u);
  EXPECT_EQ(read.sheets[0].name, "Mini");
  EXPECT_EQ(read.sheets[0].Find(0, 0)->number, 42);
  // The mini FAT's first entry points back at itself.
  std::string cyclic = file;
  Set32(cyclic, 512 * 3, 0);
  EXPECT_NE(ReadError(cyclic).find("cyclic sector chain"), std::string::npos) << ReadError(cyclic);
  // The root entry's mini stream shorter than the stream needs.
  std::string shortMini = file;
  Set32(shortMini, 512 * 2 + 0x78, 64);
  EXPECT_NE(ReadError(shortMini).find("mini sector beyond the mini stream"), std::string::npos) << ReadError(shortMini);
}
