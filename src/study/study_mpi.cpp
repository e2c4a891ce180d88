// trevolan-mpi: a study across machines. Started by mpirun (or any scheduler that
// starts MPI programs), every rank reads the model and checks the options; rank 0
// hands the runs out one at a time as ranks ask for them (runs differ in length),
// runs some itself on its own threads, collects the results and writes the same files
// and table as `trevolan-cli study`. Each rank runs --jobs threads.
//
//   mpirun -np K trevolan-mpi study MODEL [the options of trevolan-cli study]
//
// A rank that dies takes the whole job down with it (mpirun's default): the study ends
// with mpirun's error and no files rather than waiting for results that never come.
#include <mpi.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <cstring>
#include <iostream>
#include <mutex>
#include <thread>

#include "study/progress_bar.h"
#include "study/stop_signals.h"
#include "study/study.h"
#include "study/study_files.h"
#include "study/sweep_plot.h"
#include "trevolan_commit.h"
#include "trevolan_version.h"

namespace {

using trevolan::study::RunResult;
using trevolan::study::RunSchedule;
using trevolan::study::Study;

constexpr int kTagRequest = 1;  // a worker thread of a rank asks for a run
constexpr int kTagWork = 2;     // case, replication and index of a run; case -1: no more
constexpr int kTagResult = 3;   // a finished run, packed
constexpr int kTagBye = 4;      // a worker thread of a stopped rank leaves without asking

template <typename T>
void Put(std::string& out, const T& v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

template <typename T>
T Take(const std::string& in, size_t& at) {
  T v{};
  if (at + sizeof v > in.size()) throw std::runtime_error("a result message was cut short");
  std::memcpy(&v, in.data() + at, sizeof v);
  at += sizeof v;
  return v;
}

void PutValues(std::string& out, const std::vector<std::optional<double>>& values) {
  Put(out, static_cast<uint32_t>(values.size()));
  for (const auto& v : values) {
    Put(out, static_cast<uint8_t>(v.has_value()));
    Put(out, v.value_or(0.0));
  }
}

std::vector<std::optional<double>> TakeValues(const std::string& in, size_t& at) {
  std::vector<std::optional<double>> values;
  const auto n = Take<uint32_t>(in, at);
  for (uint32_t i = 0; i < n; ++i) {
    const bool present = Take<uint8_t>(in, at) != 0;
    const double v = Take<double>(in, at);
    values.push_back(present ? std::optional<double>(v) : std::nullopt);
  }
  return values;
}

// The run, values with a present flag each, whether it was interrupted, the truncation
// times and batch means of the series, and the error text; the seed follows from the run.
std::string Pack(const RunResult& r) {
  std::string out;
  Put(out, r.index);
  Put(out, r.case_number);
  Put(out, r.replication);
  Put(out, static_cast<uint8_t>(r.interrupted));
  PutValues(out, r.values);
  PutValues(out, r.warmups);
  Put(out, static_cast<uint32_t>(r.batch_means.size()));
  for (const std::vector<double>& means : r.batch_means) PutValues(out, {means.begin(), means.end()});
  out += r.error;
  return out;
}

RunResult Unpack(const Study& study, const std::string& in) {
  size_t at = 0;
  RunResult r;
  r.index = Take<int64_t>(in, at);
  r.case_number = Take<int64_t>(in, at);
  r.replication = Take<int64_t>(in, at);
  if (r.case_number < 1 || r.case_number > study.case_count() || r.replication < 1) {
    throw std::runtime_error("a result of an unknown run");
  }
  r.seed = study.RunSeed(r.case_number, r.replication);
  r.interrupted = Take<uint8_t>(in, at) != 0;
  r.values = TakeValues(in, at);
  r.warmups = TakeValues(in, at);
  const auto measures = Take<uint32_t>(in, at);
  for (uint32_t m = 0; m < measures; ++m) {
    std::vector<double>& means = r.batch_means.emplace_back();
    for (const auto& x : TakeValues(in, at)) means.push_back(x.value_or(0.0));
  }
  r.error = in.substr(at);
  return r;
}

int RankCount() {
  int n = 1;
  MPI_Comm_size(MPI_COMM_WORLD, &n);
  return n;
}

void SendWork(int rank, const std::optional<RunSchedule::Ticket>& t) {
  const int64_t work[3] = {t ? t->key.case_number : -1, t ? t->key.replication : 0, t ? t->index : 0};
  MPI_Send(work, 3, MPI_INT64_T, rank, kTagWork, MPI_COMM_WORLD);
}

// Rank 0: the schedule. Its own threads take runs from it directly; the other ranks'
// threads ask by message, and a request that comes while a batch waits for its last
// results is answered when the next batch is decided.
void Dispatch(const Study& study, trevolan::study::SharedSchedule& shared, int jobs, int remote_threads,
              trevolan::study::StopSignals& signals, trevolan::study::ProgressBar& bar) {
  std::exception_ptr local_failure;
  std::atomic<bool> local_done{false};
  std::thread local([&] {
    try {
      trevolan::study::RunOnThreads(study, shared, jobs, nullptr);
    } catch (...) {
      local_failure = std::current_exception();
    }
    local_done = true;
  });
  std::deque<int> waiting;
  int ended = 0;
  auto shown = std::chrono::steady_clock::now();
  for (;;) {
    if (signals.Arrived() && !shared.stop) shared.Stop();
    // The progress ten times a second, as trevolan-cli shows it.
    if (const auto now = std::chrono::steady_clock::now(); now - shown >= std::chrono::milliseconds(100)) {
      shown = now;
      const auto counts = shared.counts();
      bar.Show(counts.done, counts.failed, counts.planned);
    }
    while (!waiting.empty()) {
      std::optional<RunSchedule::Ticket> t;
      bool finished = false;
      {
        std::lock_guard hold(shared.lock);
        t = shared.schedule.Next();
        finished = shared.schedule.Finished();
      }
      if (!t && !finished) break;
      SendWork(waiting.front(), t);
      waiting.pop_front();
      if (!t) ++ended;
    }
    {
      std::lock_guard hold(shared.lock);
      if (shared.schedule.Finished() && ended == remote_threads && local_done) break;
    }
    int flag = 0;
    MPI_Status status;
    MPI_Iprobe(MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &flag, &status);
    if (!flag) {
      // Polling with a pause leaves the cores to the runs; a run takes far longer.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    int size = 0;
    MPI_Get_count(&status, MPI_BYTE, &size);
    std::string message(static_cast<size_t>(size), '\0');
    MPI_Recv(message.data(), size, MPI_BYTE, status.MPI_SOURCE, status.MPI_TAG, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    if (status.MPI_TAG == kTagRequest) {
      waiting.push_back(status.MPI_SOURCE);
    } else if (status.MPI_TAG == kTagBye) {
      ++ended;
    } else {
      shared.Give(Unpack(study, message));
    }
  }
  local.join();
  if (local_failure) std::rethrow_exception(local_failure);
}

// Any other rank: its threads ask rank 0 for runs and send the results back. Calls into
// MPI are made one at a time, and no thread holds the lock while it waits for an answer,
// so the others can still send their results.
class RemoteSource : public trevolan::study::RunSource {
 public:
  std::optional<RunSchedule::Ticket> Take() override {
    MPI_Request request;
    int64_t work[3] = {-1, 0, 0};
    {
      std::lock_guard hold(mpi_);
      if (stop) {
        MPI_Send(nullptr, 0, MPI_BYTE, 0, kTagBye, MPI_COMM_WORLD);
        return std::nullopt;
      }
      MPI_Send(nullptr, 0, MPI_BYTE, 0, kTagRequest, MPI_COMM_WORLD);
      MPI_Irecv(work, 3, MPI_INT64_T, 0, kTagWork, MPI_COMM_WORLD, &request);
    }
    for (int arrived = 0;;) {
      {
        std::lock_guard hold(mpi_);
        MPI_Test(&request, &arrived, MPI_STATUS_IGNORE);
      }
      if (arrived) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (work[0] < 0) return std::nullopt;
    return RunSchedule::Ticket{{work[0], work[1]}, work[2]};
  }
  void Give(RunResult r) override {
    const std::string message = Pack(r);
    std::lock_guard hold(mpi_);
    MPI_Send(message.data(), static_cast<int>(message.size()), MPI_BYTE, 0, kTagResult, MPI_COMM_WORLD);
  }

 private:
  std::mutex mpi_;
};

int Run(int argc, char** argv, int rank, trevolan::study::StopSignals& signals) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // Every rank checks the same options against the same model, so all agree; the worst
  // outcome of any rank (a model it cannot read) decides for all.
  int status = 0;
  std::string problem;
  std::unique_ptr<Study> study;
  std::unique_ptr<trevolan::study::StudyFiles> files;  // rank 0's
  if (args.empty() || args[0] != "study") {
    status = 2;
    problem = "usage: trevolan-mpi study MODEL [the options of trevolan-cli study]";
  } else {
    try {
      std::vector<std::string> options(args.begin() + 1, args.end());
      trevolan::study::StudyPlan plan = trevolan::study::ParseStudyOptions(options);
      plan.command.insert(plan.command.begin(), "trevolan-mpi");
      // The ranks link no Qt: their pictures are the project's own SVG.
      if (plan.plot && !trevolan::study::IsSvgFile(*plan.plot)) {
        throw trevolan::study::StudyUsageError("--plot " + *plan.plot +
                                               ": trevolan-mpi draws .svg pictures; .png and .pdf need trevolan-cli");
      }
      study = std::make_unique<Study>(std::move(plan), [rank](const std::string& text) {
        if (rank == 0) std::cout << "message: " << text << '\n';
      });
      if (rank == 0) files = std::make_unique<trevolan::study::StudyFiles>(*study, trevolan::kCommit);
    } catch (const trevolan::study::StudyUsageError& e) {
      status = 2;
      problem = std::string("usage: ") + e.what();
    } catch (const std::exception& e) {
      status = 1;
      problem = std::string("error: ") + e.what();
    }
  }
  int worst = 0;
  MPI_Allreduce(&status, &worst, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD);
  if (worst != 0) {
    if (rank == 0) {
      if (problem.empty()) problem = "error: another rank could not prepare the study";
      (worst == 2 ? std::cerr : std::cout) << problem << '\n';
    }
    return worst;
  }
  int jobs = study->plan().jobs > 0 ? study->plan().jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::vector<int> all_jobs(static_cast<size_t>(RankCount()));
  MPI_Gather(&jobs, 1, MPI_INT, all_jobs.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);
  if (rank != 0) {
    RemoteSource source;
    trevolan::study::RunOnThreads(*study, source, jobs, [&](int64_t, int64_t, int64_t) { return !signals.Arrived(); });
    return 0;
  }
  int remote_threads = 0;
  for (size_t r = 1; r < all_jobs.size(); ++r) remote_threads += all_jobs[r];
  RunSchedule schedule(*study, files->Sink(), files->Kept());
  schedule.OnBatchDone([&files] { files->Sync(); });
  trevolan::study::SharedSchedule shared(schedule);
  trevolan::study::ProgressBar bar(isatty(STDERR_FILENO) ? &std::cerr : nullptr, std::cerr);
  Dispatch(*study, shared, jobs, remote_threads, signals, bar);
  bar.End();
  return files->Finish(schedule, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before MPI starts, so that it needs no mpirun.
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << "trevolan-mpi " << trevolan::kVersion << " (" << trevolan::kCommit << ")\n";
    return 0;
  }
  // SIGINT and SIGTERM (mpirun passes them on to the ranks) end the study politely:
  // blocked before MPI starts its own threads, taken by the ranks' progress checks.
  trevolan::study::StopSignals signals;
  int provided = 0;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
  int rank = 0;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  if (provided < MPI_THREAD_SERIALIZED) {
    if (rank == 0) std::cout << "error: the MPI library does not allow calls from several threads\n";
    MPI_Abort(MPI_COMM_WORLD, 1);
  }
  int status = 1;
  try {
    status = Run(argc, argv, rank, signals);
  } catch (const std::exception& e) {
    // A rank that cannot go on must not leave the others waiting for it.
    std::cout << "error: rank " << rank << ": " << e.what() << std::endl;
    MPI_Abort(MPI_COMM_WORLD, 1);
  }
  std::cout.flush();
  MPI_Finalize();
  return status;
}
