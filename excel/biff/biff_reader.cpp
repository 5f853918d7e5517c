// BIFF8 workbook reader.
//
// The stream is walked record by record (2-byte id, 2-byte length, data).
// The globals give the sheets (BOUNDSHEET: stream offset, kind, name), the
// shared strings (SST, continued in CONTINUE records, where a string's
// characters resume after a new flags byte), fonts, number formats, XFs,
// the palette and the EXTERNSHEET entries that chart references use. Each
// worksheet's substream gives cells, column and row settings, hyperlinks
// and drawings; an OBJ record of the chart kind takes the anchor of the
// drawing record before it and is followed by the chart's own substream.
#include "excel/biff/biff_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "excel/biff/biff_chart.h"
#include "excel/biff/biff_drawing.h"
#include "excel/biff/biff_hyperlink.h"
#include "excel/biff/biff_palette.h"
#include "excel/biff/ole_compound.h"
#include "platform/rtl/codepages.h"

namespace biff {

namespace {

[[noreturn]] void Bad(const std::string& what) { throw EBiffError("The workbook is damaged: " + what); }

// Bounds-checked little-endian reading of one record's data.
class Bytes {
 public:
  explicit Bytes(std::string_view d, const char* what = "record") : d_(d), what_(what) {}
  std::size_t Left() const { return d_.size() - at_; }
  std::size_t At() const { return at_; }
  void Need(std::size_t n) const {
    if (Left() < n) Bad(std::string(what_) + " shorter than its contents");
  }
  uint8_t U8() {
    Need(1);
    return static_cast<uint8_t>(d_[at_++]);
  }
  uint16_t U16() {
    Need(2);
    uint16_t v = static_cast<uint16_t>(static_cast<unsigned char>(d_[at_]) | (static_cast<unsigned char>(d_[at_ + 1]) << 8));
    at_ += 2;
    return v;
  }
  uint32_t U32() {
    uint32_t lo = U16();
    return lo | (static_cast<uint32_t>(U16()) << 16);
  }
  double F64() {
    Need(8);
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>(d_[at_ + static_cast<std::size_t>(i)]);
    at_ += 8;
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
  }
  void Skip(std::size_t n) {
    Need(n);
    at_ += n;
  }
  std::string_view Take(std::size_t n) {
    Need(n);
    std::string_view v = d_.substr(at_, n);
    at_ += n;
    return v;
  }

 private:
  std::string_view d_;
  std::size_t at_ = 0;
  const char* what_;
};

struct Record {
  uint16_t id;
  std::string_view data;
  std::size_t offset;
};

// The records of the stream from offset, one at a time.
class Records {
 public:
  Records(std::string_view stream, std::size_t offset) : s_(stream), at_(offset) {}
  bool Next(Record& r) {
    if (at_ >= s_.size()) return false;
    if (s_.size() - at_ < 4) Bad("truncated record header");
    Bytes h(s_.substr(at_, 4));
    r.id = h.U16();
    uint16_t len = h.U16();
    if (s_.size() - at_ - 4 < len) Bad("record longer than the stream");
    r.data = s_.substr(at_ + 4, len);
    r.offset = at_;
    at_ += 4u + len;
    return true;
  }
  // The next record's id without taking it (0xFFFF at the end).
  uint16_t PeekId() const {
    if (s_.size() - at_ < 4 || at_ >= s_.size()) return 0xFFFF;
    return Bytes(s_.substr(at_, 2)).U16();
  }

