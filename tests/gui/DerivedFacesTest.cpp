// "&Derived units" and "&Real-time Limits" from the main window's menu, on the
// offscreen platform: what the dialogs show, what the user's clicks change.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QToolButton>

#include "DesktopSupport.h"
#include "analysis/DerivedUnitsDialog.h"

namespace tmv::qt {
namespace {

using namespace guitest;

QAbstractButton* Control(QWidget* dialog, int id) {
  return dialog->findChild<QAbstractButton*>(QStringLiteral("control%1").arg(id));
}
QLineEdit* Field(QWidget* dialog, int id) { return dialog->findChild<QLineEdit*>(QStringLiteral("control%1").arg(id)); }

TEST(DerivedFaces, DerivedUnitsClicksFollowTheRulesAndOkStoresTheChoice) {
  Desktop d("QN-760");
  ASSERT_TRUE(d.window->Start());
  d.window->show();
  d.window->AfterShow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(d.window.get()));
  ModalScript script;
  script.On(QString::fromLatin1(DerivedUnitsDialog::kTitle), [&](QWidget* dialog) {
    using D = DerivedUnitsDialog;
    ASSERT_NE(Control(dialog, D::kDepth), nullptr);
    EXPECT_FALSE(Field(dialog, D::kLatitudeDegrees)->isEnabled());
    EXPECT_FALSE(Control(dialog, D::kViewEquation)->isVisible());
    Control(dialog, D::kDepth)->click();
    EXPECT_TRUE(Field(dialog, D::kLatitudeDegrees)->isEnabled());
    Control(dialog, D::kSeawater)->click();
    EXPECT_TRUE(Control(dialog, D::kSeawater)->isChecked());
    EXPECT_FALSE(Control(dialog, D::kSimplified)->isChecked());
    Control(dialog, D::kDensityAnomaly)->click();
    EXPECT_TRUE(Control(dialog, D::kSalinity)->isChecked());
    EXPECT_TRUE(Field(dialog, D::kHydrostaticPressure)->isEnabled());
    Control(dialog, D::kDelGrosso)->click();  // disabled until the box is checked
    EXPECT_FALSE(Control(dialog, D::kDelGrosso)->isChecked());
    Control(dialog, D::kSoundSpeed)->click();
    Control(dialog, D::kDelGrosso)->click();
    EXPECT_TRUE(Control(dialog, D::kDelGrosso)->isChecked());
    EXPECT_FALSE(Control(dialog, D::kUnesco)->isChecked());
    QTest::keyClicks(Field(dialog, D::kLatitudeDegrees), "5");
    Control(dialog, D::kAtmosphericDefault)->click();
    EXPECT_EQ(Field(dialog, D::kAtmosphericPressure)->text(), QStringLiteral("10.1325"));
    Screenshot(dialog, "dialog-derived-units.png");
    script.Later(Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Ok));
  });
  script.Run(d.Item("C&onfiguration", "&Derived units"));
  const DerivedSettings& s = d.window->state().settings.derived;
  EXPECT_TRUE(s.anyDerived && s.depthEnabled && s.depthSeawater && s.densityAnomalyEnabled && s.salinityEnabled);
  EXPECT_EQ(s.speedOfSoundFormula, SoundSpeedFormula::DelGrosso);
  EXPECT_EQ(s.latitudeDegrees, 5);  // "0" with a 5 typed after it would be 5 too
}

TEST(DerivedFaces, LimitsArrowsAndOkWriteTheFile) {
  Desktop d("QN-760");
  ASSERT_TRUE(d.window->Start());
  d.window->show();
  d.window->AfterShow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(d.window.get()));
  ModalScript script;
  script.On(QString::fromLatin1(LimitsDialog::kTitle), [&](QWidget* dialog) {
    auto* list = Find<QComboBox>(dialog, "limitsList");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), 18);
    list->setCurrentIndex(14);
    EXPECT_EQ(Find<QLineEdit>(dialog, "maxField")->text(), QStringLiteral("1600"));
    for (int i = 0; i < 101; ++i) Find<QToolButton>(dialog, "maxDown")->click();
    EXPECT_EQ(Find<QLineEdit>(dialog, "maxField")->text(), QStringLiteral("1499"));
    EXPECT_EQ(Find<QLineEdit>(dialog, "minField")->text(), QStringLiteral("1499"));
    Screenshot(dialog, "dialog-real-time-limits.png");
    script.Later(Find<QDialogButtonBox>(dialog)->button(QDialogButtonBox::Ok));
  });
  script.Run(d.Item("C&onfiguration", "&Real-time Limits"));
  QFile file(d.work.path() + "/tmv.lim");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("SOS=1499 1499\r\n"));
}

}  // namespace
}  // namespace tmv::qt
