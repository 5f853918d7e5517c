// The filter evaluator: a recursive walk of the parser's node tree (whose
// depth the parser bounds), with the class library's variant semantics for
// comparisons and arithmetic.
#include "memtable/filter_eval.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "platform/db/fields.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/mask_matching.h"

namespace {

[[noreturn]] void NotSupported(int op) { MemTableError(Format("Operator not supported (%d).", op)); }

template <class T>
T Get(const std::string& data) {
  T value{};
  if (data.size() < sizeof(T)) MemTableError(Format("Unknown fieldtype (%d)", -1));
  std::memcpy(&value, data.data(), sizeof(T));
  return value;
}

Variant Constant(const TFilterNode& n) {
  switch (n.dataType) {
    case ftString:
    case ftFixedChar: return Variant(n.data);
    case ftSmallint:
    case ftWord: return Variant(static_cast<int64_t>(Get<int16_t>(n.data)));
    case ftInteger:
    case ftAutoInc: return Variant(static_cast<int64_t>(Get<int32_t>(n.data)));
    case ftFloat:
    case ftCurrency: return Variant(Get<double>(n.data));
    case ftBoolean: return Variant(Get<int16_t>(n.data) != 0);
    case ftBCD: {
      TBcd bcd = Get<TBcd>(n.data);
      Currency c;
      if (!TryBcdToCurrency(bcd, c)) MemTableError(Format("Unknown fieldtype (%d)", static_cast<int>(ftBCD)));
      return Variant(c);
    }
    case ftDate: {
      TTimeStamp stamp;
      stamp.Date = Get<int32_t>(n.data);
      return Variant::FromDateTime(TimeStampToDateTime(stamp));
    }
    case ftTime: {
      TTimeStamp stamp;
      stamp.Date = static_cast<int32_t>(kFilterDateDelta);
      stamp.Time = Get<int32_t>(n.data);
      return Variant::FromDateTime(TimeStampToDateTime(stamp));
    }
    case ftDateTime: {
      double msecs = Get<double>(n.data);
      if (!std::isfinite(msecs) || std::fabs(msecs) > 1e17) {
        MemTableError(Format("Unknown fieldtype (%d)", static_cast<int>(ftDateTime)));
      }
      return Variant::FromDateTime(TimeStampToDateTime(MSecsToTimeStamp(msecs)));
    }
    default: MemTableError(Format("Unknown fieldtype (%d)", static_cast<int>(n.dataType)));
  }
}

bool Blank(const Variant& v) { return v.IsEmpty() || v.IsNull(); }

// The elements of a list-element chain, stopping at the first empty one.
std::vector<Variant> ListValues(TmtCustomMemTable& table, const TFilterNode* n) {
  std::vector<Variant> out;
  for (; n && n->nodeClass == nodeLISTELEM; n = n->right.get()) {
    if (!n->left) break;
    Variant v = EvaluateFilterNode(table, *n->left);
    if (v.IsEmpty()) break;
    out.push_back(std::move(v));
  }
  return out;
}

AnsiString Cut(AnsiString s, int length) {
  if (length > 0 && static_cast<int>(s.size()) > length) s.resize(static_cast<std::size_t>(length));
  return s;
}

Variant CallFunction(TmtCustomMemTable& table, const TFilterNode& n) {
  if (n.op != coFUNC2) NotSupported(n.op);
  const AnsiString name = UpperCase(n.name);
  static const char* const kNames[] = {"UPPER", "LOWER", "SUBSTRING", "TRIM", "TRIMLEFT", "TRIMRIGHT",
                                       "GETDATE", "YEAR", "MONTH", "DAY", "HOUR", "MINUTE",
                                       "SECOND", "DATE", "TIME"};
  bool known = false;
  for (const char* k : kNames) known = known || name == k;
  if (!known) MemTableError(Format("Invalid function name %s", name));
  try {
    Variant arg = n.left ? EvaluateFilterNode(table, *n.left) : Variant();
    std::vector<Variant> args;
    if (arg.IsArray()) {
      for (int i = arg.ArrayLowBound(); i <= arg.ArrayHighBound(); ++i) args.push_back(arg.Element(i));
    } else {
      args.push_back(arg);
    }
    auto need = [&](std::size_t count) {
      if (args.size() < count) throw EVariantError("missing parameter");
    };
    if (name == "UPPER") return Variant(AnsiUpperCase(arg.AsString()));
    if (name == "LOWER") return Variant(AnsiLowerCase(arg.AsString()));
    if (name == "TRIM") return Variant(Trim(arg.AsString()));
    if (name == "TRIMLEFT") return Variant(TrimLeft(arg.AsString()));
    if (name == "TRIMRIGHT") return Variant(TrimRight(arg.AsString()));
    if (name == "GETDATE") return Variant::FromDateTime(Now());
    if (name == "SUBSTRING") {
      need(2);
      AnsiString text = args[0].AsString();
      int64_t from = 0;
      int64_t length = args.size() > 2 ? args[2].AsInt64() : 0;
      AnsiString second = args[1].AsString();
      std::size_t comma = second.find(',');
      if (length == 0 && comma != AnsiString::npos) {
        from = StrToInt(Trim(second.substr(0, comma)));
        length = StrToInt(Trim(second.substr(comma + 1)));
      } else {
        from = args[1].AsInt64();
        if (length == 0) length = static_cast<int64_t>(text.size());
      }
      if (from < 1) from = 1;
      if (length <= 0 || from > static_cast<int64_t>(text.size())) return Variant(AnsiString());
      return Variant(text.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(length)));
    }
    if (name == "DATE" || name == "TIME") {
      if (args.size() >= 2) {
        // The format goes into a local copy: the process settings stay.
        TFormatSettings settings = FormatSettings();
        TDateTime value = 0;
        bool ok;
        // The separator is the format's own (the first character that is
        // no format letter), as a reader of the format would expect.
        AnsiString format = args[1].AsString();
        char separator = 0;
        for (char c : format) {
          bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
          if (!letter && c != ' ' && c != '\'' && c != '"') {
            separator = c;
            break;
          }
        }
        if (name == "DATE") {
          settings.ShortDateFormat = format;
          if (separator) settings.DateSeparator = separator;
          ok = TryStrToDate(args[0].AsString(), value, settings);
        } else {
          settings.ShortTimeFormat = settings.LongTimeFormat = format;
          if (separator) settings.TimeSeparator = separator;
          ok = TryStrToTime(args[0].AsString(), value, settings);
        }
        if (!ok) throw EConvertError("not a date");
        return Variant::FromDateTime(value);
      }
      if (arg.IsNull()) return Variant::Null();
      double dt = arg.AsDateTime();
      if (name == "DATE") return Variant(static_cast<int64_t>(std::trunc(dt)));
      return Variant(dt - std::trunc(dt));
    }
    // An empty date has no parts: null, so that the record simply fails
    // the comparison instead of the whole filter failing.
    if (arg.IsNull()) return Variant::Null();
    TDateTime dt = arg.AsDateTime();
    int year, month, day, hour, minute, second, msec;
    DecodeDate(dt, year, month, day);
    DecodeTime(dt, hour, minute, second, msec);
    int part = name == "YEAR" ? year : name == "MONTH" ? month : name == "DAY" ? day
             : name == "HOUR" ? hour : name == "MINUTE" ? minute : second;
    return Variant(static_cast<int64_t>(part));
  } catch (const EVariantError&) {
    MemTableError(Format("Invalid or missing parameter for function %s", name));
  } catch (const EConvertError&) {
    MemTableError(Format("Invalid or missing parameter for function %s", name));
  }
}

