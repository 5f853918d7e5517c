// Message boxes as forms: an icon, the text wrapped to half the screen
// width and a centred row of buttons, laid out as the library lays out
// its message dialogs.
#include "platform/gui/dialogs.h"

#include <QImage>
#include <QPainter>
#include <QPolygon>

#include <algorithm>

#include "platform/gui/application.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/widget_bridge.h"
#include "platform/rtl/system.h"

using namespace gui_detail;

namespace {

TMessageBoxResponder& Responder() {
  static TMessageBoxResponder responder;
  return responder;
}

struct ButtonInfo {
  TMsgDlgBtn button;
  TModalResult result;
};

constexpr ButtonInfo kButtons[] = {
    {mbYes, mrYes},       {mbNo, mrNo},          {mbOK, mrOk},         {mbCancel, mrCancel},
    {mbAbort, mrAbort},   {mbRetry, mrRetry},    {mbIgnore, mrIgnore}, {mbAll, mrAll},
    {mbNoToAll, mrNo},    {mbYesToAll, mrYes},   {mbHelp, mrNone},
};

AnsiString CaptionOfResult(TModalResult r) {
  switch (r) {
    case mrOk:
      return ButtonCaption(mbOK);
    case mrCancel:
      return ButtonCaption(mbCancel);
    case mrYes:
      return ButtonCaption(mbYes);
    case mrNo:
      return ButtonCaption(mbNo);
    case mrAbort:
      return ButtonCaption(mbAbort);
    case mrRetry:
      return ButtonCaption(mbRetry);
    case mrIgnore:
      return ButtonCaption(mbIgnore);
    case mrAll:
      return ButtonCaption(mbAll);
    default:
      return "";
  }
}

// The picture of a box type, drawn once.
class MessageIcon : public TGraphicControl {
 public:
  MessageIcon(TComponent* owner, TMsgDlgType type) : TGraphicControl(owner), type_(type) {
    SetBounds(0, 0, 32, 32);
  }

 protected:
  void Paint() override {
    TBitmap bmp;
    bmp.SetSize(32, 32);
    QImage& img = bmp.MutableImage();
    img.fill(ToQColor(clBtnFace));
    {
      QPainter p(&img);
      p.setPen(Qt::black);
      QFont f = QtFontOf(TFont());
      f.setPixelSize(22);
      f.setBold(true);
      p.setFont(f);
      switch (type_) {
        case mtError:
          p.setBrush(QColor(255, 0, 0));
          p.drawEllipse(1, 1, 29, 29);
          p.setPen(QPen(Qt::white, 3));
          p.drawLine(10, 10, 21, 21);
          p.drawLine(21, 10, 10, 21);
          break;
        case mtWarning: {
          p.setBrush(QColor(255, 255, 0));
          QPolygon tri;
          tri << QPoint(15, 1) << QPoint(30, 29) << QPoint(1, 29);
          p.drawPolygon(tri);
          p.drawText(QRect(0, 6, 32, 24), Qt::AlignCenter, "!");
          break;
        }
        case mtInformation:
          p.setBrush(QColor(255, 255, 255));
          p.drawEllipse(1, 1, 29, 29);
          p.setPen(QColor(0, 0, 255));
          p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, "i");
          break;
        case mtConfirmation:
          p.setBrush(QColor(255, 255, 255));
          p.drawEllipse(1, 1, 29, 29);
          p.setPen(QColor(0, 0, 255));
          p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, "?");
          break;
        case mtCustom:
          break;
      }
    }
    Canvas()->Draw(0, 0, &bmp);
  }

 private:
  TMsgDlgType type_;
};

TModalResult RunBox(const TMessageBoxRequest& request) {
  constexpr int kMargin = 8, kSpacing = 10, kButtonWidth = 75, kButtonHeight = 25, kButtonGap = 6;
  auto* form = new TForm(Application);
  form->AfterConstruction();
  form->SetBorderStyle(bsDialog);
  form->SetBorderIcons({biSystemMenu});
  form->SetPosition(poScreenCenter);
  form->SetCaption(request.Caption);
  form->Font()->Assign(Screen->SystemFont());

  int iconSpace = 0;
  if (request.Type != mtCustom) {
    auto* icon = new MessageIcon(form, request.Type);
    icon->SetParent(form);
    icon->SetBounds(kMargin, kMargin, 32, 32);
    iconSpace = 32 + kSpacing;
  }
  auto* label = new TLabel(form);
  label->SetName("Message");
  label->SetShowAccelChar(false);
  label->SetWordWrap(true);
  label->SetAutoSize(false);
  label->SetParent(form);
  TRect text = Rect(0, 0, Screen->Width() / 2, 0);
  TCanvas* measure = label->Canvas();
  measure->Font()->Assign(label->Font());
  DrawText(measure, request.Text.empty() ? AnsiString(" ") : request.Text, text,
           DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  label->SetCaption(request.Text);
  label->SetBounds(kMargin + iconSpace, kMargin, text.Width() + 1, text.Height());

  int n = static_cast<int>(request.Buttons.size());
  int buttonsWidth = n * kButtonWidth + std::max(0, n - 1) * kButtonGap;
  int contentWidth = std::max(iconSpace + text.Width() + 1, buttonsWidth);
  int contentHeight = std::max(request.Type != mtCustom ? 32 : 0, text.Height());
  form->SetClientWidth(contentWidth + 2 * kMargin);
  form->SetClientHeight(contentHeight + kSpacing + kButtonHeight + 2 * kMargin);

  int x = (form->ClientWidth() - buttonsWidth) / 2;
  int y = kMargin + contentHeight + kSpacing;
  TButton* focus = nullptr;
  for (int i = 0; i < n; ++i) {
    auto* b = new TButton(form);
    b->SetParent(form);
    b->SetBounds(x, y, kButtonWidth, kButtonHeight);
    TModalResult r = request.Buttons[static_cast<std::size_t>(i)];
    b->SetCaption(i < static_cast<int>(request.ButtonCaptions.size()) ? request.ButtonCaptions[static_cast<std::size_t>(i)]
                                                                       : CaptionOfResult(r));
    b->SetModalResult(r);
    if (r == request.DefaultResult) {
      b->SetDefault(true);
      focus = b;
    }
    if (r == request.CancelResult) b->SetCancel(true);
    x += kButtonWidth + kButtonGap;
  }
  if (focus) form->SetActiveControl(focus);
  // Closing by the window's button answers as Esc would.
  TModalResult cancel = request.CancelResult;
  form->OnCloseQuery = [form, cancel](TObject*, bool& can) {
    if (form->ModalResult() == mrCancel && cancel != mrCancel) {
      if (cancel == mrNone) {
        can = false;
        return;
      }
      form->SetModalResult(cancel);
    }
  };
  TModalResult result = mrNone;
  try {
    result = form->ShowModal();
  } catch (...) {
    delete form;
    throw;
  }
  delete form;
  return result;
}

}  // namespace

