#include "QtUserInterface.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeySequence>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

#include "StatusLine.h"
#include "shell/CommandIds.h"
#include "shell/CommandTable.h"

namespace tmv::qt {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

QStringList NameFilters(const FileDialogRequest& request) {
  // Every file of the kind first ("*.dat"), whichever logger wrote it; the
  // request's own filter and its pattern ("000123*.dat") are offered after.
  QStringList filters;
  const QString pattern = QString::fromStdString(request.pattern);
  const QString filter = QString::fromStdString(request.filter);
  const int dot = pattern.lastIndexOf(QLatin1Char('.'));
  if (dot >= 0) {
    const QString extension = pattern.mid(dot + 1);
    const QString all = QStringLiteral("*.%1").arg(extension);
    if (filter.contains(QStringLiteral("(%1)").arg(all)))
      filters << filter;
    else
      filters << QStringLiteral("%1 files (%2)").arg(extension.toUpper(), all);
  }
  if (!filter.isEmpty() && !filters.contains(filter)) filters << filter;
  if (pattern.contains(QLatin1Char('*')) && pattern != QStringLiteral("*.") + pattern.mid(dot + 1))
    filters << QStringLiteral("%1 (%1)").arg(pattern);
  return filters;
}

namespace {

bool IsRecentFile(int command) {
  return command >= cmd::kReadRecentFile && command < cmd::kReadRecentFile + 20;
}

}  // namespace

void QtUserInterface::BuildMenus(QMainWindow* window, std::function<void(int)> run) {
  window_ = window;
  run_ = std::move(run);
  QMenuBar* bar = window->menuBar();
  bar->clear();
  actions_.clear();
  menus_.clear();
  containers_.clear();
  for (const MenuEntry& entry : MenuTable()) {
    QWidget* parentWidget = entry.parent == cmd::kMenuBar ? static_cast<QWidget*>(bar) : Menu(entry.parent);
    if (parentWidget == nullptr) continue;
    if (entry.separatorBefore) {
      if (auto* menu = qobject_cast<QMenu*>(parentWidget)) menu->addSeparator();
    }
    QAction* action = nullptr;
    if (entry.isMenu) {
      QMenu* menu = nullptr;
      if (auto* parentMenu = qobject_cast<QMenu*>(parentWidget))
        menu = parentMenu->addMenu(Q(entry.text));
      else
        menu = bar->addMenu(Q(entry.text));
      menus_[entry.number] = menu;
      action = menu->menuAction();
    } else {
      action = new QAction(Q(entry.text), parentWidget);
      parentWidget->addAction(action);
      const int number = entry.number;
      QObject::connect(action, &QAction::triggered, action, [this, number] {
        if (run_) run_(number);
      });
    }
    action->setEnabled(entry.built);
    if (entry.shortcut != nullptr) {
      action->setShortcut(QKeySequence(QString::fromLatin1(entry.shortcut)));
      // Held by the window too: a key of an item on the bar itself works
      // wherever the focus is in the window.
      window->addAction(action);
    }
    actions_[entry.number] = action;
    containers_[entry.number] = parentWidget;
  }
  if (QMenu* recent = Menu(cmd::kMenuRecentFiles)) recent->setEnabled(false);
}

MessageAnswer QtUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                          MessageButtons buttons, MessageIcon icon, MessageAnswer defaultAnswer) {
  QMessageBox box(window_);
  box.setWindowTitle(Q(caption));
  box.setTextFormat(Qt::PlainText);
  box.setText(Q(text));
  switch (icon) {
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Stop: box.setIcon(QMessageBox::Critical); break;
    case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
  }
  QMessageBox::StandardButtons set;
  switch (buttons) {
    case MessageButtons::Ok: set = QMessageBox::Ok; break;
    case MessageButtons::OkCancel: set = QMessageBox::Ok | QMessageBox::Cancel; break;
    case MessageButtons::YesNo: set = QMessageBox::Yes | QMessageBox::No; break;
    case MessageButtons::YesNoCancel: set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
  }
  box.setStandardButtons(set);
  auto toStandard = [](MessageAnswer a) {
    switch (a) {
      case MessageAnswer::Ok: return QMessageBox::Ok;
      case MessageAnswer::Cancel: return QMessageBox::Cancel;
      case MessageAnswer::Yes: return QMessageBox::Yes;
      case MessageAnswer::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
  };
  if (set.testFlag(toStandard(defaultAnswer))) box.setDefaultButton(toStandard(defaultAnswer));
  // Closing the box with Escape or the title bar gives its safest answer.
  if (set.testFlag(QMessageBox::Cancel))
    box.setEscapeButton(QMessageBox::Cancel);
  else if (set.testFlag(QMessageBox::No))
    box.setEscapeButton(toStandard(defaultAnswer));
  switch (box.exec()) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Cancel: return MessageAnswer::Cancel;
    case QMessageBox::Ok: return MessageAnswer::Ok;
    default: return defaultAnswer;
  }
}

int QtUserInterface::AskWithButtons(const std::string& text, const std::string& caption,
                                    const std::vector<std::string>& buttons, int defaultButton) {
  QMessageBox box(window_);
  box.setObjectName("buttonQuestion");
  box.setWindowTitle(Q(caption));
  box.setTextFormat(Qt::PlainText);
  box.setText(Q(text));
  box.setIcon(QMessageBox::Question);
  std::vector<QPushButton*> pushed;
  for (const std::string& b : buttons) pushed.push_back(box.addButton(Q(b), QMessageBox::ActionRole));
  const bool hasDefault = defaultButton >= 0 && defaultButton < static_cast<int>(pushed.size());
  if (hasDefault) {
    box.setDefaultButton(pushed[static_cast<size_t>(defaultButton)]);
    // Escape or the title bar leaves things as they are: the default.
    box.setEscapeButton(pushed[static_cast<size_t>(defaultButton)]);
  }
  box.exec();
  for (size_t i = 0; i < pushed.size(); ++i)
    if (box.clickedButton() == pushed[i]) return static_cast<int>(i);
  return defaultButton;
}

