// How the emulated logger hears commands and answers them: bytes in, the
// length of each command from its first letters, dispatch, bytes out when due.
#include "sim/EmulatorImpl.h"

namespace tmv::sim {

void LoggerEmulator::Impl::Consume() {
  if (f.remaining > 0) --f.remaining;
}

void LoggerEmulator::Impl::Queue(const std::string& bytes, int64_t readyUs, bool sumLast, bool faultable) {
  if (bytes.empty()) return;
  if (f.silent && FaultsLive()) {
    Consume();
    return;
  }
  std::string data = bytes;
  if (garbling && faultable) {
    char& c = data[data.size() / 2];
    c = c == '#' ? '$' : '#';
  }
  int64_t t = std::max(readyUs + TurnaroundUs() + slowUs, lastDueUs);
  const bool applies = faultable && FaultsLive() &&
                       (f.junkBeforeReply > 0 || f.splitReplies || f.lateReplyMs > 0 || (f.badChecksum && sumLast));
  if (applies) {
    t += static_cast<int64_t>(f.lateReplyMs) * 1000;
    if (f.badChecksum && sumLast) data.back() = static_cast<char>(data.back() + 1);
    if (f.junkBeforeReply > 0) {
      static const char kJunk[] = "#?~*";
      std::string junk;
      for (int i = 0; i < std::min(f.junkBeforeReply, 64); ++i) junk.push_back(kJunk[i % 4]);
      data = junk + data;
    }
    Consume();
  }
  const size_t split = applies && f.splitReplies && data.size() > 1 ? data.size() / 2 : data.size();
  if (out.size() + data.size() > kMaxQueue) return;
  const int64_t step = paced ? ByteUs(p.baud) : 0;
  for (size_t i = 0; i < data.size(); ++i) {
    if (i == split) t += static_cast<int64_t>(f.splitDelayMs) * 1000;
    t += step;
    out.push_back({static_cast<uint8_t>(data[i]), t});
  }
  lastDueUs = t;
}

void LoggerEmulator::Impl::Nak(const std::string& code, int64_t at) {
  std::string s;
  if (!code.empty()) {
    s = code.substr(0, 8);
    s += std::string(" ERROR").substr(0, 8 - s.size());
    s.resize(8, ' ');
  }
  s.push_back(static_cast<char>(kNak));
  Queue(s, at);
}

void LoggerEmulator::Impl::Advance(int64_t nowUs) {
  if (mode == Mode::kCommand && !cmd.empty()) {
    const Shape s = Classify(cmd);
    if (s == Shape::kCompleteIfIdle && nowUs - cmdLastUs >= kIdleFlushUs) {
      const std::string c = cmd;
      cmd.clear();
      Execute(c, cmdLastUs + kIdleFlushUs);
    } else if (nowUs - cmdLastUs >= kAbandonUs) {
      cmd.clear();
    }
  } else if (mode != Mode::kCommand && nowUs - modeLastUs >= kTransferIdleUs) {
    mode = Mode::kCommand;
  }
  LogUntil(LoggerMs(nowUs));
}

LoggerEmulator::Impl::Shape LoggerEmulator::Impl::Classify(const std::string& c) const {
  const size_t n = c.size();
  auto allHex = [&](size_t from) {
    for (size_t i = from; i < n; ++i)
      if (!IsHex(static_cast<uint8_t>(c[i]))) return false;
    return true;
  };
  auto allDigits = [&](size_t from) {
    for (size_t i = from; i < n; ++i)
      if (!IsDigit(static_cast<uint8_t>(c[i]))) return false;
    return true;
  };
  auto fixedHex = [&](size_t len) {
    if (!allHex(1)) return Shape::kInvalid;
    return n >= len ? Shape::kComplete : Shape::kNeedMore;
  };
  auto fixedDigits = [&](size_t len) {
    if (!allDigits(1)) return Shape::kInvalid;
    return n >= len ? Shape::kComplete : Shape::kNeedMore;
  };
  switch (c[0]) {
    case 'A': case 'B': case 'C': case 'D': case 'E': case 'G': case 'N': case 'P': case 'T': case 'X': case 'Z':
      return Shape::kComplete;
    case 'F':
      if (n == 1) return p.SingleChannel() ? Shape::kComplete : Shape::kCompleteIfIdle;
      return fixedHex(3);
    case 'I': return fixedHex(17);
    case 'J': case 'L': case 'M': return fixedDigits(13);
    case 'K': return fixedDigits(7);
    case 'R':
      if (!allDigits(1)) return Shape::kInvalid;
      if (n >= 4 && c[3] != '0') return Shape::kInvalid;
      if (n >= 5 && c[4] != '0') return Shape::kInvalid;
      return n >= 5 ? Shape::kComplete : Shape::kNeedMore;
    case 'S':
      if (!allHex(1) || (n >= 4 && c[3] != '0') || (n >= 5 && c[4] != '0')) return Shape::kInvalid;
      return n >= 7 ? Shape::kComplete : Shape::kNeedMore;
    case 'U': case 'V': return fixedHex(7);
    case 'W': return fixedHex(5);
    case 'Y':
      if (!p.SingleChannel()) return Shape::kComplete;
      return n >= 33 ? Shape::kComplete : Shape::kNeedMore;
    case '!': break;
    default: return Shape::kInvalid;
  }
  if (n == 1) return Shape::kNeedMore;
  auto bangHex = [&](size_t len) {
    if (!allHex(2)) return Shape::kInvalid;
    return n >= len ? Shape::kComplete : Shape::kNeedMore;
  };
  switch (c[1]) {
    case '0': case '4': case 'B': case 'E': case 'U': return bangHex(4);
    case '1': return bangHex(10);
    case 'A': case 'Y': return bangHex(18);
    case 'H': return bangHex(6);
    case 'X': return bangHex(6);
    case 'K':
      for (size_t i = 2; i < n; ++i)
        if (!IsDigit(static_cast<uint8_t>(c[i]))) return Shape::kInvalid;
      return n >= 8 ? Shape::kComplete : Shape::kNeedMore;
    case '6':
      if (!allHex(2)) return Shape::kInvalid;
      return n >= 12 ? Shape::kComplete : Shape::kNeedMore;
    case '3': return n >= 7 ? Shape::kComplete : Shape::kNeedMore;
    case 'T':
      if (n == 2) return Shape::kCompleteIfIdle;
      return bangHex(4);
    case 'G':
      if (n >= 3 && c[2] == 'C') {
        if (n >= 4 && c[3] != 'C') return Shape::kInvalid;
        for (size_t i = 4; i < n; ++i)
          if (!IsDigit(static_cast<uint8_t>(c[i]))) return Shape::kInvalid;
        return n >= 12 ? Shape::kComplete : Shape::kNeedMore;
      }
      return bangHex(4);
    case 'C': {
      if (!allHex(2)) return Shape::kInvalid;
      if (n < 8) return Shape::kNeedMore;
      const size_t len = static_cast<size_t>(HexByte(c, 6));
      return n >= 8 + 2 * len ? Shape::kComplete : Shape::kNeedMore;
    }
    default: return Shape::kComplete;  // two-character commands; the unknown ones answer so
  }
}

void LoggerEmulator::Impl::Feed(uint8_t b, int64_t at) {
  switch (mode) {
    case Mode::kTableRead:
      if (b == kAck) {
        SendNextBlock(at);
        return;
      }
      mode = Mode::kCommand;
      if (b == kNak) return;
      break;
    case Mode::kTableWrite:
      WriteByte(b, at);
      return;
    case Mode::kPassThrough:
      if (--passThroughLeft <= 0) {
        mode = Mode::kCommand;
        Text("Optode 4330 1234 OK", at);
      }
      return;
    case Mode::kCommand: break;
  }
  if (cmd.empty() && (b < 0x20 || b >= 0x7F || b == ' ')) return;  // line noise, ACKs, line ends
  const bool commandStart = (b >= 'A' && b <= 'Z') || b == '!';
  if (cmd.empty()) {
    if (inJunk && !commandStart) return;  // one answer per run of junk
    inJunk = false;
  }
  cmd.push_back(static_cast<char>(b));
  cmdLastUs = at;
  Step(at);
}

void LoggerEmulator::Impl::Step(int64_t at) {
  for (int guard = 0; guard < 4 && !cmd.empty(); ++guard) {
    const Shape s = Classify(cmd);
    if (s == Shape::kComplete) {
      const std::string c = cmd;
      cmd.clear();
      Execute(c, at);
      return;
    }
    if (s != Shape::kInvalid) {
      if (cmd.size() >= kMaxCommand) cmd.clear();
      return;
    }
    const char last = cmd.back();
    const std::string head = cmd.substr(0, cmd.size() - 1);
    cmd.clear();
    if (!head.empty() && Classify(head) == Shape::kCompleteIfIdle) {
      Execute(head, at);
    } else if (!silentNow()) {
      Log(head.empty() ? std::string(1, last) : head + last);
      Unknown(at);
      inJunk = true;
    }
    if (head.empty() || !((last >= 'A' && last <= 'Z') || last == '!')) return;
    cmd.push_back(last);  // the junk may end where a command begins
  }
}

void LoggerEmulator::Impl::Log(const std::string& c) {
  if (log.size() < kMaxLog) log.push_back(Printable(c));
}

namespace {

bool Named(const std::vector<std::string>& commands, const std::string& c) {
  for (const std::string& name : commands)
    if (!name.empty() && c.compare(0, name.size(), name) == 0) return true;
  return false;
}

}  // namespace

void LoggerEmulator::Impl::Execute(const std::string& c, int64_t at) {
  if (Named(f.dropCommands, c)) return;  // lost on the line: the logger never heard it
  Log(c);
  if (silentNow()) {
    Consume();
    return;
  }
  if (Named(f.ignoreCommands, c)) return;
  slowUs = 0;
  for (const auto& [name, ms] : f.slowCommands)
    if (!name.empty() && c.compare(0, name.size(), name) == 0) slowUs = static_cast<int64_t>(ms) * 1000;
  garbling = Named(f.garbleCommands, c);
  struct Prompt {
    int64_t& us;
    bool& garbling;
    ~Prompt() {
      us = 0;
      garbling = false;
    }
  } prompt{slowUs, garbling};
  if (c[0] == '!') {
    ExecuteBang(c, at);
    return;
  }
  const auto& d = p.deployment;
  char b[64];
  switch (c[0]) {
    case 'A': {
      char id[96];
      std::snprintf(id, sizeof id, "TMV %s %.2f %06d", p.model.c_str(), static_cast<double>(p.firmwareVersion),
                    p.serialNumber);
      Text(p.identityPrefix + id, at);
      return;
    }
    case 'B': Text(WireTime(ClockAtUs(at)) + "CTD", at); return;
    case 'C':
      std::snprintf(b, sizeof b, "%02d%02d%02dCSP", d.periodHours, d.periodMinutes, d.periodSeconds);
      Text(b, at);
      return;
    case 'D': Text(WireTime(d.startTime) + "CST", at); return;
    case 'E': Text(WireTime(d.endTime) + "CET", at); return;
    case 'G': {
      const uint32_t ptr = DataPointer();
      std::snprintf(b, sizeof b, "%02X%02X%02X%02XCDP", ptr & 0xFF, (ptr >> 8) & 0xFF, (ptr >> 16) & 0xFF,
                    ptr >> 24);
      Text(b, at);
      return;
    }
    case 'T': Text(StatusText(), at); return;
    case 'X': Text(Hex2(d.averaging[0]) + Hex2(d.averaging[1]) + "BST", at); return;
    case 'N': Erase(at); return;
    case 'P': Enable(at); return;
    case 'F': Fetch(c, at); return;
    case 'I': MemoryRead(c, at); return;
    case 'J': case 'L': case 'M': SetTime(c, at); return;
    case 'K': {
      const int h = Dec2(c, 1), m = Dec2(c, 3), s = Dec2(c, 5);
      if ((h < 24 && m < 60 && s < 60) || (h == 24 && m == 0 && s == 0)) {
        p.deployment.periodHours = h;
        p.deployment.periodMinutes = m;
        p.deployment.periodSeconds = s;
      }
      return;
    }
    case 'R': {
      const int table = Dec2(c, 1);
      if (!Microchip() || table > 8) {
        Unknown(at);
        return;
      }
      auto it = p.tables.find(table);
      TableReply(c, it == p.tables.end() ? std::vector<uint8_t>{} : it->second, at);
      return;
    }
    case 'S': {
      if (!IsDigit(static_cast<uint8_t>(c[1])) || !IsDigit(static_cast<uint8_t>(c[2])) || !Microchip() ||
          Dec2(c, 1) > 8) {
        Unknown(at);
        return;
      }
      StartWrite(WriteKind::kTable, Dec2(c, 1), static_cast<size_t>(HexByte(c, 5)), at);
      return;
    }
    case 'U':
      if (!Microchip()) {
        Unknown(at);
        return;
      }
      StartWrite(WriteKind::kCalibration, HexByte(c, 1) | HexByte(c, 3) << 8, static_cast<size_t>(HexByte(c, 5)),
                 at);
      return;
    case 'V': CalibrationRead(c, at); return;
    case 'W':
      p.deployment.averaging = {static_cast<uint8_t>(HexByte(c, 1)), static_cast<uint8_t>(HexByte(c, 3))};
      return;
    case 'Z': SingleCalibration(at); return;
    case 'Y': SingleCalibrationWrite(c, at); return;
    default: Unknown(at); return;
  }
}

void LoggerEmulator::Impl::ExecuteBang(const std::string& c, int64_t at) {
  auto& d = p.deployment;
  const char k = c[1];
  // Commands only the newer loggers know.
  static const std::string kNewerOnly = "1234567TUWXYZG3";
  if (!Microchip() && kNewerOnly.find(k) != std::string::npos) {
    Unknown(at);
    return;
  }
  switch (k) {
    case '0': {
      const bool reports = Microchip() || (HasQn() && p.firmwareVersion > 4.25f);
      const int index = HexByte(c, 2);
      auto it = p.capabilities.find(index);
      if (!reports || it == p.capabilities.end()) {
        Unknown(at);
        return;
      }
      const uint32_t v = it->second;
      Text(Hex2(v) + Hex2(v >> 8) + Hex2(v >> 16) + Hex2(v >> 24) + "CAP" + Hex2(index), at);
      return;
    }
    case '1':
      for (int i = 0; i < 4; ++i) d.startCharacteristic[i] = static_cast<uint8_t>(HexByte(c, 2 + 2 * i));
      return;
    case '2': {
      std::string s;
      for (uint8_t v : d.startCharacteristic) s += Hex2(v);
      Text(s + "STC", at);
      return;
    }
    case '3':
      mode = Mode::kPassThrough;
      passThroughLeft = 3;
      modeLastUs = at;
      return;
    case '4': d.burstRate = static_cast<uint8_t>(HexByte(c, 2)); return;
    case '5': Text(Hex2(d.burstRate) + "RAT", at); return;
    case '6': d.waveArguments = c.substr(2); return;
    case '7': Text(d.waveArguments + "WAV", at); return;
    case '9':
      if (p.status == 1 || p.status == 2 || p.status == 3 || p.status == 5 || p.status == 6) {
        if (Logging()) AppendData(Stamp("STP", LoggerMs(at)));
        burstOpen = false;
        p.status = 8;
      }
      return;
    case 'A':
      for (int i = 0; i < 8; ++i) d.threshold[i] = static_cast<uint8_t>(HexByte(c, 2 + 2 * i));
      return;
    case 'B': d.realTimeBaudCode = static_cast<uint8_t>(HexByte(c, 2)); return;
    case 'C': CalibrationPageWrite(c); return;
    case 'D': {
      if (p.firmwareVersion >= 2.2f) Text(Hex2(p.batteryCode) + "BAT", at); else Text(Hex2(p.batteryCode), at);
      return;
    }
    case 'E': ChangeSpeed(HexByte(c, 2)); return;
    case 'G': Card(c, at); return;
    case 'H': d.hysteresis = {static_cast<uint8_t>(HexByte(c, 2)), static_cast<uint8_t>(HexByte(c, 4))}; return;
    case 'K': d.thresholdTestPeriod = c.substr(2); return;
    case 'L': {
      std::string s;
      for (uint8_t v : d.threshold) s += Hex2(v);
      Text(s + "THR", at);
      return;
    }
    case 'M': Text(Hex2(d.realTimeBaudCode) + "BAU", at); return;
    case 'O': Text(Hex2(d.hysteresis[0]) + Hex2(d.hysteresis[1]) + "HYS", at); return;
    case 'P': Text(d.thresholdTestPeriod + "PSP", at); return;
    case 'R': {
      const bool canRun = p.status == 5 || ((p.status == 4 || p.status == 8) && LoggerMs(at) < EndMs());
      if (!canRun) return;
      const int64_t now = LoggerMs(at);
      BeginRun((now / 1000 + 1) * 1000, "TIM");
      return;
    }
    case 'S':
      if (Logging()) {
        AppendData(Stamp("STP", LoggerMs(at)));
        burstOpen = false;
        p.status = 5;
      }
      return;
    case 'T':
      if (c.size() == 2) {
        if (armedCode == 2) memoryTested = true;
        armedCode = -1;
        return;
      }
      Text(memoryTested ? "0102" : "0100", at);
      return;
    case 'U':
      armedCode = HexByte(c, 2);
      armedUs = at;
      return;
    case 'W': {
      char b[32];
      std::snprintf(b, sizeof b, "%.2fWIN", static_cast<double>(p.minimumProgramVersion));
      Text(b, at);
      return;
    }
    case 'X': {
      const int op = HexByte(c, 2);
      if (op == 1 || op == 4) {
        Queue((p.metaTable.empty() ? std::string("No meta table") : p.metaTable.substr(0, 16000)) +
                  static_cast<char>(kEtx),
              at);
      }
      return;
    }
    case 'Y':
      for (int i = 0; i < 8; ++i) d.height[i] = static_cast<uint8_t>(HexByte(c, 2 + 2 * i));
      return;
    case 'Z': {
      std::string s;
      for (uint8_t v : d.height) s += Hex2(v);
      Text(s + "LHT", at);
      return;
    }
    default: Unknown(at); return;
  }
}

void LoggerEmulator::Impl::Receive(const uint8_t* data, size_t count, int hostBaud, int64_t nowMs) {
  const int64_t t0 = nowMs * 1000;
  Advance(t0);
  const int64_t step = ByteUs(hostBaud);
  // The host's line sends one byte after another: a write cannot overtake
  // the bytes of the one before.
  const int64_t base = lastRxUs == INT64_MIN ? t0 : std::max(t0, lastRxUs);
  if (hostBaud != p.baud) {
    // Noise at the wrong rate: whatever was half-heard is spoilt.
    if (count > 0) {
      cmd.clear();
      mode = Mode::kCommand;
      lastRxUs = base + static_cast<int64_t>(count) * step;
    }
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    const int64_t arrival = base + static_cast<int64_t>(i + 1) * step;
    const bool asleep = p.sleepAfterIdleMs > 0 &&
                        (lastRxUs == INT64_MIN || arrival - lastRxUs > static_cast<int64_t>(p.sleepAfterIdleMs) * 1000);
    lastRxUs = arrival;
    if (asleep) continue;  // the byte only woke the logger
    if (arrival < deafUntilUs) continue;  // the download fault's silence
    if (Erasing(arrival)) {
      // Busy erasing: only the status query is heard, and answered with 7F.
      if (data[i] == 'T' && !silentNow()) Text(Microchip() ? "Logger status 7F00" : "Logger status 7F", arrival);
      continue;
    }
    Feed(data[i], arrival);
  }
}

size_t LoggerEmulator::Impl::Transmit(uint8_t* dest, size_t max, int64_t nowMs) {
  Advance(nowMs * 1000);
  size_t n = 0;
  while (n < max && !out.empty() && out.front().dueUs <= nowMs * 1000) {
    dest[n++] = out.front().byte;
    out.pop_front();
  }
  return n;
}

int64_t LoggerEmulator::Impl::NextByteTimeMs() const {
  auto ceilMs = [](int64_t us) { return (us + 999) / 1000; };
  if (!out.empty()) return ceilMs(out.front().dueUs);
  int64_t next = -1;
  auto consider = [&](int64_t ms) {
    if (next < 0 || ms < next) next = ms;
  };
  if (mode == Mode::kCommand && !cmd.empty() && Classify(cmd) == Shape::kCompleteIfIdle)
    consider(ceilMs(cmdLastUs + kIdleFlushUs));
  if (RealTimeOn()) {
    if (Logging()) consider(ceilMs(HostUs(SampleTimeMs(sampleIndex))));
    if (p.status == 1) consider(ceilMs(HostUs(MsSince2000(p.deployment.startTime))));
  }
  return next;
}

}  // namespace tmv::sim
