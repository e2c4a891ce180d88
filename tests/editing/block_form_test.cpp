#include "editing/block_form.h"

#include <gtest/gtest.h>

#include "model/catalogue.h"
#include "editing/new_block.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::TestSim;

// Opens the dialog on block id, as a right click on it does.
TBlockFm& Open(Sim& s, TBlockFm& form, int id) {
  s.PickedBlock = id;
  form.FormActivate(s);
  return form;
}

// A new block of the type at ID 101, within the loops.
void Make(Sim& s, char type, int id = 101) {
  NewBlock(s, TypeOfLetter(type), id, 50, 60);
  s.HighestBlock = std::max(s.HighestBlock, id);
}

TEST(BlockForm, LegendOfEveryType) {
  const struct {
    char type;
    const char* title;
    const char* rule;
    std::array<const char*, 5> links;
    int width;
  } legends[] = {
      {'A',
       "Action/Activity A",
       "Start with A, B ready, output to C,D",
       {"SourceA", "SourceB", "Drop C", "Drop D", "Delay Time"},
       675},
      {'B',
       "Belt/Conveyor B",
       "Take from A, dump to B",
       {"SourceA", "Drop B", "Shows Contents", "No. Segs", "Seg.Time"},
       700},
      {'C',
       "Container/Constant C",
       "Passive, Stores items or a number",
       {"An, aa ignored", "Bn, bb ignored", "Max Contents", "Initial Contents", "Pn, pp ignored"},
       475},
      {'D',
       "Divert/Split: A->C or ->D probability B",
       "Prob,Fraction=Vd+bb",
       {"A: Source", "B: Prob,Fraction", "C: Direct", "D: Diverted", "Cycle Time"},
       675},
      {'%',
       "Division (%)",
       "x=(A-B)/(C-D),normal or modulo",
       {"Input A", "Input B", "Input C", "Input D", "Scale Fctr"},
       475},
      {'E',
       "Exponents (E)",
       "x=(A+aa-B)/(C+cc): D*e^x, D*10^x, D*x^bb",
       {"Input A", "Input B", "Input C", "Input D", "(ignored)"},
       475},
      {'F',
       "Flux: A->B, linear,radtn,press,rectf,gas",
       "Flux=(A-B)*C etc",
       {"Source A", "Sink B", "Conductance/Area", "Extra,Mode4:To", "Mode4:Mol-Mass"},
       475},
      {'G',
       "function GENERATOR(G)",
       "V=pp*FnctP((A-B)*C)",
       {"A input", "B input", "C input", "D No.Points", "FncNo., pp"},
       700},
      {'H',
       "Hysteresis(H)",
       "v=0*(a<b)+1*(a>c),ramp between. ETC",
       {"A:Input", "B:Lo/Fmx/Vel", "C:Hi/Compl", "D:Hysteresis", "(used inside)"},
       475},
      {'I',
       "Integrator (I)",
       "v=INT((Va-Vb+flux)*Cv)dt+Dv",
       {"A: plus", "B: minus", "C: factor", "D: Init Cond", "P: more flux"},
       475},
      {'J',
       "Inductor (J)",
       "CurrentAB=INT((a-b-v*c)/d)",
       {"A: from source", "B: to sink", "C: Resistance", "D: Initial I", "P: Inductance"},
       475},
      {'K',
       "Logic Block: OR NOR AND NAND XOR",
       "Mode defines type",
       {"A: input", "B: input", "C: input", "D: input", "P: OP size"},
       475},
      {'L',
       "Logarithms: Natl, base10, base2, baseAny(L)",
       "v=d*Ln{(a-b)/c} etc",
       {"A: Plus", "B: Minus", "C: Coefficient", "D: Factor", "(ignored)"},
       475},
      {'M',
       "Memory with Offset  M)",
       "V=TrA when(TrB=TrBnow-Offset)",
       {"A: Trk for Data", "B: Trk for Basis", "C: Offset", "D: No. Points", "Sample Time"},
       700},
      {'N',
       "Note (N)",
       "Displays Comment string",
       {"A not used", "B not used", "C not used", "D not used", "P not used"},
       475},
      {'O',
       "Oscilloscope/Graph inputs (O)",
       "a,b,c,d scaling.",
       {"A: GrMinT", "B: GrMaxT", "C: GrMinY", "D: GrMaxY", "Horiz Intv"},
       700},
      {'P', "PID Controller (P)", "V=PID{A-B}", {"A:", "B:", "C:", "D:", ""}, 475},
      {'Q',
       "Quantizer (Q)",
       "V=P*(C<=round(A*B)<=D)",
       {"A: Input", "B: 1/step", "C: Lo Limit", "D: Hi limit", "Scale"},
       475},
      {'R',
       "Relay for ON-OFF",
       "A>0: B,C,D are ON, P is OFF",
       {"A: control", "B: Target", "C: Target", "D: Target", "P: negTarget"},
       475},
      {'S',
       "Sin, arcSin, arcTan (Uses Radians)",
       "V=D*sin(A*B*C+P), asin(), atan()",
       {"A: input", "B: input", "C: input", "D: Scale", "P: Phase"},
       475},
      {'T',
       "Timer, MTBF etc, re-triggerable (T)",
       "V={On-time:1, Off-time:0}",
       {"Trigger input", "On-time", "Off time", "Init time", "Relay+,nextTime"},
       475},
      {'U',
       "User access to MS EXCEL",
       "passes values to/from XL",
       {"A: Input", "B: Input", "C: Control", "D: Init Time", "Period"},
       700},
      {'V',
       "Visualizer V",
       "Shows value of input A",
       {"A: Input", "B:Corner/offsetB", "C,cc: corner", "D:Corner/fsdB", "F.S.D for A"},
       475},
      {'W',
       "Witch Switch: MUX-4,Lowest,Highest",
       "V= 0, Vb+bb, Vc+cc, Vd+dd or Vp+pp",
       {"An=MuxSelector", "B:Line1", "C:Line2", "D:Line3", "P:Line4"},
       475},
      {'X',
       "Multiplier (5 way), X",
       "V=(Va+aa)*(Vb+bb)*(Vc+cc)*(Vd+dd)*(Vp+pp)",
       {"A: factor", "B: factor", "C: factor", "D: factor", "P: factor"},
       475},
      {'Z',
       "Random Fuzz generator (bounded),Z",
       "Uniform, Gaussian, Poisson, Erlang",
       {"A: size", "B: offset", "C: Lo Bound", "D: Hi bound", "ignored"},
       475},
      {'&',
       "signed Summation, 4way, scaled, &",
       "V=P*(aa+/-A+/-B*bb+/-C*cc+/-D*dd)",
       {"A: aa+Va", "B: Vb*bb", "C: Vc*cc", "D: Vd*dd", "P:Multiplier"},
       475},
      {'@',
       "Access to internal values. @",
       "From A,C to B,D. Codes aa, bb etc",
       {"A: from,code", "B: to,code", "C: from,code", "D: to,code", "P:ignored"},
       475},
  };
  // Every type of the catalogue has its legend.
  for (const BlockTypeInfo& info : BlockTypes()) {
    EXPECT_TRUE(std::any_of(std::begin(legends), std::end(legends), [&](const auto& l) {
      return TypeOfLetter(l.type) == info.type;
    })) << TypeLetter(info.type);
  }
  for (const auto& l : legends) {
    SCOPED_TRACE(std::string(1, l.type));
    TestSim s;
    Make(*s, l.type);
    TBlockFm form;
    Open(*s, form, 101);
    EXPECT_EQ(form.Caption, l.title);
    EXPECT_EQ(form.Label6.caption, l.rule);
    EXPECT_EQ(form.Label7.caption, l.links[0]);
    EXPECT_EQ(form.Label8.caption, l.links[1]);
    EXPECT_EQ(form.Label9.caption, l.links[2]);
    EXPECT_EQ(form.Label10.caption, l.links[3]);
    EXPECT_EQ(form.Label11.caption, l.links[4]);
    EXPECT_EQ(form.Width, l.width);
    EXPECT_EQ(form.DataGrid.visible, l.width != 475);
    EXPECT_EQ(form.Label19.visible, l.width != 475);
    EXPECT_FALSE(form.closed);
  }
}

