#pragma once
#include <chrono>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "model/atomic_file.h"
#include "study/partial_file.h"
#include "study/study.h"
#include "study/sweep_plot.h"

// The files of a study on disk, kept as the runs go: the runs file (--out) gets each
// run's row as the run is released in order, into OUT.partial beside it (PartialFile), so
// that a study ended in any way keeps every finished run; the finished or interrupted
// study renames it to OUT. The summary (--summary) is written at the end; the study's
// record (JSON: program, command, model and the SHA-256 of its text, the plan, seed,
// warm-up, confidence, runs, failures, whether it was interrupted, start and end, and
// which files hold its runs) at the start and at the end. With --resume the runs already
// in OUT and OUT.partial are read back and kept, and only the missing ones are run, which
// gives the files of an uninterrupted study; a resume with more --replications extends
// a finished study.
//
//   StudyFiles files(study, kCommit);   // StudyUsageError or IoError: no run made
//   RunSchedule schedule(study, files.Sink(), files.Kept());
//   schedule.OnBatchDone([&] { files.Sync(); });
//   ... the runs ...
//   int status = files.Finish(schedule, std::cout, std::cerr);
namespace trevolan::study {

class StudyFiles {
 public:
  // `build` names the commit the program was built from, as its --version does.
  StudyFiles(const Study& study, std::string build);
  ~StudyFiles();

  // How --plot's picture is written: by default an SVG of the project's own canvas; the
  // batch runner gives Qt's, which writes PNG and PDF too.
  void WritePicturesWith(PictureWriter writer) { pictures_ = std::move(writer); }

  RunSchedule::Sink Sink();
  RunSchedule::Kept Kept();  // null when there is nothing to resume
  void Sync();               // the rows so far made durable (a batch is done)

  // Commits the runs file, writes the summary and the record, prints the table and the
  // failures on `out`; for an interrupted study a line on `err` says what was kept.
  // The exit status: 0, 1 when a run failed or a file could not be written, 130 when
  // the study was interrupted.
  int Finish(RunSchedule& schedule, std::ostream& out, std::ostream& err);

 private:
  struct Source;  // a runs file read back by --resume
  void OpenResumed();
  void CheckRecord(const std::string& record_path, bool partial_found);
  int64_t CheckSource(Source& source, bool partial);
  RunResult ParseRow(const std::string& line, const Source& source) const;
  bool Load(Source& source);
  std::optional<RunResult> NextKept(RunKey key);
  std::optional<RunResult> NextLeft();
  void Write(const RunResult& r);
  std::string Record(int64_t runs, bool interrupted) const;
  nlohmann::ordered_json Outputs() const;
  void WarnCorrelatedBatches(const std::vector<CaseSummary>& cases, std::ostream& err) const;

  static constexpr size_t kShownFailures = 10;  // the terminal gets the first few; the files hold all

  const Study& study_;
  std::string build_;
  // The start and end of the first run of the study and of every resume, the last this
  // one's (its end null until it ends, and left null by a study killed on the way).
  nlohmann::ordered_json started_ = nlohmann::ordered_json::array(), ended_ = nlohmann::ordered_json::array();
  std::vector<std::pair<std::string, std::string>> digests_;  // output, SHA-256 of the files written
  std::optional<std::string> partial_path_;   // none for an --out that is no regular file
  std::unique_ptr<PartialFile> partial_;
  std::unique_ptr<AtomicFileWriter> direct_;  // an --out that is no regular file (a FIFO)
  std::vector<std::unique_ptr<Source>> sources_;
  std::vector<std::string> runs_in_;          // "partial", "out": where the runs are, for the record
  int64_t kept_bytes_ = 0;                    // of a partial file read back: its whole rows
  int64_t already_written_ = 0;               // rows released next that the partial file holds
  std::string write_error_;  // the first failed write of the runs file
  PictureWriter pictures_ = WriteSvgPicture;
  std::vector<std::string> failures_;
  int64_t failed_ = 0;
};

// The fields of one CSV line as CsvLine writes them (quotes removed, "" inside quotes
// read as one "); nullopt for a line that is no such line.
std::optional<std::vector<std::string>> ParseCsvLine(const std::string& line);

}  // namespace trevolan::study
