#pragma once
// The widget faces of the "&Setup" command: the Setup dialog, the
// date-and-time picker, "Tide and Wave modes", the Thresholding dialog, the
// simulation choices, "Too many samples requested" and "The logger contains
// data". Each shows its model and forwards the user's actions to the core's
// handlers (shell/SetupCommand.h); none decides anything itself.
#include <QWidget>

namespace tmv {
struct AppState;
class DialogPresenter;
struct SetupSession;
struct PickerSession;
struct BurstSession;
struct ThresholdDialog;
struct SimulationChoiceDialog;
struct QnSimulationDialog;
struct TooManySamplesDialog;
struct ContainsDataDialog;
}  // namespace tmv

namespace tmv::qt {

int RunSetupFace(SetupSession& session, QWidget* parent);
int RunPickerFace(PickerSession& session, QWidget* parent);
int RunBurstFace(BurstSession& session, QWidget* parent);
int RunThresholdFace(ThresholdDialog& model, AppState& state, QWidget* parent);
int RunSimulationChoiceFace(SimulationChoiceDialog& model, QWidget* parent);
int RunQnSimulationFace(QnSimulationDialog& model, QWidget* parent);
int RunTooManySamplesFace(TooManySamplesDialog& model, QWidget* parent);
int RunContainsDataFace(ContainsDataDialog& model, QWidget* parent);

void RegisterSetupFaces(DialogPresenter& presenter, AppState& state, QWidget* parent);

}  // namespace tmv::qt
