// TStrings and TStringList: ordered lists of CP1250 texts, each with one
// untyped object pointer that the list does not own.
#pragma once

#include <string_view>
#include <vector>

#include "platform/rtl/ansistring.h"

enum class TDuplicates { dupIgnore, dupAccept, dupError };

// The abstract list: storage is the descendant's; the text forms, the
// name=value access and loading/saving are shared.
class TStrings {
 public:
  virtual ~TStrings() = default;

  virtual int Count() const = 0;
  virtual AnsiString Get(int index) const = 0;
  virtual void Put(int index, const AnsiString& s) = 0;
  virtual void* GetObject(int index) const = 0;
  virtual void PutObject(int index, void* object) = 0;
  virtual void Insert(int index, const AnsiString& s) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  // Appends (or, for a sorted list, inserts in order); returns the index.
  virtual int Add(const AnsiString& s);
  int AddObject(const AnsiString& s, void* object);
  void AddStrings(const TStrings& other);
  void Assign(const TStrings& other);
  virtual int IndexOf(std::string_view s) const;
  int IndexOfObject(const void* object) const;
  void Move(int from, int to);
  void Exchange(int a, int b);

  AnsiString operator[](int index) const { return Get(index); }
  AnsiString Strings(int index) const { return Get(index); }
  void* Objects(int index) const { return GetObject(index); }

  // Lines joined by CRLF (each line ends with one); reading accepts CR, LF
  // and CRLF.
  AnsiString Text() const;
  void SetText(std::string_view text);
  // Delimited text: items containing blanks, the delimiter, quotes or
  // control characters are quoted, quotes doubled. CommaText uses "," and
  // also splits at unquoted blanks when reading.
  AnsiString CommaText() const;
  void SetCommaText(std::string_view text);
  AnsiString DelimitedText() const;
  void SetDelimitedText(std::string_view text);
  char Delimiter() const { return delimiter_; }
  void SetDelimiter(char c) { delimiter_ = c; }
  char QuoteChar() const { return quoteChar_; }
  void SetQuoteChar(char c) { quoteChar_ = c; }

  // "name=value" entries.
  AnsiString Names(int index) const;
  AnsiString ValueFromIndex(int index) const;
  AnsiString Values(std::string_view name) const;
  void SetValue(std::string_view name, std::string_view value);  // empty value deletes
  int IndexOfName(std::string_view name) const;

  // Bytes are read and written unchanged. Failures raise EFOpenError /
  // EFCreateError.
  void LoadFromFile(const AnsiString& fileName);
  void SaveToFile(const AnsiString& fileName) const;

  // Change bracketing, for lists that redraw or re-sort on change.
  virtual void BeginUpdate() { ++updateCount_; }
  virtual void EndUpdate() { if (updateCount_ > 0) --updateCount_; }

 protected:
  // Name comparison used by IndexOf, IndexOfName and Values.
  virtual int CompareStrings(std::string_view a, std::string_view b) const;
  int UpdateCount() const { return updateCount_; }

 private:
  void SetDelimited(std::string_view text, char delimiter, bool blanksSplit);
  AnsiString GetDelimited(char delimiter, bool quoteBlanks) const;

  char delimiter_ = ',';
  char quoteChar_ = '"';
  int updateCount_ = 0;
};

class TStringList : public TStrings {
 public:
  TStringList() = default;
  TStringList(const TStringList& other);
  TStringList& operator=(const TStringList& other);

  int Count() const override { return static_cast<int>(items_.size()); }
  AnsiString Get(int index) const override;
  void Put(int index, const AnsiString& s) override;  // refused on a sorted list
  void* GetObject(int index) const override;
  void PutObject(int index, void* object) override;
  void Insert(int index, const AnsiString& s) override;  // refused on a sorted list
  void Delete(int index) override;
  void Clear() override { items_.clear(); }
  int Add(const AnsiString& s) override;
  int IndexOf(std::string_view s) const override;

  // Binary search on a sorted list; index is where s is or would go.
  bool Find(std::string_view s, int& index) const;
  void Sort();

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  // Off by default: comparison through AnsiCompareText.
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool on);

 protected:
  int CompareStrings(std::string_view a, std::string_view b) const override;

 private:
  struct Item {
    AnsiString text;
    void* object = nullptr;
  };
  void CheckIndex(int index) const;  // EStringListError "List index out of bounds (%d)"

  std::vector<Item> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = TDuplicates::dupIgnore;
};
