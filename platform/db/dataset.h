// TDataSet: the record-set abstraction every table of the program is seen
// through. The framework owns the life cycle (open, close, the states), the
// ring of record buffers that data links show, navigation, the edit/insert/
// post/cancel/delete protocol with its events, calculated and lookup fields,
// bookmarks as values, filters and the notification of data sources and
// links. A concrete dataset supplies the cursor and the storage through the
// virtual internal contract (InternalOpen ... SetBlockReadSize).
//
// Buffer invariants: buffers_ holds BufferCount + 1 record buffers; the first
// RecordCount of them hold consecutive records of the current order (the
// window), the one at index RecordCount is the spare a fetch reads into.
// ActiveRecord names the current record within the window; CurrentRecord is
// the window index the dataset's cursor stands on (-1: unknown, resolved by
// UpdateCursorPos). Every link keeps its own first-record offset into the
// window; the framework moves those offsets whenever it shifts buffers, so a
// link's rows keep naming the same records.
//
// A concrete dataset must call Close() in its own destructor: the framework
// cannot reach the dataset's virtual operations once it is destroyed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/db/db_errors.h"
#include "platform/db/db_types.h"
#include "platform/db/field_defs.h"
#include "platform/db/fields.h"
#include "platform/rtl/classes.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/variant.h"

class TDataSet;
class TDataSource;
class TDataLink;

using TDataSetNotifyEvent = std::function<void(TDataSet* dataSet)>;
using TDataSetErrorEvent =
    std::function<void(TDataSet* dataSet, Exception& error, TDataAction& action)>;
using TFilterRecordEvent = std::function<void(TDataSet* dataSet, bool& accept)>;

class TDataSet : public TComponent {
 public:
  explicit TDataSet(TComponent* owner);
  ~TDataSet() override;
  AnsiString ClassName() const override { return "TDataSet"; }

  // ---------------------------------------------------------------- life
  bool Active() const { return state_ != dsInactive && state_ != dsOpening; }
  // Opens or closes; while the component is loading the value is kept and
  // applied by Loaded().
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  TDataSetState State() const { return state_; }
  // Raises "Cannot perform this operation on a closed dataset" when closed.
  // Datasets add their own conditions (a busy table).
  virtual void CheckActive() const;
  // Raises "Cannot perform this operation on an open dataset" when open.
  void CheckInactive() const;

  // ---------------------------------------------------------- navigation
  // Every move first calls CheckBrowseMode, so a pending edit is posted (or
  // an unmodified one cancelled) before the cursor leaves the record.
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Moves up to distance records; returns the distance actually moved.
  int MoveBy(int distance);
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const { return Active() && recordCount_ == 0; }
  // Reads the window again around the cursor's record: with rmExact the
  // record must still be readable ("Record not found"), with rmCenter it
  // goes to the middle of the window.
  void Resync(TResyncMode mode);
  // The cursor no longer stands on any buffer (a dataset moved it itself).
  void CursorPosChanged() { currentRecord_ = -1; }
  // Puts the cursor on the active record.
  void UpdateCursorPos();

  // ------------------------------------------------------------- editing
  // Edit of an empty dataset inserts.
  void Edit();
  void Insert();
  void Append();
  // A failing post leaves edit or insert state with the entered values.
  virtual void Post();
  virtual void Cancel();
  void Delete();
  void Refresh();
  // In edit or insert: pulls pending control data, then posts a modified
  // record and cancels an unmodified one.
  void CheckBrowseMode();
  // Asks the links to write their pending data into the record.
  void UpdateRecord();
  bool Modified() const { return modified_; }
  bool CanModify() const { return GetCanModify(); }

