#pragma once
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "study/study.h"

// The options of a study, one row each. The command line reads its texts by this table,
// `trevolan-cli help study` and the synopsis are made from it, and the Python module
// takes its keywords from it and hands it typed values, which pass the same checks. A
// new option is its member of StudyPlan, its row here and the code that uses it.
//
//   const StudyOption& o = *FindStudyOption("--replications");
//   SetStudyOption(plan, o, "10");                     // the command line's text
//   SetStudyOption(plan, o, OptionValue(10.0), "10");  // a typed value of another face
namespace trevolan::study {

// What an option's value is, and so how it is read, checked and given from Python.
enum class OptionKind {
  kCount,       // a whole number from 1 to 1e12; Python int
  kSeed,        // a whole number from 0 to 2^53 - 1; Python int
  kNumber,      // a number; Python float
  kFlag,        // no value; Python bool
  kPath,        // a file or a folder; Python str or path
  kAssignment,  // TARGET=VALUE; Python {target: value}
  kVariation,   // TARGET=V1,V2,... or TARGET=FROM:TO:COUNT; Python {target: [values]}
  kMeasure,     // STAT:TARGET; Python [texts]
  kText,        // a text of the option's own form, read when the study is checked; Python str
};

// An option's value once read: the number of a count, a seed or a number, true for a
// flag, the text of a path, or what the text of the other kinds says.
using OptionValue = std::variant<double, bool, std::string, Assignment, Variation, Measure>;

struct StudyOption {
  const char* name;        // "--replications"
  const char* value = "";  // its value in the synopsis ("R"); "" for a flag
  OptionKind kind;
  // A bound of a number beyond its kind's: a value that does not hold it is refused
  // with `refusal` ("--confidence 95: must lie between 0 and 1, e.g. 0.95").
  bool (*holds)(double) = nullptr;
  const char* refusal = "";
  const char* word = "";       // a word a number may be given as instead ("auto"); kept as text
  bool repeats = false;        // may be given again, each adding to a list
  bool defines_runs = true;    // a resumed study must give it as before (not so --out)
  const char* keyword = "";    // Python's study() keyword; "" for the command line's only
  const char* help;            // what it does, for `help study` and Python's help
  void (*store)(StudyPlan&, OptionValue);  // keeps the checked value in the plan
};

// The options in the synopsis's order.
const std::vector<StudyOption>& StudyOptions();
const StudyOption* FindStudyOption(std::string_view name);        // by "--name"
const StudyOption* FindStudyKeyword(std::string_view keyword);    // by Python's keyword

// An option as the synopsis names it: "--set T=V", "--crn".
std::string OptionUsage(const StudyOption& o);
// The arguments of `trevolan-cli study` after the word study: "MODEL [--set T=V]... ...".
const std::string& StudySynopsis();

// Reads an option's text as the command line gives it; StudyUsageError naming the option.
OptionValue ReadStudyOption(const StudyOption& o, const std::string& text);
// Checks a value against its kind and bound, keeps it in the plan and, when it defines
// the runs, in plan.defining as "--name=TEXT". `text` is the value as given, for the
// messages and the record: the command line's own, or a typed value's shortest form.
void SetStudyOption(StudyPlan& plan, const StudyOption& o, OptionValue value, const std::string& text);
// The command line's text: read, then set as above.
void SetStudyOption(StudyPlan& plan, const StudyOption& o, const std::string& text);

// Parsers of the option texts; StudyUsageError naming the option on a bad one.
Assignment ParseAssignment(const std::string& option, const std::string& text);  // T=V
Variation ParseVariation(const std::string& text);  // T=V1,V2,... or T=FROM:TO:COUNT (COUNT >= 1)
Measure ParseMeasure(const std::string& text);      // final:|mean:|min:|max:TARGET, at:T:TARGET

}  // namespace trevolan::study