Variant Unary(TmtCustomMemTable& table, const TFilterNode& n) {
  Variant v = n.left ? EvaluateFilterNode(table, *n.left) : Variant();
  switch (n.op) {
    case coISBLANK: return Variant(Blank(v));
    case coNOTBLANK: return Variant(!Blank(v));
    case coNOT: return v.IsNull() ? v : Variant(!v.AsBool());
    case coMINUS: return Variant(int64_t{0}) - v;
    case coUPPER: return Variant(AnsiUpperCase(v.AsString()));
    case coLOWER: return Variant(AnsiLowerCase(v.AsString()));
    default: NotSupported(n.op);
  }
}

Variant Binary(TmtCustomMemTable& table, const TFilterNode& n) {
  if (!n.left || !n.right) NotSupported(n.op);
  Variant a = EvaluateFilterNode(table, *n.left);
  switch (n.op) {
    case coAND:
      if (!a.IsNull() && !a.AsBool()) return Variant(false);
      return Variant(!a.IsNull() && EvaluateFilterNode(table, *n.right).AsBool());
    case coOR:
      if (!a.IsNull() && a.AsBool()) return Variant(true);
      {
        Variant b = EvaluateFilterNode(table, *n.right);
        return Variant(!b.IsNull() && b.AsBool());
      }
    case coIN: {
      if (n.right->nodeClass != nodeLISTELEM) return Variant(a == EvaluateFilterNode(table, *n.right));
      for (const Variant& item : ListValues(table, n.right.get()))
        if (a == item) return Variant(true);
      return Variant(false);
    }
    default: break;
  }
  Variant b = EvaluateFilterNode(table, *n.right);
  switch (n.op) {
    case coEQ: return Variant(a == b);
    case coNE: return Variant(a != b);
    case coGT: return Variant(a > b);
    case coLT: return Variant(a < b);
    case coGE: return Variant(a >= b);
    case coLE: return Variant(a <= b);
    case coADD: return a + b;
    case coSUB: return a - b;
    case coMUL: return a * b;
    case coDIV: return a / b;
    case coMOD:
    case coREM: return a % b;
    case coLIKE: return Variant(MatchesMask(a.AsString(), b.AsString()));
    default: NotSupported(n.op);
  }
}

