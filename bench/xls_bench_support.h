// What the two .xls benchmarks share: the cell table both time (five numeric
// and five text columns, one text in five distinct), the folder of their
// Python baselines and a command runner.
#pragma once

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "excel/biff/biff_writer.h"

namespace xls_bench {

constexpr int kColumns = 10;

inline double NumberAt(int r, int c) { return r * 10 + c + 0.25; }
inline std::string TextAt(int r, int c, int rows) {
  return "text " + std::to_string((r * 5 + c - 5) % std::max(1, rows));
}

// The rows x kColumns table written straight through the workbook writer.
inline void WriteDirect(int rows, const std::string& path) {
  biff::SheetData sheet;
  sheet.name = "List1";
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      biff::Cell& cell = sheet.At(r, c);
      if (c < 5) {
        cell.kind = biff::CellKind::Number;
        cell.number = NumberAt(r, c);
      } else {
        cell.kind = biff::CellKind::Text;
        cell.text = TextAt(r, c, rows);
      }
    }
  }
  biff::WorkbookData book;
  book.sheets.push_back(&sheet);
  std::ofstream(path, std::ios::binary) << biff::BuildXlsFile(book);
}

// The folder of this header, which holds the Python baselines: __FILE__ may
// be relative to the build tree, whose bin/ holds the program.
inline std::string ScriptDir() {
  std::filesystem::path source(__FILE__);
  if (source.is_relative()) {
    source = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / source;
  }
  return std::filesystem::weakly_canonical(source).parent_path().string();
}

// Runs a command, returns its exit status and first output line.
inline int Run(const std::string& command, std::string& output) {
  output.clear();
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char line[256];
  if (std::fgets(line, sizeof line, pipe)) output = line;
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace xls_bench
