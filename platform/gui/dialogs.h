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

// ------------------------------------------------------------ file dialogs

enum TOpenOption { ofOverwritePrompt, ofPathMustExist, ofFileMustExist, ofNoReadOnlyReturn };
using TOpenOptions = TSet<TOpenOption>;

// One file dialog: what it offers and, after it, what the user chose.
struct TFileDialogRequest {
  bool Save = false;
  AnsiString Title;
  AnsiString FileName;    // program form (CP1250)
  AnsiString DefaultExt;  // with or without its dot
  AnsiString Filter;      // "Name|pattern;pattern|Name|pattern"
  int FilterIndex = 1;    // 1-based
  TOpenOptions Options;
};

// Answers file dialogs instead of showing them while installed (tests):
// the responder sets FileName (and FilterIndex) and returns true for OK.
// Returns the previous responder; an empty function restores showing.
using TFileDialogResponder = std::function<bool(TFileDialogRequest&)>;
TFileDialogResponder SetFileDialogResponder(TFileDialogResponder responder);

// The open dialog: Execute shows it (Qt's own, non-native dialog) and
// answers true when the user chose a file; FileName and FilterIndex then
// hold the choice. A chosen name without an extension gets DefaultExt.
class TOpenDialog : public TComponent {
 public:
  explicit TOpenDialog(TComponent* owner);
  AnsiString ClassName() const override { return "TOpenDialog"; }

  const AnsiString& Title() const { return request_.Title; }
  void SetTitle(const AnsiString& s) { request_.Title = s; }
  const AnsiString& FileName() const { return request_.FileName; }
  void SetFileName(const AnsiString& s) { request_.FileName = s; }
  const AnsiString& DefaultExt() const { return request_.DefaultExt; }
  void SetDefaultExt(const AnsiString& s) { request_.DefaultExt = s; }
  const AnsiString& Filter() const { return request_.Filter; }
  void SetFilter(const AnsiString& s) { request_.Filter = s; }
  int FilterIndex() const { return request_.FilterIndex; }
  void SetFilterIndex(int i) { request_.FilterIndex = i; }
  TOpenOptions Options() const { return request_.Options; }
  void SetOptions(TOpenOptions o) { request_.Options = o; }

  virtual bool Execute();

 protected:
  TFileDialogRequest request_;
};

// The save dialog: the same with a save button; ofOverwritePrompt asks
// before an existing file is chosen.
class TSaveDialog : public TOpenDialog {
 public:
  explicit TSaveDialog(TComponent* owner);
  AnsiString ClassName() const override { return "TSaveDialog"; }
};

// The name with the default extension appended when its last component
// has none (ext with or without its dot; empty ext leaves it).
AnsiString WithDefaultExt(const AnsiString& name, const AnsiString& ext);

// ------------------------------------------------------------ input box

// A small dialog with the prompt, an edit holding value, OK and "Storno";
// true (and value changed) on OK.
bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value);

// Answers input boxes while installed (tests), as SetFileDialogResponder.
using TInputQueryResponder = std::function<bool(const AnsiString& caption, const AnsiString& prompt, AnsiString& value)>;
TInputQueryResponder SetInputQueryResponder(TInputQueryResponder responder);
