#include "report/tests/support/renderer_sinks.h"

#include <filesystem>
#include <stdexcept>

#include "platform/gui/resources.h"
#include "report/html_render.h"
#include "report/pdf_render.h"
#include "report/tests/support/pdf_structure.h"

void ConvertThroughFileRenderers(const std::string& bytes, const std::string& dir) {
  TMemoryStream in;
  in.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  in.SetPosition(0);
  TMemoryStream out;
  TRptRenderPDF pdf;
  try {
    pdf.RenderToStream(&in, &out);
  } catch (const EReportError&) {
  } catch (const EReadError&) {
  } catch (const EInvalidGraphic&) {
  }
  // What was collected before an error is written too, and must hold.
  if (out.Size() > 0) {
    std::string file(static_cast<const char*>(out.Memory()), static_cast<std::size_t>(out.Size()));
    if (std::string problem = PdfXrefProblem(file); !problem.empty()) throw std::logic_error("PDF: " + problem);
  }
  in.SetPosition(0);
  TRptRenderHTML html;
  html.CacheDir = dir;
  try {
    html.RenderFile(&in, dir + "/out.html");
  } catch (const EReportError&) {
  } catch (const EReadError&) {
  } catch (const EInvalidGraphic&) {
  }
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) std::filesystem::remove(entry.path(), ec);
}
