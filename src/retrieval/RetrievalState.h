#pragma once
// Everything the program holds about retrieved data: the memory image, the
// download in progress, the one current DataSet and what the files add.
#include <cstdint>
#include <functional>
#include <string>

#include "retrieval/DataSet.h"
#include "retrieval/MemoryImage.h"

namespace tmv {

struct RetrievalState {
  MemoryImage image;
  DownloadState download;
  DataSet data;
  DecodeHooks hooks;
  std::string comment;       // typed at save time, or read from a file header
  std::string currentFile;   // the data file read or written last
  bool dataFromFile = false; // the DataSet came from a HEX or DAT file
  bool saved = false;        // saved since it was retrieved
  std::string savedHexFile;  // the HEX file the last save wrote ("": none)
  // The last file read was damaged (cut short, junk in it, a line missing):
  // what could be read is shown, and the reader said what was wrong.
  bool fileDamaged = false;
  int memoryType = 0;        // 1..6 when known (file header "Memory type")
  int waveSampleRate = 0;    // Hz, file header "Wave burst sample rate"
  bool depthSuspended = false;  // a generic ASCII card file turned depth off
  // Writes the tide and wave files of a wave logger beside a saved DAT file.
  std::function<void(const std::string& datPath)> writeTideAndWaveFiles;
};

}  // namespace tmv
