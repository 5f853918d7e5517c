// The page stream: the report engine's own byte-coded page format, written
// by TReportFiler and read back by the players and the converter. Little-
// endian throughout. This file holds the record codes, the primitive
// encodings (one implementation for the writer and every reader) and the
// bounded reader, which never trusts a length, count or position taken from
// the file: a length beyond the bytes left raises EReadError "Stream read
// error" before anything is allocated, and a value no valid stream holds
// raises EReportError "Unexpected code found in report file.".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gui/graphics.h"
#include "platform/rtl/ansistring.h"
#include "platform/rtl/streams.h"
#include "report/rpt_common.h"

namespace rps {

// Format versions.
constexpr int kVersionQ = 1101;
constexpr int kVersion2000 = 2000;
constexpr int kVersionY = 2009;
constexpr int kVersion2010 = 2010;
constexpr int kVersion2016 = 2016;
constexpr int kVersionWritten = 2017;
constexpr int kVersion2018 = 2018;

// Record codes.
enum Code : uint8_t {
  cArc = 1, cBrushCopy = 2, cChord = 3, cCopyRect = 4, cDraw = 5, cFocusRect = 6, cEllipse = 7, cFillRect = 8,
  cFloodFill = 9, cFrameRect = 10, cLineTo = 11, cMoveTo = 12, cPie = 13, cPolygon = 14, cPolyline = 15,
  cPrintBitmap = 16, cPrintBitmapRect = 17, cRectangle = 18, cPlainRect = 19, cRoundRect = 20, cStretchDraw = 21,
  cTextRect = 22, cTextCenter = 23, cTextLeft = 24, cTextRight = 25, cBkMode = 26, cBackColor = 27, cScaleX = 28,
  cScaleY = 29, cDeviceText = 30, cDeviceData = 31, cTextBlockOld = 32, cTextBlock = 33, cTransparent = 34,
  cFrameMode = 35, cImageData = 36, cNamedValue = 37,
  cBrushOld = 40, cBrushColor = 41, cBrushStyle = 42, cBrushBitmap = 43,
  cFontOld = 50, cFontName = 51, cFontColor = 52, cFontPitch = 53, cFontSize = 54, cBold = 55, cUnderline = 56,
  cItalic = 57, cStrikeOut = 58, cSuperscript = 59, cSubscript = 60, cRotation = 61, cPlacement = 62,
  cCharset = 63,
  cPenOld = 70, cPenColor = 71, cPenMode = 72, cPenStyle = 73, cPenWidth = 74,
  cPage = 80, cHeaderQ = 81, cEndPage = 82, cLineMetrics = 83, cPreviewOnly = 84, cPrinterOnly = 85,
  cAllowAll = 86, cOrientation = 87, cBin = 88, cHeaderY = 89, cHeader = 90,
};

// Graphic kinds (a reference adds 128).
constexpr uint8_t kGraphicBitmap = 1, kGraphicMetafile = 2, kGraphicIcon = 3, kGraphicOther = 4;
constexpr uint8_t kGraphicReference = 128;

constexpr std::size_t kMaxText = 16383;
constexpr std::size_t kMaxNamedValue = 255;
constexpr std::size_t kPlaceholderSize = 128;

// ---- encodings (append to a byte buffer)
void PutByte(std::string& out, uint8_t v);
void PutWord(std::string& out, int v);
void PutLong(std::string& out, int32_t v);
void PutFloat(std::string& out, double v);
// The length form of the version; longer texts must be cut by the caller.
void PutText(std::string& out, std::string_view text, int version = kVersionWritten);
// A text cut to what the length encoding holds: longer texts lose the tail,
// and a format block (0x01 .. 0x04) the cut would split goes with it.
AnsiString CutText(const AnsiString& text, std::size_t limit = kMaxText);

// Pen modes are stored by the class library's numbering (black, white,
// nop, not, copy, ... mask 12, xor 14, not-xor 15).
uint8_t PenModeCode(TPenMode mode);
TPenMode PenModeFromCode(uint8_t code);

// Raises EInvalidGraphic "Bitmap image is not valid" for a stored bitmap
// whose header claims more pixels than its bytes can hold.
void CheckStoredBitmap(const std::string& bytes);

// ---- the header record
struct TStreamHeader {
  int version = kVersionWritten;
  AnsiString title;
  int pageCount = 0;
  int firstPage = 1;
  int lastPage = 9999;
  double pageWidth = 8.5, pageHeight = 11;  // inches
  double wasteLeft = 0, wasteRight = 0, wasteTop = 0, wasteBottom = 0;
  uint8_t orientation = 0;
  int bin = 265;
  bool collate = false;
  uint8_t duplex = 0;
  int copies = 1;
  int paperSize = 1;
  int paperWidth = 0, paperLength = 0;
  AnsiString outputName;
  int64_t pageCountPos = 0;  // where the count word lies
  int64_t firstPagePos = 0;  // the first page record's code byte
};
// Bytes of a header written by this program; pageCountPos is filled with
// the offset of the count word in those bytes.
std::string EncodeHeader(TStreamHeader& header);

struct TPageRecord {
  int64_t pos = 0;       // of the code byte
  int64_t prev = 0, next = 0;
  int number = 0;
  double width = 0, height = 0;
  int64_t contentPos = 0;  // after the page record's fixed fields
};

// A stored graphic: its kind (1-4) and the bytes of its own stream format.
struct TStoredGraphic {
  uint8_t kind = 0;
  std::string data;
};

class TPageStreamReader {
 public:
  explicit TPageStreamReader(TStream& stream);
  TStream& Stream() { return stream_; }
  int Version() const { return version_; }
  void SetVersion(int v) { version_ = v; }
  int64_t Size() const { return size_; }
  int64_t Position();
  void Seek(int64_t pos);
  int64_t Remaining();
  // Raises EReadError unless n bytes are left.
  void Need(int64_t n);

  uint8_t ReadByte();
  int ReadWord();      // signed
  int32_t ReadLong();
  double ReadFloat();  // finite, else "Unexpected code"
  AnsiString ReadText();
  void ReadPoint(double& x, double& y);
  void ReadRect(double& l, double& t, double& r, double& b);
  std::string ReadBytes(int64_t n);
  // A length field (long) that must fit in the bytes left.
  int64_t ReadLength();
  TStoredGraphic ReadGraphic();
  // Record 37 after its code: the name and the value's text.
  void ReadNamedValue(AnsiString& name, AnsiString& value);

  // Reads the header at position 0 (any of the three header codes) and
  // checks the page chain it announces; leaves the reader at the first page.
  TStreamHeader ReadHeader();
  // Reads a page record at the current position (code byte included).
  TPageRecord ReadPageRecord();
  // Every page record of the stream, in order (after ReadHeader).
  const std::vector<TPageRecord>& Pages() const { return pages_; }

 private:
  AnsiString ReadValueAt(int64_t pos, int hops);
  [[noreturn]] static void Bad();

  TStream& stream_;
  int64_t size_;
  int version_ = kVersionWritten;
  std::vector<TPageRecord> pages_;
};

// Fails with "Unexpected code found in report file.".
[[noreturn]] void UnexpectedCode();

}  // namespace rps
