// Built-in numeric functions and the conversions between numbers and text
// (STR, STRZERO, VAL).
//
// Number texts use "." as the decimal point whatever the locale, as N
// fields and dBase programs do; VAL also reads the locale's separator. Every
// numeric result is finite: an overflow or an invalid operation raises the
// platform's math error instead of flowing on as infinity or NaN.
#include <cmath>

#include "dbase/base/errors.h"
#include "dbase/expr/expr_impl.h"
#include "platform/rtl/floatconv.h"

namespace {

constexpr double kPi = 3.1415926535897932385;

[[noreturn]] void MustBe(const char* what, const char* range) {
  XbRaise<EXbaseExpression>(xbmArgumentMustBe, what, range);
}

// A function of one number.
class TxbUnaryMath : public TxbBuiltinFunction {
 public:
  TxbUnaryMath(const char* name, double (*fn)(double)) : TxbBuiltinFunction(name), fn_(fn) {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    double x = NumberArgument(node, 0);
    Check(x);
    SetNumber(value, type, fn_(x));
  }

 protected:
  // Refuses arguments outside the function's domain.
  virtual void Check(double) const {}

 private:
  double (*fn_)(double);
};

class TxbUDFAbsolute : public TxbUnaryMath {
 public:
  TxbUDFAbsolute() : TxbUnaryMath("ABS", [](double x) { return std::fabs(x); }) {}
};

class TxbUDFInt : public TxbUnaryMath {
 public:
  TxbUDFInt() : TxbUnaryMath("INT", [](double x) { return std::trunc(x); }) {}
};

class TxbUDFCeiling : public TxbUnaryMath {
 public:
  TxbUDFCeiling() : TxbUnaryMath("CEILING", [](double x) { return std::ceil(x); }) {}
};

class TxbUDFFloor : public TxbUnaryMath {
 public:
  TxbUDFFloor() : TxbUnaryMath("FLOOR", [](double x) { return std::floor(x); }) {}
};

class TxbUDFLog : public TxbUnaryMath {
 public:
  TxbUDFLog() : TxbUnaryMath("LOG", [](double x) { return std::log(x); }) {}

 protected:
  void Check(double x) const override {
    if (x <= 0) MustBe("LOG", "> 0");
  }
};

class TxbUDFLog10 : public TxbUnaryMath {
 public:
  TxbUDFLog10() : TxbUnaryMath("LOG10", [](double x) { return std::log10(x); }) {}

 protected:
  void Check(double x) const override {
    if (x <= 0) MustBe("LOG10", "> 0");
  }
};

class TxbUDFArcCos : public TxbUnaryMath {
 public:
  TxbUDFArcCos() : TxbUnaryMath("ACOS", [](double x) { return std::acos(x); }) {}

 protected:
  void Check(double x) const override {
    if (std::fabs(x) > 1) MustBe("ACOS", "-1 to +1");
  }
};

class TxbUDFArcSin : public TxbUnaryMath {
 public:
  TxbUDFArcSin() : TxbUnaryMath("ASIN", [](double x) { return std::asin(x); }) {}

 protected:
  void Check(double x) const override {
    if (std::fabs(x) > 1) MustBe("ASIN", "-1 to +1");
  }
};

class TxbUDFArcTan : public TxbUnaryMath {
 public:
  TxbUDFArcTan() : TxbUnaryMath("ATAN", [](double x) { return std::atan(x); }) {}
};

class TxbUDFCosine : public TxbUnaryMath {
 public:
  TxbUDFCosine() : TxbUnaryMath("COS", [](double x) { return std::cos(x); }) {}
};

class TxbUDFSin : public TxbUnaryMath {
 public:
  TxbUDFSin() : TxbUnaryMath("SIN", [](double x) { return std::sin(x); }) {}
};

class TxbUDFTan : public TxbUnaryMath {
 public:
  TxbUDFTan() : TxbUnaryMath("TAN", [](double x) { return std::tan(x); }) {}
};

class TxbUDFDegToRad : public TxbUnaryMath {
 public:
  TxbUDFDegToRad() : TxbUnaryMath("DTOR", [](double x) { return x * kPi / 180; }) {}
};

class TxbUDFRadToDeg : public TxbUnaryMath {
 public:
  TxbUDFRadToDeg() : TxbUnaryMath("RTOD", [](double x) { return x * 180 / kPi; }) {}
};

class TxbUDFArcTan2 : public TxbBuiltinFunction {
 public:
  TxbUDFArcTan2() : TxbBuiltinFunction("ATN2") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    double y = NumberArgument(node, 0);
    double x = NumberArgument(node, 1);
    SetNumber(value, type, std::atan2(y, x));
  }
};

