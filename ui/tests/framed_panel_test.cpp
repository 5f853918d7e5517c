// The theme layer over the built-in visual-styles library, the framed
// panel, its dock manager and the frame controller.
#include "ui/panels/framed_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <memory>

#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_pixels.h"
#include "ui/panels/status_bar.h"
#include "ui/panels/theme_services.h"

namespace {

// Restores the library's defaults after each case.
struct LibraryScope {
  LibraryScope() { FreeSharedThemeServices(); }
  ~LibraryScope() {
    FreeSharedThemeServices();
    SetThemeLibraryPresent(true);
    SetThemeEntryPointDropped("");
    SetCommonControlsVersion(0);
  }
};

TEST(ThemeServicesGui, ClassicUnlessTheLibraryReportsVersionSix) {
  struct Case {
    bool present;
    unsigned version;
    const char* dropped;
    bool available, inUse;
  };
  const Case cases[] = {
      {false, 0, "", false, false},
      {true, 0, "", true, false},
      {true, 0x60000, "", true, true},
      {true, 0x60000, "DrawThemeText", true, false},
  };
  for (const Case& c : cases) {
    LibraryScope scope;
    SetThemeLibraryPresent(c.present);
    SetCommonControlsVersion(c.version);
    SetThemeEntryPointDropped(c.dropped);
    TThemeServices* t = SharedThemeServices();
    EXPECT_EQ(t->ThemesAvailable(), c.available) << c.present << c.version << c.dropped;
    EXPECT_EQ(t->ThemesInUse(), c.inUse) << c.present << c.version << c.dropped;
    // Not themed: the bar draws classic and never calls into the library.
    std::unique_ptr<TForm> form(NewForm<TForm>(nullptr));
    form->SetBounds(0, 0, 208, 100);
    auto* bar = new TFxStatusBar(form.get());
    bar->SetParent(form.get());
    bar->SetShowSizeGrip(false);
    form->Show();
    const int calls = ThemeLibraryCallCount();
    QImage img = Grab(bar);
    if (!c.inUse) {
      EXPECT_EQ(ThemeLibraryCallCount(), calls);
      EXPECT_EQ(CountOther(img, Rect(0, 0, bar->Width(), bar->Height()), {clBtnFace}), 0);
    } else {
      QImage expected(bar->Width(), bar->Height(), QImage::Format_RGB32);
      expected.fill(Qt::white);
      QPainter p(&expected);
      QStyleOption o;
      o.rect = QRect(0, 0, bar->Width(), bar->Height());
      o.palette = QApplication::palette();
      o.state = QStyle::State_Enabled;
      p.fillRect(o.rect, o.palette.window());
      QApplication::style()->drawPrimitive(QStyle::PE_PanelStatusBar, &o, &p, nullptr);
      p.end();
      int differ = 0;
      for (int y = 0; y < bar->Height(); ++y)
        for (int x = 0; x < bar->Width(); ++x) differ += PixelAt(img, x, y) != PixelAt(expected, x, y);
      EXPECT_EQ(differ, 0);
      EXPECT_GT(ThemeLibraryCallCount(), calls);
    }
  }
}

TEST(ThemeServicesGui, LoadCountAndThemeChanges) {
  LibraryScope scope;
  const int before = ThemeLibraryLoader::Count();
  {
    TThemeServices one(nullptr), two(nullptr);
    EXPECT_EQ(ThemeLibraryLoader::Count(), before + 2);
    EXPECT_TRUE(ThemeLibraryLoader::Loaded());
    int changes = 0;
    one.OnThemeChange = [&](TObject*) { ++changes; };
    QPalette palette = QApplication::palette();
    QPalette other = palette;
    other.setColor(QPalette::Window, Qt::red);
    QApplication::setPalette(other);
    QApplication::setPalette(palette);
    QApplication::processEvents();
    EXPECT_GE(changes, 1);
  }
  EXPECT_EQ(ThemeLibraryLoader::Count(), before);
}

struct PanelForm {
  std::unique_ptr<TForm> form;
  TFxCustomPanel* panel;
  PanelForm() {
    form.reset(NewForm<TForm>(nullptr));
    form->SetBounds(0, 0, 300, 200);
    panel = new TFxCustomPanel(form.get());
    panel->SetParent(form.get());
    panel->SetBounds(10, 10, 200, 100);
  }
};

TEST(FramedPanelGui, ChildrenAlignInsideTheChosenFrames) {
  PanelForm f;
  auto* child = new TPanel(f.form.get());
  child->SetParent(f.panel);
  child->SetAlign(alClient);
  f.panel->SetBorderOuter(fsNone);
  EXPECT_EQ(child->Left(), 0);
  f.panel->SetBorderOuter(fsFlat);
  f.panel->SetBorderSides(TSides{sdLeft, sdTop});
  EXPECT_EQ(child->Left(), 1);
  EXPECT_EQ(child->Top(), 1);
  EXPECT_EQ(child->Width(), 199);
  f.panel->SetBorderInner(fsRaised);
  f.panel->SetBorderWidth(3);
  EXPECT_EQ(child->Left(), 1 + 2 + 3);
  EXPECT_EQ(child->Height(), 100 - 6);
}

TEST(FramedPanelGui, EdgeAlignedPanelsKeepTheirOuterEdge) {
  PanelForm f;
  f.panel->SetAlign(alNone);
  auto* bottom = new TFxCustomPanel(f.form.get());
  bottom->SetParent(f.panel);
  bottom->SetBounds(0, 60, 50, 40);
  bottom->SetAlign(alBottom);
  const int edge = bottom->Top() + bottom->Height();
  bottom->SetHeight(25);
  EXPECT_EQ(bottom->Top() + bottom->Height(), edge);
}

TEST(FramedPanelGui, DisablingRemembersTheChildrensStates) {
  PanelForm f;
  auto* on = new TButton(f.form.get());
  on->SetParent(f.panel);
  auto* off = new TButton(f.form.get());
  off->SetParent(f.panel);
  off->SetEnabled(false);
  f.panel->SetEnabled(false);
  EXPECT_FALSE(on->Enabled());
  f.panel->SetEnabled(true);
  EXPECT_TRUE(on->Enabled());
  EXPECT_FALSE(off->Enabled());
}

TEST(FramedPanelGui, TransparentPanelShowsItsParent) {
  PanelForm f;
  f.form->SetColor(clRed);
  f.panel->SetBorderOuter(fsNone);
  f.panel->SetColor(clBlue);
  f.form->Show();
  QImage img = Grab(f.panel);
  EXPECT_EQ(PixelAt(img, 50, 50), clBlue);
  f.panel->SetPanelTransparent(true);
  img = Grab(f.panel);
  EXPECT_EQ(PixelAt(img, 50, 50), clRed);
}

class Settable : public TPanel, public IFxFrameSettable {
 public:
  using TPanel::TPanel;
  void ApplyFrameSetting(const AnsiString& name, const TFxFrameController& c) override {
    names.push_back(name);
    if (name == "Color") SetColor(c.Color());
  }
  std::vector<AnsiString> names;
};

TEST(FramedPanelGui, FrameControllerSettings) {
  PanelForm f;
  TFxFrameController controller(nullptr);
  EXPECT_EQ(controller.Color(), clWindow);
  EXPECT_EQ(controller.FrameHotStyle(), fsFlatBold);
  EXPECT_EQ(controller.FramingPreference(), fpXPThemes);
  auto* other = new Settable(f.form.get());
  other->SetParent(f.form.get());
  controller.Link(other);
  EXPECT_EQ(other->names.size(), 14u);
  other->names.clear();
  // Colour moves the focus colour along and clears ParentColor.
  controller.SetParentColor(true);
  controller.SetColor(clYellow);
  EXPECT_EQ(controller.FocusColor(), clYellow);
  EXPECT_FALSE(controller.ParentColor());
  EXPECT_EQ(other->Color(), clYellow);
  // Deferred while updating.
  other->names.clear();
  controller.BeginUpdate();
  controller.SetFrameColor(clRed);
  EXPECT_TRUE(other->names.empty());
  controller.EndUpdate();
  EXPECT_EQ(other->names.size(), 14u);
  // The panel takes the settings itself once the frame is visible.
  f.panel->SetFrameController(&controller);
  EXPECT_EQ(f.panel->BorderOuter(), fsRaised);
  TFxFrameController source(nullptr);
  source.SetFrameVisible(true);
  source.SetFrameStyle(fsFlatRounded);
  source.SetColor(clGreen);
  controller.Assign(&source);
  EXPECT_EQ(f.panel->BorderOuter(), fsFlatRounded);
  EXPECT_EQ(f.panel->Color(), clGreen);
  EXPECT_EQ(f.panel->FlatColorAdjustment(), 0);
  EXPECT_EQ(f.panel->FrameHighlight(), LighterColor(clGreen, 100));
  // HotTrack brings the frame and every side.
  controller.SetFrameSides(TSides{sdLeft});
  controller.SetFrameHotTrack(true);
  EXPECT_TRUE(controller.FrameVisible());
  EXPECT_EQ(controller.FrameSides(), AllSides());
  f.panel->SetFrameController(nullptr);
}

TEST(FramedPanelGui, DockGrabbers) {
  for (TAlign align : {alTop, alLeft}) {
    PanelForm f;
    f.panel->SetAlign(align);
    f.panel->SetBorderOuter(fsNone);
    f.panel->SetDockSite(true);
    auto* label = new TLabel(f.form.get());
    label->SetCaption("Docked");
    label->SetBounds(0, 0, 60, 30);
    f.panel->DockControl(label);
    TFxPanelDockManager* dm = f.panel->DockManager();
    ASSERT_TRUE(dm);
    const TRect g = dm->GrabberRect(label);
    if (align == alTop) {
      EXPECT_EQ(label->Left(), 14);
      EXPECT_EQ(g, Rect(0, 0, 14, label->Height()));
      EXPECT_EQ(dm->CloseRect(label), Rect(1, 1, 12, 12));
    } else {
      EXPECT_EQ(label->Top(), 14);
      EXPECT_EQ(g, Rect(0, 0, label->Width(), 14));
      EXPECT_EQ(dm->CloseRect(label), Rect(label->Width() - 15, 1, label->Width() - 2, 12));
    }
    // A control that takes no focus shows the active colours.
    EXPECT_EQ(dm->GrabberColors(label).first, clActiveCaption);
    f.form->Show();
    QImage img = Grab(f.panel);
    EXPECT_GT(CountColor(img, g, clActiveCaption), g.Width() * g.Height() / 2);
    auto* edit = new TEdit(f.form.get());
    edit->SetBounds(0, 0, 60, 30);
    f.panel->DockControl(edit);
    EXPECT_EQ(dm->GrabberColors(edit).first, clInactiveCaption);
  }
}

}  // namespace
