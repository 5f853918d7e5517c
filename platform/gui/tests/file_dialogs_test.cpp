// File dialogs and the input box: what reaches Qt's dialog and comes back
// (filters, filter index, names in CP1250, the default extension), the
// responders tests answer them with, and the input box as a form.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include "platform/gui/application.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"

namespace {

TEST(FileDialogsGui, DefaultExtensionGoesOnTheLastComponentOnly) {
  struct Case {
    const char *name, *ext, *want;
  } cases[] = {
      {"out", ".rps", "out.rps"},          {"out", "rps", "out.rps"},
      {"out.x", ".rps", "out.x"},          {"reports.v2/out", ".rps", "reports.v2/out.rps"},
      {"/home/jan.novak/pokladna", "prn", "/home/jan.novak/pokladna.prn"},
      {"out", "", "out"},                  {"dir/", ".rps", "dir/"},
  };
  for (const Case& c : cases) EXPECT_EQ(WithDefaultExt(c.name, c.ext), c.want) << c.name;
}

TEST(FileDialogsGui, ResponderSeesTheRequestAndAnswersNameAndFilterIndex) {
  FileDialogRecorder rec({{"reports.v2/out", 2}, {""}});
  TSaveDialog save(nullptr);
  save.SetTitle("Save File");
  save.SetDefaultExt(".rps");
  save.SetFilter("Report Snapshot Files (*.rps)|*.rps|All Files|*.*");
  save.SetOptions({ofOverwritePrompt, ofNoReadOnlyReturn});
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName(), "reports.v2/out.rps");
  EXPECT_EQ(save.FilterIndex(), 2);
  const TFileDialogRequest& r = rec.Dialogs().at(0);
  EXPECT_TRUE(r.Save);
  EXPECT_EQ(r.Title, "Save File");
  EXPECT_EQ(r.FilterIndex, 1);
  EXPECT_TRUE(r.Options.Contains(ofOverwritePrompt));
  // Cancel keeps what the dialog held.
  EXPECT_FALSE(save.Execute());
  EXPECT_EQ(save.FileName(), "reports.v2/out.rps");
  TOpenDialog open(nullptr);
  EXPECT_FALSE(open.Execute());
  EXPECT_FALSE(rec.Dialogs().back().Save);
}

// Qt's own dialog: the filters as Qt shows them, the chosen filter read
// back, and a Czech name crossing to CP1250.
TEST(FileDialogsGui, QtDialogTakesFiltersAndGivesBackTheChoice) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("file_dialog_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  TSaveDialog save(nullptr);
  save.SetDefaultExt(".rps");
  save.SetFilter("Report Snapshot Files (*.rps)|*.rps|All Files|*.*");
  save.SetFilterIndex(2);
  save.SetFileName(DiskPathToProgramName((dir / "old.rps").string()));
  QStringList seen;
  QString selected;
  QTimer::singleShot(50, [&] {
    auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dlg) {
      ADD_FAILURE() << "no file dialog";
      return;
    }
    seen = dlg->nameFilters();
    selected = dlg->selectedNameFilter();
    dlg->selectNameFilter(seen.value(0));
    auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromUtf8("výstup"));
    static_cast<QDialog*>(dlg)->accept();
  });
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(seen, QStringList({"Report Snapshot Files (*.rps)", "All Files (*)"}));
  EXPECT_EQ(selected, "All Files (*)");
  EXPECT_EQ(save.FilterIndex(), 1);
  EXPECT_EQ(save.FileName(), DiskPathToProgramName(dir.string()) + Cz("/výstup.rps"));
  fs::remove_all(dir);
}

TEST(FileDialogsGui, InputBoxOffersTheValueAndAnswersOkOrStorno) {
  for (bool ok : {true, false}) {
    AnsiString value = "3";
    OnNextModal([&](TCustomForm* f) {
      EXPECT_EQ(f->Caption(), "Go to Page");
      auto* prompt = dynamic_cast<TLabel*>(f->FindComponent("Prompt"));
      auto* edit = dynamic_cast<TEdit*>(f->FindComponent("Value"));
      ASSERT_TRUE(prompt && edit);
      EXPECT_EQ(prompt->Caption(), "Enter page to move to:");
      EXPECT_EQ(edit->Text(), "3");
      edit->SetText("12");
      KeyClick(edit, ok ? VK_RETURN : VK_ESCAPE);
    });
    EXPECT_EQ(InputQuery("Go to Page", "Enter page to move to:", value), ok);
    EXPECT_EQ(value, ok ? "12" : "3");
  }
  InputQueryRecorder rec("7");
  AnsiString value = "1";
  EXPECT_TRUE(InputQuery("A", "B", value));
  EXPECT_EQ(value, "7");
  EXPECT_EQ(rec.Queries().at(0).Value, "1");
}

// The file dialog is Qt's own window in front of one of ours: the keys typed
// into it are its own, not the form's behind it (which the modal dialog
// blocks).
TEST(FileDialogsGui, KeysTypedIntoQtsDialogReachIt) {
  auto* main = NewForm<TForm>(Application);
  auto* edit = new TEdit(main);
  edit->SetParent(main);
  main->SetKeyPreview(true);
  int formKeys = 0;
  main->OnKeyPress = [&](TObject*, char&) { ++formKeys; };
  main->Show();
  Application->ProcessMessages();
  ASSERT_EQ(Screen->ActiveForm(), main);
  for (bool save : {true, false}) {
    QString typed, pasted;
    QTimer::singleShot(50, [&] {
      auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dlg) {
        ADD_FAILURE() << "no file dialog";
        return;
      }
      auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");
      if (!name) {
        dlg->reject();
        ADD_FAILURE() << "no name field";
        return;
      }
      name->setFocus();
      name->clear();
      QTest::keyClicks(name, "faktura 7");
      QTest::keyClick(name, Qt::Key_Backspace);
      QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
      typed = name->text();
      pasted = name->selectedText();
      dlg->reject();
    });
    TSaveDialog saveDialog(nullptr);
    TOpenDialog openDialog(nullptr);
    bool answered = save ? saveDialog.Execute() : openDialog.Execute();
    EXPECT_FALSE(answered);
    EXPECT_EQ(typed, "faktura ") << (save ? "save" : "open");
    EXPECT_EQ(pasted, "faktura ") << "Ctrl+A is the line edit's own";
  }
  EXPECT_EQ(formKeys, 0);
  EXPECT_EQ(edit->Text(), "");
  delete main;
}

}  // namespace