TEST(BlockForm, FieldsOfAnIntegrator) {
  TestSim s;
  Make(*s, 'I');
  TBlock& b = s->block(101);
  b = TBlock{.ID = 101, .Type = BlockType::Integrator, .OnOff = -1, .Displ = 3, .State = 1, .XX = 12, .YY = 34,
             .An = 5, .Bn = 6, .Cn = 7, .Dn = 8, .Pn = 9, .aa = 0.5, .bb = 1e20, .cc = -2.25, .dd = 1.0 / 3,
             .pp = 4, .Value = 123456.5, .Name = "tank", .stored = {}, .Comment = "a comment"};
  s->LastX = 200;
  s->LastY = 300;
  TBlockFm form;
  Open(*s, form, 101);
  const std::vector<std::string> texts = {
      form.Edit1.text,  form.Edit2.text,  form.Edit3.text,  form.Edit4.text,  form.Edit5.text,
      form.Edit6.text,  form.Edit7.text,  form.Edit8.text,  form.Edit9.text,  form.Edit10.text,
      form.Edit11.text, form.Edit12.text, form.Edit13.text, form.Edit14.text, form.Edit15.text,
      form.Edit16.text, form.Edit17.text, form.Edit18.text, form.Edit19.text, form.Edit20.text};
  EXPECT_EQ(texts, (std::vector<std::string>{"101", "tank", "I", "12", "34", "3", "5", "6", "7", "8", "4",
                                             "123456.5", "a comment", "0.5", "1E20", "-2.25", "0.333333333333333",
                                             "1", "-1", "9"}));
  EXPECT_EQ(form.Left, 210);
  EXPECT_EQ(form.Top, 360);
  EXPECT_EQ(form.Caption, "Integrator (I)");
  EXPECT_EQ(form.Edit18.hint, "0:No constraints, 1:cyclic, 2:Saturates +/-bb");
  EXPECT_EQ(form.Edit3.hint, "I");
  EXPECT_EQ(form.Label12.caption, "OutputValue");
  EXPECT_EQ(form.Label17.caption, "Mode");
  EXPECT_EQ(form.Label19.caption, "Stored Data");
  EXPECT_EQ(form.Width, 475);
  EXPECT_FALSE(form.DataGrid.visible);
}

