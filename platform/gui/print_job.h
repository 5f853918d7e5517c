// One print job: a PDF document painted page by page at the printer's
// resolution and, when it ends, handed to the printer backend (or written
// to an output file instead). The painter's origin is the printable corner
// of the page: the page margins are the printer's unprintable edges.
#pragma once

#include <memory>
#include <string>

#include "platform/gui/graphics.h"
#include "platform/gui/printer_list.h"

class QPdfWriter;
namespace gui_detail {
class PaintDeviceTarget;
}

// Page geometry of a job page.
struct TPrintPageLayout {
  double widthInch = 8.5;   // the paper, portrait
  double heightInch = 11;
  bool landscape = false;
  // Unprintable edges in inches, as the page is seen (after orientation).
  double left = 0, top = 0, right = 0, bottom = 0;
  int dpi = 600;
};

class TPrintJob {
 public:
  // Starts the document and its first page. With an outputFile the PDF is
  // written there and nothing is submitted. Raises EPrinter when the
  // document cannot be created.
  TPrintJob(const AnsiString& printer, const AnsiString& outputFile, const TPrintPageLayout& layout,
            const TPrintJobOptions& options);
  // A job neither ended nor aborted is aborted.
  ~TPrintJob();
  TPrintJob(const TPrintJob&) = delete;
  TPrintJob& operator=(const TPrintJob&) = delete;

  // Draws on the current page, in device pixels from the printable corner.
  TCanvas* Canvas() { return canvas_.get(); }
  // Ends the current page and starts the next with the given layout.
  void NewPage(const TPrintPageLayout& layout);
  // The options the job will be submitted with (copies and the like may
  // change until the end).
  TPrintJobOptions& Options() { return options_; }
  // Finishes the document and submits it (or leaves it in the output
  // file); returns the backend's job id (0 for an output file).
  int End();
  // Drops the document: nothing is submitted; a partial output file is
  // removed.
  void Abort();
  int PageCount() const { return pages_; }

 private:
  void ApplyLayout(const TPrintPageLayout& layout);
  void Finish();

  AnsiString printer_;
  std::string path_;
  bool ownFile_ = true;
  bool done_ = false;
  int pages_ = 0;
  TPrintJobOptions options_;
  std::unique_ptr<QPdfWriter> writer_;
  std::unique_ptr<QPainter> painter_;
  std::unique_ptr<gui_detail::PaintDeviceTarget> target_;
  std::unique_ptr<TCanvas> canvas_;
};
