// Fuzz target of the NTX reader. The first input byte chooses what the rest
// is:
//   0: one page - a key length byte and a maximum-items byte, then the 1024
//      page bytes (short inputs are padded with zeros). A page that decodes
//      is encoded again and must decode to the same keys and children.
//   1: a whole index file, opened without its table; the tag is walked both
//      ways through the shared tree machinery and once by the B-tree's own
//      walk (with step bounds), and searched once.
// Every input must end in a result or an engine error; anything else is a
// finding.
//
// With DBF_FUZZ_WRITE_SEEDS=<dir> the target writes its seed corpus (files
// the engine made, a file shaped like other programs' files with keys in
// branch items, and their pages) into <dir> and ends.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "dbase/dbf_create.h"
#include "dbase/fuzz/fuzz_support.h"
#include "dbase/ntx_index.h"
#include "dbase/tests/support/index_model.h"
#include "dbase/tests/support/raw_index_writer.h"
#include "dbase/xbengine.h"
#include "dbase/xbexcept.h"
#include "dbase/xbexprreg.h"
#include "platform/rtl/fileio.h"

namespace {

const std::string& WorkDir() { return fuzz_support::WorkDir("ntx-fuzz"); }

NtxLayout LayoutFrom(uint8_t lengthByte, uint8_t maxByte) {
  int keyLength = 1 + lengthByte % 250;
  NtxLayout layout{keyLength, keyLength + 8, maxByte, maxByte / 2};
  return NtxLayoutValid(layout) ? layout : NtxNewLayout(keyLength);
}

void ExercisePage(std::string_view input) {
  if (input.size() < 2) return;
  NtxLayout layout = LayoutFrom(static_cast<uint8_t>(input[0]), static_cast<uint8_t>(input[1]));
  std::string page(input.substr(2, kNtxPageSize));
  page.resize(kNtxPageSize, '\0');
  NtxNode node;
  try {
    NtxDecodePage(reinterpret_cast<const uint8_t*>(page.data()), layout, "F.ntx", node);
  } catch (const EXbaseError&) {
    return;
  }
  uint8_t again[kNtxPageSize];
  if (!NtxEncodePage(node, layout, again)) __builtin_trap();
  NtxNode back;
  NtxDecodePage(again, layout, "F.ntx", back);
  if (back.children != node.children || back.keys.size() != node.keys.size()) __builtin_trap();
  for (std::size_t i = 0; i < node.keys.size(); ++i)
    if (back.keys[i].bytes != node.keys[i].bytes || back.keys[i].record != node.keys[i].record) __builtin_trap();
}

void ExerciseFile(std::string_view input) {
  std::string path = WorkDir() + "F.ntx";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(input.data(), static_cast<std::streamsize>(input.size()));
  }
  try {
    XBobjNTXFile ntx(nullptr, path, false, false, fmOpenRead, fmShareExclusive);
    if (!ntx.Tag()) return;
    indexmodel::Walk(*ntx.Tag(), true, 5000);
    indexmodel::Walk(*ntx.Tag(), false, 5000);
    ntx.Tag()->InOrder(5000);
    XBobjIndexKeyData key;
    key.SetText(input.substr(0, std::min<std::size_t>(input.size(), 6)));
    ntx.Tag()->FindKey(key);
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
    bool unique, ascending;
    const char* forExpression;
  };
  const Spec specs[] = {{"A.ntx", "NAME", false, true, ""},
                        {"B.ntx", "AMOUNT", false, false, ""},
                        {"C.ntx", "DAY", true, true, "AMOUNT > 0"}};
  for (const Spec& s : specs) {
    {
      XBobjNTXFile ntx(&table.link, dir + s.file, true, true, fmOpenReadWrite, fmShareExclusive);
      ntx.CreateTag(s.file, s.key, s.unique, s.ascending, s.forExpression);
      NtxLayout layout = ntx.Tag()->Layout();
      std::string file = ReadWhole(dir + s.file);
      std::string prefix = std::string(1, '\0') + static_cast<char>(layout.keyLength - 1) +
                           static_cast<char>(layout.maxItems);
      seeds.push_back(prefix + file.substr(static_cast<std::size_t>(ntx.Tag()->RootPosition()), kNtxPageSize));
    }
    seeds.push_back(std::string(1, '\1') + ReadWhole(dir + s.file));
  }
  // A tree as other programs write it: keys in the branch items.
  rawindex::RawNtx raw;
  raw.expression = "NAME";
  raw.keyLength = 10;
  raw.levels = 3;
  for (int i = 0; i < 40; ++i) raw.keys.push_back({"K" + std::to_string(100 + i), i + 1});
  std::string other = rawindex::NtxWriter().Write(raw);
  seeds.push_back(std::string(1, '\1') + other);
  seeds.push_back(std::string(1, '\0') + static_cast<char>(9) + static_cast<char>(50) + other.substr(1024, 1024));
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
