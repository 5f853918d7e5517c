// The Excel component against a recording server: connection life cycle,
// property synchronisation, server creation rules and events.
#include <gtest/gtest.h>

#include "excel/excel_app.h"
#include "excel/tests/support/recording_server.h"
#include "platform/rtl/system_info.h"
#include "testing/error_message.h"

namespace {

struct RecordedExcel {
  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
  TOfExcel excel{nullptr};
  int instances = 0;
  RecordedExcel() {
    excel.OnGetInstance = [this](TObject*, xl::XlRef& instance, xl::TGUID clsid, xl::TGUID iid) {
      EXPECT_EQ(clsid, xl::CLSID_ExcelApplication);
      EXPECT_EQ(iid, xl::IID__Application);
      ++instances;
      instance = CreateRecordingExcel(log);
    };
  }
  std::vector<std::string> Sets() const {
    std::vector<std::string> out;
    for (const auto& c : log->calls) {
      if (c.rfind("App.Set", 0) == 0) out.push_back(c);
    }
    return out;
  }
};

}  // namespace

TEST(ExcelComponent, ConnectPushesTheSettingsInOrderAndConvertsPixelsToPoints) {
  RecordedExcel r;
  EXPECT_EQ(r.excel.Version(), "1.64");
  r.excel.SetVersion("2.0");
  EXPECT_EQ(r.excel.Version(), "1.64");
  r.excel.SetServerLeft(96);
  r.excel.SetServerTop(48);
  r.excel.SetCaption("Export");
  r.excel.SetEnableCancelKey(xlckErrorHandler);
  int connects = 0;
  r.excel.OnOpConnect = [&](TObject*) { ++connects; };
  r.excel.SetConnected(true);
  EXPECT_EQ(connects, 1);
  std::vector<std::string> expected{
      "App.SetSheetsInNewWorkbook(1)", "App.SetDisplayAlerts(false)", "App.SetEnableEvents(true)",
      "App.SetWindowState(-4143)",     "App.SetInteractive(true)",    "App.SetVisible(false)",
      "App.SetScreenUpdating(true)",   "App.SetLeft(72)",             "App.SetTop(36)",
      "App.SetWidth(480)",             "App.SetHeight(360)",          "App.SetCaption(Export)",
      "App.SetEnableAnimations(true)", "App.SetEnableAutoComplete(true)", "App.SetEnableCancelKey(2)",
      "App.SetLargeButtons(false)"};
  EXPECT_EQ(r.Sets(), expected);  // no workbook open: UserName stays in the component

  r.log->calls.clear();
  r.excel.SetWindowState(xlwsMaximized);
  r.excel.SetServerLeft(10);  // not sent while maximised
  r.excel.SetWindowState(7);  // no such state: only stored
  EXPECT_EQ(r.Sets(), (std::vector<std::string>{"App.SetWindowState(-4137)"}));
}

TEST(ExcelComponent, PullingReadsBackEverySettingButVisible) {
  RecordedExcel r;
  r.excel.SetPropDirection(pdFromServer);
  r.excel.SetVisible(true);
  r.excel.SetConnected(true);
  std::vector<std::string> reads;
  for (const auto& c : r.log->calls) {
    if (c.rfind("App.", 0) == 0 && c.find("Workbooks") == std::string::npos) reads.push_back(c);
  }
  std::vector<std::string> expected{
      "App.SetSheetsInNewWorkbook(1)", "App.SetDisplayAlerts(false)", "App.SetEnableEvents(true)",
      "App.WindowState()", "App.Interactive()", "App.SetVisible(true)", "App.SetScreenUpdating(true)",
      "App.WindowState()", "App.Left()", "App.WindowState()", "App.Top()", "App.WindowState()", "App.Width()",
      "App.WindowState()", "App.Height()", "App.Caption()", "App.EnableAnimations()", "App.EnableAutoComplete()",
      "App.EnableCancelKey()", "App.LargeButtons()"};
  EXPECT_EQ(reads, expected);
  EXPECT_EQ(r.excel.ServerWidth(), 640);  // 480 points at 96 dpi
  EXPECT_EQ(r.excel.Caption(), "Microsoft Excel");
}