TEST(BlockForm, ApplyAsOpenedIntoAnotherIDCopiesEveryField) {
  TestSim s;
  Make(*s, 'X', 120);
  TBlock& b = s->block(120);
  b.Name = "mult";
  b.OnOff = 3;
  b.Displ = 1;
  b.State = 4;
  b.XX = 11;
  b.YY = 22;
  b.An = 31;
  b.Bn = 2;
  b.Cn = 3;
  b.Dn = 4;
  b.Pn = 5;
  b.aa = 1.5;
  b.bb = 2.5;
  b.cc = 3.5;
  b.dd = 4.5;
  b.pp = 5.5;
  b.Value = 6.5;
  b.Comment = "note";
  const TBlock before = b;
  TBlockFm form;
  Open(*s, form, 120);
  form.Edit1.text = "150";
  form.ApplyBtnClick(*s);
  const TBlock& c = s->block(150);
  EXPECT_EQ(c.Name, "mult");
  EXPECT_EQ(c.Type, BlockType::Multiplier);
  EXPECT_EQ(std::vector<int32_t>({c.OnOff, c.Displ, c.State, c.XX, c.YY, c.An, c.Bn, c.Cn, c.Dn, c.Pn}),
            std::vector<int32_t>({3, 1, 4, 11, 22, 31, 2, 3, 4, 5}));
  EXPECT_EQ(std::vector<double>({c.aa, c.bb, c.cc, c.dd, c.pp}), std::vector<double>({1.5, 2.5, 3.5, 4.5, 5.5}));
  EXPECT_EQ(c.Comment, "note");
  EXPECT_EQ(s->HighestBlock, 150);
  const TBlock& unchanged = s->block(120);
  EXPECT_EQ(unchanged.Name, before.Name);
  EXPECT_EQ(unchanged.XX, before.XX);
  EXPECT_TRUE(form.closed);
  EXPECT_EQ(s.ui.form_paints, 1);
}

