#include "model/catalogue.h"

#include <array>

namespace trevolan {

namespace {

constexpr BlockTypeInfo kBlockTypes[] = {
    {'A', "Activity (Petri-net transition with delay)", "&Activity/Actor", "PetriNet process", false},
    {'B', "Belt (conveyor)", "&Belt", "Conveyor Belt", false},
    {'C', "Container (place, store, constant)", "&Container", "Stores items, passive or use as Constant", false},
    {'D', "Diverter", "&Diverter", "Random diversion", true},
    {'E', "Exponents", "&Exponents", "exponentials and powers", false},
    {'F', "Flux", "&Flux", "flow between containers or integrators", false},
    {'G', "function Generator", "function&Generator", "Arbitrary piecewise linear functions", false},
    {'H', "Hysteresis", "&Hysteresis", "ramp up down with hysteresis", false},
    {'I', "Integrator", "&Integrator", "Integrator, may be cyclic or bounded", false},
    {'J', "Inductor", "Inductor &J", "Joins containers (as capacitors) or integrators", false},
    {'K', "Logic", "logic&K", "OR,AND,NOR, NAND, XOR", false},
    {'L', "Logarithm", "&Logarithm", "logarithms (chose base)", false},
    {'M', "Memory", "&Memory", "Stores two variables, puts them out later", false},
    {'N', "Note", "&Note", "Annote diagram. Its Comment is displayed", false},
    {'P', "PID controller, not assigned", "&P not assigned", "Nothing yet", false},
    {'Q', "Quantizer", "&Quantizer", "Discretizes input over range, choose stepsize", false},
    {'R', "Relay", "&Relay", "Switches blocks on/off depending on its input", false},
    {'S', "Sine", "&Sine", "Sine, ArcSine, ArcTan (over 2pi)", false},
    {'T', "Timer", "&Timer", "Multivibrator, oneshot, bistable", false},
    {'V', "Visualizer", "&Visualizer", "Various ways to display block contents", false},
    {'W', "Witch switch", "&Witch", "Select Which input or Min or Max input", false},
    {'X', "Multiplier", "Multiplier &X", "multiplies input together", false},
    {'Z', "Fuzz (random numbers)", "Fuz&Zmaker", "Random Numbers, various distributions", false},
    {'%', "Divide", "&% Divide", "divides (A-B) by (C-D)", false},
    {'&', "Sum", "&& Sum+/-", "Sum (adds or subtracts)", false},
    {'@', "Access", "@Access", "gets inot any data, can put it anywhere (dangerous!)", false},
    {'O', "Oscilloscope (the Graphs system block 19)", nullptr, nullptr, false},
    {'U', "User block, spreadsheet link (system block 20)", nullptr, nullptr, false},
};

}  // namespace

std::span<const BlockTypeInfo> BlockTypes() { return kBlockTypes; }

const BlockTypeInfo* FindBlockType(char type) {
  // Indexed by the character, so the model reader's test per line costs one lookup.
  static const auto index = [] {
    std::array<const BlockTypeInfo*, 256> table{};
    for (const BlockTypeInfo& info : kBlockTypes) table[static_cast<unsigned char>(info.type)] = &info;
    return table;
  }();
  return index[static_cast<unsigned char>(type)];
}

bool IsBlockType(char type) { return FindBlockType(type) != nullptr; }

}  // namespace trevolan
