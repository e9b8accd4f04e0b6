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
LoggerTime LoggerEmulator::ClockAt(int64_t nowMs) const { return TimeFromMs(nowMs + impl_->clockOffsetMs); }
const std::vector<std::string>& LoggerEmulator::CommandLog() const { return impl_->log; }
int LoggerEmulator::Baud() const { return impl_->p.baud; }
void LoggerEmulator::RecordSamples(int rows, int64_t nowMs) { impl_->RecordSamples(rows, nowMs); }
uint32_t LoggerEmulator::DataPointer() const { return impl_->DataPointer(); }
std::string LoggerEmulator::ChannelTypes() const { return impl_->ChannelTypes(); }

}  // namespace tmv::sim
