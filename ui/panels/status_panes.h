// Status panes: graphic controls inside a status bar showing a framed
// caption. The clock and key-state panes are refreshed by one shared
// polling timer; every pane belongs to one shared blink timer.
//
// Invariants: both shared lists exist while they have members and are
// freed with the last one (with their timers, after a tick in progress has
// finished); a tick walks a snapshot and skips panes freed meanwhile.
#pragma once

#include <functional>
#include <vector>

#include "platform/gui/controls.h"
#include "platform/rtl/datetime.h"
#include "ui/panels/frame_controller.h"
#include "ui/panels/frame_drawing.h"

class TFxCustomStatusPane;
class TFxPollingStatus;
class TTimer;

// All panes; its timer alternates the blink state.
class TFxBlinkingControlsList {
 public:
  static TFxBlinkingControlsList* Instance();  // null while no pane exists
  static TFxBlinkingControlsList* Join(TFxCustomStatusPane* pane);
  static void Leave(TFxCustomStatusPane* pane);

  int BlinkState() const { return state_; }
  Word BlinkIntervalOn() const { return on_; }
  void SetBlinkIntervalOn(Word ms) { on_ = ms; }
  Word BlinkIntervalOff() const { return off_; }
  void SetBlinkIntervalOff(Word ms) { off_ = ms; }
  TTimer* Timer() const { return timer_; }
  // One tick (the timer's; tests may call it).
  void Tick();

 private:
  TFxBlinkingControlsList();
  ~TFxBlinkingControlsList();
  TTimer* timer_;
  int state_ = 1;
  Word on_ = 500;
  Word off_ = 500;
  bool ticking_ = false;
  bool orphaned_ = false;
  std::vector<TFxCustomStatusPane*> panes_;
};

// The polling panes; its timer calls TimerExpired on each visible one.
class TFxPollingList {
 public:
  static TFxPollingList* Instance();
  static TFxPollingList* Join(TFxPollingStatus* pane);
  static void Leave(TFxPollingStatus* pane);
  TTimer* Timer() const { return timer_; }
  void Tick();

 private:
  TFxPollingList();
  ~TFxPollingList();
  TTimer* timer_;
  bool ticking_ = false;
  bool orphaned_ = false;
  std::vector<TFxPollingStatus*> panes_;
};

class TFxCustomStatusPane : public TGraphicControl, public IFxFrameControllerClient {
 public:
  explicit TFxCustomStatusPane(TComponent* owner);
  ~TFxCustomStatusPane() override;
  AnsiString ClassName() const override { return "TFxCustomStatusPane"; }

  TAlignment Alignment() const { return alignment_; }
  virtual void SetAlignment(TAlignment a);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool on);
  bool Blinking() const { return blinking_; }
  virtual void SetBlinking(bool on);
  TColor BlinkColor() const { return blinkColor_; }
  virtual void SetBlinkColor(TColor c);
  // Kept in the shared blink list: one value for all panes.
  virtual Word BlinkIntervalOn() const;
  virtual void SetBlinkIntervalOn(Word ms);
  virtual Word BlinkIntervalOff() const;
  virtual void SetBlinkIntervalOff(Word ms);
  int BorderWidth() const { return borderWidth_; }
  virtual void SetBorderWidth(int w);
  int CaptionOffset() const { return captionOffset_; }
  virtual void SetCaptionOffset(int n);
  int DefaultWidth() const { return defaultWidth_; }
  virtual void SetDefaultWidth(int w);
  TColor FillColor() const { return fillColor_; }
  // Also clears ParentFillColor.
  virtual void SetFillColor(TColor c);
  bool ParentFillColor() const { return parentFillColor_; }
  virtual void SetParentFillColor(bool on);
  TColor FlatColor() const { return flatColor_; }
  virtual void SetFlatColor(TColor c);
  int FlatColorAdjustment() const { return flatColorAdjustment_; }
  virtual void SetFlatColorAdjustment(int n);
  TFrameStyle FrameStyle() const { return frameStyle_; }
  virtual void SetFrameStyle(TFrameStyle s);
  TFxFrameController* FrameController() const { return frameController_; }
  virtual void SetFrameController(TFxFrameController* c);
  void FrameControllerChanged(TFxFrameController* c) override;

  // The pane's right edge is at or past the bar's client right edge.
  virtual bool ReachesBarEdge() const;
  virtual int RequiredWidth();
  virtual void CaptionRect(TRect& rect);
  virtual void DrawCaption(const AnsiString& text);
  virtual void DrawFrame();
  virtual void ApplyFrameController();
  // 1 (blink colour) or 0 (normal colour); repaints at once.
  virtual void Blink(int state);
  // The blink list's questions: 1 while blinking; a new state.
  virtual int BlinkQuery() { return blinking_ ? 1 : 0; }
  virtual void BlinkState(int state) {
    if (blinking_) Blink(state);
  }
  TColor TextColor() const { return textColor_; }

 protected:
  virtual void AdjustWidth();
  void Paint() override;
  void Loaded() override;
  void FontChanged() override;
  void TextChanged() override;
  void ColorChanged() override;
  void ParentColorChanged() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TAlignment alignment_ = taLeftJustify;
  bool autoSize_ = false;
  bool blinking_ = false;
  TColor blinkColor_ = clHighlight;
  int borderWidth_ = 1;
  int captionOffset_ = 2;
  int defaultWidth_ = 40;
  TColor fillColor_;
  bool parentFillColor_ = true;
  TColor flatColor_ = clBtnShadow;
  int flatColorAdjustment_ = 30;
  TFrameStyle frameStyle_ = fsFlat;
  TFxFrameController* frameController_ = nullptr;
  TColor normalColor_;
  TColor textColor_;
};

