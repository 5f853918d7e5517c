// What the dBase-family B-trees (MDX, NDX) share above their page codecs.
//
// Both keep fixed-length entries of a key and a 4-byte value (a record
// number in a leaf, a child page in a branch), and a branch holds one
// entry more than its key count: its last child has no key and stands for
// everything after the others. A page holds at most the layout's maximum
// keys; a fuller page in memory is written as parts, its first entries
// going to new pages (see XBobjIndexTag::SplitWhileOverfull). The formats
// supply the codec, where pages lie and how a key is stored.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dbase/index/index_core.h"

class XBobjDbaseTreeTag : public XBobjIndexTag {
 public:
  using XBobjIndexTag::XBobjIndexTag;

  // The root's block; a tag whose header could not be read is corrupted.
  int32_t RootPage() override;
  bool HeaderValid() const { return headerValid_; }

  // The stored bytes of a held (compared) key.
  virtual std::string DiskKey(const TxbVariant& held) const = 0;

 protected:
  // A page (or tag header) at block lies where the format keeps pages,
  // inside the file.
  virtual bool PageInside(int64_t block) = 0;
  // Sets entry to the held form of the key bytes a page stores.
  virtual void HeldKeyFromBytes(const uint8_t* key, XBobjIndexKeyData& entry) = 0;

  // The sink a page decoder hands every entry to, in page order: the key
  // bytes (null for a branch's last child) and the value.
  void TakeDecodedEntry(XBobjIndexKey* page, const uint8_t* key, int32_t value);
  // After the decoder: a branch's children must be pages of the file (its
  // entries have no record numbers); sets the page's kind.
  void FinishDecodedPage(XBobjIndexKey* page, bool branch);
  // Entries [0, end) of page as the codecs take them: (disk key, value).
  template <class Entry>
  std::vector<Entry> DiskEntries(const XBobjIndexKey* page, int end) const {
    std::vector<Entry> entries;
    entries.reserve(static_cast<std::size_t>(end));
    for (int i = 0; i < end; ++i) {
      const XBobjIndexKeyData* e = page->Entry(i);
      entries.push_back({DiskKey(*e), e->EntryTag});
    }
    return entries;
  }
  // Writes page: while it holds more than maxKeys keys, its first part
  // goes to a new page, write(new position, moved entries, true); then the
  // rest, write(page position, its entries, false). write encodes entries
  // [0, count) of page.
  void WriteTreePage(XBobjIndexKey* page, int maxKeys,
                     const std::function<void(int32_t position, int count, bool split)>& write);

  bool headerValid_ = false;
};
