#include "cli/runner.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>

#include "cli/batch.h"
#include "cli/help.h"
#include "engine/run_operations.h"
#include "model/atomic_file.h"
#include "model/file_identity.h"
#include "model/numbers.h"
#include "model/seed.h"
#include "model/tape_csv.h"
#include "study/study.h"
#include "study/stop_signals.h"
#include "study/progress_bar.h"
#include "study/study_files.h"

namespace trevolan::cli {

namespace {

// Whether writing `path` replaces a file, rather than writing into a device, a FIFO or
// an open file named through /proc (/dev/stdout), which any number of outputs may share.
bool ReplacesAFile(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = path;
  for (int hops = 0; hops < 40 && std::filesystem::is_symlink(p, ec); ++hops) {
    const std::filesystem::path link = std::filesystem::read_symlink(p, ec);
    if (ec) break;
    p = link.is_absolute() ? link : p.parent_path() / link;
    if (p.string().starts_with("/proc/") || p.string().starts_with("/dev/fd/")) return false;
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode);
}

// An output that is the model or another output would be written over it: the tape
// left where the model was. --save may name the model: that is saving it.
void CheckRunOutputs(const RunOptions& o) {
  const std::pair<const char*, const std::optional<std::string>*> outputs[] = {
      {"--csv", &o.csv}, {"--tape", &o.tape}, {"--save", &o.save}};
  for (size_t i = 0; i < std::size(outputs); ++i) {
    const auto& [option, path] = outputs[i];
    if (!*path || !ReplacesAFile(**path)) continue;
    if (path != &o.save && SameFile(**path, o.model)) {
      throw UsageError(std::string(option) + " " + **path + ": the same file as the model " + o.model);
    }
    for (size_t j = 0; j < i; ++j) {
      const auto& [other, other_path] = outputs[j];
      if (*other_path && SameFile(**path, **other_path)) {
        throw UsageError(std::string(option) + " " + **path + ": the same file as " + other + " " + **other_path);
      }
    }
  }
}

}  // namespace

RunOptions ParseRunOptions(const std::vector<std::string>& args) {
  const ParsedOptions parsed = ParseOptions(args, kRunSynopsis);
  RunOptions o;
  for (const auto& [name, value] : parsed.options) {
    if (name == "--tape") {
      o.tape = value;
    } else if (name == "--save") {
      o.save = value;
    } else if (name == "--max-presses") {
      o.max_presses = value;
    } else if (name == "--csv") {
      o.csv = value;
    } else if (name == "--seed") {
      try {
        SeedFromText(value);
      } catch (const SimError&) {
        throw UsageError("--seed " + value + ": not a whole number in 0.." + std::to_string(kMaxSeed));
      }
      o.seed = value;
    }
  }
  if (parsed.positional.size() > 1) throw UsageError("run takes one model");
  if (parsed.positional.empty()) throw UsageError("run needs a model");
  o.model = parsed.positional[0];
  CheckRunOutputs(o);
  return o;
}

int RunModel(const RunOptions& options, std::ostream& out, std::ostream* progress) {
  Batch batch(out);
  const Sim& s = batch.sim();
  batch.Execute({"open", options.model});
  if (batch.had_error()) return 1;  // a model that could not be read is not run, nor its tape written
  if (options.seed) batch.Execute({"seed", *options.seed});
  std::unique_ptr<TapeCsvWriter> csv;
  if (options.csv) {
    try {
      csv = std::make_unique<TapeCsvWriter>(s, *options.csv);
    } catch (const SimError& e) {
      out << "error: " << EscapeControls(e.what()) << '\n';
      return 1;
    }
    batch.frontend().StreamTape(csv.get());
  }
  batch.Execute({"reset"});
  const int64_t steps_before = s.StepsTaken;
  Command finish{"finish"};
  if (options.max_presses) finish.push_back(*options.max_presses);
  batch.frontend().ShowProgress(&s, progress);
  batch.Execute(finish);
  batch.frontend().EndProgress();
  const bool failed_in_run = batch.had_error();
  if (csv) {
    batch.frontend().StreamTape(nullptr);
    try {
      csv->Commit();
    } catch (const SimError& e) {
      out << "error: " << EscapeControls(e.what()) << '\n';
      csv.reset();
      return 1;
    }
  }
  if (options.tape) batch.Execute({"save-tape", *options.tape});
  if (options.save) batch.Execute({"save", *options.save});
  const RunOutcome& run = batch.last_run();
  const bool reached = s.Time + s.TimeTol >= s.FinTim;
  if (!reached && !failed_in_run) {
    // The presses ran out first: the tape holds what was run, but the run is not done.
    // Where a hold trigger held every step, the line says so.
    out << "error: the run stopped at Time " << FormatGeneral(s.Time) << " before FinTim " << FormatGeneral(s.FinTim)
        << ": all " << run.presses << " presses of RUN were used"
        << (options.max_presses ? "" : " (--max-presses allows more)")
        << (run.stop == RunStop::kHeld ? "; " + EscapeControls(HoldCause(s)) : "") << '\n';
  }
  out << (failed_in_run ? "stopped with an error" : reached ? "finished" : "stopped") << " at Time " << FormatGeneral(s.Time) << " after "
      << (s.StepsTaken - steps_before) << " steps, tape rows " << (s.TapeIndex + 1) << '\n';
  return batch.had_error() || !reached ? 1 : 0;
}

std::vector<ScriptSource> ParseExecOptions(const std::vector<std::string>& args) {
  const ParsedOptions parsed = ParseOptions(args, kExecSynopsis);
  if (!parsed.positional.empty()) throw UsageError("unknown option: " + parsed.positional[0]);
  std::vector<ScriptSource> sources;
  for (const auto& [name, value] : parsed.options) sources.push_back({name == "-f", value});
  return sources;
}

namespace {

// The text of a script file; "-" is the standard input.
std::string ScriptText(const std::string& file) {
  if (file == "-") return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  try {
    return ReadWholeFile(file);
  } catch (const SimError& e) {
    throw UsageError("cannot read script " + file + ": " + e.what());
  }
}

}  // namespace

int ExecScripts(const std::vector<ScriptSource>& sources, std::ostream& out, std::ostream& notes) {
  if (sources.empty()) throw UsageError("exec needs -f SCRIPT or -c COMMANDS");
  Batch batch(out);
  batch.SendNotesTo(&notes);
  for (const ScriptSource& source : sources) {
    if (!source.is_file) {
      for (const Command& command : ParseScript(source.text, true)) batch.Execute(command);
      continue;
    }
    // A usage error in a file names the file and the line, as compilers do.
    const std::string name = source.text == "-" ? "stdin" : source.text;
    int line = 0;
    try {
      for (const ScriptLine& l : ParseScriptLines(ScriptText(source.text), false)) {
        line = l.line;
        batch.Execute(l.command);
      }
    } catch (const ScriptError& e) {
      throw UsageError(name + ":" + std::to_string(e.line) + ": " + e.what());
    } catch (const UsageError& e) {
      if (line == 0) throw;
      throw UsageError(name + ":" + std::to_string(line) + ": " + e.what());
    }
  }
  return batch.had_error() ? 1 : 0;
}

namespace {

// The number of ranks when mpirun (OpenMPI, MPICH, PMIx) started this process, else 1.
long MpiRanks() {
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMI_SIZE", "PMIX_SIZE"}) {
    if (const char* value = std::getenv(name)) return std::max(1L, std::strtol(value, nullptr, 10));
  }
  return 1;
}

}  // namespace

