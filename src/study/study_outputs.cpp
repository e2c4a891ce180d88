#include "study/study_outputs.h"

#include <filesystem>
#include <sys/stat.h>
#include <tuple>
#include <vector>

#include "model/atomic_file.h"
#include "model/file_identity.h"
#include "study/sweep_plot.h"

namespace trevolan::study {

namespace fs = std::filesystem;

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return (ec ? fs::path(path) : p).lexically_normal().string();
}

std::optional<std::string> RecordPath(const StudyPlan& plan) {
  if (plan.record) return plan.record;
  if (plan.summary) {
    std::string base = *plan.summary;
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".csv") == 0) base.resize(base.size() - 4);
    return base + ".json";
  }
  if (plan.out) return *plan.out + ".study.json";
  return std::nullopt;
}

std::optional<std::string> PartialPath(const std::string& out) {
  struct stat st {};
  if (::stat(out.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return std::nullopt;
  return ResolvedPath(out) + ".partial";
}

namespace {

struct Output {
  std::string option;  // as a message names it: "--out", "the record"
  std::optional<std::string> path;
};

[[noreturn]] void Refuse(const Output& o, const std::string& why) {
  throw StudyUsageError(o.option + " " + *o.path + ": " + why);
}

}  // namespace

void CheckOutputs(const StudyPlan& plan) {
  const std::vector<Output> outputs = {
      {"--out", plan.out},
      {"--out's partial file", plan.out ? PartialPath(*plan.out) : std::nullopt},
      {"--summary", plan.summary},
      {"the record", RecordPath(plan)},
      {"--tapes", plan.tapes},
      {"--plot", plan.plot},
  };
  for (size_t i = 0; i < outputs.size(); ++i) {
    const Output& o = outputs[i];
    if (!o.path) continue;
    if (!plan.model.empty() && SameFile(*o.path, plan.model)) Refuse(o, "the same file as the model " + plan.model);
    for (size_t j = 0; j < i; ++j) {
      if (outputs[j].path && SameFile(*o.path, *outputs[j].path)) {
        Refuse(o, "the same file as " + outputs[j].option + " " + *outputs[j].path);
      }
    }
  }
  if (plan.plot && !IsPictureFile(*plan.plot)) Refuse(outputs.back(), "a picture is .svg, .png or .pdf");
  // A resumed study reads its runs files before any run: a FIFO would hold it there.
  if (plan.resume && plan.out) {
    for (const Output& o : {outputs[0], outputs[1]}) {
      struct stat st {};
      if (o.path && ::stat(o.path->c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        Refuse(o, "a runs file to resume must be a regular file");
      }
    }
  }
  // The files are written as the runs go and after the last: a path that cannot take
  // them is told now, before any run, not after all of them.
  for (const Output& o : outputs) {
    if (!o.path) continue;
    try {
      CheckWritablePath(o.option == "--tapes" ? *o.path + "/" + TapeFileName({1, 1}) : *o.path);
    } catch (const IoError& e) {
      Refuse(o, e.what());
    }
  }
}

}  // namespace trevolan::study
