#include "app/report_renderers.h"

TReportRenderers CreateReportRenderers(TComponent* owner) {
  TReportRenderers r;
  r.RptRenderPDF1 = new TRptRenderPDF(owner);
  r.RptRenderPDF1->SetDisplayName("Adobe Acrobat (PDF)");
  r.RptRenderPDF1->FileExtension = "*.pdf";
  r.RptRenderPDF1->SetImageQuality(90);
  r.RptRenderPDF1->MetafileDPI = 300;
  r.RptRenderPDF1->FontEncoding = feWinAnsiEncoding;
  r.RptRenderHTML1 = new TRptRenderHTML(owner);
  r.RptRenderHTML1->SetDisplayName("Web Page (HTML)");
  r.RptRenderHTML1->FileExtension = "*.html;*.htm";
  r.RptRenderHTML1->ServerMode = false;
  return r;
}
