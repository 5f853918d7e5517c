// The report driver: destinations, generation and delivery, copies and
// passes, temporary files, the status window's Cancel and "Ok", failures,
// and a job started while another runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <QTimer>

#include <fstream>

#include "platform/gui/testing/fake_printers.h"
#include "platform/gui/testing/gui_modal.h"
#include "report/forms/rpt_status_form.h"
#include "report/report_system.h"
#include "report/tests/support/recording_renderer.h"
#include "testing/temp_dir.h"

namespace {

class ReportSystemGui : public ::testing::Test {
 protected:
  void TearDown() override { SetPrinterBackend(nullptr); }

  FakePrinterBackend* Printer(int maxCopies) {
    TPrinterCaps caps = OfficePrinterCaps();
    caps.maxCopies = maxCopies;
    return InstallFakePrinters({{"Office", caps, true}}, 0);
  }

  // A report of pages pages; counts the runs of OnPrint.
  void Pages(TReportSystem& rs, int pages) {
    rs.OnPrint = [this, pages](TObject* s) {
      ++runs;
      auto* r = static_cast<TBaseReport*>(s);
      for (int p = 1; p <= pages; ++p) {
        if (p > 1) r->NewPage();
        r->SetYPos(1);
        r->TextLeftAt("Strana " + IntToStr(p), 1);
        if (onPage) onPage(r, p);
      }
    };
  }
  // The setup step: sets the destination the user chose.
  void Choose(TReportSystem& rs, std::function<void(TReportSystem&)> choice, bool ok = true) {
    rs.OverrideSetup = [&rs, choice, ok](TObject*, int step, TObject*&) {
      if (step == 1) {
        if (choice) choice(rs);
        if (!ok) rs.SetAborted(true);
      }
    };
  }
  int runs = 0;
  std::function<void(TBaseReport*, int)> onPage;
};

TEST_F(ReportSystemGui, DestinationComesFromDefaultDestAndCancelRunsNothing) {
  Printer(99);
  TReportSystem rs;
  Pages(rs, 1);
  std::vector<TReportDest> seen;
  rs.OverrideSetup = [&](TObject*, int step, TObject*&) {
    if (step != 1) return;
    seen.push_back(rs.ReportDest);
    rs.ReportDest = rdPrinter;
    rs.SetAborted(true);
  };
  rs.DefaultDest = rdFile;
  rs.ReportDest = rdPreview;
  rs.Execute();
  rs.Execute();
  EXPECT_EQ(seen, (std::vector<TReportDest>{rdFile, rdFile}));
  EXPECT_EQ(runs, 0);
}

TEST_F(ReportSystemGui, FileJobs) {
  FakePrinterBackend* fake = Printer(99);
  TempDir dir;
  TReportSystem rs;
  Pages(rs, 2);
  // A page-stream file is written during generation; no player runs.
  std::string rps = dir.Path() + "/out.rps";
  Choose(rs, [&](TReportSystem& r) {
    r.ReportDest = rdFile;
    r.DoNativeOutput = false;
    r.OutputFileName = rps;
  });
  rs.Execute();
  EXPECT_EQ(runs, 1);
  std::ifstream in(rps, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  ASSERT_GT(bytes.size(), 10u);
  EXPECT_EQ(bytes[0], 'Z');
  EXPECT_EQ(fake->jobs.size(), 0u);

  // Printer-driver output: the job PDF lands in the chosen file.
  std::string prn = dir.Path() + "/out.prn";
  Choose(rs, [&](TReportSystem& r) {
    r.ReportDest = rdFile;
    r.DoNativeOutput = true;
    r.OutputFileName = prn;
  });
  rs.Execute();
  std::ifstream pin(prn, std::ios::binary);
  std::string pdf((std::istreambuf_iterator<char>(pin)), {});
  EXPECT_EQ(pdf.substr(0, 4), "%PDF");

  // A renderer gets the generated stream at its start.
  TRecordingRenderer renderer;
  Choose(rs, [&](TReportSystem& r) {
    r.ReportDest = rdFile;
    r.DoNativeOutput = false;
    r.SelectedRender = &renderer;
    r.OutputFileName = dir.Path() + "/out.pdf";
  });
  rs.Execute();
  EXPECT_EQ(renderer.RenderedPosition, 0);
  EXPECT_EQ(renderer.RenderedName, dir.Path() + "/out.pdf");
}

TEST_F(ReportSystemGui, CopiesAndPasses) {
  struct Case {
    int maxCopies, copies;
    std::size_t jobs;
    int jobCopies;
  } cases[] = {{99, 3, 1, 3}, {1, 3, 3, 1}, {5, 5, 1, 5}, {5, 8, 8, 1}};
  for (const Case& c : cases) {
    FakePrinterBackend* fake = Printer(c.maxCopies);
    TReportSystem rs;
    runs = 0;
    Pages(rs, 2);
    Choose(rs, [](TReportSystem& r) { r.ReportDest = rdPrinter; });
    rs.SystemPrinter.Copies = c.copies;
    rs.Execute();
    EXPECT_EQ(runs, 1) << c.maxCopies << " " << c.copies;
    ASSERT_EQ(fake->jobs.size(), c.jobs) << c.maxCopies << " " << c.copies;
    for (const auto& job : fake->jobs) EXPECT_EQ(job.options.copies, c.jobCopies);
    SetPrinterBackend(nullptr);
  }
}

TEST_F(ReportSystemGui, PreviewStreamsAndTemporaryFiles) {
  Printer(99);
  TempDir dir;
  setenv("TMPDIR", dir.Path().c_str(), 1);
  TReportSystem rs;
  Pages(rs, 2);
  Choose(rs, {});
  int64_t previewed = 0;
  rs.OverridePreview = [&](TObject*, int step, TObject*&) {
    if (step != 1) return;
    std::unique_ptr<TStream> s(rs.OpenJobStream());
    previewed = s->Size();
    if (rs.SystemFiler.StreamMode == smUser) s.release();
  };
  rs.Execute();
  EXPECT_GT(previewed, 54);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  rs.SystemFiler.StreamMode = smTempFile;
  previewed = 0;
  rs.Execute();
  EXPECT_GT(previewed, 54);
  EXPECT_EQ(std::filesystem::path(rs.SystemFiler.FileName).filename().string().substr(0, 2), "RW");
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  unsetenv("TMPDIR");
}

TEST_F(ReportSystemGui, StatusWindowCancelAndOk) {
  Printer(99);
  TReportSystem rs;
  Pages(rs, 5);
  Choose(rs, {});
  bool previewed = false;
  rs.OverridePreview = [&](TObject*, int, TObject*&) { previewed = true; };
  onPage = [&](TBaseReport* r, int page) {
    if (page != 3) return;
    auto* form = dynamic_cast<TRptStatusForm*>(r->StatusLabel()->Owner());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->CancelButton->Caption(), "Cancel");
    form->CancelButtonClick(form->CancelButton);
  };
  EXPECT_THROW(rs.Execute(), EAbort);
  EXPECT_FALSE(previewed);

  // soWaitForOK: the button becomes "Ok" and the job waits for it.
  onPage = nullptr;
  rs.SystemOptions.insert(soWaitForOK);
  Choose(rs, [](TReportSystem& r) { r.ReportDest = rdPrinter; });
  // Polled rather than timed: on a loaded machine the pages may still be
  // printing (button "Cancel") when a fixed delay runs out.
  QTimer poll;
  bool okClicked = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (TCustomForm* f : TCustomForm::AllForms())
      if (auto* s = dynamic_cast<TRptStatusForm*>(f); s && s->CancelButton->Caption() == "Ok") {
        poll.stop();
        okClicked = true;
        s->CancelButtonClick(s->CancelButton);
        return;
      }
  });
  poll.start(10);
  rs.Execute();
  EXPECT_TRUE(okClicked);
  for (TCustomForm* f : TCustomForm::AllForms()) EXPECT_EQ(dynamic_cast<TRptStatusForm*>(f), nullptr);
}

