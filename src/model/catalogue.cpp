#include "model/catalogue.h"

#include <array>
#include <numbers>

#include "model/sim.h"

namespace trevolan {

namespace {

// A new block is switched on; the fields its type sets are given on top.
TBlock SwitchedOn(TBlock fields) {
  fields.OnOff = 1;
  return fields;
}

// What the fields of a type's defaults cannot say, run once the new block has its ID.
// A Generator draws from a table of its own: 11 points holding the identity on [0, 1],
// arguments in stored[11 + k], values in stored[k].
void OwnFunctionTable(const Sim&, TBlock& b) {
  constexpr int64_t kPoints = 11;
  b.Pn = b.ID;
  ResizeStored(b, 2 * kPoints + 1);
  for (int64_t k = 1; k <= kPoints; ++k) {
    const double x = static_cast<double>(k - 1) * 0.1;
    StoredAt(b, k) = x;
    StoredAt(b, kPoints + k) = x;
  }
}

// A Timer first switches one on-time after it was made.
void FirstSwitchingTime(const Sim& s, TBlock& b) { b.pp = s.Time + b.bb; }

// The user block links no blocks yet (entry 0 of its list keeps what it held).
void NoLinksYet(const Sim&, TBlock& b) {
  for (int64_t k = 1; k <= 10; ++k) StoredAt(b, k) = 0;
}

}  // namespace

std::span<const BlockTypeInfo> BlockTypes() {
  // Made at the first call: a new block's fields hold texts, which a constant cannot.
  static const BlockTypeInfo kBlockTypes[] = {
      {BlockType::Activity, "Activity (Petri-net transition with delay)", "&Activity/Actor", "PetriNet process", false,
       {.fields = SwitchedOn({.State = 1, .aa = 1, .bb = 1, .cc = 1, .dd = 1, .pp = 10}), .stored = 3},
       {"Action/Activity A", "Start with A, B ready, output to C,D", nullptr,
        {"SourceA", "SourceB", "Drop C", "Drop D", "Delay Time"}}, {1, 3}},
      {BlockType::Belt, "Belt (conveyor)", "&Belt", "Conveyor Belt", false,
       {.fields = SwitchedOn({.State = 1, .Dn = 10, .aa = 1, .bb = 1, .pp = 10}), .stored = 11},
       {"Belt/Conveyor B", "Take from A, dump to B", nullptr,
        {"SourceA", "Drop B", "Shows Contents", "No. Segs", "Seg.Time"}}, {1, 2}},
      {BlockType::Container, "Container (place, store, constant)", "&Container", "Stores items, passive or use as Constant", false,
       {.fields = SwitchedOn({.cc = 100, .dd = 50})},
       {"Container/Constant C", "Passive, Stores items or a number", nullptr,
        {"An, aa ignored", "Bn, bb ignored", "Max Contents", "Initial Contents", "Pn, pp ignored"}}, {}},
      {BlockType::Diverter, "Diverter", "&Diverter", "Random diversion", true,
       {.fields = SwitchedOn({.State = 1, .aa = 1, .bb = 0.5, .cc = 1, .dd = 1, .pp = 10}), .stored = 2},
       {"Divert/Split: A->C or ->D probability B", "Prob,Fraction=Vd+bb", nullptr,
        {"A: Source", "B: Prob,Fraction", "C: Direct", "D: Diverted", "Cycle Time"}}, {1, 3}},
      {BlockType::Exponents, "Exponents", "&Exponents", "exponentials and powers", false,
       {.fields = SwitchedOn({.cc = 1, .dd = 1})},
       {"Exponents (E)", "x=(A+aa-B)/(C+cc): D*e^x, D*10^x, D*x^bb", "0:exp() 1:alog() 2:^power",
        {"Input A", "Input B", "Input C", "Input D", "(ignored)"}}, {0, 2}},
      {BlockType::Flux, "Flux", "&Flux", "flow between containers or integrators", false,
       {.fields = SwitchedOn({.cc = 1})},
       {"Flux: A->B, linear,radtn,press,rectf,gas", "Flux=(A-B)*C etc", "0:linear,1:Radiation,2:SqrtLaw,3:FWrectify,4:Gas",
        {"Source A", "Sink B", "Conductance/Area", "Extra,Mode4:To", "Mode4:Mol-Mass"}}, {0, 4}},
      {BlockType::Generator, "function Generator", "function&Generator", "Arbitrary piecewise linear functions", false,
       {.fields = SwitchedOn({.Dn = 11, .cc = 1, .pp = 1}), .then = OwnFunctionTable},
       {"function GENERATOR(G)", "V=pp*FnctP((A-B)*C)", "No alternative modes",
        {"A input", "B input", "C input", "D No.Points", "FncNo., pp"}}, {}},
      {BlockType::Hysteresis, "Hysteresis", "&Hysteresis", "ramp up down with hysteresis", false,
       {.fields = SwitchedOn({.cc = 1e-5, .dd = 0.1})},
       {"Hysteresis(H)", "v=0*(a<b)+1*(a>c),ramp between. ETC", "0:relay,1:slide,2:viscous",
        {"A:Input", "B:Lo/Fmx/Vel", "C:Hi/Compl", "D:Hysteresis", "(used inside)"}}, {0, 2}},
      {BlockType::Integrator, "Integrator", "&Integrator", "Integrator, may be cyclic or bounded", false,
       {.fields = SwitchedOn({.State = 2, .bb = 100000, .cc = 1})},
       {"Integrator (I)", "v=INT((Va-Vb+flux)*Cv)dt+Dv", "0:No constraints, 1:cyclic, 2:Saturates +/-bb",
        {"A: plus", "B: minus", "C: factor", "D: Init Cond", "P: more flux"}}, {0, 2}},
      {BlockType::Inductor, "Inductor", "Inductor &J", "Joins containers (as capacitors) or integrators", false,
       {.fields = SwitchedOn({.cc = 1, .pp = 1})},
       {"Inductor (J)", "CurrentAB=INT((a-b-v*c)/d)", nullptr,
        {"A: from source", "B: to sink", "C: Resistance", "D: Initial I", "P: Inductance"}}, {}},
      {BlockType::Logic, "Logic", "logic&K", "OR,AND,NOR, NAND, XOR", false,
       {.fields = SwitchedOn({.pp = 1})},
       {"Logic Block: OR NOR AND NAND XOR", "Mode defines type", "0:OR, 1:NOR, 2:AND, 3:NAND, 4:XOR",
        {"A: input", "B: input", "C: input", "D: input", "P: OP size"}}, {0, 4}},
      {BlockType::Logarithm, "Logarithm", "&Logarithm", "logarithms (chose base)", false,
       {.fields = SwitchedOn({.aa = 1e-6, .bb = 10, .cc = 1, .dd = 1})},
       {"Logarithms: Natl, base10, base2, baseAny(L)", "v=d*Ln{(a-b)/c} etc", "0:Natrl, 1:base10, 2:base2, 3:anyBase",
        {"A: Plus", "B: Minus", "C: Coefficient", "D: Factor", "(ignored)"}}, {0, 3}},
      {BlockType::Memory, "Memory", "&Memory", "Stores two variables, puts them out later", false,
       {.fields = SwitchedOn({.Bn = 2, .Dn = 11, .pp = 10}), .stored = 23},
       {"Memory with Offset  M)", "V=TrA when(TrB=TrBnow-Offset)", "0:Sample & Hold, 1:Sample and interpolate",
        {"A: Trk for Data", "B: Trk for Basis", "C: Offset", "D: No. Points", "Sample Time"}}, {0, 1}},
      {BlockType::Note, "Note", "&Note", "Annote diagram. Its Comment is displayed", false,
       {.fields = SwitchedOn({})},
       {"Note (N)", "Displays Comment string", "0:normal font,1:italic,2:bold,3:bold+italic",
        {"A not used", "B not used", "C not used", "D not used", "P not used"}}, {0, 3}},
      {BlockType::Pid, "PID controller, not assigned", "&P not assigned", "Nothing yet", false,
       {.fields = SwitchedOn({})},
       {"PID Controller (P)", "V=PID{A-B}", nullptr,
        {"A:", "B:", "C:", "D:", ""}}, {}},
      {BlockType::Quantizer, "Quantizer", "&Quantizer", "Discretizes input over range, choose stepsize", false,
       {.fields = SwitchedOn({.bb = 1, .cc = -100, .dd = 100, .pp = 1})},
       {"Quantizer (Q)", "V=P*(C<=round(A*B)<=D)", "0:no bounds, 1:bounded",
        {"A: Input", "B: 1/step", "C: Lo Limit", "D: Hi limit", "Scale"}}, {0, 1}},
      {BlockType::Relay, "Relay", "&Relay", "Switches blocks on/off depending on its input", false,
       {.fields = SwitchedOn({.Value = 1})},
       {"Relay for ON-OFF", "A>0: B,C,D are ON, P is OFF", nullptr,
        {"A: control", "B: Target", "C: Target", "D: Target", "P: negTarget"}}, {}},
      {BlockType::Sine, "Sine", "&Sine", "Sine, ArcSine, ArcTan (over 2pi)", false,
       {.fields = SwitchedOn({.An = 2, .bb = 1, .cc = 2 * std::numbers::pi, .dd = 1})},
       {"Sin, arcSin, arcTan (Uses Radians)", "V=D*sin(A*B*C+P), asin(), atan()", "0:D*sin((A*B*C+P),1:ArcSin(A),2:ArcTan(A,B)",
        {"A: input", "B: input", "C: input", "D: Scale", "P: Phase"}}, {0, 2}},
      {BlockType::Timer, "Timer", "&Timer", "Multivibrator, oneshot, bistable", false,
       {.fields = SwitchedOn({.bb = 10, .cc = 10, .Value = 1}), .then = FirstSwitchingTime},
       {"Timer, MTBF etc, re-triggerable (T)", "V={On-time:1, Off-time:0}", "0:Repetitive,1:OneShot,2:Bistable,3:Manual 1-shot",
        {"Trigger input", "On-time", "Off time", "Init time", "Relay+,nextTime"}}, {0, 3}},
      {BlockType::Visualizer, "Visualizer", "&Visualizer", "Various ways to display block contents", false,
       {.fields = SwitchedOn({.pp = 1})},
       {"Visualizer V", "Shows value of input A", "0:Number,1:Vert-Stack,2:Horiz-Bar,3:Triangle,4:Quad,5:XYplot,6:Belt/memory,7:Elipse",
        {"A: Input", "B:Corner/offsetB", "C,cc: corner", "D:Corner/fsdB", "F.S.D for A"}}, {0, 7}},
      {BlockType::Witch, "Witch switch", "&Witch", "Select Which input or Min or Max input", false,
       {.fields = SwitchedOn({})},
       {"Witch Switch: MUX-4,Lowest,Highest", "V= 0, Vb+bb, Vc+cc, Vd+dd or Vp+pp", "0:Mux-4, 1:?Min, 2:?Max",
        {"An=MuxSelector", "B:Line1", "C:Line2", "D:Line3", "P:Line4"}}, {0, 2}},
      {BlockType::Multiplier, "Multiplier", "Multiplier &X", "multiplies input together", false,
       {.fields = SwitchedOn({.cc = 1, .dd = 1, .pp = 1})},
       {"Multiplier (5 way), X", "V=(Va+aa)*(Vb+bb)*(Vc+cc)*(Vd+dd)*(Vp+pp)", "0:multiply,1;Inner product of A,B stored values",
        {"A: factor", "B: factor", "C: factor", "D: factor", "P: factor"}}, {0, 1}},
      {BlockType::Fuzz, "Fuzz (random numbers)", "Fuz&Zmaker", "Random Numbers, various distributions", false,
       {.fields = SwitchedOn({.aa = 1, .cc = -1000, .dd = 1000})},
       {"Random Fuzz generator (bounded),Z", "Uniform, Gaussian, Poisson, Erlang", "0:Uniform,1:Gaussian,2:Poisson,3:Erlang3 ",
        {"A: size", "B: offset", "C: Lo Bound", "D: Hi bound", "ignored"}}, {0, 3}},
      {BlockType::Divide, "Divide", "&% Divide", "divides (A-B) by (C-D)", false,
       {.fields = SwitchedOn({.cc = 1, .pp = 1})},
       {"Division (%)", "x=(A-B)/(C-D),normal or modulo", "0:normal,1:modulo",
        {"Input A", "Input B", "Input C", "Input D", "Scale Fctr"}}, {0, 1}},
      {BlockType::Sum, "Sum", "&& Sum+/-", "Sum (adds or subtracts)", false,
       {.fields = SwitchedOn({.bb = 1, .cc = 1, .dd = 1, .pp = 1})},
       {"signed Summation, 4way, scaled, &", "V=P*(aa+/-A+/-B*bb+/-C*cc+/-D*dd)", "0:Sum+/-,2:Sqrt(Sum of squares)",
        {"A: aa+Va", "B: Vb*bb", "C: Vc*cc", "D: Vd*dd", "P:Multiplier"}}, {0, 2}},
      {BlockType::Access, "Access", "@Access", "gets inot any data, can put it anywhere (dangerous!)", false,
       {.fields = SwitchedOn({})},
       {"Access to internal values. @", "From A,C to B,D. Codes aa, bb etc", "Behaviour is determined by aa, bb etc used as access codes",
        {"A: from,code", "B: to,code", "C: from,code", "D: to,code", "P:ignored"}}, {}},
      {BlockType::Oscilloscope, "Oscilloscope (the Graphs system block 19)", nullptr, nullptr, false,
       {.fields = SwitchedOn({}), .stored = 11},
       {"Oscilloscope/Graph inputs (O)", "a,b,c,d scaling.", "No variants of mode",
        {"A: GrMinT", "B: GrMaxT", "C: GrMinY", "D: GrMaxY", "Horiz Intv"}}, {}},
      {BlockType::User, "User block, spreadsheet link (system block 20)", nullptr, nullptr, false,
       {.fields = SwitchedOn({}), .stored = 11, .then = NoLinksYet},
       {"User access to MS EXCEL", "passes values to/from XL", nullptr,
        {"A: Input", "B: Input", "C: Control", "D: Init Time", "Period"}}, {}},
  };
  return kBlockTypes;
}

const BlockDefaults& NewBlockDefaults(BlockType type) {
  static const BlockDefaults common{.fields = SwitchedOn({})};
  const BlockTypeInfo* info = FindBlockType(type);
  return info ? info->defaults : common;
}

const BlockTypeInfo* FindBlockType(BlockType type) {
  // Indexed by the character, so the model reader's test per line costs one lookup.
  static const auto index = [] {
    std::array<const BlockTypeInfo*, 256> table{};
    for (const BlockTypeInfo& info : BlockTypes()) table[static_cast<unsigned char>(TypeLetter(info.type))] = &info;
    return table;
  }();
  return index[static_cast<unsigned char>(TypeLetter(type))];
}

bool IsBlockType(BlockType type) { return FindBlockType(type) != nullptr; }

}  // namespace trevolan
