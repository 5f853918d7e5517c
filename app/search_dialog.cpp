#include "app/main_window.h"

void TPlatebna::Button1Click(TObject* Sender) { (void)Sender; }
