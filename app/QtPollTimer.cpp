#include "QtPollTimer.h"

namespace tmv::qt {

QtPollTimer::QtPollTimer(std::function<void()> tick) : tick_(std::move(tick)) {
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (tick_) tick_();
  });
}

bool QtPollTimer::StartPollTimer(int periodMs, bool restart) {
  if (periodMs <= 0) periodMs = 1000;
  // Asking again for the period it already runs at keeps the phase, unless
  // a restart is asked for.
  if (timer_.isActive() && periodMs == period_ && !restart) return true;
  period_ = periodMs;
  timer_.start(periodMs);
  return true;
}

void QtPollTimer::StopPollTimer() { timer_.stop(); }

}  // namespace tmv::qt
