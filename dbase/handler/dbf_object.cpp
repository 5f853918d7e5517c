// DBFObject: the handler's two hooks forwarded to callbacks.
#include "dbase/handler/dbf_object.h"

bool DBFObject::AcceptRecord() { return OnAcceptRecord ? OnAcceptRecord() : true; }

void DBFObject::StatusReport(int status, int current, int total) {
  if (OnStatusReport) OnStatusReport(status, current, total);
}
