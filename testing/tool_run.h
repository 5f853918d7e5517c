// Running independent tools from tests: a program with its output, and
// checks for the Python and Perl modules a cross-check needs.
#pragma once

#include <string>
#include <vector>

// Result of an external tool.
struct ToolRun {
  int status = -1;
  std::string output;  // stdout and stderr
};

// Runs argv (argv[0] a full path) and collects its output.
ToolRun RunTool(const std::vector<std::string>& argv);
// True when /usr/bin/python3 can import every module named.
bool PythonHas(const std::vector<std::string>& modules);
// True when /usr/bin/perl can load the module.
bool PerlHas(const std::string& module);