int StudyCommand(const std::vector<std::string>& args, ProgramStreams& io) {
  // Every rank would run the whole study and write the same files: the MPI program
  // hands the runs out instead.
  if (MpiRanks() > 1) {
    throw UsageError("trevolan-cli study runs on one machine; under mpirun use trevolan-mpi study, of the package "
                     "trevolan-mpi (" + std::to_string(MpiRanks()) + " ranks were started)");
  }
  // Ctrl-C and SIGTERM end the study politely once its runs can begin: blocked then,
  // before any worker thread exists, and taken from the progress check, which stops the
  // runs and keeps those done. Until then (the model read, the files of a resumed study
  // checked) they end the program at once, as anywhere else.
  std::optional<study::StopSignals> signals;
  std::unique_ptr<study::Study> prepared;
  std::unique_ptr<study::StudyFiles> files;
  try {
    study::StudyPlan plan = study::ParseStudyOptions(args);
    plan.command.insert(plan.command.begin(), "trevolan-cli");
    prepared = std::make_unique<study::Study>(std::move(plan), [&io](const std::string& text) {
      io.out << "message: " << EscapeControls(text) << '\n';
    });
    files = std::make_unique<study::StudyFiles>(*prepared, io.build);
    files->WritePicturesWith(StudyPictureWriter());
  } catch (const study::StudyUsageError& e) {
    throw UsageError(e.what());
  } catch (const SimError& e) {
    io.out << "error: " << EscapeControls(e.what()) << '\n';
    return 1;
  }
  signals.emplace();
  study::ProgressBar bar(io.progress, io.err);
  study::RunSchedule schedule(*prepared, files->Sink(), files->Kept());
  schedule.OnBatchDone([&files] { files->Sync(); });
  study::SharedSchedule shared(schedule);
  std::string failure;
  try {
    study::RunOnThreads(*prepared, shared, prepared->plan().jobs, [&](int64_t done, int64_t failed, int64_t planned) {
      bar.Show(done, failed, planned);
      return !signals->Arrived();
    });
  } catch (const SimError& e) {
    failure = e.what();
  } catch (const std::bad_alloc&) {
    failure = "Out of memory: the study stopped";
  }
  bar.End();
  if (!failure.empty()) {
    // The runs done so far are kept as for an interruption; the study failed.
    io.out << "error: " << EscapeControls(failure) << '\n';
    files->Finish(schedule, io.out, io.err);
    return 1;
  }
  return files->Finish(schedule, io.out, io.err);
}

}  // namespace trevolan::cli
