#include "tools/rps_dump/dump.h"

#include <cstdio>
#include <map>

#include "report/page_stream.h"

using namespace rps;

namespace {

// Operand forms: p point, r rect, g graphic, f float, l long, b byte,
// w word, t text; special records are handled by code.
const std::map<int, std::pair<const char*, const char*>>& Table() {
  static const std::map<int, std::pair<const char*, const char*>> t = {
      {1, {"arc", "pppp"}}, {2, {"brush copy", "grrl"}}, {3, {"chord", "pppp"}}, {4, {"copy rect", "rlr"}},
      {5, {"draw", "gp"}}, {6, {"focus rect", "r"}}, {7, {"ellipse", "pp"}}, {8, {"fill rect", "r"}},
      {9, {"flood fill", "pll"}}, {10, {"frame rect", "r"}}, {11, {"line to", "p"}}, {12, {"move to", "p"}},
      {13, {"pie", "pppp"}}, {16, {"bitmap", "gpff"}}, {17, {"bitmap rect", "gpp"}}, {18, {"rectangle", "pp"}},
      {19, {"plain rect", "pp"}}, {20, {"round rect", "ppff"}}, {21, {"stretch draw", "gr"}},
      {22, {"text rect", "rpt"}}, {23, {"text centre", "ftf"}}, {24, {"text left", "ftf"}},
      {25, {"text right", "ftf"}}, {26, {"bk mode", "b"}}, {27, {"back colour", "l"}}, {28, {"scale x", "f"}},
      {29, {"scale y", "f"}}, {30, {"device text", "t"}}, {32, {"text block (old)", "ftff"}},
      {33, {"text block", "ftff"}}, {34, {"transparent", "b"}}, {35, {"frame mode", "b"}},
      {41, {"brush colour", "l"}}, {42, {"brush style", "b"}}, {51, {"font name", "t"}},
      {52, {"font colour", "l"}}, {53, {"font pitch", "b"}}, {55, {"bold", "b"}}, {56, {"underline", "b"}},
      {57, {"italic", "b"}}, {58, {"strike-out", "b"}}, {59, {"superscript", "b"}}, {60, {"subscript", "b"}},
      {61, {"rotation", "w"}}, {62, {"placement", "b"}}, {63, {"charset", "b"}}, {71, {"pen colour", "l"}},
      {72, {"pen mode", "b"}}, {73, {"pen style", "b"}}, {74, {"pen width", "f"}}, {83, {"line metrics", "fff"}},
      {84, {"preview only", ""}}, {85, {"printer only", ""}}, {86, {"all", ""}}, {87, {"orientation", "b"}},
      {88, {"bin", "t"}}};
  return t;
}

std::string F(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}

void Operands(TPageStreamReader& r, const char* forms, std::string& line) {
  for (const char* c = forms; *c; ++c) {
    double a, b, x, y;
    switch (*c) {
      case 'p': r.ReadPoint(a, b); line += " (" + F(a) + "," + F(b) + ")"; break;
      case 'r': r.ReadRect(a, b, x, y); line += " [" + F(a) + "," + F(b) + "," + F(x) + "," + F(y) + "]"; break;
      case 'g': {
        TStoredGraphic g = r.ReadGraphic();
        line += " graphic " + std::to_string(g.kind) + ":" + std::to_string(g.data.size()) + "B";
        break;
      }
      case 'f': line += " " + F(r.ReadFloat()); break;
      case 'l': line += " " + std::to_string(r.ReadLong()); break;
      case 'b': line += " " + std::to_string(r.ReadByte()); break;
      case 'w': line += " " + std::to_string(r.ReadWord()); break;
      case 't': line += " \"" + r.ReadText() + "\""; break;
      default: break;
    }
  }
}

}  // namespace

std::string DumpPageStream(TStream& stream) {
  std::string out;
  TPageStreamReader r(stream);
  try {
    TStreamHeader h = r.ReadHeader();
    out += "0 header version " + std::to_string(h.version) + " \"" + h.title + "\" pages " +
           std::to_string(h.pageCount) + " size " + F(h.pageWidth) + "x" + F(h.pageHeight) + "\n";
    for (const TPageRecord& page : r.Pages()) {
      r.Seek(page.pos);
      TPageRecord p = r.ReadPageRecord();
      out += std::to_string(p.pos) + " 80 page " + std::to_string(p.number) + " prev " + std::to_string(p.prev) +
             " next " + std::to_string(p.next) + "\n";
      while (true) {
        int64_t pos = r.Position();
        int code = r.ReadByte();
        std::string line = std::to_string(pos) + " " + std::to_string(code);
        if (code == cEndPage) {
          out += line + " end of page\n";
          break;
        }
        auto it = Table().find(code);
        if (it != Table().end()) {
          line += std::string(" ") + it->second.first;
          Operands(r, it->second.second, line);
        } else if (code == cPolygon || code == cPolyline) {
          int h = r.ReadWord();
          if (h < 0) UnexpectedCode();
          line += code == cPolygon ? " polygon" : " polyline";
          line += " " + std::to_string(h + 1) + " points";
          r.Need(static_cast<int64_t>(h + 1) * 8);
          r.ReadBytes(static_cast<int64_t>(h + 1) * 8);
        } else if (code == cDeviceData) {
          int64_t n = r.ReadLength();
          r.ReadBytes(n);
          line += " device data " + std::to_string(n) + "B";
        } else if (code == cImageData) {
          int64_t n = r.ReadLength();
          r.ReadBytes(n);
          line += " image " + std::to_string(n) + "B";
          Operands(r, "tpp", line);
        } else if (code == cNamedValue) {
          AnsiString name, value;
          r.ReadNamedValue(name, value);
          line += " named value \"" + name + "\" = \"" + value + "\"";
        } else if (code == cBrushBitmap) {
          line += " brush bitmap";
          if (r.ReadByte() == 1) Operands(r, "g", line);
        } else if (code == cBrushOld) {
          line += " brush";
          Operands(r, "lb", line);
          if (r.ReadByte() == 1) Operands(r, "g", line);
        } else if (code == cFontSize) {
          line += " font size";
          Operands(r, r.Version() >= kVersion2000 ? "ff" : "f", line);
        } else if (code == cFontOld) {
          line += " font";
          Operands(r, r.Version() >= kVersion2018 ? "tlbbfbbbb" : "tlbfbbbb", line);
          if (r.Version() >= kVersion2000) Operands(r, "w", line);
        } else if (code == cPenOld) {
          line += " pen";
          Operands(r, "lbbf", line);
        } else {
          UnexpectedCode();
        }
        out += line + "\n";
      }
    }
  } catch (const Exception& e) {
    out += std::to_string(r.Position()) + " error: " + e.Message() + "\n";
  }
  return out;
}