AnsiString ButtonCaption(TMsgDlgBtn button) {
  switch (button) {
    case mbYes:
      return Cz("&Ano");
    case mbNo:
      return Cz("&Ne");
    case mbOK:
      return "OK";
    case mbCancel:
      return "Storno";
    case mbAbort:
      return Cz("&Přerušit");
    case mbRetry:
      return Cz("&Opakovat");
    case mbIgnore:
      return Cz("&Ignorovat");
    case mbAll:
      return Cz("&Vše");
    case mbNoToAll:
      return Cz("N&e všem");
    case mbYesToAll:
      return Cz("Ano &všem");
    case mbHelp:
      return Cz("&Nápověda");
  }
  return "";
}

TMessageBoxResponder SetMessageBoxResponder(TMessageBoxResponder responder) {
  TMessageBoxResponder old = std::move(Responder());
  Responder() = std::move(responder);
  return old;
}

TModalResult ShowMessageBox(const TMessageBoxRequest& request) {
  ++gModalStarts;
  if (Responder()) return Responder()(request);
  EnsureQtApplication();
  return RunBox(request);
}

int MessageDlg(const AnsiString& msg, TMsgDlgType type, TMsgDlgButtons buttons, int) {
  TMessageBoxRequest r;
  r.Caption = Application->Title();
  r.Text = msg;
  r.Type = type;
  for (const ButtonInfo& b : kButtons) {
    if (!buttons.Contains(b.button)) continue;
    r.Buttons.push_back(b.result);
    r.ButtonCaptions.push_back(ButtonCaption(b.button));
  }
  if (buttons.Contains(mbOK))
    r.DefaultResult = mrOk;
  else if (buttons.Contains(mbYes))
    r.DefaultResult = mrYes;
  else
    r.DefaultResult = mrRetry;
  if (buttons.Contains(mbCancel))
    r.CancelResult = mrCancel;
  else if (buttons.Contains(mbNo))
    r.CancelResult = mrNo;
  else
    r.CancelResult = mrOk;
  return ShowMessageBox(r);
}

void ShowMessage(const AnsiString& msg) { MessageDlg(msg, mtCustom, {mbOK}); }

int TApplication::MessageBox(const AnsiString& text, const AnsiString& caption, unsigned flags) {
  TMessageBoxRequest r;
  r.Caption = caption.empty() ? title_ : caption;
  r.Text = text;
  switch (flags & 0xF0) {
    case MB_ICONERROR:
      r.Type = mtError;
      break;
    case MB_ICONQUESTION:
      r.Type = mtConfirmation;
      break;
    case MB_ICONWARNING:
      r.Type = mtWarning;
      break;
    case MB_ICONINFORMATION:
      r.Type = mtInformation;
      break;
    default:
      r.Type = mtCustom;
  }
  switch (flags & 0x0F) {
    case MB_OKCANCEL:
      r.Buttons = {IDOK, IDCANCEL};
      r.CancelResult = IDCANCEL;
      break;
    case MB_ABORTRETRYIGNORE:
      r.Buttons = {IDABORT, IDRETRY, IDIGNORE};
      break;
    case MB_YESNOCANCEL:
      r.Buttons = {IDYES, IDNO, IDCANCEL};
      r.CancelResult = IDCANCEL;
      break;
    case MB_YESNO:
      r.Buttons = {IDYES, IDNO};
      break;
    case MB_RETRYCANCEL:
      r.Buttons = {IDRETRY, IDCANCEL};
      r.CancelResult = IDCANCEL;
      break;
    default:
      r.Buttons = {IDOK};
      r.CancelResult = IDOK;
  }
  std::size_t def = (flags & MB_DEFBUTTON2) && r.Buttons.size() > 1 ? 1 : 0;
  r.DefaultResult = r.Buttons[def];
  for (TModalResult b : r.Buttons) r.ButtonCaptions.push_back(CaptionOfResult(b));
  return ShowMessageBox(r);
}
