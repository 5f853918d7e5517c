// Actions: named commands with caption, hint, shortcut and enabled/checked
// state, kept up to date by OnUpdate when the application is idle, and run
// by OnExecute (also through their shortcut in the form's key pipeline).
#pragma once

#include <functional>
#include <vector>

#include "platform/gui/keys.h"
#include "platform/rtl/classes.h"

class TActionList;
class TImageList;

class TAction : public TComponent {
 public:
  explicit TAction(TComponent* owner);
  ~TAction() override;
  AnsiString ClassName() const override { return "TAction"; }

  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& s);
  const AnsiString& Hint() const { return hint_; }
  void SetHint(const AnsiString& s);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut sc);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool Checked() const { return checked_; }
  void SetChecked(bool on);
  bool Visible() const { return visible_; }
  void SetVisible(bool on);
  // Picture of the action in its list's Images (-1: none).
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  TActionList* ActionList() const { return list_; }
  void SetActionList(TActionList* list);

  // OnUpdate, then OnExecute when enabled; true when OnExecute ran.
  virtual bool Execute();
  // Fires OnUpdate; true when it is assigned.
  virtual bool Update();

  TNotifyEvent OnExecute;
  TNotifyEvent OnUpdate;
  // Clients (buttons, menu items) follow the action's state through this.
  void AddChangeListener(const TObject* key, std::function<void()> fn);
  void RemoveChangeListener(const TObject* key);

 private:
  friend class TActionList;
  void Changed();
  AnsiString caption_;
  AnsiString hint_;
  TShortCut shortCut_ = scNone;
  bool enabled_ = true;
  bool checked_ = false;
  bool visible_ = true;
  int imageIndex_ = -1;
  TActionList* list_ = nullptr;
  std::vector<std::pair<const TObject*, std::function<void()>>> listeners_;
};

class TActionList : public TComponent {
 public:
  explicit TActionList(TComponent* owner);
  AnsiString ClassName() const override { return "TActionList"; }

  int ActionCount() const { return static_cast<int>(actions_.size()); }
  TAction* Actions(int index) const { return actions_.at(static_cast<std::size_t>(index)); }
  // Runs the enabled, visible action with the shortcut; true when one ran.
  bool IsShortCut(TShortCut sc);
  // OnUpdate of every action (the application calls it when idle).
  void UpdateActions();
  // The pictures the actions' ImageIndex points into (not owned).
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* images);

 private:
  friend class TAction;
  void Notification(TComponent* component, TOperation operation) override;
  std::vector<TAction*> actions_;
  TImageList* images_ = nullptr;

 public:
  ~TActionList() override;
};
