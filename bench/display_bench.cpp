// Drawing on the batch runner's canvas that paints nothing: what a graph step with
// animation costs (DrawAllBlocks), what a repaint costs (RedrawDiagram), and the time
// plot over a full tape.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>

#include "display/canvas.h"
#include "display/diagram.h"
#include "display/time_plot.h"
#include "model/sim.h"

namespace trevolan {
namespace {

// n placed blocks of mixed types after the system blocks, each reading its predecessor,
// with numbers shown to four decimals.
std::unique_ptr<Sim> Diagram(int n) {
  auto s = std::make_unique<Sim>();
  const BlockType types[] = {BlockType::Sum,   BlockType::Multiplier, BlockType::Container,  BlockType::Integrator,
                             BlockType::Logic, BlockType::Sine,       BlockType::Visualizer, BlockType::Note};
  const int32_t modes[] = {0, 1, 2, 3, 4, 7};
  s->HighestBlock = std::min(100 + n, 1000);
  for (int id = 101; id <= s->HighestBlock; ++id) {
    TBlock& b = s->block(id);
    b.Type = types[id % 8];
    b.XX = 20 + (id * 37) % 1300;
    b.YY = 20 + (id * 53) % 900;
    b.OnOff = 1;
    b.Displ = 3;
    b.Name = "b" + std::to_string(id);
    b.An = id - 1;
    b.Bn = id > 101 ? id - 2 : 0;
    b.Value = id * 0.37;
    if (b.Type == BlockType::Visualizer) {
      b.State = modes[id % 6];
      b.pp = 1000;
      b.Bn = 20;
      b.Cn = 30;
    }
    if (b.Type == BlockType::Note) b.Comment = "A note of some length on the diagram";
  }
  s->NumberMode = 3;
  return s;
}

void BM_DrawAllBlocks(benchmark::State& state) {
  auto s = Diagram(static_cast<int>(state.range(0)));
  s->LinksFlag = false;
  NullCanvas c;
  for (auto _ : state) DrawAllBlocks(*s, c);
  state.SetItemsProcessed(state.iterations() * s->HighestBlock);
}
BENCHMARK(BM_DrawAllBlocks)->Arg(10)->Arg(100)->Arg(900);

void BM_RedrawDiagram(benchmark::State& state) {
  auto s = Diagram(static_cast<int>(state.range(0)));
  NullCanvas c;
  for (auto _ : state) RedrawDiagram(*s, c);
  state.SetItemsProcessed(state.iterations() * s->HighestBlock);
}
BENCHMARK(BM_RedrawDiagram)->Arg(10)->Arg(900);

// Ten channels over a tape of rows+1 rows.
void BM_DrawTimePlot(benchmark::State& state) {
  auto s = std::make_unique<Sim>();
  const int rows = static_cast<int>(state.range(0));
  s->PlotFlag = true;
  s->TapeChannels = 10;
  s->block(15).Value = rows;
  for (int r = 0; r <= rows; ++r) {
    s->TapeCell(0, r) = r;
    for (int c = 1; c <= 10; ++c) s->TapeCell(c, r) = (r * c) % 100;
  }
  s->TapeIndex = rows;
  NullCanvas c;
  for (auto _ : state) DrawTimePlot(*s, c);
  state.SetItemsProcessed(state.iterations() * (rows + 1) * 10);
}
BENCHMARK(BM_DrawTimePlot)->Arg(100)->Arg(10000);

}  // namespace
}  // namespace trevolan
