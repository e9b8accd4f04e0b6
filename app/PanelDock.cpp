#include "PanelDock.h"

#include <QCloseEvent>
#include <QEvent>
#include <QLayout>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <algorithm>

namespace tmv::qt {
namespace {

constexpr const char* kPanelDockProperty = "tmvPanelDock";

// Follows its panel: shown, hidden and titled with it; its close box is the panel's.
class PanelDockWidget : public QDockWidget {
 public:
  PanelDockWidget(const QString& name, QMainWindow* window) : QDockWidget(window) {
    setObjectName(name);
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  }

  void Hold(QWidget* panel) {
    if (QWidget* previous = widget(); previous != nullptr && previous != panel) previous->removeEventFilter(this);
    panel_ = panel;
    panel->setWindowFlags(Qt::Widget);
    panel->setProperty(kPanelDockProperty, QVariant::fromValue(static_cast<QObject*>(this)));
    setWidget(panel);
    setWindowTitle(panel->windowTitle());
    panel->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != panel_) return false;
    switch (event->type()) {
      // Shown or hidden by itself (its command, its "Close"), whether or
      // not the dock is in view at that moment.
      case QEvent::ShowToParent:
        show();
        raise();
        // The panel just asked for takes the keys (Escape closes it, not the graph's cursor).
        panel_->setFocus(Qt::OtherFocusReason);
        KeepOnTheScreen();
        break;
      case QEvent::HideToParent:
        hide();
        break;
      case QEvent::WindowTitleChange:
        setWindowTitle(panel_->windowTitle());
        break;
      default:
        break;
    }
    return false;
  }

  // A dock that widens the window past the screen goes below the graph,
  // where a laptop screen has room; only when that does not fit either does
  // it float, over the window's corner (a graph that cannot shrink leaves
  // it no room).
  void KeepOnTheScreen() {
    QTimer::singleShot(0, this, [this] {
      auto* window = qobject_cast<QMainWindow*>(parentWidget());
      if (window == nullptr || isFloating() || window->screen() == nullptr) return;
      const QRect screen = window->screen()->availableGeometry();
      auto fits = [&] {
        window->layout()->activate();  // the room the dock takes, now
        const QSize frame = window->frameGeometry().size();
        return frame.width() <= screen.width() && frame.height() <= screen.height();
      };
      if (fits()) return;
      const QSize before = size();
      const QSize margins = window->frameGeometry().size() - window->size();
      const QSize room = screen.size() - margins;
      if (window->dockWidgetArea(this) != Qt::BottomDockWidgetArea) {
        window->addDockWidget(Qt::BottomDockWidgetArea, this);
        window->layout()->activate();
        // The width the dock took beside the graph goes back; the height it
        // now needs below the graph is added, as far as the screen allows.
        const QSize least = window->minimumSizeHint();
        window->resize(std::min(window->width(), room.width()),
                       std::min(std::max(window->height(), least.height()), room.height()));
        if (fits()) {
          // Kept whole on the screen, however it grew.
          window->move(std::min(window->x(), screen.right() + 1 - window->frameGeometry().width()),
                       std::min(window->y(), screen.bottom() + 1 - window->frameGeometry().height()));
          return;
        }
      }
      setFloating(true);
      window->layout()->activate();  // the room it no longer takes
      resize(std::min(before.width(), screen.width() / 2), std::min(before.height(), screen.height() / 2));
      move(screen.right() + 1 - frameGeometry().width(), screen.bottom() + 1 - frameGeometry().height());
      window->resize(std::min(window->width(), room.width()), std::min(window->height(), room.height()));
    });
  }

  void closeEvent(QCloseEvent* event) override {
    // The close box ends the panel the way its own "Close" does; a panel
    // that refuses (it asks first and the user said no) keeps its dock.
    if (!panel_.isNull() && panel_->isVisibleTo(this) && !panel_->close()) {
      event->ignore();
      return;
    }
    QDockWidget::closeEvent(event);
  }

 private:
  QPointer<QWidget> panel_;
};

}  // namespace

QDockWidget* DockPanel(QMainWindow* window, QWidget* panel, const QString& dockName, Qt::DockWidgetArea area) {
  auto* dock = window->findChild<PanelDockWidget*>(dockName, Qt::FindDirectChildrenOnly);
  if (dock == nullptr) {
    dock = new PanelDockWidget(dockName, window);
    // Where the saved state had it; the default place for a new one.
    if (!window->restoreDockWidget(dock)) window->addDockWidget(area, dock);
    dock->hide();
  }
  const bool shown = panel->isVisible();
  dock->Hold(panel);
  if (!shown) panel->hide();
  return dock;
}

QDockWidget* DockOf(const QWidget* panel) {
  return qobject_cast<QDockWidget*>(panel->property(kPanelDockProperty).value<QObject*>());
}

}  // namespace tmv::qt
