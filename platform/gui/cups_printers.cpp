// CUPS destinations as printers. The destination list is read once per
// backend; capabilities are asked of the print server each time a printer
// is selected, so a changed queue is seen at the next selection.
#include "platform/gui/cups_printers.h"

#include <cups/cups.h>

#include "platform/rtl/codepages.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

AnsiString FromUtf8(const char* s) { return s ? Utf8ToAnsi(s) : AnsiString(); }

AnsiString Cut(const AnsiString& s, std::size_t n) { return s.size() > n ? s.substr(0, n) : s; }

class CupsBackend : public TPrinterBackend {
 public:
  ~CupsBackend() override {
    if (dests_) cupsFreeDests(count_, dests_);
  }

  std::vector<AnsiString> Destinations() override {
    Load();
    std::vector<AnsiString> out;
    for (int i = 0; i < count_; ++i) {
      std::string name = dests_[i].name;
      if (dests_[i].instance) name += std::string("/") + dests_[i].instance;
      out.push_back(FromUtf8(name.c_str()));
    }
    return out;
  }

  int DefaultDestination() override {
    Load();
    for (int i = 0; i < count_; ++i)
      if (dests_[i].is_default) return i;
    return -1;
  }

  bool Capabilities(const AnsiString& printer, TPrinterCaps& caps) override {
    cups_dest_t* dest = Find(printer);
    if (!dest) return false;
    cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest);
    if (!info) return false;
    caps = TPrinterCaps{};
    if (ipp_attribute_t* a = cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest, info, "copies")) {
      int upper = 1;
      if (ippGetValueTag(a) == IPP_TAG_RANGE)
        ippGetRange(a, 0, &upper);
      else
        upper = ippGetInteger(a, 0);
      caps.maxCopies = std::max(1, upper);
    }
    caps.duplex = cupsCheckDestSupported(CUPS_HTTP_DEFAULT, dest, info, "sides", "two-sided-long-edge");
    caps.collate = cupsCheckDestSupported(CUPS_HTTP_DEFAULT, dest, info, "multiple-document-handling",
                                          "separate-documents-collated-copies") ||
                   cupsCheckDestSupported(CUPS_HTTP_DEFAULT, dest, info, "collate", nullptr);
    // More than two colours: the queue's color-supported bit, or a colour mode on offer.
    const char* type = cupsGetOption("printer-type", dest->num_options, dest->options);
    caps.color = (type && (std::strtoul(type, nullptr, 10) & CUPS_PRINTER_COLOR)) ||
                 cupsCheckDestSupported(CUPS_HTTP_DEFAULT, dest, info, "print-color-mode", "color");
    if (ipp_attribute_t* a = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, "printer-resolution")) {
      ipp_res_t units;
      int y = 0;
      int x = ippGetResolution(a, 0, &y, &units);
      caps.resolution = units == IPP_RES_PER_CM ? static_cast<int>(std::lround(x * 2.54)) : x;
    }
    if (ipp_attribute_t* a = cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest, info, "media-source")) {
      for (int i = 0; i < ippGetCount(a); ++i) {
        const char* kw = ippGetString(a, i, nullptr);
        if (!kw) continue;
        TPrinterBin bin;
        bin.keyword = kw;
        bin.name = Cut(FromUtf8(cupsLocalizeDestValue(CUPS_HTTP_DEFAULT, dest, info, "media-source", kw)), 24);
        bin.code = BinCodeForSource(kw, static_cast<int>(caps.bins.size()));
        caps.bins.push_back(bin);
      }
    }
    int media = cupsGetDestMediaCount(CUPS_HTTP_DEFAULT, dest, info, CUPS_MEDIA_FLAGS_DEFAULT);
    for (int i = 0; i < media; ++i) {
      cups_size_t size;
      if (!cupsGetDestMediaByIndex(CUPS_HTTP_DEFAULT, dest, info, i, CUPS_MEDIA_FLAGS_DEFAULT, &size)) continue;
      TPrinterPaper paper;
      paper.keyword = size.media;
      const char* shown = cupsLocalizeDestMedia(CUPS_HTTP_DEFAULT, dest, info, CUPS_MEDIA_FLAGS_DEFAULT, &size);
      paper.name = Cut(FromUtf8(shown ? shown : size.media), 64);
      int code = PaperCodeForMedia(size.media);
      paper.code = code ? code : DMPAPER_USER + 1 + static_cast<int>(caps.papers.size());
      paper.widthInch = size.width / 2540.0;
      paper.heightInch = size.length / 2540.0;
      paper.left = size.left / 2540.0;
      paper.right = size.right / 2540.0;
      paper.top = size.top / 2540.0;
      paper.bottom = size.bottom / 2540.0;
      caps.papers.push_back(paper);
    }
    if (ipp_attribute_t* a = cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest, info, "media")) {
      for (int i = 0; i < ippGetCount(a); ++i) {
        const char* kw = ippGetString(a, i, nullptr);
        if (!kw) continue;
        pwg_media_t* pwg = pwgMediaForPWG(kw);
        if (!pwg) continue;
        if (std::strncmp(kw, "custom_min_", 11) == 0) {
          caps.minWidth = pwg->width / 10;
          caps.minLength = pwg->length / 10;
        } else if (std::strncmp(kw, "custom_max_", 11) == 0) {
          caps.maxWidth = pwg->width / 10;
          caps.maxLength = pwg->length / 10;
        }
      }
    }
    TRptDeviceMode& d = caps.defaults;
    d.fields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES;
    if (!caps.bins.empty()) d.fields |= DM_DEFAULTSOURCE;
    if (caps.duplex) d.fields |= DM_DUPLEX;
    if (caps.collate) d.fields |= DM_COLLATE;
    if (caps.maxWidth > 0) d.fields |= DM_PAPERLENGTH | DM_PAPERWIDTH;
    cups_size_t def;
    if (cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest, info, CUPS_MEDIA_FLAGS_DEFAULT, &def)) {
      int code = PaperCodeForMedia(def.media);
      for (const TPrinterPaper& p : caps.papers)
        if (p.keyword == def.media) code = p.code;
      if (code) d.paperSize = code;
    }
    if (!caps.bins.empty()) d.defaultSource = caps.bins.front().code;
    cupsFreeDestInfo(info);
    return true;
  }

  int Submit(const AnsiString& printer, const std::string& pdfPath, const TPrintJobOptions& o) override {
    cups_dest_t* dest = Find(printer);
    if (!dest) throw EPrinter(Format("Printer %s is not available", printer));
    cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest);
    cups_option_t* options = nullptr;
    int n = 0;
    std::string copies = std::to_string(o.copies);
    n = cupsAddOption("copies", copies.c_str(), n, &options);
    if (o.collate) n = cupsAddOption("multiple-document-handling", "separate-documents-collated-copies", n, &options);
    n = cupsAddOption("sides", o.sides.c_str(), n, &options);
    if (!o.media.empty()) n = cupsAddOption("media", o.media.c_str(), n, &options);
    if (!o.mediaSource.empty()) n = cupsAddOption("media-source", o.mediaSource.c_str(), n, &options);
    std::string title = AnsiToUtf8(o.title);
    int job = 0;
    ipp_status_t status = cupsCreateDestJob(CUPS_HTTP_DEFAULT, dest, info, &job, title.c_str(), n, options);
    bool ok = status == IPP_STATUS_OK && job > 0;
    if (ok) {
      ok = cupsStartDestDocument(CUPS_HTTP_DEFAULT, dest, info, job, title.c_str(), CUPS_FORMAT_PDF, 0, nullptr, 1) ==
           HTTP_STATUS_CONTINUE;
      FILE* f = ok ? std::fopen(pdfPath.c_str(), "rb") : nullptr;
      if (f) {
        char buf[65536];
        std::size_t got;
        while (ok && (got = std::fread(buf, 1, sizeof buf, f)) > 0)
          ok = cupsWriteRequestData(CUPS_HTTP_DEFAULT, buf, got) == HTTP_STATUS_CONTINUE;
        std::fclose(f);
      } else {
        ok = false;
      }
      ok = cupsFinishDestDocument(CUPS_HTTP_DEFAULT, dest, info) == IPP_STATUS_OK && ok;
      if (!ok) cupsCancelDestJob(CUPS_HTTP_DEFAULT, dest, job);
    }
    cupsFreeOptions(n, options);
    if (info) cupsFreeDestInfo(info);
    if (!ok) throw EPrinter(Format("The print job for %s was refused: %s", printer, FromUtf8(cupsLastErrorString())));
    return job;
  }

  void Cancel(const AnsiString& printer, int jobId) override {
    if (cups_dest_t* dest = Find(printer)) cupsCancelDestJob(CUPS_HTTP_DEFAULT, dest, jobId);
  }

 private:
  void Load() {
    if (loaded_) return;
    loaded_ = true;
    count_ = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests_);
  }
  cups_dest_t* Find(const AnsiString& printer) {
    Load();
    std::string utf8 = AnsiToUtf8(printer);
    std::string name = utf8, instance;
    if (auto slash = utf8.find('/'); slash != std::string::npos) {
      name = utf8.substr(0, slash);
      instance = utf8.substr(slash + 1);
    }
    return cupsGetDest(name.c_str(), instance.empty() ? nullptr : instance.c_str(), count_, dests_);
  }

  bool loaded_ = false;
  int count_ = 0;
  cups_dest_t* dests_ = nullptr;
};

}  // namespace

std::unique_ptr<TPrinterBackend> MakeCupsBackend() { return std::make_unique<CupsBackend>(); }
