// Office component base: connection life cycle, server creation, nested
// collections.
#include "excel/office_base.h"

#include <algorithm>

#include "excel/server/xl_app.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/system_info.h"

// --- TOfOfficeComponent ---------------------------------------------------------

TOfOfficeComponent::TOfOfficeComponent(TComponent* owner) : TOfBaseComponent(owner) {}

TOfOfficeComponent::~TOfOfficeComponent() = default;

void TOfOfficeComponent::SetConnected(bool value) {
  if (IsLoading()) {
    loadedConnected_ = value;
    hasLoadedConnected_ = true;
    return;
  }
  if (value == Connected()) return;
  if (value) {
    connecting_ = true;
    try {
      ConnectServer();
      SynchronizeProperties();
      DoOpConnect();
    } catch (...) {
      connecting_ = false;
      // A half-made connection is taken down so that no server lingers.
      if (Connected()) {
        try {
          DisconnectServer();
        } catch (...) {
        }
      }
      throw;
    }
    connecting_ = false;
  } else {
    disconnecting_ = true;
    try {
      DisconnectServer();
    } catch (...) {
      disconnecting_ = false;
      versionKind_ = 0;
      throw;
    }
    disconnecting_ = false;
    versionKind_ = 0;
  }
  NotifyListeners(value);
}

void TOfOfficeComponent::Loaded() {
  TOfBaseComponent::Loaded();
  if (hasLoadedConnected_) {
    hasLoadedConnected_ = false;
    SetConnected(loadedConnected_);
  }
}

void TOfOfficeComponent::SetMachineName(const AnsiString& name) {
  if (AnsiUpperCase(name) == AnsiUpperCase(machineName_)) return;
  if (Connected()) throw EOfOfficeError(oftext::kSetWhileConnected);
  machineName_ = name;
}

int TOfOfficeComponent::AddConnectListener(TOfConnectListener listener) {
  listeners_.emplace_back(nextListener_, std::move(listener));
  return nextListener_++;
}

void TOfOfficeComponent::RemoveConnectListener(int id) {
  std::erase_if(listeners_, [id](const auto& l) { return l.first == id; });
}

void TOfOfficeComponent::NotifyListeners(bool state) {
  auto listeners = listeners_;
  for (auto& [id, listener] : listeners) listener(this, state);
}

bool TOfOfficeComponent::CheckConnected(bool insist, bool isProperty) const {
  bool connected = Connected();
  if (insist && !connected) {
    throw EOfOfficeError(isProperty ? oftext::kConnectForProperty : oftext::kConnectForMethod);
  }
  return connected;
}

int TOfOfficeComponent::ParseVersion(const AnsiString& text) {
  int major = 0;
  for (char c : text.substr(0, text.find('.'))) {
    if (c < '0' || c > '9') return 0;
    major = major * 10 + (c - '0');
    if (major > 100000) return 0;
  }
  return major;
}

int TOfOfficeComponent::VersionKind() {
  if (versionKind_ == 0) {
    int major = ParseVersion(ServerVersion());
    versionKind_ = major == 9 ? 3 : major == 10 ? 4 : 1;
  }
  return versionKind_;
}

void TOfOfficeComponent::DoOpConnect() {
  if (OnOpConnect) OnOpConnect(this);
}

void TOfOfficeComponent::DoOpDisconnect() {
  if (OnOpDisconnect) OnOpDisconnect(this);
}

void TOfOfficeComponent::DoGetInstance(xl::XlRef& instance, xl::TGUID clsid, xl::TGUID iid) {
  if (OnGetInstance) OnGetInstance(this, instance, clsid, iid);
}

xl::XlRef TOfOfficeComponent::CreateServerObject(xl::TGUID clsid, xl::TGUID iid) {
  xl::XlRef instance;
  DoGetInstance(instance, clsid, iid);
  if (instance) return instance;
  // Another computer's server would need distributed objects, which this
  // platform does not have; this computer's name means the local server.
  if (!machineName_.empty() && AnsiUpperCase(machineName_) != AnsiUpperCase(ComputerName())) {
    throw EOfOfficeError(oftext::kNoDcom);
  }
  if (clsid == xl::CLSID_ExcelApplication) return xl::CreateInProcessExcel();
  return nullptr;
}

void TOfOfficeComponent::AttachEventSink(xl::XlObject* server, xl::TGUID iid) { events_.AddSink(this, server, iid); }

// --- nested collections --------------------------------------------------------------

TOfNestedCollectionItem::TOfNestedCollectionItem(TCollection* collection) : TCollectionItem(collection) {
  if (auto* nested = dynamic_cast<TOfNestedCollection*>(collection)) {
    root_ = nested->RootComponent();
    parentItem_ = nested->ParentItem();
  }
}

TOfNestedCollection* TOfNestedCollectionItem::NestedCollection() const {
  return static_cast<TOfNestedCollection*>(Collection());
}

TOfOfficeComponent* TOfNestedCollectionItem::RootComponent() const { return root_; }

TOfNestedCollectionItem* TOfNestedCollectionItem::ParentItem() const { return parentItem_; }

TOfNestedCollection* TOfNestedCollectionItem::SubCollection(int index) const {
  throw EListError(Format("List index out of bounds (%d)", index));
}

AnsiString TOfNestedCollectionItem::Verb(int index) const {
  (void)index;
  return {};
}

void TOfNestedCollectionItem::Created() {
  InitDefaults();
  TOfOfficeComponent* root = RootComponent();
  if (root && !root->IsLoading()) Connect();
}

void TOfNestedCollectionItem::Connect() {
  TOfOfficeComponent* root = RootComponent();
  intf_ = root && root->Connected() ? root->ConnectItem(this) : nullptr;
  for (int s = 0; s < SubCollectionCount(); ++s) {
    TOfNestedCollection* sub = SubCollection(s);
    for (int i = 0; i < sub->Count(); ++i) sub->Item(i)->Connect();
  }
}

void TOfNestedCollectionItem::DropInterface() {
  for (int s = 0; s < SubCollectionCount(); ++s) {
    TOfNestedCollection* sub = SubCollection(s);
    for (int i = 0; i < sub->Count(); ++i) sub->Item(i)->DropInterface();
  }
  intf_.reset();
}

TOfNestedCollection::TOfNestedCollection(ItemFactory factory, TOfOfficeComponent* root,
                                         TOfNestedCollectionItem* parentItem)
    : TCollection(std::move(factory), parentItem ? static_cast<TPersistent*>(parentItem) : root),
      root_(root),
      parentItem_(parentItem) {}

TOfNestedCollection::~TOfNestedCollection() { Clear(); }

TOfNestedCollectionItem* TOfNestedCollection::Item(int index) const {
  return static_cast<TOfNestedCollectionItem*>(Items(index));
}

void TOfNestedCollection::ForEach(const std::function<void(TOfNestedCollectionItem*)>& proc) const {
  for (int i = 0; i < Count(); ++i) {
    TOfNestedCollectionItem* item = Item(i);
    proc(item);
    for (int s = 0; s < item->SubCollectionCount(); ++s) item->SubCollection(s)->ForEach(proc);
  }
}

bool TOfNestedCollection::FindItems(std::vector<TOfNestedCollectionItem*>& list,
                                    const std::function<bool(TOfNestedCollectionItem*)>& test) const {
  bool found = false;
  ForEach([&](TOfNestedCollectionItem* item) {
    if (test(item)) {
      list.push_back(item);
      found = true;
    }
  });
  return found;
}
