#pragma once
// The graph's colours, alike on the screen and in tmv-cli's pictures: twelve
// colours that stay apart for the common forms of colour blindness and keep
// at least 3:1 contrast on white (no pale yellow, no light cyan). Channels
// 1 to 12 take them with a solid pen, channels 13 to 24 again with a dashed
// one, so that 24 traces stay apart.
#include <array>
#include <cstdint>

namespace tmv {

struct Rgb {
  uint8_t r, g, b;
};

inline constexpr std::array<Rgb, 12> kGraphColours = {{
    {0x00, 0x72, 0xB2},  // blue
    {0xD5, 0x5E, 0x00},  // vermilion
    {0x00, 0x99, 0x88},  // teal
    {0xEE, 0x33, 0x77},  // magenta
    {0x00, 0x00, 0x00},  // black
    {0x7F, 0x27, 0x04},  // brown
    {0x3F, 0x00, 0x7D},  // violet
    {0x11, 0x77, 0x33},  // green
    {0x88, 0x22, 0x55},  // wine
    {0x66, 0x99, 0xCC},  // light blue
    {0x33, 0xA0, 0x2C},  // leaf green
    {0x00, 0x44, 0x88},  // navy
}};

inline constexpr Rgb ChannelColour(int channel) {
  constexpr int n = static_cast<int>(kGraphColours.size());
  return kGraphColours[static_cast<size_t>(((channel % n) + n) % n)];
}

// Channels past the colours are told apart by a dashed pen.
inline constexpr bool ChannelDashed(int channel) {
  return channel >= static_cast<int>(kGraphColours.size());
}

}  // namespace tmv
