// TPlatebna: the main window. It shows the cash journal in a read-only grid
// and turns its function keys, buttons and menu items into the program's
// commands; each command runs synchronously on the GUI thread.
//
// Invariants:
// - The form sees every key first (key preview) and never consumes one:
//   F5, F2, F4 (not Alt+F4, which stays the platform's close) and F8 run
//   the command of their button, then the key goes on as usual.
// - A button's OnClick is the one entry point of its command; the keys and
//   the menu items that stand for the same command go through it.
// - While a long loop (re-indexing, balance recalculation) runs, the window
//   takes no input and refuses to close, but keeps repainting.
// - Closing the window writes its geometry to the settings file (when
//   there is one); opening restores it, unless it would leave the window's
//   title bar out of reach on every screen.
#pragma once

#include "platform/gui/db_controls.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_controls.h"
#include "ui/dbgrid/db_grid.h"
#include "ui/panels/status_bar.h"
#include "ui/panels/status_panes.h"
#include "ui/window_addons/form_magnet.h"
#include "ui/window_addons/form_topmost.h"
#include "ui/window_addons/one_instance.h"

class TPlatebna : public TForm {
 public:
  explicit TPlatebna(TComponent* owner);
  ~TPlatebna() override;
  AnsiString ClassName() const override { return "TPlatebna"; }

  // ------------------------------------------------------------ controls
  TPanel* Panel1;
  TDBNavigator* DBNavigator1;
  TButton* Button1;  // F5 Hledej
  TButton* Button4;  // F8 Tisk
  TButton* Button3;  // F4 Oprava
  TButton* Button2;  // F2 Nový
  TDBGrid* DBGrid1;

  // ------------------------------------------------------------ add-ons
  // They work through their settings alone; no event of theirs is bound,
  // and the topmost state is never saved.
  TFxStatusBar* FxStatusBar1;
  TFxStatusPane* FxStatusPane1;
  TFxKeyStatus* FxKeyStatus1;    // Caps Lock, disabled (embossed)
  TFxKeyStatus* FxKeyStatus2;    // Num Lock
  TFxClockStatus* FxClockStatus1;
  TwaFormMagnet* waFormMagnet1;
  TwaFormTopmost* waFormTopmost1;
  TOneInstance* OneInstance1;

  TMainMenu* MainMenu1;
  TMenuItem* Doklad1;
  TMenuItem* Novdoklad1;
  TMenuItem* Opravadokladu1;
  TMenuItem* Hledej1;
  TMenuItem* Sestavy1;
  TMenuItem* Platebnakniha1;
  TMenuItem* Sestavarozloen1;
  TMenuItem* Konfigurace1;
  TMenuItem* Udajeofirm1;
  TMenuItem* Typypjmavdej1;
  TMenuItem* Indexacesoubor1;
  TMenuItem* Nastaventiskrny1;
  TMenuItem* Pepoetzstatk1;
  TMenuItem* Konec2;

  // ------------------------------------------------------------ handlers
  // Restores the geometry, opens the journal on its date order at the
  // last document (re-indexing once when that fails).
  void FormCreate(TObject* Sender);
  // The grid takes the focus.
  void FormActivate(TObject* Sender);
  // Saves the geometry to the settings file.
  void FormClose(TObject* Sender, TCloseAction& Action);
  // F5, F2, F4 (without exactly Alt) and F8; the key is not consumed.
  void FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift);

  // Search, new document, correction, cash voucher.
  void Button1Click(TObject* Sender);
  void Button2Click(TObject* Sender);
  void Button3Click(TObject* Sender);
  void Button4Click(TObject* Sender);
  // The menu: the document items and "Hledej" run the commands of their
  // buttons.
  void Novdoklad1Click(TObject* Sender);
  void Opravadokladu1Click(TObject* Sender);
  void Hledej1Click(TObject* Sender);
  void Platebnakniha1Click(TObject* Sender);
  void Sestavarozloen1Click(TObject* Sender);
  void Udajeofirm1Click(TObject* Sender);
  void Typypjmavdej1Click(TObject* Sender);
  // Rebuilds the index files; the window is busy meanwhile.
  void Indexacesoubor1Click(TObject* Sender);
  void Nastaventiskrny1Click(TObject* Sender);
  // Recalculates the running balance; the window is busy meanwhile.
  void Pepoetzstatk1Click(TObject* Sender);
  // Closes the window, which ends the program.
  void Konec2Click(TObject* Sender);

 private:
  // Runs the command behind a button (its OnClick).
  void RunCommand(TButton* button);
};

// The main window of the program (set while it is constructed).
extern TPlatebna* Platebna;

// The dialogs the commands show, placed relative to the main window.
enum class TDialogPlacement { EntryForm, TypePicker, DateRange, SystemSettings };

// Top-left of a dialog for a main window at (mainTop, mainLeft).
TPoint DialogPosition(TDialogPlacement kind, int mainTop, int mainLeft);
// Moves dialog to its place beside main.
void PlaceDialog(TCustomForm* dialog, const TCustomForm* main, TDialogPlacement kind);

// Whether a window with these bounds shows at least 100 x 20 pixels of its
// top edge on one of the available screens.
bool WindowReachable(const TRect& bounds);
