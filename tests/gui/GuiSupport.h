#pragma once
// What the desktop tests share: the one application object and the place
// where they leave their screenshots.
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QString>

// One application for the whole test process, whichever test comes first.
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "tmv_gui_tests";
  static char* argv[] = {name, nullptr};
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// $TMV_ARTEFACT_DIR, else the build tree's artefacts directory.
inline QString ArtefactDirectory() {
  QByteArray dir = qgetenv("TMV_ARTEFACT_DIR");
#ifdef TMV_ARTEFACT_DIR_DEFAULT
  if (dir.isEmpty()) dir = TMV_ARTEFACT_DIR_DEFAULT;
#endif
  const QString path = QString::fromLocal8Bit(dir);
  if (!path.isEmpty()) QDir().mkpath(path);
  return path;
}
