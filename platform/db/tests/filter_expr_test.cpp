// Filter expression parser: trees for the grammar's constructs and errors
// that name their position.
#include "platform/db/filter_expr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "platform/db/db_errors.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"

namespace {

// A compact prefix form of a tree: (op child child), field F:NAME, constant
// type:value, compare nodes with their options.
std::string Dump(const TFilterNode* n) {
  if (!n) return "-";
  auto op = [](TCANOperator o) -> std::string {
    static const std::map<TCANOperator, std::string> names = {
        {coISBLANK, "ISBLANK"}, {coNOTBLANK, "NOTBLANK"}, {coEQ, "="},     {coNE, "<>"},
        {coGT, ">"},            {coLT, "<"},              {coGE, ">="},    {coLE, "<="},
        {coNOT, "NOT"},         {coAND, "AND"},           {coOR, "OR"},    {coMINUS, "NEG"},
        {coADD, "+"},           {coSUB, "-"},             {coMUL, "*"},    {coDIV, "/"},
        {coLIKE, "LIKE"},       {coIN, "IN"},             {coUPPER, "UPPER"}, {coLOWER, "LOWER"}};
    auto it = names.find(o);
    return it == names.end() ? "?" : it->second;
  };
  switch (n->nodeClass) {
    case nodeFIELD: return "F:" + n->name;
    case nodeNULL: return "NULL";
    case nodeCONST: {
      int32_t i = 0;
      int16_t b = 0;
      double d = 0;
      switch (n->dataType) {
        case ftString: return "'" + n->data + "'";
        case ftInteger: std::memcpy(&i, n->data.data(), 4); return "I" + std::to_string(i);
        case ftDate: std::memcpy(&i, n->data.data(), 4); return "D" + std::to_string(i);
        case ftTime: std::memcpy(&i, n->data.data(), 4); return "T" + std::to_string(i);
        case ftBoolean: std::memcpy(&b, n->data.data(), 2); return b ? "TRUE" : "FALSE";
        case ftFloat: std::memcpy(&d, n->data.data(), 8); return "R" + std::to_string(d);
        case ftDateTime: std::memcpy(&d, n->data.data(), 8); return "DT" + std::to_string(int64_t(d));
        default: return "?";
      }
    }
    case nodeUNARY: return "(" + op(n->op) + " " + Dump(n->left.get()) + ")";
    case nodeBINARY: return "(" + op(n->op) + " " + Dump(n->left.get()) + " " + Dump(n->right.get()) + ")";
    case nodeCOMPARE:
      return "(CMP" + op(n->op) + (n->caseInsensitive ? "/i" : "") + "/" + std::to_string(n->partialLength) +
             " " + Dump(n->left.get()) + " " + Dump(n->right.get()) + ")";
    case nodeFUNC: return "(FN " + n->name + " " + Dump(n->left.get()) + ")";
    case nodeLISTELEM: return "[" + Dump(n->left.get()) + " " + Dump(n->right.get()) + "]";
    default: return "?";
  }
}

bool Types(const AnsiString& name, TFieldType& type) {
  static const std::map<std::string, TFieldType> fields = {
      {"NAME", ftString}, {"AMOUNT", ftFloat}, {"DAY", ftDate}, {"AT", ftTime}, {"STAMP", ftDateTime},
      {"SES TYP", ftString}, {"N", ftInteger}};
  auto it = fields.find(UpperCase(name));
  if (it == fields.end()) return false;
  type = it->second;
  return true;
}

TEST(FilterExpr, ParseTreesFollowPrecedence) {
  struct Row {
    const char* text;
    TFilterOptions options;
    const char* tree;
  } rows[] = {
      {"N = 1 OR N = 2 AND NOT N > 3", {}, "(OR (= F:N I1) (AND (= F:N I2) (NOT (> F:N I3))))"},
      {"N + 2 * -N >= 1.5", {}, "(>= (+ F:N (* I2 (NEG F:N))) R1.500000)"},
      {"(N - 1) / 2 <> 0", {}, "(<> (/ (- F:N I1) I2) I0)"},
      {"NAME = 'O''Brien'", {}, "(= F:NAME 'O'Brien')"},
      {"NAME = 'AB*'", {}, "(CMP=/2 F:NAME 'AB')"},
      {"NAME <> 'AB*'", {foNoPartialCompare}, "(<> F:NAME 'AB*')"},
      {"NAME = 'ab'", {foCaseInsensitive}, "(CMP=/i/0 F:NAME 'ab')"},
      {"UPPER(NAME) LIKE 'AB*'", {}, "(LIKE (UPPER F:NAME) 'AB*')"},
      {"N IN (1, 2, NULL)", {}, "(IN F:N [I1 [I2 [NULL -]]])"},
      {"NAME IS NULL OR [ses typ] IS NOT NULL", {}, "(OR (ISBLANK F:NAME) (NOTBLANK F:ses typ))"},
      {"SUBSTRING(NAME, 2, 3) = 'x' and true", {}, "(AND (= (FN SUBSTRING [F:NAME [I2 [I3 -]]]) 'x') TRUE)"},
      {"YEAR(DAY) = 2024", {}, "(= (FN YEAR F:DAY) I2024)"},
      {"DAY = '1.3.2024'", {}, "(= F:DAY D738946)"},
      {"AT < '12:30'", {}, "(< F:AT T45000000)"},
      {"STAMP >= '1.1.1900 6:00'", {}, "(>= F:STAMP DT59926716000000)"},
      {"N > 3000000000", {}, "(> F:N R3000000000.000000)"},
  };
  for (const Row& r : rows) {
    auto tree = ParseFilterExpression(r.text, r.options, Types);
    EXPECT_EQ(Dump(tree.get()), r.tree) << r.text;
  }
}

TEST(FilterExprMalformed, ErrorsNameThePosition) {
  struct Row {
    std::string text;
    const char* message;
  } rows[] = {
      {"NAME = 'abc", "Unterminated string in filter expression at position 8"},
      {"(N = 1", "Expected ')' in filter expression at position 7"},
      {"N = ", "Expected an operand, found 'end of text' in filter expression at position 5"},
      {"N = 1 2", "Unexpected '2' in filter expression at position 7"},
      {"N # 1", "Unexpected character '#' in filter expression at position 3"},
      {"[NAME = 1", "Missing ']' in filter expression at position 1"},
      {"MISSING = 1", "Field 'MISSING' not found in filter expression at position 1"},
      {"N IS 1", "Expected NULL, found '1' in filter expression at position 6"},
      {"DAY = 'soon'", "'soon' is not a valid date or time in filter expression"},
      {std::string(5000, '('), "Filter expression nested too deeply at position 72"},
  };
  for (const Row& r : rows) {
    try {
      ParseFilterExpression(r.text, {}, Types);
      ADD_FAILURE() << "no error for " << r.text;
    } catch (const EDatabaseError& e) {
      EXPECT_STREQ(e.what(), r.message) << r.text;
    }
  }
  // A long flat chain is refused before it can exhaust a recursive walker.
  std::string chain = "N";
  for (int i = 0; i < 5000; ++i) chain += " + N";
  EXPECT_THROW(ParseFilterExpression(chain, {}, Types), EDatabaseError);
}

}  // namespace
