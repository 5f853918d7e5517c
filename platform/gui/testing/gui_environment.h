// The GoogleTest environment of widget tests: the application starts on
// the offscreen platform (or on $DISPLAY when GUI_TEST_DISPLAY=1), fonts
// are pinned to the installed Liberation Sans and DejaVu Sans at 96 dpi,
// and a test that leaves a modal loop or a busy scope behind fails.
#pragma once

#include <string>

#include <QImage>

class TControl;

// Registers the environment and the per-test checks; call once from
// ProjectTestStartup.
void InstallGuiTestEnvironment();

// The control as it shows now (its own widget and its children).
QImage Grab(TControl* control);
// Saves the image as PNG under the build tree's artifacts folder; returns
// the path.
std::string SaveArtifact(const QImage& image, const std::string& name);
