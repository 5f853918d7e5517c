// The page steps MDX and NDX tags share; see dbase_tree.h.
#include "dbase/index/dbase_tree.h"

int32_t XBobjDbaseTreeTag::RootPage() {
  if (!headerValid_) Corrupt();
  return rootPosition_;
}

void XBobjDbaseTreeTag::TakeDecodedEntry(XBobjIndexKey* page, const uint8_t* key, int32_t value) {
  XBobjIndexKeyData* entry = page->ReadEntry();
  if (key == nullptr)
    SetKeyAfterAll(*entry, keyType_ == 'C');
  else
    HeldKeyFromBytes(key, *entry);
  entry->EntryTag = value;
  entry->RecordNumber = value;
}

void XBobjDbaseTreeTag::FinishDecodedPage(XBobjIndexKey* page, bool branch) {
  if (branch) {
    for (int i = 0; i < page->Count(); ++i) {
      XBobjIndexKeyData* e = page->Entry(i);
      e->RecordNumber = 0;
      if (!PageInside(e->EntryTag)) Corrupt();
    }
  }
  page->PageKind = branch ? ipkBranchRead : ipkLeaf;
}

void XBobjDbaseTreeTag::WriteTreePage(XBobjIndexKey* page, int maxKeys,
                                      const std::function<void(int32_t position, int count, bool split)>& write) {
  const int limit = page->IsLeaf() ? maxKeys : maxKeys + 1;
  SplitWhileOverfull(page, limit, [&](int moved) {
    int32_t position = file_->NewPage();
    write(position, moved, true);
    return position;
  });
  write(page->Position, page->Count(), false);
}
