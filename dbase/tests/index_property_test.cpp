// Seeded random operation sequences against the tags of every index format
// (CDX, MDX, NDX, NTX) of every kind the format has (text, number, date;
// ascending and descending; unique; FOR; GENERAL; key lengths from 1 to
// 240): appends, rewrites that change or keep keys, deletion marks, FOR
// flips, reopening, zapping and refilling, reindexing. After every batch
// each tag's walks in both directions hold the records' keys, seeks agree
// with the first matching key, the page structure checks out, and a tag
// rebuilt from scratch holds the same.
//
// Formats that order equal keys by record number (CDX) must match the
// model entry by entry; the others keep equal keys in the order they were
// inserted, so their walks are compared key by key with the records of
// each key as a set: every record exactly once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dbase/index/cdx_index.h"
#include "dbase/index/mdx_index.h"
#include "dbase/index/ndx_index.h"
#include "dbase/index/ntx_index.h"
#include "dbase/expr/expr_registry.h"
#include "platform/rtl/fileio.h"
#include "dbase/testing/index_model.h"
#include "testing/temp_dir.h"

namespace {

using indexmodel::Bytes;
using indexmodel::IndexedTable;
using indexmodel::KeyRecord;

enum class Format { Cdx, Mdx, Ndx, Ntx };

struct TagSpec {
  const char* name;
  const char* key;
  bool unique;
  bool ascending;
  const char* forExpression;
  bool general;
};

const std::vector<TagSpec> kCdxTags = {
    {"NAME", "NAME", false, true, "", false},  {"NAMED", "NAME", false, false, "", false},
    {"AMT", "AMOUNT", false, true, "", false}, {"AMTD", "AMOUNT", false, false, "", false},
    {"DAY", "DAY", false, true, "", false},    {"UNI", "NAME", true, true, "", false},
    {"FLAG", "NAME", false, true, "FLAG", false}, {"GEN", "NAME", false, true, "", true},
};

const std::vector<TagSpec> kMdxTags = {
    {"NAME", "NAME", false, true, "", false},  {"NAMED", "NAME", false, false, "", false},
    {"AMT", "AMOUNT", false, true, "", false}, {"AMTD", "AMOUNT", false, false, "", false},
    {"DAY", "DAY", false, true, "", false},    {"DAYD", "DAY", false, false, "", false},
    {"UNI", "NAME", true, true, "", false},    {"UNID", "NAME", true, false, "", false},
    {"FLAG", "NAME", false, true, "FLAG", false},
};

// One file per tag, named after it.
const std::vector<TagSpec> kNdxTags = {
    {"NAME", "NAME", false, true, "", false},
    {"AMT", "AMOUNT", false, true, "", false},
    {"DAY", "DAY", false, true, "", false},
    {"UNI", "NAME", true, true, "", false},
};

const std::vector<TagSpec> kNtxTags = {
    {"NAME", "NAME", false, true, "", false},  {"NAMED", "NAME", false, false, "", false},
    {"AMT", "AMOUNT", false, true, "", false}, {"AMTD", "AMOUNT", false, false, "", false},
    {"DAY", "DAY", false, true, "", false},    {"DAYD", "DAY", false, false, "", false},
    {"UNI", "NAME", true, true, "", false},    {"UNID", "NAME", true, false, "", false},
    {"FLAG", "NAME", false, true, "FLAG", false},
};

const std::vector<TagSpec>& TagsOf(Format format) {
  switch (format) {
    case Format::Cdx: return kCdxTags;
    case Format::Mdx: return kMdxTags;
    case Format::Ndx: return kNdxTags;
    default: return kNtxTags;
  }
}

bool MultiTag(Format format) { return format == Format::Cdx || format == Format::Mdx; }

std::unique_ptr<XBobjIndexFile> OpenIndex(Format format, XBobjIndexTable* table, const std::string& path,
                                          bool fresh) {
  switch (format) {
    case Format::Cdx:
      return std::make_unique<XBobjCDXFile>(table, path, fresh, true, fmOpenReadWrite, fmShareExclusive);
    case Format::Mdx:
      return std::make_unique<XBobjMDXFile>(table, path, fresh, true, fmOpenReadWrite, fmShareExclusive);
    case Format::Ndx:
      return std::make_unique<XBobjNDXFile>(table, path, fresh, true, fmOpenReadWrite, fmShareExclusive);
    default:
      return std::make_unique<XBobjNTXFile>(table, path, fresh, true, fmOpenReadWrite, fmShareExclusive);
  }
}

const char* Extension(Format format) {
  switch (format) {
    case Format::Cdx: return ".cdx";
    case Format::Mdx: return ".mdx";
    case Format::Ndx: return ".ndx";
    default: return ".ntx";
  }
}

// Key order of stored keys as the tag compares them (ascending).
int CompareKeys(Format format, const XBobjIndexTag& tag, bool general, const std::string& a,
                const std::string& b) {
  bool text = tag.KeyType() == 'C' || format == Format::Ntx;
  if (format == Format::Cdx) return indexmodel::CompareStored(a, b, text && !general);
  if (text) return indexmodel::CompareStored(a, b, true);
  double x = 0, y = 0;
  std::memcpy(&x, a.data(), std::min<std::size_t>(a.size(), 8));
  std::memcpy(&y, b.data(), std::min<std::size_t>(b.size(), 8));
  return (x > y) - (x < y);
}

class Sequence {
 public:
  Sequence(Format format, uint32_t seed, int nameLength) : format_(format), rng_(seed), nameLength_(nameLength) {
    RegisterBuiltinExpressions();
    CreateDbfTable(dir_.File("P.DBF"), {{"NAME", 'C', nameLength, 0},
                                        {"AMOUNT", 'N', 10, 2},
                                        {"DAY", 'D', 8, 0},
                                        {"FLAG", 'L', 1, 0}});
    table_ = std::make_unique<IndexedTable>(dir_.File("P.DBF"), false);
    Open();
    for (const TagSpec& t : TagsOf(format_)) {
      // GENERAL keys take twice the text's length: shorter texts there.
      std::string key = t.general && nameLength > 120 ? "LEFT(NAME, 120)" : t.key;
      XBobjIndexFile* file = FileOf(t);
      if (auto* cdx = dynamic_cast<XBobjCDXFile*>(file)) cdx->SetNewTagCollation(t.general ? cdxGeneral : cdxMachine);
      file->CreateTag(t.name, key, t.unique, t.ascending, t.forExpression);
    }
  }

