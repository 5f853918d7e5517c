// Non-visual components that sit in their form's hook chain: several on one
// form each see the form's events and notices before and after the form,
// the one created last first, and they stay in the chain when the form gets
// a new native window (AfterRehook runs for each, first to last).
//
// The form's keep-above state is shared: writing FormTopmost on one of them
// changes the window and sends TopmostChanged, on which every hook of that
// form writes its own FormTopmost, so they all agree.
#pragma once

#include <memory>
#include <vector>

#include "platform/gui/forms.h"
#include "platform/gui/window_hooks.h"

class QObject;
class TWindowMenu;

class TwaComponent : public TComponent {
 public:
  explicit TwaComponent(TComponent* owner);
  AnsiString ClassName() const override { return "TwaComponent"; }
  // Published, never stored, always empty.
  AnsiString About() const { return AnsiString(); }
  void SetAbout(const AnsiString&) {}
  TComponent* OwnerForm() const { return ownerForm_; }
  virtual void SetOwnerForm(TComponent* owner) { ownerForm_ = owner; }
  // The owner as a form (null when it is none).
  virtual TCustomForm* OwnerAsForm() const;
  virtual void ChangeOwner(TComponent* owner) { SetOwnerForm(owner); }

 private:
  TComponent* ownerForm_;
};

class TwaFormHookComponent : public TwaComponent, public TWindowHook {
 public:
  // Raises EInvalidOperation unless owner is a windowed control.
  explicit TwaFormHookComponent(TComponent* owner);
  ~TwaFormHookComponent() override;
  AnsiString ClassName() const override { return "TwaFormHookComponent"; }

  bool Hooked() const { return hooked_; }
  bool StoredTopmost() const { return storedTopmost_; }
  // The native id of the hooked window.
  unsigned long long HookedHandle() const;
  // The window whose events the component sees: its form.
  virtual TCustomForm* HookedWindow() const;
  // The form's window menu (null without one).
  virtual TWindowMenu* SystemMenuHandle() const;
  // Re-lays and repaints the menu-bar corner (the frame add-ons live in).
  void RefreshFrame();
  bool FormTopmost() const;
  void SetFormTopmost(bool on);
  void ChangeOwner(TComponent* owner) override;

  void BeforeMessage(TWindowMessage& message, bool& handled) override;
  void AfterMessage(TWindowMessage& message) override;
  // After the form got a new native window: the topmost state again.
  virtual void AfterRehook();

 protected:
  void AddHook();
  void RemoveHook();

 private:
  bool hooked_ = false;
  bool storedTopmost_ = false;
  TCustomForm* hookedForm_ = nullptr;
};

// A hook component with a receiver of its own for posted work.
class TwaHFormHookComponent : public TwaFormHookComponent {
 public:
  explicit TwaHFormHookComponent(TComponent* owner);
  ~TwaHFormHookComponent() override;
  AnsiString ClassName() const override { return "TwaHFormHookComponent"; }
  // Runs HiddenWindowProc(message) from the event loop (dropped when the
  // component is gone by then).
  void PostToHidden(int message);

 protected:
  virtual void HiddenWindowProc(int message) { (void)message; }

 private:
  std::unique_ptr<QObject> hidden_;
};

// Every hook component of the process; lives from the first to the last.
class TwaHookList {
 public:
  static TwaHookList* Instance();
  const std::vector<TwaFormHookComponent*>& Items() const { return items_; }

 private:
  friend class TwaFormHookComponent;
  std::vector<TwaFormHookComponent*> items_;
};
