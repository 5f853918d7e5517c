// Dataset filter expressions: the parser of the filter syntax datasets
// accept in their Filter property, and the node tree it produces. The
// parser knows no dataset class; whoever filters walks the tree.
//
// Grammar, loosest binding first:
//   OR  <  AND  <  NOT  <  comparison  <  + -  <  * /  <  unary -
//   comparison: = <> < > <= >=, LIKE, IN (list), IS [NOT] NULL
//   operands:   field names (bare, or [in brackets] for names with blanks),
//               'strings' ('' inside), integers, decimals with ".", NULL,
//               TRUE, FALSE, (expressions) and calls NAME(args)
// UPPER(x) and LOWER(x) become unary nodes, other calls function nodes
// (whose names the evaluator checks). A string compared with a date, time
// or date-time field is converted to that type here, with the process
// format settings. "=" and "<>" between a text field and a string become
// compare nodes: a string ending in "*" compares only the characters before
// it (unless foNoPartialCompare), and foCaseInsensitive ignores case.
//
// Errors raise EDatabaseError naming the 1-based position in the text.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/db/db_types.h"

// Node classes and operators, with the ordinals of the class library's
// filter node buffers.
enum TNodeClass : int {
  nodeNULL, nodeUNARY, nodeBINARY, nodeCOMPARE, nodeFIELD, nodeCONST, nodeTUPLE,
  nodeCONTINUE, nodeUDF, nodeLIST, nodeFUNC, nodeLISTELEM
};

enum TCANOperator : int {
  coNOTDEFINED, coISBLANK, coNOTBLANK, coEQ, coNE, coGT, coLT, coGE, coLE, coNOT, coAND, coOR,
  coTUPLE2, coFIELD2, coCONST2, coMINUS, coADD, coSUB, coMUL, coDIV, coMOD, coREM, coSUM,
  coCOUNT, coMIN, coMAX, coAVG, coCONT, coUDF2, coCONTINUE2, coLIKE, coIN, coLIST2, coUPPER,
  coLOWER, coFUNC2, coLISTELEM2, coASSIGN
};

struct TFilterNode {
  TNodeClass nodeClass = nodeNULL;
  TCANOperator op = coNOTDEFINED;
  // Unary: left. Binary and compare: left, right. Function: left holds the
  // argument (one node, or a chain of list elements). List element: left is
  // the element, right the next list element or null.
  std::unique_ptr<TFilterNode> left;
  std::unique_ptr<TFilterNode> right;
  // Field and function nodes.
  AnsiString name;
  // Constant nodes: the type and its value in the node-buffer layout:
  // ftString text; ftSmallint int16; ftInteger int32; ftFloat double;
  // ftBoolean int16 (0 / 1); ftDate int32 days since 0001-01-01 (day 1);
  // ftTime int32 milliseconds since midnight; ftDateTime double
  // milliseconds since 0001-01-01.
  TFieldType dataType = ftUnknown;
  std::string data;
  // Compare nodes.
  bool caseInsensitive = false;
  int partialLength = 0;

  ~TFilterNode();
};

// Tells the field type of a name, false when the dataset has no such field.
using TFilterFieldTypeFn = std::function<bool(const AnsiString& name, TFieldType& type)>;

// Parses text; fieldType may be empty (no field checks, no conversions).
std::unique_ptr<TFilterNode> ParseFilterExpression(std::string_view text, TFilterOptions options,
                                                   const TFilterFieldTypeFn& fieldType);

// Constant nodes: building one from a value, and the date conversions of
// the node-buffer layout.
std::unique_ptr<TFilterNode> MakeFilterConstant(TFieldType type, std::string data);
inline constexpr double kFilterDateDelta = 693594;  // days from 0001-01-01 (day 1) to 1899-12-30
