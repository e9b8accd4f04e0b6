// The logger-model dialogs reached from the main window's menus, on the
// offscreen platform with the emulated logger and a virtual clock behind the
// window: what each dialog shows, what the user's actions change on the logger.
#include <gtest/gtest.h>

#include "DesktopSupport.h"
#include "model/Conversion.h"

namespace tmv::qt {
namespace {

using namespace guitest;

TEST(ModelDialogs, CurrentCapabilitiesListsWhatTheLoggerCanDo) {
  Desktop d("QN-760");
  ASSERT_TRUE(d.Connect());
  ModalScript script;
  script.On("Current Capabilities", [&](QWidget* dialog) {
    const QStringList labels = VisibleLabelTexts(dialog);
    ASSERT_FALSE(labels.isEmpty());
    EXPECT_TRUE(labels[0].startsWith("TMV Data Logger: QN-760")) << labels[0].toStdString();
    for (const char* text : {"Memory size: 8 Meg, type: AT45DB642D", "Default baud rate: 19200 baud",
                             "Engineering units level 1: OFF", "Memory test capable - successful",
                             "Express download: 115200 baud", "Number of channels of data: 4", "Latency: 300 ms",
                             "Readingtime: 1000 ms"})
      EXPECT_TRUE(labels.contains(QString::fromLatin1(text))) << text;
    QStringList ticked, unticked;
    for (auto* box : dialog->findChildren<QCheckBox*>()) (box->isChecked() ? ticked : unticked) << box->text();
    for (const char* text : {"Averaging", "Hysteresis", "Microchip logger", "UV Commands", "!12 Commands",
                             "Sampling LED", "Power save thresholding"})
      EXPECT_TRUE(ticked.contains(QString::fromLatin1(text))) << text;
    for (const char* text : {"Waves", "Generic Serial Card"})
      EXPECT_TRUE(unticked.contains(QString::fromLatin1(text))) << text;
    EXPECT_EQ(ticked.size() + unticked.size(), 18);
    // Shown at full contrast, yet the listing cannot be changed by a click.
    for (auto* box : dialog->findChildren<QCheckBox*>()) {
      EXPECT_TRUE(box->isEnabled()) << box->text().toStdString();
      const bool was = box->isChecked();
      // Through the window, as the user's click comes.
      QTest::mouseClick(dialog->windowHandle(), Qt::LeftButton, {}, box->mapTo(dialog, QPoint(8, box->height() / 2)));
      EXPECT_EQ(box->isChecked(), was) << box->text().toStdString();
    }
    ExpectNothingClipped(dialog);
    Screenshot(dialog, "dialog-capabilities.png");
    script.Later(Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Close));
  });
  script.Run(d.Item("&Logger functions", "C&urrent Capabilities"));
}

TEST(ModelDialogs, DefaultBaudRateOffersTheRatesAndSwitchesTheLogger) {
  Desktop d("QN-760");
  ASSERT_TRUE(d.Connect());
  ModalScript script;
  script.On("Set Default Baud Rate", [&](QWidget* dialog) {
    auto* list = Find<QListWidget>(dialog, "baudList");
    ASSERT_NE(list, nullptr);
    QStringList rates;
    for (int i = 0; i < list->count(); ++i) rates << list->item(i)->text();
    EXPECT_EQ(S(rates), (Strings{"2400", "4800", "9600", "19200"}));  // from the logger's minimum
    ASSERT_NE(list->currentItem(), nullptr);
    EXPECT_EQ(S(list->currentItem()->text()), "19200");  // the logger's present default
    ExpectNothingClipped(dialog);
    Screenshot(dialog, "dialog-default-baud.png");
    list->setCurrentRow(2);
    script.Later(Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Ok));
  });
  script.Run(d.Item("&Logger functions", "&Set default baud rate"));
  EXPECT_EQ(d.emulator.Baud(), 9600);
  EXPECT_TRUE(d.window->state().logger.connected);
  EXPECT_EQ(S(d.window->statusLine()->PartText(StatusLine::kConnection)), "9600 baud");
}

