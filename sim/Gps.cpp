#include "sim/Gps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace tmv::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;

// NMEA angle text: degrees and minutes with four decimals, minutes never shown as 60.
std::string Angle(double degrees, int degreeDigits) {
  const auto tenThousandths = static_cast<int64_t>(std::llround(std::fabs(degrees) * 60.0 * 10000.0));
  char text[32];
  std::snprintf(text, sizeof text, "%0*lld%02lld.%04lld", degreeDigits,
                static_cast<long long>(tenThousandths / 600000), static_cast<long long>(tenThousandths % 600000 / 10000),
                static_cast<long long>(tenThousandths % 10000));
  return text;
}

double AngleValue(double degrees) {
  const auto tenThousandths = static_cast<int64_t>(std::llround(std::fabs(degrees) * 60.0 * 10000.0));
  return static_cast<double>(tenThousandths / 600000) * 100.0 + static_cast<double>(tenThousandths % 600000) / 10000.0;
}

}  // namespace

std::string GpsPositionText(double latitude, double longitude) {
  char text[64];
  std::snprintf(text, sizeof text, " %.4f,%c,%.4f,%c", AngleValue(latitude), latitude < 0 ? 'S' : 'N',
                AngleValue(longitude), longitude < 0 ? 'W' : 'E');
  return text;
}

std::string NmeaChecksum(const std::string& body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char text[8];
  std::snprintf(text, sizeof text, "*%02X", sum & 0xFF);
  return text;
}

GpsEmulator::GpsEmulator(GpsOptions options) : options_(std::move(options)), random_(options_.seed) {
  if (options_.intervalMs < 1) options_.intervalMs = 1;
  if (options_.baud < 300) options_.baud = 300;
}

void GpsEmulator::PositionAtFix(int64_t k, double& latitude, double& longitude) const {
  // Dead reckoning on a sphere, good enough for a ship: one nautical mile is one minute of latitude.
  const double hours = static_cast<double>(k) * options_.intervalMs / 3600000.0;
  const double miles = options_.speedKnots * hours;
  const double course = options_.courseDegrees * kPi / 180.0;
  latitude = options_.latitude + miles * std::cos(course) / 60.0;
  latitude = std::clamp(latitude, -89.9, 89.9);
  const double midLatitude = (latitude + options_.latitude) / 2.0 * kPi / 180.0;
  longitude = options_.longitude + miles * std::sin(course) / (60.0 * std::cos(midLatitude));
  longitude = std::remainder(longitude, 360.0);
}

void GpsEmulator::Queue(std::string sentence, bool positionKind) {
  bool damaged = false;
  if (options_.corruptRate > 0 && std::uniform_real_distribution<double>(0, 1)(random_) < options_.corruptRate) {
    damaged = true;
    const size_t star = sentence.rfind('*');
    switch (std::uniform_int_distribution<int>(0, 3)(random_)) {
      case 0: {  // one character changed in transit
        const size_t at = std::uniform_int_distribution<size_t>(1, star - 1)(random_);
        sentence[at] = sentence[at] == '7' ? '3' : '7';
        break;
      }
      case 1:  // a wrong sum
        sentence[star + 2] = sentence[star + 2] == '0' ? '1' : '0';
        break;
      case 2:  // cut off before its end; the next sentence follows at once
        sentence.resize(std::uniform_int_distribution<size_t>(1, sentence.size() - 2)(random_));
        break;
      default:  // the sum left out, the line end kept
        sentence.erase(star, 3);
        break;
    }
  }
  ++sentences;
  if (damaged) ++corrupt;
  else if (positionKind) ++positionSentences;
  if (onSentence) onSentence(sentence, damaged);
  const double byteMs = 10000.0 / options_.baud;
  for (char c : sentence) {
    lineFreeMs_ += byteMs;
    outbox_.emplace_back(static_cast<int64_t>(std::ceil(lineFreeMs_)), static_cast<uint8_t>(c));
  }
}

void GpsEmulator::QueueFix(int64_t k) {
  const double start = static_cast<double>(k) * options_.intervalMs;
  if (lineFreeMs_ < start) lineFreeMs_ = start;
  double latitude = 0, longitude = 0;
  PositionAtFix(k, latitude, longitude);
  fixPositionText = GpsPositionText(latitude, longitude);
  const int64_t second = (options_.startSecondOfDay + k * options_.intervalMs / 1000) % 86400;
  const int64_t hundredths = (k * options_.intervalMs % 1000) / 10;
  char time[16];
  std::snprintf(time, sizeof time, "%02lld%02lld%02lld.%02lld", static_cast<long long>(second / 3600),
                static_cast<long long>(second / 60 % 60), static_cast<long long>(second % 60),
                static_cast<long long>(hundredths));
  const std::string lat = Angle(latitude, 2) + (latitude < 0 ? ",S" : ",N");
  const std::string lon = Angle(longitude, 3) + (longitude < 0 ? ",W" : ",E");
  const auto sentence = [&](const std::string& body) { return "$" + body + NmeaChecksum(body) + "\r\n"; };
  if (options_.gga)
    Queue(sentence(options_.talker + "GGA," + time + "," + lat + "," + lon + ",1,08,0.9,12.3,M,-20.1,M,,"), true);
  if (options_.gll) Queue(sentence(options_.talker + "GLL," + lat + "," + lon + "," + time + ",A,A"), true);
  if (options_.vtg) {
    char vtg[96];
    std::snprintf(vtg, sizeof vtg, "VTG,%.1f,T,,M,%.1f,N,%.1f,K,A", options_.courseDegrees, options_.speedKnots,
                  options_.speedKnots * 1.852);
    Queue(sentence(options_.talker + vtg), false);
  }
}

size_t GpsEmulator::Transmit(uint8_t* out, size_t max, int64_t nowMs) {
  while (static_cast<int64_t>(nextFix_) * options_.intervalMs <= nowMs) QueueFix(nextFix_++);
  size_t n = 0;
  while (n < max && !outbox_.empty() && outbox_.front().first <= nowMs) {
    out[n++] = outbox_.front().second;
    outbox_.pop_front();
  }
  return n;
}

int64_t GpsEmulator::NextByteTimeMs() const {
  if (!outbox_.empty()) return outbox_.front().first;
  const double start = std::max(lineFreeMs_, static_cast<double>(nextFix_) * options_.intervalMs);
  return static_cast<int64_t>(std::ceil(start + 10000.0 / options_.baud));
}

}  // namespace tmv::sim
