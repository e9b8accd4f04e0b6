// The emulated logger's public face; the logger itself lives in
// EmulatorImpl.h and the sources it names.
#include "sim/LoggerEmulator.h"

#include "sim/EmulatorImpl.h"

namespace tmv::sim {

LoggerEmulator::LoggerEmulator(Profile profile, LoggerTime clock) : impl_(std::make_unique<Impl>()) {
  impl_->p = std::move(profile);
  impl_->clockOffsetMs = MsSince2000(clock);
}
LoggerEmulator::~LoggerEmulator() = default;

void LoggerEmulator::Receive(const uint8_t* data, size_t count, int hostBaud, int64_t nowMs) {
  impl_->Receive(data, count, hostBaud, nowMs);
}
size_t LoggerEmulator::Transmit(uint8_t* out, size_t max, int64_t nowMs) { return impl_->Transmit(out, max, nowMs); }
int64_t LoggerEmulator::NextByteTimeMs() const { return impl_->NextByteTimeMs(); }
Profile& LoggerEmulator::profile() { return impl_->p; }
Faults& LoggerEmulator::faults() { return impl_->f; }
LoggerTime LoggerEmulator::ClockAt(int64_t nowMs) const { return TimeFromMs(impl_->LoggerMs(nowMs * 1000)); }
void LoggerEmulator::SetTimeScale(int scale, int64_t nowMs) {
  // The clock shows the same time at nowMs, and runs on faster from there.
  const int64_t loggerNow = impl_->LoggerMs(nowMs * 1000);
  impl_->timeScale = std::max(scale, 1);
  impl_->clockOffsetMs = loggerNow - nowMs * impl_->timeScale;
}
int LoggerEmulator::TimeScale() const { return static_cast<int>(impl_->timeScale); }
void LoggerEmulator::Catch(int64_t nowMs) { impl_->Advance(nowMs * 1000); }
const std::vector<std::string>& LoggerEmulator::CommandLog() const { return impl_->log; }
void LoggerEmulator::OnRealTimeRecord(std::function<void(const std::string&, bool)> observer) {
  impl_->rtObserver = std::move(observer);
}
int LoggerEmulator::Baud() const { return impl_->p.baud; }
void LoggerEmulator::SetPaced(bool paced) { impl_->paced = paced; }
std::vector<uint8_t> LoggerEmulator::MemoryBytes(uint32_t start, uint32_t end) const {
  std::vector<uint8_t> out;
  for (uint32_t a = start; a < end; ++a)
    if (!impl_->IsHole(a)) out.push_back(impl_->ReadByte(a));
  return out;
}
void LoggerEmulator::RecordSamples(int rows, int64_t nowMs) { impl_->RecordSamples(rows, nowMs); }
uint32_t LoggerEmulator::DataPointer() const { return impl_->DataPointer(); }
std::string LoggerEmulator::ChannelTypes() const { return impl_->ChannelTypes(); }

}  // namespace tmv::sim
