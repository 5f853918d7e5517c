#include "ui/resources/ui_pictures.h"

#include "platform/gui/resources.h"

void RegisterUiPictures() {
  static bool done = false;
  if (done) return;
  done = true;
  // Olive is the see-through colour (the bottom-left pixel).
  RegisterBitmapResource("EditBtn", {"..........",
                                     "..........",
                                     "..........",
                                     "..........",
                                     "..........",
                                     "..........",
                                     "..........",
                                     "..........",
                                     "..........",
                                     ".k..k..k..",
                                     "..........",
                                     ".........."},
                         {{'.', clOlive}, {'k', clBlack}});
  // Cursor pictures: black outline, white fill, olive see-through.
  RegisterBitmapResource("UX_HANDCUR", {"....kk..........",
                                        "...kwwk.........",
                                        "...kwwk.........",
                                        "...kwwk.........",
                                        "...kwwkkk.......",
                                        "...kwwkwwkkk....",
                                        "...kwwkwwkwwkk..",
                                        "kk.kwwkwwkwwkwk.",
                                        "kwkkwwwwwwwwkwk.",
                                        "kwwkwwwwwwwwwwk.",
                                        ".kwwwwwwwwwwwwk.",
                                        "..kwwwwwwwwwwwk.",
                                        "..kwwwwwwwwwwk..",
                                        "...kwwwwwwwwwk..",
                                        "....kwwwwwwwk...",
                                        "....kkkkkkkkk..."},
                         {{'.', clOlive}, {'k', clBlack}, {'w', clWhite}});
  RegisterBitmapResource("UX_DRAGCUR", {"k...............",
                                        "kk..............",
                                        "kwk.............",
                                        "kwwk............",
                                        "kwwwk...........",
                                        "kwwwwk..........",
                                        "kwwwwwk.........",
                                        "kwwwwwwk........",
                                        "kwwwkkkkk.......",
                                        "kwwk.kwwwwwwwk..",
                                        "kwk..kwkkkkkwk..",
                                        "kk...kwwwwwwwk..",
                                        "k....kwkkkkkwk..",
                                        ".....kwwwwwwwk..",
                                        ".....kkkkkkkkk..",
                                        "................"},
                         {{'.', clOlive}, {'k', clBlack}, {'w', clWhite}});
}
