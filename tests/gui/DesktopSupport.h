#pragma once
// What the desktop tests of the dialogs share: a script that drives the modal
// dialogs a menu command opens, finders for widgets, the no-clipping check,
// screenshots, and the main window on an emulated logger.
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include "GuiSupport.h"
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMap>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <vector>
#include "MainWindow.h"
#include "StatusLine.h"
#include "files/SaveFile.h"
#include "link/Exchange.h"
#include "model/Conversion.h"
#include "retrieval/Download.h"
#include "shell/CommandIds.h"
#include "sim/LoggerEmulator.h"
#include "support/EmulatedRig.h"

namespace tmv::qt::guitest {


// Drives the modal dialogs a menu command opens. Each step waits for the
// active modal window with its title and acts on it; a click that opens or
// closes a modal is queued (Later) so that this script keeps running inside
// the dialog's own event loop. A dialog nobody expected, one a step left open
// with nothing to come, or a script that stalls fails the test and the
// dialog is closed instead of hanging the test.
class ModalScript {
 public:
  using Step = std::function<void(QWidget*)>;

  ModalScript& On(const QString& title, Step step) {
    steps_.push_back({title, std::move(step)});
    return *this;
  }
  // Runs the menu action; returns when it has finished.
  void Run(QAction* action) {
    ASSERT_NE(action, nullptr);
    ASSERT_TRUE(action->isEnabled()) << action->text().toStdString();
    Run([action] { action->trigger(); });
  }
  // Runs what the user does (a click, a key) that opens the dialogs.
  void Run(const std::function<void()>& act) {
    QTimer poll, watchdog;
    QElapsedTimer since;
    since.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr || !modal->isVisible() || busy_.count(modal) != 0) return;
      // A window that has just come up is acted on once it is in front, as
      // a user would; one that comes back after a message box is at once.
      if (!modal->property("scriptSeen").toBool()) {
        if (QApplication::activeWindow() != modal) return;
        modal->setProperty("scriptSeen", true);
      }
      if (next_ < steps_.size() && modal->windowTitle() == steps_[next_].title) {
        last_ = modal;
        since.restart();
        steps_[next_++].step(modal);
        return;
      }
      ADD_FAILURE() << (modal == last_ ? "dialog left open: \"" : "unexpected dialog: \"")
                    << modal->windowTitle().toStdString() << "\" " << TextOf(modal);
      Dismiss(modal);
    });
    // Separate from the poll: it still fires while a step is inside a modal.
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
      if (since.elapsed() < 5000) return;
      since.restart();
      if (QWidget* modal = QApplication::activeModalWidget()) {
        ADD_FAILURE() << "stalled at step " << next_ << " on \"" << modal->windowTitle().toStdString() << "\" "
                      << TextOf(modal);
        Dismiss(modal);
      }
    });
    poll.start(0);
    watchdog.start(50);
    act();
    EXPECT_EQ(next_, steps_.size()) << "dialogs that never came, from step " << next_;
  }

  // Leaves a modal window alone until it closes by itself (a dialog that
  // goes on working, such as Setup while the logger erases).
  void LetRun(QWidget* window) { ++busy_[window]; }

  // A click that opens or closes a modal dialog. Its window is left alone
  // until the click has been handled.
  void Later(QAbstractButton* button) {
    ASSERT_NE(button, nullptr);
    QWidget* window = button->window();
    ++busy_[window];
    QTimer::singleShot(0, button, [this, button, window] {
      button->click();
      if (--busy_[window] == 0) busy_.erase(window);
    });
  }

  // A key pressed in a modal window (Enter on a question), queued as Later.
  void LaterKey(QWidget* window, Qt::Key key) {
    ++busy_[window];
    QTimer::singleShot(0, window, [this, window, key] {
      QWidget* target = window->focusWidget() != nullptr ? window->focusWidget() : window;
      QTest::keyClick(target, key);
      if (--busy_[window] == 0) busy_.erase(window);
    });
  }

  // The text of the button Enter presses in a message box.
  static std::string DefaultButtonOf(QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    return box != nullptr && box->defaultButton() != nullptr ? box->defaultButton()->text().toStdString() : std::string();
  }

  static std::string TextOf(QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) return box->text().toStdString();
    return {};
  }

 private:
  static void Dismiss(QWidget* modal) {
    if (auto* dialog = qobject_cast<QDialog*>(modal))
      dialog->reject();
    else
      modal->close();
  }

  struct Entry {
    QString title;
    Step step;
  };
  std::vector<Entry> steps_;
  size_t next_ = 0;
  QPointer<QWidget> last_;
  std::map<QWidget*, int> busy_;  // windows with a queued or running click
};

