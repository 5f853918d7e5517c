// The configuration dialogs on the offscreen platform: operation types
// (new, edit, delete), the company header and the system settings with the
// counter's validation and its record lock.
#include <gtest/gtest.h>

#include "app/company_form.h"
#include "app/document_entry.h"
#include "app/settings_dialog.h"
#include "app/tests/entry_support.h"
#include "app/type_edit_form.h"
#include "platform/gui/testing/fake_printers.h"
#include "app/types_overview.h"
#include "dbase/handler/table_handler.h"
#include "testing/child_process.h"

namespace {

using namespace app_test;

template <class Form>
void WithDialog(TMenuItem* item, const std::function<void(Form*)>& script) {
  OnNextModal([&](TCustomForm* f) {
    ProgramScope::Settle();
    script(dynamic_cast<Form*>(f));
  });
  item->Click();
}

bool CounterLockFree(const TempDataDir& dir) {
  ChildProcess child([&](Channel&) {
    XBO_dBHandler t(dir.Data("Cis0001.dbf"), true, true, "");
    t.GoRecord(1);
    return t.LockCurrentRecord() ? 0 : 1;
  });
  return child.Wait() == 0;
}

std::string TypeCoefficient(const TempDataDir& dir, const char* code) {
  auto t = OpenTable(dir.DataDir(), "Fin0000.dbf");
  if (!t->Locate("FIN_TYP", Variant(AnsiString(code)), {})) return "(none)";
  return t->FieldByName("FIN_KOE")->AsString();
}

TEST(MaintenanceDialogsGui, LayoutsAndTexts) {
  TempDataDir dir(5);
  ProgramScope program;
  WithDialog<TPrehledTypu>(Platebna->Typypjmavdej1, [](TPrehledTypu* f) {
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Caption(), Cz("Přehled finančních operací"));
    EXPECT_EQ(f->ClientWidth(), 247);
    EXPECT_EQ(f->ClientHeight(), 249);
    EXPECT_EQ(f->Button2->Caption(), "F4 Oprava");
    EXPECT_EQ(f->Button1->Caption(), Cz("F2 Nový"));
    EXPECT_EQ(f->DBGrid1->Columns()->Count(), 3);
    EXPECT_TRUE(f->DBGrid1->Focused());
    OnNextModal([](TCustomForm* e) {
      auto* form = dynamic_cast<TFinOpeEditForm*>(e);
      ASSERT_NE(form, nullptr);
      EXPECT_EQ(form->Caption(), Cz("Editace typu fin. opearace"));
      EXPECT_EQ(form->ClientWidth(), 247);
      EXPECT_EQ(form->ClientHeight(), 129);
      EXPECT_EQ(form->Label1->Caption(), Cz("Numerický kod typu výdaje"));
      EXPECT_EQ(form->Label2->Caption(), Cz("Textový popis"));
      EXPECT_EQ(form->DBCheckBox1->Caption(), Cz("Výdajová operace"));
      EXPECT_EQ(form->Button2->Caption(), Cz("Zapiš"));
      EXPECT_EQ(form->Button1->Caption(), "Storno");
      KeyClick(form->DBEditKuvet1, VK_ESCAPE);
    });
    KeyClick(f->DBGrid1, VK_F4);
    KeyClick(f->DBGrid1, VK_ESCAPE);
  });
  WithDialog<TVlastnikForm>(Platebna->Udajeofirm1, [](TVlastnikForm* f) {
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Caption(), Cz("Hlavička firmy"));
    EXPECT_EQ(f->ClientWidth(), 255);
    EXPECT_EQ(f->ClientHeight(), 329);
    EXPECT_EQ(f->Labels[0]->Caption(), Cz("Název firmy"));
    EXPECT_EQ(f->Labels[9]->Caption(), Cz("Zápis do OR"));
    EXPECT_EQ(f->Edits[9]->Left(), 8);
    EXPECT_EQ(f->Edits[9]->Width(), 233);
    KeyClick(f->Edits[0], VK_ESCAPE);
  });
  WithDialog<TSystemNastaveni>(Platebna->Nastaventiskrny1, [](TSystemNastaveni* f) {
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Caption(), Cz("Nastavení systémových parametrů"));
    EXPECT_EQ(f->ClientWidth(), 343);
    EXPECT_EQ(f->ClientHeight(), 153);
    EXPECT_EQ(f->TabSheet1->Caption(), Cz("Tiskárny"));
    EXPECT_EQ(f->TabSheet2->Caption(), Cz("Číslování dokladů"));
    EXPECT_EQ(f->Label2->Caption(), Cz("Poslední pořadové číslo dokladu"));
    EXPECT_EQ(f->Left(), Platebna->Left() + 100);
    EXPECT_EQ(f->Top(), Platebna->Top() + 30);
    EXPECT_EQ(f->Button1->Caption(), Cz("Ulož"));
    MouseClick(f->Button2, 10, 10);
  });
}

