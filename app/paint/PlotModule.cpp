#include "PlotModule.h"

#include <QGuiApplication>
#include <memory>

#include "GraphPainter.h"

extern "C" __attribute__((visibility("default"))) int tmv_plot_job_to_file(tmv::paint::PlotJob* job) {
  if (job == nullptr || !job->build) return 0;
  // Text needs a GUI application; the offscreen platform needs no display.
  std::unique_ptr<QGuiApplication> app;
  static int argc = 1;
  static char name[] = "tmv-cli";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() == nullptr) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  const tmv::GraphDrawing drawing = job->build(tmv::paint::MetricsFor(tmv::paint::GraphFont()));
  QString why;
  if (tmv::paint::SavePicture(drawing, QString::fromStdString(job->path), job->format, &why)) return 1;
  job->error = why.toStdString();
  return 0;
}
