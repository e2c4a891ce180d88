// Steps per second of the run loop inside the window, against the same models run
// headless; and the compute passes right after a paint of the window against those
// without one. Run it on the offscreen platform or on a display (Xvfb).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <optional>

#if defined(__x86_64__)
#include <cpuid.h>
#endif
#include <sstream>

#include <QApplication>

#include "app/diagram_zoom.h"
#include "app/main_window.h"
#include "app/paint_box.h"
#include "cli/batch.h"
#include "engine/run_loop.h"
#include "model/atomic_file.h"
#include "model/model_file.h"
#include "models.h"

namespace trevolan::bench {
namespace {

// 242 oscillators fill IDs 33..1000; 5 oscillators make 20 blocks at IDs 101..120.
struct Model {
  int oscillators, first;
};
constexpr Model k1000Blocks{242, 33}, k20Blocks{5, 101};

// Each RUN press runs this many steps, about a quarter of a second, so that the paint
// at the hold that ends it weighs as little as it does for a person's long run.
int64_t StepsPerPress(const Model& m) { return m.oscillators > 100 ? 100000 : 4000000; }

void Count(benchmark::State& state, const Model& m, int64_t steps_per_iteration) {
  const double steps = static_cast<double>(state.iterations()) * static_cast<double>(steps_per_iteration);
  state.counters["steps/s"] = benchmark::Counter(steps, benchmark::Counter::kIsRate);
  state.counters["blocks"] = 4 * m.oscillators;
}

// Presses RUN for n steps at a time on the bank, with `frontend` listening (or nobody).
void PressRunOnBank(benchmark::State& state, const Model& m, cli::BatchFrontend* frontend) {
  auto s = OscillatorBank(m.oscillators, m.first);
  s->frontend = frontend;
  if (frontend) frontend->Attach(*s);
  ResetButton(*s);
  const int64_t n = StepsPerPress(m);
  for (auto _ : state) PressRunFor(*s, n);
  Count(state, m, n);
}

// Through the RUN button with nobody listening.
void Headless(benchmark::State& state, const Model& m) { PressRunOnBank(state, m, nullptr); }

// As the batch runner runs it: its frontend draws on a canvas that paints nothing.
void Batch(benchmark::State& state, const Model& m) {
  std::ostringstream out;
  cli::BatchFrontend frontend(out);
  PressRunOnBank(state, m, &frontend);
}

// The window, shown, with animation off; RUN pressed through its handler.
TForm1& ShownWindow(const Model& m) {
  static TForm1* window = [] {
    auto* w = new TForm1(TForm1::Options{});
    w->resize(1200, 800);
    w->show();
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    return w;
  }();
  window->AdoptModel(OscillatorBank(m.oscillators, m.first));
  if (window->sim().AnimFlag) window->AnimBtnClick();
  window->ResetBtnClick();
  QApplication::processEvents();
  return *window;
}

void Window(benchmark::State& state, const Model& m) {
  TForm1& w = ShownWindow(m);
  Sim& s = w.sim();
  const int64_t n = StepsPerPress(m);
  for (auto _ : state) {
    s.Holdnext = s.Time + static_cast<double>(n) * s.Delt - s.TimeTol;
    w.RunBtnClick();
  }
  Count(state, m, n);
}

// The headless run and the window's run pressed in turn, so that both see the same
// machine: a shared processor's speed drifts more over a minute than the two differ.
void WindowAgainstHeadless(benchmark::State& state, const Model& m) {
  TForm1& w = ShownWindow(m);
  Sim& in_window = w.sim();
  auto headless = OscillatorBank(m.oscillators, m.first);
  ResetButton(*headless);
  const int64_t n = StepsPerPress(m) / 4;
  using Clock = std::chrono::steady_clock;
  Clock::duration window_time{}, headless_time{};
  for (auto _ : state) {
    auto start = Clock::now();
    headless->Holdnext = headless->Time + static_cast<double>(n) * headless->Delt - headless->TimeTol;
    RunButton(*headless);
    headless_time += Clock::now() - start;
    start = Clock::now();
    in_window.Holdnext = in_window.Time + static_cast<double>(n) * in_window.Delt - in_window.TimeTol;
    w.RunBtnClick();
    window_time += Clock::now() - start;
  }
  const double steps = static_cast<double>(state.iterations()) * static_cast<double>(n);
  const double window_rate = steps / std::chrono::duration<double>(window_time).count();
  const double headless_rate = steps / std::chrono::duration<double>(headless_time).count();
  state.counters["window_steps/s"] = window_rate;
  state.counters["headless_steps/s"] = headless_rate;
  state.counters["window/headless"] = window_rate / headless_rate;
}

// The steps right after the window has painted, against steps after steps: a paint
// that left the processor in a slow state would show here.
constexpr int kStepsAfterPaint = 200;

void StepsAfterPaint(benchmark::State& state, const Model& m, bool paint) {
  TForm1& w = ShownWindow(m);
  Sim& s = w.sim();
  s.Holdnext = 1e12;  // no hold falls due
  // Steps as a run makes them: a step taken while held would hold and paint again.
  s.HoldFlag = false;
  for (auto _ : state) {
    if (paint) {
      // Painted and shown on the screen, as at a hold: the events are handled there.
      w.GraphBxPaint();
      s.HoldFlag = true;
      w.frontend().ProcessMessages();
      s.HoldFlag = false;
    } else {
      for (int i = 0; i < kStepsAfterPaint; ++i) RunStep(s);
    }
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kStepsAfterPaint; ++i) RunStep(s);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  s.HoldFlag = true;
  Count(state, m, kStepsAfterPaint);
}

#if defined(__x86_64__)
// Whether the upper halves of the AVX registers are in use (XINUSE bit 2): code that
// leaves them so without VZEROUPPER makes the SSE code of the compute passes slow on
// some processors. Nothing when the processor cannot tell.
std::optional<bool> AvxUpperInUse() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid_count(0xD, 1, &a, &b, &c, &d) || !(a & 4u)) return std::nullopt;
  uint32_t lo = 0, hi = 0;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(1));
  return (lo & 4u) != 0;
}
#else
std::optional<bool> AvxUpperInUse() { return std::nullopt; }
#endif

