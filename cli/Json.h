#pragma once
// A small JSON writer for the tool's --json output: compact text, keys in
// the order written, strings escaped, numbers in the C locale's form whatever
// the program's locale (std::to_chars), and values that are no number
// (invalid readings, NaN, infinities) written as null.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tmv {
struct LoggerInfo;
struct LoggerTime;
}

namespace tmv::cli {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view key);
  JsonWriter& String(std::string_view text);
  // The shortest text that reads back as the same value; null when not finite.
  JsonWriter& Number(double value);
  JsonWriter& Number(float value);
  JsonWriter& Integer(int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();
  // "2027-01-15T08:00:00"; null for a time that is not a calendar date.
  JsonWriter& Time(const LoggerTime& t);

  const std::string& Text() const { return out_; }

 private:
  void BeforeValue();
  std::string out_;
  std::vector<bool> first_;  // per open container: nothing written in it yet
  bool afterKey_ = false;
};

// The keys that name a channel, the same in every output: "number" (from
// 1), "label" (its type's name, "Conductivity") and "unit" ("mS/cm").
JsonWriter& ChannelKeys(JsonWriter& w, const LoggerInfo& info, int channel);
// The label of those keys: the channel list's label without its number.
std::string ChannelName(const LoggerInfo& info, int channel);

// The text of a JSON string literal for `text`, quotes included. Bytes that
// are not UTF-8 (the logger's 8-bit texts) are taken as Latin-1.
std::string JsonQuoted(std::string_view text);
// A label as a key: "Sampling at 1Hz" -> "sampling_at_1hz", "!12 Commands" -> "12_commands".
std::string SnakeCase(std::string_view label);
// "2027-01-15T08:00:00", or "" when t is not a calendar date.
std::string IsoTime(const LoggerTime& t);

}  // namespace tmv::cli
