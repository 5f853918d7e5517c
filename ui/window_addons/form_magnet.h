// The screen-edge magnet: its form snaps to the edges of the work area (or
// the whole screen) and to other forms with an active magnet, drags glued
// neighbours along, can be dragged by its client area and exposes the
// form's topmost state.
//
// The window manager moves the window, so the magnet snaps once when a user
// move settles (no move for 120 ms and no button held), not during the
// drag; glued partners follow every user move event.
#pragma once

#include <functional>
#include <vector>

#include "ui/window_addons/form_hook.h"
#include "ui/window_addons/magnet_geometry.h"

enum TwaScreenArea { saWorkArea, saFullScreen };
enum TwaMagnetOption { moDockOnMoving, moDockToInnerBorders, moDockChains, moGlueChains };
using TwaMagnetOptions = TSet<TwaMagnetOption>;

class TwaFormMagnet;

class TwaScreenMagnet : public TPersistent {
 public:
  AnsiString ClassName() const override { return "TwaScreenMagnet"; }
  TwaScreenArea Area() const { return area_; }
  void SetArea(TwaScreenArea a) { area_ = a; }
  TwaScreenEdges Edges() const { return edges_; }
  void SetEdges(TwaScreenEdges e) { edges_ = e; }
  int ScreenPower() const { return power_; }
  void SetScreenPower(int p) { power_ = p & 0xFF; }

 private:
  TwaScreenArea area_ = saWorkArea;
  TwaScreenEdges edges_{seLeft, seTop, seRight, seBottom};
  int power_ = 16;
};

struct TwaGluedObject {
  TwaFormMagnet* Magnet;
  int DX;  // partner Left - own Left
  int DY;  // partner Top - own Top
};
using TwaGlueList = std::vector<TwaGluedObject>;

using TOnGlue = std::function<void(TObject* Sender, TCustomForm* AnotherForm, bool& AllowGlue)>;
using TOnMagnet = std::function<void(TObject* Sender, TCustomForm* AnotherForm, bool& AllowMagnet)>;

class TwaFormMagnet : public TwaFormHookComponent {
 public:
  explicit TwaFormMagnet(TComponent* owner);
  ~TwaFormMagnet() override;
  AnsiString ClassName() const override { return "TwaFormMagnet"; }

  bool Active() const { return active_; }
  // True at run time docks at once.
  void SetActive(bool on);
  bool Glue() const { return glue_; }
  void SetGlue(bool on) { glue_ = on; }
  bool FormDragable() const { return dragable_; }
  void SetFormDragable(bool on) { dragable_ = on; }
  TwaMagnetOptions Options() const { return options_; }
  void SetOptions(TwaMagnetOptions o) { options_ = o; }
  int Power() const { return power_; }
  void SetPower(int p) { power_ = p & 0xFF; }
  TwaScreenMagnet* ScreenMagnet() { return &screenMagnet_; }
  bool MovedByPartner() const { return movedByPartner_; }
  bool DragStarted() const { return dragStarted_; }
  const TwaGlueList& GlueList() const { return glued_; }

  TOnGlue OnGlue;
  TOnMagnet OnMagnet;
  TNotifyEvent OnDragMove;

  // The snapped rectangle for r (and the glued partners moved along).
  TRect ComputeSnap(TRect r, bool fromCursor, bool snap);
  void SnapToForms(TRect& r, bool& snapped);
  void SnapToArea(TRect& r);
  void CollectGlued();
  void MoveGlued(const TRect& r);
  void DockNow();
  // The reference area in screen coordinates.
  TRect ReferenceArea() const;

  void BeforeMessage(TWindowMessage& message, bool& handled) override;
  void AfterMessage(TWindowMessage& message) override;

 private:
  // Active magnets of other visible forms with the same parent.
  std::vector<TwaFormMagnet*> Partners(bool skipGlued) const;
  void CollectAgainst(const TRect& own);

  bool active_ = true;
  bool glue_ = false;
  bool dragable_ = false;
  TwaMagnetOptions options_{moDockOnMoving, moDockToInnerBorders, moDockChains, moGlueChains};
  int power_ = 20;
  TwaScreenMagnet screenMagnet_;
  bool movedByPartner_ = false;
  bool dragStarted_ = false;
  TPoint cursorOffset_{};
  TwaGlueList glued_;
  TRect settled_{};
  bool following_ = false;
  TPoint followOffset_{};
};
