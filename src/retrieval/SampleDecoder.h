#pragma once
// Turns a logger's memory image into the DataSet: words become readings per
// channel, stamps become StampRecords, bursts go to their own series.
//
// Memory layout: `headerLength` bytes, then 3-byte words (most significant
// byte first). A zero word followed by a known three-letter code is a 12-byte
// stamp carrying a BCD date and time; every other word is a reading of the
// next channel of the current row.
#include <cstdint>

#include "model/CalibrationSet.h"
#include "model/LoggerInfo.h"
#include "platform/UserInterface.h"
#include "retrieval/DataSet.h"
#include "retrieval/MemoryImage.h"

namespace tmv {

struct AppState;

// What decoding reads besides the image. The deployment (start time, period,
// six-hertz mode, wave bursts) is taken from data.deployment, which the
// caller fills from the logger or the file header first.
struct DecodeSources {
  const MemoryImage& image;
  const LoggerInfo& logger;
  const CalibrationSet& calibration;
  UserInterface& ui;  // the stamp-overflow warning
  const DecodeHooks& hooks;
};

// Header bytes in front of the first word for this logger (KM loggers by
// firmware, PM 30, others their parameter block length).
int MemoryHeaderLength(const LoggerInfo& logger);
// The measured channels a logger's memory holds: one fixed channel for the
// older temperature and depth recorders, else its configuration (newer
// loggers of every model); column codes are the channel types.
void LayOutMeasuredChannels(const LoggerInfo& logger, DataSet& data);

// One reading of channel c (type letter `type`) converted exactly as the
// decoder converts it from memory or a HEX file, extended-range adjustment
// included, so that a reading shown as it arrives equals its read-back.
double ConvertStoredReading(const LoggerInfo& logger, const CalibrationSet& calibration, uint8_t type, uint32_t raw, int c);

// Rebuilds `data` from the first image.imageLength bytes, with the time base
// of data.deployment (the caller takes it from the logger after a download,
// from the file header after a file read).
void DecodeSampleStream(const DecodeSources& sources, DataSet& data, bool fromFile);
// The same on the program state (state.retrieval's image and DataSet).
void DecodeSampleStream(AppState& state, bool fromFile);

}  // namespace tmv
