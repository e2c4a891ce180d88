// The study across MPI ranks on this one machine: three ranks share the cores
// (--oversubscribe), as root too (--allow-run-as-root), through shared memory alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "support/test_support.h"

namespace trevolan::study {
namespace {

using testing::ExamplePath;
using testing::ReadTextFile;
using testing::RunCli;
using testing::TempDir;

#ifdef TREVOLAN_MPI_PATH

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (const char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// mpirun -np 3 trevolan-mpi study ARGS. The MPI library keeps some memory to the end
// on purpose, which a leak check would count against the program.
std::string MpiCommand(const std::vector<std::string>& args) {
  std::string cmd = "env ASAN_OPTIONS=detect_leaks=0 " + Quote(TREVOLAN_MPIEXEC) + " --allow-run-as-root --oversubscribe --mca btl self,vader -np 3 " +
                    Quote(TREVOLAN_MPI_PATH) + " study";
  for (const auto& a : args) cmd += " " + Quote(a);
  return cmd;
}

int Status(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1; }

TEST(StudyMpi, ThreeRanksWriteTheFilesOfOneWorkerAndRecordFailures) {
  TempDir dir;
  const std::vector<std::string> study = {ExamplePath("mm1_queue.txt"), "--set", "FinTim=300", "--set", "Delt=0.05",
                                          "--vary", "101.aa=1.5:2.5:3", "--vary", "107.An=-106,1001",
                                          "--replications", "3", "--measure", "mean:104.Value", "--measure",
                                          "max:107.Value", "--warmup", "auto"};
  const auto with = [&](std::vector<std::string> args, const std::string& name) {
    args.insert(args.end(), {"--out", dir.path(name + ".csv"), "--summary", dir.path(name + "_summary.csv"),
                             "--jobs", "1"});
    return args;
  };
  const auto single = RunCli([&] {
    auto a = with(study, "single");
    a.insert(a.begin(), "study");
    return a;
  }());
  EXPECT_EQ(single.status, 1);  // the cases with a connection out of range fail
  const int mpi = Status(std::system((MpiCommand(with(study, "mpi")) + " >" + Quote(dir.path("mpi.out")) + " 2>" + Quote(dir.path("mpi.err"))).c_str()));
  EXPECT_EQ(mpi, 1) << ReadTextFile(dir.path("mpi.err"));
  EXPECT_EQ(ReadTextFile(dir.path("mpi.csv")), ReadTextFile(dir.path("single.csv")));
  EXPECT_EQ(ReadTextFile(dir.path("mpi_summary.csv")), ReadTextFile(dir.path("single_summary.csv")));
  EXPECT_NE(ReadTextFile(dir.path("mpi.csv")).find(",Range check error\r\n"), std::string::npos);
  EXPECT_EQ(ReadTextFile(dir.path("mpi.out")), single.out);
  // One long run a case: the batch means travel from the ranks with the run.
  const std::vector<std::string> batches = {ExamplePath("mm1_queue.txt"), "--set", "FinTim=300", "--set", "GrDel=1",
                                            "--vary", "101.aa=1.5:2.5:3", "--batches", "10", "--measure",
                                            "mean:104.Value"};
  ASSERT_EQ(RunCli([&] {
              auto a = with(batches, "single_batches");
              a.insert(a.begin(), "study");
              return a;
            }()).status, 0);
  EXPECT_EQ(Status(std::system((MpiCommand(with(batches, "mpi_batches")) + " >" + Quote(dir.path("mpi_batches.out")) + " 2>&1").c_str())), 0);
  EXPECT_EQ(ReadTextFile(dir.path("mpi_batches.csv")), ReadTextFile(dir.path("single_batches.csv")));
  EXPECT_EQ(ReadTextFile(dir.path("mpi_batches_summary.csv")), ReadTextFile(dir.path("single_batches_summary.csv")));

  const int usage = Status(std::system((MpiCommand({ExamplePath("mm1_queue.txt"), "--jobs", "0"}) + " >" +
                                        Quote(dir.path("usage.out")) + " 2>&1").c_str()));
  EXPECT_EQ(usage, 2);
  EXPECT_NE(ReadTextFile(dir.path("usage.out")).find("usage: --jobs 0:"), std::string::npos);
}

// A rank killed in the middle ends the whole study at once, with mpirun's message and
// without files, instead of leaving rank 0 waiting for its results.
TEST(StudyMpi, ARankThatDiesEndsTheStudy) {
  TempDir dir;
  const std::string script =
      "timeout 120 " +
      MpiCommand({ExamplePath("mm1_queue.txt"), "--set", "FinTim=1000000", "--replications", "6", "--measure",
                  "mean:104.Value", "--jobs", "1", "--out", dir.path("runs.csv")}) +
      " >" + Quote(dir.path("out")) + " 2>&1 & t=$!; "
      // Once all three ranks run (mpirun is the child of timeout, the ranks are its own),
      // the last one is killed.
      "for i in $(seq 600); do m=$(pgrep -P $t); [ -n \"$m\" ] && [ $(pgrep -P $m | wc -l) -ge 3 ] && break; "
      "sleep 0.1; done; sleep 1; kill -9 $(pgrep -P $m | tail -n 1); wait $t";
  const int status = Status(std::system(("bash -c " + Quote(script)).c_str()));
  EXPECT_NE(status, 0);
  EXPECT_NE(status, 124) << "the study hung";
  EXPECT_NE(ReadTextFile(dir.path("out")).find("exited on signal 9"), std::string::npos) << ReadTextFile(dir.path("out"));
  EXPECT_FALSE(std::ifstream(dir.path("runs.csv")).good());
}

#else

TEST(StudyMpi, NotBuiltWithoutAnMpiLibrary) { GTEST_SKIP() << "no MPI library was found"; }

#endif

}  // namespace
}  // namespace trevolan::study