  std::string PathOf(const std::string& name) const { return dir_.File(name + Extension(format_)); }

  void Open() {
    table_->indexes.clear();
    files_.clear();
    if (MultiTag(format_)) {
      files_.push_back(OpenIndex(format_, &table_->link, PathOf("P"), false));
    } else {
      for (const TagSpec& t : TagsOf(format_)) files_.push_back(OpenIndex(format_, &table_->link, PathOf(t.name), false));
    }
    for (auto& f : files_) table_->indexes.push_back(f.get());
  }

  XBobjIndexFile* FileOf(const TagSpec& spec) {
    if (MultiTag(format_)) return files_[0].get();
    const auto& tags = TagsOf(format_);
    for (std::size_t i = 0; i < tags.size(); ++i)
      if (std::string(tags[i].name) == spec.name) return files_[i].get();
    return nullptr;
  }

  XBobjIndexTag* TagOf(const TagSpec& spec) {
    XBobjIndexFile* file = FileOf(spec);
    return MultiTag(format_) ? file->FindTag(spec.name) : (file->TagCount() ? file->TagAt(0) : nullptr);
  }

  std::string RandomName() {
    // Few distinct prefixes and lengths, so that keys repeat and compress.
    static const char* stems[] = {"A", "AB", "ABC", "B", "BA", "ZZ", "a", "\xC1", "K/", ""};
    std::string s = stems[rng_() % 10];
    int extra = static_cast<int>(rng_() % 6);
    for (int i = 0; i < extra; ++i) s += static_cast<char>('A' + rng_() % 4);
    if (rng_() % 7 == 0) s = std::string(static_cast<std::size_t>(nameLength_), 'Q') + s;
    if (static_cast<int>(s.size()) > nameLength_) s.resize(static_cast<std::size_t>(nameLength_));
    return s;
  }
  std::string RandomAmount() {
    int cents = static_cast<int>(rng_() % 4001) - 2000;
    if (rng_() % 3 == 0) cents = cents / 100 * 100;
    std::string s = std::to_string(cents / 100) + "," + std::to_string(std::abs(cents % 100) / 10) +
                    std::to_string(std::abs(cents % 10));
    if (cents < 0 && cents > -100) s = "-" + s;
    return s;
  }
  std::string RandomDay() {
    if (rng_() % 5 == 0) return "";
    return std::to_string(1 + rng_() % 28) + "." + std::to_string(1 + rng_() % 12) + ".20" +
           std::to_string(10 + rng_() % 20);
  }
  std::vector<std::pair<std::string, std::string>> RandomFields(bool all) {
    std::vector<std::pair<std::string, std::string>> f;
    if (all || rng_() % 2) f.push_back({"NAME", RandomName()});
    if (all || rng_() % 2) f.push_back({"AMOUNT", RandomAmount()});
    if (all || rng_() % 3 == 0) f.push_back({"DAY", RandomDay()});
    if (all || rng_() % 3 == 0) f.push_back({"FLAG", rng_() % 2 ? "T" : "F"});
    return f;
  }

