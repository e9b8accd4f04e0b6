#include "model/CalibrationDialog.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

#include "model/ChannelTypes.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

namespace {

std::string Trimmed(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return std::string(text.substr(b, e - b));
}

void Warn(AppState& state, const std::string& text, const char* caption) {
  state.ui.MessageBox(text, Tr(state, caption), MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
}

void NotANumber(AppState& state, const char* field, int channel) {
  const std::string text =
      channel > 0 ? Format(Tr(state, "The value of %s for channel %d is not a number.\nCorrect it and try again.").c_str(),
                           field, channel)
                  : Format(Tr(state, "The value of %s is not a number.\nCorrect it and try again.").c_str(), field);
  Warn(state, text, "Calibration");
}

// Up to four numbers the way "%lf %lf %lf %lf" reads them: stops at the
// first text that is not a number. Values that are not finite stop it too.
int ParseClipboardColumn(const std::string& text, std::array<double, 4>& values) {
  const char* p = text.c_str();
  int count = 0;
  while (count < 4) {
    char* end = nullptr;
    const double v = std::strtod(p, &end);
    if (end == p || !std::isfinite(v)) break;
    values[static_cast<size_t>(count++)] = v;
    p = end;
  }
  return count;
}

constexpr std::array<const char*, 4> kCoefficientNames = {"c0", "c1", "c2", "c3"};

}  // namespace

bool ParseCoefficient(std::string_view text, double& value) {
  const std::string t = Trimmed(text);
  if (t.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || !std::isfinite(v)) return false;
  value = v;
  return true;
}

// ---- Conductivity correction equation ----

ConductivityCorrectionDialogModel::ConductivityCorrectionDialogModel(const ConductivityCorrection& current)
    : values_{current.a, current.b, current.tc, current.c} {
  for (size_t i = 0; i < 4; ++i) shown_[i] = texts_[i] = Format("%.7f", values_[i]);
}

void ConductivityCorrectionDialogModel::SetFieldText(int field, const std::string& text) {
  if (field >= 0 && field < 4) texts_[static_cast<size_t>(field)] = text;
}

int ConductivityCorrectionDialogModel::Ok(AppState& state, ConductivityCorrection& target) const {
  // Only fields the user edited are taken: the seven decimals shown are not
  // the whole value, and an untouched field must keep it.
  std::array<double, 4> values = {target.a, target.b, target.tc, target.c};
  bool changed = false;
  for (size_t i = 0; i < 4; ++i) {
    if (texts_[i] == shown_[i]) continue;
    double v = 0.0;
    if (!ParseCoefficient(texts_[i], v)) {
      NotANumber(state, kFieldNames[i], 0);
      return -1;
    }
    if (v != values[i]) {
      values[i] = v;
      changed = true;
    }
  }
  target = ConductivityCorrection{values[0], values[1], values[2], values[3]};
  return changed ? 1 : 0;
}

// ---- Calibration dialog ----

CalibrationDialogModel::CalibrationDialogModel(AppState& state, int loggerStatus)
    : state_(state),
      working_(state.calibration),
      channels_(std::clamp(state.logger.channelCount, 1, kMaxChannels)),
      logging_(loggerStatus != 0 && loggerStatus != 4 && loggerStatus != 8),
      unreadable_(state.calibration.origin == CalibrationOrigin::Unreadable) {
  for (int ch = 0; ch < kMaxChannels; ++ch)
    for (int k = 0; k < 4; ++k) ShowValue(ch, k);
}

void CalibrationDialogModel::ShowValue(int channel, int coefficient) {
  const auto c = static_cast<size_t>(channel), k = static_cast<size_t>(coefficient);
  shown_[c][k] = texts_[c][k] = Format("%.15g", working_.coefficients[c][k]);
}

int CalibrationDialogModel::ScrollMaximum() const { return std::max(1, channels_ - 3); }

void CalibrationDialogModel::OnScroll(Scroll action, int thumbPosition) {
  int p = first_;
  switch (action) {
    case Scroll::LineUp: p -= 1; break;
    case Scroll::LineDown: p += 1; break;
    case Scroll::PageUp: p -= kVisibleRows; break;
    case Scroll::PageDown: p += kVisibleRows; break;
    case Scroll::Thumb: p = thumbPosition; break;
    case Scroll::Top: p = ScrollMinimum(); break;
    case Scroll::Bottom: p = ScrollMaximum(); break;
  }
  first_ = std::clamp(p, ScrollMinimum(), ScrollMaximum());
}

bool CalibrationDialogModel::RowVisible(int row) const {
  return row >= 0 && row < kVisibleRows && RowChannel(row) < channels_;
}

int CalibrationDialogModel::RowChannel(int row) const { return first_ - 1 + row; }

std::string CalibrationDialogModel::RowLabel(int row) const {
  if (!RowVisible(row)) return std::string();
  return ChannelLabel(state_.logger, RowChannel(row));
}

const std::string& CalibrationDialogModel::FieldText(int row, int coefficient) const {
  static const std::string kNone;
  if (!RowVisible(row) || coefficient < 0 || coefficient > 3) return kNone;
  return texts_[static_cast<size_t>(RowChannel(row))][static_cast<size_t>(coefficient)];
}

void CalibrationDialogModel::SetFieldText(int row, int coefficient, const std::string& text) {
  if (!RowVisible(row) || coefficient < 0 || coefficient > 3) return;
  texts_[static_cast<size_t>(RowChannel(row))][static_cast<size_t>(coefficient)] = text;
}

void CalibrationDialogModel::SetFocusRow(int row) {
  if (RowVisible(row)) focusRow_ = row;
}

std::string CalibrationDialogModel::SetButtonText() const {
  return Tr(state_, logging_ ? "Logging" : "Set calibration");
}

std::string CalibrationDialogModel::ClipboardButtonText() const {
  return Tr(state_, logging_ ? "Logging: Stop from 'Setup'" : "Load a column from the clipboard");
}

std::string CalibrationDialogModel::OriginText() const {
  switch (working_.origin) {
    case CalibrationOrigin::NotCalibrated: return Tr(state_, "Logger not yet calibrated - using defaults");
    case CalibrationOrigin::Unreadable: return Tr(state_, "Unable to read calibration coefficients - using defaults");
    case CalibrationOrigin::NotRead:
    case CalibrationOrigin::Read: break;
  }
  return std::string();
}

bool CalibrationDialogModel::ConductivityButtonVisible() const {
  return state_.logger.microchipLogger && state_.logger.conductivityMilliSiemens;
}

void CalibrationDialogModel::LoadColumnFromClipboard() {
  if (logging_) return;
  const UserInterface::ClipboardRead clip = state_.ui.ReadClipboard();
  if (!clip.opened) {
    Warn(state_,
         Tr(state_, "No clipboard available.\nAnother application holds the clipboard.\nRelease the clipboard "
                    "from the other application and try again."),
         "Open Clipboard");
    return;
  }
  if (!clip.text || clip.text->empty()) {
    Warn(state_, Tr(state_, "No data available on the clipboard.\nLoad the clipboard with calibration data and try again."),
         "Read Clipboard");
    return;
  }
  std::array<double, 4> values{};
  const int count = ParseClipboardColumn(*clip.text, values);
  const int channel = RowChannel(focusRow_);
  for (int k = 0; k < count; ++k) {
    working_.coefficients[static_cast<size_t>(channel)][static_cast<size_t>(k)] = values[static_cast<size_t>(k)];
    ShowValue(channel, k);
  }
  if (count == 0)
    Warn(state_, Tr(state_, "WARNING\nNo items read from clipboard."), "Copy Clipboard");
  else if (count < 4)
    Warn(state_, Format(Tr(state_, "WARNING\nOnly %d items read from clipboard.").c_str(), count), "Copy Clipboard");
}

ConductivityCorrectionDialogModel CalibrationDialogModel::OpenConductivityCorrection() const {
  return ConductivityCorrectionDialogModel(working_.conductivityCorrection);
}

int CalibrationDialogModel::ConductivityCorrectionOk(const ConductivityCorrectionDialogModel& dialog) {
  const int r = dialog.Ok(state_, working_.conductivityCorrection);
  if (r == 1) correctionChanged_ = true;
  return r;
}

bool CalibrationDialogModel::ReadFields() {
  // A field is read back only when the user changed its text: "%.15g" does
  // not hold every digit of a coefficient, and an untouched coefficient must
  // be written back exactly as it came.
  CalibrationSet read = working_;
  for (int ch = 0; ch < channels_; ++ch)
    for (int k = 0; k < 4; ++k) {
      const auto c = static_cast<size_t>(ch), kk = static_cast<size_t>(k);
      if (texts_[c][kk] == shown_[c][kk]) continue;
      double v = 0.0;
      if (!ParseCoefficient(texts_[c][kk], v)) {
        NotANumber(state_, kCoefficientNames[kk], ch + 1);
        return false;
      }
      read.coefficients[c][kk] = v;
    }
  working_ = read;
  return true;
}

int CalibrationDialogModel::SetCalibration() {
  if (logging_) return 0;
  if (unreadable_) {
    Warn(state_, Tr(state_, "The calibration coefficients of this logger could not be read.\nThe coefficients were not written."),
         "Calibration");
    return 0;
  }
  if (!ReadFields()) return 0;
  int flags = 0;
  for (int ch = 0; ch < channels_; ++ch)
    if (working_.coefficients[static_cast<size_t>(ch)] != state_.calibration.coefficients[static_cast<size_t>(ch)])
      flags = 1;
  // The defaults of an uncalibrated logger are written even when unchanged.
  if (state_.calibration.origin == CalibrationOrigin::NotCalibrated) flags = 1;
  if (correctionChanged_) flags |= 2;
  working_.changedFlags = flags;

  const MessageAnswer answer =
      state_.ui.MessageBox(Tr(state_, "Write these coefficients to the logger?"), Tr(state_, "Calibration"),
                           MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::No);
  if (answer != MessageAnswer::Yes) return 0;
  state_.calibration = working_;
  return 1;
}

}  // namespace tmv
