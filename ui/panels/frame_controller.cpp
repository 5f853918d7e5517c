// The frame controller: settings stored, then pushed to the linked controls
// (all of them at the end of an update, one setting otherwise).
#include "ui/panels/frame_controller.h"

#include <algorithm>

namespace {

const char* const kAllNames[] = {"ParentColor",   "Color",     "DisabledColor", "FocusColor",  "FlatButtonColor",
                                 "FlatButtons",   "FrameColor", "FrameHotColor", "FrameHotTrack", "FrameHotStyle",
                                 "FrameSides",    "FrameStyle", "FrameVisible",  "FramingPreference"};

}  // namespace

TFxFrameController::TFxFrameController(TComponent* owner) : TComponent(owner) {}

TFxFrameController::~TFxFrameController() {
  Destroying();
  for (TControl* c : std::vector<TControl*>(linked_)) Unlink(c);
}

void TFxFrameController::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove)
    linked_.erase(std::remove(linked_.begin(), linked_.end(), component), linked_.end());
}

void TFxFrameController::Link(TControl* control) {
  if (!control || std::find(linked_.begin(), linked_.end(), control) != linked_.end()) return;
  linked_.push_back(control);
  control->FreeNotification(this);
  UpdateControl(control, {}, true);
}

void TFxFrameController::Unlink(TControl* control) {
  auto it = std::find(linked_.begin(), linked_.end(), control);
  if (it == linked_.end()) return;
  linked_.erase(it);
  control->RemoveFreeNotification(this);
}

void TFxFrameController::UpdateControl(TControl* control, std::initializer_list<const char*> names, bool all) {
  if (auto* client = dynamic_cast<IFxFrameControllerClient*>(control)) {
    client->FrameControllerChanged(this);
    return;
  }
  auto* settable = dynamic_cast<IFxFrameSettable*>(control);
  if (!settable) return;
  auto apply = [&](const char* name) {
    // Color goes over only while the control does not follow its parent.
    if (std::string_view(name) == "Color" && parentColor_) return;
    settable->ApplyFrameSetting(name, *this);
  };
  if (all)
    for (const char* name : kAllNames) apply(name);
  else
    for (const char* name : names) apply(name);
}

void TFxFrameController::Changed(std::initializer_list<const char*> names) {
  if (updateCount_ > 0) return;
  for (TControl* c : std::vector<TControl*>(linked_)) UpdateControl(c, names, false);
}

void TFxFrameController::BeginUpdate() { ++updateCount_; }

void TFxFrameController::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0)
    for (TControl* c : std::vector<TControl*>(linked_)) UpdateControl(c, {}, true);
}

void TFxFrameController::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TFxFrameController*>(source);
  if (!other) {
    TComponent::Assign(source);
    return;
  }
  BeginUpdate();
  color_ = other->color_;
  parentColor_ = other->parentColor_;
  flatButtonColor_ = other->flatButtonColor_;
  flatButtons_ = other->flatButtons_;
  disabledColor_ = other->disabledColor_;
  focusColor_ = other->focusColor_;
  frameColor_ = other->frameColor_;
  frameHotColor_ = other->frameHotColor_;
  frameHotTrack_ = other->frameHotTrack_;
  frameHotStyle_ = other->frameHotStyle_;
  frameSides_ = other->frameSides_;
  frameStyle_ = other->frameStyle_;
  frameVisible_ = other->frameVisible_;
  framingPreference_ = other->framingPreference_;
  EndUpdate();
}

void TFxFrameController::SetColor(TColor c) {
  if (focusColor_ == color_) focusColor_ = c;
  color_ = c;
  parentColor_ = false;
  Changed({"ParentColor", "Color", "FocusColor"});
}

void TFxFrameController::SetParentColor(bool on) {
  parentColor_ = on;
  Changed({"ParentColor"});
}

void TFxFrameController::SetFlatButtonColor(TColor c) {
  flatButtonColor_ = c;
  Changed({"FlatButtonColor"});
}

void TFxFrameController::SetFlatButtons(bool on) {
  flatButtons_ = on;
  Changed({"FlatButtons"});
}

void TFxFrameController::SetDisabledColor(TColor c) {
  disabledColor_ = c;
  Changed({"DisabledColor"});
}

void TFxFrameController::SetFocusColor(TColor c) {
  focusColor_ = c;
  Changed({"FocusColor"});
}

void TFxFrameController::SetFrameColor(TColor c) {
  frameColor_ = c;
  Changed({"FrameColor"});
}

void TFxFrameController::SetFrameHotColor(TColor c) {
  frameHotColor_ = c;
  Changed({"FrameHotColor"});
}

void TFxFrameController::SetFrameHotTrack(bool on) {
  frameHotTrack_ = on;
  if (on) {
    frameVisible_ = true;
    if (!IsLoading()) frameSides_ = AllSides();
    Changed({"FrameHotTrack", "FrameVisible", "FrameSides"});
    return;
  }
  Changed({"FrameHotTrack"});
}

void TFxFrameController::SetFrameHotStyle(TFrameStyle s) {
  frameHotStyle_ = s;
  Changed({"FrameHotStyle"});
}

void TFxFrameController::SetFrameSides(TSides s) {
  frameSides_ = s;
  Changed({"FrameSides"});
}

void TFxFrameController::SetFrameStyle(TFrameStyle s) {
  frameStyle_ = s;
  Changed({"FrameStyle"});
}

void TFxFrameController::SetFrameVisible(bool on) {
  frameVisible_ = on;
  Changed({"FrameVisible"});
}

void TFxFrameController::SetFramingPreference(TFramingPreference p) {
  framingPreference_ = p;
  Changed({"FramingPreference"});
}

void TFxRegIniFile::SetPath(const AnsiString& p) {
  if (p != path_) changed_ = true;
  path_ = p;
}

void TFxRegIniFile::SetPathType(TFxPathType t) {
  if (t != pathType_) changed_ = true;
  pathType_ = t;
}

void TFxRegIniFile::SetRegKey(TFxRegKey k) {
  if (k != regKey_) changed_ = true;
  regKey_ = k;
}

void TFxRegIniFile::SetRegAccess(TFxRegAccess a) {
  if (a != regAccess_) changed_ = true;
  regAccess_ = a;
}
