#pragma once
// A serial system around another one whose ports let a test act on what the
// program writes: a hook sees every write first (and may, for instance,
// garble the logger's next replies), and `lost` makes the ports report that
// their device has gone: reads wait out their time and bring nothing.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/SerialPort.h"

namespace tmv::test {

class HookedSerialSystem : public SerialSystem {
 public:
  explicit HookedSerialSystem(SerialSystem& inner) : inner_(inner) {}

  std::vector<std::string> ListDevices() override { return inner_.ListDevices(); }
  std::unique_ptr<SerialPort> Open(const std::string& device, const LineSettings& settings) override {
    auto port = inner_.Open(device, settings);
    if (!port) return nullptr;
    return std::make_unique<Port>(*this, std::move(port));
  }

  // Called with each text the program writes, before the port sends it.
  std::function<void(const std::string& written)> onWrite;
  // Called with the bytes of each read that brought some.
  std::function<void(const std::string& read)> onRead;
  bool lost = false;

 private:
  class Port : public SerialPort {
   public:
    Port(HookedSerialSystem& system, std::unique_ptr<SerialPort> inner) : system_(system), inner_(std::move(inner)) {}
    bool Apply(const LineSettings& s) override { return inner_->Apply(s); }
    LineSettings Current() const override { return inner_->Current(); }
    size_t ReadUntil(uint8_t* buffer, size_t maxBytes, const ReadCompletion& complete) override {
      const size_t got = inner_->ReadUntil(buffer, maxBytes, complete);
      // A device that went away brings nothing, once the read's time is up.
      if (system_.lost) return 0;
      if (got > 0 && system_.onRead) system_.onRead(std::string(reinterpret_cast<const char*>(buffer), got));
      return got;
    }
    size_t Write(const uint8_t* data, size_t count) override {
      if (system_.onWrite) system_.onWrite(std::string(reinterpret_cast<const char*>(data), count));
      if (system_.lost) return 0;
      return inner_->Write(data, count);
    }
    bool Lost() const override { return system_.lost; }
    void Close() override { inner_->Close(); }

   private:
    HookedSerialSystem& system_;
    std::unique_ptr<SerialPort> inner_;
  };

  SerialSystem& inner_;
};

}  // namespace tmv::test
