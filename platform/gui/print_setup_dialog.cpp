#include "platform/gui/print_setup_dialog.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>

#include "platform/gui/qt_support.h"

namespace {

TPrintSetupResponder& Responder() {
  static TPrintSetupResponder r;
  return r;
}

// The page size of a media keyword ("iso_a4_210x297mm"); invalid if none.
QPageSize FromMedia(const AnsiString& keyword) {
  auto us = keyword.rfind('_');
  if (us == std::string::npos) return QPageSize();
  std::string dims = keyword.substr(us + 1);
  bool mm = dims.size() > 2 && dims.compare(dims.size() - 2, 2, "mm") == 0;
  bool in = dims.size() > 2 && dims.compare(dims.size() - 2, 2, "in") == 0;
  auto x = dims.find('x');
  if ((!mm && !in) || x == std::string::npos) return QPageSize();
  bool ok1 = false, ok2 = false;
  double w = QString::fromStdString(dims.substr(0, x)).toDouble(&ok1);
  double h = QString::fromStdString(dims.substr(x + 1, dims.size() - x - 3)).toDouble(&ok2);
  if (!ok1 || !ok2) return QPageSize();
  return QPageSize(QSizeF(w, h), mm ? QPageSize::Millimeter : QPageSize::Inch, QString(), QPageSize::FuzzyMatch);
}

}  // namespace

void SetPrintSetupResponder(TPrintSetupResponder responder) { Responder() = std::move(responder); }

bool ExecutePrintSetupDialog(AnsiString& printer, TRptDeviceMode& mode) {
  if (Responder()) return Responder()(printer, mode);
  QPrinter qp(QPrinter::HighResolution);
  qp.setPrinterName(gui_detail::ToQt(printer));
  AnsiString media = MediaForPaperCode(mode.paperSize);
  QPageSize size = mode.paperSize == DMPAPER_USER && mode.paperWidth > 0
                       ? QPageSize(QSizeF(mode.paperWidth / 10.0, mode.paperLength / 10.0), QPageSize::Millimeter)
                       : FromMedia(media);
  if (size.isValid()) qp.setPageSize(size);
  qp.setPageOrientation(mode.orientation == DMORIENT_LANDSCAPE ? QPageLayout::Landscape : QPageLayout::Portrait);
  qp.setDuplex(mode.duplex == DMDUP_VERTICAL     ? QPrinter::DuplexLongSide
               : mode.duplex == DMDUP_HORIZONTAL ? QPrinter::DuplexShortSide
                                                 : QPrinter::DuplexNone);
  qp.setCopyCount(std::max(1, mode.copies));
  qp.setCollateCopies(mode.collate);
  QPrintDialog dialog(&qp);
  dialog.adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect avail = screen->availableGeometry();
    dialog.move(avail.x() + (avail.width() - dialog.width()) / 2, avail.y() + avail.height() / 3 - dialog.height() / 2);
  }
  if (dialog.exec() != QDialog::Accepted) return false;
  printer = gui_detail::FromQt(qp.printerName());
  QPageSize chosen = qp.pageLayout().pageSize();
  int code = 0;
  for (int c = 1; c <= 41 && !code; ++c) {
    QPageSize candidate = FromMedia(MediaForPaperCode(c));
    if (candidate.isValid() && candidate.id() == chosen.id()) code = c;
  }
  if (code) {
    mode.paperSize = code;
    mode.paperWidth = mode.paperLength = 0;
  } else {
    QSizeF mm = chosen.size(QPageSize::Millimeter);
    mode.paperSize = DMPAPER_USER;
    mode.paperWidth = static_cast<int>(mm.width() * 10 + 0.5);
    mode.paperLength = static_cast<int>(mm.height() * 10 + 0.5);
  }
  mode.orientation = qp.pageLayout().orientation() == QPageLayout::Landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
  mode.duplex = qp.duplex() == QPrinter::DuplexLongSide    ? DMDUP_VERTICAL
                : qp.duplex() == QPrinter::DuplexShortSide ? DMDUP_HORIZONTAL
                                                           : DMDUP_SIMPLEX;
  mode.copies = qp.copyCount();
  mode.collate = qp.collateCopies();
  return true;
}
