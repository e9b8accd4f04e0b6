#pragma once
// The widget faces of the two live panels: "&Fetch live readings" and the
// "&Micro-Salinometer" panel. Both are modeless: the shell's tick drives
// their models, the faces only show them and pass the buttons on.
#include <QWidget>

namespace tmv {
class DialogPresenter;
class LiveReadingsPanel;
class MicroSalPanel;
}  // namespace tmv

namespace tmv::qt {

// Show the panel and return 1 at once; the panel's hooks refresh and close it.
int ShowLiveReadingsFace(LiveReadingsPanel& panel, QWidget* parent);
int ShowMicroSalFace(MicroSalPanel& panel, QWidget* parent);

void RegisterLiveFaces(DialogPresenter& presenter, QWidget* parent);

}  // namespace tmv::qt