TEST(MaintenanceDialogsGui, TypesAreAddedEditedAndDeletedOnlyWhenUnused) {
  TempDataDir dir(30);
  MessageBoxRecorder boxes;
  ProgramScope program;
  WithDialog<TPrehledTypu>(Platebna->Typypjmavdej1, [&](TPrehledTypu* f) {
    for (bool expense : {false, true}) {
      OnNextModal([&](TCustomForm* e) {
        auto* form = dynamic_cast<TFinOpeEditForm*>(e);
        TypeText(form->DBEditKuvet1, expense ? "X02" : "X01");
        KeyClick(form->DBEditKuvet1, VK_RETURN);
        TypeText(form->DBEditKuvet2, "Test");
        KeyClick(form->DBEditKuvet2, VK_RETURN);
        if (expense) MouseClick(form->DBCheckBox1, 5, 8);
        MouseClick(form->Button2, 10, 10);
      });
      KeyClick(f->DBGrid1, VK_F2);
    }
    // Edit: X01 becomes an expense.
    ASSERT_TRUE(Data->FinOperace->Locate("FIN_TYP", Variant(AnsiString("X01")), {}));
    OnNextModal([](TCustomForm* e) {
      auto* form = dynamic_cast<TFinOpeEditForm*>(e);
      MouseClick(form->DBCheckBox1, 5, 8);
      MouseClick(form->Button2, 10, 10);
    });
    KeyClick(f->DBGrid1, VK_F4);
    // Delete: a used type stays, an unused one goes.
    ASSERT_TRUE(Data->FinOperace->Locate("FIN_TYP", Variant(AnsiString("P01")), {}));
    KeyClick(f->DBGrid1, VK_DELETE, {ssCtrl});
    EXPECT_EQ(Trim(Data->Platebna->FieldByName("PLA_TYP")->AsString()), "P01");
    ASSERT_TRUE(Data->FinOperace->Locate("FIN_TYP", Variant(AnsiString("X02")), {}));
    KeyClick(f->DBGrid1, VK_DELETE, {ssCtrl});
    KeyClick(f->DBGrid1, VK_ESCAPE);
  });
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Text, Cz("Nelze vymazat - použito v pokladně !"));
  EXPECT_EQ(TypeCoefficient(dir, "X01"), "-1");
  EXPECT_EQ(TypeCoefficient(dir, "X02"), "(none)");
  EXPECT_EQ(TypeCoefficient(dir, "P01"), "1");
  EXPECT_FALSE(Data->FinOperace->Active());
}

TEST(MaintenanceDialogsGui, CompanyHeaderEditsOneBranchFieldAndCreatesAMissingRecord) {
  TempDataDir dir(3);
  {
    auto v = OpenTable(dir.DataDir(), "Vla0000.dbf");
    while (!v->IsEmpty()) v->Delete();
  }
  ProgramScope program;
  WithDialog<TVlastnikForm>(Platebna->Udajeofirm1, [](TVlastnikForm* f) {
    Retype(f->Edits[0], "Firma");
    Retype(f->Edits[5], "Pobocka B");
    KeyClick(f->Edits[5], VK_TAB);
    EXPECT_EQ(f->Edits[1]->Text(), "Pobocka B") << "both edits show the one field";
    MouseClick(f->Button2, 10, 10);
  });
  auto v = OpenTable(dir.DataDir(), "Vla0000.dbf");
  ASSERT_FALSE(v->IsEmpty());
  EXPECT_EQ(Trim(v->FieldByName("VLA_FIR")->AsString()), "Firma");
  EXPECT_EQ(Trim(v->FieldByName("VLA_NAC")->AsString()), "Pobocka B");
}

