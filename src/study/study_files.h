#pragma once
#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "model/atomic_file.h"
#include "study/study.h"

// The files of a study on disk, kept as the runs go: the runs file (--out) gets each
// run's row as the run is released in order, into the atomic writer's temporary file,
// so an interrupted study keeps every finished run; the summary (--summary) and the
// study's record (JSON: program, command, model and its SHA-256, seed, warm-up,
// confidence, runs, failures, whether it was interrupted, start and end) are written at
// the end. With --resume the runs already in --out are read back and kept, and only the
// missing ones are run, which gives the files of an uninterrupted study.
//
//   StudyFiles files(study, "trevolan-cli");   // StudyUsageError or IoError: no run made
//   RunSchedule schedule(study, files.Sink(), files.Kept());
//   ... the runs ...
//   int status = files.Finish(schedule, std::cout, std::cerr);
namespace trevolan::study {

class StudyFiles {
 public:
  explicit StudyFiles(const Study& study);
  ~StudyFiles();

  RunSchedule::Sink Sink();
  RunSchedule::Kept Kept();  // null without --resume

  // Commits the runs file, writes the summary and the record, prints the table and the
  // failures on `out`; for an interrupted study a line on `err` says what was kept.
  // The exit status: 0, 1 when a run failed or a file could not be written, 130 when
  // the study was interrupted.
  int Finish(RunSchedule& schedule, std::ostream& out, std::ostream& err);

 private:
  void OpenResumed();
  RunResult ParseRow(const std::string& line, int64_t number) const;
  std::optional<RunResult> NextKept(RunKey key);
  void Write(const RunResult& r);
  std::string Record(const RunSchedule& schedule, bool interrupted) const;

  static constexpr size_t kShownFailures = 10;  // the terminal gets the first few; the files hold all

  const Study& study_;
  std::string started_;
  std::unique_ptr<AtomicFileWriter> runs_;
  std::string write_error_;  // the first failed write of the runs file
  std::vector<std::string> failures_;
  int64_t failed_ = 0;
  std::unique_ptr<std::ifstream> resumed_;
  std::optional<RunResult> next_kept_;
  int64_t resumed_line_ = 1;
};

// The fields of one CSV line as CsvLine writes them (quotes removed, "" inside quotes
// read as one "); nullopt for a line that is no such line.
std::optional<std::vector<std::string>> ParseCsvLine(const std::string& line);

}  // namespace trevolan::study
