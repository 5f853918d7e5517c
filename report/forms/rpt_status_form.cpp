#include "report/forms/rpt_status_form.h"

TRptStatusForm::TRptStatusForm(TComponent* owner) : TForm(owner) {
  AfterConstruction();
  SetBorderStyle(bsDialog);
  SetBorderIcons({});
  SetPosition(poScreenCenter);
  SetClientWidth(300);
  SetClientHeight(90);
  StatusLabel = new TLabel(this);
  StatusLabel->SetName("StatusLabel");
  StatusLabel->SetParent(this);
  StatusLabel->SetAutoSize(false);
  StatusLabel->SetAlignment(taCenter);
  StatusLabel->SetBounds(8, 12, 284, 20);
  CancelButton = new TButton(this);
  CancelButton->SetName("CancelButton");
  CancelButton->SetParent(this);
  CancelButton->SetBounds(112, 50, 75, 25);
  CancelButton->SetCaption(RptText("Cancel"));
  CancelButton->SetDefault(true);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
  CancelButton->OnClick = [this](TObject* sender) { CancelButtonClick(sender); };
}

void TRptStatusForm::CancelButtonClick(TObject*) {
  if (CancelButton->ModalResult() == mrCancel) {
    if (Canvas) Canvas->AbortReport();
  } else {
    OkClicked = true;
  }
}