// A default the logger does not tell leaves no rate chosen: OK waits for one.
TEST(ModelDialogs, DefaultBaudRateWithAnUnreadableDefaultWaitsForAChoice) {
  Desktop d("QN-760");
  ASSERT_TRUE(d.Connect());
  d.emulator.profile().tables[3] = {0xFE};  // the divisor that gives no rate
  ModalScript script;
  script.On("Set Default Baud Rate", [&](QWidget* dialog) {
    auto* list = Find<QListWidget>(dialog, "baudList");
    QPushButton* ok = Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Ok);
    ASSERT_TRUE(list && ok);
    EXPECT_EQ(list->count(), 4);
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_FALSE(ok->isEnabled());
    list->setCurrentRow(3);
    EXPECT_TRUE(ok->isEnabled());
    script.Later(ok);
  });
  script.Run(d.Item("&Logger functions", "&Set default baud rate"));
  ASSERT_EQ(d.emulator.profile().tables[3].size(), 1u);
  EXPECT_NE(d.emulator.profile().tables[3][0], 0xFE);  // 19200 written
  EXPECT_EQ(d.emulator.Baud(), 19200);
  EXPECT_TRUE(d.window->state().logger.connected);
}

TEST(ModelDialogs, EngineeringUnitsAndSamplingLedSwitchTheLoggersOptions) {
  Desktop d("QN-760");
  ASSERT_TRUE(d.Connect());
  const auto option = [&] { return d.emulator.profile().deployment.startCharacteristic[1]; };
  const uint8_t before = option();
  ASSERT_EQ(before & 0x0C, 0);

  ModalScript units;
  units.On("Communiation Format", [&](QWidget* dialog) {
    auto* text = Find<QLabel>(dialog, "dialogText");
    auto* button = Find<QPushButton>(dialog, "toggleButton");
    ASSERT_TRUE(text && button);
    EXPECT_TRUE(text->text().contains("BINARY FORMAT")) << text->text().toStdString();
    EXPECT_EQ(S(button->text()), "Set the output to ENGINEERING UNITS");
    ExpectNothingClipped(dialog);
    button->click();
    EXPECT_TRUE(text->text().endsWith("ENGINEERING UNITS")) << text->text().toStdString();
    EXPECT_EQ(S(button->text()), "Set the output to BINARY FORMAT");
    ExpectNothingClipped(dialog);
    Screenshot(dialog, "dialog-engineering-units.png");
    units.Later(Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Close));
  });
  units.Run(d.Item("&Logger functions", "&Engineering units"));
  EXPECT_EQ(option() & 0x04, 0x04);
  EXPECT_EQ(d.window->statusLine()->UnitsShown(), 1);  // engineering units

  ModalScript led;
  led.On("Sampling LED Control", [&](QWidget* dialog) {
    auto* text = Find<QLabel>(dialog, "dialogText");
    auto* button = Find<QPushButton>(dialog, "toggleButton");
    ASSERT_TRUE(text && button);
    EXPECT_EQ(S(text->text()), "This logger has the sampling LED\nDISABLED");
    EXPECT_EQ(S(button->text()), "Enable the sampling LED");
    button->click();
    EXPECT_EQ(S(text->text()), "This logger has the sampling LED\nENABLED");
    EXPECT_EQ(S(button->text()), "Disable the sampling LED");
    ExpectNothingClipped(dialog);
    Screenshot(dialog, "dialog-sampling-led.png");
    led.Later(Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Close));
  });
  led.Run(d.Item("&Logger functions", "Sampling &LED control"));
  EXPECT_EQ(option() & 0x0C, 0x0C);  // engineering units stay on
}

TEST(ModelDialogs, OlderLoggerHasNeitherFormatSwitchNorSamplingLed) {
  Desktop d("QN-730");
  ASSERT_TRUE(d.Connect());
  ModalScript script;
  script.On("Communiation Format", [&](QWidget* dialog) {
    EXPECT_EQ(S(Find<QLabel>(dialog, "dialogText")->text()),
              "This logger can only output fetched data and real-time data in binary format");
    EXPECT_FALSE(Find<QPushButton>(dialog, "toggleButton")->isVisible());
    ExpectNothingClipped(dialog);
    script.Later(Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Close));
  });
  script.Run(d.Item("&Logger functions", "&Engineering units"));
  ModalScript led;
  led.On("Sampling LED Control", [&](QWidget* dialog) {
    EXPECT_EQ(S(Find<QLabel>(dialog, "dialogText")->text()), "This logger does not have a sampling LED");
    EXPECT_FALSE(Find<QPushButton>(dialog, "toggleButton")->isVisible());
    led.Later(Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Close));
  });
  led.Run(d.Item("&Logger functions", "Sampling &LED control"));
}

