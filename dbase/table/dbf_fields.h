// XBO_dBaseFld: typed access to the fields of a DBF table (text, number,
// date, logical, memo), the blank record, deletion marks, probe records for
// key computation, and the table's expression link through which index
// keys, FOR conditions and filters name its fields and table functions.
//
// Invariants: every typed read and write stays inside the field's bytes of
// the current record; a write sets the field's change flag and the
// record-modified flag. Numbers are stored and read with "." as decimal
// point whatever the locale. A memo edit never overwrites the memo that the
// stored record refers to: it writes new blocks (or reuses blocks written
// earlier in the same edit), and the old memo stays readable until the
// record that drops it is written.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dbase/table/dbf_table.h"
#include "platform/rtl/ansistring.h"
#include "platform/rtl/variant.h"

class TxbExpUserLink;
class TxbUserDefFieldVar;

// One field of an open table with the expression variable that names it.
struct TxbDBFFields : TxbFieldDescriptor {
  TxbUserDefFieldVar* variable = nullptr;  // owned by the table's link
};

class XBO_dBaseFld : public XBO_dBaseDBF {
 public:
  // Source id of the table's field variables in expressions.
  static constexpr int kFieldSourceId = 1;

  // Opens the table (see XBO_dBaseDBF) and registers its fields and table
  // functions with its expression link.
  XBO_dBaseFld(const AnsiString& fileName, bool shared, bool readWrite, const AnsiString& password);
  ~XBO_dBaseFld() override;

  // The field of that name (trailing blanks ignored, case-insensitive,
  // first match); null when there is none.
  virtual const TxbDBFFields* FieldDescriptor(std::string_view name) const;
  // Blanks the current record: blanks, N and F fields a formatted 0, the
  // binary types of version 0x30 zero bytes; every change flag set.
  virtual void BlankRecord();

  // Dates as Julian day numbers (0: no date). Reading a text that is no
  // date raises "Invalid date in field %s"; writing day -1 "Invalid %s
  // value for field %s".
  virtual int32_t GetDate(std::string_view name);
  virtual int32_t GetDateN(int n);
  virtual void PutDate(std::string_view name, int32_t day);
  virtual void PutDateN(int n, int32_t day);

  // Marks the current record deleted (RecallRecord: not deleted) under its
  // record lock: the record is re-read from the file under the lock, only
  // the flag changes, and it is written through WriteRecord. False, and
  // nothing written, when the lock is refused.
  virtual bool DeleteRecord();
  virtual bool RecallRecord();

  // The field's bytes as stored; writing blanks the field and stores the
  // text cut to its length, left-aligned for C, D and L, right-aligned for
  // the others.
  virtual AnsiString GetRaw(std::string_view name);
  virtual AnsiString GetRawN(int n);
  virtual void PutRaw(std::string_view name, std::string_view text);
  virtual void PutRawN(int n, std::string_view text);

  // Descriptor values of field n (1..FieldCount(); 0 or "" outside).
  virtual int32_t FieldDecimals(int n) const;
  virtual int32_t FieldLength(int n) const;
  virtual int32_t FieldOffset(int n) const;
  virtual AnsiString FieldName(int n) const;
  virtual char FieldType(int n) const;

  // True when the stored letter is one of "TtYyJj"; writing stores "T" or
  // "F" (only into L fields).
  virtual bool GetLogical(std::string_view name);
  virtual bool GetLogicalN(int n);
  virtual void PutLogical(std::string_view name, bool value);
  virtual void PutLogicalN(int n, bool value);

  // Numbers: decimal text for N and F (and memo block numbers), machine
  // formats for the binary types of version 0x30. Unreadable text raises
  // "Invalid numeric value in field %s"; a value that does not fit "numeric
  // value too big in field %s"; NaN and infinities "Invalid %s value for
  // field %s".
  virtual double GetNumber(std::string_view name);
  virtual double GetNumberN(int n);
  virtual void PutNumber(std::string_view name, double value);
  virtual void PutNumberN(int n, double value);

  // Text form of any field (dates in the display form, memos as their
  // text); writing converts the text by the field's type (numbers with the
  // locale's decimal separator, memos written to the memo file).
  virtual AnsiString GetText(std::string_view name);
  virtual AnsiString GetTextN(int n);
  virtual void PutText(std::string_view name, std::string_view text);
  virtual void PutTextN(int n, std::string_view text);

  // Memo fields (M, B, G) by field number: the text, its length, and
  // writing a new text (an empty one stores block 0).
  AnsiString GetMemoText(int n);
  int64_t MemoLength(int n);
  void PutMemo(int n, const char* text, int64_t length);
  // The memo block number stored in field n (0 for none).
  int64_t MemoBlock(int n);

  // Number of the field of that name (0 when there is none).
  int FieldNumber(std::string_view name) const;

  // Blanks `buffer` (record length + 1 bytes) as a record and stores each
  // value into the field named at the same place of the ";"-separated list
  // (as text, translated to OEM when the translate flag is on). The
  // table's current record, flags and memo file are left as they were.
  void FillProbeRecord(char* buffer, std::string_view fieldList, const std::vector<Variant>& values);

  // Texts of this table are in the OEM code page (the dataset's
  // TranslateASCII); also tells the expression link.
  bool TranslateOem() const { return translateOem_; }
  void SetTranslateOem(bool on);

  // The link expressions over this table compile with.
  TxbExpUserLink* ExpressionLink() const { return link_.get(); }

 protected:
  // The field n or null (n outside 1..FieldCount()).
  const TxbDBFFields* FieldAt(int n) const;
  // The field of that name or "There is no field name %s".
  const TxbDBFFields& FieldByName(std::string_view name) const;
  // "Field %s is the incorrect type" unless the field's type is in types.
  void CheckType(const TxbDBFFields& field, std::string_view types) const;

 private:
  void RegisterWithLink();
  // Sets or clears the deletion mark under the record lock.
  bool ChangeDeletionMark(char mark);
  void StoreNumber(const TxbDBFFields& field, double value);
  double ReadNumber(const TxbDBFFields& field);
  void StoreRight(const TxbDBFFields& field, std::string_view text);
  [[noreturn]] void RaiseFieldError(int messageId, const TxbDBFFields& field, std::string_view detail) const;

  std::vector<TxbDBFFields> fields_;
  std::unordered_map<AnsiString, int> byName_;  // upper-cased name -> first field number
  bool translateOem_ = false;
  std::unique_ptr<TxbExpUserLink> link_;
};
