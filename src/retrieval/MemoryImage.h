#pragma once
// The retrieved logger memory (or the dump of a HEX file), and the state of a
// download that the file writers and readers share.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "model/LoggerTime.h"

namespace tmv {

constexpr int kMemoryImageSize = 8388608;  // 8 MiB

// The 8 MiB buffer is allocated the first time it is needed, so that a
// program state that never downloads or reads a HEX file stays light.
class MemoryImage {
 public:
  uint8_t* Bytes() {
    if (!bytes_) bytes_ = std::make_unique_for_overwrite<uint8_t[]>(kMemoryImageSize);
    return bytes_.get();
  }
  // nullptr until the buffer exists.
  const uint8_t* Bytes() const { return bytes_.get(); }
  bool Allocated() const { return bytes_ != nullptr; }
  // Bytes retrieved so far; only these are ever read back.
  int imageLength = 0;

 private:
  std::unique_ptr<uint8_t[]> bytes_;
};

struct DownloadState {
  uint32_t currentAddress = 0;
  uint32_t endPointer = 0;
  int blockSize = 480;
  int requestCount = 0;
  int retransmitCount = 0;
  float progressPercent = 0.0f;
  float progressStep = 0.0f;
  LoggerTime downloadStartTime;
  LoggerTime lastCheckTime;
  int savedBaud = 0;
  bool downloading = false;
  bool resumeAfterDownload = false;
  bool appendMode = false;        // "Append to file": SaveFile proposes the appended file's name
  std::string appendedFile;       // that file (the HEX path read by AppendToFile)
};

}  // namespace tmv
