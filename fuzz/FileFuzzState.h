#pragma once
// A program state for the file-reader fuzz targets: no serial ports, a
// scripted user interface, a work directory that does not exist (so the
// recent-files list is never written).
#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/ScriptedUserInterface.h"
#include "shell/AppState.h"

namespace tmv::fuzz {

class NoSerial : public SerialSystem {
 public:
  std::vector<std::string> ListDevices() override { return {}; }
  std::unique_ptr<SerialPort> Open(const std::string&, const LineSettings&) override { return nullptr; }
};

struct FileFuzzState {
  FileFuzzState() {
    state.directories.work = "/nonexistent-tmv-fuzz";
    state.settings.derived.depthEnabled = true;  // so KZM files are read too
  }
  NoSerial serial;
  VirtualClock clock;
  ScriptedUserInterface ui;
  AppState state{serial, clock, ui};
};

}  // namespace tmv::fuzz