TEST_F(ReportSystemGui, FailuresReachTheCaller) {
  Printer(99);
  TReportSystem rs;
  Pages(rs, 2);
  Choose(rs, {});
  onPage = [](TBaseReport*, int page) {
    if (page == 2) throw EConvertError("bad amount");
  };
  EXPECT_THROW(rs.Execute(), EConvertError);
  for (TCustomForm* f : TCustomForm::AllForms()) EXPECT_EQ(dynamic_cast<TRptStatusForm*>(f), nullptr);

  // Without printers direct printing says so once.
  InstallFakePrinters({});
  MessageBoxRecorder boxes;
  onPage = nullptr;
  Choose(rs, [](TReportSystem& r) { r.ReportDest = rdPrinter; });
  EXPECT_THROW(rs.Execute(), EAbort);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Text, "No printers are defined, aborting print job.");
}

TEST_F(ReportSystemGui, NestedExecuteIsRefused) {
  Printer(99);
  TReportSystem rs;
  Pages(rs, 3);
  Choose(rs, {});
  AnsiString nested;
  onPage = [&](TBaseReport*, int page) {
    if (page != 2) return;
    try {
      rs.Execute();
    } catch (const EReportError& e) {
      nested = e.Message();
    }
  };
  int64_t size = 0;
  int pages = 0;
  rs.OverridePreview = [&](TObject*, int step, TObject*&) {
    if (step != 1) return;
    std::unique_ptr<TStream> s(rs.OpenJobStream());
    size = s->Size();
    rps::TPageStreamReader r(*s);
    pages = r.ReadHeader().pageCount;
  };
  rs.Execute();
  EXPECT_EQ(nested, "Invalid method call.  Report already printing.");
  EXPECT_GT(size, 54);
  EXPECT_EQ(pages, 3);
}

}  // namespace