 private:
  std::string_view s_;
  std::size_t at_;
};

// Records whose contents the model regenerates or that carry nothing the
// model would lose (view, calculation and protection settings without a
// password, indexes of the stream).
bool Harmless(uint16_t id) {
  static const std::set<uint16_t> kIds = {
      0x0809, 0x000A, 0x0042, 0x0022, 0x003D, 0x0031, 0x041E, 0x00E0, 0x0293, 0x0085, 0x00FC, 0x00FF,
      0x0055, 0x007D, 0x0200, 0x0081, 0x0080, 0x0208, 0x023E, 0x001D, 0x003C, 0x00D7, 0x020B, 0x00E1,
      0x00E2, 0x00C1, 0x0161, 0x005C, 0x0133, 0x013D, 0x009C, 0x0019, 0x0012, 0x0013, 0x01AF, 0x01BC,
      0x0040, 0x008D, 0x000E, 0x01B7, 0x00DA, 0x008C, 0x0160, 0x01C1, 0x0863, 0x087C, 0x0892, 0x0893,
      0x0894, 0x0896, 0x088C, 0x089A, 0x089B, 0x089C, 0x08A3, 0x0867, 0x0862, 0x000D, 0x000C, 0x000F,
      0x0011, 0x0010, 0x005F, 0x002A, 0x002B, 0x0082, 0x0225, 0x0014, 0x0015, 0x0083, 0x0084, 0x0026,
      0x0027, 0x0028, 0x0029, 0x00A1, 0x004D, 0x00A0, 0x0041, 0x00EF, 0x0099, 0x01AE, 0x0017, 0x00EB,
      0x087D, 0x088B, 0x0868, 0x08A7, 0x0897, 0x01C2, 0x0063, 0x0203, 0x00DD, 0x01C0,
  };
  return kIds.count(id) != 0;
}

enum Id : uint16_t {
  kFilePass = 0x002F,
  kPalette = 0x0092,
  kLabel = 0x0204,
  kRk = 0x027E,
  kMulRk = 0x00BD,
  kMulBlank = 0x00BE,
  kFormula = 0x0006,
  kString = 0x0207,
  kName = 0x0018,
  kNote = 0x001C,
  kTxo = 0x01B6,
};

class Reader {
 public:
  explicit Reader(std::string_view stream) : s_(stream) {}

  ReadWorkbookResult Read() {
    ReadGlobals();
    for (const SheetEntry& e : sheetEntries_) {
      if (e.kind != 0) {
        NotKept(e.kind == 2 ? "chart sheets" : "macro sheets");
        continue;
      }
      result_.sheets.emplace_back();
      SheetData& sheet = result_.sheets.back();
      sheet.name = e.name;
      ReadSheet(sheet, e.offset, static_cast<int>(&e - sheetEntries_.data()));
    }
    if (result_.sheets.empty()) throw EBiffError("The workbook holds no worksheet");
    if (result_.activeSheet >= static_cast<int>(result_.sheets.size()) || result_.activeSheet < 0) result_.activeSheet = 0;
    return std::move(result_);
  }

 private:
  struct SheetEntry {
    uint32_t offset;
    int kind;
    AnsiString name;
  };
  struct Font {
    CellFormat f;  // only the font fields
  };

  void NotKept(const std::string& what) {
    if (std::find(result_.notKept.begin(), result_.notKept.end(), what) == result_.notKept.end()) {
      result_.notKept.push_back(what);
    }
  }

  // UTF-16 characters to CP1250; those outside it become "?".
  void AppendChar(AnsiString& out, uint32_t u) {
    int c = UnicodeToCp1250(static_cast<char32_t>(u));
    if (c < 0) {
      out += '?';
      NotKept("characters outside code page 1250");
    } else {
      out += static_cast<char>(c);
    }
  }

  // An unformatted string of one record: length (8 or 16 bits), flags,
  // characters.
  AnsiString ShortString(Bytes& b, bool longLength) {
    std::size_t n = longLength ? b.U16() : b.U8();
    uint8_t flags = b.U8();
    AnsiString out;
    bool wide = flags & 0x01;
    std::size_t runs = 0, ext = 0;
    if (flags & 0x08) runs = b.U16();
    if (flags & 0x04) ext = b.U32();
    b.Need(n * (wide ? 2 : 1));
    for (std::size_t i = 0; i < n; ++i) AppendChar(out, wide ? b.U16() : b.U8());
    if (runs) NotKept("formatted text runs");
    b.Skip(runs * 4);
    b.Skip(ext);
    return out;
  }

