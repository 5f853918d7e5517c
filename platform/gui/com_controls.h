// The page control: tabs along the top, one sheet shown at a time. Sheets
// of the other pages are hidden, so their controls leave the tab order.
#pragma once

#include <functional>
#include <vector>

#include "platform/gui/controls.h"

class QTabBar;
class TPageControl;

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TTabSheet : public TWinControl {
 public:
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;
  AnsiString ClassName() const override { return "TTabSheet"; }

  TPageControl* PageControl() const { return pageControl_; }
  // Puts the sheet on a page control (as its last page) or takes it off.
  void SetPageControl(TPageControl* pc);
  int PageIndex() const;
  void SetPageIndex(int index);
  // A sheet whose tab is hidden cannot be chosen by the user.
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool on);

 protected:
  bool PaintsItself() const override { return true; }
  void Paint() override;
  void TextChanged() override;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
};

class TPageControl : public TWinControl {
 public:
  explicit TPageControl(TComponent* owner);
  ~TPageControl() override;
  AnsiString ClassName() const override { return "TPageControl"; }

  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int index) const { return pages_.at(static_cast<std::size_t>(index)); }
  TTabSheet* ActivePage() const { return active_; }
  // Shows the sheet (a sheet of this control, or null).
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const;
  void SetActivePageIndex(int index);
  // The area the sheets fill, in client coordinates.
  TRect DisplayRect() const;

  // The user is about to switch pages (may refuse) / has switched.
  TTabChangingEvent OnChanging;
  TNotifyEvent OnChange;

 protected:
  bool PaintsItself() const override { return true; }
  void Paint() override;
  void AlignControls() override;
  void ControlsChanged() override;
  bool TakesFocusOnClick() const override { return true; }
  int DialogCode() const override { return DLGC_WANTARROWS; }
  QWidget* FocusWidget() const override;
  bool DialogChar(char key) override;

 private:
  friend class TTabSheet;
  void RebuildTabs();
  void TabClicked(int index);
  void ShowActive();
  std::vector<TTabSheet*> pages_;
  TTabSheet* active_ = nullptr;
  QTabBar* tabs_;
  bool syncing_ = false;
};

// A status line along the bottom of its form. Only the simple form is
// built: with SimplePanel the bar shows SimpleText in one sunken pane.
class TStatusBar : public TCustomControl {
 public:
  explicit TStatusBar(TComponent* owner);
  AnsiString ClassName() const override { return "TStatusBar"; }

  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool on);
  const AnsiString& SimpleText() const { return simpleText_; }
  void SetSimpleText(const AnsiString& text);

 protected:
  void Paint() override;
  bool TakesFocusOnClick() const override { return false; }

 private:
  bool simplePanel_ = false;
  AnsiString simpleText_;
};
