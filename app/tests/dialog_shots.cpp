// dialog_shots: renders the dialogs of the cash journal to PNG files for
// people to look at: the entry form with a document being entered, the type
// picker, the search dialog, the operation types, the type edit form, the
// company header and the system settings.
//
//   dialog_shots OUTPUT_DIR
//
// Makes a demo data directory in a temporary folder, starts the program's
// objects on it and saves OUTPUT_DIR/<dialog>.png for each dialog.
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <string>

#include "app/company_form.h"
#include "app/data_module.h"
#include "app/entry_form.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/search_dialog.h"
#include "app/settings_dialog.h"
#include "app/type_edit_form.h"
#include "app/type_picker.h"
#include "app/types_overview.h"
#include "dbase/base/engine.h"
#include "platform/gui/application.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "tools/mkdemo/demo_data.h"

namespace {

void Settle() {
  for (int i = 0; i < 5; ++i) Application->ProcessMessages();
}

int status = 0;

// Shows the form beside the main window, saves it and frees it.
void Shoot(TCustomForm* form, const std::string& path) {
  form->Show();
  Settle();
  const QImage image = form->Widget()->grab().toImage();
  if (!image.save(QString::fromStdString(path), "PNG")) {
    std::fprintf(stderr, "dialog_shots: cannot write %s\n", path.c_str());
    status = 1;
  } else {
    std::printf("screenshot: %s\n", path.c_str());
  }
  form->Hide();
  delete form;
  Settle();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs("usage: dialog_shots OUTPUT_DIR\n", stderr);
    return 2;
  }
  QDir().mkpath(argv[1]);
  const std::string output = QDir(argv[1]).absolutePath().toStdString();

  EngineStartup();
  QTemporaryDir temp;
  if (!temp.isValid()) {
    std::fputs("dialog_shots: no temporary folder\n", stderr);
    return 1;
  }
  const AnsiString root = DiskPathToProgramName(temp.path().toStdString());
  TDemoDataOptions demo;
  demo.iniFile = root + "/Platebna.ini";
  MakeDemoData(root + "/data", demo);
  SetProgramDirectory(root + "/");
  SetPrinterListSource([] { return std::vector<AnsiString>{"Laser", "Jehličková", "PDF"}; });

  CreateProgramObjects(argc, argv);
  Platebna->Show();
  Settle();
  TXbaseDataSet* journal = Data->Platebna;

  // A new expense being entered.
  Data->FinOperace->Open();
  journal->SetIndexName("");
  journal->Last();
  auto* entry = new TPlatebnaEditace(Platebna);
  entry->IsNew = true;
  entry->PreviousBalance = journal->FieldByName("PLA_STA")->AsFloat();
  journal->Append();
  journal->FieldByName("PLA_DAT")->SetAsDateTime(Date());
  journal->FieldByName("PLA_TYP")->SetAsString("V02");
  journal->FieldByName("PLA_KOM")->SetAsString(Cz("Poštovné"));
  journal->FieldByName("PLA_HOD")->SetAsFloat(120);
  journal->FieldByName("PLA_KDO")->SetAsString(Cz("Česká pošta"));
  journal->FieldByName("PLA_STA")->SetAsFloat(entry->PreviousBalance - 120);
  PlaceDialog(entry, Platebna, TDialogPlacement::EntryForm);
  Shoot(entry, output + "/entry_form.png");
  auto* picker = new TPlatebnaTypy(Platebna);
  PlaceDialog(picker, Platebna, TDialogPlacement::TypePicker);
  Shoot(picker, output + "/type_picker.png");
  journal->Cancel();

  Shoot(new TPlatebnaHledej(Platebna), output + "/search_dialog.png");
  Shoot(new TPrehledTypu(Platebna), output + "/types_overview.png");
  Data->FinOperace->Edit();
  Shoot(new TFinOpeEditForm(Platebna), output + "/type_edit_form.png");
  Data->FinOperace->Cancel();
  Data->FinOperace->Close();

  Data->Vlastnik->Open();
  Data->Vlastnik->First();
  Shoot(new TVlastnikForm(Platebna), output + "/company_form.png");
  Data->Ciselnik->Open();
  auto* settings = new TSystemNastaveni(Platebna);
  settings->AfterConstruction();
  settings->ComboBoxKuvet1->SetItemIndex(0);
  PlaceDialog(settings, Platebna, TDialogPlacement::SystemSettings);
  Shoot(settings, output + "/settings_dialog.png");
  Data->Ciselnik->Close();
  Data->Vlastnik->Close();

  FreeProgramObjects();
  Application->Shutdown();
  SetProgramDirectory("");
  return status;
}
