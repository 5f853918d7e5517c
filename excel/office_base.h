// The common ground of the office components: a component bound to one
// spreadsheet server (connection life cycle, server creation, version kind,
// event sinks) and the nested collections whose items mirror the server's
// sub-objects (workbooks, worksheets, ranges) and keep their settings while
// disconnected.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "excel/event_sink.h"
#include "excel/office_errors.h"
#include "excel/server/xl_server.h"
#include "platform/rtl/classes.h"
#include "platform/rtl/stringlist.h"

// Base of every office component: a read-only Version.
class TOfBaseComponent : public TComponent {
 public:
  explicit TOfBaseComponent(TComponent* owner) : TComponent(owner) {}
  AnsiString ClassName() const override { return "TOfBaseComponent"; }
  AnsiString Version() const { return oftext::kVersion; }
  // Stored forms may carry a Version; it is always this library's.
  void SetVersion(const AnsiString&) {}
};

enum TOfPropDirection { pdToServer, pdFromServer };

class TOfOfficeComponent;
class TOfNestedCollectionItem;

// Lets the application hand in the server object (any implementation of
// the interface asked for); leaving Instance empty creates the usual one.
using TOfGetInstanceEvent =
    std::function<void(TObject* Sender, xl::XlRef& Instance, xl::TGUID CLSID, xl::TGUID IID)>;
// Called after every change of the connection state.
using TOfConnectListener = std::function<void(TOfOfficeComponent* Component, bool Connected)>;

class TOfOfficeComponent : public TOfBaseComponent {
 public:
  explicit TOfOfficeComponent(TComponent* owner);
  ~TOfOfficeComponent() override;
  AnsiString ClassName() const override { return "TOfOfficeComponent"; }

  bool Connected() const { return GetConnected(); }
  // While loading only remembered (applied in Loaded); otherwise, on a
  // change, connects (connect, synchronise, OnOpConnect) or disconnects;
  // the listeners are told the new state either way.
  void SetConnected(bool value);
  const AnsiString& MachineName() const { return machineName_; }
  // The same name in other letter case changes nothing; another name while
  // connected raises EOfOfficeError.
  void SetMachineName(const AnsiString& name);
  TOfPropDirection PropDirection() const { return propDirection_; }
  void SetPropDirection(TOfPropDirection direction) { propDirection_ = direction; }
  // Not stored: library code shows no message boxes of its own while set
  // (a hyperlink that cannot be created is then only left unbound).
  bool SuppressMessages() const { return suppressMessages_; }
  void SetSuppressMessages(bool on) { suppressMessages_ = on; }

  TNotifyEvent OnOpConnect;
  TNotifyEvent OnOpDisconnect;
  TOfGetInstanceEvent OnGetInstance;

  int AddConnectListener(TOfConnectListener listener);
  void RemoveConnectListener(int id);

  // Returns Connected; when insisting and disconnected raises
  // EOfOfficeError with the property or the method text.
  bool CheckConnected(bool insist, bool isProperty) const;
  bool IsConnecting() const { return connecting_; }
  bool IsDisconnecting() const { return disconnecting_; }
  // True while a server event is being handled.
  bool InEvent() const { return inEvent_; }

  // 3 for a server of major version 9, 4 for 10, else 1; cached until the
  // next disconnect.
  int VersionKind();
  virtual AnsiString ServerVersion() { return {}; }
  // Server facts as "Name=value" lines.
  virtual void GetServerInfo(TStrings* list) = 0;
  virtual AnsiString FileFilter() const { return oftext::kAllFilesFilter; }
  // Binds an item to its server object; null while disconnected.
  virtual xl::XlRef ConnectItem(TOfNestedCollectionItem* item) = 0;
  // A server event: the arguments in declaration order.
  virtual void DispatchEvent(xl::TGUID iid, int dispId, const std::vector<xl::OleArg>& args) = 0;