// Texts compared as std::string: gtest then prints them readably.
using Strings = std::vector<std::string>;
inline std::string S(const QString& text) { return text.toStdString(); }
inline Strings S(const QStringList& texts) {
  Strings out;
  for (const auto& t : texts) out.push_back(t.toStdString());
  return out;
}

template <class W>
W* Find(QWidget* parent, const QString& name = QString()) {
  return parent->findChild<W*>(name);
}

inline QPushButton* ButtonWithText(QWidget* parent, const QString& text) {
  for (auto* b : parent->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

inline QPushButton* BoxButton(QWidget* modal, QMessageBox::StandardButton which) {
  auto* box = qobject_cast<QMessageBox*>(modal);
  return box != nullptr ? qobject_cast<QPushButton*>(box->button(which)) : nullptr;
}

inline QStringList VisibleLabelTexts(QWidget* parent) {
  QStringList texts;
  for (auto* l : parent->findChildren<QLabel*>())
    if (l->isVisible()) texts << l->text();
  return texts;
}

// Replaces the text of a field the way a user does: select it, type over it.
inline void TypeInto(QLineEdit* field, const QString& text) {
  ASSERT_NE(field, nullptr);
  field->setFocus();
  field->selectAll();
  QTest::keyClicks(field, text);
}

// Every text the dialog shows must fit: a label narrower than its text, or a
// field narrower than its value, cuts off what the user has to read.
inline void ExpectNothingClipped(QWidget* dialog) {
  for (auto* l : dialog->findChildren<QLabel*>()) {
    if (!l->isVisible() || l->text().isEmpty()) continue;
    const QSize need = l->wordWrap() ? QSize(0, l->heightForWidth(l->width())) : l->sizeHint();
    EXPECT_GE(l->width(), need.width()) << "label clipped: " << l->text().toStdString();
    EXPECT_GE(l->height(), need.height()) << "label clipped: " << l->text().toStdString();
  }
  for (auto* b : dialog->findChildren<QAbstractButton*>()) {
    if (!b->isVisible()) continue;
    EXPECT_GE(b->width(), b->sizeHint().width()) << "button clipped: " << b->text().toStdString();
  }
  for (auto* e : dialog->findChildren<QLineEdit*>()) {
    if (!e->isVisible()) continue;
    const int textWidth = e->fontMetrics().horizontalAdvance(e->text());
    EXPECT_GT(e->contentsRect().width() - 8, textWidth) << "field too narrow for " << e->text().toStdString();
  }
}

inline void Screenshot(QWidget* dialog, const char* file) {
  const QString dir = ArtefactDirectory();
  if (dir.isEmpty()) return;
  EXPECT_TRUE(dialog->grab().save(dir + QLatin1Char('/') + QString::fromLatin1(file)));
}

// Answers the file, comment and message dialogs that come up while it lives:
// the files in turn (an empty name cancels), a comment, and No to a box
// (or the button `press` names for its title).
class FileDialogAnswers {
 public:
  explicit FileDialogAnswers(QStringList files) : files_(std::move(files)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr || !modal->isVisible()) return;
      if (auto* f = qobject_cast<QFileDialog*>(modal)) {
        // A file dialog may not take the name before its view is loaded:
        // the same name is given again until it closes.
        if (!f->property("answer").isValid()) {
          titles << f->windowTitle();
          filters << f->nameFilters().join(QStringLiteral(";;"));
          auto* field = f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
          proposed << (field != nullptr ? field->text() : QString());
          f->setProperty("answer", files_.isEmpty() ? QString() : files_.takeFirst());
        }
        const QString name = f->property("answer").toString();
        if (name.isEmpty()) {
          f->reject();
          return;
        }
        // The directory is set once: setting it again restarts its
        // listing, which on a busy machine might then never finish.
        const QFileInfo info(name);
        if (!f->property("directorySet").toBool()) {
          f->setProperty("directorySet", true);
          f->setDirectory(info.absolutePath());
        }
        // Selected, so that a proposed name selected in the list cannot
        // come back into the field, and typed into the name field:
        // selectFile leaves a field that has the focus alone, and an empty
        // name makes accept open the directory.
        f->selectFile(info.fileName());
        if (auto* edit = f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->setText(info.fileName());
        QMetaObject::invokeMethod(f, "accept", Qt::QueuedConnection);
      } else if (modal->property("answered").toBool()) {
        return;
      } else if (auto* t = qobject_cast<QInputDialog*>(modal)) {
        modal->setProperty("answered", true);
        offered << t->textValue();
        t->setTextValue(QStringLiteral("from the desktop"));
        t->accept();
      } else if (auto* b = qobject_cast<QMessageBox*>(modal)) {
        modal->setProperty("answered", true);
        boxes << b->text();
        if (QPushButton* chosen = press.contains(b->windowTitle()) ? ButtonWithText(b, press[b->windowTitle()]) : nullptr)
          chosen->click();
        else
          b->reject();
      }
    });
    poll_.start(20);
  }
  QStringList titles, boxes;
  QStringList filters;   // each file dialog's name filters, ";;" between them
  QStringList proposed;  // the name each file dialog proposed
  QStringList offered;   // the text each comment question started from
  QMap<QString, QString> press;  // the button pressed in a box of this title (else: its No)

 private:
  QStringList files_;
  QTimer poll_;
};