TEST(BlockForm, OpeningResetsWhatThePreviousTypeChanged) {
  TestSim s;
  Make(*s, 'C', 101);
  Make(*s, 'D', 102);
  Make(*s, 'I', 103);
  Make(*s, 'R', 104);
  Make(*s, 'E', 105);
  TBlockFm form;
  Open(*s, form, 101);
  EXPECT_FALSE(form.Edit7.visible);
  EXPECT_FALSE(form.Edit8.visible);
  EXPECT_TRUE(form.Edit9.visible);
  EXPECT_FALSE(form.Edit20.visible);
  EXPECT_FALSE(form.Edit11.visible);
  EXPECT_EQ(form.Label12.caption, "Contents/Value");
  EXPECT_EQ(form.Label17.caption, "State");
  EXPECT_EQ(form.Edit18.hint, "May have different Modes");
  Open(*s, form, 102);
  EXPECT_EQ(form.Label8.hint, "Neg value gives split of stored Value");
  EXPECT_EQ(form.Label11.hint, "Neg Values give random times");
  EXPECT_EQ(form.Label12.caption, "ReleaseTime");
  EXPECT_EQ(form.Label19.caption, "TransferValue");
  Open(*s, form, 103);
  for (const EditField* e : {&form.Edit7, &form.Edit8, &form.Edit9, &form.Edit11, &form.Edit17, &form.Edit20}) {
    EXPECT_TRUE(e->visible);
  }
  for (const LabelField* l : {&form.Label7, &form.Label8, &form.Label9, &form.Label10, &form.Label11}) {
    EXPECT_EQ(l->hint, "");
  }
  EXPECT_EQ(form.Label12.caption, "OutputValue");
  EXPECT_EQ(form.Label17.caption, "Mode");
  EXPECT_EQ(form.Label19.caption, "Stored Data");
  EXPECT_EQ(form.Label16.hint, "Defines appearance on screen");
  Open(*s, form, 104);
  EXPECT_EQ(form.Edit3.hint, "Relay action: B,C,D follow A, but P is reverse effect");
  Open(*s, form, 105);
  EXPECT_EQ(form.Edit15.hint, "used as power exponent");
  EXPECT_FALSE(form.Edit11.visible);
  s->PickedBlock = 19;
  form.FormActivate(*s);
  EXPECT_EQ(form.Edit3.hint, "DO NOT CHANGE");
  EXPECT_EQ(form.Label16.hint, "Scope and User: Hide links with Displ=4");
  EXPECT_EQ(form.Edit6.hint, "0:minimal,1:Type,2:Type+Id#,3:Name,4:No Links");
  EXPECT_EQ(form.Label12.caption, "Vert Intv");
}

TEST(BlockForm, ATypeWithoutLegendKeepsThePreviousTexts) {
  TestSim s;
  Make(*s, 'I');
  TBlockFm form;
  Open(*s, form, 500);  // an empty slot at the first opening: the design texts
  EXPECT_EQ(form.Label7.caption, "Connection A");
  EXPECT_EQ(form.Label11.caption, "Parameter P");
  EXPECT_EQ(form.Label6.caption, "Equation / Rule");
  Open(*s, form, 101);
  Open(*s, form, 500);
  EXPECT_EQ(form.Caption, "Integrator (I)");
  EXPECT_EQ(form.Label7.caption, "A: plus");
  EXPECT_EQ(form.Edit3.hint, "Change only with great care");
  EXPECT_EQ(form.Edit3.text, "?");
  EXPECT_EQ(form.Width, 475);
  EXPECT_EQ(form.Edit18.hint, "May have different Modes");
}

