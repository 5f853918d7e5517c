// A program with a single-instance component for the multi-process tests:
// it logs what it decided, every hand-over it receives (parameters in hex,
// its window state after the hand-over) and how it ended, one line each to
// $PROBE_LOG. Settings by environment:
//   PROBE_ACK_MS     how long a start waits for the running copy (10000)
//   PROBE_LATE       skip the early check (the component decides at load)
//   PROBE_HALT       UseHaltToExit
//   PROBE_NO_SHOW    ShowOnNewInstance off
//   PROBE_MINIMISED  start minimised
//   PROBE_RUN_MS     end by itself after that many ms
#include <fcntl.h>
#include <unistd.h>

#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/instance_channel.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "ui/window_addons/one_instance.h"

namespace {

void Log(const std::string& line) {
  const char* path = std::getenv("PROBE_LOG");
  if (!path) return;
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  std::string text = line + "\n";
  (void)!write(fd, text.data(), text.size());
  close(fd);
}

std::string Hex(const AnsiString& s) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

class ProbeForm : public TForm {
 public:
  explicit ProbeForm(TComponent* owner) : TForm(owner) {
    SetCaption("probe");
    SetBounds(100, 100, 300, 200);
    instance = new TOneInstance(this);
    instance->SetUseHaltToExit(std::getenv("PROBE_HALT") != nullptr);
    instance->SetShowOnNewInstance(std::getenv("PROBE_NO_SHOW") == nullptr);
    instance->OnInstanceStarted = [this](TObject*, TStringList* params) {
      std::string line = "got " + std::to_string(params->Count());
      for (int i = 0; i < params->Count(); ++i) line += " " + Hex(params->Strings(i));
      Log(line);
      Log(std::string("state ") + (WindowState() == wsMinimized ? "minimised" : "normal"));
    };
    OnShow = [](TObject*) { Log("shown"); };
  }
  TOneInstance* instance;
};

ProbeForm* Probe = nullptr;

}  // namespace

int main(int argc, char** argv) {
  SetProgramArguments(argc, argv);
  std::atexit([] { Log("atexit"); });
  if (!std::getenv("PROBE_LATE")) {
    std::vector<AnsiString> params;
    for (int i = 1; i <= ParamCount(); ++i) params.push_back(ParamStr(i));
    InstanceChannelOptions options;
    options.programName = ExtractFileName(ParamStr(0));
    if (const char* ack = std::getenv("PROBE_ACK_MS")) options.ackTimeoutMs = std::atoi(ack);
    const InstanceRole role = InstanceChannel::Decide(params, options);
    if (role == InstanceRole::HandedOver) {
      Log("handed-over");
      return 0;
    }
    Log(role == InstanceRole::Receiver ? "receiver" : "unguarded");
  }
  Application->Initialize(argc, argv);
  InstanceChannel::StartServing();
  Application->CreateForm(Probe);
  if (std::getenv("PROBE_MINIMISED")) Probe->SetWindowState(wsMinimized);
  if (const char* ms = std::getenv("PROBE_RUN_MS")) QTimer::singleShot(std::atoi(ms), [] { Application->Terminate(); });
  QTimer::singleShot(0, [] {
    Log("window " + std::to_string(static_cast<unsigned long long>(Probe->Widget()->winId())));
    Log("ready");
  });
  Application->Run();
  Log("exit run");
  return 0;
}
