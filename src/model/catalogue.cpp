#include "model/catalogue.h"

#include <array>

namespace trevolan {

namespace {

constexpr BlockTypeInfo kBlockTypes[] = {
    {BlockType::Activity, "Activity (Petri-net transition with delay)", "&Activity/Actor", "PetriNet process", false},
    {BlockType::Belt, "Belt (conveyor)", "&Belt", "Conveyor Belt", false},
    {BlockType::Container, "Container (place, store, constant)", "&Container", "Stores items, passive or use as Constant", false},
    {BlockType::Diverter, "Diverter", "&Diverter", "Random diversion", true},
    {BlockType::Exponents, "Exponents", "&Exponents", "exponentials and powers", false},
    {BlockType::Flux, "Flux", "&Flux", "flow between containers or integrators", false},
    {BlockType::Generator, "function Generator", "function&Generator", "Arbitrary piecewise linear functions", false},
    {BlockType::Hysteresis, "Hysteresis", "&Hysteresis", "ramp up down with hysteresis", false},
    {BlockType::Integrator, "Integrator", "&Integrator", "Integrator, may be cyclic or bounded", false},
    {BlockType::Inductor, "Inductor", "Inductor &J", "Joins containers (as capacitors) or integrators", false},
    {BlockType::Logic, "Logic", "logic&K", "OR,AND,NOR, NAND, XOR", false},
    {BlockType::Logarithm, "Logarithm", "&Logarithm", "logarithms (chose base)", false},
    {BlockType::Memory, "Memory", "&Memory", "Stores two variables, puts them out later", false},
    {BlockType::Note, "Note", "&Note", "Annote diagram. Its Comment is displayed", false},
    {BlockType::Pid, "PID controller, not assigned", "&P not assigned", "Nothing yet", false},
    {BlockType::Quantizer, "Quantizer", "&Quantizer", "Discretizes input over range, choose stepsize", false},
    {BlockType::Relay, "Relay", "&Relay", "Switches blocks on/off depending on its input", false},
    {BlockType::Sine, "Sine", "&Sine", "Sine, ArcSine, ArcTan (over 2pi)", false},
    {BlockType::Timer, "Timer", "&Timer", "Multivibrator, oneshot, bistable", false},
    {BlockType::Visualizer, "Visualizer", "&Visualizer", "Various ways to display block contents", false},
    {BlockType::Witch, "Witch switch", "&Witch", "Select Which input or Min or Max input", false},
    {BlockType::Multiplier, "Multiplier", "Multiplier &X", "multiplies input together", false},
    {BlockType::Fuzz, "Fuzz (random numbers)", "Fuz&Zmaker", "Random Numbers, various distributions", false},
    {BlockType::Divide, "Divide", "&% Divide", "divides (A-B) by (C-D)", false},
    {BlockType::Sum, "Sum", "&& Sum+/-", "Sum (adds or subtracts)", false},
    {BlockType::Access, "Access", "@Access", "gets inot any data, can put it anywhere (dangerous!)", false},
    {BlockType::Oscilloscope, "Oscilloscope (the Graphs system block 19)", nullptr, nullptr, false},
    {BlockType::User, "User block, spreadsheet link (system block 20)", nullptr, nullptr, false},
};

}  // namespace

std::span<const BlockTypeInfo> BlockTypes() { return kBlockTypes; }

const BlockTypeInfo* FindBlockType(BlockType type) {
  // Indexed by the character, so the model reader's test per line costs one lookup.
  static const auto index = [] {
    std::array<const BlockTypeInfo*, 256> table{};
    for (const BlockTypeInfo& info : kBlockTypes) table[static_cast<unsigned char>(TypeLetter(info.type))] = &info;
    return table;
  }();
  return index[static_cast<unsigned char>(TypeLetter(type))];
}

bool IsBlockType(BlockType type) { return FindBlockType(type) != nullptr; }

}  // namespace trevolan