  // Empties every single-tag file and gives it the keys again one record
  // at a time, as appends would.
  void ZapAndRefill() {
    for (auto& f : files_) f->Zap();
    for (int32_t n = 1; n <= table_->RecordCount(); ++n) {
      table_->GoRecord(n);
      table_->Locked([&] {
        for (auto& f : files_) f->RecordChanged(n, true);
      });
    }
  }

  void Step() {
    int32_t count = table_->RecordCount();
    unsigned op = rng_() % 100;
    if (count == 0 || op < 35) {
      table_->Append(RandomFields(true));
    } else if (op < 85) {
      table_->Change(static_cast<int32_t>(1 + rng_() % static_cast<uint32_t>(count)), RandomFields(false));
    } else if (op < 95) {
      table_->GoRecord(static_cast<int32_t>(1 + rng_() % static_cast<uint32_t>(count)));
      table_->Locked([this] { table_->IsDeleted() ? table_->RecallRecord() : table_->DeleteRecord(); });
    } else if (op < 97) {
      Open();
    } else if (op < 98 && !MultiTag(format_)) {
      ZapAndRefill();
    } else {
      for (auto& f : files_) f->Reindex();
    }
  }

  // The (stored key, record) pairs a tag must hold, from the records, in
  // ascending key order and record order within a key.
  std::vector<KeyRecord> Expected(XBobjIndexTag& tag, const TagSpec& spec) {
    std::vector<KeyRecord> out;
    for (int32_t n = 1; n <= table_->RecordCount(); ++n) {
      table_->GoRecord(n);
      if (tag.HasFor() && !tag.EvaluateFor()) continue;
      TxbVariant key(0);
      tag.EvaluateKey(key);
      tag.KeyToStoredForm(key, true);
      out.push_back({Bytes(key), n});
    }
    SortAscending(tag, spec, out);
    return out;
  }

  void SortAscending(const XBobjIndexTag& tag, const TagSpec& spec, std::vector<KeyRecord>& pairs) {
    std::stable_sort(pairs.begin(), pairs.end(), [&](const KeyRecord& a, const KeyRecord& b) {
      int c = CompareKeys(format_, tag, spec.general, a.first, b.first);
      return c != 0 ? c < 0 : a.second < b.second;
    });
  }

