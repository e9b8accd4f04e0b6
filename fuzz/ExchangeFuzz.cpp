// Fuzz target: bytes become the logger's replies to every exchange, one
// reply per command written, so that the parsers meet whatever a broken or
// hostile logger could send.
//
// Input: byte 0 picks the logger's configuration; the rest is cut into
// replies at each 0xFF byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/Connection.h"
#include "link/Exchange.h"
#include "support/ScriptedPort.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t config = data[0];
  std::vector<std::string> replies(1);
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0xFF) replies.emplace_back();
    else replies.back().push_back(static_cast<char>(data[i]));
  }

  tmv::test::ScriptedRig rig;
  size_t next = 0;
  rig.line.responder = [&](tmv::test::ScriptedLine& line, const std::string&) {
    if (next < replies.size()) line.Send(replies[next++]);
  };
  tmv::LoggerInfo& l = rig.state.logger;
  l.microchipLogger = config & 1;
  l.model = (config & 2) ? "QN-760" : "KZM-5170";
  l.commands12Level = (config >> 2) & 3;
  l.oemSupport = l.rates124Hz = l.sixHzProfiling = config & 16;
  l.engineeringUnitsLevel = (config & 32) ? 1 : 0;
  l.averaging = l.hysteresis = l.conventionalThresholding = l.powerSaveThresholding = (config & 64) != 0;
  l.externalDataConnector = config & 128;
  l.parameterBlockLength = 2 + config;
  l.channelCount = 1 + config % 24;
  rig.state.query.binaryOutput = config & 8;

  if (config % 5 == 0) {
    tmv::ConnectLogger(rig.state);
  } else {
    rig.OpenAt(19200);
    uint8_t table[256 + 81];
    tmv::ReadTable(rig.state, "R0100", table, sizeof table);
    uint8_t out[40] = {};
    tmv::SendTable(rig.state, "S0100", 20, out);
    for (int code : {1, 2, 3, 4, 6, 7, 9, 17, 20, 21, 26, 27, 28, 30, 31, 32, 33, 35, 36, 38, 40, 40, 40})
      tmv::CommGet(rig.state, code);
    const uint8_t t[5] = {1, 2, 3, 4, 5};
    tmv::WriteTableVerified(rig.state, 7, t, 4);
  }
  return 0;
}
