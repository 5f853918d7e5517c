// Fuzz target of the NDX reader. The first input byte chooses what the rest
// is:
//   0: one page - a key kind byte ('C' texts, anything else doubles), a key
//      length byte for texts or an entry length byte for doubles, then the
//      512 page bytes (short inputs are padded with zeros). A page that
//      decodes is encoded again and must decode to the same entries.
//   1: a whole index file, opened without its table; the tag is walked both
//      ways (with a step bound) and searched once.
// Every input must end in a result or an engine error; anything else is a
// finding.
//
// With DBF_FUZZ_WRITE_SEEDS=<dir> the target writes its seed corpus (files
// the engine made, a file with the 16-byte numeric entries of other
// programs, and their pages) into <dir> and ends.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "dbase/dbf_create.h"
#include "dbase/fuzz/fuzz_support.h"
#include "dbase/ndx_index.h"
#include "dbase/tests/support/index_model.h"
#include "dbase/tests/support/raw_index_writer.h"
#include "dbase/xbengine.h"
#include "dbase/xbexcept.h"
#include "dbase/xbexprreg.h"
#include "platform/rtl/fileio.h"

namespace {

const std::string& WorkDir() { return fuzz_support::WorkDir("ndx-fuzz"); }

NdxLayout LayoutFrom(uint8_t kindByte, uint8_t lengthByte) {
  NdxLayout layout;
  layout.text = kindByte == 'C';
  layout.keyLength = layout.text ? 1 + lengthByte % 250 : 8;
  int stored = layout.text ? layout.keyLength : 8;
  layout.entryLength = layout.text ? (stored + 8 + 3) / 4 * 4 : 16 + 4 * (lengthByte % 2);
  layout.maxKeys = 504 / layout.entryLength;
  return layout;
}

void ExercisePage(std::string_view input) {
  if (input.size() < 2) return;
  NdxLayout layout = LayoutFrom(static_cast<uint8_t>(input[0]), static_cast<uint8_t>(input[1]));
  std::string page(input.substr(2, kNdxBlockSize));
  page.resize(kNdxBlockSize, '\0');
  NdxPage decoded;
  try {
    NdxDecodePage(reinterpret_cast<const uint8_t*>(page.data()), layout, "F.ndx", decoded);
  } catch (const EXbaseError&) {
    return;
  }
  uint8_t again[kNdxBlockSize];
  if (!NdxEncodePage(decoded, layout, again)) __builtin_trap();
  NdxPage back;
  NdxDecodePage(again, layout, "F.ndx", back);
  if (back.branch != decoded.branch || back.entries.size() != decoded.entries.size()) __builtin_trap();
  for (std::size_t i = 0; i < decoded.entries.size(); ++i)
    if (back.entries[i].key != decoded.entries[i].key || back.entries[i].value != decoded.entries[i].value)
      __builtin_trap();
}

void ExerciseFile(std::string_view input) {
  std::string path = WorkDir() + "F.ndx";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(input.data(), static_cast<std::streamsize>(input.size()));
  }
  try {
    XBobjNDXFile ndx(nullptr, path, false, false, fmOpenRead, fmShareExclusive);
    if (!ndx.Tag()) return;
    XBobjIndexTag* tag = ndx.Tag();
    indexmodel::Walk(*tag, true, 5000);
    indexmodel::Walk(*tag, false, 5000);
    XBobjIndexKeyData key;
    if (tag->KeyType() == 'C')
      key.SetText(input.substr(0, std::min<std::size_t>(input.size(), 6)));
    else
      key.SetNumber(static_cast<double>(input.size()));
    tag->FindKey(key);
  } catch (const EXbaseError&) {
  }
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Seeds(const std::string& dir) {
  RegisterBuiltinExpressions();
  CreateDbfTable(dir + "S.DBF", {{"NAME", 'C', 12, 0}, {"AMOUNT", 'N', 10, 2}, {"DAY", 'D', 8, 0}});
  std::vector<std::string> seeds;
  indexmodel::IndexedTable table(dir + "S.DBF", false);
  for (int i = 0; i < 300; ++i)
    table.Append({{"NAME", "N" + std::to_string(i * 7 % 300)},
                  {"AMOUNT", std::to_string(i - 150)},
                  {"DAY", std::to_string(1 + i % 28) + ".3.2020"}});
  struct Spec {
    const char* file;
    const char* key;
    bool unique;
  };
  const Spec specs[] = {{"A.ndx", "NAME", false}, {"B.ndx", "AMOUNT", false}, {"C.ndx", "DAY", true}};
  for (const Spec& s : specs) {
    {
      XBobjNDXFile ndx(&table.link, dir + s.file, true, true, fmOpenReadWrite, fmShareExclusive);
      ndx.CreateTag(s.file, s.key, s.unique, true, "");
      const NdxLayout& layout = ndx.Tag()->Layout();
      std::string file = ReadWhole(dir + s.file);
      std::string prefix = std::string(1, '\0') + (layout.text ? 'C' : 'N') +
                           static_cast<char>(layout.text ? layout.keyLength - 1 : layout.entryLength == 20);
      seeds.push_back(prefix + file.substr(static_cast<std::size_t>(ndx.Tag()->RootPosition()) * kNdxBlockSize,
                                           kNdxBlockSize));
    }
    seeds.push_back(std::string(1, '\1') + ReadWhole(dir + s.file));
  }
  rawindex::RawNdx raw;
  raw.expression = "AMOUNT";
  raw.numeric = true;
  raw.entryLength = 16;
  raw.keysPerLeaf = 3;
  for (int i = 1; i <= 10; ++i) raw.keys.push_back({rawindex::DoubleBytes(i * 10.0), i});
  seeds.push_back(std::string(1, '\1') + rawindex::WriteNdx(raw));
  return seeds;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EngineStartup();
  fuzz_support::WriteSeedsIfAsked(WorkDir(), Seeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    if (data[0] == 0)
      ExercisePage(input);
    else
      ExerciseFile(input);
  } catch (...) {
    __builtin_trap();
  }
  return 0;
}
