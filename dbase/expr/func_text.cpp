// Built-in text functions: trimming, cutting and padding, searching and
// replacing, case, codes and SOUNDEX.
//
// Counts, widths and positions are clamped into the 32-bit range before
// they are truncated, and no result grows beyond kMaxTextLength. Case
// functions on a table whose texts are OEM-coded map the text to ANSI, change
// the case there and map it back, so accented OEM letters change case and
// OEM box characters are left alone.
#include <algorithm>
#include <cstring>

#include "dbase/base/errors.h"
#include "dbase/expr/expr_impl.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/sysutils.h"

namespace {

// fn applied to text in the ANSI code page.
template <class F>
AnsiString InAnsi(TxbExpFunction& node, const AnsiString& text, F fn) {
  TxbExpUserLink* link = node.Handler()->NodeLink(node);
  if (link != nullptr && link->OemTexts()) return AnsiToOem(fn(OemToAnsi(text)));
  return fn(text);
}

// A text function's typed form that computes over its first argument's
// text in place, at the end of the output; Finish gets the output and
// where that text starts, and leaves the result there.
class TypedTextInPlace : public TypedNode {
 public:
  explicit TypedTextInPlace(TypedArguments& arguments) : TypedNode(etText), arguments_(std::move(arguments)) {}
  void AppendText(AnsiString& out) override {
    const std::size_t start = out.size();
    arguments_[0]->AppendText(out);
    Finish(out, start);
    ChargeText(out.size() - start);
  }

 protected:
  virtual void Finish(AnsiString& out, std::size_t start) = 0;
  double Argument(std::size_t index) { return arguments_[index]->Number(); }
  bool Has(std::size_t index) const { return index < arguments_.size(); }

 private:
  TypedArguments arguments_;
};

// Whether the arguments are a text followed by `numbers` (min..max) numbers.
bool TextThenNumbers(const TypedArguments& arguments, std::size_t min, std::size_t max) {
  if (arguments.size() < 1 + min || arguments.size() > 1 + max || arguments[0]->Type() != etText) return false;
  for (std::size_t i = 1; i < arguments.size(); ++i)
    if (!IsNumericType(arguments[i]->Type())) return false;
  return true;
}

bool IsBlankByte(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// Trailing and (or) leading blanks of the text at start dropped, as
// TrimRight and TrimLeft do.
void TrimInPlace(AnsiString& out, std::size_t start, bool left, bool right) {
  if (right) {
    std::size_t n = out.size();
    while (n > start && IsBlankByte(out[n - 1])) --n;
    out.resize(n);
  }
  if (left) {
    std::size_t b = start;
    while (b < out.size() && IsBlankByte(out[b])) ++b;
    out.erase(start, b - start);
  }
}

AnsiString Blanks(int32_t count) {
  if (count <= 0) return AnsiString();
  CheckTextLength(static_cast<uint64_t>(count));
  return AnsiString(static_cast<std::size_t>(count), ' ');
}

class TxbUDFAllTrim : public TxbBuiltinFunction {
 public:
  TxbUDFAllTrim() : TxbBuiltinFunction("ALLTRIM") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    SetText(value, type, Trim(TextArgument(node, 0)));
  }
  TypedNodePtr Typed(const TxbExpFunction&, TypedArguments& arguments) const override {
    if (!TextThenNumbers(arguments, 0, 0)) return nullptr;
    return std::make_unique<Trimmed>(arguments);
  }

 private:
  struct Trimmed : TypedTextInPlace {
    using TypedTextInPlace::TypedTextInPlace;
    void Finish(AnsiString& out, std::size_t start) override { TrimInPlace(out, start, true, true); }
  };
};

class TxbUDFLTrim : public TxbBuiltinFunction {
 public:
  TxbUDFLTrim() : TxbBuiltinFunction("LTRIM") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    SetText(value, type, TrimLeft(TextArgument(node, 0)));
  }
  TypedNodePtr Typed(const TxbExpFunction&, TypedArguments& arguments) const override {
    if (!TextThenNumbers(arguments, 0, 0)) return nullptr;
    return std::make_unique<Trimmed>(arguments);
  }

