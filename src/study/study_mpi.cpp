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

#include <chrono>
#include <cstring>
#include <iostream>
#include <mutex>
#include <thread>

#include "study/study.h"

namespace {

using trevolan::study::RunResult;
using trevolan::study::Study;

constexpr int kTagRequest = 1;  // a worker thread of a rank asks for a run
constexpr int kTagWork = 2;     // the run's index, or -1: no more
constexpr int kTagResult = 3;   // a finished run, packed

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

// Index, values with a present flag each, and the error text; the rest of a result
// follows from the index.
std::string Pack(const RunResult& r) {
  std::string out;
  Put(out, r.index);
  Put(out, static_cast<uint32_t>(r.values.size()));
  for (const auto& v : r.values) {
    Put(out, static_cast<uint8_t>(v.has_value()));
    Put(out, v.value_or(0.0));
  }
  out += r.error;
  return out;
}

RunResult Unpack(const Study& study, const std::string& in) {
  size_t at = 0;
  RunResult r;
  r.index = Take<int64_t>(in, at);
  if (r.index < 0 || r.index >= study.run_count()) throw std::runtime_error("a result of an unknown run");
  r.case_number = r.index / study.plan().replications + 1;
  r.replication = r.index % study.plan().replications + 1;
  r.seed = study.RunSeed(r.case_number, r.replication);
  const auto n = Take<uint32_t>(in, at);
  for (uint32_t i = 0; i < n; ++i) {
    const bool present = Take<uint8_t>(in, at) != 0;
    const double v = Take<double>(in, at);
    r.values.push_back(present ? std::optional<double>(v) : std::nullopt);
  }
  r.error = in.substr(at);
  return r;
}

int RankCount() {
  int n = 1;
  MPI_Comm_size(MPI_COMM_WORLD, &n);
  return n;
}

// Rank 0: answers the other ranks' requests, runs its own share, gathers the results.
std::vector<RunResult> Dispatch(const Study& study, int jobs, int remote_threads) {
  std::vector<RunResult> results(static_cast<size_t>(study.run_count()));
  std::mutex mutex;
  int64_t next = 0, received = 0;
  const auto hand_out = [&]() -> std::optional<int64_t> {
    std::lock_guard lock(mutex);
    if (next >= study.run_count()) return std::nullopt;
    return next++;
  };
  const auto keep = [&](RunResult r) {
    std::lock_guard lock(mutex);
    results[static_cast<size_t>(r.index)] = std::move(r);
    ++received;
  };
  std::exception_ptr local_failure;
  std::thread local([&] {
    try {
      trevolan::study::RunOnThreads(study, jobs, hand_out, keep, nullptr);
    } catch (...) {
      local_failure = std::current_exception();
    }
  });
  int stops_sent = 0;
  for (;;) {
    {
      std::lock_guard lock(mutex);
      if (received == study.run_count() && stops_sent == remote_threads) break;
    }
    int flag = 0;
    MPI_Status status;
    MPI_Iprobe(MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &flag, &status);
    if (!flag) {
      // Polling with a pause leaves the cores to the runs; a run takes far longer.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    if (status.MPI_TAG == kTagRequest) {
      MPI_Recv(nullptr, 0, MPI_BYTE, status.MPI_SOURCE, kTagRequest, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
      const int64_t index = hand_out().value_or(-1);
      if (index < 0) ++stops_sent;
      MPI_Send(&index, 1, MPI_INT64_T, status.MPI_SOURCE, kTagWork, MPI_COMM_WORLD);
    } else {
      int size = 0;
      MPI_Get_count(&status, MPI_BYTE, &size);
      std::string message(static_cast<size_t>(size), '\0');
      MPI_Recv(message.data(), size, MPI_BYTE, status.MPI_SOURCE, status.MPI_TAG, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
      keep(Unpack(study, message));
    }
  }
  local.join();
  if (local_failure) std::rethrow_exception(local_failure);
  return results;
}

// Any other rank: each of its threads asks rank 0 for a run and sends the result back.
// RunOnThreads calls these one at a time, so the MPI calls never overlap.
void Work(const Study& study, int jobs) {
  trevolan::study::RunOnThreads(
      study, jobs,
      []() -> std::optional<int64_t> {
        MPI_Send(nullptr, 0, MPI_BYTE, 0, kTagRequest, MPI_COMM_WORLD);
        int64_t index = -1;
        MPI_Recv(&index, 1, MPI_INT64_T, 0, kTagWork, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
        if (index < 0) return std::nullopt;
        return index;
      },
      [](RunResult r) {
        const std::string message = Pack(r);
        MPI_Send(message.data(), static_cast<int>(message.size()), MPI_BYTE, 0, kTagResult, MPI_COMM_WORLD);
      },
      nullptr);
}

int Run(int argc, char** argv, int rank) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // Every rank checks the same options against the same model, so all agree; the worst
  // outcome of any rank (a model it cannot read) decides for all.
  int status = 0;
  std::string problem;
  std::unique_ptr<Study> study;
  if (args.empty() || args[0] != "study") {
    status = 2;
    problem = "usage: trevolan-mpi study MODEL [the options of trevolan-cli study]";
  } else {
    try {
      std::vector<std::string> options(args.begin() + 1, args.end());
      study = std::make_unique<Study>(trevolan::study::ParseStudyOptions(options), [rank](const std::string& text) {
        if (rank == 0) std::cout << "message: " << text << '\n';
      });
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
    Work(*study, jobs);
    return 0;
  }
  int remote_threads = 0;
  for (size_t r = 1; r < all_jobs.size(); ++r) remote_threads += all_jobs[r];
  const auto results = Dispatch(*study, jobs, remote_threads);
  return trevolan::study::ReportStudy(*study, results, std::cout);
}

}  // namespace

int main(int argc, char** argv) {
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
    status = Run(argc, argv, rank);
  } catch (const std::exception& e) {
    // A rank that cannot go on must not leave the others waiting for it.
    std::cout << "error: rank " << rank << ": " << e.what() << std::endl;
    MPI_Abort(MPI_COMM_WORLD, 1);
  }
  std::cout.flush();
  MPI_Finalize();
  return status;
}
