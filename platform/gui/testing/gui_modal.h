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