  void ReadGlobals() {
    Records rs(s_, 0);
    Record r;
    if (!rs.Next(r) || r.id != kBof) throw EBiffError("The file is not an Excel workbook (no BOF record)");
    Bytes bof(r.data, "BOF");
    uint16_t version = bof.U16();
    uint16_t kind = bof.U16();
    if (version != kBiff8Version || kind != kBofGlobals) {
      throw EBiffError("The workbook is in an older Excel format (5.0/95 or earlier), which cannot be opened");
    }
    std::vector<std::string_view> sst;
    bool inSst = false;
    for (;;) {
      if (!rs.Next(r)) Bad("the workbook globals have no end");
      if (r.id != kContinue) inSst = false;
      Bytes b(r.data);
      switch (r.id) {
        case kEof: ParseSst(sst); return;
        case kFilePass: throw EBiffError("The workbook is protected by a password (encrypted), which cannot be opened");
        case kBoundSheet: {
          SheetEntry e;
          e.offset = b.U32();
          b.U8();  // visibility
          e.kind = b.U8();
          e.name = ShortString(b, false);
          if (e.offset >= s_.size()) Bad("a sheet lies beyond the stream");
          for (const SheetEntry& other : sheetEntries_) {
            if (other.offset == e.offset) Bad("two sheets share one place in the stream");
          }
          sheetEntries_.push_back(e);
          break;
        }
        case kSst:
          sst.assign(1, r.data);
          inSst = true;
          break;
        case kContinue:
          if (!inSst) Bad("CONTINUE record without a record to continue");
          sst.push_back(r.data);
          break;
        case kFont: {
          CellFormat f;
          f.fontHeight = b.U16();
          uint16_t grbit = b.U16();
          f.italic = grbit & 0x02;
          f.strikeout = grbit & 0x08;
          f.fontColour = b.U16();
          f.bold = b.U16() >= 700;
          b.U16();
          uint8_t underline = b.U8();
          f.underline = underline != 0;
          if (underline > 1) NotKept("double or accounting underlines");
          b.Skip(3);
          f.fontName = ShortString(b, false);
          fonts_.push_back(f);
          if (fonts_.size() == 4) fonts_.push_back(f);  // index 4 does not exist
          break;
        }
        case kFormat: {
          uint16_t index = b.U16();
          formats_[index] = ShortString(b, true);
          break;
        }
        case kXf: xfs_.push_back(ParseXf(b)); break;
        case kPalette: CheckPalette(b); break;
        case kWindow1: {
          b.Skip(10);
          result_.activeSheet = b.U16();
          break;
        }
        case kExternSheet: {
          uint16_t n = b.U16();
          b.Need(static_cast<std::size_t>(n) * 6);
          externSheets_.clear();
          for (int i = 0; i < n; ++i) {
            b.U16();
            externSheets_.push_back(b.U16());
            b.U16();
          }
          break;
        }
        case kDateMode:
          if (b.U16() != 0) NotKept("the 1904 date system");
          break;
        case kName: NotKept("names"); break;
        default:
          if (!Harmless(r.id)) NotKept("other workbook settings");
          break;
      }
    }
  }

  // The SST across its CONTINUE records: a string's characters may resume
  // in the next record after a flags byte that says their width again.
  void ParseSst(const std::vector<std::string_view>& parts) {
    if (parts.empty()) return;
    std::size_t part = 0, at = 8;
    if (parts[0].size() < 8) Bad("SST record too short");
    uint32_t count = Bytes(parts[0].substr(4, 4)).U32();
    auto need = [&](std::size_t n) {
      while (at == parts[part].size() && part + 1 < parts.size()) {
        ++part;
        at = 0;
      }
      if (parts[part].size() - at < n) Bad("shared string beyond its records");
    };
    auto u8 = [&]() {
      need(1);
      return static_cast<uint8_t>(parts[part][at++]);
    };
    auto u16 = [&]() {
      need(2);
      uint16_t v = static_cast<uint16_t>(static_cast<unsigned char>(parts[part][at]) |
                                         (static_cast<unsigned char>(parts[part][at + 1]) << 8));
      at += 2;
      return v;
    };
    auto skip = [&](std::size_t n) {
      while (n > 0) {
        need(1);
        std::size_t k = std::min(n, parts[part].size() - at);
        at += k;
        n -= k;
      }
    };
    std::size_t total = 0;
    for (auto p : parts) total += p.size();
    if (count > total / 3) Bad("SST counts more strings than it holds");
    strings_.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
      uint16_t n = u16();
      uint8_t flags = u8();
      std::size_t runs = 0, ext = 0;
      if (flags & 0x08) runs = u16();
      if (flags & 0x04) {
        uint32_t lo = u16();
        ext = lo | (static_cast<uint32_t>(u16()) << 16);
      }
      bool wide = flags & 0x01;
      AnsiString text;
      for (std::size_t c = 0; c < n; ++c) {
        if (at == parts[part].size() && part + 1 < parts.size()) {
          ++part;
          at = 0;
          wide = u8() & 0x01;
        }
        AppendChar(text, wide ? u16() : u8());
      }
      if (runs) NotKept("formatted text runs");
      skip(runs * 4);
      skip(ext);
      strings_.push_back(std::move(text));
    }
  }

