#pragma once
// The widget faces of the derived-units and real-time limits dialogs.
#include <QWidget>

namespace tmv {
struct AppState;
class DialogPresenter;
class DerivedUnitsDialog;
class LimitsDialog;
}  // namespace tmv

namespace tmv::qt {

int RunDerivedUnitsFace(DerivedUnitsDialog& model, QWidget* parent);
int RunLimitsFace(LimitsDialog& model, QWidget* parent);

// Binds both faces, and lets the KZM depth guard open the derived-units
// dialog once the caller's own dialog has closed.
void RegisterDerivedFaces(DialogPresenter& presenter, AppState& state, QWidget* parent);

}  // namespace tmv::qt
