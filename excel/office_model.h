// Office models: what a range reads when it is populated. IOfOfficeModel is
// a cursor over rows of columns handing out column captions, single cells
// or whole rows; TOfUnknownComponent is a component that answers interface
// queries from its own table.
#pragma once

#include <utility>
#include <vector>

#include "excel/office_base.h"
#include "platform/rtl/variant.h"

inline constexpr xl::TGUID IID_IOfOfficeModel = "{5E3C1A72-9B4D-4F0E-A6C1-2D7B8E90F413}";

// Read modes: SupportedModes is a set of these bits; GetData takes and
// delivers 0 (cell) or 1 (row).
enum : int { omCellBit = 1, omRowBit = 2 };
enum : int { omCell = 0, omRow = 1 };

class IOfOfficeModel {
 public:
  // The three operations every interface starts with.
  virtual bool QueryInterface(xl::TGUID iid, void** object) = 0;
  virtual int AddRef() = 0;
  virtual int Release() = 0;

  virtual void First() = 0;
  virtual void Last() = 0;
  virtual void Next() = 0;
  virtual void Prior() = 0;
  virtual int SupportedModes() = 0;
  virtual bool Eof() = 0;
  virtual bool Bof() = 0;
  virtual int ColumnCount() = 0;
  // Reserved: always 0.
  virtual int Reserved() = 0;
  virtual bool HasDetail() = 0;
  // 1 for a master row, one more per detail level.
  virtual int Level() = 0;
  // An array (from 0) of the column captions.
  virtual Variant ColumnHeaders() = 0;
  virtual void BeginRead() = 0;
  virtual void EndRead() = 0;
  // Column index's value (mode omCell) or the whole row as an array (mode
  // omRow); outMode tells which was delivered.
  virtual void GetData(int index, int mode, Variant& value, int& outMode) = 0;

 protected:
  ~IOfOfficeModel() = default;
};

class TOfUnknownComponent : public TOfBaseComponent {
 public:
  explicit TOfUnknownComponent(TComponent* owner) : TOfBaseComponent(owner) {}
  AnsiString ClassName() const override { return "TOfUnknownComponent"; }
  // From the interface table; false (and null) for an interface not in it.
  virtual bool QueryInterface(xl::TGUID iid, void** object);
  // The owner controls the component's life: nothing is counted.
  int AddRef() { return 2; }
  int Release() { return 1; }

 protected:
  void AddInterface(xl::TGUID iid, void* object) { interfaces_.emplace_back(iid, object); }

 private:
  std::vector<std::pair<xl::TGUID, void*>> interfaces_;
};

// The office model a component offers, or null.
IOfOfficeModel* QueryOfficeModel(TComponent* component);