  void CheckPalette(Bytes& b) {
    uint16_t n = b.U16();
    b.Need(static_cast<std::size_t>(n) * 4);
    // The file refers to palette entries; ours is the default one, so a
    // workbook with colours of its own would change them.
    for (int i = 0; i < n; ++i) {
      uint32_t r = b.U8(), g = b.U8(), bl = b.U8();
      b.U8();
      if (i >= kPaletteSize || ((r << 16) | (g << 8) | bl) != DefaultPaletteRgb(kFirstPaletteIndex + i)) {
        NotKept("the workbook's own colour palette");
        return;
      }
    }
  }

  struct Xf {
    uint16_t font = 0, format = 0;
    CellFormat f;
  };

  Xf ParseXf(Bytes& b) {
    Xf x;
    x.font = b.U16();
    x.format = b.U16();
    b.U16();
    uint8_t align = b.U8();
    x.f.hAlign = align & 0x07;
    x.f.wrap = align & 0x08;
    x.f.vAlign = (align >> 4) & 0x07;
    if (x.f.hAlign > kHCentreAcross) {
      x.f.hAlign = kHGeneral;
      NotKept("distributed alignment");
    }
    if (x.f.vAlign > kVDistributed) x.f.vAlign = kVBottom;
    x.f.rotation = b.U8();
    if (x.f.rotation > 180 && x.f.rotation != 255) x.f.rotation = 0;
    uint8_t indent = b.U8();
    x.f.indent = indent & 0x0F;
    x.f.shrink = indent & 0x10;
    b.U8();
    uint32_t b1 = b.U32(), b2 = b.U32();
    uint16_t colours = b.U16();
    auto line = [](uint32_t v) { return static_cast<uint8_t>(v & 0x0F); };
    x.f.borders[kEdgeLeft] = {line(b1), static_cast<uint8_t>((b1 >> 16) & 0x7F)};
    x.f.borders[kEdgeRight] = {line(b1 >> 4), static_cast<uint8_t>((b1 >> 23) & 0x7F)};
    x.f.borders[kEdgeTop] = {line(b1 >> 8), static_cast<uint8_t>(b2 & 0x7F)};
    x.f.borders[kEdgeBottom] = {line(b1 >> 12), static_cast<uint8_t>((b2 >> 7) & 0x7F)};
    for (BorderLine& l : x.f.borders) {
      if (l.line > kLineSlantDashDot) l.line = kLineThin;
      if (l.line == kLineNone) l.colour = kColourAutomaticLine;
    }
    if (((b1 >> 30) & 3) != 0 && ((b2 >> 21) & 0x0F) != 0) NotKept("diagonal borders");
    x.f.pattern = static_cast<uint8_t>((b2 >> 26) & 0x3F);
    if (x.f.pattern > 18) x.f.pattern = 1;
    uint8_t fore = colours & 0x7F, back = (colours >> 7) & 0x7F;
    if (x.f.pattern == 1) {
      x.f.fillColour = fore;
    } else if (x.f.pattern != 0) {
      x.f.patternColour = fore;
      x.f.fillColour = back;
    }
    return x;
  }

  // The model's format of an XF index, added to the sheet's styles.
  uint16_t StyleOf(SheetData& sheet, uint16_t xfIndex) {
    (void)sheet;
    auto& cache = styleCache_;
    auto it = cache.find(xfIndex);
    if (it != cache.end()) return it->second;
    CellFormat f;
    if (xfIndex < xfs_.size()) {
      const Xf& x = xfs_[xfIndex];
      f = x.f;
      if (x.font < fonts_.size()) {
        const CellFormat& font = fonts_[x.font];
        f.fontName = font.fontName;
        f.fontHeight = font.fontHeight;
        f.bold = font.bold;
        f.italic = font.italic;
        f.underline = font.underline;
        f.strikeout = font.strikeout;
        f.fontColour = font.fontColour;
      }
      f.numberFormat = FormatText(x.format);
    }
    uint16_t style = sheet.StyleIndex(f);
    cache[xfIndex] = style;
    return style;
  }

  AnsiString FormatText(uint16_t index) {
    auto it = formats_.find(index);
    if (it != formats_.end()) return it->second == "General" ? AnsiString() : it->second;
    switch (index) {
      case 0: return {};
      case 1: return "0";
      case 2: return "0.00";
      case 3: return "#,##0";
      case 4: return "#,##0.00";
      case 9: return "0%";
      case 10: return "0.00%";
      case 11: return "0.00E+00";
      case 14: return "dd.mm.yyyy";
      case 20: return "h:mm";
      case 21: return "h:mm:ss";
      case 22: return "dd.mm.yyyy h:mm";
      case 49: return "@";
      default: NotKept("built-in number formats"); return {};
    }
  }

