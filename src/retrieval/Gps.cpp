#include "retrieval/Gps.h"
#include "retrieval/GpsPosition.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "link/LoggerLink.h"
#include "platform/UserInterface.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {
namespace {

// A GPS buffer holds this many bytes before a sentence head can be told apart.
constexpr size_t kShortestUseful = 7;
// Bytes asked of the GPS port per read, at most.
constexpr size_t kGpsReadBytes = 160;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsTalkerChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// The part between the head's comma and the '*', when the sentence is framed
// and its checksum matches; nothing otherwise. A corrupt sentence must never
// become a position, so no field is looked at before this passes.
bool CheckedBody(std::string_view s, std::string_view& body) {
  if (s.size() < 10 || s[0] != '$') return false;  // "$ttKKK,*hh" at the least
  const size_t star = s.rfind('*');
  if (star == std::string_view::npos || star + 3 != s.size()) return false;
  const int hi = HexDigit(s[star + 1]), lo = HexDigit(s[star + 2]);
  if (hi < 0 || lo < 0) return false;
  unsigned sum = 0;
  for (size_t i = 1; i < star; ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c > 0x7E || c == '$') return false;  // NMEA text is printable ASCII
    sum ^= c;
  }
  if (sum != static_cast<unsigned>(hi * 16 + lo)) return false;
  if (NmeaSentenceKind(s).empty()) return false;
  body = s.substr(7, star - 7);
  return true;
}

std::vector<std::string_view> SplitFields(std::string_view body) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t comma = body.find(',', start);
    if (comma == std::string_view::npos) {
      fields.push_back(body.substr(start));
      return fields;
    }
    fields.push_back(body.substr(start, comma - start));
    start = comma + 1;
  }
}

// An angle in NMEA form (dddmm.mmmm): all digits and one point, minutes below
// 60, at most maxDegrees. Signs, exponents and blanks are refused.
bool ReadAngle(std::string_view field, int maxDegrees, double& value) {
  if (field.empty() || field.size() > 16) return false;
  for (char c : field)
    if (!(c >= '0' && c <= '9') && c != '.') return false;
  const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (ec != std::errc() || end != field.data() + field.size()) return false;
  const double degrees = static_cast<int>(value / 100.0);
  const double minutes = value - degrees * 100.0;
  if (minutes >= 60.0) return false;
  return degrees < maxDegrees || (degrees == maxDegrees && minutes == 0.0);
}

bool ReadHemisphere(std::string_view field, char a, char b, char& letter) {
  if (field.size() != 1 || (field[0] != a && field[0] != b)) return false;
  letter = field[0];
  return true;
}

// What one sentence is, and whether it was a checksum-valid GGA or GLL (even
// one without a fix), which shows that the GPS does send the sentences needed.
struct Classified {
  NmeaResult result = NmeaResult::Rejected;
  bool positionKind = false;
};

Classified Classify(std::string_view s, std::string& positionText) {
  Classified out;
  std::string_view body;
  if (!CheckedBody(s, body)) return out;
  const std::string_view kind = NmeaSentenceKind(s);
  const bool gga = kind == "GGA", gll = kind == "GLL";
  if (!gga && !gll) {
    out.result = NmeaResult::Other;
    return out;
  }
  out.positionKind = true;
  const std::vector<std::string_view> f = SplitFields(body);
  // GGA: time, latitude, N/S, longitude, E/W, fix quality, ...
  // GLL: latitude, N/S, longitude, E/W, time, status (A valid, V void; newer receivers only).
  const size_t first = gga ? 1 : 0;
  if (f.size() < first + 4) return out;
  if (gga && (f.size() < 6 || f[5].empty() || f[5] == "0")) return out;  // no fix
  if (gll && f.size() >= 6 && f[5] != "A") return out;
  double latitude = 0, longitude = 0;
  char ns = 0, ew = 0;
  if (!ReadAngle(f[first], 90, latitude) || !ReadHemisphere(f[first + 1], 'N', 'S', ns) ||
      !ReadAngle(f[first + 2], 180, longitude) || !ReadHemisphere(f[first + 3], 'E', 'W', ew))
    return out;
  positionText = Format(" %.4f,%c,%.4f,%c", latitude, ns, longitude, ew);
  out.result = NmeaResult::Position;
  return out;
}

void Drop(GpsState& gps, size_t count) {
  count = std::min(count, gps.fill);
  std::memmove(gps.buffer.data(), gps.buffer.data() + count, gps.fill - count);
  gps.fill -= count;
}

void Report(GpsState& gps, std::string_view sentence, NmeaResult result) {
  if (gps.onSentence) gps.onSentence(sentence, result);
}

