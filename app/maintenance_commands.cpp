// The configuration menu's commands: the operation types, the company
// header and the system settings.
#include "app/main_window.h"

void TPlatebna::Udajeofirm1Click(TObject* Sender) { (void)Sender; }
void TPlatebna::Typypjmavdej1Click(TObject* Sender) { (void)Sender; }
void TPlatebna::Nastaventiskrny1Click(TObject* Sender) { (void)Sender; }