TEST(ModelDialogs, LatencyIsCheckedThenWrittenToTheConfigurationTable) {
  Desktop d("QN-760");
  ASSERT_TRUE(d.Connect());
  ModalScript script;
  script
      .On("Set latency",
          [&](QWidget* dialog) {
            auto* field = Find<QLineEdit>(dialog, "latencyField");
            ASSERT_NE(field, nullptr);
            EXPECT_EQ(S(field->text()), "300");
            ExpectNothingClipped(dialog);
            Screenshot(dialog, "dialog-latency.png");
            TypeInto(field, "12x");
            script.Later(Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Ok));
          })
      .On("Change latency",
          [&](QWidget* box) {
            EXPECT_EQ(ModalScript::TextOf(box), "Required Latency (ms) must be a whole number from 0 to 655359.");
            script.Later(BoxButton(box, QMessageBox::Ok));
          })
      .On("Set latency",
          [&](QWidget* dialog) {
            auto* field = Find<QLineEdit>(dialog, "latencyField");
            EXPECT_EQ(S(field->text()), "12x");  // still there to correct
            TypeInto(field, "1234");
            script.Later(Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Ok));
          });
  const size_t asked = d.emulator.CommandLog().size();
  script.Run(d.Item("&Logger functions", "Set la&tency"));
  EXPECT_GT(d.emulator.CommandLog().size(), asked);
  const auto& table = d.emulator.profile().tables[1];
  ASSERT_GE(table.size(), 5u);
  EXPECT_EQ(table[1] | (table[2] << 8), 123);  // tens of milliseconds
  EXPECT_EQ(table[0], 4);                      // the rest as it was
  EXPECT_EQ(S(d.Message()), "Latency update successful");
}

// The calibration dialog of a four-channel logger: labels, values, buttons.
TEST(ModelDialogs, CalibrationShowsTheCoefficientsAndWritesAnEditedOne) {
  Desktop d("QN-760");
  ASSERT_TRUE(d.Connect());
  const auto current = d.emulator.profile().calibrationHistory.back().channels;  // a copy: writing adds a record
  ModalScript script;
  script
      .On("TMV Logger - Calibration",
          [&](QWidget* dialog) {
            const auto fields = dialog->findChildren<QLineEdit*>();
            ASSERT_EQ(fields.size(), 16);
            for (int row = 0; row < 4; ++row)
              for (int k = 0; k < 4; ++k)
                EXPECT_EQ(S(fields[row * 4 + k]->text()), S(QString::asprintf("%.15g", current[row][k])))
                    << row << "," << k;
            const QStringList labels = VisibleLabelTexts(dialog);
            EXPECT_TRUE(labels.contains("y=") && labels.contains("+x^3*"));
            EXPECT_EQ(labels.filter(QRegularExpression("^ ?[1-4] - ")).size(), 4) << labels.join('|').toStdString();
            auto* bar = Find<QScrollBar>(dialog);
            ASSERT_NE(bar, nullptr);
            EXPECT_EQ(bar->minimum(), 1);
            EXPECT_EQ(bar->maximum(), 1);
            EXPECT_FALSE(bar->isEnabled());  // all four channels in view
            EXPECT_TRUE(ButtonWithText(dialog, "Set calibration")->isEnabled());
            EXPECT_TRUE(ButtonWithText(dialog, "Load a column from the clipboard")->isEnabled());
            EXPECT_FALSE(ButtonWithText(dialog, "Conductivity Correction")->isVisible());  // not an 'S' logger
            ExpectNothingClipped(dialog);
            Screenshot(dialog, "dialog-calibration.png");
            TypeInto(fields[1 * 4 + 1], "1234.5");  // channel 2, x
            script.Later(ButtonWithText(dialog, "Set calibration"));
          })
      .On("Calibration",
          [&](QWidget* box) {
            EXPECT_EQ(ModalScript::TextOf(box), "Write these coefficients to the logger?");
            script.Later(BoxButton(box, QMessageBox::No));
          })
      .On("TMV Logger - Calibration",
          [&](QWidget* dialog) {
            // Not confirmed: still open with the edit in place.
            EXPECT_EQ(S(dialog->findChildren<QLineEdit*>()[5]->text()), "1234.5");
            script.Later(ButtonWithText(dialog, "Set calibration"));
          })
      .On("Calibration", [&](QWidget* box) { script.Later(BoxButton(box, QMessageBox::Yes)); });
  const size_t records = d.emulator.profile().calibrationHistory.size();
  script.Run(d.Item("&Calibration functions", "View/Enter &calibration coefficients"));
  EXPECT_EQ(S(d.Message()), "Calibration successful");
  ASSERT_EQ(d.emulator.profile().calibrationHistory.size(), records + 1);
  EXPECT_EQ(d.emulator.profile().calibrationHistory.back().channels[1][1], 1234.5);
  EXPECT_EQ(d.emulator.profile().calibrationHistory.back().channels[0], current[0]);  // untouched: exact

  // Read back: the dialog opened again shows what the logger now holds.
  ModalScript again;
  again.On("TMV Logger - Calibration", [&](QWidget* dialog) {
    EXPECT_EQ(S(dialog->findChildren<QLineEdit*>()[5]->text()), "1234.5");
    again.Later(ButtonWithText(dialog, "Cancel"));
  });
  again.Run(d.Item("&Calibration functions", "View/Enter &calibration coefficients"));
}