 private:
  struct Trimmed : TypedTextInPlace {
    using TypedTextInPlace::TypedTextInPlace;
    void Finish(AnsiString& out, std::size_t start) override { TrimInPlace(out, start, true, false); }
  };
};

class TxbUDFTrim : public TxbBuiltinFunction {
 public:
  TxbUDFTrim() : TxbBuiltinFunction("TRIM") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    SetText(value, type, TrimRight(TextArgument(node, 0)));
  }
  TypedNodePtr Typed(const TxbExpFunction&, TypedArguments& arguments) const override {
    if (!TextThenNumbers(arguments, 0, 0)) return nullptr;
    return std::make_unique<Trimmed>(arguments);
  }

 protected:
  explicit TxbUDFTrim(const char* name) : TxbBuiltinFunction(name) {}

 private:
  struct Trimmed : TypedTextInPlace {
    using TypedTextInPlace::TypedTextInPlace;
    void Finish(AnsiString& out, std::size_t start) override { TrimInPlace(out, start, false, true); }
  };
};

class TxbUDFRTrim : public TxbUDFTrim {
 public:
  TxbUDFRTrim() : TxbUDFTrim("RTRIM") {}
};

class TxbUDFLeft : public TxbBuiltinFunction {
 public:
  TxbUDFLeft() : TxbBuiltinFunction("LEFT") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    AnsiString text = TextArgument(node, 0);
    double n = NumberArgument(node, 1);
    int32_t count = n <= 0.01 ? 0 : ClampToInt32(n);
    if (static_cast<std::size_t>(count) <= text.size()) {
      text.resize(static_cast<std::size_t>(count));
    } else {
      CheckTextLength(static_cast<uint64_t>(count));
      text.resize(static_cast<std::size_t>(count), ' ');
    }
    SetText(value, type, std::move(text));
  }
  TypedNodePtr Typed(const TxbExpFunction&, TypedArguments& arguments) const override {
    if (!TextThenNumbers(arguments, 1, 1)) return nullptr;
    return std::make_unique<Cut>(arguments);
  }

 private:
  struct Cut : TypedTextInPlace {
    using TypedTextInPlace::TypedTextInPlace;
    void Finish(AnsiString& out, std::size_t start) override {
      const double n = Argument(1);
      const int32_t count = n <= 0.01 ? 0 : ClampToInt32(n);
      if (static_cast<std::size_t>(count) > out.size() - start) CheckTextLength(static_cast<uint64_t>(count));
      out.resize(start + static_cast<std::size_t>(count), ' ');
    }
  };
};

class TxbUDFRight : public TxbBuiltinFunction {
 public:
  TxbUDFRight() : TxbBuiltinFunction("RIGHT") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    AnsiString text = TextArgument(node, 0);
    int32_t count = ClampToInt32(NumberArgument(node, 1));
    if (count <= 0) {
      text.clear();
    } else if (static_cast<std::size_t>(count) < text.size()) {
      text.erase(0, text.size() - static_cast<std::size_t>(count));
    }
    SetText(value, type, std::move(text));
  }
};

class TxbUDFSubStr : public TxbBuiltinFunction {
 public:
  TxbUDFSubStr() : TxbBuiltinFunction("SUBSTR") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    AnsiString text = TextArgument(node, 0);
    int32_t start = ClampToInt32(NumberArgument(node, 1));
    bool limited = HasArgument(node, 2);
    int32_t count = limited ? ClampToInt32(NumberArgument(node, 2)) : 0;
    AnsiString result;
    if (start >= 1 && static_cast<std::size_t>(start) <= text.size() && (!limited || count > 0)) {
      result = text.substr(static_cast<std::size_t>(start) - 1,
                           limited ? static_cast<std::size_t>(count) : AnsiString::npos);
    }
    SetText(value, type, std::move(result));
  }
  TypedNodePtr Typed(const TxbExpFunction&, TypedArguments& arguments) const override {
    if (!TextThenNumbers(arguments, 1, 2)) return nullptr;
    return std::make_unique<Part>(arguments);
  }

 private:
  struct Part : TypedTextInPlace {
    using TypedTextInPlace::TypedTextInPlace;
    void Finish(AnsiString& out, std::size_t start) override {
      const std::size_t length = out.size() - start;
      const int32_t first = ClampToInt32(Argument(1));
      const bool limited = Has(2);
      const int32_t count = limited ? ClampToInt32(Argument(2)) : 0;
      if (first >= 1 && static_cast<std::size_t>(first) <= length && (!limited || count > 0)) {
        const std::size_t from = static_cast<std::size_t>(first) - 1;
        const std::size_t kept = limited ? std::min(static_cast<std::size_t>(count), length - from) : length - from;
        out.erase(start, from);
        out.resize(start + kept);
      } else {
        out.resize(start);
      }
    }
  };
};