class TFxStatusPane : public TFxCustomStatusPane {
 public:
  explicit TFxStatusPane(TComponent* owner) : TFxCustomStatusPane(owner) {}
  AnsiString ClassName() const override { return "TFxStatusPane"; }
};

class TFxPollingStatus : public TFxCustomStatusPane {
 public:
  explicit TFxPollingStatus(TComponent* owner);
  ~TFxPollingStatus() override;
  AnsiString ClassName() const override { return "TFxPollingStatus"; }

  // One value for all polling panes: the shared timer's.
  virtual bool Active() const;
  virtual void SetActive(bool on);
  virtual Word Interval() const;
  virtual void SetInterval(Word ms);
  TNotifyEvent OnTimerExpired;
  // Called by the shared timer while the pane is visible.
  virtual void TimerExpired();
};

using TFxGetDateTimeEvent = std::function<void(TObject* Sender, TDateTime& DateTime)>;

class TFxClockStatus : public TFxPollingStatus {
 public:
  explicit TFxClockStatus(TComponent* owner);
  AnsiString ClassName() const override { return "TFxClockStatus"; }
  const AnsiString& Format() const { return format_; }
  void SetFormat(const AnsiString& format);
  const AnsiString& LastText() const { return lastText_; }
  void UpdateClock();
  void CaptionRect(TRect& rect) override;
  void TimerExpired() override;
  TFxGetDateTimeEvent OnGetDateTime;

 protected:
  void Loaded() override;
  void Paint() override;

 private:
  AnsiString format_;
  AnsiString lastText_;
};

enum TFxToggleKey { tkCapsLock, tkNumLock, tkScrollLock, tkInsert };
enum TFxInsertState { isInsert, isOverwrite };

class TFxKeyStatus;

// The texts of the key panes; changing one repaints the owning pane.
class TFxKeyStrings : public TPersistent {
 public:
  explicit TFxKeyStrings(TFxKeyStatus* owner) : owner_(owner) {}
  AnsiString ClassName() const override { return "TFxKeyStrings"; }
  const AnsiString& CapsLock() const { return caps_; }
  void SetCapsLock(const AnsiString& s) { Set(caps_, s); }
  const AnsiString& NumLock() const { return num_; }
  void SetNumLock(const AnsiString& s) { Set(num_, s); }
  const AnsiString& ScrollLock() const { return scroll_; }
  void SetScrollLock(const AnsiString& s) { Set(scroll_, s); }
  const AnsiString& Insert() const { return insert_; }
  void SetInsert(const AnsiString& s) { Set(insert_, s); }
  const AnsiString& Overwrite() const { return overwrite_; }
  void SetOverwrite(const AnsiString& s) { Set(overwrite_, s); }

 private:
  void Set(AnsiString& field, const AnsiString& value);
  TFxKeyStatus* owner_;
  AnsiString caps_ = "CAPS";
  AnsiString num_ = "NUM";
  AnsiString scroll_ = "SCR";
  AnsiString insert_ = "Insert";
  AnsiString overwrite_ = "Overwrite";
};

class TFxKeyStatus : public TFxPollingStatus {
 public:
  explicit TFxKeyStatus(TComponent* owner);
  AnsiString ClassName() const override { return "TFxKeyStatus"; }
  TFxToggleKey Key() const { return key_; }
  virtual void SetKey(TFxToggleKey key);
  TFxKeyStrings* KeyStrings() { return &keyStrings_; }
  // Another strings object copies nothing: only the texts in place count.
  virtual void SetKeyStrings(const TFxKeyStrings* strings) { (void)strings; }
  bool KeyOff() const { return keyOff_; }
  virtual void SetKeyOff(bool on);
  TFxInsertState InsertState() const { return insertState_; }
  virtual void SetInsertState(TFxInsertState s);
  void TimerExpired() override;
  // The text the pane shows now.
  AnsiString KeyText() const;

 protected:
  void Loaded() override;
  void Paint() override;

 private:
  TFxToggleKey key_ = tkCapsLock;
  TFxKeyStrings keyStrings_;
  TFxInsertState insertState_ = isInsert;
  TFxInsertState loadedInsertState_ = isInsert;
  bool keyOff_ = true;
  bool insertToggleAtStart_ = false;
};
