#pragma once
#include <optional>
#include <string>

#include "model/file_identity.h"
#include "study/study.h"

// The files a study writes, named from its plan, and the checks made of them before the
// first run: each can be written, and no two of them, nor one of them and the model, are
// one file (one would be left in place of the other).
namespace trevolan::study {

// The name of a run's tape in the --tapes folder: case-C-rep-R.csv.
std::string TapeFileName(RunKey key);

// The path made absolute, without following links: as a record names a file.
std::string AbsolutePath(const std::string& path);

// Where the record goes: --record, else SUMMARY.json beside SUMMARY.csv, else
// OUT.study.json; none without any of them (the command line names one then: MODEL's
// name with .study.json in the working folder).
std::optional<std::string> RecordPath(const StudyPlan& plan);

// The file that holds the finished runs while the study goes, beside the file --out
// leads to; nullopt for an --out that is no regular file (a FIFO, /dev/stdout), which
// is written into directly.
std::optional<std::string> PartialPath(const std::string& out);

// StudyUsageError naming the option when an output cannot be written, is the model or
// another output, or when a runs file to resume is no regular file.
void CheckOutputs(const StudyPlan& plan);

}  // namespace trevolan::study
