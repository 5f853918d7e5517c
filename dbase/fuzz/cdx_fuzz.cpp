// Fuzz target of the CDX reader. The first input byte chooses what the rest
// is:
//   0: one node - a key type byte ('C' or other), a key length byte, then
//      the 512 node bytes (short inputs are padded with zeros). A node that
//      decodes is encoded again and must decode to the same entries.
//   1: a whole index file, opened without its table; every tag is walked
//      both ways (with a step bound) and searched once.
// Every input must end in a result or an engine error; anything else is a
// finding.
//
// With DBF_FUZZ_WRITE_SEEDS=<dir> the target writes its seed corpus (index
// files the engine made, and their nodes) into <dir> and ends.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "dbase/cdx_index.h"
#include "dbase/dbf_create.h"
#include "dbase/tests/support/index_model.h"
#include "dbase/xbengine.h"
#include "dbase/xbexcept.h"
#include "dbase/xbexprreg.h"
#include "platform/rtl/fileio.h"

namespace {

const std::string& WorkDir() {
  // Kept on the heap: the exit handler that removes the directory runs
  // after static objects are gone.
  static const std::string* dir = [] {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/cdx-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) __builtin_trap();
    atexit([] { std::filesystem::remove_all(WorkDir()); });
    return new std::string(pattern + "/");
  }();
  return *dir;
}

void WriteWhole(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ExerciseNode(std::string_view input) {
  if (input.size() < 2) return;
  bool character = input[0] == 'C';
  int keyLength = static_cast<uint8_t>(input[1]);
  std::string block(input.substr(2, 512));
  block.resize(512, '\0');
  uint8_t fill = character ? ' ' : 0;
  CdxNode node;
  try {
    CdxDecodeNode(reinterpret_cast<const uint8_t*>(block.data()), keyLength, fill, "F.cdx", node);
  } catch (const EXbaseError&) {
    return;
  }
  uint8_t again[512];
  bool encoded;
  if (node.IsLeaf()) {
    uint32_t highest = 1;
    for (const CdxEntry& e : node.entries) highest = std::max(highest, static_cast<uint32_t>(e.record));
    encoded = CdxEncodeLeaf(node.entries, 0, node.entries.size(), node.attribute, node.left, node.right,
                            keyLength, fill, CdxLeafParametersFor(keyLength, highest), again);
  } else {
    encoded = CdxEncodeBranch(node.entries, 0, node.entries.size(), node.attribute, node.left,
                              node.right, keyLength, fill, again);
  }
  // Our leaves share fewer prefix bytes than the format allows, so a full
  // node of another writer may not fit again; what fits must read the same.
  if (!encoded) return;
  CdxNode back;
  CdxDecodeNode(again, keyLength, fill, "F.cdx", back);
  if (back.entries.size() != node.entries.size() || back.left != node.left || back.right != node.right)
    __builtin_trap();
  for (std::size_t i = 0; i < node.entries.size(); ++i) {
    const CdxEntry& a = node.entries[i];
    const CdxEntry& b = back.entries[i];
    if (a.key != b.key || a.record != b.record || (!node.IsLeaf() && a.child != b.child))
      __builtin_trap();
  }
}

void ExerciseFile(std::string_view input) {
  std::string path = WorkDir() + "F.cdx";
  WriteWhole(path, input);
  try {
    XBobjCDXFile cdx(nullptr, path, false, false, fmOpenRead, fmShareExclusive);
    for (int i = 0; i < cdx.TagCount(); ++i) {
      XBobjIndexTag* tag = cdx.TagAt(i);
      indexmodel::Walk(*tag, true, 5000);
      indexmodel::Walk(*tag, false, 5000);
      XBobjIndexKeyData key;
      key.SetText(input.substr(0, std::min<std::size_t>(input.size(), 6)));
      tag->FindKey(key);
    }
  } catch (const EXbaseError&) {
  }
}

// Index files made by the engine over a small table, and their nodes.
std::vector<std::string> Seeds() {
  RegisterBuiltinExpressions();
  std::string dir = WorkDir();
  CreateDbfTable(dir + "S.DBF", {{"NAME", 'C', 12, 0}, {"AMOUNT", 'N', 10, 2}, {"DAY", 'D', 8, 0}});
  std::vector<std::string> seeds;
  {
    indexmodel::IndexedTable table(dir + "S.DBF", false);
    for (int i = 0; i < 120; ++i)
      table.Append({{"NAME", "N" + std::to_string(i * 7 % 120)},
                    {"AMOUNT", std::to_string(i - 60)},
                    {"DAY", std::to_string(1 + i % 28) + ".3.2020"}});
    XBobjCDXFile cdx(&table.link, "S.cdx", true, true, fmOpenReadWrite, fmShareExclusive);
    cdx.CreateTag("NAME", "NAME", false, true, "");
    cdx.CreateTag("AMT", "AMOUNT", false, false, "");
    cdx.CreateTag("DAY", "DAY", true, true, "AMOUNT > 0");
    cdx.SetNewTagCollation(cdxGeneral);
    cdx.CreateTag("GEN", "NAME", false, true, "");
    for (int i = 0; i < cdx.TagCount(); ++i) {
      auto* tag = static_cast<XBobjCDXTag*>(cdx.TagAt(i));
      std::string file = ReadWhole(dir + "S.cdx");
      std::string prefix = std::string(1, '\0') + (tag->KeyType() == 'C' ? 'C' : 'N') +
                           static_cast<char>(tag->KeyLength());
      seeds.push_back(prefix + file.substr(static_cast<std::size_t>(tag->RootPosition()), 512));
    }
  }
  std::string file = ReadWhole(dir + "S.cdx");
  seeds.push_back(std::string(1, '\1') + file);
  seeds.push_back(std::string(1, '\1') + file.substr(0, 1536));
  return seeds;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EngineStartup();
  if (const char* out = getenv("DBF_FUZZ_WRITE_SEEDS")) {
    std::filesystem::create_directories(out);
    int i = 0;
    for (const std::string& seed : Seeds()) WriteWhole(std::string(out) + "/seed-" + std::to_string(i++), seed);
    exit(0);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    if (data[0] == 0)
      ExerciseNode(input);
    else
      ExerciseFile(input);
  } catch (...) {
    __builtin_trap();
  }
  return 0;
}
