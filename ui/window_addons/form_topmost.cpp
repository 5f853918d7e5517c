#include "ui/window_addons/form_topmost.h"

#include "platform/gui/resources.h"
#include "platform/gui/window_menu.h"

void RegisterTopmostGlyphs() {
  static bool done = false;
  if (done) return;
  done = true;
  // A pin standing up (released) and pushed in (pressed), on a see-through
  // background (the top-left pixel's colour).
  const std::map<char, TColor> palette = {{'.', clFuchsia}, {'k', clBlack}, {'g', clGray}, {'w', clWhite}};
  RegisterBitmapResource("ACCB_TOPMOST_UP", {"............",
                                             "....kkkk....",
                                             "....kwgk....",
                                             "....kwgk....",
                                             "....kwgk....",
                                             "...kkkkkk...",
                                             "..kwwwwggk..",
                                             "..kkkkkkkk..",
                                             ".....kk.....",
                                             ".....kk.....",
                                             ".....k......",
                                             "............"},
                         palette);
  RegisterBitmapResource("ACCB_TOPMOST_DOWN", {"............",
                                               "............",
                                               "............",
                                               "...kkkkkk...",
                                               "...kwwggk...",
                                               "..kkkkkkkk..",
                                               "..kwwwwggk..",
                                               "..kkkkkkkk..",
                                               ".....kk.....",
                                               ".....k......",
                                               "............",
                                               "............"},
                         palette);
}

TwaFormTopmost::TwaFormTopmost(TComponent* owner) : TwaCustomCaptionButton(owner), captionButton_(this) {
  RegisterTopmostGlyphs();
  SetToggle(true);
  UpGlyph()->LoadFromResourceName("ACCB_TOPMOST_UP");
  DownGlyph()->LoadFromResourceName("ACCB_TOPMOST_DOWN");
  SetHint("Always on top");
  SystemMenu()->SetCaption("Always on &top");
  TWindowMenu* menu = SystemMenuHandle();
  SystemMenu()->SetPosition(menu ? menu->Count() : 0);
  SystemMenu()->SetSeparators(TwaMenuSeparators{seBefore});
  SystemMenu()->SetApplyToMenu(true);
  PaintButton(false);
}

void TwaFormTopmost::Loaded() {
  TwaCustomCaptionButton::Loaded();
  SetDown(FormTopmost());
}

void TwaFormTopmost::StateChanged() {
  TwaCustomCaptionButton::StateChanged();
  SetTopmost(Down());
}

void TwaFormTopmost::AfterMessage(TWindowMessage& message) {
  TwaCustomCaptionButton::AfterMessage(message);
  if (message.Notice == TFormNotice::TopmostChanged) {
    SetDown(message.Param != 0);
    if (TwaFormTopmostChangedEvent h = OnTopmostChanged) h(this, message.Param != 0);
  }
}
