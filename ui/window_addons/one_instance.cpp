#include "ui/window_addons/one_instance.h"

#include <QTimer>

#include "platform/gui/application.h"
#include "platform/gui/instance_channel.h"
#include "platform/rtl/system.h"

namespace {
TOneInstance* gInstance = nullptr;
}  // namespace

TOneInstance::TOneInstance(TComponent* owner) : TComponent(owner) {
  if (gInstance) throw Exception("Drop only one of these components on your form !");
  gInstance = this;
}

TOneInstance::~TOneInstance() {
  if (gInstance != this) return;
  InstanceChannel::SetSink(nullptr);
  gInstance = nullptr;
}

TOneInstance* TOneInstance::Instance() { return gInstance; }

void TOneInstance::Loaded() {
  TComponent::Loaded();
  if (InstanceChannel::Role() == InstanceRole::Undecided && InstanceChannel::Decide() == InstanceRole::HandedOver) {
    if (useHaltToExit_) Halt(0);
    Application->SetShowMainForm(false);
    Application->Terminate();
    // Run starts afresh; the request is made again from inside its loop.
    QTimer::singleShot(0, [] { Application->Terminate(); });
    return;
  }
  if (InstanceChannel::Role() != InstanceRole::Receiver) return;
  InstanceChannel::StartServing();
  InstanceChannel::SetSink([this](const std::vector<AnsiString>& params) {
    TStringList list;
    for (const AnsiString& p : params) list.Add(p);
    DoInstanceStarted(&list);
  });
}

void TOneInstance::DoInstanceStarted(TStringList* params) {
  if (showOnNewInstance_) {
    Application->Restore();
    Application->BringToFront();
  }
  if (TOnInstanceStarted handler = OnInstanceStarted) handler(this, params);
}
