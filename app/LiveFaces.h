#pragma once
// The widget faces of the two live panels: "&Fetch live readings" and the
// "&Micro-Salinometer" panel. Both are modeless: the shell's tick drives
// their models, the faces only show them and pass the buttons on.
#include <QDialog>
#include <QWidget>

namespace tmv {
class DialogPresenter;
class LiveReadingsPanel;
class MicroSalPanel;
}  // namespace tmv

namespace tmv::qt {

// Both sit in docks beside the graph when their parent is the main window.
// Show the panel and return 1 at once; the panel's hooks refresh and close it.
int ShowLiveReadingsFace(LiveReadingsPanel& panel, QWidget* parent);

// The micro-salinometer panel's window, built hidden with the main window
// and bound to the program's one panel; its face shows it, "Close" hides it.
QDialog* BuildMicroSalFace(MicroSalPanel& panel, QWidget* parent);
// Before the panel goes: the window lets go of it.
void DetachMicroSalFace(QDialog* face);

void RegisterLiveFaces(DialogPresenter& presenter, QWidget* parent, QDialog* microSalFace);

}  // namespace tmv::qt