 protected:
  // The major version of a version text ("8.0" -> 8).
  virtual int ParseVersion(const AnsiString& text);
  virtual void ConnectServer() = 0;
  virtual void DisconnectServer() = 0;
  virtual void DoOpConnect();
  virtual void DoOpDisconnect();
  virtual void DoGetInstance(xl::XlRef& instance, xl::TGUID clsid, xl::TGUID iid);
  virtual void SynchronizeProperties() {}
  virtual bool GetConnected() const = 0;
  // OnGetInstance first; then the in-process server for an empty
  // MachineName or this computer's name; another computer needs
  // distributed objects, which do not exist here (EOfOfficeError). Null
  // when the class is unknown.
  virtual xl::XlRef CreateServerObject(xl::TGUID clsid, xl::TGUID iid);
  void AttachEventSink(xl::XlObject* server, xl::TGUID iid);
  void DetachEventSinks() { events_.Clear(); }
  void Loaded() override;

  // Marks a server event being handled for its duration.
  class InEventScope {
   public:
    explicit InEventScope(TOfOfficeComponent& c) : c_(c), was_(c.inEvent_) { c_.inEvent_ = true; }
    ~InEventScope() { c_.inEvent_ = was_; }

   private:
    TOfOfficeComponent& c_;
    bool was_;
  };

 private:
  void NotifyListeners(bool state);

  AnsiString machineName_;
  TOfPropDirection propDirection_ = pdToServer;
  bool suppressMessages_ = false;
  bool connecting_ = false;
  bool disconnecting_ = false;
  bool inEvent_ = false;
  bool loadedConnected_ = false;
  bool hasLoadedConnected_ = false;
  int versionKind_ = 0;
  std::vector<std::pair<int, TOfConnectListener>> listeners_;
  int nextListener_ = 1;
  TOfEventAdapter events_;
};

class TOfNestedCollection;

// One item of a nested collection: it wraps one server sub-object and
// knows its collection, its owner item and the root component. Items are
// created through TOfNestedCollection::Add (which sets the defaults and
// connects them).
class TOfNestedCollectionItem : public TCollectionItem {
 public:
  explicit TOfNestedCollectionItem(TCollection* collection);
  AnsiString ClassName() const override { return "TOfNestedCollectionItem"; }

  TOfNestedCollection* NestedCollection() const;
  TOfOfficeComponent* RootComponent() const;
  TOfNestedCollectionItem* ParentItem() const;
  const xl::XlRef& Intf() const { return intf_; }

  virtual TOfNestedCollection* SubCollection(int index) const;
  virtual int SubCollectionCount() const { return 0; }
  virtual void InitDefaults() {}
  virtual int VerbCount() const { return 0; }
  virtual AnsiString Verb(int index) const;
  // Binds to the server object (none while disconnected), then connects
  // the items of the sub-collections.
  virtual void Connect();
  virtual void ExecuteVerb(int index) { (void)index; }
  virtual void Activate() {}
  // Forgets the server objects of this item and its sub-items.
  void DropInterface();
  // The item's stored state changed; with no designer there is nobody to
  // tell.
  void NotifyChanged() {}
  // Called by the collection right after construction.
  void Created();

 protected:
  xl::XlRef intf_;

 private:
  // Kept from construction: an item may outlive its collection's derived
  // part while the collection is being destroyed.
  TOfOfficeComponent* root_ = nullptr;
  TOfNestedCollectionItem* parentItem_ = nullptr;
};

class TOfNestedCollection : public TCollection {
 public:
  TOfNestedCollection(ItemFactory factory, TOfOfficeComponent* root, TOfNestedCollectionItem* parentItem);
  ~TOfNestedCollection() override;
  AnsiString ClassName() const override { return "TOfNestedCollection"; }
  virtual AnsiString Caption() const { return oftext::kNestedItem; }
  TOfOfficeComponent* RootComponent() const { return root_; }
  TOfNestedCollectionItem* ParentItem() const { return parentItem_; }
  TOfNestedCollectionItem* Item(int index) const;
  // Calls proc for every item, depth first through the sub-collections.
  void ForEach(const std::function<void(TOfNestedCollectionItem*)>& proc) const;
  // Collects every item (depth first) for which test answers true; true
  // when any did.
  bool FindItems(std::vector<TOfNestedCollectionItem*>& list,
                 const std::function<bool(TOfNestedCollectionItem*)>& test) const;

  // A factory for items of type T that sets their defaults and connects
  // them after construction.
  template <class T>
  static ItemFactory FactoryOf() {
    return [](TCollection* c) -> TCollectionItem* {
      auto* item = new T(c);
      item->Created();
      return item;
    };
  }

 private:
  TOfOfficeComponent* root_;
  TOfNestedCollectionItem* parentItem_;
};
