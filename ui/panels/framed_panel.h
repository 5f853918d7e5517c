// The framed panel: an outer frame, border rings and an inner frame in any
// TFrameStyleEx on chosen sides, flat colours adjusted in HSL space, an
// optional dot or line grid, a caption, see-through painting, shared frame
// settings through a TFxFrameController, and a dock manager that paints a
// grabber before each docked control. It is the base of the status bar.
//
// Invariants: children align inside the frames (each frame's width counted
// only on its chosen sides, plus BorderWidth); a disabled panel disables its
// children and gives back, on enabling, exactly the states they had.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "platform/gui/ext_controls.h"
#include "ui/panels/frame_controller.h"
#include "ui/panels/frame_drawing.h"

class TFxCustomPanel;

// Paints the grabbers of a dock site: 14 pixels before each docked control,
// a strip at the left of it (sites aligned top or bottom) or above it.
class TFxPanelDockManager {
 public:
  explicit TFxPanelDockManager(TFxCustomPanel* site) : site_(site) {}
  static constexpr int kGrabberSize = 14;
  // The grabber strip, the close glyph's box and the caption's anchor of a
  // docked control.
  TRect GrabberRect(const TControl* control) const;
  TRect CloseRect(const TControl* control) const;
  bool VerticalGrabbers() const;
  // Places the docked controls, each after its grabber, inside rect.
  void Layout(const TRect& rect);
  void PaintGrabbers(TCanvas* canvas);
  // Caption and caption-text colours of the grabber of control.
  std::pair<TColor, TColor> GrabberColors(const TControl* control) const;

 private:
  TFxCustomPanel* site_;
};

class TFxCustomPanel : public TCustomPanel, public IFxFrameControllerClient {
 public:
  explicit TFxCustomPanel(TComponent* owner);
  ~TFxCustomPanel() override;
  AnsiString ClassName() const override { return "TFxCustomPanel"; }

  TFrameStyleEx BorderInner() const { return borderInner_; }
  virtual void SetBorderInner(TFrameStyleEx s);
  TFrameStyleEx BorderOuter() const { return borderOuter_; }
  virtual void SetBorderOuter(TFrameStyleEx s);
  TSides BorderSides() const { return borderSides_; }
  virtual void SetBorderSides(TSides s);
  TColor BorderColor() const { return borderColor_; }
  void SetBorderColor(TColor c);
  TColor FlatColor() const { return flatColor_; }
  void SetFlatColor(TColor c);
  int FlatColorAdjustment() const { return flatColorAdjustment_; }
  void SetFlatColorAdjustment(int n);
  bool FullRepaint() const { return fullRepaint_; }
  void SetFullRepaint(bool on) { fullRepaint_ = on; }
  bool Locked() const { return locked_; }
  void SetLocked(bool on) { locked_ = on; }
  bool ThemeAware() const { return themeAware_; }
  void SetThemeAware(bool on);
  TColor FrameHighlight() const { return frameHighlight_; }
  void SetFrameHighlight(TColor c);
  TColor FrameShadow() const { return frameShadow_; }
  void SetFrameShadow(TColor c);
  TTextLayout VerticalAlignment() const { return verticalAlignment_; }
  void SetVerticalAlignment(TTextLayout v);
  bool GridVisible() const { return gridVisible_; }
  void SetGridVisible(bool on);
  TColor GridColor() const { return gridColor_; }
  void SetGridColor(TColor c);
  // 0 dots, 1 dotted lines, 2 solid lines.
  int GridStyle() const { return gridStyle_; }
  void SetGridStyle(int style);
  TSize GridSpacing() const { return gridSpacing_; }
  void SetGridSpacing(TSize spacing);
  bool PanelTransparent() const { return panelTransparent_; }
  void SetPanelTransparent(bool on);
  TFxFrameController* FrameController() const { return frameController_; }
  void SetFrameController(TFxFrameController* controller);
  void FrameControllerChanged(TFxFrameController* controller) override;

  // Docking: a dock site that uses the dock manager lays its docked
  // controls out after their grabbers and paints the grabbers.
  bool DockSite() const { return dockSite_; }
  void SetDockSite(bool on);
  bool UseDockManager() const { return useDockManager_; }
  void SetUseDockManager(bool on);
  TFxPanelDockManager* DockManager() const { return dockManager_.get(); }
  void DockControl(TControl* control);
  void UndockControl(TControl* control);
  const std::vector<TControl*>& DockedControls() const { return docked_; }

  // The frame widths on each side (outer + border + inner, chosen sides).
  TRect FrameInsets() const;
  void SetBounds(int left, int top, int width, int height) override;

  TNotifyEvent OnPaint;

 protected:
  void Paint() override;
  TRect AlignRect() const override;
  void AlignControls() override;
  void EnabledChanged() override;
  void ControlsChanged() override;
  void Notification(TComponent* component, TOperation operation) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  // The panel's frames, fill, grid and caption (the paint event follows).
  void PaintPanel(TCanvas* canvas);
  TBorderPaintSettings BorderSettings() const;
  void Changed();

 private:
  void UpdateDockManager();

  TFrameStyleEx borderInner_ = fsNone;
  TFrameStyleEx borderOuter_ = fsRaised;
  TSides borderSides_ = AllSides();
  TColor borderColor_ = clBtnFace;
  TColor flatColor_ = clBtnShadow;
  int flatColorAdjustment_ = 30;
  bool fullRepaint_ = true;
  bool locked_ = false;
  bool themeAware_ = true;
  TColor frameHighlight_ = clBtnHighlight;
  TColor frameShadow_ = clBtnShadow;
  TTextLayout verticalAlignment_ = tlCenter;
  bool gridVisible_ = false;
  TColor gridColor_ = clBtnShadow;
  int gridStyle_ = 0;
  TSize gridSpacing_{8, 8};
  bool panelTransparent_ = false;
  TFxFrameController* frameController_ = nullptr;
  std::vector<std::pair<TControl*, bool>> childStates_;
  bool dockSite_ = false;
  bool useDockManager_ = true;
  std::unique_ptr<TFxPanelDockManager> dockManager_;
  std::vector<TControl*> docked_;
};