  void Check(const std::string& where) {
    for (const TagSpec& spec : TagsOf(format_)) {
      XBobjIndexTag* tag = TagOf(spec);
      ASSERT_NE(tag, nullptr) << where << spec.name;
      ASSERT_EQ(indexmodel::CheckIndexTag(*tag), "") << where << spec.name;
      std::vector<KeyRecord> expected = Expected(*tag, spec);
      std::vector<KeyRecord> forward = indexmodel::Walk(*tag, true);
      std::vector<KeyRecord> backward = indexmodel::Walk(*tag, false);
      std::reverse(backward.begin(), backward.end());
      ASSERT_EQ(forward, backward) << where << spec.name;
      if (!spec.ascending) std::reverse(forward.begin(), forward.end());
      // Keys come in order whatever the order of equal keys.
      for (std::size_t i = 1; i < forward.size(); ++i)
        ASSERT_LE(CompareKeys(format_, *tag, spec.general, forward[i - 1].first, forward[i].first), 0)
            << where << spec.name << " entry " << i;
      if (format_ != Format::Cdx) SortAscending(*tag, spec, forward);
      if (spec.unique) {
        // First inserted wins, and a key whose holder moved away is gone
        // until a rebuild: distinct keys, each held by a record with that key.
        for (std::size_t i = 0; i < forward.size(); ++i) {
          if (i) {
            ASSERT_LT(CompareKeys(format_, *tag, spec.general, forward[i - 1].first, forward[i].first), 0);
          }
          ASSERT_TRUE(std::find(expected.begin(), expected.end(), forward[i]) != expected.end())
              << where << spec.name;
        }
      } else {
        ASSERT_EQ(forward, expected) << where << spec.name;
      }
      // Seeks of stored keys land on the first entry of that key (for
      // formats without record order: on an entry of that key that no
      // entry of the key precedes).
      if (!spec.unique && !expected.empty()) {
        table_->SetExactMatch(true);
        for (int i = 0; i < 5; ++i) {
          const KeyRecord& probe = expected[rng_() % expected.size()];
          // A seek converts the key again: reach the stored form through a
          // record that holds it.
          table_->GoRecord(probe.second);
          XBobjIndexKeyData key;
          tag->EvaluateKey(key);
          int32_t found = tag->FindKey(key);
          if (format_ == Format::Cdx) {
            // expected is in stored order; a descending tag walks it
            // backwards and lands on the first of equal keys in walk order.
            auto same = [&](const KeyRecord& e) { return e.first == probe.first; };
            int32_t first = spec.ascending ? std::find_if(expected.begin(), expected.end(), same)->second
                                           : std::find_if(expected.rbegin(), expected.rend(), same)->second;
            ASSERT_EQ(found, first) << where << spec.name;
          } else {
            ASSERT_TRUE(std::find(expected.begin(), expected.end(), KeyRecord{probe.first, found}) != expected.end())
                << where << spec.name << " seek found " << found;
            int32_t before = tag->MoveTo(-2);
            if (before != 0) {
              ASSERT_NE(Bytes(tag->CurrentKey()), probe.first) << where << spec.name << " an equal key before";
            }
          }
        }
        table_->SetExactMatch(false);
      }
    }
    // A rebuild from scratch holds exactly what was kept up incrementally.
    std::vector<std::unique_ptr<XBobjIndexFile>> fresh;
    for (const TagSpec& spec : TagsOf(format_)) {
      if (spec.unique) continue;
      XBobjIndexTag* kept = TagOf(spec);
      if (!MultiTag(format_) || fresh.empty())
        fresh.push_back(OpenIndex(format_, &table_->link,
                                  dir_.File(std::string("F") + (MultiTag(format_) ? "" : spec.name) + Extension(format_)),
                                  true));
      XBobjIndexFile* file = fresh.back().get();
      if (auto* cdx = dynamic_cast<XBobjCDXFile*>(file)) cdx->SetNewTagCollation(spec.general ? cdxGeneral : cdxMachine);
      file->CreateTag(spec.name, kept->KeyExpression(), spec.unique, spec.ascending, spec.forExpression);
      XBobjIndexTag* built = MultiTag(format_) ? file->FindTag(spec.name) : file->TagAt(0);
      ASSERT_EQ(indexmodel::CheckIndexTag(*built), "") << where << spec.name << " rebuilt";
      std::vector<KeyRecord> a = indexmodel::Walk(*built, true);
      std::vector<KeyRecord> b = indexmodel::Walk(*kept, true);
      if (format_ != Format::Cdx) {
        SortAscending(*kept, spec, a);
        SortAscending(*kept, spec, b);
      }
      ASSERT_EQ(a, b) << where << spec.name;
    }
  }

