#include "RetrievalFaces.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "files/DatFile.h"
#include "shell/AppState.h"
#include "shell/DialogPresenter.h"
#include "shell/RetrievalCommands.h"
#include "shell/Shell.h"

namespace tmv::qt {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QLabel* IconLabel(QStyle::StandardPixmap which, const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setPixmap(parent->style()->standardIcon(which).pixmap(32, 32));
  label->setFixedSize(36, 36);
  return label;
}

// The panel as a window. It lives until the panel closes it; the panel may
// go first (it lets itself go on closing), so nothing here touches the
// panel once `close` has been called.
class RetrievalWindow : public QDialog {
 public:
  RetrievalWindow(RetrievalPanel& panel, QWidget* parent) : QDialog(parent), panel_(&panel) {
    setObjectName("retrievalPanel");
    setWindowTitle(Q(panel.dialog.dialogTitle));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    info_ = IconLabel(QStyle::SP_MessageBoxInformation, "infoIcon", this);
    warning_ = IconLabel(QStyle::SP_MessageBoxWarning, "warningIcon", this);
    top->addWidget(info_);
    top->addWidget(warning_);
    auto* usageGrid = new QGridLayout;
    usageGrid->addWidget(new QLabel(tr("Memory usage:"), this), 0, 0);
    usage_ = new QLabel(this);
    usage_->setObjectName("memoryUsage");
    usageGrid->addWidget(usage_, 0, 1);
    usageGrid->setColumnStretch(1, 1);
    top->addLayout(usageGrid, 1);
    layout->addLayout(top);

    message_ = new QLineEdit(this);
    message_->setObjectName("messageLine");
    message_->setReadOnly(true);
    message_->setMinimumWidth(460);
    layout->addWidget(message_);

    summary_ = new QLabel(this);
    summary_->setObjectName("deploymentSummary");
    summary_->setTextFormat(Qt::PlainText);
    layout->addWidget(summary_);

    progress_ = new QProgressBar(this);
    progress_->setObjectName("progressBar");
    progress_->setRange(0, 100);
    layout->addWidget(progress_);

    auto* buttons = new QHBoxLayout;
    retrieve_ = new QPushButton(this);
    retrieve_->setObjectName("retrieveButton");
    full_ = new QPushButton(tr("Retrieve 100%"), this);
    full_->setObjectName("retrieveFullButton");
    append_ = new QPushButton(tr("Append to file"), this);
    append_->setObjectName("appendButton");
    close_ = new QPushButton(tr("Close"), this);
    close_->setObjectName("closeButton");
    for (auto* b : {retrieve_, full_, append_}) buttons->addWidget(b);
    // No button answers Enter: "STOP logger" and "Cancel download" each end
    // something for good, and the others start a long exchange.
    for (auto* b : {retrieve_, full_, append_, close_}) b->setAutoDefault(false);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    layout->addLayout(buttons);

    // Each handler may close the panel: nothing of it is touched afterwards.
    connect(retrieve_, &QPushButton::clicked, this, [this] {
      if (panel_ != nullptr) panel_->PressRetrieve(false);
    });
    connect(full_, &QPushButton::clicked, this, [this] {
      if (panel_ != nullptr) panel_->PressRetrieve(true);
    });
    connect(append_, &QPushButton::clicked, this, [this] {
      if (panel_ != nullptr) panel_->PressAppend();
    });
    connect(close_, &QPushButton::clicked, this, [this] { reject(); });

    panel.changed = [this] { Refresh(); };
    panel.close = [self = QPointer<RetrievalWindow>(this)] {
      if (self.isNull()) return;
      self->panel_ = nullptr;
      self->close();
    };
    Refresh();
  }

  void reject() override {
    // Escape, the window's close box and "Close" all go to the panel, which
    // asks before it ends a running download; it closes this window through its hook.
    if (panel_ != nullptr) {
      panel_->PressCloseButton();
      return;
    }
    QDialog::reject();
  }