  // ----------------------------------------------------------- bookmarks
  int BookmarkSize() const { return bookmarkSize_; }
  // The current record's bookmark; empty when none is available.
  TBookmark Bookmark() const { return GetBookmark(); }
  void SetBookmark(const TBookmark& bookmark) { GotoBookmark(bookmark); }
  TBookmark GetBookmark() const;
  // Moves to the bookmarked record and centres it in the window.
  void GotoBookmark(const TBookmark& bookmark);
  bool BookmarkAvailable() const;
  virtual bool BookmarkValid(const TBookmark& bookmark);
  // < 0, 0, > 0 in the current order; an empty bookmark sorts first.
  virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b);

  // -------------------------------------------------------------- fields
  TFields& Fields() { return fields_; }
  const TFields& Fields() const { return fields_; }
  int FieldCount() const { return fields_.Count(); }
  TField* FieldByName(std::string_view name) const { return fields_.FieldByName(name); }
  TField* FindField(std::string_view name) const { return fields_.FindField(name); }
  TField* FieldByNumber(int fieldNo) const { return fields_.FieldByNumber(fieldNo); }
  // The fields named in a ";"-separated list, in its order.
  std::vector<TField*> GetFieldList(std::string_view names) const;
  TFieldDefs& FieldDefs() { return fieldDefs_; }
  TIndexDefs& IndexDefs() { return indexDefs_; }
  // Makes the field definitions current (from the table when needed).
  void InitFieldDefs();
  // Brings IndexDefs up to date with the dataset's indexes.
  virtual void UpdateIndexDefs() {}
  // One field's value, or an array of values for "A;B".
  Variant FieldValues(std::string_view names) const;
  void SetFieldValues(std::string_view names, const Variant& value);
  // Whether the fields were made from the definitions at open.
  bool DefaultFields() const { return defaultFields_; }
  bool AutoCalcFields() const { return autoCalcFields_; }
  void SetAutoCalcFields(bool on) { autoCalcFields_ = on; }
  // Bytes of the calculated area of a record buffer.
  int CalcFieldsSize() const { return calcFieldsSize_; }

  // ------------------------------------------------------------- records
  int RecordCount() const { return GetRecordCount(); }
  int RecNo() const { return GetRecNo(); }
  // Moves to the record with that number (datasets override and call this
  // first: it leaves edit mode).
  virtual void SetRecNo(int recNo);
  virtual bool IsSequenced() const { return true; }
  // A cursor that can only move forward; controls that scroll back and
  // forth refuse it.
  virtual bool IsUniDirectional() const { return false; }
  TUpdateStatus UpdateStatus() const { return GetUpdateStatus(); }
  // Above 0: a walk that controls need not follow (state dsBlockRead, links
  // silent until it ends with one "dataset changed").
  int BlockReadSize() const { return blockReadSize_; }
  virtual void SetBlockReadSize(int size);

  // --------------------------------------------------- filters and search
  const AnsiString& Filter() const { return filterText_; }
  void SetFilter(const AnsiString& text) { SetFilterText(text); }
  bool Filtered() const { return filtered_; }
  virtual void SetFiltered(bool on);
  TFilterOptions FilterOptions() const { return filterOptions_; }
  virtual void SetFilterOptions(TFilterOptions options);
  bool FindFirst() { return FindRecord(true, true); }
  bool FindNext() { return FindRecord(false, true); }
  bool FindPrior() { return FindRecord(false, false); }
  bool FindLast() { return FindRecord(true, false); }
  bool Found() const { return found_; }
  // Moves to the first record whose key fields hold the values (";"-list,
  // an array for several fields); false leaves the position.
  virtual bool Locate(std::string_view keyFields, const Variant& keyValues,
                      TLocateOptions options);
  // The result fields' value(s) of the first record matching the keys, or
  // null; the position does not change.
  virtual Variant Lookup(std::string_view keyFields, const Variant& keyValues,
                         std::string_view resultFields);

  // ------------------------------------------------------------ controls
  // Nesting counter: while above 0 links get no data events; when it drops
  // to 0 they get one "dataset changed" (or "layout changed") if anything
  // was held back. Opening and closing always reach them.
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ > 0; }
  // Whether source leads (through master sources) back to this dataset.
  bool IsLinkedTo(TDataSource* source) const;
  // Framework notifications to data sources and links; datasets and fields
  // raise them, controls raise deFocusControl through TField::FocusControl.
  virtual void DataEvent(TDataEvent event, intptr_t info);

  // ---------------------------------------- contract used by the fields
  // Whether the field has a value in the record of the current state; when
  // buffer is given the native value is copied into it.
  virtual bool GetFieldData(TField* field, void* buffer) = 0;
  // Stores a native value (null buffer: null) into the record of the state.
  // Implementations check the state, run field->Validate(buffer), store,
  // and then raise DataEvent(deFieldChange, field) unless the state is
  // dsCalcFields, dsFilter, dsNewValue or dsSetKey.
  virtual void SetFieldData(TField* field, const void* buffer) = 0;
  // A stream over a blob field's value in the current record.
  virtual std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode);
  // Stored <-> shown text (zero-terminated; src may equal dst); returns
  // the length. The base copies.
  virtual int Translate(const char* src, char* dst, bool toOem);
  // A string field's text (shown form when translate) read straight from
  // the record of the current state, as GetFieldData and Translate would
  // give it; for datasets that can skip that round trip on every read.
  // False: no such path here, the field reads through GetFieldData.
  virtual bool GetFieldText(TField* field, bool translate, AnsiString& text);
  virtual bool IsIndexField(TField* field) const;
  // The data source this dataset hangs on as a detail, if any.
  virtual TDataSource* GetDataSource() const { return nullptr; }

  // --------------------------------------------------------------- events
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
  TDataSetNotifyEvent OnNewRecord, OnCalcFields;
  TDataSetErrorEvent OnEditError, OnPostError, OnDeleteError;
  TFilterRecordEvent OnFilterRecord;

 protected:
  // ------------------------------------------ the virtual internal contract
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  // Fills FieldDefs (a closed dataset may open its table briefly for it).
  virtual void InternalInitFieldDefs() = 0;
  virtual bool IsCursorOpen() const = 0;
  // Called after the fields are bound and CalcFieldsSize is known, before
  // the record buffers are allocated.
  virtual void InternalFieldsBound() {}
  virtual TRecordBuffer AllocRecordBuffer() = 0;
  virtual void FreeRecordBuffer(TRecordBuffer& buffer) = 0;
  // Bytes of a record buffer the framework may copy to keep an image of a
  // record (the old values of an edit).
  virtual int GetRecordSize() const = 0;
  // Reads the current, next or prior record into buffer and moves the
  // cursor there; a record read gets bfCurrent and its calculated fields
  // (CalculateFields). With check set a failure raises instead of grError.
  virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool check) = 0;
  // Cursor before the first / after the last record.
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalGotoBookmark(const void* bookmark) = 0;
  // Cursor onto the record the buffer holds.
  virtual void InternalSetToRecord(TRecordBuffer buffer) = 0;
  virtual void GetBookmarkData(TRecordBuffer buffer, void* data) const = 0;
  virtual void SetBookmarkData(TRecordBuffer buffer, const void* data) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) const = 0;
  virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
  virtual int GetRecordCount() const { return -1; }
  virtual int GetRecNo() const { return -1; }
  // Blanks a new record buffer.
  virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
  virtual void InternalInsert() {}
  // Stores the record of buffer as a new record (at the end with append).
  virtual void InternalAddRecord(TRecordBuffer buffer, bool append);
  // Takes the record of the active buffer into edit (a lock, a re-read).
  virtual void InternalEdit() {}
  // Writes the active buffer (edit: in place, insert: as new record) and
  // leaves the cursor on the written record.
  virtual void InternalPost() = 0;
  // Called by Cancel in edit and insert state.
  virtual void InternalCancel() {}
  // Deletes the cursor's record and leaves the cursor on the one after it.
  virtual void InternalDelete() = 0;
  virtual void InternalRefresh() {}
  virtual void InternalHandleException(const std::exception& error);
  virtual bool GetCanModify() const { return true; }
  virtual void SetFilterText(const AnsiString& text) { filterText_ = text; }
  // Moves to the first/last (restart) or next/prior record that passes
  // OnFilterRecord and the filter; sets Found.
  virtual bool FindRecord(bool restart, bool goForward);
  // Clears the calculated area of a buffer.
  virtual void ClearCalcFields(TRecordBuffer buffer);
  virtual TUpdateStatus GetUpdateStatus() const { return usUnmodified; }
  // The record field values come from in the present state (null: none).
  virtual TRecordBuffer GetActiveRecordBuffer() const;
  // Applies an Active value set while the component was loading.
  void Loaded() override;

  // The event calls, one per event; datasets that must act around an event
  // (remember a position before an insert, save a file before closing)
  // override them and call the inherited.
  virtual void DoBeforeOpen() { DoEvent(BeforeOpen); }
  virtual void DoAfterOpen() { DoEvent(AfterOpen); }
  virtual void DoBeforeClose() { DoEvent(BeforeClose); }
  virtual void DoAfterClose() { DoEvent(AfterClose); }
  virtual void DoBeforeInsert() { DoEvent(BeforeInsert); }
  virtual void DoAfterInsert() { DoEvent(AfterInsert); }
  virtual void DoBeforeEdit() { DoEvent(BeforeEdit); }
  virtual void DoAfterEdit() { DoEvent(AfterEdit); }
  virtual void DoBeforePost() { DoEvent(BeforePost); }
  virtual void DoAfterPost() { DoEvent(AfterPost); }
  virtual void DoBeforeCancel() { DoEvent(BeforeCancel); }
  virtual void DoAfterCancel() { DoEvent(AfterCancel); }
  virtual void DoBeforeDelete() { DoEvent(BeforeDelete); }
  virtual void DoAfterDelete() { DoEvent(AfterDelete); }
  virtual void DoBeforeScroll() { DoEvent(BeforeScroll); }
  virtual void DoAfterScroll() { DoEvent(AfterScroll); }
  virtual void DoBeforeRefresh() { DoEvent(BeforeRefresh); }
  virtual void DoAfterRefresh() { DoEvent(AfterRefresh); }
  virtual void DoNewRecord() { DoEvent(OnNewRecord); }
  virtual void DoCalcFields() { DoEvent(OnCalcFields); }
  // A blob field written through its stream during the edit that now ends
  // (post, cancel, delete; the state is still the edit's).
  virtual void CloseBlob(TField* field) { (void)field; }

  // ------------------------------------------------ helpers for datasets
  // The buffer of the current record (null while closed).
  TRecordBuffer ActiveBuffer() const {
    return buffers_.empty() ? nullptr : buffers_[static_cast<std::size_t>(activeRecord_)];
  }
  TRecordBuffer CalcBuffer() const { return calcBuffer_; }
  TRecordBuffer TempBuffer() const { return tempBuffer_; }
  int ActiveRecord() const { return activeRecord_; }
  int BufferCount() const { return bufferCount_; }
  int BufferedRecordCount() const { return recordCount_; }
  TRecordBuffer Buffer(int index) const { return buffers_[static_cast<std::size_t>(index)]; }
  void SetBookmarkSize(int size) { bookmarkSize_ = size; }
  void SetFound(bool found) { found_ = found; }
  void SetModified(bool modified) { modified_ = modified; }
  // Runs lookups and OnCalcFields for the record in buffer (temporary
  // dsCalcFields state); nothing when the dataset has no calculated fields.
  void CalculateFields(TRecordBuffer buffer);
  // Blanks a new record: InternalInitRecord, calculated area, bfInserted.
  void InitRecord(TRecordBuffer buffer);
  // Enters a temporary state for field access (no notifications); returns
  // the state to give RestoreState.
  TDataSetState SetTempState(TDataSetState state);
  void RestoreState(TDataSetState state);
  // While it lives, slot points at record and the dataset is in a
  // temporary state; both are put back when it goes, also when what ran
  // meanwhile threw. How filters, calculated fields, lookups and searches
  // read a record that is not the current one.
  class TTempRecordScope {
   public:
    TTempRecordScope(TDataSet& dataSet, TRecordBuffer& slot, TRecordBuffer record, TDataSetState state = dsFilter)
        : dataSet_(dataSet), slot_(slot), savedRecord_(slot), savedState_(dataSet.SetTempState(state)) {
      slot_ = record;
    }
    ~TTempRecordScope() {
      dataSet_.RestoreState(savedState_);
      slot_ = savedRecord_;
    }
    TTempRecordScope(const TTempRecordScope&) = delete;
    TTempRecordScope& operator=(const TTempRecordScope&) = delete;

   private:
    TDataSet& dataSet_;
    TRecordBuffer& slot_;
    TRecordBuffer savedRecord_;
    TDataSetState savedState_;
  };
  // Raises when the dataset cannot be changed.
  void CheckCanModify() const;
  // Has-value byte and value of a calculated or lookup field in the
  // calculated area starting at area.
  static bool GetCalcFieldValue(const char* area, const TField* field, void* buffer);
  static void SetCalcFieldValue(char* area, const TField* field, const void* buffer);
  // Raises "Field '%s' must have a value" for a required empty data field.
  void CheckRequiredFields();
  // The record image taken when the current edit began (old values); null
  // outside an edit.
  TRecordBuffer OldValueBuffer() const {
    return oldValueMode_ == OldValueMode::Edit ? oldValueBuffer_ : nullptr;
  }

 private:
  friend class TField;
  friend class TFields;
  friend class TDataLink;
  friend class TDataSource;

  // What OldValue reads: the current record, the image taken by Edit, or
  // nothing (a new record has no old values).
  enum class OldValueMode { None, Edit, Insert };

  struct LinkPosition {
    TDataLink* link;
    int offset;  // active record minus the link's first record
  };

  void SetState(TDataSetState state);
  void OpenDataSet();
  void CloseDataSet();
  void CloseCursor();
  void CreateFields();
  void DestroyFields();
  void BindFields(bool binding);
  void BindDataField(TField* field, const TFieldDef* def, int fieldNo);
  void BindChildFields(TField* field, const TFieldDef* def, int fieldNo);
  void UnbindChildFields(TField* field);
  void AllocateBuffers();
  void FreeBuffers();
  void SetBufferCount(int count);
  void UpdateBufferCount();
  void MoveBuffer(int from, int to);
  void ClearBuffers();
  void ActivateBuffers();
  void SetCurrentRecord(int index);
  bool GetNextRecord();
  bool GetPriorRecord();
  int GetNextRecords();
  int GetPriorRecords();
  void ShiftLinks(int delta);
  std::vector<LinkPosition> SaveLinkPositions() const;
  void RestoreLinkPositions(const std::vector<LinkPosition>& saved);
  void NotifySources(TDataEvent event, intptr_t info);
  void NotifyOrHold(TDataEvent event, intptr_t info);
  void BeginInsertAppend();
  void EndInsertAppend();
  void CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& onError);
  void RunLookups();
  // Ends the blob values of an edit: CloseBlob for each written blob field.
  void FreeFieldBuffers();
  void FieldChanged(TField* field);
  void AddDataSource(TDataSource* source);
  void RemoveDataSource(TDataSource* source);
  void DoEvent(const TDataSetNotifyEvent& event) { if (event) event(this); }

  TDataSetState state_ = dsInactive;
  TFields fields_{this};
  TFieldDefs fieldDefs_{this};
  TIndexDefs indexDefs_{this};
  std::vector<TDataSource*> dataSources_;
  std::vector<TRecordBuffer> buffers_;
  int bufferCount_ = 0;
  int recordCount_ = 0;
  int activeRecord_ = 0;
  int currentRecord_ = -1;
  bool bof_ = true;
  bool eof_ = true;
  TRecordBuffer calcBuffer_ = nullptr;
  TRecordBuffer tempBuffer_ = nullptr;
  TRecordBuffer oldValueBuffer_ = nullptr;
  OldValueMode oldValueMode_ = OldValueMode::None;
  int bookmarkSize_ = 0;
  int calcFieldsSize_ = 0;
  bool defaultFields_ = false;
  bool autoCalcFields_ = true;
  bool modified_ = false;
  bool found_ = false;
  bool streamedActive_ = false;
  AnsiString filterText_;
  bool filtered_ = false;
  TFilterOptions filterOptions_;
  int disableCount_ = 0;
  int tempStateDepth_ = 0;
  bool heldChange_ = false;
  bool heldLayout_ = false;
  int blockReadSize_ = 0;
};