 private:
  Format format_;

 public:
  std::mt19937 rng_;

 private:
  int nameLength_;
  TempDir dir_;
  std::unique_ptr<IndexedTable> table_;
  std::vector<std::unique_ptr<XBobjIndexFile>> files_;
};

void RunSequences(Format format, int sequences, int operations, int batch) {
  const int lengths[] = {1, 10, 40, 120, 240};
  for (int s = 0; s < sequences; ++s) {
    uint32_t seed = 20261208u + static_cast<uint32_t>(s);
    Sequence sequence(format, seed, lengths[s % 5]);
    for (int op = 1; op <= operations; ++op) {
      sequence.Step();
      if (op % batch == 0 || op == operations) {
        sequence.Check("seed " + std::to_string(seed) + " op " + std::to_string(op) + " tag ");
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
  }
}

bool FullRun() { return std::getenv("INDEX_PROPERTY_FULL") != nullptr; }

// A table with one index file of the format over NAME, kept current.
struct OneTag {
  OneTag(Format format, bool unique, bool ascending) {
    RegisterBuiltinExpressions();
    CreateDbfTable(dir.File("O.DBF"), {{"NAME", 'C', 8, 0}});
    table = std::make_unique<IndexedTable>(dir.File("O.DBF"), false);
    file = OpenIndex(format, &table->link, dir.File(std::string("NAME") + Extension(format)), true);
    file->CreateTag("NAME", "NAME", unique, ascending, "");
    table->indexes.push_back(file.get());
  }
  XBobjIndexTag& Tag() { return *file->TagAt(0); }
  std::vector<KeyRecord> Sorted(std::vector<KeyRecord> walk) {
    std::sort(walk.begin(), walk.end());
    return walk;
  }
  TempDir dir;
  std::unique_ptr<IndexedTable> table;
  std::unique_ptr<XBobjIndexFile> file;
};

TEST(IndexProperty, RecordsSharingOneKeyChangeWithoutLosingOrDoublingEntries) {
  for (Format format : {Format::Cdx, Format::Mdx, Format::Ndx, Format::Ntx}) {
    for (bool ascending : {true, false}) {
      if (format == Format::Ndx && !ascending) continue;
      OneTag t(format, false, ascending);
      for (int i = 0; i < 6; ++i) t.table->Append({{"NAME", "SAME"}});
      // The old entry of a record lies somewhere in the run of equal keys.
      t.table->Change(4, {{"NAME", "OTHER"}});
      t.table->Change(6, {{"NAME", "ANOTHER"}});
      t.table->Change(4, {{"NAME", "SAME"}});
      std::vector<KeyRecord> expected = {{"ANOTHER", 6}, {"SAME", 1}, {"SAME", 2},
                                         {"SAME", 3},    {"SAME", 4}, {"SAME", 5}};
      EXPECT_EQ(t.Sorted(indexmodel::Walk(t.Tag(), true)), expected)
          << Extension(format) << (ascending ? " ascending" : " descending");
      EXPECT_EQ(indexmodel::CheckIndexTag(t.Tag()), "") << Extension(format);
    }
  }
}

TEST(IndexProperty, RangesHoldTheKeysBetweenTheirBoundsInEveryFormat) {
  struct Bounds {
    const char* low;
    const char* high;
  };
  // A high bound that is a prefix of a key counts as equal to it.
  const Bounds cases[] = {{"AB", "B"}, {"A", "ABZ"}, {"", "AC"}, {"B", ""}, {"ABB", "ABB"}, {"Q", "Z"}};
  for (Format format : {Format::Cdx, Format::Mdx, Format::Ndx, Format::Ntx}) {
    OneTag t(format, false, true);
    std::mt19937 rng(3);
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) {
      std::string name(1 + rng() % 3, 'A');
      for (char& c : name) c = static_cast<char>('A' + rng() % 3);
      names.push_back(name);
      t.table->Append({{"NAME", name}});
    }
    for (const Bounds& b : cases) {
      std::string low = b.low, high = b.high;
      std::vector<KeyRecord> expected;
      for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& k = names[i];
        bool aboveLow = low.empty() || k >= low;
        bool belowHigh = high.empty() || k <= high || k.compare(0, high.size(), high) == 0;
        if (aboveLow && belowHigh) expected.push_back({k, static_cast<int32_t>(i + 1)});
      }
      std::sort(expected.begin(), expected.end());
      XBobjIndexKeyData lowKey, highKey;
      lowKey.SetText(low);
      highKey.SetText(high);
      t.Tag().SetRange(&lowKey, true, true, true, &highKey);
      std::vector<KeyRecord> forward = t.Sorted(indexmodel::Walk(t.Tag(), true));
      std::vector<KeyRecord> backward = t.Sorted(indexmodel::Walk(t.Tag(), false));
      EXPECT_EQ(forward, expected) << Extension(format) << " " << low << ".." << high;
      EXPECT_EQ(backward, expected) << Extension(format) << " " << low << ".." << high;
    }
  }
}

TEST(IndexProperty, UniqueDescendingTagsKeepTheFirstRecordOfAKeyBuiltOrMaintained) {
  for (Format format : {Format::Cdx, Format::Mdx, Format::Ntx}) {
    OneTag t(format, true, false);
    const char* names[] = {"B", "A", "B", "C", "A", "B", "C"};
    for (const char* name : names) t.table->Append({{"NAME", name}});
    std::vector<KeyRecord> maintained = indexmodel::Walk(t.Tag(), true);
    EXPECT_EQ(maintained, (std::vector<KeyRecord>{{"C", 4}, {"B", 1}, {"A", 2}})) << Extension(format);
    auto rebuilt = OpenIndex(format, &t.table->link, t.dir.File(std::string("FRESH") + Extension(format)), true);
    rebuilt->CreateTag("NAME", "NAME", true, false, "");
    EXPECT_EQ(indexmodel::Walk(*rebuilt->TagAt(0), true), maintained) << Extension(format);
  }
}

TEST(CdxProperty, RandomSequencesKeepEveryTagExact) { RunSequences(Format::Cdx, 10, 300, 100); }
TEST(MdxProperty, RandomSequencesKeepEveryTagExact) { RunSequences(Format::Mdx, 10, 300, 100); }
TEST(NdxProperty, RandomSequencesKeepEveryTagExact) { RunSequences(Format::Ndx, 10, 300, 100); }
TEST(NtxProperty, RandomSequencesKeepEveryTagExact) { RunSequences(Format::Ntx, 10, 300, 100); }

// The full size is run by hand (INDEX_PROPERTY_FULL=1): under the
// sanitizers it takes too long for every CI run.
TEST(CdxPropertySlow, TwoHundredSequencesOfTwoThousandOperations) {
  if (!FullRun()) GTEST_SKIP() << "set INDEX_PROPERTY_FULL=1 for the full run";
  RunSequences(Format::Cdx, 200, 2000, 500);
}

TEST(IndexPropertySlow, TwoHundredSequencesOfTwoThousandOperationsPerFormat) {
  if (!FullRun()) GTEST_SKIP() << "set INDEX_PROPERTY_FULL=1 for the full run";
  for (Format format : {Format::Mdx, Format::Ndx, Format::Ntx}) {
    RunSequences(format, 200, 2000, 500);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
