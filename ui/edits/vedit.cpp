#include "ui/edits/vedit.h"

#include <algorithm>

#include "platform/gui/application.h"

TVEdit::TVEdit(TComponent* owner) : TTypedEdit(owner, TTypedEditSwitches{false, false}) { UpdateMargin(); }

void TVEdit::UpdateMargin() {
  int system = Screen ? Screen->SystemFont()->Metrics().tmHeight : Font()->Metrics().tmHeight;
  margin_ = std::min(system, Font()->Metrics().tmHeight) / 4;
}

void TVEdit::FontChanged() {
  TTypedEdit::FontChanged();
  UpdateMargin();
}

void TVEdit::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  int m = 0;
  if (BorderStyle() == bsSingle) {
    c->Brush()->SetColor(clWindowFrame);
    c->FrameRect(r);
    r = Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
    m = margin_;
  }
  AnsiString text = Text();
  if (PasswordChar()) text.assign(text.size(), PasswordChar());
  c->Font()->Assign(Font());
  c->Brush()->SetStyle(bsClear);
  int width = c->TextWidth(text);
  int x = Alignment() == taRightJustify ? r.Right - width - m : (r.Left + r.Right - width) / 2;
  c->TextRect(r, x, m, text);
}