  static double RkValue(uint32_t rk) {
    double v;
    if (rk & 0x02) {
      v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
    } else {
      uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
      std::memcpy(&v, &bits, 8);
    }
    return (rk & 0x01) ? v / 100 : v;
  }

  Cell& CellAt(SheetData& sheet, int row, int col, uint16_t xf) {
    if (row < 0 || row >= kMaxRows || col < 0 || col >= kMaxColumns) Bad("a cell lies outside the sheet");
    Cell& c = sheet.At(row, col);
    c = Cell{};
    c.style = StyleOf(sheet, xf);
    return c;
  }

  void ReadSheet(SheetData& sheet, uint32_t offset, int entryIndex) {
    styleCache_.clear();
    Records rs(s_, offset);
    Record r;
    if (!rs.Next(r) || r.id != kBof) Bad("a sheet does not start with BOF");
    Bytes bof(r.data, "BOF");
    if (bof.U16() != kBiff8Version || bof.U16() != kBofWorksheet) Bad("a sheet of an unknown kind");
    Cell* pendingString = nullptr;  // a text formula's cell, waiting for STRING
    ClientAnchor lastAnchor;
    bool haveAnchor = false;
    std::vector<std::pair<ClientAnchor, std::shared_ptr<Chart>>> charts;
    for (;;) {
      if (!rs.Next(r)) Bad("a sheet has no end");
      Bytes b(r.data);
      if (r.id != kString) pendingString = nullptr;
      switch (r.id) {
        case kEof:
          for (auto& [anchor, chart] : charts) {
            FrameOf(sheet, anchor, chart->left, chart->top, chart->width, chart->height);
            sheet.charts.push_back(chart);
          }
          return;
        case kBof: Bad("a nested substream without its object");
        case kLabelSst: {
          int row = b.U16(), col = b.U16();
          Cell& c = CellAt(sheet, row, col, b.U16());
          uint32_t index = b.U32();
          if (index >= strings_.size()) Bad("a cell refers to a shared string that does not exist");
          c.kind = CellKind::Text;
          c.text = strings_[index];
          break;
        }
        case kLabel: {
          int row = b.U16(), col = b.U16();
          Cell& c = CellAt(sheet, row, col, b.U16());
          c.kind = CellKind::Text;
          c.text = ShortString(b, true);
          break;
        }
        case kNumber: {
          int row = b.U16(), col = b.U16();
          uint16_t xf = b.U16();
          double v = b.F64();
          Cell& c = CellAt(sheet, row, col, xf);
          c.kind = CellKind::Number;
          c.number = v;
          break;
        }
        case kRk: {
          int row = b.U16(), col = b.U16();
          uint16_t xf = b.U16();
          uint32_t rk = b.U32();
          Cell& c = CellAt(sheet, row, col, xf);
          c.kind = CellKind::Number;
          c.number = RkValue(rk);
          break;
        }
        case kMulRk: {
          int row = b.U16(), col = b.U16();
          if (r.data.size() < 6 || (r.data.size() - 6) % 6 != 0) Bad("MULRK record of a wrong length");
          std::size_t n = (r.data.size() - 6) / 6;
          for (std::size_t i = 0; i < n; ++i) {
            uint16_t xf = b.U16();
            uint32_t rk = b.U32();
            Cell& c = CellAt(sheet, row, col + static_cast<int>(i), xf);
            c.kind = CellKind::Number;
            c.number = RkValue(rk);
          }
          if (b.U16() != col + n - 1) Bad("MULRK record's last column does not match");
          break;
        }
        case kBlank: {
          int row = b.U16(), col = b.U16();
          CellAt(sheet, row, col, b.U16()).kind = CellKind::Blank;
          break;
        }
        case kMulBlank: {
          int row = b.U16(), col = b.U16();
          if (r.data.size() < 6 || r.data.size() % 2 != 0) Bad("MULBLANK record of a wrong length");
          std::size_t n = (r.data.size() - 6) / 2;
          for (std::size_t i = 0; i < n; ++i) CellAt(sheet, row, col + static_cast<int>(i), b.U16()).kind = CellKind::Blank;
          if (b.U16() != col + n - 1) Bad("MULBLANK record's last column does not match");
          break;
        }
        case kBoolErr: {
          int row = b.U16(), col = b.U16();
          Cell& c = CellAt(sheet, row, col, b.U16());
          uint8_t value = b.U8();
          if (b.U8() == 0) {
            c.kind = CellKind::Boolean;
            c.boolean = value != 0;
          } else {
            c.kind = CellKind::Blank;
            NotKept("error values");
          }
          break;
        }
        case kFormula: {
          int row = b.U16(), col = b.U16();
          Cell& c = CellAt(sheet, row, col, b.U16());
          std::string_view result = b.Take(8);
          NotKept("formulas");
          Bytes v(result);
          if (static_cast<unsigned char>(result[6]) == 0xFF && static_cast<unsigned char>(result[7]) == 0xFF) {
            uint8_t type = v.U8();
            v.U8();
            uint8_t value = v.U8();
            if (type == 0) {
              c.kind = CellKind::Text;
              pendingString = &c;
            } else if (type == 1) {
              c.kind = CellKind::Boolean;
              c.boolean = value != 0;
            } else {
              c.kind = CellKind::Blank;
              if (type == 2) NotKept("error values");
            }
          } else {
            c.kind = CellKind::Number;
            c.number = v.F64();
          }
          break;
        }
        case kString:
          if (!pendingString) {
            Bad("STRING record without a formula");
          }
          pendingString->text = ShortString(b, true);
          pendingString = nullptr;
          break;
        case kColInfo: {
          int first = b.U16(), last = b.U16();
          uint16_t width = b.U16(), xf = b.U16(), options = b.U16();
          if (first > last || last >= kMaxColumns) {
            if (first >= kMaxColumns) Bad("column settings outside the sheet");
            last = std::min(last, kMaxColumns - 1);
            if (first > last) Bad("column settings outside the sheet");
          }
          uint16_t style = StyleOf(sheet, xf);
          for (int c = first; c <= last; ++c) {
            // A width not set by the user is the standard one.
            sheet.columnWidths[static_cast<std::size_t>(c)] = (options & 0x0002) || width != 2231 ? width : -1;
            sheet.columnStyles[static_cast<std::size_t>(c)] = style;
          }
          if (options & 0x0701) NotKept("hidden or grouped columns");
          break;
        }
        case kRow: {
          int row = b.U16();
          b.Skip(4);
          uint16_t height = b.U16();
          b.Skip(4);
          uint16_t flags = b.U16();
          if (row >= kMaxRows) Bad("a row outside the sheet");
          if (sheet.rows.size() <= static_cast<std::size_t>(row)) sheet.rows.resize(static_cast<std::size_t>(row) + 1);
          Row& rw = sheet.rows[static_cast<std::size_t>(row)];
          rw.outlineLevel = flags & 0x07;
          if ((flags & 0x0040) && !(height & 0x8000)) rw.height = static_cast<uint16_t>(height & 0x7FFF);
          if (flags & 0x0030) NotKept("hidden or collapsed rows");
          break;
        }
        case kWsBool: sheet.summaryBelow = (b.U16() & 0x0040) != 0; break;
        case kSelection: {
          b.U8();
          sheet.activeRow = b.U16();
          sheet.activeColumn = std::min<int>(b.U16(), kMaxColumns - 1);
          b.U16();
          if (b.U16() > 0) {
            sheet.selFirstRow = b.U16();
            sheet.selLastRow = b.U16();
            sheet.selFirstColumn = b.U8();
            sheet.selLastColumn = b.U8();
          }
          break;
        }
        case kHlink: sheet.hyperlinks.push_back(std::make_shared<Hyperlink>(ParseHyperlink(r.data))); break;
        case kMsoDrawing:
          haveAnchor = LastAnchor(r.data, lastAnchor) || haveAnchor;
          break;
        case kObj: {
          uint16_t ft = b.U16();
          b.U16();
          uint16_t ot = b.U16();
          if (ft != 0x0015) Bad("an object record without its common data");
          if (ot != kObjChart) {
            NotKept(ot == 0x19 ? "comments" : "drawings other than charts");
            break;
          }
          if (rs.PeekId() != kBof) Bad("a chart object without its chart");
          auto chart = std::make_shared<Chart>();
          ReadChart(rs, *chart, entryIndex);
          if (!haveAnchor) Bad("a chart without its drawing");
          charts.emplace_back(lastAnchor, chart);
          haveAnchor = false;
          break;
        }
        case kNote: NotKept("comments"); break;
        case 0x001A:
        case 0x001B:
          if (b.U16() != 0) NotKept("page breaks");
          break;
        case kTxo: NotKept("text boxes"); break;
        default:
          if (!Harmless(r.id)) NotKept("other sheet settings");
          break;
      }
    }
  }

