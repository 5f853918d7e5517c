// HLINK record writer.
#include "excel/biff/biff_hyperlink.h"

#include "excel/biff/biff_strings.h"
#include "platform/rtl/codepages.h"

namespace biff {

namespace {

constexpr unsigned char kHyperlinkClsid[16] = {0xD0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                                               0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};
constexpr unsigned char kUrlMonikerClsid[16] = {0xE0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                                                0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};
constexpr unsigned char kFileMonikerClsid[16] = {0x03, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

void PutBytes(std::string& out, const unsigned char (&bytes)[16]) { out.append(reinterpret_cast<const char*>(bytes), 16); }

void PutUtf16(std::string& out, std::u16string_view text) {
  for (char16_t c : text) Put16(out, static_cast<uint16_t>(c));
}

bool IsAbsolutePath(std::string_view path) {
  return (!path.empty() && (path[0] == '\\' || path[0] == '/')) || (path.size() >= 2 && path[1] == ':');
}

}  // namespace

bool IsUrlAddress(std::string_view address) {
  static constexpr std::string_view kSchemes[] = {"http:", "https:", "ftp:", "mailto:", "file:"};
  for (std::string_view scheme : kSchemes) {
    if (address.size() < scheme.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < scheme.size() && same; ++i) same = (address[i] | 0x20) == scheme[i] || address[i] == scheme[i];
    if (same) return true;
  }
  return false;
}

std::string HyperlinkRecordData(const Hyperlink& link) {
  std::string out;
  Put16(out, static_cast<uint16_t>(link.area.row0));
  Put16(out, static_cast<uint16_t>(link.area.row1));
  Put16(out, static_cast<uint16_t>(link.area.col0));
  Put16(out, static_cast<uint16_t>(link.area.col1));
  PutBytes(out, kHyperlinkClsid);
  Put32(out, 2);
  bool url = IsUrlAddress(link.address);
  uint32_t flags = 0;
  if (!link.address.empty()) flags |= 0x01;
  if (url || IsAbsolutePath(link.address)) flags |= 0x02;
  if (!link.subAddress.empty()) flags |= 0x08;
  Put32(out, flags);
  if (!link.address.empty()) {
    std::u16string text = Cp1250ToUtf16(link.address);
    if (url) {
      PutBytes(out, kUrlMonikerClsid);
      Put32(out, static_cast<uint32_t>(2 * (text.size() + 1)));
      PutUtf16(out, text);
      Put16(out, 0);
    } else {
      PutBytes(out, kFileMonikerClsid);
      Put16(out, 0);  // no "..\" counted out of the path
      // The 8-bit path; characters beyond ASCII live in the UTF-16 part.
      std::string ansi;
      for (char16_t c : text) ansi += c < 0x80 ? static_cast<char>(c) : '_';
      Put32(out, static_cast<uint32_t>(ansi.size() + 1));
      out += ansi;
      Put8(out, 0);
      Put16(out, 0xFFFF);
      Put16(out, 0xDEAD);
      out.append(20, '\0');
      Put32(out, static_cast<uint32_t>(6 + 2 * text.size()));
      Put32(out, static_cast<uint32_t>(2 * text.size()));
      Put16(out, 3);
      PutUtf16(out, text);
    }
  }
  if (!link.subAddress.empty()) {
    std::u16string mark = Cp1250ToUtf16(link.subAddress);
    Put32(out, static_cast<uint32_t>(mark.size() + 1));
    PutUtf16(out, mark);
    Put16(out, 0);
  }
  return out;
}

}  // namespace biff
