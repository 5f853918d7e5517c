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

// The workbook stream of a compound file (version 3 or 4). Every chain is
// checked: sector numbers within the file, no cycles, the DIFAT, the mini
// stream and its FAT, sizes within their chains. Raises EBiffError (from
// biff_writer.h) for a damaged file, one without a "Workbook" stream, and
// one holding an older "Book" stream.
std::string ReadWorkbookStream(std::string_view file);

}  // namespace biff