TEST(BlockForm, StoredDataGrids) {
  TestSim s;
  Make(*s, 'G', 101);
  s->block(101).stored.resize(21);
  for (int k = 0; k <= 20; ++k) s->block(101).stored[static_cast<size_t>(k)] = k;
  TBlockFm form;
  Open(*s, form, 101);
  ASSERT_EQ(form.DataGrid.RowCount(), 11);  // 10 points and the header
  EXPECT_EQ(form.DataGrid.cells[0], (std::array<std::string, 2>{"Arguments", "Values"}));
  EXPECT_EQ(form.DataGrid.cells[1], (std::array<std::string, 2>{"11", "1"}));
  EXPECT_EQ(form.DataGrid.cells[10], (std::array<std::string, 2>{"20", "10"}));

  Make(*s, 'M', 102);
  Open(*s, form, 102);
  EXPECT_EQ(form.DataGrid.RowCount(), 12);
  EXPECT_EQ(form.DataGrid.cells[0][0], "Basis");

  Make(*s, 'A', 103);
  s->block(103).stored = {9, 0.25, 7};
  Open(*s, form, 103);
  EXPECT_EQ(form.Label19.caption, "TransferValues");
  ASSERT_EQ(form.DataGrid.RowCount(), 3);
  EXPECT_EQ(form.DataGrid.cells[1], (std::array<std::string, 2>{"A to C", "0.25"}));
  EXPECT_EQ(form.DataGrid.cells[2], (std::array<std::string, 2>{"B to D", "7"}));

  Make(*s, 'D', 104);
  Open(*s, form, 104);
  EXPECT_EQ(form.DataGrid.cells[1][0], "A ->C or ->D");
  EXPECT_EQ(form.Width, 675);

  Make(*s, 'B', 105);
  s->block(105).stored = {1, 2, 3};
  Open(*s, form, 105);
  ASSERT_EQ(form.DataGrid.RowCount(), 3);
  EXPECT_EQ(form.DataGrid.cells[2], (std::array<std::string, 2>{"2", "3"}));

  s->block(19).stored[1] = 31;
  s->block(19).stored[2] = 2.5;  // rounded halves to even
  Open(*s, form, 19);
  EXPECT_EQ(form.DataGrid.cells[0], (std::array<std::string, 2>{"Input ID", "Name"}));
  EXPECT_EQ(form.DataGrid.cells[1], (std::array<std::string, 2>{"31", "PI"}));
  EXPECT_EQ(form.DataGrid.cells[2], (std::array<std::string, 2>{"2", "Time"}));
  EXPECT_EQ(form.DataGrid.cells[3], (std::array<std::string, 2>{"0", "ZERO"}));
  EXPECT_EQ(form.DataGrid.Cell(0, 11), "");  // beyond the grid reads as an empty cell

  // A list without entries shows the header alone.
  Make(*s, 'B', 106);
  s->block(106).stored.clear();
  Open(*s, form, 106);
  EXPECT_EQ(form.DataGrid.RowCount(), 1);

  s->block(20).stored[4] = 1001;  // not an ID: the dialog cannot open
  s->PickedBlock = 20;
  EXPECT_THROW(form.FormActivate(*s), RangeError);
}

TEST(BlockForm, GeneratorAndMemoryTablesAndTheirResizing) {
  TestSim s;
  Make(*s, 'G', 101);
  TBlockFm form;
  Open(*s, form, 101);
  form.DataGrid.cells[2] = {"0.15", "0.6"};
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->block(101).stored[13], 0.15);
  EXPECT_EQ(s->block(101).stored[2], 0.6);
  EXPECT_TRUE(s.ui.messages.empty());

  // A Generator with 10 points whose point count is changed to 12.
  s->block(101).stored.resize(21);
  for (int k = 0; k <= 20; ++k) s->block(101).stored[static_cast<size_t>(k)] = k + 100;
  s->block(101).Dn = 10;
  Open(*s, form, 101);
  form.Edit10.text = "12";
  form.DataGrid.cells[1][1] = "-1";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s.ui.messages, (std::vector<std::string>{"Must reclick to show points up to   12"}));
  ASSERT_EQ(s->block(101).stored.size(), 25u);
  for (int k = 0; k <= 20; ++k) EXPECT_EQ(s->block(101).stored[static_cast<size_t>(k)], k + 100);  // grid not read
  EXPECT_EQ(s->block(101).stored[24], 0);

  // A Generator that uses another block's table gets nothing from the grid.
  s.ui.messages.clear();
  Open(*s, form, 101);
  form.Edit20.text = "31";
  form.DataGrid.cells[1][1] = "-1";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s.ui.messages, (std::vector<std::string>{"Cannot change Function No.   31"}));
  EXPECT_EQ(s->block(101).stored[1], 101);
  EXPECT_EQ(s->block(101).Pn, 31);

  // A Memory whose point count shrinks.
  s.ui.messages.clear();
  Make(*s, 'M', 102);
  Open(*s, form, 102);
  form.Edit10.text = "3";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s.ui.messages, (std::vector<std::string>{"Must reclick to show points up to   3"}));
  EXPECT_EQ(s->block(102).stored.size(), 7u);
  Open(*s, form, 102);
  EXPECT_EQ(form.DataGrid.RowCount(), 4);
  form.DataGrid.cells[3] = {"30", "3"};
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->block(102).stored, (std::vector<double>{0, 0, 0, 3, 0, 0, 30}));
}

