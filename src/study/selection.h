#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Choosing the best case: Kim and Nelson's fully sequential procedure KN (2001). After a
// first stage of n0 runs of every case it knows the variance of every pair's difference,
// replication by replication; then every case still in gets one more run at a time, and
// a case leaves as soon as its mean falls below another's by more than the pair's
// continuation band W(r), which narrows to nothing at r = h^2 S^2 / D^2. The band is
// drawn so that the best case, if it is at least D better than every other, is the one
// left with probability at least P. With common random numbers the pairs' differences
// vary less and cases leave sooner; without them the same procedure holds for
// independent cases (the pairing by replication is then arbitrary, and valid).
//
//   Selection s(cases, n0, 0.5, 0.95, true, limit);  // best: the largest mean
//   s.Add(case, replication, value) ...             // every run of a case still in
//   std::vector<int64_t> in = s.Screen(n0);         // after each stage: the cases left
//   if (s.decided()) ... s.chosen() ...
namespace trevolan::study {

class Selection {
 public:
  // `cases` from 1; `largest`: the best case has the largest mean, else the smallest.
  // `limit`: the most runs of a case (--max-replications), if any; the procedure's own
  // bound, where every band has closed, ends it otherwise. At the limit the case of the
  // best mean is chosen, the lowest case number among equals.
  Selection(int64_t cases, int64_t first_stage, double indifference, double probability, bool largest,
            std::optional<int64_t> limit);

  // A run's value of the measure selected on; nullopt for a run that failed or lacks it
  // (its case leaves the selection at the next screening). Runs of cases that left are
  // ignored.
  void Add(int64_t case_number, int64_t replication, std::optional<double> value);

  // After a stage, when every case still in has `replications` runs: the cases that the
  // procedure keeps, in order. At the limit the case of the best mean is kept alone, the
  // lowest case number among equals.
  std::vector<int64_t> Screen(int64_t replications);

  bool decided() const { return decided_; }
  // The chosen case once decided (0 when every case failed), else 0.
  int64_t chosen() const { return chosen_; }
  // The runs of the case when it left; nullopt while it is in, and for the chosen one.
  std::optional<int64_t> eliminated_after(int64_t case_number) const;
  // Cases that left because a run of theirs had no value.
  const std::vector<int64_t>& failed_cases() const { return failed_cases_; }
  // The most runs a case can have: the limit, or the procedure's own bound once the
  // first stage is in (the first stage until then).
  int64_t limit() const { return limit_; }
  // Kim and Nelson's h^2 = 2 eta (n0 - 1), with eta from P, the cases and n0.
  static double BandConstant(int64_t cases, int64_t first_stage, double probability);

 private:
  struct Case {
    bool in = true, failed = false;
    double sum = 0;                 // of the values, signed so that larger is better
    std::vector<double> first;      // the first stage's values, for the variances
    std::optional<int64_t> left_after;
  };
  void LearnVariances();
  double Variance(size_t i, size_t l) const { return variances_[i * cases_.size() + l]; }
  void Leave(int64_t case_number, int64_t runs);
  void Decide(const std::vector<int64_t>& in, int64_t replications);

  std::vector<Case> cases_;
  int64_t first_stage_;
  double indifference_, h2_;
  double sign_;
  std::optional<int64_t> given_limit_;
  int64_t limit_;
  std::vector<double> variances_;  // S^2 of each pair's differences over the first stage
  std::vector<int64_t> failed_cases_;
  bool decided_ = false;
  int64_t chosen_ = 0;
};

}  // namespace trevolan::study