// With more channels than rows, the scroll bar moves the rows over the
// channels, and an edit made out of view is still there to be written.
TEST(ModelDialogs, CalibrationScrollsOverFiveChannelsKeepingEdits) {
  Desktop d("QN-760-RS");
  ASSERT_TRUE(d.Connect());
  ModalScript script;
  script
      .On("TMV Logger - Calibration",
          [&](QWidget* dialog) {
            auto* bar = Find<QScrollBar>(dialog);
            ASSERT_NE(bar, nullptr);
            EXPECT_EQ(bar->minimum(), 1);
            EXPECT_EQ(bar->maximum(), 2);
            EXPECT_EQ(bar->value(), 1);
            EXPECT_TRUE(bar->isEnabled());
            const auto fields = dialog->findChildren<QLineEdit*>();
            ASSERT_EQ(fields.size(), 16);
            bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            EXPECT_EQ(bar->value(), 2);
            QStringList rows = VisibleLabelTexts(dialog).filter(QRegularExpression("^ ?[0-9]+ - "));
            ASSERT_EQ(rows.size(), 4);
            EXPECT_TRUE(rows[0].startsWith(" 2 - ")) << rows[0].toStdString();
            EXPECT_TRUE(rows[3].startsWith(" 5 - ")) << rows[3].toStdString();
            TypeInto(fields[3 * 4 + 0], "-0.75");  // channel 5, y=
            bar->triggerAction(QAbstractSlider::SliderToMinimum);
            EXPECT_TRUE(VisibleLabelTexts(dialog).contains(QStringLiteral(" 1 - Conductivity")));
            EXPECT_NE(S(fields[3 * 4 + 0]->text()), "-0.75");  // channel 4 now
            bar->setValue(2);
            EXPECT_EQ(S(fields[3 * 4 + 0]->text()), "-0.75");
            script.Later(ButtonWithText(dialog, "Set calibration"));
          })
      .On("Calibration", [&](QWidget* box) { script.Later(BoxButton(box, QMessageBox::Yes)); });
  script.Run(d.Item("&Calibration functions", "View/Enter &calibration coefficients"));
  EXPECT_EQ(S(d.Message()), "Calibration successful");
  EXPECT_EQ(d.emulator.profile().calibrationHistory.back().channels.at(4)[0], -0.75);
}