// Switched off, so that the compute pass of Apply leaves the stored lists as typed.
void MakeIdle(Sim& s, char type, int id) {
  Make(s, type, id);
  s.block(id).OnOff = 0;
}

TEST(BlockForm, BeltActivityDiverterAndScopeStoreTheirGrids) {
  TestSim s;
  MakeIdle(*s, 'B', 101);
  TBlockFm form;
  Open(*s, form, 101);
  form.DataGrid.cells[3][1] = "-2";
  form.DataGrid.cells[7][1] = "0.5";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->block(101).stored[3], -2);
  EXPECT_EQ(s->block(101).cc, 2.5);  // the contents, as absolute values
  EXPECT_EQ(s->block(101).State, 2);
  Open(*s, form, 101);
  form.Edit10.text = "4";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s.ui.messages, (std::vector<std::string>{"Must reclick to show segments up to   4"}));
  EXPECT_EQ(s->block(101).stored, (std::vector<double>{0, 0, 0, -2, 0}));
  EXPECT_EQ(s->block(101).cc, 2);
  s->block(101).stored = {0, 0, 0, 0, 0};
  Open(*s, form, 101);
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->block(101).cc, 0);
  EXPECT_EQ(s->block(101).State, 1);

  MakeIdle(*s, 'A', 102);
  Open(*s, form, 102);
  form.DataGrid.cells[1][1] = "3";
  form.DataGrid.cells[2][1] = "";
  s->block(102).stored = {5, 5, 5};
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->block(102).stored, (std::vector<double>{5, 3, 0}));

  MakeIdle(*s, 'D', 103);
  Open(*s, form, 103);
  form.DataGrid.cells[1][1] = "7";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->block(103).stored[1], 7);

  Open(*s, form, 19);
  form.DataGrid.cells[1][0] = "31";
  form.DataGrid.cells[4][0] = "102";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->TapeChannelIDs[1], 31);
  EXPECT_EQ(s->TapeChannelIDs[4], 102);
  EXPECT_EQ(s->TapeChannels, 4);
  EXPECT_EQ(s->block(19).stored[0], 4);
  Open(*s, form, 19);
  for (int r = 1; r <= 10; ++r) form.DataGrid.cells[static_cast<size_t>(r)][0] = "0";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->TapeChannels, 4);  // unchanged when no channel is left
}

TEST(BlockForm, ConnectionsSignsAndClamping) {
  const struct {
    char type;
    const char* typed;
    int32_t stored;
    std::vector<std::string> messages;
  } cases[] = {
      {'&', "-7", -7, {}},
      {'V', "-7", -7, {}},
      {'X', "-7", 0, {"Have put 0 (zero) instead of block number   -7"}},
      {'X', "1500", 1000, {"Have put 1000 instead of block number   1500"}},
      {'X', "2.5", 2, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(1, c.type) + c.typed);
    TestSim s;
    Make(*s, c.type);
    TBlockFm form;
    Open(*s, form, 101);
    form.Edit8.text = c.typed;
    form.ApplyBtnClick(*s);
    EXPECT_EQ(s->block(101).Bn, c.stored);
    EXPECT_EQ(s.ui.messages, c.messages);
  }
}

