// The start sequence: application, title, start objects, message loop.
#include "app/program.h"

#include "app/data_module.h"
#include "app/main_window.h"
#include "app/report_module.h"
#include "app/settings_dialog.h"
#include "app/type_picker.h"
#include "app/voucher_print_dialog.h"
#include "platform/gui/application.h"
#include "platform/gui/instance_channel.h"
#include "platform/rtl/system.h"
#include "report/forms/rpt_setup_form.h"

// The output-options form as the program creates it at start; the report
// system shows a fresh one of its own for every report.
TRptSetupForm* RptSetupForm = nullptr;

void CreateProgramObjects(int argc, char** argv) {
  Application->Initialize(argc, argv);
  // Later starts are accepted while the data module opens the tables; they
  // are delivered once the main window's component has loaded.
  InstanceChannel::StartServing();
  Application->SetTitle("Morvake CRM Platebna");
  Application->CreateForm(Data);
  Application->CreateForm(DataSestavy);
  Application->CreateForm(Platebna);
  Application->CreateForm(PlatebnaTypy);
  Application->CreateForm(RptSetupForm);
  Application->CreateForm(SystemNastaveni);
  Application->CreateForm(VyberTiskuDokladu);
}

int RunProgram() {
  // Run frees everything the application owns before it returns, so no
  // form or table outlives the engine's closing of its files at exit.
  Application->Run();
  return 0;
}

void FreeProgramObjects() {
  for (TComponent* object : {static_cast<TComponent*>(VyberTiskuDokladu), static_cast<TComponent*>(SystemNastaveni),
                             static_cast<TComponent*>(RptSetupForm), static_cast<TComponent*>(PlatebnaTypy),
                             static_cast<TComponent*>(Platebna), static_cast<TComponent*>(DataSestavy),
                             static_cast<TComponent*>(Data)}) {
    if (!object) continue;
    if (auto* form = dynamic_cast<TCustomForm*>(object)) form->BeforeDestruction();
    if (auto* module = dynamic_cast<TDataModule*>(object)) module->BeforeDestruction();
    delete object;
  }
  VyberTiskuDokladu = nullptr;
  SystemNastaveni = nullptr;
  RptSetupForm = nullptr;
  PlatebnaTypy = nullptr;
  Platebna = nullptr;
  DataSestavy = nullptr;
  Data = nullptr;
}
