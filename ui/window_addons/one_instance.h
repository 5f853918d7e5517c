// The single-instance component of the main form: a later start of the
// same program file hands its parameters over and ends; this copy restores
// and raises its window and reports the parameters in OnInstanceStarted.
//
// The decision is taken by InstanceChannel::Decide as the first statement
// of main(), before anything is created; Loaded adopts it. Only a program
// that skipped that early check decides here, and a start that hands over
// then ends by Halt or by terminating the application.
#pragma once

#include <functional>
#include <vector>

#include "platform/rtl/classes.h"
#include "platform/rtl/stringlist.h"

using TOnInstanceStarted = std::function<void(TObject* Sender, TStringList* params)>;

class TOneInstance : public TComponent {
 public:
  // Raises Exception when one exists already in this process.
  explicit TOneInstance(TComponent* owner);
  ~TOneInstance() override;
  AnsiString ClassName() const override { return "TOneInstance"; }

  bool ShowOnNewInstance() const { return showOnNewInstance_; }
  void SetShowOnNewInstance(bool on) { showOnNewInstance_ = on; }
  bool UseHaltToExit() const { return useHaltToExit_; }
  void SetUseHaltToExit(bool on) { useHaltToExit_ = on; }
  TOnInstanceStarted OnInstanceStarted;

  // The one live component, or null.
  static TOneInstance* Instance();
  // A later start handed these over (the list lives for the call only).
  virtual void DoInstanceStarted(TStringList* params);

 protected:
  void Loaded() override;

 private:
  bool showOnNewInstance_ = true;
  bool useHaltToExit_ = false;
};
