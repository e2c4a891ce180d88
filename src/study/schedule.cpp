#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>
#include <system_error>
#include <thread>

#include "study/study.h"

namespace trevolan::study {

// ---- The tally ----

StudyTally::StudyTally(const Study& study) : study_(study), cases_(static_cast<size_t>(study.case_count())) {
  const size_t measures = study.plan().measures.size();
  for (CaseTally& c : cases_) {
    c.measures.resize(measures);
    c.series.resize(measures);
    if (study.baseline() > 0) c.differences.resize(measures);
  }
  const StudyPlan& plan = study.plan();
  if (plan.select) {
    selection_ = std::make_unique<Selection>(study.case_count(), plan.replications, *plan.indifference,
                                             plan.probability.value_or(0.95), study.selects_largest(),
                                             plan.max_replications);
  }
}

void StudyTally::Add(const RunResult& r) {
  CaseTally& c = cases_[static_cast<size_t>(r.case_number - 1)];
  ++c.runs;
  if (r.failed()) ++c.failed;
  const bool batches = study_.plan().batches.has_value();  // the sample is the run's batch means
  const std::vector<double> none;
  for (size_t m = 0; m < c.measures.size() && m < r.values.size(); ++m) {
    if (r.values[m] && !batches) c.measures[m].Add(*r.values[m]);
    c.series[m].Add(m < r.warmups.size() ? r.warmups[m] : std::nullopt,
                    m < r.batch_means.size() ? r.batch_means[m] : none, c.measures[m]);
  }
  if (selection_) {
    const size_t m = study_.selected_measure();
    selection_->Add(r.case_number, r.replication, m < r.values.size() ? r.values[m] : std::nullopt);
  }
  const int64_t baseline = study_.baseline();
  if (baseline == 0) return;
  const size_t measures = c.measures.size();
  if (r.case_number == baseline) {
    baseline_values_.Put(r.replication, r.values, measures);
    for (auto& [waiting_case, values] : waiting_) {
      if (!values.Has(r.replication)) continue;
      std::vector<std::optional<double>> own(measures);
      for (size_t m = 0; m < measures; ++m) own[m] = values.Get(r.replication, m, measures);
      Pair(waiting_case, own, baseline_values_, r.replication);
    }
  } else if (baseline_values_.Has(r.replication)) {
    Pair(r.case_number, r.values, baseline_values_, r.replication);
  } else {
    waiting_[r.case_number].Put(r.replication, r.values, measures);
  }
}

void StudyTally::ByReplication::Put(int64_t replication, const std::vector<std::optional<double>>& values,
                                    size_t measures) {
  const auto rep = static_cast<size_t>(replication - 1);
  if (stored_.size() <= rep) {
    stored_.resize(rep + 1);
    values_.resize((rep + 1) * measures);
    present_.resize((rep + 1) * measures);
  }
  stored_[rep] = true;
  for (size_t m = 0; m < measures; ++m) {
    const bool has = m < values.size() && values[m].has_value();
    present_[rep * measures + m] = has;
    values_[rep * measures + m] = has ? *values[m] : 0.0;
  }
}

bool StudyTally::ByReplication::Has(int64_t replication) const {
  const auto rep = static_cast<size_t>(replication - 1);
  return rep < stored_.size() && stored_[rep];
}

std::optional<double> StudyTally::ByReplication::Get(int64_t replication, size_t m, size_t measures) const {
  const size_t at = static_cast<size_t>(replication - 1) * measures + m;
  return present_[at] ? std::optional<double>(values_[at]) : std::nullopt;
}

void StudyTally::Pair(int64_t case_number, const std::vector<std::optional<double>>& values,
                      const ByReplication& baseline, int64_t replication) {
  CaseTally& c = cases_[static_cast<size_t>(case_number - 1)];
  const size_t measures = c.measures.size();
  for (size_t m = 0; m < c.differences.size() && m < values.size(); ++m) {
    const std::optional<double> partner = baseline.Get(replication, m, measures);
    if (values[m] && partner) c.differences[m].Add(*values[m] - *partner);
  }
}

CaseSummary StudyTally::Case(int64_t case_number) const {
  const CaseTally& c = cases_[static_cast<size_t>(case_number - 1)];
  const double level = study_.plan().confidence;
  CaseSummary s{case_number, study_.CaseValues(case_number), c.runs, c.failed, {}, {}, c.stopped, {}, false, std::nullopt};
  for (const RunningSummary& m : c.measures) s.measures.push_back(m.Result(level));
  for (const SeriesTally& t : c.series) s.series.push_back(t.result());
  if (selection_) {
    s.selected = selection_->chosen() == case_number;
    s.eliminated_after = selection_->eliminated_after(case_number);
  }
  if (case_number != study_.baseline()) {
    for (const RunningSummary& d : c.differences) s.differences.push_back(d.Result(level));
  }
  return s;
}

std::vector<CaseSummary> StudyTally::Cases() const {
  std::vector<CaseSummary> all;
  for (int64_t c = 1; c <= study_.case_count(); ++c) all.push_back(Case(c));
  return all;
}

bool StudyTally::Precise(int64_t case_number) const {
  const CaseTally& c = cases_[static_cast<size_t>(case_number - 1)];
  const double level = study_.plan().confidence;
  const double rel = study_.plan().precision.value_or(0);
  const auto precise = [&](const RunningSummary& m) {
    const SampleSummary s = m.Result(level);
    return s.n > 1 && s.ci <= rel * std::fabs(s.mean);
  };
  // What a paired study compares is the difference: it must be as precise as the means.
  return std::all_of(c.measures.begin(), c.measures.end(), precise) &&
         (case_number == study_.baseline() || std::all_of(c.differences.begin(), c.differences.end(), precise));
}

// ---- The order of the runs ----

RunSchedule::RunSchedule(const Study& study, Sink sink, Kept kept)
    : study_(study), sink_(std::move(sink)), kept_(std::move(kept)), tally_(study) {
  for (int64_t c = 1; c <= study.case_count(); ++c) active_.push_back(c);
  last_ = study.plan().replications;
  if (study.plan().max_replications) last_ = std::min(last_, *study.plan().max_replications);
  planned_ = study.run_count();
  more_batches_ = study.plan().precision.has_value() || study.plan().select.has_value();
}

std::optional<RunSchedule::Ticket> RunSchedule::Next() {
  while (!stopped_ && !batch_out_) {
    const Ticket t{{active_[at_case_], at_replication_}, handed_++};
    if (++at_replication_ > last_) {
      at_replication_ = first_;
      if (++at_case_ == active_.size()) batch_out_ = true;
    }
    std::optional<RunResult> kept = kept_ ? kept_(t.key) : std::nullopt;
    if (!kept) {
      ++out_;
      return t;
    }
    kept->index = t.index;
    ++out_;
    Done(std::move(*kept));
  }
  return std::nullopt;
}

void RunSchedule::Done(RunResult r) {
  --out_;
  if (r.interrupted) {
    // Not kept: a resumed study runs it again. A run given up ends the study (a rank
    // stopped on its own), and the last run out lets the results after it go on.
    stopped_ = true;
    Release();
    return;
  }
  ++done_;
  if (r.failed()) ++failed_;
  pending_.emplace(r.index, std::move(r));
  Release();
}

void RunSchedule::Release() {
  // After a stop a run in the middle may never come: the later ones go on in order.
  while (!pending_.empty() && (pending_.begin()->first == released_ || (stopped_ && out_ == 0))) {
    auto node = pending_.extract(pending_.begin());
    tally_.Add(node.mapped());
    if (sink_) sink_(node.mapped());
    released_ = node.key() + 1;
    ++released_count_;
  }
  if (batch_out_ && !stopped_ && released_ == handed_) NextBatch();
}

void RunSchedule::NextBatch() {
  if (batch_done_) batch_done_();
  if (!more_batches_) return;
  const StudyPlan& plan = study_.plan();
  if (plan.select) {
    // Fully sequential: one more run of every case still in, then the next screening.
    active_ = Screen();
    more_batches_ = !active_.empty();
    if (!more_batches_) return;
    first_ = last_ + 1;
    last_ = first_;
    at_case_ = 0;
    at_replication_ = first_;
    batch_out_ = false;
    planned_ += static_cast<int64_t>(active_.size());
    return;
  }
  const auto goes_on = [&](int64_t c) { return !tally_.Precise(c) && last_ < *plan.max_replications; };
  // The baseline goes on while a case paired with it does: its runs are their partners.
  const int64_t baseline = study_.baseline();
  const bool partners_go_on =
      std::any_of(active_.begin(), active_.end(), [&](int64_t c) { return c != baseline && goes_on(c); });
  std::vector<int64_t> going_on;
  for (const int64_t c : active_) {
    if (goes_on(c) || (c == baseline && partners_go_on)) {
      going_on.push_back(c);
    } else {
      tally_.cases_[static_cast<size_t>(c - 1)].stopped = tally_.Precise(c) ? "precision" : "limit";
    }
  }
  if (going_on.empty()) more_batches_ = false;
  Expect();
  if (going_on.empty()) return;
  active_ = std::move(going_on);
  first_ = last_ + 1;
  last_ = std::min(last_ + plan.replications, *plan.max_replications);
  at_case_ = 0;
  at_replication_ = first_;
  batch_out_ = false;
  planned_ += static_cast<int64_t>(active_.size()) * (last_ - first_ + 1);
}

// The runs of a case the precision's rule is expected to make in all: the n at which
// t(n - 1) * sd / sqrt(n) reaches REL * |mean| with the mean and sd of the runs so far
// (t shrinks with n too: a few steps of n = (t(n - 1) * sd / (REL * |mean|))^2 find it);
// on the batches' grid, at least one batch more while the case goes on, and within the
// limit. A stopped case has its runs.
int64_t RunSchedule::ExpectedRuns(int64_t case_number) const {
  const StudyTally::CaseTally& c = tally_.cases_[static_cast<size_t>(case_number - 1)];
  if (!c.stopped.empty()) return c.runs;
  const StudyPlan& plan = study_.plan();
  const auto limit = static_cast<double>(*plan.max_replications), batch = static_cast<double>(plan.replications);
  double need = static_cast<double>(last_) + batch;
  const auto widen = [&](const RunningSummary& m) {
    const SampleSummary s = m.Result(plan.confidence);
    const double target = *plan.precision * std::fabs(s.mean);
    if (s.n < 2 || !(target > 0) || !std::isfinite(s.ci / target)) return;
    double n = static_cast<double>(s.n) * (s.ci / target) * (s.ci / target);
    for (int step = 0; step < 4 && n >= 2 && n < limit; ++step) {
      const double t = StudentT(static_cast<int64_t>(std::ceil(n)) - 1, plan.confidence);
      n = (t * s.sd / target) * (t * s.sd / target);
    }
    need = std::max(need, n);
  };
  std::for_each(c.measures.begin(), c.measures.end(), widen);
  if (case_number != study_.baseline()) std::for_each(c.differences.begin(), c.differences.end(), widen);
  return static_cast<int64_t>(std::min(limit, std::ceil(need / batch) * batch));
}

std::vector<int64_t> RunSchedule::Screen() {
  Selection& s = *tally_.selection_;
  std::vector<int64_t> in = s.Screen(last_);
  // The time left is that of the cases still in running to the limit, at worst.
  expected_ = done_ + static_cast<int64_t>(in.size()) * (s.limit() - last_);
  return s.decided() ? std::vector<int64_t>{} : in;
}

void RunSchedule::Expect() {
  const int64_t baseline = study_.baseline();
  int64_t partners = 0, baseline_runs = 0;
  expected_ = 0;
  for (int64_t c = 1; c <= study_.case_count(); ++c) {
    const int64_t runs = ExpectedRuns(c);
    if (c == baseline) {
      baseline_runs = runs;
      continue;
    }
    partners = std::max(partners, runs);
    expected_ += runs;
  }
  // The baseline runs as long as the case paired with it that runs longest.
  const bool baseline_goes_on = baseline > 0 && tally_.cases_[static_cast<size_t>(baseline - 1)].stopped.empty();
  expected_ += baseline_goes_on ? std::max(baseline_runs, partners) : baseline_runs;
}

bool RunSchedule::Finished() const { return out_ == 0 && (stopped_ || (batch_out_ && !more_batches_)); }

void RunSchedule::Stop() {
  stopped_ = true;
  Release();
}

void RunSchedule::Append(RunResult r) {
  ++done_;
  if (r.failed()) ++failed_;
  tally_.Add(r);
  if (sink_) sink_(r);
  ++released_count_;
}

// ---- Threads ----

std::optional<RunSchedule::Ticket> SharedSchedule::Take() {
  std::optional<RunSchedule::Ticket> ticket;
  std::unique_lock hold(lock);
  moved.wait(hold, [&] {
    ticket = schedule.Next();
    return ticket || schedule.Finished();
  });
  return ticket;
}

void SharedSchedule::Give(RunResult r) {
  std::lock_guard hold(lock);
  schedule.Done(std::move(r));
  moved.notify_all();
}

void SharedSchedule::Stop() {
  std::lock_guard hold(lock);
  stop = true;
  schedule.Stop();
  moved.notify_all();
}

RunSource::Counts SharedSchedule::counts() {
  std::lock_guard hold(lock);
  return {schedule.done(), schedule.failed(), schedule.planned()};
}

void RunOnThreads(const Study& study, RunSource& source, int jobs, const Progress& progress) {
  if (jobs <= 0) jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::mutex mutex;
  std::condition_variable ended;
  int running = 0;
  std::exception_ptr failure;
  // No more workers than runs, when the source knows how many.
  if (const int64_t planned = source.counts().planned; planned > 0) jobs = static_cast<int>(std::min<int64_t>(jobs, planned));
  std::vector<std::unique_ptr<Sim>> scratches;  // each worker's own model
  const auto work = [&](Sim* scratch) {
    try {
      while (const auto ticket = source.Take()) {
        RunResult result;
        try {
          result = study.Run(ticket->key, ticket->index, *scratch, &source.stop);
        } catch (...) {
          // The run is given back undone, so that the others do not wait for it.
          result.index = ticket->index;
          result.case_number = ticket->key.case_number;
          result.replication = ticket->key.replication;
          result.interrupted = true;
          source.Give(std::move(result));
          throw;
        }
        source.Give(std::move(result));
      }
    } catch (...) {
      {
        std::lock_guard hold(mutex);
        if (!failure) failure = std::current_exception();
      }
      source.Stop();
    }
    std::lock_guard hold(mutex);
    --running;
    ended.notify_all();
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < jobs; ++i) {
    try {
      scratches.push_back(std::make_unique<Sim>());
      std::lock_guard hold(mutex);
      threads.emplace_back(work, scratches.back().get());
      ++running;
    } catch (const std::exception& e) {
      // Fewer threads than asked for (a limit on processes or memory: system_error or
      // bad_alloc): the runs go on those there are.
      if (threads.empty()) throw SimError(std::string("no worker thread could be started: ") + e.what());
      break;
    }
  }
  {
    std::unique_lock hold(mutex);
    while (running > 0) {
      ended.wait_for(hold, std::chrono::milliseconds(100));
      if (!progress || source.stop) continue;
      hold.unlock();
      const RunSource::Counts c = source.counts();
      const bool go_on = progress(c.done, c.failed, c.planned);
      if (!go_on) source.Stop();
      hold.lock();
    }
  }
  for (std::thread& t : threads) t.join();
  if (failure) std::rethrow_exception(failure);
}

StudyResults RunStudy(const Study& study, int jobs, const Progress& progress) {
  StudyResults results;
  RunSchedule schedule(study, [&results](const RunResult& r) { results.runs.push_back(r); });
  SharedSchedule shared(schedule);
  RunOnThreads(study, shared, jobs, progress);
  results.interrupted = schedule.stopped();
  results.cases = schedule.tally().Cases();
  return results;
}

}  // namespace trevolan::study
