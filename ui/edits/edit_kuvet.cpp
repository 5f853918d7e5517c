#include "ui/edits/edit_kuvet.h"

TEditKuvet::TEditKuvet(TComponent* owner)
    : TTypedEdit(owner, TTypedEditSwitches{true, true}), button_(std::make_unique<TEditGlyphButton>(this, true)) {
  button_->OnClick = [this](TObject*) {
    if (OnClickButton) OnClickButton(this);
  };
  button_->Layout();
}

TEditKuvet::~TEditKuvet() = default;

void TEditKuvet::Resize() {
  TTypedEdit::Resize();
  if (button_) button_->Layout();
}

// Unfocused and not left-aligned: the text drawn by the edit itself.
void TEditKuvet::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  if (BorderStyle() == bsSingle) r = Rect(r.Left - 1, r.Top - 1, r.Right + 1, r.Bottom + 1);
  AnsiString text = Text();
  if (PasswordChar()) text.assign(text.size(), PasswordChar());
  c->Font()->Assign(Font());
  c->Brush()->SetStyle(bsClear);
  int width = c->TextWidth(text);
  int x = Alignment() == taRightJustify ? r.Right - width - 1 : (r.Left + r.Right - width) / 2;
  c->TextRect(ClientRect(), x, 1, text);
}
