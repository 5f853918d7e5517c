// Layout of the re-indexing progress window: a tool window without border
// icons, centred on the screen, client area 376 x 78.
#include "app/progress_window.h"

#include "platform/rtl/system.h"

TProgresWin::TProgresWin(TComponent* owner) : TForm(owner) {
  SetName("ProgresWin");
  SetBorderStyle(bsToolWindow);
  SetBorderIcons({});
  SetPosition(poScreenCenter);
  SetCaption(Cz("Indexace datových souborů"));
  Font()->SetCharset(EASTEUROPE_CHARSET);
  SetClientWidth(376);
  SetClientHeight(78);

  Label2 = new TLabel(this);
  Label2->SetName("Label2");
  Label2->SetParent(this);
  Label2->SetBounds(24, 16, 90, 13);
  Label2->SetCaption("Indexace souboru :");

  Label1 = new TLabel(this);
  Label1->SetName("Label1");
  Label1->SetParent(this);
  Label1->SetAutoSize(false);
  Label1->SetBounds(128, 16, 225, 13);
  Label1->SetCaption("");

  Gauge1 = new TGauge(this);
  Gauge1->SetName("Gauge1");
  Gauge1->SetParent(this);
  Gauge1->SetBounds(24, 40, 329, 25);
  Gauge1->SetMinValue(0);
  Gauge1->SetMaxValue(100);
  Gauge1->SetProgress(0);
}
