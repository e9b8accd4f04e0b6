#pragma once
// The main window's polling timer (identifier 253) on a QTimer.
#include <QTimer>
#include <functional>

#include "model/LoggerTime.h"

namespace tmv::qt {

class QtPollTimer : public PollTimer {
 public:
  explicit QtPollTimer(std::function<void()> tick);
  bool StartPollTimer(int periodMs, bool restart) override;
  void StopPollTimer() override;
  int PeriodMs() const override { return period_; }
  bool IsActive() const { return timer_.isActive(); }

 private:
  QTimer timer_;
  std::function<void()> tick_;
  int period_ = 0;
};

}  // namespace tmv::qt
