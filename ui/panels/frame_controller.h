// Shared frame settings: one TFxFrameController holds colours and frame
// styles that every linked control takes. Controls that know the controller
// (the status panes and the framed panel) take the settings themselves;
// others may take them one by one through the optional setter interface.
#pragma once

#include <vector>

#include "platform/gui/controls.h"
#include "ui/panels/frame_drawing.h"

class TFxFrameController;

// Implemented by controls that take the controller's settings themselves.
class IFxFrameControllerClient {
 public:
  virtual ~IFxFrameControllerClient() = default;
  virtual void FrameControllerChanged(TFxFrameController* controller) = 0;
};

// Implemented by other controls that have some of the settings; name is
// one of "ParentColor", "Color", "DisabledColor", "FocusColor",
// "FlatButtonColor", "FlatButtons", "FrameColor", "FrameHotColor",
// "FrameHotTrack", "FrameHotStyle", "FrameSides", "FrameStyle",
// "FrameVisible", "FramingPreference"; a control ignores names it lacks.
class IFxFrameSettable {
 public:
  virtual ~IFxFrameSettable() = default;
  virtual void ApplyFrameSetting(const AnsiString& name, const TFxFrameController& controller) = 0;
};

enum TFramingPreference { fpCustomFraming, fpXPThemes };

class TFxFrameController : public TComponent {
 public:
  explicit TFxFrameController(TComponent* owner);
  ~TFxFrameController() override;
  AnsiString ClassName() const override { return "TFxFrameController"; }

  TColor Color() const { return color_; }
  // Also moves FocusColor along when it equalled Color, and clears ParentColor.
  void SetColor(TColor c);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool on);
  TColor FlatButtonColor() const { return flatButtonColor_; }
  void SetFlatButtonColor(TColor c);
  bool FlatButtons() const { return flatButtons_; }
  void SetFlatButtons(bool on);
  TColor DisabledColor() const { return disabledColor_; }
  void SetDisabledColor(TColor c);
  TColor FocusColor() const { return focusColor_; }
  void SetFocusColor(TColor c);
  TColor FrameColor() const { return frameColor_; }
  void SetFrameColor(TColor c);
  TColor FrameHotColor() const { return frameHotColor_; }
  void SetFrameHotColor(TColor c);
  bool FrameHotTrack() const { return frameHotTrack_; }
  // True also sets FrameVisible and, outside loading, all FrameSides.
  void SetFrameHotTrack(bool on);
  TFrameStyle FrameHotStyle() const { return frameHotStyle_; }
  void SetFrameHotStyle(TFrameStyle s);
  TSides FrameSides() const { return frameSides_; }
  void SetFrameSides(TSides s);
  TFrameStyle FrameStyle() const { return frameStyle_; }
  void SetFrameStyle(TFrameStyle s);
  bool FrameVisible() const { return frameVisible_; }
  void SetFrameVisible(bool on);
  TFramingPreference FramingPreference() const { return framingPreference_; }
  void SetFramingPreference(TFramingPreference p);

  // Nested; at 0 every linked control takes all settings.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }
  // All settings of source in one update.
  void Assign(const TPersistent* source) override;

  // Registers control (once) and lets it take every setting now.
  void Link(TControl* control);
  void Unlink(TControl* control);
  const std::vector<TControl*>& Linked() const { return linked_; }

 private:
  void Notification(TComponent* component, TOperation operation) override;
  void Changed(std::initializer_list<const char*> names);
  void UpdateControl(TControl* control, std::initializer_list<const char*> names, bool all);

  TColor color_ = clWindow;
  bool parentColor_ = false;
  TColor flatButtonColor_ = clBtnFace;
  bool flatButtons_ = true;
  TColor disabledColor_ = clBtnFace;
  TColor focusColor_ = clWindow;
  TColor frameColor_ = clBtnShadow;
  TColor frameHotColor_ = clBtnShadow;
  bool frameHotTrack_ = false;
  TFrameStyle frameHotStyle_ = fsFlatBold;
  TSides frameSides_ = AllSides();
  TFrameStyle frameStyle_ = fsFlat;
  bool frameVisible_ = false;
  TFramingPreference framingPreference_ = fpXPThemes;
  int updateCount_ = 0;
  std::vector<TControl*> linked_;
};

enum TFxPathType { ptIniFile, ptRegistry };
enum TFxRegKey { hkeyClassesRoot, hkeyCurrentUser, hkeyLocalMachine, hkeyUsers, hkeyCurrentConfig };
enum TFxRegAccess { keyAllAccess, keyRead, keyWrite };

// Where settings would be kept; it only holds the four values and whether
// one of them changed.
class TFxRegIniFile : public TComponent {
 public:
  explicit TFxRegIniFile(TComponent* owner) : TComponent(owner) {}
  AnsiString ClassName() const override { return "TFxRegIniFile"; }
  const AnsiString& Path() const { return path_; }
  void SetPath(const AnsiString& p);
  TFxPathType PathType() const { return pathType_; }
  void SetPathType(TFxPathType t);
  TFxRegKey RegKey() const { return regKey_; }
  void SetRegKey(TFxRegKey k);
  TFxRegAccess RegAccess() const { return regAccess_; }
  void SetRegAccess(TFxRegAccess a);
  bool Changed() const { return changed_; }

 private:
  AnsiString path_;
  TFxPathType pathType_ = ptIniFile;
  TFxRegKey regKey_ = hkeyCurrentUser;
  TFxRegAccess regAccess_ = keyAllAccess;
  bool changed_ = false;
};
