// The calibration dialog and the conductivity correction equation dialog.
#include <gtest/gtest.h>

#include "model/CalibrationDialog.h"
#include "support/EmulatedRig.h"

namespace tmv {
namespace {

using test::EmulatedRig;

// A six-channel logger with coefficients whose digits go beyond "%.15g".
void SixChannels(EmulatedRig& rig) {
  LoggerInfo& info = rig.state.logger;
  info.channelCount = 6;
  const char types[] = "CTPDKJ";
  for (int i = 0; i < 6; ++i) info.channelTypes[static_cast<size_t>(i)] = static_cast<uint8_t>(types[i]);
  for (int i = 0; i < 6; ++i) rig.state.calibration.coefficients[static_cast<size_t>(i)] = {
      0.1 * i, 1.0 + i, 2.345678912345678e-08, -1.0 / 3.0};
}

TEST(CalibrationDialog, RowsLabelsFieldsAndScrollLimits) {
  EmulatedRig rig;
  SixChannels(rig);
  CalibrationDialogModel dlg(rig.state, 0);
  EXPECT_EQ(dlg.RowLabel(0), " 1 - Conductivity");
  EXPECT_EQ(dlg.RowLabel(1), " 2 - Temperature");
  // Each coefficient with the digits it has: no "-50.100000000000001" for -50.1.
  EXPECT_EQ(dlg.FieldText(0, 1), "1");
  EXPECT_EQ(dlg.FieldText(1, 3), "-0.333333333333333");
  rig.state.calibration.coefficients[0][0] = -50.1;
  EXPECT_EQ(CalibrationDialogModel(rig.state, 0).FieldText(0, 0), "-50.1");
  rig.state.calibration.coefficients[0][0] = 0.0;
  EXPECT_EQ(dlg.ScrollMaximum(), 3);
  dlg.OnScroll(CalibrationDialogModel::Scroll::PageDown);
  EXPECT_EQ(dlg.ScrollPosition(), 3);
  EXPECT_EQ(dlg.RowLabel(3), " 6 - Optode (conc) ");
  dlg.OnScroll(CalibrationDialogModel::Scroll::LineUp);
  EXPECT_EQ(dlg.ScrollPosition(), 2);
  dlg.OnScroll(CalibrationDialogModel::Scroll::Thumb, 40);
  EXPECT_EQ(dlg.ScrollPosition(), 3);
  dlg.OnScroll(CalibrationDialogModel::Scroll::PageUp);
  EXPECT_EQ(dlg.ScrollPosition(), 1);

  // Fewer than four channels: the scroll bar stays at 1, the missing rows are hidden.
  rig.state.logger.channelCount = 2;
  CalibrationDialogModel small(rig.state, 0);
  EXPECT_EQ(small.ScrollMaximum(), 1);
  EXPECT_TRUE(small.RowVisible(1));
  EXPECT_FALSE(small.RowVisible(2));
  EXPECT_EQ(small.FieldText(3, 0), "");
}

TEST(CalibrationDialog, LoggingLoggerDisablesSettingAndPasting) {
  EmulatedRig rig;
  SixChannels(rig);
  for (int status : {0, 4, 8}) {
    CalibrationDialogModel dlg(rig.state, status);
    EXPECT_TRUE(dlg.ButtonsEnabled()) << status;
    EXPECT_EQ(dlg.SetButtonText(), "Set calibration");
    EXPECT_EQ(dlg.ClipboardButtonText(), "Load a column from the clipboard");
  }
  CalibrationDialogModel dlg(rig.state, 2);
  EXPECT_FALSE(dlg.ButtonsEnabled());
  EXPECT_EQ(dlg.SetButtonText(), "Logging");
  EXPECT_EQ(dlg.ClipboardButtonText(), "Logging: Stop from 'Setup'");
  rig.ui.answers.push_back(MessageAnswer::Yes);
  EXPECT_EQ(dlg.SetCalibration(), 0);
  EXPECT_TRUE(rig.ui.boxes.empty());
}

TEST(CalibrationDialog, ClipboardMessagesAndPartialColumn) {
  EmulatedRig rig;
  SixChannels(rig);
  CalibrationDialogModel dlg(rig.state, 0);
  dlg.OnScroll(CalibrationDialogModel::Scroll::LineDown);
  dlg.SetFocusRow(2);  // channel 4

  rig.ui.clipboard = {false, std::nullopt};
  dlg.LoadColumnFromClipboard();
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes.back().text,
            "No clipboard available.\nAnother application holds the clipboard.\nRelease the clipboard from the "
            "other application and try again.");
  EXPECT_EQ(rig.ui.boxes.back().caption, "Open Clipboard");
  EXPECT_EQ(rig.ui.boxes.back().icon, MessageIcon::Exclamation);