TEST(BlockForm, NameTypeAndCoordinates) {
  TestSim s;
  Make(*s, 'C');
  TBlockFm form;
  Open(*s, form, 101);
  form.Edit2.text = "";
  form.Edit3.text = "kx";
  form.Edit4.text = "-5";
  form.Edit5.text = "-2";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->block(101).Name, "blank");
  EXPECT_EQ(s->block(101).Type, BlockType::Logic);
  EXPECT_EQ(s->block(101).XX, -5);
  EXPECT_EQ(s->block(101).YY, -2);
  EXPECT_EQ(s.ui.messages, (std::vector<std::string>{"Check X,Y coordinates   -5"}));
  EXPECT_TRUE(form.closed);  // Apply went on after the message
  Open(*s, form, 101);
  form.Edit2.text = "averylongname";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->block(101).Name, "averylongn");
}

TEST(BlockForm, RefusedAndFailedApplies) {
  TestSim s;
  Make(*s, 'C');
  s->block(101).Name = "keep";
  TBlockFm form;
  Open(*s, form, 101);
  form.Edit2.text = "changed";
  for (const char* id : {"1", "-4"}) {
    form.Edit1.text = id;
    form.ApplyBtnClick(*s);
  }
  EXPECT_EQ(s.ui.messages, (std::vector<std::string>{"Not allowed ID number   1", "Not allowed ID number   -4"}));
  EXPECT_EQ(s->block(1).Name, "ONE");
  EXPECT_FALSE(form.closed);
  form.Edit1.text = "1001";
  EXPECT_THROW(form.ApplyBtnClick(*s), RangeError);
  form.Edit1.text = "101";
  form.Edit3.text = "";
  EXPECT_THROW(form.ApplyBtnClick(*s), RangeError);
  EXPECT_EQ(s->block(101).Name, "changed");  // written before the type failed
  EXPECT_EQ(s->block(101).Type, BlockType::Container);
  EXPECT_FALSE(form.closed);
}

TEST(BlockForm, AConversionErrorStopsApplyPartWay) {
  TestSim s;
  Make(*s, 'C', 101);
  Make(*s, 'C', 150);
  s->HighestBlock = 120;
  TBlockFm form;
  Open(*s, form, 101);
  form.Edit1.text = "150";
  form.Edit2.text = "first";
  form.Edit4.text = "12";
  form.Edit5.text = "34";
  form.Edit7.text = "31";
  form.Edit18.text = "3";
  form.Edit14.text = "2.5";
  form.Edit15.text = "1,5";  // not a number: stops here
  form.Edit16.text = "77";
  form.Edit12.text = "9";
  form.Edit13.text = "never";
  try {
    form.ApplyBtnClick(*s);
    FAIL() << "no error";
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "'1,5' is not a valid floating point value");
  }
  const TBlock& b = s->block(150);
  EXPECT_EQ(b.Name, "first");
  EXPECT_EQ(b.XX, 12);
  EXPECT_EQ(b.YY, 34);
  EXPECT_EQ(b.An, 31);
  EXPECT_EQ(b.State, 3);
  EXPECT_EQ(b.aa, 2.5);
  EXPECT_EQ(b.bb, 0);  // the failed field and those after it are not taken
  EXPECT_EQ(b.cc, 100);
  EXPECT_EQ(b.Value, 0);
  EXPECT_EQ(b.Comment, "");
  EXPECT_EQ(s->HighestBlock, 120);
  EXPECT_FALSE(form.closed);
  // A grid cell stops it too, with every field before the grid written.
  Make(*s, 'A', 102);
  Open(*s, form, 102);
  form.Edit12.text = "5";
  form.DataGrid.cells[2][1] = "x";
  EXPECT_THROW(form.ApplyBtnClick(*s), ConversionError);
  EXPECT_EQ(s->block(102).Value, 5);
}