// An enabled logger's coefficients are shown but cannot be set.
TEST(ModelDialogs, CalibrationOfAnEnabledLoggerOffersNoSetting) {
  Desktop d("QN-730");
  d.emulator.profile().status = 1;  // enabled, starting tomorrow
  d.emulator.profile().deployment.startTime = LoggerTime{2010, 6, 0, 8, 12, 0, 0, 0};
  ASSERT_TRUE(d.Connect());
  ModalScript script;
  script.On("TMV Logger - Calibration", [&](QWidget* dialog) {
    EXPECT_EQ(VisibleLabelTexts(dialog).filter(QRegularExpression("^ ?[0-9]+ - ")).size(), 3);
    auto* set = ButtonWithText(dialog, "Logging");
    auto* clipboard = ButtonWithText(dialog, "Logging: Stop from 'Setup'");
    ASSERT_TRUE(set && clipboard);
    EXPECT_FALSE(set->isEnabled());
    EXPECT_FALSE(clipboard->isEnabled());
    ExpectNothingClipped(dialog);
    script.Later(ButtonWithText(dialog, "Cancel"));
  });
  const size_t asked = d.emulator.CommandLog().size();
  script.Run(d.Item("&Calibration functions", "View/Enter &calibration coefficients"));
  for (size_t i = asked; i < d.emulator.CommandLog().size(); ++i)
    EXPECT_NE(d.emulator.CommandLog()[i].rfind("!C", 0), 0u) << "written: " << d.emulator.CommandLog()[i];
}

// "Load a column from the clipboard" fills the row the user is in.
TEST(ModelDialogs, CalibrationLoadsTheClipboardIntoTheRowWithTheFocus) {
  Desktop d("QN-760");
  ASSERT_TRUE(d.Connect());
  QGuiApplication::clipboard()->setText(QStringLiteral("1.5\t2.5\r\n3.5 4.5"));
  ModalScript script;
  script.On("TMV Logger - Calibration", [&](QWidget* dialog) {
    const auto fields = dialog->findChildren<QLineEdit*>();
    ASSERT_EQ(fields.size(), 16);
    const QString row3Before = fields[3 * 4]->text();
    fields[1 * 4 + 2]->setFocus(Qt::TabFocusReason);  // tabbed into channel 2
    ASSERT_EQ(QApplication::focusWidget(), fields[1 * 4 + 2]);
    ButtonWithText(dialog, "Load a column from the clipboard")->click();
    EXPECT_EQ(S(fields[1 * 4 + 0]->text()), "1.5");
    EXPECT_EQ(S(fields[1 * 4 + 3]->text()), "4.5");
    EXPECT_EQ(S(fields[3 * 4]->text()), S(row3Before));
    script.Later(ButtonWithText(dialog, "Cancel"));
  });
  script.Run(d.Item("&Calibration functions", "View/Enter &calibration coefficients"));
}