class TxbUDFPi : public TxbBuiltinFunction {
 public:
  TxbUDFPi() : TxbBuiltinFunction("PI") {}
  void Evaluate(TxbExpFunction&, Variant& value, ExpressionValueType& type) override {
    SetNumber(value, type, kPi);
  }
};

// Remainder of the truncated operands, with the sign of the dividend.
class TxbUDFMod : public TxbBuiltinFunction {
 public:
  TxbUDFMod() : TxbBuiltinFunction("MOD") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    double a = std::trunc(NumberArgument(node, 0));
    double b = std::trunc(NumberArgument(node, 1));
    if (b == 0) throw EDivByZero("Division by zero");
    SetNumber(value, type, std::fmod(a, b));
  }
};

// FV and PV of an annuity: payment, rate, periods, the other value
// (present for FV, future for PV) and the payment time, 0 (end of period)
// or 1 (start).
class TxbAnnuity : public TxbBuiltinFunction {
 public:
  TxbAnnuity(const char* name, const char* timeLabel) : TxbBuiltinFunction(name), timeLabel_(timeLabel) {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    double payment = NumberArgument(node, 0);
    double rate = NumberArgument(node, 1);
    double periods = std::trunc(NumberArgument(node, 2));
    double other = HasArgument(node, 3) ? NumberArgument(node, 3) : 0;
    double time = HasArgument(node, 4) ? std::trunc(NumberArgument(node, 4)) : 0;
    // Only the two payment times exist; -1 is refused like 2.
    if (time != 0 && time != 1) MustBe(timeLabel_, "0 or 1");
    SetNumber(value, type, std::fabs(Compute(payment, rate, periods, other, time)));
  }

 protected:
  // growth = (1 + r)^n; annuity = p * (1 + r*t) * (growth - 1) / r.
  static double Growth(double rate, double periods) { return CheckedFloat(std::pow(1 + rate, periods)); }
  static double Annuity(double payment, double rate, double growth, double time) {
    return CheckedFloat(CheckedDivide(CheckedFloat(payment * (1 + rate * time) * (growth - 1)), rate));
  }
  virtual double Compute(double payment, double rate, double periods, double other, double time) const = 0;

 private:
  const char* timeLabel_;
};

class TxbUDFFutureValue : public TxbAnnuity {
 public:
  TxbUDFFutureValue() : TxbAnnuity("FV", "FV PaymentTime") {}

 protected:
  double Compute(double p, double r, double n, double pv, double t) const override {
    if (r == 0) return CheckedFloat(pv + p * n);
    double growth = Growth(r, n);
    return CheckedFloat(CheckedFloat(pv * growth) + Annuity(p, r, growth, t));
  }
};

class TxbUDFPresentValue : public TxbAnnuity {
 public:
  TxbUDFPresentValue() : TxbAnnuity("PV", "PV PaymentTime") {}

 protected:
  double Compute(double p, double r, double n, double fv, double t) const override {
    if (r == 0) return CheckedFloat(fv + p * n);
    double growth = Growth(r, n);
    return CheckedDivide(CheckedFloat(fv + Annuity(p, r, growth, t)), growth);
  }
};