 private:
  void Refresh() {
    if (panel_ == nullptr) return;
    const DownloadView& v = panel_->view();
    usage_->setText(Q(v.memoryUsage));
    message_->setText(Q(v.message));
    QStringList lines;
    for (const auto& s : v.summary) lines << Q(s);
    summary_->setText(lines.join(QLatin1Char('\n')));
    summary_->setVisible(!lines.isEmpty() && !v.fieldsHidden);
    progress_->setValue(v.progress);
    progress_->setVisible(panel_->Downloading() || v.progress > 0);
    info_->setVisible(v.infoIcon);
    warning_->setVisible(v.warningIcon);
    retrieve_->setText(Q(v.button1));
    retrieve_->setVisible(v.button1Visible);
    full_->setVisible(v.retrieveFullVisible && !v.fieldsHidden);
    append_->setVisible(v.appendVisible && !v.fieldsHidden);
    close_->setText(Q(panel_->CloseButtonText()));
    setCursor(panel_->Downloading() ? Qt::WaitCursor : Qt::ArrowCursor);
    adjustSize();
  }

  RetrievalPanel* panel_;
  QLabel* info_;
  QLabel* warning_;
  QLabel* usage_;
  QLineEdit* message_;
  QLabel* summary_;
  QProgressBar* progress_;
  QPushButton* retrieve_;
  QPushButton* full_;
  QPushButton* append_;
  QPushButton* close_;
};

}  // namespace

int ShowRetrievalPanelFace(RetrievalPanel& panel, QWidget* parent) {
  auto* window = new RetrievalWindow(panel, parent);
  window->show();
  window->raise();
  window->activateWindow();
  return 1;
}

int RunDownloadQueryFace(DownloadQueryChoice& choice, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setObjectName("downloadQuery");
  dialog.setWindowTitle(Q(choice.title));
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QLabel(Q(choice.query.text), &dialog);
  text->setObjectName("queryText");
  text->setTextFormat(Qt::PlainText);
  layout->addWidget(text);
  auto* row = new QHBoxLayout;
  int answer = kQueryCancel;
  auto add = [&](const std::string& label, int result, const char* name) {
    auto* b = new QPushButton(Q(label), &dialog);
    b->setObjectName(name);
    QObject::connect(b, &QPushButton::clicked, &dialog, [&dialog, &answer, result] {
      answer = result;
      dialog.done(result == kQueryCancel ? QDialog::Rejected : QDialog::Accepted);
    });
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
  };
  if (!choice.query.button6.empty()) add(choice.query.button6, kQueryButton6, "button6");
  add(choice.query.button7, kQueryButton7, "button7");
  // Enter leaves the logger as it is: "Stop" must be chosen.
  QPushButton* cancel = add("Cancel", kQueryCancel, "cancelButton");
  cancel->setDefault(true);
  cancel->setFocus();
  layout->addLayout(row);
  dialog.exec();
  return answer;
}

int RunWriteFormatFace(WriteFormatDialog& model, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setObjectName("writeFormat");
  dialog.setWindowTitle(QString::fromLatin1(WriteFormatDialog::Title()));
  auto* layout = new QVBoxLayout(&dialog);
  const int controls[] = {WriteFormatDialog::kValuesOnly, WriteFormatDialog::kTimeAndValues,
                          WriteFormatDialog::kDateTimeAndValues};
  for (int control : controls) {
    auto* radio = new QRadioButton(QString::fromLatin1(WriteFormatDialog::Text(control)), &dialog);
    radio->setObjectName(QStringLiteral("format%1").arg(control));
    radio->setChecked(model.Checked() == control);
    QObject::connect(radio, &QRadioButton::toggled, &dialog, [&model, control](bool on) {
      if (on) model.Check(control);
    });
    layout->addWidget(radio);
  }
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(box);
  if (dialog.exec() != QDialog::Accepted) {
    model.Cancel();
    return 0;
  }
  return model.Ok() == 1 ? 1 : 0;
}

void RegisterRetrievalFaces(DialogPresenter& presenter, QWidget* parent) {
  presenter.Register<RetrievalPanel>([parent](RetrievalPanel& p) { return ShowRetrievalPanelFace(p, parent); });
  presenter.Register<DownloadQueryChoice>(
      [parent](DownloadQueryChoice& c) { return RunDownloadQueryFace(c, parent); });
  presenter.Register<WriteFormatDialog>([parent](WriteFormatDialog& d) { return RunWriteFormatFace(d, parent); });
}

}  // namespace tmv::qt