// PADC, PADL, PADR: the value's text placed in a run of fill characters
// `width` long; a text not shorter than the width is returned whole. The
// fill, width and text of a call are locals: a nested PADx call in an
// argument must not overwrite them.
class TxbUDFPadMain : public TxbBuiltinFunction {
 public:
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    char fill = ' ';
    if (HasArgument(node, 2)) {
      Variant fillValue;
      ExpressionValueType fillType = AnyArgument(node, 2, fillValue);
      if (fillType != etText || fillValue.AsString().size() != 1) {
        XbRaise<EXbaseExpression>(xbmValueRequiredInvalid, "Char");
      }
      fill = fillValue.AsString()[0];
    }
    if (!HasArgument(node, 0)) XbRaise<EXbaseExpression>(xbmArgumentNeeded, "Value", 1, "Pad");
    Variant subject;
    AnyArgument(node, 0, subject);
    AnsiString text = subject.AsString();
    int32_t width = ClampToInt32(NumberArgument(node, 1));
    if (width <= 0 || text.size() >= static_cast<std::size_t>(width)) {
      SetText(value, type, std::move(text));
      return;
    }
    CheckTextLength(static_cast<uint64_t>(width));
    std::size_t padding = static_cast<std::size_t>(width) - text.size();
    std::size_t before = Before(padding);
    AnsiString result(before, fill);
    result += text;
    result.append(padding - before, fill);
    SetText(value, type, std::move(result));
  }

 protected:
  explicit TxbUDFPadMain(const char* name) : TxbBuiltinFunction(name) {}
  // How many of the padding characters go before the text.
  virtual std::size_t Before(std::size_t padding) const = 0;
};

class TxbUDFPadC : public TxbUDFPadMain {
 public:
  TxbUDFPadC() : TxbUDFPadMain("PADC") {}

 protected:
  std::size_t Before(std::size_t padding) const override { return padding / 2; }
};

class TxbUDFPadL : public TxbUDFPadMain {
 public:
  TxbUDFPadL() : TxbUDFPadMain("PADL") {}

 protected:
  std::size_t Before(std::size_t padding) const override { return padding; }
};

class TxbUDFPadR : public TxbUDFPadMain {
 public:
  TxbUDFPadR() : TxbUDFPadMain("PADR") {}

 protected:
  std::size_t Before(std::size_t) const override { return 0; }
};

class TxbUDFSpace : public TxbBuiltinFunction {
 public:
  TxbUDFSpace() : TxbBuiltinFunction("SPACE") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    SetText(value, type, Blanks(ClampToInt32(NumberArgument(node, 0))));
  }
};