// STR: the number right-aligned in width with the given decimals; a number
// that does not fit gives width times "*".
class TxbUDFStr : public TxbBuiltinFunction {
 public:
  TxbUDFStr() : TxbBuiltinFunction("STR") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    SetText(value, type, Formatted(node));
  }
  TypedNodePtr Typed(const TxbExpFunction& node, TypedArguments& arguments) const override {
    if (arguments.empty() || arguments.size() > 3) return nullptr;
    for (const TypedNodePtr& argument : arguments)
      if (!IsNumericType(argument->Type())) return nullptr;
    return std::make_unique<TypedStr>(node, arguments);
  }

 protected:
  explicit TxbUDFStr(const char* name) : TxbBuiltinFunction(name) {}

  AnsiString Formatted(TxbExpFunction& node) const {
    double number = NumberArgument(node, 0);
    int32_t width;
    if (HasArgument(node, 1)) {
      width = ClampToInt32(NumberArgument(node, 1));
    } else {
      TxbExpUserLink* link = node.Handler()->NodeLink(node);
      width = link ? link->DefaultNumberWidth() : 10;
      if (width < 0) width = node.Handler()->ArgumentWidth(node, 0);
    }
    int32_t decimals = HasArgument(node, 2) ? ClampToInt32(NumberArgument(node, 2)) : 0;
    AnsiString text;
    AppendFormatted(text, number, width, decimals);
    return text;
  }

  static void AppendFormatted(AnsiString& out, double number, int32_t width, int32_t decimals) {
    if (width <= 0) return;
    CheckTextLength(static_cast<uint64_t>(width));
    AnsiString digits = FormatFixedNumber(number, decimals, static_cast<std::size_t>(width));
    if (digits.empty()) {
      out.append(static_cast<std::size_t>(width), '*');
    } else {
      out.append(static_cast<std::size_t>(width) - digits.size(), ' ');
      out += digits;
    }
  }

 private:
  class TypedStr : public TypedNode {
   public:
    TypedStr(const TxbExpFunction& node, TypedArguments& arguments)
        : TypedNode(etText), node_(node), link_(node.Handler()->NodeLink(node)) {
      number_ = std::move(arguments[0]);
      if (arguments.size() > 1) width_ = std::move(arguments[1]);
      if (arguments.size() > 2) decimals_ = std::move(arguments[2]);
    }
    void AppendText(AnsiString& out) override {
      const double number = number_->Number();
      int32_t width;
      if (width_) {
        width = ClampToInt32(width_->Number());
      } else {
        width = link_ ? link_->DefaultNumberWidth() : 10;
        if (width < 0) width = node_.Handler()->ArgumentWidth(node_, 0);
      }
      const int32_t decimals = decimals_ ? ClampToInt32(decimals_->Number()) : 0;
      const std::size_t start = out.size();
      AppendFormatted(out, number, width, decimals);
      ChargeText(out.size() - start);
    }

   private:
    const TxbExpFunction& node_;
    TxbExpUserLink* link_;
    TypedNodePtr number_;
    TypedNodePtr width_;
    TypedNodePtr decimals_;
  };
};

// STRZERO: STR with zeros in place of the leading blanks, after the sign of
// a negative number ("-0042"), so the text still reads as that number.
class TxbUDFStrZero : public TxbUDFStr {
 public:
  TxbUDFStrZero() : TxbUDFStr("STRZERO") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    AnsiString text = Formatted(node);
    std::size_t digits = text.find_first_not_of(' ');
    if (digits != AnsiString::npos && text[digits] != '*') {
      bool negative = text[digits] == '-';
      AnsiString number = text.substr(negative ? digits + 1 : digits);
      AnsiString zeros(text.size() - number.size() - (negative ? 1 : 0), '0');
      text = (negative ? "-" : "") + zeros + number;
    }
    SetText(value, type, std::move(text));
  }
  TypedNodePtr Typed(const TxbExpFunction&, TypedArguments&) const override { return nullptr; }
};

// VAL: the locale's decimal separator first, then "." (what STR and N
// fields write); a text that is neither gives 0.
class TxbUDFVal : public TxbBuiltinFunction {
 public:
  TxbUDFVal() : TxbBuiltinFunction("VAL") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    AnsiString text = TextArgument(node, 0);
    double number = 0;
    if (!TryStrToFloat(text, number) && !TryStrToFloat(text, number, DotDecimalSettings())) number = 0;
    SetNumber(value, type, number);
  }
};

}  // namespace

void RegisterNumberFunctions(TxbFunctionReg& registry) {
  registry.Register(new TxbUDFAbsolute);
  registry.Register(new TxbUDFInt);
  registry.Register(new TxbUDFCeiling);
  registry.Register(new TxbUDFFloor);
  registry.Register(new TxbUDFMod);
  registry.Register(new TxbUDFLog);
  registry.Register(new TxbUDFLog10);
  registry.Register(new TxbUDFArcCos);
  registry.Register(new TxbUDFArcSin);
  registry.Register(new TxbUDFArcTan);
  registry.Register(new TxbUDFArcTan2);
  registry.Register(new TxbUDFCosine);
  registry.Register(new TxbUDFSin);
  registry.Register(new TxbUDFTan);
  registry.Register(new TxbUDFDegToRad);
  registry.Register(new TxbUDFRadToDeg);
  registry.Register(new TxbUDFPi);
  registry.Register(new TxbUDFFutureValue);
  registry.Register(new TxbUDFPresentValue);
  registry.Register(new TxbUDFStr);
  registry.Register(new TxbUDFStrZero);
  registry.Register(new TxbUDFVal);
}
