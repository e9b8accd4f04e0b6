#pragma once
// Panels beside the graph. The statistics panel, the wave window, live
// readings and the micro-salinometer panel (and any panel added later) sit
// in docks to the left of, right of or below the graph instead of over it;
// the user moves them there, and the main window's saved state keeps where
// each was between runs.
//
// A panel stays the widget its face built (a QDialog with its own "Close",
// Escape and model): showing it shows its dock, hiding or closing it hides
// the dock, its title is the dock's, and the dock's close box closes it as
// its own "Close" does.
#include <QDockWidget>
#include <QString>

class QMainWindow;

namespace tmv::qt {

// Puts `panel` in the dock named `dockName` of `window` (made on first use,
// placed where the saved state had it, else in `area`); a panel that was in
// it before is replaced. The panel is hidden until it is shown.
QDockWidget* DockPanel(QMainWindow* window, QWidget* panel, const QString& dockName, Qt::DockWidgetArea area);

// The dock holding `panel`, or nullptr when it stands alone.
QDockWidget* DockOf(const QWidget* panel);

}  // namespace tmv::qt