  // The last client anchor in a drawing record's shapes.
  bool LastAnchor(std::string_view data, ClientAnchor& anchor) {
    Bytes b(data, "drawing record");
    bool found = false;
    while (b.Left() > 0) {
      uint16_t verInst = b.U16();
      uint16_t type = b.U16();
      uint32_t length = b.U32();
      if ((verInst & 0x0F) == 0x0F) continue;  // a container: its parts follow
      if (length > b.Left()) Bad("a drawing part longer than its record");
      Bytes atom(b.Take(length), "drawing anchor");
      if (type == 0xF010) {
        atom.U16();
        for (AnchorCorner* c : {&anchor.from, &anchor.to}) {
          c->col = atom.U16();
          c->dx = atom.U16();
          c->row = atom.U16();
          c->dy = atom.U16();
          if (c->col >= kMaxColumns || c->row >= kMaxRows) Bad("a drawing anchored outside the sheet");
        }
        found = true;
      } else if (type == 0xF00A && length >= 4) {
        // Shapes other than charts are kept only when an OBJ says chart.
      }
    }
    return found;
  }

  // An area reference of a chart formula, on the chart's own sheet.
  bool AreaOfFormula(std::string_view f, int entryIndex, CellArea& area) {
    Bytes b(f, "chart reference");
    uint8_t ptg = b.U8();
    uint16_t ixti = b.U16();
    if (ptg == 0x3B || ptg == 0x5B || ptg == 0x7B) {
      area.row0 = b.U16();
      area.row1 = b.U16();
      area.col0 = b.U16() & 0x00FF;
      area.col1 = b.U16() & 0x00FF;
    } else if (ptg == 0x3A || ptg == 0x5A || ptg == 0x7A) {
      area.row0 = area.row1 = b.U16();
      area.col0 = area.col1 = b.U16() & 0x00FF;
    } else {
      return false;
    }
    if (b.Left() != 0 || ixti >= externSheets_.size() || externSheets_[ixti] != entryIndex) return false;
    if (area.row0 > area.row1 || area.col0 > area.col1) return false;
    return true;
  }

