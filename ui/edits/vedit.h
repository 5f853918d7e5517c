// The typed edit of the search dialog: checks its text by type on every
// write and when it is left, converting dates and times and writing them
// back in the short formats; any character may be typed. Its type may be
// switched at run time.
#pragma once

#include "ui/edits/typed_text.h"

class TVEdit : public TTypedEdit {
 public:
  explicit TVEdit(TComponent* owner);
  AnsiString ClassName() const override { return "TVEdit"; }
  // min(system font height, own font height) div 4.
  int TextMargin() const { return margin_; }

 protected:
  void Paint() override;
  void FontChanged() override;

 private:
  void UpdateMargin();
  int margin_ = 0;
};