TEST(ExcelComponent, DisconnectedPropertiesNeedNoServerAndDisconnectQuits) {
  RecordedExcel r;
  r.excel.SetVisible(true);
  EXPECT_TRUE(r.excel.Visible());
  EXPECT_EQ(r.excel.UserName(), "");
  EXPECT_EQ(r.instances, 0);
  EXPECT_EQ(ErrorMessage([&] { r.excel.CheckConnected(true, false); }),
            "You must be connected in order to call this method.");
  EXPECT_EQ(ErrorMessage([&] { r.excel.CheckConnected(true, true); }),
            "You must be connected in order to access this property.");
  EXPECT_FALSE(r.excel.CheckConnected(false, false));

  std::vector<bool> states;
  r.excel.AddConnectListener([&](TOfOfficeComponent*, bool state) { states.push_back(state); });
  r.excel.SetConnected(true);
  EXPECT_EQ(r.excel.VersionKind(), 1);  // "8.0"
  r.excel.Workbooks()->Add();
  EXPECT_NE(r.excel.UserName(), "");  // from the server now that a workbook is open
  r.excel.SetUserName("Pokladní");
  EXPECT_EQ(r.log->Matching("App.SetUserName").size(), 1u);
  int disconnects = 0;
  r.excel.OnOpDisconnect = [&](TObject*) { ++disconnects; };
  r.excel.SetConnected(false);
  EXPECT_EQ(disconnects, 1);
  EXPECT_EQ(r.log->Matching("App.Quit").size(), 1u);
  EXPECT_EQ(r.excel.Workbooks()->Items(0)->Intf(), nullptr);
  EXPECT_EQ(states, (std::vector<bool>{true, false}));
  EXPECT_EQ(r.excel.UserName(), "Pokladní");
}

TEST(ExcelComponent, MachineNameRules) {
  TOfExcel excel(nullptr);
  excel.SetMachineName("stroj-jinde.example");
  EXPECT_EQ(ErrorMessage([&] { excel.SetConnected(true); }), "You must install DCOM in order to run objects remotely.");
  EXPECT_FALSE(excel.Connected());
  AnsiString here = ComputerName();
  excel.SetMachineName(here);
  excel.SetConnected(true);  // this computer: the local server
  EXPECT_TRUE(excel.Connected());
  AnsiString other = here;
  for (char& c : other) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c >= 'A' && c <= 'Z' ? c + 32 : c);
  EXPECT_NO_THROW(excel.SetMachineName(other));
  EXPECT_EQ(ErrorMessage([&] { excel.SetMachineName("jiny"); }),
            "This property cannot be set while the server is connected.");
  excel.SetConnected(false);
}

TEST(ExcelComponent, ConnectedWhileLoadingConnectsInLoaded) {
  RecordedExcel r;
  r.excel.BeginLoading();
  r.excel.SetConnected(true);
  EXPECT_FALSE(r.excel.Connected());
  EXPECT_EQ(r.instances, 0);
  r.excel.EndLoading();
  EXPECT_TRUE(r.excel.Connected());
  EXPECT_EQ(r.instances, 1);
}

TEST(ExcelComponent, AServerWithoutEventsCannotBeConnected) {
  RecordedExcel r;
  r.log->offerEvents = false;
  EXPECT_EQ(ErrorMessage<EEventSinkException>([&] { r.excel.SetConnected(true); }), "Cannot Register Events");
  EXPECT_FALSE(r.excel.Connected());
  EXPECT_EQ(r.log->Matching("App.Quit").size(), 1u);  // the half-made connection is taken down
}

TEST(ExcelComponent, ApplicationEventsArriveInDeclarationOrderAndCanCancel) {
  RecordedExcel r;
  std::vector<std::string> seen;
  r.excel.OnNewWorkbook = [&](TObject*, std::shared_ptr<xl::IWorkbook> wb) { seen.push_back("new " + wb->Name()); };
  r.excel.OnWorkbookNewSheet = [&](TObject*, std::shared_ptr<xl::IWorkbook> wb, xl::XlRef sh) {
    seen.push_back("sheet " + wb->Name() + " " + std::dynamic_pointer_cast<xl::IWorksheet>(sh)->Name());
  };
  r.excel.OnSheetChange = [&](TObject* sender, xl::XlRef, std::shared_ptr<xl::IRange> target) {
    EXPECT_TRUE(static_cast<TOfExcel*>(sender)->InEvent());
    seen.push_back("change " + target->Address(false, false));
  };
  r.excel.BeforeWorkbookSave = [&](TObject*, std::shared_ptr<xl::IWorkbook>, bool saveAsUI, bool& cancel) {
    EXPECT_FALSE(saveAsUI);
    cancel = true;
  };
  r.excel.SetConnected(true);
  TOfExcelWorkbook* book = r.excel.Workbooks()->Add();
  book->Worksheets()->Add();
  book->Worksheets()->Items(1)->Ranges()->Add()->SetSimpleText("x");
  EXPECT_FALSE(r.excel.InEvent());
  EXPECT_EQ(seen, (std::vector<std::string>{"new Se\x9Ait1", "sheet Se\x9Ait1 List2", "change A1", "change A1"}));
  EXPECT_EQ(ErrorMessage([&] { book->SaveAs("/nonexistent/x.xls"); }), "Saving was cancelled");
  // Other dispatch ids and other interfaces are ignored.
  r.excel.DispatchEvent(xl::DIID_AppEvents, 9999, {});
  r.excel.DispatchEvent(xl::IID_Range, xl::kNewWorkbook, {});
}

