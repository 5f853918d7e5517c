// The extension -> index format list. The built-in formats are registered
// when the list is first used, so that no static initialiser of another
// object file has to survive the linker.
#include "dbase/index/index_formats.h"

#include <vector>

#include "dbase/index/cdx_index.h"
#include "dbase/index/mdx_index.h"
#include "dbase/index/ndx_index.h"
#include "dbase/index/ntx_index.h"
#include "platform/rtl/sysutils.h"

namespace {

// The format of files of type File: every format's file class takes the
// same constructor arguments.
template <class File>
TxbIndexFormat FormatOf(const char* extension, bool namedTags) {
  TxbIndexFormat format;
  format.extension = extension;
  format.namedTags = namedTags;
  format.open = [](XBobjIndexTable* table, const AnsiString& fileName, bool create, bool overwrite,
                   unsigned mode, unsigned share) -> std::unique_ptr<XBobjIndexFile> {
    return std::make_unique<File>(table, fileName, overwrite, create, mode, share);
  };
  return format;
}

std::vector<TxbIndexFormat> BuiltinFormats() {
  std::vector<TxbIndexFormat> formats;
  TxbIndexFormat cdx = FormatOf<XBobjCDXFile>(".CDX", true);
  cdx.selectCollation = [](XBobjIndexFile& file, bool second) {
    if (auto* c = dynamic_cast<XBobjCDXFile*>(&file)) c->SetNewTagCollation(second ? cdxGeneral : cdxMachine);
  };
  formats.push_back(std::move(cdx));
  // The multiple index holds named tags like the compound one; the two
  // single-tag formats are made anew by a build, their tag named after the
  // file.
  formats.push_back(FormatOf<XBobjMDXFile>(".MDX", true));
  formats.push_back(FormatOf<XBobjNDXFile>(".NDX", false));
  formats.push_back(FormatOf<XBobjNTXFile>(".NTX", false));
  return formats;
}

std::vector<TxbIndexFormat>& Formats() {
  static std::vector<TxbIndexFormat> formats = BuiltinFormats();
  return formats;
}

}  // namespace

void RegisterIndexFormat(TxbIndexFormat format) {
  format.extension = UpperCase(format.extension);
  for (TxbIndexFormat& f : Formats()) {
    if (f.extension == format.extension) {
      f = std::move(format);
      return;
    }
  }
  Formats().push_back(std::move(format));
}

const TxbIndexFormat* FindIndexFormat(std::string_view extension) {
  const AnsiString wanted = UpperCase(extension);
  for (const TxbIndexFormat& f : Formats())
    if (f.extension == wanted) return &f;
  return nullptr;
}
