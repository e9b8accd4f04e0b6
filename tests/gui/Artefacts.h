#pragma once
// Where desktop tests leave their screenshots: $TMV_ARTEFACT_DIR, else the
// build tree's artefacts directory.
#include <QByteArray>
#include <QDir>
#include <QString>

inline QString ArtefactDirectory() {
  QByteArray dir = qgetenv("TMV_ARTEFACT_DIR");
#ifdef TMV_ARTEFACT_DIR_DEFAULT
  if (dir.isEmpty()) dir = TMV_ARTEFACT_DIR_DEFAULT;
#endif
  const QString path = QString::fromLocal8Bit(dir);
  if (!path.isEmpty()) QDir().mkpath(path);
  return path;
}