class TxbUDFStrTran : public TxbBuiltinFunction {
 public:
  TxbUDFStrTran() : TxbBuiltinFunction("STRTRAN") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    AnsiString text = TextArgument(node, 0);
    AnsiString search = TextArgument(node, 1);
    AnsiString replacement = HasArgument(node, 2) ? TextArgument(node, 2) : AnsiString();
    int64_t start = HasArgument(node, 3) ? ClampToInt32(NumberArgument(node, 3)) : 1;
    int64_t count = HasArgument(node, 4) ? ClampToInt32(NumberArgument(node, 4)) : INT64_MAX;
    if (text.empty() || search.empty() || count <= 0) {
      SetText(value, type, std::move(text));
      return;
    }
    if (start < 1) start = 1;
    // Occurrences are counted in the original text and never rescanned
    // after a replacement.
    AnsiString result;
    std::size_t copied = 0;
    int64_t occurrence = 0;
    int64_t replaced = 0;
    ForEachOccurrence(text, search, false, [&](std::size_t at) {
      if (++occurrence < start) return true;
      CheckTextLength(static_cast<uint64_t>(result.size()) + (at - copied) + replacement.size());
      result.append(text, copied, at - copied);
      result += replacement;
      copied = at + search.size();
      return ++replaced < count;
    });
    CheckTextLength(static_cast<uint64_t>(result.size()) + (text.size() - copied));
    result.append(text, copied, AnsiString::npos);
    SetText(value, type, std::move(result));
  }
};

// UPPER and LOWER in place: the case mapping is per byte.
class TypedCase : public TypedTextInPlace {
 public:
  TypedCase(const TxbExpFunction& node, TypedArguments& arguments, bool upper)
      : TypedTextInPlace(arguments), link_(node.Handler()->NodeLink(node)) {
    for (int c = 0; c < 256; ++c)
      map_[c] = upper ? AnsiUpperChar(static_cast<unsigned char>(c)) : AnsiLowerChar(static_cast<unsigned char>(c));
  }

 protected:
  void Finish(AnsiString& out, std::size_t start) override {
    char* p = out.data() + start;
    const std::size_t n = out.size() - start;
    const bool oem = link_ != nullptr && link_->OemTexts();
    if (oem) OemToAnsiBytes(p, p, n);
    for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<char>(map_[static_cast<unsigned char>(p[i])]);
    if (oem) AnsiToOemBytes(p, p, n);
  }

 private:
  TxbExpUserLink* link_;
  unsigned char map_[256];
};

class TxbUDFUpper : public TxbBuiltinFunction {
 public:
  TxbUDFUpper() : TxbBuiltinFunction("UPPER") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    SetText(value, type, InAnsi(node, TextArgument(node, 0), [](const AnsiString& s) { return UpperLocale(s); }));
  }
  TypedNodePtr Typed(const TxbExpFunction& node, TypedArguments& arguments) const override {
    if (!TextThenNumbers(arguments, 0, 0)) return nullptr;
    return std::make_unique<TypedCase>(node, arguments, true);
  }
};

class TxbUDFLower : public TxbBuiltinFunction {
 public:
  TxbUDFLower() : TxbBuiltinFunction("LOWER") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    SetText(value, type, InAnsi(node, TextArgument(node, 0), [](const AnsiString& s) { return LowerLocale(s); }));
  }
  TypedNodePtr Typed(const TxbExpFunction& node, TypedArguments& arguments) const override {
    if (!TextThenNumbers(arguments, 0, 0)) return nullptr;
    return std::make_unique<TypedCase>(node, arguments, false);
  }
};

// Upper case after a separator (and at the start), lower case elsewhere.
class TxbUDFProper : public TxbBuiltinFunction {
 public:
  TxbUDFProper() : TxbBuiltinFunction("PROPER") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    SetText(value, type, InAnsi(node, TextArgument(node, 0), [](const AnsiString& s) {
      // Case mapping is per byte, so the three texts line up.
      const AnsiString upper = UpperLocale(s);
      const AnsiString lower = LowerLocale(s);
      AnsiString out(s.size(), '\0');
      for (std::size_t i = 0; i < s.size(); ++i) {
        out[i] = i == 0 || IsSeparator(out[i - 1]) ? upper[i] : lower[i];
      }
      return out;
    }));
  }

 private:
  static bool IsSeparator(char c) {
    static const char kSeparators[] = " !#$%&()*+,-./:;<=>?\"@[\\]^_{|}~\x7F";
    return c == '\0' || std::memchr(kSeparators, c, sizeof kSeparators - 1) != nullptr;
  }
};

class TxbUDFLen : public TxbBuiltinFunction {
 public:
  TxbUDFLen() : TxbBuiltinFunction("LEN") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    SetNumber(value, type, static_cast<double>(TextArgument(node, 0).size()));
  }
};

