// Small builders shared by the maintenance dialogs' layouts.
#pragma once

#include "platform/gui/db_controls.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "platform/rtl/system.h"
#include "ui/edits/db_edit_kuvet.h"

namespace maintenance {

inline void DialogFrame(TForm* form, const char* name, const char* caption, int width, int height) {
  form->SetName(name);
  form->SetCaption(Cz(caption));
  form->Font()->SetName("MS Sans Serif");
  form->Font()->SetHeight(-11);
  form->Font()->SetCharset(EASTEUROPE_CHARSET);
  form->SetBorderStyle(bsSingle);
  form->SetBorderIcons({biSystemMenu});
  form->SetKeyPreview(true);
  form->SetClientWidth(width);
  form->SetClientHeight(height);
}

inline TLabel* Label(TForm* form, TWinControl* parent, const char* caption, int left, int top) {
  auto* label = new TLabel(form);
  label->SetParent(parent);
  label->SetLeft(left);
  label->SetTop(top);
  label->SetCaption(Cz(caption));
  return label;
}

inline TDBEditKuvet* Edit(TForm* form, TWinControl* parent, const char* name, TDataSource* source, const char* field,
                          int left, int top, int width) {
  auto* edit = new TDBEditKuvet(form);
  edit->SetName(name);
  edit->SetParent(parent);
  edit->SetBounds(left, top, width, 21);
  edit->SetDataSource(source);
  edit->SetDataField(field);
  edit->SetEnterIsTab(true);
  return edit;
}

inline TButton* Button(TForm* form, TWinControl* parent, const char* name, const char* caption, int left, int top,
                       TModalResult result) {
  auto* button = new TButton(form);
  button->SetName(name);
  button->SetParent(parent);
  button->SetBounds(left, top, 75, 25);
  button->SetCaption(Cz(caption));
  button->SetModalResult(result);
  return button;
}

inline TPanel* BottomPanel(TForm* form, int height = 41) {
  auto* panel = new TPanel(form);
  panel->SetName("Panel1");
  panel->SetParent(form);
  panel->SetAlign(alBottom);
  panel->SetHeight(height);
  panel->SetCaption("");
  return panel;
}

inline bool IsPending(const TDataSet* d) { return d->Active() && (d->State() == dsEdit || d->State() == dsInsert); }

}  // namespace maintenance
