// Message boxes as forms: an icon, the text wrapped to half the screen
// width and a centred row of buttons, laid out as the library lays out
// its message dialogs.
#include "platform/gui/dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPolygon>

#include <algorithm>

#include "platform/gui/application.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/widget_bridge.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/paths.h"
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

// ------------------------------------------------------------ file dialogs

namespace {

TFileDialogResponder& FileResponder() {
  static TFileDialogResponder responder;
  return responder;
}

TInputQueryResponder& QueryResponder() {
  static TInputQueryResponder responder;
  return responder;
}

// "Name|a;b|Name|c" as Qt's name filters "Name (a b)"; a name that shows
// its patterns already keeps them once, and "*.*" means every file.
QStringList QtNameFilters(const AnsiString& filter) {
  QStringList out;
  std::vector<AnsiString> parts;
  std::size_t start = 0;
  while (start <= filter.size()) {
    std::size_t bar = filter.find('|', start);
    if (bar == std::string::npos) bar = filter.size();
    parts.push_back(filter.substr(start, bar - start));
    start = bar + 1;
  }
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    AnsiString name = Trim(parts[i]);
    if (!name.empty() && name.back() == ')') {
      std::size_t open = name.rfind('(');
      if (open != std::string::npos) name = Trim(name.substr(0, open));
    }
    QStringList patterns;
    for (const QString& p : ToQt(parts[i + 1]).split(';', Qt::SkipEmptyParts)) {
      QString t = p.trimmed();
      patterns << (t == "*.*" ? QString("*") : t);
    }
    out << ToQt(name) + " (" + patterns.join(' ') + ")";
  }
  return out;
}

// The real dialog; the checks of the options that Qt's dialog does not make
// itself send the user back to it.
bool RunFileDialog(TFileDialogRequest& r) {
  QWidget* parent = nullptr;
  if (TCustomForm* active = Screen->ActiveForm()) parent = active->Widget();
  QFileDialog dlg(parent, ToQt(r.Title));
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  dlg.setAcceptMode(r.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg.setFileMode(!r.Save && r.Options.Contains(ofFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dlg.setOption(QFileDialog::DontConfirmOverwrite, !r.Options.Contains(ofOverwritePrompt));
  AnsiString ext = r.DefaultExt;
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  if (!ext.empty()) dlg.setDefaultSuffix(ToQt(ext));
  QStringList filters = QtNameFilters(r.Filter);
  if (!filters.isEmpty()) {
    dlg.setNameFilters(filters);
    int index = std::clamp(r.FilterIndex, 1, static_cast<int>(filters.size()));
    dlg.selectNameFilter(filters[index - 1]);
  }
  if (!r.FileName.empty()) {
    std::optional<std::string> disk = DiskPathForCreate(r.FileName);
    QFileInfo info(QString::fromStdString(disk ? *disk : AnsiToUtf8(r.FileName)));
    if (info.dir().exists()) dlg.setDirectory(info.dir());
    dlg.selectFile(info.fileName());
  }
  for (;;) {
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    QString chosen = dlg.selectedFiles().first();
    QFileInfo info(chosen);
    AnsiString name = DiskPathToProgramName(chosen.toStdString());
    if (r.Options.Contains(ofPathMustExist) && !info.dir().exists()) {
      ShowMessage(Format(Cz("Složka souboru %s neexistuje."), name));
      continue;
    }
    if (r.Options.Contains(ofNoReadOnlyReturn) && info.exists() && !info.isWritable()) {
      ShowMessage(Format(Cz("Soubor %s je určen jen pro čtení.\nZvolte jiný název."), name));
      continue;
    }
    r.FileName = name;
    int index = static_cast<int>(filters.indexOf(dlg.selectedNameFilter()));
    if (index >= 0) r.FilterIndex = index + 1;
    return true;
  }
}

}  // namespace

AnsiString WithDefaultExt(const AnsiString& name, const AnsiString& ext) {
  if (ext.empty() || name.empty() || !ExtractFileExt(name).empty()) return name;
  char last = name.back();
  if (last == '/' || last == '\\') return name;
  return ext[0] == '.' ? name + ext : name + "." + ext;
}

TFileDialogResponder SetFileDialogResponder(TFileDialogResponder responder) {
  TFileDialogResponder old = std::move(FileResponder());
  FileResponder() = std::move(responder);
  return old;
}

TOpenDialog::TOpenDialog(TComponent* owner) : TComponent(owner) {}

TSaveDialog::TSaveDialog(TComponent* owner) : TOpenDialog(owner) { request_.Save = true; }

bool TOpenDialog::Execute() {
  ++gModalStarts;
  TFileDialogRequest r = request_;
  bool ok;
  if (FileResponder()) {
    ok = FileResponder()(r);
  } else {
    EnsureQtApplication();
    ok = RunFileDialog(r);
  }
  if (!ok) return false;
  request_.FileName = WithDefaultExt(r.FileName, r.DefaultExt);
  request_.FilterIndex = r.FilterIndex;
  return true;
}

// ------------------------------------------------------------ input box

TInputQueryResponder SetInputQueryResponder(TInputQueryResponder responder) {
  TInputQueryResponder old = std::move(QueryResponder());
  QueryResponder() = std::move(responder);
  return old;
}

bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) {
  ++gModalStarts;
  if (QueryResponder()) return QueryResponder()(caption, prompt, value);
  EnsureQtApplication();
  constexpr int kMargin = 8, kButtonWidth = 75, kButtonHeight = 25;
  std::unique_ptr<TForm> form(new TForm(Application));
  form->AfterConstruction();
  form->SetBorderStyle(bsDialog);
  form->SetBorderIcons({biSystemMenu});
  form->SetPosition(poScreenCenter);
  form->SetCaption(caption);
  form->Font()->Assign(Screen->SystemFont());
  int width = std::max(260, form->Canvas()->TextWidth(prompt) + 2 * kMargin);
  auto* label = new TLabel(form.get());
  label->SetName("Prompt");
  label->SetParent(form.get());
  label->SetCaption(prompt);
  label->SetLeft(kMargin);
  label->SetTop(kMargin);
  auto* edit = new TEdit(form.get());
  edit->SetName("Value");
  edit->SetParent(form.get());
  edit->SetBounds(kMargin, kMargin + 20, width - 2 * kMargin, 21);
  edit->SetText(value);
  label->SetFocusControl(edit);
  int y = kMargin + 20 + 21 + 12;
  auto* ok = new TButton(form.get());
  ok->SetParent(form.get());
  ok->SetCaption(ButtonCaption(mbOK));
  ok->SetModalResult(mrOk);
  ok->SetDefault(true);
  ok->SetBounds(width / 2 - kButtonWidth - 3, y, kButtonWidth, kButtonHeight);
  auto* cancel = new TButton(form.get());
  cancel->SetParent(form.get());
  cancel->SetCaption(ButtonCaption(mbCancel));
  cancel->SetModalResult(mrCancel);
  cancel->SetCancel(true);
  cancel->SetBounds(width / 2 + 3, y, kButtonWidth, kButtonHeight);
  form->SetClientWidth(width);
  form->SetClientHeight(y + kButtonHeight + kMargin);
  form->SetActiveControl(edit);
  edit->SelectAll();
  if (form->ShowModal() != mrOk) return false;
  value = edit->Text();
  return true;
}
