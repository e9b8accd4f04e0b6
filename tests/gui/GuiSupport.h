#pragma once
// What the desktop tests share: the one application object and the place
// where they leave their screenshots.
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

// One application for the whole test process, whichever test comes first.
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "tmv_gui_tests";
  static char* argv[] = {name, nullptr};
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  // Each test process keeps Qt's own settings (the file dialog's history and
  // its lock file) to itself, so that tests running side by side never wait
  // on one another's lock.
  const QByteArray own = QDir::tempPath().toLocal8Bit() + "/tmv-gui-" + QByteArray::number(QCoreApplication::applicationPid());
  QDir().mkpath(QString::fromLocal8Bit(own));
  qputenv("XDG_CONFIG_HOME", own);
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    QDir().mkpath(QString::fromLocal8Bit(own + "/run"));
    QFile::setPermissions(QString::fromLocal8Bit(own + "/run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", own + "/run");
  }
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