  rig.ui.clipboard = {true, std::string()};
  dlg.LoadColumnFromClipboard();
  EXPECT_EQ(rig.ui.boxes.back().text,
            "No data available on the clipboard.\nLoad the clipboard with calibration data and try again.");
  EXPECT_EQ(rig.ui.boxes.back().caption, "Read Clipboard");

  rig.ui.clipboard = {true, std::string("Coefficients: 1 2 3 4")};
  dlg.LoadColumnFromClipboard();
  EXPECT_EQ(rig.ui.boxes.back().text, "WARNING\nNo items read from clipboard.");
  EXPECT_EQ(rig.ui.boxes.back().caption, "Copy Clipboard");
  EXPECT_EQ(dlg.FieldText(2, 0), "0.3");

  // "nan" would read as a number to a C reader; it is junk here and stops the column.
  rig.ui.clipboard = {true, std::string("  0.5\t125.25\n-3e-7 nan")};
  dlg.LoadColumnFromClipboard();
  EXPECT_EQ(rig.ui.boxes.back().text, "WARNING\nOnly 3 items read from clipboard.");
  EXPECT_EQ(rig.ui.boxes.back().caption, "Copy Clipboard");
  EXPECT_EQ(dlg.FieldText(2, 0), "0.5");
  EXPECT_EQ(dlg.FieldText(2, 1), "125.25");
  EXPECT_EQ(dlg.FieldText(2, 2), "-3e-07");
  EXPECT_EQ(dlg.FieldText(2, 3), "-0.333333333333333");  // left as it was
  EXPECT_EQ(dlg.Working().coefficients[3][2], -3e-7);     // the value itself, not its rounded text

  const size_t boxes = rig.ui.boxes.size();
  rig.ui.clipboard = {true, std::string("1 2 3 4 5")};
  dlg.LoadColumnFromClipboard();
  EXPECT_EQ(rig.ui.boxes.size(), boxes);
  EXPECT_EQ(dlg.Working().coefficients[3], (std::array<double, 4>{1, 2, 3, 4}));
}

TEST(CalibrationDialog, UntouchedFieldsKeepEveryDigitAndNothingChanges) {
  EmulatedRig rig;
  SixChannels(rig);
  const CalibrationSet before = rig.state.calibration;
  CalibrationDialogModel dlg(rig.state, 0);
  rig.ui.answers.push_back(MessageAnswer::Yes);
  ASSERT_EQ(dlg.SetCalibration(), 1);
  EXPECT_EQ(rig.ui.boxes.back().text, "Write these coefficients to the logger?");
  EXPECT_EQ(rig.ui.boxes.back().buttons, MessageButtons::YesNo);
  EXPECT_EQ(rig.ui.boxes.back().defaultAnswer, MessageAnswer::No);
  EXPECT_EQ(rig.state.calibration.coefficients, before.coefficients);
  EXPECT_EQ(rig.state.calibration.changedFlags, 0);
}

TEST(CalibrationDialog, EditedFieldIsStoredOnlyWhenConfirmed) {
  EmulatedRig rig;
  SixChannels(rig);
  const CalibrationSet before = rig.state.calibration;
  CalibrationDialogModel dlg(rig.state, 0);
  dlg.SetFieldText(1, 0, " 0.0036 ");
  // No (also the default): nothing is stored.
  EXPECT_EQ(dlg.SetCalibration(), 0);
  EXPECT_EQ(rig.state.calibration.coefficients, before.coefficients);

  rig.ui.answers.push_back(MessageAnswer::Yes);
  ASSERT_EQ(dlg.SetCalibration(), 1);
  EXPECT_EQ(rig.state.calibration.coefficients[1][0], 0.0036);
  EXPECT_EQ(rig.state.calibration.coefficients[1][2], before.coefficients[1][2]);
  EXPECT_EQ(rig.state.calibration.changedFlags, 1);
}

TEST(CalibrationDialog, FieldThatIsNotANumberStopsBeforeTheQuestion) {
  EmulatedRig rig;
  SixChannels(rig);
  const CalibrationSet before = rig.state.calibration;
  CalibrationDialogModel dlg(rig.state, 0);
  dlg.SetFieldText(0, 2, "1.5e");
  rig.ui.answers.push_back(MessageAnswer::Yes);
  EXPECT_EQ(dlg.SetCalibration(), 0);
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text, "The value of c2 for channel 1 is not a number.\nCorrect it and try again.");
  EXPECT_EQ(rig.state.calibration.coefficients, before.coefficients);
}