Variant Compare(TmtCustomMemTable& table, const TFilterNode& n) {
  if (!n.left || !n.right) NotSupported(n.op);
  AnsiString a = EvaluateFilterNode(table, *n.left).AsString();
  AnsiString b = EvaluateFilterNode(table, *n.right).AsString();
  if (n.caseInsensitive) {
    a = AnsiUpperCase(a);
    b = AnsiUpperCase(b);
  }
  a = Cut(std::move(a), n.partialLength);
  b = Cut(std::move(b), n.partialLength);
  switch (n.op) {
    case coEQ: return Variant(a == b);
    case coNE: return Variant(a != b);
    case coLIKE: return Variant(MatchesMask(a, b));
    default: NotSupported(n.op);
  }
}

}  // namespace

Variant EvaluateFilterNode(TmtCustomMemTable& table, const TFilterNode& node) {
  switch (node.nodeClass) {
    case nodeUNARY: return Unary(table, node);
    case nodeBINARY: return Binary(table, node);
    case nodeCOMPARE: return Compare(table, node);
    case nodeFIELD:
      if (node.op != coFIELD2) MemTableError(Format("Unknown operator (%d)", static_cast<int>(node.op)));
      return table.FieldByName(node.name)->AsVariant();
    case nodeCONST: return Constant(node);
    case nodeFUNC: return CallFunction(table, node);
    case nodeLISTELEM: return Variant::Array(ListValues(table, &node));
    default: return Variant();  // null, tuple, continue, user function and list nodes
  }
}

bool EvaluateFilter(TmtCustomMemTable& table, const TFilterNode& root) {
  Variant v = EvaluateFilterNode(table, root);
  return !Blank(v) && v.AsBool();
}
