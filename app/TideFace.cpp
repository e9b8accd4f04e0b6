#include "TideFace.h"

#include <algorithm>

#include <QCheckBox>
#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "GraphPainter.h"
#include "analysis/TidePanel.h"
#include "shell/AppState.h"
#include "shell/DialogPresenter.h"

namespace tmv::qt {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

class TideDialog : public QDialog {
 public:
  TideDialog(TidePanel& panel, AppState& state, QWidget* parent) : QDialog(parent), panel_(panel), state_(state) {
    setObjectName("tideAnalysis");
    setWindowTitle(QStringLiteral("Tide analysis"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    constituents_ = Field("tideConstituents", panel.constituents, "chosen by the Rayleigh criterion");
    rayleigh_ = Field("tideRayleigh", panel.rayleigh, "1");
    offset_ = Field("tideUtcOffset", panel.utcOffset, "+00:00 (the logger clock keeps UTC)");
    latitude_ = Field("tideLatitude", panel.latitude, "degrees north");
    trend_ = new QCheckBox(QStringLiteral("Fit a linear trend"), this);
    trend_->setObjectName("tideTrend");
    trend_->setChecked(panel.trend);
    form->addRow(QStringLiteral("Constituents:"), constituents_);
    form->addRow(QStringLiteral("Rayleigh criterion:"), rayleigh_);
    form->addRow(QStringLiteral("Logger clock's UTC offset:"), offset_);
    form->addRow(QStringLiteral("Latitude:"), latitude_);
    form->addRow(QString(), trend_);
    layout->addLayout(form);
    summary_ = new QLabel(this);
    summary_->setObjectName("tideSummary");
    summary_->setWordWrap(true);
    message_ = new QLabel(this);
    message_->setObjectName("tideMessage");
    message_->setWordWrap(true);
    table_ = new QTableWidget(this);
    table_->setObjectName("tideTable");
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setVisible(false);
    table_->setMinimumHeight(140);
    table_->horizontalHeader()->setStretchLastSection(true);
    graph_ = new QLabel(this);
    graph_->setObjectName("tideGraph");
    graph_->setAlignment(Qt::AlignCenter);
    layout->addWidget(summary_);
    layout->addWidget(message_);
    layout->addWidget(table_, 1);
    layout->addWidget(graph_);
    auto* buttons = new QHBoxLayout;
    auto* analyse = Button("tideAnalyse", "&Analyse", buttons);
    auto* save = Button("tideSave", "&Save...", buttons);
    buttons->addStretch();
    auto* close = Button("tideClose", "&Close", buttons);
    layout->addLayout(buttons);
    connect(analyse, &QPushButton::clicked, this, [this] {
      panel_.constituents = constituents_->text().toStdString();
      panel_.rayleigh = rayleigh_->text().toStdString();
      panel_.utcOffset = offset_->text().toStdString();
      panel_.latitude = latitude_->text().toStdString();
      panel_.trend = trend_->isChecked();
      panel_.Analyse();
      Show();
    });
    connect(save, &QPushButton::clicked, this, [this] {
      panel_.SaveAs();
      Show();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    Show();
  }

 private:
  QLineEdit* Field(const char* name, const std::string& text, const char* placeholder) {
    auto* edit = new QLineEdit(Q(text), this);
    edit->setObjectName(name);
    edit->setPlaceholderText(QString::fromUtf8(placeholder));
    return edit;
  }
  QPushButton* Button(const char* name, const char* text, QHBoxLayout* row) {
    auto* b = new QPushButton(QString::fromUtf8(text), this);
    b->setObjectName(name);
    row->addWidget(b);
    return b;
  }

  void Show() {
    summary_->setText(Q(panel_.Summary()));
    message_->setText(Q(panel_.message));
    const auto heading = TidePanel::TableHeading();
    const auto rows = panel_.TableRows();
    table_->clear();
    table_->setColumnCount(static_cast<int>(heading.size()));
    table_->setRowCount(static_cast<int>(rows.size()));
    QStringList labels;
    for (const std::string& h : heading) labels << Q(h);
    table_->setHorizontalHeaderLabels(labels);
    for (size_t r = 0; r < rows.size(); ++r)
      for (size_t c = 0; c < rows[r].size(); ++c) {
        auto* item = new QTableWidgetItem(Q(rows[r][c]));
        item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(static_cast<int>(r), static_cast<int>(c), item);
      }
    table_->resizeColumnsToContents();
    if (panel_.graph.hasData) {
      const GraphDrawing drawing = panel_.Picture(std::max(width() - 24, 600), 290);
      graph_->setPixmap(QPixmap::fromImage(paint::RenderGraphImage(drawing)));
    } else {
      graph_->clear();
    }
  }

  TidePanel& panel_;
  AppState& state_;
  QLineEdit *constituents_ = nullptr, *rayleigh_ = nullptr, *offset_ = nullptr, *latitude_ = nullptr;
  QCheckBox* trend_ = nullptr;
  QLabel *summary_ = nullptr, *message_ = nullptr, *graph_ = nullptr;
  QTableWidget* table_ = nullptr;
};

}  // namespace

void RegisterTideFace(DialogPresenter& presenter, AppState& state, QWidget* parent) {
  presenter.Register<TidePanel>([&state, parent](TidePanel& panel) {
    TideDialog dialog(panel, state, parent);
    return dialog.exec() == QDialog::Accepted ? 1 : 0;
  });
}

}  // namespace tmv::qt