  void ReadChart(Records& rs, Chart& chart, int entryIndex) {
    Record r;
    int depth = 0;
    ChartGroup group;
    bool haveGroup = false;
    bool any = false;
    CellArea all;
    auto add = [&](const CellArea& a) {
      if (!any) {
        all = a;
        any = true;
        return;
      }
      all.row0 = std::min(all.row0, a.row0);
      all.col0 = std::min(all.col0, a.col0);
      all.row1 = std::max(all.row1, a.row1);
      all.col1 = std::max(all.col1, a.col1);
    };
    chart.hasLegend = false;
    chart.categoryLabels = 0;
    chart.seriesLabels = 0;
    static const std::set<uint16_t> kOurs = {
        kChartUnits, kChartChart,    kChartSeries,   kChartFormat,     kChartLegend,     kChartBar,
        kChartLine,  kChartPie,      kChartArea,     kChartScatter,    kChartAxis,       kChartTick,
        kChartValueRange, kChartCatSerRange, kChartBegin, kChartEnd,  kChartPlotArea,   kChart3d,
        kChartRadar, kChartAxisParent, kChartShtProps, kChartSerToCrt, kChartAxesUsed,  kChartPos,
        kChartAi,    kChartPlotGrowth, 0x00A0,
    };
    for (;;) {
      if (!rs.Next(r)) Bad("a chart has no end");
      Bytes b(r.data, "chart record");
      switch (r.id) {
        case kBof: {
          ++depth;
          if (depth == 1) {
            if (b.U16() != kBiff8Version || b.U16() != kBofChart) Bad("a chart object followed by something else");
          } else {
            NotKept("chart details");
          }
          continue;
        }
        case kEof:
          if (--depth == 0) {
            chart.type = haveGroup ? TypeOfGroup(group) : kDefaultChartType;
            if (any) {
              chart.hasSource = true;
              chart.source = all;
            } else {
              chart.categoryLabels = chart.seriesLabels = 1;  // what a chart without data starts with
            }
            return;
          }
          continue;
        default: break;
      }
      if (depth > 1) continue;
      if (!kOurs.count(r.id)) {
        NotKept("chart details");
        continue;
      }
      switch (r.id) {
        case kChartAi: {
          uint8_t id = b.U8();
          uint8_t rt = b.U8();
          b.U16();
          b.U16();
          uint16_t cce = b.U16();
          std::string_view f = b.Take(cce);
          if (rt != 2 || cce == 0) break;
          CellArea a;
          if (!AreaOfFormula(f, entryIndex, a)) {
            NotKept("chart data on other sheets or in formulas");
            break;
          }
          if (id > 2) break;
          add(a);
          if (id == 0) chart.seriesLabels = 1;
          if (id == 2) chart.categoryLabels = 1;
          break;
        }
        case kChartBar: {
          b.U16();
          b.U16();
          uint16_t flags = b.U16();
          group.record = kChartBar;
          group.horizontal = flags & 1;
          group.stacked = flags & 2;
          haveGroup = true;
          break;
        }
        case kChartPie: {
          b.U16();
          group.record = kChartPie;
          group.doughnut = b.U16() != 0;
          haveGroup = true;
          break;
        }
        case kChartLine:
        case kChartArea:
        case kChartScatter:
        case kChartRadar:
          group.record = r.id;
          haveGroup = true;
          break;
        case kChart3d: group.threeD = true; break;
        case kChartLegend: chart.hasLegend = true; break;
        default: break;
      }
    }
  }

