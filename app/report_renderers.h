// The report module's two file renderers, offered by the output options
// after the page-stream and printer-file formats: PDF ("Adobe Acrobat
// (PDF)", JPEG quality 90, pictures at 300 dpi, WinAnsi-based fonts that
// carry the CP1250 letters) and HTML ("Web Page (HTML)", files only, no
// server paths).
#pragma once

#include "report/html_render.h"
#include "report/pdf_render.h"

struct TReportRenderers {
  TRptRenderPDF* RptRenderPDF1 = nullptr;
  TRptRenderHTML* RptRenderHTML1 = nullptr;
};

// Creates both, owned (and freed) by owner, PDF first so that it is listed
// first.
TReportRenderers CreateReportRenderers(TComponent* owner);
