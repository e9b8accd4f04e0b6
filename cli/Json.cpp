#include "Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "Utf8Output.h"
#include "model/ChannelTypes.h"
#include "model/LoggerTime.h"

namespace tmv::cli {

std::string JsonQuoted(std::string_view text) {
  std::string out = "\"";
  // UTF-8 as it is; a Latin-1 byte (0xB5, the micro sign of units) as UTF-8.
  for (const char ch : AsUtf8(text)) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; continue;
      case '\\': out += "\\\\"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      case '\b': out += "\\b"; continue;
      case '\f': out += "\\f"; continue;
      default: break;
    }
    if (c < 0x20 || c == 0x7F) {
      char u[8];
      std::snprintf(u, sizeof u, "\\u%04x", c);
      out += u;
    } else {
      out.push_back(ch);
    }
  }
  out += "\"";
  return out;
}

std::string ChannelName(const LoggerInfo& info, int channel) {
  // " 2 - Temperature": the number has its own key.
  std::string label = ChannelLabel(info, channel);
  const size_t dash = label.find(" - ");
  if (dash != std::string::npos && label.find_first_not_of(" 0123456789") == dash + 1) label.erase(0, dash + 3);
  return label;
}

JsonWriter& ChannelKeys(JsonWriter& w, const LoggerInfo& info, int channel) {
  return w.Key("number").Integer(channel + 1).Key("label").String(ChannelName(info, channel)).Key("unit").String(
      ChannelUnit(info, channel));
}

std::string SnakeCase(std::string_view label) {
  std::string key;
  bool gap = false;
  for (char c : label) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum) {
      gap = !key.empty();
      continue;
    }
    if (gap) key.push_back('_');
    gap = false;
    key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  return key;
}

std::string IsoTime(const LoggerTime& t) {
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 || t.second > 59 ||
      t.year > 9999)
    return "";
  char b[32];
  std::snprintf(b, sizeof b, "%04u-%02u-%02uT%02u:%02u:%02u", unsigned{t.year}, unsigned{t.month}, unsigned{t.day},
                unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second});
  return b;
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!first_.empty()) {
    if (!first_.back()) out_ += ",";
    first_.back() = false;
  }
}

JsonWriter& JsonWriter::BeginObject() {
  BeforeValue();
  out_ += "{";
  first_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  out_ += "}";
  if (!first_.empty()) first_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  BeforeValue();
  out_ += "[";
  first_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  out_ += "]";
  if (!first_.empty()) first_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
  BeforeValue();
  out_ += JsonQuoted(key);
  out_ += ":";
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
  BeforeValue();
  out_ += JsonQuoted(text);
  return *this;
}

JsonWriter& JsonWriter::Number(double value) {
  if (!std::isfinite(value)) return Null();
  BeforeValue();
  char b[64];
  const auto r = std::to_chars(b, b + sizeof b, value);
  out_.append(b, r.ptr);
  return *this;
}

JsonWriter& JsonWriter::Number(float value) {
  if (!std::isfinite(value)) return Null();
  BeforeValue();
  char b[64];
  // The float's own shortest form: 12.5f is "12.5", not its double expansion.
  const auto r = std::to_chars(b, b + sizeof b, value);
  out_.append(b, r.ptr);
  return *this;
}

JsonWriter& JsonWriter::Integer(int64_t value) {
  BeforeValue();
  char b[32];
  const auto r = std::to_chars(b, b + sizeof b, value);
  out_.append(b, r.ptr);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  out_ += "null";
  return *this;
}

JsonWriter& JsonWriter::Time(const LoggerTime& t) {
  const std::string text = IsoTime(t);
  return text.empty() ? Null() : String(text);
}

}  // namespace tmv::cli