  Hyperlink ParseHyperlink(std::string_view data) {
    Bytes b(data, "hyperlink");
    Hyperlink h;
    h.area.row0 = b.U16();
    h.area.row1 = b.U16();
    h.area.col0 = b.U16();
    h.area.col1 = b.U16();
    if (h.area.row0 > h.area.row1 || h.area.col0 > h.area.col1 || h.area.col1 >= kMaxColumns) {
      Bad("a hyperlink on cells outside the sheet");
    }
    b.Skip(16);
    b.U32();
    uint32_t flags = b.U32();
    auto counted = [&](AnsiString* out) {
      uint32_t n = b.U32();
      if (n > b.Left() / 2) Bad("a hyperlink text longer than its record");
      for (uint32_t i = 0; i < n; ++i) {
        uint16_t c = b.U16();
        if (out && !(i + 1 == n && c == 0)) AppendChar(*out, c);
      }
    };
    if (flags & 0x14) counted(nullptr);  // the shown text: the cell's own
    if (flags & 0x80) {
      counted(nullptr);
      NotKept("hyperlink target frames");
    }
    if ((flags & 0x01) && !(flags & 0x100)) {
      std::string_view clsid = b.Take(16);
      static constexpr unsigned char kUrl[16] = {0xE0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                                                 0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};
      static constexpr unsigned char kFile[16] = {0x03, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                  0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
      if (std::memcmp(clsid.data(), kUrl, 16) == 0) {
        uint32_t bytes = b.U32();
        Bytes url(b.Take(bytes), "hyperlink address");
        while (url.Left() >= 2) {
          uint16_t c = url.U16();
          if (c == 0) break;
          AppendChar(h.address, c);
        }
      } else if (std::memcmp(clsid.data(), kFile, 16) == 0) {
        uint16_t up = b.U16();
        uint32_t n = b.U32();
        std::string_view ansi = b.Take(n);
        b.Skip(24);
        uint32_t rest = b.U32();
        AnsiString path;
        for (uint16_t i = 0; i < up; ++i) path += "..\\";
        if (rest) {
          Bytes ext(b.Take(rest), "hyperlink path");
          uint32_t bytes = ext.U32();
          ext.U16();
          if (bytes % 2 || bytes > ext.Left()) Bad("a hyperlink path longer than its record");
          for (uint32_t i = 0; i < bytes / 2; ++i) AppendChar(path, ext.U16());
        } else {
          for (char c : ansi) {
            if (c != 0) AppendChar(path, static_cast<unsigned char>(c));
          }
        }
        h.address = path;
      } else {
        NotKept("hyperlinks of other kinds");
      }
    } else if (flags & 0x01) {
      counted(&h.address);
    }
    if (flags & 0x08) counted(&h.subAddress);
    return h;
  }

  std::string_view s_;
  ReadWorkbookResult result_;
  std::vector<SheetEntry> sheetEntries_;
  std::vector<AnsiString> strings_;
  std::vector<CellFormat> fonts_;
  std::map<uint16_t, AnsiString> formats_;
  std::vector<Xf> xfs_;
  std::vector<int> externSheets_;
  std::map<uint16_t, uint16_t> styleCache_;  // of the sheet being read
};

}  // namespace

ReadWorkbookResult ReadWorkbookRecords(std::string_view stream) { return Reader(stream).Read(); }

ReadWorkbookResult ReadXlsFile(std::string_view file) { return ReadWorkbookRecords(ReadWorkbookStream(file)); }

}  // namespace biff