// How often the processor comes back from a paint of the window, or from the window's
// events with a paint among them, with the AVX upper state in use.
void UpperStateAfterPaint(benchmark::State& state, const Model& m) {
  TForm1& w = ShownWindow(m);
  int dirty = 0, known = 0;
  for (auto _ : state) {
    w.GraphBxPaint();
    w.frontend().ProcessMessages();  // held: the events are handled, the picture shown
    if (const auto in_use = AvxUpperInUse()) {
      ++known;
      dirty += *in_use ? 1 : 0;
    }
  }
  state.counters["upper_in_use"] = known ? static_cast<double>(dirty) / known : -1;
}

// File Open of a model of 1000 blocks with stored data in the shown window, up to the
// picture painted on the screen; `while_reading` as the window's Open does it (the
// drawings asked for while reading computed, the picture painted once), otherwise
// painting every drawing as it is asked for.
void OpenInWindow(benchmark::State& state, bool while_reading) {
  TForm1& w = ShownWindow(k20Blocks);
  const std::string file = (std::filesystem::temp_directory_path() /
                            ("trevolan_window_bench_" + std::to_string(QCoreApplication::applicationPid()) + ".txt"))
                               .string();
  WriteFileAtomically(file, ModelFileText(*FullTableWithStoredData(), "now"));
  for (auto _ : state) {
    if (while_reading) {
      WindowFrontend::ModelReading reading(w.frontend());
      w.main_form().OpenClick(w.sim(), file);
    } else {
      w.main_form().OpenClick(w.sim(), file);
    }
    QApplication::processEvents();  // the paint event shows the picture
  }
  if (w.sim().HighestBlock != kMaxBlockID) state.SkipWithError("the model was not read");
  std::filesystem::remove(file);
}

// A whole repaint of the diagram of 1000 blocks at a zoom, as a zoom change or a
// shown window asks for: at zooms other than 100 % it is drawn at that scale.
void RepaintAtZoom(benchmark::State& state) {
  TForm1& w = ShownWindow(k1000Blocks);
  const double zoom = static_cast<double>(state.range(0)) / 100;
  w.zoom().SetZoom(zoom);
  QApplication::processEvents();
  for (auto _ : state) {
    w.frontend().RedrawDiagram();
    w.diagram_box()->surface().End();
  }
  state.counters["megapixels"] = w.diagram_box()->surface().image().sizeInBytes() / 4e6;
  w.zoom().SetZoom(1);
}

void Register() {
  benchmark::RegisterBenchmark("WindowRepaintAtZoomPercent", RepaintAtZoom)
      ->Arg(67)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("WindowOpen1000Blocks", [](benchmark::State& s) { OpenInWindow(s, true); })
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(3)
      ->ReportAggregatesOnly(true);
  benchmark::RegisterBenchmark("WindowOpen1000BlocksPaintingEveryDrawing",
                               [](benchmark::State& s) { OpenInWindow(s, false); })
      ->Unit(benchmark::kMillisecond)
      ->Iterations(2);
  for (const Model& model : {k1000Blocks, k20Blocks}) {
    const std::string size = model.oscillators > 100 ? "/1000blocks" : "/20blocks";
    const auto add = [&](const std::string& name, auto run) {
      return benchmark::RegisterBenchmark((name + size).c_str(), [model, run](benchmark::State& s) { run(s, model); })
          ->Repetitions(3)
          ->ReportAggregatesOnly(true);
    };
    add("Headless", Headless)->Unit(benchmark::kMillisecond)->UseRealTime();
    add("BatchRunner", Batch)->Unit(benchmark::kMillisecond)->UseRealTime();
    add("Window", Window)->Unit(benchmark::kMillisecond)->UseRealTime();
    add("WindowAgainstHeadless", WindowAgainstHeadless)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(4);
    add("StepsAfterSteps", [](benchmark::State& s, const Model& m) { StepsAfterPaint(s, m, false); })
        ->Unit(benchmark::kMicrosecond)->UseManualTime();
    add("StepsAfterPaint", [](benchmark::State& s, const Model& m) { StepsAfterPaint(s, m, true); })
        ->Unit(benchmark::kMicrosecond)->UseManualTime();
    add("UpperStateAfterPaint", UpperStateAfterPaint)->Unit(benchmark::kMicrosecond);
  }
}

}  // namespace
}  // namespace trevolan::bench

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  trevolan::PrepareApplication();
  benchmark::Initialize(&argc, argv);
  trevolan::bench::Register();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
