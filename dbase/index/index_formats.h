// The index file formats the table handler can open, by file extension.
// Each format registers one entry: how to open or create a file of its kind
// and whether a file holds many named tags (".CDX", ".MDX") or exactly one
// tag named after the file (".NDX", ".NTX").
//
// Invariants: extensions are kept upper-case with their dot and looked up
// case-insensitively; the compound index ".CDX" is always registered, the
// other formats add themselves in the same list.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "platform/rtl/ansistring.h"

class XBobjIndexFile;
class XBobjIndexTable;

struct TxbIndexFormat {
  // Upper-case extension with its dot (".CDX").
  AnsiString extension;
  // True: a file holds any number of tags named by the caller; a build adds
  // or replaces one tag. False: one tag named after the file; a build makes
  // the file anew.
  bool namedTags = true;
  // Opens (create false) or creates the file. With create, overwrite makes
  // it anew even when it exists. A file that exists but cannot be read as
  // this format is returned with Opened() false; a missing file raises.
  std::function<std::unique_ptr<XBobjIndexFile>(XBobjIndexTable* table, const AnsiString& fileName, bool create,
                                                bool overwrite, unsigned mode, unsigned share)>
      open;
  // Optional: selects the format's second collation for the tags the next
  // build makes (order codes 7 and 8), or its first one again.
  std::function<void(XBobjIndexFile& file, bool second)> selectCollation;
};

// Adds a format, replacing one registered under the same extension.
void RegisterIndexFormat(TxbIndexFormat format);
// The format of a file extension such as ".cdx" (any case); null when none
// is registered.
const TxbIndexFormat* FindIndexFormat(std::string_view extension);
