// Reading .xls workbooks: the write benchmark's file (10 000 rows x 10
// columns, five numeric and five text columns) opened through
// Workbooks.Open and every cell's value read, against python3-xlrd opening
// and reading the same file (timed inside the script, interpreter start
// excluded). Prints cells per second of both and the ratio; without xlrd
// our figures alone. --quick: 1 000 rows and one run.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_harness.h"
#include "bench/xls_bench_support.h"
#include "excel/biff/biff_writer.h"
#include "excel/server/xl_app.h"

namespace {

using namespace xls_bench;

// Opens the file and reads every value; returns how many were not empty.
long ReadAll(const std::string& path, int rows) {
  auto app = xl::CreateInProcessExcel();
  auto book = app->Workbooks()->Open(path);
  Variant all = book->Worksheets()->Item(1)->Range("A1", "A1")->Resize(rows, kColumns)->Value();
  long values = 0;
  for (int r = all.ArrayLowBound(); r <= all.ArrayHighBound(); ++r) {
    const Variant& row = all.Element(r);
    for (int c = row.ArrayLowBound(); c <= row.ArrayHighBound(); ++c) values += row.Element(c).IsEmpty() ? 0 : 1;
  }
  app->Quit();
  return values;
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = bench::QuickRun(argc, argv);
  int rows = quick ? 1000 : 10000;
  int runs = quick ? 1 : 3;
  double cells = static_cast<double>(rows) * kColumns;
  std::string dir = std::filesystem::temp_directory_path() / ("xls_read_bench." + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::string path = dir + "/cells.xls";
  WriteDirect(rows, path);

  long read = 0;
  double ours = bench::MedianNs([&] { read = ReadAll(path, rows); }, runs);
  std::printf("cells: %.0f (%ld read); Workbooks.Open and every value %.0f cells/s\n", cells, read, cells / ours * 1e9);
  if (read != static_cast<long>(cells)) {
    std::printf("read %ld values of %.0f\n", read, cells);
    std::filesystem::remove_all(dir);
    return 1;
  }
  std::vector<double> inside;
  int status = 0;
  for (int i = 0; i < runs && status == 0; ++i) {
    std::string out;
    status = Run("/usr/bin/python3 " + ScriptDir() + "/xls_read_xlrd.py " + path, out);
    if (status == 0) inside.push_back(std::stod(out));
  }
  std::filesystem::remove_all(dir);
  if (status != 0) {
    std::printf("baseline (python3-xlrd) skipped: the script exited with %d\n", status);
    return 0;
  }
  std::sort(inside.begin(), inside.end());
  double xlrd = inside[inside.size() / 2];
  std::printf("baseline xlrd %.0f cells/s\n", cells / xlrd * 1e9);
  bench::Report("open and read", ours, xlrd, "python3-xlrd", cells);
  return 0;
}
