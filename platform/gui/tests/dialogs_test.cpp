// Message boxes: Czech buttons, default and cancel buttons, results, the
// application title and the exception box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/system.h"

namespace {

struct TitleScope {
  AnsiString saved = Application->Title();
  TitleScope() { Application->SetTitle("Morvake CRM Platebna"); }
  ~TitleScope() { Application->SetTitle(saved); }
};

std::vector<AnsiString> Captions(const TMessageBoxRequest& r) { return r.ButtonCaptions; }

TEST(DialogsGui, ButtonSetsGetCzechCaptionsDefaultAndCancel) {
  TitleScope title;
  MessageBoxRecorder rec(mrNo);
  struct Case {
    TMsgDlgButtons buttons;
    std::vector<const char*> captions;
    TModalResult def, cancel;
  };
  const Case cases[] = {
      {{mbOK}, {"OK"}, mrOk, mrOk},
      {{mbOK, mbCancel}, {"OK", "Storno"}, mrOk, mrCancel},
      {{mbYes, mbNo}, {"&Ano", "&Ne"}, mrYes, mrNo},
      {{mbYes, mbNo, mbCancel}, {"&Ano", "&Ne", "Storno"}, mrYes, mrCancel},
      {{mbAbort, mbRetry, mbIgnore}, {"&Přerušit", "&Opakovat", "&Ignorovat"}, mrRetry, mrOk},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MessageDlg(Cz("Smazat záznam?"), mtConfirmation, c.buttons), mrNo);
    const TMessageBoxRequest& r = rec.Boxes().back();
    std::vector<AnsiString> want;
    for (const char* s : c.captions) want.push_back(Cz(s));
    EXPECT_EQ(Captions(r), want);
    EXPECT_EQ(r.DefaultResult, c.def);
    EXPECT_EQ(r.CancelResult, c.cancel);
    EXPECT_EQ(r.Caption, "Morvake CRM Platebna");
    EXPECT_EQ(r.Text, Cz("Smazat záznam?"));
    EXPECT_EQ(r.Type, mtConfirmation);
  }
}

TEST(DialogsGui, ApplicationMessageBoxMapsFlagsToButtonsAndIcons) {
  TitleScope title;
  MessageBoxRecorder rec(IDCANCEL);
  struct Case {
    unsigned flags;
    std::vector<int> buttons;
    TMsgDlgType type;
    int def;
  };
  const Case cases[] = {
      {MB_OK | MB_ICONERROR, {IDOK}, mtError, IDOK},
      {MB_OKCANCEL | MB_ICONQUESTION, {IDOK, IDCANCEL}, mtConfirmation, IDOK},
      {MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, {IDYES, IDNO}, mtWarning, IDNO},
      {MB_YESNOCANCEL | MB_ICONINFORMATION, {IDYES, IDNO, IDCANCEL}, mtInformation, IDYES},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Application->MessageBox("text", "", c.flags), IDCANCEL);
    const TMessageBoxRequest& r = rec.Boxes().back();
    EXPECT_EQ(r.Buttons, c.buttons);
    EXPECT_EQ(r.Type, c.type);
    EXPECT_EQ(r.DefaultResult, c.def);
    EXPECT_EQ(r.Caption, "Morvake CRM Platebna");
  }
  Application->MessageBox("text", Cz("Vlastní"), MB_OK);
  EXPECT_EQ(rec.Boxes().back().Caption, Cz("Vlastní"));
}

TEST(DialogsGui, RealBoxAnswersEnterEscAndClicksThroughThePipeline) {
  TitleScope title;
  struct Case {
    TMsgDlgButtons buttons;
    Word key;
    TModalResult want;
  };
  const Case cases[] = {
      {{mbOK, mbCancel}, VK_RETURN, mrOk},
      {{mbOK, mbCancel}, VK_ESCAPE, mrCancel},
      {{mbYes, mbNo}, VK_ESCAPE, mrNo},
      {{mbYes, mbNo}, VK_RETURN, mrYes},
  };
  for (const Case& c : cases) {
    AnsiString caption;
    OnNextModal([&](TCustomForm* box) {
      caption = box->Caption();
      SaveArtifact(Grab(box), "message_box.png");
      KeyClick(box, c.key);
    });
    EXPECT_EQ(MessageDlg(Cz("Uložit změny?"), mtConfirmation, c.buttons), c.want);
    EXPECT_EQ(caption, "Morvake CRM Platebna");
  }
  // A click on the second button answers with its result.
  OnNextModal([](TCustomForm* box) {
    std::vector<TButton*> buttons;
    for (int i = 0; i < box->ControlCount(); ++i)
      if (auto* b = dynamic_cast<TButton*>(box->Controls(i))) buttons.push_back(b);
    ASSERT_EQ(buttons.size(), 2u);
    MouseClick(buttons[1], 5, 5);
  });
  EXPECT_EQ(MessageDlg(Cz("Smazat doklad?"), mtWarning, {mbYes, mbNo}), mrNo);
}

TEST(DialogsGui, HandleExceptionShowsAnErrorBoxWithTheText) {
  TitleScope title;
  MessageBoxRecorder rec;
  Application->HandleException(nullptr, EConvertError(Cz("'abc' není číslo")));
  ASSERT_EQ(rec.Boxes().size(), 1u);
  const TMessageBoxRequest& r = rec.Boxes()[0];
  EXPECT_EQ(r.Text, Cz("'abc' není číslo."));
  EXPECT_EQ(r.Type, mtError);
  EXPECT_EQ(r.Buttons, std::vector<TModalResult>{mrOk});
  EXPECT_EQ(r.Caption, "Morvake CRM Platebna");
  // OnException takes over when set.
  std::string seen;
  Application->OnException = [&](TObject*, const std::exception& e) { seen = e.what(); };
  Application->HandleException(nullptr, Exception("jinak"));
  Application->OnException = nullptr;
  EXPECT_EQ(seen, "jinak");
  EXPECT_EQ(rec.Boxes().size(), 1u);
  // An exception escaping an event handler reaches the same box.
  auto* f = NewForm<TForm>(Application);
  auto* b = new TButton(f);
  b->SetParent(f);
  b->OnClick = [](TObject*) { throw Exception("Chyba v obsluze"); };
  f->Show();
  Application->ProcessMessages();
  MouseClick(b, 5, 5);
  ASSERT_EQ(rec.Boxes().size(), 2u);
  EXPECT_EQ(rec.Boxes()[1].Text, "Chyba v obsluze.");
  delete f;
}

}  // namespace
