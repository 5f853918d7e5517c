// Driving modal loops and message boxes from a test.
#pragma once

#include <functional>
#include <vector>

#include "platform/gui/dialogs.h"
#include "platform/gui/forms.h"

// Shows form modally and runs script once its modal loop runs. When the
// form is still modal timeoutMs after the script, the test fails and the
// form is closed with mrCancel. Returns ShowModal's result.
TModalResult RunModal(TCustomForm* form, const std::function<void(TCustomForm*)>& script, int timeoutMs = 5000);

// Runs script on the next form that becomes modal (opened by the code
// under test); same timeout rule. Call before the code that opens it.
void OnNextModal(const std::function<void(TCustomForm*)>& script, int timeoutMs = 5000);

// The form of the innermost running modal loop, or null.
TCustomForm* CurrentModalForm();

// Answers every message box while it lives and records what was asked.
class MessageBoxRecorder {
 public:
  explicit MessageBoxRecorder(TModalResult answer = mrOk);
  ~MessageBoxRecorder();
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  void SetAnswer(TModalResult answer) { answer_ = answer; }
  const std::vector<TMessageBoxRequest>& Boxes() const { return boxes_; }

 private:
  TModalResult answer_;
  std::vector<TMessageBoxRequest> boxes_;
  TMessageBoxResponder previous_;
};

// Answers every file dialog while it lives and records what was asked:
// each answer in turn (the last one repeats) gives the chosen file name and
// filter index, or cancels when the name is empty.
class FileDialogRecorder {
 public:
  struct Answer {
    AnsiString FileName;  // empty: Cancel
    int FilterIndex = 0;  // 0: keep the dialog's
  };
  explicit FileDialogRecorder(std::vector<Answer> answers = {});
  ~FileDialogRecorder();
  FileDialogRecorder(const FileDialogRecorder&) = delete;
  FileDialogRecorder& operator=(const FileDialogRecorder&) = delete;

  void SetAnswers(std::vector<Answer> answers) { answers_ = std::move(answers); }
  const std::vector<TFileDialogRequest>& Dialogs() const { return dialogs_; }

 private:
  std::vector<Answer> answers_;
  std::vector<TFileDialogRequest> dialogs_;
  TFileDialogResponder previous_;
};

// Answers every input box with a text (or cancels while the answer is
// unset) and records caption, prompt and the value offered.
class InputQueryRecorder {
 public:
  struct Query {
    AnsiString Caption, Prompt, Value;
  };
  InputQueryRecorder();
  explicit InputQueryRecorder(const AnsiString& answer);
  ~InputQueryRecorder();
  InputQueryRecorder(const InputQueryRecorder&) = delete;
  InputQueryRecorder& operator=(const InputQueryRecorder&) = delete;

  void SetAnswer(const AnsiString& answer) { answer_ = answer; answered_ = true; }
  void SetCancel() { answered_ = false; }
  const std::vector<Query>& Queries() const { return queries_; }

 private:
  void Install();
  AnsiString answer_;
  bool answered_ = false;
  std::vector<Query> queries_;
  TInputQueryResponder previous_;
};