TEST(CalibrationDialog, UncalibratedLoggerIsAlwaysWritten) {
  EmulatedRig rig;
  SixChannels(rig);
  rig.state.calibration.origin = CalibrationOrigin::NotCalibrated;
  CalibrationDialogModel dlg(rig.state, 0);
  EXPECT_EQ(dlg.OriginText(), "Logger not yet calibrated - using defaults");
  EXPECT_TRUE(dlg.SetButtonEnabled());
  rig.ui.answers.push_back(MessageAnswer::Yes);
  ASSERT_EQ(dlg.SetCalibration(), 1);
  EXPECT_EQ(rig.state.calibration.changedFlags, 1);
}

TEST(ConductivityCorrectionDialog, OkStoresChangedFieldsOnly) {
  EmulatedRig rig;
  SixChannels(rig);
  rig.state.logger.microchipLogger = true;
  rig.state.logger.conductivityMilliSiemens = true;
  rig.state.calibration.conductivityCorrection = {3.25e-6, 0.0, 20.0, -9.57e-8};
  CalibrationDialogModel dlg(rig.state, 0);
  EXPECT_TRUE(dlg.ConductivityButtonVisible());

  ConductivityCorrectionDialogModel eq = dlg.OpenConductivityCorrection();
  EXPECT_EQ(eq.FieldText(0), "0.0000032");
  EXPECT_EQ(eq.FieldText(2), "20.0000000");
  EXPECT_EQ(dlg.ConductivityCorrectionOk(eq), 0);  // untouched: a keeps its digits
  EXPECT_EQ(dlg.Working().conductivityCorrection.a, 3.25e-6);

  eq.SetFieldText(2, "x");
  EXPECT_EQ(dlg.ConductivityCorrectionOk(eq), -1);
  EXPECT_EQ(rig.ui.boxes.back().text, "The value of Tc is not a number.\nCorrect it and try again.");
  EXPECT_EQ(dlg.Working().conductivityCorrection.tc, 20.0);

  eq.SetFieldText(2, "25");
  EXPECT_EQ(dlg.ConductivityCorrectionOk(eq), 1);
  EXPECT_EQ(dlg.Working().conductivityCorrection.tc, 25.0);
  EXPECT_EQ(dlg.Working().conductivityCorrection.a, 3.25e-6);
  EXPECT_EQ(rig.state.calibration.conductivityCorrection.tc, 20.0);  // only on "Set calibration"

  rig.ui.answers.push_back(MessageAnswer::Yes);
  ASSERT_EQ(dlg.SetCalibration(), 1);
  EXPECT_EQ(rig.state.calibration.changedFlags, 2);
  EXPECT_EQ(rig.state.calibration.conductivityCorrection.tc, 25.0);

  rig.state.logger.microchipLogger = false;
  EXPECT_FALSE(CalibrationDialogModel(rig.state, 0).ConductivityButtonVisible());
}

}  // namespace
}  // namespace tmv
