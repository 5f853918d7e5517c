// Our own reading of a PDF's cross-reference table, for the renderer's
// tests and fuzz target: every entry points at its object, "startxref" at
// the table, the trailer's size matches.
#pragma once

#include <string>

// "" when the file is consistent, else what is wrong.
std::string PdfXrefProblem(const std::string& pdf);