// Parses every complete sentence in the buffer; 1 when one gave a position.
// Always leaves room in the buffer, so that feeding never stalls.
int ProcessBuffer(GpsState& gps, UserInterface* ui, int language) {
  int newPosition = 0;
  while (gps.fill >= kShortestUseful) {
    char* const b = gps.buffer.data();
    const char* dollar = static_cast<const char*>(std::memchr(b, '$', gps.fill));
    if (dollar == nullptr) {
      gps.fill = 0;
      break;
    }
    Drop(gps, static_cast<size_t>(dollar - b));
    size_t end = 1;
    while (end < gps.fill && b[end] != '\r' && b[end] != '\n' && b[end] != '$') ++end;
    if (end == gps.fill) {
      if (gps.fill < GpsState::kCapacity) break;  // wait for the rest
      // Longer than the buffer: no sentence of the GPS is, so it is noise.
      ++gps.overlong;
      ++gps.rejected;
      Report(gps, std::string_view(b, gps.fill), NmeaResult::Rejected);
      gps.fill = 0;
      break;
    }
    const std::string_view sentence(b, end);
    if (b[end] == '$') {
      // A new head before the line end: the sentence before it was cut off.
      ++gps.rejected;
      Report(gps, sentence, NmeaResult::Rejected);
      Drop(gps, end);
      continue;
    }
    const Classified c = Classify(sentence, gps.positionText);
    switch (c.result) {
      case NmeaResult::Position:
        ++gps.positions;
        newPosition = 1;
        break;
      case NmeaResult::Other:
        if (gps.otherSentences < INT_MAX) ++gps.otherSentences;
        if (gps.otherSentences == 256 && ui != nullptr)
          ui->MessageBox(Tr(language, kGpsNotSendingText), Tr(language, kGpsCommunicationTitle), MessageButtons::Ok,
                         MessageIcon::Exclamation, MessageAnswer::Ok);
        break;
      case NmeaResult::Rejected:
        ++gps.rejected;
        break;
    }
    if (c.positionKind) gps.otherSentences = 0;
    Report(gps, sentence, c.result);
    Drop(gps, end + 1);
  }
  return newPosition;
}

}  // namespace

std::string_view NmeaSentenceKind(std::string_view s) {
  if (s.size() < 7 || s[0] != '$' || s[6] != ',') return {};
  for (size_t i = 1; i < 6; ++i)
    if (!IsTalkerChar(s[i])) return {};
  return s.substr(3, 3);
}

std::optional<GeoPosition> PositionFromText(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
  const std::vector<std::string_view> f = SplitFields(text);
  if (f.size() != 4) return std::nullopt;
  double latitude = 0, longitude = 0;
  char ns = 0, ew = 0;
  if (!ReadAngle(f[0], 90, latitude) || !ReadHemisphere(f[1], 'N', 'S', ns) || !ReadAngle(f[2], 180, longitude) ||
      !ReadHemisphere(f[3], 'E', 'W', ew))
    return std::nullopt;
  // ddmm.mmmm: degrees and minutes of arc.
  auto degrees = [](double v) { return std::floor(v / 100.0) + std::fmod(v, 100.0) / 60.0; };
  GeoPosition p;
  p.latitude = (ns == 'S' ? -1 : 1) * degrees(latitude);
  p.longitude = (ew == 'W' ? -1 : 1) * degrees(longitude);
  return p;
}

NmeaResult ParseNmeaSentence(std::string_view sentence, std::string& positionText) {
  return Classify(sentence, positionText).result;
}

int FeedGpsBytes(GpsState& gps, const char* data, size_t count, UserInterface* ui, int language) {
  int newPosition = 0;
  size_t offset = 0;
  while (offset < count) {
    const size_t n = std::min(count - offset, GpsState::kCapacity - gps.fill);
    std::memcpy(gps.buffer.data() + gps.fill, data + offset, n);
    gps.fill += n;
    offset += n;
    newPosition |= ProcessBuffer(gps, ui, language);
  }
  return newPosition;
}

int ReadGpsPosition(AppState& state) {
  if (!state.gpsLink.IsOpen()) return 0;
  GpsState& gps = state.gps;
  const size_t want = std::min(kGpsReadBytes, GpsState::kCapacity - gps.fill);
  if (want == 0) return 0;
  uint8_t bytes[kGpsReadBytes + 1];
  const size_t n = LinkRead(state, state.gpsLink, bytes, want);
  return FeedGpsBytes(gps, reinterpret_cast<const char*>(bytes), n, &state.ui, state.shell.language);
}

}  // namespace tmv
