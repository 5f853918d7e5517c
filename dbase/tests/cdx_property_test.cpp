// Seeded random operation sequences against CDX tags of every kind (text,
// number, date; ascending and descending; unique; FOR; GENERAL; key lengths
// from 1 to 240): appends, rewrites that change or keep keys, deletion
// marks, FOR flips, reopening and reindexing. After every batch each tag's
// walks in both directions equal the records' keys, seeks agree with the
// first matching key, the node structure checks out, and a tag rebuilt from
// scratch walks the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dbase/cdx_index.h"
#include "dbase/xbexprreg.h"
#include "platform/rtl/fileio.h"
#include "support/index_model.h"
#include "testing/temp_dir.h"

namespace {

using indexmodel::Bytes;
using indexmodel::IndexedTable;
using indexmodel::KeyRecord;

struct TagSpec {
  const char* name;
  const char* key;
  bool unique;
  bool ascending;
  const char* forExpression;
  bool general;
};

const TagSpec kTags[] = {
    {"NAME", "NAME", false, true, "", false},
    {"NAMED", "NAME", false, false, "", false},
    {"AMT", "AMOUNT", false, true, "", false},
    {"AMTD", "AMOUNT", false, false, "", false},
    {"DAY", "DAY", false, true, "", false},
    {"UNI", "NAME", true, true, "", false},
    {"FLAG", "NAME", false, true, "FLAG", false},
    {"GEN", "NAME", false, true, "", true},
};

class Sequence {
 public:
  Sequence(uint32_t seed, int nameLength) : rng_(seed), nameLength_(nameLength) {
    RegisterBuiltinExpressions();
    CreateDbfTable(dir_.File("P.DBF"), {{"NAME", 'C', nameLength, 0},
                                        {"AMOUNT", 'N', 10, 2},
                                        {"DAY", 'D', 8, 0},
                                        {"FLAG", 'L', 1, 0}});
    table_ = std::make_unique<IndexedTable>(dir_.File("P.DBF"), false);
    Open();
    for (const TagSpec& t : kTags) {
      cdx_->SetNewTagCollation(t.general ? cdxGeneral : cdxMachine);
      // GENERAL keys take twice the text's length: shorter texts there.
      std::string key = t.general && nameLength > 120 ? "LEFT(NAME, 120)" : t.key;
      cdx_->CreateTag(t.name, key, t.unique, t.ascending, t.forExpression);
    }
  }

  void Open() {
    table_->indexes.clear();
    cdx_.reset();
    cdx_ = std::make_unique<XBobjCDXFile>(&table_->link, "P.cdx", false, true, fmOpenReadWrite,
                                          fmShareExclusive);
    table_->indexes.push_back(cdx_.get());
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
    } else if (op < 98) {
      Open();
    } else {
      cdx_->Reindex();
    }
  }

  // The (stored key, record) pairs a tag must hold, from the records.
  std::vector<KeyRecord> Expected(XBobjCDXTag& tag) {
    std::vector<KeyRecord> out;
    for (int32_t n = 1; n <= table_->RecordCount(); ++n) {
      table_->GoRecord(n);
      if (tag.HasFor() && !tag.EvaluateFor()) continue;
      TxbVariant key(0);
      tag.EvaluateKey(key);
      tag.KeyToStoredForm(key, true);
      out.push_back({Bytes(key), n});
    }
    bool text = tag.KeyType() == 'C' && tag.Collation() != cdxGeneral;
    std::stable_sort(out.begin(), out.end(), [text](const KeyRecord& a, const KeyRecord& b) {
      int c = indexmodel::CompareStored(a.first, b.first, text);
      return c != 0 ? c < 0 : a.second < b.second;
    });
    return out;
  }

  void Check(const std::string& where) {
    for (const TagSpec& spec : kTags) {
      auto* tag = static_cast<XBobjCDXTag*>(cdx_->FindTag(spec.name));
      ASSERT_NE(tag, nullptr) << where << spec.name;
      ASSERT_EQ(indexmodel::CheckCdxTag(*tag), "") << where << spec.name;
      std::vector<KeyRecord> expected = Expected(*tag);
      std::vector<KeyRecord> forward = indexmodel::Walk(*tag, true);
      std::vector<KeyRecord> backward = indexmodel::Walk(*tag, false);
      std::reverse(backward.begin(), backward.end());
      ASSERT_EQ(forward, backward) << where << spec.name;
      if (!spec.ascending) std::reverse(forward.begin(), forward.end());
      if (spec.unique) {
        // First inserted wins, and a key whose holder moved away is gone
        // until a rebuild: distinct keys, each held by a record with that key.
        for (std::size_t i = 0; i < forward.size(); ++i) {
          if (i) {
            ASSERT_LT(indexmodel::CompareStored(forward[i - 1].first, forward[i].first, true), 0);
          }
          ASSERT_TRUE(std::find(expected.begin(), expected.end(), forward[i]) != expected.end())
              << where << spec.name;
        }
      } else {
        ASSERT_EQ(forward, expected) << where << spec.name;
      }
      // Seeks of stored keys land on the first entry of that key.
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
          auto first = std::find_if(expected.begin(), expected.end(),
                                    [&](const KeyRecord& e) { return e.first == probe.first; });
          ASSERT_EQ(found, first->second) << where << spec.name;
        }
        table_->SetExactMatch(false);
      }
    }
    // A rebuild from scratch holds exactly what was kept up incrementally.
    XBobjCDXFile fresh(&table_->link, dir_.File("FRESH.cdx"), true, true, fmOpenReadWrite,
                       fmShareExclusive);
    for (const TagSpec& spec : kTags) {
      if (spec.unique) continue;
      auto* kept = static_cast<XBobjCDXTag*>(cdx_->FindTag(spec.name));
      fresh.SetNewTagCollation(spec.general ? cdxGeneral : cdxMachine);
      fresh.CreateTag(spec.name, kept->KeyExpression(), spec.unique, spec.ascending, spec.forExpression);
      ASSERT_EQ(indexmodel::Walk(*fresh.FindTag(spec.name), true), indexmodel::Walk(*kept, true))
          << where << spec.name;
    }
  }

  std::mt19937 rng_;

 private:
  int nameLength_;
  TempDir dir_;
  std::unique_ptr<IndexedTable> table_;
  std::unique_ptr<XBobjCDXFile> cdx_;
};

void RunSequences(int sequences, int operations, int batch) {
  const int lengths[] = {1, 10, 40, 120, 240};
  for (int s = 0; s < sequences; ++s) {
    uint32_t seed = 20261208u + static_cast<uint32_t>(s);
    Sequence sequence(seed, lengths[s % 5]);
    for (int op = 1; op <= operations; ++op) {
      sequence.Step();
      if (op % batch == 0 || op == operations) {
        sequence.Check("seed " + std::to_string(seed) + " op " + std::to_string(op) + " tag ");
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
  }
}

TEST(CdxProperty, RandomSequencesKeepEveryTagExact) { RunSequences(10, 300, 100); }

// The full size, by hand or in the slow group.
TEST(CdxPropertySlow, TwoHundredSequencesOfTwoThousandOperations) {
  if (!std::getenv("INDEX_PROPERTY_FULL")) GTEST_SKIP() << "set INDEX_PROPERTY_FULL=1 for the full run";
  RunSequences(200, 2000, 500);
}

}  // namespace
