#include "PlotModule.h"

#include <QGuiApplication>
#include <memory>

#include "GraphPainter.h"

extern "C" __attribute__((visibility("default"))) int tmv_plot_to_file(const tmv::GraphDrawing* drawing,
                                                                       const char* path) {
  if (drawing == nullptr || path == nullptr) return 0;
  // Text needs a GUI application; the offscreen platform needs no display.
  std::unique_ptr<QGuiApplication> app;
  static int argc = 1;
  static char name[] = "tmv-cli";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() == nullptr) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  const QImage image = tmv::paint::RenderGraphImage(*drawing);
  return image.save(QString::fromUtf8(path)) ? 1 : 0;
}
