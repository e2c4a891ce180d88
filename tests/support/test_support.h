#pragma once
#include <memory>
#include <string>
#include <vector>

#include "model/sim.h"

namespace trevolan::testing {

// A Frontend that remembers what it was told.
class RecordingFrontend : public Frontend {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ProcessMessages() override { ++process_messages; }
  void DrawBlock(int id) override { drawn_blocks.push_back(id); }
  void DrawAllBlocks() override { ++draw_all; }
  void RedrawDiagram() override { ++redraws; }
  void GrPlotPnlPrep() override { ++plot_preps; }
  void DrawTimePlot() override { ++time_plots; }
  void ShowStatus() override { ++statuses; }
  void FormPaint() override { ++form_paints; }
  void RunCaptionChanged(const std::string& caption) override { captions.push_back(caption); }

  std::vector<std::string> messages, captions;
  std::vector<int> drawn_blocks;
  int process_messages = 0, draw_all = 0, redraws = 0, plot_preps = 0, time_plots = 0, statuses = 0,
      form_paints = 0;
};

// A Sim on the heap (it is large) with a recording frontend attached.
struct TestSim {
  TestSim() : sim(std::make_unique<Sim>()) { sim->frontend = &ui; }
  Sim& operator*() { return *sim; }
  Sim* operator->() { return sim.get(); }
  RecordingFrontend ui;
  std::unique_ptr<Sim> sim;
};

// A folder of its own for one test, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

void WriteTextFile(const std::string& path, const std::string& text);
std::string ReadTextFile(const std::string& path);
std::vector<std::string> SplitLines(const std::string& text);  // at "\r\n" or "\n"

// Runs the batch runner with the arguments (each quoted for the shell), behind the
// words of `prefix` when given (another user: {"setpriv", "--reuid=65534", ...}).
struct CliResult {
  int status = -1;
  std::string out, err;
};
CliResult RunCli(const std::vector<std::string>& args, const std::vector<std::string>& prefix = {});

// The path of an example model.
std::string ExamplePath(const std::string& name);
// The example models, by the build's list of them (CMakeLists.txt), not by what the
// examples folder holds: a user's own model or a tape there is no example.
std::vector<std::string> ExampleModels();

}  // namespace trevolan::testing
