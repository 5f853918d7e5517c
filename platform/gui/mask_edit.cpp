// Edit masks on QLineEdit's input masks: our mask is translated into Qt's
// (whose "0" and "9" mean the opposite of ours), literals escaped.
#include "platform/gui/mask_edit.h"

#include <QLineEdit>

#include "platform/gui/widget_bridge.h"
#include "platform/rtl/format_settings.h"

using namespace gui_detail;

namespace {

bool QtSpecial(char c) {
  static const std::string special = "AaNnXx90Dd#HhBb><![]{}\\;";
  return special.find(c) != std::string::npos;
}

}  // namespace

TCustomMaskEdit::TCustomMaskEdit(TComponent* owner) : TCustomEdit(owner) {}
TCustomMaskEdit::TCustomMaskEdit(TComponent* owner, QWidget* widget) : TCustomEdit(owner, widget) {}

void TCustomMaskEdit::SetEditMask(const AnsiString& mask) {
  std::vector<Slot> parsed;
  bool save = true;
  char blank = '_';
  std::size_t i = 0;
  for (; i < mask.size(); ++i) {
    char c = mask[i];
    if (c == ';') break;
    switch (c) {
      case '!':
        break;
      case '9':
        parsed.push_back({false, false, 0});
        break;
      case '0':
        parsed.push_back({false, true, 0});
        break;
      case '/':
        parsed.push_back({true, false, FormatSettings().DateSeparator});
        break;
      case ':':
        parsed.push_back({true, false, FormatSettings().TimeSeparator});
        break;
      case '\\':
        if (i + 1 < mask.size()) parsed.push_back({true, false, mask[++i]});
        break;
      case 'L': case 'l': case 'A': case 'a': case 'C': case 'c': case '#': case '>': case '<': case '_':
        throw EInvalidEditMask(Format("Edit mask '%s': the mask character '%s' is not supported", mask,
                                      AnsiString(1, c)));
      default:
        parsed.push_back({true, false, c});
    }
  }
  // Fields after the mask: literals saved (0/1), then the blank character.
  if (i < mask.size()) {
    std::size_t second = mask.find(';', i + 1);
    AnsiString saveField = mask.substr(i + 1, second == std::string::npos ? std::string::npos : second - i - 1);
    save = saveField != "0";
    if (second != std::string::npos && second + 1 < mask.size()) blank = mask[second + 1];
  }
  if (blank < ' ') blank = ' ';
  AnsiString text = Text();
  mask_ = mask;
  slots_ = parsed;
  saveLiterals_ = save;
  blank_ = blank;
  QString qt;
  for (const Slot& s : slots_) {
    if (s.literal) {
      if (QtSpecial(s.ch)) qt += '\\';
      qt += ToQt(AnsiString(1, s.ch), CodePage());
    } else {
      qt += s.required ? '9' : '0';
    }
  }
  if (!mask_.empty()) qt += ';' + ToQt(AnsiString(1, blank_), CodePage());
  Edit()->setInputMask(mask_.empty() ? QString() : qt);
  if (!text.empty()) SetControlText(text);
}

AnsiString TCustomMaskEdit::EditText() const { return FromQt(Edit()->displayText(), CodePage()); }

void TCustomMaskEdit::SetEditText(const AnsiString& text) {
  if (!IsMasked()) {
    TCustomEdit::SetControlText(text);
    return;
  }
  AnsiString shown;
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].literal) {
      shown += slots_[i].ch;
    } else {
      char c = i < text.size() ? text[i] : blank_;
      shown += (c == ' ' ? blank_ : c);
    }
  }
  TCustomEdit::SetControlText(shown);
}

AnsiString TCustomMaskEdit::GetControlText() const {
  if (!IsMasked()) return TCustomEdit::GetControlText();
  AnsiString shown = EditText();
  AnsiString out;
  for (std::size_t i = 0; i < slots_.size() && i < shown.size(); ++i) {
    if (slots_[i].literal) {
      if (saveLiterals_) out += shown[i];
    } else {
      out += shown[i] == blank_ ? ' ' : shown[i];
    }
  }
  return out;
}

void TCustomMaskEdit::SetControlText(const AnsiString& text) {
  if (!IsMasked()) {
    TCustomEdit::SetControlText(text);
    return;
  }
  // The text comes in Text's layout: with the literals when they are kept.
  AnsiString full;
  std::size_t k = 0;
  for (const Slot& s : slots_) {
    if (s.literal) {
      full += s.ch;
      if (saveLiterals_ && k < text.size()) ++k;
    } else {
      full += k < text.size() ? text[k++] : ' ';
    }
  }
  SetEditText(full);
}

void TCustomMaskEdit::ValidateEdit() {
  if (!IsMasked()) return;
  AnsiString shown = EditText();
  for (std::size_t i = 0; i < slots_.size(); ++i)
    if (!slots_[i].literal && slots_[i].required && (i >= shown.size() || shown[i] == blank_ || shown[i] == ' '))
      throw EDBEditError("Invalid input value.  Use escape key to abandon changes");
}

void TCustomMaskEdit::Reset() {
  if (!Modified()) return;
  SetControlText(original_);
  SetModified(false);
}

void TCustomMaskEdit::KeyPress(char& key) {
  TCustomEdit::KeyPress(key);
  if (key == 27 && IsMasked() && Modified()) {
    Reset();
    SelectAll();
    key = 0;
  }
}

void TCustomMaskEdit::DoEnter() {
  original_ = Text();
  TCustomEdit::DoEnter();
}

void TCustomMaskEdit::DoExit() {
  if (IsMasked()) ValidateEdit();
  TCustomEdit::DoExit();
}
