// Modal drivers: scripts run from a timer inside the modal loop.
#include "platform/gui/testing/gui_modal.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QApplication>
#include <QTimer>

#include "platform/gui/application.h"

namespace {

// Waits (inside the running loops) for a modal form, runs the script on
// it, then watches that it closes in time.
void Arm(TCustomForm* wanted, std::function<void(TCustomForm*)> script, int timeoutMs, int modalLevelBefore) {
  auto* timer = new QTimer(qApp);
  auto started = std::make_shared<QElapsedTimer>();
  started->start();
  auto ran = std::make_shared<bool>(false);
  auto target = std::make_shared<TCustomForm*>(nullptr);
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, timer, [=] {
    if (!*ran) {
      TCustomForm* modal = CurrentModalForm();
      bool ready = Application->ModalLevel() > modalLevelBefore && modal && (!wanted || modal == wanted);
      if (ready) {
        *ran = true;
        *target = modal;
        started->restart();
        script(modal);
      } else if (started->elapsed() > timeoutMs) {
        ADD_FAILURE() << "no modal form appeared within " << timeoutMs << " ms";
        timer->stop();
        timer->deleteLater();
      }
      return;
    }
    TCustomForm* t = *target;
    bool stillModal = false;
    for (TCustomForm* f : TCustomForm::AllForms())
      if (f == t && f->Modal()) stillModal = true;
    if (!stillModal) {
      timer->stop();
      timer->deleteLater();
      return;
    }
    if (started->elapsed() > timeoutMs) {
      ADD_FAILURE() << "the modal form is still open " << timeoutMs << " ms after the script";
      t->SetModalResult(mrCancel);
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start();
}

}  // namespace

TCustomForm* CurrentModalForm() {
  TCustomForm* found = nullptr;
  for (TCustomForm* f : TCustomForm::AllForms())
    if (f->Modal() && f->Visible()) found = f;
  return found;
}

TModalResult RunModal(TCustomForm* form, const std::function<void(TCustomForm*)>& script, int timeoutMs) {
  Arm(form, script, timeoutMs, Application->ModalLevel());
  return form->ShowModal();
}

void OnNextModal(const std::function<void(TCustomForm*)>& script, int timeoutMs) {
  Arm(nullptr, script, timeoutMs, Application->ModalLevel());
}

MessageBoxRecorder::MessageBoxRecorder(TModalResult answer) : answer_(answer) {
  previous_ = SetMessageBoxResponder([this](const TMessageBoxRequest& r) {
    boxes_.push_back(r);
    return answer_;
  });
}

MessageBoxRecorder::~MessageBoxRecorder() { SetMessageBoxResponder(previous_); }

FileDialogRecorder::FileDialogRecorder(std::vector<Answer> answers) : answers_(std::move(answers)) {
  previous_ = SetFileDialogResponder([this](TFileDialogRequest& r) {
    dialogs_.push_back(r);
    if (answers_.empty()) return false;
    std::size_t i = std::min(dialogs_.size(), answers_.size()) - 1;
    const Answer& a = answers_[i];
    if (a.FileName.empty()) return false;
    r.FileName = a.FileName;
    if (a.FilterIndex > 0) r.FilterIndex = a.FilterIndex;
    return true;
  });
}

FileDialogRecorder::~FileDialogRecorder() { SetFileDialogResponder(previous_); }

InputQueryRecorder::InputQueryRecorder() { Install(); }

InputQueryRecorder::InputQueryRecorder(const AnsiString& answer) : answer_(answer), answered_(true) { Install(); }

void InputQueryRecorder::Install() {
  previous_ = SetInputQueryResponder([this](const AnsiString& caption, const AnsiString& prompt, AnsiString& value) {
    queries_.push_back({caption, prompt, value});
    if (!answered_) return false;
    value = answer_;
    return true;
  });
}

InputQueryRecorder::~InputQueryRecorder() { SetInputQueryResponder(previous_); }
