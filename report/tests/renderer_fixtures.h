// Page streams for the file renderers' tests: a report body written
// through TReportFiler (on an A4 office printer) into memory, and the PDF
// of such a stream.
#pragma once

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "platform/gui/testing/fake_printers.h"
#include "report/pdf_render.h"
#include "report/report_filer.h"

inline std::string MakeStream(const std::function<void(TBaseReport*)>& body, TPrintUnits units = unInch,
                              const std::function<void(TReportFiler&)>& setup = {}) {
  TReportFiler f;
  TMemoryStream out;
  f.SetStreamMode(smUser);
  f.SetStream(&out);
  f.SetUnits(units);
  if (setup) setup(f);
  f.OnPrint = [&](TObject*) { body(&f); };
  f.RunReport();
  return std::string(static_cast<const char*>(out.Memory()), static_cast<std::size_t>(out.Size()));
}

inline std::string RenderPdf(const std::string& stream, const std::function<void(TRptRenderPDF&)>& setup = {}) {
  TMemoryStream in, out;
  in.WriteBuffer(stream.data(), static_cast<int64_t>(stream.size()));
  in.SetPosition(0);
  TRptRenderPDF pdf;
  if (setup) setup(pdf);
  pdf.RenderToStream(&in, &out);
  return std::string(static_cast<const char*>(out.Memory()), static_cast<std::size_t>(out.Size()));
}

class RendererTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePrinters({{"Office", OfficePrinterCaps(), true}}, 0); }
  void TearDown() override { SetPrinterBackend(nullptr); }
};
