#pragma once
// The graph's colour table: channel i is drawn in colour i mod 8, with a pen
// 3 pixels wide and one 1 pixel wide; a white 3-pixel pen and one solid
// brush per colour complete the drawing objects.
#include <array>
#include <cstdint>

namespace tmv {

struct Rgb {
  uint8_t r, g, b;
};

inline constexpr std::array<Rgb, 8> kGraphColours = {{
    {255, 255, 0},
    {255, 0, 0},
    {0, 0, 255},
    {192, 128, 0},
    {0, 255, 255},
    {128, 0, 0},
    {128, 0, 128},
    {0, 0, 0},
}};

inline constexpr Rgb ChannelColour(int channel) {
  return kGraphColours[static_cast<size_t>(((channel % 8) + 8) % 8)];
}

}  // namespace tmv
