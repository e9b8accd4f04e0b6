#pragma once
// The "Tide analysis" panel: the fields of the analysis, the constituent
// table, and observed, predicted and residual drawn by the graph core. The
// panel's model (TidePanel) does the work.
#include <QWidget>

namespace tmv {
class DialogPresenter;
struct AppState;
}  // namespace tmv

namespace tmv::qt {

void RegisterTideFace(DialogPresenter& presenter, AppState& state, QWidget* parent);

}  // namespace tmv::qt