// Position of the n-th occurrence; matches may overlap.
class TxbUDFAt : public TxbBuiltinFunction {
 public:
  TxbUDFAt() : TxbBuiltinFunction("AT") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    AnsiString search = TextArgument(node, 0);
    AnsiString text = TextArgument(node, 1);
    int32_t n = HasArgument(node, 2) ? ClampToInt32(NumberArgument(node, 2)) : 1;
    if (FoldCase()) {
      search = UpperCase(search);
      text = UpperCase(text);
    }
    double position = 0;
    if (n >= 1) {
      int32_t seen = 0;
      ForEachOccurrence(text, search, true, [&](std::size_t at) {
        if (++seen < n) return true;
        position = static_cast<double>(at) + 1;
        return false;
      });
    }
    SetNumber(value, type, position);
  }

 protected:
  explicit TxbUDFAt(const char* name) : TxbBuiltinFunction(name) {}
  virtual bool FoldCase() const { return false; }
};

class TxbUDFAtC : public TxbUDFAt {
 public:
  TxbUDFAtC() : TxbUDFAt("ATC") {}

 protected:
  bool FoldCase() const override { return true; }
};

class TxbUDFAsc : public TxbBuiltinFunction {
 public:
  TxbUDFAsc() : TxbBuiltinFunction("ASC") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    AnsiString text = TextArgument(node, 0);
    SetNumber(value, type, text.empty() ? 0 : ByteAt(text, 0));
  }
};

class TxbUDFChr : public TxbBuiltinFunction {
 public:
  TxbUDFChr() : TxbBuiltinFunction("CHR") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    int32_t code = ClampToInt32(NumberArgument(node, 0));
    if (code < 0 || code > 255) XbRaise<EXbaseExpression>(xbmValueRequiredInvalid, "Byte");
    SetText(value, type, AnsiString(1, static_cast<char>(code)));
  }
};

class TxbUDFSoundex : public TxbBuiltinFunction {
 public:
  TxbUDFSoundex() : TxbBuiltinFunction("SOUNDEX") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    AnsiString text = UpperCase(TextArgument(node, 0));
    if (text.empty()) {
      SetText(value, type, "0000");
      return;
    }
    AnsiString code(1, text[0]);
    for (std::size_t i = 1; i < text.size(); ++i) {
      if (char digit = Digit(text[i])) code += digit;
    }
    code.erase(std::unique(code.begin(), code.end()), code.end());
    code += "0000";
    code.resize(4);
    SetText(value, type, std::move(code));
  }

 private:
  static char Digit(char c) {
    switch (c) {
      case 'B': case 'F': case 'P': case 'V': return '1';
      case 'C': case 'G': case 'J': case 'K': case 'Q': case 'S': case 'X': case 'Z': return '2';
      case 'D': case 'T': return '3';
      case 'L': return '4';
      case 'M': case 'N': return '5';
      case 'R': return '6';
      default: return 0;
    }
  }
};

}  // namespace

void RegisterTextFunctions(TxbFunctionReg& registry) {
  registry.Register(new TxbUDFAllTrim);
  registry.Register(new TxbUDFLTrim);
  registry.Register(new TxbUDFRTrim);
  registry.Register(new TxbUDFTrim);
  registry.Register(new TxbUDFLeft);
  registry.Register(new TxbUDFRight);
  registry.Register(new TxbUDFSubStr);
  registry.Register(new TxbUDFPadC);
  registry.Register(new TxbUDFPadL);
  registry.Register(new TxbUDFPadR);
  registry.Register(new TxbUDFSpace);
  registry.Register(new TxbUDFStrTran);
  registry.Register(new TxbUDFUpper);
  registry.Register(new TxbUDFLower);
  registry.Register(new TxbUDFProper);
  registry.Register(new TxbUDFLen);
  registry.Register(new TxbUDFAt);
  registry.Register(new TxbUDFAtC);
  registry.Register(new TxbUDFAsc);
  registry.Register(new TxbUDFChr);
  registry.Register(new TxbUDFSoundex);
}