void QtUserInterface::SetStatusText(const std::string& text, bool warningIcon) {
  if (status_ != nullptr) status_->SetMessage(Q(text), warningIcon);
}

void QtUserInterface::SetConnectionText(const std::string& text) {
  if (status_ != nullptr) status_->SetConnection(Q(text));
  if (connectionChanged) connectionChanged();
}

void QtUserInterface::SetUnitsIndicator(UnitsIndicator units) {
  if (status_ == nullptr) return;
  status_->SetUnits(units == UnitsIndicator::EngineeringUnits ? 1 : units == UnitsIndicator::Binary ? 2 : 0);
}

void QtUserInterface::SetClockText(const std::string& text) {
  if (status_ != nullptr) status_->SetClock(Q(text));
}

void QtUserInterface::SetCommandEnabled(int command, bool enabled) {
  if (QAction* action = Action(command)) action->setEnabled(enabled);
}

void QtUserInterface::SetCommandChecked(int command, bool checked) {
  if (QAction* action = Action(command)) {
    action->setCheckable(true);
    action->setChecked(checked);
  }
}

QWidget* QtUserInterface::ContainerOf(int command) const {
  auto it = containers_.find(command);
  return it == containers_.end() ? nullptr : it->second;
}

void QtUserInterface::InsertCommand(int command, const std::string& text, int beforeCommand) {
  RemoveCommand(command);
  QWidget* container = nullptr;
  QAction* before = nullptr;
  if (IsRecentFile(command)) {
    QMenu* recent = Menu(cmd::kMenuRecentFiles);
    if (recent == nullptr) return;
    container = recent;
    for (const auto& [number, action] : actions_)
      if (IsRecentFile(number) && number > command && ContainerOf(number) == recent) {
        before = action;
        break;
      }
    recent->setEnabled(true);
  } else {
    container = ContainerOf(beforeCommand);
    before = Action(beforeCommand);
    if (container == nullptr && window_ != nullptr) {
      if (auto* mainWindow = qobject_cast<QMainWindow*>(window_)) container = mainWindow->menuBar();
    }
    if (container == nullptr) return;
  }
  auto* action = new QAction(Q(text), container);
  container->insertAction(before, action);
  action->setEnabled(IsRecentFile(command) || IsCommandBuilt(command));
  QObject::connect(action, &QAction::triggered, action, [this, command] {
    if (run_) run_(command);
  });
  actions_[command] = action;
  containers_[command] = container;
}

void QtUserInterface::RemoveCommand(int command) {
  auto it = actions_.find(command);
  if (it == actions_.end()) return;
  QAction* action = it->second;
  if (QWidget* container = ContainerOf(command)) container->removeAction(action);
  actions_.erase(it);
  containers_.erase(command);
  action->deleteLater();
  if (IsRecentFile(command)) {
    bool any = false;
    for (const auto& entry : actions_) any = any || IsRecentFile(entry.first);
    if (QMenu* recent = Menu(cmd::kMenuRecentFiles)) recent->setEnabled(any);
  }
}

UserInterface::ClipboardRead QtUserInterface::ReadClipboard() {
  ClipboardRead read;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) return read;
  read.opened = true;
  const QString text = clipboard->text();
  if (!text.isEmpty()) read.text = text.toStdString();
  return read;
}

// Painting and timers go on; clicks wait, so that no command starts inside another.
void QtUserInterface::ProcessEvents() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

QAction* QtUserInterface::Action(int command) const {
  auto it = actions_.find(command);
  return it == actions_.end() ? nullptr : it->second;
}

QMenu* QtUserInterface::Menu(int menu) const {
  auto it = menus_.find(menu);
  return it == menus_.end() ? nullptr : it->second;
}

std::optional<std::string> QtUserInterface::ChooseFile(const FileDialogRequest& request) {
  QFileDialog dialog(window_, QString::fromStdString(request.title), QString::fromStdString(request.directory));
  dialog.setObjectName("fileDialog");
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(NameFilters(request));
  // A plain name in the pattern, or the name built for saving, is proposed.
  const QString pattern = QString::fromStdString(request.pattern);
  if (!request.name.empty())
    dialog.selectFile(QString::fromStdString(request.name));
  else if (!pattern.isEmpty() && !pattern.contains(QLatin1Char('*')))
    dialog.selectFile(pattern);
  // No wait cursor over a question.
  const int waits = waitCursors_;
  while (waitCursors_ > 0) SetWaitCursor(false);
  const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  while (waitCursors_ < waits) SetWaitCursor(true);
  if (!chosen) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> QtUserInterface::AskText(const std::string& title, const std::string& prompt,
                                                    const std::string& initial) {
  QInputDialog dialog(window_);
  dialog.setObjectName("textDialog");
  dialog.setWindowTitle(QString::fromStdString(title));
  dialog.setLabelText(QString::fromStdString(prompt));
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setTextValue(QString::fromStdString(initial));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue().toStdString();
}

void QtUserInterface::SetWaitCursor(bool on) {
  if (on) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    ++waitCursors_;
  } else if (waitCursors_ > 0) {
    QGuiApplication::restoreOverrideCursor();
    --waitCursors_;
  }
}

}  // namespace tmv::qt
