#pragma once
// The widget faces of the core's dialog models. Each Run...Face builds a
// QDialog over the model, forwards the user's actions to the model's
// handlers and shows what the model then holds; it returns the dialog's end
// result (1 accepted, 0 cancelled). RegisterDialogFaces binds them all to
// the shell's presenter: a new dialog adds its face here the same way.
#include <QWidget>

namespace tmv {
struct AppState;
class DialogPresenter;
struct DefaultBaudDialog;
struct CommunicationFormatDialog;
struct SamplingLedDialog;
struct LatencyDialog;
class GpsTestDialog;
struct CurrentCapabilitiesDialog;
class CalibrationDialogModel;
struct CalibrationHistory;
}  // namespace tmv

namespace tmv::qt {

int RunDefaultBaudFace(DefaultBaudDialog& model, AppState& state, QWidget* parent);
int RunCommunicationFormatFace(CommunicationFormatDialog& model, AppState& state, QWidget* parent);
int RunSamplingLedFace(SamplingLedDialog& model, AppState& state, QWidget* parent);
int RunLatencyFace(LatencyDialog& model, AppState& state, QWidget* parent);
int RunGpsTestFace(GpsTestDialog& model, QWidget* parent);
int RunCurrentCapabilitiesFace(CurrentCapabilitiesDialog& model, QWidget* parent);
int RunCalibrationFace(CalibrationDialogModel& model, QWidget* parent);
int RunCalibrationHistoryFace(CalibrationHistory& history, QWidget* parent);

void RegisterDialogFaces(DialogPresenter& presenter, AppState& state, QWidget* parent);

}  // namespace tmv::qt
