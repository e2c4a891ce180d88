#pragma once
#include <chrono>
#include <cstdint>
#include <ostream>

// The progress of a study, as trevolan-cli and trevolan-mpi (its rank 0) show it: on a
// terminal "[#####-----] 12/40 runs, 1 failed, 3 s, 5 s left", rewritten in place ten
// times a second; elsewhere (a log, nohup, mpirun's pipes) the same words as a line
// every 10 s. The time left is that of the runs planned, which under a precision are
// those its rule expects (RunSchedule::planned).
namespace trevolan::study {

class ProgressBar {
 public:
  ProgressBar(std::ostream* terminal, std::ostream& log);
  void Show(int64_t done, int64_t failed, int64_t planned);
  void End();  // ends the terminal's line

 private:
  std::ostream* terminal_;
  std::ostream& log_;
  std::chrono::steady_clock::time_point start_, last_line_;
  bool shown_ = false;
};

}  // namespace trevolan::study
