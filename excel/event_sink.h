// Event sinks: the link through which a server's events reach a component.
// A sink advises the server's connection point of one event interface and
// hands every call to the component's DispatchEvent with the arguments in
// declaration order (the server passes them last first) and the named ones
// appended. The adapter keeps at most one sink per event interface.
#pragma once

#include <memory>
#include <vector>

#include "excel/server/xl_server.h"

class TOfOfficeComponent;

class TOfEventSink : public xl::IEventSink {
 public:
  // EEventSinkException "Cannot Register Events" when the server offers no
  // connection point for iid.
  TOfEventSink(TOfOfficeComponent* component, xl::XlObject* server, xl::TGUID iid);
  ~TOfEventSink() override;
  TOfEventSink(const TOfEventSink&) = delete;
  TOfEventSink& operator=(const TOfEventSink&) = delete;

  xl::TGUID EventIID() const { return iid_; }
  // The sink's own interfaces, and IDispatch for the event interface.
  void* QueryInterface(xl::TGUID iid);
  void Invoke(int dispId, const std::vector<xl::OleArg>& argsLastFirst, const xl::NamedArgs& named) override;

 private:
  TOfOfficeComponent* component_;
  xl::TGUID iid_;
  xl::IConnectionPoint* point_ = nullptr;
  uint32_t cookie_ = 0;
};

class TOfEventAdapter {
 public:
  // Adds a sink unless one exists for iid.
  void AddSink(TOfOfficeComponent* component, xl::XlObject* server, xl::TGUID iid);
  void Clear() { sinks_.clear(); }
  int Count() const { return static_cast<int>(sinks_.size()); }

 private:
  std::vector<std::unique_ptr<TOfEventSink>> sinks_;
};
