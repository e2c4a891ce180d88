#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace trevolan {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The colour scale of 21 entries: red rises over entries 0..6, green over 6..12, blue
// over 12..19, and entry 20 is white. It turns a percentage into an animation colour.
inline constexpr std::array<Rgb, 21> kColourScale = {{
    {0, 0, 0},       {42, 0, 0},      {84, 0, 0},      {126, 0, 0},     {169, 0, 0},     {212, 0, 0},
    {255, 0, 0},     {255, 42, 0},    {255, 84, 0},    {255, 126, 0},   {255, 169, 0},   {255, 212, 0},
    {255, 255, 0},   {255, 255, 32},  {255, 255, 64},  {255, 255, 96},  {255, 255, 128}, {255, 255, 160},
    {255, 255, 192}, {255, 255, 224}, {255, 255, 255},
}};

// The ten channel colours of the plot traces, its legend and the diagram's links,
// channel 1 first: red, blue, green, black, fuchsia, (212,0,0), orange, navy, aqua, lime.
inline constexpr std::array<Rgb, 10> kChannelColours = {{
    {255, 0, 0}, {0, 0, 255}, {0, 128, 0}, {0, 0, 0}, {255, 0, 255},
    {212, 0, 0}, {255, 126, 0}, {0, 0, 128}, {0, 255, 255}, {0, 255, 0},
}};

// The scale entry of a percentage: the nearest integer to 0.2 x percent (halves to
// even), limited to 0..20.
int ColourIndexForPercent(int64_t percent);
inline Rgb ColourForPercent(int64_t percent) { return kColourScale[static_cast<std::size_t>(ColourIndexForPercent(percent))]; }

}  // namespace trevolan
