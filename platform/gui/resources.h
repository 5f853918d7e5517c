// The program's own named pictures, standing in for the bitmap resources
// of the original program: modules register small pictures under a name
// (case-insensitive) and bitmaps load them by name. Pictures are given as
// rows of characters with a palette, so they live in the source.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/gui/graphics.h"

// Registers (or replaces) a picture. Every row must be as long as the
// first; a character missing from the palette raises EInvalidGraphic.
void RegisterBitmapResource(const AnsiString& name, const std::vector<std::string>& rows,
                            const std::map<char, TColor>& palette);
bool HasBitmapResource(const AnsiString& name);
// Copies the named picture into bitmap; false (bitmap untouched) when the
// name is unknown.
bool LoadBitmapResource(const AnsiString& name, TBitmap& bitmap);

class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};
