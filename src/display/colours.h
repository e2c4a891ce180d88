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

// Fixed colours of the diagram, the Visualizer and the plot panel.
namespace colour {
inline constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kGrey{128, 128, 128}, kSilver{192, 192, 192};
inline constexpr Rgb kRed{255, 0, 0}, kMaroon{128, 0, 0}, kYellow{255, 255, 0}, kOlive{128, 128, 0};
inline constexpr Rgb kLime{0, 255, 0}, kGreen{0, 128, 0}, kAqua{0, 255, 255}, kTeal{0, 128, 128};
inline constexpr Rgb kBlue{0, 0, 255}, kNavy{0, 0, 128}, kFuchsia{255, 0, 255}, kPurple{128, 0, 128};
inline constexpr Rgb kSkyBlue{166, 202, 240};
inline constexpr Rgb kOffGrey{160, 160, 164};  // the label fill of a block that is switched off
// The face of buttons and dialogs, behind the number lines and empty Notes: the light
// grey of current desktop themes.
inline constexpr Rgb kButtonFace{240, 240, 240};
}  // namespace colour

// The scale entry of a percentage: the nearest integer to 0.2 x percent (halves to
// even), limited to 0..20.
int ColourIndexForPercent(int64_t percent);
inline Rgb ColourForPercent(int64_t percent) { return kColourScale[static_cast<std::size_t>(ColourIndexForPercent(percent))]; }

}  // namespace trevolan
