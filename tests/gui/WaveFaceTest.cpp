// The "Wave measurements" window paints what the core's view holds and stays
// one window however often the cursor moves.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <cmath>

#include "GuiSupport.h"
#include "WaveFace.h"

namespace tmv::qt {
namespace {

TEST(WaveFace, ShowsTheViewOfTheBurstAndKeepsOneWindow) {
  App();
  QWidget main;
  WaveWindowView view;
  view.shown = true;
  view.burst = 1;
  view.title = "Wave measurements at 2010/Jun/07 17:00:00 - Wave 2 of 3";
  view.text = "Mean depth of water:\t\t10.45 m";
  for (int i = 0; i < 512; ++i) view.surface.push_back(static_cast<float>(std::sin(i / 10.0)));
  view.crestMax = 1.0f;
  view.troughMin = -1.0f;
  view.frequency = {0.0, 0.1, 0.2};
  view.amplitude = {0.0, 1.0, 0.2};
  EXPECT_EQ(ShowWaveFace(view, &main), 1);
  auto* face = main.findChild<WaveFace*>("waveWindow");
  ASSERT_NE(face, nullptr);
  EXPECT_TRUE(face->isVisible());
  EXPECT_EQ(face->windowTitle().toStdString(), view.title);
  EXPECT_EQ(face->findChild<QLabel*>("waveText")->text().toStdString(), view.text);
  EXPECT_FALSE(face->grab().isNull());  // the trace and the spectrum paint

  view.title = "Wave measurements at 2010/Jun/07 18:00:00 - Wave 3 of 3";
  ShowWaveFace(view, &main);
  EXPECT_EQ(main.findChildren<WaveFace*>().size(), 1);
  EXPECT_EQ(face->windowTitle().toStdString(), view.title);
  face->close();
}

}  // namespace
}  // namespace tmv::qt
