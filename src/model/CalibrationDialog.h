#pragma once
// The calibration dialog ("TMV Logger - Calibration") and the conductivity
// correction equation dialog, as models without a window: the desktop
// program binds their texts, buttons and scroll bar to widgets.
#include <array>
#include <string>
#include <string_view>

#include "model/CalibrationSet.h"

namespace tmv {

struct AppState;

// A number typed into a coefficient field: the whole text (blanks around it
// allowed) must be one finite number.
bool ParseCoefficient(std::string_view text, double& value);

class ConductivityCorrectionDialogModel {
 public:
  static constexpr const char* kTitle = "Conductivity Correction Equation";
  static constexpr const char* kLegend =
      "For: Measured Conductivity = Cm, Corrected Conductivity = Ccor, Temperature = T, Hydrostatic "
      "Pressure = P;\n\nthen:";
  static constexpr const char* kEquation = "Ccor = (Cm - b(T - Tc)) / (1 + a(T - Tc) + cP)";
  static constexpr const char* kWhere = "where:";
  static constexpr std::array<const char*, 4> kFieldNames = {"a", "b", "Tc", "c"};

  explicit ConductivityCorrectionDialogModel(const ConductivityCorrection& current);

  // Fields a, b, Tc, c shown with "%.7f".
  const std::string& FieldText(int field) const { return texts_[static_cast<size_t>(field)]; }
  void SetFieldText(int field, const std::string& text);

  // OK: stores into target every field the user changed. 1 = some field
  // changed, 0 = none did; -1 = a field is not a number (message shown, the
  // dialog stays open and target is untouched). Cancel is simply not calling it.
  int Ok(AppState& state, ConductivityCorrection& target) const;

 private:
  std::array<double, 4> values_{};
  std::array<std::string, 4> shown_;  // the texts as first displayed
  std::array<std::string, 4> texts_;
};

class CalibrationDialogModel {
 public:
  static constexpr const char* kTitle = "TMV Logger - Calibration";
  static constexpr int kVisibleRows = 4;
  static constexpr std::array<const char*, 4> kHeadings = {"y=", "+x*", "+x^2*", "+x^3*"};

  // loggerStatus is the status code of query 9 as read on opening.
  CalibrationDialogModel(AppState& state, int loggerStatus);

  int Channels() const { return channels_; }

  // Scroll bar: the first visible channel, 1 .. channels - 3.
  enum class Scroll { LineUp, LineDown, PageUp, PageDown, Thumb, Top, Bottom };
  int ScrollMinimum() const { return 1; }
  int ScrollMaximum() const;
  int ScrollPosition() const { return first_; }
  void OnScroll(Scroll action, int thumbPosition = 0);

  // Rows 0..3 of the visible window.
  bool RowVisible(int row) const;
  int RowChannel(int row) const;  // 0-based channel shown in the row
  std::string RowLabel(int row) const;
  const std::string& FieldText(int row, int coefficient) const;
  void SetFieldText(int row, int coefficient, const std::string& text);
  void SetFocusRow(int row);  // the row whose field last had the focus
  int FocusRow() const { return focusRow_; }

  // A logging logger cannot take new coefficients.
  bool Logging() const { return logging_; }
  bool ButtonsEnabled() const { return !logging_; }
  // The logger's own coefficients could not be read: the defaults are shown
  // and "Set calibration" stays disabled, so they never go over them.
  bool Unreadable() const { return unreadable_; }
  bool SetButtonEnabled() const { return !logging_ && !unreadable_; }
  // What the coefficients shown are, when they are not the logger's own:
  // "Logger not yet calibrated - using defaults" or "Unable to read
  // calibration coefficients - using defaults"; empty otherwise.
  std::string OriginText() const;
  std::string SetButtonText() const;        // "Set calibration" or "Logging"
  std::string ClipboardButtonText() const;  // "Load a column from the clipboard" or "Logging: Stop from 'Setup'"
  bool ConductivityButtonVisible() const;

  // "Load a column from the clipboard" into the focus row.
  void LoadColumnFromClipboard();

  // The "Conductivity Correction" button: open the equation dialog on the
  // working copy, then hand it back when the user pressed OK. Returns Ok's result.
  ConductivityCorrectionDialogModel OpenConductivityCorrection() const;
  int ConductivityCorrectionOk(const ConductivityCorrectionDialogModel& dialog);

  // "Set calibration": 1 = confirmed; the CalibrationSet holds the new
  // values and changedFlags, the dialog closes and WriteCalibration is the
  // caller's next step. 0 = the dialog stays open (not confirmed, a field
  // that is not a number, the logger is logging or its coefficients could
  // not be read).
  int SetCalibration();

  const CalibrationSet& Working() const { return working_; }

 private:
  // Parses every field the user changed into the working copy; false (with a
  // message) when one is not a number.
  bool ReadFields();
  void ShowValue(int channel, int coefficient);

  AppState& state_;
  CalibrationSet working_;
  int channels_;
  int first_ = 1;
  int focusRow_ = 0;
  bool logging_;
  bool unreadable_;
  bool correctionChanged_ = false;
  std::array<std::array<std::string, 4>, kMaxChannels> texts_;
  std::array<std::array<std::string, 4>, kMaxChannels> shown_;
};

}  // namespace tmv
