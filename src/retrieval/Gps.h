#pragma once
// The GPS link's receiving side: NMEA sentences in, the latest position text
// out. FeedGpsBytes needs no AppState, so a fuzzer or a soak can drive it alone.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tmv {

struct AppState;
class UserInterface;

// Position: a GGA or GLL with a valid checksum and a usable fix (positionText set).
// Other: a well-formed sentence of another kind (GSV, RMC, ...).
// Rejected: bad or missing checksum, malformed fields, no fix, impossible values.
enum class NmeaResult { Position, Other, Rejected };

struct GpsState {
  static constexpr size_t kCapacity = 256;
  std::array<char, kCapacity> buffer{};
  size_t fill = 0;
  int otherSentences = 0;        // sentences in a row that were neither GGA nor GLL
  std::string positionText;      // " %.4f,%c,%.4f,%c", empty until a position
  uint64_t positions = 0, rejected = 0;  // counters for tests and the soak
  uint64_t overlong = 0;         // runs of bytes dropped for want of a line end
  // Told of every framed sentence and what became of it (the GPS test lists them).
  std::function<void(std::string_view sentence, NmeaResult result)> onSentence;
};

// One sentence, "$..GGA,...*hh" without CR/LF. positionText changes only on Position.
NmeaResult ParseNmeaSentence(std::string_view sentence, std::string& positionText);

// Sentence kind of a well-framed sentence ("GGA", "GLL", "GSV", ...); empty when the head is malformed.
std::string_view NmeaSentenceKind(std::string_view sentence);

// Adds bytes to the GPS buffer and parses every complete sentence in it.
// Returns 1 when a new position was parsed. The message about a GPS that
// sends neither GGA nor GLL goes to ui (when given) once per run of 256.
int FeedGpsBytes(GpsState& gps, const char* data, size_t count, UserInterface* ui, int language = 0);

// Reads up to min(160, 256 - fill) bytes from state.gpsLink and feeds them.
// 1 when a new position was parsed, 0 otherwise (also when the link is closed).
int ReadGpsPosition(AppState& state);

inline constexpr const char* kGpsNotSendingText =
    "The GPS is not sending either of the messages\n'GGA' nor 'GLL' that are required.\n";
inline constexpr const char* kGpsCommunicationTitle = "GPS Communication";

}  // namespace tmv
