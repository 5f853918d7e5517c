// Event sinks and their adapter.
#include "excel/event_sink.h"

#include <algorithm>

#include "excel/office_base.h"

TOfEventSink::TOfEventSink(TOfOfficeComponent* component, xl::XlObject* server, xl::TGUID iid)
    : component_(component), iid_(iid) {
  auto* container = server ? static_cast<xl::IConnectionPointContainer*>(
                                 server->QueryInterface(xl::IID_IConnectionPointContainer))
                           : nullptr;
  point_ = container ? container->FindConnectionPoint(iid) : nullptr;
  if (!point_) throw EEventSinkException(oftext::kCannotRegisterEvents);
  cookie_ = point_->Advise(this);
}

TOfEventSink::~TOfEventSink() { point_->Unadvise(cookie_); }

void* TOfEventSink::QueryInterface(xl::TGUID iid) {
  if (iid == iid_ || iid == xl::IID_IDispatch) return static_cast<xl::IEventSink*>(this);
  return nullptr;
}

void TOfEventSink::Invoke(int dispId, const std::vector<xl::OleArg>& argsLastFirst, const xl::NamedArgs& named) {
  std::vector<xl::OleArg> args(argsLastFirst.rbegin(), argsLastFirst.rend());
  for (const auto& [name, arg] : named) args.push_back(arg);
  component_->DispatchEvent(iid_, dispId, args);
}

void TOfEventAdapter::AddSink(TOfOfficeComponent* component, xl::XlObject* server, xl::TGUID iid) {
  bool exists = std::any_of(sinks_.begin(), sinks_.end(), [&](const auto& s) { return s->EventIID() == iid; });
  if (!exists) sinks_.push_back(std::make_unique<TOfEventSink>(component, server, iid));
}
