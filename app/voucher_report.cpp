// The cash voucher page (report kind 1).
#include "app/report_module.h"

#include "report/base_report.h"

void TDataSestavy::PrintVoucher(TBaseReport* report) { (void)report; }
