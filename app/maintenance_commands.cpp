// The configuration menu's commands: the operation types, the company
// header and the system settings.
#include <exception>
#include <memory>

#include "app/company_form.h"
#include "app/data_module.h"
#include "app/main_window.h"
#include "app/maintenance_forms_support.h"
#include "app/settings_dialog.h"
#include "app/types_overview.h"

using maintenance::IsPending;

namespace {

// Cancels a record left pending and closes the table; never raises.
void CancelAndClose(TDataSet* d) noexcept {
  try {
    if (IsPending(d)) d->Cancel();
  } catch (...) {
  }
  try {
    d->Close();
  } catch (...) {
  }
}

}  // namespace

void TPlatebna::Typypjmavdej1Click(TObject* Sender) {
  (void)Sender;
  TDataSet* types = Data->FinOperace;
  types->Open();
  try {
    std::unique_ptr<TPrehledTypu> overview(new TPrehledTypu(this));
    overview->ShowModal();
  } catch (...) {
    CancelAndClose(types);
    throw;
  }
  CancelAndClose(types);
}

void TPlatebna::Udajeofirm1Click(TObject* Sender) {
  (void)Sender;
  TDataSet* company = Data->Vlastnik;
  try {
    company->Open();
    company->First();
    company->Edit();  // an empty table inserts
    std::unique_ptr<TVlastnikForm> form(new TVlastnikForm(this));
    if (form->ShowModal() == mrOk)
      company->Post();
    else
      company->Cancel();
  } catch (...) {
    CancelAndClose(company);
    throw;
  }
  CancelAndClose(company);
}

void TPlatebna::Nastaventiskrny1Click(TObject* Sender) {
  (void)Sender;
  TDataSet* company = Data->Vlastnik;
  TDataSet* counters = Data->Ciselnik;
  std::unique_ptr<TSystemNastaveni> dialog(new TSystemNastaveni(this));
  dialog->AfterConstruction();  // FormCreate fills the printer list
  PlaceDialog(dialog.get(), this, TDialogPlacement::SystemSettings);
  // Both tables are closed (and their records released) however this
  // ends: a counter left in edit would stop numbering at every station.
  try {
    company->Open();
    company->First();
    company->Edit();
    counters->Open();
    counters->Edit();
    const int index = Data->PrinterIndex;
    dialog->ComboBoxKuvet1->SetItemIndex(index >= 0 && index < dialog->ComboBoxKuvet1->Items()->Count() ? index
                                                                                                        : -1);
    if (dialog->ShowModal() == mrOk) {
      company->Post();
      counters->Post();
      Data->PrinterIndex = dialog->ComboBoxKuvet1->ItemIndex();
      Data->ZapisNastaveniTiskaren();
    } else {
      company->Cancel();
      counters->Cancel();
    }
  } catch (...) {
    CancelAndClose(counters);
    CancelAndClose(company);
    throw;
  }
  CancelAndClose(counters);
  CancelAndClose(company);
}
