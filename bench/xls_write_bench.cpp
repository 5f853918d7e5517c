// Writing .xls workbooks: 10 000 rows x 10 columns (five numeric, five
// texts with 20 % distinct values),
//   (a) from a cell table straight through the workbook writer;
//   (b) along the export road: VectorDataSet -> TOfDataSetModel -> Populate
//       -> SaveAs;
// against python3-xlwt building and saving the same cells (timed inside the
// script, interpreter start excluded; its wall time is printed too). Prints
// cells per second and the ratios ours/xlwt; once per run xlrd checks that
// our file and xlwt's hold the same values. Without xlwt our figures alone
// are printed. --quick: 1 000 rows and one run.
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_harness.h"
#include "bench/xls_bench_support.h"
#include "excel/biff/biff_writer.h"
#include "excel/dataset_model.h"
#include "excel/excel_app.h"
#include "platform/db/testing/vector_dataset.h"
#include "platform/rtl/floatconv.h"

namespace {

using namespace xls_bench;

void WriteThroughRoad(VectorDataSet& ds, const std::string& path) {
  TOfExcel excel(nullptr);
  TOfDataSetModel model(nullptr);
  model.SetDataset(&ds);
  excel.SetConnected(true);
  TOfExcelRange* range = excel.Workbooks()->Add()->Worksheets()->Items(0)->Ranges()->Add();
  range->SetOfficeModel(&model);
  range->Populate();
  excel.Workbooks()->Items(0)->SaveAs(path);
  excel.SetConnected(false);
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = bench::QuickRun(argc, argv);
  int rows = quick ? 1000 : 10000;
  int runs = quick ? 1 : 3;
  double cells = static_cast<double>(rows) * kColumns;
  std::string dir = std::filesystem::temp_directory_path() / ("xls_write_bench." + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::string ours = dir + "/ours.xls", road = dir + "/road.xls", theirs = dir + "/xlwt.xls";

  VectorDataSet ds;
  for (int c = 0; c < kColumns; ++c) ds.FieldDefs().Add("C" + std::to_string(c), c < 5 ? ftFloat : ftString, 20);
  for (int r = 0; r < rows; ++r) {
    std::vector<Variant> row;
    for (int c = 0; c < kColumns; ++c) row.push_back(c < 5 ? Variant(NumberAt(r, c)) : Variant(TextAt(r, c, rows)));
    ds.AddRow(row);
  }
  ds.Open();

  double direct = bench::MedianNs([&] { WriteDirect(rows, ours); }, runs);
  double viaRoad = bench::MedianNs([&] { WriteThroughRoad(ds, road); }, runs);
  std::printf("cells: %.0f; writer %.0f cells/s, export road %.0f cells/s\n", cells, cells / direct * 1e9,
              cells / viaRoad * 1e9);

  std::string script = "/usr/bin/python3 " + ScriptDir() + "/xls_write_xlwt.py";
  std::vector<double> inside;
  std::vector<double> wall;
  int status = 0;
  for (int i = 0; i < runs && status == 0; ++i) {
    std::string out;
    auto start = std::chrono::steady_clock::now();
    status = Run(script + " " + std::to_string(rows) + " " + theirs, out);
    wall.push_back(std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count());
    if (status == 0) inside.push_back(std::stod(out));
  }
  if (status != 0) {
    std::printf("baseline (python3-xlwt) skipped: the script exited with %d\n", status);
    std::filesystem::remove_all(dir);
    return 0;
  }
  std::sort(inside.begin(), inside.end());
  std::sort(wall.begin(), wall.end());
  double xlwt = inside[inside.size() / 2];
  std::printf("baseline xlwt %.0f cells/s (wall time with interpreter start %.0f cells/s)\n", cells / xlwt * 1e9,
              cells / wall[wall.size() / 2] * 1e9);
  bench::Report("(a) writer", direct, xlwt, "python3-xlwt", cells);
  bench::Report("(b) export road", viaRoad, xlwt, "python3-xlwt", cells);

  std::string out;
  int same = Run(script + " --compare " + ours + " " + theirs, out);
  if (same == 0) same = Run(script + " --compare " + road + " " + theirs + " --header", out);
  std::printf("values: %s\n", same == 0 ? "the same as xlwt's" : same == 77 ? "not compared (no xlrd)" : out.c_str());
  std::filesystem::remove_all(dir);
  return same == 0 || same == 77 ? 0 : 1;
}
