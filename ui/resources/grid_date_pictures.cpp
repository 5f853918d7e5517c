#include "ui/resources/grid_date_pictures.h"

#include <map>
#include <string>
#include <vector>

#include "platform/gui/resources.h"

void RegisterGridAndDatePictures() {
  static bool done = false;
  if (done) return;
  done = true;
  const std::map<char, TColor> palette = {{'.', clWhite}, {'k', clBlack}, {'r', clMaroon}, {'g', clGray},
                                          {'w', clWhite}, {'s', clSilver}, {'n', clNavy}};
  // clang-format off
  RegisterBitmapResource("DEDITBMP", {
      "............................",
      ".kkkkkkkkkkk...ggggggggggg..",
      ".krrrrrrrrrk...gsssssssssg..",
      ".kwwwwwwwwwk...gwwwwwwwwwg..",
      ".kwkwkwkwkwk...gwgwgwgwgwg..",
      ".kwwwwwwwwwk...gwwwwwwwwwg..",
      ".kwkwkwkwkwk...gwgwgwgwgwg..",
      ".kwwwwwwwwwk...gwwwwwwwwwg..",
      ".kwkwkwkwkwk...gwgwgwgwgwg..",
      ".kwwwwwwwwwk...gwwwwwwwwwg..",
      ".kkkkkkkkkkk...ggggggggggg..",
      "............................"}, palette);
  RegisterBitmapResource("PREVYEAR", {
      "........",
      "...k..k.",
      "..kk.kk.",
      ".kkkkkk.",
      "..kk.kk.",
      "...k..k.",
      "........"}, palette);
  RegisterBitmapResource("PREVMONTH", {
      ".....",
      "...k.",
      "..kk.",
      ".kkk.",
      "..kk.",
      "...k.",
      "....."}, palette);
  RegisterBitmapResource("NEXTMONTH", {
      ".....",
      ".k...",
      ".kk..",
      ".kkk.",
      ".kk..",
      ".k...",
      "....."}, palette);
  RegisterBitmapResource("NEXTYEAR", {
      "........",
      ".k..k...",
      ".kk.kk..",
      ".kkkkkk.",
      ".kk.kk..",
      ".k..k...",
      "........"}, palette);
  RegisterBitmapResource("COMBOARROW", {
      "kkkkkkk",
      ".kkkkk.",
      "..kkk..",
      "...k..."}, palette);

  const std::vector<std::string> arrow = {
      "........", "........", "........", "..k.....", "..kk....", "..kkk...", "..kkkk..",
      "..kkk...", "..kk....", "..k.....", "........", "........", "........"};
  const std::vector<std::string> edit = {
      "........", "........", "..kk.kk.", "....k...", "....k...", "....k...", "....k...",
      "....k...", "....k...", "....k...", "..kk.kk.", "........", "........"};
  const std::vector<std::string> insert = {
      "........", "........", "........", "........", "...k....", ".k.k.k..", "..kkk...",
      ".k.k.k..", "...k....", "........", "........", "........", "........"};
  const std::vector<std::string> checked = {
      "........", "........", "........", "......n.", ".....nn.", "n...nn..", "nn.nn...",
      ".nnn....", "..n.....", "........", "........", "........", "........"};
  // A tick above the state picture of the current row.
  auto withTick = [](std::vector<std::string> rows) {
    const char* tick[] = {".....n..", "n..nn...", ".nnn....", "..n....."};
    for (int i = 0; i < 4; ++i) rows[static_cast<std::size_t>(i)] = tick[i];
    return rows;
  };
  // clang-format on
  RegisterBitmapResource("DBGARROWKUVET", arrow, palette);
  RegisterBitmapResource("DBEDITKUVET", edit, palette);
  RegisterBitmapResource("DBINSERTKUVET", insert, palette);
  RegisterBitmapResource("DBCHECKED", checked, palette);
  RegisterBitmapResource("DBCHEARROW", withTick(arrow), palette);
  RegisterBitmapResource("DBCHEEDIT", withTick(edit), palette);
  RegisterBitmapResource("DBCHEINSERT", withTick(insert), palette);
}
