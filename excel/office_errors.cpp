// The exception classes are header-only; this unit keeps the library's
// source list complete for the header.
#include "excel/office_errors.h"
