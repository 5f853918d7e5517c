// Evaluation of a parsed filter expression (platform/db/filter_expr.h)
// against one record of an in-memory table: field nodes read the table's
// fields, which read the record the table evaluates at the moment.
#pragma once

#include "platform/db/filter_expr.h"
#include "platform/rtl/variant.h"

class TmtCustomMemTable;

// The value of node; the errors are EMemTableError with the texts
// "Operator not supported (%d).", "Unknown operator (%d)",
// "Unknown fieldtype (%d)", "Invalid function name %s" and
// "Invalid or missing parameter for function %s".
Variant EvaluateFilterNode(TmtCustomMemTable& table, const TFilterNode& node);
// The expression's answer: its value as a Boolean, null or empty as false.
bool EvaluateFilter(TmtCustomMemTable& table, const TFilterNode& root);