TEST(MaintenanceDialogsGuiMultiprocess, SettingsHoldTheCounterWhileOpenAndReleaseItOnEveryClose) {
  TempDataDir dir(10);
  SetPrinterListSource([] { return std::vector<AnsiString>{"Laser", "Jehlickova", "PDF"}; });
  MessageBoxRecorder boxes;
  ProgramScope program;
  const auto files = Snapshot(dir.DataDir());
  const std::string ini = dir.ReadSettings();
  const std::function<void(TSystemNastaveni*)> cancels[] = {
      [](TSystemNastaveni* f) { MouseClick(f->Button2, 10, 10); },
      [](TSystemNastaveni* f) { KeyClick(f->ComboBoxKuvet1, VK_ESCAPE); },
  };
  for (const auto& cancel : cancels) {
    WithDialog<TSystemNastaveni>(Platebna->Nastaventiskrny1, [&](TSystemNastaveni* f) {
      ASSERT_EQ(f->ComboBoxKuvet1->Items()->Count(), 3);
      EXPECT_EQ(f->ComboBoxKuvet1->ItemIndex(), 0);
      EXPECT_FALSE(CounterLockFree(dir)) << "held while the dialog is open";
      f->ComboBoxKuvet1->SetItemIndex(2);
      cancel(f);
    });
    EXPECT_TRUE(CounterLockFree(dir));
  }
  EXPECT_TRUE(Snapshot(dir.DataDir()) == files);
  EXPECT_EQ(dir.ReadSettings(), ini);
  WithDialog<TSystemNastaveni>(Platebna->Nastaventiskrny1, [&](TSystemNastaveni* f) {
    f->ComboBoxKuvet1->SetItemIndex(2);
    f->PageControl1->SetActivePage(f->TabSheet2);
    Retype(f->DBEditKuvet1, "100");
    MouseClick(f->Button1, 10, 10);
  });
  EXPECT_TRUE(CounterLockFree(dir));
  EXPECT_EQ(Counter(dir), "100");
  EXPECT_EQ(Data->PrinterIndex, 2);
  EXPECT_NE(dir.ReadSettings().find("HlavniTiskarna=2"), std::string::npos);
  WithEntryForm(VK_F2, [](TPlatebnaEditace* f) {
    FillDocument(f, "P01", "1");
    ClickOk(f);
  });
  EXPECT_EQ(Stored(dir, 11).number, "100");
  SetPrinterListSource(nullptr);
}

TEST(MaintenanceDialogsGui, CounterAcceptsOnlyWholeNumbersThatFit) {
  TempDataDir dir(3);
  ProgramScope program;
  struct Case {
    const char* text;
    bool valid;
    const char* stored;
  } cases[] = {{"0", false, ""},   {"-5", false, ""},  {"", false, ""},     {"abc", false, ""},
               {"1,5", false, ""}, {"1e3", false, ""}, {" 12 ", true, "12"}, {"100", true, "100"},
               {"0x10", false, ""}, {"9999999999", true, "9999999999"}};
  auto* dialog = new TSystemNastaveni(nullptr);
  for (const Case& c : cases) {
    AnsiString text = c.text;
    bool valid = true;
    dialog->DBEditKuvet1Valid(dialog->DBEditKuvet1, text, valid);
    EXPECT_EQ(valid, c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(text, c.stored);
    }
  }
  delete dialog;
}

}  // namespace

namespace {

TEST(MaintenanceDialogsGui, TheSettingsDialogListsThePrintingSystemsPrinters) {
  InstallFakePrinters({{"Laser", OfficePrinterCaps()}, {"Jehlickova", OfficePrinterCaps()}});
  SetPrinterListSource(nullptr);
  const std::vector<AnsiString> expected{"Laser", "Jehlickova"};
  EXPECT_EQ(SystemPrinterNames(), expected);
  InstallFakePrinters({});
  EXPECT_TRUE(SystemPrinterNames().empty());
  SetPrinterBackend(nullptr);
}

}  // namespace
