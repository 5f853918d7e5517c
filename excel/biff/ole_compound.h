// The compound file ("OLE2 structured storage") that holds a workbook: a
// version 3 file of 512-byte sectors with one stream, "Workbook".
#pragma once

#include <string>
#include <string_view>

namespace biff {

// The file's bytes for the given workbook stream. A stream shorter than
// 4096 bytes is padded with zeros to that size, so it lives in ordinary
// sectors and the file needs no mini stream.
std::string BuildCompoundFile(std::string_view workbookStream);

}  // namespace biff
