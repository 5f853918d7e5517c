#include "memtable/mem_table_errors.h"

void MemTableError(const AnsiString& message) { throw EMemTableError(message); }

AnsiString UnsupportedTypeMessage(const AnsiString& name, const AnsiString& displayName,
                                  int typeOrdinal) {
  // Built by pieces so that names are never taken for format directives.
  return "Fielddef " + name + " (" + displayName + ")" + " Datatype " + IntToStr(typeOrdinal) +
         " not supported.)";
}
