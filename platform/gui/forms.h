// Forms and data modules: top-level windows built in code, their focus and
// key handling, modal runs, and the non-visual containers of datasets.
//
// Life of a form: the constructor runs with the loading flag on and sets
// every property; AfterConstruction (called by Application->CreateForm,
// NewForm, or at the latest by the first Show) runs Loaded on the owned
// components in creation order and then OnCreate. Left/Top/Width/Height
// of a form are its frame rectangle; the client area lies inside a fixed
// nominal frame (border and caption sizes defined once per border style),
// so the four numbers read back are the ones written, shown or not, and a
// minimised form reports its restored geometry.
//
// Focus: every focus move goes through SetFocusedControl. The target is
// recorded as focused first, then the exit handlers of the old chain run;
// an exit handler that moves the focus elsewhere (or raises) vetoes the
// move and the old control keeps the focus; then the enter handlers of the
// new chain run.
#pragma once

#include <functional>
#include <vector>

#include "platform/gui/controls.h"

class QEventLoop;
class TMainMenu;
class TButton;

enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter, poMainFormCenter, poOwnerFormCenter };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// The nominal frame: sizes of the border and the caption per border style
// (and the menu bar), the same before and after the window system shows
// the window.
struct TFrameMetrics {
  int border = 0;
  int caption = 0;
};
TFrameMetrics FrameMetricsOf(TFormBorderStyle style);
constexpr int kMenuBarHeight = 19;
// The nominal size of one caption button (normal caption, or the small
// caption of tool windows).
TSize CaptionButtonSizeOf(bool smallCaption);

class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  AnsiString ClassName() const override { return "TCustomForm"; }

  // Ends construction: Loaded on the owned components, then OnCreate.
  // Runs once; later calls do nothing.
  virtual void AfterConstruction();
  // Fires OnDestroy once (also from the destructor when not yet fired).
  virtual void BeforeDestruction();

  // ---- window
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition position) { position_ = position; }
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle style);
  TWindowState WindowState() const;
  void SetWindowState(TWindowState state);
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool on) { keyPreview_ = on; }
  TMainMenu* Menu() const { return menu_; }
  void SetMenu(TMainMenu* menu);
  int ClientWidth() const override;
  int ClientHeight() const override;
  void SetClientWidth(int w) override;
  void SetClientHeight(int h) override;
  bool Showing() const override;
  void SetVisible(bool visible) override;
  // The form has the activation (its window is the active one).
  bool Active() const { return active_; }
  // Destroys the native window and creates a new one (shown again when it
  // was shown); the form, its controls and its hooks stay.
  void RecreateWnd();

  // ---- showing and closing
  void Show();
  void Hide();
  // Asks OnCloseQuery, then OnClose decides: hide (default), free,
  // minimise or nothing. Closing the main form ends the application; a
  // modal form gets mrCancel.
  void Close();
  // Runs the form modally until ModalResult becomes non-zero or the form
  // closes; the other windows take no input meanwhile. Returns the result.
  TModalResult ShowModal();
  bool Modal() const { return modalLevel_ > 0; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult result);
  // Frees the form once the events being handled are done.
  void Release();
  bool CloseQuery();
  void SetFocus() override;

  // ---- focus and keys
  // The focused control (the one keys go to), or null.
  TWinControl* ActiveControl() const { return activeControl_; }
  // Records the control to focus; focuses it at once when the form is
  // active. Raises EInvalidOperation when it cannot take the focus.
  void SetActiveControl(TWinControl* control);
  // Focuses control (a control of this form) as SetFocus does.
  void FocusControl(TWinControl* control);
  // The one path of every focus move; false when an exit handler vetoed it.
  bool SetFocusedControl(TWinControl* control);
  // The next (or previous) focusable control after current, in tab order
  // within current's parent scope for arrows, or the whole form for Tab.
  void SelectNext(TWinControl* current, bool forward, bool checkTabStop);
  // The form's own keys: Tab/Shift+Tab move the focus, arrows move among
  // siblings, Enter clicks the focused button or the Default one, Esc the
  // Cancel one. True when the key was used.
  bool DialogKey(Word key, TShiftState shift);
  // Runs the focused control's ExitCheck before a key makes a button act;
  // false (the key is consumed, the focus stays) when it fails or raises
  // (reported once to the application's handler). Buttons that cancel
  // (Cancel, or a ModalResult of mrCancel or mrAbort) are never checked.
  bool CheckExitBeforeAction(const TControl* actor);
  // Main-menu and action shortcuts; true when one ran.
  bool IsShortCut(Word key, TShiftState shift);

  // The form that has the activation, and every form alive (the screen).
  static TCustomForm* ActiveFormInstance();
  static const std::vector<TCustomForm*>& AllForms();

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TCloseQueryEvent OnCloseQuery;
  TCloseEvent OnClose;
  TNotifyEvent OnDestroy;

 protected:
  bool PaintsItself() const override { return true; }
  void Paint() override;
  TRect NonClientInsets() const override;
  void ApplyGeometry() override;
  void TextChanged() override;
  virtual void DoShow();
  virtual void DoHide();
  virtual void Activate();
  virtual void Deactivate();
  // Called before the window is first shown (placement by Position).
  virtual void PlaceOnShow();

 private:
  friend class TControl;
  friend class TWinControl;
  friend class TMainMenu;
  friend class gui_detail::ControlBinding;
  friend struct gui_detail::EventBridge;
  class Window;

  void Notification(TComponent* component, TOperation operation) override;
  // A control is being hidden, disabled, removed or freed.
  void ControlGoing(TControl* control);
  void ApplyWindowFlags();
  void StayAboveOwner();
  void FrameFromWindow();
  void WindowActivated(bool active);
  bool WindowCloseRequested();
  void DoClose(TCloseAction& action);
  void CloseModal();
  void FocusFirst();
  void SyncQtFocus();
  TButton* FindButton(bool wantDefault) const;
  void NotifyFocusChanged(TWinControl* focused);
  void MenuChanged();

  Window* window_;
  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_ = {biSystemMenu, biMinimize, biMaximize};
  TPosition position_ = poDesigned;
  TFormStyle formStyle_ = fsNormal;
  bool keyPreview_ = false;
  TMainMenu* menu_ = nullptr;
  TWinControl* activeControl_ = nullptr;
  TWinControl* enteredControl_ = nullptr;
  int focusSerial_ = 0;
  bool inExit_ = false;
  bool active_ = false;
  bool created_ = false;
  bool destroyFired_ = false;
  bool placed_ = false;
  bool syncingFrame_ = false;
  int modalLevel_ = 0;
  TModalResult modalResult_ = mrNone;
  QEventLoop* modalLoop_ = nullptr;
  TWindowState pendingState_ = wsNormal;
};

class TForm : public TCustomForm {
 public:
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
  AnsiString ClassName() const override { return "TForm"; }
};

// A non-visual container of components (datasets, report engines),
// created like a form.
class TDataModule : public TComponent {
 public:
  explicit TDataModule(TComponent* owner);
  ~TDataModule() override;
  AnsiString ClassName() const override { return "TDataModule"; }
  // Loaded on the owned components, then OnCreate; runs once.
  virtual void AfterConstruction();
  virtual void BeforeDestruction();

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;

 private:
  bool created_ = false;
  bool destroyFired_ = false;
};

// Creates a form or data module and ends its construction.
template <class T, class... Args>
T* NewForm(Args&&... args) {
  T* form = new T(std::forward<Args>(args)...);
  try {
    form->AfterConstruction();
  } catch (...) {
    delete form;
    throw;
  }
  return form;
}
