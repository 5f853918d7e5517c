// The job document on QPdfWriter; see print_job.h.
#include "platform/gui/print_job.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/gui/qt_support.h"
#include "platform/rtl/codepages.h"

TPrintJob::TPrintJob(const AnsiString& printer, const AnsiString& outputFile, const TPrintPageLayout& layout,
                     const TPrintJobOptions& options)
    : printer_(printer), options_(options) {
  if (!outputFile.empty()) {
    path_ = AnsiToUtf8(outputFile);
    ownFile_ = false;
  } else {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/print-job-XXXXXX";
    std::string buf = pattern;
    int fd = mkstemp(buf.data());
    if (fd < 0) throw EPrinter("Cannot create the print job's temporary file");
    ::close(fd);
    path_ = buf;
  }
  writer_ = std::make_unique<QPdfWriter>(QString::fromStdString(path_));
  writer_->setTitle(gui_detail::ToQt(options.title));
  writer_->setCreator("Kelvo");
  ApplyLayout(layout);
  painter_ = std::make_unique<QPainter>();
  if (!painter_->begin(writer_.get())) {
    writer_.reset();
    if (ownFile_) std::remove(path_.c_str());
    throw EPrinter(Format("Cannot write the print job to %s", Utf8ToAnsi(path_)));
  }
  pages_ = 1;
  target_ = std::make_unique<gui_detail::PaintDeviceTarget>();
  target_->painter = painter_.get();
  canvas_ = std::make_unique<TCanvas>();
  canvas_->SetTarget(target_.get());
}

TPrintJob::~TPrintJob() {
  if (!done_) Abort();
}

void TPrintJob::ApplyLayout(const TPrintPageLayout& l) {
  int dpi = l.dpi > 0 ? l.dpi : 100;
  writer_->setResolution(dpi);
  QPageSize size(QSizeF(l.widthInch, l.heightInch), QPageSize::Inch, QString(), QPageSize::ExactMatch);
  // The margins are given as the page is seen; QPageLayout takes them the
  // same way for either orientation.
  QPageLayout layout(size, l.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                     QMarginsF(l.left, l.top, l.right, l.bottom), QPageLayout::Inch);
  layout.setMode(QPageLayout::StandardMode);
  writer_->setPageLayout(layout);
}

void TPrintJob::NewPage(const TPrintPageLayout& layout) {
  if (done_) throw EPrinter("The print job has ended");
  ApplyLayout(layout);
  writer_->newPage();
  ++pages_;
}

void TPrintJob::Finish() {
  done_ = true;
  canvas_->SetTarget(nullptr);
  if (painter_ && painter_->isActive()) painter_->end();
  painter_.reset();
  writer_.reset();
}

int TPrintJob::End() {
  if (done_) throw EPrinter("The print job has ended");
  Finish();
  if (!ownFile_) return 0;
  int id = 0;
  try {
    id = PrinterBackend().Submit(printer_, path_, options_);
  } catch (...) {
    std::remove(path_.c_str());
    throw;
  }
  std::remove(path_.c_str());
  return id;
}

void TPrintJob::Abort() {
  if (done_) return;
  Finish();
  // A half-written document is of no use, but only a plain file is ours to
  // delete: the output may be a device such as /dev/null, which a program
  // running as root would otherwise remove for everybody.
  struct stat info {};
  if (::lstat(path_.c_str(), &info) == 0 && S_ISREG(info.st_mode)) std::remove(path_.c_str());
}