// A DAT file `name` in `dir` (and its HEX file in dir/hex) of `rows`
// samples, retrieved from another emulated logger of `profile`.
inline QString RetrievedDataFile(const QString& dir, const QString& name, int rows,
                                 const std::string& profile = "QN-760") {
  test::EmulatedRig rig(profile);
  rig.emulator.RecordSamples(rows, rig.clock.Milliseconds());
  AppState& s = rig.state;
  s.directories.work = dir.toStdString();
  QDir(dir).mkpath(QStringLiteral("hex"));
  EXPECT_EQ(CommGet(s, 0), 1);
  DownloadProc dialog;
  dialog.offerSave = false;
  EXPECT_TRUE(dialog.Open(s));
  EXPECT_TRUE(dialog.Retrieve(s, [](const DownloadQuery&) { return kQueryButton7; }));
  RunDownloadToEnd(s, dialog, 1000);
  const QString path = dir + QLatin1Char('/') + name;
  rig.ui.fileAnswers.push_back(path.toStdString());
  rig.ui.textAnswers.push_back("retrieved earlier");
  EXPECT_EQ(SaveFile(s, kSaveHexAndDat), 1);
  return path;
}

// The main window on the emulated logger of a profile, connected.
struct Desktop {
  explicit Desktop(const std::string& profile)
      : emulator(sim::ProfileByName(profile), clock.LocalTime()), serial(emulator, clock) {
    App();
    StartupOptions options;
    options.workDirectory = work.path().toStdString();
    window = std::make_unique<MainWindow>(serial, clock, options);
  }
  ~Desktop() {
    if (!window) return;  // a test let it go already
    window->state().shell.exiting = true;  // no exit question when the window goes
    window.reset();
  }

  // Shows the window and connects from the menu.
  bool Connect() {
    if (!window->Start()) return false;
    window->show();
    window->AfterShow();
    if (!QTest::qWaitForWindowExposed(window.get())) return false;
    Item("&Logger functions", "&Connect to logger")->trigger();
    return window->state().logger.connected;
  }
  // A menu item by the texts the user sees.
  QAction* Item(const QString& menu, const QString& item) const {
    for (QAction* top : window->menuBar()->actions()) {
      if (top->text() != menu || top->menu() == nullptr) continue;
      for (QAction* a : top->menu()->actions())
        if (a->text() == item) return a;
    }
    ADD_FAILURE() << "no menu item " << menu.toStdString() << " > " << item.toStdString();
    return nullptr;
  }
  QString Message() const { return window->statusLine()->PartText(StatusLine::kMessage); }

  QTemporaryDir work;
  VirtualClock clock;
  sim::LoggerEmulator emulator;
  sim::EmulatedSerialSystem serial;
  std::unique_ptr<MainWindow> window;
};

}  // namespace tmv::qt::guitest