TEST(ExcelComponent, ServerInformationLines) {
  TOfExcel excel(nullptr);
  TStringList list;
  list.Add("old");
  excel.GetServerInfo(&list);  // a server just for the call
  ASSERT_EQ(list.Count(), 9);
  const char* prefixes[] = {"User Name=", "Organization Name=", "Operating System=Linux ", "Version=8.0", "Build=",
                            "Memory Total=", "Memory Free=", "Memory Used=", "Math CoProcessorAvailable=Yes"};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(list.Strings(i).rfind(prefixes[i], 0), 0u) << list.Strings(i);
  EXPECT_FALSE(excel.Connected());
  EXPECT_EQ(excel.FileFilter(), "Excel Workbooks *.xls|*.xls|Excel Templates *.xlt|*.xlt|All Files *.*|*.*");
}

TEST(ExcelComponent, NestedCollectionsWalkDepthFirst) {
  TOfExcel excel(nullptr);
  EXPECT_EQ(excel.Workbooks()->Caption(), "Workbook");
  TOfExcelWorkbook* a = excel.Workbooks()->Add();  // with its first worksheet
  a->Worksheets()->Items(0)->Ranges()->Add()->SetName("r1");
  a->Worksheets()->Add()->Ranges()->Add()->SetName("r2");
  excel.Workbooks()->Add();
  EXPECT_EQ(a->Worksheets()->Caption(), "Worksheet");
  EXPECT_EQ(a->Worksheets()->Items(0)->Ranges()->Caption(), "Range");
  std::vector<std::string> order;
  excel.Workbooks()->ForEach([&](TOfNestedCollectionItem* item) { order.push_back(item->ClassName()); });
  EXPECT_EQ(order, (std::vector<std::string>{"TOfExcelWorkbook", "TOfExcelWorksheet", "TOfExcelRange",
                                             "TOfExcelWorksheet", "TOfExcelRange", "TOfExcelWorkbook",
                                             "TOfExcelWorksheet"}));
  std::vector<TOfNestedCollectionItem*> found;
  EXPECT_TRUE(excel.Workbooks()->FindItems(found, [](TOfNestedCollectionItem* i) {
    return dynamic_cast<TOfExcelRange*>(i) != nullptr;
  }));
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(static_cast<TOfExcelRange*>(found[1])->Name(), "r2");
  EXPECT_FALSE(excel.Workbooks()->FindItems(found, [](TOfNestedCollectionItem*) { return false; }));
  EXPECT_EQ(a->VerbCount(), 1);
  EXPECT_EQ(a->Verb(0), "Save Workbook");
  TOfExcelRange* range = a->Worksheets()->Items(0)->Ranges()->Items(0);
  EXPECT_EQ(range->VerbCount(), 3);
  EXPECT_EQ(range->Verb(2), "Set From Selection");
  EXPECT_EQ(range->RootComponent(), &excel);
  EXPECT_EQ(range->ParentItem(), a->Worksheets()->Items(0));
}

TEST(ExcelComponent, VersionKindComesFromTheMajorVersionAndIsCachedUntilDisconnect) {
  struct Row {
    const char* version;
    int kind;
  } rows[] = {{"9.0", 3}, {"10.0", 4}, {"8.0", 1}, {"11.0", 1}, {"x.0", 1}, {"", 1}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.version);
    RecordedExcel r;
    r.log->version = row.version;
    r.excel.SetConnected(true);
    EXPECT_EQ(r.excel.VersionKind(), row.kind);
    r.log->version = "9.0";
    EXPECT_EQ(r.excel.VersionKind(), row.kind);
    EXPECT_EQ(r.log->Matching("App.Version").size(), 1u);
    r.excel.SetConnected(false);
    r.excel.SetConnected(true);
    EXPECT_EQ(r.excel.VersionKind(), 3);
  }
}
