#include "report/tests/support/text_codes_driver.h"

#include "report/tests/support/recording_report.h"

void FeedTextCodes(const std::string& input) {
  TRecordingReport r;
  r.SetSelection(input);
  try {
    for (int page : {1, 2, 7, 9999}) r.PageSelected(page);
  } catch (const EConvertError&) {
  }
  r.SetSelection("");
  r.SetStatusFormat(input);
  r.StatusText()->Add("line");
  (void)r.StatusLine();
  r.MacroData()->Add(input);
  r.OnPrint = [&](TObject*) {
    r.AddTab(1, pjLeft, 2, 10, BOXLINEALL, 10);
    r.AddTab(-1, pjBlock, 2, 10, BOXLINEALL, 0);
    r.PrintText(input);
    r.PrintTextLine(input);
    r.PrintInTab(input);
    AnsiString expanded = input;
    r.ExpandMacros(expanded);
    (void)r.FitText(input, 1);
  };
  try {
    r.RunReport();
  } catch (const EConvertError&) {
  } catch (const EReportError&) {
  } catch (const EAbort&) {
  }
}
