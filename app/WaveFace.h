#pragma once
// The modeless "Wave measurements" window: paints the WaveWindowView the
// core made for the burst at the graph's cursor. Asked to show a view
// through the presenter (it returns at once and stays open).
#include <QDialog>

#include "analysis/WaveWindow.h"

class QLabel;

namespace tmv::qt {

class WaveTracePane;

class WaveFace : public QDialog {
 public:
  explicit WaveFace(QWidget* parent);
  void Show(const WaveWindowView& view);

 private:
  QLabel* text_ = nullptr;
  WaveTracePane* trace_ = nullptr;
  WaveTracePane* spectrum_ = nullptr;
};

// Shows `view` in the one wave window of `parent`, made when first needed.
int ShowWaveFace(const WaveWindowView& view, QWidget* parent);

}  // namespace tmv::qt
