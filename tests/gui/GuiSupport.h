#pragma once
// What the desktop tests share: the one application object on a 1024x768
// screen, the place where they leave their screenshots, and the check every
// dialog they open passes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QTimer>

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

// The screen the tests stand for: a 1024x768 laptop, on which no dialog may
// be larger than this (title bar and panel need the rest).
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kLargestDialogWidth = 1000;
constexpr int kLargestDialogHeight = 700;

// Buttons that stop, erase, write or throw away: Enter must press none of them.
inline bool IsDestructiveButton(const QString& text) {
  static const QRegularExpression words(QStringLiteral(
      "^&?(STOP logger|Stop|Stop logger|Erase old readings|Cancel download|Discard|Set calibration|Write calibration "
      "coefficients to logger|Accept New Values|Enable logging|Resume/Enable)$"));
  return words.match(text).hasMatch();
}

// A question whose Yes loses something: No must be its default.
inline bool IsDestructiveQuestion(const QString& text) {
  static const QRegularExpression words(
      QStringLiteral("overwrite|will be lost|may be lost|Stop the logger|Cancel the download|Write these "
                     "coefficients|erase the memory"),
      QRegularExpression::CaseInsensitiveOption);
  return words.match(text).hasMatch();
}

// The 1024x768 screen as the user sees it: every visible window where it
// stands, the main window first.
inline void ScreenPicture(const QString& file) {
  const QString dir = ArtefactDirectory();
  if (dir.isEmpty()) return;
  QPixmap screen(kScreenWidth, kScreenHeight);
  screen.fill(QColor(0x3c, 0x3f, 0x41));
  QPainter painter(&screen);
  QList<QWidget*> windows;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible()) (qobject_cast<QMainWindow*>(w) != nullptr ? windows.prepend(w) : windows.append(w));
  for (QWidget* w : windows) {
    painter.drawPixmap(w->geometry().topLeft(), w->grab());
    painter.setPen(Qt::black);
    painter.drawRect(w->geometry().adjusted(-1, -1, 0, 0));
  }
  painter.end();
  screen.save(dir + QLatin1Char('/') + file);
}

// Checks each dialog as it shows (see the file comment) and saves a picture
// of it over the main window at 1024x768 as artefacts/dialogs/<name>.png.
class DialogAudit : public QObject {
 public:
  using QObject::QObject;

  static QString PictureName(QWidget* dialog) {
    QString name = dialog->objectName();
    if (name.isEmpty() || name == QLatin1String("qt_msgbox") || name == QLatin1String("buttonQuestion"))
      name = dialog->windowTitle();
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-"));
    return name.isEmpty() ? QStringLiteral("untitled") : name;
  }

  static void Check(QDialog* dialog) {
    const std::string what = dialog->windowTitle().toStdString() + " (" + dialog->objectName().toStdString() + ")";
    const QSize frame = dialog->frameGeometry().size();
    EXPECT_LE(frame.width(), kLargestDialogWidth) << what << " is " << frame.width() << " wide";
    EXPECT_LE(frame.height(), kLargestDialogHeight) << what << " is " << frame.height() << " high";
    auto* box = qobject_cast<QMessageBox*>(dialog);
    // Qt's own boxes size themselves to their text; every dialog of ours may be resized.
    if (box == nullptr && qobject_cast<QFileDialog*>(dialog) == nullptr && qobject_cast<QInputDialog*>(dialog) == nullptr) {
      EXPECT_NE(dialog->minimumSize(), dialog->maximumSize()) << what << " has a fixed size";
    }
    if (box != nullptr) {
      if (IsDestructiveQuestion(box->text()) && box->defaultButton() != nullptr) {
        const QMessageBox::StandardButton def = box->standardButton(box->defaultButton());
        EXPECT_NE(def, QMessageBox::Yes) << what << ": Enter answers Yes to \"" << box->text().toStdString() << "\"";
        EXPECT_FALSE(IsDestructiveButton(box->defaultButton()->text()))
            << what << ": Enter presses " << box->defaultButton()->text().toStdString();
      }
      return;
    }
    for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
      if (!IsDestructiveButton(b->text())) continue;
      EXPECT_FALSE(b->isDefault()) << what << ": \"" << b->text().toStdString() << "\" is the default button";
      EXPECT_FALSE(b->autoDefault()) << what << ": \"" << b->text().toStdString() << "\" answers Enter when focused";
    }
  }

  static void Picture(QDialog* dialog) {
    const QString dir = ArtefactDirectory();
    if (dir.isEmpty()) return;
    QDir().mkpath(dir + QStringLiteral("/dialogs"));
    QPixmap screen(kScreenWidth, kScreenHeight);
    screen.fill(QColor(0x3c, 0x3f, 0x41));
    QPainter painter(&screen);
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<QMainWindow*>(w) != nullptr && w->isVisible()) painter.drawPixmap(w->geometry().topLeft(), w->grab());
    painter.drawPixmap(dialog->geometry().topLeft(), dialog->grab());
    painter.setPen(Qt::black);
    painter.drawRect(dialog->geometry().adjusted(-1, -1, 0, 0));
    painter.end();
    screen.save(dir + QStringLiteral("/dialogs/") + PictureName(dialog) + QStringLiteral(".png"));
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show) return false;
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (dialog == nullptr || !dialog->isWindow()) return false;
    // Once placed and with its default button chosen, which the show itself does.
    QTimer::singleShot(0, dialog, [d = QPointer<QDialog>(dialog)] {
      if (d.isNull() || !d->isVisible()) return;
      Check(d);
      Picture(d);
    });
    return false;
  }
};

// One application for the whole test process, whichever test comes first,
// on a 1024x768 screen.
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
  if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
    QFile screens(QString::fromLocal8Bit(own + "/screens.json"));
    if (screens.open(QIODevice::WriteOnly)) {
      screens.write(QByteArray("{\"screens\": [{\"name\": \"laptop\", \"x\": 0, \"y\": 0, \"width\": ") +
                    QByteArray::number(kScreenWidth) + ", \"height\": " + QByteArray::number(kScreenHeight) +
                    ", \"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1}]}");
      screens.close();
      qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    }
  }
  static QApplication* app = new QApplication(argc, argv);
  app->installEventFilter(new DialogAudit(app));
  return *app;
}