TEST(BlockForm, SystemBlockEditTakesEffectAtOnce) {
  TestSim s;
  TBlockFm form;
  Open(*s, form, 3);
  EXPECT_EQ(form.Edit12.text, "1");
  form.Edit12.text = "0.5";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->Delt, 0.5);
  EXPECT_EQ(s->TimeTol, 0.0005);
  EXPECT_EQ(s->HighestBlock, 100);
  Open(*s, form, 3);
  form.Edit12.text = "0";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->Delt, 1);  // repaired
  Open(*s, form, 5);
  form.Edit12.text = "250";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->FinTim, 250);
}

TEST(BlockForm, ApplyClearsInletsAndComputesOnce) {
  TestSim s;
  Make(*s, 'I', 101);
  Make(*s, 'C', 102);
  s->block(101).pp = 5;
  TBlockFm form;
  Open(*s, form, 102);
  form.Edit12.text = "150";  // above its maximum of 100
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->block(101).pp, 0);
  EXPECT_EQ(s->block(102).State, 3);
  EXPECT_NE(std::find(s.ui.drawn_blocks.begin(), s.ui.drawn_blocks.end(), 102), s.ui.drawn_blocks.end());
}

TEST(BlockForm, Delete) {
  TestSim s;
  Make(*s, 'N', 115);
  Make(*s, 'B', 120);
  TBlock& b = s->block(120);
  b.OnOff = 0;
  b.State = 2;
  b.Comment = "kept";
  b.An = 5;
  b.Value = 3;
  TBlockFm form;
  Open(*s, form, 120);
  form.DeleteBtnClick(*s);
  EXPECT_EQ(b.Type, BlockType::Empty);
  EXPECT_EQ(b.Name, "?120");
  EXPECT_EQ(b.XX, 70);
  EXPECT_EQ(b.YY, 600);
  EXPECT_EQ(b.Displ, 2);
  EXPECT_EQ(b.An, 0);
  EXPECT_EQ(b.Value, 0);
  EXPECT_EQ(b.aa, 0);
  EXPECT_EQ(b.OnOff, 0);  // kept, as are State, Comment and the stored list
  EXPECT_EQ(b.State, 2);
  EXPECT_EQ(b.Comment, "kept");
  EXPECT_EQ(b.stored.size(), 11u);
  EXPECT_EQ(s->HighestBlock, 119);
  EXPECT_TRUE(form.closed);
  Open(*s, form, 115);
  form.DeleteBtnClick(*s);
  EXPECT_EQ(s->HighestBlock, 119);  // only the highest block lowers it
  EXPECT_EQ(s->block(115).Type, BlockType::Empty);
}

TEST(BlockForm, DeleteRefusals) {
  TestSim s;
  Make(*s, 'C', 1000);
  TBlockFm form;
  Open(*s, form, 50);
  form.DeleteBtnClick(*s);
  form.Edit1.text = "-3";
  form.DeleteBtnClick(*s);
  // A number beyond the table does not delete block 1000 in its place.
  form.Edit1.text = "5000";
  form.DeleteBtnClick(*s);
  EXPECT_EQ(s.ui.messages,
            (std::vector<std::string>{"Not allowed DELETE ID number   50",
                                      "Have put 0 (zero) instead of block number   -3",
                                      "Not allowed DELETE ID number   0",
                                      "Have put 1000 instead of block number   5000",
                                      "Not allowed DELETE ID number   5000"}));
  EXPECT_EQ(s->block(1000).Type, BlockType::Container);
  EXPECT_EQ(s->block(50).Type, BlockType::Empty);
  EXPECT_EQ(s->block(50).XX, 0);
  EXPECT_FALSE(form.closed);
  EXPECT_EQ(s->HighestBlock, 1000);
}

TEST(BlockForm, CancelRedrawsAndChangesNothing) {
  TestSim s;
  Make(*s, 'C');
  TBlockFm form;
  Open(*s, form, 101);
  form.Edit2.text = "other";
  form.CancelBtnClick(*s);
  EXPECT_EQ(s->block(101).Name, "C101");
  EXPECT_TRUE(form.closed);
  EXPECT_EQ(s.ui.redraws, 1);
  EXPECT_EQ(s.ui.time_plots, 1);
  EXPECT_EQ(s.ui.plot_preps, 1);
}

}  // namespace
}  // namespace trevolan
