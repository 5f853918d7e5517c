// Message boxes, built as the program's own forms so that they follow the
// same key pipeline (Enter = default button, Esc = cancel button) and show
// in screenshots. Button captions are Czech; the caption is the
// application title unless one is given. A responder lets tests answer a
// box without a modal loop and see what it asked.
#pragma once

#include <functional>
#include <vector>

#include "platform/gui/forms.h"

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = TSet<TMsgDlgBtn>;

// One box: what it shows and how it answers.
struct TMessageBoxRequest {
  AnsiString Caption;
  AnsiString Text;
  TMsgDlgType Type = mtCustom;
  std::vector<TModalResult> Buttons;        // in the order shown
  std::vector<AnsiString> ButtonCaptions;   // Czech, with accelerators
  TModalResult DefaultResult = mrNone;      // Enter
  TModalResult CancelResult = mrNone;       // Esc and the close button
};

// Shows the box modally (or asks the responder) and returns the result of
// the pressed button.
TModalResult ShowMessageBox(const TMessageBoxRequest& request);

// The box of the given type with the given buttons; returns the modal
// result of the pressed one.
int MessageDlg(const AnsiString& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext = 0);
// The text with an OK button.
void ShowMessage(const AnsiString& msg);
// Czech caption of a dialog button ("OK", "Storno", "Ano", ...).
AnsiString ButtonCaption(TMsgDlgBtn button);

// Answers boxes instead of showing them while installed (tests); returns
// the previous responder. An empty function restores showing.
using TMessageBoxResponder = std::function<TModalResult(const TMessageBoxRequest&)>;
TMessageBoxResponder SetMessageBoxResponder(TMessageBoxResponder responder);
