#pragma once
// A test fixture with a program state whose work directory is a fresh
// temporary directory, removed afterwards, and no serial ports at all.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "files/WorkFiles.h"
#include "platform/Clock.h"
#include "platform/ScriptedUserInterface.h"
#include "shell/AppState.h"
#include "support/OutcomePrinter.h"

namespace tmv::test {

class NoSerial : public SerialSystem {
 public:
  std::vector<std::string> ListDevices() override { return {}; }
  std::unique_ptr<SerialPort> Open(const std::string&, const LineSettings&) override { return nullptr; }
};

// A fresh temporary directory, removed with everything in it at the end of scope.
struct ScopedTempDir {
  ScopedTempDir() {
    char pattern[] = "/tmp/tmv-work-XXXXXX";
    const char* made = mkdtemp(pattern);
    path = made ? made : "";
  }
  ~ScopedTempDir() {
    if (!path.empty()) std::filesystem::remove_all(path);
  }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  std::string path;
};

class WorkDirectoryTest : public ::testing::Test {
 protected:
  WorkDirectoryTest() : state(serial, clock, ui) {
    char pattern[] = "/tmp/tmv-work-XXXXXX";
    const char* made = mkdtemp(pattern);
    dir = made ? made : "/tmp";
    state.directories.work = dir;
  }
  ~WorkDirectoryTest() override {
    if (dir != "/tmp") std::filesystem::remove_all(dir);
  }

  std::string Path(const std::string& name) const { return dir + "/" + name; }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
  }
  std::string Read(const std::string& name) const { return ReadTextFile(Path(name)).value_or("<missing>"); }

  std::string dir;
  NoSerial serial;
  VirtualClock clock;  // 2010/Jun/07 15:30:00
  ScriptedUserInterface ui;
  AppState state;
};

}  // namespace tmv::test
