// Offscreen start-up and the checks every widget test gets.
#include "platform/gui/testing/gui_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFontDatabase>
#include <QWidget>

#include <cstdlib>

#include "platform/gui/application.h"
#include "platform/gui/controls.h"
#include "platform/gui/graphics.h"
#include "platform/gui/testing/gui_modal.h"

namespace {

class GuiEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* display = std::getenv("GUI_TEST_DISPLAY");
    if (!(display && std::string(display) == "1")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_FONT_DPI", "96");
    qputenv("QT_SCALE_FACTOR", "1");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    Application->Initialize();
    for (const char* family : {"Liberation Sans", "DejaVu Sans", "Liberation Serif", "Liberation Mono"})
      if (!QFontDatabase::hasFamily(family))
        GTEST_FAIL() << "font family " << family << " is not installed (fonts-liberation2, fonts-dejavu-core)";
    SetFontSubstitutes("Liberation Sans", "DejaVu Sans", "Liberation Serif", "Liberation Mono");
  }
  void TearDown() override { Application->Shutdown(); }
};

// Fails a test that leaves a modal loop running or input blocked.
class LeftoverCheck : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override {
    if (Application->ModalLevel() > 0) ADD_FAILURE() << "the test left a modal loop running";
    Application->ProcessMessages();
  }
};

}  // namespace

void InstallGuiTestEnvironment() {
  ::testing::AddGlobalTestEnvironment(new GuiEnvironment);
  ::testing::UnitTest::GetInstance()->listeners().Append(new LeftoverCheck);
}

QImage Grab(TControl* control) { return control->Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

std::string SaveArtifact(const QImage& image, const std::string& name) {
  QDir().mkpath(GUI_ARTIFACT_DIR);
  std::string path = std::string(GUI_ARTIFACT_DIR) + "/" + name;
  image.save(QString::fromStdString(path), "PNG");
  return path;
}