// A logger reporting conductivity as 'S' has the correction equation: a
// changed term is written to its table, untouched terms keep every digit.
TEST(ModelDialogs, ConductivityCorrectionIsEditedAndWritten) {
  Desktop d("QN-760-S");
  ASSERT_TRUE(d.Connect());
  const size_t records = d.emulator.profile().calibrationHistory.size();
  auto fieldsOf = [](QWidget* dialog) { return dialog->findChildren<QLineEdit*>(); };
  ModalScript script;
  script
      .On("TMV Logger - Calibration",
          [&](QWidget* dialog) {
            EXPECT_EQ(VisibleLabelTexts(dialog).filter(QRegularExpression("^ ?[0-9]+ - ")).size(), 3);
            auto* correction = ButtonWithText(dialog, "Conductivity Correction");
            ASSERT_NE(correction, nullptr);
            EXPECT_TRUE(correction->isVisible());
            ExpectNothingClipped(dialog);
            Screenshot(dialog, "dialog-calibration-conductivity.png");
            script.Later(correction);
          })
      .On("Conductivity Correction Equation",
          [&](QWidget* dialog) {
            const auto fields = fieldsOf(dialog);
            ASSERT_EQ(fields.size(), 4);
            QStringList texts;
            for (auto* f : fields) texts << f->text();
            EXPECT_EQ(S(texts), (Strings{"0.0000032", "0.0000000", "20.0000000", "-0.0000001"}));
            const QStringList labels = VisibleLabelTexts(dialog);
            EXPECT_TRUE(labels.contains("Ccor = (Cm - b(T - Tc)) / (1 + a(T - Tc) + cP)"));
            for (const char* name : {"a", "b", "Tc", "c"}) EXPECT_TRUE(labels.contains(name)) << name;
            ExpectNothingClipped(dialog);
            Screenshot(dialog, "dialog-conductivity-correction.png");
            TypeInto(fields[1], "abc");
            script.Later(Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Ok));
          })
      .On("Calibration",
          [&](QWidget* box) {
            EXPECT_EQ(ModalScript::TextOf(box), "The value of b is not a number.\nCorrect it and try again.");
            script.Later(BoxButton(box, QMessageBox::Ok));
          })
      .On("Conductivity Correction Equation",
          [&](QWidget* dialog) {
            const auto fields = fieldsOf(dialog);
            TypeInto(fields[1], "0.0000000");
            TypeInto(fields[2], "21.5");
            script.Later(Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Ok));
          })
      .On("TMV Logger - Calibration",
          [&](QWidget* dialog) { script.Later(ButtonWithText(dialog, "Set calibration")); })
      .On("Calibration", [&](QWidget* box) { script.Later(BoxButton(box, QMessageBox::Yes)); });
  script.Run(d.Item("&Calibration functions", "View/Enter &calibration coefficients"));

  const auto& table = d.emulator.profile().tables[6];
  ASSERT_GE(table.size(), 33u);
  EXPECT_EQ(table[0], 2);
  const CoefficientRow cc = RowFromBytes(table.data() + 1);
  EXPECT_EQ(cc[0], 3.25e-6);
  EXPECT_EQ(cc[1], 0.0);
  EXPECT_EQ(cc[2], 21.5);
  EXPECT_EQ(cc[3], -9.57e-8);
  EXPECT_EQ(d.emulator.profile().calibrationHistory.size(), records);  // the coefficients did not change

  ModalScript again;
  again
      .On("TMV Logger - Calibration",
          [&](QWidget* dialog) { again.Later(ButtonWithText(dialog, "Conductivity Correction")); })
      .On("Conductivity Correction Equation",
          [&](QWidget* dialog) {
            EXPECT_EQ(S(fieldsOf(dialog)[2]->text()), "21.5000000");
            again.Later(Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Cancel));
          })
      .On("TMV Logger - Calibration",
          [&](QWidget* dialog) { again.Later(ButtonWithText(dialog, "Cancel")); });
  again.Run(d.Item("&Calibration functions", "View/Enter &calibration coefficients"));
}

TEST(ModelDialogs, CalibrationHistoryListsEveryRecordByDate) {
  Desktop d("QN-760");
  ASSERT_TRUE(d.Connect());
  ModalScript script;
  script.On("Calibration History", [&](QWidget* dialog) {
    auto* list = Find<QListWidget>(dialog, "historyList");
    ASSERT_NE(list, nullptr);
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(S(lines[0]), "TMV Data Logger: QN-760  6.10 012345");
    for (const char* date : {"2008/Mar/12 09:30:00", "2009/May/20 14:05:00 incomplete calibration",
                             "2010/May/03 11:42:17"})
      EXPECT_TRUE(lines.contains(QString::fromLatin1(date))) << date;
    EXPECT_EQ(lines.filter(QRegularExpression("^  [1-4]: ")).size(), 12) << lines.join('|').toStdString();
    const QString file = d.work.path() + QStringLiteral("/012345.000.his");
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_TRUE(VisibleLabelTexts(dialog).join('|').contains("012345.000.his"));
    ExpectNothingClipped(dialog);
    Screenshot(dialog, "dialog-calibration-history.png");
    script.Later(Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Close));
  });
  script.Run(d.Item("&Calibration functions", "Calibration &History"));
}

}  // namespace
}  // namespace tmv::qt
