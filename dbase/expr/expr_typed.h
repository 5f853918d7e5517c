// The typed form of a compiled expression, private to the expression
// language. Where every node's type is fixed before evaluation (literals,
// variables of a fixed type, operators and built-ins over them), the tree is
// mirrored by nodes that hand doubles, Booleans and texts straight to their
// parents: no variant per node, and a text result grows in one buffer
// instead of a temporary per operand.
//
// Invariant: a typed node computes exactly what the general evaluation of
// its node computes on the same record, raises the same errors in the same
// order (operands right before left, as the general path does), and charges
// the same text against the evaluation's budget. Anything whose type or
// order could differ has no typed form, and the handler keeps the general
// path for the whole expression.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "dbase/expr/expression.h"

class TypedNode {
 public:
  explicit TypedNode(ExpressionValueType type) : type_(type) {}
  virtual ~TypedNode() = default;
  TypedNode(const TypedNode&) = delete;
  TypedNode& operator=(const TypedNode&) = delete;

  // Text, Boolean or one of the numeric family.
  ExpressionValueType Type() const { return type_; }
  // The value of a numeric node (a date as its day).
  virtual double Number();
  // The value of a Boolean node.
  virtual bool Logical();
  // Appends the value of a text node to out.
  virtual void AppendText(AnsiString& out);
  // A literal's text (which raises nothing and depends on nothing); null
  // for every other node.
  virtual const AnsiString* ConstantText() const { return nullptr; }
  // True for literals of any type.
  virtual bool Constant() const { return false; }
  // How a Boolean node is tested by its handler: a function of the node
  // (Logical through the node's class by default; a node may hand its own
  // test, which saves a dispatch per record).
  using Test = bool (*)(TypedNode&);
  virtual Test ConditionTest() const {
    return [](TypedNode& node) { return node.Logical(); };
  }

 private:
  ExpressionValueType type_;
};

using TypedNodePtr = std::unique_ptr<TypedNode>;
using TypedArguments = std::vector<TypedNodePtr>;

// The text of a node: a literal's own text, else the node's value built in
// scratch (cleared first).
inline std::string_view TypedText(TypedNode& node, AnsiString& scratch) {
  if (const AnsiString* constant = node.ConstantText()) return *constant;
  scratch.clear();
  node.AppendText(scratch);
  return scratch;
}

// The typed form of a subtree; null when some node in it has none.
TypedNodePtr CompileTypedNode(const TxbExpBaseObject& node);
