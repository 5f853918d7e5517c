// The application's date edits are templates over the two date edits;
// this unit keeps their instantiations in the library.
#include "ui/date_edits/lomrid_date_edit.h"

template class TLomridDateEditOf<TDateEdit>;
template class TLomridDateEditOf<TDBDateEdit>;
