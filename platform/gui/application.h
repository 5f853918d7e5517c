// The application object and the screen: program start, the main form,
// the message loop (Run, ProcessMessages, modal loops), the exception
// handler every event bridge reports to, idle processing, beeps, key
// toggle states, cursors and the busy scope that long loops run under.
//
// The Qt application is created on first need (Initialize or the first
// control) and ended by Shutdown, which Run calls when it returns: forms
// and data modules owned by the application are freed there, before the
// process's static objects go.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/gui/controls.h"
#include "platform/gui/forms.h"

using TExceptionEvent = std::function<void(TObject* Sender, const std::exception& E)>;
using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;
  AnsiString ClassName() const override { return "TApplication"; }

  // Starts the window system (once) with the program's arguments.
  void Initialize(int argc = 0, char** argv = nullptr);
  const AnsiString& Title() const { return title_; }
  void SetTitle(const AnsiString& title) { title_ = title; }
  // Full name of the program file.
  AnsiString ExeName() const;

  // Creates a form or data module owned by the application and ends its
  // construction; reference is set before the constructor runs, so code
  // inside it may use it. The first form becomes the main form.
  template <class T>
  void CreateForm(T*& reference) {
    Initialize();
    void* memory = ::operator new(sizeof(T));
    reference = static_cast<T*>(memory);
    try {
      new (memory) T(this);
    } catch (...) {
      ::operator delete(memory);
      reference = nullptr;
      throw;
    }
    reference->AfterConstruction();
    if constexpr (std::is_base_of_v<TCustomForm, T>) {
      if (!mainForm_) SetMainForm(reference);
    }
  }
  TCustomForm* MainForm() const { return mainForm_; }
  bool ShowMainForm() const { return showMainForm_; }
  void SetShowMainForm(bool on) { showMainForm_ = on; }

  // Shows the main form (unless ShowMainForm is off) and runs the message
  // loop until the main form closes or Terminate; then Shutdown.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Frees the owned forms and data modules and ends the window system.
  void Shutdown();
  // Handles every pending event, input included, and returns. May be
  // called from inside event handlers and loops.
  void ProcessMessages();
  // Waits until at least one event arrives, handles what is pending and
  // returns: a waiting loop built on it sleeps instead of spinning.
  void HandleMessage();
  // Number of modal loops running now.
  int ModalLevel() const { return modalLevel_; }

  // The handler every event bridge reports to: OnException when set, else
  // ShowException.
  void HandleException(TObject* sender, const std::exception& e);
  // An error box with the exception's text, OK, the title as caption.
  void ShowException(const std::exception& e);
  TExceptionEvent OnException;
  TIdleEvent OnIdle;

  // The message box of the application (MB_ flags); returns ID_ values.
  int MessageBox(const AnsiString& text, const AnsiString& caption, unsigned flags);

  void Restore();
  void Minimize();
  void BringToFront();
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool on) { showHint_ = on; }

  // The regional settings changed: format-dependent controls rebuild when
  // UpdateFormatSettings is on.
  bool UpdateFormatSettings() const { return updateFormatSettings_; }
  void SetUpdateFormatSettings(bool on) { updateFormatSettings_ = on; }
  void AddFormatSettingsListener(const TObject* key, std::function<void()> listener);
  void RemoveFormatSettingsListener(const TObject* key);
  void FormatSettingsChanged();

  // Action updates and OnIdle, run when the event loop has nothing to do
  // (also callable by hand).
  void DoIdle();
  void AddIdleListener(const TObject* key, std::function<void()> listener);
  void RemoveIdleListener(const TObject* key);

 private:
  friend class TCustomForm;
  friend struct gui_detail::EventBridge;
  void SetMainForm(TCustomForm* form);
  void Notification(TComponent* component, TOperation operation) override;

  AnsiString title_;
  TCustomForm* mainForm_ = nullptr;
  bool showMainForm_ = true;
  bool terminated_ = false;
  bool showHint_ = true;
  bool updateFormatSettings_ = true;
  bool inIdle_ = false;
  int modalLevel_ = 0;
  std::vector<std::pair<const TObject*, std::function<void()>>> settingsListeners_;
  std::vector<std::pair<const TObject*, std::function<void()>>> idleListeners_;
};

extern TApplication* Application;

class TScreen : public TComponent {
 public:
  TScreen();
  AnsiString ClassName() const override { return "TScreen"; }

  // The pointer shown over every window while not crDefault.
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  // Custom cursors by number (Cursors[n]); the picture's transparent colour
  // is see-through.
  void SetCursors(int index, const TBitmap& picture, TPoint hotSpot);
  bool HasCursor(int index) const;

  int Width() const;
  int Height() const;
  TRect WorkAreaRect() const;
  int PixelsPerInch() const { return 96; }
  // The form that has the activation, and its focused control.
  TCustomForm* ActiveForm() const;
  TWinControl* ActiveControl() const;
  int FormCount() const;
  TCustomForm* Forms(int index) const;
  // The system font (the forms' default).
  const TFont* SystemFont() const { return &systemFont_; }

 private:
  TCursor cursor_ = crDefault;
  TFont systemFont_;
};

extern TScreen* Screen;

// A short beep; counted so tests can see it.
void MessageBeep(unsigned type);
int MessageBeepCount();
// System metrics that components lay themselves out by: the width of a
// vertical scroll bar (the style's extent, as grids use it) and the height
// of a thin border.
int VerticalScrollBarWidth();
int BorderHeight();

// Toggle state of Caps Lock, Num Lock, Scroll Lock and Insert: from the
// keyboard where the window system tells it, otherwise from the toggle
// presses this program has seen. Tests may force a state (-1 lifts it).
bool GetKeyToggled(Word vk);
void SetKeyToggledOverride(Word vk, int state);
// Whether a mouse button is held now: from the X server's pointer state
// when the program runs there (moves the window manager drives never reach
// Qt), else Qt's own button state. Tests may force it (-1 lifts it).
bool PointerButtonsHeld();
void SetPointerButtonsHeldOverride(int state);

// While a busy scope lives, ProcessMessages still paints and runs timers,
// but the guarded forms take no keyboard, mouse or menu input and refuse
// to close. Long loops that let the message loop run guard their windows
// with it.
class TBusyScope {
 public:
  explicit TBusyScope(std::vector<TCustomForm*> forms);
  // Guards every form that exists now except these; forms opened later are
  // not guarded.
  struct AllExcept {
    std::vector<TCustomForm*> forms;
  };
  explicit TBusyScope(AllExcept except);
  ~TBusyScope();
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

 private:
  std::vector<TCustomForm*> forms_;
};

// Message box flags and results of Application->MessageBox.
constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_OKCANCEL = 0x01;
constexpr unsigned MB_ABORTRETRYIGNORE = 0x02;
constexpr unsigned MB_YESNOCANCEL = 0x03;
constexpr unsigned MB_YESNO = 0x04;
constexpr unsigned MB_RETRYCANCEL = 0x05;
constexpr unsigned MB_ICONHAND = 0x10;
constexpr unsigned MB_ICONERROR = MB_ICONHAND;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr unsigned MB_ICONASTERISK = 0x40;
constexpr unsigned MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr unsigned MB_DEFBUTTON2 = 0x100;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
