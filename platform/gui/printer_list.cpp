// The backend in force, the media and bin code tables, and Printer().
#include "platform/gui/printer_list.h"

#include "platform/gui/cups_printers.h"

namespace {

struct Backend {
  std::unique_ptr<TPrinterBackend> installed;
  int generation = 0;
};
Backend& State() {
  static Backend b;
  return b;
}

// Paper codes and the standard media names of the same sizes (codes whose
// size no standard name has go out as custom sizes). The first row
// of a code is the one submitted; the first row of a name is its code.
struct MediaRow {
  int code;
  const char* keyword;
};
constexpr MediaRow kMedia[] = {
    {1, "na_letter_8.5x11in"},          {5, "na_legal_8.5x14in"},
    {9, "iso_a4_210x297mm"},            {24, "na_c_17x22in"},
    {25, "na_d_22x34in"},               {26, "na_e_34x44in"},
    {2, "na_letter_8.5x11in"},          {3, "na_ledger_11x17in"},
    {4, "na_ledger_11x17in"},           {6, "na_invoice_5.5x8.5in"},
    {7, "na_executive_7.25x10.5in"},    {8, "iso_a3_297x420mm"},
    {10, "iso_a4_210x297mm"},           {11, "iso_a5_148x210mm"},
    {13, "jis_b5_182x257mm"},
    {14, "na_foolscap_8.5x13in"},
    {16, "na_10x14_10x14in"},           {17, "na_ledger_11x17in"},
    {18, "na_letter_8.5x11in"},         {19, "na_number-9_3.875x8.875in"},
    {20, "na_number-10_4.125x9.5in"},   {21, "na_number-11_4.5x10.375in"},
    {22, "na_number-12_4.75x11in"},     {23, "na_number-14_5x11.5in"},
    {27, "iso_dl_110x220mm"},           {28, "iso_c5_162x229mm"},
    {29, "iso_c3_324x458mm"},           {30, "iso_c4_229x324mm"},
    {31, "iso_c6_114x162mm"},           {32, "iso_c6c5_114x229mm"},
    {33, "iso_b4_250x353mm"},           {34, "iso_b5_176x250mm"},
    {35, "iso_b6_125x176mm"},           {36, "om_italian_110x230mm"},
    {37, "na_monarch_3.875x7.5in"},     {38, "na_personal_3.625x6.5in"},
    {39, "na_fanfold-us_11x14.875in"},  {40, "na_fanfold-eur_8.5x12in"},
    {41, "na_foolscap_8.5x13in"},
};

}  // namespace

TPrinterBackend& PrinterBackend() {
  Backend& b = State();
  if (!b.installed) b.installed = MakeCupsBackend();
  return *b.installed;
}

void SetPrinterBackend(std::unique_ptr<TPrinterBackend> backend) {
  State().installed = std::move(backend);
  ++State().generation;
}

int PrinterBackendGeneration() { return State().generation; }

int PaperCodeForMedia(const AnsiString& keyword) {
  for (const MediaRow& row : kMedia)
    if (SameText(keyword, row.keyword)) return row.code;
  return 0;
}

AnsiString MediaForPaperCode(int code) {
  for (const MediaRow& row : kMedia)
    if (row.code == code) return row.keyword;
  return "";
}

int BinCodeForSource(const AnsiString& keyword, int index) {
  struct Row {
    const char* keyword;
    int code;
  };
  static constexpr Row kBins[] = {
      {"top", DMBIN_UPPER},          {"upper", DMBIN_UPPER},     {"bottom", DMBIN_LOWER},
      {"lower", DMBIN_LOWER},        {"middle", DMBIN_MIDDLE},   {"manual", DMBIN_MANUAL},
      {"envelope", DMBIN_ENVELOPE},  {"auto", DMBIN_AUTO},       {"large-capacity", DMBIN_LARGECAPACITY},
  };
  for (const Row& row : kBins)
    if (SameText(keyword, row.keyword)) return row.code;
  return DMBIN_USER + index;
}

// ------------------------------------------------------------------ TPrinter

void TPrinter::Refresh() {
  if (generation_ == PrinterBackendGeneration()) return;
  generation_ = PrinterBackendGeneration();
  printers_.Clear();
  for (const AnsiString& name : PrinterBackend().Destinations()) printers_.Add(name);
  index_ = -1;
}

TStringList* TPrinter::Printers() {
  Refresh();
  return &printers_;
}

int TPrinter::PrinterIndex() {
  Refresh();
  if (index_ >= 0) return index_;
  if (printers_.Count() == 0) return -1;
  int def = PrinterBackend().DefaultDestination();
  return def >= 0 && def < printers_.Count() ? def : printers_.Count() - 1;
}

void TPrinter::SetPrinterIndex(int index) {
  Refresh();
  if (index < -1 || index >= printers_.Count()) throw EPrinter("Printer selected is not valid");
  index_ = index;
}

TPrinter* Printer() {
  static TPrinter printer;
  return &printer;
}
